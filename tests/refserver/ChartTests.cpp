// The chart server's numbers against hand computations on small data sets.
#include <gtest/gtest.h>

#include <cmath>

#include "RefServerSupport.h"
#include "support/Printers.h"

using namespace reftest;

namespace {

std::string Csv(const std::string& header, const std::vector<std::string>& rows) {
    std::string text = header + "\n";
    for (const std::string& row : rows)
        text += row + "\n";
    return text;
}

// Eight subgroups of five. By hand, with the published constants for n = 5 (d2 = 2.326,
// d3 = 0.864, A2 = 0.577, D4 = 2.114, D3 = 0):
//   S1 10 12 11 13  9   mean 11    R 4
//   S2 11 11 12 10 11   mean 11    R 2
//   S3 12 10 11 11 11   mean 11    R 2
//   S4 10 11 12 11 11   mean 11    R 2     phase I = S1..S4: Xbarbar 11, Rbar 10/4 = 2.5
//   S5 13 13 12 13 14   mean 13    R 2
//   S6 11 11 11 11 17   mean 12.2  R 6
//   S7 11 11 11 11 11   mean 11    R 0
//   S8 10 11 12 11 11   mean 11    R 2
// sigma = Rbar/d2 = 2.5/2.326 = 1.074806; sigma of a mean = sigma/sqrt(5) = 0.480668
// X control 11 -+ 3 * 0.480668 = [9.557996, 12.442004]   (A2 Rbar = 1.4425)
// X warning 11 -+ 2 * 0.480668 = [10.038664, 11.961336]
// R control: upper (2.326 + 3*0.864) sigma = 4.918 * 1.074806 = 5.285896 (D4 Rbar = 5.285);
//            lower 2.326 - 2.592 < 0: cut to 0, absent
// R warning: upper (2.326 + 2*0.864) sigma = 4.357264; lower 0.598 sigma = 0.642734, present
// So: S5 X above its control limit; S6 R above its control limit and X between warning and
// control limit; S7 R = 0 below the lower warning limit; nothing else.
const char* const kXBarRRows[] = {"10", "12", "11", "13", "9",  "11", "11", "12", "10", "11",
                                  "12", "10", "11", "11", "11", "10", "11", "12", "11", "11",
                                  "13", "13", "12", "13", "14", "11", "11", "11", "11", "17",
                                  "11", "11", "11", "11", "11", "10", "11", "12", "11", "11"};

std::string XBarRCsv() {
    std::vector<std::string> rows;
    for (size_t i = 0; i < std::size(kXBarRRows); ++i)
        rows.push_back(std::to_string(i + 1) + "," + kXBarRRows[i]);
    return Csv("Part,Diameter", rows);
}

const char kXBarRProject[] = "[REFSERVER]\n"
                             "ChartType=0\n"
                             "ObservationVar=Diameter\n"
                             "SubgroupSize=5\n"
                             "PhaseISamples=4\n";

} // namespace

