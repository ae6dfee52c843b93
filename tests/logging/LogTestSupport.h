// Steering the log from a test: its local time and its waits, through the library's imports.
#pragma once

#include <windows.h>
#include <mutex>
#include <string>
#include <vector>

#include "support/ImportPatch.h"

namespace zavtest {

SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                    WORD milliseconds);

// The library's local time, while alive: whatever Set last gave.
class SteeredClock {
public:
    explicit SteeredClock(const SYSTEMTIME& now);
    void Set(const SYSTEMTIME& now);

private:
    static void WINAPI GetLocalTime(LPSYSTEMTIME now);
    static inline SYSTEMTIME s_now{};
    ImportPatch m_patch;
};

// Records the library's waits and, while alive, cuts a wait of 10000 ms (the log mutex's
// time-out) to `shortened`, so that a time-out can be had without waiting ten seconds.
class SteeredWaits {
public:
    explicit SteeredWaits(DWORD shortened = 10000);
    ~SteeredWaits();

    struct Wait {
        HANDLE handle;
        DWORD timeout;
        DWORD result;
    };
    std::vector<Wait> Waits() const;

private:
    static DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD timeout);
    static inline SteeredWaits* s_active = nullptr;

    DWORD m_shortened;
    mutable std::mutex m_lock;
    std::vector<Wait> m_waits;
    ImportPatch m_patch;
};

// While alive, the library's allocations of sizes in [from, to) fail.
class FailingAllocations {
public:
    FailingAllocations(size_t from, size_t to);
    ~FailingAllocations();
    int Failed() const { return s_failed; }

private:
    static void* __cdecl Malloc(size_t size);
    static inline size_t s_from = 0, s_to = 0;
    static inline int s_failed = 0;
    static inline void* (*s_malloc)(size_t) = nullptr;
    ImportPatch m_patch;
};

} // namespace zavtest
