#include "src/menu/marker_list_page.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "src/base/calendar.h"
#include "src/base/text_builder.h"
#include "src/base/utf8.h"
#include "src/collections/collections.h"
#include "src/file_formats/marker_spacing.h"
#include "src/map/gps_route.h"
#include "src/map/location_names.h"
#include "src/markers/marker_editing.h"
#include "src/markers/marker_undo.h"
#include "src/menu/category_page.h"
#include "src/menu/drawing.h"
#include "src/menu/marker_list_rows.h"
#include "src/menu/marker_search.h"
#include "src/menu/menu.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/platform/local_time.h"
#include "src/scripthook/enums.h"
#include "src/scripthook/natives.h"

// Sections: row texts · the rename · the buttons · the input step · the drawing step · the row's handlers.

namespace {

constexpr float row_height = 0.06f;
constexpr float row_width_factor = 1.09f;
constexpr float selected_growth = 0.01f;
constexpr float corner = 0.021f;
constexpr float highlight_growth = 0.15f;
constexpr float edge_overlap = 0.001f;
constexpr const char* font = "catalog4";
constexpr Rgba highlight_colour{200, 0, 0, 255};
// The row's columns, as fractions of its text box's width: the label from the
// left edge, the distance centred in its own, the date against the right
// edge, with a gap between them. A row's texts are 33.8 sizes wide at the
// narrowest (1.09 of the screen's height less the pads, at 21:9): "12345m
// away" (7.4 by the estimate), "Not on the map" (8.1) and "30 Sep 2025,
// 23:59" (10.5) fit their columns (8.3 and 10.8); a longer text is cut. The selected row keeps the
// others' text size so that its columns hold as much.
constexpr float label_column_to = 0.405f;
constexpr float distance_column_from = 0.42f;
constexpr float distance_column_to = 0.665f;
constexpr float date_column_from = 0.68f;
// The title, above the category tiles of the full menu.
constexpr float title_top = 0.105f;
constexpr float title_size = 0.031f;
// The lines under the rows: the selected marker's coordinates, then its details.
constexpr float under_rows_gap = 0.01f;
constexpr float under_rows_line_step = 0.04f;

TextBuilder scratch_text(RunContext& ctx, std::size_t capacity) {
    char* buffer = static_cast<char*>(allocate_bytes(ctx.scratch, capacity, 1));
    return buffer ? text_builder(buffer, capacity) : TextBuilder{nullptr, 0, 0, false};
}

}  // namespace

// ---- row texts --------------------------------------------------------------------------

std::string_view distance_text(RunContext& ctx, const Position& marker, const Position& player) {
    TextBuilder b = scratch_text(ctx, 32);
    text_append_i64(b, whole_metres(std::sqrt(distance_squared(marker, player))));
    text_append(b, "m away");
    return text_view(b);
}

std::string_view coordinates_text(RunContext& ctx, const Position& marker) {
    TextBuilder b = scratch_text(ctx, 1024);  // room for the widest floats
    text_append(b, "x: ");
    text_append_f64_fixed(b, marker.x, 1);
    text_append(b, ", y: ");
    text_append_f64_fixed(b, marker.y, 1);
    text_append(b, ", z: ");
    text_append_f64_fixed(b, marker.z, 1);
    return text_view(b);
}

