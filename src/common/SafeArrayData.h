// The locked data of one SAFEARRAY handed in by a caller, for the length of a scope.
//
// Arrays arrive from another component with no promise about their shape, so the guard checks
// what reading them needs (present, one dimension, the element size and, when the array says
// it, the element type the reader expects, lockable) and raises E_INVALIDARG naming the array
// before anything is read. The lock taken by SafeArrayAccessData is given back by the
// destructor on every path.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace zav {

class SafeArrayData {
public:
    // `name` says which array this is in error descriptions ("labels", "first keys"). `type`
    // is VT_BSTR for texts or VT_I4 for 32-bit numbers (which any 32-bit integer type serves).
    SafeArrayData(SAFEARRAY* array, const char* name, VARTYPE type);
    ~SafeArrayData();
    SafeArrayData(const SafeArrayData&) = delete;
    SafeArrayData& operator=(const SafeArrayData&) = delete;

    // Elements of dimension 1: upper bound minus lower bound plus 1.
    long Count() const noexcept { return m_count; }

    // Raises E_INVALIDARG when this array holds fewer than `count` elements, the number that
    // the array `leader` gave for the event.
    void RequireAtLeast(long count, const char* leader) const;

    // The element at `index`, counted from the first element whatever the lower bound.
    template <typename T> const T& At(long index) const noexcept {
        return static_cast<const T*>(m_data)[index];
    }

private:
    SAFEARRAY* m_array = nullptr;
    const void* m_data = nullptr;
    long m_count = 0;
    const char* m_name;
};

} // namespace zav
