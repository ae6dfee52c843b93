// The shipped sample data and projects: they load, compute, and the charts find the mean shift
// of line A and the drift of line B that the generator put in.
#include <gtest/gtest.h>

#include "RefServerSupport.h"
#include "support/Printers.h"

using namespace reftest;
using namespace VELIQCVChartsLib;

namespace {

const std::wstring kFolder = Wide(REFSERVER_SAMPLE_DATA);

// A chart over one line's cases (a view of the spreadsheet), run with a recording sink.
struct LineRun {
    _IQCVChartsPtr server;
    RecordingSink sink;
    long samples = 0;

    LineRun(const _SpreadsheetPtr& sheet, long first, long last, const wchar_t* project) {
        VELTRIUM::_Spreadsheet* raw = nullptr;
        EXPECT_EQ(S_OK, CreateRefSpreadsheetView(sheet, first, last, &raw));
        _SpreadsheetPtr view(raw, false);
        VELTRIUM::_Application* app = nullptr;
        CreateRefApplication(nullptr, &app);
        _AnalysisPtr analysis =
            _ApplicationPtr(app, false)->Analysis(3251, _variant_t(static_cast<IDispatch*>(view)));
        IDispatchPtr dialog = analysis->GetDialog();
        PutByName(dialog, L"DropProjectFile", _variant_t((kFolder + L"\\" + project).c_str()));
        samples = analysis->Run();
        _variant_t chart;
        GetByName(dialog, L"ChartServer", chart);
        // The VARIANT's own reference: its conversion operators would add one.
        server = _IQCVChartsPtr(V_DISPATCH(&chart));
        server->PutEnableSampleOutOfControlEvent(VARIANT_TRUE);
        server->PutEnableObsOutsideSpecsEvent(VARIANT_TRUE);
        server->PutEnableRunsViolationEvent(VARIANT_TRUE);
        Connect(server, &sink);
        server->Launch(0);
    }
    // Samples from..to (1-based labels) whose X was out of control.
    int OutOfControlX(int from, int to) const {
        int count = 0;
        for (const Event& e : sink.events)
            if (e.id == DISPID_SampleOutOfControl && (e.values[4] & 1)) {
                int label = std::stoi(e.texts[1][0]);
                count += label >= from && label <= to;
            }
        return count;
    }
};

} // namespace

TEST(SampleData, TheXBarRChartFindsLineAsShiftAndLineBsDrift) {
    _SpreadsheetPtr sheet = OpenSheet(kFolder + L"\\production.csv");
    ASSERT_EQ(4000, sheet->NumberOfCases());
    EXPECT_EQ(_bstr_t(L"yyyy-mm-dd hh:mm"), sheet->VariableFormat(1));
    EXPECT_EQ("A-0001", Text(sheet, 1, 4));

    // Line A: cases 1-2000, 400 batches; its mean moves up 1.5 sigma from batch 250, which puts
    // a batch mean 3.35 sigma of a mean above target: about two in three beyond the limit.
    LineRun a(sheet, 1, 2000, L"diameter-xbar-r.qcp");
    EXPECT_EQ(400, a.samples);
    EXPECT_LE(a.OutOfControlX(1, 249), 2);
    EXPECT_GE(a.OutOfControlX(250, 400), 70);
    EXPECT_EQ(249, a.server->FindSample(L"250", L"A-0250"));

    // Line B drifts from batch 200 by 0.01 sigma per batch: late batches leave the limits.
    LineRun b(sheet, 2001, 4000, L"diameter-xbar-r.qcp");
    EXPECT_LE(b.OutOfControlX(1, 199), 2);
    EXPECT_GE(b.OutOfControlX(350, 400), 20);
    EXPECT_EQ(DISPID_RunCompleted, b.sink.events.back().id);
}

TEST(SampleData, TheIndividualsChartOfWeightRuns) {
    _SpreadsheetPtr sheet = OpenSheet(kFolder + L"\\production.csv");
    LineRun a(sheet, 1, 2000, L"weight-individuals.qcp");
    EXPECT_EQ(2000, a.samples);
    EXPECT_EQ(3, a.server->ChartType());
    EXPECT_EQ(4, a.server->SpecLimitType(0));
    EXPECT_GT(a.OutOfControlX(1250, 2000), a.OutOfControlX(1, 1249));
    // The general section switches four runs tests on; the server evaluates those only.
    for (const Event& e : a.sink.events) {
        if (e.id != DISPID_RunsViolation)
            continue;
        for (long test : e.numbers[5])
            EXPECT_TRUE(test == 0 || test == 1 || test == 3 || test == 4) << test;
    }
}
