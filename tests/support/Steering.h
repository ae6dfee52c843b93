// What a test cannot wait for or Wine does not show, steered or observed through the imports of
// ZAVTools.dll (ImportPatch): the local time, the log mutex's waits, allocations, the millisecond
// clock and its sleeps, the common application-data folder of crash reports, the debugger output,
// the event log and the BSTRs the library makes. Each lives for one scope; one of a kind at a
// time, since the patched function is one for the process.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/ImportPatch.h"

namespace zavtest {

inline SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                           WORD milliseconds = 0) {
    return {year, month, 0, day, hour, minute, second, milliseconds};
}

// The library's local time is whatever Set last gave.
class SteeredClock {
public:
    explicit SteeredClock(const SYSTEMTIME& now) { Set(now); }
    void Set(const SYSTEMTIME& now) { s_now = now; }

private:
    static void WINAPI Now(LPSYSTEMTIME now) { *now = s_now; }
    static inline SYSTEMTIME s_now{};
    ImportPatch m_patch{"KERNEL32.dll", "GetLocalTime", reinterpret_cast<void*>(&Now)};
};

// Records the library's waits and cuts a wait of 10000 ms (the log mutex's time-out) to
// `shortened`, so that a time-out can be had without waiting ten seconds.
class SteeredWaits {
public:
    struct Wait {
        HANDLE handle;
        DWORD timeout;
        DWORD result;
    };
    explicit SteeredWaits(DWORD shortened = 10000) : m_shortened(shortened) { s_active = this; }
    ~SteeredWaits() { s_active = nullptr; }
    std::vector<Wait> Waits() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_waits;
    }

private:
    static DWORD WINAPI WaitFor(HANDLE handle, DWORD timeout) {
        SteeredWaits& self = *s_active;
        DWORD result = ::WaitForSingleObject(handle, timeout == 10000 ? self.m_shortened : timeout);
        std::lock_guard<std::mutex> hold(self.m_lock);
        self.m_waits.push_back({handle, timeout, result});
        return result;
    }
    static inline SteeredWaits* s_active = nullptr;
    DWORD m_shortened;
    mutable std::mutex m_lock;
    std::vector<Wait> m_waits;
    ImportPatch m_patch{"KERNEL32.dll", "WaitForSingleObject", reinterpret_cast<void*>(&WaitFor)};
};

// The library's allocations (msvcrt's malloc) of sizes in [from, to) fail.
class FailingAllocations {
public:
    FailingAllocations(size_t from, size_t to) {
        s_malloc = m_patch.Original<void* (*)(size_t)>();
        s_failed = 0;
        s_from = from;
        s_to = to;
    }
    ~FailingAllocations() { s_from = s_to = 0; }
    int Failed() const { return s_failed; }

private:
    static void* __cdecl Malloc(size_t size) {
        const bool fail = size >= s_from && size < s_to;
        s_failed += fail;
        return fail ? nullptr : s_malloc(size);
    }
    static inline size_t s_from = 0, s_to = 0;
    static inline int s_failed = 0;
    static inline void* (*s_malloc)(size_t) = nullptr;
    ImportPatch m_patch{"msvcrt.dll", "malloc", reinterpret_cast<void*>(&Malloc)};
};

// The library's millisecond clock only moves when the library sleeps: by `step` per sleep, or
// by the sleep's own length when 0. It starts far from zero, so that a deadline not measured
// from the start shows.
class SteeredTicks {
public:
    SteeredTicks() {
        s_now = 0xFFFFFFF0ull;
        step = 0;
        sleeps.clear();
    }
    static inline DWORD step = 0;
    static inline std::vector<DWORD> sleeps;

private:
    static ULONGLONG WINAPI Ticks() { return s_now; }
    static void WINAPI Pause(DWORD ms) {
        sleeps.push_back(ms);
        s_now += step ? step : ms;
    }
    static inline ULONGLONG s_now = 0;
    ImportPatch m_tick{"KERNEL32.dll", "GetTickCount64", reinterpret_cast<void*>(&Ticks)};
    ImportPatch m_sleep{"KERNEL32.dll", "Sleep", reinterpret_cast<void*>(&Pause)};
};

