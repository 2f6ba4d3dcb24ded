#include "src/collections/collections.h"

#include <cmath>
#include <cstring>

#include "src/file_formats/settings_file.h"
#include "src/map/gps_route.h"
#include "src/markers/marker_editing.h"
#include "src/markers/marker_persistence.h"
#include "src/markers/markers_on_disk.h"

// Sections: progress · found · the walk · the row · the button.

// ---- progress ---------------------------------------------------------------------------------

static bool same_pack(const MarkerDataV1& m, const char* pack) {
    return marker_has_pack(m) && std::strcmp(m.pack, pack) == 0;
}

PackProgress pack_progress(const PluginState& state, const char* pack) {
    PackProgress p{0, 0};
    if (!has_text(pack)) return p;
    for (const Marker& m : state.markers) {
        if (!same_pack(m.data, pack)) continue;
        ++p.total;
        p.found += m.data.is_found ? 1 : 0;
    }
    return p;
}

// "Dinosaur bones: 12 of 30 found", cut at a character's start when the room ends.
static void append_progress(TextBuilder& b, const char* pack, PackProgress p) {
    text_append(b, pack);
    text_append(b, ": ");
    text_append_i64(b, p.found);
    text_append(b, " of ");
    text_append_i64(b, p.total);
    text_append(b, " found");
    if (!b.truncated) return;
    std::size_t n = b.length;
    while (n > 0 && (static_cast<unsigned char>(b.data[n]) & 0xC0) == 0x80) --n;
    b.length = n;
    b.data[n] = '\0';
}

// What the log and the list call a marker, without asking the game for a place:
// its name, else its category's name.
static const char* label_of(const PluginState& state, const Marker& m) {
    const char* label = marker_label(state.categories, m, nullptr);
    return label ? label : "a marker";
}

// ---- found ------------------------------------------------------------------------------------

bool reached(const Marker& marker, const Position& player, float range) {
    const MarkerDataV1& m = marker.data;
    if (!marker_has_pack(m) || m.is_found) return false;  // a player's own markers are never found by arrival
    const float dx = m.position.x - player.x, dy = m.position.y - player.y, dz = m.position.z - player.z;
    // A position that is no number is never reached: the comparisons are false.
    return dx * dx + dy * dy <= range * range && std::fabs(dz) <= found_height;
}

static void walk_on(RunContext& ctx, PluginState& state, std::size_t from);

// "PACK complete: N of N found", in the log and on screen.
static void say_complete(RunContext& ctx, PluginState& state, const char* pack, PackProgress p) {
    log_format(ctx, LogLevel::info, "{} complete: {:d} of {:d} found", pack, p.found, p.total);
    char line[notice_capacity];
    TextBuilder n = text_builder(line, sizeof line);
    text_append(n, pack);
    text_append(n, " complete: ");
    text_append_i64(n, p.found);
    text_append(n, " of ");
    text_append_i64(n, p.total);
    text_append(n, " found");
    show_notice(state.notice, text_view(n), platform_now_ns(), NoticeSound::select);
}

// Logs the change of the marker at `index` and walks a route to it on.
static void say_found(RunContext& ctx, PluginState& state, std::size_t index, bool routed_here) {
    const Marker& m = state.markers[index];
    const char* label = label_of(state, m);
    const char* what = m.data.is_found ? "Found" : "Marked as not found:";
    if (!marker_has_pack(m.data)) {
        log_format(ctx, LogLevel::info, "{} {}", what, label);
        return;
    }
    if (markers_file_unread(state)) {
        // The list holds the backup's copy of the pack, which need not be the
        // file's: counted once the file is read (collections_follow_late_read).
        log_format(ctx, LogLevel::info, "{} {} ({}: counted once {} can be read)", what, label, m.data.pack,
                   markers_path);
        if (routed_here) walk_on(ctx, state, index);
        return;
    }
    const PackProgress p = pack_progress(state, m.data.pack);
    char buffer[pack_progress_capacity];
    TextBuilder b = text_builder(buffer, sizeof buffer);
    append_progress(b, m.data.pack, p);
    log_format(ctx, LogLevel::info, "{} {} ({})", what, label, buffer);
    if (!m.data.is_found) return;
    if (p.found == p.total) say_complete(ctx, state, m.data.pack, p);
    if (routed_here) walk_on(ctx, state, index);
}

void collections_follow_late_read(RunContext& ctx, PluginState& state) {
    const LateRead& late = state.persistence.late_read;
    for (std::size_t i = 0; i < late.edited.length; ++i) {
        const LateReadEdit& e = late.edited[i];
        if (!e.found || e.deleted || !marker_has_pack(e.file_version)) continue;
        // Once per pack, for its first marker found or not found meanwhile.
        bool said = false;
        for (std::size_t j = 0; j < i && !said; ++j) {
            const LateReadEdit& before = late.edited[j];
            said = before.found && !before.deleted && same_pack(before.file_version, e.file_version.pack);
        }
        if (said) continue;
        const PackProgress p = pack_progress(state, e.file_version.pack);
        char buffer[pack_progress_capacity];
        TextBuilder b = text_builder(buffer, sizeof buffer);
        append_progress(b, e.file_version.pack, p);
        log_format(ctx, LogLevel::info, "{}, counted in {} as read at last", buffer, markers_path);
        if (p.total > 0 && p.found == p.total) say_complete(ctx, state, e.file_version.pack, p);
    }
}

