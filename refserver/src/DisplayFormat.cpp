#include "DisplayFormat.h"

#include <cmath>
#include <cwctype>

#include "DateTime.h"
#include "Text.h"

namespace refsrv {

namespace {

const wchar_t* const kMonths[] = {L"January",   L"February", L"March",    L"April",
                                  L"May",       L"June",     L"July",     L"August",
                                  L"September", L"October",  L"November", L"December"};
const wchar_t* const kDays[] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                L"Thursday", L"Friday", L"Saturday"};

bool IsNumberPattern(const std::wstring& code, int& decimals, bool& grouping) {
    // 0, 0.00, #,##0, #,##0.000: an integer part of '#', ',' and '0', then '.' and zeros.
    size_t point = code.find(L'.');
    std::wstring whole = code.substr(0, point);
    if (whole.empty() || whole.back() != L'0' ||
        whole.find_first_not_of(L"#,0") != std::wstring::npos)
        return false;
    grouping = whole.find(L',') != std::wstring::npos;
    decimals = 0;
    if (point != std::wstring::npos) {
        std::wstring fraction = code.substr(point + 1);
        if (fraction.empty() || fraction.find_first_not_of(L'0') != std::wstring::npos)
            return false;
        decimals = static_cast<int>(fraction.size());
    }
    return true;
}

size_t RunLength(const std::wstring& code, size_t i) {
    size_t end = i;
    while (end < code.size() && std::towlower(code[end]) == std::towlower(code[i]))
        ++end;
    return end - i;
}

bool StartsWithNoCase(const std::wstring& code, size_t i, const wchar_t* word) {
    size_t length = wcslen(word);
    return code.size() - i >= length &&
           EqualNoCase(std::wstring_view(code).substr(i, length), word);
}

std::wstring TwoDigits(int value) {
    return Format(L"%02d", value);
}

} // namespace

DisplayFormat::DisplayFormat(std::wstring code) : m_code(std::move(code)) {
    if (m_code.empty() || EqualNoCase(m_code, L"General"))
        return;
    if (IsNumberPattern(m_code, m_decimals, m_grouping)) {
        m_kind = Kind::Fixed;
        return;
    }
    ParseDateTime();
    ResolveMinutes();
    bool anyDateTime = false;
    for (const Token& token : m_tokens)
        anyDateTime = anyDateTime || token.part != Part::Literal;
    m_kind = anyDateTime ? Kind::DateTime : Kind::General;
}

