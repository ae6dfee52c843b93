// The sample host: its command line, its JSON Lines, its chart and crash-report module, and the
// whole road through it as a person runs it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "AlarmService.h"
#include "CommandLine.h"
#include "JsonLines.h"
#include "ProgressLine.h"
#include "SvgChart.h"
#include "support/Files.h"
#include "support/ChildProcess.h"
#include "support/ComObject.h"

namespace {

using namespace zavrun;
using zavtest::FilesIn;
using zavtest::ReadWholeFile;
using zavtest::SplitLines;
using zavtest::TempDir;

// The words of a command line; '' stands for an empty argument.
std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    std::replace(words.begin(), words.end(), std::string("''"), std::string());
    return words;
}

TEST(ZavrunParts, TheCommandLineTakesEveryOptionAndNamesEachMistake) {
    RunOptions o = ParseCommandLine(Words(
        "--data d.csv --qcp p.qcp --char-id 12 --alarms runs-violation,outside-specs --ignore-var "
        "Scrap --ignore-threshold 0.5 --process-vars Line,Shift --out a.jsonl --svg c "
        "--log-level TRACE"));
    EXPECT_EQ("d.csv|p.qcp|12|Scrap|a.jsonl|c|TRACE|runs violation|outside specs|Line|Shift",
              o.dataFile + "|" + o.qcpFile + "|" + std::to_string(o.charId) + "|" +
                  o.ignoreVariable + "|" + o.outputFile + "|" + o.svgFolder + "|" + o.logLevel +
                  "|" + o.alarmKinds[0] + "|" + o.alarmKinds[1] + "|" + o.processVariables[0] +
                  "|" + o.processVariables[1]);
    EXPECT_EQ(0.5, o.ignoreThreshold);
    EXPECT_EQ(4u, ParseCommandLine(Words("--qcp p --data d")).alarmKinds.size());
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    for (const char* wrong : {"--data", "--qcp", "--char-id 12x", "--alarms everything",
                              "--ignore-threshold ''", "--colour red", "stray"})
        EXPECT_THROW(ParseCommandLine(Words(std::string("--data d --qcp p ") + wrong)), UsageError)
            << wrong;
}

TEST(ZavrunParts, TheServiceWritesEveryRecordAsEscapedUtf8Json) {
    EXPECT_EQ("\"a \\\"b\\\" \\\\ c\\r\\n\\t\\u0001 Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC\"",
              JsonString(L"a \"b\" \\ c\r\n\t\x01 Gr\u00FC\u00DF\u20AC"));
    TempDir dir;
    FILE* out = fopen((dir / "a.jsonl").c_str(), "wb");
    AlarmService service(out);
    std::vector<QCAlarm> alarms(2);
    alarms[1].charId = 3;
    QCAlarm::SetString(alarms[1].alarmType, "RunsViolation");
    QCAlarm::SetString(alarms[1].sampleId, L"7 - 15");
    QCAlarm::SetString(alarms[1].charDetails, "");
    EXPECT_EQ(S_OK, service.NotifyAlarms(alarms.size(), alarms.data()));
    EXPECT_EQ(E_POINTER, service.NotifyAlarms(2, nullptr));
    fclose(out);
    const std::vector<std::string> lines = SplitLines(ReadWholeFile(dir / "a.jsonl"));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("{\"charId\":3,\"alarmType\":\"RunsViolation\",\"processName\":null,"
              "\"sampleId\":\"7 - 15\",\"description\":null,\"charDetails\":\"\"}",
              lines[1]);
}

// The first capture of every match of `pattern` in `text`.
std::vector<std::string> Captures(const std::string& text, const std::string& pattern) {
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (std::sregex_iterator i(text.begin(), text.end(), re), end; i != end; ++i)
        found.push_back((*i)[1]);
    return found;
}

