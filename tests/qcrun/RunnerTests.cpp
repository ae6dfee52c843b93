#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qcrun/QCRunFixture.h"
#include "support/EventLogRecorder.h"
#include "support/SafeArrays.h"

namespace zavtest {
namespace {

constexpr HRESULT kNotReady = static_cast<HRESULT>(0x80040200);

std::wstring BstrOf(const _variant_t& value) {
    return V_BSTR(&value) ? std::wstring(V_BSTR(&value), ::SysStringLen(V_BSTR(&value)))
                          : L"<null>";
}

// The sink's references, read without changing them.
ULONG References(IDispatch* object) {
    object->AddRef();
    return object->Release();
}

using Runner = QCRun;

TEST_F(Runner, DrivesTheAnalysisInOrderAndKeepsOnlyTheSinkConnected) {
    EXPECT_TRUE(Run());

    EXPECT_EQ(
        Strings({"Analysis(3251)", "Dialog()", "GetIDsOfNames(AutoUpdateMode)",
                 "PropertyPut(AutoUpdateMode)", "GetIDsOfNames(MakeDefaultSummaryChart)",
                 "PropertyPut(MakeDefaultSummaryChart)", "GetIDsOfNames(DropProjectFile)",
                 "PropertyPut(DropProjectFile)", "Run()", "Dialog()", "GetIDsOfNames(ChartServer)",
                 "PropertyGet(ChartServer)", "EnableObsOutsideSpecsEvent(0)",
                 "EnableRunsViolationEvent(0)", "EnableSampleOutOfControlEvent(0)",
                 "EnableSampleOutsideWarningLimitsEvent(0)", "FindConnectionPoint()", "Advise()",
                 "Launch(0)"}),
        journal);

    ASSERT_EQ(3u, dialog.puts.size());
    const wchar_t* names[] = {L"AutoUpdateMode", L"MakeDefaultSummaryChart", L"DropProjectFile"};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(names[i], dialog.puts[i].name);
        EXPECT_EQ(VT_BOOL, V_VT(&dialog.puts[i].value));
        EXPECT_EQ(VARIANT_FALSE, V_BOOL(&dialog.puts[i].value));
    }
    EXPECT_EQ(names[2], dialog.puts[2].name);
    EXPECT_EQ(VT_BSTR, V_VT(&dialog.puts[2].value));
    EXPECT_EQ(L"C:\\QC\\line-a.qcp", BstrOf(dialog.puts[2].value));
    EXPECT_EQ(std::vector<VARTYPE>{VT_DISPATCH}, app.dataTypes);
    EXPECT_EQ(static_cast<IUnknown*>(static_cast<IDispatch*>(sheet.Ptr().GetInterfacePtr())),
              app.dataObjects[0]);

    EXPECT_EQ(0u, app.RefCount());
    EXPECT_EQ(0u, analysis.RefCount());
    EXPECT_EQ(0u, dialog.RefCount());
    EXPECT_EQ(0u, chart.events.RefCount());
    EXPECT_EQ(1u, chart.RefCount()) << "the dialog's own reference only";
    EXPECT_EQ(1u, sheet.RefCount()) << "the CSpecManager's own reference only";
    ASSERT_EQ(1u, chart.events.Sinks().size());
    EXPECT_EQ(1u, References(chart.events.Sinks()[0])) << "only the chart server keeps the sink";
    EXPECT_EQ(0u, chart.events.Count("Unadvise"));

