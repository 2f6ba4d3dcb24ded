// The simulated game: the part of the world the plug-in can observe through
// natives and the platform seam. Scenarios change it between frames; native
// handlers read and change it during frames.
//
// To extend it: add the state here, answer the natives that observe it in their
// entries of the natives' table (game_natives.cpp), and let a scenario set it
// through a key in scenario.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "sim/game_natives.h"

struct SimWindow {
    bool present;
    std::int32_t width, height;  // client area in pixels
    std::int32_t x, y;           // client area's top-left corner on the screen
    std::uintptr_t handle;       // changes every time the window is made anew
};

struct SimScreenEffect {
    bool playing;
    float strength;
    std::int32_t params[5];
    std::int64_t start_calls, stop_calls;
};

// A map zone of one kind over an x/y rectangle (all heights).
struct SimZone {
    std::int32_t type;  // the game's ZoneType number
    std::uint32_t hash;
    std::optional<std::string> text;  // the display text, or none
    float x0, y0, x1, y1;
};

// Ground height over an x/y rectangle; no height means no ground (deep water, the sky box).
struct SimGroundArea {
    float x0, y0, x1, y1;
    std::optional<float> height;
};

struct SimBlip {
    std::uint32_t style, sprite;
    float x, y, z;
    std::string name;
    std::vector<std::uint32_t> modifiers;
};

// What the scripts drew in a frame, in order: the renderer of screenshots reads it.
struct SimDrawItem {
    enum class Kind : std::uint8_t { sprite, text } kind;
    std::string dictionary, texture;     // a sprite's
    float x, y, width, height, heading;  // a sprite's centre and size; a text's x, y
    std::int32_t red, green, blue, alpha;
    std::string label;  // a text's label, as the game shows it (the plug-in's mark-up)
};

struct SimPrompt {
    std::uint32_t control;
    std::string text;  // as the label shows it
    bool hold_mode;
    std::int32_t hold_time;
    std::int32_t priority;
    bool in_group;
    std::uint32_t group;
    std::int32_t page;
    bool ended, enabled, visible;
    bool hold_done;  // a completed hold stays completed until the prompt is reset
};

// The on-screen keyboard: open while the player types, then confirmed or cancelled.
struct SimKeyboard {
    bool open;
    std::int64_t typing_frames;  // frames left in which the status is 0
    bool cancel;
    std::optional<std::string> result;
    bool confirmed_this_frame;  // the status just said 1: the result may be read
    // What the plug-in opened it with.
    std::int32_t text_type, max_length;
    std::string title;
    std::optional<std::string> initial;
};

// How the next keyboard the plug-in opens will behave.
struct SimKeyboardScript {
    std::int64_t typing_frames = 1;
    bool cancel = false;
    std::optional<std::string> result;  // none: the initial text comes back
};

struct SimSound {
    std::string name, set;
};

enum class SimRepeat { every, first, frames };

// The tests of a press that `SimRepeat::first` tells apart.
enum class SimQuery : std::uint32_t { press, control, disabled_control };

// Jenkins one-at-a-time over the ASCII-lowercased bytes, as the game hashes names.
constexpr std::uint32_t sim_joaat(std::string_view text) {
    std::uint32_t h = 0;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        h += c;
        h += h << 10;
        h ^= h >> 6;
    }
    h += h << 3;
    h ^= h >> 11;
    h += h << 15;
    return h;
}

// The game's hashes the model itself needs, from the game's names: the
// simulated game does not take them from the plug-in's headers, which it checks.
inline constexpr std::uint32_t sim_stick_x = sim_joaat("INPUT_RADIAL_MENU_NAV_LR");
inline constexpr std::uint32_t sim_stick_y = sim_joaat("INPUT_RADIAL_MENU_NAV_UD");
// The prompt group the game shows while the map is open; it has no known name.
inline constexpr std::uint32_t sim_map_prompt_group = 0x29FEEDA9;

