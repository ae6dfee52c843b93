#include "ZAVTools/DashboardRunner.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include "ZAVTools/ChartSink.h"
#include "ZAVTools/ComErrors.h"
#include "ZAVTools/ModuleLog.h"
#include "logging/CatchLadder.h"
#include "qcrun/DispatchByName.h"

using VELIQCVChartsLib::_IQCVCharts;
using VELIQCVChartsLib::_IQCVChartsPtr;
using VELTRIUM::_AnalysisPtr;

namespace {

constexpr char kFunction[] = "RunDashboardProcess2";
constexpr char kActivity[] = "Launch IQC chart";

constexpr long kQCAnalysisType = 3251;
// The chart engine refuses analyses while it starts; it is given this long to come up.
constexpr ULONGLONG kChartEngineStartMs = 20000;
constexpr DWORD kRetryPauseMs = 200;
constexpr HRESULT kChartEngineNotReady = static_cast<HRESULT>(0x80040200);

// What the chart engine answers while it is still starting.
bool IsHandshakeError(const _com_error& error) {
    if (error.Error() != kChartEngineNotReady)
        return false;
    _bstr_t description = error.Description();
    const wchar_t* text = description;
    if (!text)
        return false;
    std::wstring lower(text, description.length());
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return lower.find(L"bad encryption handshake") != std::wstring::npos;
}

// Retries while the chart engine is starting; once the time is up, or when an attempt gave
// nothing, one last attempt decides.
_AnalysisPtr ObtainAnalysis(VELTRIUM::_ApplicationPtr& app, const _variant_t& sheet) {
    _AnalysisPtr analysis;
    const ULONGLONG start = ::GetTickCount64();
    while (::GetTickCount64() - start < kChartEngineStartMs) {
        try {
            analysis = app->Analysis(kQCAnalysisType, sheet);
            break;
        } catch (const _com_error& e) {
            if (!IsHandshakeError(e))
                throw;
        }
        ::Sleep(kRetryPauseMs);
    }
    if (!analysis)
        analysis = app->Analysis(kQCAnalysisType, sheet);
    if (!analysis)
        _com_issue_error(E_POINTER);
    return analysis;
}

// The calls whose failures take the thread's error information start without any, so that
// what an earlier failure left there is never taken for theirs.
void ForgetThreadErrorInfo() {
    ::SetErrorInfo(0, nullptr);
}

void SetOrThrow(IDispatch* dialog, const wchar_t* name, const _variant_t& value,
                const char* message) {
    ForgetThreadErrorInfo();
    HRESULT hr = zav::SetPropertyByName(dialog, name, value);
    if (FAILED(hr))
        ThrowComErrorFromThread(hr, message);
}

void SetUpDialog(VELTRIUM::_Analysis* analysis, const char* projectFile) {
    IDispatchPtr dialog = analysis->GetDialog();
    SetOrThrow(dialog, L"AutoUpdateMode", _variant_t(false), "Failed to set AutoUpdateMode");
    SetOrThrow(dialog, L"MakeDefaultSummaryChart", _variant_t(false),
               "Failed to set MakeDefaultSummaryChart");
    // An empty path rather than a null BSTR: not every server takes null for empty.
    SetOrThrow(dialog, L"DropProjectFile", _variant_t(_bstr_t(projectFile ? projectFile : "")),
               "Failed to set DropProjectFile");
}

_IQCVChartsPtr TakeChartServer(VELTRIUM::_Analysis* analysis) {
    IDispatchPtr dialog = analysis->GetDialog();
    _variant_t server;
    ForgetThreadErrorInfo();
    HRESULT hr = zav::GetPropertyByName(dialog, L"ChartServer", &server);
    if (FAILED(hr))
        ThrowComErrorFromThread(hr, "Failed to get ChartServer object from QC analysis dialog "
                                    "object");
    if (V_VT(&server) != VT_UNKNOWN) {
        hr = ::VariantChangeType(&server, &server, 0, VT_UNKNOWN);
        if (FAILED(hr))
            _com_issue_error(hr);
    }
    IUnknown* object = V_UNKNOWN(&server);
    _IQCVChartsPtr charts;
    hr = object ? object->QueryInterface(__uuidof(_IQCVCharts), reinterpret_cast<void**>(&charts))
                : E_FAIL;
    if (SUCCEEDED(hr) && !charts)
        hr = E_FAIL;
    if (FAILED(hr))
        ThrowComError(hr, "Failed to get _IQCVCharts interface");
    return charts;
}

VARIANT_BOOL AsVariantBool(bool value) {
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}

void SwitchAlarmEvents(_IQCVCharts* charts, CSpecManager& specs) {
    charts->PutEnableObsOutsideSpecsEvent(AsVariantBool(specs.ProcessAlarm_ObsOutOfSpecs()));
    charts->PutEnableRunsViolationEvent(AsVariantBool(specs.ProcessAlarm_RunsViolation()));
    charts->PutEnableSampleOutOfControlEvent(
        AsVariantBool(specs.ProcessAlarm_SampleOutOfControl()));
    charts->PutEnableSampleOutsideWarningLimitsEvent(
        AsVariantBool(specs.ProcessAlarm_SampleOutsideWarningLimits()));
}

IDispatchPtr CreateSink(CBaseZAVModule& module, CSpecManager& specs) {
    IDispatch* sink =
        new CQCVChartSink(module, specs, specs.CheckWantedReturnCode("out of control"),
                          specs.CheckWantedReturnCode("outside warning limits"),
                          specs.CheckWantedReturnCode("runs violation"),
                          specs.CheckWantedReturnCode("outside specs"));
    return IDispatchPtr(sink);
}

// The connection is never undone: the chart server keeps the sink for as long as it lives, so
// the cookie is not kept.
void Connect(_IQCVCharts* charts, IDispatch* sink) {
    IConnectionPointContainerPtr container;
    IConnectionPointPtr point;
    DWORD cookie = 0;
    ForgetThreadErrorInfo();
    HRESULT hr = charts ? charts->QueryInterface(IID_IConnectionPointContainer,
                                                 reinterpret_cast<void**>(&container))
                        : E_INVALIDARG;
    if (SUCCEEDED(hr))
        hr = container ? container->FindConnectionPoint(
                             __uuidof(VELIQCVChartsLib::IQCVChartsEvents), &point)
                       : E_NOINTERFACE;
    if (SUCCEEDED(hr))
        hr = point ? point->Advise(sink, &cookie) : E_NOINTERFACE;
    if (FAILED(hr))
        ThrowComErrorFromThread(hr, "Failed to connect event sink to IQCVChartsEvents");
}

void RunSteps(CBaseZAVModule& module, VELTRIUM::_ApplicationPtr& app,
              VELTRIUM::_SpreadsheetPtr& sheet, const char* projectFile, CSpecManager& specs) {
    _variant_t sheetData(static_cast<IDispatch*>(sheet), true);
    _AnalysisPtr analysis = ObtainAnalysis(app, sheetData);
    SetUpDialog(analysis, projectFile);
    analysis->Run();
    _IQCVChartsPtr charts = TakeChartServer(analysis);
    SwitchAlarmEvents(charts, specs);
    {
        // From the connection on, only the chart server keeps the sink alive.
        IDispatchPtr sink = CreateSink(module, specs);
        Connect(charts, sink);
    }
    charts->Launch(0);
}

} // namespace

bool RunDashboardProcess2(CBaseZAVModule& module, VELTRIUM::_ApplicationPtr app,
                          VELTRIUM::_SpreadsheetPtr sheet, const char* projectFile,
                          CSpecManager& specs) {
    CFunctionTrace trace(module, kFunction);
    try {
        RunSteps(module, app, sheet, projectFile, specs);
    } catch (...) {
        zav::RethrowLogged(module, kFunction, kActivity);
    }
    return true;
}
