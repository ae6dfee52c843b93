#include "ZAVTools/ComErrors.h"

#include <mbctype.h>
#include <mbstring.h>
#include <string>

IErrorInfoPtr MakeErrorInfo(const char* text) {
    IErrorInfoPtr result;
    if (!text)
        return result;
    ICreateErrorInfoPtr created;
    if (FAILED(::CreateErrorInfo(&created)) || !created)
        return result;
    created->SetDescription(_bstr_t(text));
    if (FAILED(created.QueryInterface(__uuidof(IErrorInfo), &result)))
        return IErrorInfoPtr();
    ::SetErrorInfo(0, result);
    return result;
}

void ThrowComError(HRESULT hr, const char* text) {
    // _com_error takes over the reference that Detach hands it.
    throw _com_error(hr, MakeErrorInfo(text).Detach(), false);
}

void ThrowComErrorFromThread(HRESULT hr, const char* text) {
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) == S_OK && info)
        throw _com_error(hr, info, false);
    ThrowComError(hr, text ? text : "");
}

namespace {

// A Win32 error code as the HRESULT that carries it; 0 has no HRESULT of its own.
HRESULT HresultFromWin32Error(DWORD error) {
    if (static_cast<LONG>(error) > 0)
        return static_cast<HRESULT>((error & 0x0000FFFF) | 0x80070000);
    return error == 0 ? E_FAIL : static_cast<HRESULT>(error);
}

// Cuts trailing white space, as the ANSI code page classifies it (a trail byte is never
// taken for a blank).
void TrimTrailingSpace(char* text) {
    auto bytes = reinterpret_cast<unsigned char*>(text);
    unsigned char* keepEnd = bytes;
    for (unsigned char* p = bytes; *p; p = _mbsinc(p))
        if (!_ismbcspace(_mbsnextc(p)))
            keepEnd = _mbsinc(p);
    *keepEnd = '\0';
}

} // namespace

void ThrowWin32Error(DWORD error, const char* prefix) {
    char systemText[256] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
                                    MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), systemText,
                                    sizeof(systemText) - 1, nullptr);
    std::string message(prefix ? prefix : "");
    if (length > 0) {
        TrimTrailingSpace(systemText);
        message += systemText;
    }
    ThrowComError(HresultFromWin32Error(error), message.c_str());
}
