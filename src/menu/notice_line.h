// The notice (src/core/notice.h) drawn at the top of the screen, whether the
// menu is open or not, with its sound the first time.
#pragma once

#include "src/base/run_context.h"
#include "src/state/state.h"

// Every frame: draws a live notice; calls no native when there is none.
void draw_notice(RunContext& ctx, PluginState& state);
