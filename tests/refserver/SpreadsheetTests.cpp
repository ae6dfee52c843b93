// The spreadsheet over a CSV file: values, texts, dates and times and their display formats,
// variables by name, and the errors of bad indexes and bad files.
#include <gtest/gtest.h>

#include <cmath>

#include "RefServerSupport.h"
#include "support/Printers.h"

using namespace reftest;

namespace {

struct Sheet : ::testing::Test {
    zavtest::TempDir dir;
    _SpreadsheetPtr Open(const std::string& csv) {
        return OpenSheet(WriteFile(dir, "data.csv", csv));
    }
    // Opening fails; returns the HRESULT and the error description.
    std::pair<HRESULT, std::string> Fails(const std::wstring& path) {
        VELTRIUM::_Spreadsheet* sheet = reinterpret_cast<VELTRIUM::_Spreadsheet*>(1);
        HRESULT hr = OpenRefSpreadsheet(path.c_str(), &sheet);
        EXPECT_EQ(nullptr, sheet);
        return {hr, TakeErrorText()};
    }
};

const char kMixed[] = "Stamp,Name,Value,Clock,Short\n"
                      "2024-05-01 06:30,Smith,12.5,06:30:15,5/1/24 6:30 PM\n"
                      "2024-05-01 00:15,\"Jones, K.\",,23:59:59,12/31/99 12:00 AM\n"
                      "2024-02-29 12:00,\"said \"\"hi\"\"\",-3,00:00:00,1/2/2030 12:05 PM\n";

} // namespace

TEST_F(Sheet, ReadsNumbersTextsAndEmptyCells) {
    _SpreadsheetPtr s = Open(kMixed);
    EXPECT_EQ(3, s->NumberOfCases());
    EXPECT_EQ(_bstr_t(L"Value"), s->VariableName(3));
    EXPECT_EQ(3, s->VariableNumber(L"value")) << "names match in any letter case";
    EXPECT_EQ(1, s->VariableNumber(L"Stamp"));
    EXPECT_EQ(0, s->VariableNumber(L"Missing"));
    EXPECT_EQ(0, s->VariableNumber(_bstr_t()));
    EXPECT_DOUBLE_EQ(12.5, s->CellValue(1, 3));
    EXPECT_DOUBLE_EQ(-3.0, s->CellValue(3, 3));
    EXPECT_TRUE(std::isnan(s->CellValue(2, 3))) << "an empty cell has no value";
    EXPECT_EQ("", Text(s, 2, 3));
    EXPECT_EQ("Smith", Text(s, 1, 2));
    EXPECT_EQ("Jones, K.", Text(s, 2, 2));
    EXPECT_EQ("said \"hi\"", Text(s, 3, 2));
    double value = 0;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, s->raw_CellValue(1, 2, &value));
    EXPECT_EQ("Case 1 of variable \"Name\" holds the text \"Smith\", not a number",
              TakeErrorText());
}

TEST_F(Sheet, DatesAndTimesAreNumbersShownInTheFormTheyWereWritten) {
    _SpreadsheetPtr s = Open(kMixed);
    // 2024-05-01 is day 45413 after 1899-12-30; 06:30 is 0.2708333 of a day.
    EXPECT_NEAR(45413 + 6.5 / 24, s->CellValue(1, 1), 1e-9);
    EXPECT_NEAR((6 * 3600 + 30 * 60 + 15) / 86400.0, s->CellValue(1, 4), 1e-12);
    EXPECT_EQ(_bstr_t(L"yyyy-mm-dd hh:mm"), s->VariableFormat(1));
    EXPECT_EQ(_bstr_t(L"hh:mm:ss"), s->VariableFormat(4));
    EXPECT_EQ(_bstr_t(L"m/d/yy h:mm AM/PM"), s->VariableFormat(5));
    EXPECT_EQ(_bstr_t(L"General"), s->VariableFormat(3));
    EXPECT_EQ("2024-05-01 06:30", Text(s, 1, 1));
    EXPECT_EQ("2024-05-01 00:15", Text(s, 2, 1));
    EXPECT_EQ("2024-02-29 12:00", Text(s, 3, 1));
    EXPECT_EQ("06:30:15", Text(s, 1, 4));
    EXPECT_EQ("23:59:59", Text(s, 2, 4));
    EXPECT_EQ("5/1/24 6:30 PM", Text(s, 1, 5));
    EXPECT_EQ("12/31/99 12:00 AM", Text(s, 2, 5)) << "two-digit years from 30 are 19xx";
    EXPECT_NEAR(36525.0, s->CellValue(2, 5), 1e-9);
    EXPECT_EQ("1/2/30 12:05 PM", Text(s, 3, 5));
}

