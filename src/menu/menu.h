// The menu's three states and the tick that runs its pages, finishes a pending
// rename or search text and makes the transitions.
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/core/state.h"

// The menu tick, run twice a frame by the script loop.
void update_gui(RunContext& ctx, PluginState& state);
void set_menu_state(RunContext& ctx, PluginState& state, std::int64_t menu_state);
void open_menu(RunContext& ctx, PluginState& state);
void close_menu(RunContext& ctx, PluginState& state);
