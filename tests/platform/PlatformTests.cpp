// The pieces that the Windows SDK ships and MinGW lacks, without the library: the narrow string
// and the COM support functions.
#include <atlstr.h>
#include <comptrs.h>

#include "support/ComCheck.h"
#include "support/ComObject.h"

namespace {

// The texts of narrow strings, for one comparison of many.
template <typename... Strings> std::vector<std::string> Texts(const Strings&... texts) {
    return {texts.GetString()...};
}

TEST(Platform, NarrowStrings) {
    CString original("shared"), copy(original), text, filled, date("m/d/yy h:mm"), byId;
    EXPECT_EQ(original.GetString(), copy.GetString()) << "copies share one buffer until changed";
    copy += "!";
    text.Format("\t%s=%d; %g", "n", 42, 12.7);
    text.AppendFormat(" 0x%8X%s", 0x1234u, std::string(600, ' ').c_str());
    strcpy(filled.GetBuffer(32), "filled");
    filled.ReleaseBuffer();
    EXPECT_EQ(std::make_pair(2, -1), std::make_pair(date.Replace("/", "-"), date.Find("h:mm", 8)));
    byId.Format(100u, 7, "ten");
    EXPECT_THROW(byId.Format(18u, 1), CAtlException) << "an absent format id";
    EXPECT_EQ((std::vector<std::string>{"shared", "shared!", "n=42; 12.7 0x    1234",
                                        "first of its block", "A", "", "Value 7 of ten", "h:mm",
                                        "m-d-", "", "Gr\xFC\xDF\x65", "filled"}),
              Texts(original, copy, text.Trim(), CString(MAKEINTRESOURCEA(16)),
                    CString(MAKEINTRESOURCEA(17)), CString(MAKEINTRESOURCEA(18)), byId,
                    date.Mid(date.Find("h:mm"), 4), date.Left(4), date.Mid(100),
                    CString(L"Gr\u00FC\u00DFe"), filled));
}

// An object that offers its thread's error information for IDispatch only.
struct ErrorSource : zavtest::ComObject<IDispatch, ISupportErrorInfo> {
    HRESULT __stdcall InterfaceSupportsErrorInfo(REFIID iid) override {
        return iid == IID_IDispatch ? S_OK : S_FALSE;
    }
};

TEST(Platform, ComSupport) {
    EXPECT_EQ(std::wstring(L"Caf\u00E9"), static_cast<const wchar_t*>(_bstr_t("Caf\xE9")));
    EXPECT_STREQ("na\xEFve", static_cast<const char*>(_bstr_t(L"na\u00EFve")));
    ErrorSource source;
    ICreateErrorInfoPtr created;
    ::CreateErrorInfo(&created);
    created->SetDescription(const_cast<LPOLESTR>(L"server says no"));
    ::SetErrorInfo(0, IErrorInfoPtr(created));
    // Left on the thread where the object does not offer it, taken where it does.
    for (const IID& iid : {IID_IUnknown, IID_IDispatch})
        EXPECT_EQ(iid == IID_IDispatch ? "server says no" : "",
                  zavtest::ComErrorOf([&] {
                      _com_issue_errorex(E_ACCESSDENIED, static_cast<IDispatch*>(&source), iid);
                  }).second);
    EXPECT_EQ(0u, source.RefCount());
    EXPECT_STREQ("IDispatch error #5", _com_error(0x80040205).ErrorMessage());
    EXPECT_STREQ("Unknown error 0xA0040600", _com_error(0xA0040600).ErrorMessage());
}

} // namespace
