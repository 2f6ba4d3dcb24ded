// quillfen-sim (Linux): runs the plug-in in the simulated game, in-process.
//   quillfen-sim run SCENARIO --out DIR
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/session.h"

static int usage() {
    std::fprintf(stderr, "usage: quillfen-sim run SCENARIO --out DIR\n");
    return 2;
}

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "run") != 0) return usage();
    std::string scenario_path, out_dir;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) out_dir = argv[++i];
        else if (scenario_path.empty()) scenario_path = argv[i];
        else return usage();
    }
    if (scenario_path.empty() || out_dir.empty()) return usage();

    SimScenario scenario;
    std::string error;
    if (!sim_load_scenario(scenario_path, scenario, &error)) {
        std::fprintf(stderr, "quillfen-sim: %s\n", error.c_str());
        return 2;
    }
    static SimSession session;  // large; and the plug-in keeps pointers into it until the end
    if (!sim_session_begin(session, scenario, out_dir, &error)) {
        std::fprintf(stderr, "quillfen-sim: %s\n", error.c_str());
        return 2;
    }
    sim_session_run(session);
    const bool ok = sim_session_end(session, &error);
    std::printf("quillfen-sim: %lld frames, %lld native calls%s%s\n", static_cast<long long>(session.host.game.frame),
                static_cast<long long>(session.host.native_calls), ok ? "" : ", FAILED: ", ok ? "" : error.c_str());
    return ok ? 0 : 1;
}
