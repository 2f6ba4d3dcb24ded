// The state of the GPS route to a marker: the game's line on the minimap and
// the map, one at a time. Held by the state record, so this header includes
// only what the core records may; the route's steps are in gps_route.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/scripthook/types.h"

// The player is there once this close on the ground plane (metres, x and y).
inline constexpr float route_arrival_distance = 15.0f;
// How often arrival is checked: the player's distance changes little in a frame.
inline constexpr std::int64_t route_check_interval_ns = 1'000'000'000;

// Room for the routed marker's place name, with its terminator: the game's
// zone texts and the table's names are far shorter.
inline constexpr std::size_t route_place_capacity = 128;

struct Route {
    bool active;                  // the game draws a route, to `marker`
    std::size_t marker;           // index into `markers`; moved down as earlier markers leave the list
    std::int64_t since_check_ns;  // frame time gathered toward the next arrival check
    // The place its marker was called by when the route began (empty for a
    // named marker or a place without a name), so that the line at unload,
    // where the game takes no calls, names it as the list did.
    char place[route_place_capacity];
};
