#include "src/menu/menu_input.h"

#include <cmath>
#include <iterator>

#include "src/core/feature_row.h"
#include "src/platform/platform.h"
#include "src/scripthook/enums.h"
#include "src/scripthook/natives.h"

void play_sound(const char* sound, const char* sound_set) {
    stop_menu_sound(sound, sound_set);
    play_menu_sound(sound, sound_set, true, 0);
}

// Ring only: the map's HUD and radar controls, which the plug-in does not
// read but leaves to the game, switched back on with their related controls;
// then, without them, the ring's buttons' controls ("Edit Markers", the two switches) and
// INPUT_INTERACT_ANIMAL and INPUT_SPECIAL_ABILITY, which it does not read either.
constexpr Hash ring_controls_with_related[] = {
    InputControl::INPUT_REVEAL_HUD,   InputControl::INPUT_SELECT_RADAR_MODE, InputControl::INPUT_SIMPLE_RADAR,
    InputControl::INPUT_EXPAND_RADAR, InputControl::INPUT_REGULAR_RADAR,     InputControl::INPUT_DISABLE_RADAR,
};
constexpr Hash ring_controls_unread[] = {InputControl::INPUT_INTERACT_ANIMAL, InputControl::INPUT_SPECIAL_ABILITY};

// Both states: the stick, the full menu's buttons' controls, then navigation
// and the two scroll controls.
constexpr Hash navigation_controls[] = {
    control_menu_up,    control_menu_down,           control_menu_left,
    control_menu_right, control_menu_scroll_forward, control_menu_scroll_backward,
};

static void enable_button_controls(bool ring) {
    for (const FeatureRow& row : feature_table) {
        for (const Button* b : row.buttons) {
            if (!b) break;
            if ((b->turn == ButtonTurn::ring) == ring) enable_control(ePadIndex::PLAYER_CONTROL, b->control, false);
        }
    }
}

void update_menu_controls(PluginState& state) {
    menu_frame_prepare();
    if (menu_frame_check()) menu_frame_clear(false);
    menu_frame_flag(true);
    menu_frame_finish();
    disable_all_controls(ePadIndex::PLAYER_CONTROL);
    if (state.menu.state == MENU_RING) {
        for (Hash control : ring_controls_with_related) enable_control(ePadIndex::PLAYER_CONTROL, control, true);
        enable_button_controls(true);
        for (Hash control : ring_controls_unread) enable_control(ePadIndex::PLAYER_CONTROL, control, false);
    }
    enable_control(ePadIndex::PLAYER_CONTROL, control_stick_x, false);
    enable_control(ePadIndex::PLAYER_CONTROL, control_stick_y, false);
    enable_button_controls(false);
    for (Hash control : navigation_controls) enable_control(ePadIndex::PLAYER_CONTROL, control, false);
}

CursorFraction cursor_position(const PluginState& state) {
    std::int32_t x = 0, y = 0;
    if (!platform_cursor_position(&x, &y)) return {0.0f, 0.0f};
    if (!platform_screen_to_client(state.game_window, &x, &y)) return {0.0f, 0.0f};
    return {static_cast<float>(x) / static_cast<float>(state.screen_width),
            static_cast<float>(y) / static_cast<float>(state.screen_height)};
}

void center_cursor(const PluginState& state) {
    std::int32_t x = state.screen_width / 2, y = state.screen_height / 2;
    // Without a window the point stays as it is: the middle of the whole screen.
    (void)platform_client_to_screen(state.game_window, &x, &y);
    (void)platform_set_cursor_position(x, y);
}

float stick_fraction(std::int32_t horizontal, std::int32_t vertical) {
    const double h = (static_cast<double>(horizontal) / 255.0) * 2.0 - 1.0;
    const double v = (static_cast<double>(vertical) / 255.0) * 2.0 - 1.0;
    if (h * h + v * v < 0.7 * 0.7) return -1.0f;
    constexpr double two_pi = 6.283185307179586;
    return static_cast<float>(std::atan2(h, -v) / two_pi + 0.5);
}

float stick_direction() {
    const std::int32_t h = control_value(ePadIndex::PLAYER_CONTROL, control_stick_x);
    const std::int32_t v = control_value(ePadIndex::PLAYER_CONTROL, control_stick_y);
    return stick_fraction(h, v);
}

bool new_press(bool& answered_true_before, bool answer) {
    const bool fresh = answer && !answered_true_before;
    answered_true_before = answer;
    return fresh;
}

MenuNavigation read_menu_navigation(PressMemory& presses) {
    static constexpr struct {
        Hash control;
        MenuNavigation code;
    } order[] = {
        {control_menu_up, MenuNavigation::up},
        {control_menu_down, MenuNavigation::down},
        {control_menu_left, MenuNavigation::left},
        {control_menu_right, MenuNavigation::right},
        {control_menu_scroll_forward, MenuNavigation::up},
        {control_menu_scroll_backward, MenuNavigation::down},
    };
    static_assert(std::size(order) == std::size(PressMemory{}.navigation));
    for (std::size_t i = 0; i < std::size(order); ++i) {
        if (control_just_pressed(ePadIndex::PLAYER_CONTROL, order[i].control)) {
            return new_press(presses.navigation[i], true) ? order[i].code : MenuNavigation::none;
        }
        presses.navigation[i] = false;
    }
    return MenuNavigation::none;
}

bool add_at_player_pressed(PressMemory& presses) {
    return new_press(presses.add_at_player,
                     disabled_control_just_pressed(ePadIndex::PLAYER_CONTROL, control_add_at_player));
}

bool add_at_waypoint_pressed(PressMemory& presses) {
    return new_press(presses.add_at_waypoint,
                     disabled_control_just_pressed(ePadIndex::PLAYER_CONTROL, control_add_at_waypoint));
}
