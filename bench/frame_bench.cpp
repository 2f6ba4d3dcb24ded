// The whole script iteration with the full menu open, nearest first, against
// the budget of a 60 fps frame, also when a failed save is tried again in it; natives are answered by a host that does
// next to nothing (bench/bench_host.h), so what is measured is the plug-in's own work.
//   build/linux/bench/frame_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "bench/bench_host.h"
#include "src/core/plugin_context.h"
#include "src/core/state.h"
#include "src/entry.h"
#include "src/markers/marker_list.h"
#include "src/markers/marker_persistence.h"
#include "src/menu/menu.h"
#include "src/script_main.h"

namespace {

// ---- the frame --------------------------------------------------------------------------

void write_markers(std::size_t count, const std::filesystem::path& path) {
    std::mt19937 rng(static_cast<unsigned>(count));
    std::uniform_real_distribution<float> c(-7000, 7000);
    std::ofstream out(path);
    out << "{\"markers\": [";
    for (std::size_t i = 0; i < count; ++i) {
        out << "{\"position\": [" << c(rng) << ", " << c(rng)
            << ", 40], \"category\": " << (i % 2 == 0 ? 0 : 1 + rng() % 9);
        if (i % 3) out << ", \"name\": \"Marker " << i << "\"";
        out << ", \"timestamp\": {\"_nsec\": " << 1765267200000000000LL + static_cast<long long>(i) * 1000000007LL
            << "}},";
    }
    out << "]}";
}

// The full menu's frame; with `retrying`, a save has failed and each frame
// tries it again (every 5 seconds in the game): something other than a file
// stands at markers.json, so each try writes the whole list to text and then
// fails, as on a full disk, and logs nothing.
void run_frames(benchmark::State& bench, bool retrying) {
    const auto count = static_cast<std::size_t>(bench.range(0));
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quillfen-frame-bench-" + std::to_string(count));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "Quillfen");
    write_markers(count, dir / "Quillfen" / "markers.json");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);

    plugin_process_attach(nullptr, bench::host());
    RunContext ctx = plugin_context();
    ctx.general = tracker_allocator(runtime_globals.allocation_tracker);
    script_start(ctx, plugin_state);
    // The full menu, nearest first, half of the markers in the list.
    set_menu_state(ctx, plugin_state, MENU_FULL);
    plugin_state.sort_mode = sort_mode_proximity;
    update_marker_list_cache(ctx, plugin_state, true);
    if (retrying) {
        std::filesystem::remove(dir / "Quillfen" / "markers.json");
        std::filesystem::create_directory(dir / "Quillfen" / "markers.json");
        save_data_to_disk(ctx, plugin_state);  // fails: the tries begin
    }
    for (int i = 0; i < 3; ++i) script_frame(ctx, plugin_state);  // blips made, textures in

    const AllocationTracker& tracker = runtime_globals.allocation_tracker;
    const std::size_t allocations_before = tracker.total_allocations;
    const std::int64_t calls_before = bench::native_calls;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : bench) {
        if (retrying) plugin_state.save_retry_seconds = 0;  // due in this frame
        script_frame(ctx, plugin_state);
    }
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - started;
    const auto frames = static_cast<double>(bench.iterations());
    bench.counters["general_allocations_per_frame"] =
        static_cast<double>(tracker.total_allocations - allocations_before) / frames;
    bench.counters["natives_per_frame"] = static_cast<double>(bench::native_calls - calls_before) / frames;
    // The share of a 60 fps frame (16.7 ms) one iteration takes, in percent.
    bench.counters["percent_of_frame"] = spent.count() / frames / (1.0 / 60.0) * 100.0;
    bench.counters["rows"] = static_cast<double>(plugin_state.marker_list_cache.length);
    if (retrying && plugin_state.save_failure == SaveFailure::none) bench.SkipWithError("the save did not fail");

    plugin_process_detach(nullptr);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}

void BM_ScriptFrameFullMenuByProximity(benchmark::State& bench) { run_frames(bench, false); }
void BM_ScriptFrameTryingAFailedSaveAgain(benchmark::State& bench) { run_frames(bench, true); }

}  // namespace

BENCHMARK(BM_ScriptFrameFullMenuByProximity)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScriptFrameTryingAFailedSaveAgain)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
