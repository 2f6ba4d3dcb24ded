// The natives the simulated game answers, with the game's own signatures: the
// host checks every call against them before the game model sees it.
#pragma once

#include <cstddef>
#include <cstdint>

enum class SimArgKind : std::uint8_t {
    i32,             // 32-bit: both halves of the pushed word must agree
    boolean,         // 32-bit, as above
    hash32,          // 32-bit, as above
    f32,             // 32-bit, as above
    handle,          // entity, blip, prompt: the 64-bit word as returned
    text,            // address of a zero-terminated text, may be null
    f32_pointer,     // address of a float the game writes
    handle_pointer,  // address of a stored handle the game reads and may change
    any,             // a 64-bit value
    variadic,        // one or more further 64-bit values (VAR_STRING)
};

enum class SimResultKind : std::uint8_t { none, i32, boolean, hash32, handle, text, any, vector3 };

struct SimNativeSignature {
    std::uint64_t hash;
    const char* name;       // our wrapper's name, used in traces
    const char* game_name;  // the game's own name
    SimArgKind args[12];
    std::size_t arg_count;
    SimResultKind result;
};

// nullptr for a hash the game does not know.
const SimNativeSignature* sim_find_native(std::uint64_t hash);
std::size_t sim_native_count();

inline bool sim_arg_is_32bit(SimArgKind k) {
    return k == SimArgKind::i32 || k == SimArgKind::boolean || k == SimArgKind::hash32 || k == SimArgKind::f32;
}
