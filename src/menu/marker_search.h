// The list page's search across all categories: its text, which markers it
// finds, and how the markers found follow the list. Its state is
// `PluginState::search` (marker_search_state.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/menu/marker_search_state.h"
#include "src/scripthook/game_hashes.h"
#include "src/state/state.h"

// A search looks up the places of unnamed markers (natives) only while the
// frame has called fewer than this many, and goes on in the next frame: what
// the rest of the frame calls after it (the list page drawn twice, its rows'
// places, the blip pass's checks) keeps the whole frame within the blips'
// `frame_native_ceiling`. Named markers cost no natives and are looked at at once.
inline constexpr std::uint64_t search_native_ceiling = 360;

// The first `characters` characters of `text` (a byte that starts no UTF-8
// character counts as one).
std::string_view first_characters(std::string_view text, std::size_t characters);

// True when `text` is part of `label`, ASCII letters compared without regard
// to case and every other byte as it is (so UTF-8 letters match only as typed).
bool label_contains(std::string_view label, std::string_view text);
// The marker's label as the list shows it (name, place, category), or its
// note, contains `text`; a marker of no category of the table never matches. The place is
// looked up quietly, and only for a marker without a name.
bool marker_matches_search(RunContext& ctx, PluginState& state, const Marker& m, std::string_view text);

// A search for `text` (cut to 50 characters) lists the markers of every
// category whose label contains it; an empty text ends the search. The
// markers are looked at within the frame's natives (`search_native_ceiling`):
// the rows grow in the frames after until every marker was looked at, and
// then hold what looking at them all at once would have found.
void start_search(RunContext& ctx, PluginState& state, std::string_view text);
// The list shows the current category again (closing the menu does this too).
void end_search(RunContext& ctx, PluginState& state);
// The list page's step, each tick, after its input (a press acts on the rows
// as drawn) and before its rows are drawn: a search in force looks at the
// markers not looked at yet (those not reached, and those added since),
// within the frame's natives, and the rows found are added
// (`update_marker_list_cache_as_it_grows`). True when the selected row shows
// another marker now.
bool continue_search(RunContext& ctx, PluginState& state);
// True while a search in force has markers left to look at.
bool search_under_way(const PluginState& state);

// The markers found follow the list: the marker at `index` is about to leave
// it...
void search_forget_marker(PluginState& state, std::size_t index);
// ...or was named (a capture names the marker it has just added): one looked
// at already that matches now is found; one found stays so...
void search_marker_named(RunContext& ctx, PluginState& state, std::size_t index);
// ...or was put in at `index` (an undone delete): found when it matches, and
// the markers after it follow...
void search_marker_joined(RunContext& ctx, PluginState& state, std::size_t index);
// ...or the whole list was replaced by another (a late read of the file): it
// is looked through again.
void search_list_replaced(PluginState& state);

// The search's buttons, in the full menu: "Search" opens the keyboard, or
// "Clear Search" ends the search in force; "Move" (enabled while the list has
// a row) puts the selected marker into the next category of the ring, and the
// list and the selection follow it. Move's press is in marker_list_page.cpp,
// beside the list's other actions on the selected row.
inline constexpr Hash control_search = InputControl::INPUT_GAME_MENU_TAB_LEFT_SECONDARY;
inline constexpr Hash control_move = InputControl::INPUT_GAME_MENU_TAB_RIGHT;
extern const Button search_button;
extern const Button move_button;

// False while the player is still typing a search (then nothing else of the
// tick runs); once the keyboard closes, its text is the search in force:
// confirmed empty, cancelled or gone, there is none.
bool finish_search_typing(RunContext& ctx, PluginState& state);

// At a script start, before the state is cleared: the markers found.
void search_at_release(RunContext& ctx, PluginState& state);
