// What the import of marker packs remembers until the markers are saved (the
// import: marker_packs.h).
#pragma once

#include <cstddef>
#include <cstdint>

// A marker pack whose markers are in the list but not yet in the markers
// file: it leaves Quillfen/import/ with the first save that works.
struct WaitingPack {
    char* path;                // "Quillfen/import/NAME", zero-terminated, from the general allocator
    std::size_t size;          // of that block
    std::int64_t modified_ns;  // the pack as it was imported: one changed since then stays
    std::uint64_t bytes;
};
