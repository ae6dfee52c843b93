#include "support/Steering.h"

#include <cstring>

namespace zavtest {

SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                    WORD milliseconds) {
    return {year, month, 0, day, hour, minute, second, milliseconds};
}

SteeredWaits::SteeredWaits(DWORD shortened) : m_shortened(shortened) {
    s_active = this;
}

std::vector<SteeredWaits::Wait> SteeredWaits::Waits() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_waits;
}

DWORD WINAPI SteeredWaits::WaitFor(HANDLE handle, DWORD timeout) {
    SteeredWaits& self = *s_active;
    DWORD result = ::WaitForSingleObject(handle, timeout == 10000 ? self.m_shortened : timeout);
    std::lock_guard<std::mutex> hold(self.m_lock);
    self.m_waits.push_back({handle, timeout, result});
    return result;
}

FailingAllocations::FailingAllocations(size_t from, size_t to) {
    s_malloc = m_patch.Original<void* (*)(size_t)>();
    s_failed = 0;
    s_from = from;
    s_to = to;
}

void* __cdecl FailingAllocations::Malloc(size_t size) {
    if (size >= s_from && size < s_to) {
        ++s_failed;
        return nullptr;
    }
    return s_malloc(size);
}

SteeredTicks::SteeredTicks() {
    s_now = 0xFFFFFFF0ull;
    step = 0;
    sleeps.clear();
}

void WINAPI SteeredTicks::Pause(DWORD ms) {
    sleeps.push_back(ms);
    s_now += step ? step : ms;
}

CrashSandbox::CrashSandbox() : m_calls(scratch / "crashrpt-calls.txt") {
    folder = scratch.path();
    fail = false;
    ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", m_calls.c_str());
}

CrashSandbox::~CrashSandbox() {
    ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", nullptr);
}

std::vector<std::string> CrashSandbox::Calls() const {
    return SplitLines(ReadWholeFile(m_calls));
}

HRESULT WINAPI CrashSandbox::FolderPath(HWND, int, HANDLE, DWORD, LPSTR path) {
    if (fail)
        return E_FAIL;
    strcpy(path, folder.c_str());
    return S_OK;
}

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

BstrLedger::BstrLedger(const char* module)
    : m_alloc("oleaut32.dll", "SysAllocString", reinterpret_cast<void*>(&Alloc), module),
      m_allocLen("oleaut32.dll", "SysAllocStringLen", reinterpret_cast<void*>(&AllocLen), module),
      m_free("oleaut32.dll", "SysFreeString", reinterpret_cast<void*>(&Free), module) {
    s_allocated = s_freed = 0;
}

BSTR WINAPI BstrLedger::Alloc(const OLECHAR* text) {
    BSTR result = ::SysAllocString(text);
    s_allocated += result != nullptr;
    return result;
}

BSTR WINAPI BstrLedger::AllocLen(const OLECHAR* text, UINT length) {
    BSTR result = ::SysAllocStringLen(text, length);
    s_allocated += result != nullptr;
    return result;
}

void WINAPI BstrLedger::Free(BSTR text) {
    s_freed += text != nullptr;
    ::SysFreeString(text);
}

} // namespace zavtest
