// Which records are the same marker: the same time and the same position, bit
// for bit. A marker keeps both for as long as it exists, and every copy of it
// (deleted.json, a backup, the list of a running game) keeps them exactly, so
// a marker is found again whatever its position is, NaN included, and a
// marker made later at the same place is not taken for it. The one rule of
// the plug-in's undo and of quillfen-markers' status, undelete and merge.
// A table of markers by this rule finds a marker among many in linear time.
// No logging and no plug-in state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/allocators.h"
#include "src/file_formats/marker_record.h"

struct MarkerIdentity {
    std::uint32_t x, y, z;  // the position's bits
    std::int64_t timestamp_ns;
};

MarkerIdentity marker_identity(const MarkerDataV1& marker);
bool same_identity(const MarkerIdentity& a, const MarkerIdentity& b);
inline bool same_marker(const MarkerDataV1& a, const MarkerDataV1& b) {
    return same_identity(marker_identity(a), marker_identity(b));
}
// Spread over 64 bits, for tables (the tool's too).
std::uint64_t marker_identity_hash(const MarkerIdentity& identity);

// Markers by identity, each with a number (an index of the caller's).
struct MarkerTableSlot {
    MarkerIdentity identity;
    std::size_t value;
    bool used;
};

struct MarkerTable {
    MarkerTableSlot* slots;  // open addressing, a power of two long
    std::size_t capacity;
    std::size_t count;
    Allocator allocator;  // set by the first reserve or add
};

// Room for `count` more markers at once (adding works without it). False when out of memory.
bool marker_table_reserve(MarkerTable& table, const Allocator& allocator, std::size_t count);
// The number kept for `marker`; null when the table does not hold it. The
// number may be changed through it until the next add.
std::size_t* marker_table_find(const MarkerTable& table, const MarkerDataV1& marker);
// Adds `marker` with `value` unless the table holds it already. The number it
// has then (`value`, or the one it had, which stays), changeable as above;
// `added` (optional) says which. Null when out of memory (the table is as it was).
std::size_t* marker_table_add(MarkerTable& table, const Allocator& allocator, const MarkerDataV1& marker,
                              std::size_t value, bool* added = nullptr);
void marker_table_free(MarkerTable& table);
