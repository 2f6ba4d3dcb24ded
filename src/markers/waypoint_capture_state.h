// What the waypoint capture remembers while the library is loaded (the
// capture: waypoint_capture.h). One global of this kind lives beside the
// state record; unlike the record, it is never reset: it is zero at load, and
// setup, cleanup and script starts leave it as it is, so a waypoint handled
// before a script restart is not captured again.
#pragma once

#include <cstdint>

#include "src/scripthook/types.h"

struct WaypointCapture {
    float waypoint_check_timer;        // seconds of frame time gathered toward the next check (once a second)
    Vector3 last_waypoint;             // the last waypoint handled, as the game reported it
    float waypoint_cooldown;           // seconds of game time left in the pause after a capture
    std::int64_t capture_on_taken_ns;  // the settings' capture_on_at_ns whose waypoint was taken as handled
};
