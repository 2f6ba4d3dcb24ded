// The player's settings as the plug-in holds them: the values in force, and
// what the settings file looked like when last read or written (so that a
// change by hand is noticed).
#pragma once

#include <cstdint>

#include "src/markers_file/settings_file.h"
#include "src/platform/platform.h"

struct PlayerSettings {
    Settings in_force;
    // The file as last read or written: looked at again every few seconds,
    // and read again when any of these differ.
    PlatformFileKind file_kind;
    std::int64_t file_modified_ns;
    std::uint64_t file_size;
    std::int64_t look_again_at_ns;  // the clock, as frame_time
};
