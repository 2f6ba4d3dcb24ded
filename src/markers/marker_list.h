// The one step that follows every change of the marker list, and the end of
// a whole list.
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
    moved,     // the marker at `index` is in another category
    replaced,  // a new list in place of the old (loaded, or joined with the file read late), no blip on the old
};

// The one step after every change of the marker list; whatever follows a
// change is done here, in this order:
// - the markers on the map are chosen again (after a removal the markers
//   after it keep their blips under their new indices; a new list starts the
//   choice from nothing), a renamed marker's blip takes its new label, and a
//   moved marker's blip goes, to be made again in its new category's style;
// - the GPS route follows its marker to its new index, ends when its marker
//   left or a new list came, and keeps the place a routed marker that lost its
//   name is called by;
// - the list page follows (`ListPageFollower`): its search and its rows.
// Saving is not part of it: a change made of two (the capture's add and name)
// saves once when it is whole.
void marker_list_changed(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index = 0);

// The list page's part of the step (src/menu/marker_list_rows.h,
// `list_page_follows_list`): the menu stands above the markers, so the
// script's start hands it over. Without one (a list outside the script) the
// step leaves the page alone.
using ListPageFollower = void (*)(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index);
void set_list_page_follower(ListPageFollower follower);

// A list of markers that goes (the last run's at a script start, or the one
// shown while markers.json could not be read): each marker's blip ends and its
// name is freed, then the array.
void free_marker_list(const RunContext& ctx, PluginState& state, GrowableArray<Marker>& markers);
