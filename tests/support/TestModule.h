// The tests' host module: a name for the event log, a log guard, an optional stop event, a
// record of the structured exceptions it was told of and, when given a level, a real log
// (a CLogFile on a temporary folder, owned by the module as a host owns it).
#pragma once

#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/Files.h"

namespace zavtest {

// The columns of one log line "%-8s %-24s %-5u %-5u %s"; empty parts for a line without them.
struct LogLineParts {
    std::string severity;
    std::string timestamp;
    unsigned long process = 0;
    unsigned long thread = 0;
    std::string message;
};
inline LogLineParts ParseLogLine(const std::string& line) {
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

// Every line of every log file in `folder`, file after file (sorted by name).
inline std::vector<std::string> LogLinesIn(const std::string& folder) {
    std::vector<std::string> lines;
    for (const std::string& name : FilesIn(folder, "*.log"))
        for (std::string& line : SplitLines(ReadWholeFile(folder + "\\" + name)))
            lines.push_back(std::move(line));
    return lines;
}
// The messages of the lines of one severity.
inline std::vector<std::string> MessagesIn(const std::string& folder, const char* severity) {
    std::vector<std::string> messages;
    for (const std::string& line : LogLinesIn(folder))
        if (LogLineParts parts = ParseLogLine(line); parts.severity == severity)
            messages.push_back(parts.message);
    return messages;
}

class TestModule : public CBaseZAVModule {
public:
    // A null `logLevel` gives a module without a log object; a null `name` one without a name.
    explicit TestModule(const char* logLevel = nullptr, const char* name = "ZAVTest")
        : m_name(name ? name : ""), m_hasName(name != nullptr) {
        m_hLogMutex = ::CreateMutexA(nullptr, FALSE, nullptr);
        config.m_strLogPath = folder.path();
        config.m_strLogLevel = logLevel ? logLevel : "";
        if (logLevel)
            m_pLogFile = new CLogFile(config, this);
    }
    ~TestModule() {
        delete m_pLogFile;
        if (m_hStopEvent)
            ::CloseHandle(m_hStopEvent);
        ::CloseHandle(m_hLogMutex);
    }
    TestModule(const TestModule&) = delete;
    TestModule& operator=(const TestModule&) = delete;

    const char* GetServiceName() override { return m_hasName ? m_name.c_str() : nullptr; }
    HRESULT Start() override { return S_OK; }
    HRESULT Stop() override { return S_OK; }
    long OnFatalException(long hr, win32_exception*, const char* where) override {
        fatalExceptions.push_back({hr, where ? where : ""});
        return 0;
    }

    std::vector<std::string> Lines() const { return LogLinesIn(folder.path()); }
    std::vector<std::string> Messages(const char* severity) const {
        return MessagesIn(folder.path(), severity);
    }

    struct FatalException {
        long hr;
        std::string where;
    };
    std::vector<FatalException> fatalExceptions;
    TempDir folder;
    CZAVConfig config;

private:
    std::string m_name;
    bool m_hasName;
};

} // namespace zavtest