bool mark_found(RunContext& ctx, PluginState& state, std::size_t index, bool found) {
    // Whether the route waited for this marker, asked before it is found.
    const bool routed_here = route_leads_to(state, index) && route_waits_for_found(state);
    if (!set_marker_found(ctx, state, index, found)) return false;
    say_found(ctx, state, index, routed_here);
    save_data_to_disk(ctx, state);
    return true;
}

// ---- the walk ---------------------------------------------------------------------------------

// The route led to the marker at `from`, found now: on to the nearest of its
// pack not found yet, or cleared once the pack is complete.
static void walk_on(RunContext& ctx, PluginState& state, std::size_t from) {
    const MarkerDataV1& done = state.markers[from].data;
    const Position player = vector3_to_position(state.player_position);
    std::size_t next = state.markers.length;
    float nearest = 0.0f;
    for (std::size_t i = 0; i < state.markers.length; ++i) {
        const Marker& m = state.markers[i];
        if (i == from || m.data.is_found || !same_pack(m.data, done.pack) || !routable(m)) continue;
        const float d = distance_squared(m.data.position, player);
        if (next == state.markers.length || d < nearest) {
            next = i;
            nearest = d;
        }
    }
    if (next == state.markers.length || !start_route(ctx, state, next)) {
        end_route(ctx, state, RouteEnd::pack_complete);
        return;
    }
    const char* pack = state.markers[next].data.pack;
    const char* label = label_of(state, state.markers[next]);
    const auto metres = static_cast<std::int64_t>(whole_metres(std::sqrt(nearest)));
    log_format(ctx, LogLevel::info, "Next in {}: {} ({:d}m)", pack, label, metres);
    char line[notice_capacity];
    TextBuilder n = text_builder(line, sizeof line);
    text_append(n, "Next in ");
    text_append(n, pack);
    text_append(n, ": ");
    text_append(n, label);
    text_append(n, " (");
    text_append_i64(n, metres);
    text_append(n, "m)");
    show_notice(state.notice, text_view(n), platform_now_ns(), NoticeSound::select);
}

// ---- the row ----------------------------------------------------------------------------------

void find_markers_reached(RunContext& ctx, PluginState& state) {
    Collections& c = state.collections;
    c.since_look_ns += state.frame_delta > 0 ? state.frame_delta : 0;
    if (c.since_look_ns < found_look_interval_ns) return;
    c.since_look_ns = 0;
    const Settings& s = state.settings.in_force;
    if (!settings_auto_found(s)) return;
    const Position player = vector3_to_position(state.player_position);
    const auto range = static_cast<float>(settings_found_range(s));
    // Each marker reached is found and said; the list is saved once for all of them.
    bool any = false;
    for (std::size_t i = 0; i < state.markers.length; ++i) {
        if (!reached(state.markers[i], player, range)) continue;
        const bool routed_here = route_leads_to(state, i) && route_waits_for_found(state);
        if (!set_marker_found(ctx, state, i, true)) continue;
        any = true;
        say_found(ctx, state, i, routed_here);
    }
    if (any) save_data_to_disk(ctx, state);
}

void collections_follow_list(RunContext&, PluginState& state, MarkerListChange, std::size_t) {
    state.collections.progress_stale = true;
}

void collections_at_start(RunContext&, PluginState& state) { state.collections.progress_of = -1; }

const char* selected_pack_progress(PluginState& state) {
    Collections& c = state.collections;
    const std::int64_t selected = selected_marker(state.list_page);
    if (selected < 0 || static_cast<std::size_t>(selected) >= state.markers.length) return nullptr;
    const MarkerDataV1& m = state.markers[static_cast<std::size_t>(selected)].data;
    if (!marker_has_pack(m)) return nullptr;
    if (c.progress_of != selected || c.progress_stale) {
        TextBuilder b = text_builder(c.progress, sizeof c.progress);
        append_progress(b, m.pack, pack_progress(state, m.pack));
        c.progress_of = selected;
        c.progress_stale = false;
    }
    return c.progress;
}

// ---- the button -------------------------------------------------------------------------------

static const char* found_text(const PluginState& state) {
    const std::int64_t selected = selected_marker(state.list_page);
    return selected >= 0 && state.markers[static_cast<std::size_t>(selected)].data.is_found ? "Not Found" : "Found";
}

static bool on_a_row(const PluginState& state) { return selected_marker(state.list_page) >= 0; }

static bool found_pressed(RunContext& ctx, PluginState& state) {
    const std::int64_t selected = selected_marker(state.list_page);
    if (selected < 0) return false;
    const auto index = static_cast<std::size_t>(selected);
    return mark_found(ctx, state, index, !state.markers[index].data.is_found);
}

const Button found_button{
    .control = control_found,  // its key and pad button in README.txt
    .text = found_text,        // "Found" or "Not Found"
    .turn = ButtonTurn::on_row,
    .enabled = on_a_row,
    .press = found_pressed,
};