// Fifty samples around 10 with limits 7..13 and warning limits 8..12: phase I the first ten,
// sample 20 beyond the control limits, sample 30 outside only the warning limits, a zone-A
// pattern over samples 40 to 42; specification limits drawn as lines.
TEST(ZavrunParts, AChartShowsItsLimitsPhasesSignalsAndSummaryWhateverItsLength) {
    auto picture = [](size_t n, const char* title) {
        auto line = [n](double value) { return std::vector<double>(n, value); };
        ChartPart p;
        p.name = "Individuals";
        p.center = line(10), p.lowerControl = line(7), p.upperControl = line(13);
        p.lowerWarning = line(8), p.upperWarning = line(12);
        for (size_t i = 0; i < n; ++i)
            p.values.push_back(10 + 0.5 * std::sin(i * 0.1));
        p.values[n * 2 / 5] = 14, p.values[n * 3 / 5] = 12.5;
        p.runs = {{3, n * 4 / 5, n * 4 / 5 + 2}};
        p.lowerSpec = 6.5, p.upperSpec = 13.5, p.specLines = true;
        ChartPicture c;
        c.title = title, c.parts = {p}, c.phaseI = n / 5, c.sigma = 0.8;
        c.identity = [](size_t i) { return "S" + std::to_string(i + 1); };
        c.anchorPrefix = "run1-", c.anchors = {n * 2 / 5};
        return RenderSvg(c);
    };
    auto count = [](const std::string& text, const std::string& what) {
        return Captures(text, "(" + what + ")").size();
    };
    const std::string small = picture(50, "Line=A <&>"), big = picture(200000, "all cases");
    std::string found;
    for (const char* what :
         {"Line=A &lt;&amp;&gt;", "class=\"signal beyond-control\"", "class=\"signal warning\"",
          "class=\"runs\"", "class=\"runs-end|signal runs-end\"", "class=\"phase-divider\"",
          "id=\"run1-s20\"", ">UCL 13<", ">LSL 6.5<", ">USL 13.5<", ">LWL 8<",
          "50 samples: 10 in phase I", "sigma 0.8", "Runs violations: zone A 1<",
          "1 beyond the control limits, 1 outside only the warning limits", "class=\"point\""})
        found += std::to_string(count(small, what)) + " ";
    EXPECT_EQ("1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 50 ", found);
    // Sample names at a round step, each clear of the next; round values on the other axis.
    std::vector<std::string> names;
    for (int i = 1; i < 50; i += 2) // 16 units a sample, names of three characters
        names.push_back("S" + std::to_string(i));
    EXPECT_EQ(names, Captures(small, "class=\"x-tick\"[^>]*>([^<]*)<"));
    std::string ticks;
    for (const std::string& tick : Captures(small, "class=\"y-tick\"[^>]*>([^<]*)<"))
        ticks += tick + " ";
    EXPECT_EQ("8 10 12 14 ", ticks);
    EXPECT_LT(big.size(), 200000u) << "long runs are drawn per pixel column";
    EXPECT_EQ(0u, count(big, "class=\"point\"")) << "no marker for every point";
    EXPECT_EQ("1 1", std::to_string(count(big, "signal beyond-control")) + " " +
                         std::to_string(count(big, "signal warning")))
        << "the signals stay";
    EXPECT_EQ(big.size() - 7, big.rfind("</svg>\n")) << "a complete document";
    EXPECT_EQ(1u, count(big, "viewBox=\"0 0 1000 "));
}

// A run of 2,000 cases (cases 2,001 to 4,000 of 4,000) halfway through its 400 samples.
struct HalfwayApplication : zavtest::ComObject<IRefApplication> {
    RefProgress progress{400, 200, 7};
    HRESULT __stdcall get_LastChartServer(VELIQCVChartsLib::_IQCVCharts**) override {
        return E_NOTIMPL;
    }
    HRESULT __stdcall GetProgress(RefProgress* out) override {
        *out = progress;
        return S_OK;
    }
};

TEST(ZavrunParts, TheProgressLineShowsTheRunAndIsTakenOffForTheSummary) {
    TempDir dir;
    FILE* out = fopen((dir / "console.txt").c_str(), "w+b");
    HalfwayApplication application;
    {
        ProgressLine line(out, true, &application, 4000);
        application.progress = {500, 500, 3}; // the last run's readout, until this Launch starts
        line.StartRun(2, "Line=B", 2001, 4000, 1234);
        application.progress = {400, 200, 7};
        for (int i = 0; i < 100 && ftell(out) == 0; ++i)
            ::Sleep(50);
        line.Clear();
    }
    EXPECT_FALSE(ProgressLine::IsConsole(out)) << "a file";
    fclose(out);
    const std::string text = ReadWholeFile(dir / "console.txt");
    EXPECT_EQ(0u, text.find("\rrun 2 Line=B: 3,000 of 4,000 cases, 1,241 alarms, ")) << text;
    EXPECT_NE(std::string::npos, text.find(" left")) << text;
    EXPECT_EQ(text.size() - 1, text.rfind('\r')) << "a line of blanks ends it: " << text;
}

