// Logging through the host module: the library holds no log of its own and writes through the
// module's log object, under the module's log guard.
//
// Lock order, fixed for every caller: first the module's log guard (m_hLogMutex, waited for
// without time-out), then the log file's named mutex (at most 10000 ms, inside CLogFile).
#pragma once

#include "Export.h"
#include "Host.h"
#include "LogFile.h"

// One line through the module's log object. False when the module has none. When the log
// object fails with a COM error (other than a mutex time-out) it is reported to the event log,
// destroyed and m_pLogFile set to null, so that the module logs nothing until the host
// installs a new one.
ZAVTOOLS_API bool ModuleLog(CBaseZAVModule& module, LogSeverity severity, const char* format, ...)
    __attribute__((format(gnu_printf, 3, 4)));

// An "Enter" or "Exit" TRACE line for `name`; false when the module has no log object.
ZAVTOOLS_API bool ModuleTrace(CBaseZAVModule& module, const char* name, bool enter);

// An information event "<message>. Process: <pid> Thread: <tid>", the message cut to 255
// characters. Event-log failures are not reported.
ZAVTOOLS_API void ModuleReportEvent(CBaseZAVModule& module, const char* format, ...)
    __attribute__((format(gnu_printf, 2, 3)));

// Traces the entry and exit of a scope: TRACE lines "Enter"/"Exit" when the module has a log
// object at entry, else the information events "Entered <name>" and "Leaving <name>". The exit
// goes where the entry went, also when an exception leaves the scope.
class ZAVTOOLS_API CFunctionTrace {
public:
    // `name` is not copied: it must outlive the tracer.
    CFunctionTrace(CBaseZAVModule& module, const char* name);
    ~CFunctionTrace();
    CFunctionTrace(const CFunctionTrace&) = delete;
    CFunctionTrace& operator=(const CFunctionTrace&) = delete;

private:
    const char* m_name;
    bool m_traced;
    CBaseZAVModule* m_module;
};
