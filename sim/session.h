// A run of the plug-in in the simulated game (Linux: in-process). Tests drive
// it frame by frame and look at the plug-in's state, its files and the trace
// in between; the quillfen-sim program runs a whole scenario.
#pragma once

#include <string>

#include "sim/host.h"
#include "sim/scenario.h"
#include "src/platform/platform_simulation.h"

struct SimSession {
    SimHost host;
    SimScenario scenario;
    std::string out_dir;       // the game's working directory
    std::string previous_dir;  // restored at the end
    PlatformSimulation platform{};
    bool attached = false;
};

// Makes `out_dir`, moves into it, and loads the plug-in (DllMain's attach).
bool sim_session_begin(SimSession& s, const SimScenario& scenario, const std::string& out_dir, std::string* error);
// Applies the scenario's events for the next frame and runs it; false once the run failed.
bool sim_session_frame(SimSession& s);
// Runs the frames the scenario asks for (from the current one).
bool sim_session_run(SimSession& s);
// Unloads the plug-in (DllMain's detach), writes trace.jsonl, moves back.
bool sim_session_end(SimSession& s, std::string* error);
