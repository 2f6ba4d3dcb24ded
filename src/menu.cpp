#include "src/menu.h"

#include "scripthook/natives.h"
#include "src/category_page.h"
#include "src/marker_editing.h"
#include "src/marker_list.h"
#include "src/marker_list_page.h"
#include "src/menu_input.h"
#include "src/prompts.h"

// Sections: white space · the pending rename · states · the tick.

// ---- white space ------------------------------------------------------------------------

static bool is_unicode_space(std::uint32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// The code point that starts at `at` and its length; invalid bytes count as
// one non-space byte each.
static std::uint32_t decode_at(std::string_view s, std::size_t at, std::size_t* length) {
    const auto b = static_cast<unsigned char>(s[at]);
    std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || at + n > s.size()) {
        *length = 1;
        return 0xFFFD;
    }
    std::uint32_t c = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t i = 1; i < n; ++i) {
        const auto cont = static_cast<unsigned char>(s[at + i]);
        if ((cont & 0xC0) != 0x80) {
            *length = 1;
            return 0xFFFD;
        }
        c = (c << 6) | (cont & 0x3F);
    }
    *length = n;
    return c;
}

std::string_view trim_unicode_space(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t n = 0;
        if (!is_unicode_space(decode_at(text, begin, &n))) break;
        begin += n;
    }
    std::size_t end = begin;  // the end of the last non-space code point
    for (std::size_t at = begin; at < text.size();) {
        std::size_t n = 0;
        const std::uint32_t c = decode_at(text, at, &n);
        at += n;
        if (!is_unicode_space(c)) end = at;
    }
    return text.substr(begin, end - begin);
}

// ---- the pending rename --------------------------------------------------------------------

// False while the player is still typing: then nothing else of the tick runs.
static bool finish_pending_rename(RunContext& ctx, PluginState& state) {
    if (state.rename_marker_index >= static_cast<std::int64_t>(state.markers.length)) {
        keyboard_close();
        state.rename_marker_index = -1;
        return true;
    }
    if (state.rename_marker_index < 0) return true;
    const std::int32_t status = keyboard_status();
    if (status == 0) return false;
    if (status == 1) {
        const char* result = keyboard_result();
        const std::string_view name = trim_unicode_space(result ? std::string_view(result) : std::string_view());
        rename_marker(ctx, state, state.markers[static_cast<std::size_t>(state.rename_marker_index)], name);
    }
    keyboard_close();
    state.rename_marker_index = -1;
    return true;
}

// ---- states -----------------------------------------------------------------------------

static void switch_full_menu_prompts(const PluginState& state, bool on) {
    for (Prompt p : {state.back_prompt, state.sort_prompt, state.rename_prompt, state.delete_prompt}) {
        prompt_set_enabled(p, on);
        prompt_set_visible(p, on);
    }
}

void open_menu(RunContext& ctx, PluginState& state) {
    state.marker_list_selection = 0;
    menu_open_toggle_a(false);
    menu_open_toggle_b(false);
    switch_full_menu_prompts(state, true);
    play_sound("MENU_ENTER", menu_sound_set);
    menu_open_scale(0.0f);
    update_marker_list_cache(ctx, state, true);
}

void close_menu(RunContext&, PluginState& state) {
    state.marker_list_selection = 0;
    menu_open_toggle_a(true);
    menu_open_toggle_b(true);
    switch_full_menu_prompts(state, false);
    play_sound("MENU_CLOSE", menu_sound_set);
    menu_open_scale(1.0f);
}

void set_menu_state(RunContext& ctx, PluginState& state, std::int64_t menu_state) {
    if (state.menu_state == MENU_FULL) close_menu(ctx, state);
    state.menu_state = menu_state;
    state.menu_state_changed = true;
    if (state.menu_state == MENU_FULL) open_menu(ctx, state);
}

// ---- the tick ------------------------------------------------------------------------------

void update_gui(RunContext& ctx, PluginState& state) {
    if (!finish_pending_rename(ctx, state)) return;

    if (state.menu_state == MENU_RING || state.menu_state == MENU_FULL) {
        update_menu_controls(state);
        update_category_page(ctx, state);
        if (state.menu_state == MENU_FULL) run_main_menu(ctx, state);
    }
    state.menu_state_changed = false;

    const bool group_shown = prompt_group_page(edit_markers_group) >= 0;
    switch (state.menu_state) {
        case MENU_CLOSED:
            if (group_shown) set_menu_state(ctx, state, MENU_RING);
            break;
        case MENU_RING:
            if (new_press(state.presses.edit_markers, prompt_press_completed(state.edit_markers_prompt, 0))) {
                set_menu_state(ctx, state, MENU_FULL);
            }
            if (!group_shown) set_menu_state(ctx, state, MENU_CLOSED);
            break;
        case MENU_FULL:
            // Only "Back" leaves the full menu; the group is not asked about here.
            if (new_press(state.presses.back, prompt_press_completed(state.back_prompt, 0))) {
                set_menu_state(ctx, state, MENU_CLOSED);
                play_sound("BACK", menu_sound_set);
            }
            break;
        default: break;
    }
}
