// The spreadsheet over CSV files, the application, the QC analysis and its dialog as the library
// drives them, and the SPC object manager.
#include <gtest/gtest.h>

#include <cmath>

#include "RefServerSupport.h"

using namespace reftest;

namespace {

const char kMixed[] = "Stamp,Name,Value,Clock,Short\n"
                      "2024-05-01 06:30,Smith,12.5,06:30:15,5/1/24 6:30 PM\n"
                      "2024-05-01 00:15,\"Jones, K.\",,23:59:59,12/31/99 12:00 AM\n"
                      "2024-02-29 12:00,\"said \"\"hi\"\"\",-3,00:00:00,1/2/2030 12:05 PM\n";

struct Objects : ::testing::Test {
    TempDir dir;
    _SpreadsheetPtr Open(const std::string& csv) { return OpenSheet(WriteFile(dir, "d.csv", csv)); }
};

} // namespace

TEST_F(Objects, CellsHoldNumbersTextsDatesAndEmptiness) {
    _SpreadsheetPtr s = Open(kMixed);
    EXPECT_EQ(3, s->NumberOfCases());
    EXPECT_EQ(_bstr_t(L"Value"), s->VariableName(3));
    EXPECT_EQ((std::vector<long>{3, 1, 0, 0}),
              (std::vector<long>{s->VariableNumber(L"value"), s->VariableNumber(L"Stamp"),
                                 s->VariableNumber(L"Missing"), s->VariableNumber(_bstr_t())}));
    EXPECT_DOUBLE_EQ(-3.0, s->CellValue(3, 3));
    EXPECT_TRUE(std::isnan(s->CellValue(2, 3))) << "an empty cell has no value";
    double value = 0;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, s->raw_CellValue(1, 2, &value));
    EXPECT_EQ("Case 1 of variable \"Name\" holds the text \"Smith\", not a number", ErrorText());
    // 2024-05-01 is day 45413 after 1899-12-30; the first date-time of a column sets its format.
    EXPECT_NEAR(45413 + 6.5 / 24, s->CellValue(1, 1), 1e-9);
    EXPECT_NEAR(36525.0, s->CellValue(2, 5), 1e-9) << "two-digit years from 30 are 19xx";
    const std::vector<std::pair<long, const wchar_t*>> formats = {
        {1, L"yyyy-mm-dd hh:mm"}, {3, L"General"}, {4, L"hh:mm:ss"}, {5, L"m/d/yy h:mm AM/PM"}};
    for (auto [var, format] : formats)
        EXPECT_EQ(_bstr_t(format), s->VariableFormat(var)) << var;
    const std::vector<std::vector<std::string>> shown = {
        {"2024-05-01 06:30", "Smith", "12.5", "06:30:15", "5/1/24 6:30 PM"},
        {"2024-05-01 00:15", "Jones, K.", "", "23:59:59", "12/31/99 12:00 AM"},
        {"2024-02-29 12:00", "said \"hi\"", "-3", "00:00:00", "1/2/30 12:05 PM"}};
    for (long c = 1; c <= 3; ++c)
        for (long v = 1; v <= 5; ++v)
            EXPECT_EQ(shown[c - 1][v - 1], Text(s, c, v)) << "case " << c << ", variable " << v;
}