std::string_view date_text(RunContext& ctx, std::int64_t timestamp_ns, const LocalTimeZone* zone, DateForm form) {
    static const char* const months[] = {"January ", "February ", "March ",     "April ",   "May ",      "June ",
                                         "July ",    "August ",   "September ", "October ", "November ", "December "};
    static const char* const short_months[] = {"Jan ", "Feb ", "Mar ", "Apr ", "May ", "Jun ",
                                               "Jul ", "Aug ", "Sep ", "Oct ", "Nov ", "Dec "};
    // In UTC when there is no zone or it cannot convert the date.
    CivilTime t{};
    if (!utc_to_local(zone, timestamp_ns, &t)) t = civil_from_unix_ns(timestamp_ns);
    TextBuilder b = scratch_text(ctx, 64);
    text_append_i64(b, t.day);
    text_append_char(b, ' ');
    const bool row = form == DateForm::row;
    const std::size_t month = t.month >= 1 && t.month <= 12 ? static_cast<std::size_t>(t.month - 1) : 0;
    const char* const month_name = row ? short_months[month] : months[month];
    text_append(b, month_name);
    text_append_i64(b, t.year);
    text_append(b, ", ");
    text_append_i64_padded(b, t.hour, 2);
    text_append_char(b, ':');
    text_append_i64_padded(b, t.minute, 2);
    if (row) return text_view(b);
    text_append_char(b, ':');
    text_append_i64_padded(b, t.second, 2);
    return text_view(b);
}

std::string_view category_short_name(std::string_view name) {
    const std::size_t open = name.find('(');
    const std::size_t close = name.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close <= open + 1) return name;
    return name.substr(open + 1, close - open - 1);
}

// A mark before the label of the row the route leads to.
constexpr const char* routed_mark = "* ";
// A mark before the label of a found marker: plain ASCII, which the game's fonts draw.
constexpr const char* found_mark = "[x] ";

std::string_view centre_text(RunContext& ctx, const Position& marker, const Position& player, bool coordinates) {
    if (coordinates) return coordinates_text(ctx, marker);
    // No distance to a position that is no number: "0m" or "2147483647m" would mislead.
    return position_is_finite(marker) ? distance_text(ctx, marker, player) : not_on_map_text;
}

static const char* label_text(RunContext& ctx, PluginState& state, const Marker& m, std::int64_t row, std::int64_t rows,
                              bool routed) {
    const char* label = shown_marker_label(ctx, state, m, PlaceLookup::noted);
    // A search lists every category: each row says its own.
    const MarkerCategory* category = state.search.in_force ? category_row(state.categories, m.data.category) : nullptr;
    const std::string_view short_name = category ? category_short_name(category->name) : std::string_view();
    TextBuilder b = scratch_text(ctx, std::char_traits<char>::length(label) + short_name.size() + 48);
    text_append_i64(b, row + 1);
    text_append_char(b, '/');
    text_append_i64(b, rows);
    text_append_char(b, ' ');
    if (routed) text_append(b, routed_mark);
    if (m.data.is_found) text_append(b, found_mark);
    if (category) {
        text_append_char(b, '[');
        text_append(b, short_name);
        text_append(b, "] ");
    }
    text_append(b, label);
    return b.data ? b.data : "";
}

// ---- the rename ------------------------------------------------------------------------------

bool list_page_typing(RunContext& ctx, PluginState& state) {
    ListPage& page = state.list_page;
    // One keyboard at a time: for a new name or for a note.
    const bool note = page.rename_marker_index < 0;
    std::int64_t& index = note ? page.note_marker_index : page.rename_marker_index;
    if (index >= static_cast<std::int64_t>(state.markers.length)) {
        keyboard_close();
        index = -1;
        return true;
    }
    if (index < 0) return true;
    const std::int32_t status = keyboard_status();
    if (status == 0) return false;
    if (status == 1) {
        const char* result = keyboard_result();
        const std::string_view text = trim_unicode_space(result ? std::string_view(result) : std::string_view());
        Marker& marker = state.markers[static_cast<std::size_t>(index)];
        if (note) set_marker_note(ctx, state, marker, first_characters(text, note_characters));
        else rename_marker(ctx, state, marker, text);
    }
    keyboard_close();
    index = -1;
    return true;
}

bool list_page_holds_marker_index(const PluginState& state) {
    return state.list_page.rename_marker_index >= 0 || state.list_page.note_marker_index >= 0;
}

