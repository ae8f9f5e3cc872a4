#pragma once
// The name-format language: the 21 format elements, the default format, and
// the parse result (items and literal runs) from which names are composed.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace naming {

// Where an element's value comes from, which decides how far it is trusted
// as part of a path.
enum class ValueSource : uint8_t {
  Program,   // written by the program: digits, F/N, the extension
  Metadata,  // a text stored in the file: any bytes at all
  FileName,  // the photo's own name
  User,      // typed by the user, used as typed
};

struct FormatElement {
  int32_t ElementCode;      // identity inside a parsed format, 1..21
  const char* Keyword;      // upper case, at most 20 characters
  const char* Description;  // shown by the element picker and the report
  uint8_t Optional;         // 1: an empty value keeps the name complete
  ValueSource Source;
};

// Row order is the display order and the order in which the parser tries the
// keywords; codes do not follow it.
inline constexpr std::array<FormatElement, 21> FormatElementTable{{
    {7, "NAME", "File name", 0, ValueSource::FileName},
    {8, "EXT", "File exension", 0, ValueSource::Program},
    {15, "WIDTH", "Image width", 0, ValueSource::Program},
    {16, "HEIGHT", "Image height", 0, ValueSource::Program},
    {1, "IYEAR", "Image date Year", 0, ValueSource::Program},
    {2, "IMONTH", "Image date month", 0, ValueSource::Program},
    {3, "IDAY", "Image date day", 0, ValueSource::Program},
    {4, "IHOUR", "Image date hour", 0, ValueSource::Program},
    {5, "IMIN", "Image date Minutes", 0, ValueSource::Program},
    {6, "ISEC", "Image date seconds", 0, ValueSource::Program},
    {9, "FYEAR", "File date Year", 0, ValueSource::Program},
    {10, "FMONTH", "File date month", 0, ValueSource::Program},
    {11, "FDAY", "File date day", 0, ValueSource::Program},
    {12, "FHOUR", "File date hour", 0, ValueSource::Program},
    {13, "FMIN", "File date Minutes", 0, ValueSource::Program},
    {14, "FSEC", "File date seconds", 0, ValueSource::Program},
    {17, "FLASH", "Flash fired (F/N: Flash/Natural", 0, ValueSource::Program},
    {18, "MAKER", "Camera maker", 1, ValueSource::Metadata},
    {19, "MODEL", "Camera model", 1, ValueSource::Metadata},
    {20, "TEXT", "Text typed by user", 1, ValueSource::User},
    {21, "NUMBER", "Dynamic image number", 0, ValueSource::Program},
}};

inline constexpr int kElementCount = 21;
inline constexpr int kMaxItems = 256;       // capacity of Items and Literals
inline constexpr int32_t kNumberCode = 21;  // the running number: no stored value

// Row indexes of the elements whose values the evaluation fills.
enum ElementRow : int {
  rowNAME = 0,
  rowEXT,
  rowWIDTH,
  rowHEIGHT,
  rowIYEAR,
  rowIMONTH,
  rowIDAY,
  rowIHOUR,
  rowIMIN,
  rowISEC,
  rowFYEAR,
  rowFMONTH,
  rowFDAY,
  rowFHOUR,
  rowFMIN,
  rowFSEC,
  rowFLASH,
  rowMAKER,
  rowMODEL,
  rowTEXT,
  rowNUMBER
};

// "[IYEAR][IMONTH][IDAY]-[IHOUR][IMIN][ISEC]-[NUMBER][TEXT][EXT]"
const std::string& DefaultFormat();

// Row index (0..20) of the element with this code; an internal error
// ("ERREUR PROGRAMME: Tag non trouvé", unit Principale, line 240) otherwise.
int ElementRowOf(int32_t code);

// The parse result of one format text.
struct TParsedFormat {
  std::array<std::string, kMaxItems> Literals;
  std::array<int32_t, kMaxItems> Items{};  // > 0: element code; <= 0: -(literal index)
  int32_t ItemCount = 0;
};

// Parses a format text; whatever is not a known element is literal text. A
// format needing more than 256 items is cut after the 256th.
void ParseFormat(std::string_view text, TParsedFormat& out);

}  // namespace naming
