// The plug-in's button prompts and the text labels they (and the menu's
// texts) are given.
#pragma once

#include "src/base/run_context.h"
#include "src/scripthook/game_hashes.h"
#include "src/scripthook/types.h"
#include "src/state/state.h"

// The prompts' controls, by what each prompt does.
inline constexpr Hash control_edit_markers = InputControl::INPUT_PLAYER_MENU;
inline constexpr Hash control_rename = InputControl::INPUT_GAME_MENU_ACCEPT;
inline constexpr Hash control_sort = InputControl::INPUT_GAME_MENU_EXTRA_OPTION;
inline constexpr Hash control_delete = InputControl::INPUT_GAME_MENU_OPTION;
inline constexpr Hash control_back = InputControl::INPUT_GAME_MENU_CANCEL;
inline constexpr Hash control_route = InputControl::INPUT_GAME_MENU_TAB_RIGHT_SECONDARY;
inline constexpr Hash control_search = InputControl::INPUT_GAME_MENU_TAB_LEFT_SECONDARY;
inline constexpr Hash control_move = InputControl::INPUT_GAME_MENU_TAB_RIGHT;
inline constexpr Hash control_capture = InputControl::INPUT_FRONTEND_SELECT;
inline constexpr Hash control_hide = InputControl::INPUT_GAME_MENU_TAB_LEFT;
inline constexpr std::int32_t delete_hold_time = 1000;

const char* sort_prompt_text(std::int64_t sort_mode);
// "Clear Route" while the selected row is the routed marker, else "Route".
const char* route_prompt_text(bool on_routed_marker);
// "Capture: On" or "Capture: Off"; "Hide on Map", or "Show on Map" for a hidden category.
const char* capture_prompt_text(bool capture_off);
const char* hide_prompt_text(bool hidden);
void create_prompts(PluginState& state);
// The prompts' texts follow the settings and the current category (the file
// may change them while the menu is open); the full menu's two switches.
void update_settings_prompts(RunContext& ctx, PluginState& state);
