// The marker in memory (its stored record and its blip), the category table,
// and the squared-distance measures shared by the marker code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scripthook/types.h"
#include "src/store/marker_record.h"

struct Rgba {
    std::int32_t red, green, blue, alpha;
};

struct ScreenRect {
    float x, y, width, height;  // centre and size, fractions of the screen
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

float marker_distance_squared(const Marker& marker, const Vector3& v);
float vector3_distance_squared(const Vector3& a, const Vector3& b);
