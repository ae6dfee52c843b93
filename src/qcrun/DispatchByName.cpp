#include "qcrun/DispatchByName.h"

namespace zav {
namespace {

HRESULT LookUp(IDispatch* object, const wchar_t* name, DISPID* id) {
    if (!object || !name)
        return E_POINTER;
    // GetIDsOfNames takes non-const names but does not write them.
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

// Servers keep an object property either by reference or as a copy; which one is theirs to
// say, so a reference is offered first.
bool OfferByReference(const VARIANT& value) {
    const VARTYPE type = V_VT(&value);
    return type == VT_DISPATCH || type == VT_UNKNOWN || (type & (VT_ARRAY | VT_BYREF)) != 0;
}

} // namespace

HRESULT SetPropertyByName(IDispatch* object, const wchar_t* name, const VARIANT& value) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = LookUp(object, name, &id);
    if (FAILED(hr))
        return hr;
    // A shallow copy: the callee only reads its arguments, and `value` keeps what it owns.
    VARIANT argument = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&argument, &named, 1, 1};
    if (OfferByReference(value)) {
        hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUTREF, &params,
                            nullptr, nullptr, nullptr);
        if (SUCCEEDED(hr))
            return hr;
    }
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                          nullptr, nullptr);
}

HRESULT GetPropertyByName(IDispatch* object, const wchar_t* name, VARIANT* result) {
    if (!result)
        return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = LookUp(object, name, &id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result,
                          nullptr, nullptr);
}

} // namespace zav
