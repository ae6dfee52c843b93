// The whole road through the sample host: CSV and QCP in, JSON Lines out, as a person runs it.
#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace {

struct Outcome {
    DWORD exitCode = 0;
    std::string output; // standard output and standard error together
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

// Runs build/zavrun/zavrun.exe with its output in a file of `dir`.
Outcome RunZavrun(const zavtest::TempDir& dir, const std::string& arguments) {
    const std::string program = zavtest::BesideThisExecutable("..\\zavrun\\zavrun.exe");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::string outputPath = dir / "zavrun-output.txt";
    HANDLE output = ::CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::string commandLine = "\"" + program + "\" " + arguments;
    PROCESS_INFORMATION process{};
    Outcome outcome;
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          dir.path().c_str(), &startup, &process)) {
        ::CloseHandle(output);
        ADD_FAILURE() << "cannot start " << program;
        return outcome;
    }
    ::CloseHandle(output);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.hProcess, 60000));
    ::GetExitCodeProcess(process.hProcess, &outcome.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    outcome.output = ReadFile(outputPath);
    return outcome;
}

// Nine subgroups of two. The first eight (phase I) average 11.5 with ranges of 2, so the X chart's
// control limits are 11.5 -+ 3 * 2 / d2(2) / sqrt(2) with d2(2) = 2 / sqrt(pi): 11.5 -+ 3.75994,
// that is 7.74006 and 15.2599. Subgroup 9 averages 31: out of control on the X chart only (its
// range is 2, inside 0..6.53), and both its observations lie above the upper
// specification limit 25.
const char kData[] = "Batch,Operator,x,Line\n"
                     "B1,Ann,10,A\nB1,Ann,12,A\nB2,Bob,11,A\n"
                     "B2,Bob,13,A\nB3,Ann,10,A\nB3,Ann,12,A\n"
                     "B4,Bob,11,A\nB4,Bob,13,A\nB5,Ann,10,B\n"
                     "B5,Ann,12,B\nB6,Bob,11,B\nB6,Bob,13,B\n"
                     "B7,Ann,10,B\nB7,Ann,12,B\nB8,Bob,11,B\n"
                     "B8,Bob,13,B\nB9,Cy,30,B\nB9,Cy,32,B\n";
const char kProject[] = "[GENERAL]\n"
                        "ChartOptAlarmOutOfSpecs=1\nChartOptAlarmRunsViolation=1\n"
                        "ChartOptAlarmOutOfControl=1\nChartOptAlarmOutOfWarning=1\n"
                        "au_column_count=1\nau_column_0=1\n"
                        "zav_aux_data_count=1\nzav_aux_data_var_0=2\n"
                        "CharID=1\n"
                        "[REFSERVER]\n"
                        "ChartType=0\nObservationVar=x\nSubgroupSize=2\nPhaseISamples=8\n"
                        "LowerSpecLimit=5\nUpperSpecLimit=25\nSpecLimitType=0\n"
                        "[CHARACTERISTICS]\n1=Diameter\n";

struct ZavrunRoad : ::testing::Test {
    zavtest::TempDir dir;
    void SetUp() override {
        zavtest::WriteTextFile(dir / "data.csv", kData);
        zavtest::WriteTextFile(dir / "project.qcp", kProject);
    }
};

