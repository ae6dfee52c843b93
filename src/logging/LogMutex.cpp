#include "logging/LogMutex.h"

#include <sddl.h>

#include "ZAVTools/ComErrors.h"
#include "common/UniqueHandle.h"

namespace zav {

HANDLE OpenLogMutex(const char* name) {
    // Guests and anonymous logons denied; authenticated users read, write and execute;
    // administrators everything.
    static const char kDescriptor[] =
        "D:(D;OICI;GA;;;BG)(D;OICI;GA;;;AN)(A;OICI;GRGWGX;;;AU)(A;OICI;GA;;;BA)";
    UniqueLocal descriptor;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorA(kDescriptor, SDDL_REVISION_1,
                                                           descriptor.put(), nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    HANDLE mutex = ::CreateMutexA(&attributes, FALSE, name);
    if (!mutex && ::GetLastError() == ERROR_ACCESS_DENIED)
        mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (!mutex)
        ThrowWin32Error(::GetLastError(), "Cannot open mutex object: ");
    return mutex;
}

} // namespace zav
