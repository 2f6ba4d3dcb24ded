#include "sim/game.h"

#include <cstring>

// Sections: world set-up · hashing · native answers.

// ---- world set-up -------------------------------------------------------------------

void sim_game_init(SimGame& game) {
    game = SimGame{};
    game.frame_ns = 16666667;
    game.player_entity = 0x2A01;
    game.next_window_handle = 0x10010;
    game.next_blip_handle = 0x40001;
    game.blip_capacity = -1;
    game.next_prompt_handle = 0x50001;
    game.control_values[0x390948DC] = 128;  // the stick at rest
    game.control_values[0xBA60039F] = 128;
    game.uses_mouse = true;
    game.hover_active = true;
    game.repeat_answers = SimRepeat::every;
    game.repeat_frames = 1;
    game.radar_shown = game.hud_shown = true;
    game.time_scale = 1.0f;
}

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

// True when this query may see the input: always, or only the first time in
// the frame, as the scenario chooses.
static bool first_or_every(SimGame& game, const char* kind, std::uint32_t key) {
    if (game.repeat_answers != SimRepeat::first) return true;
    return game.answered.insert(std::string(kind) + ":" + std::to_string(key)).second;
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

// ---- hashing --------------------------------------------------------------------------

std::uint32_t sim_joaat(const char* text) {
    std::uint32_t h = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        unsigned char c = *p;
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        h += c;
        h += h << 10;
        h ^= h >> 6;
    }
    h += h << 3;
    h ^= h >> 11;
    h += h << 15;
    return h;
}

// ---- native answers -------------------------------------------------------------------

