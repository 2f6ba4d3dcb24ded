// Undoing the player's own slips: deletes and renames share one history,
// newest first. A delete is kept in Quillfen/deleted.json (a markers file, so
// also a pack) before markers.json loses the marker, so that a crash between
// the two writes leaves it in both, never in neither; a delete that cannot be
// kept there is not made. deleted.json holds one entry per marker (its newest
// delete, by the rule of marker_identity.h), the newest
// `deleted_markers_kept`, and an undo of a delete of an earlier run comes
// from it; a marker in the list again is not offered. Renames are remembered
// while the game runs. Its state is `PluginState::undo` (marker_undo_state.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/run_context.h"
#include "src/state/state.h"

// At a script start, after the markers are loaded: the deletes of earlier
// runs, from deleted.json, but those whose marker is in the list. A file that
// does not load is kept aside under a new name before anything replaces it;
// one that cannot be read now is read again before it is written, and no
// delete is made until it can be.
void load_deleted_markers(RunContext& ctx, PluginState& state);

// Before the marker at `index` leaves the list: kept in the history and
// written into deleted.json (in place of an earlier delete of it), and the
// log says "Deleted LABEL". False when deleted.json could not keep it: then
// the marker may not leave the list, and the log and the notice say why and
// what to do.
bool remember_deleted_marker(RunContext& ctx, PluginState& state, std::size_t index, const char* label);
// Before the player renames the marker at `index`: its name until now.
void remember_renamed_marker(RunContext& ctx, PluginState& state, std::size_t index);

// What the newest change to undo is: none, a delete or a rename.
enum class UndoNext : std::uint8_t { none, delete_, rename };
UndoNext next_undo(const PluginState& state);
// Undoes the newest change: a deleted marker is put back as it was (where it
// stood in the list, with all its keys; "Restored LABEL"), a renamed marker
// gets its earlier name back ("Renamed LABEL back to NAME"); then one save.
// A delete whose marker is in the list again is passed by. The marker's
// index, or -1 when nothing changed (nothing left to undo, a marker within 1
// unit of the deleted one's place, a renamed marker gone, out of memory: the
// log says which, the notice too but for memory; such a step is no longer offered).
std::int64_t undo_last_change(RunContext& ctx, PluginState& state);

// The row's handlers: before each save, deleted.json brought up to date
// while a delete's write is under way (not 0: its error, and the save
// waits); after a save that worked, the markers back in the list leave
// deleted.json (a failure there holds up nothing); before the state is
// cleared, the history goes.
std::uint32_t write_deleted_before_save(RunContext& ctx, PluginState& state);
void deleted_file_after_save(RunContext& ctx, PluginState& state);
void undo_at_release(RunContext& ctx, PluginState& state);
// After markers.json was read late (the rows' `read_late`): a marker deleted
// meanwhile is kept in deleted.json as the file had it (with the changes made
// to it before its delete), a rename made meanwhile is undone to the file's
// name, and a marker put back meanwhile that a marker of the file kept out
// stays in deleted.json, not undone (the log and the screen say why).
void undo_follows_late_read(RunContext& ctx, PluginState& state);
