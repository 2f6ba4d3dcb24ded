#include "src/menu/category_page.h"

#include <cmath>

#include "src/base/calendar.h"
#include "src/markers/marker_editing.h"
#include "src/markers/waypoint_capture.h"
#include "src/menu/drawing.h"
#include "src/menu/marker_list_rows.h"
#include "src/menu/menu_input.h"
#include "src/scripthook/enums.h"
#include "src/scripthook/natives.h"

bool point_in_rect(float px, float py, const ScreenRect& r) {
    return r.x - r.width / 2 < px && px < r.x + r.width / 2 && r.y - r.height / 2 < py && py < r.y + r.height / 2;
}

ScreenRect lerp_rect(const ScreenRect& a, const ScreenRect& b, float t) {
    return ScreenRect{a.x * (1 - t) + b.x * t, a.y * (1 - t) + b.y * t, a.width * (1 - t) + b.width * t,
                      a.height * (1 - t) + b.height * t};
}

ScreenRect tile_target(const PluginState& state, std::size_t index, float radius) {
    const float aspect = state.screen_aspect;
    const auto count = static_cast<float>(state.categories.length);
    const float width = tile_height * aspect;
    const float i = static_cast<float>(index);
    ScreenRect r{0, 0, width, tile_height};
    if (state.menu.state == MENU_FULL) {
        const float gap = row_gap * aspect;
        const float total = width * count + gap * (count - 1);
        const float left = -0.5f * total + 0.5f * width;
        r.x = 0.5f + left + i * (width + gap);
        r.y = row_centre_y;
    } else {
        const float angle = 6.2831854820251465f * i / count;
        r.x = 0.5f - std::sin(angle) * radius * aspect;
        r.y = 0.5f + std::cos(angle) * radius;
    }
    return r;
}

std::int64_t set_current_category(PluginState& state, std::int64_t requested) {
    if (requested == state.current_category) return -1;
    const auto count = static_cast<std::int64_t>(state.categories.length);
    if (count <= 0) return -1;
    std::int64_t wrapped = requested % count;  // the divisor's sign: -1 becomes count - 1
    if (wrapped < 0) wrapped += count;
    state.current_category = wrapped;
    state.list_page.selection = 0;
    return wrapped;
}

void play_category_step_sound(const PluginState& state, std::int64_t requested) {
    // Compared with the wrapped value: only a wrap below 0 sounds like a step left.
    play_sound(requested < state.current_category ? "NAV_LEFT" : "NAV_RIGHT", menu_sound_set);
}

bool select_category(RunContext& ctx, PluginState& state, std::int64_t requested) {
    if (set_current_category(state, requested) < 0) return false;
    update_marker_list_cache(ctx, state, true);
    play_category_step_sound(state, requested);
    return true;
}

static void quick_add(RunContext& ctx, PluginState& state) {
    const bool at_player = add_at_player_pressed(state.menu.presses);
    const bool at_waypoint = add_at_waypoint_pressed(state.menu.presses);
    if (!at_player && !at_waypoint) return;
    bool added = false;
    if (at_player) {
        added = try_add_marker(ctx, state, entity_position(player_character(), true, true));
    } else {
        const Vector3 waypoint = waypoint_coords();
        const bool origin = waypoint._x.x == 0.0f && waypoint._y.y == 0.0f && waypoint._z.z == 0.0f;
        // On the ground, where a capture of the same waypoint puts its marker.
        if (waypoint_active() && !origin) added = try_add_marker(ctx, state, waypoint_on_ground(waypoint));
    }
    if (added) play_sound("SELECT", menu_sound_set);
    else play_sound("UNAFFORDABLE", "Ledger_Sounds");
    // The tile shrinks at once and grows back through the blend.
    if (index_in_range(state.current_category, state.category_page.tiles.length)) {
        ScreenRect& tile = state.category_page.tiles.data[state.current_category];
        tile.width *= press_scale;
        tile.height *= press_scale;
    }
}

const Button add_here_button{
    .control = control_add_at_player,
    .text = [](const PluginState&) { return "Add Here"; },
    .turn = ButtonTurn::ring,
};

const Button add_at_waypoint_button{
    .control = control_add_at_waypoint,
    .text = [](const PluginState&) { return "Add at Waypoint"; },
    .turn = ButtonTurn::ring,
};

