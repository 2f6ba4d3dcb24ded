// The script host's sixteen functions, bound once at load. The plug-in calls
// scriptWait and the three native-call steps through this table; the entry
// point calls scriptRegister and scriptUnregister.
#pragma once

#include <cstdint>

// Same spelling as <windows.h> under STRICT, so the table's types are exactly
// the host's declarations on Windows and opaque elsewhere.
struct HINSTANCE__;
using HostModule = HINSTANCE__*;

#ifdef _WIN32
using HostDword = unsigned long;  // DWORD
#else
using HostDword = std::uint32_t;
#endif
using HostWord = std::uint16_t;  // WORD
using HostByte = std::uint8_t;   // BYTE
using HostBool = int;            // BOOL
enum HostGameVersion : int {};   // eGameVersion

using ScriptProcedure = void (*)();
using KeyboardHandler = void (*)(HostDword, HostWord, HostByte, HostBool, HostBool, HostBool, HostBool);

struct HostApi {
    void (*keyboardHandlerRegister)(KeyboardHandler);
    void (*keyboardHandlerUnregister)(KeyboardHandler);
    void (*scriptWait)(HostDword);
    void (*scriptRegister)(HostModule, ScriptProcedure);
    void (*scriptRegisterAdditionalThread)(HostModule, ScriptProcedure);
    void (*scriptUnregister)(HostModule);
    void (*nativeInit)(std::uint64_t);
    void (*nativePush64)(std::uint64_t);
    std::uint64_t* (*nativeCall)();
    std::uint64_t* (*getGlobalPtr)(int);
    int (*worldGetAllVehicles)(int*, int);
    int (*worldGetAllPeds)(int*, int);
    int (*worldGetAllObjects)(int*, int);
    int (*worldGetAllPickups)(int*, int);
    HostByte* (*getScriptHandleBaseAddress)(int);
    HostGameVersion (*getGameVersion)();
};
static_assert(sizeof(HostApi) == 16 * sizeof(void*));

extern HostApi host_api;
