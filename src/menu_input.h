// The menu's hold on the controls, and its input readers: cursor, stick,
// navigation, the two add-marker controls, and the choice of category.
#pragma once

#include <cstdint>

#include "scripthook/types.h"
#include "src/base/run_context.h"
#include "src/state.h"

enum MenuNavigation : std::int32_t { NAV_NONE = 0, NAV_UP = 1, NAV_DOWN = 2, NAV_LEFT = 3, NAV_RIGHT = 4 };

inline constexpr Hash control_stick_x = 0x390948DC;      // INPUT_RADIAL_MENU_NAV_LR
inline constexpr Hash control_stick_y = 0xBA60039F;      // INPUT_RADIAL_MENU_NAV_UD
inline constexpr Hash control_add_at_player = 0x07CE1E61;    // INPUT_ATTACK
inline constexpr Hash control_add_at_waypoint = 0xF84FA74F;  // INPUT_AIM

struct CursorFraction {
    float x, y;
};

void update_menu_controls(PluginState& state);
CursorFraction cursor_position(const PluginState& state);
void center_cursor(const PluginState& state);
// A fraction of a turn (0..1), or -1 while the stick rests.
float stick_direction();
// The pure part of stick_direction, for readings 0..255.
float stick_fraction(std::int32_t horizontal, std::int32_t vertical);
MenuNavigation read_menu_navigation();
bool add_at_player_pressed();
bool add_at_waypoint_pressed();

// A menu sound: always stopped, then played.
void play_sound(const char* sound, const char* sound_set);
inline constexpr const char* menu_sound_set = "HUD_PLAYER_MENU";
