// The marker in memory (its stored record and its blip), the category table,
// and what a marker is called on the map and in the list.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/growable_array.h"
#include "src/core/screen.h"
#include "src/file_formats/marker_record.h"
#include "src/scripthook/types.h"

// Which side of the Guarma divide a marker lies on. Asking the game is native
// calls and a marker never moves, so it is asked once, when first needed.
enum class GuarmaSide : std::uint8_t { unknown, mainland, guarma };

struct Marker {
    MarkerDataV1 data;
    Blip blip;        // 0: no blip
    bool is_new;      // made this run and not yet given its first blip
    GuarmaSide side;  // unknown until the blip pass asks the game
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

inline constexpr std::size_t category_table_size = category_count;
extern const MarkerCategory category_table[category_table_size];

// The category's row in `categories` (the run's copy of the table), or null
// for a category outside it: a markers file may hold any number.
const MarkerCategory* category_row(const GrowableArray<MarkerCategory>& categories, std::int64_t category);

// What a marker is called where the player sees it, on its blip and in the
// list: its name; else `place`; else its category's name; else `place` as it
// is (null or empty). The blip passes no place; the list and the log take it
// through `shown_marker_label` (src/map/location_names.h), which looks the
// place up (native calls) only for a marker without a name, or, where the
// game takes no calls, the place the route kept.
const char* marker_label(const GrowableArray<MarkerCategory>& categories, const Marker& marker, const char* place);
