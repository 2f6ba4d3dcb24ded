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