// Crash reports in a folder of the test's own: the common application-data folder is a
// temporary one (or `Fail`s, or is whatever `folder` is set to), and the tests' CrashRpt.dll
// writes the calls it receives to a file of it.
class CrashSandbox {
public:
    CrashSandbox() : m_calls(scratch / "crashrpt-calls.txt") {
        folder = scratch.path();
        fail = false;
        ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", m_calls.c_str());
    }
    ~CrashSandbox() { ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", nullptr); }
    // The calls the crash-report module received, one line each.
    std::vector<std::string> Calls() const { return SplitLines(ReadWholeFile(m_calls)); }
    // Where the library puts crash reports: "<folder>\Veltrium\Errors".
    std::string ErrorsFolder() const { return folder + "\\Veltrium\\Errors"; }

    TempDir scratch;
    static inline std::string folder;
    static inline bool fail = false;

private:
    static HRESULT WINAPI FolderPath(HWND, int, HANDLE, DWORD, LPSTR path) {
        if (!fail)
            strcpy(path, folder.c_str());
        return fail ? E_FAIL : S_OK;
    }
    std::string m_calls;
    ImportPatch m_patch{"SHELL32.dll", "SHGetFolderPathA", reinterpret_cast<void*>(&FolderPath)};
};

// What the library writes to the debugger output.
class DebugOutput {
public:
    DebugOutput() { text.clear(); }
    static inline std::string text;

private:
    static void WINAPI Write(LPCSTR line) { text += line ? line : "<null>"; }
    ImportPatch m_patch{"KERNEL32.dll", "OutputDebugStringA", reinterpret_cast<void*>(&Write)};
};

struct ReportedEvent {
    std::string source; // "(null)" for a null source name
    WORD type;
    DWORD id;
    std::vector<std::string> strings;
};

// The library's reports to the system event log, which Wine does not keep.
class EventLogRecorder {
public:
    EventLogRecorder()
        : m_register("ADVAPI32.dll", "RegisterEventSourceA", reinterpret_cast<void*>(&Register)),
          m_report("ADVAPI32.dll", "ReportEventA", reinterpret_cast<void*>(&Report)),
          m_deregister("ADVAPI32.dll", "DeregisterEventSource",
                       reinterpret_cast<void*>(&Deregister)) {
        s_active = this;
    }
    ~EventLogRecorder() { s_active = nullptr; }
    EventLogRecorder(const EventLogRecorder&) = delete;
    EventLogRecorder& operator=(const EventLogRecorder&) = delete;

    // All events, or those of one type (EVENTLOG_ERROR_TYPE, EVENTLOG_INFORMATION_TYPE).
    std::vector<ReportedEvent> Events(WORD type = 0) const {
        std::lock_guard<std::mutex> hold(m_lock);
        std::vector<ReportedEvent> events;
        for (const ReportedEvent& event : m_events)
            if (!type || event.type == type)
                events.push_back(event);
        return events;
    }
    void Clear() {
        std::lock_guard<std::mutex> hold(m_lock);
        m_events.clear();
        m_sources.clear();
    }
    // Event sources registered and not yet deregistered.
    int OpenSources() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_open;
    }
    // While set, RegisterEventSourceA gives no handle.
    bool refuse = false;
    // The next ReportEventA calls this (which may throw) instead of recording.
    std::function<void()> onNextReport;

private:
    static HANDLE WINAPI Register(LPCSTR, LPCSTR source) {
        EventLogRecorder& self = *s_active;
        std::lock_guard<std::mutex> hold(self.m_lock);
        self.m_sources.push_back(source ? source : "(null)");
        if (self.refuse)
            return nullptr;
        ++self.m_open;
        return reinterpret_cast<HANDLE>(self.m_sources.size());
    }
    static BOOL WINAPI Report(HANDLE source, WORD type, WORD, DWORD id, PSID, WORD count, DWORD,
                              LPCSTR* strings, LPVOID) {
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
    static BOOL WINAPI Deregister(HANDLE) {
        std::lock_guard<std::mutex> hold(s_active->m_lock);
        --s_active->m_open;
        return TRUE;
    }
    static inline EventLogRecorder* s_active = nullptr;

    mutable std::mutex m_lock;
    std::vector<ReportedEvent> m_events;
    std::vector<std::string> m_sources; // by fake handle value minus one
    int m_open = 0;
    ImportPatch m_register, m_report, m_deregister;
};

// Counts the BSTRs that a module (the library by default) allocates and frees, so that a test
// can show that every BSTR it made or was handed has been freed.
class BstrLedger {
public:
    explicit BstrLedger(const char* module = "ZAVTools.dll")
        : m_alloc("oleaut32.dll", "SysAllocString", reinterpret_cast<void*>(&Alloc), module),
          m_allocLen("oleaut32.dll", "SysAllocStringLen", reinterpret_cast<void*>(&AllocLen),
                     module),
          m_free("oleaut32.dll", "SysFreeString", reinterpret_cast<void*>(&Free), module) {
        s_allocated = s_freed = 0;
    }
    long Allocated() const { return s_allocated; }
    long Freed() const { return s_freed; }

private:
    static BSTR Counted(BSTR made) {
        s_allocated += made != nullptr;
        return made;
    }
    static BSTR WINAPI Alloc(const OLECHAR* text) { return Counted(::SysAllocString(text)); }
    static BSTR WINAPI AllocLen(const OLECHAR* text, UINT n) {
        return Counted(::SysAllocStringLen(text, n));
    }
    static void WINAPI Free(BSTR text) {
        s_freed += text != nullptr;
        ::SysFreeString(text);
    }
    static inline long s_allocated = 0, s_freed = 0;
    ImportPatch m_alloc, m_allocLen, m_free;
};

} // namespace zavtest
