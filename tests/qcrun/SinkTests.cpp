// The chart event sink on the fake chart server's connection point (the real chart runs of
// RunnerTests bring each alarm kind to its handler with its arguments), and the property access
// by name that the runner reaches the analysis dialog with.
#include <gtest/gtest.h>

#include "qcrun/DispatchByName.h"
#include "support/ComCheck.h"
#include "support/FakeQCRun.h"
#include "support/SafeArrays.h"
#include "support/Steering.h"
#include "support/TestModule.h"

using namespace zavtest;
using Strings = std::vector<std::string>;
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

    // A trace line that cannot be written raises a COM error of its own on the way out of the
    // event; the chart server still finds the event's error information.
    delete std::exchange(module.m_pLogFile, nullptr);
    module.config.m_strLogPath = module.folder / "missing";
    module.m_pLogFile = new CLogFile(module.config, &module);
    run.chart.onCall = [](const std::string&) { throw std::runtime_error("Full"); };
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
