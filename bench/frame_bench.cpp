// The whole script iteration with the full menu open, nearest first, against
// the budget of a 60 fps frame; natives are answered by a host that does next
// to nothing, so what is measured is the plug-in's own work.
//   build/linux/bench/frame_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "scripthook/host_api.h"
#include "scripthook/native_hashes.h"
#include "src/entry.h"
#include "src/marker_list.h"
#include "src/menu.h"
#include "src/plugin_context.h"
#include "src/script_main.h"
#include "src/state.h"

namespace {

// ---- a host that answers at near-zero cost ------------------------------------------------

std::uint64_t call_hash;
std::uint64_t first_arg;
int arg_count;
std::uint64_t answer[3];
std::uint64_t next_handle = 0x40001;
std::int64_t native_calls;
const char* const place = "Valentine, New Hanover";
const char* const label = "label";

void bench_init(std::uint64_t hash) {
    call_hash = hash;
    arg_count = 0;
}
void bench_push(std::uint64_t v) {
    if (arg_count++ == 0) first_arg = v;
}
std::uint64_t* bench_call() {
    ++native_calls;
    answer[0] = answer[1] = answer[2] = 0;
    switch (call_hash) {
        case native_texture_dictionary_loaded:
        case native_blip_exists:
        case native_pad_uses_mouse: answer[0] = 1; break;
        case native_create_blip_at_coords:
        case native_prompt_begin: answer[0] = next_handle++; break;
        case native_make_text_label: answer[0] = reinterpret_cast<std::uintptr_t>(label); break;
        case native_zone_display_name: answer[0] = reinterpret_cast<std::uintptr_t>(place); break;
        case native_keyboard_status: answer[0] = 3; break;
        default: break;  // prompt group page 0 (shown), no presses, the player at the origin
    }
    return answer;
}
void bench_wait(HostDword) {}
void bench_register(HostModule, ScriptProcedure) {}

HostApi bench_host() {
    HostApi api{};
    api.scriptWait = bench_wait;
    api.scriptRegister = bench_register;
    api.scriptUnregister = [](HostModule) {};
    api.nativeInit = bench_init;
    api.nativePush64 = bench_push;
    api.nativeCall = bench_call;
    return api;
}

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

void BM_ScriptFrameFullMenuByProximity(benchmark::State& bench) {
    const auto count = static_cast<std::size_t>(bench.range(0));
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quillfen-frame-bench-" + std::to_string(count));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "Quillfen");
    write_markers(count, dir / "Quillfen" / "markers.json");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);

    plugin_process_attach(nullptr, bench_host());
    RunContext ctx = plugin_context();
    ctx.general = tracker_allocator(runtime_globals.allocation_tracker);
    script_start(ctx, plugin_state);
    // The full menu, nearest first, half of the markers in the list.
    set_menu_state(ctx, plugin_state, MENU_FULL);
    plugin_state.sort_mode = sort_mode_proximity;
    update_marker_list_cache(ctx, plugin_state, true);
    for (int i = 0; i < 3; ++i) script_frame(ctx, plugin_state);  // blips made, textures in

    const AllocationTracker& tracker = runtime_globals.allocation_tracker;
    const std::size_t allocations_before = tracker.total_allocations;
    const std::int64_t calls_before = native_calls;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : bench) script_frame(ctx, plugin_state);
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - started;
    const auto frames = static_cast<double>(bench.iterations());
    bench.counters["general_allocations_per_frame"] =
        static_cast<double>(tracker.total_allocations - allocations_before) / frames;
    bench.counters["natives_per_frame"] = static_cast<double>(native_calls - calls_before) / frames;
    // The share of a 60 fps frame (16.7 ms) one iteration takes, in percent.
    bench.counters["percent_of_frame"] = spent.count() / frames / (1.0 / 60.0) * 100.0;
    bench.counters["rows"] = static_cast<double>(plugin_state.marker_list_cache.length);

    plugin_process_detach(nullptr);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_ScriptFrameFullMenuByProximity)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
