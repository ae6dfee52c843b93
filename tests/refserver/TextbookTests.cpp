// Every chart type against published worked examples (their data reproduce the printed centre
// lines before the limits count; where only sample means and standard deviations are printed,
// samples are made that have them), and against small data sets worked by hand for what the
// examples leave out.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "RefServerSupport.h"

using namespace reftest;

namespace {

// "1\n2\n..." of the values, or "a,b\n" pairs of each value and the matching entry of `other`.
std::string Lines(const std::vector<double>& values, const std::vector<double>& other = {}) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i)
        text += std::to_string(values[i]) + (other.empty() ? "" : "," + std::to_string(other[i])) +
                "\n";
    return text;
}

// Nonconforming cans in 30 samples of 50 (sum 347, printed pbar 0.2313).
const std::vector<double> kCans = {12, 15, 8, 10, 4,  7,  16, 9,  14, 10, 5,  6, 17, 12, 22,
                                   8,  10, 5, 13, 11, 20, 18, 24, 15, 9,  12, 7, 13, 9,  6};
// Nonconformities on 26 samples of 100 circuit boards (sum 516, printed cbar 19.85).
const std::vector<double> kBoards = {21, 24, 16, 12, 15, 5,  28, 20, 31, 25, 20, 24, 16,
                                     19, 10, 17, 13, 22, 18, 39, 30, 24, 16, 19, 17, 15};
// Nonconformities on 20 samples of 5 computers (sum 193, printed ubar 1.93).
const std::vector<double> kComputers = {10, 12, 8, 14, 10, 16, 11, 7,  10, 15,
                                        9,  5,  7, 11, 12, 6,  8,  10, 7,  5};
// Thirty observations, the first twenty from a process at mean 10 and sigma 1, the last ten
// shifted up one sigma, the books' data for the CuSum, EWMA and moving-average charts.
const std::vector<double> kShift = {9.45,  7.99,  9.29,  11.66, 12.16, 10.18, 8.04,  11.46,
                                    9.20,  10.34, 9.03,  11.47, 10.51, 9.40,  10.08, 9.37,
                                    10.62, 10.31, 8.52,  10.84, 10.90, 9.33,  12.29, 11.50,
                                    10.60, 11.08, 10.38, 11.62, 11.31, 10.52};

// Standard deviations of 24 samples of six refractive indices (printed sum 30.34).
const std::vector<double> kIndexSpreads = {1.30, .88, 1.43, 1.59, 1.52, 1.27, 1.16, .79,
                                           1.48, .80, 1.42, 1.65, 1.28, 1.14, 1.37, 1.40,
                                           1.58, .98, 1.21, .75,  1.34, 1.60, 1.22, 1.18};
// Nonconforming wafers in 50 lots of 200 (sum 357).
const std::vector<double> kWafers = {8, 7, 11, 3, 6,  11, 4,  4, 5,  8, 8,  6, 7,  6, 10, 7, 9,
                                     5, 6, 8,  8, 10, 4,  11, 4, 11, 6, 6,  9, 5,  4, 7,  5, 7,
                                     8, 5, 10, 9, 7,  9,  4,  9, 4,  7, 11, 8, 10, 8, 7,  5};
// Diameters of 25 batches of five wafers.
const std::vector<double> kWaferDiameters = {
    35.00, 34.99, 34.99, 34.98, 35.00, 35.01, 34.99, 34.99, 34.98, 35.00, 34.99, 35.00, 35.00,
    35.00, 35.00, 35.01, 35.00, 34.99, 34.99, 35.00, 35.00, 34.99, 34.98, 34.99, 35.00, 34.99,
    34.99, 35.00, 35.00, 35.00, 35.01, 34.98, 35.00, 35.00, 34.99, 35.00, 35.00, 34.99, 34.98,
    34.99, 34.99, 34.98, 34.98, 35.01, 35.00, 34.99, 35.00, 35.01, 34.99, 35.01, 35.01, 35.00,
    35.00, 34.98, 34.99, 34.99, 34.99, 35.00, 34.98, 35.01, 35.01, 34.99, 34.98, 34.99, 34.99,
    35.00, 35.00, 34.99, 35.01, 34.99, 34.98, 34.99, 34.99, 34.98, 35.00, 34.99, 35.00, 35.00,
    35.01, 35.00, 34.98, 34.98, 34.99, 34.99, 34.98, 35.01, 35.02, 35.00, 34.98, 35.00, 34.99,
    34.98, 35.00, 34.99, 34.98, 34.99, 35.00, 35.00, 34.99, 34.99, 35.00, 34.99, 34.99, 34.98,
    35.00, 35.00, 35.00, 35.01, 35.00, 35.00, 35.02, 35.00, 34.98, 35.02, 35.00, 35.00, 35.00,
    34.99, 35.01, 34.98, 34.99, 34.99, 34.99, 35.00, 35.00};
