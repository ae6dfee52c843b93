#include "ServerError.h"

#include "Text.h"
#include "comptrs.h"

namespace refsrv {

ServerError::ServerError(HRESULT hr, std::wstring message)
    : m_hr(hr), m_message(std::move(message)), m_narrow(Narrow(m_message)) {}

void Fail(HRESULT hr, std::wstring message) {
    throw ServerError(hr, std::move(message));
}

void FailBadIndex(const wchar_t* what, long index, long count) {
    Fail(DISP_E_BADINDEX,
         Format(L"%ls %ld does not exist; valid are 1 to %ld", what, index, count));
}

void FailWin32(DWORD error, const std::wstring& prefix) {
    wchar_t text[512] = {};
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, error, 0, text, ARRAYSIZE(text) - 1, nullptr);
    std::wstring message = prefix;
    if (length > 0)
        message += TrimRight(text);
    else
        message += Format(L"error %lu", error);
    Fail(HRESULT_FROM_WIN32(error), message);
}

HRESULT ReportError(HRESULT hr, const std::wstring& description, REFIID iid,
                    const wchar_t* source) noexcept {
    ICreateErrorInfoPtr created;
    if (FAILED(::CreateErrorInfo(&created)) || !created)
        return hr;
    created->SetGUID(iid);
    created->SetSource(const_cast<wchar_t*>(source));
    created->SetDescription(const_cast<wchar_t*>(description.c_str()));
    IErrorInfoPtr info;
    if (SUCCEEDED(created.QueryInterface(__uuidof(IErrorInfo), &info)))
        ::SetErrorInfo(0, info);
    return hr;
}

} // namespace refsrv
