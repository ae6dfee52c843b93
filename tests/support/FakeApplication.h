// The analysis application in memory: the application, which gives the QC analysis of a
// spreadsheet; the analysis, with its dialog and Run; and the dialog, an object that is reached
// only through IDispatch by property name, as the analysis application's dialog is. Every
// call is recorded in order (ScriptedCalls) and can be made to fail.
#pragma once

#include <string>
#include <vector>

#include "ZAVTools/Automation.h"
#include "support/ComObject.h"
#include "support/ScriptedCalls.h"

namespace zavtest {

class FakeDialog : public ComObject<IDispatch>, public ScriptedCalls {
public:
    // A property put as the dialog received it.
    struct Put {
        std::wstring name;
        _variant_t value;
        bool byReference; // taken through DISPATCH_PROPERTYPUTREF
    };

    // The properties the dialog knows, by DISPID (index + 1); names are matched without regard
    // to case. Unknown names fail the lookup with DISP_E_UNKNOWNNAME.
    std::vector<std::wstring> properties = {L"AutoUpdateMode", L"MakeDefaultSummaryChart",
                                            L"DropProjectFile", L"ChartServer"};
    // What a get of any property answers (the chart server, for "ChartServer").
    _variant_t value;
    // Whether the dialog takes objects by reference; when not, DISPATCH_PROPERTYPUTREF fails
    // with DISP_E_MEMBERNOTFOUND, as a property that keeps copies answers.
    bool takesReferences = false;
    std::vector<Put> puts;

    // Recorded as "GetIDsOfNames(name)".
    HRESULT __stdcall GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                    DISPID* ids) override;
    // Recorded as "PropertyPut(name)", "PropertyPutRef(name)" or "PropertyGet(name)". The
    // arguments are checked as an automation server checks them: a put takes one argument
    // named DISPID_PROPERTYPUT, a get none.
    HRESULT __stdcall Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    const std::wstring* Property(DISPID id) const;
    HRESULT PutProperty(const std::wstring& name, WORD flags, const DISPPARAMS& params);
};

class FakeAnalysis : public ComObject<VELTRIUM::_Analysis, ISupportErrorInfo>,
                     public ScriptedCalls {
public:
    // What Dialog gives (with a reference of its own); may be null.
    IDispatch* dialog = nullptr;
    long runResult = 0;

    HRESULT __stdcall get_Dialog(IDispatch** result) override;
    HRESULT __stdcall raw_Run(long* result) override;
    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID iid) override;
};

class FakeApplication : public ComObject<VELTRIUM::_Application, ISupportErrorInfo>,
                        public ScriptedCalls {
public:
    // What Analysis gives (with a reference of its own) once `emptyAnswers` is used up; the
    // calls before that succeed with no object.
    VELTRIUM::_Analysis* analysis = nullptr;
    int emptyAnswers = 0;
    // The type and the object of the data of each call.
    std::vector<VARTYPE> dataTypes;
    std::vector<IUnknown*> dataObjects;

    VELTRIUM::_ApplicationPtr Ptr() {
        return VELTRIUM::_ApplicationPtr(static_cast<VELTRIUM::_Application*>(this));
    }

    // Recorded as "Analysis(type)".
    HRESULT __stdcall raw_Analysis(long type, VARIANT data, VELTRIUM::_Analysis** result) override;
    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID iid) override;
};

} // namespace zavtest
