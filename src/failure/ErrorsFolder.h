// Where crash reports go.
#pragma once

#include <atlstr.h>

namespace zav {

// "<common application data>\Veltrium\Errors", created when missing; empty when the folder
// cannot be obtained or created.
CString GetErrorsFolder();

// Creates every missing level of `path`; a drive prefix ("D:") is skipped. False when a level
// can be neither created nor found as a directory.
bool CreateDirectoryPath(const char* path);

} // namespace zav
