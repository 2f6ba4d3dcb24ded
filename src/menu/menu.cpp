#include "src/menu/menu.h"

#include "src/base/calendar.h"
#include "src/core/feature_row.h"
#include "src/menu/category_page.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/marker_list_rows.h"
#include "src/menu/marker_search.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/scripthook/natives.h"

// Sections: states · the tick · the backdrop.

// ---- states -----------------------------------------------------------------------------

void open_menu(RunContext& ctx, PluginState& state) {
    menu_open_toggle_a(false);
    menu_open_toggle_b(false);
    show_full_menu_buttons(state, true);
    play_sound("MENU_ENTER", menu_sound_set);
    menu_open_scale(0.0f);
    update_marker_list_cache(ctx, state, true);
}

void close_menu(RunContext& ctx, PluginState& state) {
    end_search(ctx, state);
    state.list_page.selection = 0;
    menu_open_toggle_a(true);
    menu_open_toggle_b(true);
    show_full_menu_buttons(state, false);
    play_sound("MENU_CLOSE", menu_sound_set);
    menu_open_scale(1.0f);
}

void set_menu_state(RunContext& ctx, PluginState& state, std::int64_t menu_state) {
    if (state.menu.state == MENU_FULL) close_menu(ctx, state);
    state.menu.state = menu_state;
    state.menu.state_changed = true;
    if (state.menu.state == MENU_FULL) open_menu(ctx, state);
}

// ---- the tick ------------------------------------------------------------------------------

void update_gui(RunContext& ctx, PluginState& state) {
    // A keyboard a feature opened (a rename, a search): nothing else runs
    // while the player types.
    for (const FeatureRow& row : feature_table) {
        if (row.typing && !row.typing(ctx, state)) return;
    }

    if (state.menu.state == MENU_RING || state.menu.state == MENU_FULL) {
        update_menu_controls(state);
        update_category_page(ctx, state);
        if (state.menu.state == MENU_FULL) run_main_menu(ctx, state);
    }
    state.menu.state_changed = false;

    const bool group_shown = prompt_group_page(edit_markers_group) >= 0;
    switch (state.menu.state) {
        case MENU_CLOSED:
            if (group_shown) set_menu_state(ctx, state, MENU_RING);
            break;
        case MENU_RING:
            take_presses(ctx, state, ButtonTurn::ring);
            texts_follow(state, ButtonTurn::ring);  // "Hide on Map" names the tile selected now
            if (!group_shown) set_menu_state(ctx, state, MENU_CLOSED);
            break;
        case MENU_FULL:
            // Only "Back" leaves the full menu; the group is not asked about here.
            take_presses(ctx, state, ButtonTurn::leaving);
            break;
        default: break;
    }
}

// ---- the backdrop ----------------------------------------------------------------------------

double blend_backdrop(double strength, std::int64_t menu_state, std::int64_t frame_delta_ns) {
    const bool full = menu_state == MENU_FULL;
    const double target = full ? 1.0 : 0.0;
    const double rate = full ? 30.0 : 15.0;
    double t = rate * seconds_from_ns(frame_delta_ns);
    if (t < 0.0) t = 0.0;
    if (t > 1.0) t = 1.0;
    return strength * (1.0 - t) + target * t;
}

static void update_backdrop(PluginState& state) {
    Menu& menu = state.menu;
    menu.backdrop_strength = blend_backdrop(menu.backdrop_strength, menu.state, state.frame_delta);
    if (menu.backdrop_strength < 0.001) {
        menu.backdrop_strength = 0.0;
        screen_effect_stop(backdrop_effect);
    } else {
        screen_effect_start(backdrop_effect);
        screen_effect_set_strength(backdrop_effect, static_cast<float>(menu.backdrop_strength));
        screen_effect_set_params(backdrop_effect, 0, 255, 255, 0, 255);
    }
}

// ---- the menu's row ---------------------------------------------------------------------------

void menu_at_start(RunContext&, PluginState& state) { make_buttons(state); }

void menu_each_frame(RunContext& ctx, PluginState& state) {
    // Intended: the menu tick runs twice a frame, and the second repeats every
    // test of the first. Whatever the game answers to a repeat, a press acts
    // once (the menu's `presses`); the simulator plays each answer
    // (docs/simulator.md, `repeat_answers`).
    update_gui(ctx, state);
    update_gui(ctx, state);
    update_backdrop(state);
    // The category tiles' icons, drawn from these dictionaries.
    request_texture_dictionary("BLIPS", false);
    request_texture_dictionary("BLIPS_MP", false);
}
