// The whole script iteration against the budget of a 60 fps frame, four ways
// (and the list page with a search in force against it without, and one
// search frame by frame, its natives in each):
// the full menu open, nearest first; the same while a failed save is tried
// again in every frame (a full disk: each try writes the whole file); the menu
// closed with the player standing still; the menu closed with the player riding
// fast, so that the markers on the map are chosen again all the time. Then the
// frames that put blips on the map, from the first frame until the blips are in
// place: the script's start, a fast travel, and a crossing into Guarma, with the
// menu closed or the full menu open. Natives are answered by a host that does
// next to nothing (bench/bench_host.h), so what is measured is the plug-in's own
// work; the natives it calls are counted beside the time.
//   build/linux/bench/frame_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_host.h"
#include "bench/game_folder.h"
#include "src/core/plugin_context.h"
#include "src/entry.h"
#include "src/markers/marker_persistence.h"
#include "src/markers/markers_on_disk.h"
#include "src/menu/marker_list_rows.h"
#include "src/menu/marker_search.h"
#include "src/menu/menu.h"
#include "src/script_main.h"
#include "src/state/state.h"
#include "tests/support/file_faults.h"
#include "tests/support/markers_text.h"

namespace {

// Markers spread at random over 14 km x 14 km, half of them in category 0,
// two in three named (or none).
std::string markers_text(std::size_t count, bool all_unnamed = false) {
    std::mt19937 rng(static_cast<unsigned>(count));
    std::uniform_real_distribution<float> c(-7000, 7000);
    std::vector<TextMarker> markers;
    for (std::size_t i = 0; i < count; ++i) {
        TextMarker m{};
        m.x = c(rng);
        m.y = c(rng);
        m.z = 40;
        m.category = i % 2 == 0 ? 0 : 1 + rng() % 9;
        if (i % 3 && !all_unnamed) m.name = "Marker " + std::to_string(i);
        m.timestamp_ns = 1765267200000000000LL + static_cast<long long>(i) * 1000000007LL;
        markers.push_back(m);
    }
    return markers_file_text(markers);
}

// The plug-in loaded and its script started on `count` markers.
struct StartedScript {
    bench::GameFolder folder;
    RunContext ctx;
    explicit StartedScript(std::size_t count, bool all_unnamed = false) : folder(markers_text(count, all_unnamed)) {
        bench::host_answers = bench::HostAnswers{};
        plugin_process_attach(nullptr, bench::host());
        ctx = plugin_context();
        ctx.general = tracker_allocator(runtime_globals.allocation_tracker);
        script_start(ctx, plugin_state);
    }
    ~StartedScript() { plugin_process_detach(nullptr); }
};

constexpr double frame_budget_s = 1.0 / 60.0;

// The blip pass has nothing more to do for the map: the choice is made and on it.
bool blips_at_rest() {
    const BlipChoice& c = plugin_state.blip_choice;
    return c.step == BlipChoiceStep::none && c.up_to_date;
}

// ...and every marker's side of the divide is known, so the log's count is
// said: from here on a frame is steady.
bool blips_counted() {
    return blips_at_rest() && plugin_state.blip_choice.sides_known_to >= plugin_state.markers.length;
}

// Runs the script until its blips are steady (60 frames at least: textures in).
void settle(StartedScript& script) {
    for (int i = 0; i < 60 || (!blips_counted() && i < 100000); ++i) script_frame(script.ctx, plugin_state);
}

// The time this thread has run: a frame's own cost, without the time the
// shared machine gave to other work meanwhile.
double thread_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Runs the benchmark's frames (`before_frame` first in each) and sets the counters.
template <class BeforeFrame>
void measure_frames(benchmark::State& bench, StartedScript& script, BeforeFrame before_frame) {
    const AllocationTracker& tracker = runtime_globals.allocation_tracker;
    const std::size_t allocations_before = tracker.total_allocations;
    const std::int64_t calls_before = bench::native_calls;
    std::vector<double> frame_s;
    frame_s.reserve(static_cast<std::size_t>(bench.max_iterations));
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : bench) {
        before_frame();
        const double t0 = thread_seconds();
        script_frame(script.ctx, plugin_state);
        frame_s.push_back(thread_seconds() - t0);
    }
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - started;
    const auto frames = static_cast<double>(bench.iterations());
    std::sort(frame_s.begin(), frame_s.end());
    bench.counters["general_allocations_per_frame"] =
        static_cast<double>(tracker.total_allocations - allocations_before) / frames;
    bench.counters["natives_per_frame"] = static_cast<double>(bench::native_calls - calls_before) / frames;
    // Shares of a 60 fps frame (16.7 ms), in percent: the mean frame (wall
    // clock, with the cost of reading the thread's clock twice), and, in the
    // thread's own time, the slowest frame but one in a hundred and the slowest.
    bench.counters["percent_of_frame"] = spent.count() / frames / frame_budget_s * 100.0;
    if (!frame_s.empty()) {
        bench.counters["p99_percent_of_frame"] = frame_s[frame_s.size() * 99 / 100] / frame_budget_s * 100.0;
        bench.counters["max_percent_of_frame"] = frame_s.back() / frame_budget_s * 100.0;
    }
    std::int64_t with_blip = 0;
    for (const Marker& m : plugin_state.markers) with_blip += m.blip != 0;
    bench.counters["blips"] = static_cast<double>(with_blip);
}

