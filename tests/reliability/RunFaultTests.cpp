// Chart runs under faults and side by side: machine faults in the alarm handlers in the middle of
// a run, and two runs at once in one host.
#include <gtest/gtest.h>

#include <float.h>
#include <atomic>
#include <map>
#include <thread>

#include "support/FakeQCRun.h"
#include "support/Steering.h"
#include "support/TestModule.h"

using namespace zavtest;
using Labels = std::vector<std::wstring>;
using Strings = std::vector<std::string>;
static volatile int g_zero = 0;

static Labels Samples(const wchar_t* prefix, int count) {
    Labels labels;
    for (int i = 1; i <= count; ++i)
        labels.push_back(prefix + std::to_wstring(i));
    return labels;
}

// What a scripted launch keeps of these samples: two records each, for the X and the R chart.
static Strings Kept(const std::string& process, const Labels& kept, const char* id) {
    Strings out;
    for (const std::wstring& label : kept)
        out.insert(out.end(), 2, "SampleOutOfControl|" + process + "|" + Narrow(label) + id);
    return out;
}

// A run of samples out of control on a thread of its own that initialises COM and
// prepares exception handling as a host's analysis thread does, with the float division by zero
// unmasked as some hosts have it. With `launched`, its chart raises no event before two runs have
// launched.
static std::thread Start(FakeQCRun& run, CBaseZAVModule& module, const Labels& labels,
                         std::atomic<int>* launched = nullptr) {
    run.SwitchAllAlarmsOn();
    run.AddSamples(labels);
    run.ScriptLaunch(labels, 0);
    if (launched)
        run.chart.onLaunch = [launched, script = run.chart.onLaunch] {
            for (int waited = ++*launched; *launched < 2 && waited < 60000; ++waited)
                ::Sleep(1);
            script();
        };
    return std::thread([&run, &module] {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        PrepareExceptionHandling();
        _controlfp(_controlfp(0, 0) & ~_EM_ZERODIVIDE, _MCW_EM);
        EXPECT_TRUE(run.Run(module));
        ::CoUninitialize();
    });
}

// An access violation (S3), an integer (S5) and a float division by zero (S7) where a handler asks
// the chart server for a sample: each of these events is answered with a failing HRESULT and the
// run goes on to its end; each numeric fault gets one crash report, the alarms of every other
// sample are kept, and the same host then runs a clean chart.
TEST(RunFaults, MachineFaultsInHandlersAnswerTheirEventsAndTheRunGoesOn) {
    TestModule module("ERROR");
    CrashSandbox sandbox;
    FakeQCRun run(17, "Line=A"), again(18, "Line=B");
    run.chart.onCall = [](const std::string& call) {
        *(call == "FindSample(S3,k)" ? reinterpret_cast<volatile int*>(8) : &g_zero) = 0;
        g_zero = call == "FindSample(S5,k)" ? 1 / g_zero : 0;
        g_zero = call == "FindSample(S7,k)" ? static_cast<int>(1.0 / g_zero) : 0;
    };
    Start(run, module, Samples(L"S", 9)).join();
    EXPECT_EQ(3, std::count(run.answers.begin(), run.answers.end(), E_FAIL)) << "of 9 events";
    EXPECT_EQ(Kept("Line=A", {L"S1", L"S2", L"S4", L"S6", L"S8", L"S9"}, "|17"), run.Records());
    EXPECT_EQ(4u, sandbox.Calls().size()) << "a stack trace and a report per numeric fault";
    Start(again, module, Samples(L"S", 9)).join();
    EXPECT_EQ(Kept("Line=B", Samples(L"S", 9), "|18"), again.Records());
}

// Two runs on two threads of one host, each with its own CSpecManager, application and chart
// server: each ends with exactly its own records in order, and the shared log with every line
// whole and each thread's traced calls opening and closing in turn: the run, and in it each of
// the 120 alarm events and 120 cancel queries.
TEST(RunFaults, TwoRunsAtOnceKeepExactlyTheirOwnRecords) {
    TestModule module("TRACE");
    FakeQCRun a(1, "Line=A"), b(2, "Line=B");
    std::atomic<int> launched{0};
    std::thread first = Start(a, module, Samples(L"A", 120), &launched);
    Start(b, module, Samples(L"B", 120), &launched).join();
    first.join();
    EXPECT_EQ(Kept("Line=A", Samples(L"A", 120), "|1"), a.Records());
    EXPECT_EQ(Kept("Line=B", Samples(L"B", 120), "|2"), b.Records());
    std::string expected = "TRACE Enter  RunDashboardProcess2\n";
    for (int event = 0; event < 240; ++event)
        expected += "TRACE Enter  CQCVChartSink::Invoke\nTRACE Exit   CQCVChartSink::Invoke\n";
    std::map<unsigned long, std::string> traced;
    for (const std::string& line : module.Lines()) {
        const LogLineParts parts = ParseLogLine(line);
        traced[parts.thread] += parts.severity + " " + parts.message + "\n";
    }
    expected += "TRACE Exit   RunDashboardProcess2\n";
    EXPECT_TRUE(traced.size() == 2 && traced.begin()->second == expected &&
                traced.rbegin()->second == expected);
}
