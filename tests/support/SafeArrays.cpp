#include "support/SafeArrays.h"

#include <stdexcept>

namespace zavtest {
namespace {

template <typename Element, typename Fill>
SafeArray Filled(VARTYPE type, size_t count, long lowerBound, Fill fill) {
    SafeArray array(::SafeArrayCreateVector(type, lowerBound, static_cast<ULONG>(count)));
    Element* data = nullptr;
    if (!array.get() || FAILED(::SafeArrayAccessData(array.get(), reinterpret_cast<void**>(&data))))
        throw std::runtime_error("cannot make a SAFEARRAY");
    for (size_t i = 0; i < count; ++i)
        data[i] = fill(i);
    ::SafeArrayUnaccessData(array.get());
    return array;
}

} // namespace

SafeArray SafeArray::OfBstrs(const std::vector<std::wstring>& texts, long lowerBound) {
    return Filled<BSTR>(VT_BSTR, texts.size(), lowerBound, [&](size_t i) {
        return ::SysAllocStringLen(texts[i].data(), static_cast<UINT>(texts[i].size()));
    });
}

SafeArray SafeArray::OfInts(const std::vector<int32_t>& values, long lowerBound, VARTYPE type) {
    return Filled<int32_t>(type, values.size(), lowerBound, [&](size_t i) { return values[i]; });
}

SafeArray SafeArray::Empty(VARTYPE type, const std::vector<ULONG>& dimensions) {
    std::vector<SAFEARRAYBOUND> bounds;
    for (ULONG elements : dimensions)
        bounds.push_back({elements, 0});
    SAFEARRAY* array = ::SafeArrayCreate(type, static_cast<UINT>(bounds.size()), bounds.data());
    if (!array)
        throw std::runtime_error("SafeArrayCreate failed");
    return SafeArray(array);
}

} // namespace zavtest
