// A base for the tests' fake COM objects, whose reference count a test can read.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <type_traits>

namespace zavtest {

// QueryInterface over the listed interfaces (plus IUnknown, and IDispatch when the first one
// derives from it). An object on the test's stack starts at zero references and is never
// deleted by Release.
template <typename... Interfaces> class ComObject : public Interfaces... {
public:
    virtual ~ComObject() = default;

    HRESULT __stdcall QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!(... || Match<Interfaces>(iid, out))) {
            if (iid != IID_IUnknown && !(iid == IID_IDispatch && kDispatch))
                return E_NOINTERFACE;
            *out = static_cast<First*>(this);
        }
        AddRef();
        return S_OK;
    }
    ULONG __stdcall AddRef() override { return ++m_refs; }
    ULONG __stdcall Release() override { return --m_refs; }

    // IDispatch for the dual interfaces; fakes reached by DISPID override Invoke.
    HRESULT __stdcall GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
    HRESULT __stdcall Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
        return E_NOTIMPL;
    }

    ULONG RefCount() const { return m_refs; }

private:
    template <typename F, typename...> struct FirstOf { using type = F; };
    using First = typename FirstOf<Interfaces...>::type;
    static constexpr bool kDispatch = std::is_base_of_v<IDispatch, First>;

    template <typename I> bool Match(REFIID iid, void** out) {
        if (iid != __uuidof(I))
            return false;
        *out = static_cast<I*>(this);
        return true;
    }

    ULONG m_refs = 0;
};

} // namespace zavtest
