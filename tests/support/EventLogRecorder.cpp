#include "EventLogRecorder.h"

#include <stdexcept>

namespace zavtest {

EventLogRecorder* EventLogRecorder::s_active = nullptr;

EventLogRecorder::EventLogRecorder() {
    if (s_active)
        throw std::logic_error("one event-log recorder at a time");
    s_active = this;
    m_register = std::make_unique<ImportPatch>("ADVAPI32.dll", "RegisterEventSourceA",
                                               reinterpret_cast<void*>(&Register));
    m_report = std::make_unique<ImportPatch>("ADVAPI32.dll", "ReportEventA",
                                             reinterpret_cast<void*>(&Report));
    m_deregister = std::make_unique<ImportPatch>("ADVAPI32.dll", "DeregisterEventSource",
                                                 reinterpret_cast<void*>(&Deregister));
}

EventLogRecorder::~EventLogRecorder() {
    m_register.reset();
    m_report.reset();
    m_deregister.reset();
    s_active = nullptr;
}

std::vector<ReportedEvent> EventLogRecorder::Events() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_events;
}

std::vector<ReportedEvent> EventLogRecorder::Events(WORD type) const {
    std::vector<ReportedEvent> matching;
    for (const ReportedEvent& event : Events())
        if (event.type == type)
            matching.push_back(event);
    return matching;
}

void EventLogRecorder::Clear() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_events.clear();
    m_sources.clear();
}

int EventLogRecorder::Registrations() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return static_cast<int>(m_sources.size());
}

int EventLogRecorder::OpenSources() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_open;
}

void EventLogRecorder::RefuseSources(bool refuse) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_refuse = refuse;
}

void EventLogRecorder::OnNextReport(std::function<void()> action) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_nextReport = std::move(action);
}

HANDLE WINAPI EventLogRecorder::Register(LPCSTR, LPCSTR source) {
    EventLogRecorder& self = *s_active;
    std::lock_guard<std::mutex> hold(self.m_lock);
    self.m_sources.push_back(source ? source : "(null)");
    if (self.m_refuse)
        return nullptr;
    ++self.m_open;
    return reinterpret_cast<HANDLE>(self.m_sources.size());
}

BOOL WINAPI EventLogRecorder::Report(HANDLE source, WORD type, WORD category, DWORD id, PSID,
                                     WORD count, DWORD, LPCSTR* strings, LPVOID) {
    EventLogRecorder& self = *s_active;
    std::function<void()> action;
    {
        std::lock_guard<std::mutex> hold(self.m_lock);
        std::swap(action, self.m_nextReport);
        if (!action) {
            ReportedEvent event{"", type, category, id, {}};
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
    EventLogRecorder& self = *s_active;
    std::lock_guard<std::mutex> hold(self.m_lock);
    --self.m_open;
    return TRUE;
}

} // namespace zavtest
