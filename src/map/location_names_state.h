// What the place naming remembers during a run (the naming: location_names.h).
#pragma once

#include <cstddef>

#include "src/base/position.h"
#include "src/scripthook/types.h"

// Places already reported as having no name this run (a small ring: bounded
// memory, and far more than the eight rows a page shows).
inline constexpr std::size_t nameless_places_capacity = 64;
struct NamelessPlace {
    Position position;
    Hash zone;
};
struct NamelessPlaces {
    NamelessPlace places[nameless_places_capacity];
    std::size_t count;
    std::size_t next;
};
