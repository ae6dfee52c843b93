// Waits for a mutex and releases it at scope end if the wait gave ownership. An abandoned
// mutex (its owner died) counts as owned.
#pragma once

#include <windows.h>

namespace zav {

class MutexWait {
public:
    MutexWait(HANDLE mutex, DWORD timeout)
        : m_mutex(mutex), m_result(::WaitForSingleObject(mutex, timeout)) {}
    ~MutexWait() {
        if (Owned())
            ::ReleaseMutex(m_mutex);
    }
    MutexWait(const MutexWait&) = delete;
    MutexWait& operator=(const MutexWait&) = delete;

    bool Owned() const { return m_result == WAIT_OBJECT_0 || m_result == WAIT_ABANDONED; }
    DWORD Result() const { return m_result; }

private:
    HANDLE m_mutex;
    DWORD m_result;
};

} // namespace zav
