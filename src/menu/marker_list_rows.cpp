#include "src/menu/marker_list_rows.h"

#include <algorithm>
#include <cmath>

#include "src/menu/marker_search.h"

// Sections: the orders · the rows · following the list.

// ---- the orders ---------------------------------------------------------------------------

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
    std::int64_t* rows = state.list_page.rows.data;
    std::int64_t* end = rows + state.list_page.rows.length;
    const Position player = vector3_to_position(state.player_position);
    std::int64_t* numbers_end = std::stable_partition(rows, end, [&](std::int64_t i) {
        return !std::isnan(distance_squared(state.markers[static_cast<std::size_t>(i)].data.position, player));
    });
    std::sort(rows, numbers_end, [&](std::int64_t a, std::int64_t b) { return less_by_proximity(state, a, b); });
}

// ---- the rows -----------------------------------------------------------------------------

void update_marker_list_cache(RunContext& ctx, PluginState& state, bool reset_selection) {
    GrowableArray<std::int64_t>& cache = state.list_page.rows;
    cache.length = 0;
    if (state.search.in_force) {
        // Newest last in the list, as the category's rows are gathered, so that
        // the sort below keeps the same order for equal keys.
        if (array_reserve(cache, ctx.general, state.search.found.length)) {
            for (std::size_t k = state.search.found.length; k-- > 0;) cache[cache.length++] = state.search.found[k];
        }
    } else {
        for (std::size_t i = state.markers.length; i-- > 0;) {
            if (state.markers[i].data.category == state.current_category) {
                // A row that cannot be added for want of memory is left out.
                (void)array_append(cache, ctx.general, static_cast<std::int64_t>(i));
            }
        }
    }
    if (state.list_page.sort_mode == sort_mode_time) {
        std::sort(cache.begin(), cache.end(),
                  [&](std::int64_t a, std::int64_t b) { return less_by_time(state, a, b); });
    } else if (state.list_page.sort_mode == sort_mode_proximity) {
        sort_by_proximity(state);
    }
    if (reset_selection) {
        state.list_page.selection = 0;
    } else {
        const auto last = static_cast<std::int64_t>(cache.length) - 1;
        state.list_page.selection = std::min(std::max(state.list_page.selection, std::int64_t{0}), last);
    }
}

bool update_marker_list_cache_as_it_grows(RunContext& ctx, PluginState& state) {
    const GrowableArray<std::int64_t>& cache = state.list_page.rows;
    const std::int64_t row = state.list_page.selection;
    const std::int64_t selected = index_in_range(row, cache.length) ? cache[static_cast<std::size_t>(row)] : -1;
    update_marker_list_cache(ctx, state, row <= 0 || selected < 0);
    if (row > 0 && selected >= 0) {
        const std::int64_t now = row_of_marker(state, selected);
        state.list_page.selection = now >= 0 ? now : 0;
    }
    const std::int64_t shown = index_in_range(state.list_page.selection, cache.length)
                                   ? cache[static_cast<std::size_t>(state.list_page.selection)]
                                   : -1;
    return selected >= 0 && shown != selected;
}

std::int64_t row_of_marker(const PluginState& state, std::int64_t index) {
    for (std::size_t r = 0; r < state.list_page.rows.length; ++r) {
        if (state.list_page.rows[r] == index) return static_cast<std::int64_t>(r);
    }
    return -1;
}

// ---- following the list -------------------------------------------------------------------

void list_page_follows_list(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index) {
    switch (change) {
        case MarkerListChange::added: update_marker_list_cache(ctx, state, true); break;
        case MarkerListChange::removed:
            search_forget_marker(state, index);
            update_marker_list_cache(ctx, state, false);
            break;
        case MarkerListChange::renamed: search_marker_named(ctx, state, index); break;
        case MarkerListChange::moved: update_marker_list_cache(ctx, state, false); break;
        case MarkerListChange::replaced:
            search_list_replaced(state);
            update_marker_list_cache(ctx, state, true);
            break;
        case MarkerListChange::found: break;  // the row's mark is drawn from the marker
        case MarkerListChange::joined:
            search_marker_joined(ctx, state, index);
            update_marker_list_cache(ctx, state, false);
            break;
    }
}
