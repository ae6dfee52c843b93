// The log folder fails in the middle of a run of logging. The log keeps the day's file open
// from its first line until the first line of the next day, so what happens to the folder in
// between shows at that next open: the lines that cannot be written are lost, each with one
// error event, nothing reaches the caller, and the next line after the folder is back opens
// the day's file again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZAVTools.h"
#include "logging/LogTestSupport.h"
#include "support/EventLogRecorder.h"
#include "support/LoggedModule.h"

namespace {

using zavtest::MakeTime;
using zavtest::ReportedEvent;

constexpr int kLost = 12;

// Moves a folder out of its place and back, also when a test fails in between.
class MovedAside {
public:
    explicit MovedAside(const std::string& folder)
        : m_folder(folder), m_aside(folder + ".away"),
          m_moved(::MoveFileA(folder.c_str(), m_aside.c_str()) != FALSE) {}
    ~MovedAside() { Restore(); }
    MovedAside(const MovedAside&) = delete;
    MovedAside& operator=(const MovedAside&) = delete;

    bool moved() const { return m_moved; }
    void Restore() {
        if (m_moved)
            m_moved = !::MoveFileA(m_aside.c_str(), m_folder.c_str());
    }

private:
    std::string m_folder, m_aside;
    bool m_moved;
};

std::vector<std::string> Numbered(const char* text, int count) {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i)
        lines.push_back(text + std::to_string(i));
    return lines;
}

void LogNumbered(zavtest::LoggedModule& module, const char* text, int count) {
    for (int i = 1; i <= count; ++i)
        EXPECT_NO_THROW(EXPECT_TRUE(ModuleLog(module, LOG_INFO, "%s%d", text, i)));
}

std::vector<std::string> MessagesOf(const std::string& path) {
    std::vector<std::string> messages;
    for (const std::string& line : zavtest::SplitLines(zavtest::ReadWholeFile(path)))
        messages.push_back(zavtest::ParseLogLine(line).message);
    return messages;
}

// One error event per lost line, in order, each naming the line, the error and the day's file.
void ExpectLostLines(const std::vector<ReportedEvent>& events, const char* text, const char* code,
                     const std::string& path) {
    ASSERT_EQ(size_t{kLost}, events.size());
    const std::string prefix = "An error occurred opening the log file [" + path + "]: ";
    for (int i = 0; i < kLost; ++i) {
        const ReportedEvent& event = events[i];
        EXPECT_EQ(EVENTLOG_ERROR_TYPE, event.type);
        EXPECT_EQ(0xC0000201u, event.id);
        ASSERT_EQ(3u, event.strings.size());
        EXPECT_EQ(text + std::to_string(i + 1) + "\r\n",
                  zavtest::ParseLogLine(event.strings[0]).message);
        EXPECT_EQ(code, event.strings[1]);
        EXPECT_EQ(prefix, event.strings[2].substr(0, prefix.size()));
    }
}

// Windows refuses to move a folder while a file in it is open; Wine moves it (Linux's rename),
// much as a network share that goes away takes the open file with it.
TEST(LogFolder, AFolderThatGoesAwayLosesEachLineWithOneEventAndLoggingResumes) {
    zavtest::EventLogRecorder events;
    zavtest::SteeredClock clock(MakeTime(2024, 3, 7, 23, 59, 58, 0));
    zavtest::LoggedModule module("TRACE");
    const std::string folder = module.folder.path();
    LogNumbered(module, "kept ", 5);
    {
        MovedAside away(folder);
        ASSERT_TRUE(away.moved()) << "error " << ::GetLastError();
        clock.Set(MakeTime(2024, 3, 8, 0, 0, 1, 0));
        LogNumbered(module, "lost ", kLost);
        ExpectLostLines(events.Events(), "lost ", "80070003", folder + "\\zav240308.log");
        EXPECT_NE(nullptr, module.m_pLogFile) << "the host's log object stays";
        away.Restore();
        ASSERT_FALSE(away.moved());
    }
    events.Clear();
    LogNumbered(module, "resumed ", 5);
    EXPECT_TRUE(events.Events().empty());
    EXPECT_EQ(Numbered("kept ", 5), MessagesOf(folder + "\\zav240307.log"));
    EXPECT_EQ(Numbered("resumed ", 5), MessagesOf(folder + "\\zav240308.log"));
}

// A folder made read-only refuses nothing to the log: Windows ignores the read-only attribute
// of a folder when files are created in it, and Wine accepts the attribute for a folder
// without keeping it. (Wine running as root also opens a read-only file for writing, where
// Windows refuses.) What refuses the day's file on every platform is its name taken by
// something that cannot be opened for writing, here a folder: the open is "access denied",
// the answer of a write-protected place.
TEST(LogFolder, AFolderThatRefusesTheDaysFileLosesEachLineWithOneEventAndLoggingResumes) {
    zavtest::EventLogRecorder events;
    zavtest::SteeredClock clock(MakeTime(2024, 3, 7, 23, 59, 58, 0));
    zavtest::LoggedModule module("TRACE");
    const std::string folder = module.folder.path();
    LogNumbered(module, "kept ", 3);

    ASSERT_TRUE(::SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_READONLY));
    clock.Set(MakeTime(2024, 3, 8, 0, 0, 1, 0));
    LogNumbered(module, "read-only ", 3);
    ::SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(events.Events().empty());
    EXPECT_EQ(Numbered("read-only ", 3), MessagesOf(folder + "\\zav240308.log"));

    const std::string refused = folder + "\\zav240309.log";
    ASSERT_TRUE(::CreateDirectoryA(refused.c_str(), nullptr));
    clock.Set(MakeTime(2024, 3, 9, 0, 0, 1, 0));
    LogNumbered(module, "lost ", kLost);
    ExpectLostLines(events.Events(), "lost ", "80070005", refused);
    ASSERT_TRUE(::RemoveDirectoryA(refused.c_str()));

    events.Clear();
    LogNumbered(module, "resumed ", 4);
    EXPECT_TRUE(events.Events().empty());
    EXPECT_EQ(Numbered("resumed ", 4), MessagesOf(refused));
    EXPECT_EQ(Numbered("kept ", 3), MessagesOf(folder + "\\zav240307.log"));
}

} // namespace
