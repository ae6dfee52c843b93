#include "alarms/ProjectCopy.h"

#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/UniqueHandle.h"

namespace zav {
namespace {

constexpr char kZavKey[] = "SOFTWARE\\Orlenco\\ZAV";

// A REG_SZ or REG_EXPAND_SZ value (the latter expanded), or the empty string.
std::string ReadFolderValue(const char* valueName) {
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kZavKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return std::string();
    char value[MAX_PATH] = {};
    DWORD type = 0, size = sizeof value - 1;
    if (::RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(value),
                           &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    if (type == REG_SZ)
        return value;
    char expanded[MAX_PATH];
    DWORD length = ::ExpandEnvironmentStringsA(value, expanded, MAX_PATH);
    return length > 0 && length <= MAX_PATH ? expanded : std::string();
}

bool IsFolder(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// "proj-241204213000.qcp" for proj.qcp at 21:30:00 on 4 December 2024, local time.
std::string CopyName(const char* qcpFile) {
    char name[_MAX_FNAME] = {};
    _splitpath_s(qcpFile, nullptr, 0, nullptr, 0, name, sizeof name, nullptr, 0);
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char stamp[32];
    snprintf(stamp, sizeof stamp, "%02u%02u%02u%02u%02u%02u", now.wYear % 100u, now.wMonth,
             now.wDay, now.wHour, now.wMinute, now.wSecond);
    return std::string(name) + "-" + stamp + ".qcp";
}

} // namespace

bool SaveProjectCopy(const char* valueName, const char* qcpFile) noexcept {
    try {
        std::string folder = ReadFolderValue(valueName);
        if (folder.empty())
            return false;
        if (IsFolder(folder) && qcpFile) {
            if (folder.back() != '\\' && folder.back() != '/')
                folder += '\\';
            ::CopyFileA(qcpFile, (folder + CopyName(qcpFile)).c_str(), FALSE);
        }
        return true;
    } catch (...) {
        return false; // an allocation failure costs the copy, never the compilation
    }
}

} // namespace zav
