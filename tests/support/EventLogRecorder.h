// Records what ZAVTools.dll reports to the system event log, which Wine does not keep: while a
// recorder lives, the library's RegisterEventSourceA, ReportEventA and DeregisterEventSource
// reach it instead of advapi32. One recorder at a time.
#pragma once

#include <windows.h>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ImportPatch.h"

namespace zavtest {

struct ReportedEvent {
    std::string source; // "(null)" when the source name was null
    WORD type;
    WORD category;
    DWORD id;
    std::vector<std::string> strings;
};

class EventLogRecorder {
public:
    EventLogRecorder();
    ~EventLogRecorder();
    EventLogRecorder(const EventLogRecorder&) = delete;
    EventLogRecorder& operator=(const EventLogRecorder&) = delete;

    std::vector<ReportedEvent> Events() const;
    // Events of one type (EVENTLOG_ERROR_TYPE, EVENTLOG_INFORMATION_TYPE).
    std::vector<ReportedEvent> Events(WORD type) const;
    void Clear();

    // Registrations asked for, and those still open (registered, not yet deregistered).
    int Registrations() const;
    int OpenSources() const;

    // While set, RegisterEventSourceA gives no handle.
    void RefuseSources(bool refuse);
    // The next ReportEventA calls `action` (which may throw) instead of recording.
    void OnNextReport(std::function<void()> action);

private:
    static HANDLE WINAPI Register(LPCSTR server, LPCSTR source);
    static BOOL WINAPI Report(HANDLE source, WORD type, WORD category, DWORD id, PSID user,
                              WORD count, DWORD dataSize, LPCSTR* strings, LPVOID data);
    static BOOL WINAPI Deregister(HANDLE source);

    static EventLogRecorder* s_active;

    mutable std::mutex m_lock;
    std::vector<ReportedEvent> m_events;
    std::vector<std::string> m_sources; // by fake handle value minus one
    int m_open = 0;
    bool m_refuse = false;
    std::function<void()> m_nextReport;
    std::unique_ptr<ImportPatch> m_register, m_report, m_deregister;
};

} // namespace zavtest
