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

struct Route {
    bool active;                  // the game draws a route, to `marker`
    std::size_t marker;           // index into `markers`; moved down as earlier markers leave the list
    std::int64_t since_check_ns;  // frame time gathered toward the next arrival check
};
