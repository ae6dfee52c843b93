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

} // namespace zavtest