// Diameters of 30 tires, one at a time.
const std::vector<double> kTires = {24.05, 23.99, 23.95, 23.93, 23.97, 24.02, 24.06, 24.10,
                                    23.98, 24.03, 23.91, 24.06, 24.06, 23.96, 23.98, 24.06,
                                    24.01, 24.00, 23.93, 23.92, 24.09, 24.11, 24.05, 23.98,
                                    23.98, 24.06, 24.02, 24.06, 23.97, 23.96};
// Means and standard deviations of 20 days of 20 turbine power outputs.
const std::vector<double> kTurbineMeans = {
    3487.40, 3471.65, 3488.30, 3434.20, 3475.80, 3518.10, 3492.65, 3496.40, 3398.50, 3456.05,
    3493.60, 3563.30, 3519.05, 3474.20, 3443.60, 3586.35, 3486.45, 3492.90, 3432.80, 3496.90};
const std::vector<double> kTurbineSpreads = {
    220.260, 210.427, 147.025, 157.637, 258.949, 211.566, 193.779, 212.024, 199.201, 173.455,
    187.465, 205.472, 173.676, 200.576, 222.084, 185.724, 223.474, 145.267, 190.994, 208.858};

// Samples of an even size n with the printed means and standard deviations s: half of each
// sample at the mean - s sqrt((n - 1)/n), half at the mean + s sqrt((n - 1)/n).
std::string SummaryCsv(const std::vector<double>& means, const std::vector<double>& spreads,
                       int n) {
    std::string csv = "x\n";
    for (size_t i = 0; i < means.size(); ++i)
        for (int j = 0; j < n; ++j)
            csv += std::to_string(means[i] +
                                  (j % 2 ? 1 : -1) * spreads[i] * std::sqrt((n - 1.0) / n)) +
                   "\n";
    return csv;
}

// The books chart kShift against the known mean 10 and sigma 1. The server estimates them from
// its phase-I samples, so sample 1 (the only phase-I sample) is the pair 10 -+ d with d =
// d2(2)/sqrt(2): mean 10, sigma = 2d/d2(2) = sqrt(2), a pair's mean has sigma 1; every book value
// follows as a pair (x, x), book period i being sample i + 1.
std::string ShiftCsv() {
    std::string csv = "x\n10.797884561\n9.202115439\n";
    for (double x : kShift)
        csv += Lines({x, x});
    return csv;
}

struct Row {
    const char* chart;
    std::string csv;
    std::string qcp; // the section [REFSERVER]
    double tolerance;
    // "sample part value lower centre upper" for each sample looked at (from 1; part X or R; the
    // control limits; - for a value not checked), '|' between.
    const char* probes;
    std::string flags;  // the eight absent-limit flags, X control and warning, then R
    std::string alarms; // samples outside the control limits | outside only the warning limits
};

// The samples outside their control limits | outside only their warning limits, as ",1,2,|,3,",
// from the server's own limits; the run's out-of-control events agree.
std::string Alarms(const Chart& c) {
    const _IQCVChartsPtr& s = c.server;
    std::string alarms[2];
    for (long i = 0; i < c.samples; ++i) {
        const double x = s->XMeasure(i), r = s->RMeasure(i);
        if (x < s->XLowerControlLimit(i) || x > s->XUpperControlLimit(i) ||
            r < s->RLowerControlLimit(i) || r > s->RUpperControlLimit(i))
            alarms[0] += "," + std::to_string(i + 1);
        else if (x < s->XLowerWarningLimit(i) || x > s->XUpperWarningLimit(i) ||
                 r < s->RLowerWarningLimit(i) || r > s->RUpperWarningLimit(i))
            alarms[1] += "," + std::to_string(i + 1);
    }
    s->PutEnableSampleOutOfControlEvent(VARIANT_TRUE);
    s->Launch(0);
    RefRunStatistics stats{};
    c.Details()->GetRunStatistics(&stats);
    EXPECT_EQ(long(std::count(alarms[0].begin(), alarms[0].end(), ',')), stats.outOfControlEvents);
    return alarms[0] + "|" + alarms[1];
}

} // namespace

