#include "src/settings/settings.h"

#include "src/map/blips.h"
#include "src/markers_file/marker_copies.h"
#include "src/markers_file/markers_folder.h"
#include "src/scripthook/natives.h"

// Sections: applying · reading · writing · the switches · the buttons.

// ---- applying -------------------------------------------------------------------------------

static void say_settings(RunContext& ctx, const Settings& s, bool even_defaults) {
    char text[256];
    TextBuilder b = text_builder(text, sizeof text);
    append_settings_differences(b, s);
    if (b.length > 0) {
        log_format(ctx, LogLevel::info, "Settings in force ({}): {}", settings_path, text_view(b));
    } else if (even_defaults) {
        log_format(ctx, LogLevel::info, "Settings in force ({}): every setting at its default", settings_path);
    }
}

// Puts `next` in force: the map follows what it hides and its limit, and a
// capture switched on takes only a waypoint set from now on.
static void apply_settings(RunContext& ctx, PluginState& state, const Settings& next, bool say_defaults) {
    Settings& now = state.settings.in_force;
    const bool changed = !settings_equal(now, next);
    if (now.capture_off && !next.capture_off && waypoint_active()) {
        // The waypoint in force was set while capture was off: remembered as handled.
        waypoint_capture.last_waypoint = waypoint_coords();
    }
    const bool map_changes =
        now.hidden_on_map != next.hidden_on_map || settings_blip_limit(now) != settings_blip_limit(next);
    now = next;
    if (map_changes) {
        choose_blips_again(state);
        state.blip_choice.said_limit = 0;  // the count changes: say it afresh
    }
    if (changed || say_defaults) say_settings(ctx, now, changed);
}

// ---- reading --------------------------------------------------------------------------------

static void log_complaint(void* data, std::string_view message) {
    log_format(*static_cast<RunContext*>(data), LogLevel::error, "{}", message);
}

static void remember_file(PluginState& state, const PlatformFileInfo& info) {
    state.settings.file_kind = info.kind;
    state.settings.file_modified_ns = info.modified_ns;
    state.settings.file_size = info.size;
}

static bool same_file(const PluginState& state, const PlatformFileInfo& info) {
    return info.kind == state.settings.file_kind && info.modified_ns == state.settings.file_modified_ns &&
           info.size == state.settings.file_size;
}

static void write_new_file(RunContext& ctx, PluginState& state) {
    char text[1024];
    TextBuilder b = text_builder(text, sizeof text);
    append_new_settings_text(b, state.settings.in_force);
    const PlatformError e = write_whole_file(settings_saving_path, settings_path, b.data, b.length, false);
    if (e.code != 0) {
        log_format(ctx, LogLevel::error,
                   "Could not write {} with the default settings: {}. Quillfen runs with its defaults; write the "
                   "file by hand (README.txt lists the keys) to change them",
                   settings_path, e);
        remember_file(state, platform_file_info(settings_path));
        return;
    }
    remember_file(state, platform_file_info(settings_path));
}

void load_settings(RunContext& ctx, PluginState& state) {
    state.settings.look_again_at_ns = platform_now_ns() + settings_look_ns;
    const SettingsFileRead r = read_settings_file(settings_path, ctx.general, log_complaint, &ctx);
    apply_settings(ctx, state, r.settings, false);
    if (r.state == SettingsFileState::missing) {
        write_new_file(ctx, state);
        return;
    }
    remember_file(state, r.info);
}

// Reads the file again when it changed since it was last read or written.
static void follow_file(RunContext& ctx, PluginState& state) {
    const PlatformFileInfo info = platform_file_info(settings_path);
    if (same_file(state, info)) return;
    const SettingsFileRead r = read_settings_file(settings_path, ctx.general, log_complaint, &ctx);
    remember_file(state, r.info);
    if (r.state == SettingsFileState::missing) {
        // Removed while the game runs: what is in force stays, and the next
        // start writes the file anew.
        log_format(ctx, LogLevel::info,
                   "{} was removed: the settings in force stay until the game quits, and the next start writes it "
                   "anew with the defaults",
                   settings_path);
        return;
    }
    apply_settings(ctx, state, r.settings, true);
}

