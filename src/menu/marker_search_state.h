// What the list page's search across all categories keeps: the text in
// force and the markers it found. Held by the state record, so this header
// includes nothing above the core records; the search's steps and buttons
// are in marker_search.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "src/base/growable_array.h"
#include "src/scripthook/types.h"

// The most characters a search text keeps (the keyboard's limit too).
inline constexpr std::size_t search_text_characters = 50;
// That many characters of up to four UTF-8 bytes, and the terminator.
inline constexpr std::size_t search_text_capacity = search_text_characters * 4 + 1;

struct MarkerSearch {
    bool typing;                        // the keyboard is open for a search text
    bool in_force;                      // the list shows the markers found, of every category
    char text[search_text_capacity];    // the text in force, zero-terminated
    GrowableArray<std::int64_t> found;  // indices into `markers`, ascending
    // The markers before this index have been looked at: the rest (not
    // reached yet, or added since) in the list page's next steps, within the
    // frame's natives; a marker found stays found (a rename that no longer
    // matches too) until the next search.
    std::size_t searched_to;
};
