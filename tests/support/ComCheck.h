// COM errors as text for assertions.
#pragma once

#include <windows.h>
#include <comdef.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <ostream>
#include <string>
#include <utility>

namespace zavtest {

// The error's description as narrow text; empty without error information.
inline std::string DescriptionOf(const _com_error& error) {
    _bstr_t description = error.Description();
    return description.length() ? static_cast<const char*>(description) : "";
}
// The description of the thread's error information, taken off the thread; "<none>" without.
inline std::string ThreadErrorDescription() {
    IErrorInfo* raw = nullptr;
    if (::GetErrorInfo(0, &raw) != S_OK || !raw)
        return "<none>";
    return DescriptionOf(_com_error(E_FAIL, raw, false));
}

// The HRESULT and description of the _com_error that `action` raises; a test failure when it
// raises none.
template <typename Action> std::pair<HRESULT, std::string> ComErrorOf(Action&& action) {
    try {
        action();
    } catch (const _com_error& error) {
        return {error.Error(), DescriptionOf(error)};
    }
    ADD_FAILURE() << "no _com_error was raised";
    return {S_OK, ""};
}

} // namespace zavtest

inline std::ostream& operator<<(std::ostream& out, const _com_error& error) {
    char code[16];
    snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(error.Error()));
    return out << code << " [" << zavtest::DescriptionOf(error) << "]";
}