TEST(Textbook, ChartsReproduceThePublishedLimitsAndSignals) {
    const std::string shift = ShiftCsv(), x = "ObservationVar=x\n";
    const Row rows[] = {
        // Published limits of 25 batches of five: X 34.9823, 34.9950, 35.0077; R 0, 0.022,
        // 0.046519 (sigma mean R/d2(5) 0.009458586).
        {"XBar R", "x\n" + Lines(kWaferDiameters), x + "SubgroupSize=5\n", 0.00005,
         "1 X 34.992 34.9823 34.9950 35.0077|1 R 0.02 0 0.022 0.046519", "00001000", "|,17,18,23"},
        // Published limits of 20 days of 20: X 3351.92, 3485.41, 3618.90; S 100.207, 196.396,
        // 292.584 (sigma mean S/c4(20) 198.996).
        {"XBar S", SummaryCsv(kTurbineMeans, kTurbineSpreads, 20),
         x + "ChartType=1\nSubgroupSize=20\n", 0.005,
         "1 X 3487.40 3351.92 3485.41 3618.90|1 R 220.260 100.207 196.396 292.584", "00000000",
         "|,16"},
        // Published limits of 30 tires: X 23.8571, 24.0083, 24.1596; MR 0, 0.056897, 0.18585
        // (sigma mean MR/d2(2) 0.050423).
        {"Indiv MR", "x\n" + Lines(kTires), x + "ChartType=3\n", 0.00005,
         "2 X 23.99 23.8571 24.0083 24.1596|2 R 0.06 0 0.056897 0.18585", "00001010", "|,12,21,22"},
        // The standard deviation of two observations is their range over sqrt 2, and c4(2) =
        // d2(2)/sqrt 2, sqrt(1 - c4(2)^2) = d3(2)/sqrt 2: an MS chart of span 2 has the MR chart's
        // sigma and X limits, and its MS part is the MR part over sqrt 2: 0.056897/sqrt 2 =
        // 0.040232, 0.18585/sqrt 2 = 0.131415.
        {"MS", "x\n" + Lines(kTires), x + "ChartType=4\nSpan=2\n", 0.00005,
         "2 X 23.99 23.8571 24.0083 24.1596|2 R 0.042426 0 0.040232 0.131415", "00001010",
         "|,12,21,22"},
        // cbar 19.85; 19.85 -+ 3 sqrt(19.85): 6.48, 33.22; boards 6 and 20 out.
        {"C", "Count\n" + Lines(kBoards), "ChartType=10\nCountVar=Count\n", 0.01,
         "1 X 21 6.48 19.85 33.22|20 X 39 6.48 19.85 33.22", "00001111", ",6,20|,9,15,21"},
        // By hand, cbar 1.5: the lower limits 1.5 - k sqrt(1.5) are cut to 0, and so absent.
        {"C", "Count\n1\n2\n0\n3\n", "ChartType=10\nCountVar=Count\n", 1e-6, "1 X 1 0 1.5 5.174235",
         "10101111", "|"},
        // ubar 1.93; 1.93 -+ 3 sqrt(1.93/5): 0.07, 3.79; none out.
        {"U", "Count,Units\n" + Lines(kComputers, std::vector<double>(20, 5)),
         "ChartType=11\nCountVar=Count\nSizeVar=Units\n", 0.005,
         "1 X 2 0.07 1.93 3.79|6 X 3.2 0.07 1.93 3.79", "00001111", "|,6"},
        // pbar 0.2313; 0.2313 -+ 3 sqrt(pbar(1 - pbar)/50): 0.0524, 0.4102; 15 and 23 out.
        {"P", "Bad,Cans\n" + Lines(kCans, std::vector<double>(30, 50)),
         "ChartType=12\nCountVar=Bad\nSizeVar=Cans\nPhaseISamples=30\n", 0.00005,
         "15 X 0.44 0.0524 0.2313 0.4102|23 X 0.48 0.0524 0.2313 0.4102", "00001111",
         ",15,23|,5,11,18,21,22"},
        // The same as np: n pbar 11.57, limits 50 times the P chart's: 2.62, 20.51.
        {"Np", "Bad,Cans\n" + Lines(kCans, std::vector<double>(30, 50)),
         "ChartType=13\nCountVar=Bad\nSizeVar=Cans\n", 0.005,
         "15 X 22 2.62 11.57 20.51|5 X 4 2.62 11.57 20.51", "00001111", ",15,23|,5,11,18,21,22"},
        // Published np chart of 50 lots of 200 wafers: centre 7.14, upper limit 15.01184, the
        // lower one -0.7318 cut to 0; every lot inside.
        {"Np", "Bad,Wafers\n" + Lines(kWafers, std::vector<double>(50, 200)),
         "ChartType=13\nCountVar=Bad\nSizeVar=Wafers\n", 0.000005, "1 X 8 0 7.14 15.01184",
         "10001111", "|"},
        // Printed tabular CuSum with k = 0.5, h = 5: C-3 = 1.77, C+28 = 4.47, C+29 = 5.28 (the
        // signal), C+30 = 5.30.
        {"CuSum", shift, x + "ChartType=9\nSubgroupSize=2\nPhaseISamples=1\n", 0.005,
         "4 X -1.77 -5 0 5|29 X 4.47 -5 0 5|30 X 5.28 - - -|31 X 5.30 - - -", "00111111",
         ",30,31|"},
        // Printed EWMA with lambda 0.1: z1 = 9.945, z2 = 9.7495, z29 = 10.6468. By hand, at
        // sample j: 10 -+ 3 sqrt(0.1/1.9 (1 - 0.81^j)): j = 2 10 -+ 0.4036, j = 30 10 -+ 0.6876;
        // warnings (2 sigma) at book periods 26, 28, 29, 30.
        {"EWMA", shift, x + "ChartType=7\nSubgroupSize=2\nPhaseISamples=1\nLambda=0.1\n", 0.00005,
         "2 X 9.945 9.5964 10 10.4036|3 X 9.7495 - 10 -|30 X 10.6468 9.3124 10 10.6876|2 R 0 0 "
         "1.5958 5.2126",
         "00001010", "|,27,29,30,31"},
        // The book's limits of the same chart, L = 2.7: 9.38 and 10.62 once the start-up has
        // passed; z29 = 10.6468 beyond them, and z30 too. Here as EWMA & S, whose S part is by
        // hand: the pair's s 1.128379 = c4(2) sqrt 2, upper limit (c4 + 2.7 sqrt(1 - c4^2))
        // sqrt 2 = 3.430136, the lower one cut.
        {"EWMA S", shift,
         x + "ChartType=8\nSubgroupSize=2\nPhaseISamples=1\nLambda=0.1\nControlLimitSigmas=2.7\n",
         0.005, "30 X 10.6468 9.38 10 10.62|31 X - 9.38 10 10.62|1 R 1.128379 0 1.128379 3.430136",
         "00001010", ",30,31|,27,29"},
        // Printed moving averages of span 5: M5 = 10.11 inside 8.66 and 11.34 (10 -+ 3/sqrt 5).
        // By hand, sample 2 averages the phase-I pair's mean and 9.45: 9.725, 10 -+ 3/sqrt 2.
        {"MA", shift, x + "ChartType=5\nSubgroupSize=2\nPhaseISamples=1\nSpan=5\n", 0.005,
         "6 X 10.11 8.66 10 11.34|2 X 9.725 7.879 10 12.121", "00001010", "|,25,26,27,28,29,30,31"},
        // The same as moving average & S; its S part by hand as above, at 3 sigma: 3.685887.
        {"MA S", shift, x + "ChartType=6\nSubgroupSize=2\nPhaseISamples=1\nSpan=5\n", 0.005,
         "6 X 10.11 8.66 10 11.34|1 R 1.128379 0 1.128379 3.685887", "00001010",
         "|,25,26,27,28,29,30,31"},
        // Printed S^2 chart with probability limits at 0.001 each side (3.090232 sigma) and the
        // mean of the variances, 1.666433: 0.07 and 6.837; every sample inside.
        {"V2", SummaryCsv(std::vector<double>(24, 96.54), kIndexSpreads, 6),
         x + "ChartType=2\nSubgroupSize=6\nControlLimitSigmas=3.090232306\n", 0.0005,
         "1 R 1.69 0.07 - 6.837", "00000000", "|"},
        // By hand, subgroups of 3 (S^2 1 4 3 0 36), phase I the first four: sigma^2 2, centre
        // 45/12; chi-square with 2 df has the quantile -2 ln(1 - p), so the S^2 limits are
        // 2 (-ln(1 - tail)) and 2 (-ln tail): control 0.0027016, 13.215452 (tail 0.0013499). X
        // warning limits 3.75 -+ 1.632993.
        {"V2", "x\n1\n2\n3\n2\n4\n6\n3\n3\n6\n5\n5\n5\n0\n6\n12\n",
         x + "ChartType=2\nSubgroupSize=3\nPhaseISamples=4\n", 0.000001,
         "1 X 2 1.300510 3.75 6.199490|4 R 0 0.0027016 2 13.215452|5 R 36 - - -", "00000000",
         ",4,5|,1"},
        // By hand, span 3: MS NaN 1.414214 1 2.081666 2 5.859465; sigma = mean MS/c4(w) =
        // 1.876625 (c4(2) 0.797885, c4(3) 0.886227); centre 3.2 -+ 3 sigma; MS limits (c4 -+
        // 3 sqrt(1 - c4^2)) sigma, the lower one cut.
        {"MS", "x\n1\n3\n2\n6\n4\n15\n", x + "ChartType=4\nSpan=3\nPhaseISamples=5\n", 0.000005,
         "1 X 1 -2.429875 3.2 8.829875|2 R 1.414214 0 1.497330 4.891077|4 R 2.081666 0 1.663116 "
         "4.271163",
         "00001010", ",6|"},
    };
    for (const Row& row : rows) {
        Chart c(row.csv, "[REFSERVER]\n" + row.qcp);
        ASSERT_TRUE(c.server) << row.chart << ": " << c.error;
        const _IQCVChartsPtr& s = c.server;
        std::istringstream probes(row.probes);
        for (std::string probe; std::getline(probes, probe, '|');) {
            std::istringstream in(probe);
            long sample = 0;
            char part = 0;
            in >> sample >> part;
            const long i = sample - 1;
            const bool r = part == 'R';
            double centre = 0;
            r ? c.Details()->RCenterLine(i, &centre) : c.Details()->XCenterLine(i, &centre);
            for (double got : {r ? s->RMeasure(i) : s->XMeasure(i),
                               r ? s->RLowerControlLimit(i) : s->XLowerControlLimit(i), centre,
                               r ? s->RUpperControlLimit(i) : s->XUpperControlLimit(i)}) {
                std::string want;
                in >> want;
                if (want == "-")
                    continue;
                EXPECT_NEAR(std::stod(want), got, row.tolerance) << row.chart << ": " << probe;
            }
        }
        std::string flags;
        for (long f :
             {s->XNoLowerControlLimit(), s->XNoUpperControlLimit(), s->XNoLowerWarningLimit(),
              s->XNoUpperWarningLimit(), s->RNoLowerControlLimit(), s->RNoUpperControlLimit(),
              s->RNoLowerWarningLimit(), s->RNoUpperWarningLimit()})
            flags += std::to_string(f);
        EXPECT_EQ(row.flags, flags) << row.chart;
        EXPECT_EQ(row.alarms, Alarms(c)) << row.chart;
    }
}

