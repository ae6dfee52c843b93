// How the chart event sink reports a failure that it answers instead of throwing.
#include "ZAVTools/ChartSink.h"

#include <comdef.h>
#include <cstdio>
#include <string>

#include "ZAVTools/LogFile.h"
#include "logging/EventLog.h"
#include "logging/MutexWait.h"

namespace {

// For a module without a log: a developer watching the process still sees the failure.
std::string DebuggerLine(HRESULT hr, const char* description, const char* function) {
    char code[16];
    snprintf(code, sizeof code, "%lX", static_cast<unsigned long>(hr));
    std::string line = "An error was detected in function ";
    line += function ? function : "[unknown]";
    line += "; Error Code: 0x" + std::string(code) + " Description: [";
    line += description ? description : "";
    line += "]\n";
    return line;
}

// The failure as the log line would have told it, for the event that reports a broken log.
// Out of line, so that the common path does not carry the buffer's stack frame; it runs inside
// the catch handler of the failed write and allocates nothing.
__attribute__((noinline)) void ReportBrokenLog(CBaseZAVModule& module, HRESULT hr,
                                               const char* description, const char* function) {
    char line[zav::kEventStringLimit + 1];
    snprintf(line, sizeof line, "Exception detected in %s. HRESULT = 0x%lX Description = [%s]",
             function ? function : "[unknown]", static_cast<unsigned long>(hr),
             description ? description : "");
    zav::RetireFailedLog(module, line);
}

} // namespace

void CQCVChartSink::ReportComError(CBaseZAVModule& module, HRESULT hr, IErrorInfo* info,
                                   const char* function) {
    // The error class reads the description; it holds its own reference on `info`.
    const std::string description = zav::DescriptionOf(_com_error(hr, info, true));
    ReportError(module, hr, description.empty() ? "Unknown error" : description.c_str(), function);
}

bool CQCVChartSink::ReportError(CBaseZAVModule& module, HRESULT hr, const char* description,
                                const char* function) {
    zav::MutexWait guard(module.m_hLogMutex, INFINITE);
    if (!module.m_pLogFile) {
        ::OutputDebugStringA(DebuggerLine(hr, description, function).c_str());
        return false;
    }
    try {
        module.m_pLogFile->LogException(hr, description, function);
        return true;
    } catch (const _com_error&) {
        ReportBrokenLog(module, hr, description, function);
        return false;
    }
}
