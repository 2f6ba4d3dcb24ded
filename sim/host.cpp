#include "sim/host.h"

#include "sim/scenario.h"

#include <cstdio>
#include <cstring>

// Sections: activation · failure · scheduling · native calls · never-called functions.

static SimHost* active = nullptr;

// ---- activation -----------------------------------------------------------------------

void sim_host_activate(SimHost* host) { active = host; }
SimHost* sim_active_host() { return active; }

void sim_host_init(SimHost& host) {
    sim_fibers_init();
    sim_game_init(host.game);
}

void sim_host_start(SimHost& host, const SimScenario& scenario) {
    sim_host_init(host);
    host.game.frame_ns = scenario.frame_ns;
    host.game.clock_ns = scenario.start_time_ns;
    host.game.texture_load_frames = scenario.texture_load_frames;
    sim_host_activate(&host);
}

void sim_host_shutdown(SimHost& host) {
    for (SimScript* s : host.scripts) {
        sim_fiber_destroy(s->fiber);
        delete s;
    }
    host.scripts.clear();
}

HostApi sim_host_api() {
    return HostApi{sim_keyboard_handler_register,
                   sim_keyboard_handler_unregister,
                   sim_script_wait,
                   sim_script_register,
                   sim_script_register_additional_thread,
                   sim_script_unregister,
                   sim_native_init,
                   sim_native_push64,
                   sim_native_call,
                   sim_get_global_ptr,
                   sim_world_get_all_vehicles,
                   sim_world_get_all_peds,
                   sim_world_get_all_objects,
                   sim_world_get_all_pickups,
                   sim_get_script_handle_base_address,
                   sim_get_game_version};
}

// ---- failure ----------------------------------------------------------------------------

void sim_fail(SimHost& host, const std::string& message) {
    if (host.failure.empty()) {
        host.failure = "frame " + std::to_string(host.game.frame) + ": " + message;
        std::fprintf(stderr, "quillfen-sim: FAILED: %s\n", host.failure.c_str());
    }
    // Like the real host, a script that broke the rules does not go on; the
    // fiber is left suspended for good.
    if (sim_fiber_running()) sim_fiber_yield();
}

static SimHost& host_or_die(const char* function) {
    if (!active) {
        std::fprintf(stderr, "quillfen-sim: %s called with no active host\n", function);
        std::abort();
    }
    return *active;
}

// ---- scheduling ---------------------------------------------------------------------------

static void script_entry(void* argument) {
    auto* script = static_cast<SimScript*>(argument);
    script->procedure();
    script->returned = true;
    if (active) sim_fail(*active, "a script's main procedure returned; it must loop forever");
}

bool sim_host_run_frame(SimHost& host) {
    if (!host.failure.empty()) return false;
    sim_game_begin_frame(host.game);
    // Scripts registered during the frame start in the next one.
    const std::vector<SimScript*> scripts = host.scripts;
    for (SimScript* s : scripts) {
        if (!host.failure.empty()) break;
        if (s->returned) continue;
        if (!s->fiber) {
            s->fiber = sim_fiber_create(script_entry, s, 1024 * 1024);
            if (!s->fiber) {
                sim_fail(host, "could not create a script fiber");
                break;
            }
        }
        host.current_script = s;
        sim_fiber_resume(s->fiber);
        host.current_script = nullptr;
        if (host.call_open && host.failure.empty()) sim_fail(host, "a script yielded in the middle of a native call");
    }
    sim_game_end_frame(host.game);
    ++host.game.frame;
    return host.failure.empty();
}

extern "C" void sim_script_wait(HostDword) {
    SimHost& host = host_or_die("scriptWait");
    if (!sim_fiber_running()) {
        sim_fail(host, "scriptWait called outside a script");
        return;
    }
    ++host.waits;
    sim_fiber_yield();
}

