#pragma once
// The date_* built-ins. A date value is a real counting days since midnight at the start of
// 30 December 1899 in the proleptic Gregorian calendar, local time; the fraction is the time
// of day. Before that midnight the integer part (toward zero) is still the day and the
// magnitude of the fraction the time: -1.25 is 29 December 1899, 6:00.

#include <cstdint>
#include <span>
#include <string>

#include "script/builtin_routine.h"

namespace kestrin {

// The family's table, in registration order.
std::span<const RFunctionSpec> DateFunctions();

// Where "now" comes from, as a local date value; the default reads the system clock and the
// time zone. A replaying run or a test installs its own. Null restores the default.
using LocalTimeSource = double (*)();
void SetLocalTimeSource(LocalTimeSource source);
double LocalNow();

// The date value of a calendar day and time of day; false when the fields do not form one
// (year 1 to 9999, month 1 to 12, day within the month, hour 0 to 23, minute and second 0 to
// 59).
bool EncodeDateTime(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute, int64_t second,
                    double& value);

// The texts of date_date_string and date_time_string: ISO 8601 (2026-12-10, 14:05:09), the
// same in every locale so that saved texts and logs read back anywhere.
std::string DateText(double value);
std::string TimeText(double value);

} // namespace kestrin
