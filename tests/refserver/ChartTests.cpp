// The chart server's numbers against hand computations and published constants, its runs tests,
// the events of its runs as the library's sink reads them, and the projects it refuses.
#include <gtest/gtest.h>
#include <array>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include <ocidl.h>

#include "RefServerSupport.h"
#include "support/ComObject.h"
#include "ChartConstants.h"
#include "RunsDetector.h"

using namespace reftest;
using namespace VELIQCVChartsLib;
using namespace refsrv;

namespace {

// Eight subgroups of five of "Part,Diameter". By hand, with the published constants for n = 5
// (d2 = 2.326, d3 = 0.864):
//   means 11 11 11 11 13 12.2 11 11, ranges 4 2 2 2 2 6 0 2; phase I = S1..S4: Xbarbar 11,
//   Rbar 2.5, sigma = Rbar/d2 = 1.074806, sigma of a mean 0.480668.
//   X control 11 -+ 1.442004, warning 11 -+ 0.961336.
//   R control: upper (d2 + 3 d3) sigma = 5.285896; lower d2 - 3 d3 < 0, cut to 0 and absent.
//   R warning: upper (d2 + 2 d3) sigma = 4.357264; lower (d2 - 2 d3) sigma = 0.642734.
const char kXBarRCsv[] =
    "Part,Diameter\n1,10\n2,12\n3,11\n4,13\n5,9\n6,11\n7,11\n8,12\n9,10\n10,11\n11,12\n"
    "12,10\n13,11\n14,11\n15,11\n16,10\n17,11\n18,12\n19,11\n20,11\n21,13\n22,13\n23,12\n"
    "24,13\n25,14\n26,11\n27,11\n28,11\n29,11\n30,17\n31,11\n32,11\n33,11\n34,11\n35,11\n"
    "36,10\n37,11\n38,12\n39,11\n40,11\n";
const char kXBarR[] = "[REFSERVER]\nChartType=0\nObservationVar=Diameter\nSubgroupSize=5\n"
                      "PhaseISamples=4\n";

// Sample i as "measures | centre lines | limits | absent flags": X and R; X and R centre lines;
// X control, X warning, R control and R warning limits, each lower and upper; to six significant
// digits; the eight flags.
std::string Sample(const Chart& chart, long i) {
    const _IQCVChartsPtr& s = chart.server;
    double x = 0, r = 0;
    chart.Details()->XCenterLine(i, &x);
    chart.Details()->RCenterLine(i, &r);
    char text[256];
    snprintf(text, sizeof text,
             "%g %g | %g %g | %g %g %g %g %g %g %g %g | %ld%ld%ld%ld%ld%ld%ld%ld", s->XMeasure(i),
             s->RMeasure(i), x, r, s->XLowerControlLimit(i), s->XUpperControlLimit(i),
             s->XLowerWarningLimit(i), s->XUpperWarningLimit(i), s->RLowerControlLimit(i),
             s->RUpperControlLimit(i), s->RLowerWarningLimit(i), s->RUpperWarningLimit(i),
             s->XNoLowerControlLimit(), s->XNoUpperControlLimit(), s->XNoLowerWarningLimit(),
             s->XNoUpperWarningLimit(), s->RNoLowerControlLimit(), s->RNoUpperControlLimit(),
             s->RNoLowerWarningLimit(), s->RNoUpperWarningLimit());
    return text;
}

std::string Argument(const VARIANT& v, IUnknown* chart) {
    if (V_VT(&v) == VT_DISPATCH)
        return V_DISPATCH(&v) == chart ? "chart" : "?";
    if (V_VT(&v) == VT_BOOL)
        return V_BOOL(&v) ? "true" : "false";
    if (V_VT(&v) == VT_I4)
        return std::to_string(V_I4(&v));
    SAFEARRAY* array = V_ARRAY(&v);
    VARTYPE element = VT_EMPTY;
    LONG low = -1, high = -1;
    if (!(V_VT(&v) & VT_ARRAY) || FAILED(::SafeArrayGetVartype(array, &element)) ||
        element != (V_VT(&v) & VT_TYPEMASK) || ::SafeArrayGetDim(array) != 1 ||
        FAILED(::SafeArrayGetLBound(array, 1, &low)) || low != 0)
        return "?";
    ::SafeArrayGetUBound(array, 1, &high);
    std::string text;
    for (LONG i = 0; i <= high; ++i) {
        _variant_t item;
        ::SafeArrayGetElement(array, &i, &item.bstrVal); // a BSTR or a LONG, read in place
        item.vt = element;
        item.ChangeType(VT_BSTR);
        text += (i ? ";" : "") + zavtest::Narrow(item.bstrVal, CP_UTF8);
    }
    return element == VT_BSTR ? "[" + text + "]" : "{" + text + "}";
}

// Writes each event as a line "Name(argument,...)": the chart server as "chart", texts as [a;b],
// numbers as {1;2}, VT_BOOL as true/false, VT_I4 as its value, anything else as "?".
class RecordingSink : public zavtest::ComObject<IQCVChartsEvents> {
public:
    HRESULT __stdcall Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                             EXCEPINFO*, UINT*) override {
        // The events by DISPID, 1 to 8.
        static const std::vector<std::string> kNames = zavtest::SplitLines(
            "?\nSampleOutOfControl\nSampleOutsideWarningLimits\nRunsViolation\nObsOutsideSpecs\n"
            "SampleAdded\nQueryCancel\nRunStarted\nRunCompleted\n");
        if (id == DISPID_RunStarted && relaunch)
            nested = relaunch->raw_Launch(0);
        if (id == DISPID_QueryCancel) {
            const VARIANT& cancel = params->rgvarg[0];
            if (params->cArgs != 1 || V_VT(&cancel) != (VT_BYREF | VT_BOOL) ||
                flags != DISPATCH_METHOD)
                events += "?\n";
            else if (++queries == cancelAtQuery)
                *V_BOOLREF(&cancel) = VARIANT_TRUE;
            return answer;
        }
        std::string event = id > 0 && id < 9 && flags == DISPATCH_METHOD ? kNames[id] : "?";
        // DISPPARAMS hold the last declared argument first.
        for (UINT i = params->cArgs; i-- > 0;)
            event += (i + 1 == params->cArgs ? "(" : ",") + Argument(params->rgvarg[i], chart);
        events += event + ")\n";
        return answer;
    }

