// The GPS route to one marker: started from the list, ended by the player, on
// arrival, when its marker is deleted or the markers are loaded again. Its
// state is `PluginState::route` (route_state.h).
#pragma once

#include <cstddef>

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/scripthook/game_hashes.h"
#include "src/scripthook/types.h"
#include "src/state/state.h"

// Why a route ends; each says so in the log.
enum class RouteEnd : std::uint8_t {
    pressed,         // "Route cleared"
    arrived,         // "Arrived at <label>: route cleared"
    marker_deleted,  // "The routed marker was deleted: route cleared"
    markers_loaded,  // "Markers loaded again: route cleared"
    pack_complete,   // "Route cleared", after the line saying the pack is complete
};

// The route's button, in the full menu: "Route" to the selected row's marker,
// or "Clear Route" when the route leads there already.
inline constexpr Hash control_route = InputControl::INPUT_GAME_MENU_TAB_RIGHT_SECONDARY;
extern const Button route_button;

// The colour of the line the game draws.
Hash route_colour(const PluginState& state);

// A marker the route can lead to: one whose position the map can show.
bool routable(const Marker& marker);
// Replaces any route with one to `markers[index]` and keeps the place the
// marker is called by; false (and the route as it was) for an index out of
// range or a marker whose position is not finite, which never reaches the
// game. The caller says so in the log.
bool start_route(RunContext& ctx, PluginState& state, std::size_t index);
// What the routed marker is called, as the list calls it, without calling the
// game: its name, else the place kept at the route's start, else its
// category's name. Empty without a route.
const char* routed_marker_label(const PluginState& state);
// Ends the route, if there is one, with its line in the log.
void end_route(RunContext& ctx, PluginState& state, RouteEnd why);
// True while the route leads to a pack's marker not found yet and auto_found
// is on: it is reached when the marker is found, not at route_arrival_distance.
bool route_waits_for_found(const PluginState& state);
// True when the route leads to `markers[index]`.
bool route_leads_to(const PluginState& state, std::size_t index);

// Every frame: once a second, ends the route when the player stands within
// `route_arrival_distance` of its marker on the ground plane.
void check_route_arrival(RunContext& ctx, PluginState& state);
// The marker at `index` has left the list: the route ends when it led there,
// and follows its marker down an index when it lies later.
void route_marker_left_list(RunContext& ctx, PluginState& state, std::size_t index);
// The marker at `index` was named: when the route leads there and it has no
// name now, the place it is called by is looked up and kept.
void route_marker_renamed(RunContext& ctx, PluginState& state, std::size_t index);
// The route's part of the step after a change of the marker list: it follows
// a marker that left (as route_marker_left_list), keeps the place of a marker
// named (as route_marker_renamed) and ends with a new list.
void route_follows_list(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index);
// At a script start, before the state is cleared: the last run's route leads
// to a marker of the list loaded again, so it ends.
void route_at_release(RunContext& ctx, PluginState& state);
// At unload, on the loader's thread, where the game takes no native calls: the
// route cannot be cleared there, so the log says it is left on the map.
void forget_route_at_unload(RunContext& ctx, PluginState& state);
