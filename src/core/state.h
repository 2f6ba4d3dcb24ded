// The plug-in's state record and the globals outside it, with their reset
// rules: `setup` and `cleanup` zero the record and the runtime globals; each
// script start frees what the last run left and zeroes the record again; the
// waypoint globals are never reset while the library is loaded.
#pragma once

#include <cstdint>

#include "src/base/allocators.h"
#include "src/base/growable_array.h"
#include "src/base/log.h"
#include "src/core/marker.h"
#include "src/core/player_settings.h"
#include "src/platform/local_time.h"
#include "src/platform/platform.h"
#include "src/scripthook/types.h"

// The values of `menu_state`.
inline constexpr std::int64_t MENU_CLOSED = 0;
inline constexpr std::int64_t MENU_RING = 1;
inline constexpr std::int64_t MENU_FULL = 2;

// The values of `sort_mode`: the list's newest first, or nearest first.
inline constexpr std::int64_t sort_mode_time = 0;
inline constexpr std::int64_t sort_mode_proximity = 1;

struct TileSlice {
    ScreenRect* data;
    std::size_t length;
};

// Places already reported as having no name this run (a small ring: bounded
// memory, and far more than the eight rows a page shows).
inline constexpr std::size_t nameless_places_capacity = 64;
struct NamelessPlace {
    Position position;
    Hash zone;
};
struct NamelessPlaces {
    NamelessPlace places[nameless_places_capacity];
    std::size_t count;
    std::size_t next;
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

// Why the last save of the markers file failed.
enum class SaveFailure : std::uint8_t {
    none,
    out_of_memory,
    not_a_file,           // something else stands at markers.json
    unreadable_not_kept,  // the file that did not load is not copied aside yet (the code: why the copy failed)
    write,                // writing or replacing the file (the code says why)
    file_not_read,        // markers.json is there but was not read yet: nothing may replace it
};

// A marker of the backup shown while markers.json could not be read, deleted
// or renamed meanwhile: found again in the file by its place and time once
// the file can be read, so that the change holds there too.
struct MarkerEdit {
    Position position;
    std::int64_t timestamp_ns;
    bool deleted;  // else renamed
};

// A marker pack whose markers are in the list but not yet in the markers
// file: it leaves Quillfen/import/ with the first save that works.
struct WaitingPack {
    char* path;                // "Quillfen/import/NAME", zero-terminated, from the general allocator
    std::size_t size;          // of that block
    std::int64_t modified_ns;  // the pack as it was imported: one changed since then stays
    std::uint64_t bytes;
};

// The markers chosen to hold a blip: the nearest that qualify, measured from
// where the player stood. A new choice goes through its steps over as many
// frames as the list needs (each frame does a bounded share of the work), then
// is put on the map over as many frames as the natives it takes need (each
// frame calls no more than the room the frame has left).
enum class BlipChoiceStep : std::uint8_t {
    none,          // no choice under way
    keys,          // each marker gets its key: its distance's ordered bits, or none
    count_middle,  // the keys in the bucket of the k-th are counted by their next 11 bits...
    count_low,     // ...and then by their last 10: the k-th key is known
    collect,       // the markers up to it are gathered, in list order
    remove,        // the blips of the markers no longer chosen go
    make,          // the chosen without a blip get one, nearest first
    trim,          // the game refused one: the farthest past the lowered limit give theirs up
};
inline constexpr std::size_t blip_key_buckets = 2048;
struct BlipChoice {
    // Every marker holding a blip is in `chosen`, whatever step is under way,
    // so that the next choice finds each blip it has to take away.
    GrowableArray<std::uint32_t> chosen;       // indices into `markers`, nearest first
    GrowableArray<std::uint32_t> next_chosen;  // the choice being gathered, then swapped with `chosen`
    std::size_t next_check;                    // the entry of `chosen` whose blip's existence is checked next
    Position chosen_from;                      // where the player stood for the choice on the map
    std::int64_t chosen_of;                    // the markers on the player's side, once all sides are known
    bool up_to_date;                           // false: choose again once no choice is under way
    bool settled;                              // the choice on the map is complete: each chosen marker holds its blip
    Position still_at;                         // where the player has stood...
    std::int64_t still_ns;                     // ...for this long
    std::int64_t said_limit;                   // the limit the log last named ("Showing the nearest ..."); 0: none yet
    bool out_of_memory_said;                   // a choice failed for want of memory, and the log said so
    // The markers before this one have their side of the divide known (or no
    // category of the table); the rest are asked a few a frame, so that the
    // log's count is true. Back to 0 when the list changes.
    std::size_t sides_known_to;

