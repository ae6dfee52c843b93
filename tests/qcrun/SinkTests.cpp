#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "qcrun/QCRunFixture.h"
#include "support/EventLogRecorder.h"
#include "support/SafeArrays.h"

namespace zavtest {
namespace {

using VELIQCVChartsLib::IQCVChartsEvents;

volatile int g_zero = 0;
int* volatile g_badAddress = nullptr;

// Crash reports write their folder inside the test's own.
std::string g_commonAppData;
HRESULT WINAPI CommonAppData(HWND, int, HANDLE, DWORD, LPSTR path) {
    strcpy(path, g_commonAppData.c_str());
    return S_OK;
}

std::string g_debugOutput;
void WINAPI CatchDebugOutput(LPCSTR text) {
    g_debugOutput += text ? text : "<null>";
}

VARIANT ObjectArgument(IDispatch* object) {
    VARIANT argument;
    ::VariantInit(&argument);
    V_VT(&argument) = VT_DISPATCH;
    V_DISPATCH(&argument) = object;
    return argument;
}

// A sink on the chart server's connection point, with one sample of every kind of event.
struct Sink : QCRun {
    SafeArray labels = SafeArray::OfBstrs({L"S2"});
    SafeArray keys = SafeArray::OfBstrs({L"k"});
    SafeArray firstLabels = SafeArray::OfBstrs({L"S1"});
    SafeArray lastLabels = SafeArray::OfBstrs({L"S3"});
    SafeArray observations = SafeArray::OfInts({2});
    SafeArray tests = SafeArray::OfInts({4});
    TempDir scratch;
    ImportPatch folder{"SHELL32.dll", "SHGetFolderPathA", reinterpret_cast<void*>(&CommonAppData)};
    std::string crashCalls;

    void SetUp() override {
        QCRun::SetUp();
        PrepareExceptionHandling();
        SwitchAllAlarmsOn();
        AddSamples({L"S1", L"S2", L"S3"});
        g_commonAppData = scratch.path();
        crashCalls = scratch / "crashrpt-calls.txt";
        ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", crashCalls.c_str());
    }
    void TearDown() override { ::SetEnvironmentVariableA("ZAV_CRASHRPT_LOG", nullptr); }

    // A new sink advised to the chart server, which keeps the only reference.
    DWORD Connect(bool outOfControl, bool outsideWarningLimits, bool runsViolation,
                  bool outsideSpecs, CBaseZAVModule* host = nullptr) {
        auto sink = new CQCVChartSink(host ? *host : module, specs, outOfControl,
                                      outsideWarningLimits, runsViolation, outsideSpecs);
        DWORD cookie = 0;
        EXPECT_EQ(S_OK, chart.events.Advise(static_cast<IDispatch*>(sink), &cookie));
        return cookie;
    }

