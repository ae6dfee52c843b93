#include "logging/LogTestSupport.h"

namespace zavtest {

SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                    WORD milliseconds) {
    SYSTEMTIME time{};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    time.wMilliseconds = milliseconds;
    return time;
}

SteeredClock::SteeredClock(const SYSTEMTIME& now)
    : m_patch("KERNEL32.dll", "GetLocalTime", reinterpret_cast<void*>(&GetLocalTime)) {
    s_now = now;
}

void SteeredClock::Set(const SYSTEMTIME& now) {
    s_now = now;
}

void WINAPI SteeredClock::GetLocalTime(LPSYSTEMTIME now) {
    *now = s_now;
}

SteeredWaits::SteeredWaits(DWORD shortened)
    : m_shortened(shortened), m_patch("KERNEL32.dll", "WaitForSingleObject",
                                      reinterpret_cast<void*>(&WaitForSingleObject)) {
    s_active = this;
}

SteeredWaits::~SteeredWaits() {
    s_active = nullptr;
}

std::vector<SteeredWaits::Wait> SteeredWaits::Waits() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_waits;
}

DWORD WINAPI SteeredWaits::WaitForSingleObject(HANDLE handle, DWORD timeout) {
    SteeredWaits& self = *s_active;
    DWORD result = ::WaitForSingleObject(handle, timeout == 10000 ? self.m_shortened : timeout);
    std::lock_guard<std::mutex> hold(self.m_lock);
    self.m_waits.push_back({handle, timeout, result});
    return result;
}

FailingAllocations::FailingAllocations(size_t from, size_t to)
    : m_patch("msvcrt.dll", "malloc", reinterpret_cast<void*>(&Malloc)) {
    s_malloc = m_patch.Original<void* (*)(size_t)>();
    s_failed = 0;
    s_from = from;
    s_to = to;
}

FailingAllocations::~FailingAllocations() {
    s_from = s_to = 0;
}

void* __cdecl FailingAllocations::Malloc(size_t size) {
    if (size >= s_from && size < s_to) {
        ++s_failed;
        return nullptr;
    }
    return s_malloc(size);
}

} // namespace zavtest
