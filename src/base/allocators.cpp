#include "src/base/allocators.h"

#include <cstdlib>
#include <cstring>

// ---- process heap -------------------------------------------------------------

static void* heap_allocate(void*, std::size_t size, std::size_t align, const std::source_location&) {
    // Over-aligned blocks would need the alignment again at free time; nothing
    // in the plug-in asks for them.
    if (align > alignof(std::max_align_t)) return nullptr;
    return ::operator new(size, std::nothrow);
}

static void heap_deallocate(void*, void* block, std::size_t) { ::operator delete(block); }

Allocator heap_allocator() { return Allocator{heap_allocate, heap_deallocate, nullptr}; }

// ---- scratch arena ------------------------------------------------------------

struct ScratchChunk {
    ScratchChunk* next;
    std::size_t capacity;  // bytes after the header
};

constexpr std::size_t scratch_chunk_minimum = 64 * 1024;

static unsigned char* chunk_bytes(ScratchChunk* c) { return reinterpret_cast<unsigned char*>(c + 1); }

static void* scratch_allocate(void* data, std::size_t size, std::size_t align, const std::source_location&) {
    auto& arena = *static_cast<ScratchArena*>(data);
    if (align == 0 || (align & (align - 1)) != 0) return nullptr;
    if (ScratchChunk* head = arena.chunks) {
        auto base = reinterpret_cast<std::uintptr_t>(chunk_bytes(head));
        std::uintptr_t at = (base + arena.used_in_head + (align - 1)) & ~(std::uintptr_t(align) - 1);
        std::size_t offset = at - base;
        if (offset <= head->capacity && size <= head->capacity - offset) {
            arena.used_in_head = offset + size;
            arena.total_allocated += size;
            return reinterpret_cast<void*>(at);
        }
    }
    if (size > SIZE_MAX / 2 - align) return nullptr;
    std::size_t want = size + align;
    std::size_t capacity = scratch_chunk_minimum;
    if (arena.chunks && arena.chunks->capacity * 2 > capacity) capacity = arena.chunks->capacity * 2;
    if (capacity < want) capacity = want;
    auto* chunk = static_cast<ScratchChunk*>(::operator new(sizeof(ScratchChunk) + capacity, std::nothrow));
    if (!chunk) return nullptr;
    chunk->next = arena.chunks;
    chunk->capacity = capacity;
    arena.chunks = chunk;
    arena.used_in_head = 0;
    return scratch_allocate(data, size, align, std::source_location::current());
}

static void scratch_deallocate(void*, void*, std::size_t) {
    // Scratch blocks live until the arena is released.
}

Allocator scratch_allocator(ScratchArena& arena) { return Allocator{scratch_allocate, scratch_deallocate, &arena}; }

void scratch_release(ScratchArena& arena) {
    // Keep the newest (largest) chunk so the next frame allocates nothing.
    ScratchChunk* keep = arena.chunks;
    if (keep) {
        ScratchChunk* c = keep->next;
        while (c) {
            ScratchChunk* next = c->next;
            ::operator delete(c);
            c = next;
        }
        keep->next = nullptr;
    }
    arena.used_in_head = 0;
    arena.total_allocated = 0;
}

void scratch_release_all(ScratchArena& arena) {
    ScratchChunk* c = arena.chunks;
    while (c) {
        ScratchChunk* next = c->next;
        ::operator delete(c);
        c = next;
    }
    arena = ScratchArena{};
}

ScratchArena& thread_scratch_arena() {
    thread_local ScratchArena arena{};
    return arena;
}

// ---- allocation tracker -------------------------------------------------------
// Open addressing on the block address; tombstones keep probe chains intact.

char tracker_tombstone_marker;

static std::size_t slot_of(const void* block, std::size_t capacity) {
    auto x = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(block));
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    return static_cast<std::size_t>(x) & (capacity - 1);
}

static bool tracker_grow(AllocationTracker& t) {
    std::size_t new_capacity = t.capacity ? t.capacity * 2 : 256;
    if (t.live * 2 < t.capacity) new_capacity = t.capacity;  // only tombstones to sweep
    auto* slots = allocate_array<TrackedAllocation>(t.bookkeeping, new_capacity);
    if (!slots) return false;
    std::memset(static_cast<void*>(slots), 0, new_capacity * sizeof(TrackedAllocation));
    for (std::size_t i = 0; i < t.capacity; ++i) {
        const TrackedAllocation& r = t.slots[i];
        if (r.block == nullptr || r.block == &tracker_tombstone_marker) continue;
        std::size_t j = slot_of(r.block, new_capacity);
        while (slots[j].block != nullptr) j = (j + 1) & (new_capacity - 1);
        slots[j] = r;
    }
    free_array(t.bookkeeping, t.slots, t.capacity);
    t.slots = slots;
    t.capacity = new_capacity;
    t.tombstones = 0;
    return true;
}

static void* tracker_allocate(void* data, std::size_t size, std::size_t align, const std::source_location& where) {
    auto& t = *static_cast<AllocationTracker*>(data);
    if ((t.live + t.tombstones + 1) * 4 > t.capacity * 3 && !tracker_grow(t)) return nullptr;
    void* block = t.backing.allocate(t.backing.data, size, align, where);
    if (!block) return nullptr;
    std::size_t j = slot_of(block, t.capacity);
    while (t.slots[j].block != nullptr && t.slots[j].block != &tracker_tombstone_marker) j = (j + 1) & (t.capacity - 1);
    if (t.slots[j].block == &tracker_tombstone_marker) --t.tombstones;
    t.slots[j] = TrackedAllocation{block, size, where};
    ++t.live;
    ++t.total_allocations;
    t.total_bytes += size;
    return block;
}

static void tracker_deallocate(void* data, void* block, std::size_t size) {
    auto& t = *static_cast<AllocationTracker*>(data);
    if (t.capacity == 0) return;
    std::size_t j = slot_of(block, t.capacity);
    for (std::size_t probes = 0; probes < t.capacity; ++probes, j = (j + 1) & (t.capacity - 1)) {
        TrackedAllocation& r = t.slots[j];
        if (r.block == nullptr) break;
        if (r.block == block) {
            t.total_bytes -= r.size;
            r = TrackedAllocation{&tracker_tombstone_marker, 0, {}};
            --t.live;
            ++t.tombstones;
            t.backing.deallocate(t.backing.data, block, size);
            return;
        }
    }
    // Not one of ours: handing it to the backing allocator could corrupt the
    // heap, so the block is left alone.
}

void tracker_init(AllocationTracker& t, const Allocator& backing, const Allocator& bookkeeping) {
    t = AllocationTracker{};
    t.backing = backing;
    t.bookkeeping = bookkeeping;
}

void tracker_destroy(AllocationTracker& t) {
    if (t.slots) free_array(t.bookkeeping, t.slots, t.capacity);
    t = AllocationTracker{};
}

void tracker_clear(AllocationTracker& t) {
    if (t.slots) std::memset(static_cast<void*>(t.slots), 0, t.capacity * sizeof(TrackedAllocation));
    t.live = 0;
    t.tombstones = 0;
    t.total_allocations = 0;
    t.total_bytes = 0;
}

Allocator tracker_allocator(AllocationTracker& t) { return Allocator{tracker_allocate, tracker_deallocate, &t}; }
