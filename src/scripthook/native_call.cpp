#include "src/scripthook/native_call.h"

#include <cstring>

#include "src/scripthook/host_api.h"

HostApi host_api;
std::uint64_t native_calls_begun;

void begin_native_call(std::uint64_t hash) {
    ++native_calls_begun;
    host_api.nativeInit(hash);
}

void push_native_arg_u64(std::uint64_t value) { host_api.nativePush64(value); }

void push_native_arg_i32(std::int32_t value) {
    host_api.nativePush64(pack_native_u32(static_cast<std::uint32_t>(value)));
}

void push_native_arg_hash(Hash value) { host_api.nativePush64(pack_native_u32(value)); }

void push_native_arg_bool(bool value) { host_api.nativePush64(pack_native_u32(value ? 1u : 0u)); }

void push_native_arg_f32(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    host_api.nativePush64(pack_native_u32(bits));
}

void push_native_arg_cstring(const char* text) { host_api.nativePush64(reinterpret_cast<std::uintptr_t>(text)); }

void push_native_arg_pointer(const void* address) { host_api.nativePush64(reinterpret_cast<std::uintptr_t>(address)); }

void finish_native_call_none() { host_api.nativeCall(); }

std::int32_t finish_native_call_i32() {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(host_api.nativeCall()[0]));
}

bool finish_native_call_bool() { return static_cast<std::uint32_t>(host_api.nativeCall()[0]) != 0; }

Hash finish_native_call_hash() { return static_cast<Hash>(host_api.nativeCall()[0]); }

std::uint64_t finish_native_call_u64() { return host_api.nativeCall()[0]; }

const char* finish_native_call_cstring() {
    return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(host_api.nativeCall()[0]));
}

Vector3 finish_native_call_vector3() {
    const std::uint64_t* words = host_api.nativeCall();
    Vector3 v;
    std::memcpy(&v, words, sizeof v);
    return v;
}
