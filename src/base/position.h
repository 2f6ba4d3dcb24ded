// A point of the world as three packed floats: how a marker keeps its place
// (the game passes points as a Vector3, src/scripthook/types.h).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

struct Position {
    float x, y, z;
};
static_assert(sizeof(Position) == 12);

// The one squared distance of the plug-in (distances are compared squared
// wherever none is shown): in 32-bit floats, x, y and z summed in that order.
// Which way each difference is taken changes nothing: a - b is exactly -(b - a).
inline float distance_squared(const Position& a, const Position& b) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

// The whole metres of a distance as the list and the log show them: NaN as 0,
// and at most the largest 32-bit integer (a float beyond it has no defined
// conversion).
inline std::int32_t whole_metres(float distance) {
    if (std::isnan(distance)) return 0;
    if (!(distance < 2147483648.0f)) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(distance);
}