TEST_F(Sheet, DisplayFormatsChangeWhatCellTextShows) {
    _SpreadsheetPtr s = Open("When,x\n2024-05-01 06:00:59,1234567.891\n2024-05-01 18:07:03,0.1\n");
    struct Case {
        long var;
        const wchar_t* format;
        const char* first;
        const char* second;
    } cases[] = {
        {1, L"hh:mm", "06:00", "18:07"}, // minutes only: the seconds are cut, not rounded
        {1, L"hh:mm:ss", "06:00:59", "18:07:03"},
        {1, L"m/d/yy h:mm AM/PM", "5/1/24 6:00 AM", "5/1/24 6:07 PM"},
        {1, L"m/d/yy h:mm:ss AM/PM", "5/1/24 6:00:59 AM", "5/1/24 6:07:03 PM"},
        {1, L"yyyy-mm-dd", "2024-05-01", "2024-05-01"},
        {1, L"dddd d mmmm yyyy", "Wednesday 1 May 2024", "Wednesday 1 May 2024"},
        {1, L"dd-mmm-yy hh\"h\"mm", "01-May-24 06h00", "01-May-24 18h07"},
        {1, L"[h]:mm", "1089918:00", "1089930:07"},
        {1, L"General", "45413.2506828704", "45413.7548958333"},
        {2, L"0.00", "1234567.89", "0.10"},
        {2, L"#,##0.0", "1,234,567.9", "0.1"},
        {2, L"", "1234567.891", "0.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(zavtest::Hex(c.var) + " " + Narrow(c.format));
        s->SetVariableFormat(c.var, c.format);
        EXPECT_EQ(_bstr_t(c.format), s->VariableFormat(c.var));
        EXPECT_EQ(c.first, Text(s, 1, c.var));
        EXPECT_EQ(c.second, Text(s, 2, c.var));
    }
}

TEST_F(Sheet, HoursRollOverAtNoonAndMidnightInTwelveHourFormats) {
    _SpreadsheetPtr s = Open("t\n00:00\n00:30\n11:59:59.6\n12:00\n23:59:59.6\n06:30:00.250\n");
    s->SetVariableFormat(1, L"h:mm:ss A/P");
    EXPECT_EQ("12:00:00 A", Text(s, 1, 1));
    EXPECT_EQ("12:30:00 A", Text(s, 2, 1));
    EXPECT_EQ("12:00:00 P", Text(s, 3, 1)) << "seconds round to what the format shows";
    EXPECT_EQ("12:00:00 P", Text(s, 4, 1));
    s->SetVariableFormat(1, L"hh:mm:ss.000");
    EXPECT_EQ("23:59:59.600", Text(s, 5, 1));
    EXPECT_EQ("06:30:00.250", Text(s, 6, 1));
    EXPECT_EQ(_bstr_t(L"hh:mm:ss.000"), s->VariableFormat(1));
}

TEST_F(Sheet, GeneralNumbersUseTheShortestExactForm) {
    _SpreadsheetPtr s = Open("x\n10.0234\n1e20\n-0.000125\n3\n0.30000000000000004\n");
    EXPECT_EQ("10.0234", Text(s, 1, 1));
    EXPECT_EQ("1e+20", Text(s, 2, 1));
    EXPECT_EQ("-0.000125", Text(s, 3, 1));
    EXPECT_EQ("3", Text(s, 4, 1));
    EXPECT_EQ("0.3", Text(s, 5, 1)) << "fifteen significant digits";
}

TEST_F(Sheet, BadIndexesFailWithErrorInformation) {
    _SpreadsheetPtr s = Open(kMixed);
    BSTR text = nullptr;
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_CellText(0, 1, &text));
    EXPECT_EQ("Case 0 does not exist; valid are 1 to 3", TakeErrorText());
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_CellText(4, 1, &text));
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_VariableName(6, &text));
    EXPECT_EQ("Variable 6 does not exist; valid are 1 to 5", TakeErrorText());
    EXPECT_EQ(DISP_E_BADINDEX, s->raw_SetVariableFormat(0, nullptr));
    EXPECT_EQ(nullptr, text);
    long number = 0;
    EXPECT_EQ(E_POINTER, s->raw_VariableNumber(nullptr, nullptr));
    EXPECT_EQ(S_OK, s->raw_VariableNumber(nullptr, &number));

    // The raising wrappers find the description through ISupportErrorInfo.
    try {
        s->CellValue(1, 0);
        ADD_FAILURE() << "no error";
    } catch (const _com_error& e) {
        EXPECT_EQ(DISP_E_BADINDEX, e.Error());
        EXPECT_EQ("Variable 0 does not exist; valid are 1 to 5", zavtest::DescriptionOf(e));
    }
}