volatile int g_zero = 0;

TEST(ZavrunParts, TheCrashReportModuleLeavesAMinidumpAndAReport) {
    const std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&::FreeLibrary)> module(
        ::LoadLibraryA(zavtest::BesideThisExecutable("..\\zavrun\\CrashRpt.dll").c_str()),
        ::FreeLibrary);
    auto report =
        reinterpret_cast<void(__cdecl*)(int, const char*, EXCEPTION_POINTERS*, const char*)>(
            reinterpret_cast<void*>(::GetProcAddress(module.get(), "GenerateSilentErrorReport")));
    ASSERT_TRUE(report && ::GetProcAddress(module.get(), "StackTrace"));
    TempDir errors;
    PrepareExceptionHandling();
    try {
        g_zero = 10 / g_zero;
    } catch (numeric_exception& e) {
        report(0, errors.path().c_str(), &e.m_info, e.what());
    }
    const std::vector<std::string> dumps = FilesIn(errors.path(), "crash-*.dmp");
    const std::vector<std::string> texts = FilesIn(errors.path(), "crash-*.txt");
    ASSERT_EQ(1u, dumps.size() * texts.size());
    EXPECT_EQ(0u, ReadWholeFile(errors / dumps[0]).find("MDMP")) << "a minidump";
    const std::string text = ReadWholeFile(errors / texts[0]);
    for (const char* expected :
         {"Exception: Division By Zero, code 0xC0000094", "at test_zavrun.exe+0x", "Dump: written"})
        EXPECT_NE(std::string::npos, text.find(expected)) << text;
}

struct Outcome {
    DWORD exitCode = 0;
    std::string output; // standard output and error together
};

// build/zavrun/zavrun.exe, run in `dir`.
Outcome Zavrun(const TempDir& dir, const std::string& arguments) {
    zavtest::ChildProcess zavrun(zavtest::BesideThisExecutable("..\\zavrun\\zavrun.exe"), arguments,
                                 dir.path(), dir / "output.txt");
    EXPECT_TRUE(zavrun.Wait(60000));
    return {zavrun.ExitCode(), ReadWholeFile(dir / "output.txt")};
}

// Nine subgroups of two. The first eight (phase I) average 11.5 with ranges of 2, so the X
// control limits are 11.5 -+ 3 * 2 / d2(2) / sqrt(2), d2(2) = 2 / sqrt(pi): 7.74006 and 15.2599.
// Subgroup 9 averages 31: out of control on the X chart only (range 2 within 0..6.53), and both
// its observations lie above the upper specification limit 25.
const char kData[] = "Batch,Operator,x,Line\nB1,Ann,10,A\nB1,Ann,12,A\nB2,Bob,11,A\nB2,Bob,13,A\n"
                     "B3,Ann,10,A\nB3,Ann,12,A\nB4,Bob,11,A\nB4,Bob,13,A\nB5,Ann,10,B\n"
                     "B5,Ann,12,B\nB6,Bob,11,B\nB6,Bob,13,B\nB7,Ann,10,B\nB7,Ann,12,B\n"
                     "B8,Bob,11,B\nB8,Bob,13,B\nB9,C<y&,30,B\nB9,C<y&,32,B\n";
const char kProject[] = "[GENERAL]\nChartOptAlarmOutOfSpecs=1\nChartOptAlarmRunsViolation=1\n"
                        "ChartOptAlarmOutOfControl=1\nChartOptAlarmOutOfWarning=1\n"
                        "au_column_count=1\nau_column_0=1\nzav_aux_data_count=1\n"
                        "zav_aux_data_var_0=2\nCharID=1\n[REFSERVER]\nChartType=0\n"
                        "ObservationVar=x\nSubgroupSize=2\nPhaseISamples=8\nLowerSpecLimit=5\n"
                        "UpperSpecLimit=25\n[CHARACTERISTICS]\n1=Diameter\n";

struct ZavrunRoad : ::testing::Test {
    TempDir dir;
    void SetUp() override {
        zavtest::WriteTextFile(dir / "data.csv", kData);
        zavtest::WriteTextFile(dir / "project.qcp", kProject);
    }
};