    IUnknown* chart = nullptr; // what "chart" stands for
    std::string events;
    int queries = 0;       // cancel queries, each with one VT_BYREF|VT_BOOL (else an event "?")
    int cancelAtQuery = 0; // answer VARIANT_TRUE to this query (1-based); 0 never
    HRESULT answer = S_OK; // what every call returns
    _IQCVCharts* relaunch = nullptr; // launched again at RunStarted, giving `nested`
    HRESULT nested = S_OK;
};

IConnectionPointPtr EventsPoint(const _IQCVChartsPtr& server) {
    IConnectionPointPtr point;
    IConnectionPointContainerPtr(server)->FindConnectionPoint(__uuidof(IQCVChartsEvents), &point);
    return point;
}

DWORD Connect(const _IQCVChartsPtr& server, RecordingSink& sink) {
    DWORD cookie = 0;
    EXPECT_EQ(S_OK, EventsPoint(server)->Advise(&sink, &cookie));
    sink.chart = server.GetInterfacePtr();
    return cookie;
}

// The firings as "sample:test:first".
std::vector<std::string> Feed(const std::vector<double>& xs, RunRules rules, int only = -1) {
    if (only >= 0)
        rules.enabled = static_cast<uint8_t>(1u << only);
    RunsDetector detector(rules);
    std::vector<std::string> fired;
    RunHit hits[RunsDetector::kTests];
    for (size_t i = 0; i < xs.size(); ++i)
        for (int h = 0, n = detector.Add(long(i), xs[i], 0.0, 1.0, hits); h < n; ++h)
            fired.push_back(std::to_string(i) + ":" + std::to_string(hits[h].test) + ":" +
                            std::to_string(hits[h].firstSample));
    return fired;
}

std::vector<double> Series(size_t count, double first, double step = 0, double other = NAN) {
    std::vector<double> xs;
    for (size_t i = 0; i < count; ++i)
        xs.push_back(std::isnan(other) ? first + step * i : (i % 2 ? other : first));
    return xs;
}