TEST_F(Objects, DisplayFormatsChangeWhatCellTextShows) {
    _SpreadsheetPtr s = Open("When,x\n2024-05-01 06:00:59,1234567.891\n2024-05-01 18:07:03,0.1\n"
                             "00:00,10.0234\n11:59:59.6,1e20\n23:59:59.6,-0.000125\n"
                             "06:30:00.250,0.30000000000000004\n");
    struct Row {
        long var;
        const wchar_t* format;
        std::vector<std::string> texts; // cases 1, 2, ...
    } rows[] = {
        {1, L"hh:mm", {"06:00", "18:07"}}, // minutes only: the seconds are cut, not rounded
        {1, L"m/d/yy h:mm:ss AM/PM", {"5/1/24 6:00:59 AM", "5/1/24 6:07:03 PM"}},
        {1, L"dddd d mmmm yyyy", {"Wednesday 1 May 2024"}},
        {1, L"dd-mmm-yy hh\"h\"mm", {"01-May-24 06h00", "01-May-24 18h07"}},
        {1, L"[h]:mm", {"1089918:00", "1089930:07"}},
        {1, L"General", {"45413.2506828704", "45413.7548958333"}},
        {1, L"h:mm:ss A/P", {"6:00:59 A", "6:07:03 P", "12:00:00 A", "12:00:00 P"}},
        {1,
         L"hh:mm:ss.000",
         {"06:00:59.000", "18:07:03.000", "00:00:00.000", "11:59:59.600", "23:59:59.600",
          "06:30:00.250"}},
        {2, L"0.00", {"1234567.89", "0.10"}},
        {2, L"#,##0.0", {"1,234,567.9", "0.1"}},
        {2, L"", {"1234567.891", "0.1", "10.0234", "1e+20", "-0.000125", "0.3"}},
    };
    for (const Row& row : rows) {
        s->SetVariableFormat(row.var, row.format);
        EXPECT_EQ(_bstr_t(row.format), s->VariableFormat(row.var));
        for (size_t c = 0; c < row.texts.size(); ++c)
            EXPECT_EQ(row.texts[c], Text(s, long(c + 1), row.var))
                << zavtest::Narrow(row.format) << ", case " << c + 1;
    }
}

TEST_F(Objects, BadFilesAndIndexesFailWithTheirErrorInformation) {
    const HRESULT bad = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    struct Row {
        const char* csv;
        const char* problem;
    } rows[] = {
        {"a,b\n1,2\n3\n", "line 3: 1 fields, but the header names 2 variables"},
        {"a,b\n\n\n1,2,3\n", "line 4: 3 fields, but the header names 2 variables"},
        {"a,b\n\"multi\nline\",1\n1,\"open\n", "line 4: the quoted field 2 does not end"},
        {"a,b\n\"multi\nline\",1\n\"x\"y,2\n", "line 4: text after the closing quote of field 1"},
        {"a,,c\n1,2,3\n", "line 1: variable 2 has no name"},
        {"Name,x,NAME\n1,2,3\n", "line 1: the variable name \"NAME\" appears twice"},
        {"\n\n", "is empty: it needs a header row"},
    };
    VELTRIUM::_Spreadsheet* sheet = nullptr;
    for (const Row& row : rows) {
        std::wstring path = WriteFile(dir, "bad.csv", row.csv);
        EXPECT_EQ(bad, OpenRefSpreadsheet(path.c_str(), &sheet)) << row.csv;
        const std::string text = ErrorText();
        EXPECT_NE(std::string::npos, text.find(zavtest::Narrow(path))) << text;
        EXPECT_NE(std::string::npos, text.find(row.problem)) << text;
    }
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              OpenRefSpreadsheet(zavtest::Wide(dir / "none.csv").c_str(), &sheet));
    EXPECT_NE(std::string::npos, ErrorText().find("Cannot read the CSV file \""));
    EXPECT_EQ(E_INVALIDARG, OpenRefSpreadsheet(L"", &sheet));
    EXPECT_EQ(nullptr, sheet);

    _SpreadsheetPtr s = Open(kMixed);
    BSTR text = nullptr;
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_CellText(4, 1, &text));
    EXPECT_EQ("Case 4 does not exist; valid are 1 to 3", ErrorText());
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_SetVariableFormat(0, nullptr));
    EXPECT_EQ(E_POINTER, s->raw_VariableNumber(nullptr, nullptr));
    // The raising wrappers find the description through ISupportErrorInfo.
    EXPECT_EQ(
        std::make_pair(DISP_E_BADINDEX, std::string("Variable 0 does not exist; valid are 1 to 5")),
        zavtest::ComErrorOf([&] { s->CellValue(1, 0); }));
}

