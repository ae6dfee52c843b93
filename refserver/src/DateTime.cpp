#include "DateTime.h"

#include <cmath>

namespace refsrv {

namespace {

constexpr int64_t kMsPerDay = 86400000;
// Days from 1970-01-01 to 1899-12-30, the DATE epoch.
constexpr int64_t kEpochShift = -25569;

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// A cursor over the text being recognised.
struct Scanner {
    std::string_view text;
    size_t pos = 0;

    bool AtEnd() const { return pos == text.size(); }
    bool Take(char c) {
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    // 1 to maxDigits decimal digits; `count` tells how many.
    bool Number(int maxDigits, int& value, int& count) {
        value = 0;
        count = 0;
        while (pos < text.size() && count < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + (text[pos++] - '0');
            ++count;
        }
        return count > 0;
    }
    bool TakeNoCase(char lower) {
        if (pos < text.size() && (text[pos] | 0x20) == lower) {
            ++pos;
            return true;
        }
        return false;
    }
};

bool ParseTime(Scanner& s, int& hour, int& minute, double& seconds, DateShape& shape) {
    int digits = 0;
    int minuteDigits = 0;
    if (!s.Number(2, hour, digits) || !s.Take(':') || !s.Number(2, minute, minuteDigits) ||
        minuteDigits != 2)
        return false;
    shape.twoDigitHour = digits == 2;
    shape.time = DateShape::HourMinute;
    seconds = 0;
    if (s.Take(':')) {
        int whole = 0;
        if (!s.Number(2, whole, digits) || digits != 2)
            return false;
        shape.time = DateShape::HourMinuteSecond;
        seconds = whole;
        if (s.Take('.')) {
            int fraction = 0;
            if (!s.Number(3, fraction, digits))
                return false;
            shape.fractionDigits = static_cast<uint8_t>(digits);
            seconds += fraction / std::pow(10.0, digits);
        }
    }
    size_t beforeSuffix = s.pos;
    s.Take(' ');
    bool pm = s.TakeNoCase('p');
    if (pm || s.TakeNoCase('a')) {
        if (!s.TakeNoCase('m') || hour < 1 || hour > 12)
            return false;
        shape.ampm = true;
        hour = hour % 12 + (pm ? 12 : 0);
    } else {
        s.pos = beforeSuffix;
    }
    return hour < 24 && minute < 60 && seconds < 60;
}

bool ParseDate(Scanner& s, int& year, int& month, int& day, DateShape& shape) {
    int first = 0;
    int digits = 0;
    if (!s.Number(4, first, digits))
        return false;
    int count = 0;
    if (digits == 4 && s.Take('-')) {
        year = first;
        shape.date = DateShape::Iso;
        return s.Number(2, month, count) && count == 2 && s.Take('-') && s.Number(2, day, count) &&
               count == 2;
    }
    if (digits > 2 || !s.Take('/'))
        return false;
    month = first;
    if (!s.Number(2, day, count) || !s.Take('/') || !s.Number(4, year, count))
        return false;
    if (count == 2) {
        year += year < 30 ? 2000 : 1900;
        shape.date = DateShape::UsShortYear;
    } else if (count == 4) {
        shape.date = DateShape::UsLongYear;
    } else {
        return false;
    }
    return true;
}

} // namespace

bool MakeDate(int year, int month, int day, int hour, int minute, double seconds, double& value) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return false;
    double days = static_cast<double>(DaysFromCivil(year, month, day) - kEpochShift);
    double fraction = (hour * 3600.0 + minute * 60.0 + seconds) / 86400.0;
    // Before the epoch the fraction counts away from zero: -1.25 is 1899-12-29 06:00.
    value = days < 0 ? days - fraction : days + fraction;
    return true;
}

bool DateToMilliseconds(double value, int64_t& milliseconds) {
    if (!(value >= -657434.0 && value < 2958466.0))
        return false;
    double whole = std::trunc(value);
    double fraction = std::fabs(value - whole);
    milliseconds = static_cast<int64_t>(whole) * kMsPerDay +
                   static_cast<int64_t>(std::llround(fraction * kMsPerDay));
    return true;
}

CivilTime CivilFromMilliseconds(int64_t milliseconds) {
    int64_t days = milliseconds >= 0 ? milliseconds / kMsPerDay
                                     : -((-milliseconds + kMsPerDay - 1) / kMsPerDay);
    int64_t ofDay = milliseconds - days * kMsPerDay;
    CivilTime civil{};
    CivilFromDays(days + kEpochShift, civil.year, civil.month, civil.day);
    civil.hour = static_cast<int>(ofDay / 3600000);
    civil.minute = static_cast<int>(ofDay / 60000 % 60);
    civil.second = static_cast<int>(ofDay / 1000 % 60);
    civil.millisecond = static_cast<int>(ofDay % 1000);
    // 1899-12-30 was a Saturday.
    civil.weekday = static_cast<int>(((days % 7) + 7 + 6) % 7);
    return civil;
}

bool SplitDate(double value, CivilTime& civil) {
    int64_t milliseconds = 0;
    if (!DateToMilliseconds(value, milliseconds))
        return false;
    civil = CivilFromMilliseconds(milliseconds);
    return true;
}

bool ParseDateTime(std::string_view text, double& value, DateShape& shape) {
    shape = DateShape();
    Scanner s{text};
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0;
    double seconds = 0;
    size_t colon = text.find(':');
    bool hasDate = text.find_first_of("-/") != std::string_view::npos &&
                   (colon == std::string_view::npos || text.find_first_of("-/") < colon);
    if (hasDate) {
        if (!ParseDate(s, year, month, day, shape))
            return false;
        if (!s.AtEnd()) {
            bool separated = s.Take(' ') || (shape.date == DateShape::Iso && s.Take('T'));
            if (!separated || !ParseTime(s, hour, minute, seconds, shape))
                return false;
        }
    } else if (!ParseTime(s, hour, minute, seconds, shape)) {
        return false;
    }
    return s.AtEnd() && MakeDate(year, month, day, hour, minute, seconds, value);
}

std::wstring FormatCodeOf(const DateShape& shape) {
    std::wstring code;
    switch (shape.date) {
    case DateShape::Iso:
        code = L"yyyy-mm-dd";
        break;
    case DateShape::UsShortYear:
        code = L"m/d/yy";
        break;
    case DateShape::UsLongYear:
        code = L"m/d/yyyy";
        break;
    case DateShape::NoDate:
        break;
    }
    if (shape.time == DateShape::NoTime)
        return code;
    if (!code.empty())
        code += L' ';
    code += shape.twoDigitHour && !shape.ampm ? L"hh:mm" : L"h:mm";
    if (shape.time == DateShape::HourMinuteSecond) {
        code += L":ss";
        if (shape.fractionDigits)
            code += L"." + std::wstring(shape.fractionDigits, L'0');
    }
    if (shape.ampm)
        code += L" AM/PM";
    return code;
}

} // namespace refsrv
