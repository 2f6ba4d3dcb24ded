// The library's entry point. Windows calls it under the loader lock, which
// holds up every other library load of the game until it returns.
//
// At load it binds the host's functions, runs `setup` and registers the
// script. `setup` opens the log, loads the local time zone and backs up the
// markers file: it reads the whole file, loads it to check it, and writes
// markers.json.bak (and, at the first start of a day, the day's copy), each
// under a temporary name, flushed and renamed. That holds the loader about 10
// to 13 ms at 10,000 markers and 0.14 to 0.16 s at 100,000 (a 22 MB file),
// 0.07 to 0.16 s more than the plain copy it replaced (docs/performance.md).
// It stays in this order: the backup is made before the script can run and
// save over the file.
//
// At unload it runs `cleanup`, which tries one last save of the whole list
// while saves were failing and names a route still drawn, and unregisters the
// script.
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