TEST(ChartServer, XBarRCentreLimitsAndMeasuresMatchTheHandComputation) {
    Chart chart(XBarRCsv(), kXBarRProject);
    ASSERT_EQ(8, chart.samples);
    _IQCVChartsPtr s = chart.server;
    EXPECT_EQ(0, s->ChartType());
    EXPECT_EQ(2, s->ObservationVariable());
    const double tolerance = 2e-3; // the published constants have three decimals
    double sigma = 0;
    ASSERT_EQ(S_OK, chart.Details()->get_Sigma(&sigma));
    EXPECT_NEAR(1.074806, sigma, tolerance);
    for (long i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(9.557996, s->XLowerControlLimit(i), tolerance);
        EXPECT_NEAR(12.442004, s->XUpperControlLimit(i), tolerance);
        EXPECT_NEAR(10.038664, s->XLowerWarningLimit(i), tolerance);
        EXPECT_NEAR(11.961336, s->XUpperWarningLimit(i), tolerance);
        EXPECT_DOUBLE_EQ(0.0, s->RLowerControlLimit(i));
        EXPECT_NEAR(5.285896, s->RUpperControlLimit(i), tolerance);
        EXPECT_NEAR(0.642734, s->RLowerWarningLimit(i), tolerance);
        EXPECT_NEAR(4.357264, s->RUpperWarningLimit(i), tolerance);
        EXPECT_DOUBLE_EQ(i * 5.0, s->SampleFirstCase(i));
    }
    const double means[] = {11, 11, 11, 11, 13, 12.2, 11, 11};
    const double ranges[] = {4, 2, 2, 2, 2, 6, 0, 2};
    for (long i = 0; i < 8; ++i) {
        EXPECT_DOUBLE_EQ(means[i], s->XMeasure(i)) << i;
        EXPECT_DOUBLE_EQ(ranges[i], s->RMeasure(i)) << i;
    }
    double center = 0, rCenter = 0;
    ASSERT_EQ(S_OK, chart.Details()->XCenterLine(7, &center));
    ASSERT_EQ(S_OK, chart.Details()->RCenterLine(7, &rCenter));
    EXPECT_DOUBLE_EQ(11.0, center);
    EXPECT_NEAR(2.5, rCenter, 1e-9) << "d2 sigma is Rbar again";
    // Only the R chart's lower control limit is absent for n = 5.
    EXPECT_EQ(0, s->XNoLowerControlLimit());
    EXPECT_EQ(0, s->XNoUpperControlLimit());
    EXPECT_EQ(0, s->XNoLowerWarningLimit());
    EXPECT_EQ(0, s->XNoUpperWarningLimit());
    EXPECT_NE(0, s->RNoLowerControlLimit());
    EXPECT_EQ(0, s->RNoUpperControlLimit());
    EXPECT_EQ(0, s->RNoLowerWarningLimit());
    EXPECT_EQ(0, s->RNoUpperWarningLimit());
}

TEST(ChartServer, PhaseILimitsComeFromTheFirstSamplesOnly) {
    // With every sample in phase I: Xbarbar = (4*11 + 13 + 12.2 + 11 + 11)/8 = 11.4,
    // Rbar = 20/8 = 2.5 (the same by chance), so only the centre moves.
    std::string project = kXBarRProject;
    project.replace(project.find("PhaseISamples=4"), 15, "PhaseISamples=0");
    Chart chart(XBarRCsv(), project);
    EXPECT_NEAR(11.4 + 1.442004, chart.server->XUpperControlLimit(0), 2e-3);
    EXPECT_NEAR(11.4 - 1.442004, chart.server->XLowerControlLimit(0), 2e-3);
}

TEST(ChartServer, XBarSUsesC4) {
    // Subgroups of four; c4(4) = 2 sqrt(2/3) / sqrt(pi) = 0.921318 exactly.
    //   S1 1 2 3 4  mean 2.5  s = sqrt(5/3) = 1.290994
    //   S2 2 2 4 4  mean 3    s = sqrt(4/3) = 1.154701
    //   S3 1 3 3 5  mean 3    s = sqrt(8/3) = 1.632993
    // Xbarbar = 8.5/3 = 2.833333; Sbar = 1.359563; sigma = Sbar/c4 = 1.475672
    // X control: 2.833333 -+ 3 * 1.475672 / 2 = [0.619825, 5.046841]
    // S control: upper (c4 + 3 sqrt(1 - c4^2)) sigma = (0.921318 + 3 * 0.388811) sigma
    //            = 2.087751 * 1.475672 = 3.080833 (B4 Sbar = 2.266 * 1.359563 = 3.0808);
    //            lower cut to 0
    // S warning: upper (0.921318 + 0.777621) sigma = 2.507076; lower (0.921318 - 0.777621)
    //            sigma = 0.212049
    Chart chart(Csv("x", {"1", "2", "3", "4", "2", "2", "4", "4", "1", "3", "3", "5"}),
                "[REFSERVER]\nChartType=1\nObservationVar=x\nSubgroupSize=4\n");
    _IQCVChartsPtr s = chart.server;
    EXPECT_EQ(1, s->ChartType());
    EXPECT_NEAR(1.290994, s->RMeasure(0), 1e-6);
    EXPECT_NEAR(1.632993, s->RMeasure(2), 1e-6);
    EXPECT_NEAR(0.619825, s->XLowerControlLimit(1), 1e-5);
    EXPECT_NEAR(5.046841, s->XUpperControlLimit(1), 1e-5);
    EXPECT_NEAR(3.080833, s->RUpperControlLimit(1), 1e-5);
    EXPECT_DOUBLE_EQ(0.0, s->RLowerControlLimit(1));
    EXPECT_NEAR(2.507076, s->RUpperWarningLimit(1), 1e-5);
    EXPECT_NEAR(0.212049, s->RLowerWarningLimit(1), 1e-5);
    EXPECT_NE(0, s->RNoLowerControlLimit());
    EXPECT_EQ(0, s->RNoLowerWarningLimit());
}

