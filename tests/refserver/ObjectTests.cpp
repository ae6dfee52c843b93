// The spreadsheet over CSV files, the application, the QC analysis and its dialog as the library
// drives them, and the SPC object manager.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "RefServerSupport.h"
#include "support/ComObject.h"

using namespace reftest;

namespace {

struct Objects : ::testing::Test {
    TempDir dir;
    // The displayed texts of one variable's cases 1 to n, as UTF-8 joined by "|".
    static std::string Texts(const _SpreadsheetPtr& s, long var, long n = 1) {
        std::string texts;
        for (long c = 1; c <= n; ++c) {
            const _bstr_t text = s->CellText(c, var);
            texts += (c > 1 ? "|" : "") + zavtest::Narrow({text, text.length()}, CP_UTF8);
        }
        return texts;
    }
};

} // namespace

TEST_F(Objects, CellsShowAsWrittenAndDisplayFormatsChangeThat) {
    _SpreadsheetPtr s =
        OpenSheet(dir, "\xEF\xBB\xBFStamp;Name;Value;Clock;Short\r\n\r\n"
                       "2024-05-01 06:30;Smith;12.5;06:30:15;5/1/24 6:30 PM\r\n  \r\n"
                       "2024-05-01 00:15 ; \"Jones; K.\";;23:59:59;12/31/99 12:00 AM\n"
                       "2024-02-29 12:00;\"said \"\"hi\"\"\";-3;00:00:00;1/2/2030 12:05 PM\n"
                       "2024-05-01 18:07:03;M\xC3\xBCller;0.30000000000000004;11:59:59.6;\n");
    EXPECT_EQ((std::vector<long>{4, 3, 0, 0}),
              (std::vector<long>{s->NumberOfCases(), s->VariableNumber(L"value"),
                                 s->VariableNumber(L"Missing"), s->VariableNumber(_bstr_t())}));
    EXPECT_TRUE(std::isnan(s->CellValue(2, 3))) << "an empty cell has no value";
    // 2024-05-01 is day 45413 after 1899-12-30; two-digit years from 30 are 19xx.
    EXPECT_NEAR(45413 + 6.5 / 24, s->CellValue(1, 1), 1e-9);
    EXPECT_NEAR(36525.0, s->CellValue(2, 5), 1e-9);
    double value = 0;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, s->raw_CellValue(1, 2, &value));
    EXPECT_EQ("Case 1 of variable \"Name\" holds the text \"Smith\", not a number", ErrorText());
    // Variable, display format (null: as read), the texts of its cases.
    const std::tuple<long, const wchar_t*, std::string> rows[] = {
        {1, nullptr, "2024-05-01 06:30|2024-05-01 00:15|2024-02-29 12:00|2024-05-01 18:07"},
        {2, nullptr, "Smith|Jones; K.|said \"hi\"|M\xC3\xBCller"},
        {3, nullptr, "12.5||-3|0.3"},
        {4, nullptr, "06:30:15|23:59:59|00:00:00|12:00:00"}, // seconds round when shown
        {5, nullptr, "5/1/24 6:30 PM|12/31/99 12:00 AM|1/2/30 12:05 PM"},
        {1, L"hh:mm", "06:30|00:15|12:00|18:07"}, // minutes only: the seconds are cut
        {1, L"m/d/yy h:mm:ss AM/PM", "5/1/24 6:30:00 AM|5/1/24 12:15:00 AM"},
        {1, L"dddd d mmmm yyyy",
         "Wednesday 1 May 2024|Wednesday 1 May 2024|Thursday 29 February 2024"},
        {1, L"dd-mmm-yy hh\"h\"mm", "01-May-24 06h30"},
        {1, L"[h]:mm", "1089918:30"},
        {1, L"General", "45413.2708333333"},
        {4, L"h:mm:ss A/P", "6:30:15 A|11:59:59 P|12:00:00 A|12:00:00 P"},
        {4, L"hh:mm:ss.000", "06:30:15.000|23:59:59.000|00:00:00.000|11:59:59.600"},
        {3, L"0.00", "12.50||-3.00|0.30"},
        {3, L"#,##0.0", "12.5||-3.0|0.3"},
    };
    for (const auto& [var, format, texts] : rows) {
        if (format)
            s->SetVariableFormat(var, format);
        EXPECT_EQ(texts, Texts(s, var, 1 + std::count(texts.begin(), texts.end(), '|')))
            << var << " " << zavtest::Narrow(format ? format : L"");
    }
    EXPECT_EQ(_bstr_t(L"#,##0.0"), s->VariableFormat(3));
    _SpreadsheetPtr big = OpenSheet(dir, "x\n1234567.891\n1e20\n-0.000125\n");
    EXPECT_EQ("1234567.891|1e+20|-0.000125", Texts(big, 1, 3));
    big->SetVariableFormat(1, L"#,##0.0");
    EXPECT_EQ("1,234,567.9", Texts(big, 1));
}

