#include "ServiceControl.h"

#include <windows.h>
#include <objbase.h>
#include <memory>
#include <stdexcept>

#include "HostModule.h"
#include "Service.h"
#include "ServiceConfig.h"

namespace zavservice {
namespace {

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const {
        if (handle)
            ::CloseServiceHandle(handle);
    }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

[[noreturn]] void Refused(const std::string& what) {
    const DWORD error = ::GetLastError();
    char text[512] = "";
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                     text, sizeof text, nullptr);
    std::string reason = text;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    throw std::runtime_error(what + ": " + reason + " (error " + std::to_string(error) + ")");
}

ServiceHandle Manager(DWORD access) {
    ServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, access));
    if (!manager)
        Refused("the service control manager cannot be opened");
    return manager;
}

// The state the manager is told, and the module whose stop event its stop sets.
SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;
std::string g_configFile;
int g_exitCode = 0;

void Report(DWORD state, DWORD exitCode = NO_ERROR) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitCode;
    status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 2000;
    ::SetServiceStatus(g_status, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
    if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN)
        return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
    Report(SERVICE_STOP_PENDING);
    if (g_stop)
        ::SetEvent(g_stop); // the chart in progress ends at its next cancel query
    return NO_ERROR;
}

// The manager's thread for the service: prepared for the library's exception translation, and
// with COM of its own.
void WINAPI ServiceMain(DWORD, char**) {
    g_status = ::RegisterServiceCtrlHandlerExA(kServiceName, &OnControl, nullptr);
    if (!g_status)
        return;
    PrepareExceptionHandling();
    struct Com {
        Com() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
        ~Com() { ::CoUninitialize(); }
    } com;
    Report(SERVICE_START_PENDING);
    try {
        RunService(g_configFile, "by the service control manager",
                   [](ServiceModule& module, const ServiceConfig&) {
                       g_stop = module.m_hStopEvent;
                       Report(SERVICE_RUNNING);
                   });
        g_stop = nullptr;
        Report(SERVICE_STOPPED);
    } catch (const std::exception& e) {
        g_stop = nullptr;
        g_exitCode = 1;
        // The one clear message goes to the application event log under the service's name.
        if (HANDLE source = ::RegisterEventSourceA(nullptr, kServiceName)) {
            const char* strings[] = {e.what()};
            ::ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
            ::DeregisterEventSource(source);
        }
        Report(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR);
    }
}

std::string ThisExecutable() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

} // namespace

void InstallService(const std::string& configFile, const std::string& executable) {
    const ServiceConfig config = LoadServiceConfig(configFile);
    const std::string command = "\"" + (executable.empty() ? ThisExecutable() : executable) +
                                "\" service --config \"" + config.path + "\"";
    ServiceHandle manager = Manager(SC_MANAGER_CREATE_SERVICE);
    ServiceHandle service(::CreateServiceA(
        manager.get(), kServiceName, "ZAV QC monitoring service", SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(),
        nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service)
        Refused("the service cannot be installed");
}

void UninstallService() {
    ServiceHandle manager = Manager(SC_MANAGER_CONNECT);
    ServiceHandle service(
        ::OpenServiceA(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service)
        Refused("the service cannot be opened");
    SERVICE_STATUS status{};
    if (::ControlService(service.get(), SERVICE_CONTROL_STOP, &status))
        for (int wait = 0; wait < 100 && status.dwCurrentState != SERVICE_STOPPED; ++wait) {
            ::Sleep(100);
            ::QueryServiceStatus(service.get(), &status);
        }
    if (!::DeleteService(service.get()))
        Refused("the service cannot be removed");
}

int RunAsService(const std::string& configFile) {
    g_configFile = configFile;
    char name[] = "zavservice";
    const SERVICE_TABLE_ENTRYA table[] = {{name, &ServiceMain}, {nullptr, nullptr}};
    if (!::StartServiceCtrlDispatcherA(table))
        Refused("not started by the service control manager (run it with `run`)");
    return g_exitCode;
}

} // namespace zavservice
