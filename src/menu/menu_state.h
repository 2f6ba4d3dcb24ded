// The menu's own records and values kept in the state record: its states, the
// list page's orders, the memory of presses and the category tiles.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/core/screen.h"

// The values of `menu_state`.
inline constexpr std::int64_t MENU_CLOSED = 0;
inline constexpr std::int64_t MENU_RING = 1;
inline constexpr std::int64_t MENU_FULL = 2;

// The values of `sort_mode`: the list's newest first, or nearest first.
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
// action runs only when its test turns from false to true.
struct PressMemory {
    bool edit_markers, back, sort, rename, delete_hold;
    bool navigation[6];  // in the order read_menu_navigation tests them
    bool add_at_player, add_at_waypoint;
};
