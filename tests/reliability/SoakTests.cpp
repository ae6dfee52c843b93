// The shared log under load: eight processes of the service write through their host modules
// at once while one of them is killed again and again in the middle of a line, owning the log's
// named mutex, and started anew. The children are real processes (zavchild.exe soak).
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <numeric>
#include <regex>

#include "support/ChildProcess.h"
#include "support/TestModule.h"

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

} // namespace
