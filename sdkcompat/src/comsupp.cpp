// The COM support functions that the Windows SDK ships in its comsupp library and MinGW-w64
// declares without defining: raising a failed HRESULT as _com_error with the object's error
// information, and the BSTR <-> ANSI conversions behind _bstr_t.
#include <comdef.h>
#include <new>

// A DLL that compiles these in with SDKCOMPAT_EXPORT_COMSUPP exports them, so that its hosts
// need nothing but its import library for the inline COM support of its public headers.
#ifdef SDKCOMPAT_EXPORT_COMSUPP
#define COMSUPP_API __declspec(dllexport)
#else
#define COMSUPP_API
#endif

COMSUPP_API void WINAPI _com_issue_errorex(HRESULT hr, IUnknown* object, REFIID iid) {
    IErrorInfo* info = nullptr;
    ISupportErrorInfo* support = nullptr;
    if (object && SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo,
                                                   reinterpret_cast<void**>(&support)))) {
        if (support->InterfaceSupportsErrorInfo(iid) == S_OK && GetErrorInfo(0, &info) != S_OK)
            info = nullptr;
        support->Release();
    }
    // The handler takes over the reference on `info`.
    __mingw_com_error_handler(hr, info);
}

namespace _com_util {

COMSUPP_API BSTR WINAPI ConvertStringToBSTR(const char* text) {
    if (!text)
        return nullptr;
    int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 0)
        _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    BSTR result = SysAllocStringLen(nullptr, units - 1);
    if (!result)
        _com_issue_error(E_OUTOFMEMORY);
    MultiByteToWideChar(CP_ACP, 0, text, -1, result, units);
    return result;
}

// The result is released by _bstr_t with delete[].
COMSUPP_API char* WINAPI ConvertBSTRToString(BSTR text) {
    if (!text)
        return nullptr;
    int units = static_cast<int>(SysStringLen(text));
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (bytes < 0 || (bytes == 0 && units > 0))
        _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    char* result = new (std::nothrow) char[bytes + 1];
    if (!result)
        _com_issue_error(E_OUTOFMEMORY);
    WideCharToMultiByte(CP_ACP, 0, text, units, result, bytes, nullptr, nullptr);
    result[bytes] = '\0';
    return result;
}

} // namespace _com_util

COMSUPP_API _variant_t vtMissing(DISP_E_PARAMNOTFOUND, VT_ERROR);