TEST_F(ZavrunRoad, TheAlarmsAreExactlyThoseTheChartImpliesAndEachBlockIsItsOwnRun) {
    Outcome run =
        Zavrun(dir, "--data data.csv --qcp project.qcp --out a.jsonl --svg charts --log-dir . "
                    "--report report");
    ASSERT_EQ(0u, run.exitCode) << run.output;
    std::vector<std::string> records = SplitLines(ReadWholeFile(dir / "a.jsonl"));
    std::sort(records.begin(), records.end());
    const std::vector<std::string> expected = {
        R"({"charId":1,"alarmType":"ObsOutsideSpecs","processName":"","sampleId":"B9",)"
        R"("description":"Obs. 1 is out of spec; x=30; Limits: [5, 25]","charDetails":"C<y&"})",
        R"({"charId":1,"alarmType":"ObsOutsideSpecs","processName":"","sampleId":"B9",)"
        R"("description":"Obs. 2 is out of spec; x=32; Limits: [5, 25]","charDetails":"C<y&"})",
        R"({"charId":1,"alarmType":"SampleOutOfControl","processName":"","sampleId":"B9",)"
        R"("description":"XBar & R; X Measure: 31; Limits: [7.74006, 15.2599]",)"
        R"("charDetails":"C<y&"})"};
    EXPECT_EQ(expected, records);
    EXPECT_NE(std::string::npos,
              run.output.find("9 samples: 3 alarms (ObsOutsideSpecs 2, SampleOutOfControl 1)"))
        << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("cases/s")) << "no progress when redirected";
    EXPECT_EQ(0u, ReadWholeFile(dir / "charts\\run001.svg").find("<svg "));
    EXPECT_EQ(1u, FilesIn(dir.path(), "zav*.log").size()) << "the host's daily log";
    // The report links each record to its sample on the chart, and its text stays text.
    const std::string report = ReadWholeFile(dir / "report\\index.html");
    EXPECT_EQ("3 1 1 0", std::to_string(Captures(report, "(href=\"#run1-s8\")").size()) + " " +
                             std::to_string(Captures(report, "(id=\"run1-s8\")").size()) + " " +
                             std::to_string(Captures(report, "(C&lt;y&amp;)").size() / 3) + " " +
                             std::to_string(Captures(report, "(C<y)").size()));

    run = Zavrun(dir, "--data data.csv --qcp project.qcp --out b.jsonl --process-vars Line "
                      "--alarms outside-specs");
    ASSERT_EQ(0u, run.exitCode) << run.output;
    records = SplitLines(ReadWholeFile(dir / "b.jsonl"));
    ASSERT_EQ(2u, records.size()) << "only the wanted kind, from the block of line B";
    EXPECT_NE(std::string::npos, records[0].find("\"processName\":\"Line=B\""));
    for (const char* summary :
         {"run 1: Line=A, cases 1 to 8, 4 samples", "run 2: Line=B, cases 9 to 18, 5 samples"})
        EXPECT_NE(std::string::npos, run.output.find(summary)) << run.output;
}

// The y coordinates of the points of the first line of the class.
std::vector<double> Ys(const std::string& svg, const std::string& kind) {
    const auto points = Captures(svg, "class=\"" + kind + "\"[^>]*points=\"([^\"]*)\"");
    std::vector<double> ys;
    for (const std::string& y : Captures(points.empty() ? "" : points[0], ",([-0-9.e]+)"))
        ys.push_back(std::stod(y));
    return ys;
}

