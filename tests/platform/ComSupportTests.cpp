#include <comdef.h>
#include <comptrs.h>
#include <gtest/gtest.h>

#include "support/ComObject.h"
#include "support/Printers.h"

namespace {

TEST(ComSupport, BstrConversionsRoundTripThroughTheAnsiCodePage) {
    _bstr_t text("Caf\xE9 & co");
    EXPECT_EQ(std::wstring(L"Caf\u00E9 & co"), static_cast<const wchar_t*>(text));
    _bstr_t wide(L"na\u00EFve");
    EXPECT_STREQ("na\xEFve", static_cast<const char*>(wide));

    EXPECT_EQ(nullptr, _com_util::ConvertStringToBSTR(nullptr));
    EXPECT_EQ(nullptr, _com_util::ConvertBSTRToString(nullptr));
    BSTR empty = _com_util::ConvertStringToBSTR("");
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0u, SysStringLen(empty));
    SysFreeString(empty);
}

// An object that may or may not offer ISupportErrorInfo for IDispatch.
class ErrorSource : public zavtest::ComObject<IDispatch, ISupportErrorInfo> {
public:
    explicit ErrorSource(bool supports) : m_supports(supports) {}
    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID iid) override {
        return m_supports && iid == IID_IDispatch ? S_OK : S_FALSE;
    }

private:
    bool m_supports;
};

void SetThreadError(const wchar_t* text) {
    ICreateErrorInfoPtr created;
    ASSERT_HRESULT_SUCCEEDED(CreateErrorInfo(&created));
    created->SetDescription(const_cast<LPOLESTR>(text));
    IErrorInfoPtr info(created);
    SetErrorInfo(0, info);
}

TEST(ComSupport, IssueErrorExTakesTheThreadErrorOnlyWhenTheObjectSupportsIt) {
    ErrorSource supporting(true), silent(false);

    SetThreadError(L"server says no");
    try {
        _com_issue_errorex(E_ACCESSDENIED, static_cast<IDispatch*>(&supporting), IID_IDispatch);
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(E_ACCESSDENIED, e.Error());
        EXPECT_EQ("server says no", zavtest::DescriptionOf(e));
    }

    SetThreadError(L"left on the thread");
    try {
        _com_issue_errorex(E_ACCESSDENIED, static_cast<IDispatch*>(&silent), IID_IDispatch);
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(nullptr, e.ErrorInfo());
    }
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(0u, supporting.RefCount());
    EXPECT_EQ(0u, silent.RefCount());
}

TEST(ComSupport, ErrorMessageFallsBackForCodesWithoutSystemText) {
    EXPECT_STREQ("IDispatch error #5", _com_error(static_cast<HRESULT>(0x80040205)).ErrorMessage());
    EXPECT_STREQ("Unknown error 0xA0040600",
                 _com_error(static_cast<HRESULT>(0xA0040600)).ErrorMessage());
}

} // namespace
