#include "src/entry.h"

#include <cassert>

#include "src/core/plugin_context.h"
#include "src/features/features.h"
#include "src/platform/local_time.h"
#include "src/platform/log_file.h"
#include "src/script_main.h"
#include "src/state/state.h"

constexpr std::int32_t script_slot_count = 64;

extern "C" std::int32_t setup(ScriptProcedure* scripts, std::int32_t scripts_cap) {
    clear_runtime_globals(runtime_globals);
    clear_plugin_state(plugin_state);
    RunContext ctx = plugin_context();
    log_message(ctx, LogLevel::info, "Setup");
    // Whether this worked is not looked at: without a zone, dates show in UTC.
    runtime_globals.local_time_zone = load_local_time_zone(ctx.general);
    const std::int32_t script_count = 1;
    assert(scripts_cap >= script_count && "scripts_cap >= len(scripts)");
    if (scripts_cap < script_count) return 0;
    scripts[0] = script_main;
    features_at_setup(ctx);
    return script_count;
}

extern "C" void cleanup() {
    RunContext ctx = plugin_context();
    // A route still drawn is named in the log; changes that saves could not
    // write yet get one last try, or a line that says they are lost.
    features_at_unload(ctx, plugin_state);
    log_message(ctx, LogLevel::info, "Shutdown");
    if (runtime_globals.file_logger.data) file_logger_destroy(runtime_globals.file_logger, ctx.general);
    if (allocator_is_set(runtime_globals.allocation_tracker.backing))
        tracker_destroy(runtime_globals.allocation_tracker);
    scratch_release_all(thread_scratch_arena());
    // Made from the process heap at set-up; given back rather than forgotten.
    if (runtime_globals.local_time_zone) free_local_time_zone(runtime_globals.local_time_zone, ctx.general);
    clear_runtime_globals(runtime_globals);
    clear_plugin_state(plugin_state);
}

void plugin_process_attach(HostModule module, const HostApi& api) {
    host_api = api;
    ScriptProcedure scripts[script_slot_count] = {};
    const std::int32_t count = setup(scripts, script_slot_count);
    for (std::int32_t i = 0; i < count; ++i) host_api.scriptRegister(module, scripts[i]);
}

void plugin_process_detach(HostModule module) {
    cleanup();
    host_api.scriptUnregister(module);
}
