// The marker list in markers.json: loading it at script start, saving it
// after every change, and trying a failed save again. A save never truncates
// the live file; a file that does not load is kept aside (marker_backups)
// before anything can replace it, and the newest copy that loads takes its
// place in memory; a file that is there but cannot be had now (another
// program holds it, or memory ran out while it was read) is not damaged:
// nothing replaces it, and it is read again until it can be, with the markers
// added meanwhile joining it; and something that is not a file where
// markers.json belongs is left alone. What the game holds at a quit that
// could not save goes into a file of its own.
//
// The marker packs are not known here: markers_on_disk.h puts the two in
// step (a save that works moves the packs, a file read late lets them in).
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/markers_folder.h"
#include "src/state/state.h"

void load_data_from_disk(RunContext& ctx, PluginState& state);
// True while markers.json is there but has not been read (held, or memory ran
// out): the list holds the backup's markers and those added since, not the file's.
inline bool markers_file_unread(const PluginState& state) { return state.persistence.markers_file_unread; }

// Writes the list into markers.json. True when the file now holds the list.
// When it fails, the list is saved again by retry_markers_file until it works.
bool save_markers_file(RunContext& ctx, PluginState& state);

// Seconds of frame time from a failed try of a save to the next: 5 after the
// first failure, twice as long after each further one, 300 at most. A change
// of the list tries at once whatever is due.
inline constexpr float failed_save_retry_seconds = 5.0f;
inline constexpr float failed_save_retry_most_seconds = 300.0f;
float save_retry_delay_seconds(std::uint32_t failed_tries);
// Seconds of frame time between two reads of a markers.json that is there but
// could not be read.
inline constexpr float unread_file_retry_seconds = 1.0f;

// What a frame's retry did.
struct MarkersFileRetry {
    bool saved;      // a save worked: the file holds the list
    bool wait_over;  // markers.json, not read until now, was read at last (or is gone, or was
                     // damaged and kept aside): the list stands for what the file holds
};
// Every frame: after a failed save, saves the list again once its delay has
// passed, until that works; a markers.json that could not be read is read
// again every second, and loaded once it can be.
MarkersFileRetry retry_markers_file(RunContext& ctx, PluginState& state);

// Called by the editing before a marker is deleted, renamed, moved to another
// category, found or given a note: a change made to a marker of the backup
// shown while markers.json could not be read is made to the file's own marker
// once the file can be read (the keys it did not touch stay the file's).
void note_marker_deleted(RunContext& ctx, PluginState& state, std::size_t index);
void note_marker_renamed(RunContext& ctx, PluginState& state, std::size_t index);
void note_marker_moved(RunContext& ctx, PluginState& state, std::size_t index);
void note_marker_found(RunContext& ctx, PluginState& state, std::size_t index);
void note_marker_noted(RunContext& ctx, PluginState& state, std::size_t index);
// An undo of a rename of the marker at `index`, before its name goes back:
// the rename undone no longer changes the file's marker.
void note_rename_undone(RunContext& ctx, PluginState& state, std::size_t index);
// Where a deleted marker goes back in the list, asked for `at`, while
// markers.json has not been read: a marker of the backup deleted meanwhile
// among the backup's markers (its delete is undone on the file's marker, which
// then stays as the file has it); any other after them, as one added meanwhile
// (it joins the file's under the 1-unit rule, else stays in deleted.json).
std::size_t place_restored_marker(const PluginState& state, const MarkerDataV1& marker, std::size_t at);
// After the marker put back at `index` (at the place above) joined the list.
void note_marker_restored(RunContext& ctx, PluginState& state, std::size_t index);

// At script end (cleanup), and when the scripts start again over a run whose
// markers were not saved: while saves fail, one last try whatever the delay
// says. When that fails too, or markers.json could still not be read, an
// Error line says that the changes were not saved and where the last good
// copy is, and the markers the game holds are kept in
// markers.json.unsaved-YYYYMMDD-HHMMSS (UTC) beside it, or a line says that
// even that could not be written; `restart` says in those lines that the
// scripts started again rather than the game quit. True when the last try saved.
bool save_markers_file_at_quit(RunContext& ctx, PluginState& state, bool restart);

// At a new script start: frees what the last run kept (the edits made while
// the file was unread).
void release_marker_persistence(PluginState& state);
// At a script start, before the state is cleared: the last run's marker list
// (each blip ended) and the edits noted while the file was unread.
void markers_file_at_release(RunContext& ctx, PluginState& state);