std::vector<double> Join(std::vector<double> a, const std::vector<double>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using Fired = std::vector<std::string>;

} // namespace

TEST(ChartServer, TheChartsMatchTheHandComputations) {
    Chart r(kXBarRCsv, kXBarR);
    ASSERT_EQ(8, r.samples) << r.error;
    // The published constants have three decimals: six digits agree with them to 0.002.
    const std::string lines =
        " | 11 2.5 | 9.55795 12.442 10.0386 11.9614 0 5.28625 0.642501 4.3575 | ";
    const char* measures[] = {"11 4", "11 2", "11 2", "11 2", "13 2", "12.2 6", "11 0", "11 2"};
    for (long i = 0; i < 8; ++i) {
        EXPECT_EQ(measures[i] + lines + "00001000", Sample(r, i)) << i;
        EXPECT_EQ(i * 5.0, r.server->SampleFirstCase(i));
    }
    EXPECT_EQ(5, r.server->FindSample(L"6", L"26"));
    for (auto [label, key] : {std::pair{L"6", L"25"}, {L"9", L"41"}, {L"0", L"1"}, {L"x", L"1"}}) {
        long index = 0;
        EXPECT_EQ(DISP_E_BADINDEX, r.server->raw_FindSample(_bstr_t(label), _bstr_t(key), &index));
        EXPECT_EQ(-1, index);
        EXPECT_NE(std::string::npos, ErrorText().find("No sample has the label"));
    }
    EXPECT_EQ(DISP_E_BADINDEX, zavtest::ComErrorOf([&] { r.server->XMeasure(8); }).first);
    EXPECT_EQ(-1, r.server->SpecLimitSet(0)) << "no specification limits";
    // With every sample in phase I: Xbarbar 91.2/8 = 11.4, Rbar 20/8 = 2.5 again.
    Chart all(kXBarRCsv, "[REFSERVER]\nObservationVar=Diameter\nSubgroupSize=5\n");
    EXPECT_NEAR(11.4 + 1.442004, all.server->XUpperControlLimit(0), 2e-3);

    // Subgroups of four, XBar & S: s = 1.290994, 1.154701, 1.632993; c4(4) = 0.921318; Sbar
    // 1.359563; sigma = Sbar/c4 = 1.475672; Xbarbar 2.833333; X control -+ 3 sigma/2; S control
    // upper (c4 + 3 sqrt(1 - c4^2)) sigma = 3.080833, lower cut; S warning (c4 -+ 2 sqrt(1 -
    // c4^2)) sigma = 0.212049 and 2.507076.
    Chart s("x\n1\n2\n3\n4\n2\n2\n4\n4\n1\n3\n3\n5\n",
            "[REFSERVER]\nChartType=1\nObservationVar=x\nSubgroupSize=4\n");
    EXPECT_EQ("3 1.1547 | 2.83333 1.35956 | 0.619825 5.04684 1.35766 4.30901 0 3.08083 0.212049 "
              "2.50708 | 00001000",
              Sample(s, 1));
    // Individuals x 10 12 11 13 12 20, moving ranges - 2 1 2 1 8; phase I the first five: mean
    // 11.6, MRbar 1.5, sigma = MRbar/d2(2) = 1.329340; X control 11.6 -+ 3.988021; MR control
    // upper 1.5 + 3 d3(2) sigma = 4.899798, warning upper 3.766532; both lower limits cut.
    Chart i("w\n10\n12\n11\n13\n12\n20\n",
            "[REFSERVER]\nChartType=3\nObservationVar=w\nPhaseISamples=5\n");
    EXPECT_EQ("10 nan | 11.6 1.5 | 7.61198 15.588 8.94132 14.2587 0 4.8998 0 3.76653 | 00001010",
              Sample(i, 0));
    EXPECT_EQ("20 8", Sample(i, 5).substr(0, 4));

    // Batches of 3, 2 and 4 cases, the last with an empty and a text cell (missing, so that
    // sample 3 has two observations): sigma = mean(2/d2(3), 1/d2(2), 3/d2(2)) = 1.575514,
    // centre 16/7, X limits by sample size.
    Chart v("Batch,d\nB-1,1\nB-1,2\nB-1,3\nB-2,2\nB-2,3\nB-3,1\nB-3,\nB-3,n/a\nB-3,4\n",
            "[REFSERVER]\nObservationVar=d\nSubgroupVar=batch\n");
    EXPECT_NEAR(16.0 / 7 + 3 * 1.575514 / std::sqrt(2.0), v.server->XUpperControlLimit(1), 1e-5);
    EXPECT_EQ("2.5 3", Sample(v, 2).substr(0, 5));
    EXPECT_EQ(2, v.server->FindSample(L"3", L"B-3")) << "the key is the text of the first case";
}

