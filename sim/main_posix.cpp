// quillfen-sim (Linux): runs the plug-in in the simulated game, in-process.
//   quillfen-sim run SCENARIO --out DIR
#include <cstdio>
#include <string>

#include "sim/driver.h"
#include "sim/session.h"

int main(int argc, char** argv) {
    SimCommandLine line;
    if (!sim_parse_command_line(argc, argv, "quillfen-sim", false, line)) return 2;

    SimScenario scenario;
    std::string error;
    if (!sim_load_scenario(line.scenario_path, scenario, &error)) {
        std::fprintf(stderr, "quillfen-sim: %s\n", error.c_str());
        return 2;
    }
    static SimSession session;  // large; and the plug-in keeps pointers into it until the end
    if (!sim_session_begin(session, scenario, line.out_dir, &error)) {
        std::fprintf(stderr, "quillfen-sim: %s\n", error.c_str());
        return 2;
    }
    sim_session_run(session);
    const bool ok = sim_session_end(session, &error);
    return sim_report_outcome(session.host.game.frame, session.host.native_calls, ok, error);
}
