// The log folder fails in the middle of a run of logging. The log keeps the day's file open
// from its first line until the first line of the next day, so what happens to the folder in
// between shows at that next open: the lines that cannot be written are lost, each with one
// error event, nothing reaches the caller, and the next line after the folder is back opens
// the day's file again.
#include <gtest/gtest.h>

#include "support/Steering.h"
#include "support/TestModule.h"

namespace {

using namespace zavtest;

// Windows refuses to move a folder while a file in it is open; Wine moves it (Linux's rename),
// much as a network share that goes away takes the open file with it. A read-only folder
// refuses nothing (Windows ignores the attribute on folders, Wine does not keep it); what
// refuses the day's file everywhere is its name taken by a folder: "access denied".
TEST(LogFolder, LinesLostWhileTheFolderFailsAreReportedOneByOneAndLoggingResumes) {
    for (const bool movedAway : {true, false}) {
        EventLogRecorder events;
        SteeredClock clock(MakeTime(2024, 3, 7, 23, 59, 58));
        TestModule module("TRACE");
        const std::string folder = module.folder.path(), away = folder + ".away",
                          day = folder + "\\zav240308.log";
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(ModuleLog(module, LOG_INFO, "kept"));
        clock.Set(MakeTime(2024, 3, 8, 0, 0, 1));
        ASSERT_TRUE(movedAway ? ::MoveFileA(folder.c_str(), away.c_str())
                              : ::CreateDirectoryA(day.c_str(), nullptr));
        for (int i = 0; i < 12; ++i)
            EXPECT_TRUE(ModuleLog(module, LOG_INFO, "lost"));
        std::vector<std::string> failures;
        for (const ReportedEvent& event : events.Events())
            failures.push_back(ParseLogLine(event.strings.at(0)).message + event.strings.at(1) +
                               " " + event.strings.at(2));
        const char* code = movedAway ? "80070003" : "80070005";
        EXPECT_EQ(std::vector<std::string>(
                      12, "lost\r\n" + std::string(code) +
                              " An error occurred opening the log file [" + day +
                              "]: " + _com_error(std::stoul(code, nullptr, 16)).ErrorMessage()),
                  failures);
        ASSERT_TRUE(movedAway ? ::MoveFileA(away.c_str(), folder.c_str())
                              : ::RemoveDirectoryA(day.c_str()));
        events.Clear();
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(ModuleLog(module, LOG_INFO, "resumed"));
        EXPECT_TRUE(events.Events().empty());
        EXPECT_EQ(
            (std::vector<std::string>{"kept", "kept", "kept", "resumed", "resumed", "resumed"}),
            module.Messages("INFO"));
        // The host's log object stayed, and the resumed lines are the day's.
        EXPECT_EQ(3u, SplitLines(ReadWholeFile(day)).size());
    }
}

} // namespace
