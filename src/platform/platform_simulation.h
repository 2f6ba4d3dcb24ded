// Linux build only: the simulator installs the game window, the mouse cursor
// and the clock here. Without an installation the clock is the system's and
// there is no window and no cursor.
#pragma once

#include <cstdint>

#include "src/platform/platform.h"

struct PlatformSimulation {
    void* data;
    std::int64_t (*now_ns)(void* data);
    PlatformWindow (*find_window)(void* data, const char* title);
    bool (*client_size)(void* data, PlatformWindow window, std::int32_t* width, std::int32_t* height);
    bool (*cursor_position)(void* data, std::int32_t* x, std::int32_t* y);
    bool (*screen_to_client)(void* data, PlatformWindow window, std::int32_t* x, std::int32_t* y);
    bool (*client_to_screen)(void* data, PlatformWindow window, std::int32_t* x, std::int32_t* y);
    bool (*set_cursor_position)(void* data, std::int32_t x, std::int32_t y);
};

// nullptr removes the simulation.
void platform_install_simulation(const PlatformSimulation* simulation);

// Tests only: make file operations fail as a full disk or a locked file would.
// An errno of 0 leaves that operation alone.
struct PlatformFileFaults {
    int write_errno;              // platform_write_new_file (the log is left alone)
    std::size_t write_fail_after; // bytes written before the failure
    int replace_errno;            // platform_replace_file
    int read_errno;               // platform_read_file
    int copy_errno;               // platform_copy_file
};
void platform_inject_file_faults(const PlatformFileFaults* faults);
