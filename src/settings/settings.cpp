#include "src/settings/settings.h"

#include "src/file_formats/marker_copies.h"
#include "src/file_formats/markers_folder.h"
#include "src/map/blips.h"
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
    PlayerSettings& settings = state.settings;
    Settings& now = settings.in_force;
    const bool changed = !settings_equal(now, next);
    if (now.capture_off && !next.capture_off && waypoint_active()) {
        // The waypoint in force was set while capture was off: the capture
        // (src/markers/waypoint_capture) takes it as handled.
        settings.waypoint_at_capture_on = waypoint_coords();
        settings.capture_on_at_ns = platform_now_ns();
    }
    const bool map_changes =
        now.hidden_on_map != next.hidden_on_map || settings_blip_limit(now) != settings_blip_limit(next);
    const bool found_style_changes = settings_found_on_map(now) != settings_found_on_map(next);
    now = next;
    if (found_style_changes) blips_after_found_style_changed(state);
    else if (map_changes) blips_after_settings_changed(state);
    if (changed || say_defaults) say_settings(ctx, now, changed);
}

// What the file gives, with the switches that could not be written into it over it.
static Settings with_held_switches(const PlayerSettings& s, Settings next) {
    if (s.capture_held) next.capture_off = s.capture_off_held;
    next.hidden_on_map =
        static_cast<std::uint16_t>((next.hidden_on_map & ~s.hidden_held) | (s.hidden_held_bits & s.hidden_held));
    return next;
}

// ---- reading --------------------------------------------------------------------------------

static void log_complaint(void* data, std::string_view message) {
    log_format(*static_cast<RunContext*>(data), LogLevel::error, "{}", message);
}

static void remember_file(PluginState& state, const PlatformFileInfo& info) {
    PlayerSettings& s = state.settings;
    s.file_kind = info.kind;
    s.file_modified_ns = info.modified_ns;
    s.file_size = info.size;
    // A time this close to the clock may be shared by a rewrite of the same
    // size still to come (FAT32 keeps times to 2 s), and attributes that
    // cannot be read tell nothing: the next look reads the file, and its
    // bytes' hash tells whether it changed.
    s.read_again =
        info.kind == PlatformFileKind::unknown ||
        (info.kind == PlatformFileKind::regular && platform_now_ns() - info.modified_ns < settings_coarse_time_ns);
}

static void remember_text(PluginState& state, std::string_view text, std::uint32_t keys_set) {
    state.settings.file_hash = settings_text_hash(text);
    state.settings.file_hash_known = true;
    state.settings.file_keys_set = keys_set;
}

static bool same_file(const PluginState& state, const PlatformFileInfo& info) {
    return info.kind == state.settings.file_kind && info.modified_ns == state.settings.file_modified_ns &&
           info.size == state.settings.file_size;
}

static void look_soon(PluginState& state) {
    const std::int64_t soon = platform_now_ns() + settings_look_soon_ns;
    if (soon < state.settings.look_again_at_ns) state.settings.look_again_at_ns = soon;
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
    remember_text(state, text_view(b), settings_key_count);
    remember_file(state, platform_file_info(settings_path));
}

// Puts the file's text in force, unless it looks like a rewrite caught half
// way. An editor that saves in place empties the file and then writes it from
// the top, so a read meanwhile sees it empty or cut short: it then sets fewer
// keys with a value they take than the text in force did. Such a read is not
// put in force; the file is read again a second later, and bytes that are
// then the same are what the player saved (a key removed on purpose, a file
// emptied on purpose), put in force. Any other read is put in force at once,
// and looked at again soon: a text cut short that still sets as many keys is
// put right by the next read.
static void take_text(RunContext& ctx, PluginState& state, const SettingsFileText& t, bool at_start) {
    PlayerSettings& s = state.settings;
    const std::string_view text(t.text, t.size);
    if (!at_start && s.file_hash_known && t.hash == s.file_hash) {
        s.holding = false;  // the same bytes as in force: nothing to do
        return;
    }
    std::uint32_t keys_set = 0;
    (void)parse_settings(text, settings_path, nullptr, nullptr, &keys_set);
    if ((t.size == 0 || keys_set < s.file_keys_set) && !(s.holding && s.held_hash == t.hash)) {
        s.holding = true;
        s.held_hash = t.hash;
        s.read_again = true;
        look_soon(state);
        return;
    }
    s.holding = false;
    char line[512];
    TextBuilder b = text_builder(line, sizeof line);
    append_settings_file_fault(b, settings_path, t);  // a UTF-16 file
    if (b.length > 0) log_format(ctx, LogLevel::error, "{}", text_view(b));
    const Settings next = with_held_switches(s, parse_settings(text, settings_path, log_complaint, &ctx));
    s.file_hash = t.hash;
    s.file_hash_known = true;
    s.file_keys_set = keys_set;
    apply_settings(ctx, state, next, !at_start);
    if (!at_start) look_soon(state);
}

