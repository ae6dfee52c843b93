// The chart server's connection point and the events of a run, checked argument by argument
// the way the library's sink reads them.
#include <gtest/gtest.h>

#include <ocidl.h>

#include "RefServerSupport.h"
#include "support/Printers.h"

_COM_SMARTPTR_TYPEDEF(IEnumConnectionPoints, __uuidof(IEnumConnectionPoints));
_COM_SMARTPTR_TYPEDEF(IEnumConnections, __uuidof(IEnumConnections));

using namespace reftest;
using namespace VELIQCVChartsLib;

namespace {

// The XBar & R data of the chart tests (eight subgroups of five, phase I = four), with
// specification limits [9.5, 13.5]. Expected, per sample (hand computation in ChartTests.cpp;
// sigma of a mean 0.480668, zone A beyond 11 -+ 0.961336):
//   S1 observation 5 (9) below the lower specification limit          -> ObsOutsideSpecs
//   S5 mean 13 above the X control limit; observation 5 (14) above USL -> OutOfControl X, Obs
//   S6 R 6 above its control limit, mean 12.2 between X warning and control limits; S5 and S6
//      both in zone A or beyond: 2 of 3 (test 3); observation 5 (17) above USL
//                                                  -> OutOfControl R, Warning X, Runs, Obs
//   S7 R 0 below the lower R warning limit                             -> Warning R
std::string Data() {
    const char* values[] = {"10", "12", "11", "13", "9",  "11", "11", "12", "10", "11",
                            "12", "10", "11", "11", "11", "10", "11", "12", "11", "11",
                            "13", "13", "12", "13", "14", "11", "11", "11", "11", "17",
                            "11", "11", "11", "11", "11", "10", "11", "12", "11", "11"};
    std::string csv = "Part,Diameter\n";
    for (size_t i = 0; i < std::size(values); ++i)
        csv += std::to_string(i + 1) + "," + values[i] + "\n";
    return csv;
}

const char kProject[] = "[GENERAL]\n"
                        "RunsTestInZoneA=1\n"
                        "[REFSERVER]\n"
                        "ObservationVar=Diameter\n"
                        "SubgroupSize=5\n"
                        "PhaseISamples=4\n"
                        "LowerSpecLimit=9.5\n"
                        "UpperSpecLimit=13.5\n";

void EnableAll(const _IQCVChartsPtr& s, bool on = true) {
    VARIANT_BOOL value = on ? VARIANT_TRUE : VARIANT_FALSE;
    s->PutEnableObsOutsideSpecsEvent(value);
    s->PutEnableRunsViolationEvent(value);
    s->PutEnableSampleOutOfControlEvent(value);
    s->PutEnableSampleOutsideWarningLimitsEvent(value);
}

std::vector<std::wstring> Texts(std::initializer_list<const wchar_t*> texts) {
    return std::vector<std::wstring>(texts.begin(), texts.end());
}

const VARTYPE kTexts = VT_ARRAY | VT_BSTR;
const VARTYPE kNumbers = VT_ARRAY | VT_I4;

} // namespace

