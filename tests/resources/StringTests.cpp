// The library's string table, and the table it picks for the user's UI languages at load.
#include <gtest/gtest.h>

#include "ZAVTools.h"
#include "support/Files.h"
#include "support/InlineHook.h"

namespace {

using namespace zavtest;

// Entries of the table the library picked at load.
template <typename... Ids> std::vector<std::string> Strings(Ids... ids) {
    return {strGetStringZAVTools(ids).GetString()...};
}

// The run's locale is en-US and the build tree has no en-US folder: the library's own table,
// whose entries include a one-letter one and the first of a block. Ids are 16-bit: 0x100FB1
// would wrap onto the block of 4017.
TEST(Strings, EntriesOfTheOwnTableAndAbsentIdsEmpty) {
    EXPECT_EQ((std::vector<std::string>{"CuSum", "C", "XML exception", "", "", ""}),
              Strings(4017u, 4018u, 4000u, 4004u, 0x100FB1u, 0xFFFFFFFFu));
}

std::wstring g_languages; // "fr-FR|en-US|"; empty when the platform gives none

BOOL WINAPI PreferredLanguages(DWORD, PULONG, PZZWSTR names, PULONG) {
    for (size_t i = 0; i <= g_languages.size(); ++i)
        names[i] = i < g_languages.size() && g_languages[i] != L'|' ? g_languages[i] : L'\0';
    return !g_languages.empty();
}

// A private copy of the library, with an English folder holding the German table and a German
// one whose table is no library at all, is loaded afresh for each case with the UI languages
// that its load reads steered.
TEST(Languages, TheFirstPreferredLanguageWithAFolderWins) {
    TempDir dir;
    for (const char* folder : {"en-US", "de-DE"})
        ::CreateDirectoryA((dir / folder).c_str(), nullptr);
    ::CopyFileA(BesideThisExecutable("ZAVTools.dll").c_str(), (dir / "ZAVTools.dll").c_str(), 1);
    ::CopyFileA(BesideThisExecutable("de-DE\\ZAVTools.res.dll").c_str(),
                (dir / "en-US\\ZAVTools.res.dll").c_str(), 1);
    WriteTextFile(dir / "de-DE\\ZAVTools.res.dll", "not a library");
    InlineHook hook(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"),
                                                             "GetThreadPreferredUILanguages")),
                    reinterpret_cast<const void*>(&PreferredLanguages));
    std::vector<std::string> read;
    for (const wchar_t* languages : {L"fr-FR|en-US|", L"fr-FR|it-IT|", L"", L"de-DE|en-US|"}) {
        g_languages = languages;
        std::unique_ptr<HINSTANCE__, decltype(&::FreeLibrary)> copy(
            ::LoadLibraryA((dir / "ZAVTools.dll").c_str()), &::FreeLibrary);
        ASSERT_NE(nullptr, copy) << "the load never fails for want of a table";
        read.push_back(reinterpret_cast<CString (*)(unsigned)>(reinterpret_cast<void*>(
            ::GetProcAddress(copy.get(), "_Z20strGetStringZAVToolsj")))(4017)
                           .GetString());
    }
    EXPECT_EQ((std::vector<std::string>{"KuSum", "CuSum", "CuSum", "CuSum"}), read);
}

// Run by CTest a second time with a German locale, where the build tree's de-DE folder beside
// the library is picked at load.
TEST(Languages, LocaleGermanPicksTheBuildTreesTable) {
    if (PRIMARYLANGID(::GetUserDefaultUILanguage()) != LANG_GERMAN)
        GTEST_SKIP() << "runs under a German locale only";
    EXPECT_EQ((std::vector<std::string>{"KuSum", "Stichproben in Zone C"}), Strings(4017u, 4008u));
}

} // namespace