    HRESULT OutOfControl(long chartParts = 1, IDispatch* chartObject = nullptr) {
        return chart.events.SampleOutOfControl(labels.get(), keys.get(), true, chartParts,
                                               chartObject);
    }
    std::vector<HRESULT> RaiseEveryAlarm(IDispatch* chartObject = nullptr) {
        ChartEventsPoint& events = chart.events;
        return {OutOfControl(1, chartObject),
                events.SampleOutsideWarningLimits(labels.get(), keys.get(), true, 2, chartObject),
                events.RunsViolation(firstLabels.get(), keys.get(), lastLabels.get(), keys.get(),
                                     tests.get(), true, 7, chartObject),
                events.ObsOutsideSpecs(labels.get(), keys.get(), observations.get(), true, 7,
                                       chartObject)};
    }
    std::vector<std::string> CrashReportCalls() const {
        return SplitLines(ReadWholeFile(crashCalls));
    }
};

TEST_F(Sink, ReferencesAndInterfaces) {
    auto sink = new CQCVChartSink(module, specs, false, false, false, false);
    EXPECT_EQ(1u, sink->AddRef());
    void* out = nullptr;
    for (const IID& iid : {IID_IUnknown, IID_IDispatch, __uuidof(IQCVChartsEvents)}) {
        ASSERT_EQ(S_OK, sink->QueryInterface(iid, &out));
        EXPECT_EQ(static_cast<void*>(static_cast<IDispatch*>(sink)), out);
    }

    void* untouched = &out;
    out = untouched;
    for (const IID& iid : {IID_IConnectionPoint, IID_ISupportErrorInfo, IID_IErrorInfo}) {
        EXPECT_EQ(E_NOINTERFACE, sink->QueryInterface(iid, &out));
        EXPECT_EQ(untouched, out);
    }
    EXPECT_EQ(E_POINTER, sink->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(5u, sink->AddRef()) << "each query added one reference, a failed one none";

    UINT count = 77;
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&count);
    DISPID id = 77;
    OLECHAR name[] = L"SampleOutOfControl";
    LPOLESTR names[] = {name};
    EXPECT_EQ(E_NOTIMPL, sink->GetTypeInfoCount(&count));
    EXPECT_EQ(E_NOTIMPL, sink->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    EXPECT_EQ(E_NOTIMPL, sink->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(77u, count);
    EXPECT_EQ(reinterpret_cast<ITypeInfo*>(&count), info);
    EXPECT_EQ(77, id);
    for (ULONG left = 4; left > 0; --left)
        EXPECT_EQ(left, sink->Release());
    EXPECT_EQ(0u, sink->Release()) << "and the sink is gone";
}

TEST_F(Sink, EachAlarmEventReachesItsHandlerOnlyWhenItsFlagIsSet) {
    const wchar_t* kinds[] = {L"SampleOutOfControl", L"SampleOutsideWarningLimits",
                              L"RunsViolation", L"ObsOutsideSpecs"};
    for (int wantedKind = 0; wantedKind < 4; ++wantedKind) {
        state.m_alarms.clear();
        DWORD cookie = Connect(wantedKind == 0, wantedKind == 1, wantedKind == 2, wantedKind == 3);
        EXPECT_EQ(std::vector<HRESULT>(4, S_OK), RaiseEveryAlarm());
        EXPECT_EQ(std::vector<std::wstring>{kinds[wantedKind]}, AlarmTypes());
        EXPECT_EQ(S_OK, chart.events.Unadvise(cookie));
    }
    EXPECT_EQ(0u, labels.LockCount() + keys.LockCount() + observations.LockCount());
    EXPECT_EQ(1u, chart.RefCount()) << "the dialog's reference only";
}

TEST_F(Sink, TheArgumentsArriveInTheirDeclaredOrder) {
    Connect(true, true, true, true);
    // The chart parts (the last argument) choose the records: both charts, then R only.
    EXPECT_EQ(S_OK, OutOfControl(3));
    EXPECT_EQ(S_OK, OutOfControl(2));
    ASSERT_EQ(3u, state.m_alarms.size());
    EXPECT_EQ(std::wstring(L"S2"), state.m_alarms[0].sampleId);
    EXPECT_NE(std::wstring(state.m_alarms[0].description), state.m_alarms[1].description);
    EXPECT_EQ(std::wstring(state.m_alarms[1].description), state.m_alarms[2].description);

    state.m_alarms.clear();
    EXPECT_EQ(S_OK, chart.events.RunsViolation(firstLabels.get(), keys.get(), lastLabels.get(),
                                               keys.get(), tests.get(), false, 0));
    ASSERT_EQ(1u, state.m_alarms.size());
    EXPECT_EQ(std::wstring(L"S1 - S3"), state.m_alarms[0].sampleId);

    // Observation 2 of S2, whose first case is 3.
    sheet.calls.clear();
    EXPECT_EQ(S_OK,
              chart.events.ObsOutsideSpecs(labels.get(), keys.get(), observations.get(), false, 0));
    EXPECT_EQ(1u, sheet.Count("CellValue(4,3)"));
}

TEST_F(Sink, AChartObjectThatIsNoChartServer) {
    // Clear flags never look at the chart object.
    Connect(false, false, false, false);
    EXPECT_EQ(std::vector<HRESULT>(4, S_OK), RaiseEveryAlarm(&dialog));
    EXPECT_EQ(S_OK, chart.events.Unadvise(1));

    Connect(true, true, true, true);
    EXPECT_EQ(std::vector<HRESULT>(4, E_UNEXPECTED), RaiseEveryAlarm(&dialog));
    EXPECT_EQ(E_UNEXPECTED,
              chart.events.Raise(VELIQCVChartsLib::DISPID_SampleOutOfControl,
                                 {ObjectArgument(nullptr), ArrayArgument(labels.get()),
                                  ArrayArgument(keys.get()), BoolArgument(true), LongArgument(1)}));
    EXPECT_TRUE(state.m_alarms.empty());
    EXPECT_EQ(0u, chart.Count("FindSample"));
    EXPECT_EQ(0u, dialog.RefCount());
}

TEST_F(Sink, AnAlarmEventWithTooFewArgumentsIsRefused) {
    Connect(true, true, true, true);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT,
              chart.events.Raise(VELIQCVChartsLib::DISPID_RunsViolation,
                                 {ObjectArgument(&chart), ArrayArgument(firstLabels.get())}));
    EXPECT_TRUE(state.m_alarms.empty());
}

TEST_F(Sink, TheCancelQueryPollsTheStopEvent) {
    Connect(false, false, false, false);
    VARIANT_BOOL cancel = VARIANT_TRUE;
    EXPECT_EQ(S_OK, chart.events.QueryCancel(&cancel));
    EXPECT_EQ(VARIANT_FALSE, cancel) << "no stop event";

    // Auto-reset: each wait that finds it signalled also takes the signal.
    module.m_hStopEvent = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(S_OK, chart.events.QueryCancel(&cancel));
    EXPECT_EQ(VARIANT_FALSE, cancel) << "not signalled";

    ::SetEvent(module.m_hStopEvent);
    EXPECT_EQ(S_OK, chart.events.QueryCancel(&cancel));
    EXPECT_EQ(VARIANT_TRUE, cancel);

    // Another type of argument gets nothing, but the wait is made all the same.
    ::SetEvent(module.m_hStopEvent);
    long number = 5;
    VARIANT byRefLong;
    ::VariantInit(&byRefLong);
    V_VT(&byRefLong) = VT_BYREF | VT_I4;
    V_I4REF(&byRefLong) = &number;
    EXPECT_EQ(S_OK, chart.events.Raise(VELIQCVChartsLib::DISPID_QueryCancel, {byRefLong}));
    EXPECT_EQ(5, number);
    EXPECT_EQ(S_OK, chart.events.QueryCancel(&cancel));
    EXPECT_EQ(VARIANT_FALSE, cancel) << "the first query took the signal";

    ::SetEvent(module.m_hStopEvent);
    VARIANT byValue = BoolArgument(false);
    EXPECT_EQ(S_OK, chart.events.Raise(VELIQCVChartsLib::DISPID_QueryCancel, {byValue}));
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(&byValue));
}

TEST_F(Sink, EventsWithoutAlarmsAndUnknownDispids) {
    Connect(true, true, true, true);
    EXPECT_EQ(S_OK, chart.events.SampleAdded(4));
    EXPECT_EQ(S_OK, chart.events.RunStarted());
    EXPECT_EQ(S_OK, chart.events.RunCompleted(9));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, chart.events.Raise(0, {}));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, chart.events.Raise(9, {}));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, chart.events.Raise(-1, {}));
    EXPECT_TRUE(state.m_alarms.empty());
    std::vector<std::string> traces = module.Messages("TRACE");
    ASSERT_EQ(12u, traces.size()) << "every call is traced in and out";
    EXPECT_EQ("Enter  CQCVChartSink::Invoke", traces[10]);
    EXPECT_EQ("Exit   CQCVChartSink::Invoke", traces[11]);
}

