// Machine faults in the alarm handlers in the middle of a chart run: an access violation, an
// integer division by zero and a float division by zero (with that floating-point exception
// unmasked), each met while a handler asks the chart server about one sample, on the thread
// that runs the analysis and that the host prepared. Each answers its event with an HRESULT,
// the run goes on to its end, the numeric faults get one crash report each, and the alarms of
// every other sample, before and after the faults, are kept. The process then runs again.
#include <gtest/gtest.h>

#include <float.h>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "reliability/RunWorld.h"
#include "support/ImportPatch.h"
#include "support/LoggedModule.h"
#include "support/Printers.h"

namespace zavtest {
namespace {

volatile int g_zero = 0;
volatile double g_zeroDouble = 0.0;
int* volatile g_badAddress = nullptr;

// Crash reports write their folder inside the test's own.
std::string g_commonAppData;
HRESULT WINAPI CommonAppData(HWND, int, HANDLE, DWORD, LPSTR path) {
    strcpy(path, g_commonAppData.c_str());
    return S_OK;
}

void FaultAt(const std::string& call) {
    if (call == "FindSample(S3,k)") {
        *g_badAddress = 1;
    } else if (call == "FindSample(S5,k)") {
        volatile int quotient = 1 / g_zero;
        (void)quotient;
    } else if (call == "FindSample(S7,k)") {
        volatile double quotient = 1.0 / g_zeroDouble;
        (void)quotient;
    }
}

std::vector<std::wstring> Labels(const wchar_t* prefix, int count) {
    std::vector<std::wstring> labels;
    for (int i = 1; i <= count; ++i)
        labels.push_back(prefix + std::to_wstring(i));
    return labels;
}

// Runs `world` on a thread of its own that initialises COM, prepares exception handling and
// unmasks the float division by zero, as a host's analysis thread may run.
bool RunOnPreparedThread(RunWorld& world, CBaseZAVModule& module) {
    bool result = false;
    std::thread runner([&] {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        PrepareExceptionHandling();
        unsigned saved = 0, ignored = 0;
        _controlfp_s(&saved, 0, 0);
        _controlfp_s(&ignored, saved & ~_EM_ZERODIVIDE, _MCW_EM);
        try {
            result = world.Run(module);
        } catch (const _com_error& e) {
            ADD_FAILURE() << "the run failed: " << DescriptionOf(e);
        }
        _clearfp();
        _controlfp_s(&ignored, saved, _MCW_EM);
        ::CoUninitialize();
    });
    runner.join();
    return result;
}

TEST(RunFaults, FaultsInHandlersAnswerTheirEventsAndTheRunKeepsEveryOtherAlarm) {
    LoggedModule module("ERROR");
    TempDir scratch;
    g_commonAppData = scratch.path();
    ImportPatch folder("SHELL32.dll", "SHGetFolderPathA", reinterpret_cast<void*>(&CommonAppData));
    const std::string crashCalls = scratch / "crashrpt-calls.txt";
    ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", crashCalls.c_str());

    RunWorld world(17, "Line=A");
    const std::vector<std::wstring> labels = Labels(L"S", 9);
    world.AddSamples(labels);
    world.ScriptLaunch(labels, 0);
    world.chart.onCall = &FaultAt;
    EXPECT_TRUE(RunOnPreparedThread(world, module));

    // One event per sample; the faulting samples' events failed, the others were handled.
    std::vector<HRESULT> expectedAnswers(9, S_OK);
    expectedAnswers[2] = expectedAnswers[4] = expectedAnswers[6] = E_FAIL;
    EXPECT_EQ(expectedAnswers, world.answers);
    std::vector<std::string> expectedRecords;
    for (int i : {1, 2, 4, 6, 8, 9})
        for (int part = 0; part < 2; ++part)
            expectedRecords.push_back("SampleOutOfControl|Line=A|S" + std::to_string(i) + "|17");
    EXPECT_EQ(expectedRecords, world.Records());

    ASSERT_EQ(1u, module.fatalExceptions.size()) << "the access violation is the module's";
    EXPECT_EQ("CQCVChartSink::Invoke", module.fatalExceptions[0].where);
    const std::vector<std::string> calls = SplitLines(ReadWholeFile(crashCalls));
    ASSERT_EQ(4u, calls.size()) << "a stack trace and a report per numeric fault";
    EXPECT_NE(std::string::npos, calls[1].find(" c0000094 [Division By Zero]")) << calls[1];
    EXPECT_NE(std::string::npos, calls[3].find("[Division By Zero]")) << calls[3];
    const std::string failure = "Exception detected in CQCVChartSink::Invoke. HRESULT = "
                                "0x80004005 Description = [Division By Zero]";
    const std::string dump =
        "Process dump was generated in [" + scratch.path() + "\\Veltrium\\Errors]";
    EXPECT_EQ(std::vector<std::string>({failure, dump, failure, dump}), module.Messages("ERROR"));

    // The process goes on: the same host runs a clean chart.
    module.fatalExceptions.clear();
    world.chart.onCall = nullptr;
    RunWorld again(18, "Line=B");
    again.AddSamples(labels);
    again.ScriptLaunch(labels, 3);
    EXPECT_TRUE(RunOnPreparedThread(again, module));
    EXPECT_EQ(std::vector<HRESULT>(12, S_OK), again.answers);
    EXPECT_EQ(21u, again.Records().size());
    EXPECT_TRUE(module.fatalExceptions.empty());
    ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", nullptr);
}

} // namespace
} // namespace zavtest