std::string_view note_to_show(RunContext& ctx, const PluginState& state) {
    const std::int64_t index = selected_marker(state.list_page);
    if (!index_in_range(index, state.markers.length)) return {};
    const char* note = state.markers[static_cast<std::size_t>(index)].data.note;
    if (!has_text(note)) return {};
    const std::string_view whole(note);
    const std::string_view shown = first_characters(whole, note_shown_characters);
    if (shown.size() == whole.size()) return whole;
    TextBuilder b = scratch_text(ctx, shown.size() + 4);
    text_append(b, shown);
    text_append(b, "...");
    return text_view(b);
}

// ---- the buttons ----------------------------------------------------------------------------

static bool list_has_rows(const PluginState& state) { return state.list_page.rows.length > 0; }

// One keyboard at a time: a rename, a note or a search opened in this tick keeps it.
static bool keyboard_in_use(const PluginState& state) {
    return list_page_holds_marker_index(state) || state.search.typing;
}

static bool open_full_menu(RunContext& ctx, PluginState& state) {
    set_menu_state(ctx, state, MENU_FULL);
    return true;
}

static bool leave_full_menu(RunContext& ctx, PluginState& state) {
    set_menu_state(ctx, state, MENU_CLOSED);
    return true;
}

static const char* sort_text(const PluginState& state) {
    return state.list_page.sort_mode == sort_mode_proximity ? "Sort: Proximity" : "Sort: Time";
}

static bool sort_rows(RunContext& ctx, PluginState& state) {
    ListPage& page = state.list_page;
    page.sort_mode = page.sort_mode == sort_mode_time ? sort_mode_proximity : sort_mode_time;
    update_marker_list_cache(ctx, state, true);
    return true;
}

// The button is off while the list is empty, so the selection names a row;
// it is checked all the same rather than read past the list.
static bool rename_selected(RunContext&, PluginState& state) {
    const std::int64_t index = selected_marker(state.list_page);
    if (index < 0 || keyboard_in_use(state)) return false;
    state.list_page.rename_marker_index = index;
    show_onscreen_keyboard(eOnscreenKeyboardTextType::KTEXTTYPE_DEFAULT, "STABLE_RENAME_MOUNT_PROMPT", "",
                           state.markers[static_cast<std::size_t>(index)].data.name, "", "", "", 50);
    return true;
}

static bool note_selected(RunContext&, PluginState& state) {
    const std::int64_t index = selected_marker(state.list_page);
    if (index < 0 || keyboard_in_use(state)) return false;
    state.list_page.note_marker_index = index;
    show_onscreen_keyboard(eOnscreenKeyboardTextType::KTEXTTYPE_DEFAULT, literal_label("Marker Note"), "",
                           state.markers[static_cast<std::size_t>(index)].data.note, "", "", "",
                           static_cast<std::int32_t>(note_characters));
    return true;
}

// The marker that came back (or got its name back) is shown selected: in its
// category's list, or in the search's rows.
static bool undo_pressed(RunContext& ctx, PluginState& state) {
    const std::int64_t index = undo_last_change(ctx, state);
    if (index < 0) return false;
    const std::int64_t category = state.markers[static_cast<std::size_t>(index)].data.category;
    std::int64_t paged = -1;
    if (!state.search.in_force && category != state.current_category &&
        index_in_range(category, state.categories.length)) {
        paged = set_current_category(state, category);
        update_marker_list_cache(ctx, state, false);
    }
    const std::int64_t row = row_of_marker(state, index);
    if (row >= 0) state.list_page.selection = row;
    if (paged >= 0) play_category_step_sound(state, paged);
    return true;
}

static const char* undo_text(const PluginState& state) {
    return next_undo(state) == UndoNext::rename ? "Undo Rename" : "Undo Delete";
}

// A delete that deleted.json could not keep is refused with a notice and
// its sound; the press still counts, so that the hold starts again.
static bool delete_selected(RunContext& ctx, PluginState& state) {
    const std::int64_t index = selected_marker(state.list_page);
    if (index < 0) return false;
    (void)delete_marker_at(ctx, state, index);
    return true;
}