// The ring's middle: the name of the category its adds go to.
static void draw_ring_title(RunContext& ctx, const PluginState& state) {
    const MarkerCategory* category = category_row(state.categories, state.current_category);
    if (!category || !category->name) return;
    constexpr float size = 0.031f, width = 0.3f;
    const ScreenSize screen = screen_size(state);
    const std::string_view name =
        fit_text(ctx, category->name, height_to_pixels(screen, size), width_to_pixels(screen, width));
    draw_text_string(ctx, screen, name, "catalog4", size, 0.5f - width / 2, 0.5f - (size + 0.005f) / 2, width, 0.0f,
                     "Center", Rgba{255, 255, 255, 255});
}

void update_category_page(RunContext& ctx, PluginState& state) {
    float blend, radius = ring_radius;
    if (state.menu.state_changed && state.menu.state == MENU_RING) {
        center_cursor(state);
        blend = 1.0f;
        radius = ring_snap_factor * ring_radius;
    } else {
        blend = tile_blend_rate * static_cast<float>(seconds_from_ns(state.frame_delta));
        blend = blend < 0.0f ? 0.0f : blend > 1.0f ? 1.0f : blend;
    }

    if (state.menu.state == MENU_RING) quick_add(ctx, state);

    // A search lists every category: no tile is the one shown.
    const std::int64_t shown = state.search.in_force ? -1 : state.current_category;
    const std::size_t count = state.categories.length < state.category_page.tiles.length
                                  ? state.categories.length
                                  : state.category_page.tiles.length;
    for (std::size_t i = 0; i < count; ++i) {
        if (pad_uses_mouse(ePadIndex::PLAYER_CONTROL)) {
            if (cursor_hover_active()) {
                const CursorFraction c = cursor_position(state);
                if (point_in_rect(c.x, c.y, state.category_page.tiles.data[i])) {
                    select_category(ctx, state, static_cast<std::int64_t>(i));
                }
            }
        } else if (state.menu.state == MENU_RING) {
            const float f = stick_direction();
            if (f > 0.0f) {
                const float n = static_cast<float>(count);
                const auto pick = static_cast<std::int64_t>(std::round(n * f)) % static_cast<std::int64_t>(count);
                select_category(ctx, state, pick);
            }
        }

        ScreenRect target = tile_target(state, i, radius);
        if (static_cast<std::int64_t>(i) == shown) {
            target.width *= selected_scale;
            target.height *= selected_scale;
        }
        ScreenRect& tile = state.category_page.tiles.data[i];
        tile = lerp_rect(tile, target, blend);

        const MarkerCategory& row = state.categories[i];
        // A category hidden from the map is drawn at half strength.
        const bool hidden = settings_hides(state.settings.in_force, static_cast<std::int64_t>(i));
        const ScreenRect background{tile.x, tile.y, tile.width * background_scale, tile.height * background_scale};
        draw_texture("generic_textures", "medal_bronze", background, 0.0f, Rgba{0, 0, 0, hidden ? 100 : 200}, false);
        const bool selected = static_cast<std::int64_t>(i) == shown;
        ScreenRect icon_rect{tile.x, tile.y, tile.width * icon_scale, tile.height * icon_scale};
        if (selected) {
            icon_rect.width *= selected_icon_scale;
            icon_rect.height *= selected_icon_scale;
        }
        Rgba icon = selected ? row.colour : Rgba{255, 255, 255, 128};
        if (hidden) icon.alpha /= 2;
        draw_texture(row.texture_dictionary, row.sprite, icon_rect, 0.0f, icon, false);
    }
    if (state.menu.state == MENU_RING) draw_ring_title(ctx, state);
}

void category_page_at_start(RunContext& ctx, PluginState& state) {
    // One zeroed tile per category: the page animates them.
    if (ScreenRect* tiles = allocate_array<ScreenRect>(ctx.general, state.categories.length)) {
        for (std::size_t i = 0; i < state.categories.length; ++i) tiles[i] = ScreenRect{};
        state.category_page.tiles = TileSlice{tiles, state.categories.length};
    }
}

void category_page_at_release(RunContext& ctx, PluginState& state) {
    TileSlice& tiles = state.category_page.tiles;
    if (tiles.data) free_array(ctx.general, tiles.data, tiles.length);
}
