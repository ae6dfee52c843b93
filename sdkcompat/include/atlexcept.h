// CAtlException and AtlThrow: the exception that the narrow string class and the
// resource helpers raise, carrying only an HRESULT.
#pragma once

#include <windows.h>

namespace ATL {

class CAtlException {
public:
    CAtlException() noexcept : m_hr(E_FAIL) {}
    explicit CAtlException(HRESULT hr) noexcept : m_hr(hr) {}
    operator HRESULT() const noexcept { return m_hr; }

    HRESULT m_hr;
};

[[noreturn]] inline void AtlThrow(HRESULT hr) {
    throw CAtlException(hr);
}

} // namespace ATL

using ATL::AtlThrow;
using ATL::CAtlException;
