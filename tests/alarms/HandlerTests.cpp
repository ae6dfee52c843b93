// The alarm handlers against the in-memory chart server and spreadsheet: what each event keeps,
// in which order the two are asked, and what a failure or a malformed event leaves behind.
#include <sstream>

#include "alarms/AlarmFixture.h"

namespace zavtest {
namespace {

using Handlers = AlarmEngine;
const std::wstring kX = L"XBar & R; X Measure: 1e+06; Limits: [0.3, 100000]";
const std::wstring kR = L"XBar & R; R Measure: nan; Limits: [-inf, 3.5]";

// The auto-update cells of a case are its number followed by a blank, "" and null; the
// auxiliary data null and the number again.
TEST_F(Handlers, RecordsOfEachKindAndTheOrderOfTheirCalls) {
    Add(L"S1", 9.0);
    Add(L"S2", 13.0);
    state.m_nSampleVar = -1;
    state.m_autoUpdateColumns = {1, 2, 3};
    state.m_auxDataVars = {3, 1};
    state.m_runsTests = {3};
    state.m_strCharName = " \tBore";
    sheet.textOf = [](long caseNumber, long var) {
        return var == 3 ? std::nullopt
                        : std::optional(var == 2 ? L"" : std::to_wstring(caseNumber) + L" ");
    };
    Raise(0, {{L"S1"}, {L"K"}}, {}, 3);
    Raise(2, {{L"S1"}, {L"K"}}, {3});
    Raise(3, {{L"S1"}, {L"K"}, {L"S2"}, {L"K"}}, {3});
    EXPECT_EQ(L"17|SampleOutOfControl|Line=A|10 __|" + kX +
                  L"|Bore; ; 10 / 17|SampleOutOfControl|" + L"Line=A|10 __|" + kR +
                  L"|Bore; ; 10 / 17|ObsOutsideSpecs|Line=A|10 __|Obs. 3 " +
                  L"is out of spec; x=12; Limits: [1.5, 2.5]|Bore; ; 10 / 17|RunsViolation|" +
                  L"Line=A|10 __ - 14 __|Samples in Zone A or beyond|Bore; ; 10",
              Render(state.m_alarms));
    const std::string cells = "CellValue(10,7) CellText(10,1) CellText(10,2) CellText(10,3) ";
    EXPECT_EQ("FindSample(S1,K) SampleFirstCase(0) " + cells +
                  "CellText(10,3) CellText(10,1) ChartType() XMeasure(0) XLowerControlLimit(0) "
                  "XUpperControlLimit(0) XNoLowerControlLimit() XNoUpperControlLimit() ChartType() "
                  "RMeasure(0) RLowerControlLimit(0) RUpperControlLimit(0) RNoLowerControlLimit() "
                  "RNoUpperControlLimit() ObservationVariable() FindSample(S1,K) "
                  "SampleFirstCase(0) " +
                  cells +
                  "CellValue(12,6) SpecLimitSet(0) LowerSpecLimit(0) UpperSpecLimit(0) "
                  "SpecLimitType(0) CellText(10,3) CellText(10,1) FindSample(S1,K) "
                  "SampleFirstCase(0) FindSample(S2,K) SampleFirstCase(1) CellValue(10,7) "
                  "CellText(14,1) CellText(14,2) CellText(14,3) " +
                  cells.substr(16) + "CellText(10,3) CellText(10,1) ",
              Calls());
}

// Chart types 0 and 14 are the first and the last that have a name; 15 and -1 have none.
TEST_F(Handlers, TheChartsChosenAreDescribedWithTheLimitsInForceAfterAStrictIgnoreTest) {
    Add(L"S", 2);
    // X or R to check, chart parts, warning event, ignore cell, chart type, absent-limit flags:
    // the descriptions kept.
    const std::tuple<int, long, bool, double, long, const char*, std::wstring> rows[] = {
        {1, 3, false, 9, 0, "", kX},
        {3, 3, false, 5, 0, "", kX + L" / " + kR},
        {3, 1, false, NAN, 0, "", kX},
        {3, 3, false, 4.999, 0, "", L""},
        {3, 1, false, 9, 14, "XNoLowerControlLimit XNoUpperControlLimit",
         L"Pareto; X Measure: 1e+06; Limits: [0.3, ---]"},
        {1, 1, false, 9, 15, "XNoLowerControlLimit",
         L"Unknown; X Measure: 1e+06; Limits: [---, 100000]"},
        {3, 3, true, 9, -1, "XNoLowerControlLimit RNoUpperWarningLimit",
         L"Unknown; X Measure: 1e+06; Limits: [10.5, 11.5] / Unknown; R Measure: nan; Limits: "
         L"[0.5, ---]"}};
    for (const auto& [checkFor, parts, warning, ignore, type, absent, texts] : rows) {
        state.m_nCheckAlarmFor = checkFor;
        state.m_alarms.clear();
        sheet.SetValue(3, 7, ignore);
        chart.numbers = {{"ChartType", type}};
        std::istringstream flags(absent);
        for (std::string flag; flags >> flag;)
            chart.numbers[flag] = 1;
        Raise(warning, {{L"S"}, {L"K"}}, {}, parts);
        EXPECT_EQ(texts, Render(state.m_alarms, &QCAlarm::description)) << parts << ignore;
        EXPECT_EQ(0u, Calls().find("FindSample(S,K) SampleFirstCase(0) CellValue(3,7)"));
    }
}

TEST_F(Handlers, ObservationsAreShownAgainstTheLimitsInForceOnTheCaseTheyLieOn) {
    Add(L"S", 0);
    chart.samples[0].specLimitSet = 2;
    // First row, observation, limit set type: the description or the error.
    const std::tuple<double, int32_t, long, std::string> rows[] = {
        {9.7, 3, 3, "Obs. 3 is out of spec; x=12; Limits: [---, 2.5]"},
        {-0.5, 1, 4, "Obs. 1 is out of spec; x=1; Limits: [1.5, ---]"},
        {2147483000.0, INT32_MAX, 0, "8002000A"}};
    for (const auto& [row, observation, type, outcome] : rows) {
        chart.samples[0].firstRow = row;
        chart.specLimitSets[2] = {type, 1.5, 2.5};
        state.m_alarms.clear();
        const std::string failure = Failure([&] { Raise(2, {{L"S"}, {L"K"}}, {observation}); });
        EXPECT_EQ(outcome,
                  failure.substr(0, 8) + Narrow(Render(state.m_alarms, &QCAlarm::description)));
    }
}

// A chart call that fails keeps the records of the samples before it; arrays that cannot be
// read are refused, naming the first at fault, before the chart is asked anything. The arrays
// have a letter each: L labels S0 to S2, K keys, N numbers (runs test or observation 0); - a
// missing array, 2 a two-dimensional one, D doubles, S one label short, X keys locked out, O labels
// from index 1.
TEST_F(Handlers, FailuresKeepEarlierRecordsAndLeaveNoStringReferenceOrLockBehind) {
    for (const wchar_t* label : {L"S0", L"S1", L"S2"})
        Add(label, 0);
    const std::string bad = "80070057 The event array of ";
    // Event, arrays, the chart call that fails and which one of them: the error, records kept.
    const std::tuple<int, std::string, const char*, int, std::string> rows[] = {
        {0, "LK", "FindSample", 3, "80040207 chart busy 4"},
        {0, "LK", "RMeasure", 2, "80040207 chart busy 2"},
        {0, "-K", "", 0, bad + "labels is missing 0"},
        {3, "LKLK2", "", 0, bad + "tests has 2 dimensions; one was expected 0"},
        {2, "LKL", "", 0, bad + "observations holds elements of 8 bytes; 4 were expected 0"},
        {0, "LD", "", 0, bad + "keys holds elements of variant type 5; 8 was expected 0"},
        {3, "LKS--", "", 0,
         bad + "last labels holds 2 elements, fewer than the 3 of first labels 0"},
        {1, "LX", "", 0, bad + "keys cannot be locked (error 0x8000FFFF) 0"},
        {1, "OK", "", 0, "6"}};
    for (const auto& [kind, codes, call, nth, outcome] : rows) {
        std::vector<SafeArray> a;
        for (char code : codes) {
            const Wides s = {L"S0", L"S1", L"S2"}, k(3, L"K");
            SafeArray made[] = {SafeArray::OfBstrs(s),
                                SafeArray::OfBstrs(k),
                                SafeArray::OfInts({0, 0, 0}),
                                SafeArray(),
                                SafeArray::Empty(VT_BSTR, {3, 2}),
                                SafeArray::Empty(VT_R8, {3}),
                                SafeArray::OfBstrs({L"S0", L"S1"}),
                                SafeArray::OfBstrs(k),
                                SafeArray::OfBstrs(s, 1)};
            a.push_back(std::move(made[std::string("LKN-2DSXO").find(code)]));
            if (code == 'X')
                a.back().get()->cLocks = 0xFFFF;
        }
        state.m_alarms.clear();
        chart.Fail(call, 0x80040207, "chart busy", nth, nth); // the 0th never comes
        const std::string failure = Failure([&] { Raise(kind, a, 3); });
        EXPECT_EQ(outcome,
                  failure + (failure.empty() ? "" : " ") + std::to_string(state.m_alarms.size()));
        EXPECT_EQ(failure.find("80070057") == 0, Calls().empty()) << failure;
        // Only the array locked out keeps its locks, all of them.
        for (SafeArray& array : a) {
            EXPECT_EQ(array.LockCount() == 0xFFFF ? 0xFFFFu : 0u, array.LockCount());
            if (array.get())
                array.get()->cLocks = 0;
        }
    }
    // The chart's references, the spreadsheet's (the CSpecManager's own), the strings freed.
    const bool freed =
        ledger.Allocated() > 0 && ledger.Allocated() + sheet.bstrsHandedOut == ledger.Freed();
    EXPECT_EQ("0 1 1", std::to_string(chart.RefCount()) + " " + std::to_string(sheet.RefCount()) +
                           " " + std::to_string(freed));
}

} // namespace
} // namespace zavtest
