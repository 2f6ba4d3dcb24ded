// The player's settings file, Quillfen/settings.ini: plain `key = value`
// lines, `;` and `#` comment lines, UTF-8 (a UTF-16 file, with its BOM or
// without, is read too, never written). Lines end at LF, CRLF or a lone CR,
// as editors show them. Reading it (with a line for each fault, in the words
// the log and quillfen-markers both use), writing a new one with its
// defaults, and changing one key's line while every other byte of the
// player's file stays as it was. No logging and no plug-in state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "src/base/allocators.h"
#include "src/base/joaat.h"
#include "src/base/text_builder.h"
#include "src/platform/platform.h"

// ---- the settings -------------------------------------------------------------------------

enum class SettingsKey : std::uint8_t {
    capture_waypoints,
    hidden_on_map,
    blip_limit,
    route_colour,
    found_range,
    auto_found,
    found_on_map,
};
inline constexpr std::size_t settings_key_count = 7;
inline constexpr const char* settings_key_names[settings_key_count] = {
    "capture_waypoints", "hidden_on_map", "blip_limit", "route_colour", "found_range", "auto_found", "found_on_map"};

inline constexpr std::int32_t settings_blip_limit_most = 500;
// found_range: metres over the ground within which a pack's marker is found.
inline constexpr std::int32_t settings_found_range_default = 3, settings_found_range_most = 50;

// What the map makes of a found marker's blip: dimmed, none, or as any other.
enum class FoundOnMap : std::uint8_t { dim, hide, show };
inline constexpr std::size_t found_on_map_count = 3;
inline constexpr const char* found_on_map_names[found_on_map_count] = {"dim", "hide", "show"};
// hidden_on_map's numbers: 1 to 10, in the ring's order; or the categories'
// names as the table names them after "Marker (" ("Foe", "?"), in any case.
inline constexpr std::int32_t settings_category_count = 10;
// A bigger file is no settings file a player wrote: it is not read.
inline constexpr std::uint64_t settings_file_most_bytes = 64 * 1024;

// The colours offered for the route, by the names the game knows them under;
// the game takes the hash of the name.
struct RouteColour {
    const char* name;
    std::uint32_t hash;
};
inline constexpr RouteColour route_colours[] = {
    {"COLOR_RED", joaat("COLOR_RED")},     {"COLOR_YELLOW", joaat("COLOR_YELLOW")},
    {"COLOR_BLUE", joaat("COLOR_BLUE")},   {"COLOR_GREEN", joaat("COLOR_GREEN")},
    {"COLOR_WHITE", joaat("COLOR_WHITE")}, {"COLOR_PURPLE", joaat("COLOR_PURPLE")},
};
inline constexpr std::size_t route_colour_count = sizeof route_colours / sizeof route_colours[0];

// The settings in force. All zero is every key at its default, so a state
// record that was just cleared holds the defaults.
struct Settings {
    bool capture_off;                 // capture_waypoints = false
    std::uint16_t hidden_on_map;      // bit n-1: category n (0-based category n-1) gets no blip
    std::int32_t blip_limit;          // 1 to 500; 0 stands for the default, 500
    std::uint8_t route_colour;        // index into route_colours; 0 is COLOR_RED
    std::uint32_t route_colour_hash;  // route_colours[route_colour].hash; 0 stands for the default's
    std::int32_t found_range;         // 1 to 50; 0 stands for the default, 3
    bool auto_found_off;              // auto_found = false
    FoundOnMap found_on_map;          // dim, the default, is 0
};

inline bool settings_capture(const Settings& s) { return !s.capture_off; }
inline std::int32_t settings_blip_limit(const Settings& s) {
    return s.blip_limit > 0 && s.blip_limit <= settings_blip_limit_most ? s.blip_limit : settings_blip_limit_most;
}
// Whether markers of `category` (0-based, as a marker stores it) get no blip.
inline bool settings_hides(const Settings& s, std::int64_t category) {
    return category >= 0 && category < settings_category_count && (s.hidden_on_map >> category & 1u) != 0;
}
inline std::int32_t settings_found_range(const Settings& s) {
    return s.found_range > 0 && s.found_range <= settings_found_range_most ? s.found_range
                                                                           : settings_found_range_default;
}
inline bool settings_auto_found(const Settings& s) { return !s.auto_found_off; }
inline FoundOnMap settings_found_on_map(const Settings& s) {
    return static_cast<std::size_t>(s.found_on_map) < found_on_map_count ? s.found_on_map : FoundOnMap::dim;
}
inline std::uint32_t settings_route_colour_hash(const Settings& s) {
    return route_colours[s.route_colour < route_colour_count ? s.route_colour : 0].hash;
}
// Sets a key's value with what follows from it (the route colour's hash).
void settings_set_route_colour(Settings& s, std::uint8_t index);
bool settings_equal(const Settings& a, const Settings& b);

// The value of `key` as the file writes it: "true", "2, 5" (or nothing), "500", "COLOR_RED".
void append_settings_value(TextBuilder& out, const Settings& s, SettingsKey key);
// The value as quillfen-markers status shows it: as the file writes it, but
// hidden categories by number and name ("2 Pin, 5 Foe", which the file takes too).
void append_settings_value_shown(TextBuilder& out, const Settings& s, SettingsKey key);
// "capture_waypoints = false, hidden_on_map = 2, 5": the keys whose values
// differ from the defaults, in the file's order; nothing when none do.
void append_settings_differences(TextBuilder& out, const Settings& s);