void look_at_settings_file(RunContext& ctx, PluginState& state) {
    if (state.frame_time < state.settings.look_again_at_ns) return;
    state.settings.look_again_at_ns = state.frame_time + settings_look_ns;
    follow_file(ctx, state);
}

// ---- writing --------------------------------------------------------------------------------

static void say_not_written(RunContext& ctx, const char* why) {
    log_format(ctx, LogLevel::error, "Could not write the change into {}: {}. It holds until the game quits",
               settings_path, why);
}

// Writes `next`'s value of `key` into the file: only that key's line changes.
static void write_change(RunContext& ctx, PluginState& state, const Settings& next, SettingsKey key) {
    const PlatformFileInfo info = platform_file_info(settings_path);
    char* old_text = nullptr;
    std::size_t old_size = 0;
    if (info.kind == PlatformFileKind::regular && info.size <= settings_file_most_bytes) {
        const PlatformError e = platform_read_file(settings_path, ctx.general, &old_text, &old_size);
        if (e.code != 0 && !platform_error_is_not_found(e)) {
            char name[64];
            platform_error_name(e, name, sizeof name);
            say_not_written(ctx, name);
            return;
        }
    } else if (const char* what = obstacle_description(info.kind)) {
        say_not_written(ctx, what);
        return;
    } else if (info.kind != PlatformFileKind::missing) {
        say_not_written(ctx, "it is bigger than a settings file can be (65536 bytes)");
        return;
    }
    const std::size_t capacity = old_size + settings_line_room + 1024;
    char* buffer = static_cast<char*>(allocate_bytes(ctx.scratch, capacity, 1));
    if (!buffer) {
        if (old_text) free_bytes(ctx.general, old_text, old_size + 1);
        say_not_written(ctx, "out of memory");
        return;
    }
    TextBuilder b = text_builder(buffer, capacity);
    if (old_text) {
        append_settings_text_with(b, std::string_view(old_text, old_size), next, key);
        free_bytes(ctx.general, old_text, old_size + 1);
    } else {
        append_new_settings_text(b, next);
    }
    const PlatformError e = write_whole_file(settings_saving_path, settings_path, b.data, b.length, true);
    if (e.code != 0) {
        char name[64];
        platform_error_name(e, name, sizeof name);
        say_not_written(ctx, name);
        return;
    }
    remember_file(state, platform_file_info(settings_path));
}

// ---- the switches ---------------------------------------------------------------------------

static void switch_setting(RunContext& ctx, PluginState& state, Settings next, SettingsKey key) {
    write_change(ctx, state, next, key);
    apply_settings(ctx, state, next, true);
}

void toggle_capture(RunContext& ctx, PluginState& state) {
    follow_file(ctx, state);  // an edit by hand not yet read counts first
    Settings next = state.settings.in_force;
    next.capture_off = !next.capture_off;
    switch_setting(ctx, state, next, SettingsKey::capture_waypoints);
}

void toggle_category_hidden(RunContext& ctx, PluginState& state, std::int64_t category) {
    if (category < 0 || category >= settings_category_count) return;
    follow_file(ctx, state);
    Settings next = state.settings.in_force;
    next.hidden_on_map = static_cast<std::uint16_t>(next.hidden_on_map ^ (1u << category));
    switch_setting(ctx, state, next, SettingsKey::hidden_on_map);
}

// ---- the buttons ----------------------------------------------------------------------------

const Button capture_button{
    .control = control_capture,
    .text =
        [](const PluginState& state) { return state.settings.in_force.capture_off ? "Capture: Off" : "Capture: On"; },
    .turn = ButtonTurn::after_moving,
    .press =
        [](RunContext& ctx, PluginState& state) {
            toggle_capture(ctx, state);
            return true;
        },
    .sound = "SELECT",
};

// A search lists every category: which one a hide would mean is not what the
// page shows, so the switch waits until the search ends.
const Button hide_button{
    .control = control_hide,
    .text =
        [](const PluginState& state) {
            return settings_hides(state.settings.in_force, state.current_category) ? "Show on Map" : "Hide on Map";
        },
    .turn = ButtonTurn::after_moving,
    .enabled = [](const PluginState& state) { return !state.search.in_force; },
    .press =
        [](RunContext& ctx, PluginState& state) {
            toggle_category_hidden(ctx, state, state.current_category);
            return true;
        },
    .sound = "SELECT",
};
