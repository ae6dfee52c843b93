// The sample host's own pieces: its command line, the JSON Lines of its alarm service, the SVG
// chart and the crash-report module it deploys.
#include <gtest/gtest.h>

#include <cmath>
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
    EXPECT_EQ("d.csv|p.qcp|12|Scrap|0.5|a.jsonl|c|TRACE",
              o.dataFile + "|" + o.qcpFile + "|" + std::to_string(o.charId) + "|" +
                  o.ignoreVariable + "|" + std::to_string(o.ignoreThreshold).substr(0, 3) + "|" +
                  o.outputFile + "|" + o.svgFolder + "|" + o.logLevel);
    EXPECT_EQ((std::vector<std::string>{"runs violation", "outside specs"}), o.alarmKinds);
    EXPECT_EQ((std::vector<std::string>{"Line", "Shift"}), o.processVariables);
    EXPECT_EQ(4u, ParseCommandLine({"--qcp", "p", "--data", "d"}).alarmKinds.size());
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    const std::vector<std::vector<std::string>> wrong = {
        {"--data", "d.csv"},
        {"--data", "d.csv", "--qcp"},
        {"--data", "d", "--qcp", "p", "--char-id", "12x"},
        {"--data", "d", "--qcp", "p", "--alarms", "everything"},
        {"--data", "d", "--qcp", "p", "--ignore-threshold", ""},
        {"--data", "d", "--qcp", "p", "--colour", "red"},
        {"stray"}};
    for (const std::vector<std::string>& args : wrong)
        EXPECT_THROW(ParseCommandLine(args), UsageError) << args.back();
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
    IUnknown* unknown = nullptr;
    EXPECT_EQ(E_NOINTERFACE,
              service.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&unknown)));
}

TEST(ZavrunParts, AChartShowsItsLinesAndAlarmsWhateverItsLength) {
    auto part = [](size_t count, size_t alarmAt) {
        ChartPart p{"X", {}, {}, {}, {}, {}, {}, {}};
        for (size_t i = 0; i < count; ++i) {
            for (auto [line, value] : {std::pair{&p.values, 10 + std::sin(i * 0.1)},
                                       {&p.center, 10.0},
                                       {&p.lowerControl, 7.0},
                                       {&p.upperControl, 13.0},
                                       {&p.lowerWarning, 8.0},
                                       {&p.upperWarning, std::nan("")}})
                line->push_back(value);
            p.alarm.push_back(i == alarmAt);
        }
        return p;
    };
    auto count = [](const std::string& text, const char* what) {
        size_t n = 0;
        for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    const std::string svg = RenderSvg({"Line=A <&>", {part(50, 7)}});
    EXPECT_EQ(0u, svg.find("<svg "));
    EXPECT_NE(std::string::npos, svg.find("Line=A &lt;&amp;&gt;"));
    EXPECT_EQ(1u, count(svg, "<circle")) << "one alarm marked";
    EXPECT_EQ(5u, count(svg, "<polyline")) << "points, centre, control limits, one warning limit";
    const std::string big = RenderSvg({"all cases", {part(200000, 150000)}});
    EXPECT_LT(big.size(), 200000u) << "long runs are drawn per pixel column";
    EXPECT_EQ(1u, count(big, "<circle"));
    EXPECT_EQ(big.size() - 7, big.rfind("</svg>\n")) << "a complete document";
}

volatile int g_zero = 0;

TEST(ZavrunParts, TheCrashReportModuleLeavesAMinidumpAndAReport) {
    HMODULE module =
        ::LoadLibraryA(zavtest::BesideThisExecutable("..\\zavrun\\CrashRpt.dll").c_str());
    ASSERT_NE(nullptr, module);
    auto stackTrace = reinterpret_cast<void(__cdecl*)(int, int, void*, CONTEXT*, void*)>(
        reinterpret_cast<void*>(::GetProcAddress(module, "StackTrace")));
    auto report =
        reinterpret_cast<void(__cdecl*)(int, const char*, EXCEPTION_POINTERS*, const char*)>(
            reinterpret_cast<void*>(::GetProcAddress(module, "GenerateSilentErrorReport")));
    ASSERT_TRUE(stackTrace && report);
    zavtest::TempDir errors;
    PrepareExceptionHandling();
    try {
        g_zero = 10 / g_zero;
        FAIL() << "the division should fault";
    } catch (numeric_exception& e) {
        stackTrace(0, 9999, nullptr, e.m_info.ContextRecord, nullptr);
        report(0, errors.path().c_str(), &e.m_info, e.what());
    }
    const std::vector<std::string> dumps = zavtest::FilesIn(errors.path(), "crash-*.dmp");
    const std::vector<std::string> texts = zavtest::FilesIn(errors.path(), "crash-*.txt");
    ASSERT_EQ(1u, dumps.size());
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(0u, zavtest::ReadWholeFile(errors / dumps[0]).find("MDMP")) << "a minidump";
    const std::string text = zavtest::ReadWholeFile(errors / texts[0]);
    for (const char* expected :
         {"Exception: Division By Zero, code 0xC0000094", "at test_zavrun.exe+0x", "Dump: written"})
        EXPECT_NE(std::string::npos, text.find(expected)) << text;
    ::FreeLibrary(module);
}

} // namespace
