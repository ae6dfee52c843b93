// Module paths and recursive directory removal, in the ANSI code page.
#pragma once

#include <windows.h>
#include <atlstr.h>

#include "Export.h"

// Drive and folder of the module's file, ending in a backslash ("D:\Apps\Q\" for
// D:\Apps\Q\ZAVTools.dll); a null module means the process's executable.
ZAVTOOLS_API CString GetModulePath(HINSTANCE module);
// The same as GetModulePath.
ZAVTOOLS_API CString GetAppPath(HINSTANCE module);

// Deletes `path` with all its files and sub-folders, read-only ones included. A junction or
// directory symbolic link inside the tree is removed as a link; what it points to is left alone.
// Non-zero on success; 0 when the path cannot be listed or at the first failure, which leaves
// everything not yet deleted in place.
ZAVTOOLS_API int RecurseRemoveDirectory(const char* path);
