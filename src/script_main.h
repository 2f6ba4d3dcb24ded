// The plug-in's one script: a start sequence, then one iteration per frame.
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/state/state.h"

inline constexpr const char* backdrop_effect = "Mission_EndCredits";

// Registered with the host; never returns.
void script_main();

// The start of a run: frees what the last run left, clears the state, reports
// leaks, copies the category table and makes the tiles, loads the markers (or
// recovers them from a copy), imports the marker packs waiting in
// Quillfen/import (saving the list when they added markers) and makes the
// prompts. `ctx.general` is the tracker's allocator.
void script_start(RunContext& ctx, PluginState& state);
// One iteration after the wait for the next frame.
void script_frame(RunContext& ctx, PluginState& state);

// Pieces of the frame, separate so they can be checked on their own.
void update_game_window(PluginState& state);
double blend_backdrop(double strength, std::int64_t menu_state, std::int64_t frame_delta_ns);
void report_leaks(const RunContext& ctx, AllocationTracker& tracker);