TEST(ChartServer, SpecificationLimitsKeepTheirBounds) {
    const std::pair<const char*, const char*> rows[] = {
        {"LowerSpecLimit=9.5\nUpperSpecLimit=13.5\n", "0 9.5 13.5"},
        {"UpperSpecLimit=13.5\n", "3 nan 13.5"},
        {"SpecLimitType=3\nUpperSpecLimit=13.5\n", "3 nan 13.5"},
        {"LowerSpecLimit=9.5\n", "4 9.5 nan"}};
    for (auto [keys, expected] : rows) {
        Chart limited(kXBarRCsv, std::string(kXBarR) + keys);
        const _IQCVChartsPtr& l = limited.server;
        char text[64];
        snprintf(text, sizeof text, "%ld %g %g", l->SpecLimitType(l->SpecLimitSet(3)),
                 l->LowerSpecLimit(0), l->UpperSpecLimit(0));
        EXPECT_EQ(expected, std::string(text)) << keys;
    }
}

TEST(ChartServer, ARunRaisesTheAlarmsOfTheKindsSwitchedOnInTheirDeclaredShape) {
    // With specification limits [9.5, 13.5] and the zone A test: S1's observation 5 (9) is below
    // the lower specification limit in phase I; S5's mean 13 above the X control limit, its
    // observation 5 (14) above the upper one; S6's R 6 above its control limit, its mean 12.2
    // between X warning and control limits, S5 and S6 in zone A or beyond (test 3), its
    // observation 5 (17) too high; S7's R 0 below the lower R warning limit.
    Chart chart(kXBarRCsv, std::string(kXBarR) + "LowerSpecLimit=9.5\nUpperSpecLimit=13.5\n"
                                                 "[GENERAL]\nRunsTestInZoneA=1\n");
    const std::string run =
        "RunStarted(chart)\nObsOutsideSpecs(chart,[1],[1],{5},true,0)\n"
        "SampleOutOfControl(chart,[5],[21],false,1)\nObsOutsideSpecs(chart,[5],[21],{5},false,0)\n"
        "SampleOutOfControl(chart,[6],[26],false,2)\n"
        "SampleOutsideWarningLimits(chart,[6],[26],false,1)\n"
        "RunsViolation(chart,[5],[21],[6],[26],{3},false,1)\n"
        "ObsOutsideSpecs(chart,[6],[26],{5},false,0)\n"
        "SampleOutsideWarningLimits(chart,[7],[31],false,2)\nRunCompleted(chart,8)\n";
    RecordingSink sink, failing, cancelling;
    DWORD cookie = Connect(chart.server, sink);
    chart.server->Launch(0);
    EXPECT_EQ("RunStarted(chart)\nRunCompleted(chart,8)\n", sink.events) << "all off";
    // The pattern is kept for the picture all the same, and the progress shows the whole run.
    long pattern[4] = {}, beyond[3] = {};
    RefProgress progress{};
    long phaseI = 0;
    chart.Details()->get_PhaseISamples(&phaseI);
    EXPECT_EQ(4, phaseI);
    chart.Details()->get_RunsViolationCount(&pattern[0]);
    chart.Details()->RunsViolation(0, &pattern[1], &pattern[2], &pattern[3]);
    EXPECT_EQ((std::vector<long>{1, 3, 4, 5}), std::vector<long>(pattern, pattern + 4));
    EXPECT_EQ(E_INVALIDARG, chart.Details()->RunsViolation(1, &beyond[0], &beyond[1], &beyond[2]));
    ASSERT_EQ(S_OK, IRefApplicationPtr(chart.application)->GetProgress(&progress));
    EXPECT_EQ("8 8 0", std::to_string(progress.samples) + " " +
                           std::to_string(progress.samplesWalked) + " " +
                           std::to_string(progress.alarmEvents));
    chart.server->PutEnableObsOutsideSpecsEvent(VARIANT_TRUE);
    chart.server->PutEnableRunsViolationEvent(VARIANT_TRUE);
    chart.server->PutEnableSampleOutOfControlEvent(VARIANT_TRUE);
    chart.server->PutEnableSampleOutsideWarningLimitsEvent(VARIANT_TRUE);
    failing.answer = E_FAIL;
    Connect(chart.server, failing);
    sink.events.clear();
    sink.queries = 0;
    EXPECT_EQ(S_OK, chart.server->raw_Launch(0));
    EXPECT_EQ(run, sink.events);
    EXPECT_EQ(run, failing.events) << "a failing sink keeps hearing every event";
    EXPECT_EQ(7, sink.queries) << "asked between the eight samples";
    RefRunStatistics stats{};
    chart.Details()->GetRunStatistics(&stats);
    // Samples, walked, cancelled; events out of control, warning, runs, specs; failed sink calls.
    const long* all = &stats.samples;
    EXPECT_EQ((std::vector<long>{8, 8, 0, 2, 2, 1, 3, 17}),
              std::vector<long>(all, all + sizeof stats / sizeof(long)))
        << "the failing sink's ten events and seven queries";
    IRefApplicationPtr(chart.application)->GetProgress(&progress);
    EXPECT_EQ(8, progress.alarmEvents);

    EXPECT_EQ(S_OK, EventsPoint(chart.server)->Unadvise(cookie));
    EXPECT_EQ(0u, sink.RefCount()) << "released at once";
    cancelling.cancelAtQuery = 5; // asked before sample 6
    cancelling.relaunch = chart.server;
    Connect(chart.server, cancelling);
    EXPECT_EQ(S_FALSE, chart.server->raw_Launch(0));
    EXPECT_EQ(E_UNEXPECTED, cancelling.nested) << "a Launch from inside an event";
    EXPECT_EQ(run.substr(0, run.find("SampleOutOfControl(chart,[6]")) + "RunCompleted(chart,5)\n",
              cancelling.events);
    chart.Details()->GetRunStatistics(&stats);
    EXPECT_NE(0, stats.cancelled) << "the samples walked are RunCompleted's argument";
    EXPECT_EQ(E_INVALIDARG, chart.server->raw_Launch(1));
    EXPECT_NE(std::string::npos, ErrorText().find("Launch takes the flags 0"));
    zavtest::ComObject<IDispatch> plain;
    IConnectionPointPtr none;
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, EventsPoint(chart.server)->Advise(&plain, &cookie));
    EXPECT_EQ(
        CONNECT_E_NOCONNECTION,
        IConnectionPointContainerPtr(chart.server)->FindConnectionPoint(IID_IDispatch, &none));
    chart.server = nullptr;
    chart.analysis = nullptr;
    chart.application = nullptr; // it keeps its last chart for a host that draws it
    EXPECT_EQ(0u, failing.RefCount() + cancelling.RefCount())
        << "the last release of the server lets go of its sinks";
}