TEST(ChartServer, IndividualsAndMovingRangeUsesClosedFormConstants) {
    // d2(2) = 2/sqrt(pi) = 1.128379, d3(2) = sqrt(2 - 4/pi) = 0.852502.
    //   x  10 12 11 13 12 20      MR  - 2 1 2 1 8      phase I = first 5
    // mean 58/5 = 11.6; MRbar 6/4 = 1.5; sigma = 1.5/1.128379 = 1.329340
    // X control 11.6 -+ 3.988021 = [7.611979, 15.588021]; warning 11.6 -+ 2.658681
    // MR control: upper 1.5 + 3 d3 sigma = 1.5 + 3.399798 = 4.899798; lower cut, absent
    // MR warning: upper 1.5 + 2.266532 = 3.766532; lower cut, absent
    Chart chart(Csv("w", {"10", "12", "11", "13", "12", "20"}),
                "[REFSERVER]\nChartType=3\nObservationVar=w\nPhaseISamples=5\n");
    _IQCVChartsPtr s = chart.server;
    ASSERT_EQ(6, chart.samples);
    EXPECT_TRUE(std::isnan(s->RMeasure(0))) << "the first individual has no moving range";
    EXPECT_DOUBLE_EQ(8.0, s->RMeasure(5));
    EXPECT_DOUBLE_EQ(20.0, s->XMeasure(5));
    EXPECT_NEAR(7.611979, s->XLowerControlLimit(5), 1e-5);
    EXPECT_NEAR(15.588021, s->XUpperControlLimit(5), 1e-5);
    EXPECT_NEAR(14.258681, s->XUpperWarningLimit(0), 1e-5);
    EXPECT_NEAR(4.899798, s->RUpperControlLimit(3), 1e-5);
    EXPECT_NEAR(3.766532, s->RUpperWarningLimit(3), 1e-5);
    EXPECT_NE(0, s->RNoLowerControlLimit());
    EXPECT_NE(0, s->RNoLowerWarningLimit());
    EXPECT_DOUBLE_EQ(4.0, s->SampleFirstCase(4));
}

