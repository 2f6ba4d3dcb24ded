#include "src/markers/waypoint_capture.h"

#include <cstring>

#include "src/base/calendar.h"
#include "src/map/location_names.h"
#include "src/markers/marker_editing.h"
#include "src/markers/markers_on_disk.h"
#include "src/scripthook/natives.h"

constexpr float probe_heights[] = {100.0f, 150.0f, 50.0f, 0.0f, 200.0f};

Vector3 waypoint_on_ground(Vector3 waypoint) {
    for (float probe : probe_heights) {
        float ground = 0.0f;
        if (ground_z_at(waypoint._x.x, waypoint._y.y, probe, &ground, false)) {
            waypoint._z.z = ground + 1.0f;
            return waypoint;
        }
    }
    if (waypoint._z.z < 10.0f) waypoint._z.z = 10.0f;
    return waypoint;
}

// The place name + " (Waypoint)" from the frame's scratch memory, or
// "Waypoint Marker" where the place has no name.
static std::string_view capture_name(RunContext& ctx, PluginState& state, const Vector3& at) {
    const char* place = named_location_at_coords(ctx, state, at);
    if (!has_text(place)) return "Waypoint Marker";
    static constexpr char suffix[] = " (Waypoint)";
    const std::size_t length = std::strlen(place);
    char* name = static_cast<char*>(allocate_bytes(ctx.scratch, length + sizeof suffix, 1));
    if (!name) return "Waypoint Marker";
    std::memcpy(name, place, length);
    std::memcpy(name + length, suffix, sizeof suffix);
    return std::string_view(name, length + sizeof suffix - 1);
}

bool waypoint_check_due(float& timer, std::int64_t frame_delta_ns, float& gathered_seconds) {
    timer += static_cast<float>(seconds_from_ns(frame_delta_ns));
    if (timer < 1.0f) return false;
    gathered_seconds = timer;
    timer = 0.0f;
    return true;
}

void check_waypoint_and_create_marker(RunContext& ctx, PluginState& state, float seconds_since_last_check) {
    WaypointCapture& capture = waypoint_capture;
    // Capture switched on in the game since the last check: the waypoint in
    // force then was set while it was off, so only a waypoint set afterwards
    // counts as new (the settings keep which one it was).
    const PlayerSettings& settings = state.settings;
    if (settings.capture_on_at_ns != 0 && settings.capture_on_at_ns != capture.capture_on_taken_ns) {
        capture.capture_on_taken_ns = settings.capture_on_at_ns;
        capture.last_waypoint = settings.waypoint_at_capture_on;
    }
    // The pause after a capture is counted in game time: the seconds since the
    // last check, not one frame per check (which made it last minutes). The
    // check at which it runs out captures as usual.
    if (capture.waypoint_cooldown > 0.0f) {
        capture.waypoint_cooldown -= seconds_since_last_check;
        if (capture.waypoint_cooldown > 0.0f) return;
        capture.waypoint_cooldown = 0.0f;
    }
    // Switched off by the player: no capture at all.
    if (!settings_capture(state.settings.in_force)) return;
    if (!waypoint_active()) return;
    const Vector3 reported = waypoint_coords();
    // Compared and remembered as the game reports it (height 0), not as put on
    // the ground: a waypoint on ground more than 10 up would otherwise count as
    // new at every check and bring back a marker the player deleted.
    if (!(distance_squared(vector3_to_position(reported), vector3_to_position(capture.last_waypoint)) >
          waypoint_new_distance_squared)) {
        return;
    }
    capture.last_waypoint = reported;

    const Vector3 at = waypoint_on_ground(reported);
    // Added and named as one change, so the file is written once per capture.
    Marker* marker = append_marker(ctx, state, at);
    if (!marker) return;
    log_format(ctx, LogLevel::info, "Auto-created marker at waypoint: {:.2f}, {:.2f}, {:.2f}", at._x.x, at._y.y,
               at._z.z);
    set_marker_name(ctx, state, *marker, capture_name(ctx, state, at));
    save_data_to_disk(ctx, state);
    capture.waypoint_cooldown = waypoint_cooldown_seconds;
}

void waypoint_capture_each_frame(RunContext& ctx, PluginState& state) {
    float since_last_check = 0.0f;
    if (waypoint_check_due(waypoint_capture.waypoint_check_timer, state.frame_delta, since_last_check)) {
        check_waypoint_and_create_marker(ctx, state, since_last_check);
    }
}