TEST(ChartServer, BadProjectsAreRefusedWithTheFileTheKeyAndTheProblem) {
    const HRESULT bad = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    const std::string d = "[REFSERVER]\nObservationVar=Diameter\n";
    const std::pair<std::string, const char*> rows[] = {
        {"[REFSERVER]\nObservationVar=Diamter\n", "\"Diamter\""},
        {d + "SubgroupVar=Lot\n", "SubgroupVar names the variable \"Lot\""},
        {d + "SubgroupSise=5\n", "\"SubgroupSise\" is not one of"},
        {d + "ChartType=15\n", "ChartType is \"15\"; it must be a whole number from 0 to 14"},
        {d + "SpecLimitType=4\nUpperSpecLimit=3\n", "SpecLimitType 4 needs LowerSpecLimit alone"},
        {d + "RunsTests=1,7\n", "RunsTests is \"1,7\""},
        {"[REFSERVER]\nChartType=0\n", "ObservationVar, the variable that holds"},
        {"[GENERAL]\nSampleVar=1\n", "has no section [REFSERVER]"},
        {d + "ChartType=5\nSpan=1\n", "Span is \"1\"; it must be a whole number from 2 to 100"},
        {d + "ChartType=7\nLambda=0\n", "Lambda is \"0\"; it must be a number above 0 and at"},
        {d + "ChartType=9\nCusumK=-1\n", "CusumK is \"-1\"; it must be a number of 0 or more"},
        {d + "ChartType=9\nCusumH=0\n", "CusumH is \"0\"; it must be a number above 0"},
        {d + "Span=4\n", "Span applies only to ChartType 4 to 6, not to ChartType 0"},
        {d + "ControlLimitSigmas=2\n", "ControlLimitSigmas is \"2\"; it must be a number above 2 "},
        {d + "ChartType=9\nControlLimitSigmas=3.5\n", "but the CuSum and Pareto charts"},
        {d + "ChartType=10\n", "ObservationVar applies only to variables charts"},
        {"[REFSERVER]\nChartType=10\nCountVar=Defects\n",
         "CountVar names the variable \"Defects\""},
        {"[REFSERVER]\nChartType=12\nCountVar=Part\n", "SizeVar, the variable that holds the"},
        {"[REFSERVER]\nChartType=10\nCountVar=Part\nUpperSpecLimit=3\n",
         "UpperSpecLimit applies only"},
        {"[REFSERVER]\nChartType=14\nCountVar=Part\n", "CategoryVar, the variable that holds"},
    };
    for (const auto& [qcp, problem] : rows) {
        Chart chart(kXBarRCsv, qcp);
        EXPECT_EQ(bad, chart.hr) << qcp;
        EXPECT_TRUE(chart.error.find(problem) != std::string::npos &&
                    chart.error.find("chart.qcp") != std::string::npos)
            << chart.error;
    }
    // Counts that make no sample, found in the data rather than the project.
    const std::pair<std::string, const char*> counts[] = {
        {"ChartType=12\nCountVar=Diameter\nSizeVar=Part\n",
         "Case 1 has the count 10 and the size 1"},
        {"ChartType=13\nCountVar=Part\nSizeVar=Diameter\n",
         "Case 2 has the size 12, another than the 10"}};
    for (const auto& [keys, problem] : counts) {
        Chart chart(kXBarRCsv, "[REFSERVER]\n" + keys);
        EXPECT_EQ(bad, chart.hr);
        EXPECT_NE(std::string::npos, chart.error.find(problem)) << chart.error;
    }
    Chart missing(kXBarRCsv, "");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), missing.hr);
    EXPECT_NE(std::string::npos, missing.error.find("missing.qcp"));
    std::string csv = "Lot,x\n";
    for (int i = 0; i < 1001; ++i)
        csv += "L1," + std::to_string(i % 7) + "\n";
    Chart large(csv, "[REFSERVER]\nObservationVar=x\nSubgroupVar=Lot\n");
    EXPECT_EQ(bad, large.hr);
    EXPECT_NE(std::string::npos, large.error.find("Sample 1 (cases 1 to 1001) has 1001 cases"));
}

