// The chart server's connection point and the events of a run, argument by argument as the
// library's sink reads them.
#include <gtest/gtest.h>

#include <ocidl.h>

#include "RefServerSupport.h"

_COM_SMARTPTR_TYPEDEF(IEnumConnectionPoints, __uuidof(IEnumConnectionPoints));
_COM_SMARTPTR_TYPEDEF(IEnumConnections, __uuidof(IEnumConnections));

using namespace reftest;
using namespace VELIQCVChartsLib;

namespace {

// The XBar & R data of the chart tests with specification limits [9.5, 13.5] and the zone A
// test. Per sample (sigma of a mean 0.480668, zone A beyond 11 -+ 0.961336):
//   S1 observation 5 (9) below the lower specification limit, in phase I
//   S5 mean 13 above the X control limit; observation 5 (14) above the upper one
//   S6 R 6 above its control limit, mean 12.2 between X warning and control limits, S5 and S6
//      in zone A or beyond (2 of 3: test 3), observation 5 (17) above the upper limit
//   S7 R 0 below the lower R warning limit
const char kProject[] =
    "[GENERAL]\nRunsTestInZoneA=1\n[REFSERVER]\nObservationVar=Diameter\n"
    "SubgroupSize=5\nPhaseISamples=4\nLowerSpecLimit=9.5\nUpperSpecLimit=13.5\n";

void EnableAll(const _IQCVChartsPtr& s, VARIANT_BOOL on = VARIANT_TRUE) {
    s->PutEnableObsOutsideSpecsEvent(on);
    s->PutEnableRunsViolationEvent(on);
    s->PutEnableSampleOutOfControlEvent(on);
    s->PutEnableSampleOutsideWarningLimitsEvent(on);
}

const std::vector<std::string> kRun = {"RunStarted(chart)",
                                       "ObsOutsideSpecs(chart,[1],[1],{5},true,0)",
                                       "SampleOutOfControl(chart,[5],[21],false,1)",
                                       "ObsOutsideSpecs(chart,[5],[21],{5},false,0)",
                                       "SampleOutOfControl(chart,[6],[26],false,2)",
                                       "SampleOutsideWarningLimits(chart,[6],[26],false,1)",
                                       "RunsViolation(chart,[5],[21],[6],[26],{3},false,1)",
                                       "ObsOutsideSpecs(chart,[6],[26],{5},false,0)",
                                       "SampleOutsideWarningLimits(chart,[7],[31],false,2)",
                                       "RunCompleted(chart,8)"};

} // namespace

TEST(ChartEvents, ARunRaisesTheAlarmsOfTheChartOnlyForTheKindsSwitchedOn) {
    Chart chart(XBarRCsv(), kProject);
    RecordingSink sink;
    Connect(chart.server, sink);
    chart.server->Launch(0);
    EXPECT_EQ((std::vector<std::string>{kRun.front(), kRun.back()}), sink.events)
        << "every kind is off until switched on";

    sink.events.clear();
    sink.queries = 0;
    EnableAll(chart.server);
    EXPECT_EQ(S_OK, chart.server->raw_Launch(0));
    EXPECT_EQ(kRun, sink.events);
    EXPECT_EQ(7, sink.queries) << "asked between the eight samples";
    RefRunStatistics statistics{};
    chart.Details()->GetRunStatistics(&statistics);
    EXPECT_EQ((std::vector<long>{8, 8, 0, 2, 2, 1, 3, 0}),
              (std::vector<long>{statistics.samples, statistics.samplesWalked, statistics.cancelled,
                                 statistics.outOfControlEvents, statistics.warningEvents,
                                 statistics.runsViolationEvents, statistics.obsOutsideSpecsEvents,
                                 statistics.failedSinkCalls}));
}

