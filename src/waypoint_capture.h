// Turning a newly set map waypoint into a named marker on the ground.
#pragma once

#include "src/base/run_context.h"
#include "src/state.h"

inline constexpr float waypoint_new_distance_squared = 100.0f;  // more than 10 units
inline constexpr float waypoint_cooldown_seconds = 2.0f;

// Run about once a second by the main loop.
void check_waypoint_and_create_marker(RunContext& ctx, PluginState& state);
