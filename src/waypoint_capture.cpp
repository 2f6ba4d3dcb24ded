#include "src/waypoint_capture.h"

#include <cstring>

#include "scripthook/natives.h"
#include "src/base/calendar.h"
#include "src/location_names.h"
#include "src/marker_editing.h"

constexpr float probe_heights[] = {100.0f, 150.0f, 50.0f, 0.0f, 200.0f};

void check_waypoint_and_create_marker(RunContext& ctx, PluginState& state) {
    if (waypoint_cooldown > 0.0f) {
        // Intended: counted down by one frame's length per check (not by the
        // second between checks), so the pause lasts about two minutes at 60 fps.
        waypoint_cooldown -= static_cast<float>(seconds_from_ns(state.frame_delta));
        return;
    }
    if (!waypoint_active()) return;
    Vector3 waypoint = waypoint_coords();
    if (!(distance_squared(vector3_to_position(waypoint), vector3_to_position(last_waypoint)) >
          waypoint_new_distance_squared)) {
        return;
    }

    // The game reports the waypoint at height 0: put it on the ground.
    bool grounded = false;
    for (float probe : probe_heights) {
        float ground = 0.0f;
        if (ground_z_at(waypoint._x.x, waypoint._y.y, probe, &ground, false)) {
            waypoint._z.z = ground + 1.0f;
            grounded = true;
            break;
        }
    }
    if (!grounded && waypoint._z.z < 10.0f) waypoint._z.z = 10.0f;

    if (try_add_marker(ctx, state, waypoint)) {
        log_format(ctx, LogLevel::info, "Auto-created marker at waypoint: %.2f, %.2f, %.2f", waypoint._x.x,
                   waypoint._y.y, waypoint._z.z);
        Marker& marker = state.markers[state.markers.length - 1];
        const char* place = named_location_at_coords(ctx, state, waypoint);
        if (has_text(place)) {
            static constexpr char suffix[] = " (Waypoint)";
            const std::size_t length = std::strlen(place);
            char* name = static_cast<char*>(allocate_bytes(ctx.scratch, length + sizeof suffix, 1));
            if (name) {
                std::memcpy(name, place, length);
                std::memcpy(name + length, suffix, sizeof suffix);
                rename_marker(ctx, state, marker, std::string_view(name, length + sizeof suffix - 1));
            } else {
                rename_marker(ctx, state, marker, "Waypoint Marker");
            }
        } else {
            rename_marker(ctx, state, marker, "Waypoint Marker");
        }
        waypoint_cooldown = waypoint_cooldown_seconds;
    }
    last_waypoint = waypoint;
}