// Each kind of failure inside a handler, as the chart server sees it and as the log keeps it.
TEST_F(Sink, FailuresAnswerWithAnHresultAndErrorInformation) {
    IErrorInfoPtr ownInfo = MakeErrorInfo("chart busy");
    ::SetErrorInfo(0, nullptr);
    struct Case {
        const char* name;
        std::function<void()> fail;
        HRESULT expected;
        std::string info;
        std::string logged;
    } cases[] = {
        {"COM error", [&] { throw _com_error(0x80040207, ownInfo, true); },
         static_cast<HRESULT>(0x80040207), "chart busy",
         "HRESULT = 0x80040207 Description = [chart busy]"},
        {"COM error without information", [] { throw _com_error(E_ACCESSDENIED); }, E_ACCESSDENIED,
         "<none>", "HRESULT = 0x80070005 Description = [Unknown error]"},
        {"shutdown", [] { throw shutdown_exception("Service stopping"); },
         static_cast<HRESULT>(0xA0040602), "Service stopping",
         "HRESULT = 0xA0040602 Description = [Service stopping]"},
        {"standard exception", [] { throw std::runtime_error("Queue full"); }, E_FAIL, "Queue full",
         "HRESULT = 0x80004005 Description = [Queue full]"},
        {"anything else", [] { throw 42; }, E_FAIL, "Unknown error",
         "HRESULT = 0x80004005 Description = [Unknown error]"},
    };
    Connect(true, true, true, true);
    for (const Case& c : cases) {
        chart.onCall = [&](const std::string& call) {
            if (call.rfind("FindSample", 0) == 0)
                c.fail();
        };
        ::SetErrorInfo(0, MakeErrorInfo("stale"));
        EXPECT_EQ(c.expected, OutOfControl()) << c.name;
        if (c.info == "chart busy") {
            IErrorInfo* raw = nullptr;
            ASSERT_EQ(S_OK, ::GetErrorInfo(0, &raw));
            EXPECT_EQ(ownInfo.GetInterfacePtr(), raw) << "the error's own information";
            raw->Release();
        } else {
            EXPECT_EQ(c.info, ThreadErrorDescription()) << c.name;
        }
        EXPECT_EQ("Exception detected in CQCVChartSink::Invoke. " + c.logged,
                  module.Messages("ERROR").back())
            << c.name;
    }
    EXPECT_EQ(std::size(cases), module.Messages("ERROR").size());
    EXPECT_TRUE(state.m_alarms.empty());
    EXPECT_EQ(0u, labels.LockCount() + keys.LockCount());
    EXPECT_TRUE(module.fatalExceptions.empty());
    EXPECT_TRUE(CrashReportCalls().empty());
    EXPECT_EQ(2 * std::size(cases), module.Messages("TRACE").size());
}

