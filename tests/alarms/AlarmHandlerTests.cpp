#include <cmath>

#include "alarms/AlarmFixture.h"
#include "support/BstrLedger.h"
#include "support/SafeArrays.h"

namespace zavtest {
namespace {

// A record's fields as texts; a null field reads "<null>".
struct Record {
    int charId;
    std::wstring alarmType, processName, sampleId, description, charDetails;
};

std::wstring Text(const wchar_t* field) {
    return field ? field : L"<null>";
}

Record Read(const QCAlarm& alarm) {
    return {alarm.charId,         Text(alarm.alarmType),   Text(alarm.processName),
            Text(alarm.sampleId), Text(alarm.description), Text(alarm.charDetails)};
}

std::vector<std::wstring> Descriptions(const std::vector<QCAlarm>& alarms) {
    std::vector<std::wstring> texts;
    for (const QCAlarm& alarm : alarms)
        texts.push_back(Text(alarm.description));
    return texts;
}

constexpr long kIgnoreVar = 7;

// Every alarm kind switched on; the chart label identifies a sample.
struct Handlers : AlarmEngine {
    void SetUp() override {
        AlarmEngine::SetUp();
        state.m_bProcessSampleOutOfControl = true;
        state.m_bProcessSampleOutsideWarningLimits = true;
        state.m_bProcessObsOutOfSpecs = true;
        state.m_bProcessRunsViolation = true;
        state.m_nSampleVar = 0;
        state.m_strCharName = "Bore";
        specs.SetProcessName("Line=A");
    }

    // A sample with an X measure of 12.7 against [10, 12] and an R measure of 4 against
    // [0, 3.5] (warning limits [10.5, 11.5] and [0.5, 3.25]).
    long AddMeasured(const wchar_t* label, const wchar_t* key, double firstRow) {
        const long index = chart.AddSample(label, key, firstRow);
        FakeChartServer::Sample& sample = chart.samples[index];
        sample.xMeasure = 12.7;
        sample.xControl = {10, 12};
        sample.xWarning = {10.5, 11.5};
        sample.rMeasure = 4;
        sample.rControl = {0, 3.5};
        sample.rWarning = {0.5, 3.25};
        return index;
    }

    // The ignore test on variable 7 with threshold 5; every case given is kept unless listed.
    void IgnoreBelowFive(std::initializer_list<std::pair<long, double>> values) {
        state.m_nIgnoreVar = kIgnoreVar;
        state.m_dIgnoreThreshold = 5.0;
        for (auto [caseNumber, value] : values)
            sheet.SetValue(caseNumber, kIgnoreVar, value);
    }

