// Event arrays as the chart server hands them over: one-dimensional SAFEARRAYs of BSTRs or of
// 32-bit integers, owned by a move-only holder that destroys them.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace zavtest {

class SafeArray {
public:
    // Null entries become null BSTRs.
    static SafeArray OfBstrs(std::initializer_list<const wchar_t*> texts);
    static SafeArray OfBstrs(const std::vector<std::wstring>& texts);
    static SafeArray OfInts(const std::vector<int32_t>& values);
    // An empty array of the given element type and shape, for arrays of the wrong kind.
    static SafeArray Empty(VARTYPE type, const std::vector<ULONG>& dimensions);

    explicit SafeArray(SAFEARRAY* array = nullptr) noexcept : m_array(array) {}
    SafeArray(SafeArray&& other) noexcept;
    SafeArray& operator=(SafeArray&& other) noexcept;
    ~SafeArray();

    SAFEARRAY* get() const noexcept { return m_array; }
    // Locks still held on the array (SafeArrayLock and SafeArrayAccessData).
    ULONG LockCount() const noexcept { return m_array ? m_array->cLocks : 0; }

private:
    SAFEARRAY* m_array;
};

} // namespace zavtest
