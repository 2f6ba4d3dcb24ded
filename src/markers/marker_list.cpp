#include "src/markers/marker_list.h"

#include <algorithm>
#include <cmath>

#include "src/map/blips.h"
#include "src/map/gps_route.h"

bool less_by_time(const PluginState& state, std::int64_t a, std::int64_t b) {
    return state.markers[static_cast<std::size_t>(a)].data.timestamp._nsec >
           state.markers[static_cast<std::size_t>(b)].data.timestamp._nsec;
}

bool less_by_proximity(const PluginState& state, std::int64_t a, std::int64_t b) {
    const Position player = vector3_to_position(state.player_position);
    const float da = distance_squared(state.markers[static_cast<std::size_t>(a)].data.position, player);
    const float db = distance_squared(state.markers[static_cast<std::size_t>(b)].data.position, player);
    if (std::isnan(da) || std::isnan(db)) return false;
    return da < db;
}

// A NaN distance compares false both ways with everything, which is no strict
// weak ordering: sorting with it is undefined (std::sort may run off the end).
// Rows with a NaN distance (a NaN position in the file, or a NaN player
// position) are moved behind all the others first, and only the rest is sorted.
static void sort_by_proximity(PluginState& state) {
    std::int64_t* rows = state.marker_list_cache.data;
    std::int64_t* end = rows + state.marker_list_cache.length;
    const Position player = vector3_to_position(state.player_position);
    std::int64_t* numbers_end = std::stable_partition(rows, end, [&](std::int64_t i) {
        return !std::isnan(distance_squared(state.markers[static_cast<std::size_t>(i)].data.position, player));
    });
    std::sort(rows, numbers_end, [&](std::int64_t a, std::int64_t b) { return less_by_proximity(state, a, b); });
}

void update_marker_list_cache(RunContext& ctx, PluginState& state, bool reset_selection) {
    GrowableArray<std::int64_t>& cache = state.marker_list_cache;
    cache.length = 0;
    for (std::size_t i = state.markers.length; i-- > 0;) {
        if (state.markers[i].data.category == state.current_category) {
            // A row that cannot be added for want of memory is left out.
            (void)array_append(cache, ctx.general, static_cast<std::int64_t>(i));
        }
    }
    if (state.sort_mode == sort_mode_time) {
        std::sort(cache.begin(), cache.end(),
                  [&](std::int64_t a, std::int64_t b) { return less_by_time(state, a, b); });
    } else if (state.sort_mode == sort_mode_proximity) {
        sort_by_proximity(state);
    }
    if (reset_selection) {
        state.marker_list_selection = 0;
    } else {
        const auto last = static_cast<std::int64_t>(cache.length) - 1;
        state.marker_list_selection = std::min(std::max(state.marker_list_selection, std::int64_t{0}), last);
    }
}

void marker_list_changed(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index) {
    switch (change) {
        case MarkerListChange::added:
            choose_blips_again(state);
            update_marker_list_cache(ctx, state, true);
            break;
        case MarkerListChange::removed:
            blips_after_marker_left(state, index);
            route_marker_left_list(ctx, state, index);
            update_marker_list_cache(ctx, state, false);
            break;
        case MarkerListChange::renamed:
            choose_blips_again(state);
            relabel_marker_blip(state, state.markers[index]);
            break;
        case MarkerListChange::replaced:
            end_route(ctx, state, RouteEnd::markers_loaded);  // its marker's index names another marker now
            blips_after_new_list(state);
            update_marker_list_cache(ctx, state, true);
            break;
    }
}

void free_marker_list(const RunContext& ctx, PluginState& state, GrowableArray<Marker>& markers) {
    for (Marker& m : markers) {
        remove_marker_blip(state, m);
        free_marker_name(ctx.general, m.data.name);
    }
    array_free(markers);
}