// "Move" (enabled while the list has a row): the selected marker goes to the
// next category of the ring, and the list and the selection follow it.
static bool move_selected(RunContext& ctx, PluginState& state) {
    const std::int64_t index = selected_marker(state.list_page);
    if (index < 0) return false;
    const std::int64_t to = category_after(state, state.markers[static_cast<std::size_t>(index)].data.category);
    if (to < 0) return false;  // not reached: the list shows no other
    // The list follows the marker into its new category (in a search the rows
    // stay the results): made current first, the move's one rebuild of the
    // rows shows it.
    const std::int64_t shown = state.current_category;
    const bool paged = set_current_category(state, to) >= 0;
    if (!move_marker_to_category(ctx, state, index, to)) {  // not reached: a category of the table, not its own
        state.current_category = shown;
        update_marker_list_cache(ctx, state, true);
        return false;
    }
    const std::int64_t row = row_of_marker(state, index);
    state.list_page.selection = row >= 0 ? row : 0;
    if (paged) play_category_step_sound(state, to);
    return true;
}

const Button edit_markers_button{
    .control = control_edit_markers,
    .text = [](const PluginState&) { return "Edit Markers"; },
    .turn = ButtonTurn::ring,
    .press = open_full_menu,
};

const Button rename_button{
    .control = control_rename,
    .text = [](const PluginState&) { return "Rename"; },
    .turn = ButtonTurn::on_row,
    .enabled = list_has_rows,
    .enabled_each_tick = true,
    .press = rename_selected,
};

const Button sort_button{
    .control = control_sort,
    .text = sort_text,
    .turn = ButtonTurn::before_rows,
    .press = sort_rows,
    .text_after_mode = true,
};

const Button delete_button{
    .control = control_delete,
    .text = [](const PluginState&) { return "Delete"; },
    .turn = ButtonTurn::on_row,
    .hold_ms = 1000,
    .enabled = list_has_rows,
    .enabled_each_tick = true,
    .press = delete_selected,
    .sound = "BACK",
};

// Listed in the search's row, after "Search": the two came together and the
// game lists their prompts in that order.
const Button move_button{
    .control = control_move,
    .text = [](const PluginState&) { return "Move"; },
    .turn = ButtonTurn::on_row,
    .enabled = list_has_rows,
    .enabled_each_tick = true,
    .press = move_selected,
};

const Button note_button{
    .control = control_note,
    .text = [](const PluginState&) { return "Note"; },
    .turn = ButtonTurn::on_row,
    .enabled = list_has_rows,
    .enabled_each_tick = true,
    .press = note_selected,
};

const Button undo_button{
    .control = control_undo,
    .text = undo_text,
    .turn = ButtonTurn::before_rows,
    .enabled = [](const PluginState& state) { return next_undo(state) != UndoNext::none; },
    .hidden_when_off = true,
    .press = undo_pressed,
};

const Button back_button{
    .control = control_back,
    .text = [](const PluginState&) { return "Back"; },
    .turn = ButtonTurn::leaving,
    .press = leave_full_menu,
    .sound = "BACK",
};

// ---- the input step --------------------------------------------------------------------------

static void take_navigation(RunContext& ctx, PluginState& state) {
    const auto rows = static_cast<std::int64_t>(state.list_page.rows.length);
    std::int64_t& selection = state.list_page.selection;
    switch (read_menu_navigation(state.menu.presses)) {
        case MenuNavigation::up:
            if (rows > 1) {
                selection = ((selection - 1) % rows + rows) % rows;
                play_sound("NAV_UP", menu_sound_set);
            }
            break;
        case MenuNavigation::down:
            if (rows > 1) {
                selection = ((selection + 1) % rows + rows) % rows;
                play_sound("NAV_DOWN", menu_sound_set);
            }
            break;
        case MenuNavigation::left: select_category(ctx, state, state.current_category - 1); break;
        case MenuNavigation::right: select_category(ctx, state, state.current_category + 1); break;
        default: break;
    }
}

