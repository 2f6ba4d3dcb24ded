// The plug-in's state record and the globals outside it, with their reset
// rules: `setup` and `cleanup` zero the record and the runtime globals; each
// script start frees what the last run left and zeroes the record again; the
// waypoint capture's global is never reset while the library is loaded.
//
// The record is put together here from the features' own records, each
// declared beside its feature in a `*_state.h` header that includes nothing
// above the core records; the features' procedures include this header.
#pragma once

#include <cstdint>

#include "src/base/growable_array.h"
#include "src/collections/collections_state.h"
#include "src/core/marker.h"
#include "src/core/notice.h"
#include "src/core/runtime_globals.h"
#include "src/map/blips_state.h"
#include "src/map/location_names_state.h"
#include "src/map/route_state.h"
#include "src/markers/marker_packs_state.h"
#include "src/markers/marker_persistence_state.h"
#include "src/markers/marker_undo_state.h"
#include "src/markers/waypoint_capture_state.h"
#include "src/menu/marker_search_state.h"
#include "src/menu/menu_state.h"
#include "src/platform/platform.h"
#include "src/scripthook/types.h"
#include "src/settings/settings_state.h"

struct PluginState {
    // ---- markers and categories
    GrowableArray<MarkerCategory> categories;  // the category table, copied at script start
    GrowableArray<Marker> markers;             // the marker list, in file order
    std::int64_t current_category;             // the category new markers get and the list page shows
    MarkerPersistence persistence;  // the markers file: a failed save, a file not read yet, the last good copy
    MarkerPacks packs;              // marker packs whose markers wait for a save
    MarkerUndo undo;                // deletes and renames to undo, and Quillfen/deleted.json

    // ---- menu
    Menu menu;                   // its state, the memory of presses, the buttons' prompts, the backdrop
    CategoryPage category_page;  // the category tiles
    ListPage list_page;          // the full menu's rows, their selection and order, the marker being renamed
    MarkerSearch search;         // the search across categories

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
    BlipChoice blip_choice;  // which markers hold the blips, the next choice, the game's limit

    Route route;                     // the GPS route to a marker and its arrival check
    NamelessPlaces nameless_places;  // places whose missing name was logged already

    PlayerSettings settings;  // Quillfen/settings.ini: capture, categories hidden, blip limit, route colour
    Collections collections;  // the next look for pack markers reached, the progress the list shows
    Notice notice;            // the line on screen for what just happened, until it goes
};

extern PluginState plugin_state;

// Never reset while the library is loaded; zero at load.
extern WaypointCapture waypoint_capture;  // the capture's timer and memory of the last waypoint

inline ScreenSize screen_size(const PluginState& state) { return {state.screen_width, state.screen_height}; }

void clear_plugin_state(PluginState& state);
