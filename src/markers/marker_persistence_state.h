// What saving and loading the markers file remember between frames (the
// policy itself: marker_persistence.h).
#pragma once

#include <cstdint>

#include "src/base/position.h"

// Why the last save of the markers file failed.
enum class SaveFailure : std::uint8_t {
    none,
    out_of_memory,
    not_a_file,           // something else stands at markers.json
    unreadable_not_kept,  // the file that did not load is not copied aside yet (the code: why the copy failed)
    write,                // writing or replacing the file (the code says why)
    file_not_read,        // markers.json is there but was not read yet: nothing may replace it
};

// A marker of the backup shown while markers.json could not be read, deleted
// or renamed meanwhile: found again in the file by its place and time once
// the file can be read, so that the change holds there too.
struct MarkerEdit {
    Position position;
    std::int64_t timestamp_ns;
    bool deleted;  // else renamed or moved
    bool moved;    // to another category (else renamed)
};