TEST(Textbook, ACuSumChartGivesBothItsSides) {
    // The printed tabular CuSum's C-3 = 1.77 and C+29 = 5.28 (samples 4 and 30, from 1).
    Chart c(ShiftCsv(),
            "[REFSERVER]\nObservationVar=x\nChartType=9\nSubgroupSize=2\nPhaseISamples=1\n");
    double upper[2] = {}, lower[2] = {};
    ASSERT_EQ(S_OK, c.Details()->CusumSides(3, &upper[0], &lower[0])) << ErrorText();
    ASSERT_EQ(S_OK, c.Details()->CusumSides(29, &upper[1], &lower[1])) << ErrorText();
    EXPECT_NEAR(1.77, lower[0], 0.005);
    EXPECT_NEAR(5.28, upper[1], 0.005);
    EXPECT_EQ(0.0, upper[0] * lower[1]) << "one side is 0 while the other rises";
    Chart xbar("x\n1\n2\n3\n4\n", "[REFSERVER]\nObservationVar=x\nSubgroupSize=2\n");
    EXPECT_EQ(E_INVALIDARG, xbar.Details()->CusumSides(0, &upper[0], &lower[0]));
    EXPECT_TRUE(std::isnan(upper[0])) << ErrorText();
}

namespace {

// "Key count percent|" of each category of a Pareto chart in its rank, the percent being the
// step of the cumulative percentage, printed to the published four decimals.
std::string Ranked(const Chart& c) {
    std::string ranked;
    double before = 0;
    for (long i = 0; i < c.samples; ++i) {
        _bstr_t key;
        c.Details()->SampleKey(i, key.GetAddress());
        const double cumulative = c.server->RMeasure(i);
        char text[80];
        snprintf(text, sizeof text, "%s %g %.4f|", static_cast<const char*>(key),
                 c.server->XMeasure(i), cumulative - before);
        ranked += text;
        before = cumulative;
    }
    return ranked;
}

} // namespace

