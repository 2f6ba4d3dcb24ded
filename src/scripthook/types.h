// Value types shared with the game: layouts are pinned because the game reads
// and writes them through the script host.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/position.h"

// The title of the game's top-level window, by which the plug-in finds it.
inline constexpr const char* game_window_title = "Red Dead Redemption 2";

using Hash = std::uint32_t;

// Handles as the game returns them: the first 64-bit word of a native result,
// kept unchanged.
using Entity = std::uint64_t;
using Blip = std::uint64_t;
using Prompt = std::uint64_t;

// A world position as the game passes it: each float in its own 8-byte slot.
struct Vector3 {
    struct X {
        float x;
        std::uint32_t pad;
    } _x;
    struct Y {
        float y;
        std::uint32_t pad;
    } _y;
    struct Z {
        float z;
        std::uint32_t pad;
    } _z;
};
static_assert(sizeof(Vector3) == 24);
static_assert(offsetof(Vector3, _x) == 0);
static_assert(offsetof(Vector3, _y) == 8);
static_assert(offsetof(Vector3, _z) == 16);

inline Vector3 position_to_vector3(float x, float y, float z) { return Vector3{{x, 0}, {y, 0}, {z, 0}}; }
inline Vector3 position_to_vector3(const Position& p) { return position_to_vector3(p.x, p.y, p.z); }

// Reads only the floats: whatever padding the game wrote is ignored.
inline Position vector3_to_position(const Vector3& v) { return Position{v._x.x, v._y.y, v._z.z}; }
