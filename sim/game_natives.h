// The natives the simulated game knows: one table (game_natives.cpp) with, for
// each, the game's own signature, which the host checks every call against
// before the game sees it, and beside it what the game answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

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

inline bool sim_arg_is_32bit(SimArgKind k) {
    return k == SimArgKind::i32 || k == SimArgKind::boolean || k == SimArgKind::hash32 || k == SimArgKind::f32;
}

struct SimGame;
struct SimNative;

// A native as the game declares it.
struct SimNativeSignature {
    std::uint64_t hash;
    const char* name;       // our wrapper's name, used in traces
    const char* game_name;  // the game's own name
    SimArgKind args[12];
    std::size_t arg_count;
    SimResultKind result;
};

// One call as the game sees it, after the host has checked it against the signature.
struct SimNativeCall {
    const SimNative* native;
    const std::uint64_t* args;
    std::size_t arg_count;
    std::uint64_t result[3];  // the words returned to the caller
    bool wrote_f32;           // a float out-parameter was written
    float written_f32;

    std::int32_t i32(std::size_t i) const { return static_cast<std::int32_t>(static_cast<std::uint32_t>(args[i])); }
    bool boolean(std::size_t i) const { return static_cast<std::uint32_t>(args[i]) != 0; }
    std::uint32_t hash(std::size_t i) const { return static_cast<std::uint32_t>(args[i]); }
    float f32(std::size_t i) const;
    std::uint64_t u64(std::size_t i) const { return args[i]; }
    const char* text(std::size_t i) const {
        return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(args[i]));
    }

    void set_i32(std::int32_t v) { result[0] = static_cast<std::uint32_t>(v); }
    void set_bool(bool v) { result[0] = v ? 1 : 0; }
    void set_hash(std::uint32_t v) { result[0] = v; }
    void set_u64(std::uint64_t v) { result[0] = v; }
    void set_text(const char* v) { result[0] = reinterpret_cast<std::uintptr_t>(v); }
    void set_vector3(float x, float y, float z);
    void write_f32(std::size_t i, float v);
};

// What the game does with a call: reads and changes the model, sets the result.
using SimNativeAnswer = void (*)(SimGame& game, SimNativeCall& call);

// A row of the table: the signature, and beside it the answer.
struct SimNative {
    SimNativeSignature signature;
    SimNativeAnswer answer;  // never null; natives with nothing to say answer zeroes
};

// Every native the game knows, in the table's order.
std::span<const SimNative> sim_natives();
// nullptr for a hash the game does not know.
const SimNative* sim_find_native(std::uint64_t hash);