float SimNativeCall::f32(std::size_t i) const {
    std::uint32_t bits = static_cast<std::uint32_t>(args[i]);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void SimNativeCall::set_vector3(float x, float y, float z) {
    auto word = [](float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        return static_cast<std::uint64_t>(bits);
    };
    result[0] = word(x);
    result[1] = word(y);
    result[2] = word(z);
}

void SimNativeCall::write_f32(std::size_t i, float v) {
    auto* target = reinterpret_cast<float*>(static_cast<std::uintptr_t>(args[i]));
    if (target) *target = v;
    wrote_f32 = true;
    written_f32 = v;
}

static std::string text_or_empty(const char* t) { return t ? std::string(t) : std::string(); }

static bool texture_loaded(SimGame& game, const char* dictionary) {
    auto it = game.texture_requests.find(text_or_empty(dictionary));
    return it != game.texture_requests.end() && game.frame - it->second >= game.texture_load_frames;
}

static bool inside(float x, float y, float x0, float y0, float x1, float y1) {
    return x >= x0 && x <= x1 && y >= y0 && y <= y1;
}

static bool is_water(std::int32_t type) { return (type >= 2 && type <= 9 && type != 4); }

static std::uint32_t zone_at(const SimGame& game, float x, float y, std::int32_t type, bool water_only) {
    for (const SimZone& z : game.zones) {
        if (water_only ? !is_water(z.type) : (type != -1 && z.type != type)) continue;
        if (inside(x, y, z.x0, z.y0, z.x1, z.y1)) return z.hash;
    }
    return 0;
}

static std::optional<float> ground_at(const SimGame& game, float x, float y) {
    std::optional<float> h = game.default_ground;
    for (const SimGroundArea& a : game.ground_areas) {
        if (inside(x, y, a.x0, a.y0, a.x1, a.y1)) h = a.height;
    }
    return h;
}

void sim_game_answer(SimGame& game, SimNativeCall& call) {
    const std::string name = call.signature->name;
    if (name == "zone_at_coords") {
        call.set_hash(zone_at(game, call.f32(0), call.f32(1), call.i32(3), false));
    } else if (name == "untyped_zone_at_coords") {
        call.set_hash(zone_at(game, call.f32(0), call.f32(1), -1, true));
    } else if (name == "zone_display_name") {
        for (const SimZone& z : game.zones) {
            if (z.hash == call.hash(0) && call.hash(0) != 0) {
                if (z.text) call.set_text(z.text->c_str());
                break;
            }
        }
    } else if (name == "ground_z_at") {
        // Ground is found below the probe height only.
        const std::optional<float> h = ground_at(game, call.f32(0), call.f32(1));
        if (h && *h <= call.f32(2)) {
            call.write_f32(3, *h);
            call.set_bool(true);
        }
    } else if (name == "waypoint_active") {
        call.set_bool(game.waypoint_set);
    } else if (name == "waypoint_coords") {
        if (game.waypoint_set) call.set_vector3(game.waypoint_x, game.waypoint_y, 0.0f);
    } else if (name == "create_blip_at_coords") {
        if (game.blip_capacity >= 0 && static_cast<std::int64_t>(game.blips.size()) >= game.blip_capacity) {
            ++game.blips_refused;
        } else {
            const std::uint64_t handle = game.next_blip_handle++;
            game.blips[handle] = SimBlip{call.hash(0), 0, call.f32(1), call.f32(2), call.f32(3), {}, {}};
            call.set_u64(handle);
        }
    } else if (name == "blip_exists") {
        call.set_bool(game.blips.count(call.u64(0)) != 0);
    } else if (name == "blip_pre_remove") {
        call.set_bool(game.blips.count(call.u64(0)) != 0);
    } else if (name == "remove_blip") {
        auto* handle = reinterpret_cast<std::uint64_t*>(static_cast<std::uintptr_t>(call.u64(0)));
        if (handle) {
            game.blips.erase(*handle);
            *handle = 0;
        }
    } else if (name == "set_blip_sprite") {
        if (auto it = game.blips.find(call.u64(0)); it != game.blips.end()) it->second.sprite = call.hash(1);
    } else if (name == "set_blip_name") {
        if (auto it = game.blips.find(call.u64(0)); it != game.blips.end())
            it->second.name = text_or_empty(call.text(1));
    } else if (name == "set_blip_coords") {
        if (auto it = game.blips.find(call.u64(0)); it != game.blips.end()) {
            it->second.x = call.f32(1);
            it->second.y = call.f32(2);
            it->second.z = call.f32(3);
        }
    } else if (name == "blip_add_modifier") {
        auto it = game.blips.find(call.u64(0));
        if (it != game.blips.end()) it->second.modifiers.push_back(call.hash(1));
        call.set_bool(it != game.blips.end());
    } else if (name == "draw_sprite") {
        SimDrawItem d{SimDrawItem::Kind::sprite,
                      text_or_empty(call.text(0)),
                      text_or_empty(call.text(1)),
                      call.f32(2),
                      call.f32(3),
                      call.f32(4),
                      call.f32(5),
                      call.f32(6),
                      call.i32(7),
                      call.i32(8),
                      call.i32(9),
                      call.i32(10),
                      {}};
        game.draw_list.push_back(std::move(d));
    } else if (name == "set_text_colour") {
        for (int i = 0; i < 4; ++i) game.text_colour[i] = call.i32(static_cast<std::size_t>(i));
    } else if (name == "draw_text_at") {
        SimDrawItem d{SimDrawItem::Kind::text,
                      {},
                      {},
                      call.f32(1),
                      call.f32(2),
                      0,
                      0,
                      0,
                      game.text_colour[0],
                      game.text_colour[1],
                      game.text_colour[2],
                      game.text_colour[3],
                      text_or_empty(call.text(0))};
        game.draw_list.push_back(std::move(d));
    } else if (name == "play_menu_sound") {
        game.sounds.push_back(SimSound{text_or_empty(call.text(0)), text_or_empty(call.text(1))});
    } else if (name == "prompt_begin") {
        const std::uint64_t handle = game.next_prompt_handle++;
        game.prompts[handle] = SimPrompt{};
        call.set_u64(handle);
    } else if (name.rfind("prompt_", 0) == 0 && name != "prompt_group_page") {
        auto it = game.prompts.find(call.u64(0));
        if (it != game.prompts.end()) {
            SimPrompt& p = it->second;
            if (name == "prompt_set_control") p.control = call.hash(1);
            else if (name == "prompt_set_text") p.text = text_or_empty(call.text(1));
            else if (name == "prompt_set_press_mode") p.hold_mode = false;
            else if (name == "prompt_set_hold_mode") {
                p.hold_mode = true;
                p.hold_time = call.i32(1);
            } else if (name == "prompt_set_priority") p.priority = call.i32(1);
            else if (name == "prompt_set_group") {
                p.in_group = true;
                p.group = call.hash(1);
                p.page = call.i32(2);
            } else if (name == "prompt_end") p.ended = true;
            else if (name == "prompt_set_enabled") p.enabled = call.boolean(1);
            else if (name == "prompt_set_visible") p.visible = call.boolean(1);
            else if (name == "prompt_reset_hold") {
                // Reset: the button has to be held through the hold time again.
                p.hold_done = false;
                game.held.erase(p.control);
            }
            // A prompt completes only while the game shows it: enabled, visible, its group up.
            const bool shown = p.ended && p.enabled && p.visible && (!p.in_group || game.map_open);
            if (name == "prompt_press_completed") {
                call.set_bool(shown && !p.hold_mode && game.pressed.count(p.control) &&
                              first_or_every(game, "press", p.control));
            } else if (name == "prompt_hold_completed") {
                if (shown && p.hold_mode && game.held.count(p.control)) p.hold_done = true;
                call.set_bool(p.hold_done);
            }
        }
    } else if (name == "prompt_group_page") {
        call.set_i32(call.hash(0) == 0x29FEEDA9 && game.map_open ? 0 : -1);
    } else if (name == "disable_all_controls") {
        game.controls_disabled = true;
    } else if (name == "enable_control") {
        game.controls_enabled.insert(call.hash(1));
    } else if (name == "control_just_pressed") {
        const std::uint32_t c = call.hash(1);
        const bool active = !game.controls_disabled || game.controls_enabled.count(c);
        call.set_bool(active && game.just_pressed.count(c) && first_or_every(game, "control", c));
    } else if (name == "disabled_control_just_pressed") {
        const std::uint32_t c = call.hash(1);
        call.set_bool(game.just_pressed.count(c) && first_or_every(game, "disabled-control", c));
    } else if (name == "control_value") {
        auto it = game.control_values.find(call.hash(1));
        call.set_i32(it == game.control_values.end() ? 0 : it->second);
    } else if (name == "pad_uses_mouse") {
        call.set_bool(game.uses_mouse);
    } else if (name == "cursor_hover_active") {
        call.set_bool(game.uses_mouse && game.hover_active);
    } else if (name == "show_onscreen_keyboard") {
        SimKeyboard& k = game.keyboard;
        k = SimKeyboard{};
        k.open = true;
        k.typing_frames = game.next_keyboard.typing_frames;
        k.cancel = game.next_keyboard.cancel;
        k.text_type = call.i32(0);
        k.title = text_or_empty(call.text(1));
        if (call.text(3)) k.initial = call.text(3);
        k.max_length = call.i32(7);
        k.result = game.next_keyboard.result ? game.next_keyboard.result : k.initial;
        ++game.keyboards_opened;
    } else if (name == "keyboard_status") {
        SimKeyboard& k = game.keyboard;
        const std::int32_t status = !k.open ? 3 : k.typing_frames > 0 ? 0 : k.cancel ? 2 : 1;
        k.confirmed_this_frame = status == 1;
        call.set_i32(status);
    } else if (name == "keyboard_result") {
        // Only in the tick in which the status said 1.
        if (game.keyboard.confirmed_this_frame && game.keyboard.result) call.set_text(game.keyboard.result->c_str());
    } else if (name == "keyboard_close") {
        game.keyboard.open = false;
    } else if (name == "menu_open_toggle_a") {
        game.radar_shown = call.boolean(0);
    } else if (name == "menu_open_toggle_b") {
        game.hud_shown = call.boolean(0);
    } else if (name == "menu_open_scale") {
        game.time_scale = call.f32(0);
    } else if (name == "player_character") {
        call.set_u64(game.player_entity);
    } else if (name == "entity_position") {
        if (call.u64(0) == game.player_entity) {
            call.set_vector3(game.player_position[0], game.player_position[1], game.player_position[2]);
        }
    } else if (name == "hash_of_name") {
        call.set_hash(call.text(0) ? sim_joaat(call.text(0)) : 0);
    } else if (name == "screen_effect_start") {
        SimScreenEffect& e = game.screen_effects[text_or_empty(call.text(0))];
        e.playing = true;
        ++e.start_calls;
    } else if (name == "screen_effect_stop") {
        SimScreenEffect& e = game.screen_effects[text_or_empty(call.text(0))];
        e.playing = false;
        ++e.stop_calls;
    } else if (name == "screen_effect_set_strength") {
        game.screen_effects[text_or_empty(call.text(0))].strength = call.f32(1);
    } else if (name == "screen_effect_set_params") {
        SimScreenEffect& e = game.screen_effects[text_or_empty(call.text(0))];
        for (int i = 0; i < 5; ++i) e.params[i] = call.i32(1 + static_cast<std::size_t>(i));
    } else if (name == "request_texture_dictionary") {
        game.texture_requests.emplace(text_or_empty(call.text(0)), game.frame);
    } else if (name == "texture_dictionary_loaded") {
        call.set_bool(texture_loaded(game, call.text(0)));
    } else if (name == "make_text_label") {
        // (10, "LITERAL_STRING", text) shows the text as it is.
        const char* kind = call.arg_count >= 2 ? call.text(1) : nullptr;
        if (call.arg_count >= 3 && kind && std::strcmp(kind, "LITERAL_STRING") == 0) {
            game.frame_texts.push_back(text_or_empty(call.text(2)));
        } else {
            game.frame_texts.push_back(text_or_empty(kind));
        }
        call.set_text(game.frame_texts.back().c_str());
    }
    // Every other native answers with zeroes (false, 0, null, the origin)
    // until the world model gives it something to say.
}