void BM_ScriptFrameFullMenuByProximity(benchmark::State& bench) {
    StartedScript script(static_cast<std::size_t>(bench.range(0)));
    // The full menu, nearest first, half of the markers in the list.
    set_menu_state(script.ctx, plugin_state, MENU_FULL);
    plugin_state.list_page.sort_mode = sort_mode_proximity;
    update_marker_list_cache(script.ctx, plugin_state, true);
    settle(script);
    measure_frames(bench, script, [] {});
    bench.counters["rows"] = static_cast<double>(plugin_state.list_page.rows.length);
}

// The list page's frame with a search in force against the same page without
// one, in the same run: the full menu nearest first, showing category 0 (half
// of the markers), or the markers whose label holds "marker 9" (of every
// category; a third of the markers are unnamed and show their place). Each
// iteration runs a block of frames without the search and a block with it,
// each frame timed in the thread's own time; the search is started and ended
// between the blocks, outside the timing, and has looked at every marker
// before its block. `search_to_category` is the ratio of
// the two mean frames.
void BM_ListPageFrameWithASearch(benchmark::State& bench) {
    StartedScript script(static_cast<std::size_t>(bench.range(0)));
    set_menu_state(script.ctx, plugin_state, MENU_FULL);
    plugin_state.list_page.sort_mode = sort_mode_proximity;
    update_marker_list_cache(script.ctx, plugin_state, true);
    settle(script);
    constexpr int block = 200;
    double category_s = 0, search_s = 0;
    std::size_t category_rows = 0, search_rows = 0;
    const auto timed_frames = [&](double& spent) {
        for (int i = 0; i < block; ++i) {
            const double t0 = thread_seconds();
            script_frame(script.ctx, plugin_state);
            spent += thread_seconds() - t0;
        }
    };
    for (auto _ : bench) {
        end_search(script.ctx, plugin_state);
        category_rows = plugin_state.list_page.rows.length;
        timed_frames(category_s);
        start_search(script.ctx, plugin_state, "marker 9");
        // Its frames of looking at the markers are BM_SearchFrameByFrame's.
        while (search_under_way(plugin_state)) script_frame(script.ctx, plugin_state);
        search_rows = plugin_state.list_page.rows.length;
        timed_frames(search_s);
    }
    if (!plugin_state.search.in_force) bench.SkipWithError("no search in force");
    const double frames = static_cast<double>(bench.iterations()) * block;
    bench.counters["rows"] = static_cast<double>(search_rows);
    bench.counters["category_rows"] = static_cast<double>(category_rows);
    bench.counters["search_percent_of_frame"] = search_s / frames / frame_budget_s * 100.0;
    bench.counters["category_percent_of_frame"] = category_s / frames / frame_budget_s * 100.0;
    bench.counters["search_to_category"] = search_s / category_s;
}

