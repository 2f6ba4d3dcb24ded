// The one step that follows every change of the marker list, and the end of
// a whole list.
#pragma once

#include <cstddef>
#include <cstdint>

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
// - the GPS route follows its marker to its new index, ends when its marker
//   left or a new list came, and keeps the place a routed marker that lost its
//   name is called by (`route_follows_list`);
// - the list page follows, last (`list_page_follows_list`, src/menu/
//   marker_list_rows.h): a search in force follows (a marker that left is no
//   longer found, a renamed one that matches now is found, a new list is
//   looked through again), then its rows are rebuilt once: the selection goes
//   back to the first row after an add or a new list, and stays within the
//   rows after a removal or a move. A rename leaves the rows as they are:
//   neither order looks at names.
// Saving is not part of it: a change made of two (the capture's add and name)
// saves once when it is whole.
void marker_list_changed(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index = 0);

// A list of markers that goes (the last run's at a script start, or the one
// shown while markers.json could not be read): each marker's blip ends and its
// name is freed, then the array.
void free_marker_list(const RunContext& ctx, PluginState& state, GrowableArray<Marker>& markers);
