#include "ZAVTools/ModuleLog.h"

#include <comdef.h>
#include <cstdio>
#include <string>

#include "logging/EventLog.h"
#include "logging/LogLine.h"
#include "logging/LogMutex.h"
#include "logging/MutexWait.h"

namespace {

// The one path of every module logging operation. `write` uses the log object; `describe`
// gives the caller's message again for the event that reports a failed write.
template <typename Write, typename Describe>
bool LogThroughModule(CBaseZAVModule& module, Write write, Describe describe) {
    zav::MutexWait guard(module.m_hLogMutex, INFINITE);
    if (!module.m_pLogFile)
        return false;
    try {
        write(*module.m_pLogFile);
        return true;
    } catch (const _com_error& e) {
        zav::ReportCaughtLogFailure(&module, describe().c_str());
        // A time-out says nothing about the log object itself; anything else means it is
        // broken, and a broken log must not fail every later line again.
        if (e.Error() != zav::kLogMutexTimedOut && e.Error() != zav::kLogMutexTimedOutToo) {
            delete module.m_pLogFile;
            module.m_pLogFile = nullptr;
        }
        return false;
    }
}

std::string FormatMessageText(const char* format, va_list args) {
    char text[1024];
    if (!format || vsnprintf(text, sizeof text, format, args) < 0)
        return "!message format error!";
    return text;
}

std::string TraceText(const char* name, bool enter) {
    char text[128];
    zav::FormatTrace(name, enter, text);
    return text;
}

} // namespace

bool ModuleLog(CBaseZAVModule& module, LogSeverity severity, const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool logged = LogThroughModule(
        module,
        [&](CLogFile& log) {
            va_list copy;
            va_copy(copy, args);
            log.LogV(severity, format, copy);
            va_end(copy);
        },
        [&] {
            va_list copy;
            va_copy(copy, args);
            std::string text = FormatMessageText(format, copy);
            va_end(copy);
            return text;
        });
    va_end(args);
    return logged;
}

bool ModuleTrace(CBaseZAVModule& module, const char* name, bool enter) {
    return LogThroughModule(
        module, [&](CLogFile& log) { log.LogTrace(name, enter); },
        [&] { return TraceText(name, enter); });
}

void ModuleReportEvent(CBaseZAVModule& module, const char* format, ...) {
    char message[256] = {};
    va_list args;
    va_start(args, format);
    if (format)
        vsnprintf(message, sizeof message, format, args);
    va_end(args);
    char text[320];
    snprintf(text, sizeof text, "%s. Process: %u Thread: %u", message,
             static_cast<unsigned>(::GetCurrentProcessId()),
             static_cast<unsigned>(::GetCurrentThreadId()));
    zav::ReportInformationEvent(module, text);
}

CFunctionTrace::CFunctionTrace(CBaseZAVModule& module, const char* name)
    : m_name(name), m_traced(ModuleTrace(module, name, true)), m_module(&module) {
    if (!m_traced)
        ModuleReportEvent(module, "Entered %s", name);
}

// Runs while an exception may be leaving the scope, so a failure of the trace itself must
// not escape.
CFunctionTrace::~CFunctionTrace() {
    try {
        if (m_traced)
            ModuleTrace(*m_module, m_name, false);
        else
            ModuleReportEvent(*m_module, "Leaving %s", m_name);
    } catch (...) {
    }
}
