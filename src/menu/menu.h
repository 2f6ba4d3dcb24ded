// The menu: its tick, which waits while a feature's keyboard is open, runs the
// pages and moves between the menu's three states (their values:
// menu_state.h), and the full menu's backdrop.
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/state/state.h"

inline constexpr const char* backdrop_effect = "Mission_EndCredits";

// The menu's row of the features' table: at a script start the features'
// buttons are made (after the settings are read: some texts follow them);
// each frame the tick runs twice, the backdrop follows the menu's state, and
// the textures of the category icons are asked for.
void menu_at_start(RunContext& ctx, PluginState& state);
void menu_each_frame(RunContext& ctx, PluginState& state);

// The menu tick: the features' keyboards, the controls, the pages, the menu's state.
void update_gui(RunContext& ctx, PluginState& state);
void set_menu_state(RunContext& ctx, PluginState& state, std::int64_t menu_state);
void open_menu(RunContext& ctx, PluginState& state);
void close_menu(RunContext& ctx, PluginState& state);
// The full menu's screen effect: `strength` a frame later, towards 1 in the
// full menu and 0 elsewhere.
double blend_backdrop(double strength, std::int64_t menu_state, std::int64_t frame_delta_ns);