TEST(Textbook, AParetoChartRanksThePublishedFailureCauses) {
    // The causes of 31 integrated-circuit failures, as published, and the published frequency
    // table: Contamination 14 (45.1613%), Oxide Defect 8 (25.8065), Miscellaneous 3 (9.6774),
    // Corrosion and Metallization 2 (6.4516), Doping and Silicon Defect 1 (3.2258).
    std::string raw = "Cause\n";
    for (const char* cause :
         {"Corrosion",     "Oxide Defect",  "Contamination",  "Oxide Defect",  "Oxide Defect",
          "Miscellaneous", "Oxide Defect",  "Contamination",  "Metallization", "Oxide Defect",
          "Contamination", "Contamination", "Oxide Defect",   "Contamination", "Contamination",
          "Contamination", "Corrosion",     "Silicon Defect", "Miscellaneous", "Contamination",
          "Contamination", "Contamination", "Miscellaneous",  "Contamination", "Contamination",
          "Doping",        "Oxide Defect",  "Oxide Defect",   "Metallization", "Contamination",
          "Contamination"})
        raw += std::string(cause) + "\n";
    // Ties keep the order in which their causes first appear.
    const std::string head = "Contamination 14 45.1613|Oxide Defect 8 25.8065|Miscellaneous 3 "
                             "9.6774|Corrosion 2 6.4516|Metallization 2 6.4516|";
    Chart cases(raw, "[REFSERVER]\nChartType=14\nCategoryVar=Cause\n");
    EXPECT_EQ(head + "Silicon Defect 1 3.2258|Doping 1 3.2258|", Ranked(cases)) << cases.error;
    // The same from the published frequency table, each row counted by its count.
    Chart counted("Cause,Count\nContamination,14\nCorrosion,2\nDoping,1\nMetallization,2\n"
                  "Miscellaneous,3\nOxide Defect,8\nSilicon Defect,1\n",
                  "[REFSERVER]\nChartType=14\nCategoryVar=Cause\nCountVar=Count\n");
    EXPECT_EQ(head + "Doping 1 3.2258|Silicon Defect 1 3.2258|", Ranked(counted)) << counted.error;
    EXPECT_DOUBLE_EQ(100.0, cases.server->RMeasure(cases.samples - 1));
}

