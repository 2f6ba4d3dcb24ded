#include "src/map/blips.h"

#include "src/map/location_names.h"
#include "src/scripthook/natives.h"

void set_marker_blip(PluginState& state, Marker& marker, Blip blip) {
    state.markers_with_blip += static_cast<std::int64_t>(blip != 0) - static_cast<std::int64_t>(marker.blip != 0);
    marker.blip = blip;
}

void remove_marker_blip(PluginState& state, Marker& marker) {
    const bool held = marker.blip != 0;
    blip_pre_remove(marker.blip);
    remove_blip(&marker.blip);  // the game may write to the handle it was given
    marker.blip = 0;            // whatever it left there, the marker has no blip now
    if (held) --state.markers_with_blip;
}

bool create_marker_blip(PluginState& state, Marker& marker) {
    // The markers holding a handle, live or stale (this one holds none yet).
    const std::int64_t count = state.markers_with_blip;
    if (count >= state.blip_limit) return false;

    const Position& p = marker.data.position;
    set_marker_blip(state, marker, create_blip_at_coords(hash_of_name("BLIP_STYLE_CREATOR_DEFAULT"), p.x, p.y, p.z));
    if (marker.blip == 0 || !blip_exists(marker.blip)) {
        // The game is out of blips: keep well below where it refused.
        state.blip_limit = count - blip_limit_step < 0 ? 0 : count - blip_limit_step;
        if (count > state.blip_limit) {
            for (Marker& m : state.markers) {
                if (m.blip != 0) remove_marker_blip(state, m);
            }
        }
        return false;
    }

    const MarkerCategory& row = state.categories[static_cast<std::size_t>(marker.data.category)];
    set_blip_sprite(marker.blip, hash_of_name(row.sprite), true);
    set_blip_name(marker.blip, marker_label(state.categories, marker, nullptr));
    set_blip_coords(marker.blip, p.x, p.y, p.z);
    for (std::size_t i = 0; i < row.modifier_count; ++i) blip_add_modifier(marker.blip, row.modifiers[i]);
    if (row.colour_modifier != 0) blip_add_modifier(marker.blip, row.colour_modifier);
    if (marker.is_new) {
        blip_add_modifier(marker.blip, new_marker_modifier);
        marker.is_new = false;
    }
    return true;
}

void refresh_marker_blips(PluginState& state) {
    if (state.blip_limit <= 0) state.blip_limit = default_blip_limit;
    const bool player_in_guarma = is_guarma_zone(zone_hash_at(state.player_position));
    for (std::size_t i = 0; i < state.markers.length; ++i) {
        Marker& m = state.markers[i];
        if (!category_row(state.categories, m.data.category)) continue;
        if (m.blip != 0 && blip_exists(m.blip)) continue;
        if (is_guarma_zone(zone_hash_at(position_to_vector3(m.data.position))) != player_in_guarma) continue;
        if (m.blip != 0) remove_marker_blip(state, m);  // stale: the game dropped it
        if (!create_marker_blip(state, m)) return;
    }
}
