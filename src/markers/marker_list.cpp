#include "src/markers/marker_list.h"

#include "src/map/blips.h"

void marker_list_changed(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index) {
    // From the bottom of the table up: the blips first (a relabel or a restyle
    // calls the game before a place is looked up), the list page last (its
    // search and rows show what the others left).
    for (std::size_t i = feature_table.count; i-- > 0;) {
        const FeatureRow& row = feature_table.rows[i];
        if (row.list_changed) row.list_changed(ctx, state, change, index);
    }
}

void free_marker_list(const RunContext& ctx, PluginState& state, GrowableArray<Marker>& markers) {
    for (Marker& m : markers) {
        remove_marker_blip(state, m);
        free_marker_texts(ctx.general, m.data);
    }
    array_free(markers);
}
