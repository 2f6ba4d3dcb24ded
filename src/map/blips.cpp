#include "src/map/blips.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "src/map/location_names.h"
#include "src/scripthook/natives.h"

// Sections: one blip · choosing the nearest · the pass.

// ---- one blip -------------------------------------------------------------------------

void set_marker_blip(PluginState& state, Marker& marker, Blip blip) {
    state.markers_with_blip += static_cast<std::int64_t>(blip != 0) - static_cast<std::int64_t>(marker.blip != 0);
    marker.blip = blip;
}

void remove_marker_blip(PluginState& state, Marker& marker) {
    const bool held = marker.blip != 0;
    blip_pre_remove(marker.blip);
    remove_blip(&marker.blip);  // the game may write to the handle it was given
    marker.blip = 0;            // whatever it left there, the marker has no blip now
    if (held) --state.markers_with_blip;
}

bool create_marker_blip(PluginState& state, Marker& marker) {
    // The markers holding a handle, live or stale (this one holds none yet).
    const std::int64_t count = state.markers_with_blip;
    if (count >= state.blip_limit) return false;

    const Position& p = marker.data.position;
    set_marker_blip(state, marker, create_blip_at_coords(hash_of_name("BLIP_STYLE_CREATOR_DEFAULT"), p.x, p.y, p.z));
    if (marker.blip == 0 || !blip_exists(marker.blip)) {
        // The game is out of blips: keep well below where it refused.
        state.blip_limit = count - blip_limit_step < 0 ? 0 : count - blip_limit_step;
        return false;
    }

    const MarkerCategory& row = state.categories[static_cast<std::size_t>(marker.data.category)];
    set_blip_sprite(marker.blip, hash_of_name(row.sprite), true);
    set_blip_name(marker.blip, marker_label(state.categories, marker, nullptr));
    set_blip_coords(marker.blip, p.x, p.y, p.z);
    for (std::size_t i = 0; i < row.modifier_count; ++i) blip_add_modifier(marker.blip, row.modifiers[i]);
    if (row.colour_modifier != 0) blip_add_modifier(marker.blip, row.colour_modifier);
    if (marker.is_new) {
        blip_add_modifier(marker.blip, new_marker_modifier);
        marker.is_new = false;
    }
    return true;
}

// ---- choosing the nearest -----------------------------------------------------------------
//
// A marker's key is its squared distance's bits: for floats that are not
// negative, the bits order as the values do. The k nearest are then found by
// counting keys by their top 11 bits, the next 11 and the last 10 (a radix
// selection: a few passes over the keys, no sort), ties going by list order.

constexpr std::uint32_t key_none = 0xFFFFFFFFu;  // the marker does not qualify
constexpr std::uint32_t key_nan = 0xFF000000u;   // no distance (a position that is no number): after all others

static std::uint32_t distance_key(const Position& a, const Position& b) {
    const float d = distance_squared(a, b);
    return std::isnan(d) ? key_nan : std::bit_cast<std::uint32_t>(d);
}

// Of `counts`, the bucket holding the `rank`-th key (from 1); `below` gets the
// keys in the buckets before it.
static std::size_t bucket_of_rank(const std::uint32_t* counts, std::size_t n, std::int64_t rank, std::int64_t* below) {
    std::int64_t before = 0;
    for (std::size_t b = 0; b < n; ++b) {
        if (before + counts[b] >= rank) {
            *below = before;
            return b;
        }
        before += counts[b];
    }
    *below = before;
    return n - 1;  // not reached: rank is at most the number of keys counted
}

// Which keys are chosen: all below `threshold`, and of those equal to it the
// first `ties` in list order (those up to index `last_tie`).
struct Threshold {
    std::uint32_t threshold;
    std::size_t last_tie;  // meaningful when a tie was taken
    bool any_tie;
};

static bool is_chosen(const Threshold& t, const GrowableArray<std::uint32_t>& keys, std::size_t i) {
    const std::uint32_t k = keys[i];
    return k < t.threshold || (t.any_tie && k == t.threshold && i <= t.last_tie);
}

