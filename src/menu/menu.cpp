#include "src/menu/menu.h"

#include "src/base/utf8.h"
#include "src/markers/marker_editing.h"
#include "src/markers/marker_list.h"
#include "src/menu/category_page.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/marker_search.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/scripthook/natives.h"

// Sections: the pending rename · states · the tick.

// ---- the pending rename --------------------------------------------------------------------

// False while the player is still typing: then nothing else of the tick runs.
static bool finish_pending_rename(RunContext& ctx, PluginState& state) {
    if (state.list_page.rename_marker_index >= static_cast<std::int64_t>(state.markers.length)) {
        keyboard_close();
        state.list_page.rename_marker_index = -1;
        return true;
    }
    if (state.list_page.rename_marker_index < 0) return true;
    const std::int32_t status = keyboard_status();
    if (status == 0) return false;
    if (status == 1) {
        const char* result = keyboard_result();
        const std::string_view name = trim_unicode_space(result ? std::string_view(result) : std::string_view());
        rename_marker(ctx, state, state.markers[static_cast<std::size_t>(state.list_page.rename_marker_index)], name);
    }
    keyboard_close();
    state.list_page.rename_marker_index = -1;
    return true;
}

// ---- states -----------------------------------------------------------------------------

static void switch_full_menu_prompts(const PluginState& state, bool on) {
    for (Prompt p : {state.back_prompt, state.sort_prompt, state.rename_prompt, state.delete_prompt, state.route.prompt,
                     state.search.search_prompt, state.search.move_prompt, state.settings.capture_prompt,
                     state.settings.hide_prompt}) {
        prompt_set_enabled(p, on);
        prompt_set_visible(p, on);
    }
}

void open_menu(RunContext& ctx, PluginState& state) {
    state.list_page.selection = 0;
    menu_open_toggle_a(false);
    menu_open_toggle_b(false);
    switch_full_menu_prompts(state, true);
    play_sound("MENU_ENTER", menu_sound_set);
    menu_open_scale(0.0f);
    update_marker_list_cache(ctx, state, true);
}

void close_menu(RunContext& ctx, PluginState& state) {
    end_search(ctx, state);
    state.list_page.selection = 0;
    menu_open_toggle_a(true);
    menu_open_toggle_b(true);
    switch_full_menu_prompts(state, false);
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
    if (!finish_pending_rename(ctx, state)) return;
    if (!finish_search_typing(ctx, state)) return;

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
            if (new_press(state.menu.presses.edit_markers, prompt_press_completed(state.edit_markers_prompt, 0))) {
                set_menu_state(ctx, state, MENU_FULL);
            }
            if (!group_shown) set_menu_state(ctx, state, MENU_CLOSED);
            break;
        case MENU_FULL:
            // Only "Back" leaves the full menu; the group is not asked about here.
            if (new_press(state.menu.presses.back, prompt_press_completed(state.back_prompt, 0))) {
                set_menu_state(ctx, state, MENU_CLOSED);
                play_sound("BACK", menu_sound_set);
            }
            break;
        default: break;
    }
}
