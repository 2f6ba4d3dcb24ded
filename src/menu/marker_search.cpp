#include "src/menu/marker_search.h"

#include <cstring>

#include "src/base/utf8.h"
#include "src/markers/marker_editing.h"
#include "src/markers/marker_list.h"
#include "src/menu/category_page.h"
#include "src/menu/drawing.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/scripthook/enums.h"
#include "src/scripthook/natives.h"
#include "src/state/state.h"

// Sections: the text · the search · the move · the list's changes.

// ---- the text ---------------------------------------------------------------------------

std::string_view first_characters(std::string_view text, std::size_t characters) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    std::size_t bytes = 0;
    for (std::size_t n = 0; n < characters && p + bytes < end; ++n) {
        // A byte that starts no character counts as one, so the cut never
        // falls inside a character that is whole.
        bytes += utf8_decode(p + bytes, end, Utf8Form::well_formed, Utf8Errors::each_byte).length;
    }
    return text.substr(0, bytes);
}

// ---- the search -----------------------------------------------------------------------------

void start_search(RunContext& ctx, PluginState& state, std::string_view text) {
    MarkerSearch& s = state.search;
    const std::string_view kept = first_characters(text, search_text_characters);
    if (kept.empty()) {
        end_search(ctx, state);
        return;
    }
    std::memcpy(s.text, kept.data(), kept.size());
    s.text[kept.size()] = '\0';
    const bool was_in_force = s.in_force;
    s.in_force = true;
    s.found.length = 0;
    s.searched_to = 0;
    update_marker_list_cache(ctx, state, true);
    if (!was_in_force) button_text_follows(state, search_button);
}

void end_search(RunContext& ctx, PluginState& state) {
    MarkerSearch& s = state.search;
    if (!s.in_force) return;
    s.in_force = false;
    s.text[0] = '\0';
    s.found.length = 0;
    s.searched_to = 0;
    update_marker_list_cache(ctx, state, true);
    button_text_follows(state, search_button);
}

// With no search in force a press opens the keyboard, else it ends the search.
static bool search_pressed(RunContext& ctx, PluginState& state) {
    MarkerSearch& s = state.search;
    // One keyboard at a time: a rename opened in this tick keeps it.
    if (state.list_page.rename_marker_index >= 0 || s.typing) return false;
    if (s.in_force) {
        end_search(ctx, state);
        play_sound("BACK", menu_sound_set);
        return true;
    }
    s.typing = true;
    show_onscreen_keyboard(eOnscreenKeyboardTextType::KTEXTTYPE_DEFAULT, literal_label("Search Markers"), "", s.text,
                           "", "", "", static_cast<std::int32_t>(search_text_characters));
    return true;
}

const Button search_button{
    .control = control_search,
    .text = [](const PluginState& state) { return state.search.in_force ? "Clear Search" : "Search"; },
    .turn = ButtonTurn::on_row,
    .press = search_pressed,
};

bool finish_search_typing(RunContext& ctx, PluginState& state) {
    MarkerSearch& s = state.search;
    if (!s.typing) return true;
    const std::int32_t status = keyboard_status();
    if (status == 0) return false;
    std::string_view text;
    if (status == 1) {
        const char* result = keyboard_result();
        text = trim_unicode_space(result ? std::string_view(result) : std::string_view());
    }
    keyboard_close();
    s.typing = false;
    // Confirmed with a text: the search; empty, cancelled or gone: no search.
    if (text.empty()) end_search(ctx, state);
    else start_search(ctx, state, text);
    return true;
}

// ---- the move ---------------------------------------------------------------------------

// The selected marker goes to the next category of the ring, and the list and
// the selection follow it.
static bool move_pressed(RunContext& ctx, PluginState& state) {
    const std::int64_t index = selected_marker(state.list_page);
    if (index < 0) return false;
    const std::int64_t from = state.markers[static_cast<std::size_t>(index)].data.category;
    if (!index_in_range(from, state.categories.length)) return false;  // not reached: the list shows no other
    const std::int64_t to = (from + 1) % static_cast<std::int64_t>(state.categories.length);  // the tenth wraps
    if (!move_marker_to_category(ctx, state, index, to)) return false;
    // The list follows the marker into its new category (in a search the rows
    // stay the results), and the selection stays on it.
    if (!select_category(ctx, state, to)) update_marker_list_cache(ctx, state, true);
    const std::int64_t row = row_of_marker(state, index);
    state.list_page.selection = row >= 0 ? row : 0;
    return true;
}

const Button move_button{
    .control = control_move,
    .text = [](const PluginState&) { return "Move"; },
    .turn = ButtonTurn::on_row,
    .enabled = [](const PluginState& state) { return state.list_page.rows.length > 0; },
    .enabled_each_tick = true,
    .press = move_pressed,
};

// ---- the list's changes --------------------------------------------------------------------

void search_follows_list(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index) {
    switch (change) {
        case MarkerListChange::removed: search_forget_marker(state, index); break;
        case MarkerListChange::renamed: search_marker_named(ctx, state, index); break;
        case MarkerListChange::replaced: search_list_replaced(state); break;
        // Markers added are looked at when the rows are rebuilt; a move changes no label's match.
        case MarkerListChange::added:
        case MarkerListChange::moved: break;
    }
}

void search_at_release(RunContext&, PluginState& state) {
    if (state.search.found.data) array_free(state.search.found);
}
