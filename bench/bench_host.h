// A script host for the benchmarks that answers every native at near-zero
// cost, so what is measured is the plug-in's own work; it counts the calls.
// The map's prompt group is shown (page 0) unless a benchmark hides it, no
// control is pressed, textures and blips are live, the player stands at the
// origin, every place is on the mainland, names hash as in the game. A benchmark may set a waypoint and
// ground for the capture, move the player, and make an area Guarma.
#pragma once

#include <cstdint>

#include "src/base/joaat.h"
#include "src/scripthook/host_api.h"
#include "src/scripthook/native_hashes.h"

namespace bench {

struct HostAnswers {
    bool waypoint_set = false;
    float waypoint_x = 0, waypoint_y = 0;  // reported at height 0, as the game does
    float ground = 40;                     // found by every probe
    float player[3] = {0, 0, 0};           // the player character's position
    bool map_prompts_shown = true;         // false: the menu stays closed
    // Where the map's zone is Guarma's ("Guarma", a fixed hash); elsewhere the
    // zone is 0, which is no Guarma zone. Empty unless a benchmark sets it.
    float guarma[4] = {1, 1, 0, 0};  // x0, y0, x1, y1
    // Every zone has the name `place`; false: none has one, so a place lookup
    // asks all it can (nine natives).
    bool places_named = true;
};

inline constexpr std::uint32_t guarma_zone = 0x7356B8ED;

inline HostAnswers host_answers;
inline std::int64_t native_calls;

namespace detail {
inline std::uint64_t call_hash;
inline std::uint64_t args[8];
inline int arg_count;
inline std::uint64_t answer[3];
inline std::uint64_t next_handle = 0x40001;
inline const char* const place = "Valentine, New Hanover";
inline const char* const label = "label";

inline std::uint64_t float_slot(float f) {
    std::uint32_t bits;
    __builtin_memcpy(&bits, &f, 4);
    return bits;
}

inline float float_arg(std::uint64_t slot) {
    const auto bits = static_cast<std::uint32_t>(slot);
    float f;
    __builtin_memcpy(&f, &bits, 4);
    return f;
}

// The game's hash of a name (joaat over the lower-cased bytes), so that a zone
// is told from Guarma's names as in the game: an answer of 0 would match the
// zone 0 and put every place in Guarma.
inline std::uint32_t name_hash(const char* name) { return joaat(name); }

inline bool in_guarma(float x, float y) {
    const float* g = host_answers.guarma;
    return x >= g[0] && y >= g[1] && x <= g[2] && y <= g[3];
}

inline void init(std::uint64_t hash) {
    call_hash = hash;
    arg_count = 0;
}
inline void push(std::uint64_t v) {
    if (arg_count < 8) args[arg_count] = v;
    ++arg_count;
}
inline std::uint64_t* call() {
    ++native_calls;
    answer[0] = answer[1] = answer[2] = 0;
    switch (call_hash) {
        case native_texture_dictionary_loaded:
        case native_blip_exists:
        case native_pad_uses_mouse: answer[0] = 1; break;
        case native_create_blip_at_coords:
        case native_prompt_begin: answer[0] = next_handle++; break;
        case native_make_text_label: answer[0] = reinterpret_cast<std::uintptr_t>(label); break;
        case native_zone_display_name:
            answer[0] = host_answers.places_named ? reinterpret_cast<std::uintptr_t>(place) : 0;
            break;
        case native_keyboard_status: answer[0] = 3; break;
        case native_waypoint_active: answer[0] = host_answers.waypoint_set ? 1 : 0; break;
        case native_waypoint_coords:
            answer[0] = float_slot(host_answers.waypoint_x);
            answer[1] = float_slot(host_answers.waypoint_y);
            break;
        case native_prompt_group_page: answer[0] = host_answers.map_prompts_shown ? 0 : 0xFFFFFFFFu; break;
        case native_entity_position:
            answer[0] = float_slot(host_answers.player[0]);
            answer[1] = float_slot(host_answers.player[1]);
            answer[2] = float_slot(host_answers.player[2]);
            break;
        case native_hash_of_name:
            answer[0] = name_hash(reinterpret_cast<const char*>(static_cast<std::uintptr_t>(args[0])));
            break;
        case native_zone_at_coords:
            answer[0] = in_guarma(float_arg(args[0]), float_arg(args[1])) ? guarma_zone : 0;
            break;
        case native_ground_z_at:
            *reinterpret_cast<float*>(static_cast<std::uintptr_t>(args[3])) = host_answers.ground;
            answer[0] = 1;
            break;
        default: break;
    }
    return answer;
}
}  // namespace detail

inline HostApi host() {
    HostApi api{};
    api.scriptWait = [](HostDword) {};
    api.scriptRegister = [](HostModule, ScriptProcedure) {};
    api.scriptUnregister = [](HostModule) {};
    api.nativeInit = detail::init;
    api.nativePush64 = detail::push;
    api.nativeCall = detail::call;
    return api;
}

}  // namespace bench
