// The marker in its stored and in-memory forms, the category table, and the
// squared-distance measures shared by the marker code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scripthook/types.h"
#include "src/allocators.h"

struct Rgba {
    std::int32_t red, green, blue, alpha;
};

struct ScreenRect {
    float x, y, width, height;  // centre and size, fractions of the screen
};

// A time value as stored: nanoseconds since 1970-01-01 00:00:00 UTC.
struct TimestampV1 {
    std::int64_t _nsec;
};

// Stored form of one marker; fields, order and keys are those of the file.
struct MarkerDataV1 {
    Position position;
    std::int64_t category;
    char* name;  // owned, zero-terminated UTF-8, or null
    TimestampV1 timestamp;
};

struct Marker {
    MarkerDataV1 data;
    Blip blip;    // 0: no blip
    bool is_new;  // made this run and not yet given its first blip
};

struct MarkerCategory {
    const char* name;
    const char* texture_dictionary;
    const char* sprite;
    Hash colour_modifier;  // 0: none
    Rgba colour;
    const Hash* modifiers;
    std::size_t modifier_count;
};

inline constexpr std::size_t category_table_size = 10;
extern const MarkerCategory category_table[category_table_size];

// Gives a marker's name text back (its block is the text and its terminator)
// and leaves the name null.
void free_marker_name(const Allocator& allocator, char*& name);

// A new marker is refused when an existing one lies less than 1 unit away
// (squared distance below this; exactly 1 unit is allowed).
inline constexpr float minimum_spacing_squared = 1.0f;

// (q - p) squared in 32-bit floats, x, y and z summed in that order: the one
// measure behind the 1-unit rule, for one marker or for many at once.
float distance_squared(const Position& p, const Position& q);
float marker_distance_squared(const Marker& marker, const Vector3& v);
float vector3_distance_squared(const Vector3& a, const Vector3& b);