TEST_F(Objects, BadFilesAndIndexesFailWithTheFileTheLineAndTheProblem) {
    const std::pair<const char*, const char*> rows[] = {
        {"a,b\n1,2\n3\n", "line 3: 1 fields, but the header names 2 variables"},
        {"a,b\n\n\n1,2,3\n", "line 4: 3 fields, but the header names 2 variables"},
        {"a,b\n\"multi\nline\",1\n1,\"open\n", "line 4: the quoted field 2 does not end"},
        {"a,b\n\"multi\nline\",1\n\"x\"y,2\n", "line 4: text after the closing quote of field 1"},
        {"a,,c\n1,2,3\n", "line 1: variable 2 has no name"},
        {"Name,x,NAME\n1,2,3\n", "line 1: the variable name \"NAME\" appears twice"},
        {"\n\n", "is empty: it needs a header row"},
    };
    VELTRIUM::_Spreadsheet* sheet = nullptr;
    for (auto [csv, problem] : rows) {
        std::wstring path = WriteFile(dir, "bad.csv", csv);
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), OpenRefSpreadsheet(path.c_str(), &sheet));
        const std::string text = ErrorText();
        EXPECT_TRUE(text.find(zavtest::Narrow(path)) != std::string::npos &&
                    text.find(problem) != std::string::npos)
            << text;
    }
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              OpenRefSpreadsheet(zavtest::Wide(dir / "none.csv").c_str(), &sheet));
    EXPECT_NE(std::string::npos, ErrorText().find("Cannot read the CSV file \""));
    EXPECT_EQ(E_INVALIDARG, OpenRefSpreadsheet(L"", &sheet));
    EXPECT_EQ(nullptr, sheet);

    _SpreadsheetPtr s = OpenSheet(dir, "a,b,c\n1,x,3\n2,y,4\n3,z,5\n");
    BSTR text = nullptr;
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_CellText(4, 1, &text));
    EXPECT_EQ("Case 4 does not exist; valid are 1 to 3", ErrorText());
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_SetVariableFormat(0, nullptr));
    EXPECT_EQ(E_POINTER, s->raw_VariableNumber(nullptr, nullptr));
    // The raising wrappers find the description through ISupportErrorInfo.
    EXPECT_EQ(
        std::make_pair(DISP_E_BADINDEX, std::string("Variable 0 does not exist; valid are 1 to 3")),
        zavtest::ComErrorOf([&] { s->CellValue(1, 0); }));

    // A view shows a range of the cases and shares the display formats.
    _SpreadsheetPtr view, inner;
    ASSERT_EQ(S_OK, CreateRefSpreadsheetView(s, 2, 3, &view));
    view->SetVariableFormat(1, L"0.0");
    EXPECT_EQ("2|y|1.0",
              std::to_string(view->NumberOfCases()) + "|" + Texts(view, 2) + "|" + Texts(s, 1));
    ASSERT_EQ(S_OK, CreateRefSpreadsheetView(view, 2, 2, &inner));
    EXPECT_EQ("z", Texts(inner, 2));
    EXPECT_EQ(DISP_E_BADINDEX, CreateRefSpreadsheetView(s, 3, 4, &inner));
    EXPECT_NE(std::string::npos, ErrorText().find("The cases 3 to 4"));
    EXPECT_EQ(E_INVALIDARG, CreateRefSpreadsheetView(nullptr, 1, 1, &inner));
}

