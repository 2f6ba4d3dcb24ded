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
    int replace_errno;            // platform_replace_file and platform_rename_new
    int read_errno;               // platform_read_file
    int mkdir_errno;              // platform_create_directory
    // A crash: every change to the disk from step `crash_at_step` on (counted
    // from the installation; the log is left alone) does nothing and fails with
    // `crash_errno`, as if the process had been killed just before it. A write
    // at that step lands half of its bytes first. 0 for no crash.
    int crash_errno;
    std::size_t crash_at_step;
};
void platform_inject_file_faults(const PlatformFileFaults* faults);
// Changes to the disk made (or attempted) since the faults were installed.
std::size_t platform_file_steps();
