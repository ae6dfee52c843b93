#include "failure/ErrorsFolder.h"

#include <windows.h>
#include <mbstring.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace zav {
namespace {

bool IsDirectory(const char* path) {
    DWORD attributes = ::GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectory(const char* path) {
    return ::CreateDirectoryA(path, nullptr) || IsDirectory(path);
}

} // namespace

CString GetErrorsFolder() {
    char base[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                  SHGFP_TYPE_CURRENT, base)) ||
        !*base)
        return CString();
    if (!::PathAddBackslashA(base))
        return CString();
    CString folder(base);
    folder += "Veltrium\\Errors";
    if (IsDirectory(folder) || CreateDirectoryPath(folder))
        return folder;
    return CString();
}

bool CreateDirectoryPath(const char* path) {
    CString whole(path);
    auto begin = reinterpret_cast<const unsigned char*>(whole.GetString());
    if (whole.GetLength() <= 2)
        return MakeDirectory(whole);
    const unsigned char* from = begin + 2;
    while (const unsigned char* slash = _mbschr(from, '\\')) {
        CString level(whole.GetString(), static_cast<int>(slash - begin) + 1);
        if (!MakeDirectory(level))
            return false;
        from = slash + 1;
        if (!*from)
            return true;
    }
    return MakeDirectory(whole);
}

} // namespace zav