TEST_F(Objects, SeparatorsByteOrderMarksAndViews) {
    _SpreadsheetPtr semicolons = Open("\xEF\xBB\xBFLot;x\r\n\r\nL1 ; 1.5\r\n  \r\nL2;2\r\n");
    EXPECT_EQ(2, semicolons->NumberOfCases());
    EXPECT_EQ("L1", Text(semicolons, 1, 1));
    EXPECT_DOUBLE_EQ(1.5, semicolons->CellValue(1, 2));
    EXPECT_EQ("", Text(Open("a\tb\n1\t\n"), 1, 2));
    EXPECT_EQ("M\xC3\xBCller", Text(Open("Name\nM\xC3\xBCller\n"), 1, 1));

    _SpreadsheetPtr whole = Open(kMixed);
    VELTRIUM::_Spreadsheet* raw = nullptr;
    ASSERT_EQ(S_OK, CreateRefSpreadsheetView(whole, 2, 3, &raw));
    _SpreadsheetPtr view(raw, false);
    EXPECT_EQ(2, view->NumberOfCases());
    EXPECT_EQ("Jones, K.", Text(view, 1, 2));
    view->SetVariableFormat(1, L"hh:mm:ss");
    EXPECT_EQ("06:30:00", Text(whole, 1, 1)) << "formats are shared with the source";
    ASSERT_EQ(S_OK, CreateRefSpreadsheetView(view, 2, 2, &raw));
    EXPECT_EQ("said \"hi\"", Text(_SpreadsheetPtr(raw, false), 1, 2));
    EXPECT_EQ(DISP_E_BADINDEX, CreateRefSpreadsheetView(whole, 3, 4, &raw));
    EXPECT_NE(std::string::npos, ErrorText().find("The cases 3 to 4"));
    EXPECT_EQ(E_INVALIDARG, CreateRefSpreadsheetView(nullptr, 1, 1, &raw));
    EXPECT_EQ(nullptr, raw);
}

TEST_F(Objects, TheApplicationGivesTheQCAnalysisOfItsOwnSpreadsheetsAfterItsHandshake) {
    _variant_t data(static_cast<IDispatch*>(Open("x\n1\n2\n3\n4\n")));
    _ApplicationPtr app = NewApplication(L"handshakefailures = 2");
    for (int attempt = 0; attempt < 2; ++attempt)
        EXPECT_EQ(std::make_pair(static_cast<HRESULT>(0x80040200),
                                 std::string("bad encryption handshake")),
                  zavtest::ComErrorOf([&] { app->Analysis(3251, data); }));
    EXPECT_TRUE(app->Analysis(3251, data));
    VELTRIUM::_Application* none = nullptr;
    for (const wchar_t* options : {L"Handshake=1", L"HandshakeFailures=-1"})
        EXPECT_EQ(E_INVALIDARG, CreateRefApplication(options, &none));
    EXPECT_EQ(nullptr, none);

    VELTRIUM::_Analysis* analysis = nullptr;
    EXPECT_EQ(E_INVALIDARG, app->raw_Analysis(3250, data, &analysis));
    EXPECT_NE(std::string::npos, ErrorText().find("Analysis type 3250 is not supported"));
    zavtest::ComObject<IDispatch> stranger;
    EXPECT_EQ(E_INVALIDARG,
              app->raw_Analysis(3251, _variant_t(static_cast<IDispatch*>(&stranger)), &analysis));
    EXPECT_NE(std::string::npos, ErrorText().find("not a spreadsheet of the reference"));
    EXPECT_EQ(E_INVALIDARG, app->raw_Analysis(3251, _variant_t(7L), &analysis));
    EXPECT_EQ(nullptr, analysis);
    EXPECT_EQ(0u, stranger.RefCount());
}