TEST(ChartServer, SubgroupVariableFormsSamplesOfTheirOwnSize) {
    // Batches of 3, 2 and 4 cases; the last has an empty and a text cell, which are missing
    // observations, so it has two: 1 and 4.
    // Ranges 2, 1, 3 of 3, 2, 2 observations: sigma = mean(2/d2(3), 1/d2(2), 3/d2(2))
    //   = mean(1.181635, 0.886227, 2.658681) = 1.575514
    // Centre: the mean of the seven observations, 16/7. The X limits narrow with the number of
    // observations: centre + 3 sigma/sqrt(n).
    Chart chart(Csv("Batch,d", {"B-1,1", "B-1,2", "B-1,3", "B-2,2", "B-2,3", "B-3,1", "B-3,",
                                "B-3,n/a", "B-3,4"}),
                "[REFSERVER]\nChartType=0\nObservationVar=d\nSubgroupVar=batch\n");
    _IQCVChartsPtr s = chart.server;
    ASSERT_EQ(3, chart.samples);
    IRefChartPtr details = chart.Details();
    long sizes[3] = {};
    for (long i = 0; i < 3; ++i)
        ASSERT_EQ(S_OK, details->SampleSize(i, &sizes[i]));
    EXPECT_EQ(3, sizes[0]);
    EXPECT_EQ(2, sizes[1]);
    EXPECT_EQ(2, sizes[2]) << "empty and text cells are missing observations";
    EXPECT_DOUBLE_EQ(5.0, s->SampleFirstCase(2));
    EXPECT_DOUBLE_EQ(3.0, s->RMeasure(2));
    EXPECT_DOUBLE_EQ(2.5, s->XMeasure(2));
    double sigma = 0;
    ASSERT_EQ(S_OK, details->get_Sigma(&sigma));
    EXPECT_NEAR(1.575514, sigma, 1e-5);
    double center = 16.0 / 7.0;
    EXPECT_NEAR(center + 3 * sigma / std::sqrt(3.0), s->XUpperControlLimit(0), 1e-6);
    EXPECT_NEAR(center + 3 * sigma / std::sqrt(2.0), s->XUpperControlLimit(1), 1e-6);

    // The key of a sample formed by a variable is that variable's text on its first case.
    EXPECT_EQ(2, s->FindSample(L"3", L"B-3"));
    EXPECT_EQ(0, s->FindSample(L"1", L"B-1"));
    _bstr_t key;
    ASSERT_EQ(S_OK, details->SampleKey(1, key.GetAddress()));
    EXPECT_STREQ(L"B-2", static_cast<const wchar_t*>(key));
}

TEST(ChartServer, FindSampleTakesTheLabelAndTheFirstCase) {
    Chart chart(XBarRCsv(), kXBarRProject);
    _IQCVChartsPtr s = chart.server;
    EXPECT_EQ(5, s->FindSample(L"6", L"26"));
    EXPECT_EQ(0, s->FindSample(L"1", L"1"));
    for (auto [label, key] : {std::pair{L"6", L"25"}, {L"9", L"41"}, {L"0", L"1"}, {L"x", L"1"}}) {
        long index = 0;
        EXPECT_EQ(DISP_E_BADINDEX, s->raw_FindSample(_bstr_t(label), _bstr_t(key), &index));
        EXPECT_EQ(-1, index);
        EXPECT_NE(std::string::npos, TakeErrorText().find("No sample has the label"));
    }
    double value = 0;
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_XMeasure(8, &value));
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_SampleFirstCase(-1, &value));
}

