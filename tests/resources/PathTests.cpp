#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <algorithm>
#include <vector>

#include "ZAVTools.h"
#include "support/TempDir.h"

namespace {

using zavtest::TempDir;
using zavtest::WriteTextFile;

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Names in a folder, in listing order, without "." and "..".
std::vector<std::string> ListNames(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = entry.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return names;
}

bool Lists(const std::string& folder, const std::string& name) {
    std::vector<std::string> names = ListNames(folder);
    return std::find(names.begin(), names.end(), name) != names.end();
}

void MakeDir(const std::string& path) {
    ASSERT_TRUE(::CreateDirectoryA(path.c_str(), nullptr));
}

// Runs a program of the machine under Wine (paths given in its own form). Wine hands out no
// waitable handle for such a process, so the caller says when its work shows.
template <typename Done> bool RunHostProgram(std::string commandLine, Done done) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    for (int waited = 0; waited < 10000; waited += 10) {
        if (done())
            return true;
        ::Sleep(10);
    }
    return false;
}

std::string UnixPath(const std::string& windowsPath) {
    char* unix = nullptr;
    using Convert = char*(CDECL*)(LPCWSTR);
    auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    std::wstring wide(windowsPath.begin(), windowsPath.end());
    if (convert)
        unix = convert(wide.c_str());
    std::string result = unix ? unix : "";
    if (unix)
        ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

TEST(Paths, ModulePathIsTheFolderWithItsBackslash) {
    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string folder(exe);
    folder.erase(folder.rfind('\\') + 1);

    EXPECT_EQ(folder, std::string(GetModulePath(nullptr)));
    EXPECT_EQ(folder, std::string(GetAppPath(nullptr)));
    HMODULE library = ::GetModuleHandleA("ZAVTools.dll");
    EXPECT_EQ(folder, std::string(GetModulePath(library))) << "the DLL lies beside the tests";
    EXPECT_EQ(std::string(GetModulePath(library)), std::string(GetAppPath(library)));
}

TEST(Paths, RemovesATreeWithReadOnlyEntriesAndOddNames) {
    TempDir temp;
    const std::string root = temp / "tree";
    MakeDir(root);
    MakeDir(root + "\\empty");
    MakeDir(root + "\\a");
    MakeDir(root + "\\a\\b");
    WriteTextFile(root + "\\a\\b\\deep.txt", "deep");
    // Win32 drops trailing dots from names, so "..." can only come from elsewhere.
    ASSERT_TRUE(RunHostProgram("Z:\\bin\\touch " + UnixPath(root) + "/...",
                               [&] { return Lists(root, "..."); }));
    WriteTextFile(root + "\\.x", "hidden-style");
    MakeDir(root + "\\a\\dots");
    ASSERT_TRUE(RunHostProgram("Z:\\bin\\mkdir " + UnixPath(root + "\\a\\dots") + "/sub..",
                               [&] { return Lists(root + "\\a\\dots", "sub.."); }));
    WriteTextFile(root + "\\a\\readonly.txt", "ro");
    ::SetFileAttributesA((root + "\\a\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesA((root + "\\a\\b").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_NE(0, RecurseRemoveDirectory(root.c_str()));
    EXPECT_FALSE(Exists(root));

    const std::string empty = temp / "only";
    MakeDir(empty);
    EXPECT_NE(0, RecurseRemoveDirectory(empty.c_str()));
    EXPECT_FALSE(Exists(empty));
}

TEST(Paths, MissingOrNullPathsFailWithoutTouchingAnything) {
    TempDir temp;
    EXPECT_EQ(0, RecurseRemoveDirectory((temp / "absent").c_str()));
    EXPECT_EQ(0, RecurseRemoveDirectory(nullptr));
    EXPECT_EQ(0, RecurseRemoveDirectory(""));
    EXPECT_TRUE(Exists(temp.path()));
}

TEST(Paths, ALockedFileStopsTheRemovalAfterWhatWasListedBeforeIt) {
    TempDir temp;
    const std::string root = temp / "locked";
    MakeDir(root);
    for (const char* name : {"one.txt", "two.txt", "three.txt", "four.txt"})
        WriteTextFile(root + "\\" + name, name);

    const std::vector<std::string> listed = ListNames(root);
    ASSERT_EQ(4u, listed.size());

    // Held open without delete sharing, as another process holding the file would.
    const std::string lockedName = listed[2];
    HANDLE lock = ::CreateFileA((root + "\\" + lockedName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    EXPECT_EQ(0, RecurseRemoveDirectory(root.c_str()));
    ::CloseHandle(lock);

    EXPECT_TRUE(Exists(root));
    EXPECT_FALSE(Exists(root + "\\" + listed[0]));
    EXPECT_FALSE(Exists(root + "\\" + listed[1]));
    EXPECT_TRUE(Exists(root + "\\" + lockedName));
    EXPECT_TRUE(Exists(root + "\\" + listed[3])) << "nothing after the failure is deleted";
}

TEST(Paths, ADirectoryLinkIsNeverFollowed) {
    TempDir temp;
    const std::string outside = temp / "outside";
    const std::string root = temp / "tree";
    MakeDir(outside);
    WriteTextFile(outside + "\\precious.txt", "keep me");
    MakeDir(root);
    WriteTextFile(root + "\\plain.txt", "delete me");

    // Wine shows a link made on the host as a directory reparse point; its own
    // CreateSymbolicLink makes none.
    const std::string link = root + "\\link";
    ASSERT_TRUE(RunHostProgram("Z:\\bin\\ln -s " + UnixPath(outside) + " " + UnixPath(link),
                               [&] { return Exists(link); }));
    DWORD attributes = ::GetFileAttributesA(link.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT);

    int removed = RecurseRemoveDirectory(root.c_str());
    EXPECT_TRUE(Exists(outside + "\\precious.txt")) << "the link's target must stay untouched";
    if (removed)
        EXPECT_FALSE(Exists(root));
    else
        EXPECT_TRUE(Exists(link)) << "a link that cannot be removed stops the removal";

    // A link given as the tree itself is removed as a link, never emptied.
    const std::string rootLink = temp / "rootlink";
    ASSERT_TRUE(RunHostProgram("Z:\\bin\\ln -s " + UnixPath(outside) + " " + UnixPath(rootLink),
                               [&] { return Exists(rootLink); }));
    RecurseRemoveDirectory(rootLink.c_str());
    EXPECT_TRUE(Exists(outside + "\\precious.txt"));
    RunHostProgram("Z:\\bin\\rm -f " + UnixPath(link) + " " + UnixPath(rootLink),
                   [&] { return !Exists(link) && !Exists(rootLink); });
}

TEST(Paths, ANameBeyondThePathLimitStopsTheRemoval) {
    TempDir temp;
    const std::string root = temp / "long";
    MakeDir(root);
    const std::string name(250, 'n');
    ASSERT_TRUE(RunHostProgram("Z:\\bin\\mkdir " + UnixPath(root) + "/" + name,
                               [&] { return !ListNames(root).empty(); }));
    EXPECT_EQ(0, RecurseRemoveDirectory(root.c_str()));
    EXPECT_TRUE(Exists(root));
    RunHostProgram("Z:\\bin\\rm -rf " + UnixPath(root), [&] { return !Exists(root); });
}

} // namespace
