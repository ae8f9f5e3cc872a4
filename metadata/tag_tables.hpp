#pragma once
// The vocabulary of the EXIF decoder: the row type of every tag table and
// decoded tag list, the EXIF/TIFF and GPS tables, and the rules that turn the
// raw bytes of a directory entry into text.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/text.hpp"

namespace meta {

struct TTagEntry;

// A renderer replaces the value text of a row. Maker-note renderers (the Canon
// sub-value decoders) add rows to the rows being decoded, which are passed in
// explicitly; the EXIF renderers ignore them.
using TagRenderer = std::string (*)(const std::string& text, std::vector<TTagEntry>& rows);

// A code list ("0:Auto,1:Manual"): entries separated by commas, each a key,
// a colon and the text shown for it. It is parsed once, when made; copies
// share the parsed form, which never changes, so any thread may read it.
class tCodeList {
 public:
  tCodeList() = default;
  tCodeList(std::string_view text);  // NOLINT(google-explicit-constructor): tables and tests give texts
  tCodeList(const char* text) : tCodeList(std::string_view(text)) {}         // NOLINT
  tCodeList(const std::string& text) : tCodeList(std::string_view(text)) {}  // NOLINT

  const std::string& text() const;
  operator const std::string&() const { return text(); }  // NOLINT: the list as written
  bool empty() const { return !parsed_; }
  friend bool operator==(const tCodeList& list, std::string_view text) { return list.text() == text; }

  // The text of the first entry whose key is `key` without the blanks and
  // control characters around it; empty when no entry has that key. The key
  // of an entry runs to its first colon (an entry without one has none), its
  // text from there to the next comma. A key that holds a comma or a colon
  // is looked for in the list as written, as ",KEY:", and its text runs from
  // there to the next comma.
  std::string Lookup(std::string_view key) const;

 private:
  struct Parsed;
  std::shared_ptr<const Parsed> parsed_;  // null: the empty list
};

struct TTagEntry {
  int32_t Group = 0;        // 0: standard directories and tables; 1: maker-note rows
  uint8_t Directory = 0;    // where a stored standard row was read: a RowDirectory
  uint16_t ValueType = 0;   // TIFF type code of the stored value; 0 in the tables
  uint16_t IptcRecord = 0;  // IPTC record number of a dataset row; 0 elsewhere
  uint16_t Tag = 0;         // 0 marks the default row ("Unknown")
  std::string Name;         // key of the look-ups by name
  std::string Desc;         // shown to the user
  tCodeList Codes;          // "0:Auto,1:Manual" or empty
  std::string Data;         // the value as text, filled when stored
  ByteString Raw;           // the value's raw bytes, filled when stored
  int32_t RawPos = 0;       // 1-based buffer position of Raw
  std::string Template;     // format template or empty
  int32_t Size = 0;         // number of raw bytes
  TagRenderer Callback = nullptr;
};

// A row made by a decoder rather than read from an entry: tag 0, maker-note
// group, `text` as both its value and its bytes.
TTagEntry ComputedRow(const std::string& name, const std::string& text, uint16_t valueType);

// TIFF value types: bytes per element, indexed by the type code 0..12.
inline constexpr std::array<int32_t, 13> TypeSize{0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
enum TiffType : uint16_t {
  BYTE = 1,
  ASCII = 2,
  SHORT = 3,
  LONG = 4,
  RATIONAL = 5,
  SBYTE = 6,
  UNDEFINED = 7,
  SSHORT = 8,
  SLONG = 9,
  SRATIONAL = 10,
  FLOAT = 11,
  DOUBLE = 12
};
// Bytes per element; a DecodeFault for a type code above 12.
[[noreturn]] void refuseTypeCode(int32_t type);
inline int32_t typeSizeOf(int32_t type) {
  if (type < 0 || type >= static_cast<int32_t>(TypeSize.size())) refuseTypeCode(type);
  return TypeSize[static_cast<size_t>(type)];
}

// The directory a stored row comes from (TTagEntry::Directory): the main
// and Exif directories, the GPS directory, the interoperability directory.
enum RowDirectory : uint8_t { kRowExif = 0, kRowGps = 1, kRowInteroperability = 2 };

// Directory kinds as passed to ParseDirectory.
enum DirectoryKind : int32_t { kMainDirectory = 1, kGpsDirectory = 2, kPreviewDirectory = 4 };

// The constant tables, with every empty description completed from the name
// (CompleteDescriptions) the first time either is used.
const std::vector<TTagEntry>& ExifTagTable();  // 251 rows; row 250 is the default row
const std::vector<TTagEntry>& GpsTagTable();   // 31 rows, tags 0x0000..0x001E
const TTagEntry& EmptyTagRow();
void CompleteDescriptions();  // idempotent; forces the completion

std::string SplitCamelCase(std::string_view name);

// The row for (tag, kind), in place: the last matching row of the EXIF table
// (kinds 1 and 4) or of the GPS table (kind 2), or the default "Unknown" row.
const TTagEntry& FindRowOf(int32_t tag, int32_t kind);

// Text of a value of any type but ASCII and UNDEFINED: at most 8 elements,
// through the code list and the template. Faults on a type code above 12.
std::string RenderValue(const ByteString& raw, int32_t type, const tCodeList& codes, std::string_view format,
                        bool bigEndian);
// The value as one number (0 for what cannot be converted; never faults).
double NumericValue(const ByteString& raw, int32_t type, bool bigEndian);
// codes.Lookup(key).
std::string LookupCode(const tCodeList& codes, std::string_view key);
std::string PrintableText(std::string_view text);  // first 50 characters, controls as "."
std::string PrintableText(std::string&& text);     // the same, in the text's own room
double ParseFraction(std::string_view text);

// The renderers of the EXIF and GPS tables.
std::string RenderComponents(const std::string& text, std::vector<TTagEntry>& rows);
std::string RenderShutterSpeed(const std::string& text, std::vector<TTagEntry>& rows);
std::string RenderFlash(const std::string& text, std::vector<TTagEntry>& rows);
std::string RenderComment(const std::string& text, std::vector<TTagEntry>& rows);
std::string RenderWideText(const std::string& text, std::vector<TTagEntry>& rows);
std::string RenderCoordinate(const std::string& text, std::vector<TTagEntry>& rows);
std::string RenderTimeStamp(const std::string& text, std::vector<TTagEntry>& rows);

// Rounds half to even and checks the 32-bit range (DecodeFault outside).
int32_t roundToInt32(double value);

}  // namespace meta