// The features' buttons of the full menu, in their turns, around the list's
// navigation: what reorders the rows first, then what acts on the selected
// row; after the selection and the category moved, the texts follow the row
// selected now, and what acts on the category shown comes last ("Back" is
// the menu's, once the page is drawn).
static void take_input(RunContext& ctx, PluginState& state) {
    take_presses(ctx, state, ButtonTurn::before_rows);
    texts_follow(state, ButtonTurn::before_rows);
    take_presses(ctx, state, ButtonTurn::on_row);
    take_navigation(ctx, state);
    texts_follow(state, ButtonTurn::on_row);
    take_presses(ctx, state, ButtonTurn::after_moving);
    texts_follow(state, ButtonTurn::after_moving);
}

// ---- the drawing step ---------------------------------------------------------------------------

std::int64_t first_visible_row(std::int64_t selection, std::int64_t rows) {
    const std::int64_t from_selection = selection - 4 > 0 ? selection - 4 : 0;
    const std::int64_t last_window = rows - visible_rows > 0 ? rows - visible_rows : 0;
    return from_selection < last_window ? from_selection : last_window;
}

float list_row_centre_y(int slot) {
    // The first row's centre lies two gaps below the category tiles' bottom
    // edge (0.21 + 0.1 / 2), half a row down; each next row a gap and a row
    // further. Added in 32-bit floats in this order: 0.31, 0.38, ... 0.80.
    constexpr float gap = 0.01f;
    constexpr float tiles_bottom = 0.26f;
    constexpr float half_row = 0.03f;
    return (gap + gap) + tiles_bottom + half_row + static_cast<float>(slot) * (gap + row_height);
}

static void draw_highlight(const PluginState& state, const ScreenRect& row) {
    const float a = state.screen_aspect;
    const float cs = corner, cw = corner * a;
    const ScreenRect r{row.x, row.y, row.width + highlight_growth * cw, row.height + highlight_growth * cs};
    const float lx = r.x - r.width / 2 + cw / 2, rx = r.x + r.width / 2 - cw / 2;
    const float ty = r.y - r.height / 2 + cs / 2, by = r.y + r.height / 2 - cs / 2;
    const float edge_w = r.width - 2 * cw + edge_overlap * a, edge_h = r.height - 2 * cs + edge_overlap;
    const struct {
        const char* texture;
        ScreenRect rect;
    } parts[] = {
        {"tile_highlight_tl", {lx, ty, cw, cs}},     {"tile_highlight_tr", {rx, ty, cw, cs}},
        {"tile_highlight_br", {rx, by, cw, cs}},     {"tile_highlight_bl", {lx, by, cw, cs}},
        {"tile_highlight_t", {r.x, ty, edge_w, cs}}, {"tile_highlight_bot", {r.x, by, edge_w, cs}},
        {"tile_highlight_l", {lx, r.y, cw, edge_h}}, {"tile_highlight_r", {rx, r.y, cw, edge_h}},
    };
    for (const auto& p : parts) draw_texture("landing_page", p.texture, p.rect, 0.0f, highlight_colour, false);
}

// A text box of the page: its left edge, top and width (fractions of the
// screen), its text size, and the same in pixels for fitting its text.
struct TextBox {
    float left, top, width, size;
};

static void draw_fitted(RunContext& ctx, const PluginState& state, std::string_view text, const TextBox& box,
                        std::string_view alignment, const Rgba& colour) {
    const ScreenSize screen = screen_size(state);
    const std::string_view shown =
        fit_text(ctx, text, height_to_pixels(screen, box.size), width_to_pixels(screen, box.width));
    draw_text_string(ctx, screen, shown, font, box.size, box.left, box.top, box.width, 0.0f, alignment, colour);
}

