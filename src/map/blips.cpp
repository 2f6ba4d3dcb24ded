#include "src/map/blips.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "src/map/location_names.h"
#include "src/scripthook/native_call.h"
#include "src/scripthook/natives.h"

// Sections: one blip · the frame's room · choosing the nearest · putting it on the map ·
// sides for the count · the pass.

// ---- one blip -------------------------------------------------------------------------

bool off_the_map(const PluginState& state, const Marker& marker) {
    const Settings& s = state.settings.in_force;
    return settings_hides(s, marker.data.category) ||
           (marker.data.is_found && settings_found_on_map(s) == FoundOnMap::hide);
}

bool found_dimmed(const PluginState& state, const Marker& marker) {
    return marker.data.is_found && settings_found_on_map(state.settings.in_force) == FoundOnMap::dim;
}

void set_marker_blip(PluginState& state, Marker& marker, Blip blip) {
    state.blip_choice.markers_with_blip +=
        static_cast<std::int64_t>(blip != 0) - static_cast<std::int64_t>(marker.blip != 0);
    marker.blip = blip;
}

void remove_marker_blip(PluginState& state, Marker& marker) {
    const bool held = marker.blip != 0;
    blip_pre_remove(marker.blip);
    remove_blip(&marker.blip);  // the game may write to the handle it was given
    marker.blip = 0;            // whatever it left there, the marker has no blip now
    if (held) --state.blip_choice.markers_with_blip;
}

