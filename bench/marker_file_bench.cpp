// Saving and loading the markers file, against RapidJSON writing and parsing
// the same markers as pretty JSON, measured in the same run.
//   build/linux/bench/marker_file_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <string>

#include "bench/markers_corpus.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/marker_file_warnings.h"

namespace {

using bench::corpus;
using bench::Corpus;

// Counts what a load takes from the allocator at its peak.
struct Counting {
    std::size_t live = 0, peak = 0;
};
Allocator counting_allocator(Counting& c) {
    return Allocator{[](void* d, std::size_t size, std::size_t, const std::source_location&) -> void* {
                         auto& k = *static_cast<Counting*>(d);
                         k.live += size;
                         if (k.live > k.peak) k.peak = k.live;
                         return ::operator new(size, std::nothrow);
                     },
                     [](void* d, void* p, std::size_t size) {
                         static_cast<Counting*>(d)->live -= size;
                         ::operator delete(p);
                     },
                     &c};
}

void BM_QuillfenSave(benchmark::State& state) {
    const Corpus& c = corpus(static_cast<std::size_t>(state.range(0)));
    const Allocator heap = heap_allocator();
    for (auto _ : state) {
        MarkersText t{};
        serialize_markers(c.records.data(), c.records.size(), heap, t);
        benchmark::DoNotOptimize(t.data);
        free_markers_text(t, heap);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.text.size()));
}

void BM_QuillfenLoad(benchmark::State& state) {
    const Corpus& c = corpus(static_cast<std::size_t>(state.range(0)));
    Counting counting;
    const Allocator a = counting_allocator(counting);
    for (auto _ : state) {
        MarkersData d{};
        if (deserialize_markers(c.text, a, d) != DeserializeError::none) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(d.records);
        free_markers_data(d, a);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.text.size()));
    state.counters["peak_memory_per_file_byte"] =
        static_cast<double>(counting.peak) / static_cast<double>(c.text.size());
}

// What quillfen-markers check does beyond the load: its lines of what the
// game would drop or change (a parse and one walk of the text). The reference
// is BM_QuillfenLoad on the same file.
void check(benchmark::State& state, const std::string& text) {
    const Allocator heap = heap_allocator();
    std::size_t lines = 0;
    for (auto _ : state) {
        MarkersData d{};
        if (deserialize_markers(text, heap, d) != DeserializeError::none) state.SkipWithError("load failed");
        free_markers_data(d, heap);
        lines = list_markers_warnings(
            text, heap, [](void*, const char*) {}, nullptr);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["warnings"] = static_cast<double>(lines);
}

void BM_QuillfenCheck(benchmark::State& state) { check(state, corpus(static_cast<std::size_t>(state.range(0))).text); }

// Every marker with a misspelt key: two lines each (the key, and the field it lacks).
void BM_QuillfenCheckEveryMarkerWarned(benchmark::State& state) {
    std::string text = corpus(static_cast<std::size_t>(state.range(0))).text;
    for (std::size_t at = 0; (at = text.find("\"category\"", at)) != std::string::npos; at += 10) {
        text.replace(at, 10, "\"categroy\"");
    }
    check(state, text);
}

// One marker whose "name" is given N times (a 1.3 MB file at 100,000): every
// repeat is a line. Linear in the file's size: ten times the repeats, ten
// times the time (the scan per key before took a hundred times, 21 s at
// 100,000).
void BM_QuillfenCheckRepeatedKey(benchmark::State& state) {
    std::string text = R"({"markers": [{"position": [1, 2, 3], "category": 1, "timestamp": {"_nsec": 0})";
    for (std::int64_t i = 0; i < state.range(0); ++i) text += ", \"name\": \"x\"";
    text += "}]}";
    check(state, text);
    state.counters["time_per_repeat"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RapidJsonWritePretty(benchmark::State& state) {
    const Corpus& c = corpus(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::PrettyWriter<rapidjson::StringBuffer> w(buffer);
        w.SetIndent(' ', 4);
        w.StartObject();
        w.Key("markers");
        w.StartArray();
        for (const MarkerDataV1& m : c.records) {
            w.StartObject();
            w.Key("position");
            w.StartArray();
            w.Double(m.position.x);
            w.Double(m.position.y);
            w.Double(m.position.z);
            w.EndArray();
            w.Key("category");
            w.Int64(m.category);
            if (m.name) {
                w.Key("name");
                w.String(m.name);
            }
            w.Key("timestamp");
            w.StartObject();
            w.Key("_nsec");
            w.Int64(m.timestamp._nsec);
            w.EndObject();
            w.EndObject();
        }
        w.EndArray();
        w.EndObject();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.text.size()));
}

void BM_RapidJsonParseDom(benchmark::State& state) {
    const Corpus& c = corpus(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(c.text.data(), c.text.size());
        if (d.HasParseError()) state.SkipWithError("rapidjson failed");
        benchmark::DoNotOptimize(d.IsObject());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.text.size()));
}

}  // namespace

BENCHMARK(BM_QuillfenSave)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RapidJsonWritePretty)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuillfenLoad)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RapidJsonParseDom)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuillfenCheck)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuillfenCheckEveryMarkerWarned)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuillfenCheckRepeatedKey)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
