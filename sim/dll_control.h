// What quillfen-sim.exe calls in the substitute ScriptHookRDR2.dll to drive the
// simulated game (found with GetProcAddress; exported by name).
#pragma once

#include <cstdint>

struct SimDllWorld {
    // The game window the scenario wants now; the exe makes the real one match.
    int present;
    std::int32_t width, height, x, y;
    // Where the scenario put the cursor; `cursor_moved` is set when it did so this frame.
    int cursor_moved;
    std::int32_t cursor_x, cursor_y;
};

extern "C" {
using SimDllBegin = int (*)(const char* scenario_path, char* error, int error_capacity);
using SimDllPrepareFrame = void (*)();
using SimDllWorldFn = const SimDllWorld* (*)();
using SimDllRunFrame = int (*)();
using SimDllEnd = int (*)(const char* trace_path);
using SimDllFailure = const char* (*)();
using SimDllCount = long long (*)();
using SimDllNoteCursor = void (*)(int x, int y);
}
