#include "common/FormattedError.h"

#include <cstdarg>
#include <cstdio>

#include "ZAVTools/ComErrors.h"

namespace zav {

void ThrowFormattedComError(HRESULT hr, const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    ThrowComError(hr, text);
}

} // namespace zav