// The `k` smallest keys (k at most the number of keys that qualify); the
// first level's counts come from the scan, and the buckets are reused below.
static Threshold select_nearest(BlipChoice& c, std::int64_t k) {
    const GrowableArray<std::uint32_t>& keys = c.keys;
    if (c.qualifying <= k) return Threshold{key_none, 0, false};  // all that qualify

    std::int64_t below = 0, within = 0;
    const std::uint32_t high = static_cast<std::uint32_t>(bucket_of_rank(c.buckets, blip_key_buckets, k, &below));
    std::fill(std::begin(c.buckets), std::end(c.buckets), 0u);
    for (std::uint32_t key : keys) {
        if (key != key_none && (key >> 21) == high) ++c.buckets[(key >> 10) & 0x7FF];
    }
    const std::uint32_t middle = static_cast<std::uint32_t>(bucket_of_rank(c.buckets, 2048, k - below, &within));
    below += within;
    const std::uint32_t prefix = (high << 11) | middle;
    std::fill(std::begin(c.buckets), std::end(c.buckets), 0u);
    for (std::uint32_t key : keys) {
        if (key != key_none && (key >> 10) == prefix) ++c.buckets[key & 0x3FF];
    }
    const std::uint32_t low = static_cast<std::uint32_t>(bucket_of_rank(c.buckets, 1024, k - below, &within));
    below += within;

    Threshold t{(prefix << 10) | low, 0, false};
    std::int64_t ties = k - below;  // at least 1: the k-th key itself
    for (std::size_t i = 0; i < keys.length && ties > 0; ++i) {
        if (keys[i] == t.threshold) {
            t.last_tie = i;
            t.any_tie = true;
            --ties;
        }
    }
    return t;
}

void marker_list_changed(PluginState& state) {
    state.blip_choice.up_to_date = false;
    state.blip_choice.scanning = false;  // its keys no longer match the list
}

void marker_leaving_list(PluginState& state, std::size_t index) {
    GrowableArray<std::uint32_t>& chosen = state.blip_choice.chosen;
    std::size_t kept = 0;
    for (std::uint32_t i : chosen) {
        if (i == index) continue;
        chosen[kept++] = i > index ? i - 1 : i;
    }
    chosen.length = kept;
    marker_list_changed(state);
}

void free_blip_choice(BlipChoice& choice) {
    array_free(choice.chosen);
    array_free(choice.keys);
}

static void out_of_memory(RunContext& ctx, BlipChoice& c) {
    c.scanning = false;
    c.up_to_date = false;  // tried again in the next frame
    if (c.out_of_memory_said) return;
    c.out_of_memory_said = true;
    log_format(ctx, LogLevel::error,
               "Could not choose which markers to show on the map: {}. The map keeps the blips it has; restart the "
               "game if markers near you are missing",
               "out of memory");
}

static void begin_choice(RunContext& ctx, PluginState& state) {
    BlipChoice& c = state.blip_choice;
    if (!array_reserve(c.keys, ctx.general, state.markers.length) ||
        !array_reserve(c.chosen, ctx.general, static_cast<std::size_t>(default_blip_limit))) {
        out_of_memory(ctx, c);
        return;
    }
    c.keys.length = state.markers.length;
    c.scanning = true;
    c.up_to_date = true;  // until something changes again
    c.scanned = 0;
    c.qualifying = 0;
    c.scan_from = vector3_to_position(state.player_position);
    // Without markers there is nothing to ask the game about.
    c.player_in_guarma = state.markers.length > 0 && is_guarma_zone(zone_hash_at(state.player_position));
    std::fill(std::begin(c.buckets), std::end(c.buckets), 0u);
}

// Keys for the next markers; true once every marker has one.
static bool scan_markers(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    const std::size_t end = std::min(state.markers.length, c.scanned + blip_keys_per_frame);
    const auto categories = static_cast<std::uint64_t>(state.categories.length);
    const GuarmaSide other = c.player_in_guarma ? GuarmaSide::mainland : GuarmaSide::guarma;
    for (std::size_t i = c.scanned; i < end; ++i) {
        const Marker& m = state.markers[i];
        // Qualifies: a category of the table, and not known to lie across the divide.
        if (m.data.category < 0 || static_cast<std::uint64_t>(m.data.category) >= categories || m.side == other) {
            c.keys[i] = key_none;
            continue;
        }
        const std::uint32_t key = distance_key(m.data.position, c.scan_from);
        c.keys[i] = key;
        ++c.buckets[key >> 21];
        ++c.qualifying;
    }
    c.scanned = end;
    return c.scanned == state.markers.length;
}

static void say_what_the_map_shows(RunContext& ctx, PluginState& state) {
    BlipChoice& c = state.blip_choice;
    const std::int64_t limit = state.blip_limit;
    if (c.chosen_of <= limit || limit <= 0) return;  // all fit; a limit of 0 goes back to 500 at once
    if (c.said_limit != 0 && limit >= c.said_limit) return;
    c.said_limit = limit;
    log_format(ctx, LogLevel::info, "Showing the nearest {} of {} markers on the map", limit, c.chosen_of);
}

