// Module paths and the removal of a folder tree.
#include <gtest/gtest.h>

#include "ZAVTools.h"
#include "support/ChildProcess.h"
#include "support/Files.h"

namespace {

using namespace zavtest;

// Runs a command of the host system in `folder` until `path` exists or not, as `exists` says:
// Wine gives no handle to wait for such a program. Wine shows a link that the host made as a
// directory reparse point; its own CreateSymbolicLink makes none, and it removes none.
void OnHost(const std::string& folder, const std::string& command, const std::string& path,
            bool exists) {
    ChildProcess shell("Z:\\bin\\sh", "-c \"" + command + "\"", folder);
    for (int waited = 0; waited < 1000 && Exists(path) != exists; ++waited)
        ::Sleep(10);
}

// The .txt files of `folder` in the order the system lists them.
std::vector<std::string> Listed(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*.txt").c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &entry))
        names.push_back(entry.cFileName);
    ::FindClose(search);
    return names;
}

TEST(Paths, ModulePathsAndTreesRemovedWithoutFollowingLinks) {
    EXPECT_EQ(BesideThisExecutable(""), std::string(GetAppPath(nullptr)));
    EXPECT_STREQ("C:\\windows\\system32\\", GetModulePath(::GetModuleHandleA("kernel32.dll")));

    // Win32 drops trailing dots from names, except in the verbatim form.
    TempDir temp;
    const std::string tree = temp / "tree", verbatim = "\\\\?\\" + tree;
    for (const char* folder : {"", "\\a", "\\a\\b", "\\a\\sub.."})
        ::CreateDirectoryA((verbatim + folder).c_str(), nullptr);
    for (const char* file : {"\\a\\b\\deep", "\\...", "\\a\\ro"})
        WriteTextFile(verbatim + file, "");
    for (const char* readOnly : {"\\a\\ro", "\\a\\b"})
        ::SetFileAttributesA((tree + readOnly).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0, RecurseRemoveDirectory(tree.c_str()));
    EXPECT_FALSE(Exists(tree));
    for (const char* path : {tree.c_str(), "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(0, RecurseRemoveDirectory(path)) << "a missing, empty or null path";

    // A locked file stops the removal; what comes after it in the listing stays too.
    for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt"})
        WriteTextFile(temp / name, "");
    const std::vector<std::string> listed = Listed(temp.path());
    std::unique_ptr<FILE, decltype(&fclose)> lock(fopen((temp / listed[2]).c_str(), "r"), &fclose);
    EXPECT_EQ(0, RecurseRemoveDirectory(temp.path().c_str()));
    lock.reset();
    EXPECT_EQ(std::vector<std::string>(listed.begin() + 2, listed.end()), Listed(temp.path()));

    const std::string outside = temp / "outside", linked = temp / "linked";
    for (const std::string& folder : {outside, linked})
        ::CreateDirectoryA(folder.c_str(), nullptr);
    WriteTextFile(outside + "\\precious", "");
    OnHost(linked, "ln -s ../outside link; ln -s outside ../rootlink", temp / "rootlink", true);
    ASSERT_TRUE(::GetFileAttributesA((linked + "\\link").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    RecurseRemoveDirectory(linked.c_str());
    RecurseRemoveDirectory((temp / "rootlink").c_str());
    EXPECT_TRUE(Exists(outside + "\\precious")) << "what a link points to stays";
    OnHost(linked, "rm -f link ../rootlink", temp / "rootlink", false);

    const std::wstring beyondTheLimit =
        L"\\\\?\\" + Wide(outside) + L"\\" + std::wstring(250, L'n');
    ::CreateDirectoryW(beyondTheLimit.c_str(), nullptr);
    EXPECT_EQ(0, RecurseRemoveDirectory(outside.c_str()));
    EXPECT_TRUE(::RemoveDirectoryW(beyondTheLimit.c_str())) << "a name beyond the limit stops it";
}

} // namespace
