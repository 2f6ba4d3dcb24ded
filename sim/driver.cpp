#include "sim/driver.h"

#include <cstdio>
#include <cstring>

static bool usage(const char* program, bool accept_asi) {
    std::fprintf(stderr, "usage: %s run SCENARIO --out DIR%s\n", program, accept_asi ? " [--asi PATH]" : "");
    return false;
}

bool sim_parse_command_line(int argc, char** argv, const char* program, bool accept_asi, SimCommandLine& out) {
    out = SimCommandLine{};
    if (argc < 2 || std::strcmp(argv[1], "run") != 0) return usage(program, accept_asi);
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) out.out_dir = argv[++i];
        else if (accept_asi && std::strcmp(argv[i], "--asi") == 0 && i + 1 < argc) out.asi_path = argv[++i];
        else if (out.scenario_path.empty()) out.scenario_path = argv[i];
        else return usage(program, accept_asi);
    }
    if (out.scenario_path.empty() || out.out_dir.empty()) return usage(program, accept_asi);
    return true;
}

int sim_report_outcome(long long frames, long long native_calls, bool ok, const std::string& why) {
    std::printf("quillfen-sim: %lld frames, %lld native calls%s%s\n", frames, native_calls,
                ok ? "" : ", FAILED: ", ok ? "" : why.c_str());
    return ok ? 0 : 1;
}
