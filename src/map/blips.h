// The map blips of the markers: made and dressed one at a time, ended, and the
// per-frame pass that gives every marker on the player's side of the Guarma
// divide a live blip, within a limit that drops when the game refuses one.
#pragma once

#include "src/core/marker.h"
#include "src/core/state.h"

inline constexpr std::int64_t default_blip_limit = 500;
inline constexpr std::int64_t blip_limit_step = 50;
inline constexpr Hash new_marker_modifier = 0x95BD6684;

// The only writer of a marker's `blip`: keeps the count of markers holding one.
void set_marker_blip(PluginState& state, Marker& marker, Blip blip);
// Ends the marker's blip (also for a handle of 0); afterwards `blip` is 0.
void remove_marker_blip(PluginState& state, Marker& marker);
// For a marker whose `blip` is 0: true when it now has a dressed, live blip.
bool create_marker_blip(PluginState& state, Marker& marker);
void refresh_marker_blips(PluginState& state);
