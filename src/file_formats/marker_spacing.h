// The 1-unit rule of try_add_marker for many markers at once, as an import of
// a marker pack needs it: the markers are kept in a hash of cells eight units
// wide, so a position is checked against the markers of about two cells (at
// most eight) instead of every marker. The answers are those of the pairwise
// loop: the same float arithmetic (distance_squared) decides, and the cells
// only leave out markers that this arithmetic can never find less than 1 unit
// away. No logging and no plug-in state: quillfen-markers merges with it too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/allocators.h"
#include "src/base/growable_array.h"
#include "src/base/position.h"

// A new marker is refused when an existing one lies less than 1 unit away
// (squared distance below this; exactly 1 unit is allowed).
inline constexpr float minimum_spacing_squared = 1.0f;

struct SpacingPoint {
    Position position;
    std::uint32_t next;  // the next point of the same cell, or spacing_none
};

struct SpacingCell {
    std::int32_t x, y, z;
    std::uint32_t first;  // spacing_none: a free slot
};

inline constexpr std::uint32_t spacing_none = 0xFFFFFFFFu;

struct SpacingGrid {
    GrowableArray<SpacingPoint> points;  // finite positions only
    SpacingCell* cells;                  // open addressing, a power of two long
    std::size_t cell_capacity;
    std::size_t cells_used;
    Allocator allocator;  // set by the first add
};

// Adds a marker's position. A position with a NaN or infinite coordinate is
// never less than 1 unit from anything (its differences are NaN or infinite),
// so it is not kept. False when out of memory (the grid is as it was).
bool spacing_grid_add(SpacingGrid& grid, const Allocator& allocator, const Position& position);
// Room for `count` more positions at once (adding works without it). False
// when out of memory.
bool spacing_grid_reserve(SpacingGrid& grid, const Allocator& allocator, std::size_t count);
// True when a position added lies less than 1 unit from `position`, exactly
// as the loop of try_add_marker would find it.
bool spacing_grid_too_close(const SpacingGrid& grid, const Position& position);
void spacing_grid_free(SpacingGrid& grid);

bool position_is_finite(const Position& position);

// One marker of a pack offered to a list whose positions are in `grid`. A
// pack's marker whose position is not finite is not taken: it could never be
// shown on the map, and no rule could tell it from itself when the same pack
// comes again. An added marker's position goes into the grid, so the pack's
// later markers are checked against it too.
enum class PackMarkerVerdict { added, too_close, not_finite, out_of_memory };
PackMarkerVerdict admit_pack_marker(SpacingGrid& grid, const Allocator& allocator, const Position& position);
