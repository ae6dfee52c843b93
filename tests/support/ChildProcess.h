// Real child processes for cross-process tests and whole-program runs, and the named events that
// a test and its children signal each other with.
#pragma once

#include <windows.h>
#include <stdexcept>
#include <string>

namespace zavtest {

class ChildProcess {
public:
    // Starts `program` (a path) with `arguments` in `folder` (the test's own when empty). With
    // `outputFile`, its standard output and error go to that file. Throws std::runtime_error
    // when it cannot be started.
    ChildProcess(const std::string& program, const std::string& arguments,
                 const std::string& folder = "", const std::string& outputFile = "") {
        std::string line = "\"" + program + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        HANDLE output = INVALID_HANDLE_VALUE;
        if (!outputFile.empty()) {
            SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
            output = ::CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = startup.hStdError = output;
        }
        const BOOL started = ::CreateProcessA(
            program.c_str(), line.data(), nullptr, nullptr, output != INVALID_HANDLE_VALUE, 0,
            nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &m_info);
        const DWORD error = ::GetLastError();
        if (output != INVALID_HANDLE_VALUE)
            ::CloseHandle(output);
        if (!started)
            throw std::runtime_error("cannot start " + line + ", error " + std::to_string(error));
    }
    // Ends a child that still runs, so that a failed test leaves no process behind.
    ~ChildProcess() {
        if (ExitCode() == STILL_ACTIVE)
            Terminate(1);
        ::CloseHandle(m_info.hThread);
        ::CloseHandle(m_info.hProcess);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // True when the child has exited within `timeout` milliseconds.
    bool Wait(DWORD timeout) {
        return ::WaitForSingleObject(m_info.hProcess, timeout) == WAIT_OBJECT_0;
    }
    // STILL_ACTIVE while it runs.
    DWORD ExitCode() const {
        DWORD code = 0;
        ::GetExitCodeProcess(m_info.hProcess, &code);
        return code;
    }
    void Terminate(UINT exitCode) {
        ::TerminateProcess(m_info.hProcess, exitCode);
        ::WaitForSingleObject(m_info.hProcess, 10000);
    }

private:
    PROCESS_INFORMATION m_info{};
};

// A named manual-reset event whose name is unique to this test process.
class NamedEvent {
public:
    explicit NamedEvent(const std::string& purpose) {
        static LONG counter = 0;
        m_name = "zavtest-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 std::to_string(::InterlockedIncrement(&counter)) + "-" + purpose;
        m_event = ::CreateEventA(nullptr, TRUE, FALSE, m_name.c_str());
        if (!m_event)
            throw std::runtime_error("cannot create event " + m_name);
    }
    ~NamedEvent() { ::CloseHandle(m_event); }
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    const std::string& name() const { return m_name; }
    void Set() { ::SetEvent(m_event); }
    bool Wait(DWORD timeout) { return ::WaitForSingleObject(m_event, timeout) == WAIT_OBJECT_0; }

private:
    std::string m_name;
    HANDLE m_event;
};

} // namespace zavtest
