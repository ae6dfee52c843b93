// The tests' child process, another process of the service:
//
//   zavchild soak FOLDER START-EVENT ABANDONED LAST TAG FIRST KILL-AT WHERE OWNED-EVENT
//       a host module with a log on FOLDER writes the lines "TAG 000FIRST" to "TAG 00LAST"
//       through ModuleLog once START-EVENT is signalled, and releases the semaphore ABANDONED
//       once for each abandoned wait of its library (a writer died owning the log's mutex).
//       The line KILL-AT (0 for none) stops inside the log's append with the mutex owned, WHERE
//       is before-write (nothing of it written) or before-flush (written, not flushed), signals
//       OWNED-EVENT and waits there to be terminated;
//   zavchild unprepared CODE
//       prepares the main thread and checks that the fault CODE (0xC0000094 divides by zero,
//       any other is raised) is translated there, then has it on a thread that never
//       prepared. The process ends with the fault's own code when nothing translated it.
#include <windows.h>
#include <cstdlib>
#include <string>

#include "ZAVTools.h"
#include "support/ImportPatch.h"
#include "support/TestModule.h"

namespace {

HANDLE g_abandoned = nullptr, g_owned = nullptr;
int g_line = 0, g_killAt = 0;
volatile int g_zero = 0;

DWORD WINAPI CountingWait(HANDLE handle, DWORD timeout) {
    const DWORD result = ::WaitForSingleObject(handle, timeout);
    if (result == WAIT_ABANDONED)
        ::ReleaseSemaphore(g_abandoned, 1, nullptr);
    return result;
}

BOOL WINAPI StoppingWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                          LPOVERLAPPED overlapped) {
    if (g_line == g_killAt && ::SetEvent(g_owned))
        ::Sleep(INFINITE);
    return ::WriteFile(file, data, size, written, overlapped);
}

BOOL WINAPI StoppingFlush(HANDLE file) {
    if (g_line == g_killAt && ::SetEvent(g_owned))
        ::Sleep(INFINITE);
    return ::FlushFileBuffers(file);
}

int Soak(char** argv) {
    // The module's scratch folder goes into the log's, which the test removes: a writer that
    // is terminated cannot remove its own.
    ::SetEnvironmentVariableA("TMP", argv[2]);
    g_abandoned = ::OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, argv[4]);
    HANDLE start = ::OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    g_killAt = atoi(argv[8]);
    g_owned = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[10]);
    const bool write = std::string(argv[9]) == "before-write";
    zavtest::ImportPatch wait("KERNEL32.dll", "WaitForSingleObject",
                              reinterpret_cast<void*>(&CountingWait));
    zavtest::ImportPatch stop("KERNEL32.dll", write ? "WriteFile" : "FlushFileBuffers",
                              write ? reinterpret_cast<void*>(&StoppingWrite)
                                    : reinterpret_cast<void*>(&StoppingFlush));
    zavtest::TestModule module("TRACE", "ZAVSoak");
    module.config.m_strLogPath = argv[2];
    ::WaitForSingleObject(start, 60000);
    for (g_line = atoi(argv[7]); g_line <= atoi(argv[5]); ++g_line)
        ModuleLog(module, LOG_INFO, "%s %06d", argv[6], g_line);
    return 0;
}

DWORD WINAPI Fault(void* code) {
    if (reinterpret_cast<ULONG_PTR>(code) == EXCEPTION_INT_DIVIDE_BY_ZERO)
        g_zero = 7 / g_zero;
    else
        ::RaiseException(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(code)), 0, 0, nullptr);
    return 0;
}

LONG WINAPI ExitWithCode(EXCEPTION_POINTERS* info) {
    ::ExitProcess(info->ExceptionRecord->ExceptionCode);
}

int Unprepared(void* code) {
    PrepareExceptionHandling();
    try {
        Fault(code);
        return 91; // not translated on a prepared thread
    } catch (const win32_exception&) {
    }
    ::SetUnhandledExceptionFilter(&ExitWithCode);
    ::WaitForSingleObject(::CreateThread(nullptr, 0, &Fault, code, 0, nullptr), 30000);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (argc == 3 && std::string(argv[1]) == "unprepared")
        return Unprepared(reinterpret_cast<void*>(strtoul(argv[2], nullptr, 0)));
    return argc == 11 && std::string(argv[1]) == "soak" ? Soak(argv) : 90;
}
