#include "src/menu/marker_search.h"

#include <cstring>

#include "src/base/utf8.h"
#include "src/map/location_names.h"
#include "src/menu/drawing.h"
#include "src/menu/marker_list_rows.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/scripthook/enums.h"
#include "src/scripthook/native_call.h"
#include "src/scripthook/natives.h"
#include "src/state/state.h"

// Sections: the text · matching · looking through the list · following the list · the button · the row.

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

// ---- matching -----------------------------------------------------------------------------

static unsigned char ascii_lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

bool label_contains(std::string_view label, std::string_view text) {
    if (text.size() > label.size()) return false;
    const auto* l = reinterpret_cast<const unsigned char*>(label.data());
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t at = 0; at + text.size() <= label.size(); ++at) {
        std::size_t i = 0;
        while (i < text.size() && ascii_lower(l[at + i]) == ascii_lower(t[i])) ++i;
        if (i == text.size()) return true;
    }
    return false;
}

// The markers the list can show: those of a category of the table.
static bool listable(const PluginState& state, const Marker& m) {
    return m.data.category >= 0 && static_cast<std::uint64_t>(m.data.category) < state.categories.length;
}

bool marker_matches_search(RunContext& ctx, PluginState& state, const Marker& m, std::string_view text) {
    if (!listable(state, m)) return false;
    // A pack's name finds its markers: searching a collection lists it.
    if (marker_has_pack(m.data) && label_contains(m.data.pack, text)) return true;
    // And so does a word of a note.
    if (marker_has_note(m.data) && label_contains(m.data.note, text)) return true;
    return label_contains(shown_marker_label(ctx, state, m, PlaceLookup::quiet), text);
}

// ---- looking through the list ---------------------------------------------------------------

// Room in this frame for one more place lookup.
static bool room_for_a_place(const PluginState& state) {
    return native_calls_begun - state.frame_natives_from + place_lookup_natives <= search_native_ceiling;
}

// Looks at the markers not looked at yet, in list order, while the frame has
// room for the places of the unnamed ones; a marker found stays found.
static void look_at_markers(RunContext& ctx, PluginState& state) {
    MarkerSearch& s = state.search;
    if (s.searched_to > state.markers.length) {
        // Not reached: deletions move it down with the list. Looked at anew all the same.
        s.found.length = 0;
        s.searched_to = 0;
    }
    const std::string_view text(s.text);
    std::size_t i = s.searched_to;
    for (; i < state.markers.length; ++i) {
        const Marker& m = state.markers[i];
        if (listable(state, m) && !marker_has_name(m.data) && !room_for_a_place(state)) break;
        // A marker that cannot be added for want of memory is left out.
        if (marker_matches_search(ctx, state, m, text)) {
            (void)array_append(s.found, ctx.general, static_cast<std::int64_t>(i));
        }
    }
    s.searched_to = i;
}

bool search_under_way(const PluginState& state) {
    return state.search.in_force && state.search.searched_to != state.markers.length;
}

bool continue_search(RunContext& ctx, PluginState& state) {
    if (!search_under_way(state)) return false;
    const std::size_t found_before = state.search.found.length;
    look_at_markers(ctx, state);
    // Only new rows rebuild the rows: most frames of a long search find none.
    return state.search.found.length != found_before && update_marker_list_cache_as_it_grows(ctx, state);
}

// ---- following the list ---------------------------------------------------------------------

void search_forget_marker(PluginState& state, std::size_t index) {
    MarkerSearch& s = state.search;
    std::size_t kept = 0;
    for (std::int64_t i : s.found) {
        if (i == static_cast<std::int64_t>(index)) continue;
        s.found[kept++] = i > static_cast<std::int64_t>(index) ? i - 1 : i;
    }
    s.found.length = kept;
    if (s.searched_to > index) --s.searched_to;
}

void search_marker_named(RunContext& ctx, PluginState& state, std::size_t index) {
    MarkerSearch& s = state.search;
    if (!s.in_force || index >= s.searched_to || index >= state.markers.length) return;
    std::size_t at = 0;
    while (at < s.found.length && s.found[at] < static_cast<std::int64_t>(index)) ++at;
    if (at < s.found.length && s.found[at] == static_cast<std::int64_t>(index)) return;  // found stays found
    if (!marker_matches_search(ctx, state, state.markers[index], std::string_view(s.text))) return;
    if (!array_append(s.found, ctx.general, std::int64_t{0})) return;
    for (std::size_t k = s.found.length - 1; k > at; --k) s.found[k] = s.found[k - 1];
    s.found[at] = static_cast<std::int64_t>(index);
    update_marker_list_cache(ctx, state, false);
}

void search_marker_joined(RunContext& ctx, PluginState& state, std::size_t index) {
    MarkerSearch& s = state.search;
    for (std::int64_t& i : s.found) {
        if (i >= static_cast<std::int64_t>(index)) ++i;
    }
    if (s.searched_to <= index) return;  // looked at when the search reaches it
    ++s.searched_to;
    // Found as though it had never left: marked as not found, then looked at as a named marker is.
    search_marker_named(ctx, state, index);
}

void search_list_replaced(PluginState& state) {
    state.search.found.length = 0;
    state.search.searched_to = 0;
}

// ---- the search and its button --------------------------------------------------------------

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
    look_at_markers(ctx, state);
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
    if (state.list_page.rename_marker_index >= 0 || state.list_page.note_marker_index >= 0 || s.typing) return false;
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

// ---- the row's handlers ---------------------------------------------------------------------

void search_at_release(RunContext&, PluginState& state) {
    if (state.search.found.data) array_free(state.search.found);
}
