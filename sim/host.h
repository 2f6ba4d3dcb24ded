// The substitute script host: the sixteen host functions, a cooperative
// scheduler that runs each registered script once per frame, and strict native
// dispatch with a trace of every call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/fiber.h"
#include "sim/game.h"
#include "src/scripthook/host_api.h"

struct SimTraceEntry {
    std::int64_t frame;
    const SimNativeSignature* signature;
    std::vector<std::uint64_t> args;
    std::vector<std::string> texts;   // per argument: the text of a STRING or variadic argument
    std::vector<bool> text_present;   // false where the address was null
    std::uint64_t handle_before = 0;  // HANDLE_POINTER: the handle at the call
    std::uint64_t result[3] = {};
    const char* result_text = nullptr;  // copied below when the result is a text
    std::string result_text_copy;
    bool wrote_f32 = false;
    float written_f32 = 0;
};

struct SimScript {
    HostModule module;
    ScriptProcedure procedure;
    SimFiber* fiber;
    bool returned;
};

struct SimHost {
    SimGame game;
    bool tracing = true;
    std::vector<SimTraceEntry> trace;
    std::int64_t native_calls = 0;

    bool call_open = false;
    std::uint64_t call_hash = 0;
    std::vector<std::uint64_t> call_args;
    std::uint64_t call_result[3] = {};

    std::vector<SimScript*> scripts;
    SimScript* current_script = nullptr;
    std::int64_t script_registrations = 0;
    std::int64_t script_unregistrations = 0;
    std::int64_t waits = 0;

    std::string failure;  // empty while the run is sound
};

// The host the sixteen functions serve.
void sim_host_activate(SimHost* host);
SimHost* sim_active_host();
void sim_host_init(SimHost& host);
struct SimScenario;
// What both simulators do before the plug-in loads: a fresh host and game for
// the scenario (frame length, texture delay, the Linux build's clock), made
// the host the sixteen functions serve.
void sim_host_start(SimHost& host, const SimScenario& scenario);
// Unregisters and frees every script (without running them again).
void sim_host_shutdown(SimHost& host);
HostApi sim_host_api();

// Resumes every registered script once; false once the run has failed.
bool sim_host_run_frame(SimHost& host);
// Records the first failure; a failing script never runs again.
void sim_fail(SimHost& host, const std::string& message);

// The sixteen functions, under plain names; the Windows substitute DLL exports
// them under the host's decorated names.
extern "C" {
void sim_keyboard_handler_register(KeyboardHandler handler);
void sim_keyboard_handler_unregister(KeyboardHandler handler);
void sim_script_wait(HostDword time);
void sim_script_register(HostModule module, ScriptProcedure procedure);
void sim_script_register_additional_thread(HostModule module, ScriptProcedure procedure);
void sim_script_unregister(HostModule module);
void sim_script_unregister_procedure(ScriptProcedure procedure);
void sim_native_init(std::uint64_t hash);
void sim_native_push64(std::uint64_t value);
std::uint64_t* sim_native_call();
std::uint64_t* sim_get_global_ptr(int id);
int sim_world_get_all_vehicles(int* array, int size);
int sim_world_get_all_peds(int* array, int size);
int sim_world_get_all_objects(int* array, int size);
int sim_world_get_all_pickups(int* array, int size);
HostByte* sim_get_script_handle_base_address(int handle);
HostGameVersion sim_get_game_version();
}
