#include "sim/game.h"

#include <cstring>

// Sections: world set-up · hashing · native answers.

// ---- world set-up -------------------------------------------------------------------

void sim_game_init(SimGame& game) {
    game = SimGame{};
    game.frame_ns = 16666667;
    game.player_entity = 0x2A01;
    game.next_window_handle = 0x10010;
}

void sim_game_begin_frame(SimGame& game) { game.frame_texts.clear(); }

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

void sim_game_answer(SimGame& game, SimNativeCall& call) {
    const std::string name = call.signature->name;
    if (name == "player_character") {
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
