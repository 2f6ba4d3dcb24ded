// The one step that follows every change of the marker list, and the rows of
// the marker list page: indices of the current category's markers, newest
// first or nearest first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/run_context.h"
#include "src/core/state.h"

// What happened to the marker list.
enum class MarkerListChange : std::uint8_t {
    added,     // markers appended at its end: an add, a waypoint capture, an import
    removed,   // the marker at `index` left it, its blip ended before
    renamed,   // the marker at `index` has its new name
    replaced,  // a new list in place of the old (loaded, or joined with the file read late), no blip on the old
};

// The one step after every change of the marker list; whatever follows a
// change is done here, in this order:
// - the markers on the map are chosen again (after a removal the markers
//   after it keep their blips under their new indices; a new list starts the
//   choice from nothing), and a renamed marker's blip takes its new label;
// - the GPS route follows its marker to its new index, and ends when its
//   marker left or a new list came;
// - the list page's rows are rebuilt: the selection goes back to the first row
//   after an add or a new list, and stays within the rows after a removal. A
//   rename leaves the rows as they are: neither order looks at names.
// Saving is not part of it: a change made of two (the capture's add and name)
// saves once when it is whole.
void marker_list_changed(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index = 0);

// A list of markers that goes (the last run's at a script start, or the one
// shown while markers.json could not be read): each marker's blip ends and its
// name is freed, then the array.
void free_marker_list(const RunContext& ctx, PluginState& state, GrowableArray<Marker>& markers);

// Refills `marker_list_cache` for the current category in `sort_mode`'s
// order; the selection goes back to the first row, or stays within the rows.
void update_marker_list_cache(RunContext& ctx, PluginState& state, bool reset_selection);

// The list's orders, as "comes first": the newer marker (a's time is later)...
bool less_by_time(const PluginState& state, std::int64_t a, std::int64_t b);
// ... or the one nearer the player (false when either distance is NaN).
bool less_by_proximity(const PluginState& state, std::int64_t a, std::int64_t b);
