// The shared log under load: eight processes of the service write through their host modules
// at once while one of them is killed again and again in the middle of a line, owning the log's
// named mutex, and started anew. The children are real processes (zavchild.exe soak).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/ChildProcess.h"
#include "support/LoggedModule.h"
#include "support/TempDir.h"

namespace {

using zavtest::ChildProcess;
using zavtest::NamedEvent;

constexpr int kWriters = 8;
constexpr int kLines = 5000;

// Where the victim stops: before-write loses the line in flight, before-flush has written it.
struct Kill {
    int line;
    const char* where;
};
constexpr Kill kKills[] = {
    {700, "before-write"}, {1900, "before-flush"}, {3100, "before-write"}, {4300, "before-flush"}};

// Counts what every writer's library saw: one release per abandoned wait.
class SharedCounter {
public:
    SharedCounter()
        : m_name("zavtest-" + std::to_string(::GetCurrentProcessId()) + "-abandoned"),
          m_semaphore(::CreateSemaphoreA(nullptr, 0, 100000, m_name.c_str())) {}
    ~SharedCounter() { ::CloseHandle(m_semaphore); }
    SharedCounter(const SharedCounter&) = delete;
    SharedCounter& operator=(const SharedCounter&) = delete;

    const std::string& name() const { return m_name; }
    int Take() {
        int count = 0;
        while (::WaitForSingleObject(m_semaphore, 0) == WAIT_OBJECT_0)
            ++count;
        return count;
    }

private:
    std::string m_name;
    HANDLE m_semaphore;
};

struct Soak {
    zavtest::TempDir folder;
    NamedEvent start{"soak-start"};
    SharedCounter abandoned;

    std::unique_ptr<ChildProcess> Writer(const std::string& tag, int first,
                                         const std::string& kill = "") {
        return std::make_unique<ChildProcess>(
            zavtest::BesideThisExecutable("zavchild.exe"),
            "soak \"" + folder.path() + "\" " + tag + " " + std::to_string(first) + " " +
                std::to_string(kLines) + " " + start.name() + " " + abandoned.name() + kill);
    }
};

// Per writer tag: the numbers in file order.
struct Tally {
    std::vector<int> numbers;
};

// Every line must be whole: the columns, the tag of a known writer and a six-digit number.
std::map<std::string, Tally> ReadBack(const std::string& folder) {
    std::map<std::string, Tally> tallies;
    for (const std::string& name : zavtest::LogFilesIn(folder)) {
        std::string text = zavtest::ReadWholeFile(folder + "\\" + name);
        EXPECT_EQ("\r\n", text.substr(text.size() - 2)) << name << " ends in a whole line";
        for (const std::string& line : zavtest::SplitLines(text)) {
            zavtest::LogLineParts parts = zavtest::ParseLogLine(line);
            size_t blank = parts.message.find(' ');
            if (parts.severity != "INFO" || blank == std::string::npos ||
                parts.message.size() != blank + 7 ||
                parts.message.find_first_not_of("0123456789", blank + 1) != std::string::npos) {
                ADD_FAILURE() << "a broken line: [" << line << "]";
                continue;
            }
            tallies[parts.message.substr(0, blank)].numbers.push_back(
                std::stoi(parts.message.substr(blank + 1)));
        }
    }
    return tallies;
}

TEST(Soak, EightWritersAndAVictimKilledOwningTheMutexLoseNoLine) {
    const auto began = std::chrono::steady_clock::now();
    Soak soak;
    std::vector<std::unique_ptr<ChildProcess>> steady;
    for (int i = 1; i < kWriters; ++i)
        steady.push_back(soak.Writer("writer" + std::to_string(i), 1));

    // Each incarnation of the victim is started where the last one's surviving lines end.
    int next = 1, incarnations = 0;
    std::unique_ptr<ChildProcess> victim;
    std::vector<std::unique_ptr<NamedEvent>> owned;
    for (const Kill& kill : kKills) {
        owned.push_back(std::make_unique<NamedEvent>("soak-owned"));
        victim = soak.Writer("victim", next,
                             " " + std::to_string(kill.line) + " " + kill.where + " " +
                                 owned.back()->name());
        ++incarnations;
        if (incarnations == 1)
            soak.start.Set();
        ASSERT_TRUE(owned.back()->Wait(120000)) << "the victim reaches line " << kill.line;
        victim->Terminate(9);
        next = std::string(kill.where) == "before-write" ? kill.line : kill.line + 1;
    }
    victim = soak.Writer("victim", next);
    ++incarnations;
    ASSERT_TRUE(victim->Wait(300000));
    EXPECT_EQ(0u, victim->ExitCode());
    for (auto& writer : steady) {
        ASSERT_TRUE(writer->Wait(300000));
        EXPECT_EQ(0u, writer->ExitCode());
    }

    std::map<std::string, Tally> tallies = ReadBack(soak.folder.path());
    ASSERT_EQ(size_t{kWriters}, tallies.size());
    std::vector<int> expected;
    for (int i = 1; i <= kLines; ++i)
        expected.push_back(i);
    size_t total = 0;
    for (const auto& [tag, tally] : tallies) {
        // Once each, none missing, in the writer's order (also across the victim's lives).
        EXPECT_TRUE(tally.numbers == expected) << tag << " wrote " << tally.numbers.size();
        total += tally.numbers.size();
    }
    const int abandonedWaits = soak.abandoned.Take();
    EXPECT_EQ(int(std::size(kKills)), abandonedWaits) << "each kill left the mutex abandoned once";

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    printf("soak: %d processes, %zu lines whole, each once and in its writer's order; the victim "
           "was killed %zu times owning the mutex and lived %d times; %d abandoned waits; "
           "%.1f s\n",
           kWriters, total, std::size(kKills), incarnations, abandonedWaits, seconds);
}

} // namespace
