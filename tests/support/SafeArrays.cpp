#include "support/SafeArrays.h"

#include <cwchar>
#include <stdexcept>
#include <utility>

namespace zavtest {

namespace {

SAFEARRAY* Vector(VARTYPE type, size_t count) {
    SAFEARRAY* array = ::SafeArrayCreateVector(type, 0, static_cast<ULONG>(count));
    if (!array)
        throw std::runtime_error("SafeArrayCreateVector failed");
    return array;
}

template <typename Fill> SafeArray Filled(VARTYPE type, size_t count, Fill fill) {
    SafeArray array(Vector(type, count));
    void* data = nullptr;
    if (FAILED(::SafeArrayAccessData(array.get(), &data)))
        throw std::runtime_error("SafeArrayAccessData failed");
    try {
        fill(data);
    } catch (...) {
        ::SafeArrayUnaccessData(array.get());
        throw;
    }
    ::SafeArrayUnaccessData(array.get());
    return array;
}

BSTR Allocated(const wchar_t* text, size_t length) {
    BSTR copy = ::SysAllocStringLen(text, static_cast<UINT>(length));
    if (!copy)
        throw std::bad_alloc();
    return copy;
}

} // namespace

SafeArray SafeArray::OfBstrs(std::initializer_list<const wchar_t*> texts) {
    return Filled(VT_BSTR, texts.size(), [&](void* data) {
        auto slot = static_cast<BSTR*>(data);
        for (const wchar_t* text : texts)
            *slot++ = text ? Allocated(text, wcslen(text)) : nullptr;
    });
}

SafeArray SafeArray::OfBstrs(const std::vector<std::wstring>& texts) {
    return Filled(VT_BSTR, texts.size(), [&](void* data) {
        auto slot = static_cast<BSTR*>(data);
        for (const std::wstring& text : texts)
            *slot++ = Allocated(text.data(), text.size());
    });
}

SafeArray SafeArray::OfInts(const std::vector<int32_t>& values) {
    return Filled(VT_I4, values.size(), [&](void* data) {
        auto slot = static_cast<int32_t*>(data);
        for (int32_t value : values)
            *slot++ = value;
    });
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

SafeArray::SafeArray(SafeArray&& other) noexcept : m_array(std::exchange(other.m_array, nullptr)) {}

SafeArray& SafeArray::operator=(SafeArray&& other) noexcept {
    if (this != &other) {
        SafeArray old(std::move(*this));
        m_array = std::exchange(other.m_array, nullptr);
    }
    return *this;
}

SafeArray::~SafeArray() {
    if (m_array)
        ::SafeArrayDestroy(m_array);
}

} // namespace zavtest