TEST(ChartConstants, AgreeWithThePublishedTablesOfD2D3C4AndChiSquare) {
    const std::tuple<long, double, double, double> rows[] = {
        {2, 1.128, 0.853, 0.7979}, {3, 1.693, 0.888, 0.8862},  {4, 2.059, 0.880, 0.9213},
        {5, 2.326, 0.864, 0.9400}, {6, 2.534, 0.848, 0.9515},  {7, 2.704, 0.833, 0.9594},
        {8, 2.847, 0.820, 0.9650}, {10, 3.078, 0.797, 0.9727}, {20, 3.735, 0.729, 0.9869},
        {25, 3.931, 0.708, 0.9896}};
    for (auto [n, d2, d3, c4] : rows) {
        EXPECT_NEAR(d2, ComputeD2(n), 0.0005) << n;
        EXPECT_NEAR(d3, ComputeD3(n), 0.0005) << n;
        EXPECT_NEAR(c4, ComputeC4(n), 0.00005) << n;
    }
    // The largest subgroup: d2 is the expected range of 1000 normals, c4 close to 1.
    EXPECT_NEAR(6.483, ComputeD2(1000), 0.002);
    EXPECT_NEAR(1 - 1 / 4000.0, ComputeC4(1000), 1e-6);
    EXPECT_EQ(0.0, ComputeD2(1));
    // Probability below the quantile, degrees of freedom, the printed chi-square quantile.
    const std::array<double, 3> quantiles[] = {
        {0.95, 1, 3.841},  {0.05, 1, 0.00393}, {0.95, 10, 18.307},  {0.05, 10, 3.940},
        {0.99, 4, 13.277}, {0.005, 4, 0.207},  {0.975, 30, 46.979}, {0.995, 100, 140.169}};
    for (const auto& [p, df, printed] : quantiles)
        EXPECT_NEAR(printed, ChiSquareQuantile(p, df), printed < 0.01 ? 5e-6 : 5e-4) << p << df;
}

