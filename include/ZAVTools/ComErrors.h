// COM errors raised by the library: a _com_error whose IErrorInfo carries the message, also
// left as the thread's current error information for an automation caller further up.
#pragma once

#include <windows.h>
#include <comdef.h>
#include <comptrs.h>

#include "Export.h"

// Error information whose description is `text`, made the thread's current error information.
// Null text, or a platform that cannot create it, gives null.
ZAVTOOLS_API IErrorInfoPtr MakeErrorInfo(const char* text);

[[noreturn]] ZAVTOOLS_API void ThrowComError(HRESULT hr, const char* text);

// For use right after a raw automation call failed: raises the error information that the call
// left on this thread, or else `text`.
[[noreturn]] ZAVTOOLS_API void ThrowComErrorFromThread(HRESULT hr, const char* text);

// Raises a Win32 error code as a COM error described by `prefix` and the system's text.
[[noreturn]] ZAVTOOLS_API void ThrowWin32Error(DWORD error, const char* prefix);
