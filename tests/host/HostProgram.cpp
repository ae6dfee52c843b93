// A host module's view of ZAVTools.dll: compiled against "ZAVTools.h" alone and linked against
// the DLL's import library and the system's COM libraries, nothing else. It calls every family
// of the exported interface once, with automation objects of its own, and checks what comes
// back. The exit code is the number of failed checks.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "ZAVTools.h"

namespace {

int g_failures = 0;

void Check(bool ok, const char* what) {
    printf("%-7s %s\n", ok ? "ok" : "FAILED", what);
    if (!ok)
        ++g_failures;
}

std::string Narrow(const _bstr_t& text) {
    const char* narrow = text;
    return narrow ? narrow : "";
}

// The COM objects of this host live on its stack: counted, never deleted by Release.
template <typename Interface> class Dispatch : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Interface))
            *out = static_cast<Interface*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    ULONG refs = 0;
};

HRESULT Answer(BSTR* result, const wchar_t* text) {
    *result = ::SysAllocString(text);
    return *result ? S_OK : E_OUTOFMEMORY;
}

// Four cases of two variables: Line (A, A, B, B) and Weight (the case number).
class Sheet : public Dispatch<VELTRIUM::_Spreadsheet> {
public:
    HRESULT STDMETHODCALLTYPE raw_NumberOfCases(long* result) override {
        *result = 4;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE raw_VariableName(long var, BSTR* result) override {
        return Answer(result, var == 1 ? L"Line" : L"Weight");
    }
    HRESULT STDMETHODCALLTYPE raw_VariableFormat(long, BSTR* result) override {
        return Answer(result, L"");
    }
    HRESULT STDMETHODCALLTYPE raw_CellValue(long caseNumber, long, double* result) override {
        if (caseNumber < 1)
            return E_INVALIDARG;
        *result = caseNumber;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE raw_CellText(long caseNumber, long var, BSTR* result) override {
        if (var != 1)
            return Answer(result, L"");
        return Answer(result, caseNumber <= 2 ? L"A" : L"B");
    }
    HRESULT STDMETHODCALLTYPE raw_SetVariableFormat(long, BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE raw_VariableNumber(BSTR, long* result) override {
        *result = 0;
        return S_OK;
    }
};

// A chart server with one sample, "S1" with key "k" whose first row is 5, and one connection
// point for its events; Launch asks the connected sink whether to cancel.
class Chart : public Dispatch<VELIQCVChartsLib::_IQCVCharts>,
              public IConnectionPointContainer,
              public IConnectionPoint {
public:
    ~Chart() {
        if (sink)
            sink->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out && iid == IID_IConnectionPointContainer) {
            *out = static_cast<IConnectionPointContainer*>(this);
            AddRef();
            return S_OK;
        }
        return Dispatch::QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Dispatch::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Dispatch::Release(); }

    HRESULT STDMETHODCALLTYPE raw_ChartType(long* result) override { return Zero(result); }
    HRESULT STDMETHODCALLTYPE raw_ObservationVariable(long* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_SpecLimitSet(long, long* result) override { return Zero(result); }
    HRESULT STDMETHODCALLTYPE raw_SampleFirstCase(long, double* result) override {
        *result = 5;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE raw_Launch(long flags) override {
        launchedWith = flags;
        if (!sink)
            return E_UNEXPECTED;
        VARIANT argument;
        ::VariantInit(&argument);
        V_VT(&argument) = VT_BYREF | VT_BOOL;
        V_BOOLREF(&argument) = &cancel;
        DISPPARAMS params = {&argument, nullptr, 1, 0};
        return sink->Invoke(VELIQCVChartsLib::DISPID_QueryCancel, IID_NULL, LOCALE_USER_DEFAULT,
                            DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
    HRESULT STDMETHODCALLTYPE raw_FindSample(BSTR label, BSTR key, long* result) override {
        ++findSampleCalls;
        if (!label || !key || wcscmp(label, L"S1") != 0 || wcscmp(key, L"k") != 0)
            return E_INVALIDARG;
        *result = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_EnableSampleOutOfControlEvent(VARIANT_BOOL on) override {
        return Switch(on);
    }
    HRESULT STDMETHODCALLTYPE put_EnableSampleOutsideWarningLimitsEvent(VARIANT_BOOL on) override {
        return Switch(on);
    }
    HRESULT STDMETHODCALLTYPE put_EnableRunsViolationEvent(VARIANT_BOOL on) override {
        return Switch(on);
    }
    HRESULT STDMETHODCALLTYPE put_EnableObsOutsideSpecsEvent(VARIANT_BOOL on) override {
        return Switch(on);
    }
    HRESULT STDMETHODCALLTYPE raw_SpecLimitType(long, long* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_LowerSpecLimit(long, double* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_UpperSpecLimit(long, double* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_XMeasure(long, double* result) override { return Zero(result); }
    HRESULT STDMETHODCALLTYPE raw_RMeasure(long, double* result) override { return Zero(result); }
    HRESULT STDMETHODCALLTYPE raw_XLowerControlLimit(long, double* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_XUpperControlLimit(long, double* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_XLowerWarningLimit(long, double* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_XUpperWarningLimit(long, double* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_RLowerControlLimit(long, double* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_RUpperControlLimit(long, double* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_RLowerWarningLimit(long, double* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_RUpperWarningLimit(long, double* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_XNoLowerControlLimit(long* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_XNoUpperControlLimit(long* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_RNoLowerControlLimit(long* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_RNoUpperControlLimit(long* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_XNoLowerWarningLimit(long* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_XNoUpperWarningLimit(long* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_RNoLowerWarningLimit(long* result) override {
        return Zero(result);
    }
    HRESULT STDMETHODCALLTYPE raw_RNoUpperWarningLimit(long* result) override {
        return Zero(result);
    }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        if (iid != __uuidof(VELIQCVChartsLib::IQCVChartsEvents))
            return CONNECT_E_NOCONNECTION;
        *point = this;
        AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        *iid = __uuidof(VELIQCVChartsLib::IQCVChartsEvents);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* events, DWORD* cookie) override {
        if (sink)
            return CONNECT_E_ADVISELIMIT;
        *cookie = 1;
        return events->QueryInterface(__uuidof(VELIQCVChartsLib::IQCVChartsEvents),
                                      reinterpret_cast<void**>(&sink));
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    IDispatch* sink = nullptr;
    int findSampleCalls = 0;
    int switchedOn = 0;
    int switchedOff = 0;
    long launchedWith = -1;
    VARIANT_BOOL cancel = VARIANT_FALSE;

private:
    template <typename Number> static HRESULT Zero(Number* result) {
        *result = 0;
        return S_OK;
    }
    HRESULT Switch(VARIANT_BOOL on) {
        ++(on ? switchedOn : switchedOff);
        return S_OK;
    }
};

// The analysis dialog, by property name only.
class Dialog : public Dispatch<IDispatch> {
public:
    explicit Dialog(Chart& chart) : m_chart(chart) {}

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                            DISPID* ids) override {
        for (DISPID id = 0; id < 4; ++id) {
            if (_wcsicmp(names[0], kNames[id]) == 0) {
                ids[0] = id + 1;
                return S_OK;
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (flags == DISPATCH_PROPERTYGET && id == 4) {
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = static_cast<VELIQCVChartsLib::_IQCVCharts*>(&m_chart);
            m_chart.AddRef();
            return S_OK;
        }
        if (flags != DISPATCH_PROPERTYPUT || params->cArgs != 1)
            return DISP_E_MEMBERNOTFOUND;
        put += kNames[id - 1];
        put += L"=";
        const VARIANT& value = params->rgvarg[0];
        put += V_VT(&value) == VT_BSTR ? V_BSTR(&value) : V_BOOL(&value) ? L"true" : L"false";
        put += L";";
        return S_OK;
    }

    std::wstring put;

private:
    static constexpr const wchar_t* kNames[] = {L"AutoUpdateMode", L"MakeDefaultSummaryChart",
                                                L"DropProjectFile", L"ChartServer"};
    Chart& m_chart;
};

class QCAnalysis : public Dispatch<VELTRIUM::_Analysis> {
public:
    explicit QCAnalysis(Dialog& dialog) : m_dialog(dialog) {}
    HRESULT STDMETHODCALLTYPE get_Dialog(IDispatch** result) override {
        *result = &m_dialog;
        m_dialog.AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE raw_Run(long* result) override {
        *result = 0;
        ++runs;
        return S_OK;
    }
    int runs = 0;

private:
    Dialog& m_dialog;
};

class AnalysisApplication : public Dispatch<VELTRIUM::_Application> {
public:
    explicit AnalysisApplication(QCAnalysis& analysis) : m_analysis(analysis) {}
    HRESULT STDMETHODCALLTYPE raw_Analysis(long type, VARIANT data,
                                           VELTRIUM::_Analysis** result) override {
        if (type != 3251 || V_VT(&data) != VT_DISPATCH)
            return E_INVALIDARG;
        *result = &m_analysis;
        m_analysis.AddRef();
        return S_OK;
    }

private:
    QCAnalysis& m_analysis;
};

class HostModule : public CBaseZAVModule {
public:
    explicit HostModule(CZAVConfig& config) {
        m_hLogMutex = ::CreateMutexA(nullptr, FALSE, nullptr);
        m_hStopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_pLogFile = new CLogFile(config, this);
    }
    ~HostModule() {
        delete m_pLogFile;
        ::CloseHandle(m_hStopEvent);
        ::CloseHandle(m_hLogMutex);
    }
    const char* GetServiceName() override { return "ZAVHost"; }
    HRESULT Start() override { return S_OK; }
    HRESULT Stop() override { return S_OK; }
    long OnFatalException(long, win32_exception*, const char*) override {
        ++fatalExceptions;
        return 0;
    }
    int fatalExceptions = 0;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every log file of the folder, one after the other.
std::string LogText(const std::string& folder) {
    std::string text;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*.log").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return text;
    do
        text += ReadAll(folder + "\\" + entry.cFileName);
    while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return text;
}

bool Logged(const std::string& folder, const std::string& text) {
    return LogText(folder).find(text) != std::string::npos;
}

std::string ComDescription(const _com_error& e) {
    return Narrow(e.Description());
}

SAFEARRAY* Labels(const wchar_t* text) {
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_BSTR, 0, 1);
    LONG index = 0;
    BSTR copy = ::SysAllocString(text);
    ::SafeArrayPutElement(array, &index, copy);
    ::SysFreeString(copy);
    return array;
}

void Markers() {
    Check(fnZAVTools() == 42, "fnZAVTools() is 42");
    Check(nZAVTools == 0, "nZAVTools is 0");
    Check(gShutdownTimeouts[0] == 61000 && gShutdownTimeouts[4] == 1000,
          "gShutdownTimeouts from 61000 to 1000 ms");
    CZAVTools first, second;
    first = second;
    first = static_cast<CZAVTools&&>(second);
    GetZAVConnectionString();
    Check(strGetStringZAVTools(4001) == "Runner: QCP file error", "string 4001");
}

void Paths(const std::string& folder) {
    CString own = GetModulePath(nullptr);
    Check(own.GetLength() > 0 && own[own.GetLength() - 1] == '\\', "GetModulePath ends in \\");
    Check(GetAppPath(nullptr) == own, "GetAppPath is GetModulePath");
    Check(GetModulePath(::GetModuleHandleA("ZAVTools.dll")) == own, "the DLL beside the host");
    std::string tree = folder + "\\tree";
    ::CreateDirectoryA(tree.c_str(), nullptr);
    ::CreateDirectoryA((tree + "\\sub").c_str(), nullptr);
    std::ofstream(tree + "\\sub\\file.txt") << "x";
    ::SetFileAttributesA((tree + "\\sub\\file.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    Check(RecurseRemoveDirectory(tree.c_str()) != 0 &&
              ::GetFileAttributesA(tree.c_str()) == INVALID_FILE_ATTRIBUTES,
          "RecurseRemoveDirectory removes a tree with a read-only file");
    Check(RecurseRemoveDirectory(tree.c_str()) == 0, "and answers 0 for a missing one");
}

void ProjectFiles(const std::string& folder, VELTRIUM::_SpreadsheetPtr sheet) {
    std::string qcp = folder + "\\line.qcp";
    std::ofstream(qcp) << "[GENERAL]\r\nCharID=17\r\nCharName=Bore\r\n";
    int id = 0;
    std::string name;
    Check(GetValueFromQCPFile("CharID", qcp.c_str(), id) && id == 17, "GetValueFromQCPFile");
    Check(GetStringFromQCPFile("CharName", qcp.c_str(), name) && name == "Bore",
          "GetStringFromQCPFile");
    Check(MakeProcessName(sheet, 1, {1}) == "Line=A", "MakeProcessName");
    ProcessBlock block{};
    Check(GetProcessBlock(sheet, 1, {1}, block) && block.lastCase == 2 &&
              block.processName == "Line=A",
          "GetProcessBlock");
}

void Exceptions(HostModule& module, const std::string& folder) {
    PrepareExceptionHandling();
    try {
        volatile int zero = 0;
        volatile int quotient = 1 / zero;
        (void)quotient;
        Check(false, "a division by zero faults");
    } catch (numeric_exception& e) {
        Check(strcmp(e.what(), "Division By Zero") == 0, "a fault arrives as numeric_exception");
        CreateCrashReport(e, module);
        Check(e.m_reported && Logged(folder, "Process dump was generated in ["),
              "CreateCrashReport marks and logs it");
    }
    try {
        throw_exception(nullptr, 4001);
        Check(false, "throw_exception throws");
    } catch (const CProgramException& e) {
        Check(strcmp(e.what(), "Runner: QCP file error") == 0, "throw_exception");
    }
    Check(strcmp(win32_exception(nullptr).what(), "0x       0") == 0, "win32_exception names");
    try {
        NewHandler(16);
        Check(false, "NewHandler throws");
    } catch (const std::bad_alloc&) {
        Check(true, "NewHandler throws std::bad_alloc");
    }
}

void ComErrors(HostModule& module) {
    Check(MakeErrorInfo("text").GetInterfacePtr() != nullptr, "MakeErrorInfo");
    try {
        ThrowWin32Error(ERROR_ACCESS_DENIED, "Open: ");
        Check(false, "ThrowWin32Error throws");
    } catch (const _com_error& e) {
        Check(e.Error() == static_cast<HRESULT>(0x80070005), "ThrowWin32Error");
    }
    ::SetErrorInfo(0, nullptr);
    try {
        ThrowComErrorFromThread(E_FAIL, "Failed to set AutoUpdateMode");
        Check(false, "ThrowComErrorFromThread throws");
    } catch (const _com_error& e) {
        Check(ComDescription(e) == "Failed to set AutoUpdateMode", "ThrowComErrorFromThread");
    }
    try {
        LogAndRethrow(module, std::runtime_error("Queue full"), "Host", "Loading", "Queue full");
        Check(false, "LogAndRethrow throws");
    } catch (const _com_error& e) {
        Check(ComDescription(e) == "Loading [Queue full]", "LogAndRethrow wraps");
    }
    try {
        RunGuarded(module, "Host", "Guarding", [] { ThrowComError(E_ABORT, "inner"); });
        Check(false, "RunGuarded passes the error on");
    } catch (const _com_error& e) {
        Check(e.Error() == E_ABORT && ComDescription(e) == "Guarding [inner]", "RunGuarded");
    }
    // An automation wrapper raises the failed call as _com_error (E_INVALIDARG from the sheet).
    Sheet sheet;
    try {
        VELTRIUM::_SpreadsheetPtr(&sheet)->CellValue(0, 1);
        Check(false, "a failed call raises");
    } catch (const _com_error& e) {
        Check(e.Error() == E_INVALIDARG, "automation wrappers raise _com_error");
    }
}

void Logging(HostModule& module, CZAVConfig& config, const std::string& folder) {
    CLogFile log(config, &module);
    Check(log.GetLogLevel() == LOG_TRACE && !log.IsBuffered(), "CLogFile level");
    log.Log(LOG_INFO, "host line %d", 1);
    log.LogTrace("HostScope", true);
    log.LogException(E_FAIL, "Bad value", "Complie");
    log.LogException(E_FAIL, MakeErrorInfo("From info"), "Elsewhere");
    CLogFile copy(log);
    copy.Log(LOG_WARNING, "from the copy");
    Check(ModuleLog(module, LOG_ERROR, "module line %s", "x"), "ModuleLog");
    Check(ModuleTrace(module, "Traced", true), "ModuleTrace");
    ModuleReportEvent(module, "an information event");
    { CFunctionTrace scope(module, "HostFunction"); }
    Check(Logged(folder, "host line 1") && Logged(folder, "Enter  HostScope") &&
              Logged(folder, "Exception detected in Complie. HRESULT = 0x80004005 Description = "
                             "[Bad value]") &&
              Logged(folder, "Description = [From info]") && Logged(folder, "from the copy") &&
              Logged(folder, "module line x") && Logged(folder, "Exit   HostFunction"),
          "the log file holds every line");
}

void SpecManagerAndHandlers(Sheet& sheet) {
    std::vector<std::string> wanted{"out of control"};
    CSpecManager specs(&sheet, wanted, 17, 2, false, 5.0, nullptr);
    specs.SetCaseRange({1, 4});
    specs.SetProcessName("Line=A");
    Check(specs.GetCharId() == 17 && specs.OnEndAlarmChecking(), "spec manager basics");
    Check(!specs.ProcessAlarm_ObsOutOfSpecs() && !specs.ProcessAlarm_RunsViolation() &&
              !specs.ProcessAlarm_SampleOutOfControl() &&
              !specs.ProcessAlarm_SampleOutsideWarningLimits(),
          "no alarm switched on before compilation");
    Check(specs.CheckWantedReturnCode("out of control") &&
              !specs.CheckWantedReturnCode("runs violation"),
          "CheckWantedReturnCode");
    Check(specs.ShouldIgnoreAlarm(3) && !specs.ShouldIgnoreAlarm(6),
          "ShouldIgnoreAlarm against the threshold");
    CSpecManager other(&sheet, wanted, 99, 0, false, 0.0, nullptr);
    other = specs;
    Check(other.GetCharId() == 17, "CSpecManager::operator=");

    Chart chart;
    SAFEARRAY* labels = Labels(L"S1");
    SAFEARRAY* keys = Labels(L"k");
    specs.OnSpecLimitAlarm(&chart, labels, keys, true, 1, 0);
    Check(chart.findSampleCalls == 1, "OnSpecLimitAlarm locates the sample");
    specs.OnSampleOutOfControl(&chart, labels, keys, true, 1);
    specs.OnSampleOutsideWarningLimits(&chart, labels, keys, true, 1);
    specs.OnObsOutsideSpecs(&chart, labels, keys, keys, true, 0);
    specs.OnRunsViolation(&chart, labels, keys, labels, keys, keys, true, 0);
    Check(chart.findSampleCalls == 1 && chart.refs == 0, "switched-off kinds do nothing");
    ::SafeArrayDestroy(labels);
    ::SafeArrayDestroy(keys);
}

void Sink(HostModule& module, Sheet& sheet) {
    std::vector<std::string> wanted;
    CSpecManager specs(&sheet, wanted, 1, 0, false, 0.0, nullptr);
    auto sink = new CQCVChartSink(module, specs, true, true, true, true);
    IDispatch* events = nullptr;
    Check(sink->QueryInterface(__uuidof(VELIQCVChartsLib::IQCVChartsEvents),
                               reinterpret_cast<void**>(&events)) == S_OK,
          "the sink gives IQCVChartsEvents");
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    Check(events->Invoke(9, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr) ==
              DISP_E_MEMBERNOTFOUND,
          "an unknown event is DISP_E_MEMBERNOTFOUND");
    Check(events->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr) == S_OK,
          "run started is accepted");
    Check(events->Release() == 0, "the sink's last reference");
}

void Runner(HostModule& module, Sheet& sheet, const std::string& folder) {
    Chart chart;
    Dialog dialog(chart);
    QCAnalysis analysis(dialog);
    AnalysisApplication app(analysis);
    std::vector<std::string> wanted{"out of control"};
    CSpecManager specs(&sheet, wanted, 17, 0, false, 0.0, nullptr);
    ::SetEvent(module.m_hStopEvent);
    std::string project = folder + "\\line.qcp";
    bool ran = RunDashboardProcess2(module, &app, &sheet, project.c_str(), specs);
    Check(ran && analysis.runs == 1 && chart.launchedWith == 0, "RunDashboardProcess2 runs");
    std::wstring expected = L"AutoUpdateMode=false;MakeDefaultSummaryChart=false;DropProjectFile=" +
                            std::wstring(_bstr_t(project.c_str())) + L";";
    Check(dialog.put == expected, "the dialog's properties");
    Check(chart.switchedOff == 4 && chart.switchedOn == 0, "no alarm event switched on");
    Check(chart.cancel == VARIANT_TRUE, "the stop event cancels the run");
    Check(app.refs == 0 && analysis.refs == 0 && dialog.refs == 0 && chart.refs == 0,
          "every reference released");
    ::ResetEvent(module.m_hStopEvent);
    try {
        RunDashboardProcess2(module, nullptr, &sheet, project.c_str(), specs);
        Check(false, "a null application fails");
    } catch (const _com_error& e) {
        Check(e.Error() == E_POINTER, "a null application is E_POINTER");
    }
}

} // namespace

int main() {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "zavhost-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    {
        CZAVConfig config;
        config.m_strLogPath = folder;
        config.m_strLogLevel = "TRACE";
        HostModule module(config);
        Sheet sheet;
        Markers();
        Paths(folder);
        ProjectFiles(folder, &sheet);
        Exceptions(module, folder);
        ComErrors(module);
        Logging(module, config, folder);
        SpecManagerAndHandlers(sheet);
        Sink(module, sheet);
        Runner(module, sheet, folder);
        Check(sheet.refs == 0, "the spreadsheet's references released");
    }
    Check(RecurseRemoveDirectory(folder.c_str()) != 0, "the host's folder removed");
    ::CoUninitialize();
    printf("%d failed\n", g_failures);
    return g_failures;
}
