// The analysis application in memory: the application, which gives the QC analysis of a
// spreadsheet; the analysis, with its dialog and Run; and the dialog, reached only through
// IDispatch by property name. Every call is recorded in order (ScriptedCalls) and can be made
// to fail.
#pragma once

#include <string>
#include <vector>

#include "ZAVTools/Automation.h"
#include "support/ComObject.h"
#include "support/ScriptedCalls.h"

namespace zavtest {

class FakeDialog : public ComObject<IDispatch>, public ScriptedCalls {
public:
    struct Put {
        std::wstring name;
        _variant_t value;
        bool byReference; // taken through DISPATCH_PROPERTYPUTREF
    };

    // The properties by DISPID (index + 1), names matched in any letter case; an unknown name
    // fails the lookup with DISP_E_UNKNOWNNAME.
    std::vector<std::wstring> properties = {L"AutoUpdateMode", L"MakeDefaultSummaryChart",
                                            L"DropProjectFile", L"ChartServer"};
    // What a get of any property answers (the chart server, for "ChartServer").
    _variant_t value;
    // When not, DISPATCH_PROPERTYPUTREF fails with DISP_E_MEMBERNOTFOUND, as a property that
    // keeps copies answers.
    bool takesReferences = false;
    std::vector<Put> puts;

    // Recorded as "GetIDsOfNames(name)".
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override {
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
    // Recorded as "PropertyPut(name)", "PropertyPutRef(name)" or "PropertyGet(name)"; checked
    // as a server checks: a put takes one argument named DISPID_PROPERTYPUT, a get none.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
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
};

class FakeAnalysis : public ComObject<VELTRIUM::_Analysis, ISupportErrorInfo>,
                     public ScriptedCalls {
public:
    IDispatch* dialog = nullptr; // what Dialog gives, with a reference of its own

    STDMETHODIMP get_Dialog(IDispatch** result) override {
        HRESULT hr = Enter("Dialog");
        *result = SUCCEEDED(hr) ? dialog : nullptr;
        if (*result)
            dialog->AddRef();
        return hr;
    }
    STDMETHODIMP raw_Run(long* result) override {
        *result = 0;
        return Enter("Run");
    }
    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }
};

class FakeApplication : public ComObject<VELTRIUM::_Application, ISupportErrorInfo>,
                        public ScriptedCalls {
public:
    // What Analysis gives once `emptyAnswers` calls have succeeded with no object.
    VELTRIUM::_Analysis* analysis = nullptr;
    int emptyAnswers = 0;

    VELTRIUM::_ApplicationPtr Ptr() { return static_cast<VELTRIUM::_Application*>(this); }

    // Recorded as "Analysis(type)".
    STDMETHODIMP raw_Analysis(long type, VARIANT, VELTRIUM::_Analysis** result) override {
        HRESULT hr = Enter("Analysis", type);
        *result = FAILED(hr) || emptyAnswers > 0 ? nullptr : analysis;
        emptyAnswers -= SUCCEEDED(hr) && emptyAnswers > 0;
        if (*result)
            (*result)->AddRef();
        return hr;
    }
    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }
};

} // namespace zavtest