extern "C" void sim_script_register(HostModule module, ScriptProcedure procedure) {
    SimHost& host = host_or_die("scriptRegister");
    ++host.script_registrations;
    host.scripts.push_back(new SimScript{module, procedure, nullptr, false});
}

extern "C" void sim_script_register_additional_thread(HostModule module, ScriptProcedure procedure) {
    sim_script_register(module, procedure);
}

extern "C" void sim_script_unregister(HostModule module) {
    SimHost& host = host_or_die("scriptUnregister");
    ++host.script_unregistrations;
    for (auto it = host.scripts.begin(); it != host.scripts.end();) {
        if ((*it)->module == module) {
            if (*it == host.current_script) {
                sim_fail(host, "a script unregistered itself while running");
                return;
            }
            sim_fiber_destroy((*it)->fiber);
            delete *it;
            it = host.scripts.erase(it);
        } else {
            ++it;
        }
    }
}

extern "C" void sim_script_unregister_procedure(ScriptProcedure procedure) {
    SimHost& host = host_or_die("scriptUnregister");
    for (SimScript* s : host.scripts) {
        if (s->procedure == procedure) sim_script_unregister(s->module);
    }
}

extern "C" void sim_keyboard_handler_register(KeyboardHandler) {
    sim_fail(host_or_die("keyboardHandlerRegister"), "keyboardHandlerRegister is bound but must never be called");
}

extern "C" void sim_keyboard_handler_unregister(KeyboardHandler) {
    sim_fail(host_or_die("keyboardHandlerUnregister"), "keyboardHandlerUnregister is bound but must never be called");
}

// ---- native calls -------------------------------------------------------------------------

static std::string hex64(std::uint64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%016llX", static_cast<unsigned long long>(v));
    return buf;
}

extern "C" void sim_native_init(std::uint64_t hash) {
    SimHost& host = host_or_die("nativeInit");
    if (!sim_fiber_running()) {
        sim_fail(host, "native " + hex64(hash) + " called outside the script fiber");
        return;
    }
    if (host.call_open) {
        sim_fail(host, "nativeInit(" + hex64(hash) + ") while native " + hex64(host.call_hash) + " was still open");
        return;
    }
    host.call_open = true;
    host.call_hash = hash;
    host.call_args.clear();
}

extern "C" void sim_native_push64(std::uint64_t value) {
    SimHost& host = host_or_die("nativePush64");
    if (!host.call_open) {
        sim_fail(host, "nativePush64 without nativeInit");
        return;
    }
    host.call_args.push_back(value);
}

static std::string check_call(const SimNativeSignature& sig, const std::vector<std::uint64_t>& args) {
    const bool variadic = sig.arg_count > 0 && sig.args[sig.arg_count - 1] == SimArgKind::variadic;
    const std::size_t fixed = variadic ? sig.arg_count - 1 : sig.arg_count;
    if (variadic ? args.size() < fixed + 1 : args.size() != fixed) {
        return std::string(sig.name) + " (" + sig.game_name + ") takes " + (variadic ? "at least " : "") +
               std::to_string(variadic ? fixed + 1 : fixed) + " arguments, got " + std::to_string(args.size());
    }
    for (std::size_t i = 0; i < fixed; ++i) {
        if (!sim_arg_is_32bit(sig.args[i])) continue;
        const auto low = static_cast<std::uint32_t>(args[i]);
        const auto high = static_cast<std::uint32_t>(args[i] >> 32);
        if (low != high) {
            return std::string(sig.name) + " argument " + std::to_string(i) + " is 32-bit but was pushed as " +
                   hex64(args[i]) + " (halves differ)";
        }
    }
    return {};
}

