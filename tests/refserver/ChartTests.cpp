// The chart server's numbers against hand computations on small data sets, and the projects it
// refuses.
#include <gtest/gtest.h>

#include <cmath>

#include "RefServerSupport.h"

using namespace reftest;

namespace {

// Eight subgroups of five (XBarRCsv). By hand, with the published constants for n = 5
// (d2 = 2.326, d3 = 0.864):
//   means 11 11 11 11 13 12.2 11 11, ranges 4 2 2 2 2 6 0 2; phase I = S1..S4: Xbarbar 11,
//   Rbar 2.5, sigma = Rbar/d2 = 1.074806, sigma of a mean 0.480668.
//   X control 11 -+ 1.442004, warning 11 -+ 0.961336.
//   R control: upper (d2 + 3 d3) sigma = 5.285896; lower d2 - 3 d3 < 0, cut to 0 and absent.
//   R warning: upper (d2 + 2 d3) sigma = 4.357264; lower (d2 - 2 d3) sigma = 0.642734.
const char kXBarR[] = "[REFSERVER]\nChartType=0\nObservationVar=Diameter\nSubgroupSize=5\n"
                      "PhaseISamples=4\n";

std::string Csv(const std::string& header, const std::vector<const char*>& rows) {
    std::string text = header + "\n";
    for (const char* row : rows)
        text += std::string(row) + "\n";
    return text;
}

// The limits of one sample: X control, X warning, R control, R warning, each lower and upper.
std::vector<double> Limits(const _IQCVChartsPtr& s, long i) {
    return {s->XLowerControlLimit(i), s->XUpperControlLimit(i), s->XLowerWarningLimit(i),
            s->XUpperWarningLimit(i), s->RLowerControlLimit(i), s->RUpperControlLimit(i),
            s->RLowerWarningLimit(i), s->RUpperWarningLimit(i)};
}

void ExpectNear(const std::vector<double>& expected, const std::vector<double>& actual,
                double tolerance) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(expected[i], actual[i], tolerance) << "value " << i;
}

// The absent-limit flags: X control, X warning, R control, R warning, each lower and upper.
std::vector<long> Absent(const _IQCVChartsPtr& s) {
    return {s->XNoLowerControlLimit(), s->XNoUpperControlLimit(), s->XNoLowerWarningLimit(),
            s->XNoUpperWarningLimit(), s->RNoLowerControlLimit(), s->RNoUpperControlLimit(),
            s->RNoLowerWarningLimit(), s->RNoUpperWarningLimit()};
}

} // namespace

TEST(ChartServer, XBarRMatchesTheHandComputation) {
    Chart chart(XBarRCsv(), kXBarR);
    ASSERT_EQ(8, chart.samples) << chart.error;
    const _IQCVChartsPtr& s = chart.server;
    EXPECT_EQ(0, s->ChartType());
    EXPECT_EQ(2, s->ObservationVariable());
    const double means[] = {11, 11, 11, 11, 13, 12.2, 11, 11}, ranges[] = {4, 2, 2, 2, 2, 6, 0, 2};
    for (long i = 0; i < 8; ++i) {
        ExpectNear({9.557996, 12.442004, 10.038664, 11.961336, 0, 5.285896, 0.642734, 4.357264},
                   Limits(s, i), 2e-3); // the published constants have three decimals
        EXPECT_DOUBLE_EQ(means[i], s->XMeasure(i));
        EXPECT_DOUBLE_EQ(ranges[i], s->RMeasure(i));
        EXPECT_DOUBLE_EQ(i * 5.0, s->SampleFirstCase(i));
    }
    double sigma = 0, center = 0, rCenter = 0;
    chart.Details()->get_Sigma(&sigma);
    chart.Details()->XCenterLine(7, &center);
    chart.Details()->RCenterLine(7, &rCenter);
    ExpectNear({1.074806, 11, 2.5}, {sigma, center, rCenter}, 2e-3);
    EXPECT_EQ((std::vector<long>{0, 0, 0, 0, 1, 0, 0, 0}), Absent(s));

    // With every sample in phase I: Xbarbar 91.2/8 = 11.4, Rbar 20/8 = 2.5 again.
    Chart all(XBarRCsv(), "[REFSERVER]\nObservationVar=Diameter\nSubgroupSize=5\n");
    ExpectNear({11.4 - 1.442004, 11.4 + 1.442004},
               {all.server->XLowerControlLimit(0), all.server->XUpperControlLimit(0)}, 2e-3);
}

