// A host module's view of ZAVTools.dll: compiled against ZAVTools.h alone and linked against the
// import libraries of the DLL and of the reference analysis server (and the system's COM
// libraries), it calls every family of the exported interface once, runs a QC chart on the sample
// data, checks what comes back and exits with the number of failed checks.
#include <cstdio>
#include <functional>

#include "RefServer.h"
#include "ZAVTools.h"

static int g_failed = 0;
static volatile int g_zero = 0;

static void Check(bool ok, const char* what) {
    printf("%-6s %s\n", ok ? "ok" : "FAILED", what);
    g_failed += !ok;
}

// The service module, which is also the service that the alarms are handed to: it keeps the
// sample identity of the first record.
struct Host : CBaseZAVModule, IZAVServerNotify {
    const char* GetServiceName() override { return "ZAVHost"; }
    HRESULT Start() override { return S_OK; }
    HRESULT Stop() override { return S_OK; }
    long OnFatalException(long, win32_exception*, const char*) override { return 0; }
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT NotifyAlarms(unsigned long long, const QCAlarm* first) override {
        id = first->sampleId;
        return S_OK;
    }
    std::wstring id;
};

int main() {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string folder = "zavhost" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    CZAVConfig config{folder, "INFO"};
    Host host;
    host.m_hLogMutex = ::CreateMutexA(nullptr, FALSE, nullptr);
    host.m_pLogFile = new CLogFile(config, &host);
    CZAVTools marker, copy(marker);
    copy = marker = CZAVTools();
    GetZAVConnectionString();
    ModuleReportEvent(host, "an event of %s", "the host");
    { CFunctionTrace trace(host, "Scope"); }
    Check(fnZAVTools() == 42 && nZAVTools == 0 && gShutdownTimeouts[4] == 1000 &&
              strGetStringZAVTools(4033) == "XBar & R" && GetAppPath(nullptr) == GetModulePath(0) &&
              GetModulePath(::GetModuleHandleA("ZAVTools.dll")) == GetModulePath(nullptr) &&
              ModuleLog(host, LOG_WARNING, "module line") && ModuleTrace(host, "Traced", true),
          "the markers, strGetStringZAVTools, GetModulePath, GetAppPath, the module's CLogFile");

    // What the throwing calls throw, on a thread prepared for machine faults: a COM error as
    // "<HRESULT> <description>", anything else as its what(); machine faults reported.
    PrepareExceptionHandling();
    EXCEPTION_RECORD record{EXCEPTION_ACCESS_VIOLATION, 0, nullptr, nullptr, 0, {}};
    EXCEPTION_POINTERS fault{&record, nullptr};
    MakeErrorInfo("left here");
    std::string thrown;
    for (const std::function<void()>& action : std::initializer_list<std::function<void()>>{
             [] { g_zero = 1 / g_zero; },
             [&] { TranslateStructuredException(record.ExceptionCode, &fault); },
             [] { throw_exception(nullptr, 4033); }, [] { NewHandler(16); },
             [] { ThrowComErrorFromThread(E_FAIL, "own"); }, [] { ThrowComError(E_ABORT, "no"); },
             [&] { LogAndRethrow(host, CProgramException("F"), "Host", "Loading", "F"); },
             [&] { RunGuarded(host, "Host", "Doing", [] { ThrowComError(E_ABORT, "in"); }); },
             [] { ThrowWin32Error(ERROR_FILE_NOT_FOUND, "Open: "); }}) {
        try {
            action();
        } catch (const _com_error& e) {
            thrown += std::to_string(e.Error()) + " " + (const char*)e.Description() + "|";
        } catch (numeric_exception& e) {
            CreateCrashReport(e, host);
            thrown += e.m_reported ? "reported " + std::string(e.what()) + "|" : "unreported|";
        } catch (const std::exception& e) {
            thrown += e.what() + std::string("|");
        }
    }
    Check(!thrown.find("reported Division By Zero|Access Violation|XBar & R|bad allocation|"
                       "-2147467259 left here|-2147467260 no|-2147467259 Loading [F]|"
                       "-2147467260 Doing [in]|-2147024894 Open: "),
          "the exceptions, CreateCrashReport, MakeErrorInfo, LogAndRethrow, RunGuarded");

    const std::string qcp = ZAV_SAMPLE_DATA "\\diameter-xbar-r.qcp";
    int charId = 0;
    std::string charName;
    VELTRIUM::_SpreadsheetPtr sheet, lineA;
    VELTRIUM::_ApplicationPtr app;
    Vexil::_ObjectManagerPtr manager;
    ProcessBlock block{};
    std::vector<std::string> wanted = {"out of control", "runs violation"};
    Check(GetValueFromQCPFile("CharID", qcp.c_str(), charId) && charId == 1 &&
              GetStringFromQCPFile("CharName", qcp.c_str(), charName) && charName == "Diameter" &&
              OpenRefSpreadsheet(L"" ZAV_SAMPLE_DATA L"\\production.csv", &sheet) == S_OK &&
              GetProcessBlock(sheet, 1, {2}, block) && block.lastCase == 2000 &&
              CreateRefSpreadsheetView(sheet, 1, 2000, &lineA) == S_OK &&
              MakeProcessName(lineA, 1, {2}) == "Line=A" &&
              CreateRefApplication(L"HandshakeFailures=2", &app) == S_OK &&
              OpenRefObjectManager(_bstr_t(qcp.c_str()), &manager) == S_OK,
          "the QCP readers, GetProcessBlock, MakeProcessName: line A of the sample data");
    CSpecManager specs(lineA, wanted, 1, 0, true, 0.0, &host);
    IDispatchPtr sink(new CQCVChartSink(host, specs, true, true, true, true));
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    Check(specs.Complie(&host, qcp.c_str(), manager) &&
              RunDashboardProcess2(host, app, lineA, qcp.c_str(), specs) &&
              specs.NotifyZAVServerOfAlarms(&host) && host.id.find(L"2024-05-") == 0 &&
              sink->Invoke(9, IID_NULL, 0, 1, &none, nullptr, nullptr, nullptr) ==
                  DISP_E_MEMBERNOTFOUND,
          "CSpecManager::Complie, RunDashboardProcess2, NotifyZAVServerOfAlarms, CQCVChartSink");
    delete host.m_pLogFile;
    ::CloseHandle(host.m_hLogMutex);
    Check(RecurseRemoveDirectory(folder.c_str()) != 0, "RecurseRemoveDirectory");
    return g_failed;
}
