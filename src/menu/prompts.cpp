#include "src/menu/prompts.h"

#include "src/menu/drawing.h"
#include "src/scripthook/enums.h"
#include "src/scripthook/natives.h"

const char* sort_prompt_text(std::int64_t sort_mode) {
    return sort_mode == sort_mode_proximity ? "Sort: Proximity" : "Sort: Time";
}

const char* route_prompt_text(bool on_routed_marker) { return on_routed_marker ? "Clear Route" : "Route"; }

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
    prompt_set_text(p, literal_label(sort_prompt_text(state.sort_mode)));
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
}
