// The dashboard runner on the reference server's real charts and on the fakes' scripted steps, the
// chart event sink, and the property access by name that the runner reaches the dialog with.
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>

#include "RefServer.h"
#include "support/ComCheck.h"
#include "support/FakeQCRun.h"
#include "support/Steering.h"
#include "support/TestModule.h"
#include "qcrun/DispatchByName.h"
#include "support/SafeArrays.h"

using namespace zavtest;
using Strings = std::vector<std::string>;

// Four phase-I samples of two parts; then sample 5 above its X control limit with its second part
// above the upper specification limit, 6 above its R control limit, 7 between the X warning and
// control limits and, with 5, two of three beyond two sigma (runs test 3). The project switches
// every alarm kind on and the host wants some; the stop event cancels the last run at its first
// query.
TEST(Runner, RealChartRunsKeepTheAlarmsOfTheWantedKindsAndTheStopEventCancels) {
    TestModule module;
    const std::string csv = module.folder / "d.csv", qcp = module.folder / "d.qcp";
    WriteTextFile(csv, "Diameter\n9.95\n10.05\n9.9\n10.1\n9.95\n10.05\n9.9\n10.1\n10.5\n10.6\n"
                       "9.7\n10.3\n10.2\n10.25\n9.9\n10\n");
    WriteTextFile(qcp, "[GENERAL]\nChartOptAlarmOutOfSpecs=1\nChartOptAlarmRunsViolation=1\n"
                       "ChartOptAlarmOutOfControl=1\nChartOptAlarmOutOfWarning=1\nSampleVar=0\n"
                       "RunsTestInZoneA=1\n[REFSERVER]\nSubgroupSize=2\nObservationVar=Diameter\n"
                       "PhaseISamples=4\nLowerSpecLimit=9.5\nUpperSpecLimit=10.55\n");
    VELTRIUM::_SpreadsheetPtr sheet;
    VELTRIUM::_ApplicationPtr app;
    ASSERT_FALSE(OpenRefSpreadsheet(Wide(csv).c_str(), &sheet) | CreateRefApplication(0, &app));
    std::vector<std::string> wanted;
    CSpecManager specs(sheet, wanted, 1, 0, false, 0.0, nullptr);
    specs.Complie(&module, qcp.c_str(), nullptr);
    const std::pair<Strings, Strings> rows[] = {
        {{"out of control", "outside specs", "outside warning limits"},
         {"SampleOutOfControl|5", "ObsOutsideSpecs|5", "SampleOutOfControl|6",
          "SampleOutsideWarningLimits|7"}},
        {{"runs violation"}, {"RunsViolation|5 - 7"}},
        {{"runs violation"}, {}}};
    for (const auto& [kinds, kept] : rows) {
        wanted = kinds;
        CSpecManagerTestAccess::State(specs).m_alarms.clear();
        if (kept.empty())
            module.m_hStopEvent = ::CreateEventA(nullptr, FALSE, TRUE, nullptr);
        EXPECT_TRUE(RunDashboardProcess2(module, app, sheet, qcp.c_str(), specs));
        Strings records;
        for (const QCAlarm& alarm : CSpecManagerTestAccess::State(specs).m_alarms)
            records.push_back(Narrow(alarm.alarmType) + "|" + Narrow(alarm.sampleId));
        EXPECT_EQ(kept, records);
    }
}