TEST_F(Objects, TheDialogIsReachedByNameAndTheRunGivesTheChartServer) {
    _variant_t data(static_cast<IDispatch*>(Open("x\n1\n2\n3\n4\n")));
    _ApplicationPtr app = NewApplication();
    _AnalysisPtr analysis = app->Analysis(3251, data);
    IDispatchPtr dialog = analysis->GetDialog();
    EXPECT_EQ(dialog.GetInterfacePtr(), analysis->GetDialog().GetInterfacePtr()) << "one dialog";
    _variant_t value, path(WriteFile(dir, "p.qcp",
                                     "[REFSERVER]\nObservationVar=x\n"
                                     "SubgroupSize=2\n")
                               .c_str());
    EXPECT_EQ(DISP_E_UNKNOWNNAME, GetByName(dialog, L"Nonsense", value));
    EXPECT_EQ(S_OK, PutByName(dialog, L"autoupdatemode", _variant_t(false)));
    VARIANT_BOOL on = VARIANT_TRUE;
    VARIANT byReference{};
    V_VT(&byReference) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&byReference) = &on;
    EXPECT_EQ(S_OK, PutByName(dialog, L"MakeDefaultSummaryChart", _variant_t(byReference)));
    GetByName(dialog, L"MakeDefaultSummaryChart", value);
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&value));
    EXPECT_EQ(DISP_E_TYPEMISMATCH,
              PutByName(dialog, L"AutoUpdateMode", _variant_t(dialog.GetInterfacePtr())));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              PutByName(dialog, L"DropProjectFile", path, DISPATCH_PROPERTYPUTREF));
    DISPPARAMS unnamed{&path, nullptr, 1, 0};
    EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL, dialog->Invoke(3, IID_NULL, 0, DISPATCH_PROPERTYPUT,
                                                      &unnamed, nullptr, nullptr, nullptr));
    long samples = 7;
    EXPECT_EQ(E_UNEXPECTED, analysis->raw_Run(&samples));
    EXPECT_NE(std::string::npos, ErrorText().find("No project file was dropped"));
    EXPECT_EQ(E_UNEXPECTED, GetByName(dialog, L"ChartServer", value));
    EXPECT_NE(std::string::npos, ErrorText().find("the analysis has not run"));
    IRefApplicationPtr extra(app);
    VELIQCVChartsLib::_IQCVCharts* last = nullptr;
    EXPECT_EQ(S_FALSE, extra->get_LastChartServer(&last));

    EXPECT_EQ(S_OK, PutByName(dialog, L"DropProjectFile", path));
    EXPECT_EQ(2, analysis->Run()) << "two samples of two";
    ASSERT_EQ(S_OK, GetByName(dialog, L"ChartServer", value));
    ASSERT_EQ(S_OK, extra->get_LastChartServer(&last));
    EXPECT_EQ(_IQCVChartsPtr(V_DISPATCH(&value)).GetInterfacePtr(), last);
    last->Release();
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, PutByName(dialog, L"ChartServer", value));
    DISPID id = 0;
    LPOLESTR launch[] = {const_cast<LPOLESTR>(L"Launch")};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, V_DISPATCH(&value)->GetIDsOfNames(IID_NULL, launch, 1, 0, &id))
        << "the chart server itself has no names";
}

TEST_F(Objects, TheObjectManagerGivesTheCharacteristicsOfItsFile) {
    std::wstring path = WriteFile(dir, "chars.qcp",
                                  "[GENERAL]\nCharID=2\n[CHARACTERISTICS]\n; comment\n"
                                  "1=Diameter\n2 = \"Outer weight\"\n-5=Scrap\n");
    Vexil::_ObjectManager* raw = nullptr;
    ASSERT_EQ(S_OK, OpenRefObjectManager(path.c_str(), &raw)) << ErrorText();
    Vexil::_CharacteristicsPtr characteristics =
        Vexil::_ObjectManagerPtr(raw, false)->GetCharacteristics();
    for (auto [id, name] : {std::pair{1L, L"Diameter"}, {2L, L"Outer weight"}, {-5L, L"Scrap"}})
        EXPECT_EQ(_bstr_t(name), characteristics->Item(id)->Name());
    Vexil::_Characteristic* item = nullptr;
    EXPECT_EQ(DISP_E_BADINDEX, characteristics->raw_Item(3, &item));
    EXPECT_NE(std::string::npos, ErrorText().find("Characteristic 3 is not in the section"));
    std::wstring bad = WriteFile(dir, "bad.qcp", "[CHARACTERISTICS]\nfirst=Diameter\n");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), OpenRefObjectManager(bad.c_str(), &raw));
    EXPECT_NE(std::string::npos, ErrorText().find("\"first\" is not a characteristic id"));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              OpenRefObjectManager(zavtest::Wide(dir / "none.qcp").c_str(), &raw));
    EXPECT_EQ(nullptr, raw);
}
