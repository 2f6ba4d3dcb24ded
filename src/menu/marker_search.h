// The list page's search across all categories and the move that re-files a
// marker. Its state is `PluginState::search` (marker_search_state.h).
#pragma once

#include <cstddef>
#include <string_view>

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/menu/marker_search_state.h"
#include "src/scripthook/game_hashes.h"
#include "src/state/state.h"

// The first `characters` characters of `text` (a byte that starts no UTF-8
// character counts as one).
std::string_view first_characters(std::string_view text, std::size_t characters);

// A search for `text` (cut to 50 characters) lists the markers of every
// category whose label contains it; an empty text ends the search.
void start_search(RunContext& ctx, PluginState& state, std::string_view text);
// The list shows the current category again (closing the menu does this too).
void end_search(RunContext& ctx, PluginState& state);

// The search's buttons, in the full menu: "Search" opens the keyboard, or
// "Clear Search" ends the search in force; "Move" (enabled while the list has
// a row) puts the selected marker into the next category of the ring, and the
// list and the selection follow it.
inline constexpr Hash control_search = InputControl::INPUT_GAME_MENU_TAB_LEFT_SECONDARY;
inline constexpr Hash control_move = InputControl::INPUT_GAME_MENU_TAB_RIGHT;
extern const Button search_button;
extern const Button move_button;

// False while the player is still typing a search (then nothing else of the
// tick runs); once the keyboard closes, its text is the search in force:
// confirmed empty, cancelled or gone, there is none.
bool finish_search_typing(RunContext& ctx, PluginState& state);

// The search's part of the step after a change of the marker list: a marker
// that left is no longer found, a renamed one is looked at again, a new list
// is looked through again when the rows are next rebuilt.
void search_follows_list(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index);
// At a script start, before the state is cleared: the markers found.
void search_at_release(RunContext& ctx, PluginState& state);
