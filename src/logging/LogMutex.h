// The named mutex that serialises every writer of the service's log, in every process.
#pragma once

#include <windows.h>

namespace zav {

constexpr const char* kLogMutexName = "{6E2D91A7-3B4C-4F85-8A10-D7C3B25E9F46}";
constexpr DWORD kLogMutexTimeout = 10000;
// The failure of a line whose mutex was not had in time; 0xA0040601 counts as the same.
constexpr HRESULT kLogMutexTimedOut = static_cast<HRESULT>(0xA0040600);
constexpr HRESULT kLogMutexTimedOutToo = static_cast<HRESULT>(0xA0040601);

// Creates the mutex under a descriptor that shuts out guests and anonymous logons, or opens
// it when another account created it first and this one may not create it. Raises the
// system error as a COM error when neither works.
HANDLE OpenLogMutex(const char* name);

} // namespace zav
