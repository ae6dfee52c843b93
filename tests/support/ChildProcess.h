// Real child processes for cross-process tests, and the named events that they and the test
// signal each other with.
#pragma once

#include <windows.h>
#include <string>

namespace zavtest {

// `name` in the folder of the running test executable.
std::string BesideThisExecutable(const std::string& name);

class ChildProcess {
public:
    // Starts `program` (a path) with `arguments`; it inherits the environment. Throws
    // std::runtime_error when it cannot be started.
    ChildProcess(const std::string& program, const std::string& arguments);
    // Ends a child that is still running, so that a failed test leaves no process behind.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // True when the child has exited within `timeout` milliseconds.
    bool Wait(DWORD timeout);
    // Its exit code; STILL_ACTIVE while it runs.
    DWORD ExitCode() const;
    void Terminate(UINT exitCode);
    DWORD Id() const { return m_info.dwProcessId; }

private:
    PROCESS_INFORMATION m_info{};
};

// A named manual-reset event with a name unique to this test process.
class NamedEvent {
public:
    explicit NamedEvent(const std::string& purpose);
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    const std::string& name() const { return m_name; }
    void Set();
    // True when the event is signalled within `timeout` milliseconds.
    bool Wait(DWORD timeout);

private:
    std::string m_name;
    HANDLE m_event;
};

} // namespace zavtest
