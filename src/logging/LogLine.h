// One composed log line, "%-8s %-24s %-5u %-5u %s\r\n". Formatted once, into a buffer on the
// stack when it fits; only longer lines take a heap block.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace zav {

// "NONE", "ERROR", "WARNING", "INFO", "DEBUG", "TRACE"; empty outside 0 to 5.
const char* SeverityName(int severity);

// "Enter  <name>" or "Exit   <name>", cut to 127 characters: the message of a trace line.
void FormatTrace(const char* name, bool enter, char (&text)[128]);

class LogLine {
public:
    LogLine() = default;
    LogLine(const LogLine&) = delete;
    LogLine& operator=(const LogLine&) = delete;

    // Stamps the line with the local time, the process and the thread. A null format or one
    // that cannot be formatted gives an empty message.
    void Compose(int severity, const char* format, va_list args);

    // Empty until composed.
    const char* c_str() const { return m_text; }
    size_t size() const { return m_size; }

private:
    static constexpr size_t kStackSize = 1024;

    char m_stack[kStackSize];
    std::string m_heap;
    const char* m_text = "";
    size_t m_size = 0;
};

} // namespace zav