TEST(ChartServer, SpecificationLimitTypesKeepTheRightBound) {
    struct Case {
        const char* keys;
        long type;
        bool lower, upper;
    } cases[] = {
        {"LowerSpecLimit=9.5\nUpperSpecLimit=13.5\n", 0, true, true},
        {"UpperSpecLimit=13.5\n", 3, false, true},
        {"SpecLimitType=3\nUpperSpecLimit=13.5\n", 3, false, true},
        {"LowerSpecLimit=9.5\n", 4, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        Chart chart(XBarRCsv(), std::string(kXBarRProject) + c.keys);
        _IQCVChartsPtr s = chart.server;
        long set = s->SpecLimitSet(3);
        EXPECT_EQ(0, set);
        EXPECT_EQ(c.type, s->SpecLimitType(set));
        EXPECT_EQ(c.lower, !std::isnan(s->LowerSpecLimit(set)));
        EXPECT_EQ(c.upper, !std::isnan(s->UpperSpecLimit(set)));
        if (c.upper) {
            EXPECT_DOUBLE_EQ(13.5, s->UpperSpecLimit(set));
        }
    }
    Chart none(XBarRCsv(), kXBarRProject);
    EXPECT_EQ(-1, none.server->SpecLimitSet(0));
    long type = 0;
    EXPECT_EQ(DISP_E_BADINDEX, none.server->raw_SpecLimitType(0, &type));
}

namespace {

// Runs the project against the XBar & R data and returns the failure's description.
std::string RunFails(const std::string& project, HRESULT expected) {
    zavtest::TempDir dir;
    _SpreadsheetPtr sheet = OpenSheet(WriteFile(dir, "data.csv", XBarRCsv()));
    VELTRIUM::_Application* raw = nullptr;
    CreateRefApplication(nullptr, &raw);
    _ApplicationPtr app(raw, false);
    _AnalysisPtr analysis = app->Analysis(3251, _variant_t(static_cast<IDispatch*>(sheet)));
    std::wstring path =
        project.empty() ? Wide(dir / "missing.qcp") : WriteFile(dir, "chart.qcp", project);
    PutByName(analysis->GetDialog(), L"DropProjectFile", _variant_t(path.c_str()));
    long samples = 0;
    EXPECT_EQ(expected, analysis->raw_Run(&samples));
    std::string text = TakeErrorText();
    EXPECT_NE(std::string::npos, text.find(project.empty() ? "missing.qcp" : "chart.qcp")) << text;
    return text;
}

} // namespace

TEST(ChartServer, BadProjectsAreRejectedWithTheFileAndTheProblem) {
    const HRESULT bad = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    EXPECT_NE(std::string::npos,
              RunFails("[REFSERVER]\nObservationVar=Diamter\n", bad).find("\"Diamter\""));
    EXPECT_NE(std::string::npos,
              RunFails("[REFSERVER]\nObservationVar=Diameter\nSubgroupVar=Lot\n", bad)
                  .find("SubgroupVar names the variable \"Lot\""));
    EXPECT_NE(std::string::npos,
              RunFails("[REFSERVER]\nObservationVar=Diameter\nSubgroupSise=5\n", bad)
                  .find("\"SubgroupSise\" is not one of"));
    EXPECT_NE(std::string::npos,
              RunFails("[REFSERVER]\nObservationVar=Diameter\nChartType=9\n", bad)
                  .find("ChartType 9 is not supported"));
    EXPECT_NE(std::string::npos, RunFails("[REFSERVER]\nObservationVar=Diameter\nSpecLimitType=4\n"
                                          "UpperSpecLimit=3\n",
                                          bad)
                                     .find("SpecLimitType 4 needs LowerSpecLimit alone"));
    EXPECT_NE(std::string::npos,
              RunFails("[REFSERVER]\nObservationVar=Diameter\nRunsTests=1,7\n", bad)
                  .find("RunsTests is \"1,7\""));
    EXPECT_NE(std::string::npos, RunFails("[REFSERVER]\nChartType=0\n", bad)
                                     .find("ObservationVar, the variable that holds"));
    EXPECT_NE(std::string::npos,
              RunFails("[GENERAL]\nSampleVar=1\n", bad).find("has no section [REFSERVER]"));
    RunFails("", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST(ChartServer, SamplesBeyondTheLargestSubgroupAreRejected) {
    std::string csv = "Lot,x\n";
    for (int i = 0; i < 1001; ++i)
        csv += "L1," + std::to_string(i % 7) + "\n";
    zavtest::TempDir dir;
    _SpreadsheetPtr sheet = OpenSheet(WriteFile(dir, "data.csv", csv));
    VELTRIUM::_Application* raw = nullptr;
    CreateRefApplication(nullptr, &raw);
    _AnalysisPtr analysis =
        _ApplicationPtr(raw, false)->Analysis(3251, _variant_t(static_cast<IDispatch*>(sheet)));
    std::wstring project =
        WriteFile(dir, "p.qcp", "[REFSERVER]\nObservationVar=x\nSubgroupVar=Lot\n");
    PutByName(analysis->GetDialog(), L"DropProjectFile", _variant_t(project.c_str()));
    long samples = 0;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), analysis->raw_Run(&samples));
    EXPECT_NE(std::string::npos, TakeErrorText().find("Sample 1 (cases 1 to 1001) has 1001 cases"));
}
