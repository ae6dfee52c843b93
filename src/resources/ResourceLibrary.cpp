#include "resources/ResourceLibrary.h"

#include <shlwapi.h>
#include <cstdlib>
#include <cwchar>

#include "common/UniqueHandle.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace zav {
namespace {

// Released by static destruction when the library unloads.
UniqueModule g_resourceLibrary;
HINSTANCE g_ownModule = reinterpret_cast<HINSTANCE>(&__ImageBase);
HINSTANCE g_resourceInstance = g_ownModule;

void ReadPreferredUILanguages(std::vector<std::wstring>& languages) {
    constexpr DWORD kFlags =
        MUI_LANGUAGE_NAME | MUI_MERGE_SYSTEM_FALLBACK | MUI_MERGE_USER_FALLBACK;
    wchar_t names[121] = {};
    ULONG count = 0, length = ARRAYSIZE(names);
    if (!::GetThreadPreferredUILanguages(kFlags, &count, names, &length))
        return;
    for (const wchar_t* name = names; *name && name < names + ARRAYSIZE(names);
         name += wcslen(name) + 1)
        languages.emplace_back(name);
}

} // namespace

const std::vector<std::wstring>& PreferredUILanguages() {
    static std::vector<std::wstring> languages;
    static SRWLOCK lock = SRWLOCK_INIT;
    ::AcquireSRWLockExclusive(&lock);
    if (languages.empty())
        ReadPreferredUILanguages(languages);
    ::ReleaseSRWLockExclusive(&lock);
    return languages;
}

HMODULE LoadResourceLibrary(HMODULE self) {
    wchar_t modulePath[MAX_PATH] = {};
    ::GetModuleFileNameW(self, modulePath, MAX_PATH);
    wchar_t drive[MAX_PATH], dir[MAX_PATH], base[MAX_PATH];
    if (_wsplitpath_s(modulePath, drive, MAX_PATH, dir, MAX_PATH, base, MAX_PATH, nullptr, 0))
        return nullptr;
    for (const std::wstring& language : PreferredUILanguages()) {
        wchar_t candidate[2 * MAX_PATH];
        _snwprintf_s(candidate, ARRAYSIZE(candidate), _TRUNCATE, L"%ls%ls%ls\\%ls.res.dll", drive,
                     dir, language.c_str(), base);
        if (::PathFileExistsW(candidate))
            return ::LoadLibraryExW(candidate, nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE |
                                        LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    return nullptr;
}

void OnProcessAttach(HINSTANCE self) {
    g_ownModule = self;
    HMODULE resources = LoadResourceLibrary(self);
    g_resourceLibrary.reset(resources); // a repeated attach releases the earlier one
    g_resourceInstance = resources ? resources : self;
}

HINSTANCE OwnModule() {
    return g_ownModule;
}
HINSTANCE ResourceInstance() {
    return g_resourceInstance;
}

} // namespace zav