struct SimGame {
    std::int64_t frame;     // counts the host's resumes of the scripts, from 0
    std::int64_t clock_ns;  // the Linux build's clock; Windows runs in real time
    std::int64_t frame_ns;

    std::uint64_t player_entity;
    float player_position[3];

    std::map<std::string, SimScreenEffect> screen_effects;
    // Dictionary name (as requested) -> frame of the first request.
    std::map<std::string, std::int64_t> texture_requests;
    std::int64_t texture_load_frames;  // frames from the first request until loaded

    SimWindow window;
    std::uintptr_t next_window_handle;
    std::int64_t window_lookups;      // searches by title, all frames
    std::int32_t cursor_x, cursor_y;  // screen pixels

    // Zones, first match wins; water kinds also answer the untyped query.
    std::vector<SimZone> zones;
    std::vector<SimGroundArea> ground_areas;  // the last matching area wins
    std::optional<float> default_ground;      // where no area says otherwise

    // The map waypoint; the game reports its height as 0.
    bool waypoint_set;
    float waypoint_x, waypoint_y;

    // Blips by handle; past `blip_capacity` (when not negative) the game refuses new ones.
    std::map<std::uint64_t, SimBlip> blips;
    std::uint64_t next_blip_handle;
    std::int64_t blip_capacity;
    std::int64_t blips_refused;

    // The GPS multi-route: begun with a colour and where it applies, its points
    // in order, and whether the game draws it. Cleared: no colour, no points,
    // not drawn (the game draws a route only once told to).
    struct GpsRoute {
        bool started;
        std::uint32_t colour;
        bool on_foot, in_vehicle;
        std::vector<std::array<float, 3>> points;
        bool shown;
        std::int64_t clears;  // CLEAR_GPS_MULTI_ROUTE calls, all frames
    } gps_route;

    // Prompts by handle, and the prompt group of the map's prompts (shown while the map is open).
    std::map<std::uint64_t, SimPrompt> prompts;
    std::uint64_t next_prompt_handle;
    bool map_open;

    // Input of this frame: prompt presses and holds, controls just pressed (all by control hash).
    std::set<std::uint32_t> pressed, held, just_pressed;
    // Frames each input above has lasted so far (kept only under SimRepeat::frames).
    std::map<std::uint32_t, std::int32_t> pressed_age, held_age, just_pressed_age;
    std::map<std::uint32_t, std::int32_t> control_values;  // analogue 0..255
    bool controls_disabled;                                // DISABLE_ALL_CONTROL_ACTIONS this frame
    std::set<std::uint32_t> controls_enabled;              // enabled again this frame
    bool uses_mouse, hover_active;
    // What a repeated test of a press answers: true to every query of its frame,
    // to the first query of its frame only, or to every query for
    // `repeat_frames` frames (a press that stays "completed" for a while).
    SimRepeat repeat_answers;
    std::int32_t repeat_frames;
    // Queries already answered this frame: the kind of test (SimQuery) in the
    // high half, the control in the low half.
    std::set<std::uint64_t> answered;

    SimKeyboard keyboard;
    SimKeyboardScript next_keyboard;
    std::int64_t keyboards_opened;

    // What the menu did to the game's own screen.
    bool radar_shown, hud_shown;
    float time_scale;

    // This frame's drawing and menu sounds; the text colour holds until changed.
    std::vector<SimDrawItem> draw_list;
    std::int32_t text_colour[4];
    std::vector<SimSound> sounds;

    // Texts the game hands out (labels); they stay valid for the frame.
    std::deque<std::string> frame_texts;
};

void sim_game_init(SimGame& game);
// Called before the scripts run in a frame, and after.
void sim_game_begin_frame(SimGame& game);
void sim_game_end_frame(SimGame& game);
void sim_game_set_window(SimGame& game, bool present, std::int32_t width, std::int32_t height, std::int32_t x,
                         std::int32_t y);

// Answers one call through its native's entry in the table.
void sim_game_answer(SimGame& game, SimNativeCall& call);
