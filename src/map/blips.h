// The map blips of the markers: made and dressed one at a time, ended, and the
// per-frame pass that keeps blips on the markers nearest the player on the
// player's side of the Guarma divide, within a limit that drops when the game
// refuses one.
#pragma once

#include "src/base/run_context.h"
#include "src/core/marker.h"
#include "src/core/state.h"
#include "src/scripthook/game_hashes.h"

inline constexpr std::int64_t default_blip_limit = 500;
inline constexpr std::int64_t blip_limit_step = 50;

// The player moves this far (metres) before the markers on the map are chosen
// again; once the player has stood still (within `blip_still_tolerance`) for
// `blip_still_ns`, they are chosen again from exactly where the player stands.
inline constexpr float blip_choice_distance = 50.0f;
inline constexpr float blip_still_tolerance = 0.5f;
inline constexpr std::int64_t blip_still_ns = 2'000'000'000;
// Existence checks per frame, going round the blips: 500 blips are all looked
// at within 42 frames, so a blip the game dropped is back within a second.
inline constexpr std::size_t blip_checks_per_frame = 12;
// A frame's share of the work of a choice: giving a marker its key counts
// `blip_key_work` (it reads the whole marker), looking at a key again counts 1.
// 100,000 markers past the limit take six frames (keys, then three passes
// over them); up to some 18,000 the choice is made in the frame it begins.
inline constexpr std::size_t blip_choice_work_per_frame = 131072;
inline constexpr std::size_t blip_key_work = 4;

// The only writer of a marker's `blip`: keeps the count of markers holding one.
void set_marker_blip(PluginState& state, Marker& marker, Blip blip);
// Ends the marker's blip (also for a handle of 0); afterwards `blip` is 0.
void remove_marker_blip(PluginState& state, Marker& marker);
// For a marker whose `blip` is 0: true when it now has a dressed, live blip.
// When the game refuses one, the blip limit drops to 50 below the blips there
// are; the caller takes away the farthest of them.
bool create_marker_blip(PluginState& state, Marker& marker);
// The per-frame pass: a few existence checks, and a new choice of the markers
// on the map when it is due.
void refresh_marker_blips(RunContext& ctx, PluginState& state);

// The marker list changed (markers added, loaded, imported or renamed): the
// markers on the map are chosen again, and a choice under way starts over.
void marker_list_changed(PluginState& state);
// The marker at `index` is about to leave the list, its blip already removed:
// the later markers' indices move down by one.
void marker_leaving_list(PluginState& state, std::size_t index);
// Gives back the choice's memory (at script start, before the state is cleared).
void free_blip_choice(BlipChoice& choice);
