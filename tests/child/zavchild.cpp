// The tests' child process. It stands for another process of the service:
//
//   zavchild write FOLDER COUNT TAG [START-EVENT]
//       builds a CLogFile on FOLDER (level TRACE) and writes COUNT lines "TAG 000001" ...,
//       after START-EVENT is signalled when one is named;
//   zavchild hold OWNED-EVENT RELEASE-EVENT release|exit|crash
//       takes the log's named mutex, signals OWNED-EVENT, waits for RELEASE-EVENT (at most
//       30 s), then releases the mutex, or exits or crashes while it still owns it;
//   zavchild unprepared-raise CODE | unprepared-divide
//       prepares the main thread, checks that a fault there is translated, then faults on a
//       thread that never called PrepareExceptionHandling. The process ends with the code of
//       that fault when nothing translated it;
//   zavchild soak FOLDER TAG FIRST LAST START-EVENT ABANDONED [KILL-AT WHERE OWNED-EVENT]
//       a host module with a log on FOLDER (level TRACE) writes the lines "TAG 000FIRST" to
//       "TAG 00LAST" through ModuleLog once START-EVENT is signalled. Each abandoned wait of the
//       library (a writer died owning the mutex) releases the semaphore ABANDONED once. With
//       KILL-AT, the line of that number stops inside the log's append with the mutex owned,
//       before-write (nothing of it written) or before-flush (written, not flushed), signals
//       OWNED-EVENT and waits there to be terminated.
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "ZAVTools.h"
#include "support/ImportPatch.h"
#include "support/TestModule.h"

namespace {

constexpr int kUsage = 90;
constexpr int kNotTranslatedOnPreparedThread = 91;

const char* const kLogMutexName = "{6E2D91A7-3B4C-4F85-8A10-D7C3B25E9F46}";

int Write(const char* folder, int count, const char* tag, const char* startEvent) {
    CZAVConfig config;
    config.m_strLogPath = folder;
    config.m_strLogLevel = "TRACE";
    zavtest::TestModule module("ZAVChild");
    CLogFile log(config, &module);
    if (startEvent) {
        HANDLE start = ::OpenEventA(SYNCHRONIZE, FALSE, startEvent);
        ::WaitForSingleObject(start, 30000);
        ::CloseHandle(start);
    }
    for (int i = 1; i <= count; ++i)
        log.Log(LOG_INFO, "%s %06d", tag, i);
    return 0;
}

int Hold(const char* ownedEvent, const char* releaseEvent, const std::string& then) {
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, kLogMutexName);
    HANDLE owned = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, ownedEvent);
    HANDLE release = ::OpenEventA(SYNCHRONIZE, FALSE, releaseEvent);
    if (!mutex || !owned || !release)
        return kUsage;
    ::WaitForSingleObject(mutex, INFINITE);
    ::SetEvent(owned);
    ::WaitForSingleObject(release, 30000);
    if (then == "exit")
        ::ExitProcess(0);
    if (then == "crash")
        *static_cast<volatile int*>(nullptr) = 0;
    ::ReleaseMutex(mutex);
    return 0;
}

volatile int g_zero = 0;

DWORD WINAPI RaiseOnThread(void* code) {
    ::RaiseException(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(code)), 0, 0, nullptr);
    return 0;
}

DWORD WINAPI DivideOnThread(void*) {
    return 1 / g_zero;
}

LONG WINAPI ExitWithCode(EXCEPTION_POINTERS* info) {
    ::ExitProcess(info->ExceptionRecord->ExceptionCode);
}

int Unprepared(LPTHREAD_START_ROUTINE fault, DWORD code) {
    PrepareExceptionHandling();
    try {
        ::RaiseException(code, 0, 0, nullptr);
        return kNotTranslatedOnPreparedThread;
    } catch (const win32_exception&) {
    }
    ::SetUnhandledExceptionFilter(&ExitWithCode);
    HANDLE thread =
        ::CreateThread(nullptr, 0, fault, reinterpret_cast<void*>(ULONG_PTR{code}), 0, nullptr);
    ::WaitForSingleObject(thread, 30000);
    return 0;
}

// What the soak writer's patched imports of the library need.
struct SoakState {
    HANDLE abandoned = nullptr;
    HANDLE owned = nullptr;
    int line = 0;
    int killAt = 0;
};
SoakState g_soak;

DWORD WINAPI CountingWait(HANDLE handle, DWORD timeout) {
    DWORD result = ::WaitForSingleObject(handle, timeout);
    if (result == WAIT_ABANDONED)
        ::ReleaseSemaphore(g_soak.abandoned, 1, nullptr);
    return result;
}

void StopIfKillLine() {
    if (g_soak.line != g_soak.killAt)
        return;
    ::SetEvent(g_soak.owned);
    ::Sleep(INFINITE);
}

BOOL WINAPI StoppingWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                              LPOVERLAPPED overlapped) {
    StopIfKillLine();
    return ::WriteFile(file, data, size, written, overlapped);
}

BOOL WINAPI StoppingFlush(HANDLE file) {
    StopIfKillLine();
    return ::FlushFileBuffers(file);
}

int Soak(int argc, char** argv) {
    const char* tag = argv[3];
    const int first = atoi(argv[4]), last = atoi(argv[5]);
    g_soak.abandoned = ::OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, argv[7]);
    HANDLE start = ::OpenEventA(SYNCHRONIZE, FALSE, argv[6]);
    if (!g_soak.abandoned || !start)
        return kUsage;
    zavtest::ImportPatch wait("KERNEL32.dll", "WaitForSingleObject",
                              reinterpret_cast<void*>(&CountingWait));
    std::unique_ptr<zavtest::ImportPatch> stop;
    if (argc == 11) {
        g_soak.killAt = atoi(argv[8]);
        g_soak.owned = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[10]);
        const std::string where = argv[9];
        if (where == "before-write")
            stop = std::make_unique<zavtest::ImportPatch>(
                "KERNEL32.dll", "WriteFile", reinterpret_cast<void*>(&StoppingWriteFile));
        else if (where == "before-flush")
            stop = std::make_unique<zavtest::ImportPatch>("KERNEL32.dll", "FlushFileBuffers",
                                                          reinterpret_cast<void*>(&StoppingFlush));
        if (!stop || !g_soak.owned)
            return kUsage;
    }
    zavtest::TestModule module("ZAVSoak");
    CZAVConfig config;
    config.m_strLogPath = argv[2];
    config.m_strLogLevel = "TRACE";
    module.m_pLogFile = new CLogFile(config, &module);
    ::WaitForSingleObject(start, 60000);
    for (g_soak.line = first; g_soak.line <= last; ++g_soak.line)
        ModuleLog(module, LOG_INFO, "%s %06d", tag, g_soak.line);
    delete module.m_pLogFile;
    module.m_pLogFile = nullptr;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "write" && argc >= 5)
        return Write(argv[2], atoi(argv[3]), argv[4], argc > 5 ? argv[5] : nullptr);
    if (command == "hold" && argc == 5)
        return Hold(argv[2], argv[3], argv[4]);
    if (command == "unprepared-raise" && argc == 3)
        return Unprepared(&RaiseOnThread, strtoul(argv[2], nullptr, 16));
    if (command == "unprepared-divide")
        return Unprepared(&DivideOnThread, EXCEPTION_INT_DIVIDE_BY_ZERO);
    if (command == "soak" && (argc == 8 || argc == 11))
        return Soak(argc, argv);
    fprintf(stderr, "usage: zavchild write|hold|unprepared-raise|unprepared-divide|soak ...\n");
    return kUsage;
}