TEST(RunsTests, EachFiresAtItsRunLengthAndNotBelow) {
    const RunRules d;
    const std::tuple<int, std::vector<double>, Fired> rows[] = {
        {0, Series(9, 0.5), {"8:0:0"}},
        {0, Series(8, 0.5), {}},
        {0, Join(Series(8, -0.5), {0.0}), {}}, // the centre breaks it
        {0, Join({0.5}, Series(9, -0.5)), {"9:0:1"}},
        {0, Series(20, 0.5), {"8:0:0", "17:0:9"}}, // once per run length, then afresh
        {1, Series(6, -0.5, 0.1), {"5:1:0"}},
        {1, Series(5, -0.5, 0.1), {}},
        {1, Series(6, 0.5, -0.1), {"5:1:0"}},
        {1, {-0.5, -0.4, -0.3, 0.5, 0.5, 0.6, 0.7}, {}}, // a tie breaks it
        {1, {1, 2, 3, 2, 4, 5, 6, 7, 8}, {"8:1:3"}},     // the turning point starts anew
        {2, Series(14, 0.3, 0, -0.2), {"13:2:0"}},
        {2, Series(13, 0.3, 0, -0.2), {}},
        {2, Join(Join(Series(13, 0.3, 0, -0.2), {0.4}), Series(12, -0.4, 0, 0.4)), {"25:2:12"}},
        {3, {2.5, 0, 2.5}, {"2:3:0"}},
        {3, {-2.5, -2.1}, {"1:3:0"}},
        {3, {2.5, 0, 0, 2.5}, {}},
        {3, {2.5, -2.5, 2.0}, {}}, // the other side, and 2 sigma itself
        {4, {1.5, 1.5, 0, 1.5, 1.5}, {"4:4:0"}},
        {4, {1.5, 1.5, 0, 0, 1.5, 1.5}, {}},
        {4, {1.5, 1.5, 1.5, 1.5, 0}, {"3:4:0"}},
        {5, Series(15, 0.5, 0, -1.0), {"14:5:0"}}, // 1 sigma itself counts as within
        {5, Join(Series(14, 0.2), {1.2}), {}},
        {6, Series(8, 1.5, 0, -1.5), {"7:6:0"}},
        {6, Join(Series(7, 1.5, 0, -1.5), {0.5}), {}},
        {0, Join(Join(Series(5, 0.5), {NAN}), Series(4, 0.5)), {}}, // a gap ends every pattern
    };
    for (const auto& [test, xs, fired] : rows)
        EXPECT_EQ(fired, Feed(xs, d, test)) << "test " << test << ", " << xs.size() << " samples";
    EXPECT_EQ((Fired{"1:3:0", "3:3:2", "3:4:0", "5:3:4", "7:3:6", "7:4:4", "7:6:0", "8:0:0"}),
              Feed(Series(9, 2.5), d))
        << "all tests at once";
    RunRules shorter;
    shorter.sameSide = shorter.trend = shorter.zoneA = 3;
    shorter.zoneAWindow = 4;
    EXPECT_EQ(Fired{"2:0:0"}, Feed(Series(3, -0.5), shorter, 0));
    EXPECT_EQ(Fired{"2:1:0"}, Feed(Series(3, -0.5, 0.1), shorter, 1));
    EXPECT_EQ(Fired{"3:3:0"}, Feed({2.5, 2.5, 0, 2.5}, shorter, 3));
    EXPECT_EQ(Fired{}, Feed(Series(20, 0.5), RunRules{0}));
}
