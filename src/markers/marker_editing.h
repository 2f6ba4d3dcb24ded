// The changes of the marker list (add, delete, rename, move); each goes through the list's one step
// (marker_list_changed) and saves the whole list before it returns.
#pragma once

#include <cstdint>
#include <string_view>

#include "src/base/run_context.h"
#include "src/scripthook/types.h"
#include "src/state/state.h"

// False (and nothing changed) when a marker lies less than 1 unit away.
bool try_add_marker(RunContext& ctx, PluginState& state, const Vector3& position);
// An index out of range does nothing (and saves nothing). The marker is kept
// for an undo, in Quillfen/deleted.json first (marker_undo.h); the log says
// "Deleted LABEL". False when it was not deleted: out of range, or
// deleted.json could not keep it (the log and the notice say why).
bool delete_marker_at(RunContext& ctx, PluginState& state, std::int64_t index);
// An empty name removes the name. The text is taken byte for byte. The name
// it had is kept for an undo.
void rename_marker(RunContext& ctx, PluginState& state, Marker& marker, std::string_view name);
// An undo: `record` (its texts passed to the list) put in at `at`, where it
// stood, with "Restored LABEL" and one save. False when memory ran out
// (nothing changed; the texts are freed).
bool put_marker_back(RunContext& ctx, PluginState& state, std::size_t at, MarkerDataV1& record);
// An undo of a rename: `name` (null: none) again, "Renamed LABEL back to
// NAME" (or "... back to no name"), one save.
void undo_marker_rename(RunContext& ctx, PluginState& state, Marker& marker, const char* name);
// The note of the marker (what the player wrote about its place): an empty
// text removes it ("Removed the note of LABEL"). One save.
void set_marker_note(RunContext& ctx, PluginState& state, Marker& marker, std::string_view note);
// Puts the marker at `index` into `category` (a row of the table): its blip
// is made again in the category's style, and the log says "Moved LABEL to
// CATEGORY", LABEL what the list called it before the move. False (nothing
// changed, nothing saved) for an index or category out of range, or the
// marker's own category.
bool move_marker_to_category(RunContext& ctx, PluginState& state, std::int64_t index, std::int64_t category);
// The category a "Move" puts a marker of `category` into: the next row of the
// table, the last one's next the first; -1 for a category outside the table.
std::int64_t category_after(const PluginState& state, std::int64_t category);

// The add and the rename without their save, for a change made of both (the
// waypoint capture) that saves once when it is whole.
// The new marker (unnamed, current category, time now), or null when a marker
// lies less than 1 unit away or memory ran out.
Marker* append_marker(RunContext& ctx, PluginState& state, const Vector3& position);
void set_marker_name(RunContext& ctx, PluginState& state, Marker& marker, std::string_view name);
// Marks the marker at `index` found (now) or not found, without the save: a
// look that finds several saves once. False for an index out of range or a
// marker already so.
bool set_marker_found(RunContext& ctx, PluginState& state, std::size_t index, bool found);
