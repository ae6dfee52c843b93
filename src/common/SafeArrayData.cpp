#include "common/SafeArrayData.h"

#include <cstdint>

#include "common/FormattedError.h"

namespace zav {

namespace {

long ElementCount(SAFEARRAY* array) {
    LONG lower = 0, upper = -1;
    if (FAILED(::SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(::SafeArrayGetUBound(array, 1, &upper)))
        return 0;
    long long count = static_cast<long long>(upper) - lower + 1;
    return count > 0 ? static_cast<long>(count) : 0;
}

ULONG ElementSize(VARTYPE type) {
    return type == VT_BSTR ? sizeof(BSTR) : sizeof(int32_t);
}

// Eight bytes of doubles or interface pointers read as BSTRs would be followed as pointers, so
// an array that names its element type must name the one expected. One that names none (made
// by hand, without a type) can only be judged by its element size.
bool OfExpectedType(SAFEARRAY* array, VARTYPE expected, VARTYPE& type) {
    if (FAILED(::SafeArrayGetVartype(array, &type)))
        return true;
    if (expected == VT_BSTR)
        return type == VT_BSTR;
    return type == VT_I4 || type == VT_UI4 || type == VT_INT || type == VT_UINT;
}

} // namespace

SafeArrayData::SafeArrayData(SAFEARRAY* array, const char* name, VARTYPE expected) : m_name(name) {
    const ULONG elementSize = ElementSize(expected);
    if (!array)
        ThrowFormattedComError(E_INVALIDARG, "The event array of %s is missing", name);
    if (array->cDims != 1)
        ThrowFormattedComError(E_INVALIDARG,
                               "The event array of %s has %u dimensions; one was expected", name,
                               static_cast<unsigned>(array->cDims));
    // Reading with another stride than the array's own would run past its end.
    if (array->cbElements != elementSize)
        ThrowFormattedComError(
            E_INVALIDARG, "The event array of %s holds elements of %lu bytes; %lu were expected",
            name, array->cbElements, elementSize);
    VARTYPE type = VT_EMPTY;
    if (!OfExpectedType(array, expected, type))
        ThrowFormattedComError(E_INVALIDARG,
                               "The event array of %s holds elements of variant type %u; %u was "
                               "expected",
                               name, static_cast<unsigned>(type), static_cast<unsigned>(expected));
    const long count = ElementCount(array);
    void* data = nullptr;
    const HRESULT hr = ::SafeArrayAccessData(array, &data);
    if (FAILED(hr))
        ThrowFormattedComError(E_INVALIDARG,
                               "The event array of %s cannot be locked (error 0x%08lX)", name,
                               static_cast<unsigned long>(hr));
    m_array = array;
    m_data = data;
    m_count = count;
}

SafeArrayData::~SafeArrayData() {
    if (m_array)
        ::SafeArrayUnaccessData(m_array);
}

void SafeArrayData::RequireAtLeast(long count, const char* leader) const {
    if (m_count < count)
        ThrowFormattedComError(E_INVALIDARG,
                               "The event array of %s holds %ld elements, fewer than the %ld of %s",
                               m_name, m_count, count, leader);
}

} // namespace zav