// One search, from the frame it is typed in until every marker was looked
// at: the filter over every marker's label (a place asked of the game for
// each unnamed one, by a host that answers at once) within the frame's
// natives, and the rows sorted again as they grow. Markers: a third unnamed,
// each place named (two natives a lookup), or all unnamed, no place named
// (nine natives a lookup, the most there can be). Counters: the frames a
// search takes, the most natives any of its frames called (the whole frame,
// menu and blips included), its natives in all, and its slowest frame's share
// of 16.7 ms in the thread's own time.
void BM_SearchFrameByFrame(benchmark::State& bench) {
    const bool all_unnamed = bench.range(1) == 1;
    StartedScript script(static_cast<std::size_t>(bench.range(0)), all_unnamed);
    bench::host_answers.places_named = !all_unnamed;
    set_menu_state(script.ctx, plugin_state, MENU_FULL);
    settle(script);
    const std::int64_t calls_before = bench::native_calls;
    std::int64_t most_natives = 0, frames = 0;
    double slowest_s = 0;
    for (auto _ : bench) {
        // Typed between two frames (the keyboard's frame looks at the first markers too).
        std::int64_t frame_from = bench::native_calls;
        start_search(script.ctx, plugin_state, "marker 9");
        do {
            const double t0 = thread_seconds();
            script_frame(script.ctx, plugin_state);
            slowest_s = std::max(slowest_s, thread_seconds() - t0);
            most_natives = std::max(most_natives, bench::native_calls - frame_from);
            frame_from = bench::native_calls;
            ++frames;
        } while (search_under_way(plugin_state));
    }
    const auto searches = static_cast<double>(bench.iterations());
    bench.counters["found"] = static_cast<double>(plugin_state.search.found.length);
    bench.counters["frames_per_search"] = static_cast<double>(frames) / searches;
    bench.counters["most_natives_in_a_frame"] = static_cast<double>(most_natives);
    bench.counters["natives_per_search"] = static_cast<double>(bench::native_calls - calls_before) / searches;
    bench.counters["slowest_percent_of_frame"] = slowest_s / frame_budget_s * 100.0;
}

// The full menu's frame while a save has failed, with the try due in every
// frame (in the game only as often as the back-off lets it): the disk is full
// at the file's last byte (through the platform seam, tests/support/file_faults.h),
// so each try writes the whole list to text and to the disk, flushes it, and
// then fails, and logs nothing.
void BM_ScriptFrameTryingAFailedSaveAgain(benchmark::State& bench) {
    StartedScript script(static_cast<std::size_t>(bench.range(0)));
    set_menu_state(script.ctx, plugin_state, MENU_FULL);
    plugin_state.list_page.sort_mode = sort_mode_proximity;
    update_marker_list_cache(script.ctx, plugin_state, true);
    const FileFaults full_at_the_last_byte{ENOSPC, SIZE_MAX, 0, 0, 0, 0, 0};
    inject_file_faults(&full_at_the_last_byte);
    save_data_to_disk(script.ctx, plugin_state);  // fails: the tries begin
    settle(script);
    measure_frames(bench, script, [] { plugin_state.persistence.save_retry_at_ns = 0; });
    inject_file_faults(nullptr);
    bench.counters["rows"] = static_cast<double>(plugin_state.list_page.rows.length);
    if (plugin_state.persistence.save_failure == SaveFailure::none) bench.SkipWithError("the save did not fail");
}

// The frame most of a game is made of: the menu closed, the player still.
void BM_ScriptFrameMenuClosed(benchmark::State& bench) {
    StartedScript script(static_cast<std::size_t>(bench.range(0)));
    bench::host_answers.map_prompts_shown = false;
    settle(script);
    measure_frames(bench, script, [] {});
}

// The menu closed, the player crossing the markers' area back and forth at
// 60 m a frame: every frame is part of choosing the markers on the map again.
void BM_ScriptFrameMovingPlayer(benchmark::State& bench) {
    StartedScript script(static_cast<std::size_t>(bench.range(0)));
    bench::host_answers.map_prompts_shown = false;
    float step = 60;
    auto ride = [&step] {
        float& x = bench::host_answers.player[0];
        if (x + step > 7000 || x + step < -7000) step = -step;
        x += step;
    };
    for (int i = 0; i < 60; ++i) {
        ride();
        script_frame(script.ctx, plugin_state);
    }
    measure_frames(bench, script, ride);
}

// ---- the frames that put blips on the map

