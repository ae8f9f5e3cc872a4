#include "metadata/text.hpp"

#include <charconv>

namespace meta {

std::string toLower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = asciiLower(c);
  return r;
}

std::string toUpper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = asciiUpper(c);
  return r;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

std::string trimText(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return std::string(s.substr(b, e - b));
}

bool parseWholeNumber(std::string_view s, long long& out) {
  std::string t = trimText(s);
  const char* b = t.data();
  const char* e = t.data() + t.size();
  if (b != e && *b == '+') ++b;
  if (b == e) return false;
  auto [p, ec] = std::from_chars(b, e, out);
  return ec == std::errc() && p == e;
}

}  // namespace meta