// The text box of a row drawn at `centre_y`, selected or not (the Parts' row sizes).
static TextBox row_text_box(const PluginState& state, float centre_y, bool selected) {
    const float a = state.screen_aspect;
    ScreenRect rect{0.5f, centre_y, row_width_factor * a, row_height};
    if (selected) {
        rect.width += selected_growth * a;
        rect.height += selected_growth;
    }
    const float pad = 0.2f * rect.height;
    const float w = rect.width - 2 * pad > 0 ? rect.width - 2 * pad : 0.0f;
    const float h = rect.height - 2 * pad > 0 ? rect.height - 2 * pad : 0.0f;
    return TextBox{rect.x - w / 2, rect.y - h / 2, w, h - 0.005f};
}

// A line of its own under the list's last slot (`line` 0, 1, ...), as wide as a row's texts.
static TextBox line_under_rows(const PluginState& state, int line) {
    const TextBox row = row_text_box(state, list_row_centre_y(visible_rows - 1), false);
    const float top = list_row_centre_y(visible_rows - 1) + (row_height + selected_growth) / 2 + under_rows_gap;
    return TextBox{row.left, top + static_cast<float>(line) * under_rows_line_step, row.width, row.size};
}

static TextBox column(const TextBox& row, float from, float to) {
    return TextBox{row.left + from * row.width, row.top, (to - from) * row.width, row.size};
}

std::string_view list_title_text(RunContext& ctx, const PluginState& state) {
    if (state.search.in_force) {
        const std::string_view searched(state.search.text);
        TextBuilder b = scratch_text(ctx, searched.size() + 48);
        text_append(b, "Search: \"");
        text_append(b, searched);
        text_append(b, "\" (");
        text_append_i64(b, static_cast<std::int64_t>(state.list_page.rows.length));
        text_append_char(b, ')');
        return text_view(b);
    }
    const MarkerCategory* category = category_row(state.categories, state.current_category);
    return category && category->name ? std::string_view(category->name) : std::string_view();
}

std::string_view empty_list_text(RunContext& ctx, const PluginState& state) {
    if (state.search.in_force) {
        const std::string_view searched(state.search.text);
        TextBuilder b = scratch_text(ctx, searched.size() + 32);
        // The search looks at the markers a share of each frame: none found yet is not none.
        if (state.search.searched_to < state.markers.length) {
            text_append(b, "Searching for \"");
            text_append(b, searched);
            text_append(b, "\"...");
            return text_view(b);
        }
        text_append(b, "No markers match \"");
        text_append(b, searched);
        text_append_char(b, '"');
        return text_view(b);
    }
    const MarkerCategory* category = category_row(state.categories, state.current_category);
    TextBuilder b = scratch_text(ctx, (category && category->name ? std::strlen(category->name) : 0) + 32);
    text_append(b, "No markers in ");
    text_append(b, category && category->name ? category->name : "this category");
    text_append(b, " yet");
    return text_view(b);
}

void draw_selected_marker_details(RunContext& ctx, const PluginState& state, const char* const* lines,
                                  std::size_t count) {
    if (selected_marker(state.list_page) < 0) return;
    for (std::size_t i = 0; i < count && i < most_detail_lines; ++i) {
        if (!lines[i]) continue;
        // The coordinates take the first line under the rows.
        draw_fitted(ctx, state, lines[i], line_under_rows(state, 1 + static_cast<int>(i)), "Center",
                    Rgba{255, 255, 255, 255});
    }
}

