// What one waypoint capture costs (the check that finds a new waypoint, puts it
// on the ground, names it and saves the list), against one save of the same
// list measured in the same run: the save is most of a capture, so the ratio
// says how many times a capture writes the file.
//   build/linux/bench/waypoint_capture_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include "bench/bench_host.h"
#include "bench/game_folder.h"
#include "bench/markers_corpus.h"
#include "src/core/plugin_context.h"
#include "src/entry.h"
#include "src/markers/marker_persistence.h"
#include "src/markers/markers_on_disk.h"
#include "src/markers/waypoint_capture.h"
#include "src/script_main.h"
#include "src/state/state.h"

namespace {

// The plug-in loaded and started on `count` markers in a game folder of its own.
struct LoadedPlugin {
    bench::GameFolder folder;
    RunContext ctx;
    explicit LoadedPlugin(std::size_t count) : folder(bench::corpus(count).text) {
        bench::host_answers = bench::HostAnswers{};
        waypoint_capture.last_waypoint = Vector3{};  // as at load: no waypoint handled yet
        plugin_process_attach(nullptr, bench::host());
        ctx = plugin_context();
        ctx.general = tracker_allocator(runtime_globals.allocation_tracker);
        script_start(ctx, plugin_state);
    }
    ~LoadedPlugin() { plugin_process_detach(nullptr); }
};

// Each iteration sets a new waypoint 20 units from the last, outside the
// corpus's area, so that every check captures.
void BM_WaypointCapture(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    LoadedPlugin plugin(count);
    bench::host_answers.waypoint_set = true;
    bench::host_answers.waypoint_y = 9000;
    std::size_t captured = plugin_state.markers.length;
    for (auto _ : state) {
        bench::host_answers.waypoint_x += 20;
        waypoint_capture.waypoint_cooldown = 0;
        check_waypoint_and_create_marker(plugin.ctx, plugin_state, 1.0f);
    }
    captured = plugin_state.markers.length - captured;
    if (captured != static_cast<std::size_t>(state.iterations())) state.SkipWithError("a check did not capture");
}

void BM_SaveReference(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    LoadedPlugin plugin(count);
    for (auto _ : state) save_data_to_disk(plugin.ctx, plugin_state);
}

}  // namespace

BENCHMARK(BM_SaveReference)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaypointCapture)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
