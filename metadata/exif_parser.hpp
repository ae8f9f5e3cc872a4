#pragma once
// TImageInfo: the decoded EXIF data of one file. It walks the TIFF directory
// tree (IFD0, Exif, GPS, interoperability, SubIFDs), records the position of
// the preview directory, captures the photo facts on the way, hands the
// MakerNote block to the maker-note decoder, and answers look-ups by tag name.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/byte_reader.hpp"
#include "metadata/tag_tables.hpp"
#include "metadata/tiff_directory.hpp"

namespace meta {

class TimgData;

class TImageInfo : public tEndInd {
 public:
  // owner: the container that created this object (not owned); it gives the
  // EXIF segment bytes and receives the status texts.
  explicit TImageInfo(TimgData* owner);
  ~TImageInfo() override;
  TImageInfo(const TImageInfo&) = delete;
  TImageInfo& operator=(const TImageInfo&) = delete;

  std::vector<TTagEntry> Tags;  // all directories but the preview one, maker rows included
  TimgData* Owner = nullptr;    // not owned
  std::string ExifVersion;      // raw bytes of 0x9000, at most 6
  std::string CameraMake;       // at most 32 characters
  std::string CameraModel;      // at most 40 characters
  std::string DateTimeText;     // at most 20 characters
  int32_t Height = 0;
  int32_t Width = 0;
  int32_t FlashValue = 0;
  ByteString MakerNoteBytes;
  bool FromTiff = false;
  int32_t PreviewStart = 0;
  int32_t PreviewLength = 0;
  int32_t PreviewCompression = 0;
  std::vector<TTagEntry> PreviewTags;
  bool MakerNoteDecoded = false;
  int32_t MakerNotePos = 0;
  size_t TagCursor = 0;
  size_t PreviewTagCursor = 0;
  // True: the walk captures the photo facts and the preview position alone.
  // No row is kept and the maker note is not decoded, but every entry is
  // read and checked as in a full walk, so the same faults end it at the
  // same places and the facts come out the same.
  bool FactsOnly = false;

  int32_t TagCount() const { return static_cast<int32_t>(Tags.size()); }
  int32_t PreviewTagCount() const { return static_cast<int32_t>(PreviewTags.size()); }

  // Walks one directory at Buffer position `position`; `base` turns stored
  // offsets into positions; `bound` is the extent of the size check and of the
  // preview length. Faults of its own entries leave it; those of nested
  // directories end only the nested walk.
  void ParseDirectory(int32_t position, int32_t base, int32_t kind, int32_t bound);
  // Walks the preview directory into PreviewTags (called by the report).
  void ProcessThumbnail();

  int32_t AddTag(const TTagEntry& row);
  int32_t AddPreviewTag(const TTagEntry& row);
  int32_t AddComputedTag(const std::string& name, const std::string& text, uint16_t valueType);

  void ResetTagCursor() { TagCursor = 0; }
  bool NextTag(int32_t group, TTagEntry& row);
  void ResetThumbnailTagCursor() { PreviewTagCursor = 0; }
  bool NextThumbnailTag(int32_t group, TTagEntry& row);

  // Look-ups by tag name (case ignored) over Tags only.
  virtual int32_t TagIndex(std::string_view name) const;
  virtual std::string TagValue(std::string_view name) const;
  TTagEntry FindTag(std::string_view name) const;
  double TagNumber(std::string_view name) const;
  int32_t TagInteger(std::string_view name) const;  // half to even; DecodeFault outside 32 bits

  // The 35 mm equivalent focal length row, added after the main walk.
  void ComputeDerivedFacts();
  std::string LongSummary() const;
  std::string ShortSummary() const;

 private:
  void setOwnerStatus(const std::string& text);
  // Hands the MakerNote value just read to the maker-note decoder; true when
  // a maker's table applied.
  bool decodeMakerNote();
  std::string valueText(const TTagEntry& row, const ByteString& raw, int32_t type);
  // Where a directory lies and how its offsets read (see ParseDirectory).
  struct WalkPlace {
    int32_t base;
    int32_t kind;
    int32_t bound;
  };
  // An entry with the bytes of its value and their position.
  struct EntryValue {
    const tDirectoryEntry& entry;
    ByteString raw;
    int32_t position;
  };
  void parseEntry(int64_t position, const WalkPlace& place);
  // The entry whose value lies at position `v`, kept as a row, its facts captured.
  void storeEntry(const tDirectoryEntry& entry, int64_t v, const WalkPlace& place);
  // The photo facts an entry gives (`text`: its value as its row renders it),
  // and the walk of the directory it points to.
  void captureFacts(const EntryValue& value, const WalkPlace& place, const std::string& text);
  void followPointer(uint16_t tag, int32_t valuePos, const WalkPlace& place);
  std::vector<int32_t> walkPath_;    // directory positions on the current walk (cycle guard)
  size_t nestedWalks_ = 0;           // sub-directory walks entered so far (bounded)
  bool inInteroperability_ = false;  // the walk is below an interoperability pointer
};

}  // namespace meta
