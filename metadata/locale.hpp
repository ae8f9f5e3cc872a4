#pragma once
// Regional settings used when values are written as text: the decimal
// separator of rendered numbers and the short date format of the long summary.
// They come from the user's locale by default and can be replaced, so that the
// command line and the tests give the same output on every machine.
#include <string>
#include <string_view>

namespace meta {

struct Locale {
  char decimalSeparator = '.';
  // strftime-style pattern of the short date: %d, %m, %Y and %y are honoured.
  std::string shortDateFormat = "%d/%m/%Y";

  static Locale fromEnvironment();  // the user's regional settings
};

const Locale& currentLocale();  // fromEnvironment() until setCurrentLocale is called
void setCurrentLocale(const Locale& locale);

// printf-style formatting of one floating-point argument, the way the tag
// templates use it ("%5.2f", "F%0.1f", "%4.4f sec", "%5.2f mm", "%0.0f"):
// literal text around a single %[-][0][width][.precision]f conversion ("%%" is
// a percent sign). The number is written with the given decimal separator and
// does not depend on the C library's locale.
std::string formatFloat(std::string_view format, double value, char decimalSeparator);
inline std::string formatFloat(std::string_view format, double value) {
  return formatFloat(format, value, currentLocale().decimalSeparator);
}

// "%0.0f"-style rounding of one value to a whole-number text.
std::string formatFixed(double value, int precision, char decimalSeparator = '.');

// printf "%W.Wd"-style: at least `digits` digits, zero-padded, sign in front.
std::string formatZeroPadded(long long value, int digits);

}  // namespace meta