TEST(ChartEvents, ACancelStopsTheRunAndAFailingSinkIsCountedWhileOthersHearEverything) {
    Chart chart(XBarRCsv(), kProject);
    EnableAll(chart.server);
    RecordingSink cancelling;
    cancelling.cancelAtQuery = 5; // asked before sample 6
    DWORD cookie = Connect(chart.server, cancelling);
    EXPECT_EQ(S_FALSE, chart.server->raw_Launch(0));
    EXPECT_EQ(
        (std::vector<std::string>{kRun[0], kRun[1], kRun[2], kRun[3], "RunCompleted(chart,5)"}),
        cancelling.events);
    RefRunStatistics statistics{};
    chart.Details()->GetRunStatistics(&statistics);
    EXPECT_EQ(5, statistics.samplesWalked);
    EXPECT_NE(0, statistics.cancelled);

    RecordingSink failing, healthy;
    failing.answer = E_FAIL;
    EventsPoint(chart.server)->Unadvise(cookie);
    Connect(chart.server, failing);
    Connect(chart.server, healthy);
    EXPECT_EQ(S_OK, chart.server->raw_Launch(0));
    EXPECT_EQ(kRun, healthy.events);
    EXPECT_EQ(kRun, failing.events);
    chart.Details()->GetRunStatistics(&statistics);
    EXPECT_EQ(10 + 7, statistics.failedSinkCalls) << "every event and every cancel query";
}

TEST(ChartEvents, TheConnectionPointHoldsEachSinkOnceUntilUnadvisedOrTheServerGoes) {
    Chart chart(XBarRCsv(), kProject);
    IConnectionPointContainerPtr container(chart.server);
    IConnectionPointPtr point = EventsPoint(chart.server), none;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IDispatch, &none));
    IID iid{};
    IConnectionPointContainerPtr back;
    point->GetConnectionInterface(&iid);
    point->GetConnectionPointContainer(&back);
    EXPECT_TRUE(iid == __uuidof(IQCVChartsEvents));
    EXPECT_EQ(IUnknownPtr(container).GetInterfacePtr(), IUnknownPtr(back).GetInterfacePtr());
    IEnumConnectionPointsPtr points;
    container->EnumConnectionPoints(&points);
    IConnectionPoint* listed[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, points->Next(2, listed, &fetched));
    ASSERT_EQ(1u, fetched);
    EXPECT_EQ(point.GetInterfacePtr(), IConnectionPointPtr(listed[0], false).GetInterfacePtr());

    RecordingSink first, second;
    DWORD cookie1 = Connect(chart.server, first), cookie2 = Connect(chart.server, second);
    EXPECT_EQ(1u, first.RefCount()) << "the server holds each sink once";
    IEnumConnectionsPtr connections;
    point->EnumConnections(&connections);
    CONNECTDATA data[3] = {};
    EXPECT_EQ(S_FALSE, connections->Next(3, data, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ((std::vector<DWORD>{cookie1, cookie2}),
              (std::vector<DWORD>{data[0].dwCookie, data[1].dwCookie}));
    data[0].pUnk->Release();
    data[1].pUnk->Release();
    connections = nullptr;
    EXPECT_EQ(S_OK, point->Unadvise(cookie1));
    EXPECT_EQ(0u, first.RefCount());
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie1));
    zavtest::ComObject<IDispatch> plain;
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, point->Advise(&plain, &cookie1)) << "no events interface";

    EXPECT_EQ(E_INVALIDARG, chart.server->raw_Launch(1));
    EXPECT_NE(std::string::npos, ErrorText().find("Launch takes the flags 0"));
    HRESULT nested = S_OK;
    second.onEvent = [&](DISPID id) {
        if (id == DISPID_RunStarted)
            nested = chart.server->raw_Launch(0);
    };
    EXPECT_EQ(S_OK, chart.server->raw_Launch(0));
    EXPECT_EQ(E_UNEXPECTED, nested) << "a Launch from inside an event";
    second.onEvent = nullptr;
    points = nullptr;
    point = nullptr;
    back = nullptr;
    container = nullptr;
    chart.server = nullptr;
    chart.analysis = nullptr;
    EXPECT_EQ(0u, second.RefCount()) << "the last release of the server lets go of its sinks";
}
