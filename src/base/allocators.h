// Allocators of the run context: a small record of procedures, so the general
// allocator can be the process heap, the leak tracker or a test double, and the
// scratch allocator a per-thread arena released once per frame.
//
// Sections: Allocator record and helpers · process heap · scratch arena ·
// allocation tracker.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <source_location>

// Every allocation carries the source location that asked for it, so the
// tracker can say "file(line:column) leaked 24b".
struct Allocator {
    void* (*allocate)(void* data, std::size_t size, std::size_t align, const std::source_location& where);
    // `size` is the size that was asked for when the block was made.
    void (*deallocate)(void* data, void* block, std::size_t size);
    void* data;
};

inline bool allocator_is_set(const Allocator& a) { return a.allocate != nullptr; }

// Returns nullptr on failure (and for size 0); never throws.
inline void* allocate_bytes(const Allocator& a, std::size_t size, std::size_t align = alignof(std::max_align_t),
                            const std::source_location& where = std::source_location::current()) {
    if (size == 0) return nullptr;
    return a.allocate(a.data, size, align, where);
}

inline void free_bytes(const Allocator& a, void* block, std::size_t size) {
    if (block != nullptr) a.deallocate(a.data, block, size);
}

// Uninitialised storage for `count` objects of a trivially copyable T.
template <class T>
T* allocate_array(const Allocator& a, std::size_t count,
                  const std::source_location& where = std::source_location::current()) {
    if (count == 0 || count > SIZE_MAX / sizeof(T)) return nullptr;
    return static_cast<T*>(a.allocate(a.data, count * sizeof(T), alignof(T), where));
}

template <class T>
void free_array(const Allocator& a, T* block, std::size_t count) {
    free_bytes(a, block, count * sizeof(T));
}

// ---- process heap -------------------------------------------------------------
Allocator heap_allocator();

// ---- scratch arena ------------------------------------------------------------
// Bump allocation from chunks taken from the process heap. Releasing keeps one
// chunk for the next frame, so a steady frame touches the heap not at all.
struct ScratchChunk;
struct ScratchArena {
    ScratchChunk* chunks;  // newest first
    std::size_t used_in_head;
    std::size_t total_allocated;  // bytes handed out since the last release
};

Allocator scratch_allocator(ScratchArena& arena);
// Forget everything handed out; keeps the largest chunk for reuse.
void scratch_release(ScratchArena& arena);
// Give every chunk back to the heap (at unload).
void scratch_release_all(ScratchArena& arena);
// The calling thread's arena.
ScratchArena& thread_scratch_arena();

// ---- allocation tracker -------------------------------------------------------
struct TrackedAllocation {
    void* block;  // nullptr: empty slot; a tombstone uses the tombstone marker
    std::size_t size;
    std::source_location where;
};

struct AllocationTracker {
    Allocator backing;      // where blocks come from; empty until set up
    Allocator bookkeeping;  // where the record table comes from
    TrackedAllocation* slots;
    std::size_t capacity;  // power of two, or 0
    std::size_t live;      // records in use
    std::size_t tombstones;
    std::size_t total_allocations;  // since the last clear
    std::size_t total_bytes;        // bytes currently live
};

void tracker_init(AllocationTracker& t, const Allocator& backing, const Allocator& bookkeeping);
// Frees the record table; blocks still recorded are left alone.
void tracker_destroy(AllocationTracker& t);
// Forgets all records and resets the totals (blocks are not freed).
void tracker_clear(AllocationTracker& t);
Allocator tracker_allocator(AllocationTracker& t);

// Calls `visit(record)` for every live record, in no particular order.
template <class Visit>
void tracker_for_each(const AllocationTracker& t, Visit&& visit);

// ---- implementation details ---------------------------------------------------
extern char tracker_tombstone_marker;

template <class Visit>
void tracker_for_each(const AllocationTracker& t, Visit&& visit) {
    for (std::size_t i = 0; i < t.capacity; ++i) {
        const TrackedAllocation& r = t.slots[i];
        if (r.block != nullptr && r.block != &tracker_tombstone_marker) visit(r);
    }
}