TEST(ChartEvents, ARunRaisesEachAlarmWithTheArraysTheLibraryReads) {
    Chart chart(Data(), kProject);
    EnableAll(chart.server);
    RecordingSink sink;
    Connect(chart.server, &sink);
    EXPECT_EQ(S_OK, chart.server->raw_Launch(0));

    EXPECT_TRUE(sink.problems.empty()) << sink.problems.front();
    std::vector<DISPID> expected = {DISPID_RunStarted,
                                    DISPID_ObsOutsideSpecs, // S1
                                    DISPID_SampleOutOfControl,
                                    DISPID_ObsOutsideSpecs, // S5
                                    DISPID_SampleOutOfControl,
                                    DISPID_SampleOutsideWarningLimits,
                                    DISPID_RunsViolation,
                                    DISPID_ObsOutsideSpecs,            // S6
                                    DISPID_SampleOutsideWarningLimits, // S7
                                    DISPID_RunCompleted};
    EXPECT_EQ(expected, sink.Ids());
    EXPECT_EQ(7, sink.queries) << "asked between the eight samples";

    for (const Event& e : sink.events)
        EXPECT_EQ(static_cast<IUnknown*>(static_cast<IDispatch*>(chart.server)), e.chart)
            << "event " << e.id << " carries the chart server as VT_DISPATCH";

    const Event* s5 = sink.Find(DISPID_SampleOutOfControl, L"5");
    ASSERT_TRUE(s5);
    EXPECT_EQ((std::vector<VARTYPE>{VT_DISPATCH, kTexts, kTexts, VT_BOOL, VT_I4}), s5->types);
    EXPECT_EQ(Texts({L"5"}), s5->texts[1]);
    EXPECT_EQ(Texts({L"21"}), s5->texts[2]) << "the key is the first case";
    EXPECT_EQ(VARIANT_FALSE, s5->values[3]) << "phase II";
    EXPECT_EQ(1, s5->values[4]) << "X chart";
    EXPECT_EQ(5 - 1, chart.server->FindSample(L"5", L"21"));

    const Event* s6 = sink.Find(DISPID_SampleOutOfControl, L"6");
    ASSERT_TRUE(s6);
    EXPECT_EQ(2, s6->values[4]) << "R chart";
    const Event* warning6 = sink.Find(DISPID_SampleOutsideWarningLimits, L"6");
    ASSERT_TRUE(warning6);
    EXPECT_EQ((std::vector<VARTYPE>{VT_DISPATCH, kTexts, kTexts, VT_BOOL, VT_I4}), warning6->types);
    EXPECT_EQ(1, warning6->values[4]);
    const Event* warning7 = sink.Find(DISPID_SampleOutsideWarningLimits, L"7");
    ASSERT_TRUE(warning7);
    EXPECT_EQ(2, warning7->values[4]);

    const Event* runs = sink.Find(DISPID_RunsViolation, L"5");
    ASSERT_TRUE(runs);
    EXPECT_EQ((std::vector<VARTYPE>{VT_DISPATCH, kTexts, kTexts, kTexts, kTexts, kNumbers, VT_BOOL,
                                    VT_I4}),
              runs->types);
    EXPECT_EQ(Texts({L"5"}), runs->texts[1]);
    EXPECT_EQ(Texts({L"21"}), runs->texts[2]);
    EXPECT_EQ(Texts({L"6"}), runs->texts[3]);
    EXPECT_EQ(Texts({L"26"}), runs->texts[4]);
    EXPECT_EQ(std::vector<long>{3}, runs->numbers[5]) << "zone A or beyond";

    const Event* specs1 = sink.Find(DISPID_ObsOutsideSpecs, L"1");
    ASSERT_TRUE(specs1);
    EXPECT_EQ((std::vector<VARTYPE>{VT_DISPATCH, kTexts, kTexts, kNumbers, VT_BOOL, VT_I4}),
              specs1->types);
    EXPECT_EQ(Texts({L"1"}), specs1->texts[2]);
    EXPECT_EQ(std::vector<long>{5}, specs1->numbers[3]) << "observation 5 of the sample";
    EXPECT_EQ(VARIANT_TRUE, specs1->values[4]) << "phase I";
    const Event* specs6 = sink.Find(DISPID_ObsOutsideSpecs, L"6");
    ASSERT_TRUE(specs6);
    EXPECT_EQ(std::vector<long>{5}, specs6->numbers[3]);

    EXPECT_EQ(8, sink.events.back().values[1]) << "RunCompleted counts the samples";

    RefRunStatistics statistics{};
    ASSERT_EQ(S_OK, chart.Details()->GetRunStatistics(&statistics));
    EXPECT_EQ(8, statistics.samples);
    EXPECT_EQ(8, statistics.samplesWalked);
    EXPECT_EQ(0, statistics.cancelled);
    EXPECT_EQ(2, statistics.outOfControlEvents);
    EXPECT_EQ(2, statistics.warningEvents);
    EXPECT_EQ(1, statistics.runsViolationEvents);
    EXPECT_EQ(3, statistics.obsOutsideSpecsEvents);
    EXPECT_EQ(0, statistics.failedSinkCalls);
}

TEST(ChartEvents, OnlyTheKindsSwitchedOnAreRaised) {
    Chart chart(Data(), kProject);
    RecordingSink sink;
    Connect(chart.server, &sink);
    chart.server->raw_Launch(0);
    EXPECT_EQ((std::vector<DISPID>{DISPID_RunStarted, DISPID_RunCompleted}), sink.Ids())
        << "every kind is off until switched on";

    sink.events.clear();
    EnableAll(chart.server, false);
    chart.server->PutEnableSampleOutsideWarningLimitsEvent(VARIANT_TRUE);
    chart.server->raw_Launch(0);
    EXPECT_EQ((std::vector<DISPID>{DISPID_RunStarted, DISPID_SampleOutsideWarningLimits,
                                   DISPID_SampleOutsideWarningLimits, DISPID_RunCompleted}),
              sink.Ids());
}

TEST(ChartEvents, ACancelAnswerStopsTheRunBeforeTheNextSample) {
    Chart chart(Data(), kProject);
    EnableAll(chart.server);
    RecordingSink sink;
    sink.cancelAtQuery = 5; // asked before sample 6
    Connect(chart.server, &sink);
    EXPECT_EQ(S_FALSE, chart.server->raw_Launch(0));
    EXPECT_EQ(5, sink.queries);
    EXPECT_EQ(
        (std::vector<DISPID>{DISPID_RunStarted, DISPID_ObsOutsideSpecs, DISPID_SampleOutOfControl,
                             DISPID_ObsOutsideSpecs, DISPID_RunCompleted}),
        sink.Ids());
    EXPECT_EQ(5, sink.events.back().values[1]);
    RefRunStatistics statistics{};
    chart.Details()->GetRunStatistics(&statistics);
    EXPECT_EQ(5, statistics.samplesWalked);
    EXPECT_NE(0, statistics.cancelled);
}

