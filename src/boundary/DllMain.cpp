#include <windows.h>

#include "resources/ResourceLibrary.h"

// Everything else the library needs is set up by static initialisation; the load never fails
// for want of a resource library.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        zav::OnProcessAttach(instance);
    return TRUE;
}
