#include "Text.h"

#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cwchar>
#include <new>
#include <vector>

namespace refsrv {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty())
        return {};
    int length =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring result(length, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), result.data(),
                          length);
    return result;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty())
        return {};
    int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
    std::string result(length, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                          length, nullptr, nullptr);
    return result;
}

std::wstring Format(const wchar_t* format, ...) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        int written = vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size())
            return std::wstring(buffer.data(), written);
        buffer.resize(buffer.size() * 4);
    }
}

namespace {
bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}
} // namespace

std::wstring TrimRight(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return std::wstring(text);
}

std::wstring Trim(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return TrimRight(text);
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) noexcept {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

BSTR MakeBstr(std::wstring_view text) {
    BSTR result = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!result)
        throw std::bad_alloc();
    return result;
}

std::wstring_view ViewOf(BSTR text) noexcept {
    return text ? std::wstring_view(text, ::SysStringLen(text)) : std::wstring_view();
}

std::wstring FormatGeneral(double value) {
    if (std::isnan(value))
        return L"";
    char buffer[64];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return std::wstring(buffer, end.ptr);
}

std::wstring FormatFixed(double value, int decimals, bool grouping) {
    if (std::isnan(value))
        return L"";
    char buffer[400];
    auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (end.ec != std::errc()) // more digits than any display shows
        return FormatGeneral(value);
    std::wstring digits(buffer, end.ptr);
    if (!grouping)
        return digits;
    size_t start = digits[0] == L'-' ? 1 : 0;
    size_t point = digits.find(L'.');
    for (size_t i = point == std::wstring::npos ? digits.size() : point; i > start + 3;) {
        i -= 3;
        digits.insert(i, 1, L',');
    }
    return digits;
}

bool ParseLong(std::wstring_view text, long& value) noexcept {
    std::string narrow;
    for (wchar_t c : text) {
        if (c > 0x7F)
            return false;
        narrow.push_back(static_cast<char>(c));
    }
    const char* first = narrow.data();
    const char* last = first + narrow.size();
    if (first != last && *first == '+')
        ++first;
    auto result = std::from_chars(first, last, value);
    return first != last && result.ec == std::errc() && result.ptr == last;
}

bool ParseDouble(std::string_view text, double& value) noexcept {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    if (first == last ||
        !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '-' || *first == '.'))
        return false;
    double parsed = 0;
    auto result = std::from_chars(first, last, parsed);
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool ParseDouble(std::wstring_view text, double& value) noexcept {
    std::string narrow;
    for (wchar_t c : text) {
        if (c > 0x7F)
            return false;
        narrow.push_back(static_cast<char>(c));
    }
    return ParseDouble(std::string_view(narrow), value);
}

} // namespace refsrv
