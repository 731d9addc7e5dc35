#include "script/function_date.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "base/numeric.h"
#include "script/value.h"

namespace kestrin {

namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kMsPerHour = 3600000;
constexpr int64_t kMsPerMinute = 60000;
// Days from 1970-01-01 back to 1899-12-30.
constexpr int64_t kEpochOffset = 25569;
// Month increments beyond this (about 90 billion years) would overflow the calendar arithmetic.
constexpr int64_t kMaxMonthStep = int64_t{1} << 40;

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}
int64_t FloorMod(int64_t a, int64_t b) {
    return a - FloorDiv(a, b) * b;
}

bool IsLeapYear(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int64_t DaysInMonth(int64_t year, int64_t month) {
    static constexpr int64_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Day number (days since 1899-12-30) of a proleptic Gregorian date, for any year.
int64_t DayNumber(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = FloorDiv(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468 + kEpochOffset;
}

struct CalendarDate {
    int64_t year;
    int64_t month;
    int64_t day;
};

CalendarDate DateOfDayNumber(int64_t number) {
    const int64_t z = number - kEpochOffset + 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    CalendarDate date;
    date.day = dayOfYear - (153 * mp + 2) / 5 + 1;
    date.month = mp < 10 ? mp + 3 : mp - 9;
    date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

// A date value split into its day and its time of day, rounded to the millisecond as the
// calendar and clock fields are read.
struct TimeStamp {
    int64_t day; // toward zero
    int64_t ms;  // 0 .. kMsPerDay - 1
    // Milliseconds on a line that runs straight through the start day.
    int64_t Linear() const { return day * kMsPerDay + ms; }
};

TimeStamp ToTimeStamp(double value) {
    const int64_t total = RoundToInt64(value * static_cast<double>(kMsPerDay));
    const int64_t rest = total % kMsPerDay;
    return {total / kMsPerDay, rest < 0 ? -rest : rest};
}

// A day and a time of day (a fraction in [0, 1)) as a date value.
double Compose(double day, double time) {
    return day >= 0.0 ? day + time : day - time;
}

// Date values on a straight line (days since the start day, negative before it) and back, so
// that moving by hours or days works across the start day.
double ToLinear(double value) {
    return value >= 0.0 ? value : 2.0 * std::trunc(value) - value;
}
double FromLinear(double linear) {
    return linear >= 0.0 ? linear : 2.0 * std::floor(linear) - linear;
}

bool ValidDate(int64_t year, int64_t month, int64_t day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}
bool ValidTime(int64_t hour, int64_t minute, int64_t second) {
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}
double TimeFraction(int64_t hour, int64_t minute, int64_t second) {
    return static_cast<double>(hour * 3600 + minute * 60 + second) / 86400.0;
}

double SystemLocalNow() {
    const auto now = std::chrono::system_clock::now();
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const auto seconds = static_cast<std::time_t>(FloorDiv(ms, 1000));
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return 0.0;
    const int64_t second = local.tm_sec > 59 ? 59 : local.tm_sec; // a leap second
    const int64_t dayMs =
        local.tm_hour * kMsPerHour + local.tm_min * kMsPerMinute + second * 1000 + FloorMod(ms, 1000);
    return Compose(static_cast<double>(DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday)),
                   static_cast<double>(dayMs) / static_cast<double>(kMsPerDay));
}

LocalTimeSource g_now = &SystemLocalNow;

int64_t Field(const RValue& value) {
    return RoundToInt64(value.val());
}

double MoveByMonths(double value, int64_t months) {
    months = months > kMaxMonthStep ? kMaxMonthStep : (months < -kMaxMonthStep ? -kMaxMonthStep : months);
    // A date the fields cannot be read from faults as it does there; a larger day number would
    // overflow the calendar arithmetic.
    (void)ToTimeStamp(value);
    const double day = std::trunc(value);
    const double time = std::fabs(value - day);
    const CalendarDate date = DateOfDayNumber(TruncToInt64(day));
    const int64_t total = date.year * 12 + (date.month - 1) + months;
    const int64_t year = FloorDiv(total, 12), month = FloorMod(total, 12) + 1;
    const int64_t dayOfMonth = std::min(date.day, DaysInMonth(year, month));
    return Compose(static_cast<double>(DayNumber(year, month, dayOfMonth)), time);
}

double MoveBy(double value, double days) {
    return FromLinear(ToLinear(value) + days);
}

// ISO 8601 week: weeks start on Monday and week 1 holds the year's first Thursday.
int64_t IsoWeek(int64_t dayNumber) {
    const int64_t isoWeekday = FloorMod(dayNumber + 5, 7) + 1; // Monday 1 .. Sunday 7
    // The Thursday of this week decides the year the week belongs to.
    const int64_t thursday = dayNumber - isoWeekday + 4;
    const CalendarDate thursdayDate = DateOfDayNumber(thursday);
    return (thursday - DayNumber(thursdayDate.year, 1, 1)) / 7 + 1;
}

// ---- Routines ----

void date_current_datetime(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue& result) {
    result.SetReal(LocalNow());
}

void date_current_date(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue& result) {
    result.SetReal(static_cast<double>(ToTimeStamp(LocalNow()).day));
}

void date_current_time(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue& result) {
    result.SetReal(static_cast<double>(ToTimeStamp(LocalNow()).ms) / static_cast<double>(kMsPerDay));
}

void date_create_datetime(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    double value;
    if (EncodeDateTime(Field(args[0]), Field(args[1]), Field(args[2]), Field(args[3]), Field(args[4]),
                       Field(args[5]), value))
        result.SetReal(value);
}

void date_create_date(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    double value;
    if (EncodeDateTime(Field(args[0]), Field(args[1]), Field(args[2]), 0, 0, 0, value)) result.SetReal(value);
}

void date_create_time(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const int64_t hour = Field(args[0]), minute = Field(args[1]), second = Field(args[2]);
    if (ValidTime(hour, minute, second)) result.SetReal(TimeFraction(hour, minute, second));
}

void date_valid_datetime(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const bool valid = ValidDate(Field(args[0]), Field(args[1]), Field(args[2])) &&
                       ValidTime(Field(args[3]), Field(args[4]), Field(args[5]));
    result.SetReal(valid ? 1.0 : 0.0);
}

void date_valid_date(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(ValidDate(Field(args[0]), Field(args[1]), Field(args[2])) ? 1.0 : 0.0);
}

void date_valid_time(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(ValidTime(Field(args[0]), Field(args[1]), Field(args[2])) ? 1.0 : 0.0);
}

void date_inc_year(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const int64_t years = Field(args[1]);
    const int64_t limit = kMaxMonthStep / 12;
    result.SetReal(
        MoveByMonths(args[0].val(), 12 * (years > limit ? limit : (years < -limit ? -limit : years))));
}

void date_inc_month(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(MoveByMonths(args[0].val(), Field(args[1])));
}

template <int64_t kUnitMs>
void MoveByUnits(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double units = static_cast<double>(Field(args[1]));
    result.SetReal(
        MoveBy(args[0].val(), units * static_cast<double>(kUnitMs) / static_cast<double>(kMsPerDay)));
}

enum class DateField {
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    Week,
    Weekday,
    DayOfYear,
    HourOfYear,
    MinuteOfYear,
    SecondOfYear
};

int64_t GetField(double value, DateField field) {
    const TimeStamp t = ToTimeStamp(value);
    const CalendarDate date = DateOfDayNumber(t.day);
    const int64_t hour = t.ms / kMsPerHour, minute = t.ms / kMsPerMinute % 60, second = t.ms / 1000 % 60;
    const int64_t dayOfYear = t.day - DayNumber(date.year, 1, 1) + 1;
    switch (field) {
    case DateField::Year:
        return date.year;
    case DateField::Month:
        return date.month;
    case DateField::Day:
        return date.day;
    case DateField::Hour:
        return hour;
    case DateField::Minute:
        return minute;
    case DateField::Second:
        return second;
    case DateField::Week:
        return IsoWeek(t.day);
    case DateField::Weekday:
        return FloorMod(t.day + 6, 7) + 1; // the start day was a Saturday
    case DateField::DayOfYear:
        return dayOfYear;
    case DateField::HourOfYear:
        return (dayOfYear - 1) * 24 + hour;
    case DateField::MinuteOfYear:
        return ((dayOfYear - 1) * 24 + hour) * 60 + minute;
    case DateField::SecondOfYear:
        break;
    }
    return (((dayOfYear - 1) * 24 + hour) * 60 + minute) * 60 + second;
}

template <DateField kField>
void GetFieldRoutine(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(Int64ToReal(GetField(args[0].val(), kField)));
}

template <int64_t kUnitMs>
void SpanRoutine(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double days = std::fabs(ToLinear(args[0].val()) - ToLinear(args[1].val()));
    result.SetReal(days * static_cast<double>(kMsPerDay) / static_cast<double>(kUnitMs));
}

void date_year_span(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(std::fabs(ToLinear(args[0].val()) - ToLinear(args[1].val())) / 365.25);
}

void date_month_span(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(std::fabs(ToLinear(args[0].val()) - ToLinear(args[1].val())) / 30.4375);
}

double Order(int64_t a, int64_t b) {
    return a < b ? -1.0 : (a > b ? 1.0 : 0.0);
}

void date_compare_datetime(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(Order(ToTimeStamp(args[0].val()).Linear(), ToTimeStamp(args[1].val()).Linear()));
}

void date_compare_date(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(Order(ToTimeStamp(args[0].val()).day, ToTimeStamp(args[1].val()).day));
}

void date_compare_time(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(Order(ToTimeStamp(args[0].val()).ms, ToTimeStamp(args[1].val()).ms));
}

void date_date_of(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(std::trunc(args[0].val()));
}

// The time of day, also for values before the start day (whose fraction is negative).
void date_time_of(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double value = args[0].val();
    result.SetReal(std::fabs(value - std::trunc(value)));
}

void date_datetime_string(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double value = args[0].val();
    std::string text = DateText(value);
    if (ToTimeStamp(value).ms != 0) text += " " + TimeText(value);
    result.SetString(text);
}

void date_date_string(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetString(DateText(args[0].val()));
}

void date_time_string(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetString(TimeText(args[0].val()));
}

void date_days_in_month(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const CalendarDate date = DateOfDayNumber(ToTimeStamp(args[0].val()).day);
    result.SetReal(Int64ToReal(DaysInMonth(date.year, date.month)));
}

void date_days_in_year(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(IsLeapYear(DateOfDayNumber(ToTimeStamp(args[0].val()).day).year) ? 366.0 : 365.0);
}

void date_leap_year(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(IsLeapYear(DateOfDayNumber(ToTimeStamp(args[0].val()).day).year) ? 1.0 : 0.0);
}

void date_is_today(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(ToTimeStamp(args[0].val()).day == ToTimeStamp(LocalNow()).day ? 1.0 : 0.0);
}

constexpr RFunctionSpec kDateFunctions[] = {
    {"date_current_datetime", date_current_datetime, 0},
    {"date_current_date", date_current_date, 0},
    {"date_current_time", date_current_time, 0},
    {"date_create_datetime", date_create_datetime, 6},
    {"date_create_date", date_create_date, 3},
    {"date_create_time", date_create_time, 3},
    {"date_valid_datetime", date_valid_datetime, 6},
    {"date_valid_date", date_valid_date, 3},
    {"date_valid_time", date_valid_time, 3},
    {"date_inc_year", date_inc_year, 2},
    {"date_inc_month", date_inc_month, 2},
    {"date_inc_week", MoveByUnits<7 * kMsPerDay>, 2},
    {"date_inc_day", MoveByUnits<kMsPerDay>, 2},
    {"date_inc_hour", MoveByUnits<kMsPerHour>, 2},
    {"date_inc_minute", MoveByUnits<kMsPerMinute>, 2},
    {"date_inc_second", MoveByUnits<1000>, 2},
    {"date_get_year", GetFieldRoutine<DateField::Year>, 1},
    {"date_get_month", GetFieldRoutine<DateField::Month>, 1},
    {"date_get_day", GetFieldRoutine<DateField::Day>, 1},
    {"date_get_hour", GetFieldRoutine<DateField::Hour>, 1},
    {"date_get_minute", GetFieldRoutine<DateField::Minute>, 1},
    {"date_get_second", GetFieldRoutine<DateField::Second>, 1},
    {"date_get_week", GetFieldRoutine<DateField::Week>, 1},
    {"date_get_weekday", GetFieldRoutine<DateField::Weekday>, 1},
    {"date_get_day_of_year", GetFieldRoutine<DateField::DayOfYear>, 1},
    {"date_get_hour_of_year", GetFieldRoutine<DateField::HourOfYear>, 1},
    {"date_get_minute_of_year", GetFieldRoutine<DateField::MinuteOfYear>, 1},
    {"date_get_second_of_year", GetFieldRoutine<DateField::SecondOfYear>, 1},
    {"date_year_span", date_year_span, 2},
    {"date_month_span", date_month_span, 2},
    {"date_week_span", SpanRoutine<7 * kMsPerDay>, 2},
    {"date_day_span", SpanRoutine<kMsPerDay>, 2},
    {"date_hour_span", SpanRoutine<kMsPerHour>, 2},
    {"date_minute_span", SpanRoutine<kMsPerMinute>, 2},
    {"date_second_span", SpanRoutine<1000>, 2},
    {"date_compare_datetime", date_compare_datetime, 2},
    {"date_compare_date", date_compare_date, 2},
    {"date_compare_time", date_compare_time, 2},
    {"date_date_of", date_date_of, 1},
    {"date_time_of", date_time_of, 1},
    {"date_datetime_string", date_datetime_string, 1},
    {"date_date_string", date_date_string, 1},
    {"date_time_string", date_time_string, 1},
    {"date_days_in_month", date_days_in_month, 1},
    {"date_days_in_year", date_days_in_year, 1},
    {"date_leap_year", date_leap_year, 1},
    {"date_is_today", date_is_today, 1},
};

} // namespace

std::span<const RFunctionSpec> DateFunctions() {
    return kDateFunctions;
}

void SetLocalTimeSource(LocalTimeSource source) {
    g_now = source ? source : &SystemLocalNow;
}

double LocalNow() {
    return g_now();
}

bool EncodeDateTime(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute, int64_t second,
                    double& value) {
    if (!ValidDate(year, month, day) || !ValidTime(hour, minute, second)) return false;
    value = Compose(static_cast<double>(DayNumber(year, month, day)), TimeFraction(hour, minute, second));
    return true;
}

std::string DateText(double value) {
    const CalendarDate date = DateOfDayNumber(ToTimeStamp(value).day);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%s%04lld-%02lld-%02lld", date.year < 0 ? "-" : "",
                  static_cast<long long>(date.year < 0 ? -date.year : date.year),
                  static_cast<long long>(date.month), static_cast<long long>(date.day));
    return buffer;
}

std::string TimeText(double value) {
    const int64_t ms = ToTimeStamp(value).ms;
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", static_cast<long long>(ms / kMsPerHour),
                  static_cast<long long>(ms / kMsPerMinute % 60), static_cast<long long>(ms / 1000 % 60));
    return buffer;
}

} // namespace kestrin