static void draw_rows(RunContext& ctx, PluginState& state) {
    const auto rows = static_cast<std::int64_t>(state.list_page.rows.length);
    const std::int64_t selection = state.list_page.selection;
    const std::int64_t first = first_visible_row(selection, rows);
    const Position player = vector3_to_position(state.player_position);
    const float a = state.screen_aspect;
    constexpr Rgba white{255, 255, 255, 255};
    draw_fitted(ctx, state, list_title_text(ctx, state),
                TextBox{row_text_box(state, 0, false).left, title_top, row_text_box(state, 0, false).width, title_size},
                "Center", white);
    if (rows == 0) {
        draw_fitted(ctx, state, empty_list_text(ctx, state), row_text_box(state, list_row_centre_y(0), false), "Center",
                    white);
        return;
    }
    for (int slot = 0; slot < visible_rows && first + slot < rows; ++slot) {
        const std::int64_t r = first + slot;
        const Marker& m = state.markers[static_cast<std::size_t>(state.list_page.rows[static_cast<std::size_t>(r)])];
        const bool selected = r == selection;
        // Dimmed at once when its category is hidden, before the blip is gone.
        const bool dimmed = m.blip == 0 || settings_hides(state.settings.in_force, m.data.category);

        ScreenRect rect{0.5f, list_row_centre_y(slot), row_width_factor * a, row_height};
        if (selected) {
            rect.width += selected_growth * a;
            rect.height += selected_growth;
        }
        const Rgba background = dimmed ? Rgba{20, 20, 20, 200} : Rgba{0, 0, 0, 200};
        const Rgba text = dimmed ? Rgba{255, 255, 255, 255 / 2} : Rgba{255, 255, 255, 255};
        draw_texture("generic_textures", "selection_box_bg_1a", rect, 0.0f, background, false);

        // Three columns, each text cut to its own: the label, the distance, the date.
        const TextBox box = row_text_box(state, rect.y, false);
        draw_fitted(ctx, state, centre_text(ctx, m.data.position, player, false),
                    column(box, distance_column_from, distance_column_to), "Center", text);
        draw_fitted(ctx, state, date_text(ctx, m.data.timestamp._nsec, runtime_globals.local_time_zone, DateForm::row),
                    column(box, date_column_from, 1.0f), "Right", text);
        const bool routed =
            route_leads_to(state, static_cast<std::size_t>(state.list_page.rows[static_cast<std::size_t>(r)]));
        draw_fitted(ctx, state, label_text(ctx, state, m, r, rows, routed), column(box, 0.0f, label_column_to), "Left",
                    text);
        if (selected) draw_highlight(state, rect);
    }
    // The selected marker's coordinates, on a line of their own under the rows.
    const std::int64_t selected = selected_marker(state.list_page);
    if (selected >= 0) {
        draw_fitted(ctx, state, coordinates_text(ctx, state.markers[static_cast<std::size_t>(selected)].data.position),
                    line_under_rows(state, 0), "Center", white);
    }
}

// Under the selected marker's coordinates: its pack's progress, if it has a
// pack, and its note, if it has one (both texts end in a zero).
static void draw_details(RunContext& ctx, PluginState& state) {
    const char* lines[most_detail_lines] = {};
    std::size_t count = 0;
    if (const char* progress = selected_pack_progress(state)) lines[count++] = progress;
    if (const std::string_view note = note_to_show(ctx, state); !note.empty()) lines[count++] = note.data();
    draw_selected_marker_details(ctx, state, lines, count);
}

void run_main_menu(RunContext& ctx, PluginState& state) {
    take_input(ctx, state);
    if (continue_search(ctx, state)) {
        // A row found above took the first row: a hold of "Delete" begun on
        // the marker there starts again on the one shown now.
        const Prompt delete_prompt = button_prompt(state, delete_button);
        prompt_reset_hold(delete_prompt);
        prompt_reset_hold_data(delete_prompt, 0);
    }
    draw_rows(ctx, state);
    draw_details(ctx, state);
}

// ---- the row's handlers ----------------------------------------------------------------------

void list_page_at_start(RunContext&, PluginState& state) {
    state.list_page.rename_marker_index = -1;
    state.list_page.note_marker_index = -1;
}

void list_page_at_release(RunContext&, PluginState& state) {
    if (state.list_page.rows.data) array_free(state.list_page.rows);
}
