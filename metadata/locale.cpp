#include "metadata/locale.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

namespace meta {

namespace {

Locale& localeSlot() {
  static Locale current = Locale::fromEnvironment();
  return current;
}

// Turns a platform date pattern into the subset that the summary writes.
std::string normaliseDatePattern(std::string_view p) {
  std::string out;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '%' && i + 1 < p.size()) {
      char c = p[++i];
      if (c == 'e') c = 'd';
      if (c == 'D') {
        out += "%m/%d/%y";
        continue;
      }
      if (c == 'F') {
        out += "%Y-%m-%d";
        continue;
      }
      out += '%';
      out += c;
    } else {
      out += p[i];
    }
  }
  return out;
}

}  // namespace

Locale Locale::fromEnvironment() {
  Locale l;
#if defined(_WIN32)
  char buf[16] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, sizeof buf) > 0 && buf[0])
    l.decimalSeparator = buf[0];
  char date[64] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, date, sizeof date) > 0) {
    // Windows pictures: dd/MM/yyyy and friends.
    std::string s = date, out;
    for (size_t i = 0; i < s.size();) {
      size_t j = i;
      while (j < s.size() && s[j] == s[i]) ++j;
      size_t n = j - i;
      char c = s[i];
      if (c == 'd')
        out += "%d";
      else if (c == 'M')
        out += "%m";
      else if (c == 'y')
        out += (n >= 4 ? "%Y" : "%y");
      else
        out.append(n, c);
      i = j;
    }
    l.shortDateFormat = out;
  }
#else
  locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
  if (loc != static_cast<locale_t>(0)) {
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    if (radix && radix[0] && !radix[1]) l.decimalSeparator = radix[0];
    const char* dfmt = nl_langinfo_l(D_FMT, loc);
    if (dfmt && dfmt[0]) l.shortDateFormat = normaliseDatePattern(dfmt);
    freelocale(loc);
  }
#endif
  return l;
}

const Locale& currentLocale() { return localeSlot(); }
void setCurrentLocale(const Locale& locale) { localeSlot() = locale; }

std::string formatFixed(double value, int precision, char decimalSeparator) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buf[512];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
  if (ec != std::errc()) return "0";
  std::string s(buf, p);
  if (decimalSeparator != '.')
    for (char& c : s)
      if (c == '.') c = decimalSeparator;
  return s;
}

std::string formatFloat(std::string_view format, double value, char decimalSeparator) {
  std::string out;
  bool used = false;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool left = false, zero = false;
    while (j < format.size() &&
           (format[j] == '-' || format[j] == '0' || format[j] == '+' || format[j] == ' ')) {
      if (format[j] == '-') left = true;
      if (format[j] == '0') zero = true;
      ++j;
    }
    int width = 0;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9')
      width = width * 10 + (format[j++] - '0');
    int precision = 6;
    if (j < format.size() && format[j] == '.') {
      ++j;
      precision = 0;
      while (j < format.size() && format[j] >= '0' && format[j] <= '9')
        precision = precision * 10 + (format[j++] - '0');
    }
    if (j >= format.size() || (format[j] != 'f' && format[j] != 'F') || used) {
      out.append(format.substr(i, j - i + (j < format.size() ? 1 : 0)));
      i = j;
      continue;
    }
    used = true;
    std::string num = formatFixed(value, precision > 60 ? 60 : precision, decimalSeparator);
    if (static_cast<int>(num.size()) < width) {
      size_t pad = width - num.size();
      if (left)
        num.append(pad, ' ');
      else if (zero)
        num.insert(num[0] == '-' ? 1 : 0, pad, '0');
      else
        num.insert(0, pad, ' ');
    }
    out += num;
    i = j;
  }
  return out;
}

std::string formatZeroPadded(long long value, int digits) {
  const bool neg = value < 0;
  const unsigned long long mag =
      neg ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  char text[24];
  const size_t length = static_cast<size_t>(std::to_chars(text, text + sizeof text, mag).ptr - text);
  const size_t zeros =
      digits > 0 && static_cast<size_t>(digits) > length ? static_cast<size_t>(digits) - length : 0;
  std::string s;
  s.reserve((neg ? 1 : 0) + zeros + length);
  if (neg) s += '-';
  s.append(zeros, '0');
  s.append(text, length);
  return s;
}

}  // namespace meta
