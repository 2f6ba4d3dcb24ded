// A row of the features' table: what one feature does at each moment of the
// script, and its buttons. The table itself is in src/features/feature_table.cpp.
//
// Declared here, below every feature, because the rows are run from several
// layers: the entry points and the loop (above every feature), but also the
// list's one step after a change (src/markers), the save (src/markers) and the
// menu's tick (src/menu), which must reach handlers of layers above them (the
// list page's rows in src/menu, for one) without including them. A row is
// plain data, function pointers and button records, so this header needs
// nothing of the features; the table, which sits above them all, fills the
// rows in, and the code that runs them reads `feature_table`.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/run_context.h"
#include "src/scripthook/types.h"

struct PluginState;

// What happened to the marker list (marker_list_changed, src/markers/marker_list.h).
enum class MarkerListChange : std::uint8_t {
    added,     // markers appended at its end: an add, a waypoint capture, an import
    removed,   // the marker at `index` left it, its blip ended before
    renamed,   // the marker at `index` has its new name
    moved,     // the marker at `index` is in another category
    replaced,  // a new list in place of the old (loaded, or joined with the file read late), no blip on the old
    found,     // the marker at `index` was found, or is not found any more
    joined,    // a marker put back at `index` (an undone delete): those from there on moved up by one
};

// When the menu's tick takes a button's press; it also says where the button
// is shown. The full menu's turns come in this order within the tick: the
// rows' order first, then what acts on the selected row, the selection and
// the category moved by navigation, what acts on the category shown, and,
// once the page is drawn, the way out.
enum class ButtonTurn : std::uint8_t {
    ring,          // with the map's prompts (the game's prompt group), while the ring is up
    before_rows,   // the full menu, first: a press that reorders the rows the others act on
    on_row,        // the full menu: acts on the selected row, before navigation moves it
    after_moving,  // the full menu, after navigation: acts on the category shown now
    leaving,       // the full menu, last, after the page is drawn
};

// One button: a prompt of the game and what its press does, described once.
// The menu makes its prompt at the script's start, shows it with the menu, has
// the game give the menu its control, remembers its press (a press acts
// once), and sets its text again whenever `text` says another.
struct Button {
    Hash control;                             // the game's control (src/scripthook/game_hashes.h)
    const char* (*text)(const PluginState&);  // the text it shows now: a literal
    ButtonTurn turn;                          // when its press is taken, and where it is shown
    std::int32_t hold_ms;                     // 0: a press; else held this long (ms)
    bool (*enabled)(const PluginState&);      // null: enabled whenever it is shown
    // `enabled` is told the game at every tick of the full menu; else only
    // when it changes (fewer calls: the way for a new button).
    bool enabled_each_tick;
    // Hidden, not only off, while `enabled` says no: for a button that can do
    // nothing for a while whatever the row (nothing to undo).
    bool hidden_when_off;
    // What a press does; false when it did nothing. Null: the prompt only
    // names a control the menu reads itself (the ring's two adds), so its
    // press is not asked for and its control stays the menu's.
    bool (*press)(RunContext&, PluginState&);
    const char* sound;  // played (the menu's sound set) after a press that acted; null: none
    // Intended: the text is set after the press mode and the priority when
    // the prompt is made ("Sort"), as the game has always been told.
    bool text_after_mode;
};

inline constexpr std::size_t most_buttons_per_row = 6;
// The most buttons of the whole table: the menu keeps their prompts and
// presses in arrays of this size (the table checks that it is enough).
inline constexpr std::size_t most_buttons = 16;

// One feature. Every handler may be null: the feature does nothing then.
struct FeatureRow {
    const char* name;
    // At set-up, when the library is loaded, before any script start.
    void (*setup)(RunContext& ctx);
    // At a script start, once the state is cleared and the category table copied.
    void (*start)(RunContext& ctx, PluginState& state);
    // Each frame, after the loop read the clock, the window and the player.
    void (*frame)(RunContext& ctx, PluginState& state);
    // After every change of the marker list (marker_list_changed), from the
    // bottom of the table up.
    void (*list_changed)(RunContext& ctx, PluginState& state, MarkerListChange change, std::size_t index);
    // After a save of the marker list that worked.
    void (*saved)(RunContext& ctx, PluginState& state);
    // Before each save of the marker list: writes what must be on disk before
    // the list is (the deleted markers, before the list without them). Not 0:
    // the error that stopped it; the save waits, and is tried again as a
    // failed one.
    std::uint32_t (*before_save)(RunContext& ctx, PluginState& state);
    // After markers.json, not read at the script start (another program held
    // it), was read at last, its markers took the list's place with the changes
    // made meanwhile, and the list was saved: what the feature keeps of the
    // backup's markers follows the file's (`PluginState::persistence.late_read`
    // says what the late read made of those changes).
    void (*read_late)(RunContext& ctx, PluginState& state);
    // At the start of the menu's tick: false while the game's keyboard is open
    // for this feature and the player still types (then nothing else of the
    // tick runs).
    bool (*typing)(RunContext& ctx, PluginState& state);
    // True while the feature holds an index into the marker list that a new
    // list would make name another marker (the keyboard open for a marker):
    // a late read of markers.json waits.
    bool (*holds_marker_index)(const PluginState& state);
    // At a script start, before the state is cleared: what the last run left.
    void (*release)(RunContext& ctx, PluginState& state);
    // At unload, on the loader's thread, where the game takes no native calls.
    void (*unload)(RunContext& ctx, PluginState& state);
    // Its buttons, in the order their prompts are made (the game lists them so);
    // null after the last.
    const Button* buttons[most_buttons_per_row];
};

struct FeatureTable {
    const FeatureRow* rows;
    std::size_t count;
    const FeatureRow* begin() const { return rows; }
    const FeatureRow* end() const { return rows + count; }
};

// The features, in the table's order (defined in src/features/feature_table.cpp).
extern const FeatureTable feature_table;
