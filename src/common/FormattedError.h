// COM errors whose description is built printf-style, for messages that name what was wrong.
#pragma once

#include <windows.h>

namespace zav {

// ThrowComError with the formatted text (cut at 255 characters).
[[noreturn]] __attribute__((format(gnu_printf, 2, 3))) void
ThrowFormattedComError(HRESULT hr, const char* format, ...);

} // namespace zav
