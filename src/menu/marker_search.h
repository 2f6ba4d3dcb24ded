// The list page's search across all categories and the move that re-files a
// marker: the text in force, the markers it found, and the two prompts.
// The record is part of the state record, so this header includes nothing
// above the core records; the procedures name the state record by its
// declaration only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "src/base/growable_array.h"
#include "src/base/run_context.h"
#include "src/scripthook/types.h"

// The most characters a search text keeps (the keyboard's limit too).
inline constexpr std::size_t search_text_characters = 50;
// That many characters of up to four UTF-8 bytes, and the terminator.
inline constexpr std::size_t search_text_capacity = search_text_characters * 4 + 1;

struct MarkerSearch {
    Prompt search_prompt;  // "Search" or "Clear Search", in the full menu
    Prompt move_prompt;    // "Move", in the full menu
    bool search_pressed;   // what each press test answered last (see PressMemory)
    bool move_pressed;
    bool typing;                        // the keyboard is open for a search text
    bool in_force;                      // the list shows the markers found, of every category
    char text[search_text_capacity];    // the text in force, zero-terminated
    GrowableArray<std::int64_t> found;  // indices into `markers`, ascending
    // The markers before this index have been looked at: those added since
    // are looked at when the list is next rebuilt, and a marker found stays
    // found (a rename that no longer matches too) until the next search.
    std::size_t searched_to;
};

struct PluginState;

// The first `characters` characters of `text` (a byte that starts no UTF-8
// character counts as one).
std::string_view first_characters(std::string_view text, std::size_t characters);

// A search for `text` (cut to 50 characters) lists the markers of every
// category whose label contains it; an empty text ends the search.
void start_search(RunContext& ctx, PluginState& state, std::string_view text);
// The list shows the current category again (closing the menu does this too).
void end_search(RunContext& ctx, PluginState& state);

// The list page's input step for "Search": with no search in force a press
// opens the keyboard, else it ends the search.
void take_search_press(RunContext& ctx, PluginState& state);
// False while the player is still typing a search (then nothing else of the
// tick runs); once the keyboard closes, its text is the search in force:
// confirmed empty, cancelled or gone, there is none.
bool finish_search_typing(RunContext& ctx, PluginState& state);

// The list page's input step for "Move" (enabled while the list has a row):
// the selected marker goes to the next category of the ring, and the list and
// the selection follow it.
void take_move_press(RunContext& ctx, PluginState& state);