TEST_F(Sheet, MalformedFilesNameTheFileAndTheLine) {
    const HRESULT bad = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    struct Case {
        const char* csv;
        const char* problem;
    } cases[] = {
        {"a,b\n1,2\n3\n", "line 3: 1 fields, but the header names 2 variables"},
        {"a,b\n\n\n1,2,3\n", "line 4: 3 fields, but the header names 2 variables"},
        {"a,b\n\"multi\nline\",1\n1,\"open\n", "line 4: the quoted field 2 does not end"},
        {"a,b\n\"multi\nline\",1\n\"x\"y,2\n", "line 4: text after the closing quote of field 1"},
        {"a,,c\n1,2,3\n", "line 1: variable 2 has no name"},
        {"Name,x,NAME\n1,2,3\n", "line 1: the variable name \"NAME\" appears twice"},
        {"\n\n", "is empty: it needs a header row"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csv);
        std::wstring path = WriteFile(dir, "bad.csv", c.csv);
        auto [hr, text] = Fails(path);
        EXPECT_EQ(bad, hr);
        EXPECT_NE(std::string::npos, text.find(Narrow(path))) << text;
        EXPECT_NE(std::string::npos, text.find(c.problem)) << text;
    }
    std::wstring missing = Wide(dir / "missing.csv");
    auto [hr, text] = Fails(missing);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), hr);
    EXPECT_NE(std::string::npos, text.find("Cannot read the CSV file \"" + Narrow(missing)))
        << text;
    EXPECT_EQ(E_INVALIDARG, Fails(L"").first);
}

TEST_F(Sheet, SeparatorsBlankLinesAndAByteOrderMark) {
    _SpreadsheetPtr semicolons = Open("\xEF\xBB\xBFLot;x\r\n\r\nL1 ; 1.5\r\n  \r\nL2;2\r\n");
    EXPECT_EQ(2, semicolons->NumberOfCases());
    EXPECT_EQ(1, semicolons->VariableNumber(L"Lot"));
    EXPECT_EQ("L1", Text(semicolons, 1, 1));
    EXPECT_DOUBLE_EQ(1.5, semicolons->CellValue(1, 2));
    _SpreadsheetPtr tabs = Open("a\tb\n1\t\n");
    EXPECT_EQ("", Text(tabs, 1, 2));
    _SpreadsheetPtr utf8 = Open("Name\nM\xC3\xBCller\n");
    EXPECT_EQ("M\xC3\xBCller", Text(utf8, 1, 1));
}

TEST_F(Sheet, ViewsShowARangeOfCasesAndShareFormats) {
    _SpreadsheetPtr whole = Open(kMixed);
    VELTRIUM::_Spreadsheet* raw = nullptr;
    ASSERT_EQ(S_OK, CreateRefSpreadsheetView(whole, 2, 3, &raw));
    _SpreadsheetPtr view(raw, false);
    EXPECT_EQ(2, view->NumberOfCases());
    EXPECT_EQ("Jones, K.", Text(view, 1, 2));
    EXPECT_DOUBLE_EQ(-3.0, view->CellValue(2, 3));
    view->SetVariableFormat(1, L"hh:mm:ss");
    EXPECT_EQ("06:30:00", Text(whole, 1, 1));
    BSTR text = nullptr;
    EXPECT_EQ(DISP_E_BADINDEX, view->raw_CellText(3, 1, &text));

    ASSERT_EQ(S_OK, CreateRefSpreadsheetView(view, 2, 2, &raw));
    _SpreadsheetPtr inner(raw, false);
    EXPECT_EQ("said \"hi\"", Text(inner, 1, 2));
    EXPECT_EQ(DISP_E_BADINDEX, CreateRefSpreadsheetView(whole, 3, 4, &raw));
    EXPECT_EQ(nullptr, raw);
    EXPECT_NE(std::string::npos, TakeErrorText().find("The cases 3 to 4"));
    EXPECT_EQ(E_INVALIDARG, CreateRefSpreadsheetView(nullptr, 1, 1, &raw));
}