static bool on_players_side(const BlipChoice& c, Marker& m) {
    if (m.side == GuarmaSide::unknown) {
        const bool guarma = is_guarma_zone(zone_hash_at(position_to_vector3(m.data.position)));
        m.side = guarma ? GuarmaSide::guarma : GuarmaSide::mainland;
    }
    return (m.side == GuarmaSide::guarma) == c.player_in_guarma;
}

// Puts the finished choice on the map: the blips of markers no longer chosen
// go, the chosen ones without a blip get one, nearest first.
static void apply_choice(RunContext& ctx, PluginState& state) {
    BlipChoice& c = state.blip_choice;
    c.scanning = false;
    const Threshold t = select_nearest(c, state.blip_limit);

    for (std::uint32_t i : c.chosen) {
        Marker& m = state.markers[i];
        if (m.blip != 0 && !is_chosen(t, c.keys, i)) remove_marker_blip(state, m);
    }
    c.chosen.length = 0;
    for (std::size_t i = 0; i < c.keys.length; ++i) {
        // At most the limit's number (500 at most), for which room is reserved.
        if (is_chosen(t, c.keys, i) && c.chosen.length < c.chosen.capacity) {
            c.chosen[c.chosen.length++] = static_cast<std::uint32_t>(i);
        }
    }
    const std::uint32_t* keys = c.keys.data;
    std::sort(c.chosen.begin(), c.chosen.end(),
              [keys](std::uint32_t a, std::uint32_t b) { return keys[a] != keys[b] ? keys[a] < keys[b] : a < b; });
    c.chosen_from = c.scan_from;
    c.chosen_of = c.qualifying;
    c.next_check = 0;

    bool settled = true;
    for (std::size_t n = 0; n < c.chosen.length; ++n) {
        Marker& m = state.markers[c.chosen[n]];
        if (m.blip != 0) continue;
        if (!on_players_side(c, m)) {
            settled = false;  // across the divide after all: the next choice leaves it out
            c.up_to_date = false;
            continue;
        }
        const std::int64_t limit = state.blip_limit;
        if (create_marker_blip(state, m)) continue;
        if (state.blip_limit < limit) {
            // Refused: the nearest of the lowered limit keep their blips, the
            // rest go at once; the next choice fills any gap among the nearest.
            const auto keep = static_cast<std::size_t>(state.blip_limit);
            for (std::size_t f = keep; f < c.chosen.length; ++f) {
                Marker& far = state.markers[c.chosen[f]];
                if (far.blip != 0) remove_marker_blip(state, far);
            }
            if (c.chosen.length > keep) c.chosen.length = keep;
            c.up_to_date = false;
            say_what_the_map_shows(ctx, state);
        }
        return;
    }
    if (settled) say_what_the_map_shows(ctx, state);
}

// ---- the pass ------------------------------------------------------------------------------

// A few blips' existence per frame; a blip the game dropped is removed and the
// markers on the map are chosen again.
static void check_some_blips(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    std::size_t checks = 0;
    for (std::size_t visited = 0; visited < c.chosen.length && checks < blip_checks_per_frame; ++visited) {
        if (c.next_check >= c.chosen.length) c.next_check = 0;
        Marker& m = state.markers[c.chosen[c.next_check++]];
        if (m.blip == 0) continue;
        ++checks;
        if (!blip_exists(m.blip)) {
            remove_marker_blip(state, m);
            c.up_to_date = false;
        }
    }
}

// The choice is due again when the player has gone far from where it was
// made, or has stood still for a while anywhere else.
static void follow_player(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    const Position at = vector3_to_position(state.player_position);
    const Position& from = c.scanning ? c.scan_from : c.chosen_from;
    if (distance_squared(at, from) > blip_choice_distance * blip_choice_distance) c.up_to_date = false;
    if (!(distance_squared(at, c.still_at) <= blip_still_tolerance * blip_still_tolerance)) {
        c.still_at = at;
        c.still_ns = 0;
        return;
    }
    c.still_ns += state.frame_delta > 0 ? state.frame_delta : 0;
    if (c.still_ns < blip_still_ns) return;
    c.still_at = at;
    c.still_ns = 0;
    if (std::memcmp(&at, &from, sizeof at) != 0) c.up_to_date = false;
}

void refresh_marker_blips(RunContext& ctx, PluginState& state) {
    BlipChoice& c = state.blip_choice;
    if (state.blip_limit <= 0) {
        state.blip_limit = default_blip_limit;
        c.up_to_date = false;
    }
    check_some_blips(state);
    follow_player(state);
    if (!c.scanning && !c.up_to_date) begin_choice(ctx, state);
    if (c.scanning && scan_markers(state)) apply_choice(ctx, state);
}
