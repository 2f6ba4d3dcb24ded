#include "sim/game.h"

// MinGW g++ 12 takes the keyboard title inside the zeroed SimGame{} for
// uninitialised once this is inlined (a false alarm: value-initialisation
// constructs every string).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
void sim_game_init(SimGame& game) {
    game = SimGame{};
    game.frame_ns = 16666667;
    game.player_entity = 0x2A01;
    game.next_window_handle = 0x10010;
    game.next_blip_handle = 0x40001;
    game.blip_capacity = -1;
    game.next_prompt_handle = 0x50001;
    game.control_values[sim_stick_x] = 128;  // the stick at rest
    game.control_values[sim_stick_y] = 128;
    game.uses_mouse = true;
    game.hover_active = true;
    game.repeat_answers = SimRepeat::every;
    game.repeat_frames = 1;
    game.radar_shown = game.hud_shown = true;
    game.time_scale = 1.0f;
}

#pragma GCC diagnostic pop

void sim_game_begin_frame(SimGame& game) {
    game.frame_texts.clear();
    game.draw_list.clear();
    game.sounds.clear();
    game.answered.clear();
    game.controls_disabled = false;
    game.controls_enabled.clear();
}

// Ends the frame of the inputs that have lasted `lifetime` frames.
static void age_inputs(std::set<std::uint32_t>& inputs, std::map<std::uint32_t, std::int32_t>& ages,
                       std::int32_t lifetime) {
    std::erase_if(ages, [&](const auto& a) { return inputs.count(a.first) == 0; });  // a reset hold
    for (auto it = inputs.begin(); it != inputs.end();) {
        if (++ages[*it] >= lifetime) {
            ages.erase(*it);
            it = inputs.erase(it);
        } else {
            ++it;
        }
    }
}

void sim_game_end_frame(SimGame& game) {
    // Presses last one frame, or `repeat_frames` when they persist; the
    // keyboard counts down the frames of typing.
    const std::int32_t lifetime = game.repeat_answers == SimRepeat::frames ? game.repeat_frames : 1;
    age_inputs(game.pressed, game.pressed_age, lifetime);
    age_inputs(game.held, game.held_age, lifetime);
    age_inputs(game.just_pressed, game.just_pressed_age, lifetime);
    game.keyboard.confirmed_this_frame = false;
    if (game.keyboard.open && game.keyboard.typing_frames > 0) --game.keyboard.typing_frames;
}

void sim_game_set_window(SimGame& game, bool present, std::int32_t width, std::int32_t height, std::int32_t x,
                         std::int32_t y) {
    if (present && !game.window.present) game.window.handle = game.next_window_handle++;
    if (!present) game.window.handle = 0;
    game.window.present = present;
    game.window.width = width;
    game.window.height = height;
    game.window.x = x;
    game.window.y = y;
}
