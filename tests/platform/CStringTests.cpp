#include <atlstr.h>
#include <gtest/gtest.h>

namespace {

TEST(CString, CopiesShareOneBufferUntilOneIsChanged) {
    CString original("shared text");
    CString copy(original);
    EXPECT_EQ(original.GetString(), copy.GetString());

    copy += "!";
    EXPECT_NE(original.GetString(), copy.GetString());
    EXPECT_STREQ("shared text", original);
    EXPECT_STREQ("shared text!", copy);

    CString assigned;
    assigned = original;
    EXPECT_EQ(original.GetString(), assigned.GetString());
    assigned.Empty();
    EXPECT_TRUE(assigned.IsEmpty());
    EXPECT_STREQ("shared text", original);
}

TEST(CString, AppendingToItselfAndGrowingKeepTheText) {
    CString text("ab");
    text += text;
    EXPECT_STREQ("abab", text);
    text.Append(text.GetString() + 1, 2);
    EXPECT_STREQ("ababba", text);

    CString long_;
    for (int i = 0; i < 1000; ++i)
        long_ += "x";
    EXPECT_EQ(1000, long_.GetLength());
    EXPECT_EQ(std::string(1000, 'x'), long_.GetString());
}

TEST(CString, FormatFollowsPrintf) {
    CString text;
    text.Format("%s=%d; %g %g %g", "n", 42, 12.7, 1e-7, 100000000.0);
    EXPECT_STREQ("n=42; 12.7 1e-07 1e+08", text);
    text.Format("0x%8X", 0x1234u);
    EXPECT_STREQ("0x    1234", text);
    text.AppendFormat("-%s", "more");
    EXPECT_STREQ("0x    1234-more", text);

    CString big;
    big.Format("%s", std::string(5000, 'y').c_str());
    EXPECT_EQ(5000, big.GetLength());
}

TEST(CString, LoadsEntriesOfThisModuleByIdIncludingShortAndFirstOfBlock) {
    CString first(MAKEINTRESOURCEA(16));
    EXPECT_STREQ("first of its block", first);
    CString letter;
    EXPECT_TRUE(letter.LoadString(17));
    EXPECT_STREQ("A", letter);
    CString last;
    EXPECT_TRUE(last.LoadString(31));
    EXPECT_STREQ("last of its block", last);

    CString absent("was here");
    EXPECT_FALSE(absent.LoadString(18));
    EXPECT_TRUE(absent.IsEmpty());
    EXPECT_TRUE(CString(MAKEINTRESOURCEA(5000)).IsEmpty());
}

TEST(CString, FormatByIdUsesTheTableAndRaisesEFailForAnAbsentId) {
    CString text;
    text.Format(100u, 7, "ten");
    EXPECT_STREQ("Value 7 of ten", text);

    try {
        text.Format(18u, 1);
        FAIL() << "an absent format id must raise";
    } catch (const CAtlException& e) {
        EXPECT_EQ(E_FAIL, static_cast<HRESULT>(e));
    }
    EXPECT_STREQ("Value 7 of ten", text) << "a failed Format leaves the string as it was";
}

TEST(CString, TrimFindMidReplace) {
    CString text(" \t padded text \r\n");
    text.Trim();
    EXPECT_STREQ("padded text", text);
    CString blanks("   ");
    EXPECT_TRUE(blanks.Trim().IsEmpty());

    CString format("m/d/yy h:mm AM/PM");
    EXPECT_EQ(7, format.Find("h:mm"));
    EXPECT_EQ(-1, format.Find("h:mm:ss"));
    EXPECT_EQ(-1, format.Find("h:mm", 8));
    EXPECT_STREQ("h:mm", format.Mid(7, 4));
    EXPECT_STREQ("m/d", format.Left(3));
    EXPECT_STREQ("", format.Mid(100));

    EXPECT_EQ(3, format.Replace("/", "-"));
    EXPECT_STREQ("m-d-yy h:mm AM-PM", format);
}

TEST(CString, WideTextIsConvertedWithTheThreadCodePage) {
    CString text(L"Gr\u00FC\u00DFe");
    EXPECT_STREQ("Gr\xFC\xDF"
                 "e",
                 text);
    CString nullText(static_cast<const wchar_t*>(nullptr));
    EXPECT_TRUE(nullText.IsEmpty());
}

TEST(CString, BufferAccessForApisThatFillText) {
    CString text;
    char* buffer = text.GetBuffer(32);
    strcpy(buffer, "filled");
    text.ReleaseBuffer();
    EXPECT_EQ(6, text.GetLength());
    EXPECT_STREQ("filled", text);
}

} // namespace
