// The alarm handlers against the in-memory chart server and spreadsheet: what each event keeps,
// in which order the two are asked, and what a failure or a malformed event leaves behind.
#include <sstream>

#include "alarms/AlarmFixture.h"

namespace zavtest {
namespace {

using Handlers = AlarmEngine;
const std::wstring kX = L"XBar & R; X Measure: 1e+06; Limits: [0.3, 100000]";
const std::wstring kR = L"XBar & R; R Measure: nan; Limits: [-inf, 3.5]";

TEST_F(Handlers, RecordsOfEachKindAndTheOrderOfTheirCalls) {
    Add(L"S1", 9.0);
    Add(L"S2", 13.0);
    state.m_nSampleVar = -1;
    state.m_autoUpdateColumns = {2, 3};
    state.m_auxDataVars = {4};
    state.m_runsTests = {3};
    sheet.textOf = [](long c, long var) {
        return std::to_wstring(var) + L":" + std::to_wstring(c);
    };
    Raise(0, Arrays({{L"S1"}, {L"K"}}), 3);
    Raise(2, Arrays({{L"S1"}, {L"K"}}, {3}));
    Raise(3, Arrays({{L"S1"}, {L"K"}, {L"S2"}, {L"K"}}, {3}));
    const std::wstring ooc = L"17|SampleOutOfControl|Line=A|2:10_3:10|", details = L"|Bore; 4:10";
    EXPECT_EQ(ooc + kX + details + L" / " + ooc + kR + details +
                  L" / 17|ObsOutsideSpecs|Line=A|2:10_3:10|Obs. 3 is out of spec; x=12; Limits: "
                  L"[1.5, 2.5]|Bore; 4:10 / 17|RunsViolation|Line=A|2:10_3:10 - 2:14_3:14|Samples "
                  L"in Zone A or beyond|Bore; 4:10",
              Render(state.m_alarms));
    for (auto field : {&QCAlarm::alarmType, &QCAlarm::processName, &QCAlarm::sampleId,
                       &QCAlarm::description, &QCAlarm::charDetails})
        EXPECT_NE(state.m_alarms[0].*field, state.m_alarms[1].*field) << "each owns its strings";
    EXPECT_EQ("FindSample(S1,K) SampleFirstCase(0) CellValue(10,7) CellText(10,2) CellText(10,3) "
              "CellText(10,4) ChartType() XMeasure(0) XLowerControlLimit(0) XUpperControlLimit(0) "
              "XNoLowerControlLimit() XNoUpperControlLimit() ChartType() RMeasure(0) "
              "RLowerControlLimit(0) RUpperControlLimit(0) RNoLowerControlLimit() "
              "RNoUpperControlLimit() ObservationVariable() FindSample(S1,K) SampleFirstCase(0) "
              "CellValue(10,7) CellText(10,2) CellText(10,3) CellValue(12,6) SpecLimitSet(0) "
              "LowerSpecLimit(0) UpperSpecLimit(0) SpecLimitType(0) CellText(10,4) "
              "FindSample(S1,K) SampleFirstCase(0) FindSample(S2,K) SampleFirstCase(1) "
              "CellValue(10,7) CellText(14,2) CellText(14,3) CellText(10,2) CellText(10,3) "
              "CellText(10,4)",
              Calls());
}

TEST_F(Handlers, TheXOrRSelectionAndTheStrictIgnoreTestComeAfterTheSampleIsFound) {
    for (auto [var, threshold] : {std::pair{0, 5.0}, {7, 0.0}, {7, double(NAN)}, {7, 5.0}}) {
        state.m_nIgnoreVar = var;
        state.m_dIgnoreThreshold = threshold;
        EXPECT_FALSE(specs.ShouldIgnoreAlarm(3));
    }
    EXPECT_EQ("CellValue(3,7)", Calls()) << "an ignore test switched off reads nothing";
    Add(L"S", 2);
    const std::wstring xw = L"XBar & R; X Measure: 1e+06; Limits: [10.5, 11.5]";
    const std::wstring rw = L"XBar & R; R Measure: nan; Limits: [0.5, 3.25]";
    // X or R to check, chart parts, warning event, ignore cell: the descriptions kept.
    const std::tuple<int, long, bool, double, std::wstring> rows[] = {
        {1, 3, false, 9, kX},
        {1, 2, false, 9, L""},
        {2, 3, false, 9, kR},
        {2, 1, false, 9, L""},
        {3, 0, false, 9, L""},
        {3, 3, false, 5, kX + L" / " + kR},
        {3, 1, false, NAN, kX},
        {3, 3, false, 4.999, L""},
        {3, 1, false, -INFINITY, L""},
        {2, 3, true, 9, rw},
        {3, 3, true, 9, xw + L" / " + rw}};
    for (const auto& [checkFor, parts, warning, ignore, texts] : rows) {
        state.m_nCheckAlarmFor = checkFor;
        state.m_alarms.clear();
        sheet.SetValue(3, 7, ignore);
        Raise(warning, Arrays({{L"S"}, {L"K"}}), parts);
        EXPECT_EQ(texts, Render(state.m_alarms, &QCAlarm::description)) << parts << ignore;
        EXPECT_EQ(0u, Calls().find("FindSample(S,K) SampleFirstCase(0) CellValue(3,7)"));
    }
    EXPECT_EQ(L"SampleOutsideWarningLimits / SampleOutsideWarningLimits",
              Render(state.m_alarms, &QCAlarm::alarmType));
}

TEST_F(Handlers, ObservationsAreShownAgainstTheLimitsInForceOnTheCaseTheyLieOn) {
    Add(L"S", 0);
    chart.samples[0].specLimitSet = 2;
    // First row, observation, limit set type: the description, or none for DISP_E_OVERFLOW.
    const std::tuple<double, int32_t, long, const wchar_t*> rows[] = {
        {9.7, 3, 3, L"Obs. 3 is out of spec; x=12; Limits: [---, 2.5]"},
        {-0.5, 1, 4, L"Obs. 1 is out of spec; x=1; Limits: [1.5, ---]"},
        {41.999, 2, 5, L"Obs. 2 is out of spec; x=43; Limits: [1.5, 2.5]"},
        {3e12, 1, 0, L""},
        {-3e9, 1, 0, L""},
        {NAN, 1, 0, L""},
        {2147483000.0, INT32_MAX, 0, L""}};
    for (const auto& [row, observation, type, text] : rows) {
        chart.samples[0].firstRow = row;
        chart.specLimitSets[2] = {type, 1.5, 2.5};
        state.m_alarms.clear();
        const auto event = [&] { Raise(2, Arrays({{L"S"}, {L"K"}}, {observation})); };
        if (*text)
            event();
        else
            EXPECT_EQ(DISP_E_OVERFLOW, ComErrorOf(event).first) << row;
        EXPECT_EQ(text, Render(state.m_alarms, &QCAlarm::description)) << row;
    }
}

TEST_F(Handlers, OnlyEnabledRunsTestsAreKeptUnderTheirNames) {
    Add(L"F", 0);
    Add(L"L", 1);
    state.m_runsTests = {6, 5, 4, 3, 2, 1, 0, 7};
    const Wides keys(10, L"K");
    Raise(3,
          Arrays({Wides(10, L"F"), keys, Wides(10, L"L"), keys}, {0, 1, 2, 3, 9, 4, 5, 6, 7, -1}));
    EXPECT_EQ(L"Samples on same side of center / Samples in row in/decreasing / Samples "
              L"alternating up & down / Samples in Zone A or beyond / Samples in Zone B or beyond "
              L"/ Samples in Zone C / Samples beyond Zone C / Unknown Type",
              Render(state.m_alarms, &QCAlarm::description));
    EXPECT_EQ(20u, chart.Count("FindSample")) << "both ends are looked up before the test";
}

TEST_F(Handlers, IdentitiesAndDetailsOfTheSamplesCase) {
    const wchar_t* cells[][5] = {{L"a", L"", L"c", L"", L"  "},
                                 {L"a", nullptr, L"c", L"", L"\u00e9"}};
    for (int var = 1; var <= 5; ++var)
        for (int caseNumber : {4, 5})
            sheet.SetText(caseNumber, var, cells[caseNumber - 4][var - 1]);
    state.m_auxDataVars = {5, 2, 1};
    EXPECT_STREQ("\xe9; ; a", CSpecManagerTestAccess::GetAlarmAuxData(specs, chart.Ptr(), 5));
    Add(L"S4", 3);
    Add(L"S5", 4);
    // Sample variable, auto-update columns, auxiliary data, characteristic name, sample: the
    // identity and the details of its record.
    const std::tuple<int, std::vector<int>, std::vector<int>, const char*, const wchar_t*,
                     const wchar_t*>
        rows[] = {{0, {2}, {}, " \tBore 7 \r\n", L"S4", L"S4|Bore 7"},
                  {-1, {1, 2, 3}, {1, 3}, "Bore", L"S4", L"a__c|Bore; a; c"},
                  {-1, {1, 2, 3}, {1, 3}, "", L"S5", L"a__c|a; c"},
                  {-1, {2}, {2}, "", L"S4", L"|"},
                  {-1, {2}, {}, "", L"S5", L"~|"},
                  {-1, {2, 2}, {5}, "Bore ", L"S4", L"_|Bore ;"},
                  {-1, {}, {}, "", L"S4", L"~|"}};
    for (const auto& [sampleVar, columns, aux, name, label, record] : rows) {
        state.m_nSampleVar = sampleVar;
        state.m_autoUpdateColumns = columns;
        state.m_auxDataVars = aux;
        state.m_strCharName = name;
        state.m_alarms.clear();
        Raise(0, Arrays({{label}, {L"K"}}));
        EXPECT_EQ(record, Render(state.m_alarms, &QCAlarm::sampleId) + L"|" +
                              Render(state.m_alarms, &QCAlarm::charDetails))
            << label;
    }
}

TEST_F(Handlers, DescriptionsNameTheChartTypeAndPickTheTextOfTheLimitsInForce) {
    Add(L"S", 0);
    // Chart type, parts, warning, absent-limit flags: the description.
    const std::tuple<long, int, int, const char*, const char*> rows[] = {
        {1, 3, 1, "",
         "XBar & S; X Measure: 1e+06; Limits: [10.5, 11.5]; R Measure: nan; Limits: "
         "[0.5, 3.25]"},
        {0, 1, 0, "XNoLowerControlLimit XNoUpperControlLimit",
         "XBar & R; X Measure: 1e+06; "
         "Limits: [0.3, ---]"},
        {0, 1, 0, "XNoLowerControlLimit", "XBar & R; X Measure: 1e+06; Limits: [---, 100000]"},
        {0, 1, 1, "XNoLowerControlLimit", "XBar & R; X Measure: 1e+06; Limits: [10.5, 11.5]"},
        {7, 2, 1, "RNoUpperWarningLimit", "EWMA & R; R Measure: nan; Limits: [0.5, ---]"},
        {3, 2, 0, "RNoLowerControlLimit",
         "Indiv & Moving Range; R Measure: nan; Limits: [---, 3.5]"},
        {14, 1, 0, "", "Pareto; X Measure: 1e+06; Limits: [0.3, 100000]"},
        {15, 2, 0, "", "Unknown; R Measure: nan; Limits: [-inf, 3.5]"},
        {-1, 2, 0, "", "Unknown; R Measure: nan; Limits: [-inf, 3.5]"}};
    for (const auto& [type, parts, warning, absent, text] : rows) {
        chart.numbers = {{"ChartType", type}};
        std::istringstream flags(absent);
        for (std::string flag; flags >> flag;)
            chart.numbers[flag] = 1;
        EXPECT_STREQ(text, CSpecManagerTestAccess::GetSampleAlarmDesc(specs, chart.Ptr(), 0, parts,
                                                                      warning));
    }
}

TEST_F(Handlers, FailuresKeepTheRecordsOfEarlierSamplesAndLeaveNothingBehind) {
    for (const wchar_t* label : {L"S0", L"S1", L"S2"})
        Add(label, 0);
    const Wides labels = {L"S0", L"S1", L"S2"}, keys(3, L"K");
    const std::vector<SafeArray> a = Arrays({labels, keys, labels, keys}, {0, 0, 0});
    // Event, the call that fails, which one of them, chart parts. The R text of the second
    // sample fails: neither of its records is kept.
    const std::tuple<int, const char*, int, long> rows[] = {{0, "FindSample", 3, 1},
                                                            {0, "RMeasure", 2, 3},
                                                            {2, "SpecLimitType", 3, 1},
                                                            {3, "FindSample", 6, 1}};
    for (const auto& [kind, call, nth, parts] : rows) {
        state.m_alarms.clear();
        chart.Fail(call, 0x80040207, "chart busy", nth, nth);
        EXPECT_EQ(std::make_pair(HRESULT(0x80040207), std::string("chart busy")),
                  ComErrorOf([&] { Raise(kind, a, parts); }));
        EXPECT_EQ(2u, state.m_alarms.size()) << call;
    }
    EXPECT_EQ(L"S0 - S0 / S1 - S1", Render(state.m_alarms, &QCAlarm::sampleId));
    CSpecManager detached(nullptr, wanted, 3, 7, false, 5.0, nullptr);
    CSpecManagerTestAccess::State(detached).m_bProcessSampleOutOfControl = true;
    for (CSpecManager* target : {&specs, &detached})
        EXPECT_EQ(E_POINTER,
                  ComErrorOf([&] {
                      target->OnSampleOutOfControl(target == &specs ? nullptr : chart.Ptr(),
                                                   a[0].get(), a[1].get(), false, 1);
                  }).first);
    ExpectNothingLeft(a);
}

// Each row spoils one array of an event and leaves out every array after it, so the refusal
// must name the first array at fault; a lower bound other than 0 is no fault.
TEST_F(Handlers, MalformedEventArraysAreRefusedBeforeTheChartServerIsAsked) {
    Add(L"S0", 0);
    Add(L"S1", 1);
    bool* switches[] = {&state.m_bProcessSampleOutOfControl,
                        &state.m_bProcessSampleOutsideWarningLimits, &state.m_bProcessObsOutOfSpecs,
                        &state.m_bProcessRunsViolation};
    enum Fault { Missing, Flat, Size, Type, Short, Locked, Based };
    const std::tuple<int, size_t, Fault, const char*> rows[] = {
        {0, 0, Missing, "labels is missing"},
        {3, 4, Flat, "tests has 2 dimensions; one was expected"},
        {1, 0, Size, "labels holds elements of 4 bytes; 8 were expected"},
        {2, 2, Size, "observations holds elements of 8 bytes; 4 were expected"},
        {0, 1, Type, "keys holds elements of variant type 5; 8 was expected"},
        {3, 4, Type, "tests holds elements of variant type 4; 3 was expected"},
        {2, 2, Short, "observations holds 1 elements, fewer than the 2 of labels"},
        {3, 2, Short, "last labels holds 1 elements, fewer than the 2 of first labels"},
        {3, 1, Locked, "first keys cannot be locked (error 0x8000FFFF)"},
        {1, 0, Based, "fine"},
        {3, 4, Based, "fine"}};
    for (const auto& [kind, slot, fault, text] : rows) {
        const Wides two = {L"S0", L"S1"}, keys(2, L"K");
        std::vector<SafeArray> a = Arrays({two, keys, two, keys}, {0, 0});
        if (kind < 3)
            a.erase(a.begin() + 2, a.end() - (kind == 2));
        const bool ints = kind >= 2 && slot + 1 == a.size();
        SafeArray spoilt[] = {SafeArray(),
                              SafeArray::Empty(ints ? VT_I4 : VT_BSTR, {2, 2}),
                              ints ? SafeArray::OfBstrs(two) : SafeArray::OfInts({0, 0}),
                              SafeArray::Empty(ints ? VT_R4 : VT_R8, {2}),
                              ints ? SafeArray::OfInts({0}) : SafeArray::OfBstrs({L"S0"}),
                              std::move(a[slot]),
                              ints ? SafeArray::OfInts({0, 0}, 1) : SafeArray::OfBstrs(two, 1)};
        a[slot] = std::move(spoilt[fault]);
        for (size_t i = slot + 1; fault != Based && i < a.size(); ++i)
            a[i] = SafeArray();
        if (fault == Locked)
            a[slot].get()->cLocks = 0xFFFF;
        state.m_alarms.clear();
        *switches[kind] = false;
        Raise(kind, a);
        EXPECT_EQ("", Calls()) << "a handler switched off touches nothing";
        *switches[kind] = true;
        std::string refusal = "fine";
        try {
            Raise(kind, a);
        } catch (const _com_error& e) {
            refusal = DescriptionOf(e).erase(0, 19) + (e.Error() == E_INVALIDARG ? "" : " ?");
            EXPECT_EQ("The event array of " + refusal, ThreadErrorDescription());
        }
        EXPECT_EQ(text, refusal);
        EXPECT_EQ(fault == Based ? 2u : 0u, state.m_alarms.size()) << text;
        EXPECT_EQ(fault == Based, !Calls().empty()) << text;
        EXPECT_EQ(fault == Locked ? 0xFFFFu : 0u, a[slot].LockCount());
        if (fault == Locked)
            a[slot].get()->cLocks = 0;
        ExpectNothingLeft(a);
    }
}

} // namespace
} // namespace zavtest
