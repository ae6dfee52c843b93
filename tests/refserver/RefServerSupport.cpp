#include "RefServerSupport.h"

namespace reftest {

std::wstring WriteFile(const TempDir& dir, const std::string& name, const std::string& text) {
    zavtest::WriteTextFile(dir / name, text);
    return zavtest::Wide(dir / name);
}

_SpreadsheetPtr OpenSheet(const TempDir& dir, const std::string& csv) {
    _SpreadsheetPtr sheet;
    EXPECT_EQ(S_OK, OpenRefSpreadsheet(WriteFile(dir, "data.csv", csv).c_str(), &sheet))
        << ErrorText();
    return sheet;
}

std::string Text(const _SpreadsheetPtr& sheet, long caseNumber, long var) {
    _bstr_t text = sheet->CellText(caseNumber, var);
    return zavtest::Narrow(text.length() ? static_cast<const wchar_t*>(text) : L"", CP_UTF8);
}

Chart::Chart(const std::string& csv, const std::string& qcp) {
    VELTRIUM::_ApplicationPtr application;
    EXPECT_EQ(S_OK, CreateRefApplication(nullptr, &application));
    analysis = application->Analysis(kRefQCAnalysisType,
                                     _variant_t(static_cast<IDispatch*>(OpenSheet(dir, csv))));
    IDispatchPtr dialog = analysis->GetDialog();
    const std::wstring project =
        qcp.empty() ? zavtest::Wide(dir / "missing.qcp") : WriteFile(dir, "chart.qcp", qcp);
    zav::SetPropertyByName(dialog, L"DropProjectFile", _variant_t(project.c_str()));
    hr = analysis->raw_Run(&samples);
    error = ErrorText();
    _variant_t chart;
    if (SUCCEEDED(hr) && SUCCEEDED(zav::GetPropertyByName(dialog, L"ChartServer", &chart)))
        server = _IQCVChartsPtr(V_DISPATCH(&chart)); // takes a reference of its own
}

namespace {

std::string Argument(const VARIANT& v, IUnknown* chart) {
    if (V_VT(&v) == VT_DISPATCH)
        return V_DISPATCH(&v) == chart ? "chart" : "?";
    if (V_VT(&v) == VT_BOOL)
        return V_BOOL(&v) ? "true" : "false";
    if (V_VT(&v) == VT_I4)
        return std::to_string(V_I4(&v));
    SAFEARRAY* array = V_ARRAY(&v);
    VARTYPE element = VT_EMPTY;
    LONG low = -1, high = -1;
    if (!(V_VT(&v) & VT_ARRAY) || FAILED(::SafeArrayGetVartype(array, &element)) ||
        element != (V_VT(&v) & VT_TYPEMASK) || ::SafeArrayGetDim(array) != 1 ||
        FAILED(::SafeArrayGetLBound(array, 1, &low)) || low != 0)
        return "?";
    ::SafeArrayGetUBound(array, 1, &high);
    std::string text;
    for (LONG i = 0; i <= high; ++i) {
        _variant_t item;
        ::SafeArrayGetElement(array, &i, &item.bstrVal); // a BSTR or a LONG, read in place
        item.vt = element;
        item.ChangeType(VT_BSTR);
        text += (i ? ";" : "") + zavtest::Narrow(item.bstrVal, CP_UTF8);
    }
    return element == VT_BSTR ? "[" + text + "]" : "{" + text + "}";
}

} // namespace

HRESULT RecordingSink::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                              EXCEPINFO*, UINT*) {
    // The events by DISPID, 1 to 8.
    static const std::vector<std::string> kNames = zavtest::SplitLines(
        "?\nSampleOutOfControl\nSampleOutsideWarningLimits\nRunsViolation\nObsOutsideSpecs\n"
        "SampleAdded\nQueryCancel\nRunStarted\nRunCompleted\n");
    if (onEvent)
        onEvent(id);
    if (id == VELIQCVChartsLib::DISPID_QueryCancel) {
        const VARIANT& cancel = params->rgvarg[0];
        if (params->cArgs != 1 || V_VT(&cancel) != (VT_BYREF | VT_BOOL) || flags != DISPATCH_METHOD)
            events += "?\n";
        else if (++queries == cancelAtQuery)
            *V_BOOLREF(&cancel) = VARIANT_TRUE;
        return answer;
    }
    std::string event = id > 0 && id < 9 && flags == DISPATCH_METHOD ? kNames[id] : "?";
    // DISPPARAMS hold the last declared argument first.
    for (UINT i = params->cArgs; i-- > 0;)
        event += (i + 1 == params->cArgs ? "(" : ",") + Argument(params->rgvarg[i], chart);
    events += event + ")\n";
    return answer;
}

IConnectionPointPtr EventsPoint(const _IQCVChartsPtr& server) {
    IConnectionPointPtr point;
    IConnectionPointContainerPtr(server)->FindConnectionPoint(
        __uuidof(VELIQCVChartsLib::IQCVChartsEvents), &point);
    return point;
}

DWORD Connect(const _IQCVChartsPtr& server, RecordingSink& sink) {
    DWORD cookie = 0;
    EXPECT_EQ(S_OK, EventsPoint(server)->Advise(&sink, &cookie));
    sink.chart = server.GetInterfacePtr();
    return cookie;
}

} // namespace reftest
