#include "logging/LogLine.h"

#include <windows.h>
#include <cstdio>
#include <cstring>

#include "logging/LogClock.h"

namespace zav {

const char* SeverityName(int severity) {
    static const char* const kNames[] = {"NONE", "ERROR", "WARNING", "INFO", "DEBUG", "TRACE"};
    return severity >= 0 && severity <= 5 ? kNames[severity] : "";
}

void FormatTrace(const char* name, bool enter, char (&text)[128]) {
    snprintf(text, sizeof text, "%-6s %s", enter ? "Enter" : "Exit", name ? name : "");
}

void LogLine::Compose(int severity, const char* format, va_list args) {
    char stamp[32];
    FormatTimestamp(LocalNow(), stamp);
    int header = snprintf(m_stack, kStackSize, "%-8s %-24s %-5u %-5u ", SeverityName(severity),
                          stamp, static_cast<unsigned>(::GetCurrentProcessId()),
                          static_cast<unsigned>(::GetCurrentThreadId()));
    // The header is short (at most 56 characters); the message gets the rest, less CR LF.
    size_t room = kStackSize - header;
    va_list again;
    va_copy(again, args);
    int message = format ? vsnprintf(m_stack + header, room - 2, format, args) : 0;
    if (message < 0)
        message = 0;
    char* line = m_stack;
    if (static_cast<size_t>(message) + 2 >= room) {
        m_heap.assign(m_stack, header);
        m_heap.resize(header + message + 2);
        vsnprintf(&m_heap[header], message + 1, format, again);
        line = &m_heap[0];
    }
    va_end(again);
    line[header + message] = '\r';
    line[header + message + 1] = '\n';
    line[header + message + 2] = '\0';
    m_text = line;
    m_size = header + message + 2;
}

} // namespace zav
