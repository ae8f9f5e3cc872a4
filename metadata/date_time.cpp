#include "metadata/date_time.hpp"

#include <cmath>

#include "metadata/locale.hpp"

namespace meta {

namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

constexpr long long kEpochOffset = 25569;  // days from 1899-12-30 to 1970-01-01

}  // namespace

TDateTime TDateTime::fromParts(const DateParts& p) {
  long long days =
      daysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) + kEpochOffset;
  double secs = p.hour * 3600.0 + p.minute * 60.0 + p.second;
  return TDateTime{static_cast<double>(days) + secs / 86400.0};
}

TDateTime TDateTime::fromTimeT(std::time_t t) {
  std::tm tm{};
#if defined(_WIN32)
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  DateParts p{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  return fromParts(p);
}

DateParts TDateTime::toParts() const {
  long long totalSeconds = std::llround(Value * 86400.0);
  long long days = totalSeconds / 86400;
  long long rest = totalSeconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  DateParts p;
  civilFromDays(days - kEpochOffset, p.year, p.month, p.day);
  p.hour = static_cast<int>(rest / 3600);
  p.minute = static_cast<int>(rest / 60 % 60);
  p.second = static_cast<int>(rest % 60);
  return p;
}

std::string formatDate(const TDateTime& t, const std::string& pattern) {
  DateParts p = t.toParts();
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size()) {
      char c = pattern[++i];
      switch (c) {
        case 'd':
          out += formatZeroPadded(p.day, 2);
          break;
        case 'm':
          out += formatZeroPadded(p.month, 2);
          break;
        case 'Y':
          out += formatZeroPadded(p.year, 4);
          break;
        case 'y':
          out += formatZeroPadded(p.year % 100, 2);
          break;
        case '%':
          out += '%';
          break;
        default:
          break;  // time fields and names are not part of a short date
      }
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace meta
