// What saving and loading the markers file remember between frames (the
// policy itself: marker_persistence.h; the copies: marker_backups.h). Written
// only by those two.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/growable_array.h"
#include "src/base/position.h"
#include "src/file_formats/marker_record.h"
#include "src/file_formats/markers_folder.h"

// Why the last save of the markers file failed.
enum class SaveFailure : std::uint8_t {
    none,
    out_of_memory,
    not_a_file,           // something else stands at markers.json
    unreadable_not_kept,  // the file that did not load is not copied aside yet (the code: why the copy failed)
    write,                // writing or replacing the file (the code says why)
    file_not_read,        // markers.json is there but was not read yet: nothing may replace it
};

// A change made to a marker of the backup shown while markers.json could not
// be read: found again in the file by its place and time once the file can be
// read, so that the change holds there too, on the file's own marker.
enum class MarkerEditKind : std::uint8_t {
    deleted,
    renamed,
    moved,     // to another category
    found,     // found or not found any more
    noted,     // its note written, changed or removed
    restored,  // put back by Undo: for a marker of the backup, in place of its delete
};
struct MarkerEdit {
    Position position;
    std::int64_t timestamp_ns;
    MarkerEditKind kind;
};

// A marker of the file that changes made meanwhile reached, as the file had it
// (texts owned), and what they changed of it.
struct LateReadEdit {
    MarkerDataV1 file_version;
    bool deleted, renamed, moved, found, noted;
};

// What a late read made of the changes made meanwhile, for the features that
// follow it (the rows' `read_late`); let go once they have.
struct LateRead {
    GrowableArray<LateReadEdit> edited;
    // Markers put back by Undo meanwhile that did not join the file's, as a
    // marker of it lies within 1 unit of theirs (texts owned).
    GrowableArray<MarkerDataV1> not_back;
};

struct MarkerPersistence {
    // The markers file could not be loaded nor copied aside yet: no save may
    // replace it until a copy exists. The error of the last failed copy that
    // the log gave (0: none), so that it is said once per cause.
    bool unreadable_copy_pending;
    std::uint32_t unreadable_copy_error;
    // markers.json is there but could not be had (another program holds it,
    // reading it is denied, or memory ran out while it was read or loaded):
    // what it holds is unknown, so nothing replaces it. The newest backup's
    // markers are shown meanwhile, the first `shown_from_backup` of the list
    // (those after them were added since), and the file is read again every
    // second. `unread_said` and `unread_error`: what the log last gave of it.
    bool markers_file_unread;
    MarkersFileOutcome unread_said;
    std::uint32_t unread_error;
    std::int64_t unread_retry_at_ns;  // when it is read again (the clock, as frame_time)
    std::size_t shown_from_backup;
    GrowableArray<MarkerEdit> edited_meanwhile;  // the changes made meanwhile to the backup's markers
    LateRead late_read;                          // while the rows follow a late read
    // Markers the late read left out (they lay within 1 unit of one of the
    // file's): the line that saving works again names them, as it does not
    // hold every change then.
    std::size_t left_out_at_late_read;
    // Why the last save failed (none while saves work) and the error code of
    // a failed write: while it is not none the list is saved again after a
    // delay that doubles with each failed try (save_retry_delay_seconds), and
    // only a new reason is logged.
    SaveFailure save_failure;
    std::uint32_t save_failure_code;
    std::uint32_t failed_saves;     // tries in a row that failed
    std::int64_t save_retry_at_ns;  // when the next try is due (the clock, as frame_time)
    // The newest file known to hold the markers as they were before the
    // changes not saved yet: markers.json once loaded or saved, else the
    // backup they were recovered from; empty when there is none.
    char last_good_copy[64];
};
