// Event arrays as the chart server hands them over: one-dimensional SAFEARRAYs of BSTRs or of
// 32-bit integers, owned by a move-only holder that destroys them.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zavtest {

class SafeArray {
public:
    static SafeArray OfBstrs(const std::vector<std::wstring>& texts, long lowerBound = 0);
    // `type` may be any 32-bit integer type (VT_I4, VT_UI4, VT_INT, VT_UINT).
    static SafeArray OfInts(const std::vector<int32_t>& values, long lowerBound = 0,
                            VARTYPE type = VT_I4);
    // Zeroed elements of the given type and shape, for arrays of the wrong kind.
    static SafeArray Empty(VARTYPE type, const std::vector<ULONG>& dimensions);

    explicit SafeArray(SAFEARRAY* array = nullptr) noexcept : m_array(array) {}
    SafeArray(SafeArray&& other) noexcept : m_array(other.m_array) { other.m_array = nullptr; }
    SafeArray& operator=(SafeArray&& other) noexcept {
        std::swap(m_array, other.m_array);
        return *this;
    }
    ~SafeArray() {
        if (m_array)
            ::SafeArrayDestroy(m_array);
    }

    SAFEARRAY* get() const noexcept { return m_array; }
    // Locks still held on the array (SafeArrayLock and SafeArrayAccessData).
    ULONG LockCount() const noexcept { return m_array ? m_array->cLocks : 0; }

private:
    SAFEARRAY* m_array;
};

} // namespace zavtest
