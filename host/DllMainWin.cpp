// The module's load hook on Windows: records the instance handle, which the
// dialogs need to find their templates.
#include <windows.h>

#include "HostUtils.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) SetModuleInstance(instance);
    return TRUE;
}
