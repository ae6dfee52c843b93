// Two QC runs at once in one host: two threads, each with its own spec manager, analysis
// application and chart server, logging through the one host module. Both launch before
// either raises an event, so their events are handled side by side; each spec manager must end
// with exactly the alarms of its own chart, in its order, and the shared log with every line
// whole and every traced call closed on the thread that opened it.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "reliability/RunWorld.h"
#include "support/LoggedModule.h"
#include "support/Printers.h"

namespace zavtest {
namespace {

constexpr int kSamples = 300;
constexpr int kObservationsEvery = 4;

std::vector<std::wstring> Labels(const std::wstring& prefix) {
    std::vector<std::wstring> labels;
    for (int i = 1; i <= kSamples; ++i)
        labels.push_back(prefix + std::to_wstring(i));
    return labels;
}

std::vector<std::string> Expected(const std::string& prefix, const std::string& process,
                                  int charId) {
    std::vector<std::string> records;
    for (int i = 1; i <= kSamples; ++i) {
        const std::string sample =
            "|" + process + "|" + prefix + std::to_string(i) + "|" + std::to_string(charId);
        records.push_back("SampleOutOfControl" + sample);
        records.push_back("SampleOutOfControl" + sample);
        if ((i - 1) % kObservationsEvery == 0)
            records.push_back("ObsOutsideSpecs" + sample);
    }
    return records;
}

struct Runner {
    RunWorld world;
    HANDLE launched = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool result = false;
    bool metOther = false;
    std::string failure;

    Runner(int charId, const std::string& process) : world(charId, process) {}
    ~Runner() { ::CloseHandle(launched); }

    void Run(CBaseZAVModule& module) {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        PrepareExceptionHandling();
        try {
            result = world.Run(module);
        } catch (const _com_error& e) {
            failure = Describe(e);
        }
        ::CoUninitialize();
    }
};

TEST(ConcurrentRuns, TwoThreadsEachGetExactlyTheirOwnAlarms) {
    LoggedModule module("TRACE");
    Runner a(1, "Line=A"), b(2, "Line=B");
    a.world.AddSamples(Labels(L"A"));
    b.world.AddSamples(Labels(L"B"));
    // Neither chart raises an event before both runs have launched.
    for (Runner* self : {&a, &b}) {
        Runner* other = self == &a ? &b : &a;
        self->world.ScriptLaunch(Labels(self == &a ? L"A" : L"B"), kObservationsEvery);
        std::function<void()> script = std::move(self->world.chart.onLaunch);
        self->world.chart.onLaunch = [self, other, script] {
            ::SetEvent(self->launched);
            self->metOther = ::WaitForSingleObject(other->launched, 60000) == WAIT_OBJECT_0;
            script();
        };
    }
    std::thread first([&] { a.Run(module); });
    std::thread second([&] { b.Run(module); });
    first.join();
    second.join();

    EXPECT_TRUE(a.metOther && b.metOther) << "both runs were launched at once";
    EXPECT_TRUE(a.result) << a.failure;
    EXPECT_TRUE(b.result) << b.failure;
    EXPECT_EQ(Expected("A", "Line=A", 1), a.world.Records());
    EXPECT_EQ(Expected("B", "Line=B", 2), b.world.Records());
    for (Runner* runner : {&a, &b})
        for (HRESULT answer : runner->world.answers)
            ASSERT_EQ(S_OK, answer);

    // Every line whole; on each thread the traced calls open and close in turn.
    std::map<unsigned long, std::vector<std::string>> open;
    unsigned long previous = 0;
    int lines = 0, switches = 0;
    for (const std::string& line : module.Lines()) {
        LogLineParts parts = ParseLogLine(line);
        ASSERT_EQ("TRACE", parts.severity) << line;
        ++lines;
        switches += previous && parts.thread != previous;
        previous = parts.thread;
        std::vector<std::string>& stack = open[parts.thread];
        if (parts.message.rfind("Enter  ", 0) == 0) {
            stack.push_back(parts.message.substr(7));
        } else {
            ASSERT_EQ(0u, parts.message.rfind("Exit   ", 0)) << line;
            ASSERT_FALSE(stack.empty()) << line;
            EXPECT_EQ(stack.back(), parts.message.substr(7)) << line;
            stack.pop_back();
        }
    }
    EXPECT_EQ(2u, open.size()) << "both threads logged";
    for (const auto& [thread, stack] : open)
        EXPECT_TRUE(stack.empty()) << "thread " << thread;
    EXPECT_GT(switches, 2) << "the runs went on side by side";
    printf("concurrent runs: 2 threads, %zu and %zu records, %d log lines, the log changed "
           "threads %d times\n",
           a.world.Records().size(), b.world.Records().size(), lines, switches);
}

} // namespace
} // namespace zavtest
