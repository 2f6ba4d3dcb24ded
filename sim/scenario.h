// Scenarios: how long to run, how long a frame is, and what the world does from
// which frame on. Read from JSON5 with the plug-in's own reader.
//
// To let scenarios set something new: add a key to `world_keys` in
// scenario.cpp that parses its value into a change of the game model.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/game.h"

using SimWorldChange = std::function<void(SimGame&)>;

struct SimEvent {
    std::int64_t frame;
    std::vector<SimWorldChange> changes;
};

struct SimScreenshot {
    std::int64_t frame;  // taken after this frame has run
    std::string name;    // the PNG file's name, without ".png"
};

struct SimScenario {
    std::int64_t frames = 0;
    std::int64_t frame_ns = 16666667;
    std::int64_t start_time_ns = 1765267200000000000;  // 2025-12-09 08:00:00 UTC
    std::int64_t texture_load_frames = 0;
    std::vector<SimEvent> events;  // in frame order; the "world" block is frame 0
    std::vector<SimScreenshot> screenshots;
};

bool sim_parse_scenario(std::string_view text, SimScenario& scenario, std::string* error);
bool sim_load_scenario(const std::string& path, SimScenario& scenario, std::string* error);
// Applies the events of `frame` to the game.
void sim_apply_events(const SimScenario& scenario, SimGame& game, std::int64_t frame);