TEST_F(ZavrunRoad, EachKindOfChartIsDrawnWithThePartsItHas) {
    const std::string project = kProject, general = project.substr(0, project.find("[REFSERVER]"));
    // CuSum: the phase-I pair's mean has sigma 1, then means 13 13 13 7 7 give C+ 2.5 5 7.5 4 0.5
    // and C- 0 0 0 2.5 5 (K 0.5, H 5). U: ubar 11/80, the limits follow the sizes 10 20 40 10.
    const std::string charts[][2] = {
        {"x,y\n10.797884561,0\n9.202115439,0\n13,0\n13,0\n13,0\n13,0\n13,0\n13,0\n7,0\n7,0\n7,0\n"
         "7,0\n",
         "ChartType=9\nObservationVar=x\nSubgroupSize=2\nPhaseISamples=1\n"},
        {"n,d\n10,1\n20,2\n40,3\n10,5\n", "ChartType=11\nCountVar=d\nSizeVar=n\n"},
        {"c,k\nDent,2\nScratch,5\nCrack,1\nScratch,3\nDent,4\n",
         "ChartType=14\nCategoryVar=c\nCountVar=k\n"}};
    std::string svg[3];
    for (int i = 0; i < 3; ++i) {
        zavtest::WriteTextFile(dir / "data.csv", charts[i][0]);
        zavtest::WriteTextFile(dir / "project.qcp", general + "[REFSERVER]\n" + charts[i][1]);
        const std::string folder = "c" + std::to_string(i);
        Outcome run =
            Zavrun(dir, "--data data.csv --qcp project.qcp --out a.jsonl --svg " + folder);
        ASSERT_EQ(0u, run.exitCode) << run.output;
        svg[i] = ReadWholeFile(dir / (folder + "\\run001.svg"));
        EXPECT_EQ(1u, Captures(svg[i], "(class=\"part\")").size()) << "one part: " << charts[i][1];
    }
    const std::vector<double> upper = Ys(svg[0], "measure"), lower = Ys(svg[0], "lower-side"),
                              h = Ys(svg[0], "ucl"), minusH = Ys(svg[0], "lcl");
    ASSERT_EQ("6 6 2 2", std::to_string(upper.size()) + " " + std::to_string(lower.size()) + " " +
                             std::to_string(h.size()) + " " + std::to_string(minusH.size()));
    EXPECT_NEAR(h[0], upper[2], 0.01) << "C+ reaches H at 5";
    EXPECT_NEAR(minusH[0], lower[5], 0.01) << "-C- reaches -H at -5";
    EXPECT_NE(std::string::npos, svg[0].find(">+H 5<"));
    const std::vector<double> steps = Ys(svg[1], "ucl");
    ASSERT_EQ(8u, steps.size()) << "a level per sample";
    EXPECT_TRUE(steps[0] == steps[1] && steps[0] == steps[7] && steps[0] < steps[2] &&
                steps[2] < steps[4] && steps[4] == steps[5])
        << svg[1];
    std::string names;
    for (const std::string& name : Captures(svg[2], "class=\"category\"[^>]*>([^<]*)<"))
        names += name + " ";
    EXPECT_EQ("Scratch Dent Crack ", names);
    const auto bars = Captures(svg[2], "class=\"bar\"[^>]*height=\"([^\"]*)\"");
    const std::vector<double> cumulative = Ys(svg[2], "cumulative");
    ASSERT_EQ("3 3", std::to_string(bars.size()) + " " + std::to_string(cumulative.size()));
    EXPECT_NEAR(std::stod(bars[0]) * 6 / 8, std::stod(bars[1]), 0.01) << "counts 8 6 1";
    EXPECT_NEAR(cumulative[0] - cumulative[1], 6 * (cumulative[1] - cumulative[2]), 0.05)
        << "53.3, 93.3 and 100%";
    EXPECT_EQ(std::string::npos, svg[2].find("class=\"ucl\"")) << "no limits";
}

TEST_F(ZavrunRoad, BadInputNamesTheFileAndTheProblem) {
    zavtest::WriteTextFile(dir / "broken.csv", "a,b\n1,2\n\"open quote,3\n");
    zavtest::WriteTextFile(dir / "noid.qcp", "[GENERAL]\nChartOptAlarmOutOfControl=1\n"
                                             "[CHARACTERISTICS]\n1=Diameter\n");
    const std::pair<std::string, std::string> rows[] = {
        {"--data missing.csv --qcp project.qcp", "missing.csv: no such file"},
        {"--data data.csv --qcp missing.qcp", "missing.qcp: no such file"},
        {"--data broken.csv --qcp project.qcp", "broken.csv"},
        {"--data data.csv --qcp project.qcp --ignore-var Nothing", "no variable \"Nothing\""},
        {"--data data.csv --qcp noid.qcp",
         "noid.qcp: Getting options from qcp file [Runner: No auto update column"},
        {"--data data.csv", "--data and --qcp are required"},
    };
    for (const auto& [arguments, expected] : rows) {
        Outcome run = Zavrun(dir, arguments);
        EXPECT_NE(0u, run.exitCode) << arguments;
        EXPECT_NE(std::string::npos, run.output.find(expected)) << arguments << "\n" << run.output;
    }
}