TEST(ChartServer, XBarSAndIndividualsMatchTheHandComputation) {
    // Subgroups of four: s = 1.290994, 1.154701, 1.632993; c4(4) = 0.921318; Sbar 1.359563;
    // sigma = Sbar/c4 = 1.475672; Xbarbar 2.833333. X control 2.833333 -+ 3 sigma/2; S control
    // upper (c4 + 3 sqrt(1 - c4^2)) sigma = 3.080833, lower cut; S warning upper 2.507076, lower
    // (c4 - 2 sqrt(1 - c4^2)) sigma = 0.212049.
    Chart s(Csv("x", {"1", "2", "3", "4", "2", "2", "4", "4", "1", "3", "3", "5"}),
            "[REFSERVER]\nChartType=1\nObservationVar=x\nSubgroupSize=4\n");
    ExpectNear({1.290994, 1.632993}, {s.server->RMeasure(0), s.server->RMeasure(2)}, 1e-6);
    ExpectNear({0.619825, 5.046841, 0.0, 3.080833, 0.212049, 2.507076},
               {s.server->XLowerControlLimit(1), s.server->XUpperControlLimit(1),
                s.server->RLowerControlLimit(1), s.server->RUpperControlLimit(1),
                s.server->RLowerWarningLimit(1), s.server->RUpperWarningLimit(1)},
               1e-5);
    EXPECT_EQ((std::vector<long>{0, 0, 0, 0, 1, 0, 0, 0}), Absent(s.server));

    // x 10 12 11 13 12 20, moving ranges - 2 1 2 1 8; phase I the first five: mean 11.6,
    // MRbar 1.5, sigma = MRbar/d2(2) = 1.329340; X control 11.6 -+ 3.988021; MR control upper
    // 1.5 + 3 d3(2) sigma = 4.899798, warning upper 3.766532; both lower limits cut.
    Chart i(Csv("w", {"10", "12", "11", "13", "12", "20"}),
            "[REFSERVER]\nChartType=3\nObservationVar=w\nPhaseISamples=5\n");
    ASSERT_EQ(6, i.samples);
    EXPECT_TRUE(std::isnan(i.server->RMeasure(0))) << "the first individual has no moving range";
    ExpectNear({20, 8, 7.611979, 15.588021, 14.258681, 4.899798, 3.766532, 4.0},
               {i.server->XMeasure(5), i.server->RMeasure(5), i.server->XLowerControlLimit(5),
                i.server->XUpperControlLimit(5), i.server->XUpperWarningLimit(0),
                i.server->RUpperControlLimit(3), i.server->RUpperWarningLimit(3),
                i.server->SampleFirstCase(4)},
               1e-5);
    EXPECT_EQ((std::vector<long>{0, 0, 0, 0, 1, 0, 1, 0}), Absent(i.server));
}

TEST(ChartServer, ASubgroupVariableFormsSamplesOfTheirOwnSize) {
    // Batches of 3, 2 and 4 cases; the last has an empty and a text cell, missing observations.
    // sigma = mean(2/d2(3), 1/d2(2), 3/d2(2)) = 1.575514; centre 16/7; X limits by sample size.
    Chart chart(Csv("Batch,d", {"B-1,1", "B-1,2", "B-1,3", "B-2,2", "B-2,3", "B-3,1", "B-3,",
                                "B-3,n/a", "B-3,4"}),
                "[REFSERVER]\nChartType=0\nObservationVar=d\nSubgroupVar=batch\n");
    ASSERT_EQ(3, chart.samples);
    const _IQCVChartsPtr& s = chart.server;
    long sizes[3] = {};
    double sigma = 0;
    for (long i = 0; i < 3; ++i)
        chart.Details()->SampleSize(i, &sizes[i]);
    chart.Details()->get_Sigma(&sigma);
    EXPECT_EQ((std::vector<long>{3, 2, 2}), std::vector<long>(sizes, sizes + 3));
    ExpectNear({1.575514, 5, 3, 2.5, 16.0 / 7 + 3 * 1.575514 / std::sqrt(3.0),
                16.0 / 7 + 3 * 1.575514 / std::sqrt(2.0)},
               {sigma, s->SampleFirstCase(2), s->RMeasure(2), s->XMeasure(2),
                s->XUpperControlLimit(0), s->XUpperControlLimit(1)},
               1e-5);
    // The key of a sample formed by a variable is its text on the sample's first case.
    EXPECT_EQ(2, s->FindSample(L"3", L"B-3"));
    _bstr_t key;
    chart.Details()->SampleKey(1, key.GetAddress());
    EXPECT_EQ(_bstr_t(L"B-2"), key);
}

