#include "src/markers/marker_list.h"

#include <algorithm>
#include <cmath>

#include "src/map/blips.h"
#include "src/map/location_names.h"

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

// ---- the search ---------------------------------------------------------------------------

static unsigned char ascii_lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

bool label_contains(std::string_view label, std::string_view text) {
    if (text.size() > label.size()) return false;
    const auto* l = reinterpret_cast<const unsigned char*>(label.data());
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t at = 0; at + text.size() <= label.size(); ++at) {
        std::size_t i = 0;
        while (i < text.size() && ascii_lower(l[at + i]) == ascii_lower(t[i])) ++i;
        if (i == text.size()) return true;
    }
    return false;
}

// The markers the list can show: those of a category of the table.
static bool listable(const PluginState& state, const Marker& m) {
    return m.data.category >= 0 && static_cast<std::uint64_t>(m.data.category) < state.categories.length;
}

bool marker_matches_search(const PluginState& state, const Marker& m, std::string_view text) {
    if (!listable(state, m)) return false;
    // The label as the list shows it; the place costs native calls, so it is
    // asked only for a marker without a name, and only once per search.
    const char* place =
        marker_has_name(m.data) ? nullptr : named_location_quietly(position_to_vector3(m.data.position));
    const char* label = marker_label(state.categories, m, place);
    return label && label_contains(label, text);
}

// Looks at the markers added since the last look; a marker found stays found.
static void search_new_markers(RunContext& ctx, PluginState& state) {
    MarkerSearch& s = state.search;
    if (s.searched_to > state.markers.length) {
        // Not reached: deletions move it down with the list. Looked at anew all the same.
        s.found.length = 0;
        s.searched_to = 0;
    }
    const std::string_view text(s.text);
    for (std::size_t i = s.searched_to; i < state.markers.length; ++i) {
        // A marker that cannot be added for want of memory is left out.
        if (marker_matches_search(state, state.markers[i], text)) {
            (void)array_append(s.found, ctx.general, static_cast<std::int64_t>(i));
        }
    }
    s.searched_to = state.markers.length;
}

void search_forget_marker(PluginState& state, std::size_t index) {
    MarkerSearch& s = state.search;
    std::size_t kept = 0;
    for (std::int64_t i : s.found) {
        if (i == static_cast<std::int64_t>(index)) continue;
        s.found[kept++] = i > static_cast<std::int64_t>(index) ? i - 1 : i;
    }
    s.found.length = kept;
    if (s.searched_to > index) --s.searched_to;
}

void search_marker_named(RunContext& ctx, PluginState& state, std::size_t index) {
    MarkerSearch& s = state.search;
    if (!s.in_force || index >= s.searched_to || index >= state.markers.length) return;
    std::size_t at = 0;
    while (at < s.found.length && s.found[at] < static_cast<std::int64_t>(index)) ++at;
    if (at < s.found.length && s.found[at] == static_cast<std::int64_t>(index)) return;  // found stays found
    if (!marker_matches_search(state, state.markers[index], std::string_view(s.text))) return;
    if (!array_append(s.found, ctx.general, std::int64_t{0})) return;
    for (std::size_t k = s.found.length - 1; k > at; --k) s.found[k] = s.found[k - 1];
    s.found[at] = static_cast<std::int64_t>(index);
    update_marker_list_cache(ctx, state, false);
}

void search_list_replaced(PluginState& state) {
    state.search.found.length = 0;
    state.search.searched_to = 0;
}

// ---- the cache ----------------------------------------------------------------------------

void update_marker_list_cache(RunContext& ctx, PluginState& state, bool reset_selection) {
    GrowableArray<std::int64_t>& cache = state.list_page.rows;
    cache.length = 0;
    if (state.search.in_force) {
        search_new_markers(ctx, state);
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

void marker_list_changed(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index) {
    // From the bottom of the table up: the blips first (a relabel or a restyle
    // calls the game before the search may look a place up), the list page's
    // rows last (they show what the search left).
    for (std::size_t i = feature_table.count; i-- > 0;) {
        const FeatureRow& row = feature_table.rows[i];
        if (row.list_changed) row.list_changed(ctx, state, change, index);
    }
}

void free_marker_list(const RunContext& ctx, PluginState& state, GrowableArray<Marker>& markers) {
    for (Marker& m : markers) {
        remove_marker_blip(state, m);
        free_marker_name(ctx.general, m.data.name);
    }
    array_free(markers);
}

std::int64_t row_of_marker(const PluginState& state, std::int64_t index) {
    for (std::size_t r = 0; r < state.list_page.rows.length; ++r) {
        if (state.list_page.rows[r] == index) return static_cast<std::int64_t>(r);
    }
    return -1;
}
