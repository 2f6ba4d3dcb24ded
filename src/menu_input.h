// The menu's hold on the controls, and its input readers: cursor, stick,
// navigation, the two add-marker controls, and the choice of category.
#pragma once

#include <cstdint>

#include "scripthook/types.h"
#include "src/run_context.h"
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
// True when a test that triggers an action answers true after answering false
// at its previous query: one action per press, whether the game answers a
// repeated test alike, only the first time, or for a few frames. Every answer
// is remembered, so the natives are called exactly as without this.
bool new_press(bool& answered_true_before, bool answer);

// The first navigation control pressed, in a fixed order; NAV_NONE when that
// press is not new (the controls after it are not tested, as without memory).
MenuNavigation read_menu_navigation(PressMemory& presses);
bool add_at_player_pressed(PressMemory& presses);
bool add_at_waypoint_pressed(PressMemory& presses);
bool select_category(RunContext& ctx, PluginState& state, std::int64_t requested);

// A menu sound: always stopped, then played.
void play_sound(const char* sound, const char* sound_set);
inline constexpr const char* menu_sound_set = "HUD_PLAYER_MENU";
