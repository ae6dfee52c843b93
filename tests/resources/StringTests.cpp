// The library's string table, and the table it picks for the user's UI languages at load.
#include <gtest/gtest.h>

#include <memory>

#include "ZAVTools.h"
#include "support/Files.h"
#include "support/InlineHook.h"

namespace {

using namespace zavtest;

// The run's locale is en-US and the build tree has no en-US folder: the library's own table.
TEST(Strings, EntriesOfTheOwnTableAndAbsentIdsEmpty) {
    const std::pair<unsigned, const char*> entries[] = {{4017, "CuSum"},
                                                        {4018, "C"},
                                                        {4000, "XML exception"},
                                                        {101, "Configuration file loading fails"},
                                                        {4034, "XBar & S"},
                                                        {4004, ""},
                                                        {4035, ""},
                                                        {0xFFFFFFFF, ""}};
    for (const auto& [id, text] : entries)
        EXPECT_STREQ(text, strGetStringZAVTools(id)) << id;
}

std::wstring g_languages; // "fr-FR|en-US|"; empty when the platform gives none

BOOL WINAPI PreferredLanguages(DWORD, PULONG count, PZZWSTR names, PULONG) {
    for (size_t i = 0; i <= g_languages.size(); ++i)
        names[i] = i < g_languages.size() && g_languages[i] != L'|' ? g_languages[i] : L'\0';
    *count = 1;
    return !g_languages.empty();
}

// Each case loads a private copy of the library beside the language folders it needs, with the
// UI languages that its load reads steered.
TEST(Languages, TheFirstPreferredLanguageWithAFolderWins) {
    // The languages, the folder with the German table, one whose table is no library at all,
    // and what entry 4017 reads.
    const std::tuple<const wchar_t*, const char*, const char*, const char*> cases[] = {
        {L"fr-FR|en-US|", "en-US", "", "KuSum"},
        {L"fr-FR|it-IT|", "de-DE", "", "CuSum"},
        {L"", "de-DE", "", "CuSum"},
        {L"de-DE|en-US|", "en-US", "de-DE", "CuSum"}};
    void* platform = reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetThreadPreferredUILanguages"));
    for (const auto& [languages, german, broken, cusum] : cases) {
        TempDir dir;
        for (const char* folder : {german, broken})
            ::CreateDirectoryA((dir / folder).c_str(), nullptr);
        ::CopyFileA(BesideThisExecutable("ZAVTools.dll").c_str(), (dir / "ZAVTools.dll").c_str(),
                    1);
        ::CopyFileA(BesideThisExecutable("de-DE\\ZAVTools.res.dll").c_str(),
                    (dir / german + "\\ZAVTools.res.dll").c_str(), 1);
        WriteTextFile(dir / broken + "\\ZAVTools.res.dll", "not a library");
        g_languages = languages;
        std::unique_ptr<HINSTANCE__, decltype(&::FreeLibrary)> copy(nullptr, &::FreeLibrary);
        {
            InlineHook hook(platform, reinterpret_cast<const void*>(&PreferredLanguages));
            copy.reset(::LoadLibraryA((dir / "ZAVTools.dll").c_str()));
        }
        ASSERT_NE(nullptr, copy) << "the load never fails for want of a table";
        auto lookup = reinterpret_cast<CString (*)(unsigned)>(
            reinterpret_cast<void*>(::GetProcAddress(copy.get(), "_Z20strGetStringZAVToolsj")));
        EXPECT_STREQ(cusum, lookup(4017)) << Narrow(languages);
    }
}

// Run by CTest a second time with a German locale, where the build tree's de-DE folder beside
// the library is picked at load.
TEST(Languages, LocaleGermanPicksTheBuildTreesTable) {
    if (PRIMARYLANGID(::GetUserDefaultUILanguage()) != LANG_GERMAN)
        GTEST_SKIP() << "runs under a German locale only";
    EXPECT_STREQ("KuSum", strGetStringZAVTools(4017));
    EXPECT_STREQ("Stichproben in Zone C", strGetStringZAVTools(4008));
}

} // namespace