    EXPECT_EQ(Strings({"Enter  RunDashboardProcess2", "Exit   RunDashboardProcess2"}),
              module.Messages("TRACE"));
}

TEST_F(Runner, AnObjectForThePropertyIsOfferedByReferenceFirstOnlyForObjects) {
    // The runner's own values are no objects: no put by reference is ever tried.
    dialog.takesReferences = true;
    EXPECT_TRUE(Run());
    EXPECT_EQ(0u, dialog.Count("PropertyPutRef"));
    for (const FakeDialog::Put& put : dialog.puts)
        EXPECT_FALSE(put.byReference);
}

TEST_F(Runner, TheChartServerIsToldWhichAlarmEventsToRaise) {
    const bool patterns[][4] = {{true, false, true, false}, {false, true, false, true}};
    for (const bool* flags : patterns) {
        state.m_bProcessObsOutOfSpecs = flags[0];
        state.m_bProcessRunsViolation = flags[1];
        state.m_bProcessSampleOutOfControl = flags[2];
        state.m_bProcessSampleOutsideWarningLimits = flags[3];
        chart.calls.clear();
        EXPECT_TRUE(Run());
        auto text = [](bool on) { return on ? std::string("(-1)") : std::string("(0)"); };
        std::vector<std::string> switches(chart.calls.begin(), chart.calls.begin() + 4);
        EXPECT_EQ(
            std::vector<std::string>({"EnableObsOutsideSpecsEvent" + text(flags[0]),
                                      "EnableRunsViolationEvent" + text(flags[1]),
                                      "EnableSampleOutOfControlEvent" + text(flags[2]),
                                      "EnableSampleOutsideWarningLimitsEvent" + text(flags[3])}),
            switches);
    }
}

// The chart run raises every kind of alarm, and a cancel query, while Launch runs.
TEST_F(Runner, OnlyTheWantedKindsReachTheHandlers) {
    SwitchAllAlarmsOn();
    AddSamples({L"S1", L"S2", L"S3"});
    wanted = {"runs violation"};
    SafeArray labels = SafeArray::OfBstrs({L"S2"});
    SafeArray keys = SafeArray::OfBstrs({L"k"});
    SafeArray last = SafeArray::OfBstrs({L"S3"});
    SafeArray observations = SafeArray::OfInts({1});
    SafeArray tests = SafeArray::OfInts({2});
    std::vector<HRESULT> answers;
    VARIANT_BOOL cancel = VARIANT_TRUE;
    chart.onLaunch = [&] {
        ChartEventsPoint& events = chart.events;
        answers.push_back(events.RunStarted());
        answers.push_back(events.SampleOutOfControl(labels.get(), keys.get(), false, 3));
        answers.push_back(events.SampleOutsideWarningLimits(labels.get(), keys.get(), false, 3));
        answers.push_back(
            events.ObsOutsideSpecs(labels.get(), keys.get(), observations.get(), false, 0));
        answers.push_back(events.RunsViolation(labels.get(), keys.get(), last.get(), keys.get(),
                                               tests.get(), false, 0));
        answers.push_back(events.QueryCancel(&cancel));
        answers.push_back(events.RunCompleted(3));
    };

    EXPECT_TRUE(Run());

    EXPECT_EQ(VARIANT_TRUE, chart.obsOutsideSpecsEvent);
    EXPECT_EQ(VARIANT_TRUE, chart.runsViolationEvent);
    EXPECT_EQ(VARIANT_TRUE, chart.sampleOutOfControlEvent);
    EXPECT_EQ(VARIANT_TRUE, chart.sampleOutsideWarningLimitsEvent);
    EXPECT_EQ(std::vector<HRESULT>(7, S_OK), answers);
    EXPECT_EQ(VARIANT_FALSE, cancel) << "the module has no stop event";
    ASSERT_EQ(std::vector<std::wstring>{L"RunsViolation"}, AlarmTypes());
    EXPECT_EQ(std::wstring(L"S2 - S3"), state.m_alarms[0].sampleId);
    EXPECT_EQ(2u, chart.Count("FindSample")) << "no other event located a sample";
    EXPECT_EQ(0u, labels.LockCount() + keys.LockCount() + last.LockCount());
}

TEST_F(Runner, TheStopEventCancelsTheRunFromTheChartServersQuery) {
    module.m_hStopEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    chart.onLaunch = [&] { chart.events.QueryCancel(&cancel); };
    EXPECT_TRUE(Run());
    EXPECT_EQ(VARIANT_TRUE, cancel);
}

TEST_F(Runner, HandshakeErrorsAreRetriedEvery200MsWhileTheChartEngineStarts) {
    app.FailFirst("Analysis", kNotReady, "Bad Encryption HANDSHAKE (chart engine)", 3);
    EXPECT_TRUE(Run());
    EXPECT_EQ(4u, app.Count("Analysis"));
    EXPECT_EQ(std::vector<DWORD>(3, 200), FakeClock::sleeps);
    EXPECT_TRUE(module.Messages("ERROR").empty());
}

TEST_F(Runner, AfterTwentySecondsOneLastAttemptDecides) {
    app.Fail("Analysis", kNotReady, "bad encryption handshake");
    auto [hr, description] = RunFailure();
    EXPECT_EQ(kNotReady, hr);
    EXPECT_EQ("Launch IQC chart [bad encryption handshake]", description);
    EXPECT_EQ(101u, app.Count("Analysis")) << "every 200 ms from 0 to 19800, then the last";
    EXPECT_EQ(std::vector<DWORD>(100, 200), FakeClock::sleeps);
    EXPECT_TRUE(analysis.calls.empty());
    EXPECT_EQ(Strings({"Exception detected in [RunDashboardProcess2] while doing [Launch IQC "
                       "chart]; Error code 0x80040200, [bad encryption handshake]"}),
              module.Messages("ERROR"));
    EXPECT_EQ(0u, app.RefCount());
    EXPECT_EQ(1u, sheet.RefCount());
}

TEST_F(Runner, TheDeadlineIsTimeNotAttempts) {
    // A slow engine: every pause takes 7 s, so attempts start at 0, 7 and 14 s.
    FakeClock::step = 7000;
    app.FailFirst("Analysis", kNotReady, "bad encryption handshake", 3);
    EXPECT_TRUE(Run()) << "the last attempt, made without the guard, succeeds";
    EXPECT_EQ(4u, app.Count("Analysis"));
    EXPECT_EQ(3u, FakeClock::sleeps.size());
}

TEST_F(Runner, OtherErrorsAreNotRetried) {
    struct Case {
        HRESULT hr;
        const char* description;
        std::string expected;
    } cases[] = {
        {kNotReady, "licence expired", "Launch IQC chart [licence expired]"},
        {static_cast<HRESULT>(0x80040201), "bad encryption handshake",
         "Launch IQC chart [bad encryption handshake]"},
        {kNotReady, nullptr,
         std::string("Launch IQC chart [") + _com_error(kNotReady).ErrorMessage() + "]"},
    };
    for (const Case& c : cases) {
        FakeApplication fresh;
        fresh.analysis = &analysis;
        fresh.Fail("Analysis", c.hr, c.description);
        auto [hr, description] = ComErrorOf(
            [&] { RunDashboardProcess2(module, fresh.Ptr(), sheet.Ptr(), "p.qcp", specs); });
        EXPECT_EQ(c.hr, hr);
        EXPECT_EQ(c.expected, description);
        EXPECT_EQ(1u, fresh.Count("Analysis")) << c.expected;
        EXPECT_EQ(0u, fresh.RefCount());
    }
    EXPECT_TRUE(FakeClock::sleeps.empty());
}

TEST_F(Runner, AnEmptyAnswerLeadsStraightToOneMoreAttempt) {
    app.emptyAnswers = 1;
    EXPECT_TRUE(Run());
    EXPECT_EQ(2u, app.Count("Analysis"));
    EXPECT_TRUE(FakeClock::sleeps.empty());

    // With nothing on the last attempt either, there is no analysis to run.
    app.emptyAnswers = 2;
    app.calls.clear();
    EXPECT_EQ(E_POINTER, RunFailure().first);
    EXPECT_EQ(2u, app.Count("Analysis"));
    EXPECT_TRUE(FakeClock::sleeps.empty());
}

TEST_F(Runner, ANullApplicationOrSpreadsheet) {
    EXPECT_EQ(E_POINTER, ComErrorOf([&] {
                             RunDashboardProcess2(module, nullptr, sheet.Ptr(), "p.qcp", specs);
                         }).first);
    EXPECT_TRUE(FakeClock::sleeps.empty());

    // The application is handed a null spreadsheet as it comes and decides itself.
    EXPECT_TRUE(RunDashboardProcess2(module, app.Ptr(), nullptr, "p.qcp", specs));
    EXPECT_EQ(VT_DISPATCH, app.dataTypes.back());
    EXPECT_EQ(nullptr, app.dataObjects.back());
}

TEST_F(Runner, ANullProjectFileIsAnEmptyPath) {
    EXPECT_TRUE(Run(nullptr));
    ASSERT_EQ(3u, dialog.puts.size());
    EXPECT_EQ(VT_BSTR, V_VT(&dialog.puts[2].value));
    ASSERT_NE(nullptr, V_BSTR(&dialog.puts[2].value));
    EXPECT_EQ(0u, ::SysStringLen(V_BSTR(&dialog.puts[2].value)));
}

// What the run had obtained before a failure is released; nothing after it is called.
struct RunnerFailure : QCRun {
    void ExpectStoppedBefore(const std::string& call) {
        EXPECT_EQ(0u, app.RefCount());
        EXPECT_EQ(0u, analysis.RefCount());
        EXPECT_EQ(0u, dialog.RefCount());
        EXPECT_EQ(0u, chart.events.RefCount());
        EXPECT_EQ(1u, sheet.RefCount());
        for (const std::string& made : journal)
            EXPECT_NE(call, made.substr(0, made.find('('))) << "called after the failure";
        EXPECT_TRUE(chart.launches.empty());
        EXPECT_EQ(Strings({"Enter  RunDashboardProcess2", "Exit   RunDashboardProcess2"}),
                  module.Messages("TRACE"));
        ASSERT_EQ(1u, module.Messages("ERROR").size());
    }
};

TEST_F(RunnerFailure, DialogFailuresCarryTheirMessage) {
    dialog.Fail("PropertyPut(AutoUpdateMode)", DISP_E_TYPEMISMATCH);
    // What an earlier failure left on the thread is not this one's.
    ::SetErrorInfo(0, MakeErrorInfo("an earlier failure"));
    EXPECT_EQ(std::make_pair(DISP_E_TYPEMISMATCH,
                             std::string("Launch IQC chart [Failed to set AutoUpdateMode]")),
              RunFailure());
    ExpectStoppedBefore("Run");
    EXPECT_EQ(0u, dialog.Count("GetIDsOfNames(MakeDefaultSummaryChart)"));
}

TEST_F(RunnerFailure, TheDialogsOwnErrorInformationWins) {
    dialog.Fail("PropertyPut(MakeDefaultSummaryChart)", E_ACCESSDENIED, "Dialog is read-only");
    EXPECT_EQ(std::make_pair(E_ACCESSDENIED, std::string("Launch IQC chart [Dialog is read-only]")),
              RunFailure());
    ExpectStoppedBefore("Run");
}

TEST_F(RunnerFailure, AnUnknownPropertyNameFailsItsLookup) {
    dialog.properties = {L"AutoUpdateMode", L"MakeDefaultSummaryChart", L"ChartServer"};
    EXPECT_EQ(std::make_pair(DISP_E_UNKNOWNNAME,
                             std::string("Launch IQC chart [Failed to set DropProjectFile]")),
              RunFailure());
    ExpectStoppedBefore("Run");
}

TEST_F(RunnerFailure, ADialogWithoutChartServer) {
    dialog.Fail("PropertyGet(ChartServer)", DISP_E_MEMBERNOTFOUND);
    ::SetErrorInfo(0, MakeErrorInfo("an earlier failure"));
    EXPECT_EQ(std::make_pair(DISP_E_MEMBERNOTFOUND,
                             std::string("Launch IQC chart [Failed to get ChartServer object from "
                                         "QC analysis dialog object]")),
              RunFailure());
    ExpectStoppedBefore("EnableObsOutsideSpecsEvent");
}

TEST_F(RunnerFailure, TheChartServerMustGiveTheChartInterface) {
    // The dialog itself is an object, but no chart server.
    dialog.value = static_cast<IDispatch*>(&dialog);
    EXPECT_EQ(std::make_pair(E_NOINTERFACE,
                             std::string("Launch IQC chart [Failed to get _IQCVCharts interface]")),
              RunFailure());
    dialog.value.Clear();
    ExpectStoppedBefore("EnableObsOutsideSpecsEvent");
}

TEST_F(RunnerFailure, NoChartServerAtAll) {
    dialog.value = static_cast<IUnknown*>(nullptr);
    EXPECT_EQ(std::make_pair(E_FAIL,
                             std::string("Launch IQC chart [Failed to get _IQCVCharts interface]")),
              RunFailure());
    ExpectStoppedBefore("EnableObsOutsideSpecsEvent");
}

TEST_F(RunnerFailure, AChartServerThatIsNoObject) {
    dialog.value = L"chart";
    EXPECT_EQ(DISP_E_TYPEMISMATCH, RunFailure().first);
    ExpectStoppedBefore("EnableObsOutsideSpecsEvent");
}

TEST_F(RunnerFailure, ASwitchThatFailsEndsTheRun) {
    chart.Fail("EnableRunsViolationEvent", E_INVALIDARG, "runs tests not configured");
    EXPECT_EQ(
        std::make_pair(E_INVALIDARG, std::string("Launch IQC chart [runs tests not configured]")),
        RunFailure());
    ExpectStoppedBefore("EnableSampleOutOfControlEvent");
    EXPECT_EQ(0u, chart.Count("FindConnectionPoint"));
}

TEST_F(RunnerFailure, AChartServerWithoutConnectionPointsIsNotLaunched) {
    chart.offersConnectionPoints = false;
    ::SetErrorInfo(0, MakeErrorInfo("an earlier failure"));
    EXPECT_EQ(std::make_pair(E_NOINTERFACE, std::string("Launch IQC chart [Failed to connect "
                                                        "event sink to IQCVChartsEvents]")),
              RunFailure());
    ExpectStoppedBefore("Launch");
    EXPECT_TRUE(chart.events.Sinks().empty());
}

TEST_F(RunnerFailure, AFailedAdviseIsNotLaunched) {
    chart.events.Fail("Advise", CONNECT_E_ADVISELIMIT, "too many sinks");
    EXPECT_EQ(
        std::make_pair(CONNECT_E_ADVISELIMIT, std::string("Launch IQC chart [too many sinks]")),
        RunFailure());
    ExpectStoppedBefore("Launch");
    EXPECT_TRUE(chart.events.Sinks().empty());
}

TEST_F(RunnerFailure, NoConnectionPointForTheEvents) {
    chart.Fail("FindConnectionPoint", CONNECT_E_NOCONNECTION);
    EXPECT_EQ(CONNECT_E_NOCONNECTION, RunFailure().first);
    ExpectStoppedBefore("Launch");
}

TEST_F(RunnerFailure, AFailedLaunchLeavesTheSinkConnected) {
    chart.Fail("Launch", E_ABORT, "chart window closed");
    EXPECT_EQ(std::make_pair(E_ABORT, std::string("Launch IQC chart [chart window closed]")),
              RunFailure());
    ASSERT_EQ(1u, chart.events.Sinks().size());
    EXPECT_EQ(1u, References(chart.events.Sinks()[0]));
    EXPECT_EQ(0u, analysis.RefCount());
}

TEST_F(RunnerFailure, AFailedRunStopsBeforeTheChartServer) {
    analysis.Fail("Run", E_FAIL, "No data in the spreadsheet");
    EXPECT_EQ(std::make_pair(E_FAIL, std::string("Launch IQC chart [No data in the spreadsheet]")),
              RunFailure());
    ExpectStoppedBefore("PropertyGet");
}

TEST(RunnerTrace, WithoutALogTheRunIsTracedToTheEventLog) {
    EventLogRecorder events;
    FakeApplication app;
    TestModule module;
    FakeSpreadsheet sheet;
    std::vector<std::string> wanted;
    CSpecManager specs(sheet.Ptr(), wanted, 1, 0, false, 0.0, nullptr);
    EXPECT_THROW(RunDashboardProcess2(module, app.Ptr(), sheet.Ptr(), "p.qcp", specs), _com_error)
        << "the application gives no analysis";
    std::vector<ReportedEvent> traced = events.Events(EVENTLOG_INFORMATION_TYPE);
    ASSERT_EQ(2u, traced.size());
    const std::string ids = ". Process: " + std::to_string(::GetCurrentProcessId()) +
                            " Thread: " + std::to_string(::GetCurrentThreadId());
    EXPECT_EQ("Entered RunDashboardProcess2" + ids, traced[0].strings.at(0));
    EXPECT_EQ("Leaving RunDashboardProcess2" + ids, traced[1].strings.at(0));
}

} // namespace
} // namespace zavtest
