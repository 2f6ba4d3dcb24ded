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
    // In the list again (undone, or back by other ways: a pack, the tool, a
    // kill between a delete's two writes), but still in deleted.json until a
    // save of markers.json works: no longer offered.
    bool restored;
    // Not put back, as a marker stands within 1 unit of its place (or is
    // the marker itself in the backup's list shown while markers.json is
    // unread): no longer offered in this run, and kept in deleted.json.
    bool passed_over;
};

struct MarkerUndo {
    // Oldest first: the newest not restored is undone first. One delete per
    // marker (its newest), by the rule of marker_identity.h.
    GrowableArray<UndoStep> steps;
    // deleted.json does not hold the history's deletes yet: the next save of
    // markers.json waits for it. Only while a delete's own write is under way:
    // a delete that deleted.json cannot keep is not made.
    bool deleted_file_behind;
    // deleted.json could not be read (held, not a file, or damaged and not
    // yet kept aside): nothing replaces it, and no delete is made, until it
    // has been read.
    bool deleted_file_unread;
    std::uint32_t said_error;  // the fault of deleted.json the log gave last (0: none)
};