// Runs frames until the blips are in place again (at least one frame), then,
// when asked, until every marker's side is known and the log's count said; sets
// the counters: the most natives any of those frames called (the whole frame,
// menu included), the frames each took, and the slowest frame's share of
// 16.7 ms in the thread's own time.
void frames_until_at_rest(benchmark::State& bench, StartedScript& script, bool then_counted = true) {
    constexpr int most_frames = 200000;
    std::int64_t most_natives = 0;
    double slowest_s = 0;
    int frames = 0;
    do {
        const std::int64_t calls_before = bench::native_calls;
        const double t0 = thread_seconds();
        script_frame(script.ctx, plugin_state);
        slowest_s = std::max(slowest_s, thread_seconds() - t0);
        most_natives = std::max(most_natives, bench::native_calls - calls_before);
        ++frames;
    } while (!blips_at_rest() && frames < most_frames);
    if (!blips_at_rest()) bench.SkipWithError("the blips did not come to rest");
    // Then, a few sides a frame, until the log's count is true.
    int counting = 0;
    while (then_counted && !blips_counted() && counting < most_frames) {
        const std::int64_t calls_before = bench::native_calls;
        const double t0 = thread_seconds();
        script_frame(script.ctx, plugin_state);
        slowest_s = std::max(slowest_s, thread_seconds() - t0);
        most_natives = std::max(most_natives, bench::native_calls - calls_before);
        ++counting;
    }
    bench.counters["frames_until_counted"] = frames + counting;
    bench.counters["most_natives_in_a_frame"] = static_cast<double>(most_natives);
    bench.counters["frames_until_at_rest"] = frames;
    bench.counters["slowest_percent_of_frame"] = slowest_s / frame_budget_s * 100.0;
    std::int64_t with_blip = 0;
    for (const Marker& m : plugin_state.markers) with_blip += m.blip != 0;
    bench.counters["blips"] = static_cast<double>(with_blip);
}

// The menu for an episode: closed (0), or the full menu open, nearest first (1).
void open_menu_if_asked(benchmark::State& bench, StartedScript& script) {
    if (bench.range(1) == 0) {
        bench::host_answers.map_prompts_shown = false;
        return;
    }
    set_menu_state(script.ctx, plugin_state, MENU_FULL);
    plugin_state.list_page.sort_mode = sort_mode_proximity;
    update_marker_list_cache(script.ctx, plugin_state, true);
}

// A corner of the markers' area (3 km x 3 km, about one marker in 22) is Guarma.
void guarma_in_a_corner() {
    const float corner[4] = {4000, -7000, 7000, -4000};
    std::copy(std::begin(corner), std::end(corner), bench::host_answers.guarma);
}

// The script's first frames: from no blip to the nearest 500 on the map.
void BM_BlipsFirstStart(benchmark::State& bench) {
    for (auto _ : bench) {
        StartedScript script(static_cast<std::size_t>(bench.range(0)));
        guarma_in_a_corner();
        open_menu_if_asked(bench, script);
        frames_until_at_rest(bench, script);
    }
}

// A fast travel of 7 km: the blips there go, the nearest 500 here come.
void BM_BlipsTeleport(benchmark::State& bench) {
    for (auto _ : bench) {
        StartedScript script(static_cast<std::size_t>(bench.range(0)));
        guarma_in_a_corner();
        open_menu_if_asked(bench, script);
        frames_until_at_rest(bench, script, false);  // at once: sides not asked yet stay unknown
        bench::host_answers.player[0] = 5000;
        bench::host_answers.player[1] = 5000;
        frames_until_at_rest(bench, script);
    }
}

// From the mainland into Guarma: the mainland's blips go, Guarma's come, and
// the side of the divide of every marker nearer than Guarma's 500th is asked.
void BM_BlipsGuarmaCrossing(benchmark::State& bench) {
    for (auto _ : bench) {
        StartedScript script(static_cast<std::size_t>(bench.range(0)));
        guarma_in_a_corner();
        open_menu_if_asked(bench, script);
        frames_until_at_rest(bench, script, false);  // at once: sides not asked yet stay unknown
        bench::host_answers.player[0] = 5500;
        bench::host_answers.player[1] = -5500;
        frames_until_at_rest(bench, script);
    }
}

}  // namespace

BENCHMARK(BM_ScriptFrameFullMenuByProximity)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListPageFrameWithASearch)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
// Markers, then 0: a third unnamed, 1: all unnamed in places without a name.
BENCHMARK(BM_SearchFrameByFrame)->ArgsProduct({{1000, 10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptFrameTryingAFailedSaveAgain)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScriptFrameMenuClosed)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScriptFrameMovingPlayer)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Markers, then the menu: 0 closed, 1 the full menu open.
#define QF_BLIP_EPISODES(name) \
    BENCHMARK(name)->ArgsProduct({{1000, 10000, 100000}, {0, 1}})->Iterations(1)->Unit(benchmark::kMillisecond)
QF_BLIP_EPISODES(BM_BlipsFirstStart);
QF_BLIP_EPISODES(BM_BlipsTeleport);
QF_BLIP_EPISODES(BM_BlipsGuarmaCrossing);

BENCHMARK_MAIN();
