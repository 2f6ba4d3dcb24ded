// The one place that binds the script host's decorated export names: the
// import library generated from ScriptHookRDR2.def maps each plain sh_* name
// below to the host's MSVC-decorated symbol, so these are real load-time
// imports from ScriptHookRDR2.dll, as with the SDK's own import library.
#include <windows.h>

#include "src/scripthook/host_api.h"
#include "src/scripthook/host_imports.h"

extern "C" {
__declspec(dllimport) void sh_keyboardHandlerRegister(KeyboardHandler handler);
__declspec(dllimport) void sh_keyboardHandlerUnregister(KeyboardHandler handler);
__declspec(dllimport) void sh_scriptWait(DWORD time);
__declspec(dllimport) void sh_scriptRegister(HMODULE module, void (*script_main)());
__declspec(dllimport) void sh_scriptRegisterAdditionalThread(HMODULE module, void (*script_main)());
__declspec(dllimport) void sh_scriptUnregister(HMODULE module);
__declspec(dllimport) void sh_nativeInit(UINT64 hash);
__declspec(dllimport) void sh_nativePush64(UINT64 value);
__declspec(dllimport) PUINT64 sh_nativeCall();
__declspec(dllimport) UINT64* sh_getGlobalPtr(int global_id);
__declspec(dllimport) int sh_worldGetAllVehicles(int* array, int size);
__declspec(dllimport) int sh_worldGetAllPeds(int* array, int size);
__declspec(dllimport) int sh_worldGetAllObjects(int* array, int size);
__declspec(dllimport) int sh_worldGetAllPickups(int* array, int size);
__declspec(dllimport) BYTE* sh_getScriptHandleBaseAddress(int handle);
__declspec(dllimport) HostGameVersion sh_getGameVersion();
}

static_assert(sizeof(DWORD) == sizeof(HostDword) && sizeof(UINT64) == sizeof(std::uint64_t));

HostApi bound_host_api() {
    return HostApi{sh_keyboardHandlerRegister,
                   sh_keyboardHandlerUnregister,
                   sh_scriptWait,
                   sh_scriptRegister,
                   sh_scriptRegisterAdditionalThread,
                   sh_scriptUnregister,
                   sh_nativeInit,
                   sh_nativePush64,
                   sh_nativeCall,
                   sh_getGlobalPtr,
                   sh_worldGetAllVehicles,
                   sh_worldGetAllPeds,
                   sh_worldGetAllObjects,
                   sh_worldGetAllPickups,
                   sh_getScriptHandleBaseAddress,
                   sh_getGameVersion};
}
