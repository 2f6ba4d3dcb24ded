#include "src/markers/marker_list.h"

#include "src/map/blips.h"
#include "src/map/gps_route.h"

static ListPageFollower list_page_follower = nullptr;

void set_list_page_follower(ListPageFollower follower) { list_page_follower = follower; }

static void list_page_follows(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index) {
    if (list_page_follower) list_page_follower(ctx, state, change, index);
}

void marker_list_changed(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index) {
    switch (change) {
        case MarkerListChange::added: choose_blips_again(state); break;
        case MarkerListChange::removed:
            blips_after_marker_left(state, index);
            route_marker_left_list(ctx, state, index);
            break;
        case MarkerListChange::renamed:
            choose_blips_again(state);
            relabel_marker_blip(state, state.markers[index]);
            route_marker_renamed(ctx, state, index);
            break;
        case MarkerListChange::moved:
            choose_blips_again(state);  // its new category may be one hidden from the map
            restyle_marker_blip(state, state.markers[index]);
            break;
        case MarkerListChange::replaced:
            end_route(ctx, state, RouteEnd::markers_loaded);  // its marker's index names another marker now
            blips_after_new_list(state);
            break;
    }
    list_page_follows(ctx, state, change, index);
}

void free_marker_list(const RunContext& ctx, PluginState& state, GrowableArray<Marker>& markers) {
    for (Marker& m : markers) {
        remove_marker_blip(state, m);
        free_marker_name(ctx.general, m.data.name);
    }
    array_free(markers);
}
