// A test module with a real log: a CLogFile on a temporary folder, owned by the module as a
// host would own it, and readers for the lines it wrote.
#pragma once

#include <windows.h>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/TempDir.h"
#include "support/TestModule.h"

namespace zavtest {

// The columns of one line "%-8s %-24s %-5u %-5u %s".
struct LogLineParts {
    std::string severity;
    std::string timestamp;
    unsigned long process = 0;
    unsigned long thread = 0;
    std::string message;
};

inline std::string Trimmed(const std::string& text) {
    size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// A line that does not have the columns gives empty parts.
inline LogLineParts ParseLogLine(const std::string& line) {
    LogLineParts parts;
    if (line.size() < 34)
        return parts;
    size_t at = 34;
    unsigned long ids[2] = {};
    for (unsigned long& id : ids) {
        size_t end = line.find(' ', at);
        if (end == std::string::npos || end == at ||
            line.find_first_not_of("0123456789", at) != end)
            return LogLineParts();
        id = std::stoul(line.substr(at, end - at));
        at += std::max<size_t>(5, end - at) + 1;
    }
    parts.severity = Trimmed(line.substr(0, 8));
    parts.timestamp = Trimmed(line.substr(9, 24));
    parts.process = ids[0];
    parts.thread = ids[1];
    parts.message = at <= line.size() ? line.substr(at) : std::string();
    return parts;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Lines split at CR LF, without it; a last line without CR LF is kept as it is.
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2)
        lines.push_back(text.substr(from, end - from));
    if (from < text.size())
        lines.push_back(text.substr(from));
    return lines;
}

// The names of the log files in `folder`, sorted.
inline std::vector<std::string> LogFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*.log").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do
            names.push_back(entry.cFileName);
        while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every line of every log file in `folder`, file after file.
inline std::vector<std::string> LogLinesIn(const std::string& folder) {
    std::vector<std::string> lines;
    for (const std::string& name : LogFilesIn(folder))
        for (std::string& line : SplitLines(ReadWholeFile(folder + "\\" + name)))
            lines.push_back(std::move(line));
    return lines;
}

// The messages of the lines of one severity.
inline std::vector<std::string> MessagesIn(const std::string& folder, const char* severity) {
    std::vector<std::string> messages;
    for (const std::string& line : LogLinesIn(folder)) {
        LogLineParts parts = ParseLogLine(line);
        if (parts.severity == severity)
            messages.push_back(parts.message);
    }
    return messages;
}

class LoggedModule : public TestModule {
public:
    explicit LoggedModule(const char* level = "TRACE", const char* name = "ZAVTest")
        : TestModule(name) {
        config.m_strLogPath = folder.path();
        config.m_strLogLevel = level;
        m_pLogFile = new CLogFile(config, this);
    }
    ~LoggedModule() { delete m_pLogFile; }

    std::vector<std::string> Lines() const { return LogLinesIn(folder.path()); }
    std::vector<std::string> Messages(const char* severity) const {
        return MessagesIn(folder.path(), severity);
    }

    TempDir folder;
    CZAVConfig config;
};

} // namespace zavtest
