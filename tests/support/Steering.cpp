#include "support/Steering.h"

namespace zavtest {

EventLogRecorder::EventLogRecorder()
    : m_register("ADVAPI32.dll", "RegisterEventSourceA", reinterpret_cast<void*>(&Register)),
      m_report("ADVAPI32.dll", "ReportEventA", reinterpret_cast<void*>(&Report)),
      m_deregister("ADVAPI32.dll", "DeregisterEventSource", reinterpret_cast<void*>(&Deregister)) {
    s_active = this;
}

std::vector<ReportedEvent> EventLogRecorder::Events(WORD type) const {
    std::lock_guard<std::mutex> hold(m_lock);
    std::vector<ReportedEvent> events;
    for (const ReportedEvent& event : m_events)
        if (!type || event.type == type)
            events.push_back(event);
    return events;
}

void EventLogRecorder::Clear() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_events.clear();
    m_sources.clear();
}

int EventLogRecorder::OpenSources() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_open;
}

HANDLE WINAPI EventLogRecorder::Register(LPCSTR, LPCSTR source) {
    EventLogRecorder& self = *s_active;
    std::lock_guard<std::mutex> hold(self.m_lock);
    self.m_sources.push_back(source ? source : "(null)");
    if (self.refuse)
        return nullptr;
    ++self.m_open;
    return reinterpret_cast<HANDLE>(self.m_sources.size());
}

BOOL WINAPI EventLogRecorder::Report(HANDLE source, WORD type, WORD, DWORD id, PSID, WORD count,
                                     DWORD, LPCSTR* strings, LPVOID) {
    EventLogRecorder& self = *s_active;
    std::function<void()> action;
    {
        std::lock_guard<std::mutex> hold(self.m_lock);
        std::swap(action, self.onNextReport);
        if (!action) {
            ReportedEvent event{"", type, id, {}};
            size_t index = reinterpret_cast<size_t>(source) - 1;
            if (index < self.m_sources.size())
                event.source = self.m_sources[index];
            for (WORD i = 0; i < count; ++i)
                event.strings.push_back(strings[i] ? strings[i] : "(null)");
            self.m_events.push_back(event);
            return TRUE;
        }
    }
    action();
    return TRUE;
}

BOOL WINAPI EventLogRecorder::Deregister(HANDLE) {
    std::lock_guard<std::mutex> hold(s_active->m_lock);
    --s_active->m_open;
    return TRUE;
}

} // namespace zavtest