// What a read of the file gives: put in force, or what stands there said.
static void take_file(RunContext& ctx, PluginState& state, const SettingsFileText& t, bool at_start) {
    PlayerSettings& s = state.settings;
    if (t.state != SettingsFileState::unreadable) s.unreadable_said = false;
    if (t.state == SettingsFileState::read || t.state == SettingsFileState::missing) {
        s.fault_said = SettingsFileState::read;
    }
    switch (t.state) {
        case SettingsFileState::read:
            remember_file(state, t.info);
            take_text(ctx, state, t, at_start);
            return;
        case SettingsFileState::missing:
            s.holding = false;
            if (at_start) {
                write_new_file(ctx, state);
                return;
            }
            // Removed while the game runs: what is in force stays, and the
            // next start writes the file anew.
            remember_file(state, t.info);
            log_format(ctx, LogLevel::info,
                       "{} was removed: the settings in force stay until the game quits, and the next start writes "
                       "it anew with the defaults",
                       settings_path);
            return;
        case SettingsFileState::unreadable:
            remember_file(state, t.info);
            s.read_again = true;  // its attributes may not change when it can be read again
            if (!s.unreadable_said) look_soon(state);
            if (at_start) {
                char line[512];
                TextBuilder b = text_builder(line, sizeof line);
                append_settings_file_fault(b, settings_path, t);
                log_format(ctx, LogLevel::error, "{}", text_view(b));
            } else if (!s.unreadable_said) {
                // Held by another program for a moment, maybe: what is in force stays.
                char name[64];
                settings_read_error_name(t, name, sizeof name);
                log_format(ctx, LogLevel::error,
                           "Could not read {} ({}): the settings in force stay until it can be read", settings_path,
                           static_cast<const char*>(name));
            }
            s.unreadable_said = true;
            return;
        case SettingsFileState::not_a_file:
        case SettingsFileState::too_big: {
            s.holding = false;
            remember_file(state, t.info);
            // Looked at again (its time ahead of the clock, a folder whose
            // files change): the same obstacle is said once, and the switches
            // made since stay in force.
            if (s.fault_said == t.state && s.fault_said_kind == t.info.kind) return;
            s.fault_said = t.state;
            s.fault_said_kind = t.info.kind;
            char line[512];
            TextBuilder b = text_builder(line, sizeof line);
            append_settings_file_fault(b, settings_path, t);
            log_format(ctx, LogLevel::error, "{}", text_view(b));
            s.file_hash_known = false;
            s.file_keys_set = 0;
            Settings defaults{};
            settings_set_route_colour(defaults, 0);
            apply_settings(ctx, state, with_held_switches(s, defaults), !at_start);
            return;
        }
    }
}

void load_settings(RunContext& ctx, PluginState& state) {
    settings_set_route_colour(state.settings.in_force, 0);  // the defaults until the file says otherwise
    state.settings.look_again_at_ns = platform_now_ns() + settings_look_ns;
    SettingsFileText t = read_settings_text(settings_path, ctx.general);
    take_file(ctx, state, t, true);
    free_settings_text(t, ctx.general);
}

// Reads the file again when it changed since it was last read or written.
static void follow_file(RunContext& ctx, PluginState& state) {
    if (same_file(state, platform_file_info(settings_path)) && !state.settings.read_again) return;
    SettingsFileText t = read_settings_text(settings_path, ctx.general);
    take_file(ctx, state, t, false);
    free_settings_text(t, ctx.general);
}

void look_at_settings_file(RunContext& ctx, PluginState& state) {
    if (state.frame_time < state.settings.look_again_at_ns) return;
    state.settings.look_again_at_ns = state.frame_time + settings_look_ns;
    follow_file(ctx, state);
}

// ---- writing --------------------------------------------------------------------------------

static void say_not_written(RunContext& ctx, std::string_view why) {
    log_format(ctx, LogLevel::error, "Could not write the change into {}: {}. It holds until the game quits",
               settings_path, why);
}

static void say_error_not_written(RunContext& ctx, PlatformError e) {
    char why[160];
    TextBuilder b = text_builder(why, sizeof why);
    char name[64];
    platform_error_name(e, name, sizeof name);
    text_append(b, name);
    // Windows refuses to replace a read-only file, and one another program holds.
    if (platform_error_kind(e) == PlatformErrorKind::denied) {
        text_append(b, " (it may be read-only, or held by another program)");
    }
    say_not_written(ctx, text_view(b));
}

