// What collections keep from frame to frame: the time towards the next look
// for markers the player has reached, and the pack progress the list shows for
// its selected marker. The procedures are in collections.h.
#pragma once

#include <cstddef>
#include <cstdint>

// How often the player's surroundings are looked at for markers reached:
// a player on foot or horse moves a few metres in a second.
inline constexpr std::int64_t found_look_interval_ns = 1'000'000'000;
// Room for the list's progress text, with its terminator; a longer pack name is cut.
inline constexpr std::size_t pack_progress_capacity = 160;

struct Collections {
    std::int64_t since_look_ns;  // frame time gathered toward the next look
    // The progress text of `progress_of` (a marker index; -1: none), kept
    // until the marker list changes or another marker is selected.
    std::int64_t progress_of;
    bool progress_stale;
    char progress[pack_progress_capacity];
};