    void OutOfControl(const SafeArray& labels, const SafeArray& keys, long chartParts) {
        specs.OnSampleOutOfControl(chart.Ptr(), labels.get(), keys.get(), true, chartParts);
    }
};

const wchar_t* const kX = L"XBar & R; X Measure: 12.7; Limits: [10, 12]";
const wchar_t* const kR = L"XBar & R; R Measure: 4; Limits: [0, 3.5]";

TEST_F(Handlers, SwitchedOffKindsTouchNeitherTheArraysNorTheServer) {
    state.m_bProcessSampleOutOfControl = false;
    state.m_bProcessSampleOutsideWarningLimits = false;
    state.m_bProcessObsOutOfSpecs = false;
    state.m_bProcessRunsViolation = false;
    specs.OnSampleOutOfControl(chart.Ptr(), nullptr, nullptr, false, 3);
    specs.OnSampleOutsideWarningLimits(chart.Ptr(), nullptr, nullptr, false, 3);
    specs.OnObsOutsideSpecs(chart.Ptr(), nullptr, nullptr, nullptr, false, 0);
    specs.OnRunsViolation(chart.Ptr(), nullptr, nullptr, nullptr, nullptr, nullptr, false, 0);
    EXPECT_TRUE(journal.empty());
    EXPECT_TRUE(Alarms().empty());
    EXPECT_EQ(0u, chart.RefCount());
}

TEST_F(Handlers, OneSampleOfBothChartsGivesAnXRecordThenAnRRecordAfterCallsInOrder) {
    AddMeasured(L"S0", L"K0", 0);
    AddMeasured(L"S1", L"K1", 9.0);
    IgnoreBelowFive({{10, 5.0}});
    state.m_nSampleVar = -1;
    state.m_autoUpdateColumns = {2, 3};
    state.m_auxDataVars = {4};
    sheet.SetText(10, 2, L"2024-05-01");
    sheet.SetText(10, 3, L"17");
    sheet.SetText(10, 4, L"oven 2");
    OutOfControl(SafeArray::OfBstrs({L"S1"}), SafeArray::OfBstrs({L"K1"}), 3);

    ASSERT_EQ(2u, Alarms().size());
    const Record x = Read(Alarms()[0]), r = Read(Alarms()[1]);
    EXPECT_EQ(17, x.charId);
    EXPECT_EQ(L"SampleOutOfControl", x.alarmType);
    EXPECT_EQ(L"Line=A", x.processName);
    EXPECT_EQ(L"2024-05-01_17", x.sampleId);
    EXPECT_EQ(kX, x.description);
    EXPECT_EQ(L"Bore; oven 2", x.charDetails);
    EXPECT_EQ(kR, r.description);
    EXPECT_EQ(std::tie(x.charId, x.alarmType, x.processName, x.sampleId, x.charDetails),
              std::tie(r.charId, r.alarmType, r.processName, r.sampleId, r.charDetails));
    EXPECT_NE(Alarms()[0].sampleId, Alarms()[1].sampleId) << "each record owns its strings";

    EXPECT_EQ(
        Strings({"FindSample(S1,K1)", "SampleFirstCase(1)", "CellValue(10,7)", "CellText(10,2)",
                 "CellText(10,3)", "CellText(10,4)", "ChartType()", "XMeasure(1)",
                 "XLowerControlLimit(1)", "XUpperControlLimit(1)", "XNoLowerControlLimit()",
                 "XNoUpperControlLimit()", "ChartType()", "RMeasure(1)", "RLowerControlLimit(1)",
                 "RUpperControlLimit(1)", "RNoLowerControlLimit()", "RNoUpperControlLimit()"}),
        journal);
    EXPECT_EQ(0u, chart.RefCount());
}

TEST_F(Handlers, TheProjectsXOrRSelectionFiltersAfterTheIgnoreTest) {
    AddMeasured(L"S", L"K", 2);
    IgnoreBelowFive({{3, 9.0}});
    struct Case {
        int checkFor;
        long parts;
        std::vector<std::wstring> descriptions;
    } cases[] = {
        {1, 1, {kX}}, {1, 2, {}},   {1, 3, {kX}}, {2, 1, {}},       {2, 2, {kR}},
        {2, 3, {kR}}, {3, 1, {kX}}, {3, 2, {kR}}, {3, 3, {kX, kR}}, {3, 0, {}},
    };
    for (const Case& c : cases) {
        state.m_nCheckAlarmFor = c.checkFor;
        state.m_alarms.clear();
        journal.clear();
        OutOfControl(SafeArray::OfBstrs({L"S"}), SafeArray::OfBstrs({L"K"}), c.parts);
        EXPECT_EQ(c.descriptions, Descriptions(Alarms()))
            << "checkFor " << c.checkFor << ", parts " << c.parts;
        ASSERT_GE(journal.size(), 3u);
        EXPECT_EQ(Strings({"FindSample(S,K)", "SampleFirstCase(0)", "CellValue(3,7)"}),
                  std::vector<std::string>(journal.begin(), journal.begin() + 3))
            << "located and tested even when the charts drop it";
    }
}

TEST_F(Handlers, WarningEventsDescribeTheWarningLimits) {
    AddMeasured(L"S", L"K", 0);
    state.m_bProcessSampleOutOfControl = false;
    const SafeArray labels = SafeArray::OfBstrs({L"S"}), keys = SafeArray::OfBstrs({L"K"});
    OutOfControl(labels, keys, 3);
    EXPECT_TRUE(Alarms().empty());

    specs.OnSampleOutsideWarningLimits(chart.Ptr(), labels.get(), keys.get(), false, 1);
    ASSERT_EQ(1u, Alarms().size());
    EXPECT_EQ(L"SampleOutsideWarningLimits", Text(Alarms()[0].alarmType));
    EXPECT_EQ(L"XBar & R; X Measure: 12.7; Limits: [10.5, 11.5]", Text(Alarms()[0].description));
    EXPECT_EQ(1u, chart.Count("XLowerWarningLimit"));
    EXPECT_EQ(0u, chart.Count("XLowerControlLimit"));
}

TEST_F(Handlers, TheIgnoreTestIsStrictAndOnlyReadsWhenSwitchedOn) {
    EXPECT_FALSE(specs.ShouldIgnoreAlarm(4)) << "no ignore variable";
    state.m_nIgnoreVar = kIgnoreVar;
    for (double threshold : {0.0, -1.0, static_cast<double>(NAN)}) {
        state.m_dIgnoreThreshold = threshold;
        EXPECT_FALSE(specs.ShouldIgnoreAlarm(4)) << threshold;
    }
    EXPECT_TRUE(journal.empty()) << "switched off, nothing is read";

    state.m_dIgnoreThreshold = 5.0;
    const std::pair<double, bool> cases[] = {
        {5.0, false}, {4.999, true}, {5.001, false}, {NAN, false}, {-INFINITY, true}};
    for (auto [value, ignored] : cases) {
        sheet.SetValue(4, kIgnoreVar, value);
        EXPECT_EQ(ignored, specs.ShouldIgnoreAlarm(4)) << "value " << value;
    }
    EXPECT_EQ(5u, sheet.Count("CellValue(4,7)"));
}

TEST_F(Handlers, IgnoredSamplesAreLocatedButNeitherDescribedNorKept) {
    AddMeasured(L"A", L"1", 0);
    AddMeasured(L"B", L"2", 1);
    IgnoreBelowFive({{1, 4.0}, {2, 5.0}});
    OutOfControl(SafeArray::OfBstrs({L"A", L"B"}), SafeArray::OfBstrs({L"1", L"2"}), 1);
    ASSERT_EQ(1u, Alarms().size());
    EXPECT_EQ(L"B", Text(Alarms()[0].sampleId));
    EXPECT_EQ(1u, chart.Count("ChartType"));
    EXPECT_EQ(2u, chart.Count("FindSample"));
}

TEST_F(Handlers, EmptyEventsAddNothingButObservationEventsStillAskTheVariable) {
    const SafeArray none = SafeArray::OfBstrs(std::vector<std::wstring>{});
    const SafeArray noInts = SafeArray::OfInts({});
    OutOfControl(none, none, 3);
    specs.OnRunsViolation(chart.Ptr(), none.get(), none.get(), none.get(), none.get(), noInts.get(),
                          false, 0);
    EXPECT_TRUE(journal.empty());
    specs.OnObsOutsideSpecs(chart.Ptr(), none.get(), none.get(), noInts.get(), false, 0);
    EXPECT_EQ(Strings({"ObservationVariable()"}), journal);
    EXPECT_TRUE(Alarms().empty());
}

struct Observations : Handlers {
    void SetUp() override {
        Handlers::SetUp();
        chart.observationVariable = 6;
        chart.specLimitSets[2] = {0, 1.5, 2.5};
    }
    void Event(const SafeArray& labels, const SafeArray& keys, const SafeArray& observations) {
        specs.OnObsOutsideSpecs(chart.Ptr(), labels.get(), keys.get(), observations.get(), true, 0);
    }
};

TEST_F(Observations, TheObservationIsReadOnItsOwnCaseBeforeTheLimitsInOrder) {
    AddMeasured(L"S0", L"K0", 0);
    const long index = AddMeasured(L"S1", L"K1", 9.0);
    chart.samples[index].specLimitSet = 2;
    sheet.SetValue(12, 6, 2.75);
    state.m_auxDataVars = {4};
    sheet.SetText(10, 4, L"");
    Event(SafeArray::OfBstrs({L"S1"}), SafeArray::OfBstrs({L"K1"}), SafeArray::OfInts({3}));

    ASSERT_EQ(1u, Alarms().size());
    const Record record = Read(Alarms()[0]);
    EXPECT_EQ(L"ObsOutsideSpecs", record.alarmType);
    EXPECT_EQ(L"S1", record.sampleId);
    EXPECT_EQ(L"Obs. 3 is out of spec; x=2.75; Limits: [1.5, 2.5]", record.description);
    EXPECT_EQ(L"Bore", record.charDetails);
    EXPECT_EQ(Strings({"ObservationVariable()", "FindSample(S1,K1)", "SampleFirstCase(1)",
                       "CellValue(12,6)", "SpecLimitSet(1)", "LowerSpecLimit(2)",
                       "UpperSpecLimit(2)", "SpecLimitType(2)", "CellText(10,4)"}),
              journal);
}

TEST_F(Observations, FirstRowsAreTruncatedTowardZeroAndCountedFromOne) {
    const std::pair<double, long> rows[] = {{9.7, 10}, {-0.5, 1}, {0.0, 1}, {41.999, 42}};
    for (auto [firstRow, firstCase] : rows) {
        chart.samples.clear();
        const long index = AddMeasured(L"S", L"K", firstRow);
        chart.samples[index].specLimitSet = 2;
        sheet.SetValue(firstCase, 6, 1.0);
        sheet.calls.clear();
        Event(SafeArray::OfBstrs({L"S"}), SafeArray::OfBstrs({L"K"}), SafeArray::OfInts({1}));
        EXPECT_EQ(std::vector<std::string>{"CellValue(" + std::to_string(firstCase) + ",6)"},
                  sheet.calls)
            << "first row " << firstRow;
    }
    EXPECT_EQ(4u, Alarms().size());
}

TEST_F(Observations, OneSidedSetsShowTheLimitInForce) {
    const long index = AddMeasured(L"S", L"K", 0);
    chart.samples[index].specLimitSet = 2;
    sheet.SetValue(1, 6, 7);
    const std::pair<long, const wchar_t*> types[] = {
        {3, L"Obs. 1 is out of spec; x=7; Limits: [---, 2.5]"},
        {4, L"Obs. 1 is out of spec; x=7; Limits: [1.5, ---]"},
        {0, L"Obs. 1 is out of spec; x=7; Limits: [1.5, 2.5]"},
        {5, L"Obs. 1 is out of spec; x=7; Limits: [1.5, 2.5]"},
    };
    for (auto [type, text] : types) {
        chart.specLimitSets[2].type = type;
        Event(SafeArray::OfBstrs({L"S"}), SafeArray::OfBstrs({L"K"}), SafeArray::OfInts({1}));
        EXPECT_EQ(text, Text(Alarms().back().description)) << "type " << type;
    }
}

TEST_F(Observations, RowsAndObservationsOutsideTheSpreadsheetAreRefused) {
    const long index = AddMeasured(L"S", L"K", 3e12);
    EXPECT_EQ(DISP_E_OVERFLOW, ComErrorOf([&] {
                                   Event(SafeArray::OfBstrs({L"S"}), SafeArray::OfBstrs({L"K"}),
                                         SafeArray::OfInts({1}));
                               }).first);
    chart.samples[index].firstRow = NAN;
    EXPECT_EQ(DISP_E_OVERFLOW, ComErrorOf([&] {
                                   Event(SafeArray::OfBstrs({L"S"}), SafeArray::OfBstrs({L"K"}),
                                         SafeArray::OfInts({1}));
                               }).first);
    chart.samples[index].firstRow = 2147483000.0;
    EXPECT_EQ(DISP_E_OVERFLOW, ComErrorOf([&] {
                                   Event(SafeArray::OfBstrs({L"S"}), SafeArray::OfBstrs({L"K"}),
                                         SafeArray::OfInts({INT32_MAX}));
                               }).first);
    EXPECT_TRUE(Alarms().empty());
}

struct Runs : Handlers {
    void SetUp() override {
        Handlers::SetUp();
        state.m_runsTests = {1, 3};
        state.m_nSampleVar = -1;
        state.m_autoUpdateColumns = {2};
        AddMeasured(L"F", L"FK", 4);
        AddMeasured(L"L", L"LK", 8);
        sheet.SetText(5, 2, L"first");
        sheet.SetText(9, 2, L"last");
    }
    void Event(std::vector<int32_t> tests) {
        const size_t count = tests.size();
        specs.OnRunsViolation(chart.Ptr(),
                              SafeArray::OfBstrs(std::vector<std::wstring>(count, L"F")).get(),
                              SafeArray::OfBstrs(std::vector<std::wstring>(count, L"FK")).get(),
                              SafeArray::OfBstrs(std::vector<std::wstring>(count, L"L")).get(),
                              SafeArray::OfBstrs(std::vector<std::wstring>(count, L"LK")).get(),
                              SafeArray::OfInts(tests).get(), false, 0);
    }
};

TEST_F(Runs, TheIdentityIsFirstDashLastWithTheLastLookedUpFirst) {
    IgnoreBelowFive({{5, 6.0}});
    state.m_auxDataVars = {4};
    sheet.SetText(5, 4, L"aux");
    Event({3});
    ASSERT_EQ(1u, Alarms().size());
    const Record record = Read(Alarms()[0]);
    EXPECT_EQ(L"RunsViolation", record.alarmType);
    EXPECT_EQ(L"first - last", record.sampleId);
    EXPECT_EQ(L"Samples in Zone A or beyond", record.description);
    EXPECT_EQ(L"Bore; aux", record.charDetails);
    EXPECT_EQ(
        Strings({"FindSample(F,FK)", "SampleFirstCase(0)", "FindSample(L,LK)", "SampleFirstCase(1)",
                 "CellValue(5,7)", "CellText(9,2)", "CellText(5,2)", "CellText(5,4)"}),
        journal);
}

TEST_F(Runs, OnlyEnabledTestsAreKeptAndUnknownCodesHaveAName) {
    Event({0, 1, 2, 7, -1});
    EXPECT_EQ(std::vector<std::wstring>{L"Samples in row in/decreasing"}, Descriptions(Alarms()));
    EXPECT_EQ(10u, chart.Count("FindSample")) << "both ends located before the test";

    state.m_runsTests = {0, 1, 2, 3, 4, 5, 6, 7};
    state.m_alarms.clear();
    Event({0, 1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Samples on same side of center", L"Samples in row in/decreasing",
                  L"Samples alternating up & down", L"Samples in Zone A or beyond",
                  L"Samples in Zone B or beyond", L"Samples in Zone C", L"Samples beyond Zone C",
                  L"Unknown Type"}),
              Descriptions(Alarms()));
}

TEST_F(Runs, TheIgnoreTestReadsTheFirstSamplesCase) {
    IgnoreBelowFive({{5, 1.0}, {9, 100.0}});
    Event({1});
    EXPECT_TRUE(Alarms().empty());
    EXPECT_EQ(0u, sheet.Count("CellValue(9,7)"));
    EXPECT_EQ(1u, sheet.Count("CellValue(5,7)"));
}

TEST_F(Handlers, CharacteristicDetailsJoinNameAndAuxiliaryDataTrimmed) {
    AddMeasured(L"S", L"K", 0);
    sheet.SetText(1, 4, L"a");
    sheet.SetText(1, 5, L"b");
    sheet.SetText(1, 6, L"  ");
    struct Case {
        const char* name;
        std::vector<int> aux;
        const wchar_t* details;
    } cases[] = {
        {"", {4, 5}, L"a; b"},
        {" \tBore 7 \r\n", {}, L"Bore 7"},
        {"Bore", {4, 5}, L"Bore; a; b"},
        {"", {}, L""},
        {"", {6}, L""},
        // Blank texts are not empty: the separator stays, and only the ends are trimmed.
        {"Bore ", {6}, L"Bore ;"},
    };
    for (const Case& c : cases) {
        state.m_strCharName = c.name;
        state.m_auxDataVars = c.aux;
        state.m_alarms.clear();
        OutOfControl(SafeArray::OfBstrs({L"S"}), SafeArray::OfBstrs({L"K"}), 1);
        ASSERT_EQ(1u, Alarms().size());
        ASSERT_NE(nullptr, Alarms()[0].charDetails) << "empty text, not null";
        EXPECT_EQ(c.details, Text(Alarms()[0].charDetails)) << '"' << c.name << '"';
    }
}

TEST_F(Handlers, RecordsKeepTheProcessNameOfTheirTimeAndTheListGrowsAcrossEvents) {
    AddMeasured(L"S", L"K", 0);
    const SafeArray labels = SafeArray::OfBstrs({L"S", L"S"}),
                    keys = SafeArray::OfBstrs({L"K", L"K"});
    OutOfControl(labels, keys, 1);
    specs.SetProcessName("Line=B");
    OutOfControl(labels, keys, 1);
    ASSERT_EQ(4u, Alarms().size()) << "a sample reported twice is kept twice";
    EXPECT_EQ(L"Line=A", Text(Alarms()[1].processName));
    EXPECT_EQ(L"Line=B", Text(Alarms()[2].processName));
}

TEST_F(Handlers, TheListHoldsNoSpareRoomAfterALargeEvent) {
    std::vector<std::wstring> labels, keys;
    for (int i = 0; i < 50; ++i) {
        labels.push_back(L"S" + std::to_wstring(i));
        keys.push_back(L"K");
        AddMeasured(labels.back().c_str(), L"K", i);
    }
    OutOfControl(SafeArray::OfBstrs(labels), SafeArray::OfBstrs(keys), 3);
    EXPECT_EQ(100u, Alarms().size());
    EXPECT_EQ(100u, Alarms().capacity());

    IgnoreBelowFive({});
    sheet.valueOf = [](long, long) { return 0.0; };
    OutOfControl(SafeArray::OfBstrs(labels), SafeArray::OfBstrs(keys), 3);
    EXPECT_EQ(100u, Alarms().capacity()) << "room reserved for ignored samples is given back";
}

// A fault on a later element keeps what the earlier ones added, adds nothing of its own and
// leaves no lock, reference or BSTR behind.
struct Failures : Handlers {
    BstrLedger ledger;

