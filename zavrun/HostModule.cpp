#include "HostModule.h"

#include <cstdio>

namespace zavrun {
namespace {

HANDLE g_stopEvent = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    ::SetEvent(g_stopEvent); // the chart run asks between samples and stops
    return TRUE;
}

} // namespace

HostModule::HostModule(const std::string& logFolder, const std::string& logLevel) {
    m_config.m_strLogPath = logFolder;
    m_config.m_strLogLevel = logLevel;
    m_pLogFile = new CLogFile(m_config, this);
    m_hLogMutex = ::CreateMutexA(nullptr, FALSE, nullptr);
    m_hStopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_stopEvent = m_hStopEvent;
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

HostModule::~HostModule() {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_stopEvent = nullptr;
    delete m_pLogFile;
    ::CloseHandle(m_hStopEvent);
    ::CloseHandle(m_hLogMutex);
}

HRESULT HostModule::Stop() {
    ::SetEvent(m_hStopEvent);
    return S_OK;
}

long HostModule::OnFatalException(long hr, win32_exception* e, const char* where) {
    fprintf(stderr, "zavrun: a fault in %s: %s (0x%08lX)\n", where ? where : "?",
            e ? e->what() : "unknown", static_cast<unsigned long>(hr));
    return 0;
}

bool HostModule::StopRequested() const {
    return ::WaitForSingleObject(m_hStopEvent, 0) == WAIT_OBJECT_0;
}

void HostModule::Info(const char* text) {
    ModuleLog(*this, LOG_INFO, "%s", text);
}

} // namespace zavrun
