// The library's entry point. Windows calls it under the loader lock, so it does
// no more than bind, set up and register (and, at unload, clean up).
#include <windows.h>

#include "src/entry.h"
#include "src/scripthook/host_imports.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH: plugin_process_attach(module, bound_host_api()); break;
        case DLL_PROCESS_DETACH: plugin_process_detach(module); break;
        default: break;  // thread attach and detach change nothing
    }
    return TRUE;
}
