// The marker list page's rows: indices of the current category's markers (in
// a search, of the markers found), newest first or nearest first, and how the
// rows follow every change of the marker list.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/run_context.h"
#include "src/markers/marker_list.h"
#include "src/state/state.h"

// The list page's part of the step after a change of the marker list
// (`marker_list_changed`), after the map's: a search in force follows (a
// marker that left is no longer found, a renamed one that matches now is
// found, a new list is looked through again), then the rows are rebuilt, once:
// the selection goes back to the first row after an add or a new list, and
// stays within the rows after a removal or a move. A rename leaves the rows as
// they are: neither order looks at names.
void list_page_follows_list(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index);

// Refills the list page's `rows` for the current category (while a search is in
// force: the markers it found so far, of every category) in `sort_mode`'s
// order; the selection goes back to the first row, or stays within the rows.
void update_marker_list_cache(RunContext& ctx, PluginState& state, bool reset_selection);
// The same as a search's rows grow: a selection on the first row stays there
// (the top of the list, as when every marker was looked at at once), any other
// stays on its marker. True when the selected row shows another marker than
// the one it showed.
bool update_marker_list_cache_as_it_grows(RunContext& ctx, PluginState& state);
// The row showing the marker at `index`, or -1.
std::int64_t row_of_marker(const PluginState& state, std::int64_t index);

// The list's orders, as "comes first": the newer marker (a's time is later)...
bool less_by_time(const PluginState& state, std::int64_t a, std::int64_t b);
// ... or the one nearer the player (false when either distance is NaN).
bool less_by_proximity(const PluginState& state, std::int64_t a, std::int64_t b);