// ---- reading ------------------------------------------------------------------------------

// Called with each line a player reads about the file: what is wrong, where,
// and what holds instead ("Quillfen/settings.ini line 4: ...").
using SettingsComplaint = void (*)(void* data, std::string_view message);

// The settings a file's text gives (UTF-8; a BOM, comments and blank lines
// allowed). A faulty line is named and leaves its key at the default; a key
// set twice takes the last, with a line. `path` is the file as the lines name
// it. `keys_set` (optional) gets the number of lines that set a key to a
// value it takes: a text cut short sets fewer than the whole.
Settings parse_settings(std::string_view text, std::string_view path, SettingsComplaint complain, void* data,
                        std::uint32_t* keys_set = nullptr);

// A file's encoding, by its first bytes: a UTF-16 BOM (FF FE, FE FF); or
// UTF-16 without one, when its first character is ASCII next to a zero byte
// (an editor that saved it so; unread, each of its lines would be a fault);
// or else UTF-8.
enum class SettingsEncoding : std::uint8_t { utf8, utf16_le, utf16_be };
SettingsEncoding settings_encoding(std::string_view bytes);
// UTF-16 text after its BOM as UTF-8, zero-terminated, in one block of
// `*size + 1` bytes from `allocator`; a half of a surrogate pair without its
// other half, or an odd last byte, becomes U+FFFD. False without memory.
bool settings_text_from_utf16(std::string_view bytes, bool big_endian, const Allocator& allocator, char** text,
                              std::size_t* size);
// A hash of a file's bytes (64-bit FNV-1a): tells a rewrite of the same size
// apart where the file system's times are too coarse to.
std::uint64_t settings_text_hash(std::string_view bytes);

enum class SettingsFileState : std::uint8_t {
    read,        // read and parsed
    missing,     // no file: the defaults (the plug-in writes one)
    not_a_file,  // a directory or other thing: the defaults, and it is left alone
    too_big,     // over settings_file_most_bytes: the defaults, and it is left alone
    unreadable,  // there but could not be read: the defaults
};

// A file's bytes as the parser takes them, before they are parsed.
struct SettingsFileText {
    SettingsFileState state;
    PlatformFileInfo info;  // what stood at the path when it was looked at
    PlatformError error;    // unreadable: why, unless...
    bool out_of_memory;     // ...memory ran out for the text
    SettingsEncoding encoding;
    std::uint64_t hash;  // read: of the file's bytes as they are on the disk
    char* text;          // read: UTF-8, zero-terminated, `size + 1` bytes from the allocator
    std::size_t size;
};
SettingsFileText read_settings_text(const char* path, const Allocator& allocator);
void free_settings_text(SettingsFileText& t, const Allocator& allocator);
// The line a player reads about a file that was not read, though it is
// there (not_a_file, too_big, unreadable: every setting at its default), or
// about a UTF-16 file that was; nothing otherwise.
void append_settings_file_fault(TextBuilder& out, const char* path, const SettingsFileText& t);
// Why an unreadable file could not be read, as the log names it ("out of memory", "EACCES").
void settings_read_error_name(const SettingsFileText& t, char* name, std::size_t size);

struct SettingsFileRead {
    Settings settings;
    SettingsFileState state;
    PlatformFileInfo info;  // what stood at the path when it was read
    SettingsEncoding encoding;
    std::uint64_t hash;      // of the file's bytes (read)
    std::uint32_t keys_set;  // as parse_settings counts them (read)
};
// Reads the file at `path` whole and parses it; each fault goes to `complain`.
SettingsFileRead read_settings_file(const char* path, const Allocator& allocator, SettingsComplaint complain,
                                    void* data);

// ---- writing ------------------------------------------------------------------------------

// A new file: each key at its value in `s`, with a one-line comment above it
// saying what it does. CRLF line ends, as Windows editors write them.
void append_new_settings_text(TextBuilder& out, const Settings& s);
// The player's `text` with `key` set to its value in `s`: the last line that
// sets it (the one that counts) becomes "key = value" with its line end as it
// was; without such a line one is added at the end, with the file's own line
// end (that of its first line; CRLF when it has none). Every other byte
// stays. hidden_on_map is written by the categories' names when the line it
// replaces names one, else by number. Room for text.size() +
// settings_line_room is enough.
void append_settings_text_with(TextBuilder& out, std::string_view text, const Settings& s, SettingsKey key);
inline constexpr std::size_t settings_line_room = 128;

// Whether a switch may write `text` changed: a UTF-16 file is never written
// into, and a file the change would take past settings_file_most_bytes would
// not be read at the next start.
enum class SettingsRewrite : std::uint8_t { written, utf16, too_big };
// append_settings_text_with when it may; else `out` is left empty. `out`
// needs room for text.size() + settings_line_room; `*size` (optional) gets
// the size the file would have had (too_big).
SettingsRewrite rewrite_settings_text(TextBuilder& out, std::string_view text, const Settings& s, SettingsKey key,
                                      std::size_t* size = nullptr);