// One fake run per row, without a project file: the calls in order (the application asked again
// while the chart engine starts) until the step that fails; the chart server told the
// CSpecManager's event switches, each in a pattern of its own over the rows; everything obtained
// released, the sink kept by the chart server alone once connected; the run traced in and out and
// one ERROR line for a failure, described by the object's own error information, never by what an
// earlier failure left on the thread. Time passes only when the runner sleeps: by the sleep, or by
// `step` for a slow engine.
TEST(Runner, CallsInOrderUntilAStepFailsWaitingOnlyForTheStartingChartEngine) {
    const HRESULT notReady = static_cast<HRESULT>(0x80040200);
    const char* handshake = "bad encryption handshake";
    const std::string pointer = _com_error(E_POINTER).ErrorMessage();
    // Who fails (p, d, a, c: the application, dialog, analysis, chart server; n: the application
    // answers nothing; u: the dialog knows no such property; o: the dialog gives the spreadsheet as
    // the chart server; x: the chart server has no connection points) which call, how and how
    // often, the step; the reason of the run's failure, the calls of Analysis, the sleeps. A
    // failure that is not scripted shows that the runner forgets what an earlier failure left on
    // the thread: a scripted failure without a text clears it itself.
    std::tuple<char, const char*, HRESULT, const char*, int, int, std::string, int, int> rows[] = {
        {' ', "", S_OK, nullptr, 0, 0, "", 1, 0},
        {'p', "Analysis", notReady, "Bad Encryption HANDSHAKE (engine)", 3, 0, "", 4, 3},
        {'p', "Analysis", notReady, handshake, 999, 0, handshake, 101, 100},
        {'p', "Analysis", notReady, handshake, 999, 7000, handshake, 4, 3},
        {'p', "Analysis", notReady, "licence expired", 1, 0, "licence expired", 1, 0},
        {'p', "Analysis", notReady + 1, handshake, 1, 0, handshake, 1, 0},
        {'n', "Analysis", E_POINTER, nullptr, 2, 0, pointer, 2, 0},
        {'u', "AutoUpdateMode", DISP_E_UNKNOWNNAME, "", 0, 0, "Failed to set AutoUpdateMode", 1, 0},
        {'d', "PropertyPut", E_ACCESSDENIED, "Read-only", 1, 0, "Read-only", 1, 0},
        {'a', "Run", E_FAIL, "No data", 1, 0, "No data", 1, 0},
        {'u', "ChartServer", DISP_E_UNKNOWNNAME, "", 0, 0,
         "Failed to get ChartServer object from QC analysis dialog object", 1, 0},
        {'o', "PropertyGet", E_NOINTERFACE, "", 0, 0, "Failed to get _IQCVCharts interface", 1, 0},
        {'x', "Warning", E_NOINTERFACE, "", 0, 0,
         "Failed to connect event sink to IQCVChartsEvents", 1, 0},
        {'c', "Launch", E_ABORT, "Chart closed", 1, 0, "Chart closed", 1, 0},
    };
    int pattern = 0;
    for (const auto& [who, call, hr, text, times, step, reason, analyses, sleeps] : rows) {
        SteeredTicks ticks;
        SteeredTicks::step = step;
        TestModule module("TRACE");
        FakeQCRun run;
        const bool on[] = {run.state.m_bProcessObsOutOfSpecs = ++pattern % 2 == 1,
                           run.state.m_bProcessRunsViolation = pattern % 4 > 1,
                           run.state.m_bProcessSampleOutOfControl = pattern % 8 > 3,
                           run.state.m_bProcessSampleOutsideWarningLimits = pattern > 7};
        auto v = [&](int i) { return on[i] ? "(-1) " : "(0) "; };
        std::istringstream journal(
            std::string("Analysis(3251) Dialog() GetIDsOfNames(AutoUpdateMode) "
                        "PropertyPut(AutoUpdateMode) GetIDsOfNames(MakeDefaultSummaryChart) "
                        "PropertyPut(MakeDefaultSummaryChart) GetIDsOfNames(DropProjectFile) "
                        "PropertyPut(DropProjectFile) Run() Dialog() GetIDsOfNames(ChartServer) "
                        "PropertyGet(ChartServer) EnableObsOutsideSpecsEvent") +
            v(0) + "EnableRunsViolationEvent" + v(1) + "EnableSampleOutOfControlEvent" + v(2) +
            "EnableSampleOutsideWarningLimitsEvent" + v(3) +
            "FindConnectionPoint() Advise() Launch(0)");
        const Strings calls{std::istream_iterator<std::string>(journal), {}};
        run.app.emptyAnswers = who == 'n' ? times : 0;
        if (who == 'o')
            run.dialog.value = static_cast<IDispatch*>(&run.sheet);
        for (std::wstring& name : run.dialog.properties)
            name += who == 'u' && call == Narrow(name) ? L"?" : L"";
        run.chart.offersConnectionPoints = who != 'x';
        ScriptedCalls* fakes[] = {&run.app, &run.dialog, &run.analysis, &run.chart};
        if (strchr("pdac", who))
            fakes[strchr("pdac", who) - "pdac"]->Fail(call, hr, text, 1, times);
        // What an earlier failure left on the thread, and calls that succeed but leave some.
        MakeErrorInfo("stale");
        run.analysis.Fail("Run", S_OK, "stale");
        run.chart.Fail("EnableSampleOutsideWarningLimitsEvent", S_OK, "stale");
        const bool failed = !reason.empty();
        const auto outcome =
            failed ? ComErrorOf([&] { run.Run(module, nullptr); })
                   : std::make_pair(run.Run(module, nullptr) ? S_OK : E_FAIL, std::string());
        const auto last = std::find_if(calls.begin(), calls.end(), [&](const std::string& made) {
            return made.find(failed ? call : "Launch") != std::string::npos;
        });
        const std::vector<FakeDialog::Put>& put = run.dialog.puts;
        const std::vector<IDispatch*> sinks = run.chart.Sinks();
        EXPECT_EQ(
            std::make_tuple(
                failed ? hr : S_OK, failed ? "Launch IQC chart [" + reason + "]" : "", analyses,
                std::vector<DWORD>(sleeps, 200), Strings(calls.begin(), last + 1), 2ul, true,
                last == calls.end() - 1, size_t(failed),
                Strings({"Enter  RunDashboardProcess2", "Exit   RunDashboardProcess2"})),
            std::make_tuple(
                outcome.first, outcome.second, run.app.Count("Analysis"), SteeredTicks::sleeps,
                Strings(run.journal.begin() + std::min<size_t>(analyses - 1, run.journal.size()),
                        run.journal.end()),
                run.app.RefCount() + run.analysis.RefCount() + run.dialog.RefCount() +
                    run.chart.RefCount() + run.sheet.RefCount(),
                put.size() < 3 || (V_BSTR(&put[2].value) && put[2].value == _variant_t(L"")),
                sinks.size() == 1 && sinks[0]->AddRef() == 2 && sinks[0]->Release() == 1,
                module.Messages("ERROR").size(), module.Messages("TRACE")));
    }
}

