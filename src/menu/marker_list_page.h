// The full menu's list of the current category's markers (or, in a search, of
// the markers found): its rows, its own buttons (sort, rename, delete, and the
// way in and out), the turns in which every feature's buttons of the full
// menu are taken, and the navigation that moves the selection and steps the
// category.
#pragma once

#include <cstdint>
#include <string_view>

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/scripthook/game_hashes.h"
#include "src/state/state.h"

inline constexpr int visible_rows = 8;

// The list page's buttons (its row of the features' table): the way in, on
// the map's prompts ("Edit Markers"), its actions ("Rename", "Sort: Time" or
// "Sort: Proximity", "Delete" held for a second) and the way out ("Back").
inline constexpr Hash control_edit_markers = InputControl::INPUT_PLAYER_MENU;
inline constexpr Hash control_rename = InputControl::INPUT_GAME_MENU_ACCEPT;
inline constexpr Hash control_sort = InputControl::INPUT_GAME_MENU_EXTRA_OPTION;
inline constexpr Hash control_delete = InputControl::INPUT_GAME_MENU_OPTION;
inline constexpr Hash control_back = InputControl::INPUT_GAME_MENU_CANCEL;
extern const Button edit_markers_button;
extern const Button rename_button;
extern const Button sort_button;
extern const Button delete_button;
extern const Button back_button;

// "Note" on the selected row: the game's keyboard ("Marker Note", at most
// `note_characters`, the note as its first text); an empty text removes it.
inline constexpr Hash control_note = InputControl::INPUT_FRONTEND_SELECT;
inline constexpr std::size_t note_characters = 200;
extern const Button note_button;
// "Undo Delete" or "Undo Rename", by the newest change to undo
// (marker_undo.h): the marker comes back, or gets its name back, and the list
// shows it selected.
inline constexpr Hash control_undo = InputControl::INPUT_GAME_MENU_TAB_LEFT;
extern const Button undo_button;

// The full menu's list page, each tick: the full menu's buttons and the
// list's navigation (take_input), then its rows.
void run_main_menu(RunContext& ctx, PluginState& state);

// The list page's row of the features' table: at a script start no marker is
// being renamed; after a change of the marker list its search and rows follow
// (`list_page_follows_list`, marker_list_rows.h); before the state is cleared
// the rows go.
void list_page_at_start(RunContext& ctx, PluginState& state);
void list_page_at_release(RunContext& ctx, PluginState& state);
// At the start of the menu's tick: false while the player types a marker's
// new name (then nothing else of the tick runs); once the keyboard closes,
// the name confirmed is the marker's.
bool list_page_typing(RunContext& ctx, PluginState& state);
// True while the keyboard is open for a marker (a rename, a note).
bool list_page_holds_marker_index(const PluginState& state);

// The selected marker's note as the list shows it under its rows: cut after
// `note_shown_characters` characters (never inside one), with "..." when cut;
// empty when it has none.
inline constexpr std::size_t note_shown_characters = 90;
std::string_view note_to_show(RunContext& ctx, const PluginState& state);

// The first visible row for `rows` rows with row `selection` selected.
std::int64_t first_visible_row(std::int64_t selection, std::int64_t rows);
float list_row_centre_y(int slot);

// Row texts, in the frame's scratch memory (zero-terminated).
std::string_view distance_text(RunContext& ctx, const Position& marker, const Position& player);
std::string_view coordinates_text(RunContext& ctx, const Position& marker);
// `full`: "9 December 2026, 13:05:03"; `row`, as a row of the list shows it
// in its column: "9 Dec 2026, 13:05".
enum class DateForm : std::uint8_t { full, row };
std::string_view date_text(RunContext& ctx, std::int64_t timestamp_ns, const LocalTimeZone* zone,
                           DateForm form = DateForm::full);
// Above the rows: the category's name, or during a search `Search: "bear" (2)`.
std::string_view list_title_text(RunContext& ctx, const PluginState& state);
// In place of the rows when there are none: "No markers in Marker (Foe) yet",
// or during a search `No markers match "zzz"` (`Searching for "zzz"...`
// while it has not looked at every marker yet).
std::string_view empty_list_text(RunContext& ctx, const PluginState& state);

// Up to `most_detail_lines` more lines about the selected marker (a pack's
// progress, a note), drawn centred under the rows below its coordinates,
// each cut to the rows' width; nothing when no row is selected. Call it in
// the drawing step of the full menu, after the rows. A null line is skipped.
inline constexpr std::size_t most_detail_lines = 2;
void draw_selected_marker_details(RunContext& ctx, const PluginState& state, const char* const* lines,
                                  std::size_t count);

// What a search's row shows of its category: the text in the name's
// parentheses ("Animal" of "Marker (Animal)"), or the whole name.
std::string_view category_short_name(std::string_view name);
// The middle of a row: the marker's coordinates, or its distance from the
// player; for a position that is not finite, `not_on_map_text`.
inline constexpr std::string_view not_on_map_text = "Not on the map";
std::string_view centre_text(RunContext& ctx, const Position& marker, const Position& player, bool coordinates);
