// A throwaway example feature: counts the frames, has a button in the full
// menu that logs the selected row's marker, and says its counts at unload.
#pragma once

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/scripthook/game_hashes.h"
#include "src/state/state.h"

inline constexpr Hash control_example = InputControl::INPUT_SPECIAL_ABILITY;
extern const Button example_button;

void example_each_frame(RunContext& ctx, PluginState& state);
void example_at_unload(RunContext& ctx, PluginState& state);
