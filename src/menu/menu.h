// The tick that runs the menu's pages, finishes a pending rename or search
// text and moves between the menu's three states (their values: menu_state.h).
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/state/state.h"

// The menu tick, run twice a frame by the script loop.
void update_gui(RunContext& ctx, PluginState& state);
void set_menu_state(RunContext& ctx, PluginState& state, std::int64_t menu_state);
void open_menu(RunContext& ctx, PluginState& state);
void close_menu(RunContext& ctx, PluginState& state);
