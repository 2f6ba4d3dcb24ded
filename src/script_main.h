// The plug-in's one script: a start sequence, then one iteration per frame.
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/state/state.h"

// Registered with the host; never returns.
void script_main();

// The start of a run: frees what the last run left (the category table and
// each feature's part: features_at_release), clears the state, reports leaks,
// copies the category table, then each feature's start in the table's order
// (features_at_start: the tiles, the markers loaded or recovered from a copy,
// the packs waiting in Quillfen/import, the settings, the buttons).
// `ctx.general` is the tracker's allocator.
void script_start(RunContext& ctx, PluginState& state);
// One iteration after the wait for the next frame: the clock, the game
// window and the player, then each feature's frame (features_each_frame).
void script_frame(RunContext& ctx, PluginState& state);

// Pieces of the frame, separate so they can be checked on their own.
void update_game_window(PluginState& state);
void report_leaks(const RunContext& ctx, AllocationTracker& tracker);
