#include "support/ChildProcess.h"

#include <stdexcept>

namespace zavtest {

ChildProcess::ChildProcess(const std::string& program, const std::string& arguments,
                           const std::string& folder, const std::string& outputFile) {
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
        program.c_str(), line.data(), nullptr, nullptr, output != INVALID_HANDLE_VALUE, 0, nullptr,
        folder.empty() ? nullptr : folder.c_str(), &startup, &m_info);
    const DWORD error = ::GetLastError();
    if (output != INVALID_HANDLE_VALUE)
        ::CloseHandle(output);
    if (!started)
        throw std::runtime_error("cannot start " + line + ", error " + std::to_string(error));
}

NamedEvent::NamedEvent(const std::string& purpose) {
    static LONG counter = 0;
    m_name = "zavtest-" + std::to_string(::GetCurrentProcessId()) + "-" +
             std::to_string(::InterlockedIncrement(&counter)) + "-" + purpose;
    m_event = ::CreateEventA(nullptr, TRUE, FALSE, m_name.c_str());
    if (!m_event)
        throw std::runtime_error("cannot create event " + m_name);
}

} // namespace zavtest
