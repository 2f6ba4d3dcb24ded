// The menu's hold on the controls, and its input readers: cursor, stick,
// navigation, the two add-marker controls, and the choice of category.
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/core/state.h"
#include "src/scripthook/types.h"

// The navigation codes: what read_menu_navigation saw pressed first.
enum class MenuNavigation : std::int32_t { none = 0, up = 1, down = 2, left = 3, right = 4 };

// The game's controls the menu reads or takes over, beside the prompts' own
// (prompts.h). Each hash is the game's hash of the name beside it
// (tests/menu_test.cpp checks them all).
inline constexpr Hash control_stick_x = 0x390948DC;               // INPUT_RADIAL_MENU_NAV_LR
inline constexpr Hash control_stick_y = 0xBA60039F;               // INPUT_RADIAL_MENU_NAV_UD
inline constexpr Hash control_add_at_player = 0x07CE1E61;         // INPUT_ATTACK
inline constexpr Hash control_add_at_waypoint = 0xF84FA74F;       // INPUT_AIM
inline constexpr Hash control_menu_up = 0x911CB09E;               // INPUT_GAME_MENU_UP
inline constexpr Hash control_menu_down = 0x4403F97F;             // INPUT_GAME_MENU_DOWN
inline constexpr Hash control_menu_left = 0xAD7FCC5B;             // INPUT_GAME_MENU_LEFT
inline constexpr Hash control_menu_right = 0x65F9EC5B;            // INPUT_GAME_MENU_RIGHT
inline constexpr Hash control_menu_scroll_forward = 0x81457A1A;   // INPUT_GAME_MENU_SCROLL_FORWARD
inline constexpr Hash control_menu_scroll_backward = 0x9DA42644;  // INPUT_GAME_MENU_SCROLL_BACKWARD
// Taken over but not read:
inline constexpr Hash control_menu_tab_left = 0xCBD5B26E;             // INPUT_GAME_MENU_TAB_LEFT
inline constexpr Hash control_menu_tab_right = 0x110AD1D2;            // INPUT_GAME_MENU_TAB_RIGHT
inline constexpr Hash control_menu_tab_left_secondary = 0x26E9DC00;   // INPUT_GAME_MENU_TAB_LEFT_SECONDARY
inline constexpr Hash control_menu_tab_right_secondary = 0x8CC9CD42;  // INPUT_GAME_MENU_TAB_RIGHT_SECONDARY
inline constexpr Hash control_reveal_hud = 0xCF8A4ECA;                // INPUT_REVEAL_HUD
inline constexpr Hash control_select_radar_mode = 0x0F39B3D4;         // INPUT_SELECT_RADAR_MODE
inline constexpr Hash control_simple_radar = 0x5FEF1B6D;              // INPUT_SIMPLE_RADAR
inline constexpr Hash control_expand_radar = 0xCF0B11DE;              // INPUT_EXPAND_RADAR
inline constexpr Hash control_regular_radar = 0x51AA7A35;             // INPUT_REGULAR_RADAR
inline constexpr Hash control_disable_radar = 0x70CBD78D;             // INPUT_DISABLE_RADAR
inline constexpr Hash control_interact_animal = 0xA1ABB953;           // INPUT_INTERACT_ANIMAL
inline constexpr Hash control_special_ability = 0xCEE12B50;           // INPUT_SPECIAL_ABILITY

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

// The first navigation control pressed, in a fixed order; MenuNavigation::none
// when that press is not new (the controls after it are not tested, as
// without the memory).
MenuNavigation read_menu_navigation(PressMemory& presses);
bool add_at_player_pressed(PressMemory& presses);
bool add_at_waypoint_pressed(PressMemory& presses);

// A menu sound: always stopped, then played.
void play_sound(const char* sound, const char* sound_set);
inline constexpr const char* menu_sound_set = "HUD_PLAYER_MENU";
