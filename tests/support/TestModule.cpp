#include "support/TestModule.h"

namespace zavtest {

LogLineParts ParseLogLine(const std::string& line) {
    // Severity and time take 8 + 1 + 24 + 1 characters; the ids are padded to five digits.
    LogLineParts parts;
    size_t at = 34;
    unsigned long ids[2] = {};
    for (unsigned long& id : ids) {
        size_t end = line.find(' ', at);
        if (line.size() < 34 || end == std::string::npos || end == at ||
            line.find_first_not_of("0123456789", at) != end)
            return LogLineParts();
        id = std::stoul(line.substr(at, end - at));
        at += std::max<size_t>(5, end - at) + 1;
    }
    auto trimmed = [](std::string text) { return text.erase(text.find_last_not_of(' ') + 1); };
    parts.severity = trimmed(line.substr(0, 8));
    parts.timestamp = trimmed(line.substr(9, 24));
    parts.process = ids[0];
    parts.thread = ids[1];
    parts.message = at <= line.size() ? line.substr(at) : std::string();
    return parts;
}

std::vector<std::string> LogLinesIn(const std::string& folder) {
    std::vector<std::string> lines;
    for (const std::string& name : FilesIn(folder, "*.log"))
        for (std::string& line : SplitLines(ReadWholeFile(folder + "\\" + name)))
            lines.push_back(std::move(line));
    return lines;
}

std::vector<std::string> MessagesIn(const std::string& folder, const char* severity) {
    std::vector<std::string> messages;
    for (const std::string& line : LogLinesIn(folder)) {
        LogLineParts parts = ParseLogLine(line);
        if (parts.severity == severity)
            messages.push_back(parts.message);
    }
    return messages;
}

TestModule::TestModule(const char* logLevel, const char* name)
    : m_name(name ? name : ""), m_hasName(name != nullptr) {
    m_hLogMutex = ::CreateMutexA(nullptr, FALSE, nullptr);
    config.m_strLogPath = folder.path();
    config.m_strLogLevel = logLevel ? logLevel : "";
    if (logLevel)
        m_pLogFile = new CLogFile(config, this);
}

TestModule::~TestModule() {
    delete m_pLogFile;
    if (m_hStopEvent)
        ::CloseHandle(m_hStopEvent);
    ::CloseHandle(m_hLogMutex);
}

} // namespace zavtest