TEST(Textbook, AParetoChartLeavesOutIncompleteCasesAndHasNoLimitsOrEvents) {
    // Scratch 5 + 3 = 8, Dent 2 + 4 = 6, Crack 1, Burr 1; the case without a cause and the one
    // without a count are left out. Total 16: 50, 87.5, 93.75, 100 percent.
    Chart c("Cause,Count\nDent,2\nScratch,5\nCrack,1\nScratch,3\nDent,4\n,7\nBurr,1\nScratch,\n",
            "[REFSERVER]\nChartType=14\nCategoryVar=Cause\nCountVar=Count\nRunsTests=all\n");
    ASSERT_EQ(4, c.samples) << c.error;
    const _IQCVChartsPtr& s = c.server;
    std::string ranked;
    for (long i = 0; i < c.samples; ++i) {
        char text[80];
        snprintf(text, sizeof text, "%g %g %g|", s->RMeasure(i), s->SampleFirstCase(i),
                 s->XUpperControlLimit(i));
        ranked += text;
    }
    EXPECT_EQ("Scratch 8 50.0000|Dent 6 37.5000|Crack 1 6.2500|Burr 1 6.2500|", Ranked(c));
    EXPECT_EQ("50 1 nan|87.5 0 nan|93.75 2 nan|100 6 nan|", ranked);
    EXPECT_EQ(1, s->FindSample(L"2", L"Dent"));
    EXPECT_EQ(1, s->XNoLowerControlLimit() * s->XNoUpperWarningLimit() * s->RNoUpperControlLimit());
    s->PutEnableSampleOutOfControlEvent(VARIANT_TRUE);
    s->PutEnableSampleOutsideWarningLimitsEvent(VARIANT_TRUE);
    s->PutEnableRunsViolationEvent(VARIANT_TRUE);
    s->Launch(0);
    RefRunStatistics stats{};
    c.Details()->GetRunStatistics(&stats);
    EXPECT_EQ(0, stats.outOfControlEvents + stats.warningEvents + stats.runsViolationEvents);
    EXPECT_EQ(4, stats.samplesWalked);
}
