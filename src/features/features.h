// The features, reached through their table (src/core/feature_row.h): what
// the entry points and the script loop run at each moment, each feature's
// handler in the table's order.
#pragma once

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/state/state.h"

// At set-up, the library loaded: each row's `setup` (the markers file backed
// up, Quillfen/import made).
void features_at_setup(RunContext& ctx);
// At a script start, before the state is cleared: each row's `release` (the
// last run's route ended, its marker list and its memory freed).
void features_at_release(RunContext& ctx, PluginState& state);
// At a script start, the state cleared and the category table copied: each
// row's `start` (the tiles, the markers loaded, the packs imported, the
// settings read, the buttons made).
void features_at_start(RunContext& ctx, PluginState& state);
// Each frame: each row's `frame`, the blip pass last.
void features_each_frame(RunContext& ctx, PluginState& state);
// At unload: each row's `unload` (no native calls there).
void features_at_unload(RunContext& ctx, PluginState& state);