    void ExpectNothingLeft(std::initializer_list<const SafeArray*> arrays) {
        for (const SafeArray* array : arrays)
            EXPECT_EQ(0u, array->LockCount());
        EXPECT_EQ(0u, chart.RefCount());
        EXPECT_EQ(1u, sheet.RefCount()) << "the CSpecManager's own reference";
        EXPECT_GT(ledger.Allocated(), 0) << "the ledger sees the library's BSTRs";
        EXPECT_EQ(ledger.Allocated() + sheet.bstrsHandedOut, ledger.Freed());
    }
};

TEST_F(Failures, AFailedLookupKeepsTheRecordsOfTheEarlierSamples) {
    state.m_nSampleVar = -1;
    state.m_autoUpdateColumns = {2};
    sheet.textOf = [](long caseNumber, long) { return std::to_wstring(caseNumber); };
    for (int i = 0; i < 3; ++i)
        AddMeasured((L"S" + std::to_wstring(i)).c_str(), L"K", i);
    chart.Fail("FindSample", static_cast<HRESULT>(0x80040207), "chart busy", 3);
    const SafeArray labels = SafeArray::OfBstrs({L"S0", L"S1", L"S2"});
    const SafeArray keys = SafeArray::OfBstrs({L"K", L"K", L"K"});
    auto [hr, description] = ComErrorOf([&] { OutOfControl(labels, keys, 1); });
    EXPECT_EQ(static_cast<HRESULT>(0x80040207), hr);
    EXPECT_EQ("chart busy", description);
    ASSERT_EQ(2u, Alarms().size());
    EXPECT_EQ(L"1", Text(Alarms()[0].sampleId));
    EXPECT_EQ(L"2", Text(Alarms()[1].sampleId));
    ExpectNothingLeft({&labels, &keys});
}

TEST_F(Failures, AFailedRTextLeavesNeitherRecordOfItsSample) {
    AddMeasured(L"A", L"K", 0);
    AddMeasured(L"B", L"K", 1);
    chart.Fail("RMeasure", E_FAIL, nullptr, 2);
    const SafeArray labels = SafeArray::OfBstrs({L"A", L"B"});
    const SafeArray keys = SafeArray::OfBstrs({L"K", L"K"});
    auto [hr, description] = ComErrorOf([&] { OutOfControl(labels, keys, 3); });
    EXPECT_EQ(E_FAIL, hr);
    EXPECT_EQ("", description);
    EXPECT_EQ((std::vector<std::wstring>{kX, kR}), Descriptions(Alarms()));
    EXPECT_EQ(L"A", Text(Alarms()[1].sampleId));
    ExpectNothingLeft({&labels, &keys});
}

TEST_F(Failures, ObservationAndRunsEventsKeepEarlierRecordsToo) {
    chart.observationVariable = 6;
    chart.specLimitSets[0] = {0, 1, 2};
    state.m_runsTests = {0};
    sheet.valueOf = [](long, long) { return 3.0; };
    for (int i = 0; i < 3; ++i)
        AddMeasured((L"S" + std::to_wstring(i)).c_str(), L"K", i);
    const SafeArray labels = SafeArray::OfBstrs({L"S0", L"S1", L"S2"});
    const SafeArray keys = SafeArray::OfBstrs({L"K", L"K", L"K"});
    const SafeArray numbers = SafeArray::OfInts({0, 0, 0});

    chart.Fail("SpecLimitType", E_UNEXPECTED, "no limits", 3);
    EXPECT_EQ(E_UNEXPECTED, ComErrorOf([&] {
                                specs.OnObsOutsideSpecs(chart.Ptr(), labels.get(), keys.get(),
                                                        numbers.get(), false, 0);
                            }).first);
    EXPECT_EQ(2u, Alarms().size());

    // The third run's last sample is the sixth lookup.
    chart.Fail("FindSample", E_UNEXPECTED, "lost", 6);
    EXPECT_EQ(E_UNEXPECTED, ComErrorOf([&] {
                                specs.OnRunsViolation(chart.Ptr(), labels.get(), keys.get(),
                                                      labels.get(), keys.get(), numbers.get(),
                                                      false, 0);
                            }).first);
    EXPECT_EQ(4u, Alarms().size());
    EXPECT_EQ(L"S1 - S1", Text(Alarms()[3].sampleId));
    ExpectNothingLeft({&labels, &keys, &numbers});
}

TEST_F(Failures, NullServerOrSpreadsheetRaisesEPointerAndReleasesTheArrays) {
    AddMeasured(L"S", L"K", 0);
    const SafeArray labels = SafeArray::OfBstrs({L"S"}), keys = SafeArray::OfBstrs({L"K"});
    EXPECT_EQ(E_POINTER, ComErrorOf([&] {
                             specs.OnSampleOutOfControl(nullptr, labels.get(), keys.get(), false,
                                                        1);
                         }).first);

    CSpecManager detached(nullptr, wanted, 3, kIgnoreVar, false, 5.0, nullptr);
    CSpecManagerTestAccess::State(detached).m_bProcessSampleOutOfControl = true;
    EXPECT_EQ(E_POINTER, ComErrorOf([&] {
                             detached.OnSampleOutOfControl(chart.Ptr(), labels.get(), keys.get(),
                                                           false, 1);
                         }).first);
    EXPECT_TRUE(Alarms().empty());
    ExpectNothingLeft({&labels, &keys});
}

// Arrays that cannot be read as the event's are refused with E_INVALIDARG, also left as the
// thread's error information, before the server is asked anything.
struct BadArrays : Failures {
    std::string Refusal(const std::function<void()>& event) {
        auto [hr, description] = ComErrorOf(event);
        EXPECT_EQ(E_INVALIDARG, hr);
        EXPECT_TRUE(journal.empty()) << description;
        EXPECT_TRUE(Alarms().empty()) << description;
        return description;
    }
};

TEST_F(BadArrays, MissingFlatOrShortArraysAreNamed) {
    AddMeasured(L"S", L"K", 0);
    const SafeArray two = SafeArray::OfBstrs({L"S", L"S"}), one = SafeArray::OfBstrs({L"K"});
    const SafeArray square = SafeArray::Empty(VT_BSTR, {2, 2});
    const SafeArray ints = SafeArray::OfInts({1, 2});
    auto ooc = [&](const SafeArray& labels, const SafeArray& keys) {
        return Refusal([&] { OutOfControl(labels, keys, 3); });
    };
    const SafeArray missing;
    EXPECT_EQ("The event array of labels is missing", ooc(missing, one));
    EXPECT_EQ("The event array of keys is missing", ooc(two, missing));
    EXPECT_EQ("The event array of labels has 2 dimensions; one was expected", ooc(square, one));
    EXPECT_EQ("The event array of keys holds 1 elements, fewer than the 2 of labels",
              ooc(two, one));
    EXPECT_EQ("The event array of labels holds elements of 4 bytes; 8 were expected",
              ooc(ints, two));
    // Doubles have the size of a BSTR; read as BSTRs they would be followed as pointers.
    const SafeArray doubles = SafeArray::Empty(VT_R8, {2});
    EXPECT_EQ("The event array of keys holds elements of variant type 5; 8 was expected",
              ooc(two, doubles));

    EXPECT_EQ("The event array of observations holds elements of 8 bytes; 4 were expected",
              Refusal([&] {
                  specs.OnObsOutsideSpecs(chart.Ptr(), two.get(), two.get(), two.get(), 0, 0);
              }));
    EXPECT_EQ("The event array of tests holds 1 elements, fewer than the 2 of first labels",
              Refusal([&] {
                  const SafeArray test = SafeArray::OfInts({1});
                  specs.OnRunsViolation(chart.Ptr(), two.get(), two.get(), two.get(), two.get(),
                                        test.get(), false, 0);
              }));

    IErrorInfoPtr info;
    ooc(two, one);
    ASSERT_EQ(S_OK, ::GetErrorInfo(0, &info)) << "the description is the thread's error too";
    _bstr_t text;
    info->GetDescription(text.GetAddress());
    EXPECT_STREQ(L"The event array of keys holds 1 elements, fewer than the 2 of labels",
                 static_cast<const wchar_t*>(text));
    ExpectNothingLeft({&two, &one, &square, &ints, &doubles});
}

TEST_F(BadArrays, AnArrayThatCannotBeLockedIsRefusedAndTheOthersAreUnlocked) {
    AddMeasured(L"S", L"K", 0);
    const SafeArray labels = SafeArray::OfBstrs({L"S"}), keys = SafeArray::OfBstrs({L"K"});
    // The platform allows 65535 locks on one array.
    keys.get()->cLocks = 0xFFFF;
    const std::string description = Refusal([&] { OutOfControl(labels, keys, 3); });
    EXPECT_EQ(0u, description.find("The event array of keys cannot be locked")) << description;
    EXPECT_EQ(0xFFFFu, keys.LockCount());
    keys.get()->cLocks = 0;
    ExpectNothingLeft({&labels, &keys});
}

} // namespace
} // namespace zavtest
