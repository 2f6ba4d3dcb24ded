// The menu's own records kept in the state record: the menu (its states, the
// one memory of presses, the buttons' prompts, the backdrop), the category
// page's tiles and the list page (its rows, selection and order).
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/growable_array.h"
#include "src/core/feature_row.h"
#include "src/core/screen.h"
#include "src/scripthook/types.h"

// The values of `Menu::state`.
inline constexpr std::int64_t MENU_CLOSED = 0;
inline constexpr std::int64_t MENU_RING = 1;
inline constexpr std::int64_t MENU_FULL = 2;

// The values of `ListPage::sort_mode`: the list's newest first, or nearest first.
inline constexpr std::int64_t sort_mode_time = 0;
inline constexpr std::int64_t sort_mode_proximity = 1;

// One animated tile per category (the category page).
struct TileSlice {
    ScreenRect* data;
    std::size_t length;
};

// What each test that triggers a menu action answered at its previous query.
// The menu tick runs twice a frame and repeats every test; the game may answer
// the repeat with true again, or keep a press true for a few frames, so an
// action runs only when its test turns from false to true. The one memory of
// presses: the buttons' and the controls the menu reads itself.
struct PressMemory {
    bool buttons[most_buttons];  // by the button's place in the table (prompts.h)
    bool navigation[6];          // in the order read_menu_navigation tests them
    bool add_at_player, add_at_waypoint;
};

// The features' buttons as the game has them, by their place in the table.
struct ButtonPrompts {
    Prompt prompt[most_buttons];
    const char* text_shown[most_buttons];  // the text last set (a button's `text`)
    // A button whose `enabled` is told only when it changes: off was told last.
    bool off_said[most_buttons];
};

struct Menu {
    std::int64_t state;        // MENU_CLOSED, MENU_RING or MENU_FULL
    bool state_changed;        // true in the first frame of a new menu state
    PressMemory presses;       // what each press test answered last, so a press acts once
    ButtonPrompts buttons;     // the prompts of the features' buttons
    double backdrop_strength;  // the full menu's screen effect, 0 to 1
};

// The category page: the ring over the map and the row at the top of the full menu.
struct CategoryPage {
    TileSlice tiles;  // one animated tile per category
};

// The full menu's list of markers.
struct ListPage {
    GrowableArray<std::int64_t> rows;  // indices into `markers`: the current category (or the search's), sorted
    std::int64_t selection;            // the selected row
    std::int64_t sort_mode;            // sort_mode_time or sort_mode_proximity
    std::int64_t rename_marker_index;  // the marker the keyboard is renaming, or -1
    std::int64_t note_marker_index;    // the marker the keyboard writes a note for, or -1
};

// The marker of the selected row, or -1 when the selection names no row.
inline std::int64_t selected_marker(const ListPage& page) {
    if (page.selection < 0 || static_cast<std::uint64_t>(page.selection) >= page.rows.length) return -1;
    return page.rows[static_cast<std::size_t>(page.selection)];
}
