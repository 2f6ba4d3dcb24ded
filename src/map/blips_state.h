// What the blip pass remembers between frames: the markers chosen to hold a
// blip, and the next choice while it is under way (the pass: blips.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/growable_array.h"
#include "src/base/position.h"

// The markers chosen to hold a blip: the nearest that qualify, measured from
// where the player stood. A new choice goes through its steps over as many
// frames as the list needs (each frame does a bounded share of the work), then
// is put on the map over as many frames as the natives it takes need (each
// frame calls no more than the room the frame has left).
enum class BlipChoiceStep : std::uint8_t {
    none,          // no choice under way
    keys,          // each marker gets its key: its distance's ordered bits, or none
    count_middle,  // the keys in the bucket of the k-th are counted by their next 11 bits...
    count_low,     // ...and then by their last 10: the k-th key is known
    collect,       // the markers up to it are gathered, in list order
    remove,        // the blips of the markers no longer chosen go
    make,          // the chosen without a blip get one, nearest first
    trim,          // the game refused one: the farthest past the lowered limit give theirs up
};
inline constexpr std::size_t blip_key_buckets = 2048;
struct BlipChoice {
    std::int64_t blip_limit;  // the most blips at once: 500, lowered when the game refuses one
    // How many markers hold a non-zero blip handle (live or stale); kept by
    // every writer of a marker's `blip`, so the blip limit needs no walk.
    std::int64_t markers_with_blip;
    // Every marker holding a blip is in `chosen`, whatever step is under way,
    // so that the next choice finds each blip it has to take away.
    GrowableArray<std::uint32_t> chosen;       // indices into `markers`, nearest first
    GrowableArray<std::uint32_t> next_chosen;  // the choice being gathered, then swapped with `chosen`
    std::size_t next_check;                    // the entry of `chosen` whose blip's existence is checked next
    Position chosen_from;                      // where the player stood for the choice on the map
    std::int64_t chosen_of;                    // the markers on the player's side, once all sides are known
    bool up_to_date;                           // false: choose again once no choice is under way
    bool settled;                              // the choice on the map is complete: each chosen marker holds its blip
    Position still_at;                         // where the player has stood...
    std::int64_t still_ns;                     // ...for this long
    std::int64_t said_limit;                   // the limit the log last named ("Showing the nearest ..."); 0: none yet
    bool out_of_memory_said;                   // a choice failed for want of memory, and the log said so
    // The markers before this one have their side of the divide known (or no
    // category of the table); the rest are asked a few a frame, so that the
    // log's count is true. Back to 0 when the list changes.
    std::size_t sides_known_to;

    // ---- the choice under way
    BlipChoiceStep step;
    std::size_t cursor;                       // how far the step has gone through the markers, keys or chosen
    Position from;                            // the player's position when it began
    bool player_in_guarma;                    // the player's side of the Guarma divide then
    std::int64_t limit;                       // how many it chooses
    std::int64_t qualifying;                  // markers with a key
    GrowableArray<std::uint32_t> keys;        // per marker
    std::uint32_t buckets[blip_key_buckets];  // how many keys share each value of the bits being counted
    std::uint32_t prefix;                     // the bits of the k-th key known so far
    std::int64_t below;                       // keys known to be smaller than the k-th
    std::uint32_t threshold;                  // the k-th key: chosen are those below it...
    std::int64_t ties;                        // ...and this many equal to it, the first in list order
    std::int64_t ties_left;
    std::size_t last_tie;  // the last marker taken with a key equal to the threshold
    bool complete;         // while making: every chosen marker so far lies on the player's side
};
