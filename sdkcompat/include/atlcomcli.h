// CComBSTR: an owning wrapper of one BSTR, as far as this project uses it.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <memory>
#include <utility>

#include "atlexcept.h"

namespace ATL {

class CComBSTR {
public:
    BSTR m_str = nullptr;

    CComBSTR() noexcept = default;
    CComBSTR(const wchar_t* text) : m_str(AllocOrNull(text, text ? lstrlenW(text) : 0)) {}
    CComBSTR(int length, const wchar_t* text) : m_str(AllocOrNull(text, length, true)) {}
    CComBSTR(const CComBSTR& other) : m_str(Copy(other.m_str)) {}
    CComBSTR(CComBSTR&& other) noexcept : m_str(other.Detach()) {}
    ~CComBSTR() { ::SysFreeString(m_str); }

    CComBSTR& operator=(const CComBSTR& other) {
        if (this != std::addressof(other))
            Attach(Copy(other.m_str));
        return *this;
    }
    CComBSTR& operator=(CComBSTR&& other) noexcept {
        if (this != std::addressof(other))
            Attach(other.Detach());
        return *this;
    }

    operator BSTR() const noexcept { return m_str; }
    BSTR* operator&() noexcept { return &m_str; }
    unsigned int Length() const noexcept { return ::SysStringLen(m_str); }

    // Appending to a null string makes it an empty (non-null) one, even for empty text.
    void Append(const wchar_t* text, int length) {
        unsigned int old = Length();
        BSTR joined = ::SysAllocStringLen(nullptr, old + length);
        if (!joined)
            AtlThrow(E_OUTOFMEMORY);
        if (old)
            memcpy(joined, m_str, old * sizeof(wchar_t));
        if (length)
            memcpy(joined + old, text, length * sizeof(wchar_t));
        joined[old + length] = L'\0';
        Attach(joined);
    }
    void Append(const wchar_t* text) { Append(text, text ? lstrlenW(text) : 0); }
    void AppendBSTR(BSTR text) { Append(text, ::SysStringLen(text)); }

    void Attach(BSTR text) noexcept {
        if (m_str != text)
            ::SysFreeString(m_str);
        m_str = text;
    }
    BSTR Detach() noexcept { return std::exchange(m_str, nullptr); }
    BSTR Copy() const { return Copy(m_str); }
    void Empty() noexcept { Attach(nullptr); }

private:
    static BSTR Copy(BSTR text) {
        return text ? AllocOrNull(text, ::SysStringLen(text), true) : nullptr;
    }
    static BSTR AllocOrNull(const wchar_t* text, int length, bool allowNullText = false) {
        if (!text && !allowNullText)
            return nullptr;
        BSTR result = ::SysAllocStringLen(text, length);
        if (!result)
            AtlThrow(E_OUTOFMEMORY);
        return result;
    }
};

} // namespace ATL

using ATL::CComBSTR;
