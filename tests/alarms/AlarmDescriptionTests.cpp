#include <cmath>

#include "alarms/AlarmFixture.h"
#include "support/BstrLedger.h"

namespace zavtest {
namespace {

using Descriptions = AlarmEngine;

std::wstring TextOf(const CComBSTR& text) {
    return std::wstring(text.m_str, text.Length());
}

TEST_F(Descriptions, TheChartLabelIsTheIdentityWhenTheProjectNamesASampleVariable) {
    state.m_nSampleVar = 0;
    state.m_autoUpdateColumns = {2};
    EXPECT_EQ(L"S-14 (2)", TextOf(SampleId(L"S-14 (2)", 3)));
    EXPECT_EQ(nullptr, SampleId(nullptr, 3).m_str);
    EXPECT_TRUE(journal.empty()) << "no cell read, no chart call";
    EXPECT_EQ(0u, chart.RefCount());
}

TEST_F(Descriptions, AutoUpdateCellsOfTheCaseAreJoinedByUnderscores) {
    state.m_autoUpdateColumns = {2, 5};
    sheet.SetText(3, 2, L"2024-05-01");
    sheet.SetText(3, 5, L"17");
    EXPECT_EQ(L"2024-05-01_17", TextOf(SampleId(L"ignored label", 3)));
    EXPECT_EQ(Strings({"CellText(3,2)", "CellText(3,5)"}), journal);
}

TEST_F(Descriptions, EmptyAndNullCellsKeepTheirPlaceButOnlyEmptyOnesMakeAnIdentity) {
    state.m_autoUpdateColumns = {1, 2, 3};
    sheet.SetText(4, 1, L"a");
    sheet.SetText(4, 2, L"");
    sheet.SetText(4, 3, L"c");
    sheet.SetText(5, 1, L"a");
    sheet.SetText(5, 2, nullptr);
    sheet.SetText(5, 3, L"c");
    EXPECT_EQ(L"a__c", TextOf(SampleId(L"x", 4)));
    EXPECT_EQ(L"a__c", TextOf(SampleId(L"x", 5)));

    state.m_autoUpdateColumns = {2};
    const CComBSTR empty = SampleId(L"x", 4);
    ASSERT_NE(nullptr, empty.m_str) << "an empty cell gives an empty identity";
    EXPECT_EQ(0u, empty.Length());
    EXPECT_EQ(nullptr, SampleId(L"x", 5).m_str) << "a null cell alone gives none";

    state.m_autoUpdateColumns = {2, 2};
    EXPECT_EQ(L"_", TextOf(SampleId(L"x", 5))) << "the separator alone makes an identity";

    state.m_autoUpdateColumns.clear();
    journal.clear();
    EXPECT_EQ(nullptr, SampleId(L"x", 4).m_str);
    EXPECT_TRUE(journal.empty());
}

TEST_F(Descriptions, AuxiliaryDataJoinsTheCellsWithSemicolonsInAnsiText) {
    EXPECT_EQ("", AuxData(3));
    EXPECT_TRUE(journal.empty()) << "no auxiliary variables, nothing read";

    state.m_auxDataVars = {4, 6, 8};
    sheet.SetText(3, 4, L"a");
    sheet.SetText(3, 6, L"");
    sheet.SetText(3, 8, L"c");
    sheet.SetText(9, 4, L"Caf\u00E9");
    sheet.SetText(9, 6, nullptr);
    sheet.SetText(9, 8, L"x");
    EXPECT_EQ("a; ; c", AuxData(3));
    EXPECT_EQ("Caf\xE9; ; x", AuxData(9));
    EXPECT_EQ(Strings({"CellText(3,4)", "CellText(3,6)", "CellText(3,8)", "CellText(9,4)",
                       "CellText(9,6)", "CellText(9,8)"}),
              journal);
}

struct MeasuredSample : Descriptions {
    long index = 0;
    void SetUp() override {
        Descriptions::SetUp();
        chart.AddSample(L"S1", L"K1", 0);
        index = chart.AddSample(L"S2", L"K2", 4);
        FakeChartServer::Sample& sample = chart.samples[index];
        sample.xMeasure = 12.7;
        sample.xControl = {10, 12};
        sample.xWarning = {10.5, 11.5};
        sample.rMeasure = 4;
        sample.rControl = {0, 3.5};
        sample.rWarning = {0.5, 3.25};
    }
};

TEST_F(MeasuredSample, TheXTextNamesTheChartTypeAndAsksMeasureThenLimitsThenAbsentFlags) {
    EXPECT_EQ("XBar & R; X Measure: 12.7; Limits: [10, 12]", Description(index, 1, 0));
    EXPECT_EQ(
        Strings({"ChartType()", "XMeasure(1)", "XLowerControlLimit(1)", "XUpperControlLimit(1)",
                 "XNoLowerControlLimit()", "XNoUpperControlLimit()"}),
        journal);
    EXPECT_EQ(0u, chart.RefCount());
}

TEST_F(MeasuredSample, WarningTextsUseTheWarningOperations) {
    chart.chartType = 7;
    EXPECT_EQ("EWMA & R; R Measure: 4; Limits: [0.5, 3.25]", Description(index, 2, 1));
    EXPECT_EQ(
        Strings({"ChartType()", "RMeasure(1)", "RLowerWarningLimit(1)", "RUpperWarningLimit(1)",
                 "RNoLowerWarningLimit()", "RNoUpperWarningLimit()"}),
        journal);
}

TEST_F(MeasuredSample, BothPartsNameTheChartTypeOnceThenXThenR) {
    chart.chartType = 1;
    EXPECT_EQ("XBar & S; X Measure: 12.7; Limits: [10.5, 11.5]; R Measure: 4; Limits: [0.5, 3.25]",
              Description(index, 3, 1));
    EXPECT_EQ(Strings({"ChartType()", "XMeasure(1)", "XLowerWarningLimit(1)",
                       "XUpperWarningLimit(1)", "XNoLowerWarningLimit()", "XNoUpperWarningLimit()",
                       "RMeasure(1)", "RLowerWarningLimit(1)", "RUpperWarningLimit(1)",
                       "RNoLowerWarningLimit()", "RNoUpperWarningLimit()"}),
              journal);
}

TEST_F(MeasuredSample, TheProjectsXOrRSelectionLimitsTheTextsButTheChartTypeIsAlwaysAsked) {
    const std::string x = "X Measure: 12.7; Limits: [10, 12]";
    const std::string r = "R Measure: 4; Limits: [0, 3.5]";
    struct Case {
        int checkFor, parts;
        std::string expected;
    } cases[] = {
        {1, 1, "XBar & R; " + x},
        {1, 2, ""},
        {1, 3, "XBar & R; " + x},
        {2, 1, ""},
        {2, 2, "XBar & R; " + r},
        {2, 3, "XBar & R; " + r},
        {3, 0, ""},
        {0, 3, ""},
        {3, 3, "XBar & R; " + x + "; " + r},
    };
    for (const Case& c : cases) {
        state.m_nCheckAlarmFor = c.checkFor;
        journal.clear();
        EXPECT_EQ(c.expected, Description(index, c.parts, 0))
            << "checkFor " << c.checkFor << ", parts " << c.parts;
        ASSERT_FALSE(journal.empty());
        EXPECT_EQ("ChartType()", journal.front());
        EXPECT_EQ(1u, chart.Count("ChartType")) << "asked once per description";
        chart.calls.clear();
    }
}

TEST_F(MeasuredSample, AbsentLimitsPickTheOneSidedTextsWithUpperAbsentFirst) {
    chart.absent.xLowerControl = 1;
    chart.absent.xUpperControl = 1;
    EXPECT_EQ("XBar & R; X Measure: 12.7; Limits: [10, ---]", Description(index, 1, 0));
    chart.absent.xUpperControl = 0;
    EXPECT_EQ("XBar & R; X Measure: 12.7; Limits: [---, 12]", Description(index, 1, 0));
    EXPECT_EQ("XBar & R; X Measure: 12.7; Limits: [10.5, 11.5]", Description(index, 1, 1))
        << "the warning limits have flags of their own";

    chart.absent.rUpperWarning = -1;
    EXPECT_EQ("XBar & R; R Measure: 4; Limits: [0.5, ---]", Description(index, 2, 1));
    chart.absent.rUpperWarning = 0;
    chart.absent.rLowerControl = 1;
    EXPECT_EQ("XBar & R; R Measure: 4; Limits: [---, 3.5]", Description(index, 2, 0));
}

TEST_F(MeasuredSample, ChartTypeCodesMapToTheirNamesAndOthersAreUnknown) {
    const char* names[] = {"XBar & R",
                           "XBar & S",
                           "XBar & V square",
                           "Indiv & Moving Range",
                           "Indiv & MS",
                           "Moving avg & R",
                           "Moving avg & S",
                           "EWMA & R",
                           "EWMA & S",
                           "CuSum",
                           "C",
                           "U",
                           "P",
                           "Np",
                           "Pareto"};
    state.m_nCheckAlarmFor = 1;
    for (long code = 0; code < 15; ++code) {
        chart.chartType = code;
        EXPECT_EQ(std::string(names[code]) + "; X Measure: 12.7; Limits: [10, 12]",
                  Description(index, 1, 0));
    }
    for (long code : {15L, -1L, 1000L}) {
        chart.chartType = code;
        EXPECT_EQ("Unknown; X Measure: 12.7; Limits: [10, 12]", Description(index, 1, 0));
    }
}

TEST_F(MeasuredSample, NumbersFollowPrintfG) {
    FakeChartServer::Sample& sample = chart.samples[index];
    sample.xMeasure = 1234567;
    sample.xControl = {0.1 + 0.2, -0.000012345};
    EXPECT_EQ("XBar & R; X Measure: 1.23457e+06; Limits: [0.3, -1.2345e-05]",
              Description(index, 1, 0));
    sample.xMeasure = NAN;
    sample.xControl = {-INFINITY, 100000};
    EXPECT_EQ("XBar & R; X Measure: nan; Limits: [-inf, 100000]", Description(index, 1, 0));
}

TEST_F(MeasuredSample, ChartFailuresLeaveWithTheServersErrorInformation) {
    chart.Fail("XUpperControlLimit", static_cast<HRESULT>(0x80040201), "limits not ready");
    auto [hr, description] = ComErrorOf([&] { Description(index, 1, 0); });
    EXPECT_EQ(static_cast<HRESULT>(0x80040201), hr);
    EXPECT_EQ("limits not ready", description);

    chart.Fail("ChartType", E_FAIL);
    std::tie(hr, description) = ComErrorOf([&] { Description(index, 2, 0); });
    EXPECT_EQ(E_FAIL, hr);
    EXPECT_EQ("", description) << "no error information was left";
    EXPECT_EQ(0u, chart.RefCount());

    std::tie(hr, description) =
        ComErrorOf([&] { CSpecManagerTestAccess::GetSampleAlarmDesc(specs, nullptr, 0, 1, 0); });
    EXPECT_EQ(E_POINTER, hr);
}

TEST_F(Descriptions, CellFailuresFreeTheTextsReadSoFar) {
    BstrLedger ledger;
    state.m_autoUpdateColumns = {1, 2};
    state.m_auxDataVars = {1, 2};
    sheet.SetText(6, 1, L"kept until the failure");
    sheet.Fail("CellText(6,2)", E_ACCESSDENIED, "sheet locked");
    EXPECT_EQ(E_ACCESSDENIED, ComErrorOf([&] { SampleId(L"x", 6); }).first);
    EXPECT_EQ(E_ACCESSDENIED, ComErrorOf([&] { AuxData(6); }).first);
    EXPECT_EQ(2, sheet.bstrsHandedOut);
    EXPECT_EQ(ledger.Allocated() + sheet.bstrsHandedOut, ledger.Freed());
}

} // namespace
} // namespace zavtest
