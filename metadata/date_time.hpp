#pragma once
// Date-time values as days since 30 December 1899, the fraction being the time
// of day (the form in which file dates are kept and compared).
#include <cstdint>
#include <ctime>
#include <string>

namespace meta {

struct DateParts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

struct TDateTime {
  double Value = 0.0;

  static TDateTime fromParts(const DateParts& p);
  // A POSIX time, converted to local time, to the second.
  static TDateTime fromTimeT(std::time_t t);
  DateParts toParts() const;  // rounded to the nearest second
};

// The date part written with a strftime-style pattern (%d %m %Y %y).
std::string formatDate(const TDateTime& t, const std::string& pattern);

}  // namespace meta