    // ---- the choice under way
    BlipChoiceStep step;
    std::size_t cursor;                       // how far the step has gone through the markers, keys or chosen
    Position from;                            // the player's position when it began
    bool player_in_guarma;                    // the player's side of the Guarma divide then
    std::int64_t limit;                       // how many it chooses
    std::int64_t qualifying;                  // markers with a key
    GrowableArray<std::uint32_t> keys;        // per marker
    std::uint32_t buckets[blip_key_buckets];  // how many keys share each value of the bits being counted
    std::uint32_t prefix;                     // the bits of the k-th key known so far
    std::int64_t below;                       // keys known to be smaller than the k-th
    std::uint32_t threshold;                  // the k-th key: chosen are those below it...
    std::int64_t ties;                        // ...and this many equal to it, the first in list order
    std::int64_t ties_left;
    std::size_t last_tie;  // the last marker taken with a key equal to the threshold
    bool complete;         // while making: every chosen marker so far lies on the player's side
};

struct PluginState {
    // ---- markers and categories
    GrowableArray<MarkerCategory> categories;  // the category table, copied at script start
    GrowableArray<Marker> markers;             // the marker list, in file order
    std::int64_t current_category;             // the category new markers get and the list page shows
    // The markers file could not be loaded nor copied aside yet: no save may
    // replace it until a copy exists. The error of the last failed copy that
    // the log gave (0: none), so that it is said once per cause.
    bool unreadable_copy_pending;
    std::uint32_t unreadable_copy_error;
    // markers.json is there but could not be read (another program holds it,
    // or reading it is denied): what it holds is unknown, so nothing replaces
    // it. The newest backup's markers are shown meanwhile, the first
    // `shown_from_backup` of the list (those after them were added since), and
    // the file is read again every second; `unread_error` is the read error
    // the log last gave.
    bool markers_file_unread;
    std::uint32_t unread_error;
    std::int64_t unread_retry_at_ns;  // when it is read again (the clock, as frame_time)
    std::size_t shown_from_backup;
    GrowableArray<MarkerEdit> edited_meanwhile;  // the backup's markers deleted or renamed meanwhile
    // Why the last save failed (none while saves work) and the error code of
    // a failed write: while it is not none the list is saved again after a
    // delay that doubles with each failed try (save_retry_delay_seconds), and
    // only a new reason is logged.
    SaveFailure save_failure;
    std::uint32_t save_failure_code;
    std::uint32_t failed_saves;     // tries in a row that failed
    std::int64_t save_retry_at_ns;  // when the next try is due (the clock, as frame_time)
    // The newest file known to hold the markers as they were before the
    // changes not saved yet: markers.json once loaded or saved, else the
    // backup they were recovered from; empty when there is none.
    char last_good_copy[64];
    // Packs imported at this script start whose markers are not saved yet: no
    // more than the import found, and none once a save has worked.
    GrowableArray<WaitingPack> packs_waiting_for_save;

    // ---- menu
    std::int64_t menu_state;     // MENU_CLOSED, MENU_RING or MENU_FULL
    bool menu_state_changed;     // true in the first frame of a new menu state
    PressMemory presses;         // what each press test answered last, so a press acts once
    Prompt edit_markers_prompt;  // "Edit Markers", in the map's prompt group
    Prompt back_prompt;          // "Back", in the full menu
    Prompt rename_prompt;        // "Rename", in the full menu
    Prompt delete_prompt;        // "Delete", held, in the full menu
    Prompt sort_prompt;          // "Sort: Time" or "Sort: Proximity", in the full menu
    TileSlice category_tiles;    // one animated tile per category
    double backdrop_strength;    // the full menu's screen effect, 0 to 1

    // ---- marker list page
    GrowableArray<std::int64_t> marker_list_cache;  // indices into `markers`: the current category, sorted
    std::int64_t marker_list_selection;             // the selected row of the cache
    std::int64_t sort_mode;                         // sort_mode_time or sort_mode_proximity
    std::int64_t rename_marker_index;               // the marker the keyboard is renaming, or -1
    NamelessPlaces nameless_places;                 // places whose missing name was logged already

    // ---- frame timing, nanoseconds
    std::int64_t last_frame_time;      // the clock at the previous iteration
    std::int64_t frame_time;           // the clock at this iteration
    std::int64_t frame_delta;          // frame_time - last_frame_time
    std::uint64_t frame_natives_from;  // native_calls_begun when this iteration began

    // ---- screen and player
    PlatformWindow game_window;  // found by its title; null until found
    std::int32_t screen_width;   // client size in pixels (1920 x 1080 without a window)
    std::int32_t screen_height;  // likewise
    float screen_aspect;         // height / width
    Vector3 player_position;     // read once per frame

    // ---- blips
    std::int64_t blip_limit;  // the most blips at once: 500, lowered when the game refuses one
    // How many markers hold a non-zero blip handle (live or stale); kept by
    // every writer of a marker's `blip`, so the blip limit needs no walk.
    std::int64_t markers_with_blip;
    BlipChoice blip_choice;  // which markers hold the blips, and the next choice

    PlayerSettings settings;  // Quillfen/settings.ini: capture, categories hidden, blip limit, route colour
};

// Cleared as one block by `setup` and `cleanup`.
struct RuntimeGlobals {
    AllocationTracker allocation_tracker;
    Logger file_logger;
    LocalTimeZone* local_time_zone;
};

extern PluginState plugin_state;
extern RuntimeGlobals runtime_globals;

// Never reset while the library is loaded; zero at load.
extern float waypoint_check_timer;  // seconds gathered toward the next check
extern Vector3 last_waypoint;       // the last waypoint handled, as the game reported it
extern float waypoint_cooldown;     // seconds of game time left in the pause after a capture

inline ScreenSize screen_size(const PluginState& state) { return {state.screen_width, state.screen_height}; }

void clear_plugin_state(PluginState& state);
void clear_runtime_globals(RuntimeGlobals& globals);