void DisplayFormat::ParseDateTime() {
    const std::wstring& c = m_code;
    auto literal = [this](std::wstring text) { m_tokens.push_back({Part::Literal, 0, text}); };
    for (size_t i = 0; i < c.size();) {
        wchar_t lower = std::towlower(c[i]);
        size_t run = RunLength(c, i);
        if (c[i] == L'"') {
            size_t close = c.find(L'"', i + 1);
            size_t end = close == std::wstring::npos ? c.size() : close;
            literal(c.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c[i] == L'\\' && i + 1 < c.size()) {
            literal(c.substr(i + 1, 1));
            i += 2;
        } else if (c[i] == L'[') {
            size_t close = c.find(L']', i);
            size_t end = close == std::wstring::npos ? c.size() : close;
            std::wstring inner = c.substr(i + 1, end - i - 1);
            wchar_t unit = inner.empty() ? 0 : std::towlower(inner[0]);
            bool elapsed = !inner.empty() && (unit == L'h' || unit == L'm' || unit == L's') &&
                           RunLength(inner, 0) == inner.size();
            if (elapsed) // other bracketed codes (colours, locales) show nothing
                m_tokens.push_back({unit == L'h'   ? Part::ElapsedHours
                                    : unit == L'm' ? Part::ElapsedMinutes
                                                   : Part::ElapsedSeconds,
                                    static_cast<uint8_t>(inner.size()),
                                    {}});
            i = end + 1;
        } else if (StartsWithNoCase(c, i, L"AM/PM")) {
            m_tokens.push_back({Part::AmPm, 0, c.substr(i, 2) + L"/" + c.substr(i + 3, 2)});
            m_twelveHour = true;
            i += 5;
        } else if (StartsWithNoCase(c, i, L"A/P")) {
            m_tokens.push_back({Part::AmPm, 0, c.substr(i, 1) + L"/" + c.substr(i + 2, 1)});
            m_twelveHour = true;
            i += 3;
        } else if (lower == L'y') {
            m_tokens.push_back({run >= 3 ? Part::Year4 : Part::Year2, 0, {}});
            i += run;
        } else if (lower == L'm') {
            static const Part months[] = {Part::Month, Part::Month2, Part::MonthAbbr,
                                          Part::MonthName, Part::MonthLetter};
            m_tokens.push_back({run > 5 ? Part::MonthName : months[run - 1], 0, {}});
            i += run;
        } else if (lower == L'd') {
            static const Part days[] = {Part::Day, Part::Day2, Part::DayAbbr, Part::DayName};
            m_tokens.push_back({run > 4 ? Part::DayName : days[run - 1], 0, {}});
            i += run;
        } else if (lower == L'h') {
            m_tokens.push_back({run >= 2 ? Part::Hour2 : Part::Hour, 0, {}});
            i += run;
        } else if (lower == L's') {
            m_tokens.push_back({run >= 2 ? Part::Second2 : Part::Second, 0, {}});
            i += run;
        } else if (c[i] == L'.' && i + 1 < c.size() && c[i + 1] == L'0' && !m_tokens.empty() &&
                   (m_tokens.back().part == Part::Second || m_tokens.back().part == Part::Second2 ||
                    m_tokens.back().part == Part::ElapsedSeconds)) {
            size_t zeros = std::min<size_t>(RunLength(c, i + 1), 3);
            m_tokens.push_back({Part::Fraction, static_cast<uint8_t>(zeros), {}});
            i += 1 + RunLength(c, i + 1);
        } else {
            literal(c.substr(i, 1));
            ++i;
        }
    }
}

void DisplayFormat::ResolveMinutes() {
    auto isHour = [](Part p) {
        return p == Part::Hour || p == Part::Hour2 || p == Part::ElapsedHours;
    };
    auto isSecond = [](Part p) {
        return p == Part::Second || p == Part::Second2 || p == Part::ElapsedSeconds;
    };
    for (size_t i = 0; i < m_tokens.size(); ++i) {
        Part& part = m_tokens[i].part;
        if (part != Part::Month && part != Part::Month2)
            continue;
        bool minute = false;
        for (size_t j = i; j-- > 0;)
            if (m_tokens[j].part != Part::Literal) {
                minute = isHour(m_tokens[j].part);
                break;
            }
        for (size_t j = i + 1; !minute && j < m_tokens.size(); ++j)
            if (m_tokens[j].part != Part::Literal) {
                minute = isSecond(m_tokens[j].part);
                break;
            }
        if (minute)
            part = part == Part::Month ? Part::Minute : Part::Minute2;
    }
}

std::wstring DisplayFormat::Render(double value) const {
    switch (m_kind) {
    case Kind::Fixed:
        return FormatFixed(value, m_decimals, m_grouping);
    case Kind::DateTime:
        return RenderDateTime(value);
    case Kind::General:
        break;
    }
    return FormatGeneral(value);
}

// Seconds and fractions are rounded to what the format shows; a format that stops at minutes
// cuts the seconds off, so 06:00:59 shows as 06:00.
int64_t DisplayFormat::RoundedMilliseconds(int64_t ms) const {
    int64_t unit = 60000;
    for (const Token& token : m_tokens) {
        if (token.part == Part::Fraction)
            unit = std::min<int64_t>(unit, token.width == 1 ? 100 : token.width == 2 ? 10 : 1);
        else if (token.part == Part::Second || token.part == Part::Second2 ||
                 token.part == Part::ElapsedSeconds)
            unit = std::min<int64_t>(unit, 1000);
    }
    if (unit == 60000)
        return ms;
    int64_t half = unit / 2;
    return ms >= 0 ? (ms + half) / unit * unit : -((-ms + half) / unit * unit);
}

std::wstring DisplayFormat::RenderDateTime(double value) const {
    int64_t milliseconds = 0;
    if (std::isnan(value) || !DateToMilliseconds(value, milliseconds))
        return FormatGeneral(value);
    milliseconds = RoundedMilliseconds(milliseconds);
    CivilTime civil = CivilFromMilliseconds(milliseconds);
    std::wstring out;
    for (const Token& token : m_tokens)
        RenderToken(token, civil, milliseconds, out);
    return out;
}

void DisplayFormat::RenderToken(const Token& token, const CivilTime& t, int64_t ms,
                                std::wstring& out) const {
    int hour = m_twelveHour ? (t.hour % 12 == 0 ? 12 : t.hour % 12) : t.hour;
    switch (token.part) {
    case Part::Literal:
        out += token.text;
        break;
    case Part::Year4:
        out += Format(L"%04d", t.year);
        break;
    case Part::Year2:
        out += TwoDigits(t.year % 100);
        break;
    case Part::Month:
        out += std::to_wstring(t.month);
        break;
    case Part::Month2:
        out += TwoDigits(t.month);
        break;
    case Part::MonthAbbr:
        out += std::wstring(kMonths[t.month - 1], 3);
        break;
    case Part::MonthName:
        out += kMonths[t.month - 1];
        break;
    case Part::MonthLetter:
        out += kMonths[t.month - 1][0];
        break;
    case Part::Day:
        out += std::to_wstring(t.day);
        break;
    case Part::Day2:
        out += TwoDigits(t.day);
        break;
    case Part::DayAbbr:
        out += std::wstring(kDays[t.weekday], 3);
        break;
    case Part::DayName:
        out += kDays[t.weekday];
        break;
    case Part::Hour:
        out += std::to_wstring(hour);
        break;
    case Part::Hour2:
        out += TwoDigits(hour);
        break;
    case Part::Minute:
        out += std::to_wstring(t.minute);
        break;
    case Part::Minute2:
        out += TwoDigits(t.minute);
        break;
    case Part::Second:
        out += std::to_wstring(t.second);
        break;
    case Part::Second2:
        out += TwoDigits(t.second);
        break;
    case Part::Fraction:
        out += L'.' + Format(L"%03d", t.millisecond).substr(0, token.width);
        break;
    case Part::AmPm: {
        size_t slash = token.text.find(L'/');
        out += t.hour < 12 ? token.text.substr(0, slash) : token.text.substr(slash + 1);
        break;
    }
    case Part::ElapsedHours:
    case Part::ElapsedMinutes:
    case Part::ElapsedSeconds: {
        int64_t unit = token.part == Part::ElapsedHours     ? 3600000
                       : token.part == Part::ElapsedMinutes ? 60000
                                                            : 1000;
        // Elapsed units count the whole time; the units after them show what is left.
        std::wstring count = std::to_wstring((ms < 0 ? -ms : ms) / unit);
        if (count.size() < token.width)
            count.insert(0, token.width - count.size(), L'0');
        out += (ms < 0 ? L"-" : L"") + count;
        break;
    }
    }
}

} // namespace refsrv
