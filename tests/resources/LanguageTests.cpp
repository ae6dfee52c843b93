// Which string table a freshly loaded library uses, for given UI languages and language folders.
//
// Each case copies ZAVTools.dll into a folder of its own, with the language sub-folders it
// needs, and loads that copy; the UI languages that the copy reads at load are steered by
// redirecting GetThreadPreferredUILanguages for the duration of the load.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "ZAVTools.h"
#include "support/InlineHook.h"
#include "support/TempDir.h"

namespace {

std::wstring g_languages; // multi-string handed out by the redirected function
bool g_languagesFail = false;

BOOL WINAPI FakePreferredUILanguages(DWORD, PULONG count, PZZWSTR buffer, PULONG length) {
    if (g_languagesFail) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    ULONG needed = static_cast<ULONG>(g_languages.size());
    *count = 0;
    for (wchar_t ch : g_languages)
        *count += ch == L'\0' ? 1 : 0;
    *count -= 1;
    if (buffer) {
        if (*length < needed) {
            ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        memcpy(buffer, g_languages.data(), needed * sizeof(wchar_t));
    }
    *length = needed;
    return TRUE;
}

std::string BuildBin() {
    char path[MAX_PATH];
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string bin(path);
    return bin.substr(0, bin.rfind('\\'));
}

// Loads a private copy of the library laid out with `folders` (each holding the German
// table), with `languages` as the user's UI languages, and returns entry 4017 and whether
// the load succeeded.
class LanguageCase {
public:
    LanguageCase(std::vector<std::wstring> languages, const std::vector<std::string>& folders) {
        std::string bin = BuildBin();
        EXPECT_TRUE(zavtest::CopyFileTo(bin + "\\ZAVTools.dll", m_dir / "ZAVTools.dll"));
        for (const std::string& folder : folders) {
            ::CreateDirectoryA((m_dir / folder).c_str(), nullptr);
            EXPECT_TRUE(zavtest::CopyFileTo(bin + "\\de-DE\\ZAVTools.res.dll",
                                            m_dir / folder + "\\ZAVTools.res.dll"));
        }
        g_languages.clear();
        for (const std::wstring& language : languages)
            g_languages += language + L'\0';
        g_languages += L'\0';
    }
    const std::string& Dir() const { return m_dir.path(); }

    ~LanguageCase() {
        if (m_module)
            ::FreeLibrary(m_module);
    }

    std::string Load() {
        void* target = reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetThreadPreferredUILanguages"));
        {
            zavtest::InlineHook hook(target,
                                     reinterpret_cast<const void*>(&FakePreferredUILanguages));
            m_module = ::LoadLibraryA((m_dir / "ZAVTools.dll").c_str());
        }
        EXPECT_NE(nullptr, m_module);
        if (!m_module)
            return "<not loaded>";
        using Lookup = CString (*)(unsigned);
        auto lookup = reinterpret_cast<Lookup>(
            reinterpret_cast<void*>(::GetProcAddress(m_module, "_Z20strGetStringZAVToolsj")));
        EXPECT_NE(nullptr, lookup);
        return lookup ? std::string(lookup(4017)) : "<no export>";
    }

private:
    zavtest::TempDir m_dir;
    HMODULE m_module = nullptr;
};

TEST(Languages, FirstPreferredLanguageWithAFolderWins) {
    LanguageCase both({L"fr-FR", L"en-US"}, {"en-US"});
    EXPECT_EQ("KuSum", both.Load()) << "fr-FR has no folder, so the en-US library is used";
}

TEST(Languages, NoFolderForAnyLanguageMeansTheOwnTable) {
    LanguageCase none({L"fr-FR", L"it-IT"}, {"de-DE"});
    EXPECT_EQ("CuSum", none.Load());
}

TEST(Languages, NoLanguagesAtAllMeansTheOwnTable) {
    g_languagesFail = true;
    LanguageCase failing({}, {"de-DE"});
    EXPECT_EQ("CuSum", failing.Load());
    g_languagesFail = false;
}

TEST(Languages, AnUnloadableResourceLibraryDoesNotStopTheLoad) {
    LanguageCase broken({L"de-DE", L"en-US"}, {"en-US"});
    // A file with the right name that is no image at all; the later en-US is not tried.
    ::CreateDirectoryA((broken.Dir() + "\\de-DE").c_str(), nullptr);
    zavtest::WriteTextFile(broken.Dir() + "\\de-DE\\ZAVTools.res.dll", "not a DLL");
    EXPECT_EQ("CuSum", broken.Load());
}

// Run by CTest a second time with a German locale: the build tree's de-DE folder beside the
// library is then picked at load, while the generic lookups keep reading the own table.
TEST(Languages, LocaleGermanPicksTheBuildTreeFolder) {
    wchar_t names[121] = {};
    ULONG count = 0, length = 121;
    ::GetThreadPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names, &length);
    if (std::wstring(names) != L"de-DE")
        GTEST_SKIP() << "runs under a German locale only";
    EXPECT_STREQ("KuSum", strGetStringZAVTools(4017));
    EXPECT_STREQ("Stichproben in Zone C", strGetStringZAVTools(4008));
    EXPECT_TRUE(strGetStringZAVTools(4004).IsEmpty());
}

} // namespace
