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
    HRESULT __stdcall GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                    DISPID* ids) override;
    // Recorded as "PropertyPut(name)", "PropertyPutRef(name)" or "PropertyGet(name)"; checked
    // as a server checks: a put takes one argument named DISPID_PROPERTYPUT, a get none.
    HRESULT __stdcall Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;
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
