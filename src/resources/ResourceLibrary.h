// The library's own module and the module its localized strings come from.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace zav {

// The user's UI languages in preference order (en-US style names); empty when the platform
// gives none. Read once and kept for the process.
const std::vector<std::wstring>& PreferredUILanguages();

// Loads "<drive><dir><language>\<base>.res.dll" for the first preferred language whose file
// exists beside `self`. Null when there is none or it does not load.
HMODULE LoadResourceLibrary(HMODULE self);

// Called from the process-attach notification.
void OnProcessAttach(HINSTANCE self);

HINSTANCE OwnModule();
HINSTANCE ResourceInstance();

} // namespace zav
