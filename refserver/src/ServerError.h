// Failures inside the server travel as ServerError exceptions and become an HRESULT plus the
// thread's error information at exactly one place: the COM entry point that was called.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <exception>
#include <new>
#include <string>

#include "Text.h"

namespace refsrv {

// Content of a file that cannot be used (a malformed CSV line, a bad project option).
constexpr HRESULT kBadData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
// What a chart engine that is still starting answers.
constexpr HRESULT kHandshakeFailed = static_cast<HRESULT>(0x80040200);

class ServerError : public std::exception {
public:
    ServerError(HRESULT hr, std::wstring message);
    HRESULT hr() const noexcept { return m_hr; }
    const std::wstring& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_narrow.c_str(); }

private:
    HRESULT m_hr;
    std::wstring m_message;
    std::string m_narrow;
};

[[noreturn]] void Fail(HRESULT hr, std::wstring message);
// DISP_E_BADINDEX for `index` of `what` (for example "Case"), valid from 1 to `count`.
[[noreturn]] void FailBadIndex(const wchar_t* what, long index, long count);
// A Win32 error code with the system's text after `prefix`.
[[noreturn]] void FailWin32(DWORD error, const std::wstring& prefix);

// Sets the thread's error information (description, source, interface) and returns hr.
HRESULT ReportError(HRESULT hr, const std::wstring& description, REFIID iid,
                    const wchar_t* source) noexcept;

// Runs the body of a COM method and turns whatever it throws into the HRESULT it returns.
template <typename Body> HRESULT Guard(REFIID iid, const wchar_t* source, Body&& body) noexcept {
    try {
        return body();
    } catch (const ServerError& e) {
        return ReportError(e.hr(), e.message(), iid, source);
    } catch (const std::bad_alloc&) {
        return ReportError(E_OUTOFMEMORY, L"Out of memory", iid, source);
    } catch (const std::exception& e) {
        return ReportError(E_FAIL, Widen(e.what()), iid, source);
    } catch (...) {
        return ReportError(E_FAIL, L"Unknown error", iid, source);
    }
}

// Out parameters must not be null; raises E_POINTER.
template <typename T> T* Out(T* pointer) {
    if (!pointer)
        Fail(E_POINTER, L"A result pointer is null");
    return pointer;
}

} // namespace refsrv
