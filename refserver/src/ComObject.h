// Base of the server's COM objects: an interlocked reference count, QueryInterface over the
// listed interfaces, and ISupportErrorInfo for all of them, so that a caller's raising wrapper
// picks up the description a failing call leaves behind.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <type_traits>
#include <utility>

namespace refsrv {

template <typename... Interfaces> class ComObject : public Interfaces..., public ISupportErrorInfo {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT __stdcall QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!(... || Match<Interfaces>(iid, out))) {
            if (iid == IID_IUnknown)
                *out = static_cast<First*>(this);
            else if (iid == IID_IDispatch && !std::is_void_v<Dispatch>)
                *out = DispatchOf();
            else if (iid == IID_ISupportErrorInfo)
                *out = static_cast<ISupportErrorInfo*>(this);
            else
                return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG __stdcall AddRef() override { return ::InterlockedIncrement(&m_refs); }
    ULONG __stdcall Release() override {
        ULONG left = ::InterlockedDecrement(&m_refs);
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID iid) override {
        return (... || (iid == __uuidof(Interfaces))) ? S_OK : S_FALSE;
    }

    // Dual interfaces are called through their vtables; only the dialog is reached by name and
    // overrides these.
    virtual HRESULT __stdcall GetTypeInfoCount(UINT* count) {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    virtual HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo** info) {
        if (info)
            *info = nullptr;
        return DISP_E_BADINDEX;
    }
    virtual HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR*, UINT names, LCID, DISPID* ids) {
        for (UINT i = 0; ids && i < names; ++i)
            ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    virtual HRESULT __stdcall Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) {
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    virtual ~ComObject() = default;

private:
    template <typename F, typename...> struct FirstOf { using type = F; };
    using First = typename FirstOf<Interfaces...>::type;

    template <typename... Is> struct FirstDispatch { using type = void; };
    template <typename I, typename... Rest> struct FirstDispatch<I, Rest...> {
        using type = std::conditional_t<std::is_base_of_v<IDispatch, I>, I,
                                        typename FirstDispatch<Rest...>::type>;
    };
    using Dispatch = typename FirstDispatch<Interfaces...>::type;

    void* DispatchOf() {
        if constexpr (std::is_void_v<Dispatch>)
            return nullptr;
        else
            return static_cast<IDispatch*>(static_cast<Dispatch*>(this));
    }

    template <typename I> bool Match(REFIID iid, void** out) {
        if (iid != __uuidof(I))
            return false;
        *out = static_cast<I*>(this);
        return true;
    }

    LONG volatile m_refs = 0;
};

// A counted reference to one of the server's own objects, by its class.
template <typename T> class ComRef {
public:
    ComRef() noexcept = default;
    explicit ComRef(T* object) noexcept : m_object(object) {
        if (m_object)
            m_object->AddRef();
    }
    ComRef(const ComRef& other) noexcept : ComRef(other.m_object) {}
    ComRef(ComRef&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    ComRef& operator=(ComRef other) noexcept {
        std::swap(m_object, other.m_object);
        return *this;
    }
    ~ComRef() {
        if (m_object)
            m_object->Release();
    }

    T* get() const noexcept { return m_object; }
    T* operator->() const noexcept { return m_object; }
    explicit operator bool() const noexcept { return m_object != nullptr; }

    // Hands a reference out through an interface pointer, as an out parameter takes it.
    template <typename I> void CopyTo(I** out) const noexcept {
        *out = m_object;
        if (m_object)
            m_object->AddRef();
    }

private:
    T* m_object = nullptr;
};

template <typename T, typename... Args> ComRef<T> MakeObject(Args&&... args) {
    return ComRef<T>(new T(std::forward<Args>(args)...));
}

} // namespace refsrv
