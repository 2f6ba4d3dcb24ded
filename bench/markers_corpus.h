// The markers the benchmarks work on: random positions, ten categories, two
// in three named ("Valentine, New Hanover (Waypoint) N"), and the file the
// plug-in writes for them. Made once per count.
#pragma once

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "src/file_formats/marker_file.h"

namespace bench {

struct Corpus {
    std::vector<MarkerDataV1> records;
    std::vector<std::string> names;
    std::string text;  // as the plug-in writes it
};

inline const Corpus& corpus(std::size_t count) {
    static std::vector<std::pair<std::size_t, Corpus*>> made;
    for (auto& [n, c] : made) {
        if (n == count) return *c;
    }
    auto* c = new Corpus;
    std::mt19937 rng(static_cast<unsigned>(count));
    std::uniform_real_distribution<float> coordinate(-7000, 7000);
    c->names.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        c->names.push_back(i % 3 == 0 ? std::string() : "Valentine, New Hanover (Waypoint) " + std::to_string(i));
        c->records.push_back(MarkerDataV1{{coordinate(rng), coordinate(rng), coordinate(rng) / 20},
                                          static_cast<std::int64_t>(rng() % 10),
                                          c->names.back().empty() ? nullptr : c->names.back().data(),
                                          {1765267200000000000 + static_cast<std::int64_t>(i) * 1000000007}});
    }
    MarkersText t{};
    serialize_markers(c->records.data(), c->records.size(), heap_allocator(), t);
    c->text.assign(t.data, t.length);
    free_markers_text(t, heap_allocator());
    made.emplace_back(count, c);
    return *c;
}

}  // namespace bench
