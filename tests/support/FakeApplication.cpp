#include "support/FakeApplication.h"

namespace zavtest {

HRESULT FakeDialog::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count != 1)
        return E_INVALIDARG;
    if (HRESULT hr = Enter("GetIDsOfNames", names[0]); FAILED(hr))
        return hr;
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    for (size_t i = 0; i < properties.size(); ++i) {
        if (names[0] && _wcsicmp(names[0], properties[i].c_str()) == 0) {
            ids[0] = static_cast<DISPID>(i + 1);
            return S_OK;
        }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

const std::wstring* FakeDialog::Property(DISPID id) const {
    return id >= 1 && id <= static_cast<DISPID>(properties.size()) ? &properties[id - 1] : nullptr;
}

HRESULT FakeDialog::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO*, UINT*) {
    const std::wstring* name = Property(id);
    const wchar_t* shown = name ? name->c_str() : L"?";
    const char* kind = flags == DISPATCH_PROPERTYPUT      ? "PropertyPut"
                       : flags == DISPATCH_PROPERTYPUTREF ? "PropertyPutRef"
                       : flags == DISPATCH_PROPERTYGET    ? "PropertyGet"
                                                          : "Invoke";
    if (HRESULT hr = Enter(kind, shown); FAILED(hr))
        return hr;
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!name || !params)
        return DISP_E_MEMBERNOTFOUND;
    if (flags == DISPATCH_PROPERTYGET) {
        if (params->cArgs != 0 || params->cNamedArgs != 0)
            return DISP_E_BADPARAMCOUNT;
        return result ? ::VariantCopy(result, &value) : E_POINTER;
    }
    return PutProperty(*name, flags, *params);
}

HRESULT FakeDialog::PutProperty(const std::wstring& name, WORD flags, const DISPPARAMS& params) {
    if (flags != DISPATCH_PROPERTYPUT && flags != DISPATCH_PROPERTYPUTREF)
        return DISP_E_MEMBERNOTFOUND;
    if (params.cNamedArgs != 1 || !params.rgdispidNamedArgs ||
        params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
        return DISP_E_PARAMNOTOPTIONAL;
    if (params.cArgs != 1 || !params.rgvarg)
        return DISP_E_BADPARAMCOUNT;
    if (flags == DISPATCH_PROPERTYPUTREF && !takesReferences)
        return DISP_E_MEMBERNOTFOUND;
    puts.push_back({name, _variant_t(params.rgvarg[0]), flags == DISPATCH_PROPERTYPUTREF});
    return S_OK;
}

HRESULT FakeAnalysis::get_Dialog(IDispatch** result) {
    if (HRESULT hr = Enter("Dialog"); FAILED(hr))
        return hr;
    *result = dialog;
    if (dialog)
        dialog->AddRef();
    return S_OK;
}

HRESULT FakeAnalysis::raw_Run(long* result) {
    if (HRESULT hr = Enter("Run"); FAILED(hr))
        return hr;
    *result = runResult;
    return S_OK;
}

HRESULT FakeAnalysis::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == __uuidof(VELTRIUM::_Analysis) ? S_OK : S_FALSE;
}

HRESULT FakeApplication::raw_Analysis(long type, VARIANT data, VELTRIUM::_Analysis** result) {
    dataTypes.push_back(V_VT(&data));
    dataObjects.push_back(V_VT(&data) == VT_DISPATCH ? V_DISPATCH(&data) : nullptr);
    if (HRESULT hr = Enter("Analysis", type); FAILED(hr))
        return hr;
    if (emptyAnswers > 0) {
        --emptyAnswers;
        *result = nullptr;
        return S_OK;
    }
    *result = analysis;
    if (analysis)
        analysis->AddRef();
    return S_OK;
}

HRESULT FakeApplication::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == __uuidof(VELTRIUM::_Application) ? S_OK : S_FALSE;
}

} // namespace zavtest
