#include "src/menu/prompts.h"

#include "src/menu/drawing.h"
#include "src/menu/menu_input.h"
#include "src/scripthook/enums.h"
#include "src/scripthook/natives.h"
#include "src/settings/settings.h"

const char* sort_prompt_text(std::int64_t sort_mode) {
    return sort_mode == sort_mode_proximity ? "Sort: Proximity" : "Sort: Time";
}

const char* route_prompt_text(bool on_routed_marker) { return on_routed_marker ? "Clear Route" : "Route"; }

const char* capture_prompt_text(bool capture_off) { return capture_off ? "Capture: Off" : "Capture: On"; }

const char* hide_prompt_text(bool hidden) { return hidden ? "Show on Map" : "Hide on Map"; }

static bool current_category_hidden(const PluginState& state) {
    return settings_hides(state.settings.in_force, state.current_category);
}

static void finish_prompt(Prompt prompt, bool on) {
    prompt_end(prompt);
    prompt_set_enabled(prompt, on);
    prompt_set_visible(prompt, on);
}

void create_prompts(PluginState& state) {
    Prompt p = state.edit_markers_prompt = prompt_begin();
    prompt_set_control(p, control_edit_markers);
    prompt_set_text(p, literal_label("Edit Markers"));
    prompt_set_press_mode(p, false);
    prompt_set_priority(p, ePromptPriority::PP_High);
    prompt_set_group(p, static_cast<std::int32_t>(edit_markers_group), 0);
    finish_prompt(p, true);

    p = state.rename_prompt = prompt_begin();
    prompt_set_control(p, control_rename);
    prompt_set_text(p, literal_label("Rename"));
    prompt_set_press_mode(p, false);
    prompt_set_priority(p, ePromptPriority::PP_High);
    finish_prompt(p, false);

    // The sort prompt's text comes after its mode and priority.
    p = state.sort_prompt = prompt_begin();
    prompt_set_control(p, control_sort);
    prompt_set_press_mode(p, false);
    prompt_set_priority(p, ePromptPriority::PP_High);
    prompt_set_text(p, literal_label(sort_prompt_text(state.list_page.sort_mode)));
    finish_prompt(p, false);

    p = state.delete_prompt = prompt_begin();
    prompt_set_control(p, control_delete);
    prompt_set_text(p, literal_label("Delete"));
    prompt_set_hold_mode(p, delete_hold_time);
    prompt_set_priority(p, ePromptPriority::PP_High);
    finish_prompt(p, false);

    p = state.back_prompt = prompt_begin();
    prompt_set_control(p, control_back);
    prompt_set_text(p, literal_label("Back"));
    prompt_set_press_mode(p, false);
    prompt_set_priority(p, ePromptPriority::PP_High);
    finish_prompt(p, false);

    p = state.route.prompt = prompt_begin();
    prompt_set_control(p, control_route);
    prompt_set_text(p, literal_label(route_prompt_text(false)));
    prompt_set_press_mode(p, false);
    prompt_set_priority(p, ePromptPriority::PP_High);
    finish_prompt(p, false);

    p = state.search.search_prompt = prompt_begin();
    prompt_set_control(p, control_search);
    prompt_set_text(p, literal_label("Search"));
    prompt_set_press_mode(p, false);
    prompt_set_priority(p, ePromptPriority::PP_High);
    finish_prompt(p, false);

    p = state.search.move_prompt = prompt_begin();
    prompt_set_control(p, control_move);
    prompt_set_text(p, literal_label("Move"));
    prompt_set_press_mode(p, false);
    prompt_set_priority(p, ePromptPriority::PP_High);
    finish_prompt(p, false);

    // The settings' switches, last of all.
    PlayerSettings& settings = state.settings;
    settings.capture_prompt_says_off = settings.in_force.capture_off;
    p = settings.capture_prompt = prompt_begin();
    prompt_set_control(p, control_capture);
    prompt_set_text(p, literal_label(capture_prompt_text(settings.capture_prompt_says_off)));
    prompt_set_press_mode(p, false);
    prompt_set_priority(p, ePromptPriority::PP_High);
    finish_prompt(p, false);

    settings.hide_prompt_says_show = current_category_hidden(state);
    p = settings.hide_prompt = prompt_begin();
    prompt_set_control(p, control_hide);
    prompt_set_text(p, literal_label(hide_prompt_text(settings.hide_prompt_says_show)));
    prompt_set_press_mode(p, false);
    prompt_set_priority(p, ePromptPriority::PP_High);
    finish_prompt(p, false);
}

void update_settings_prompts(RunContext& ctx, PluginState& state) {
    PlayerSettings& settings = state.settings;
    if (new_press(settings.capture_pressed, prompt_press_completed(settings.capture_prompt, 0))) {
        toggle_capture(ctx, state);
        play_sound("SELECT", menu_sound_set);
    }
    // A search lists every category: which one a hide would mean is not what
    // the page shows, so the switch waits until the search ends.
    if (settings.hide_prompt_off != state.search.in_force) {
        settings.hide_prompt_off = state.search.in_force;
        prompt_set_enabled(settings.hide_prompt, !settings.hide_prompt_off);
    }
    if (new_press(settings.hide_pressed, prompt_press_completed(settings.hide_prompt, 0)) &&
        !settings.hide_prompt_off) {
        toggle_category_hidden(ctx, state, state.current_category);
        play_sound("SELECT", menu_sound_set);
    }
    if (settings.capture_prompt_says_off != settings.in_force.capture_off) {
        settings.capture_prompt_says_off = settings.in_force.capture_off;
        prompt_set_text(settings.capture_prompt, literal_label(capture_prompt_text(settings.capture_prompt_says_off)));
    }
    if (settings.hide_prompt_says_show != current_category_hidden(state)) {
        settings.hide_prompt_says_show = !settings.hide_prompt_says_show;
        prompt_set_text(settings.hide_prompt, literal_label(hide_prompt_text(settings.hide_prompt_says_show)));
    }
}