static void record(SimHost& host, const SimNativeSignature& sig, const SimNativeCall& call) {
    SimTraceEntry e;
    e.frame = host.game.frame;
    e.signature = &sig;
    e.args = host.call_args;
    e.texts.resize(e.args.size());
    e.text_present.resize(e.args.size());
    for (std::size_t i = 0; i < e.args.size(); ++i) {
        const SimArgKind kind = i < sig.arg_count ? sig.args[i] : SimArgKind::variadic;
        if (kind == SimArgKind::text || kind == SimArgKind::variadic ||
            (sig.arg_count && sig.args[sig.arg_count - 1] == SimArgKind::variadic && i >= sig.arg_count - 1)) {
            const char* t = call.text(i);
            e.text_present[i] = t != nullptr;
            if (t) e.texts[i] = t;
        }
    }
    std::memcpy(e.result, call.result, sizeof e.result);
    if (sig.result == SimResultKind::text && call.result[0] != 0) {
        e.result_text_copy = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(call.result[0]));
        e.result_text = e.result_text_copy.c_str();
    }
    e.wrote_f32 = call.wrote_f32;
    e.written_f32 = call.written_f32;
    host.trace.push_back(std::move(e));
}

extern "C" std::uint64_t* sim_native_call() {
    SimHost& host = host_or_die("nativeCall");
    std::memset(host.call_result, 0, sizeof host.call_result);
    if (!host.call_open) {
        sim_fail(host, "nativeCall without nativeInit");
        return host.call_result;
    }
    host.call_open = false;
    const SimNative* native = sim_find_native(host.call_hash);
    if (!native) {
        // The real host ends the game here.
        sim_fail(host, "unknown native hash " + hex64(host.call_hash));
        return host.call_result;
    }
    const SimNativeSignature* sig = &native->signature;
    if (std::string problem = check_call(*sig, host.call_args); !problem.empty()) {
        sim_fail(host, problem);
        return host.call_result;
    }
    SimNativeCall call{native, host.call_args.data(), host.call_args.size(), {}, false, 0.0f};
    std::uint64_t handle_before = 0;
    for (std::size_t i = 0; i < sig->arg_count; ++i) {
        if (sig->args[i] == SimArgKind::handle_pointer && call.args[i] != 0) {
            handle_before = *reinterpret_cast<const std::uint64_t*>(static_cast<std::uintptr_t>(call.args[i]));
        }
    }
    sim_game_answer(host.game, call);
    ++host.native_calls;
    if (host.tracing) {
        record(host, *sig, call);
        host.trace.back().handle_before = handle_before;
    }
    std::memcpy(host.call_result, call.result, sizeof host.call_result);
    return host.call_result;
}

// ---- never-called functions ---------------------------------------------------------------
// Bound by the plug-in but never called; a call is a fault worth seeing.

extern "C" std::uint64_t* sim_get_global_ptr(int) {
    sim_fail(host_or_die("getGlobalPtr"), "getGlobalPtr is bound but must never be called");
    return nullptr;
}
extern "C" int sim_world_get_all_vehicles(int*, int) {
    sim_fail(host_or_die("worldGetAllVehicles"), "worldGetAllVehicles is bound but must never be called");
    return 0;
}
extern "C" int sim_world_get_all_peds(int*, int) {
    sim_fail(host_or_die("worldGetAllPeds"), "worldGetAllPeds is bound but must never be called");
    return 0;
}
extern "C" int sim_world_get_all_objects(int*, int) {
    sim_fail(host_or_die("worldGetAllObjects"), "worldGetAllObjects is bound but must never be called");
    return 0;
}
extern "C" int sim_world_get_all_pickups(int*, int) {
    sim_fail(host_or_die("worldGetAllPickups"), "worldGetAllPickups is bound but must never be called");
    return 0;
}
extern "C" HostByte* sim_get_script_handle_base_address(int) {
    sim_fail(host_or_die("getScriptHandleBaseAddress"), "getScriptHandleBaseAddress is bound but must never be called");
    return nullptr;
}
extern "C" HostGameVersion sim_get_game_version() {
    sim_fail(host_or_die("getGameVersion"), "getGameVersion is bound but must never be called");
    return HostGameVersion{};
}
