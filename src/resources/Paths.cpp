#include "ZAVTools/Paths.h"

#include <shlwapi.h>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/UniqueHandle.h"

CString GetModulePath(HINSTANCE module) {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(module, path, MAX_PATH);
    char drive[256], dir[256];
    if (_splitpath_s(path, drive, sizeof drive, dir, sizeof dir, nullptr, 0, nullptr, 0) != 0 ||
        _makepath_s(path, sizeof path, drive, dir, nullptr, nullptr) != 0)
        return CString();
    return CString(path);
}

CString GetAppPath(HINSTANCE module) {
    return GetModulePath(module);
}

namespace {

bool IsDotOrDotDot(const char* name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

void ClearReadOnly(const char* path) {
    DWORD attributes = ::GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

// A junction or directory symbolic link: a reparse point whose tag says it stands for another
// name. Other reparse points (deduplicated or cloud-backed folders) hold their own contents. A
// platform that reports the attribute with one of the reserved tags, which no file system uses,
// has not said what the point is: it is taken for a link, since following a link would empty
// the tree it points to.
bool IsLink(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (IsReparseTagNameSurrogate(entry.dwReserved0) ||
            entry.dwReserved0 <= IO_REPARSE_TAG_RESERVED_RANGE);
}

// The tag is only in the folder's entry in its parent, so the root is looked up there.
bool IsLinkPath(const char* path) {
    std::string entryPath(path);
    while (entryPath.size() > 3 && (entryPath.back() == '\\' || entryPath.back() == '/'))
        entryPath.pop_back();
    WIN32_FIND_DATAA entry;
    zav::UniqueFind found(::FindFirstFileA(entryPath.c_str(), &entry));
    return found && IsLink(entry);
}

// Removing a link must not touch its target.
bool RemoveDirectoryLink(const char* path) {
    ClearReadOnly(path);
    return ::RemoveDirectoryA(path) != FALSE;
}

bool RemoveFile(const char* path) {
    ClearReadOnly(path);
    return ::DeleteFileA(path) != FALSE;
}

bool IsVerbatim(const std::string& path) {
    return path.rfind("\\\\?\\", 0) == 0;
}

bool EndsInDotOrBlank(const char* name) {
    size_t length = strlen(name);
    return length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ');
}

// `folder` in the "\\?\" form, in which no part of a name is stripped.
std::string VerbatimFolder(const char* folder) {
    if (IsVerbatim(folder))
        return folder;
    char full[MAX_PATH];
    DWORD length = ::GetFullPathNameA(folder, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    if (full[0] == '\\' && full[1] == '\\')
        return std::string("\\\\?\\UNC\\") + (full + 2);
    return std::string("\\\\?\\") + full;
}

// The path of an entry of `folder`, limited to MAX_PATH characters. Names that Win32 path
// parsing would change (trailing dots or blanks, as in "...") are reached through the verbatim
// form, or the wrong file would be deleted, or none.
bool JoinEntryPath(const char* folder, const char* name, std::string& path) {
    if (IsVerbatim(folder) || EndsInDotOrBlank(name)) {
        std::string verbatim = VerbatimFolder(folder);
        path = verbatim + "\\" + name;
        return !verbatim.empty() && path.size() - 4 < MAX_PATH;
    }
    char joined[MAX_PATH];
    if (strlen(folder) >= MAX_PATH)
        return false;
    strcpy(joined, folder);
    if (!::PathAppendA(joined, name))
        return false; // the joined path would not fit
    path = joined;
    return true;
}

bool RemoveEntry(const char* folder, const WIN32_FIND_DATAA& entry) {
    const bool isDirectory = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (isDirectory && IsDotOrDotDot(entry.cFileName))
        return true;
    std::string path;
    if (!JoinEntryPath(folder, entry.cFileName, path))
        return false;
    if (!isDirectory)
        return RemoveFile(path.c_str());
    if (IsLink(entry))
        return RemoveDirectoryLink(path.c_str());
    return RecurseRemoveDirectory(path.c_str()) != 0;
}

} // namespace

int RecurseRemoveDirectory(const char* path) {
    if (!path || !*path)
        return 0;
    if (IsLinkPath(path))
        return RemoveDirectoryLink(path); // never the contents of what a link points to
    {
        WIN32_FIND_DATAA entry;
        zav::UniqueFind search(::FindFirstFileA((std::string(path) + "\\*").c_str(), &entry));
        if (!search)
            return 0;
        do {
            if (!RemoveEntry(path, entry))
                return 0;
        } while (::FindNextFileA(search.get(), &entry));
    } // the search is closed before the folder itself goes
    ClearReadOnly(path);
    return ::RemoveDirectoryA(path);
}
