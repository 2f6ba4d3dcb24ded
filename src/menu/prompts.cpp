#include "src/menu/prompts.h"

#include <cstring>

#include "src/menu/drawing.h"
#include "src/menu/menu_input.h"
#include "src/scripthook/enums.h"
#include "src/scripthook/game_hashes.h"
#include "src/scripthook/natives.h"

// Calls `f(button, place)` for every button of the table, in order. The
// menu's memories hold `most_buttons`; a table with more is caught by its
// test, and a button past them is never made.
template <class F>
static void each_button(F&& f) {
    std::size_t place = 0;
    for (const FeatureRow& row : feature_table) {
        for (const Button* b : row.buttons) {
            if (!b || place >= most_buttons) break;
            f(*b, place++);
        }
    }
}

// Texts are literals: compared by address first, and by their letters when
// two evaluations of one literal gave two addresses.
static bool same_text(const char* a, const char* b) { return a == b || (a && b && std::strcmp(a, b) == 0); }

void make_buttons(PluginState& state) {
    ButtonPrompts& prompts = state.menu.buttons;
    each_button([&](const Button& b, std::size_t place) {
        const char* text = b.text(state);
        const Prompt p = prompt_begin();
        prompt_set_control(p, b.control);
        if (!b.text_after_mode) prompt_set_text(p, literal_label(text));
        if (b.hold_ms > 0) prompt_set_hold_mode(p, b.hold_ms);
        else prompt_set_press_mode(p, false);
        prompt_set_priority(p, ePromptPriority::PP_High);
        if (b.text_after_mode) prompt_set_text(p, literal_label(text));
        const bool ring = b.turn == ButtonTurn::ring;
        if (ring) prompt_set_group(p, static_cast<std::int32_t>(edit_markers_group), 0);
        prompt_end(p);
        prompt_set_enabled(p, ring);
        prompt_set_visible(p, ring);
        prompts.prompt[place] = p;
        prompts.text_shown[place] = text;
    });
}

void show_full_menu_buttons(PluginState& state, bool on) {
    // Intended: "Back" first, then the rest in the order their presses are
    // taken, as the game has always been told.
    for (ButtonTurn turn :
         {ButtonTurn::leaving, ButtonTurn::before_rows, ButtonTurn::on_row, ButtonTurn::after_moving}) {
        each_button([&](const Button& b, std::size_t place) {
            if (b.turn != turn) return;
            prompt_set_enabled(state.menu.buttons.prompt[place], on);
            prompt_set_visible(state.menu.buttons.prompt[place], on);
            // Shown on: the first tick tells the game again whether it is off.
            state.menu.buttons.off_said[place] = false;
        });
    }
    // The ring's prompts stay on the map: none of them acts inside the full menu.
    each_button([&](const Button& b, std::size_t place) {
        if (b.turn != ButtonTurn::ring) return;
        prompt_set_enabled(state.menu.buttons.prompt[place], !on);
        prompt_set_visible(state.menu.buttons.prompt[place], !on);
    });
}

void take_presses(RunContext& ctx, PluginState& state, ButtonTurn turn) {
    each_button([&](const Button& b, std::size_t place) {
        if (b.turn != turn || !b.press) return;
        ButtonPrompts& prompts = state.menu.buttons;
        const Prompt p = prompts.prompt[place];
        const bool on = !b.enabled || b.enabled(state);
        if (b.enabled && b.enabled_each_tick) {
            prompt_set_enabled(p, on);
        } else if (b.enabled && prompts.off_said[place] == on) {
            prompts.off_said[place] = !on;
            prompt_set_enabled(p, on);
            if (b.hidden_when_off) prompt_set_visible(p, on);
        }
        const bool answer = b.hold_ms > 0 ? prompt_hold_completed(p) : prompt_press_completed(p, 0);
        if (!new_press(state.menu.presses.buttons[place], answer) || !on) return;
        if (!b.press(ctx, state)) return;
        if (b.hold_ms > 0) {
            prompt_reset_hold(p);
            prompt_reset_hold_data(p, 0);
        }
        if (b.sound) play_sound(b.sound, menu_sound_set);
    });
}

static void text_follows(PluginState& state, const Button& b, std::size_t place) {
    ButtonPrompts& prompts = state.menu.buttons;
    const char* text = b.text(state);
    if (same_text(text, prompts.text_shown[place])) return;
    prompts.text_shown[place] = text;
    prompt_set_text(prompts.prompt[place], literal_label(text));
}

void texts_follow(PluginState& state, ButtonTurn turn) {
    each_button([&](const Button& b, std::size_t place) {
        if (b.turn == turn) text_follows(state, b, place);
    });
}

void button_text_follows(PluginState& state, const Button& button) {
    each_button([&](const Button& b, std::size_t place) {
        if (&b == &button) text_follows(state, b, place);
    });
}

Prompt button_prompt(const PluginState& state, const Button& button) {
    Prompt found = 0;
    each_button([&](const Button& b, std::size_t place) {
        if (&b == &button) found = state.menu.buttons.prompt[place];
    });
    return found;
}