TEST(ChartServer, SamplesAreFoundByLabelAndFirstCaseAndSpecificationLimitsByType) {
    Chart chart(XBarRCsv(), kXBarR);
    const _IQCVChartsPtr& s = chart.server;
    EXPECT_EQ(5, s->FindSample(L"6", L"26"));
    for (auto [label, key] : {std::pair{L"6", L"25"}, {L"9", L"41"}, {L"0", L"1"}, {L"x", L"1"}}) {
        long index = 0;
        EXPECT_EQ(DISP_E_BADINDEX, s->raw_FindSample(_bstr_t(label), _bstr_t(key), &index));
        EXPECT_EQ(-1, index);
        EXPECT_NE(std::string::npos, ErrorText().find("No sample has the label"));
    }
    double value = 0;
    long type = 0;
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_XMeasure(8, &value));
    EXPECT_EQ(-1, s->SpecLimitSet(0)) << "no specification limits";
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_SpecLimitType(0, &type));

    struct Row {
        const char* keys;
        long type;
        bool lower, upper;
    } rows[] = {{"LowerSpecLimit=9.5\nUpperSpecLimit=13.5\n", 0, true, true},
                {"UpperSpecLimit=13.5\n", 3, false, true},
                {"SpecLimitType=3\nUpperSpecLimit=13.5\n", 3, false, true},
                {"LowerSpecLimit=9.5\n", 4, true, false}};
    for (const Row& row : rows) {
        Chart limited(XBarRCsv(), std::string(kXBarR) + row.keys);
        const _IQCVChartsPtr& l = limited.server;
        EXPECT_EQ(0, l->SpecLimitSet(3));
        EXPECT_EQ(row.type, l->SpecLimitType(0)) << row.keys;
        EXPECT_EQ(row.lower, !std::isnan(l->LowerSpecLimit(0))) << row.keys;
        EXPECT_EQ(row.upper, l->UpperSpecLimit(0) == 13.5) << row.keys;
    }
}

TEST(ChartServer, BadProjectsAreRefusedWithTheFileTheKeyAndTheProblem) {
    const HRESULT bad = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    struct Row {
        std::string qcp;
        HRESULT hr;
        const char* problem;
    } rows[] = {
        {"[REFSERVER]\nObservationVar=Diamter\n", bad, "\"Diamter\""},
        {"[REFSERVER]\nObservationVar=Diameter\nSubgroupVar=Lot\n", bad,
         "SubgroupVar names the variable \"Lot\""},
        {"[REFSERVER]\nObservationVar=Diameter\nSubgroupSise=5\n", bad,
         "\"SubgroupSise\" is not one of"},
        {"[REFSERVER]\nObservationVar=Diameter\nChartType=9\n", bad,
         "ChartType 9 is not supported"},
        {"[REFSERVER]\nObservationVar=Diameter\nSpecLimitType=4\nUpperSpecLimit=3\n", bad,
         "SpecLimitType 4 needs LowerSpecLimit alone"},
        {"[REFSERVER]\nObservationVar=Diameter\nRunsTests=1,7\n", bad, "RunsTests is \"1,7\""},
        {"[REFSERVER]\nChartType=0\n", bad, "ObservationVar, the variable that holds"},
        {"[GENERAL]\nSampleVar=1\n", bad, "has no section [REFSERVER]"},
        {"", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "missing.qcp"},
    };
    for (const Row& row : rows) {
        Chart chart(XBarRCsv(), row.qcp);
        EXPECT_EQ(row.hr, chart.hr) << row.qcp;
        EXPECT_NE(std::string::npos, chart.error.find(row.problem)) << chart.error;
        EXPECT_NE(std::string::npos, chart.error.find(row.qcp.empty() ? "missing" : "chart.qcp"));
    }
    std::string csv = "Lot,x\n";
    for (int i = 0; i < 1001; ++i)
        csv += "L1," + std::to_string(i % 7) + "\n";
    Chart large(csv, "[REFSERVER]\nObservationVar=x\nSubgroupVar=Lot\n");
    EXPECT_EQ(bad, large.hr);
    EXPECT_NE(std::string::npos, large.error.find("Sample 1 (cases 1 to 1001) has 1001 cases"));
}
