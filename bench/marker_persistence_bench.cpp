// What the start costs with its backups: set-up's make_backup (read the file,
// load it to check it, write the backup whole, and on the first start of a day
// the day's copy) against the two references measured in the same run: the
// script start's own load of the file, and the plain copy the backup was before.
// Also the start's read of deleted.json of 20,000 deleted markers (an earlier
// version let it grow so), cut to the newest 500, against the load of
// markers.json of 20,000.
//   build/linux/bench/marker_persistence_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/game_folder.h"
#include "bench/markers_corpus.h"
#include "src/file_formats/marker_copies.h"
#include "src/markers/marker_backups.h"
#include "src/markers/marker_persistence.h"
#include "src/markers/marker_undo.h"
#include "src/platform/platform.h"

namespace {

namespace fs = std::filesystem;

// A game folder with Quillfen/markers.json of `count` markers, a backup and
// today's copy, as after an earlier start of the day.
struct GameFolder : bench::GameFolder {
    explicit GameFolder(std::size_t count) : bench::GameFolder(bench::corpus(count).text) {
        RunContext ctx = context();
        make_backup(ctx);
    }
    static std::string todays_copy() {
        char name[128];
        TextBuilder b = text_builder(name, sizeof name);
        text_append(b, daily_copies_directory);
        text_append_char(b, '/');
        append_daily_copy_name(b, utc_date_number(platform_now_ns()));
        return name;
    }
};

void set_bytes(benchmark::State& state, std::size_t count) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bench::corpus(count).text.size()));
}

// A later start of the day: the backup is written, the day's copy is there.
void BM_StartBackup(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    GameFolder folder(count);
    RunContext ctx = GameFolder::context();
    for (auto _ : state) make_backup(ctx);
    set_bytes(state, count);
}

// The first start of a day: the day's copy is written too.
void BM_StartBackupFirstOfDay(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    GameFolder folder(count);
    RunContext ctx = GameFolder::context();
    const std::string today = GameFolder::todays_copy();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(today);
        state.ResumeTiming();
        make_backup(ctx);
    }
    set_bytes(state, count);
}

// Reference: the backup as a plain copy, as it was made before.
void BM_PlainCopy(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    GameFolder folder(count);
    for (auto _ : state) fs::copy_file(markers_path, markers_backup_path, fs::copy_options::overwrite_existing);
    set_bytes(state, count);
}

// Reference: the script start's load of the same file.
void BM_StartLoad(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    GameFolder folder(count);
    RunContext ctx = GameFolder::context();
    PluginState& loaded = *new PluginState{};
    for (auto _ : state) {
        load_data_from_disk(ctx, loaded);
        state.PauseTiming();
        for (Marker& m : loaded.markers) free_marker_texts(ctx.general, m.data);
        loaded.markers.length = 0;
        state.ResumeTiming();
    }
    array_free(loaded.markers);
    delete &loaded;
    set_bytes(state, count);
}

// The deletes of earlier runs, read at a script start from a deleted.json of
// the corpus's markers, each deleted a second after the one before.
void BM_StartDeletedFile(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    GameFolder folder(count);
    const bench::Corpus& corpus = bench::corpus(count);
    std::vector<std::int64_t> deleted_ns(count);
    for (std::size_t i = 0; i < count; ++i)
        deleted_ns[i] = 1765267200000000000 + static_cast<std::int64_t>(i) * 1000000000;
    MarkersText text{};
    serialize_markers(corpus.records.data(), count, heap_allocator(), text, deleted_ns.data());
    std::ofstream(deleted_path, std::ios::binary).write(text.data, static_cast<std::streamsize>(text.length));
    free_markers_text(text, heap_allocator());
    RunContext ctx = GameFolder::context();
    PluginState& loaded = *new PluginState{};
    for (auto _ : state) {
        load_deleted_markers(ctx, loaded);
        state.PauseTiming();
        undo_at_release(ctx, loaded);
        loaded.undo = MarkerUndo{};
        state.ResumeTiming();
    }
    delete &loaded;
}

}  // namespace

BENCHMARK(BM_StartLoad)->Arg(10000)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartDeletedFile)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCopy)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartBackup)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartBackupFirstOfDay)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
