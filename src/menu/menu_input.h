// The menu's hold on the controls, and its input readers: cursor, stick,
// navigation, the two add-marker controls, and the choice of category.
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/scripthook/game_hashes.h"
#include "src/scripthook/types.h"
#include "src/state/state.h"

// The navigation codes: what read_menu_navigation saw pressed first.
enum class MenuNavigation : std::int32_t { none = 0, up = 1, down = 2, left = 3, right = 4 };

// The game's controls the menu reads, by what it reads them for (a button's
// is in its record, beside its feature; those the menu only takes over are
// named where it does, in menu_input.cpp).
inline constexpr Hash control_stick_x = InputControl::INPUT_RADIAL_MENU_NAV_LR;
inline constexpr Hash control_stick_y = InputControl::INPUT_RADIAL_MENU_NAV_UD;
inline constexpr Hash control_add_at_player = InputControl::INPUT_ATTACK;
inline constexpr Hash control_add_at_waypoint = InputControl::INPUT_AIM;
inline constexpr Hash control_menu_up = InputControl::INPUT_GAME_MENU_UP;
inline constexpr Hash control_menu_down = InputControl::INPUT_GAME_MENU_DOWN;
inline constexpr Hash control_menu_left = InputControl::INPUT_GAME_MENU_LEFT;
inline constexpr Hash control_menu_right = InputControl::INPUT_GAME_MENU_RIGHT;
inline constexpr Hash control_menu_scroll_forward = InputControl::INPUT_GAME_MENU_SCROLL_FORWARD;
inline constexpr Hash control_menu_scroll_backward = InputControl::INPUT_GAME_MENU_SCROLL_BACKWARD;

struct CursorFraction {
    float x, y;
};

// The menu's hold on the controls, each tick: every control off, then those it
// reads (and in the ring a few it leaves to the game) on again.
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

// The first navigation control pressed, in a fixed order; MenuNavigation::none
// when that press is not new (the controls after it are not tested, as
// without the memory).
MenuNavigation read_menu_navigation(PressMemory& presses);
bool add_at_player_pressed(PressMemory& presses);
bool add_at_waypoint_pressed(PressMemory& presses);

// A menu sound: always stopped, then played.
void play_sound(const char* sound, const char* sound_set);
inline constexpr const char* menu_sound_set = "HUD_PLAYER_MENU";
