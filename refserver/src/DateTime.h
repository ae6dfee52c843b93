// Dates and times as a spreadsheet keeps them: OLE Automation DATE values, days since
// 1899-12-30 with the time of day as the fraction, so that a cell's value is a plain number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace refsrv {

struct CivilTime {
    int year, month, day; // month 1-12
    int hour, minute, second, millisecond;
    int weekday; // 0 Sunday
};

// The DATE of a calendar day and time; false when a field is out of range.
bool MakeDate(int year, int month, int day, int hour, int minute, double seconds, double& value);
// The calendar fields of a DATE, rounded to the millisecond; false outside the years 100 to
// 9999.
bool SplitDate(double value, CivilTime& civil);
// The DATE as whole milliseconds since 1899-12-30 00:00 on a continuous time line (DATE values
// before that day count their fraction away from zero).
bool DateToMilliseconds(double value, int64_t& milliseconds);
CivilTime CivilFromMilliseconds(int64_t milliseconds);

// How a text showed its date and time, to give the column a display format that shows it back.
struct DateShape {
    enum Date : uint8_t { NoDate, Iso, UsShortYear, UsLongYear } date = NoDate;
    enum Time : uint8_t { NoTime, HourMinute, HourMinuteSecond } time = NoTime;
    bool twoDigitHour = false;
    bool ampm = false;
    uint8_t fractionDigits = 0;
};

// Recognises yyyy-mm-dd, m/d/yy and m/d/yyyy, each optionally followed by a blank (or 'T' after
// the ISO form) and a time, or a time alone: h:mm, h:mm:ss, h:mm:ss.fff, with an optional AM or PM.
// Two-digit years 00-29 are 2000-2029 and 30-99 are 1930-1999.
bool ParseDateTime(std::string_view text, double& value, DateShape& shape);
std::wstring FormatCodeOf(const DateShape& shape);

} // namespace refsrv
