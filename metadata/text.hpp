#pragma once
// Byte-string helpers shared by the decoders and the naming engine. Texts are
// byte strings in the platform code page; letter case is folded for ASCII
// letters only, so UTF-8 sequences pass through unchanged.
#include <charconv>
#include <string>
#include <string_view>

namespace meta {

using ByteString = std::string;  // raw bytes, addressed 1-based by tEndInd

inline char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
inline char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

std::string toLower(std::string_view s);
std::string toUpper(std::string_view s);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// Removes leading and trailing blanks and control characters (codes <= 32).
std::string trimText(std::string_view s);

// The length of the well-formed UTF-8 sequence that starts `s` (no overlong
// form, no surrogate, nothing above U+10FFFF); 0 when none does.
size_t utf8SequenceLength(std::string_view s);
bool isUtf8(std::string_view s);

// A path (or any text that holds one) as it may be shown on a terminal, in a
// log or in a report: printable ASCII and well-formed UTF-8 stay as they
// are; control characters (bytes below 0x20, the tab and line ends
// included, 0x7F, and U+0080..U+009F) and bytes that are not UTF-8 are
// written \xHH, two lower-case hexadecimal digits for each byte. For
// showing only: the path itself keeps its bytes.
std::string printablePath(std::string_view path);

// Whole decimal number with optional sign and surrounding blanks; false when
// the text is not one or does not fit 64 bits.
bool parseWholeNumber(std::string_view s, long long& out);

// The decimal digits of a whole number (with its sign) appended to `out`.
template <class T>
void appendDecimal(std::string& out, T value) {
  char digits[24];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

}  // namespace meta
