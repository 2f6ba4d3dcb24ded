// The leak tracker, the scratch arena and the growable array.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "src/base/allocators.h"
#include "src/base/growable_array.h"
#include "src/base/log.h"
#include "src/base/run_context.h"
#include "src/script_main.h"

namespace {

std::source_location at_line(std::source_location l = std::source_location::current()) { return l; }

struct Lines {
    std::string text;
};
void collect(void* data, LogLevel, std::string_view message, std::uint32_t) {
    static_cast<Lines*>(data)->text.append(message).append("|");
}

}  // namespace

TEST(AllocationTracker, AgreesWithAModelOverRandomAllocationsAndFrees) {
    AllocationTracker t{};
    tracker_init(t, heap_allocator(), heap_allocator());
    Allocator a = tracker_allocator(t);
    std::map<void*, std::size_t> model;
    std::mt19937 rng(12345);
    for (int step = 0; step < 20000; ++step) {
        if (model.empty() || rng() % 3 != 0) {
            std::size_t size = 1 + rng() % 200;
            void* p = allocate_bytes(a, size);
            ASSERT_NE(p, nullptr);
            model[p] = size;
        } else {
            auto it = model.begin();
            std::advance(it, static_cast<long>(rng() % model.size()));
            free_bytes(a, it->first, it->second);
            model.erase(it);
        }
    }
    std::size_t live_bytes = 0;
    for (auto& [p, size] : model) live_bytes += size;
    EXPECT_EQ(t.live, model.size());
    EXPECT_EQ(t.total_bytes, live_bytes);
    std::map<void*, std::size_t> recorded;
    tracker_for_each(t, [&](const TrackedAllocation& r) { recorded[r.block] = r.size; });
    EXPECT_EQ(recorded, model);
    for (auto& [p, size] : model) free_bytes(a, p, size);
    EXPECT_EQ(t.live, 0u);
    tracker_destroy(t);
}

TEST(AllocationTracker, AFreeOfAForeignBlockIsIgnored) {
    AllocationTracker t{};
    tracker_init(t, heap_allocator(), heap_allocator());
    Allocator a = tracker_allocator(t);
    void* mine = allocate_bytes(a, 8);
    int on_stack = 0;
    free_bytes(a, &on_stack, sizeof on_stack);  // must not reach the heap
    EXPECT_EQ(t.live, 1u);
    free_bytes(a, mine, 8);
    EXPECT_EQ(t.live, 0u);
    tracker_destroy(t);
}

TEST(LeakReport, OneErrorLinePerLeakWithLocationAndSizeThenTheTrackerIsClear) {
    AllocationTracker t{};
    tracker_init(t, heap_allocator(), heap_allocator());
    Allocator a = tracker_allocator(t);
    const std::source_location small_at = at_line();
    void* small = a.allocate(a.data, 24, 8, small_at);
    void* big = a.allocate(a.data, 1536, 8, small_at);
    Lines lines;
    RunContext ctx{heap_allocator(), heap_allocator(), Logger{collect, &lines, LogLevel::debug, 0}};
    report_leaks(ctx, t);
    const std::string where = std::string(small_at.file_name()) + "(" + std::to_string(small_at.line()) + ":" +
                              std::to_string(small_at.column()) + ")";
    // Either order: the report walks the records in no particular order.
    const std::string a_first = where + " leaked 24b\n|" + where + " leaked 1.50kib\n|";
    const std::string b_first = where + " leaked 1.50kib\n|" + where + " leaked 24b\n|";
    EXPECT_TRUE(lines.text == a_first || lines.text == b_first) << lines.text;
    EXPECT_EQ(t.live, 0u);
    EXPECT_EQ(t.total_allocations, 0u);
    lines.text.clear();
    report_leaks(ctx, t);
    EXPECT_EQ(lines.text, "");
    ::operator delete(small);
    ::operator delete(big);
    tracker_destroy(t);
}

TEST(ScratchArena, AlignsBlocksAndReusesItsChunkAfterRelease) {
    ScratchArena arena{};
    Allocator s = scratch_allocator(arena);
    for (std::size_t align : {1u, 2u, 4u, 8u, 16u}) {
        void* p = allocate_bytes(s, 3, align);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % align, 0u) << align;
    }
    void* big = allocate_bytes(s, 1 << 20);  // larger than a chunk
    ASSERT_NE(big, nullptr);
    scratch_release(arena);
    ScratchChunk* kept = arena.chunks;
    ASSERT_NE(kept, nullptr);
    void* again = allocate_bytes(s, 1 << 19);
    EXPECT_EQ(arena.chunks, kept) << "a released frame must not need a new chunk";
    EXPECT_NE(again, nullptr);
    scratch_release_all(arena);
    EXPECT_EQ(arena.chunks, nullptr);
}

TEST(GrowableArray, KeepsItsAllocatorOrderAndFailsAsAValue) {
    AllocationTracker t{};
    tracker_init(t, heap_allocator(), heap_allocator());
    GrowableArray<int> a{};
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(array_append(a, tracker_allocator(t), i));
    EXPECT_EQ(a.allocator.data, &t);
    array_remove_ordered(a, 0);
    array_remove_ordered(a, 98);
    array_remove_ordered(a, 500);  // out of range: nothing
    ASSERT_EQ(a.length, 98u);
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[97], 98);
    array_free(a);
    EXPECT_EQ(t.live, 0u);

    Allocator failing{[](void*, std::size_t, std::size_t, const std::source_location&) -> void* { return nullptr; },
                      [](void*, void*, std::size_t) {}, nullptr};
    GrowableArray<int> b{};
    EXPECT_FALSE(array_append(b, failing, 1));
    EXPECT_EQ(b.length, 0u);
    tracker_destroy(t);
}
