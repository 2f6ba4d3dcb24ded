// Collections: the markers a pack brought in are ticked off as the player
// finds them, by coming near one (once a second, from the position the loop
// read) or by a press in the full list on any marker; each change is saved
// like every other and logged with the pack's progress. A route to a pack's
// marker walks on through the pack until it is complete. Its state is
// `PluginState::collections` (collections_state.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/scripthook/game_hashes.h"
#include "src/state/state.h"

// Found by arrival: within the player's found_range on the ground plane and
// this many metres above or below.
inline constexpr float found_height = 5.0f;

// "Found" / "Not Found" in the full list, on the selected row.
inline constexpr Hash control_found = InputControl::INPUT_GAME_MENU_RS;
extern const Button found_button;

// How many markers of `pack` (a pack's name) the list holds, and how many of them are found.
struct PackProgress {
    std::int64_t found;
    std::int64_t total;
};
PackProgress pack_progress(const PluginState& state, const char* pack);

// A marker of a pack that the player reached: not found yet, within
// `range` metres on the ground plane and found_height in height.
bool reached(const Marker& marker, const Position& player, float range);

// Marks the marker at `index` found or not found, saves, and logs it with its
// pack's progress: "Found Bone 12 (Dinosaur bones: 12 of 30 found)". A route
// to it walks on. False when nothing changed.
bool mark_found(RunContext& ctx, PluginState& state, std::size_t index, bool found);

// The text the list shows for its selected marker when that has a pack
// ("Dinosaur bones: 12 of 30 found"), else null. No native calls.
const char* selected_pack_progress(PluginState& state);

// The collections' row: once a second, the pack markers the player reached
// become found (none while auto_found = false); after a change of the list,
// the progress shown is made again.
void find_markers_reached(RunContext& ctx, PluginState& state);
void collections_follow_list(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index);
void collections_at_start(RunContext& ctx, PluginState& state);
// After markers.json was read late (the rows' `read_late`): the progress of
// each pack a marker of was found or not found meanwhile, counted in the
// file's markers ("Dinosaur bones: 12 of 30 found, counted in ..."), and the
// pack complete when it is. While the file was not read, a find names the
// pack without counting it: the backup's copy of the pack need not be the file's.
void collections_follow_late_read(RunContext& ctx, PluginState& state);
