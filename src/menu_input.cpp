#include "src/menu_input.h"

#include <cmath>
#include <iterator>

#include "scripthook/natives.h"
#include "src/enums.h"
#include "src/marker_list.h"
#include "src/platform/platform.h"

void play_sound(const char* sound, const char* sound_set) {
    stop_menu_sound(sound, sound_set);
    play_menu_sound(sound, sound_set, true, 0);
}

// Ring only: controls the plug-in does not read but leaves to the game (true),
// then "Edit Markers" and two more (false).
static constexpr struct {
    Hash control;
    bool flag;
} ring_controls[] = {
    {0xCF8A4ECA, true},  {0x0F39B3D4, true},  {0x5FEF1B6D, true},  {0xCF0B11DE, true},  {0x51AA7A35, true},
    {0x70CBD78D, true},  {0x80F28E95, false}, {0xA1ABB953, false}, {0xCEE12B50, false},
};

// Both states: the stick, the four full-menu prompts, navigation, and four more.
static constexpr Hash menu_controls[] = {
    control_stick_x, control_stick_y, 0x43DBF61F, 0x308588E6, 0xFBD7B3E6, 0xD596CFB0, 0x911CB09E, 0x4403F97F,
    0xAD7FCC5B,      0x65F9EC5B,      0xCBD5B26E, 0x110AD1D2, 0x26E9DC00, 0x8CC9CD42, 0x81457A1A, 0x9DA42644,
};

void update_menu_controls(PluginState& state) {
    menu_frame_prepare();
    if (menu_frame_check()) menu_frame_clear(false);
    menu_frame_flag(true);
    menu_frame_finish();
    disable_all_controls(PLAYER_CONTROL);
    if (state.menu_state == MENU_RING) {
        for (const auto& c : ring_controls) enable_control(PLAYER_CONTROL, c.control, c.flag);
    }
    for (Hash control : menu_controls) enable_control(PLAYER_CONTROL, control, false);
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
    const std::int32_t h = control_value(PLAYER_CONTROL, control_stick_x);
    const std::int32_t v = control_value(PLAYER_CONTROL, control_stick_y);
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
    } order[] = {{0x911CB09E, NAV_UP},   {0x4403F97F, NAV_DOWN}, {0xAD7FCC5B, NAV_LEFT},
                 {0x65F9EC5B, NAV_RIGHT}, {0x81457A1A, NAV_UP},   {0x9DA42644, NAV_DOWN}};
    static_assert(std::size(order) == std::size(PressMemory{}.navigation));
    for (std::size_t i = 0; i < std::size(order); ++i) {
        if (control_just_pressed(PLAYER_CONTROL, order[i].control)) {
            return new_press(presses.navigation[i], true) ? order[i].code : NAV_NONE;
        }
        presses.navigation[i] = false;
    }
    return NAV_NONE;
}

bool add_at_player_pressed(PressMemory& presses) {
    return new_press(presses.add_at_player, disabled_control_just_pressed(PLAYER_CONTROL, control_add_at_player));
}

bool add_at_waypoint_pressed(PressMemory& presses) {
    return new_press(presses.add_at_waypoint, disabled_control_just_pressed(PLAYER_CONTROL, control_add_at_waypoint));
}

bool select_category(RunContext& ctx, PluginState& state, std::int64_t requested) {
    if (requested == state.current_category) return false;
    const auto count = static_cast<std::int64_t>(state.categories.length);
    if (count <= 0) return false;
    std::int64_t wrapped = requested % count;  // the divisor's sign: -1 becomes count - 1
    if (wrapped < 0) wrapped += count;
    state.current_category = wrapped;
    state.marker_list_selection = 0;
    update_marker_list_cache(ctx, state, true);
    // Compared with the wrapped value: only a wrap below 0 sounds like a step left.
    play_sound(requested < state.current_category ? "NAV_LEFT" : "NAV_RIGHT", menu_sound_set);
    return true;
}
