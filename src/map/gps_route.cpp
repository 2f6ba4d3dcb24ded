#include "src/map/gps_route.h"

#include <cmath>
#include <cstring>

#include "src/base/text_builder.h"
#include "src/file_formats/marker_spacing.h"
#include "src/file_formats/settings_file.h"
#include "src/map/location_names.h"
#include "src/scripthook/game_hashes.h"
#include "src/scripthook/natives.h"

// The player's route_colour; its default is the game's red.
static_assert(route_colours[0].hash == GpsColour::COLOR_RED);
Hash route_colour(const PluginState& state) { return settings_route_colour_hash(state.settings.in_force); }

bool routable(const Marker& marker) { return position_is_finite(marker.data.position); }

// Keeps the place the routed marker is called by (a copy: the game's text
// does not last), cut at a character's start in the unlikely case it is longer.
static void keep_route_place(RunContext& ctx, PluginState& state) {
    char* kept = state.route.place;
    kept[0] = '\0';
    const char* place = marker_place(ctx, state, state.markers[state.route.marker], PlaceLookup::noted);
    if (!place) return;
    std::size_t n = std::strlen(place);
    if (n >= route_place_capacity) {
        n = route_place_capacity - 1;
        while (n > 0 && (static_cast<unsigned char>(place[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(kept, place, n);
    kept[n] = '\0';
}

bool start_route(RunContext& ctx, PluginState& state, std::size_t index) {
    if (index >= state.markers.length || !routable(state.markers[index])) return false;
    const Position& p = state.markers[index].data.position;
    // One route at a time: the game's multi-route is cleared before it is begun again.
    gps_route_clear();
    gps_route_start(route_colour(state), true, true);
    gps_route_add_point(p.x, p.y, p.z, false);
    gps_route_show(true);
    state.route.active = true;
    state.route.marker = index;
    state.route.since_check_ns = 0;
    keep_route_place(ctx, state);
    return true;
}

const char* routed_marker_label(const PluginState& state) {
    if (!state.route.active || state.route.marker >= state.markers.length) return "";
    const char* label = marker_label(state.categories, state.markers[state.route.marker], state.route.place);
    return label ? label : "";
}

bool route_waits_for_found(const PluginState& state) {
    if (!state.route.active || state.route.marker >= state.markers.length) return false;
    const MarkerDataV1& m = state.markers[state.route.marker].data;
    return marker_has_pack(m) && !m.is_found && settings_auto_found(state.settings.in_force);
}

bool route_leads_to(const PluginState& state, std::size_t index) {
    return state.route.active && state.route.marker == index;
}

void end_route(RunContext& ctx, PluginState& state, RouteEnd why) {
    if (!state.route.active) return;
    // The label before the line goes, while the marker is still there.
    const char* label = "";
    if (why == RouteEnd::arrived && state.route.marker < state.markers.length) {
        label = shown_marker_label(ctx, state, state.markers[state.route.marker], PlaceLookup::noted);
    }
    gps_route_clear();
    state.route.active = false;
    state.route.since_check_ns = 0;
    switch (why) {
        case RouteEnd::pressed: log_message(ctx, LogLevel::info, "Route cleared"); break;
        case RouteEnd::arrived: {
            log_format(ctx, LogLevel::info, "Arrived at {}: route cleared", label);
            char line[notice_capacity];
            TextBuilder b = text_builder(line, sizeof line);
            text_append(b, "Arrived at ");
            text_append(b, label);
            show_notice(state.notice, text_view(b), platform_now_ns(), NoticeSound::select);
            break;
        }
        case RouteEnd::marker_deleted:
            log_message(ctx, LogLevel::info, "The routed marker was deleted: route cleared");
            break;
        case RouteEnd::markers_loaded: log_message(ctx, LogLevel::info, "Markers loaded again: route cleared"); break;
        case RouteEnd::pack_complete: log_message(ctx, LogLevel::info, "Route cleared"); break;
    }
}

void check_route_arrival(RunContext& ctx, PluginState& state) {
    Route& r = state.route;
    if (!r.active) return;
    r.since_check_ns += state.frame_delta;
    if (r.since_check_ns < route_check_interval_ns) return;
    r.since_check_ns = 0;
    if (r.marker >= state.markers.length) return;  // kept right by every deletion; checked all the same
    // A collection's marker not found yet is reached when it is found
    // (src/collections), which walks the route on through its pack.
    if (route_waits_for_found(state)) return;
    const Position& m = state.markers[r.marker].data.position;
    const Position player = vector3_to_position(state.player_position);
    const float dx = m.x - player.x, dy = m.y - player.y;
    // A position that is no number is never reached: the comparison is false.
    if (dx * dx + dy * dy <= route_arrival_distance * route_arrival_distance) end_route(ctx, state, RouteEnd::arrived);
}

void route_marker_left_list(RunContext& ctx, PluginState& state, std::size_t index) {
    if (!state.route.active) return;
    if (state.route.marker == index) end_route(ctx, state, RouteEnd::marker_deleted);
    else if (state.route.marker > index) --state.route.marker;
}

void route_marker_renamed(RunContext& ctx, PluginState& state, std::size_t index) {
    // A marker never moves: a place kept already stays right.
    if (!route_leads_to(state, index) || index >= state.markers.length || state.route.place[0] != '\0') return;
    keep_route_place(ctx, state);
}

// ---- the button ------------------------------------------------------------------------------

// "Clear Route" while the selected row is the routed marker, else "Route".
static const char* route_text(const PluginState& state) {
    const std::int64_t index = selected_marker(state.list_page);
    return index >= 0 && route_leads_to(state, static_cast<std::size_t>(index)) ? "Clear Route" : "Route";
}

// The selected row's marker, when the map can show where it is.
static bool on_routable_row(const PluginState& state) {
    const std::int64_t selected = selected_marker(state.list_page);
    return selected >= 0 && routable(state.markers[static_cast<std::size_t>(selected)]);
}

// A press routes to the selected row's marker, or clears the route when it
// leads there already.
static bool route_pressed(RunContext& ctx, PluginState& state) {
    const std::int64_t selected = selected_marker(state.list_page);
    if (selected < 0) return false;
    const auto index = static_cast<std::size_t>(selected);
    if (route_leads_to(state, index)) {
        end_route(ctx, state, RouteEnd::pressed);
        return true;
    }
    if (!start_route(ctx, state, index)) return false;
    log_format(ctx, LogLevel::info, "Route to {} ({:d}m)", routed_marker_label(state),
               static_cast<std::int64_t>(whole_metres(std::sqrt(
                   distance_squared(state.markers[index].data.position, vector3_to_position(state.player_position))))));
    return true;
}

// Off on a row whose position the map cannot show.
const Button route_button{
    .control = control_route,
    .text = route_text,
    .turn = ButtonTurn::on_row,
    .enabled = on_routable_row,
    .enabled_each_tick = true,
    .press = route_pressed,
};

// ---- the route's row ---------------------------------------------------------------------------

void route_follows_list(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index) {
    if (change == MarkerListChange::removed) route_marker_left_list(ctx, state, index);
    if (change == MarkerListChange::renamed) route_marker_renamed(ctx, state, index);
    // A marker put back before the routed one moves it up.
    if (change == MarkerListChange::joined && state.route.active && state.route.marker >= index) ++state.route.marker;
    // A new list: its marker's index names another marker now.
    if (change == MarkerListChange::replaced) end_route(ctx, state, RouteEnd::markers_loaded);
}

void route_at_release(RunContext& ctx, PluginState& state) { end_route(ctx, state, RouteEnd::markers_loaded); }

void forget_route_at_unload(RunContext& ctx, PluginState& state) {
    if (!state.route.active) return;
    // No place lookup here, that would call the game: the place kept at the start.
    const char* label = routed_marker_label(state);
    state.route.active = false;
    log_format(ctx, LogLevel::error,
               "Unloading with the route to {} still on the map: the game takes no calls while Quillfen unloads, so "
               "it cannot be cleared now, and the game may show it until it restarts",
               label);
}
