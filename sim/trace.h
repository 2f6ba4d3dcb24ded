// The native-call trace as JSON Lines: one object per call with "frame",
// "native", "args" and "result".
#pragma once

#include <string>
#include <vector>

#include "sim/host.h"

// Appends `text` as a JSON string (quoted, escaped).
void sim_json_string(std::string& out, const std::string& text);
std::string sim_trace_line(const SimTraceEntry& entry);
bool sim_write_trace(const std::vector<SimTraceEntry>& trace, const std::string& path, std::string* error);

// sim-summary.json: what the host saw over the whole run (frames, calls,
// script registrations, the failure if any).
bool sim_write_summary(const SimHost& host, const std::string& path, std::string* error);

// The records of a run, as both simulators leave them: the trace at
// `trace_path`, then sim-summary.json beside the plug-in's files.
bool sim_write_run_records(const SimHost& host, const std::string& trace_path, std::string* error);
