// The category tiles: a ring over the map while its prompts are up, a row at
// the top of the full menu. Pointing at a tile chooses the category; in the
// ring two controls add a marker at the player or at the waypoint.
#pragma once

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/core/marker.h"
#include "src/state/state.h"

inline constexpr float ring_radius = 0.225f;
inline constexpr float ring_snap_factor = 0.9f;
inline constexpr float tile_blend_rate = 30.0f;
inline constexpr float tile_height = 0.1f;
inline constexpr float row_gap = 0.01f;
inline constexpr float row_centre_y = 0.21f;
inline constexpr float selected_scale = 1.25f;
inline constexpr float press_scale = 0.9f;
inline constexpr float icon_scale = 0.4f;
inline constexpr float selected_icon_scale = 1.1f;
inline constexpr float background_scale = 1.15f;

void update_category_page(RunContext& ctx, PluginState& state);

// The ring's two adds as prompts of the map ("Add Here" on INPUT_ATTACK, "Add
// at Waypoint" on INPUT_AIM): they name the controls the page reads itself
// (menu_input.h), so they have no press of their own.
extern const Button add_here_button;
extern const Button add_at_waypoint_button;
// At a script start, the category table copied: one tile per category; before
// the state is cleared, the last run's tiles go.
void category_page_at_start(RunContext& ctx, PluginState& state);
void category_page_at_release(RunContext& ctx, PluginState& state);
// Makes `requested` (wrapped into the table) the current category, with the
// list's rows and a sound; false when it already was.
bool select_category(RunContext& ctx, PluginState& state, std::int64_t requested);
// Its first half, for a caller whose change of the list rebuilds the rows
// next: the category and the selection on the first row, without rows or
// sound. The wrapped category, or -1 when it already was the current one.
std::int64_t set_current_category(PluginState& state, std::int64_t requested);
// Its sound, for `requested` once it is the current category.
void play_category_step_sound(const PluginState& state, std::int64_t requested);

// Strictly inside: a point on an edge is outside.
bool point_in_rect(float px, float py, const ScreenRect& r);
ScreenRect lerp_rect(const ScreenRect& a, const ScreenRect& b, float t);
// Where tile `index` is headed in the current state (before the selection's enlargement).
ScreenRect tile_target(const PluginState& state, std::size_t index, float radius);
