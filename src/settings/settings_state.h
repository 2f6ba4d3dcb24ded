// The player's settings as the plug-in holds them: the values in force, what
// the settings file looked like when last read or written (so that a change
// by hand is noticed), and the menu's two prompts that switch them.
#pragma once

#include <cstdint>

#include "src/markers_file/settings_file.h"
#include "src/platform/platform.h"
#include "src/scripthook/types.h"

struct PlayerSettings {
    Settings in_force;
    // The file as last read or written: looked at again every few seconds,
    // and read again when any of these differ.
    PlatformFileKind file_kind;
    std::int64_t file_modified_ns;
    std::uint64_t file_size;
    std::int64_t look_again_at_ns;  // the clock, as frame_time
    // The full menu's prompts: "Capture: On"/"Capture: Off" and "Hide on Map"/"Show on Map".
    Prompt capture_prompt;
    Prompt hide_prompt;
    bool capture_prompt_says_off;  // what the prompts' texts say now
    bool hide_prompt_says_show;
    bool capture_pressed, hide_pressed;  // what each press test answered last (a press acts once)
    bool hide_prompt_off;                // "Hide on Map" is off while a search lists every category
};
