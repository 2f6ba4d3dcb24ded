// The substitute ScriptHookRDR2.dll: the host functions are exported under the
// real host's decorated names (ScriptHookRDR2.def); these controls let
// quillfen-sim.exe load a scenario, step frames and write the trace.
#include <windows.h>

#include <cstring>
#include <string>

#include "sim/dll_control.h"
#include "sim/host.h"
#include "sim/scenario.h"
#include "sim/trace.h"

static SimHost host;
static SimScenario scenario;
static SimDllWorld world;

static void publish_world(std::int32_t cursor_x_before, std::int32_t cursor_y_before) {
    const SimGame& g = host.game;
    world.present = g.window.present ? 1 : 0;
    world.width = g.window.width;
    world.height = g.window.height;
    world.x = g.window.x;
    world.y = g.window.y;
    world.cursor_moved = g.cursor_x != cursor_x_before || g.cursor_y != cursor_y_before;
    world.cursor_x = g.cursor_x;
    world.cursor_y = g.cursor_y;
}

extern "C" int sim_dll_begin(const char* scenario_path, char* error, int error_capacity) {
    std::string message;
    if (!sim_load_scenario(scenario_path, scenario, &message)) {
        if (error && error_capacity > 0) {
            std::strncpy(error, message.c_str(), static_cast<std::size_t>(error_capacity) - 1);
            error[error_capacity - 1] = '\0';
        }
        return 0;
    }
    sim_host_start(host, scenario);  // converts this thread to a fiber for the scripts
    host.game.cursor_x = INT32_MIN;  // so the first placement counts as a move
    return 1;
}

// Applies this frame's scenario events; the exe then makes the window match.
extern "C" void sim_dll_prepare_frame() {
    const std::int32_t cx = host.game.cursor_x, cy = host.game.cursor_y;
    sim_apply_events(scenario, host.game, host.game.frame);
    publish_world(cx, cy);
}

extern "C" const SimDllWorld* sim_dll_world() { return &world; }

extern "C" int sim_dll_run_frame() { return sim_host_run_frame(host) ? 1 : 0; }

extern "C" int sim_dll_end(const char* trace_path) {
    sim_host_shutdown(host);
    std::string error;
    const bool written = sim_write_run_records(host, trace_path, &error);
    sim_host_activate(nullptr);
    return written && host.failure.empty() ? 1 : 0;
}

extern "C" const char* sim_dll_failure() { return host.failure.c_str(); }
// The real cursor at the end of the run, for the summary.
extern "C" void sim_dll_note_cursor(int x, int y) {
    host.game.cursor_x = x;
    host.game.cursor_y = y;
}
extern "C" long long sim_dll_frame_count() { return scenario.frames; }
extern "C" long long sim_dll_frame_ns() { return scenario.frame_ns; }
extern "C" long long sim_dll_native_calls() { return host.native_calls; }