TEST_F(Sink, AnAccessViolationIsToldToTheModule) {
    Connect(true, true, true, true);
    chart.onCall = [](const std::string&) { *g_badAddress = 1; };
    ::SetErrorInfo(0, MakeErrorInfo("stale"));
    EXPECT_EQ(E_FAIL, OutOfControl());
    EXPECT_EQ("<none>", ThreadErrorDescription());
    ASSERT_EQ(1u, module.fatalExceptions.size());
    EXPECT_EQ(E_FAIL, module.fatalExceptions[0].hr);
    EXPECT_EQ("CQCVChartSink::Invoke", module.fatalExceptions[0].where);
    EXPECT_TRUE(module.Messages("ERROR").empty()) << "the module decides what to log";
    EXPECT_TRUE(CrashReportCalls().empty());
}

// The chart server delivers events on a thread of its own that the host prepared.
TEST_F(Sink, ADivisionByZeroInAHandlerIsReportedWithACrashReport) {
    Connect(true, true, true, true);
    chart.onCall = [](const std::string& call) {
        if (call.rfind("FindSample", 0) == 0) {
            volatile int quotient = 1 / g_zero;
            (void)quotient;
        }
    };
    HRESULT answer = S_OK;
    std::string info;
    std::thread deliverer([&] {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        PrepareExceptionHandling();
        answer = OutOfControl();
        info = ThreadErrorDescription();
        ::CoUninitialize();
    });
    deliverer.join();

    EXPECT_EQ(E_FAIL, answer);
    EXPECT_EQ("Division By Zero", info);
    std::vector<std::string> calls = CrashReportCalls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(0u, calls[0].rfind("StackTrace 0 9999 ", 0));
    EXPECT_NE(std::string::npos, calls[1].find(" c0000094 [Division By Zero]")) << calls[1];
    EXPECT_EQ(Strings({"Exception detected in CQCVChartSink::Invoke. HRESULT = 0x80004005 "
                       "Description = [Division By Zero]",
                       "Process dump was generated in [" + scratch.path() + "\\Veltrium\\Errors]"}),
              module.Messages("ERROR"));
    EXPECT_TRUE(module.fatalExceptions.empty());
    EXPECT_EQ(0u, labels.LockCount() + keys.LockCount());
}

