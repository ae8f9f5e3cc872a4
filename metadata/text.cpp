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

size_t utf8SequenceLength(std::string_view s) {
  if (s.empty()) return 0;
  const unsigned char c = static_cast<unsigned char>(s[0]);
  size_t extra = 0;
  unsigned min = 0, cp = 0;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    extra = 1, min = 0x80, cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2, min = 0x800, cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3, min = 0x10000, cp = c & 0x07;
  } else {
    return 0;
  }
  if (s.size() <= extra) return 0;
  for (size_t k = 1; k <= extra; ++k) {
    const unsigned char d = static_cast<unsigned char>(s[k]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return extra + 1;
}

bool isUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = utf8SequenceLength(s.substr(i));
    if (n == 0) return false;
    i += n;
  }
  return true;
}

namespace {

// True for the bytes that printablePath writes as they are when alone.
bool plainByte(unsigned char c) { return c >= 0x20 && c < 0x7F; }

void appendEscaped(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const char escaped[4] = {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    out.append(escaped, 4);
  }
}

}  // namespace

std::string printablePath(std::string_view path) {
  size_t i = 0;
  while (i < path.size() && plainByte(static_cast<unsigned char>(path[i]))) ++i;
  if (i == path.size()) return std::string(path);  // the usual case: nothing to look at
  std::string out(path.substr(0, i));
  out.reserve(path.size() + 8);
  while (i < path.size()) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (plainByte(c)) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const size_t n = c < 0x80 ? 0 : utf8SequenceLength(path.substr(i));
    // U+0080..U+009F, the C1 controls, are C2 80..C2 9F.
    const bool control = n == 2 && c == 0xC2 && static_cast<unsigned char>(path[i + 1]) < 0xA0;
    if (n == 0 || control) {
      const size_t length = n == 0 ? 1 : n;
      appendEscaped(out, path.substr(i, length));
      i += length;
    } else {
      out.append(path.substr(i, n));
      i += n;
    }
  }
  return out;
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
