#include "src/file_formats/marker_identity.h"

#include <cstring>

MarkerIdentity marker_identity(const MarkerDataV1& marker) {
    MarkerIdentity id{};
    std::memcpy(&id.x, &marker.position.x, sizeof id.x);
    std::memcpy(&id.y, &marker.position.y, sizeof id.y);
    std::memcpy(&id.z, &marker.position.z, sizeof id.z);
    id.timestamp_ns = marker.timestamp._nsec;
    return id;
}

bool same_identity(const MarkerIdentity& a, const MarkerIdentity& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.timestamp_ns == b.timestamp_ns;
}

std::uint64_t marker_identity_hash(const MarkerIdentity& identity) {
    std::uint64_t h = static_cast<std::uint64_t>(identity.timestamp_ns);
    for (const std::uint32_t bits : {identity.x, identity.y, identity.z}) {
        h = (h ^ bits) * 0x9E3779B97F4A7C15u;
        h ^= h >> 29;
    }
    h *= 0xBF58476D1CE4E5B9u;
    h ^= h >> 32;
    return h;
}

// The slot of `id`, or the free slot where it would go.
static std::size_t slot_of(const MarkerTableSlot* slots, std::size_t capacity, const MarkerIdentity& id) {
    const std::size_t mask = capacity - 1;
    std::size_t i = static_cast<std::size_t>(marker_identity_hash(id)) & mask;
    while (slots[i].used && !same_identity(slots[i].identity, id)) i = (i + 1) & mask;
    return i;
}

// At most half the slots in use, so probes stay short.
bool marker_table_reserve(MarkerTable& table, const Allocator& allocator, std::size_t count) {
    if (!allocator_is_set(table.allocator)) table.allocator = allocator;
    if (count > SIZE_MAX / 4 - table.count) return false;
    const std::size_t wanted = (table.count + count) * 2;
    if (table.slots && wanted <= table.capacity) return true;
    std::size_t capacity = table.capacity ? table.capacity * 2 : 64;
    while (capacity < wanted) capacity *= 2;
    MarkerTableSlot* slots = allocate_array<MarkerTableSlot>(table.allocator, capacity);
    if (!slots) return false;
    for (std::size_t i = 0; i < capacity; ++i) slots[i].used = false;
    for (std::size_t i = 0; i < table.capacity; ++i) {
        if (table.slots[i].used) slots[slot_of(slots, capacity, table.slots[i].identity)] = table.slots[i];
    }
    free_array(table.allocator, table.slots, table.capacity);
    table.slots = slots;
    table.capacity = capacity;
    return true;
}

std::size_t* marker_table_find(const MarkerTable& table, const MarkerDataV1& marker) {
    if (!table.slots) return nullptr;
    MarkerTableSlot& slot = table.slots[slot_of(table.slots, table.capacity, marker_identity(marker))];
    return slot.used ? &slot.value : nullptr;
}

std::size_t* marker_table_add(MarkerTable& table, const Allocator& allocator, const MarkerDataV1& marker,
                              std::size_t value, bool* added) {
    if (!marker_table_reserve(table, allocator, 1)) return nullptr;
    const MarkerIdentity id = marker_identity(marker);
    MarkerTableSlot& slot = table.slots[slot_of(table.slots, table.capacity, id)];
    if (added) *added = !slot.used;
    if (!slot.used) {
        slot = MarkerTableSlot{id, value, true};
        ++table.count;
    }
    return &slot.value;
}

void marker_table_free(MarkerTable& table) {
    if (table.slots) free_array(table.allocator, table.slots, table.capacity);
    table = MarkerTable{};
}
