// The player's settings as the plug-in holds them: the values in force, and
// what the settings file looked like when last read or written (so that a
// change by hand is noticed).
#pragma once

#include <cstdint>

#include "src/file_formats/settings_file.h"
#include "src/platform/platform.h"

struct PlayerSettings {
    Settings in_force;
    // The file as last read or written: looked at again every few seconds,
    // and read again when any of these differ (or `read_again`).
    PlatformFileKind file_kind;
    std::int64_t file_modified_ns;
    std::uint64_t file_size;
    std::uint64_t file_hash;        // of its bytes (settings_text_hash), when known...
    bool file_hash_known;           // ...from a read or a write of the file
    std::uint32_t file_keys_set;    // lines that set a key well in the text in force (parse_settings)
    bool read_again;                // its time and size cannot tell a change: the next look reads it
    bool holding;                   // the last read looked cut short and was not put in force...
    std::uint64_t held_hash;        // ...these bytes: put in force when they are read again
    bool unreadable_said;           // the log said it cannot be read (said again after a read)
    std::int64_t look_again_at_ns;  // the clock, as frame_time
    // Not a file, or too big, as the log said it (`read`: nothing said), with
    // what stood there: each look at the same obstacle says nothing more.
    SettingsFileState fault_said;
    PlatformFileKind fault_said_kind;
    // A switch whose change could not be written holds over the file until the
    // game quits, as its line says: capture (`capture_held`, its value) and each
    // category of hidden_on_map switched (`hidden_held`, their bits).
    bool capture_held;
    bool capture_off_held;
    std::uint16_t hidden_held;
    std::uint16_t hidden_held_bits;
    // Capture switched on in the game with a waypoint set: that waypoint,
    // which the capture takes as handled (it was set while capture was off),
    // and when (the clock; 0: not in this run).
    Vector3 waypoint_at_capture_on;
    std::int64_t capture_on_at_ns;
};
