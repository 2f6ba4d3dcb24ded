// The plug-in's five button prompts and the text labels they (and the menu's
// texts) are given.
#pragma once

#include "src/core/state.h"
#include "src/scripthook/types.h"

inline constexpr Hash edit_markers_group = 0x29FEEDA9;
inline constexpr Hash control_edit_markers = 0x80F28E95;  // INPUT_PLAYER_MENU
inline constexpr Hash control_rename = 0x43DBF61F;        // INPUT_GAME_MENU_ACCEPT
inline constexpr Hash control_sort = 0xD596CFB0;          // INPUT_GAME_MENU_EXTRA_OPTION
inline constexpr Hash control_delete = 0xFBD7B3E6;        // INPUT_GAME_MENU_OPTION
inline constexpr Hash control_back = 0x308588E6;          // INPUT_GAME_MENU_CANCEL
inline constexpr std::int32_t delete_hold_time = 1000;

const char* sort_prompt_text(std::int64_t sort_mode);
void create_prompts(PluginState& state);
