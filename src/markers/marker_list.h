// The one step that follows every change of the marker list, and the rows of
// the marker list page: indices of the current category's markers, newest
// first or nearest first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/state/state.h"

// The one step after every change of the marker list: each feature's
// `list_changed` in the features' table (src/core/feature_row.h), from the
// bottom row up. What follows a change, in that order:
// - the markers on the map are chosen again (after a removal the markers
//   after it keep their blips under their new indices; a new list starts the
//   choice from nothing), a renamed marker's blip takes its new label, and a
//   moved marker's blip goes, to be made again in its new category's style
//   (`blips_follow_list`);
// - a search in force follows: a marker that left is no longer found, a
//   renamed one that matches now is found, a new list is looked through again
//   (`search_follows_list`);
// - the GPS route follows its marker to its new index, and ends when its
//   marker left or a new list came (`route_follows_list`);
// - the list page's rows are rebuilt: the selection goes back to the first row
//   after an add or a new list, and stays within the rows after a removal or a
//   move. A rename leaves the rows as they are: neither order looks at names
//   (`list_page_follows_list`).
// Saving is not part of it: a change made of two (the capture's add and name)
// saves once when it is whole.
void marker_list_changed(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index = 0);

// A list of markers that goes (the last run's at a script start, or the one
// shown while markers.json could not be read): each marker's blip ends and its
// name is freed, then the array.
void free_marker_list(const RunContext& ctx, PluginState& state, GrowableArray<Marker>& markers);

// Refills the list page's `rows` for the current category (while a search is in
// force: the markers it found, of every category, with those added since
// looked at) in `sort_mode`'s order; the selection goes back to the first
// row, or stays within the rows.
void update_marker_list_cache(RunContext& ctx, PluginState& state, bool reset_selection);
// The row showing the marker at `index`, or -1.
std::int64_t row_of_marker(const PluginState& state, std::int64_t index);

// True when `text` is part of `label`, ASCII letters compared without regard
// to case and every other byte as it is (so UTF-8 letters match only as typed).
bool label_contains(std::string_view label, std::string_view text);
// The marker's label as the list shows it (name, place, category) contains
// `text`; a marker of no category of the table never matches.
bool marker_matches_search(const PluginState& state, const Marker& m, std::string_view text);
// The search's found markers follow the list: the marker at `index` is about
// to leave it...
void search_forget_marker(PluginState& state, std::size_t index);
// ...or was named (a capture names the marker it has just added): one that
// matches now is found; one found stays so...
void search_marker_named(RunContext& ctx, PluginState& state, std::size_t index);
// ...or the whole list was replaced by another (a late read of the file): it
// is looked through again at the next rebuild.
void search_list_replaced(PluginState& state);

// The list's orders, as "comes first": the newer marker (a's time is later)...
bool less_by_time(const PluginState& state, std::int64_t a, std::int64_t b);
// ... or the one nearer the player (false when either distance is NaN).
bool less_by_proximity(const PluginState& state, std::int64_t a, std::int64_t b);
