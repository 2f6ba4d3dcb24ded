// What the import of marker packs remembers until the markers are saved (the
// import: marker_packs.h). Written only by it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/growable_array.h"

// A marker pack whose markers are in the list but not yet in the markers
// file: it leaves Quillfen/import/ with the first save that works.
struct WaitingPack {
    char* path;                // "Quillfen/import/NAME", zero-terminated, from the general allocator
    std::size_t size;          // of that block
    std::int64_t modified_ns;  // the pack as it was imported: one changed since then stays
    std::uint64_t bytes;
};

struct MarkerPacks {
    // Packs imported at this script start (or after markers.json was read
    // late) whose markers are not saved yet: no more than the import found,
    // and none once a save has worked.
    GrowableArray<WaitingPack> waiting_for_save;
};
