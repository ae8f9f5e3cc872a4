#pragma once
// TimgData: one opened image file. It records the file's facts, walks the JPEG
// segment structure up to the start-of-scan header (or reads the head of a
// TIFF file), keeps the segments that carry metadata and hands them to the
// EXIF decoder and the IPTC reader. One container is reused for every file.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/byte_reader.hpp"
#include "metadata/byte_source.hpp"
#include "metadata/date_time.hpp"
#include "metadata/exif_parser.hpp"
#include "metadata/iptc_reader.hpp"

namespace meta {

// One stored JPEG segment. A TIFF file's read buffer takes slot 1 with
// Marker 0 and its extent as Length; its bytes are in Buffer alone.
struct tSection {
  ByteString Bytes;    // the two length bytes as in the file, then the payload
  int32_t Marker = 0;  // the byte after 0xFF (0xE1 for APP1 ...)
  int32_t Length = 0;  // value of the big-endian length field
};

// A decoded preview picture: 8-bit RGB, row-major, no padding.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * height * 3 bytes
};

inline constexpr int32_t kTiffReadSize = 256000;
static_assert(kTiffReadSize == tByteStore::kHeadBytes, "the store reads a TIFF file's fixed read at once");
inline constexpr int kSegmentSlots = 21;  // slot 21 is never filled
inline constexpr int kSegmentsScanned = 20;

// How the bytes are laid out: JPEG segments, or a TIFF header and directories.
enum class ImageKind { Jpeg, Tiff };

class TimgData : public tEndInd {
 public:
  TimgData();
  ~TimgData() override;
  TimgData(const TimgData&) = delete;
  TimgData& operator=(const TimgData&) = delete;

  // Slots numbered 1..21 as in the segment scan: SegmentTable[n - 1].
  std::array<tSection, kSegmentSlots> SegmentTable;
  tSection& Slot(int n) { return SegmentTable.at(static_cast<size_t>(n - 1)); }
  bool ReadingTiff = false;
  int32_t SegmentCount = 0;
  tSection* ExifSlot = nullptr;  // not owned: points into SegmentTable
  tSection* IptcSlot = nullptr;
  tSection* CommentSlot = nullptr;
  std::string SourcePath;
  TDateTime FileTime;  // last-write time, local time, to the second
  int64_t FileBytes = 0;
  tFileStamp FileStamp;    // who the file read was, from the open file itself
  std::string StatusText;  // "<none>" after a successful read
  // Why the last ReadFile could not open the file at all: "not a regular
  // file", or the system's reason ("No such file or directory", "Permission
  // denied"); empty when it could. Such a read leaves the facts and the
  // status text empty: it is no decode fault.
  std::string OpenError;
  std::unique_ptr<TImageInfo> ExifInfo;
  std::unique_ptr<TIPTCdata> IptcInfo;
  // True: a JPEG file is decoded as far as the photo facts alone (a batch
  // rename needs nothing else); its bytes are kept, so that DecodeFully can
  // give the rows, the maker note and the report of that same file.
  bool FactsOnly = false;

  // Reads one file; true when metadata was found and decoded. Never throws
  // and never blocks: only a regular file is opened (see OpenError), and the
  // extension chooses the kind.
  bool ReadFile(const std::string& path);
  // Reads bytes held in memory as a file of the given kind, by the same way
  // as ReadFile; the facts are the size alone. Never throws.
  bool ReadBytes(std::string_view bytes, ImageKind kind);
  void Reset();
  // After a read made with FactsOnly: decodes the kept bytes in full, as a
  // full read of the file would have done (the file's path, date and size
  // stay those of the read, even when the file has been moved since).
  // Nothing to do after a full read.
  void DecodeFully();
  bool ReadJpeg(const tByteSource& source);
  bool ScanSegments(const tByteSource& source);
  void DecodeExifSegment();
  bool ReadTiff(const std::shared_ptr<const tByteSource>& source);

  bool HasMetadata() const { return ExifSlot || CommentSlot || IptcSlot; }
  bool HasExif() const { return ExifSlot != nullptr; }
  bool HasThumbnail() const;
  ByteString ThumbnailBytes() const;
  std::optional<RgbImage> ThumbnailImage() const;
  std::string CommentText() const;

 private:
  bool readSource(const std::shared_ptr<const tByteSource>& source, ImageKind kind);
  void takeExifSegment(tSection& slot);  // the EXIF segment found: decoded from its slot
  ByteString keptBytes_;  // the bytes a FactsOnly read of a JPEG scanned: the first keptLength_
  size_t keptLength_ = 0;
  bool keepBytes_ = false;  // the scan records them
  ByteString readBuffer_;   // the scan's reads otherwise (its room is reused)
  size_t readLength_ = 0;
  bool exifHeaderFault_ = false;  // DecodeExifSegment met a bad header; its status text is kept
};

// Decodes a JPEG byte stream into RGB; none when the stream is not a JPEG the
// decoder accepts. Never exits the process and never throws.
std::optional<RgbImage> decodeJpeg(const ByteString& jpeg);

}  // namespace meta