// Writes `next`'s value of `key` into the file: only that key's line changes.
// A file that cannot take the change whole is left as it is (false).
static bool write_change(RunContext& ctx, PluginState& state, const Settings& next, SettingsKey key) {
    if (state.settings.holding) {
        say_not_written(ctx, "another program seems to be writing it just now (it read shorter than before)");
        return false;
    }
    SettingsFileText t = read_settings_text(settings_path, ctx.general);
    char why[192];
    TextBuilder b = text_builder(why, sizeof why);
    if (t.info.kind == PlatformFileKind::unknown) {
        // Whether it is a file, a link or read-only cannot be told.
        char name[64];
        platform_error_name(t.info.error, name, sizeof name);
        text_append(b, "Quillfen cannot look at it (");
        text_append(b, name);
        text_append(b, ")");
    } else if (t.state == SettingsFileState::unreadable) {
        char name[64];
        if (t.out_of_memory) {
            text_append(b, "out of memory");
        } else {
            platform_error_name(t.error, name, sizeof name);
            text_append(b, name);
        }
    } else if (t.state == SettingsFileState::not_a_file) {
        text_append(b, obstacle_description(t.info.kind));
    } else if (t.state == SettingsFileState::too_big) {
        text_append(b, "it is bigger than a settings file can be (65536 bytes)");
    } else if (t.state == SettingsFileState::read && t.info.read_only) {
        text_append(b, "it is read-only; clear its read-only mark (Properties, Read-only) to have switches written");
    } else if (t.state == SettingsFileState::read && t.encoding != SettingsEncoding::utf8) {
        text_append(b,
                    "it is UTF-16 text; save it as UTF-8 (in Notepad: Save As, Encoding UTF-8) to have switches "
                    "written");
    }
    if (b.length > 0) {
        free_settings_text(t, ctx.general);
        say_not_written(ctx, text_view(b));
        return false;
    }
    const std::size_t capacity = t.size + settings_line_room + 1024;
    char* buffer = static_cast<char*>(allocate_bytes(ctx.scratch, capacity, 1));
    if (!buffer) {
        free_settings_text(t, ctx.general);
        say_not_written(ctx, "out of memory");
        return false;
    }
    TextBuilder out = text_builder(buffer, capacity);
    if (t.state == SettingsFileState::missing) {
        append_new_settings_text(out, next);
    } else {
        std::size_t would_be = 0;
        const SettingsRewrite r = rewrite_settings_text(out, std::string_view(t.text, t.size), next, key, &would_be);
        if (r == SettingsRewrite::too_big) {
            free_settings_text(t, ctx.general);
            text_append(b, "with it the file would be ");
            text_append_u64(b, would_be);
            text_append(b,
                        " bytes, more than a settings file can be (65536); remove comments or blank lines to make "
                        "room");
            say_not_written(ctx, text_view(b));
            return false;
        }
    }
    free_settings_text(t, ctx.general);
    const PlatformError e = write_whole_file(settings_saving_path, settings_path, out.data, out.length, true);
    if (e.code != 0) {
        say_error_not_written(ctx, e);
        return false;
    }
    std::uint32_t keys_set = 0;
    (void)parse_settings(text_view(out), settings_path, nullptr, nullptr, &keys_set);
    remember_text(state, text_view(out), keys_set);
    remember_file(state, platform_file_info(settings_path));
    return true;
}

// ---- the switches ---------------------------------------------------------------------------

static void switch_setting(RunContext& ctx, PluginState& state, Settings next, SettingsKey key) {
    PlayerSettings& s = state.settings;
    const bool written = write_change(ctx, state, next, key);
    if (key == SettingsKey::capture_waypoints) {
        s.capture_held = !written;
        s.capture_off_held = next.capture_off;
    } else if (key == SettingsKey::hidden_on_map) {
        // A line written holds every category in force, those held before too.
        const auto switched = static_cast<std::uint16_t>(s.in_force.hidden_on_map ^ next.hidden_on_map);
        s.hidden_held = written ? 0 : static_cast<std::uint16_t>(s.hidden_held | switched);
        s.hidden_held_bits =
            static_cast<std::uint16_t>((s.hidden_held_bits & ~switched) | (next.hidden_on_map & switched));
    }
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
    .turn = ButtonTurn::ring,
    .press =
        [](RunContext& ctx, PluginState& state) {
            toggle_capture(ctx, state);
            return true;
        },
    .sound = "SELECT",
};

// On the ring, for the tile selected there (a search, which lists every
// category, ends as the full menu closes, so none is in force here).
const Button hide_button{
    .control = control_hide,
    .text =
        [](const PluginState& state) {
            return settings_hides(state.settings.in_force, state.current_category) ? "Show on Map" : "Hide on Map";
        },
    .turn = ButtonTurn::ring,
    .press =
        [](RunContext& ctx, PluginState& state) {
            toggle_category_hidden(ctx, state, state.current_category);
            return true;
        },
    .sound = "SELECT",
};