TEST_F(ZavrunRoad, TheAlarmsAreExactlyThoseTheChartImplies) {
    Outcome run = RunZavrun(dir, "--data data.csv --qcp project.qcp --out alarms.jsonl --svg "
                                 "charts --log-dir .");
    ASSERT_EQ(0u, run.exitCode) << run.output;
    std::vector<std::string> records = Lines(ReadFile(dir / "alarms.jsonl"));
    std::sort(records.begin(), records.end());
    const std::string common = "\"processName\":\"\",\"sampleId\":\"B9\",";
    EXPECT_EQ(std::vector<std::string>(
                  {"{\"charId\":1,\"alarmType\":\"ObsOutsideSpecs\"," + common +
                       "\"description\":\"Obs. 1 is out of spec; x=30; Limits: [5, 25]\","
                       "\"charDetails\":\"Cy\"}",
                   "{\"charId\":1,\"alarmType\":\"ObsOutsideSpecs\"," + common +
                       "\"description\":\"Obs. 2 is out of spec; x=32; Limits: [5, 25]\","
                       "\"charDetails\":\"Cy\"}",
                   "{\"charId\":1,\"alarmType\":\"SampleOutOfControl\"," + common +
                       "\"description\":\"XBar & R; X Measure: 31; Limits: [7.74006, 15.2599]\","
                       "\"charDetails\":\"Cy\"}"}),
              records);
    EXPECT_NE(std::string::npos, run.output.find("9 samples: 3 alarms")) << run.output;
    std::string chart = ReadFile(dir / "charts\\run001.svg");
    EXPECT_EQ(0u, chart.find("<svg ")) << "a chart per run";
    EXPECT_NE(std::string::npos, chart.find("<circle")) << "the out-of-control sample is marked";
    WIN32_FIND_DATAA entry;
    HANDLE log = ::FindFirstFileA((dir / "zav*.log").c_str(), &entry);
    EXPECT_NE(INVALID_HANDLE_VALUE, log) << "the host's daily log";
    if (log != INVALID_HANDLE_VALUE)
        ::FindClose(log);
}

TEST_F(ZavrunRoad, EachProcessBlockIsItsOwnRun) {
    Outcome run = RunZavrun(dir, "--data data.csv --qcp project.qcp --out alarms.jsonl "
                                 "--process-vars Line --alarms outside-specs");
    ASSERT_EQ(0u, run.exitCode) << run.output;
    std::vector<std::string> records = Lines(ReadFile(dir / "alarms.jsonl"));
    ASSERT_EQ(2u, records.size()) << "only the wanted kind, from the block of line B";
    EXPECT_NE(std::string::npos, records[0].find("\"processName\":\"Line=B\""));
    EXPECT_NE(std::string::npos, run.output.find("run 1: Line=A, cases 1 to 8, 4 samples"))
        << run.output;
    EXPECT_NE(std::string::npos, run.output.find("run 2: Line=B, cases 9 to 18, 5 samples"));
}

TEST_F(ZavrunRoad, BadInputNamesTheFileAndTheProblem) {
    struct Case {
        std::string arguments;
        std::string expected;
    } cases[] = {
        {"--data missing.csv --qcp project.qcp", "missing.csv: no such file"},
        {"--data data.csv --qcp missing.qcp", "missing.qcp: no such file"},
        {"--data broken.csv --qcp project.qcp", "broken.csv"},
        {"--data data.csv --qcp project.qcp --ignore-var Nothing", "no variable \"Nothing\""},
        {"--data data.csv --qcp noidentity.qcp",
         "noidentity.qcp: Getting options from qcp file [Runner: No auto update column"},
        {"--data data.csv", "--data and --qcp are required"},
    };
    zavtest::WriteTextFile(dir / "broken.csv", "a,b\n1,2\n\"open quote,3\n");
    zavtest::WriteTextFile(dir / "noidentity.qcp", "[GENERAL]\nChartOptAlarmOutOfControl=1\n"
                                                   "[CHARACTERISTICS]\n1=Diameter\n");
    for (const Case& test : cases) {
        Outcome run = RunZavrun(dir, test.arguments);
        EXPECT_NE(0u, run.exitCode) << test.arguments;
        EXPECT_NE(std::string::npos, run.output.find(test.expected)) << test.arguments << "\n"
                                                                     << run.output;
    }
}

} // namespace

