// The player's settings in the game: read from Quillfen/settings.ini at the
// script's start (written with the defaults when it is missing), looked at
// again every few seconds so that an edit made while the game runs holds, and
// switched from the ring over the map, each switch written to the file at once. The
// features read what is in force from `state.settings` (settings_state.h).
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/scripthook/game_hashes.h"
#include "src/state/state.h"

// How often the file's modification time and size are looked at.
inline constexpr std::int64_t settings_look_ns = 5'000'000'000;
// How soon after a change was read, or a read was held back or failed.
inline constexpr std::int64_t settings_look_soon_ns = 1'000'000'000;
// A file time this close to the clock may be shared by a rewrite still to
// come: FAT32 keeps times to 2 s; 1 s more for the clocks' difference.
inline constexpr std::int64_t settings_coarse_time_ns = 3'000'000'000;

// At script start, before the prompts are made and the first blip pass.
void load_settings(RunContext& ctx, PluginState& state);
// Each frame: every settings_look_ns (sooner after a change), reads the file
// again when it changed.
void look_at_settings_file(RunContext& ctx, PluginState& state);
// Turns capture_waypoints over, or the category's place in hidden_on_map,
// and writes that key's line into the file.
void toggle_capture(RunContext& ctx, PluginState& state);
void toggle_category_hidden(RunContext& ctx, PluginState& state, std::int64_t category);

// The two switches, on the ring with the map's prompts: "Capture: On" or
// "Capture: Off", and "Hide on Map", or "Show on Map" when the ring's selected
// tile's category is hidden. The full list uses neither control.
inline constexpr Hash control_capture = InputControl::INPUT_FRONTEND_SELECT;
inline constexpr Hash control_hide = InputControl::INPUT_GAME_MENU_TAB_LEFT;
extern const Button capture_button;
extern const Button hide_button;
