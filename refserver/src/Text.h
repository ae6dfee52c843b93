// Text helpers: UTF-8 and UTF-16 conversion, BSTR results, number texts that do not depend on
// the C runtime's locale, and printf-style formatting into wide strings.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <string>
#include <string_view>

namespace refsrv {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view text); // UTF-8

std::wstring Format(const wchar_t* format, ...);
std::wstring TrimRight(std::wstring_view text);
std::wstring Trim(std::wstring_view text);
bool EqualNoCase(std::wstring_view a, std::wstring_view b) noexcept;

// A new BSTR with the text; throws std::bad_alloc when the system has no memory for it.
BSTR MakeBstr(std::wstring_view text);
std::wstring_view ViewOf(BSTR text) noexcept;

// The shortest of up to 15 significant digits, as a spreadsheet's general number format shows.
std::wstring FormatGeneral(double value);
// Fixed decimals, optionally with thousands separators.
std::wstring FormatFixed(double value, int decimals, bool grouping);

// Whole-text conversions: no sign or blank of another kind, nothing left over.
bool ParseLong(std::wstring_view text, long& value) noexcept;
bool ParseDouble(std::wstring_view text, double& value) noexcept;
bool ParseDouble(std::string_view text, double& value) noexcept;

} // namespace refsrv