bool create_marker_blip(PluginState& state, Marker& marker) {
    // The markers holding a handle, live or stale (this one holds none yet).
    const std::int64_t count = state.blip_choice.markers_with_blip;
    if (count >= blip_limit_in_force(state)) return false;

    const Position& p = marker.data.position;
    set_marker_blip(state, marker, create_blip_at_coords(hash_of_name("BLIP_STYLE_CREATOR_DEFAULT"), p.x, p.y, p.z));
    if (marker.blip == 0 || !blip_exists(marker.blip)) {
        // The game is out of blips: keep well below where it refused.
        state.blip_choice.blip_limit = count - blip_limit_step < 0 ? 0 : count - blip_limit_step;
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
    if (found_dimmed(state, marker)) blip_add_modifier(marker.blip, BlipModifier::BLIP_MODIFIER_LOOTED);
    return true;
}

std::uint64_t blip_making_natives(const PluginState& state, const Marker& marker) {
    const MarkerCategory& row = state.categories[static_cast<std::size_t>(marker.data.category)];
    // Two name hashes, create, exists, sprite, name, coords; then the modifiers.
    return 7 + row.modifier_count + (row.colour_modifier != 0 ? 1 : 0) + (marker.is_new ? 1 : 0) +
           (found_dimmed(state, marker) ? 1 : 0);
}

// ---- the frame's room -----------------------------------------------------------------------

// The natives the frame may still call without passing its ceiling.
static std::uint64_t room(const PluginState& state) {
    const std::uint64_t spent = native_calls_begun - state.frame_natives_from;
    return spent >= frame_native_ceiling ? 0 : frame_native_ceiling - spent;
}

static bool side_known(const Marker& m) { return m.side != GuarmaSide::unknown; }

static void ask_side(Marker& m) {
    const bool guarma = is_guarma_zone(zone_hash_at(position_to_vector3(m.data.position)));
    m.side = guarma ? GuarmaSide::guarma : GuarmaSide::mainland;
}

// ---- choosing the nearest -----------------------------------------------------------------
//
// A marker's key is its squared distance's bits: for floats that are not
// negative, the bits order as the values do. The k-th smallest key is found
// by counting keys by their top 11 bits, then those in its bucket by the next
// 11 and the last 10 (a radix selection: passes over the keys, no sort); the
// chosen are the keys below it and, of those equal to it, the first in list
// order. Every step goes through the keys from a cursor, so it can stop at the
// end of a frame's share and go on in the next.

constexpr std::uint32_t key_none = 0xFFFFFFFFu;  // the marker does not qualify (counted in no bucket)
constexpr std::uint32_t key_nan = 0xFF000000u;   // no distance (a position that is no number): after all others

static std::uint32_t distance_key(const Position& a, const Position& b) {
    const float d = distance_squared(a, b);
    return std::isnan(d) ? key_nan : std::bit_cast<std::uint32_t>(d);
}

// Of `counts`, the bucket holding the `rank`-th key (from 1); `below` gets the
// keys in the buckets before it.
static std::uint32_t bucket_of_rank(const std::uint32_t* counts, std::size_t n, std::int64_t rank,
                                    std::int64_t* below) {
    std::int64_t before = 0;
    for (std::size_t b = 0; b < n; ++b) {
        if (before + counts[b] >= rank) {
            *below = before;
            return static_cast<std::uint32_t>(b);
        }
        before += counts[b];
    }
    *below = before;
    return static_cast<std::uint32_t>(n - 1);  // not reached: rank is at most the number of keys counted
}

void choose_blips_again(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    c.up_to_date = false;
    c.step = BlipChoiceStep::none;  // its keys no longer match the list
    c.sides_known_to = 0;           // looked through again: new markers may stand anywhere
}

void blips_after_settings_changed(PluginState& state) {
    choose_blips_again(state);
    state.blip_choice.said_limit = 0;  // the count changes: say it afresh
}

void blips_after_found_style_changed(PluginState& state) {
    blips_after_settings_changed(state);
    for (Marker& m : state.markers) {
        if (m.data.is_found) restyle_marker_blip(state, m);
    }
}

void blips_after_marker_left(PluginState& state, std::size_t index) {
    GrowableArray<std::uint32_t>& chosen = state.blip_choice.chosen;
    std::size_t kept = 0;
    for (std::uint32_t i : chosen) {
        if (i == index) continue;
        chosen[kept++] = i > index ? i - 1 : i;
    }
    chosen.length = kept;
    choose_blips_again(state);
}

void blips_after_marker_joined(PluginState& state, std::size_t index) {
    for (std::uint32_t& i : state.blip_choice.chosen) {
        if (i >= index) ++i;
    }
    choose_blips_again(state);
}

void restyle_marker_blip(PluginState& state, Marker& marker) {
    if (marker.blip == 0) return;
    remove_marker_blip(state, marker);
    // Every marker holding a blip is chosen: the make step gives it one again.
    // Settled, that step runs once more over the choice; under way, a step
    // before it reaches the marker anyway; past the marker, or trimming, the
    // next choice does.
    BlipChoice& c = state.blip_choice;
    if (c.step == BlipChoiceStep::none) {
        c.step = BlipChoiceStep::make;
        c.cursor = 0;
        c.complete = true;
    } else if (c.step == BlipChoiceStep::make || c.step == BlipChoiceStep::trim) {
        c.up_to_date = false;
    }
}

void free_blip_choice(BlipChoice& choice) {
    array_free(choice.chosen);
    array_free(choice.next_chosen);
    array_free(choice.keys);
}

void blips_after_new_list(PluginState& state) {
    free_blip_choice(state.blip_choice);
    // The game's limit and the count of handles outlast the list.
    const std::int64_t limit = state.blip_choice.blip_limit, with_blip = state.blip_choice.markers_with_blip;
    state.blip_choice = BlipChoice{};
    state.blip_choice.blip_limit = limit;
    state.blip_choice.markers_with_blip = with_blip;
    choose_blips_again(state);
}

void relabel_marker_blip(const PluginState& state, const Marker& marker) {
    if (marker.blip == 0) return;
    if (const char* label = marker_label(state.categories, marker, nullptr)) set_blip_name(marker.blip, label);
}

void blips_follow_list(RunContext&, PluginState& state, MarkerListChange change, std::size_t index) {
    switch (change) {
        case MarkerListChange::added: choose_blips_again(state); break;
        case MarkerListChange::removed: blips_after_marker_left(state, index); break;
        case MarkerListChange::renamed:
            choose_blips_again(state);
            relabel_marker_blip(state, state.markers[index]);
            break;
        case MarkerListChange::moved:
            choose_blips_again(state);  // its new category may be one hidden from the map
            restyle_marker_blip(state, state.markers[index]);
            break;
        case MarkerListChange::replaced: blips_after_new_list(state); break;
        case MarkerListChange::found:
            choose_blips_again(state);  // a found marker may be one hidden from the map
            restyle_marker_blip(state, state.markers[index]);
            break;
        case MarkerListChange::joined: blips_after_marker_joined(state, index); break;
    }
}

void blips_at_release(RunContext&, PluginState& state) { free_blip_choice(state.blip_choice); }

static void out_of_memory(RunContext& ctx, BlipChoice& c) {
    c.step = BlipChoiceStep::none;
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
    // Without markers there is nothing to ask the game about.
    const bool ask_player = state.markers.length > 0;
    if (ask_player && room(state) < side_query_natives) return;  // begun in the next frame
    const auto most = static_cast<std::size_t>(default_blip_limit);
    if (!array_reserve(c.keys, ctx.general, state.markers.length) || !array_reserve(c.chosen, ctx.general, most) ||
        !array_reserve(c.next_chosen, ctx.general, most)) {
        out_of_memory(ctx, c);
        return;
    }
    c.keys.length = state.markers.length;
    c.step = BlipChoiceStep::keys;
    c.cursor = 0;
    c.up_to_date = true;  // until something changes again
    c.limit = blip_limit_in_force(state);
    c.qualifying = 0;
    c.settled = false;
    c.from = vector3_to_position(state.player_position);
    c.player_in_guarma = ask_player && is_guarma_zone(zone_hash_at(state.player_position));
    std::fill(std::begin(c.buckets), std::end(c.buckets), 0u);
}

// The end of the stretch of `length` elements from the cursor that `work`
// pays for at `cost` each, and what is left of `work` after it.
static std::size_t stretch_end(const BlipChoice& c, std::size_t length, std::size_t cost, std::size_t& work) {
    const std::size_t end = std::min(length, c.cursor + work / cost);
    work -= (end - c.cursor) * cost;
    return end;
}

static void give_keys(PluginState& state, std::size_t end) {
    BlipChoice& c = state.blip_choice;
    const auto categories = static_cast<std::uint64_t>(state.categories.length);
    const GuarmaSide other = c.player_in_guarma ? GuarmaSide::mainland : GuarmaSide::guarma;
    std::int64_t qualifying = 0;  // counted here, not in the state, so that it stays in a register
    for (std::size_t i = c.cursor; i < end; ++i) {
        const Marker& m = state.markers[i];
        // Qualifies: a category of the table the player does not hide, and not
        // known to lie across the divide.
        if (m.data.category < 0 || static_cast<std::uint64_t>(m.data.category) >= categories || m.side == other ||
            off_the_map(state, m)) {
            c.keys[i] = key_none;
            continue;
        }
        const std::uint32_t key = distance_key(m.data.position, c.from);
        c.keys[i] = key;
        ++c.buckets[key >> 21];
        ++qualifying;
    }
    c.qualifying += qualifying;
}

// Counts the keys whose bits above `shift + width` are `c.prefix`, by the
// `width` bits below.
static void count_keys(BlipChoice& c, std::size_t end, std::uint32_t shift, std::uint32_t width) {
    const std::uint32_t mask = (1u << width) - 1;
    const std::uint32_t prefix = c.prefix;
    for (std::size_t i = c.cursor; i < end; ++i) {
        const std::uint32_t key = c.keys[i];
        if ((key >> (shift + width)) == prefix) ++c.buckets[(key >> shift) & mask];
    }
}

// Narrows the k-th key down to the bucket the counts put it in.
static void narrow(BlipChoice& c, std::size_t buckets, std::uint32_t width) {
    std::int64_t within = 0;
    const std::uint32_t b = bucket_of_rank(c.buckets, buckets, c.limit - c.below, &within);
    c.below += within;
    c.prefix = (c.prefix << width) | b;
    std::fill(std::begin(c.buckets), std::end(c.buckets), 0u);
}

static void start_collecting(BlipChoice& c, std::uint32_t threshold, std::int64_t ties) {
    c.threshold = threshold;
    c.ties = c.ties_left = ties;
    c.last_tie = 0;
    c.next_chosen.length = 0;
    c.step = BlipChoiceStep::collect;
}

static void collect(BlipChoice& c, std::size_t end) {
    GrowableArray<std::uint32_t>& next = c.next_chosen;
    for (std::size_t i = c.cursor; i < end; ++i) {
        const std::uint32_t key = c.keys[i];
        if (key > c.threshold || (key == c.threshold && c.ties_left == 0)) continue;
        if (key == c.threshold) {
            --c.ties_left;
            c.last_tie = i;
        }
        // At most the limit's number (500 at most), for which room is reserved.
        if (next.length < next.capacity) next[next.length++] = static_cast<std::uint32_t>(i);
    }
}

static bool is_chosen(const BlipChoice& c, std::uint32_t i) {
    const std::uint32_t key = c.keys[i];
    return key < c.threshold || (c.ties > 0 && key == c.threshold && i <= c.last_tie);
}

// Goes on with the choice under way for a frame's share of work; true once it
// is made and can be put on the map.
static bool work_on_choice(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    std::size_t work = blip_choice_work_per_frame;
    for (;;) {
        const std::size_t length = c.keys.length;
        const std::size_t end = stretch_end(c, length, c.step == BlipChoiceStep::keys ? blip_key_work : 1, work);
        switch (c.step) {
            case BlipChoiceStep::none:
            case BlipChoiceStep::remove:
            case BlipChoiceStep::make:
            case BlipChoiceStep::trim: return false;
            case BlipChoiceStep::keys: give_keys(state, end); break;
            case BlipChoiceStep::count_middle: count_keys(c, end, 10, 11); break;
            case BlipChoiceStep::count_low: count_keys(c, end, 0, 10); break;
            case BlipChoiceStep::collect: collect(c, end); break;
        }
        c.cursor = end;
        if (end < length) return false;  // the rest in the next frame
        c.cursor = 0;
        switch (c.step) {
            case BlipChoiceStep::none:
            case BlipChoiceStep::remove:
            case BlipChoiceStep::make:
            case BlipChoiceStep::trim: return false;
            case BlipChoiceStep::keys:
                if (c.qualifying <= c.limit) {
                    start_collecting(c, key_none, 0);  // all that qualify
                    break;
                }
                c.prefix = 0;
                c.below = 0;
                narrow(c, blip_key_buckets, 11);
                c.step = BlipChoiceStep::count_middle;
                break;
            case BlipChoiceStep::count_middle:
                narrow(c, 2048, 11);
                c.step = BlipChoiceStep::count_low;
                break;
            case BlipChoiceStep::count_low:
                narrow(c, 1024, 10);
                start_collecting(c, c.prefix, c.limit - c.below);  // at least one tie: the k-th key itself
                break;
            case BlipChoiceStep::collect: return true;
        }
    }
}

// ---- putting it on the map ----------------------------------------------------------------
//
// Removals first (the blips of markers no longer chosen), then the chosen
// without a blip get one, nearest first; each frame does what its room pays
// for and the next goes on from there. Until all removals are done `chosen` is
// the old choice (whose markers hold every blip there is), then the new one.

static void start_putting_on_map(BlipChoice& c) {
    c.step = BlipChoiceStep::remove;
    c.cursor = 0;
}

// The choice is on the map as far as the side of each chosen marker allows.
static void made(BlipChoice& c) {
    c.step = BlipChoiceStep::none;
    if (c.complete) {
        c.settled = true;
    } else {
        c.up_to_date = false;  // some lie across the divide after all: the next choice leaves them out
    }
}

// True once the step is done; false when the frame has no room left for it.
static bool remove_unchosen(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    for (; c.cursor < c.chosen.length; ++c.cursor) {
        Marker& m = state.markers[c.chosen[c.cursor]];
        if (m.blip == 0 || is_chosen(c, c.chosen[c.cursor])) continue;
        if (room(state) < blip_removal_natives) return false;
        remove_marker_blip(state, m);
    }
    std::swap(c.chosen, c.next_chosen);
    const std::uint32_t* keys = c.keys.data;
    std::sort(c.chosen.begin(), c.chosen.end(),
              [keys](std::uint32_t a, std::uint32_t b) { return keys[a] != keys[b] ? keys[a] < keys[b] : a < b; });
    c.chosen_from = c.from;
    c.next_check = 0;
    c.cursor = 0;
    c.complete = true;
    c.step = BlipChoiceStep::make;
    return true;
}

static bool make_chosen(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    for (; c.cursor < c.chosen.length; ++c.cursor) {
        Marker& m = state.markers[c.chosen[c.cursor]];
        if (m.blip != 0) continue;
        // Chosen before its category (or it, found) was hidden (a move, a switch): the next choice drops it.
        if (off_the_map(state, m)) continue;
        if (!side_known(m)) {
            if (room(state) < side_query_natives) return false;
            ask_side(m);
        }
        if ((m.side == GuarmaSide::guarma) != c.player_in_guarma) {
            c.complete = false;
            continue;
        }
        if (room(state) < blip_making_natives(state, m)) return false;
        const std::int64_t limit = state.blip_choice.blip_limit;
        if (create_marker_blip(state, m)) continue;
        c.complete = false;
        if (state.blip_choice.blip_limit < limit) {
            // Refused: the nearest of the lowered limit keep their blips, the
            // farther give theirs up; the next choice fills any gap among the nearest.
            c.step = BlipChoiceStep::trim;
            c.cursor = c.chosen.length;
            c.up_to_date = false;
            return true;
        }
        break;  // the limit is full: choose again
    }
    made(c);
    return true;
}

// Takes the blips of the chosen past the lowered limit, farthest first.
static bool trim_to_limit(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    const auto keep = static_cast<std::size_t>(blip_limit_in_force(state));
    for (; c.cursor > keep; --c.cursor) {
        Marker& far = state.markers[c.chosen[c.cursor - 1]];
        if (far.blip == 0) continue;
        if (room(state) < blip_removal_natives) return false;
        remove_marker_blip(state, far);
    }
    if (c.chosen.length > keep) c.chosen.length = keep;
    c.step = BlipChoiceStep::none;
    return true;
}

static void put_on_map(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    for (;;) {
        switch (c.step) {
            case BlipChoiceStep::remove:
                if (!remove_unchosen(state)) return;
                break;
            case BlipChoiceStep::make:
                if (!make_chosen(state)) return;
                break;
            case BlipChoiceStep::trim:
                if (!trim_to_limit(state)) return;
                break;
            default: return;
        }
    }
}

// ---- sides for the count ------------------------------------------------------------------
//
// "Showing the nearest 500 of N" counts the markers on the player's side, so
// it waits until every marker's side is known: those a choice needs are asked
// as it goes on the map, the rest a few a frame from here.

// Asks the sides not known yet, within the frame's room and the walk's share;
// true once every marker's side is known.
static bool learn_sides(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    const auto categories = static_cast<std::uint64_t>(state.categories.length);
    std::uint64_t share = side_walk_natives_per_frame;
    for (; c.sides_known_to < state.markers.length; ++c.sides_known_to) {
        Marker& m = state.markers[c.sides_known_to];
        if (side_known(m) || m.data.category < 0 || static_cast<std::uint64_t>(m.data.category) >= categories) {
            continue;
        }
        if (share < side_query_natives || room(state) < side_query_natives) return false;
        share -= side_query_natives;
        ask_side(m);
    }
    return true;
}

static void say_what_the_map_shows(RunContext& ctx, PluginState& state) {
    BlipChoice& c = state.blip_choice;
    const auto categories = static_cast<std::uint64_t>(state.categories.length);
    const GuarmaSide side = c.player_in_guarma ? GuarmaSide::guarma : GuarmaSide::mainland;
    std::int64_t on_side = 0;
    // Markers of a hidden category, and found ones hidden, are not counted: the map shows none of them.
    for (const Marker& m : state.markers) {
        on_side += m.side == side && m.data.category >= 0 && static_cast<std::uint64_t>(m.data.category) < categories &&
                   !off_the_map(state, m);
    }
    c.chosen_of = on_side;
    const std::int64_t limit = blip_limit_in_force(state);
    if (c.chosen_of <= limit || limit <= 0) return;  // all fit; a limit of 0 goes back to 500 at once
    if (c.said_limit != 0 && limit >= c.said_limit) return;
    c.said_limit = limit;
    log_format(ctx, LogLevel::info, "Showing the nearest {} of {} markers on the map", limit, c.chosen_of);
}

// ---- the pass ------------------------------------------------------------------------------

// A few blips' existence per frame; a blip the game dropped is removed and the
// markers on the map are chosen again.
static void check_some_blips(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    std::size_t checks = 0;
    for (std::size_t visited = 0;
         visited < c.chosen.length && checks < blip_checks_per_frame && room(state) >= blip_check_natives; ++visited) {
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
// made, or has stood still for a while anywhere else: farther than the
// stillness tolerance, so that the drift of a player standing (idling on a
// horse) does not choose again every time.
static void follow_player(PluginState& state) {
    BlipChoice& c = state.blip_choice;
    const Position at = vector3_to_position(state.player_position);
    const Position& from = c.step != BlipChoiceStep::none ? c.from : c.chosen_from;
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
    if (!(distance_squared(at, from) <= blip_still_tolerance * blip_still_tolerance)) c.up_to_date = false;
}

void refresh_marker_blips(RunContext& ctx, PluginState& state) {
    BlipChoice& c = state.blip_choice;
    if (state.blip_choice.blip_limit <= 0) {
        state.blip_choice.blip_limit = default_blip_limit;
        c.up_to_date = false;
    }
    check_some_blips(state);
    follow_player(state);
    if (c.step == BlipChoiceStep::none && !c.up_to_date) begin_choice(ctx, state);
    // Put on the map from the frame it is made in, as far as the frame's room goes.
    if (work_on_choice(state)) start_putting_on_map(c);
    const bool settled_before = c.settled && c.step == BlipChoiceStep::none;
    put_on_map(state);
    const bool settled_now = c.settled && c.step == BlipChoiceStep::none;
    const bool all_sides_before = c.sides_known_to >= state.markers.length;
    if (!learn_sides(state) || !settled_now) return;
    // Said once the choice is on the map and the count is true.
    if (!settled_before || !all_sides_before) say_what_the_map_shows(ctx, state);
}
