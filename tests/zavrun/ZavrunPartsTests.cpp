// The sample host's own pieces: its command line, the JSON Lines of its alarm service, the SVG
// chart and the crash-report module it deploys.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "AlarmService.h"
#include "CommandLine.h"
#include "JsonLines.h"
#include "SvgChart.h"
#include "support/Files.h"

namespace {

using namespace zavrun;

TEST(ZavrunParts, TheCommandLineTakesEveryOptionAndNamesEachMistake) {
    RunOptions o = ParseCommandLine({"--data",
                                     "d.csv",
                                     "--qcp",
                                     "p.qcp",
                                     "--char-id",
                                     "12",
                                     "--alarms",
                                     "runs-violation,outside specs",
                                     "--ignore-var",
                                     "Scrap",
                                     "--ignore-threshold",
                                     "0.5",
                                     "--process-vars",
                                     "Line,Shift",
                                     "--out",
                                     "a.jsonl",
                                     "--svg",
                                     "c",
                                     "--log-level",
                                     "TRACE"});
    EXPECT_EQ("d.csv|p.qcp|12|Scrap|a.jsonl|c|TRACE|runs violation|outside specs|Line|Shift",
              o.dataFile + "|" + o.qcpFile + "|" + std::to_string(o.charId) + "|" +
                  o.ignoreVariable + "|" + o.outputFile + "|" + o.svgFolder + "|" + o.logLevel +
                  "|" + o.alarmKinds[0] + "|" + o.alarmKinds[1] + "|" + o.processVariables[0] +
                  "|" + o.processVariables[1]);
    EXPECT_EQ(0.5, o.ignoreThreshold);
    EXPECT_EQ(4u, ParseCommandLine({"--qcp", "p", "--data", "d"}).alarmKinds.size());
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    for (const char* wrong : {"--data", "--qcp p --data", "--char-id 12x", "--alarms everything",
                              "--ignore-threshold ''", "--colour red", "stray"}) {
        std::vector<std::string> args = {"--data", "d", "--qcp", "p"};
        std::istringstream words(wrong);
        for (std::string word; words >> word;)
            args.push_back(word == "''" ? "" : word);
        EXPECT_THROW(ParseCommandLine(args), UsageError) << wrong;
    }
}

TEST(ZavrunParts, TheServiceWritesEveryRecordAsEscapedUtf8Json) {
    EXPECT_EQ("\"a \\\"b\\\" \\\\ c\\n\\t\\u0001 Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC\"",
              JsonString(L"a \"b\" \\ c\n\t\x01 Gr\u00FC\u00DF\u20AC"));
    zavtest::TempDir dir;
    FILE* out = fopen((dir / "a.jsonl").c_str(), "wb");
    AlarmService service(out);
    std::vector<QCAlarm> alarms(3);
    for (QCAlarm& alarm : alarms)
        QCAlarm::SetString(alarm.alarmType, "SampleOutOfControl");
    alarms[2].charId = 3;
    QCAlarm::SetString(alarms[2].alarmType, "RunsViolation");
    QCAlarm::SetString(alarms[2].sampleId, L"7 - 15");
    QCAlarm::SetString(alarms[2].charDetails, "");
    EXPECT_EQ(S_OK, service.NotifyAlarms(alarms.size(), alarms.data()));
    EXPECT_EQ(E_POINTER, service.NotifyAlarms(2, nullptr));
    fclose(out);
    EXPECT_EQ(3, service.Total());
    EXPECT_EQ(2, service.Counts().at("SampleOutOfControl"));
    const std::vector<std::string> lines =
        zavtest::SplitLines(zavtest::ReadWholeFile(dir / "a.jsonl"));
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("{\"charId\":3,\"alarmType\":\"RunsViolation\",\"processName\":null,"
              "\"sampleId\":\"7 - 15\",\"description\":null,\"charDetails\":\"\"}",
              lines[2]);
}

TEST(ZavrunParts, AChartShowsItsLinesAndAlarmsWhateverItsLength) {
    auto svg = [](size_t count, const char* title) {
        ChartPart p{"X", {}, {}, {}, {}, {}, {}, {}};
        for (size_t i = 0; i < count; ++i) {
            p.values.push_back(10 + std::sin(i * 0.1));
            for (auto [line, value] : {std::pair{&p.center, 10.0},
                                       {&p.lowerControl, 7.0},
                                       {&p.upperControl, 13.0},
                                       {&p.lowerWarning, 8.0},
                                       {&p.upperWarning, std::nan("")}})
                line->push_back(value);
            p.alarm.push_back(i == count * 3 / 4);
        }
        return RenderSvg({title, {p}});
    };
    auto count = [](const std::string& text, const char* what) {
        size_t n = 0;
        for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    const std::string small = svg(50, "Line=A <&>"), big = svg(200000, "all cases");
    EXPECT_NE(std::string::npos, small.find("Line=A &lt;&amp;&gt;"));
    EXPECT_EQ(1u, count(small, "<circle")) << "one alarm marked";
    EXPECT_EQ(5u, count(small, "<polyline")) << "points, centre, control limits, one warning limit";
    EXPECT_LT(big.size(), 200000u) << "long runs are drawn per pixel column";
    EXPECT_EQ(1u, count(big, "<circle"));
    EXPECT_EQ(big.size() - 7, big.rfind("</svg>\n")) << "a complete document";
}

volatile int g_zero = 0;

TEST(ZavrunParts, TheCrashReportModuleLeavesAMinidumpAndAReport) {
    HMODULE module =
        ::LoadLibraryA(zavtest::BesideThisExecutable("..\\zavrun\\CrashRpt.dll").c_str());
    ASSERT_NE(nullptr, module);
    auto report =
        reinterpret_cast<void(__cdecl*)(int, const char*, EXCEPTION_POINTERS*, const char*)>(
            reinterpret_cast<void*>(::GetProcAddress(module, "GenerateSilentErrorReport")));
    ASSERT_TRUE(report && ::GetProcAddress(module, "StackTrace"));
    zavtest::TempDir errors;
    PrepareExceptionHandling();
    try {
        g_zero = 10 / g_zero;
    } catch (numeric_exception& e) {
        report(0, errors.path().c_str(), &e.m_info, e.what());
    }
    const std::vector<std::string> dumps = zavtest::FilesIn(errors.path(), "crash-*.dmp");
    const std::vector<std::string> texts = zavtest::FilesIn(errors.path(), "crash-*.txt");
    ASSERT_EQ(1u, dumps.size() * texts.size());
    EXPECT_EQ(0u, zavtest::ReadWholeFile(errors / dumps[0]).find("MDMP")) << "a minidump";
    const std::string text = zavtest::ReadWholeFile(errors / texts[0]);
    for (const char* expected :
         {"Exception: Division By Zero, code 0xC0000094", "at test_zavrun.exe+0x", "Dump: written"})
        EXPECT_NE(std::string::npos, text.find(expected)) << text;
    ::FreeLibrary(module);
}

} // namespace
