#include "src/file_formats/marker_spacing.h"

#include <cmath>

// Why the cells never leave out a marker that is too close: rounding is
// monotonic, so when two coordinates differ by 1 or more, their float
// difference is 1 or more in size, its square too, and so is the sum of the
// three squares; such a pair is never "below 1.0". A marker too close to a
// position therefore differs from it by less than 1 on every axis, and lies in
// the position's cell or, on each axis, in the one neighbour on the side the
// position is less than 1 from its cell's edge.
//
// Cells are 8 units wide: cell c on an axis holds [8c, 8c + 8). A position
// needs a neighbour on an axis only within 1 unit of its cell's edge, so a
// check looks at about two cells, rarely eight. Far out, where no game
// position lies, the cells are clamped to ±cell_limit: everything beyond
// shares the last cell, and floats there are too far apart (128 units and
// more) to be within 1 unit of anything on the other side.

namespace {

constexpr double cell_width = 8.0;
constexpr double cell_limit = 134217728.0;  // 2^27 cells: 2^30 units

struct AxisCell {
    std::int32_t cell;
    std::int32_t other;  // the neighbour to look in too: -1, +1, or 0 for none
};

AxisCell axis_cell(float value) {
    const double v = value;
    const double c = std::floor(v / cell_width);
    if (c > cell_limit) return {static_cast<std::int32_t>(cell_limit), 0};
    if (c < -cell_limit) return {static_cast<std::int32_t>(-cell_limit), 0};
    // Exact where it decides: v is a float and c * 8 an integer near it.
    const double offset = v - c * cell_width;
    return {static_cast<std::int32_t>(c), offset < 1.0 ? -1 : offset > cell_width - 1.0 ? 1 : 0};
}

std::uint64_t cell_hash(std::int32_t x, std::int32_t y, std::int32_t z) {
    std::uint64_t h = static_cast<std::uint32_t>(x) | (static_cast<std::uint64_t>(static_cast<std::uint32_t>(y)) << 32);
    h ^= static_cast<std::uint64_t>(static_cast<std::uint32_t>(z)) * 0x9E3779B97F4A7C15u;
    h ^= h >> 30;
    h *= 0xBF58476D1CE4E5B9u;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBu;
    h ^= h >> 31;
    return h;
}

// The slot of the cell, or the free slot where it would go.
std::size_t find_slot(const SpacingCell* cells, std::size_t capacity, std::int32_t x, std::int32_t y, std::int32_t z) {
    const std::size_t mask = capacity - 1;
    std::size_t i = static_cast<std::size_t>(cell_hash(x, y, z)) & mask;
    while (cells[i].first != spacing_none && (cells[i].x != x || cells[i].y != y || cells[i].z != z))
        i = (i + 1) & mask;
    return i;
}

void link_point(SpacingCell* cells, std::size_t capacity, SpacingPoint* points, std::uint32_t index,
                std::size_t* used) {
    const Position& p = points[index].position;
    const std::size_t slot = find_slot(cells, capacity, axis_cell(p.x).cell, axis_cell(p.y).cell, axis_cell(p.z).cell);
    SpacingCell& cell = cells[slot];
    if (cell.first == spacing_none) {
        cell = SpacingCell{axis_cell(p.x).cell, axis_cell(p.y).cell, axis_cell(p.z).cell, spacing_none};
        ++*used;
    }
    points[index].next = cell.first;
    cell.first = index;
}

// At most half the slots in use, so probes stay short.
bool make_room_for_cells(SpacingGrid& grid, std::size_t count) {
    if (grid.cells && (grid.cells_used + count) * 2 <= grid.cell_capacity) return true;
    std::size_t capacity = grid.cell_capacity ? grid.cell_capacity * 2 : 64;
    while (capacity < (grid.cells_used + count) * 2) capacity *= 2;
    SpacingCell* cells = allocate_array<SpacingCell>(grid.allocator, capacity);
    if (!cells) return false;
    for (std::size_t i = 0; i < capacity; ++i) cells[i] = SpacingCell{0, 0, 0, spacing_none};
    std::size_t used = 0;
    for (std::uint32_t i = 0; i < grid.points.length; ++i) link_point(cells, capacity, grid.points.data, i, &used);
    free_array(grid.allocator, grid.cells, grid.cell_capacity);
    grid.cells = cells;
    grid.cell_capacity = capacity;
    grid.cells_used = used;
    return true;
}

}  // namespace

bool position_is_finite(const Position& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

bool spacing_grid_add(SpacingGrid& grid, const Allocator& allocator, const Position& position) {
    if (!position_is_finite(position)) return true;  // never too close to anything: nothing to keep
    if (grid.points.length >= spacing_none) return false;
    if (!allocator_is_set(grid.allocator)) grid.allocator = allocator;
    // Room first for both, so a failure leaves the grid as it was.
    if (!make_room_for_cells(grid, 1)) return false;
    if (!array_append(grid.points, grid.allocator, SpacingPoint{position, spacing_none})) return false;
    link_point(grid.cells, grid.cell_capacity, grid.points.data, static_cast<std::uint32_t>(grid.points.length - 1),
               &grid.cells_used);
    return true;
}

bool spacing_grid_reserve(SpacingGrid& grid, const Allocator& allocator, std::size_t count) {
    if (count > spacing_none - grid.points.length) return false;
    if (!allocator_is_set(grid.allocator)) grid.allocator = allocator;
    return make_room_for_cells(grid, count) && array_reserve(grid.points, grid.allocator, grid.points.length + count);
}

bool spacing_grid_too_close(const SpacingGrid& grid, const Position& position) {
    if (!grid.cells || !position_is_finite(position)) return false;
    const AxisCell ax = axis_cell(position.x), ay = axis_cell(position.y), az = axis_cell(position.z);
    const std::int32_t xs[2] = {ax.cell, ax.cell + ax.other}, ys[2] = {ay.cell, ay.cell + ay.other},
                       zs[2] = {az.cell, az.cell + az.other};
    for (int i = 0; i < (ax.other ? 2 : 1); ++i) {
        for (int j = 0; j < (ay.other ? 2 : 1); ++j) {
            for (int k = 0; k < (az.other ? 2 : 1); ++k) {
                const SpacingCell& cell = grid.cells[find_slot(grid.cells, grid.cell_capacity, xs[i], ys[j], zs[k])];
                for (std::uint32_t p = cell.first; p != spacing_none; p = grid.points[p].next) {
                    if (distance_squared(grid.points[p].position, position) < minimum_spacing_squared) return true;
                }
            }
        }
    }
    return false;
}

void spacing_grid_free(SpacingGrid& grid) {
    array_free(grid.points);
    if (grid.cells) free_array(grid.allocator, grid.cells, grid.cell_capacity);
    grid = SpacingGrid{};
}

PackMarkerVerdict admit_pack_marker(SpacingGrid& grid, const Allocator& allocator, const Position& position) {
    if (!position_is_finite(position)) return PackMarkerVerdict::not_finite;
    if (spacing_grid_too_close(grid, position)) return PackMarkerVerdict::too_close;
    if (!spacing_grid_add(grid, allocator, position)) return PackMarkerVerdict::out_of_memory;
    return PackMarkerVerdict::added;
}
