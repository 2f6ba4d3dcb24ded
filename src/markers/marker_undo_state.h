// What the undo of deletes and renames keeps: one history, oldest first, and
// what Quillfen/deleted.json holds of it (the procedures: marker_undo.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/growable_array.h"
#include "src/file_formats/marker_record.h"

enum class UndoKind : std::uint8_t {
    deleted,  // the marker left the list: `marker` is all of it
    renamed,  // the marker is found by its place and time; `marker.name` is its earlier name
};

struct UndoStep {
    UndoKind kind;
    // Put back when the delete is undone (texts owned); for a rename, the
    // marker it was (position and timestamp) and the name it had (owned).
    MarkerDataV1 marker;
    std::int64_t deleted_ns;  // when it was deleted (deleted.json's "deleted")
    std::int64_t index;       // where it stood in the list; -1 for a delete of an earlier run
    // Undone already, but still in deleted.json until markers.json holds it again.
    bool restored;
    // Not put back, as a marker stands within 1 unit of its place: no longer
    // offered in this run, and kept in deleted.json.
    bool passed_over;
};

struct MarkerUndo {
    GrowableArray<UndoStep> steps;  // oldest first: the newest not restored is undone first
    // deleted.json does not hold the history's deletes yet: it is written
    // before the next save of markers.json, which waits for it.
    bool deleted_file_behind;
    // deleted.json could not be read (held, or damaged and not yet kept
    // aside): nothing replaces it until it has been read.
    bool deleted_file_unread;
    std::uint32_t said_error;  // the error of deleted.json the log gave last (0: none)
};