static volatile int g_zero = 0;
static int* volatile g_nowhere = nullptr;

// A sink for every alarm kind, advised to the fake chart server, on a thread prepared as a host
// prepares the thread that the chart server's events arrive on. Every event is answered, never
// thrown: a malformed one refused, one without alarms accepted, a failure inside the handler with
// its HRESULT and the thread's error information (none after an access violation).
TEST(Sink, AnswersEveryEventAndReportsEveryFailure) {
    TestModule module("TRACE");
    FakeQCRun run;
    CrashSandbox sandbox;
    PrepareExceptionHandling();
    run.SwitchAllAlarmsOn();
    IDispatchPtr sink(new CQCVChartSink(module, run.specs, true, true, true, true));
    DWORD cookie = 0;
    run.chart.Advise(sink, &cookie);
    void* out = nullptr;
    for (REFIID id : {IID_IUnknown, IID_IDispatch, __uuidof(VELIQCVChartsLib::IQCVChartsEvents)})
        EXPECT_TRUE(sink->QueryInterface(id, &out) == S_OK && out == sink.GetInterfacePtr());
    EXPECT_TRUE(sink->QueryInterface(IID_IConnectionPoint, &out) == E_NOINTERFACE &&
                out == sink.GetInterfacePtr() &&
                sink->QueryInterface(IID_IUnknown, nullptr) == E_POINTER);
    EXPECT_TRUE(sink->Release() == 4 && sink->Release() == 3 && sink->Release() == 2);

    SafeArray label = SafeArray::OfBstrs({L"S1"}), key = SafeArray::OfBstrs({L"k"}),
              numbers = SafeArray::OfInts({1});
    IErrorInfoPtr busyInfo = MakeErrorInfo("chart busy");
    const VARIANT chart = ObjectArgument(run.chart.Dispatch()), labels = ArrayArgument(label.get()),
                  keys = ArrayArgument(key.get()), no = BoolArgument(false), one = LongArgument(1);
    const std::vector<VARIANT> alarm = {chart, labels, keys, no, one};
    // The event, the failure in its handler, the answer and the error information left (for a
    // failure).
    const std::tuple<DISPID, std::vector<VARIANT>, std::function<void()>, HRESULT, const char*>
        rows[] = {
            {1, {ObjectArgument(&run.dialog), labels, keys, no, one}, {}, E_UNEXPECTED, ""},
            {4, {ObjectArgument(nullptr), labels, keys, labels, no, one}, {}, E_UNEXPECTED, ""},
            {3, alarm, {}, DISP_E_BADPARAMCOUNT, ""},
            {8, {chart, one}, {}, S_OK, ""},
            {0, {}, {}, DISP_E_MEMBERNOTFOUND, ""},
            {9, alarm, {}, DISP_E_MEMBERNOTFOUND, ""},
            {1, alarm, [&] { throw _com_error(E_ABORT, busyInfo, true); }, E_ABORT, "chart busy"},
            {1, alarm, [] { throw _com_error(E_ACCESSDENIED); }, E_ACCESSDENIED, "<none>"},
            {1, alarm, [] { throw shutdown_exception("Stop"); }, HRESULT(0xA0040602), "Stop"},
            {1, alarm, [] { throw std::runtime_error("Full"); }, E_FAIL, "Full"},
            {1, alarm, [] { throw 42; }, E_FAIL, "Unknown error"},
            {1, alarm, [] { *g_nowhere = 1; }, E_FAIL, "<none>"},
            {1, alarm, [] { g_zero = 1 / g_zero; }, E_FAIL, "Division By Zero"},
        };
    for (const auto& [id, arguments, fail, hr, info] : rows) {
        run.chart.onCall = [&](const std::string&) { fail(); };
        MakeErrorInfo("what an earlier failure left");
        EXPECT_EQ(hr, run.chart.RaiseEvent(id, arguments)) << id << info;
        EXPECT_TRUE(!*info || ThreadErrorDescription() == info) << info;
    }
    // A line each, but for the access violation, which the module is told of to decide; and the
    // crash report's line for the division.
    const Strings errors = module.Messages("ERROR");
    EXPECT_TRUE(errors.size() == 7 &&
                errors[6] == "Process dump was generated in [" + sandbox.ErrorsFolder() + "]");
    EXPECT_TRUE(module.fatalExceptions.size() == 1 &&
                module.fatalExceptions[0].where == "CQCVChartSink::Invoke" &&
                run.state.m_alarms.empty() && run.dialog.RefCount() == 0);

    // The event's exit trace cannot be written (the next day's file has no folder) and leaves the
    // log's error on the thread; the chart server still finds the event's error information.
    SteeredClock clock(MakeTime(2024, 3, 8, 12, 0, 0));
    run.chart.onCall = [&](const std::string&) {
        module.config.m_strLogPath = module.folder / "missing";
        clock.Set(MakeTime(2024, 3, 9, 0, 0, 1));
        throw std::runtime_error("Full");
    };
    EXPECT_EQ(E_FAIL, run.chart.RaiseEvent(1, alarm));
    EXPECT_EQ("Full", ThreadErrorDescription());
    run.chart.onCall = nullptr;

    // The cancel query only polls the stop event, whose signal an auto-reset event loses to the
    // first query (the real chart runs go on without a stop event).
    VARIANT_BOOL cancel = VARIANT_TRUE;
    auto query = [&] { return run.chart.QueryCancel(&cancel) == S_OK && cancel; };
    module.m_hStopEvent = ::CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_TRUE(query() && !query());

    // The reporters on their own, for a module without a log: to the debugger output.
    DebugOutput debugger;
    TestModule logless;
    CQCVChartSink::ReportComError(logless, E_ABORT, nullptr, nullptr);
    EXPECT_EQ("An error was detected in function [unknown]; Error Code: 0x80004004 Description: "
              "[Unknown error]\n",
              DebugOutput::text);

    // Property access by name (the runner's puts and gets show values put by value, gets without
    // arguments and the failures' HRESULTs): objects and arrays are offered by reference first,
    // and put by value when the property refuses that.
    const VARIANT list = ArrayArgument(numbers.get());
    const Strings offered = {"GetIDsOfNames(chartserver)", "PropertyPutRef(ChartServer)",
                             "PropertyPut(ChartServer)"};
    for (const auto& [value, takesReferences, calls] :
         {std::make_tuple(chart, false, offered), std::make_tuple(list, false, offered),
          std::make_tuple(chart, true, Strings(offered.begin(), offered.end() - 1))}) {
        run.dialog.calls.clear();
        run.dialog.takesReferences = takesReferences;
        EXPECT_EQ(S_OK, zav::SetPropertyByName(&run.dialog, L"chartserver", value));
        EXPECT_EQ(calls, run.dialog.calls);
        EXPECT_EQ(V_VT(&value), V_VT(&run.dialog.puts.back().value));
    }
    run.dialog.puts.clear();
    EXPECT_TRUE(run.chart.RefCount() == 1 && numbers.LockCount() == 0) << "values left as given";
}
