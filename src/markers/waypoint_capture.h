// Turning a newly set map waypoint into a named marker on the ground.
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/scripthook/types.h"
#include "src/state/state.h"

inline constexpr float waypoint_new_distance_squared = 100.0f;  // more than 10 units
inline constexpr float waypoint_cooldown_seconds = 2.0f;

// Adds the frame to the timer; true (and the timer back at 0) once a second has
// gathered, with the seconds gathered in `gathered_seconds`. Each frame the
// capture runs the check below when it is due.
bool waypoint_check_due(float& timer, std::int64_t frame_delta_ns, float& gathered_seconds);
// Run about once a second, with the seconds since the last check.
void check_waypoint_and_create_marker(RunContext& ctx, PluginState& state, float seconds_since_last_check);
// Each frame: the check above when it is due.
void waypoint_capture_each_frame(RunContext& ctx, PluginState& state);

// The waypoint as the game reports it (at height 0) put on the ground: 1 above
// the ground the first probe finds, else raised to at least 10. The capture and
// the quick add at the waypoint both place their marker here, so the 1-unit
// rule keeps them from doubling each other.
Vector3 waypoint_on_ground(Vector3 waypoint);
