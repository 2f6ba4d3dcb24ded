// The three steps of a native call: begin with the hash, push each argument as
// one 64-bit word, call and read the result at once from the returned words.
#pragma once

#include <cstdint>

#include "src/scripthook/types.h"

void begin_native_call(std::uint64_t hash);

// Every native call begun since the library was loaded: the blip pass keeps a
// frame's calls under a ceiling by what it has called so far.
extern std::uint64_t native_calls_begun;

// 32-bit values travel with their pattern in both halves of the word.
inline std::uint64_t pack_native_u32(std::uint32_t bits) { return (static_cast<std::uint64_t>(bits) << 32) | bits; }

void push_native_arg_u64(std::uint64_t value);  // handles and plain 64-bit values
void push_native_arg_i32(std::int32_t value);
void push_native_arg_hash(Hash value);
void push_native_arg_bool(bool value);  // 0 or 1
void push_native_arg_f32(float value);
void push_native_arg_cstring(const char* text);     // the address, may be null
void push_native_arg_pointer(const void* address);  // out-parameters

void finish_native_call_none();
std::int32_t finish_native_call_i32();
bool finish_native_call_bool();
Hash finish_native_call_hash();
std::uint64_t finish_native_call_u64();
const char* finish_native_call_cstring();  // belongs to the game
Vector3 finish_native_call_vector3();
