// The library's string table and the table it picks for the user's UI languages at load, module
// paths and the removal of a folder tree.
#include <gtest/gtest.h>
#include <fstream>

#include "ZAVTools.h"
#include "support/Files.h"
#include "support/InlineHook.h"
#include "support/ChildProcess.h"
#include "support/ImportPatch.h"

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

// Runs a command of the host system in `folder` until `path` exists or not, as `exists` says:
// Wine gives no handle to wait for such a program. Wine shows a link that the host made as a
// directory reparse point; its own CreateSymbolicLink makes none, and it removes none.
void OnHost(const std::string& folder, const std::string& command, const std::string& path,
            bool exists) {
    ChildProcess shell("Z:\\bin\\sh", "-c \"" + command + "\"", folder);
    for (int waited = 0; waited < 1000 && Exists(path) != exists; ++waited)
        ::Sleep(10);
}

// The host makes the odd names that Win32 would change ("..." and "sub.." lose their dots),
// a file that may not be written (read-only to Wine), and the links.
TEST(Paths, ModulePathsAndTreesRemovedWithoutFollowingLinks) {
    EXPECT_EQ(BesideThisExecutable(""), std::string(GetAppPath(nullptr)));
    EXPECT_STREQ("C:\\windows\\system32\\", GetModulePath(::GetModuleHandleA("kernel32.dll")));
    TempDir temp;
    const std::string tree = temp / "tree", locked = temp / "locked", name(250, 'n');
    OnHost(temp.path(),
           "mkdir -p tree/a/b tree/a/sub.. locked linked outside long/" + name +
               " && touch tree/a/b/deep tree/... tree/a/ro locked/f1 locked/f2 locked/f3 "
               "outside/precious && chmod a-w tree/a/ro && ln -s ../outside linked/link && ln -s "
               "outside rootlink",
           temp / "rootlink", true);
    EXPECT_NE(0, RecurseRemoveDirectory(tree.c_str()));
    EXPECT_FALSE(Exists(tree));
    for (const char* path : {tree.c_str(), "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(0, RecurseRemoveDirectory(path)) << "a missing, empty or null path";

    // A file that another program holds open stops the removal at the first entry: all stays.
    WIN32_FIND_DATAA first;
    ::FindClose(::FindFirstFileA((locked + "\\f?").c_str(), &first));
    std::ifstream lock(locked + "\\" + first.cFileName);
    EXPECT_EQ(0, RecurseRemoveDirectory(locked.c_str()));
    EXPECT_EQ(3u, FilesIn(locked, "f?").size());

    // A link is never followed, also as the tree itself; a name beyond the path limit stops the
    // removal, which would otherwise name another file.
    ASSERT_TRUE(::GetFileAttributesA((temp / "linked\\link").c_str()) &
                FILE_ATTRIBUTE_REPARSE_POINT);
    RecurseRemoveDirectory((temp / "linked").c_str());
    RecurseRemoveDirectory((temp / "rootlink").c_str());
    EXPECT_TRUE(Exists(temp / "outside\\precious")) << "what a link points to stays";
    EXPECT_EQ(0, RecurseRemoveDirectory((temp / "long").c_str()));
    OnHost(temp.path(), "rm -rf tree linked/link rootlink long/" + name, temp / "rootlink", false);
}

// The library's listing shows "dedup" as a reparse point whose tag names no other place, as a
// deduplicated or cloud-backed folder has, and "junction" as a mount point.
void Tag(WIN32_FIND_DATAA* entry) {
    const std::string name = entry->cFileName;
    if (name == "dedup" || name == "junction") {
        entry->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        entry->dwReserved0 = name == "dedup" ? IO_REPARSE_TAG_DEDUP : IO_REPARSE_TAG_MOUNT_POINT;
    }
}
HANDLE WINAPI FindFirst(LPCSTR pattern, LPWIN32_FIND_DATAA entry) {
    HANDLE search = ::FindFirstFileA(pattern, entry);
    Tag(entry);
    return search;
}
BOOL WINAPI FindNext(HANDLE search, LPWIN32_FIND_DATAA entry) {
    const BOOL found = ::FindNextFileA(search, entry);
    Tag(entry);
    return found;
}

// Only a reparse point that stands for another name is a link: other reparse folders hold their
// own contents and are emptied like any folder, while a junction is never entered.
TEST(Paths, OnlyReparsePointsThatNameAnotherPlaceAreLinks) {
    ImportPatch first("KERNEL32.dll", "FindFirstFileA", reinterpret_cast<void*>(&FindFirst));
    ImportPatch next("KERNEL32.dll", "FindNextFileA", reinterpret_cast<void*>(&FindNext));
    TempDir temp;
    for (const char* folder : {"one", "one\\dedup", "two", "two\\junction"})
        ::CreateDirectoryA((temp / folder).c_str(), nullptr);
    WriteTextFile(temp / "one\\dedup\\file", "its own");
    WriteTextFile(temp / "two\\junction\\file", "another place's");
    EXPECT_NE(0, RecurseRemoveDirectory((temp / "one").c_str()));
    EXPECT_EQ(0, RecurseRemoveDirectory((temp / "two").c_str())) << "the junction stays";
    EXPECT_TRUE(Exists(temp / "two\\junction\\file"));
}

} // namespace