TEST_F(Objects, TheApplicationTheAnalysisAndItsDialogAsTheLibraryDrivesThem) {
    _variant_t data(static_cast<IDispatch*>(OpenSheet(dir, "x\n1\n2\n3\n4\n")));
    VELTRIUM::_ApplicationPtr app;
    ASSERT_EQ(S_OK, CreateRefApplication(L"handshakefailures = 2", &app));
    for (int attempt = 0; attempt < 2; ++attempt)
        EXPECT_EQ(std::make_pair(static_cast<HRESULT>(0x80040200),
                                 std::string("bad encryption handshake")),
                  zavtest::ComErrorOf([&] { app->Analysis(3251, data); }));
    VELTRIUM::_Application* none = nullptr;
    for (const wchar_t* options : {L"Handshake=1", L"HandshakeFailures=-1"})
        EXPECT_EQ(E_INVALIDARG, CreateRefApplication(options, &none));
    VELTRIUM::_Analysis* refused = nullptr;
    zavtest::ComObject<IDispatch> stranger;
    const std::pair<long, _variant_t> refusals[] = {
        {3250, data}, {3251, _variant_t(static_cast<IDispatch*>(&stranger))}, {3251, 7L}};
    for (const auto& [type, other] : refusals)
        EXPECT_EQ(E_INVALIDARG, app->raw_Analysis(type, other, &refused)) << type;
    EXPECT_EQ(nullptr, refused);

    VELTRIUM::_AnalysisPtr analysis = app->Analysis(3251, data);
    IDispatchPtr dialog = analysis->GetDialog();
    _variant_t value;
    _variant_t path(WriteFile(dir, "p", "[REFSERVER]\nObservationVar=x\nSubgroupSize=2\n").c_str());
    EXPECT_EQ(DISP_E_UNKNOWNNAME, zav::GetPropertyByName(dialog, L"Nonsense", &value));
    // No property holds an object: a put by reference is refused, so a caller puts the value.
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS byReference{&path, &named, 1, 1};
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, dialog->Invoke(3, IID_NULL, 0, DISPATCH_PROPERTYPUTREF,
                                                    &byReference, nullptr, nullptr, nullptr));
    long samples = 7;
    EXPECT_EQ(E_UNEXPECTED, analysis->raw_Run(&samples));
    EXPECT_NE(std::string::npos, ErrorText().find("No project file was dropped"));
    EXPECT_EQ(E_UNEXPECTED, zav::GetPropertyByName(dialog, L"ChartServer", &value));
    EXPECT_NE(std::string::npos, ErrorText().find("the analysis has not run"));
    IRefApplicationPtr extra(app);
    _IQCVChartsPtr last;
    EXPECT_EQ(S_FALSE, extra->get_LastChartServer(&last));

    EXPECT_EQ(S_OK, zav::SetPropertyByName(dialog, L"DropProjectFile", path));
    EXPECT_EQ(2, analysis->Run()) << "two samples of two";
    ASSERT_EQ(S_OK, zav::GetPropertyByName(dialog, L"ChartServer", &value));
    ASSERT_EQ(S_OK, extra->get_LastChartServer(&last));
    EXPECT_EQ(_IQCVChartsPtr(V_DISPATCH(&value)).GetInterfacePtr(), last.GetInterfacePtr());
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, zav::SetPropertyByName(dialog, L"ChartServer", value));
}

TEST_F(Objects, TheObjectManagerGivesTheCharacteristicsOfItsFile) {
    std::wstring path = WriteFile(dir, "chars.qcp",
                                  "[GENERAL]\nCharID=2\n[CHARACTERISTICS]\n; comment\n"
                                  "1=Diameter\n2 = \"Outer weight\"\n-5=Scrap\nfirst=Bore\n");
    Vexil::_ObjectManager* raw = nullptr;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), OpenRefObjectManager(path.c_str(), &raw));
    EXPECT_NE(std::string::npos, ErrorText().find("\"first\" is not a characteristic id"));
    path = WriteFile(dir, "chars.qcp", "[CHARACTERISTICS]\n1=Diameter\n2 = \"Outer weight\"\n");
    ASSERT_EQ(S_OK, OpenRefObjectManager(path.c_str(), &raw)) << ErrorText();
    Vexil::_CharacteristicsPtr items = Vexil::_ObjectManagerPtr(raw, false)->GetCharacteristics();
    EXPECT_EQ(_bstr_t(L"Diameter|Outer weight"),
              items->Item(1)->Name() + L"|" + items->Item(2)->Name());
    Vexil::_Characteristic* item = nullptr;
    EXPECT_EQ(DISP_E_BADINDEX, items->raw_Item(3, &item));
    EXPECT_NE(std::string::npos, ErrorText().find("Characteristic 3 is not in the section"));
}
