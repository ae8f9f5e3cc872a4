#pragma once
// TmsInfo: recognises the camera maker from the recorded make, picks the
// maker's tag table and block layout, and walks the private directory of the
// MakerNote block into maker-note rows (Group 1).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/byte_reader.hpp"
#include "metadata/tag_tables.hpp"

namespace meta {

// What the decoder is given of the EXIF data a maker note came from, and
// where it puts what it finds. The EXIF object fills one in at its MakerNote
// entry; the decode changes nothing but the rows and the status text.
struct tMakerNoteContext {
  // The facts that pick the maker's layout.
  std::string_view CameraMake = {};
  std::string_view CameraModel = {};
  std::string_view ExifVersion = {};  // raw bytes of 0x9000
  bool FromTiff = false;              // the EXIF data come from a TIFF file
  bool BigEndian = false;             // the EXIF data's byte order
  const ByteString& Note;             // the MakerNote value
  int32_t MakerNotePos = 0;           // its position in the EXIF data's buffer
  // The container's bytes, where a value that does not lie wholly in the
  // note is looked for; nullptr: nowhere.
  const tByteStore* OwnerBytes = nullptr;
  // Receives the maker rows, the Canon sub-value rows included.
  std::vector<TTagEntry>& Rows;
  // Receives "Error Detected = " + the message when a fault ends the walk;
  // nullptr: nobody to tell.
  std::string* StatusText = nullptr;
};

// Walks one maker-note directory held in context.Note with the maker's table,
// in the byte order `bigEndian`. p4: 0-based offset of the directory in the
// note; a stored offset X lies at note position X + p4 - p5 + 2; p6: base in
// OwnerBytes of values that lie beyond the note. A fault ends the walk; the
// rows stored before it stay.
void ParseMakerNoteDirectory(tMakerNoteContext& context, bool bigEndian, const std::vector<TTagEntry>& table,
                             int32_t p4, int32_t p5, int32_t p6);

// The Canon sub-value decoders: each reads the rendered text of its array
// entry and adds the named sub-values to `rows` as computed rows. The text is
// passed on unchanged.
std::string CanonCameraSettings(const std::string& text, std::vector<TTagEntry>& rows);
std::string CanonShotInfo(const std::string& text, std::vector<TTagEntry>& rows);
std::string CanonCustomFunctions(const std::string& text, std::vector<TTagEntry>& rows);

class TmsInfo {
 public:
  // context: what the decode reads and where its rows go (not owned, and not
  // kept beyond the decode).
  explicit TmsInfo(tMakerNoteContext& context);
  // True when the make was recognised and a table applied, even if the walk
  // stopped early on a fault.
  bool DecodeMakerNote();

 private:
  tMakerNoteContext& context_;
  int32_t makerNotePos_;
};

}  // namespace meta