namespace {

// The XBar & R chart of one line of the sample data computed here from its own text, with the
// tabulated constants for subgroups of five: d2 = 2.325929, d3 = 0.864082, limits from the
// first 50 batches, control limits at 3 sigma and warning limits at 2 sigma.
struct ExpectedAlarms {
    int outOfControl = 0;   // one per chart part outside its control limits
    int outsideWarning = 0; // one per part inside those but outside its warning limits
    int outsideSpecs = 0;   // one per part outside 9.97 .. 10.03
};

ExpectedAlarms ComputeLine(const std::vector<std::vector<double>>& batches) {
    constexpr double d2 = 2.325929, d3 = 0.864082;
    double meanSum = 0, rangeSum = 0;
    for (size_t i = 0; i < 50; ++i) {
        meanSum += std::accumulate(batches[i].begin(), batches[i].end(), 0.0) / 5;
        rangeSum += *std::max_element(batches[i].begin(), batches[i].end()) -
                    *std::min_element(batches[i].begin(), batches[i].end());
    }
    const double center = meanSum / 50, rbar = rangeSum / 50;
    const double xSigma = rbar / d2 / std::sqrt(5.0), rSigma = d3 * rbar / d2;
    ExpectedAlarms expected;
    auto classify = [&](double value, double middle, double sigma, bool lowerAbsent) {
        const bool outControl =
            value > middle + 3 * sigma || (!lowerAbsent && value < middle - 3 * sigma);
        const bool outWarning = value > middle + 2 * sigma || value < middle - 2 * sigma;
        expected.outOfControl += outControl;
        expected.outsideWarning += !outControl && outWarning;
    };
    for (const std::vector<double>& batch : batches) {
        const double mean = std::accumulate(batch.begin(), batch.end(), 0.0) / 5;
        const double range = *std::max_element(batch.begin(), batch.end()) -
                             *std::min_element(batch.begin(), batch.end());
        classify(mean, center, xSigma, false);
        classify(range, rbar, rSigma, rbar - 3 * rSigma <= 0);
        for (double part : batch)
            expected.outsideSpecs += part < 9.97 || part > 10.03;
    }
    return expected;
}

int CountRecords(const std::vector<std::string>& records, const std::string& line,
                 const std::string& type) {
    return static_cast<int>(std::count_if(records.begin(), records.end(), [&](const auto& r) {
        return r.find("\"alarmType\":\"" + type + "\"") != std::string::npos &&
               r.find("\"processName\":\"Line=" + line + "\"") != std::string::npos;
    }));
}

TEST(ZavrunSampleData, TheRecordsAreThoseTheChartsOfBothLinesImply) {
    zavtest::TempDir dir;
    const std::string data = ZAV_SOURCE_DIR "/sample-data/production.csv";
    Outcome run = RunZavrun(dir, "--data " + data +
                                     " --qcp " ZAV_SOURCE_DIR
                                     "/sample-data/diameter-xbar-r.qcp --process-vars Line "
                                     "--out alarms.jsonl");
    ASSERT_EQ(0u, run.exitCode) << run.output;
    const std::vector<std::string> records = Lines(ReadFile(dir / "alarms.jsonl"));

    // Line, batch and diameter are the 2nd, 4th and 5th columns; rows are grouped by batch.
    std::map<std::string, std::vector<std::vector<double>>> lines;
    std::istringstream csv(ReadFile(data));
    std::string row, previousBatch;
    std::getline(csv, row);
    while (std::getline(csv, row)) {
        std::vector<std::string> cells;
        std::istringstream fields(row);
        for (std::string cell; std::getline(fields, cell, ',');)
            cells.push_back(cell);
        ASSERT_GE(cells.size(), 5u) << row;
        auto& batches = lines[cells[1]];
        if (cells[3] != previousBatch)
            batches.emplace_back();
        previousBatch = cells[3];
        batches.back().push_back(std::stod(cells[4]));
    }
    ASSERT_EQ(2u, lines.size());
    for (const auto& [line, batches] : lines) {
        ASSERT_EQ(400u, batches.size());
        ExpectedAlarms expected = ComputeLine(batches);
        EXPECT_GT(expected.outOfControl, 0) << "the shift and the drift show";
        EXPECT_EQ(expected.outOfControl, CountRecords(records, line, "SampleOutOfControl"))
            << "line " << line;
        EXPECT_EQ(expected.outsideWarning,
                  CountRecords(records, line, "SampleOutsideWarningLimits"))
            << "line " << line;
        EXPECT_EQ(expected.outsideSpecs, CountRecords(records, line, "ObsOutsideSpecs"))
            << "line " << line;
    }
}

} // namespace