TEST_F(Sink, WithoutALogAFailureGoesToTheDebuggerOutput) {
    EventLogRecorder events;
    ImportPatch debugOutput("KERNEL32.dll", "OutputDebugStringA",
                            reinterpret_cast<void*>(&CatchDebugOutput));
    g_debugOutput.clear();
    TestModule host;
    Connect(true, true, true, true, &host);
    chart.onCall = [](const std::string&) { throw std::runtime_error("Queue full"); };
    EXPECT_EQ(E_FAIL, OutOfControl());
    EXPECT_EQ("An error was detected in function CQCVChartSink::Invoke; Error Code: 0x80004005 "
              "Description: [Queue full]\n",
              g_debugOutput);
    std::vector<ReportedEvent> traced = events.Events(EVENTLOG_INFORMATION_TYPE);
    ASSERT_EQ(2u, traced.size());
    EXPECT_EQ(0u, traced[0].strings.at(0).rfind("Entered CQCVChartSink::Invoke. Process: ", 0));
    EXPECT_EQ(0u, traced[1].strings.at(0).rfind("Leaving CQCVChartSink::Invoke. Process: ", 0));
    EXPECT_TRUE(events.Events(EVENTLOG_ERROR_TYPE).empty());
    chart.events.Unadvise(1);
}

TEST_F(Sink, TheReportersOnTheirOwn) {
    EXPECT_TRUE(CQCVChartSink::ReportError(module, E_ABORT, "Stopped", "Somewhere"));
    EXPECT_EQ("Exception detected in Somewhere. HRESULT = 0x80004004 Description = [Stopped]",
              module.Messages("ERROR").back());

    ICreateErrorInfoPtr created;
    ASSERT_EQ(S_OK, ::CreateErrorInfo(&created));
    IErrorInfoPtr undescribed(created);
    CQCVChartSink::ReportComError(module, E_ABORT, undescribed, "Here");
    EXPECT_EQ("Exception detected in Here. HRESULT = 0x80004004 Description = [Unknown error]",
              module.Messages("ERROR").back());
    CQCVChartSink::ReportComError(module, E_ABORT, nullptr, nullptr);
    EXPECT_EQ("Exception detected in [unknown]. HRESULT = 0x80004004 Description = [Unknown "
              "error]",
              module.Messages("ERROR").back());
    CQCVChartSink::ReportComError(module, E_ABORT, MakeErrorInfo("Ärger"), "There");
    EXPECT_EQ("Exception detected in There. HRESULT = 0x80004004 Description = [Ärger]",
              module.Messages("ERROR").back());

    ImportPatch debugOutput("KERNEL32.dll", "OutputDebugStringA",
                            reinterpret_cast<void*>(&CatchDebugOutput));
    g_debugOutput.clear();
    TestModule host;
    EXPECT_FALSE(CQCVChartSink::ReportError(host, 1, nullptr, "Elsewhere"));
    EXPECT_EQ("An error was detected in function Elsewhere; Error Code: 0x1 Description: []\n",
              g_debugOutput);
}

} // namespace
} // namespace zavtest
