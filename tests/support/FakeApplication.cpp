#include "support/FakeApplication.h"

namespace zavtest {

HRESULT FakeDialog::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (HRESULT hr = Enter("GetIDsOfNames", names[0]); FAILED(hr))
        return hr;
    if (iid != IID_NULL || count != 1)
        return E_INVALIDARG;
    ids[0] = DISPID_UNKNOWN;
    for (size_t i = 0; i < properties.size(); ++i)
        if (names[0] && _wcsicmp(names[0], properties[i].c_str()) == 0)
            ids[0] = static_cast<DISPID>(i + 1);
    return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT FakeDialog::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO*, UINT*) {
    const bool known = id >= 1 && id <= static_cast<DISPID>(properties.size());
    const std::wstring name = known ? properties[id - 1] : L"?";
    const char* kind = flags == DISPATCH_PROPERTYPUT      ? "PropertyPut"
                       : flags == DISPATCH_PROPERTYPUTREF ? "PropertyPutRef"
                       : flags == DISPATCH_PROPERTYGET    ? "PropertyGet"
                                                          : "Invoke";
    if (HRESULT hr = Enter(kind, name.c_str()); FAILED(hr))
        return hr;
    if (!known || !params || flags == DISPATCH_METHOD ||
        (flags == DISPATCH_PROPERTYPUTREF && !takesReferences))
        return DISP_E_MEMBERNOTFOUND;
    if (flags == DISPATCH_PROPERTYGET)
        return params->cArgs ? DISP_E_BADPARAMCOUNT : ::VariantCopy(result, &value);
    if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
        return DISP_E_PARAMNOTOPTIONAL;
    if (params->cArgs != 1)
        return DISP_E_BADPARAMCOUNT;
    puts.push_back({name, _variant_t(params->rgvarg[0]), flags == DISPATCH_PROPERTYPUTREF});
    return S_OK;
}

} // namespace zavtest
