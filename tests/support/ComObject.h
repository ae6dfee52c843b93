// Base of the tests' fake COM objects: reference counting that a test can read, and
// QueryInterface over the listed interfaces (plus IUnknown and IDispatch).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <type_traits>

namespace zavtest {

template <typename... Interfaces> class ComObject : public Interfaces... {
public:
    virtual ~ComObject() = default;

    HRESULT __stdcall QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!(... || Match<Interfaces>(iid, out))) {
            if (iid == IID_IUnknown || (iid == IID_IDispatch && IsDispatch))
                *out = static_cast<First*>(this);
            else
                return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG __stdcall AddRef() override { return ++m_refs; }
    ULONG __stdcall Release() override {
        ULONG left = --m_refs;
        if (left == 0 && m_deleteAtZero)
            delete this;
        return left;
    }

    // IDispatch for the dual interfaces; fakes reached by DISPID override Invoke.
    HRESULT __stdcall GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
    HRESULT __stdcall Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
        return E_NOTIMPL;
    }

    // References held by others than the test's own stack object (which starts at zero and is
    // never deleted by Release).
    ULONG RefCount() const { return m_refs; }

protected:
    // A heap object that should delete itself at its last Release calls this.
    void DeleteAtZero() { m_deleteAtZero = true; }

private:
    template <typename First_, typename...> struct FirstOf { using type = First_; };
    using First = typename FirstOf<Interfaces...>::type;
    static constexpr bool IsDispatch = std::is_base_of_v<IDispatch, First>;

    template <typename I> bool Match(REFIID iid, void** out) {
        if (iid != __uuidof(I))
            return false;
        *out = static_cast<I*>(this);
        return true;
    }

    ULONG m_refs = 0;
    bool m_deleteAtZero = false;
};

} // namespace zavtest
