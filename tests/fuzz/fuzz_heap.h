// What the fuzz targets share: stopping loudly on a broken promise, a heap
// that checks every block comes back with the size it was given and can run
// out part-way on purpose, and a bound on a text's lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "src/base/allocators.h"

namespace fuzz {

[[noreturn]] inline void die(const char* what) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

inline void check(bool ok, const char* what) {
    if (!ok) die(what);
}

struct Heap {
    std::size_t live_blocks = 0;
    std::size_t allocations = 0;
    std::size_t fail_after = SIZE_MAX;

    static constexpr std::size_t header = 16;

    static void* allocate(void* data, std::size_t size, std::size_t align, const std::source_location&) {
        Heap& h = *static_cast<Heap*>(data);
        check(size > 0 && align <= header, "odd allocation request");
        if (h.allocations >= h.fail_after) return nullptr;
        char* raw = static_cast<char*>(std::malloc(header + size));
        if (!raw) return nullptr;
        std::memcpy(raw, &size, sizeof size);
        ++h.allocations;
        ++h.live_blocks;
        return raw + header;
    }

    static void deallocate(void* data, void* block, std::size_t size) {
        Heap& h = *static_cast<Heap*>(data);
        char* raw = static_cast<char*>(block) - header;
        std::size_t recorded;
        std::memcpy(&recorded, raw, sizeof recorded);
        check(recorded == size, "block freed with another size than it was allocated with");
        check(h.live_blocks > 0, "more frees than allocations");
        --h.live_blocks;
        std::free(raw);
    }

    Allocator allocator() { return Allocator{&Heap::allocate, &Heap::deallocate, this}; }
};

// Where a second pass over the same input runs out of memory: a point among
// the `needed` allocations, chosen from the input so a crash reproduces.
inline std::size_t failure_point(const std::uint8_t* data, std::size_t size, std::size_t needed) {
    std::size_t h = 1469598103934665603u;
    for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211u;
    return h % needed;
}

// At least as many lines as a JSON5 text has (a line ends at LF, CR, CRLF,
// U+2028 or U+2029; a CRLF is counted twice here): a place past them is no
// place in the text.
inline std::size_t most_lines(std::string_view text) {
    std::size_t lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') ++lines;
        if (text.compare(i, 3, "\xE2\x80\xA8") == 0 || text.compare(i, 3, "\xE2\x80\xA9") == 0) ++lines;
    }
    return lines;
}

}  // namespace fuzz
