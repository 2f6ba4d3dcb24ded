// What a marker pack costs at a script start: a pack of 10,000 markers
// imported into a list of 10,000 (read, load, the 1-unit rule, the one save of
// the whole list, the move), against the reference measured in the same run:
// the start's load of a file of 20,000 markers. The rule alone is measured
// twice for contrast: with the grid, and with the pairwise loop it replaces.
//   build/linux/bench/marker_packs_bench --benchmark_counters_tabular=true
// The argument is the share of the pack's markers (in %) that lie within 1
// unit of one of the list's, and so stay out.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/game_folder.h"
#include "bench/markers_corpus.h"
#include "src/file_formats/marker_spacing.h"
#include "src/markers/marker_packs.h"
#include "src/markers/marker_persistence.h"
#include "src/markers/markers_on_disk.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t list_size = 10000, pack_size = 10000;

// The pack: `near` % of its markers 0.3 units from one of the list's, the rest
// at random places of their own.
struct Pack {
    std::vector<MarkerDataV1> records;
    std::vector<std::string> names;
    std::string text;
};

const Pack& pack(int near) {
    static std::vector<std::pair<int, Pack*>> made;
    for (auto& [n, p] : made) {
        if (n == near) return *p;
    }
    auto* p = new Pack;
    const bench::Corpus& list = bench::corpus(list_size);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coordinate(-7000, 7000);
    p->names.reserve(pack_size);
    for (std::size_t i = 0; i < pack_size; ++i) {
        Position at{coordinate(rng), coordinate(rng), coordinate(rng) / 20};
        if (static_cast<int>(i % 100) < near) {
            at = list.records[i].position;
            at.x += 0.3f;
        }
        p->names.push_back(i % 2 ? "A friend's camp " + std::to_string(i) : std::string());
        p->records.push_back(MarkerDataV1{at,
                                          static_cast<std::int64_t>(i % 10),
                                          p->names.back().empty() ? nullptr : p->names.back().data(),
                                          {1700000000000000000 + static_cast<std::int64_t>(i)}});
    }
    MarkersText t{};
    serialize_markers(p->records.data(), p->records.size(), heap_allocator(), t);
    p->text.assign(t.data, t.length);
    free_markers_text(t, heap_allocator());
    made.emplace_back(near, p);
    return *p;
}

void empty_list(const RunContext& ctx, PluginState& state) {
    for (Marker& m : state.markers) free_marker_texts(ctx.general, m.data);
    state.markers.length = 0;
}

void free_state(const RunContext& ctx, PluginState* state) {
    empty_list(ctx, *state);
    array_free(state->markers);
    array_free(state->list_page.rows);
    delete state;
}

// Reference: the start's load of a file of 20,000 markers.
void BM_StartLoad20000(benchmark::State& state) {
    bench::GameFolder folder(bench::corpus(list_size + pack_size).text);
    RunContext ctx = bench::GameFolder::context();
    auto* plugin = new PluginState{};
    for (auto _ : state) {
        load_data_from_disk(ctx, *plugin);
        state.PauseTiming();
        empty_list(ctx, *plugin);
        state.ResumeTiming();
    }
    free_state(ctx, plugin);
}

// Reference for what the import must do once: the save of the 20,000.
void BM_Save20000(benchmark::State& state) {
    bench::GameFolder folder(bench::corpus(list_size + pack_size).text);
    RunContext ctx = bench::GameFolder::context();
    auto* plugin = new PluginState{};
    load_data_from_disk(ctx, *plugin);
    for (auto _ : state) {
        save_data_to_disk(ctx, *plugin);
        state.PauseTiming();
        scratch_release(thread_scratch_arena());
        state.ResumeTiming();
    }
    free_state(ctx, plugin);
}

// A start with a pack waiting: the load of the 10,000, then the import
// (`with_load` false: the import alone).
void import_start(benchmark::State& state, bool with_load) {
    const int near = static_cast<int>(state.range(0));
    const std::string& list_text = bench::corpus(list_size).text;
    bench::GameFolder folder(list_text);
    fs::create_directories(import_directory);
    RunContext ctx = bench::GameFolder::context();
    auto* plugin = new PluginState{};
    const std::string pack_path = std::string(import_directory) + "/pack.json";
    std::size_t saved = 0;
    for (auto _ : state) {
        state.PauseTiming();
        empty_list(ctx, *plugin);
        std::ofstream(markers_path, std::ios::binary) << list_text;
        std::ofstream(pack_path, std::ios::binary) << pack(near).text;
        fs::remove(std::string(imported_directory) + "/pack.json");
        if (!with_load) load_data_from_disk(ctx, *plugin);
        scratch_release(thread_scratch_arena());
        state.ResumeTiming();
        if (with_load) load_data_from_disk(ctx, *plugin);
        import_marker_packs(ctx, *plugin);
        saved = plugin->markers.length;
    }
    if (fs::exists(pack_path)) state.SkipWithError("the pack was not imported");
    state.counters["markers after"] = static_cast<double>(saved);
    free_state(ctx, plugin);
}

void BM_StartLoad10000AndImport10000(benchmark::State& state) { import_start(state, true); }
void BM_Import10000Into10000(benchmark::State& state) { import_start(state, false); }

// The rule alone, in memory: the grid ...
void BM_RuleWithGrid(benchmark::State& state) {
    const Pack& p = pack(static_cast<int>(state.range(0)));
    const bench::Corpus& list = bench::corpus(list_size);
    std::size_t added = 0;
    for (auto _ : state) {
        SpacingGrid grid{};
        spacing_grid_reserve(grid, heap_allocator(), list_size + pack_size);
        for (const MarkerDataV1& m : list.records) spacing_grid_add(grid, heap_allocator(), m.position);
        added = 0;
        for (const MarkerDataV1& m : p.records)
            added += admit_pack_marker(grid, heap_allocator(), m.position) == PackMarkerVerdict::added;
        spacing_grid_free(grid);
    }
    state.counters["added"] = static_cast<double>(added);
}

// ... and the pairwise loop of try_add_marker for every marker of the pack.
void BM_RulePairwise(benchmark::State& state) {
    const Pack& p = pack(static_cast<int>(state.range(0)));
    const bench::Corpus& list = bench::corpus(list_size);
    std::size_t added = 0;
    for (auto _ : state) {
        std::vector<Position> kept;
        kept.reserve(list_size + pack_size);
        for (const MarkerDataV1& m : list.records) kept.push_back(m.position);
        for (const MarkerDataV1& m : p.records) {
            bool near = false;
            for (const Position& k : kept) {
                if (distance_squared(k, m.position) < minimum_spacing_squared) {
                    near = true;
                    break;
                }
            }
            if (!near) kept.push_back(m.position);
        }
        added = kept.size() - list_size;
    }
    state.counters["added"] = static_cast<double>(added);
}

}  // namespace

BENCHMARK(BM_StartLoad20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartLoad10000AndImport10000)->Arg(0)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Import10000Into10000)->Arg(0)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RuleWithGrid)->Arg(0)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RulePairwise)->Arg(0)->Arg(50)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
