// A variable's display format: how CellText shows a number. The codes are the common
// spreadsheet ones: "General" (or empty), fixed decimals such as "0.00" or "#,##0.0", and date
// and time codes (yyyy yy m mm mmm mmmm d dd ddd dddd h hh m mm s ss .0 .00 .000 AM/PM A/P
// [h] [m] [s], quoted or backslash-escaped literals). In a date-time format, m and mm stand for
// minutes after an hour code or before a seconds code, and for the month elsewhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace refsrv {

struct CivilTime;

class DisplayFormat {
public:
    DisplayFormat() = default;
    explicit DisplayFormat(std::wstring code);

    const std::wstring& Code() const noexcept { return m_code; }
    bool IsDateTime() const noexcept { return m_kind == Kind::DateTime; }
    std::wstring Render(double value) const;

private:
    enum class Kind : uint8_t { General, Fixed, DateTime };
    enum class Part : uint8_t {
        Literal,
        Year4,
        Year2,
        Month,
        Month2,
        MonthAbbr,
        MonthName,
        MonthLetter,
        Day,
        Day2,
        DayAbbr,
        DayName,
        Hour,
        Hour2,
        Minute,
        Minute2,
        Second,
        Second2,
        Fraction,
        AmPm,
        ElapsedHours,
        ElapsedMinutes,
        ElapsedSeconds,
    };
    struct Token {
        Part part;
        uint8_t width = 0; // digits of a fraction or an elapsed count
        std::wstring text; // a literal, or the AM and PM texts joined by '/'
    };

    void ParseDateTime();
    void ResolveMinutes();
    int64_t RoundedMilliseconds(int64_t milliseconds) const;
    std::wstring RenderDateTime(double value) const;
    void RenderToken(const Token& token, const CivilTime& civil, int64_t milliseconds,
                     std::wstring& out) const;

    std::wstring m_code;
    Kind m_kind = Kind::General;
    int m_decimals = 0;
    bool m_grouping = false;
    bool m_twelveHour = false;
    std::vector<Token> m_tokens;
};

} // namespace refsrv
