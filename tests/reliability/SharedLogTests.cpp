// The shared log under load and failure: eight processes writing at once while one is killed
// owning the log's named mutex, and a log folder that goes away or refuses the day's file.
#include <gtest/gtest.h>
#include <chrono>
#include <map>
#include <memory>
#include <numeric>
#include <regex>

#include "support/ChildProcess.h"
#include "support/TestModule.h"
#include "support/Steering.h"

namespace {

using namespace zavtest;

constexpr int kWriters = 8, kLines = 2000;
// Where the victim stops: before-write loses the line in flight, before-flush has written it.
const std::pair<int, std::string> kKills[] = {
    {300, "before-write"}, {800, "before-flush"}, {1300, "before-write"}, {1800, "before-flush"}};

TEST(Soak, EightWritersAndAVictimKilledOwningTheMutexLoseNoLine) {
    const auto began = std::chrono::steady_clock::now();
    TempDir folder;
    NamedEvent start("soak-start");
    // Every writer's library releases it once per abandoned wait.
    const std::string abandonedName = start.name() + "-abandoned";
    std::unique_ptr<void, decltype(&::CloseHandle)> abandoned(
        ::CreateSemaphoreA(nullptr, 0, 1000, abandonedName.c_str()), &::CloseHandle);
    auto writer = [&](const std::string& tagFirstAndKill) {
        return std::make_unique<ChildProcess>(BesideThisExecutable("zavchild.exe"),
                                              "soak \"" + folder.path() + "\" " + start.name() +
                                                  " " + abandonedName + " " +
                                                  std::to_string(kLines) + " " + tagFirstAndKill);
    };
    std::vector<std::unique_ptr<ChildProcess>> writers;
    for (int i = 1; i < kWriters; ++i)
        writers.push_back(writer("writer" + std::to_string(i) + " 1 0 none none"));
    // Each life of the victim starts where the last one's surviving lines end.
    int next = 1;
    for (const auto& [line, where] : kKills) {
        NamedEvent owned("soak-owned");
        auto victim = writer("victim " + std::to_string(next) + " " + std::to_string(line) + " " +
                             where + " " + owned.name());
        start.Set();
        ASSERT_TRUE(owned.Wait(120000)) << "the victim reaches line " << line;
        victim->Terminate(9);
        next = where == "before-write" ? line : line + 1;
    }
    writers.push_back(writer("victim " + std::to_string(next) + " 0 none none"));
    for (auto& child : writers)
        EXPECT_TRUE(child->Wait(300000) && child->ExitCode() == 0) << child->ExitCode();

    // Every line whole, and each writer's lines there once, in its order.
    const std::regex whole("(writer\\d|victim) (\\d{6})");
    std::map<std::string, std::vector<int>> numbers;
    for (const std::string& line : LogLinesIn(folder.path())) {
        const LogLineParts parts = ParseLogLine(line);
        std::smatch match;
        if (parts.severity == "INFO" && std::regex_match(parts.message, match, whole))
            numbers[match[1]].push_back(std::stoi(match[2]));
        else
            ADD_FAILURE() << "a broken line: [" << line << "]";
    }
    std::vector<int> all(kLines);
    std::iota(all.begin(), all.end(), 1);
    EXPECT_EQ(size_t{kWriters}, numbers.size());
    for (const auto& [tag, written] : numbers)
        EXPECT_TRUE(written == all) << tag << " wrote " << written.size() << " lines";
    int abandonedWaits = 0;
    while (::WaitForSingleObject(abandoned.get(), 0) == WAIT_OBJECT_0)
        ++abandonedWaits;
    EXPECT_EQ(int(std::size(kKills)), abandonedWaits) << "each kill left the mutex abandoned once";
    printf("soak: %d processes, %d lines whole, each once and in its writer's order; the victim "
           "was killed %zu times owning the mutex and lived %zu times; %d abandoned waits; "
           "%.1f s\n",
           kWriters, kWriters * kLines, std::size(kKills), std::size(kKills) + 1, abandonedWaits,
           std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
}

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
