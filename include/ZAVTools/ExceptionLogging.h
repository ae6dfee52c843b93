// Exceptions are logged where they are caught and passed on upwards as COM errors whose
// description grows by one bracketed level per operation they leave, for example
// "Getting options from qcp file [Division By Zero]".
#pragma once

#include <comdef.h>
#include <exception>
#include <type_traits>

#include "Exceptions.h"
#include "Export.h"
#include "Host.h"

// Each logs "Exception detected in [<function>] while doing [<activity>]; Error code 0x<hr>,
// [<description>]" at ERROR through the module, then throws: a copy of `error` when the
// description already holds a "[" (an inner operation has wrapped it), otherwise a _com_error
// described "<activity> [<description>]". The HRESULT is the COM error's own, else E_FAIL.
[[noreturn]] ZAVTOOLS_API void LogAndRethrow(CBaseZAVModule& module, const _com_error& error,
                                             const char* function, const char* activity,
                                             const char* description);
[[noreturn]] ZAVTOOLS_API void LogAndRethrow(CBaseZAVModule& module, const numeric_exception& error,
                                             const char* function, const char* activity,
                                             const char* description);
[[noreturn]] ZAVTOOLS_API void LogAndRethrow(CBaseZAVModule& module, const win32_exception& error,
                                             const char* function, const char* activity,
                                             const char* description);
[[noreturn]] ZAVTOOLS_API void LogAndRethrow(CBaseZAVModule& module, const std::exception& error,
                                             const char* function, const char* activity,
                                             const char* description);

// The catch ladder that the library's larger operations share. Runs `body(context)`; an
// exception that leaves it is logged and rethrown through LogAndRethrow, after a crash report
// for a numeric_exception and the module's OnFatalException for any other win32_exception.
// Whatever is not a COM error or a std::exception leaves as E_FAIL "<activity> [Unknown
// error]". Use the template below:
//
//     RunGuarded(*module, "CSpecManager::Complie", "Getting options from qcp file", [&] {
//         ... the operation's whole body ...
//     });
ZAVTOOLS_API void RunGuarded(CBaseZAVModule& module, const char* function, const char* activity,
                             void (*body)(void* context), void* context);

template <typename Body>
void RunGuarded(CBaseZAVModule& module, const char* function, const char* activity, Body&& body) {
    using Callable = std::remove_reference_t<Body>;
    RunGuarded(
        module, function, activity, [](void* context) { (*static_cast<Callable*>(context))(); },
        const_cast<void*>(static_cast<const void*>(&body)));
}
