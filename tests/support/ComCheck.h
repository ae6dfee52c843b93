// COM errors as text for assertions.
#pragma once

#include <windows.h>
#include <comdef.h>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <utility>

namespace zavtest {

// The error's description as narrow text; empty without error information.
std::string DescriptionOf(const _com_error& error);
// The description of the thread's error information, taken off the thread; "<none>" without.
std::string ThreadErrorDescription();

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

std::ostream& operator<<(std::ostream& out, const _com_error& error);
