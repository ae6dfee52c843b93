// How the chart event sink reports a failure that it answers instead of throwing.
#include "ZAVTools/ChartSink.h"

#include <comdef.h>
#include <cstdio>
#include <string>

#include "ZAVTools/LogFile.h"
#include "logging/EventLog.h"
#include "logging/MutexWait.h"

namespace {

constexpr HRESULT kMutexTimeout = static_cast<HRESULT>(0xA0040600);
constexpr HRESULT kMutexTimeoutToo = static_cast<HRESULT>(0xA0040601);

std::string UpperHex(HRESULT hr) {
    char text[16];
    snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(hr));
    return text;
}

// For a module without a log: a developer watching the process still sees the failure.
std::string DebuggerLine(HRESULT hr, const char* description, const char* function) {
    std::string line = "An error was detected in function ";
    line += function ? function : "[unknown]";
    line += "; Error Code: 0x" + UpperHex(hr) + " Description: [";
    line += description ? description : "";
    line += "]\n";
    return line;
}

// The failure as the log line would have told it, for the event log.
std::string EventLine(HRESULT hr, const char* description, const char* function) {
    try {
        std::string line = "Exception detected in ";
        line += function ? function : "[unknown]";
        line += ". HRESULT = 0x" + UpperHex(hr) + " Description = [";
        line += description ? description : "";
        line += "]";
        return line;
    } catch (...) {
        return "!message format error!";
    }
}

// The log object failed with `error`. A time-out says nothing about the log object itself;
// anything else means it is broken, and a broken log must not fail every later report again.
void ReportBrokenLog(CBaseZAVModule& module, HRESULT hr, const char* description,
                     const char* function, const _com_error& error) {
    const std::string line = EventLine(hr, description, function);
    const std::string text = zav::DescriptionOf(error);
    zav::ReportErrorEvent(&module, line.c_str(), zav::LowerHex(error.Error()).c_str(),
                          text.empty() ? "unknown error" : text.c_str());
    if (error.Error() != kMutexTimeout && error.Error() != kMutexTimeoutToo) {
        delete module.m_pLogFile;
        module.m_pLogFile = nullptr;
    }
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
    } catch (const _com_error& e) {
        ReportBrokenLog(module, hr, description, function, e);
        return false;
    }
}
