#include "src/script_main.h"

#include "src/core/plugin_context.h"
#include "src/features/features.h"
#include "src/scripthook/host_api.h"
#include "src/scripthook/native_call.h"
#include "src/scripthook/natives.h"

void report_leaks(const RunContext& ctx, AllocationTracker& tracker) {
    tracker_for_each(tracker, [&](const TrackedAllocation& r) {
        // Intended: the message ends in a line feed of its own, so a blank line
        // follows each leak line in the log.
        log_format(ctx, LogLevel::error, "{} leaked {:size}\n", r.where, static_cast<std::uint64_t>(r.size));
    });
    tracker_clear(tracker);
}

// What the last run left: the category table, then each feature's part.
static void release_previous_run(RunContext& ctx, PluginState& state) {
    if (state.categories.data) array_free(state.categories);
    features_at_release(ctx, state);
}

void script_start(RunContext& ctx, PluginState& state) {
    scratch_release(thread_scratch_arena());
    log_message(ctx, LogLevel::info, "Script starting");
    release_previous_run(ctx, state);
    clear_plugin_state(state);
    report_leaks(ctx, runtime_globals.allocation_tracker);

    if (array_reserve(state.categories, ctx.general, category_table_size)) {
        for (const MarkerCategory& row : category_table) array_append(state.categories, ctx.general, row);
    }
    features_at_start(ctx, state);

    state.last_frame_time = platform_now_ns();
}

void update_game_window(PluginState& state) {
    if (state.game_window == nullptr) state.game_window = platform_find_window(game_window_title);
    std::int32_t width = 0, height = 0;
    if (state.game_window != nullptr && platform_client_size(state.game_window, &width, &height)) {
        state.screen_width = width;
        state.screen_height = height;
    } else {
        state.screen_width = 1920;
        state.screen_height = 1080;
        state.game_window = nullptr;
    }
    if (state.screen_width == 0 || state.screen_height == 0) {
        state.screen_aspect = 0.5625f;
    } else {
        state.screen_aspect = static_cast<float>(state.screen_height) / static_cast<float>(state.screen_width);
    }
}

void script_frame(RunContext& ctx, PluginState& state) {
    state.frame_natives_from = native_calls_begun;
    state.frame_time = platform_now_ns();
    state.frame_delta = state.frame_time - state.last_frame_time;
    update_game_window(state);
    state.player_position = entity_position(player_character(), true, true);
    features_each_frame(ctx, state);
    state.last_frame_time = state.frame_time;
    scratch_release(thread_scratch_arena());
}

void script_main() {
    RunContext ctx = plugin_context();
    ctx.general = tracker_allocator(runtime_globals.allocation_tracker);
    script_start(ctx, plugin_state);
    for (;;) {
        host_api.scriptWait(0);
        script_frame(ctx, plugin_state);
    }
}
