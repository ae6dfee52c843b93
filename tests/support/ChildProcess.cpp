#include "ChildProcess.h"

#include <stdexcept>
#include <vector>

namespace zavtest {

std::string BesideThisExecutable(const std::string& name) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

ChildProcess::ChildProcess(const std::string& program, const std::string& arguments) {
    std::string line = "\"" + program + "\" " + arguments;
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &m_info))
        throw std::runtime_error("cannot start " + line + ", error " +
                                 std::to_string(::GetLastError()));
}

ChildProcess::~ChildProcess() {
    if (ExitCode() == STILL_ACTIVE) {
        ::TerminateProcess(m_info.hProcess, 1);
        ::WaitForSingleObject(m_info.hProcess, 10000);
    }
    ::CloseHandle(m_info.hThread);
    ::CloseHandle(m_info.hProcess);
}

bool ChildProcess::Wait(DWORD timeout) {
    return ::WaitForSingleObject(m_info.hProcess, timeout) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

void ChildProcess::Terminate(UINT exitCode) {
    ::TerminateProcess(m_info.hProcess, exitCode);
    ::WaitForSingleObject(m_info.hProcess, 10000);
}

NamedEvent::NamedEvent(const std::string& purpose) {
    static LONG counter = 0;
    m_name = "zavtest-" + std::to_string(::GetCurrentProcessId()) + "-" +
             std::to_string(::InterlockedIncrement(&counter)) + "-" + purpose;
    m_event = ::CreateEventA(nullptr, TRUE, FALSE, m_name.c_str());
    if (!m_event)
        throw std::runtime_error("cannot create event " + m_name);
}

NamedEvent::~NamedEvent() {
    ::CloseHandle(m_event);
}

void NamedEvent::Set() {
    ::SetEvent(m_event);
}

bool NamedEvent::Wait(DWORD timeout) {
    return ::WaitForSingleObject(m_event, timeout) == WAIT_OBJECT_0;
}

} // namespace zavtest
