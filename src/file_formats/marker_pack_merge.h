// A marker pack merged into a list under the 1-unit rule: the one loop of the
// plug-in's import (merge_pack in src/markers/marker_packs.cpp) and of
// `quillfen-markers merge`. The list's positions go into a spacing grid first;
// then each record of the pack, in order, is offered to it (admit_pack_marker):
// one added goes into the grid too, so the pack's later records are checked
// against it. Where the list lives (the plug-in's markers, the tool's records)
// is the caller's: it is given each added record. No logging and no plug-in
// state.
#pragma once

#include <cstddef>
#include <string_view>

#include "src/base/allocators.h"
#include "src/base/position.h"
#include "src/file_formats/marker_record.h"
#include "src/file_formats/marker_spacing.h"

// The name a pack's markers keep ("pack"): its file's name without the
// folders before it and without its extension ("Dinosaur bones" for
// ".../import/Dinosaur bones.json"; the whole name when no other is left but
// dots: ".json", "..geojson"). Empty for a file of the player's own
// markers coming back - deleted.json, or a copy of markers.json (a name that
// begins with "markers": the backups, the .bak, an unsaved or replaced copy):
// its markers are no collection and keep no pack's name.
std::string_view pack_name_of_file(std::string_view path);
// Gives each of the `count` records that names no pack of its own `pack` (a
// copy each, from `allocator`); a record that names one (a pack exported
// with its marks) keeps it. False when out of memory: the records named until
// then keep their names.
bool name_pack_records(MarkerDataV1* records, std::size_t count, std::string_view pack, const Allocator& allocator);

// Puts the positions of a list of `count` markers into `grid`:
// `position_of(i)` gives the i-th. False when out of memory: the grid then
// holds only part of the list, and no pack may be merged over it.
template <class PositionOf>
bool fill_spacing_grid(SpacingGrid& grid, const Allocator& allocator, std::size_t count, PositionOf position_of) {
    (void)spacing_grid_reserve(grid, allocator, count);  // without it, the grid grows as it goes
    for (std::size_t i = 0; i < count; ++i) {
        if (!spacing_grid_add(grid, allocator, position_of(i))) return false;
    }
    return true;
}

// What the merge of one pack did with its records.
struct PackMergeCounts {
    std::size_t added;       // given to the list, in the pack's order
    std::size_t too_close;   // less than 1 unit from a marker of the list (or one added before)
    std::size_t not_finite;  // left out: a position that is not a finite number
    bool whole;              // false: memory ran out part-way; the records added until then stay added
};

// Offers the pack's `count` records in order to the list whose positions are
// in `grid`; `take(record)` is called for each one added, in order, and must
// keep it (the caller makes room for `count` more beforehand where room can
// run out). The record stays the pack's: a caller that takes over its name
// sets it to null. Stops at the first record the grid has no room for.
template <class Take>
PackMergeCounts merge_pack_records(SpacingGrid& grid, const Allocator& allocator, MarkerDataV1* records,
                                   std::size_t count, Take take) {
    PackMergeCounts counts{0, 0, 0, true};
    (void)spacing_grid_reserve(grid, allocator, count);  // without it, the grid grows as it goes
    for (std::size_t i = 0; i < count; ++i) {
        switch (admit_pack_marker(grid, allocator, records[i].position)) {
            case PackMarkerVerdict::added:
                take(records[i]);
                ++counts.added;
                break;
            case PackMarkerVerdict::too_close: ++counts.too_close; break;
            case PackMarkerVerdict::not_finite: ++counts.not_finite; break;
            case PackMarkerVerdict::out_of_memory: counts.whole = false; return counts;
        }
    }
    return counts;
}
