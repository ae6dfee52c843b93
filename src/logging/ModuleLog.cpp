#include "ZAVTools/ModuleLog.h"

#include <comdef.h>
#include <cstdio>

#include "logging/EventLog.h"
#include "logging/LogLine.h"
#include "logging/LogMutex.h"
#include "logging/MutexWait.h"

namespace {

// Out of line, so that the common path does not carry the buffer's stack frame. Runs inside the
// catch handler of a failed write.
template <typename Describe>
__attribute__((noinline)) void ReportFailedWrite(CBaseZAVModule& module, Describe& describe) {
    char text[zav::kEventStringLimit + 1];
    describe(text, sizeof text);
    zav::RetireFailedLog(module, text);
}

// The one path of every module logging operation. `write` uses the log object; `describe`
// writes the caller's message again, for the event that reports a failed write, into a buffer
// of its own: the failure may be that memory ran out.
template <typename Write, typename Describe>
bool LogThroughModule(CBaseZAVModule& module, Write write, Describe describe) {
    zav::MutexWait guard(module.m_hLogMutex, INFINITE);
    if (!module.m_pLogFile)
        return false;
    try {
        write(*module.m_pLogFile);
        return true;
    } catch (const _com_error&) {
        ReportFailedWrite(module, describe);
        return false;
    }
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
        [&](char* text, size_t size) {
            va_list copy;
            va_copy(copy, args);
            if (!format || vsnprintf(text, size, format, copy) < 0)
                snprintf(text, size, "!message format error!");
            va_end(copy);
        });
    va_end(args);
    return logged;
}

bool ModuleTrace(CBaseZAVModule& module, const char* name, bool enter) {
    return LogThroughModule(
        module, [&](CLogFile& log) { log.LogTrace(name, enter); },
        [&](char* text, size_t size) {
            char trace[128];
            zav::FormatTrace(name, enter, trace);
            snprintf(text, size, "%s", trace);
        });
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
