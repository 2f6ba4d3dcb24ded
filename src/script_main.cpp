#include "src/script_main.h"

#include "src/base/calendar.h"
#include "src/core/plugin_context.h"
#include "src/map/blips.h"
#include "src/map/gps_route.h"
#include "src/markers/marker_list.h"
#include "src/markers/marker_packs.h"
#include "src/markers/marker_persistence.h"
#include "src/markers/waypoint_capture.h"
#include "src/menu/menu.h"
#include "src/menu/prompts.h"
#include "src/scripthook/host_api.h"
#include "src/scripthook/native_call.h"
#include "src/scripthook/natives.h"
#include "src/settings/settings.h"

void report_leaks(const RunContext& ctx, AllocationTracker& tracker) {
    tracker_for_each(tracker, [&](const TrackedAllocation& r) {
        // Intended: the message ends in a line feed of its own, so a blank line
        // follows each leak line in the log.
        log_format(ctx, LogLevel::error, "{} leaked {:size}\n", r.where, static_cast<std::uint64_t>(r.size));
    });
    tracker_clear(tracker);
}

static void release_previous_run(const RunContext& ctx, PluginState& state) {
    if (state.categories.data) array_free(state.categories);
    if (state.markers.data) free_marker_list(ctx, state, state.markers);
    if (state.category_page.tiles.data) {
        free_array(ctx.general, state.category_page.tiles.data, state.category_page.tiles.length);
    }
    if (state.list_page.rows.data) array_free(state.list_page.rows);
    if (state.search.found.data) array_free(state.search.found);
    forget_waiting_packs(ctx, state);
    if (state.edited_meanwhile.data) array_free(state.edited_meanwhile);
    free_blip_choice(state.blip_choice);
}

void script_start(RunContext& ctx, PluginState& state) {
    scratch_release(thread_scratch_arena());
    log_message(ctx, LogLevel::info, "Script starting");
    // The last run's route leads to a marker of the list loaded again below.
    end_route(ctx, state, RouteEnd::markers_loaded);
    release_previous_run(ctx, state);
    clear_plugin_state(state);
    state.list_page.rename_marker_index = -1;
    report_leaks(ctx, runtime_globals.allocation_tracker);

    if (array_reserve(state.categories, ctx.general, category_table_size)) {
        for (const MarkerCategory& row : category_table) array_append(state.categories, ctx.general, row);
    }
    // One zeroed tile per category: the category page animates them.
    if (ScreenRect* tiles = allocate_array<ScreenRect>(ctx.general, state.categories.length)) {
        for (std::size_t i = 0; i < state.categories.length; ++i) tiles[i] = ScreenRect{};
        state.category_page.tiles = TileSlice{tiles, state.categories.length};
    }
    load_data_from_disk(ctx, state);
    import_marker_packs(ctx, state);
    load_settings(ctx, state);
    create_prompts(state);

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

double blend_backdrop(double strength, std::int64_t menu_state, std::int64_t frame_delta_ns) {
    const bool full = menu_state == MENU_FULL;
    const double target = full ? 1.0 : 0.0;
    const double rate = full ? 30.0 : 15.0;
    double t = rate * seconds_from_ns(frame_delta_ns);
    if (t < 0.0) t = 0.0;
    if (t > 1.0) t = 1.0;
    return strength * (1.0 - t) + target * t;
}

static void update_backdrop(PluginState& state) {
    state.menu.backdrop_strength = blend_backdrop(state.menu.backdrop_strength, state.menu.state, state.frame_delta);
    if (state.menu.backdrop_strength < 0.001) {
        state.menu.backdrop_strength = 0.0;
        screen_effect_stop(backdrop_effect);
    } else {
        screen_effect_start(backdrop_effect);
        screen_effect_set_strength(backdrop_effect, static_cast<float>(state.menu.backdrop_strength));
        screen_effect_set_params(backdrop_effect, 0, 255, 255, 0, 255);
    }
}

void script_frame(RunContext& ctx, PluginState& state) {
    state.frame_natives_from = native_calls_begun;
    state.frame_time = platform_now_ns();
    state.frame_delta = state.frame_time - state.last_frame_time;
    update_game_window(state);
    state.player_position = entity_position(player_character(), true, true);
    float since_last_check = 0.0f;
    if (waypoint_check_due(waypoint_capture.waypoint_check_timer, state.frame_delta, since_last_check)) {
        check_waypoint_and_create_marker(ctx, state, since_last_check);
    }
    check_route_arrival(ctx, state);
    retry_failed_save(ctx, state);
    look_at_settings_file(ctx, state);
    // Intended: the menu tick runs twice a frame, and the second repeats every
    // test of the first. Whatever the game answers to a repeat, a press acts
    // once (the state's `presses`); the simulator plays each answer
    // (docs/simulator.md, `repeat_answers`).
    update_gui(ctx, state);
    update_gui(ctx, state);
    update_backdrop(state);
    request_texture_dictionary("BLIPS", false);
    request_texture_dictionary("BLIPS_MP", false);
    refresh_marker_blips(ctx, state);
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
