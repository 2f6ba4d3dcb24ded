// The map blips of the markers: made and dressed one at a time, ended, and the
// per-frame pass that keeps blips on the markers nearest the player on the
// player's side of the Guarma divide, within a limit that drops when the game
// refuses one.
#pragma once

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/core/marker.h"
#include "src/scripthook/game_hashes.h"
#include "src/state/state.h"

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

// Natives cost the game time inside its frame: the blip pass calls only as
// many as keep the whole frame (menu included) at or below this, and goes on
// in the next frame. 500 blips with their sides take about nine frames.
inline constexpr std::uint64_t frame_native_ceiling = 1000;
// What the pass's steps cost at most, in natives: asking a position's side of
// the divide (the zone, then up to six of Guarma's names hashed), ending a
// blip, checking one (and ending it when it went stale).
inline constexpr std::uint64_t side_query_natives = 7;
inline constexpr std::uint64_t blip_removal_natives = 2;
inline constexpr std::uint64_t blip_check_natives = 1 + blip_removal_natives;
// Sides not needed for the map are asked a few a frame: they make the log's
// count true ("of N" counts the markers on the player's side) and spare later
// choices the asking. 20 a frame: 10,000 markers in some 8 seconds.
inline constexpr std::uint64_t side_walk_natives_per_frame = 20 * side_query_natives;

// The most blips at once: the player's blip_limit, or less when the game
// refused one below it.
inline std::int64_t blip_limit_in_force(const PluginState& state) {
    const std::int64_t player = settings_blip_limit(state.settings.in_force);
    return state.blip_choice.blip_limit < player ? state.blip_choice.blip_limit : player;
}

// A marker the map shows no blip for: its category hidden, or found while
// found_on_map = hide.
bool off_the_map(const PluginState& state, const Marker& marker);
// A found marker's blip is drawn dimmed (found_on_map = dim, the default).
bool found_dimmed(const PluginState& state, const Marker& marker);

// The only writer of a marker's `blip`: keeps the count of markers holding one.
void set_marker_blip(PluginState& state, Marker& marker, Blip blip);
// Ends the marker's blip (also for a handle of 0); afterwards `blip` is 0.
void remove_marker_blip(PluginState& state, Marker& marker);
// The natives `create_marker_blip` calls for `marker` when the game makes the blip.
std::uint64_t blip_making_natives(const PluginState& state, const Marker& marker);
// For a marker whose `blip` is 0: true when it now has a dressed, live blip.
// When the game refuses one, the blip limit drops to 50 below the blips there
// are; the caller takes away the farthest of them.
bool create_marker_blip(PluginState& state, Marker& marker);
// The per-frame pass: a few existence checks, a new choice of the markers on
// the map when it is due, and a share of putting it on the map, all within the
// natives the frame has room for.
void refresh_marker_blips(RunContext& ctx, PluginState& state);

// The blips' part of the step after a change of the marker list
// (`marker_list_changed` in src/markers/marker_list.h, which every change goes
// through; besides it, only the settings choose again, when what the map hides
// or its limit changes), the blips' row of the features' table:
void blips_follow_list(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index);
// Its pieces:
// The markers on the map are chosen again, and a choice under way starts over
// (the blips it made so far stay until the next one is put on the map).
void choose_blips_again(PluginState& state);
// The marker at `index` left the list, its blip ended before: the later
// markers keep their blips under indices one lower; then as choose_blips_again.
void blips_after_marker_left(PluginState& state, std::size_t index);
// A marker (without a blip) was put in at `index`: those from there on keep
// their blips under indices one higher; then as choose_blips_again.
void blips_after_marker_joined(PluginState& state, std::size_t index);
// The list was replaced, every blip of the old one ended before: the choice
// starts from nothing, as at a script start.
void blips_after_new_list(PluginState& state);
// The marker's blip, when it has one, takes the marker's label (its name).
void relabel_marker_blip(const PluginState& state, const Marker& marker);
// The marker's category changed: its blip (if any) goes, and is made again in
// the new style by the pass, within the frame's room for natives.
void restyle_marker_blip(PluginState& state, Marker& marker);
// What the map hides or its limit changed (the player's settings): chosen
// again as above, and the count said afresh.
void blips_after_settings_changed(PluginState& state);
// How found markers are drawn changed (found_on_map): as above, and the
// blips of found markers are made again in the new style.
void blips_after_found_style_changed(PluginState& state);
// Gives back the choice's memory.
void free_blip_choice(BlipChoice& choice);
// At a script start, before the state is cleared: the last run's choice.
void blips_at_release(RunContext& ctx, PluginState& state);