TEST(ChartEvents, AFailingSinkIsCountedAndTheOthersStillHearEverything) {
    Chart chart(Data(), kProject);
    EnableAll(chart.server);
    RecordingSink failing, healthy;
    failing.answer = E_FAIL;
    Connect(chart.server, &failing);
    Connect(chart.server, &healthy);
    EXPECT_EQ(S_OK, chart.server->raw_Launch(0));
    EXPECT_EQ(10u, healthy.events.size());
    EXPECT_EQ(10u, failing.events.size());
    RefRunStatistics statistics{};
    chart.Details()->GetRunStatistics(&statistics);
    EXPECT_EQ(10 + 7, statistics.failedSinkCalls) << "every event and every cancel query";
}

TEST(ChartEvents, TheConnectionPointHoldsSinksUntilUnadvised) {
    Chart chart(Data(), kProject);
    IConnectionPointContainerPtr container(chart.server);
    ASSERT_TRUE(container);
    IConnectionPointPtr point;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IDispatch, &point));
    ASSERT_EQ(S_OK, container->FindConnectionPoint(__uuidof(IQCVChartsEvents), &point));
    IID iid{};
    point->GetConnectionInterface(&iid);
    EXPECT_TRUE(iid == __uuidof(IQCVChartsEvents));
    IConnectionPointContainerPtr back;
    ASSERT_EQ(S_OK, point->GetConnectionPointContainer(&back));
    EXPECT_EQ(static_cast<IUnknown*>(IUnknownPtr(container)), IUnknownPtr(back));

    IEnumConnectionPointsPtr points;
    ASSERT_EQ(S_OK, container->EnumConnectionPoints(&points));
    IConnectionPoint* listed[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, points->Next(2, listed, &fetched));
    ASSERT_EQ(1u, fetched);
    EXPECT_EQ(static_cast<IConnectionPoint*>(point), listed[0]);
    listed[0]->Release();

    RecordingSink first, second;
    DWORD cookie1 = 0, cookie2 = 0;
    ASSERT_EQ(S_OK, point->Advise(&first, &cookie1));
    ASSERT_EQ(S_OK, point->Advise(&second, &cookie2));
    EXPECT_NE(cookie1, cookie2);
    EXPECT_EQ(1u, first.RefCount()) << "the server holds each sink once";

    IEnumConnectionsPtr connections;
    ASSERT_EQ(S_OK, point->EnumConnections(&connections));
    CONNECTDATA data[3] = {};
    EXPECT_EQ(S_FALSE, connections->Next(3, data, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(cookie1, data[0].dwCookie);
    EXPECT_EQ(cookie2, data[1].dwCookie);
    data[0].pUnk->Release();
    data[1].pUnk->Release();
    connections = nullptr;

    EXPECT_EQ(S_OK, point->Unadvise(cookie1));
    EXPECT_EQ(0u, first.RefCount());
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie1));
    chart.server->raw_Launch(0);
    EXPECT_TRUE(first.events.empty());
    EXPECT_EQ(2u, second.events.size());

    // A sink must answer for the events' interface.
    zavtest::ComObject<IDispatch> plain;
    DWORD cookie = 0;
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, point->Advise(&plain, &cookie));
    EXPECT_EQ(0u, plain.RefCount());

    point = nullptr;
    points = nullptr;
    back = nullptr;
    container = nullptr;
    chart.server = nullptr;
    chart.analysis = nullptr;
    EXPECT_EQ(0u, second.RefCount()) << "the last release of the server lets go of its sinks";
}

TEST(ChartEvents, LaunchTakesNoFlagsAndIsNotReentrant) {
    Chart chart(Data(), kProject);
    EXPECT_EQ(E_INVALIDARG, chart.server->raw_Launch(1));
    EXPECT_NE(std::string::npos, TakeErrorText().find("Launch takes the flags 0"));

    class Relauncher : public RecordingSink {
    public:
        HRESULT __stdcall Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* p,
                                 VARIANT* r, EXCEPINFO* e, UINT* a) override {
            if (id == DISPID_RunStarted)
                nested = server->raw_Launch(0);
            return RecordingSink::Invoke(id, riid, lcid, flags, p, r, e, a);
        }
        _IQCVCharts* server = nullptr;
        HRESULT nested = S_OK;
    } sink;
    sink.server = chart.server;
    Connect(chart.server, &sink);
    EXPECT_EQ(S_OK, chart.server->raw_Launch(0));
    EXPECT_EQ(E_UNEXPECTED, sink.nested);
}