// The XBar & R charts of both lines of the sample data, worked out from the file's text with the
// tabulated constants for subgroups of five (d2 = 2.325929, d3 = 0.864082) and limits from the
// first 50 batches of each line, control limits at 3 and warning limits at 2 sigma:
//   line A: Xbarbar 9.999316, Rbar 0.024936: X control 9.98493 to 10.0137, warning 9.98973 to
//     10.0089; R control below 0.0527272 (the lower limit is cut), warning 0.00640857 to 0.0434634.
//   line B: Xbarbar 9.999183, Rbar 0.023328: X control 9.98573 to 10.0126, warning 9.99021 to
//     10.0082; R control below 0.0493270, warning 0.00599531 to 0.0406607.
// Of the 400 batches of line A, 93 means lie beyond the X control limits, 54 between X warning
// and control limits and 18 ranges outside the R warning limits (none beyond the R control
// limit); 43 parts lie outside the specification limits [9.97, 10.03]. Line B: 65, 50, 16, 35.
TEST(ZavrunSampleData, TheRecordsAreThoseTheChartsOfBothLinesImply) {
    TempDir dir;
    Outcome run =
        Zavrun(dir, "--data " ZAV_SOURCE_DIR "/sample-data/production.csv --qcp " ZAV_SOURCE_DIR
                    "/sample-data/diameter-xbar-r.qcp --process-vars Line --out a.jsonl");
    ASSERT_EQ(0u, run.exitCode) << run.output;
    // Each record as "line kind limits"; the runs violations name no limits.
    const std::regex fields(
        ".*\"alarmType\":\"(\\w+)\",\"processName\":\"Line=(.)\".*Limits: (\\[[^\\]]*\\]).*");
    std::map<std::string, int> counts;
    std::smatch match;
    for (const std::string& record : SplitLines(ReadWholeFile(dir / "a.jsonl")))
        if (std::regex_match(record, match, fields))
            ++counts[match[2].str() + " " + match[1].str() + " " + match[3].str()];
    EXPECT_EQ(
        (std::map<std::string, int>{{"A ObsOutsideSpecs [9.97, 10.03]", 43},
                                    {"A SampleOutOfControl [9.98493, 10.0137]", 93},
                                    {"A SampleOutsideWarningLimits [9.98973, 10.0089]", 54},
                                    {"A SampleOutsideWarningLimits [0.00640857, 0.0434634]", 18},
                                    {"B ObsOutsideSpecs [9.97, 10.03]", 35},
                                    {"B SampleOutOfControl [9.98573, 10.0126]", 65},
                                    {"B SampleOutsideWarningLimits [9.99021, 10.0082]", 50},
                                    {"B SampleOutsideWarningLimits [0.00599531, 0.0406607]", 16}}),
        counts);
    // Every bundled project charts both lines of its data, and so does every other chart type
    // made from one of them: {data, project, its chart keys, the keys put in their place}.
    const std::string projects[][4] = {
        {"production", "weight-individuals"},
        {"production", "ewma-diameter"},
        {"defects", "p-chart-nonconforming"},
        {"defects", "u-chart-defects"},
        {"defects", "np-chart-audit"},
        {"defects", "pareto-causes"},
        {"production", "diameter-xbar-r", "ChartType=0\n", "ChartType=1\n"},
        {"production", "diameter-xbar-r", "ChartType=0\n", "ChartType=2\n"},
        {"production", "weight-individuals", "ChartType=3\n", "ChartType=4\nSpan=4\n"},
        {"production", "diameter-xbar-r", "ChartType=0\n", "ChartType=5\nSpan=4\n"},
        {"production", "diameter-xbar-r", "ChartType=0\n", "ChartType=6\n"},
        {"production", "ewma-diameter", "ChartType=7\n", "ChartType=8\n"},
        {"production", "diameter-xbar-r", "ChartType=0\n", "ChartType=9\n"},
        {"defects", "u-chart-defects", "ChartType=11\nCountVar=Defects\nSizeVar=Inspected\n",
         "ChartType=10\nCountVar=Defects\n"}};
    for (const auto& [data, project, keys, replacement] : projects) {
        std::string qcp = ReadWholeFile(ZAV_SOURCE_DIR "/sample-data/" + project + ".qcp");
        if (!keys.empty()) {
            ASSERT_NE(std::string::npos, qcp.find(keys)) << project;
            qcp.replace(qcp.find(keys), keys.size(), replacement);
        }
        zavtest::WriteTextFile(dir / "chart.qcp", qcp);
        run = Zavrun(dir, "--data " ZAV_SOURCE_DIR "/sample-data/" + data +
                              ".csv --qcp chart.qcp --process-vars Line --out b.jsonl");
        EXPECT_NE(std::string::npos, run.output.find("\n2 runs, "))
            << project << " " << replacement << run.output;
    }
}

} // namespace
