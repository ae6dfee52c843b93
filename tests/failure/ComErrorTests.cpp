#include <gtest/gtest.h>

#include "ZAVTools.h"
#include "support/ComObject.h"
#include "support/Printers.h"

namespace {

using zavtest::DescriptionOf;

IErrorInfo* CurrentThreadError() {
    IErrorInfo* info = nullptr;
    return ::GetErrorInfo(0, &info) == S_OK ? info : nullptr;
}

TEST(ComErrors, ThrowComErrorCarriesTextAndLeavesItOnTheThread) {
    try {
        ThrowComError(E_FAIL, "Log file path was not specified");
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(E_FAIL, e.Error());
        EXPECT_EQ("Log file path was not specified", DescriptionOf(e));
        IErrorInfoPtr fromThread(CurrentThreadError(), false);
        IErrorInfoPtr fromError(e.ErrorInfo(), false);
        EXPECT_NE(nullptr, fromThread.GetInterfacePtr());
        EXPECT_EQ(fromError.GetInterfacePtr(), fromThread.GetInterfacePtr());
    }
}

TEST(ComErrors, MakeErrorInfoForNullTextChangesNothing) {
    IErrorInfoPtr existing = MakeErrorInfo("earlier");
    ASSERT_NE(nullptr, existing.GetInterfacePtr());
    EXPECT_EQ(nullptr, MakeErrorInfo(nullptr).GetInterfacePtr());
    IErrorInfoPtr stillThere(CurrentThreadError(), false);
    EXPECT_EQ(existing.GetInterfacePtr(), stillThere.GetInterfacePtr());

    IErrorInfoPtr info = MakeErrorInfo("");
    ASSERT_NE(nullptr, info.GetInterfacePtr());
    _bstr_t source, description;
    info->GetSource(source.GetAddress());
    info->GetDescription(description.GetAddress());
    EXPECT_EQ(0u, source.length()) << "only the description is set";
    EXPECT_EQ(0u, description.length());
    ::SetErrorInfo(0, nullptr);
}

TEST(ComErrors, FromThreadPrefersTheServersInformation) {
    ::SetErrorInfo(0, nullptr);
    try {
        ThrowComErrorFromThread(DISP_E_EXCEPTION, "Failed to set AutoUpdateMode");
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(DISP_E_EXCEPTION, e.Error());
        EXPECT_EQ("Failed to set AutoUpdateMode", DescriptionOf(e));
    }

    MakeErrorInfo("the server's own words");
    try {
        ThrowComErrorFromThread(E_ACCESSDENIED, "Failed to set AutoUpdateMode");
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(E_ACCESSDENIED, e.Error());
        EXPECT_EQ("the server's own words", DescriptionOf(e));
    }

    ::SetErrorInfo(0, nullptr);
    try {
        ThrowComErrorFromThread(E_FAIL, nullptr);
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_NE(nullptr, IErrorInfoPtr(e.ErrorInfo(), false).GetInterfacePtr());
        EXPECT_EQ("", DescriptionOf(e));
    }
}

TEST(ComErrors, Win32ErrorsBecomeHresultsWithTheSystemText) {
    try {
        ThrowWin32Error(ERROR_ACCESS_DENIED, "Cannot open mutex object: ");
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(static_cast<HRESULT>(0x80070005), e.Error());
        std::string text = DescriptionOf(e);
        EXPECT_EQ(0u, text.find("Cannot open mutex object: ")) << text;
        EXPECT_GT(text.size(), strlen("Cannot open mutex object: "));
        EXPECT_NE('\n', text.back());
        EXPECT_NE(' ', text.back());
    }
    try {
        ThrowWin32Error(0, "zero: ");
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(E_FAIL, e.Error());
    }
    try {
        ThrowWin32Error(static_cast<DWORD>(E_OUTOFMEMORY), "already an HRESULT: ");
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(E_OUTOFMEMORY, e.Error());
    }
    try {
        ThrowWin32Error(0x2000FFFFu, "no such message");
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(static_cast<HRESULT>(0x8007FFFF), e.Error());
        EXPECT_EQ("no such message", DescriptionOf(e)) << "no system text: the prefix alone";
    }
}

// A spreadsheet whose every call fails, with or without error information for the caller.
class FailingSpreadsheet : public zavtest::ComObject<VELTRIUM::_Spreadsheet, ISupportErrorInfo> {
public:
    explicit FailingSpreadsheet(bool supportsErrorInfo) : m_supports(supportsErrorInfo) {}
    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID iid) override {
        return m_supports && iid == __uuidof(VELTRIUM::_Spreadsheet) ? S_OK : S_FALSE;
    }
    HRESULT __stdcall raw_NumberOfCases(long*) override { return Fail(); }
    HRESULT __stdcall raw_VariableName(long, BSTR*) override { return Fail(); }
    HRESULT __stdcall raw_VariableFormat(long, BSTR*) override { return Fail(); }
    HRESULT __stdcall raw_CellValue(long, long, double*) override { return Fail(); }
    HRESULT __stdcall raw_CellText(long, long, BSTR*) override { return Fail(); }
    HRESULT __stdcall raw_SetVariableFormat(long, BSTR) override { return Fail(); }
    HRESULT __stdcall raw_VariableNumber(BSTR, long*) override { return Fail(); }

private:
    HRESULT Fail() {
        MakeErrorInfo("no such variable");
        return DISP_E_BADINDEX;
    }
    bool m_supports;
};

TEST(ComErrors, AutomationWrappersRaiseTheInterfacesErrorInformation) {
    FailingSpreadsheet supporting(true), silent(false);
    VELTRIUM::_SpreadsheetPtr sheet(&supporting);
    try {
        sheet->CellValue(1, 2);
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(DISP_E_BADINDEX, e.Error());
        EXPECT_EQ("no such variable", DescriptionOf(e));
    }
    sheet = &silent;
    try {
        sheet->VariableNumber(L"x");
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(DISP_E_BADINDEX, e.Error());
        EXPECT_EQ(nullptr, IErrorInfoPtr(e.ErrorInfo(), false).GetInterfacePtr());
    }
    sheet = nullptr;
    try {
        sheet->NumberOfCases();
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(E_POINTER, e.Error());
    }
    ::SetErrorInfo(0, nullptr);
    EXPECT_EQ(0u, supporting.RefCount());
    EXPECT_EQ(0u, silent.RefCount());
}

} // namespace
