#include "EventArgs.h"

#include <new>

#include "ServerError.h"
#include "Text.h"

namespace refsrv {

EventArgs::EventArgs(size_t count) : m_count(count) {
    if (count > kMaxArgs)
        Fail(E_INVALIDARG, L"An event has more arguments than the server provides for");
    for (VARIANT& v : m_args)
        ::VariantInit(&v);
    m_params.rgvarg = m_args.data();
    m_params.cArgs = static_cast<UINT>(count);
}

EventArgs::~EventArgs() {
    for (VARIANT& v : m_args)
        ::VariantClear(&v);
}

void EventArgs::SetDispatch(size_t index, IDispatch* object) {
    VARIANT& v = (*this)[index];
    ::VariantClear(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    object->AddRef();
}

void EventArgs::SetBool(size_t index, bool value) {
    VARIANT& v = (*this)[index];
    ::VariantClear(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void EventArgs::SetLong(size_t index, long value) {
    VARIANT& v = (*this)[index];
    ::VariantClear(&v);
    v.vt = VT_I4;
    v.lVal = value;
}

namespace {

SAFEARRAY* NewVector(VARTYPE type, size_t count) {
    SAFEARRAY* array = ::SafeArrayCreateVector(type, 0, static_cast<ULONG>(count));
    if (!array)
        throw std::bad_alloc();
    return array;
}

} // namespace

void EventArgs::SetTexts(size_t index, const std::vector<std::wstring>& texts) {
    VARIANT& v = (*this)[index];
    ::VariantClear(&v);
    // Owned by the VARIANT from here, so a failure below still frees it.
    v.parray = NewVector(VT_BSTR, texts.size());
    v.vt = VT_ARRAY | VT_BSTR;
    SafeArrayLock lock(v.parray);
    for (size_t i = 0; i < texts.size(); ++i)
        lock.Data<BSTR>()[i] = MakeBstr(texts[i]);
}

void EventArgs::SetLongs(size_t index, const std::vector<long>& values) {
    VARIANT& v = (*this)[index];
    ::VariantClear(&v);
    v.parray = NewVector(VT_I4, values.size());
    v.vt = VT_ARRAY | VT_I4;
    SafeArrayLock lock(v.parray);
    for (size_t i = 0; i < values.size(); ++i)
        lock.Data<LONG>()[i] = values[i];
}

SafeArrayLock::SafeArrayLock(SAFEARRAY* array) : m_array(array) {
    HRESULT hr = ::SafeArrayAccessData(m_array, &m_data);
    if (FAILED(hr))
        Fail(hr, L"An event array cannot be locked");
}

SafeArrayLock::~SafeArrayLock() {
    ::SafeArrayUnaccessData(m_array);
}

} // namespace refsrv
