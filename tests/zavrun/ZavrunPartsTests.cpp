// The sample host's own pieces: its command line, the JSON Lines of the alarm service, and the
// SVG chart.
#include <gtest/gtest.h>
#include <cmath>
#include <string>
#include <vector>

#include "AlarmService.h"
#include "CommandLine.h"
#include "JsonLines.h"
#include "SvgChart.h"
#include "support/TempDir.h"

namespace {

using namespace zavrun;

TEST(ZavrunCommandLine, OptionsAndTheirMistakes) {
    RunOptions options = ParseCommandLine({"--data",
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
                                           "charts",
                                           "--log-level",
                                           "TRACE"});
    EXPECT_EQ("d.csv", options.dataFile);
    EXPECT_EQ(12, options.charId);
    EXPECT_EQ(std::vector<std::string>({"runs violation", "outside specs"}), options.alarmKinds);
    EXPECT_EQ("Scrap", options.ignoreVariable);
    EXPECT_DOUBLE_EQ(0.5, options.ignoreThreshold);
    EXPECT_EQ(std::vector<std::string>({"Line", "Shift"}), options.processVariables);
    EXPECT_EQ("TRACE", options.logLevel);

    RunOptions defaults = ParseCommandLine({"--qcp", "p.qcp", "--data", "d.csv"});
    EXPECT_EQ(4u, defaults.alarmKinds.size()) << "all four kinds by default";
    EXPECT_EQ(-1, defaults.charId);

    const std::vector<std::vector<std::string>> wrong = {
        {"--data", "d.csv"},
        {"--data", "d.csv", "--qcp"},
        {"--data", "d.csv", "--qcp", "p.qcp", "--char-id", "12x"},
        {"--data", "d.csv", "--qcp", "p.qcp", "--alarms", "everything"},
        {"--data", "d.csv", "--qcp", "p.qcp", "--ignore-threshold", ""},
        {"--data", "d.csv", "--qcp", "p.qcp", "--colour", "red"},
        {"stray"}};
    for (const std::vector<std::string>& args : wrong)
        EXPECT_THROW(ParseCommandLine(args), UsageError) << args.back();
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
}

TEST(ZavrunJson, StringsAreEscapedUtf8AndNullIsNull) {
    EXPECT_EQ("null", JsonString(nullptr));
    EXPECT_EQ("\"\"", JsonString(L""));
    EXPECT_EQ("\"a \\\"b\\\" \\\\ c\\n\\t\\u0001\"", JsonString(L"a \"b\" \\ c\n\t\x01"));
    EXPECT_EQ("\"Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC\"", JsonString(L"Gr\u00FC\u00DF\u20AC"));

    QCAlarm alarm;
    alarm.charId = 3;
    QCAlarm::SetString(alarm.alarmType, "RunsViolation");
    QCAlarm::SetString(alarm.sampleId, L"7 - 15");
    QCAlarm::SetString(alarm.charDetails, "");
    EXPECT_EQ("{\"charId\":3,\"alarmType\":\"RunsViolation\",\"processName\":null,"
              "\"sampleId\":\"7 - 15\",\"description\":null,\"charDetails\":\"\"}",
              AlarmJson(alarm));
}

TEST(ZavrunService, WritesEveryRecordAndCountsTheTypes) {
    zavtest::TempDir dir;
    std::string path = dir / "alarms.jsonl";
    FILE* out = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, out);
    AlarmService service(out);
    std::vector<QCAlarm> alarms(3);
    QCAlarm::SetString(alarms[0].alarmType, "SampleOutOfControl");
    QCAlarm::SetString(alarms[1].alarmType, "SampleOutOfControl");
    QCAlarm::SetString(alarms[2].alarmType, "ObsOutsideSpecs");
    EXPECT_EQ(S_OK, service.NotifyAlarms(alarms.size(), alarms.data()));
    EXPECT_EQ(E_POINTER, service.NotifyAlarms(2, nullptr));
    fclose(out);
    EXPECT_EQ(3, service.Total());
    EXPECT_EQ(2, service.Counts().at("SampleOutOfControl"));
    EXPECT_EQ(1, service.Counts().at("ObsOutsideSpecs"));

    FILE* in = fopen(path.c_str(), "rb");
    std::string text(4096, '\0');
    text.resize(fread(text.data(), 1, text.size(), in));
    fclose(in);
    EXPECT_EQ(3, std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(0u, text.find("{\"charId\":0,\"alarmType\":\"SampleOutOfControl\""));

    IUnknown* unknown = nullptr;
    EXPECT_EQ(S_OK, service.QueryInterface(__uuidof(IZAVServerNotify),
                                           reinterpret_cast<void**>(&unknown)));
    unknown->Release();
    EXPECT_EQ(E_NOINTERFACE,
              service.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&unknown)));
}

ChartPart Part(size_t count, size_t alarmAt) {
    ChartPart part;
    part.name = "X";
    for (size_t i = 0; i < count; ++i) {
        part.values.push_back(10 + std::sin(i * 0.1));
        part.center.push_back(10);
        part.lowerControl.push_back(7);
        part.upperControl.push_back(13);
        part.lowerWarning.push_back(8);
        part.upperWarning.push_back(std::nan(""));
        part.alarm.push_back(i == alarmAt);
    }
    return part;
}

TEST(ZavrunSvg, AChartWithItsLinesAndAlarmsWhateverItsLength) {
    ChartPicture small{"Line=A <&>", {Part(50, 7)}};
    std::string svg = RenderSvg(small);
    EXPECT_EQ(0u, svg.find("<svg "));
    EXPECT_NE(std::string::npos, svg.find("Line=A &lt;&amp;&gt;"));
    EXPECT_EQ(1, [&] {
        int circles = 0;
        for (size_t at = 0; (at = svg.find("<circle", at)) != std::string::npos; ++at)
            ++circles;
        return circles;
    }()) << "one alarm marked";
    EXPECT_EQ(5u, [&] {
        size_t lines = 0;
        for (size_t at = 0; (at = svg.find("<polyline", at)) != std::string::npos; ++at)
            ++lines;
        return lines;
    }()) << "points, centre, two control limits, one warning limit (the other is absent)";

    ChartPicture large{"all cases", {Part(200000, 150000)}};
    std::string big = RenderSvg(large);
    EXPECT_LT(big.size(), 200000u) << "long runs are drawn per pixel column";
    EXPECT_NE(std::string::npos, big.find("<circle"));
    EXPECT_EQ(big.size() - 7, big.rfind("</svg>\n")) << "a complete document";
}

} // namespace
