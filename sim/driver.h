// What the two quillfen-sim programs (Linux in-process, Windows with the real
// DLL) share: their command line and the line they end with.
#pragma once

#include <string>

struct SimCommandLine {
    std::string scenario_path;
    std::string out_dir;
    std::string asi_path;  // empty unless --asi was given
};

// "run SCENARIO --out DIR", and "--asi PATH" where `accept_asi`. False, with
// the usage printed to stderr, for any other line.
bool sim_parse_command_line(int argc, char** argv, const char* program, bool accept_asi, SimCommandLine& out);

// Prints "quillfen-sim: F frames, N native calls" (and ", FAILED: why") and
// gives the exit status: 0 for a sound run, 1 for a failed one.
int sim_report_outcome(long long frames, long long native_calls, bool ok, const std::string& why);
