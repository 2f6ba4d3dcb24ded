// libFuzzer target for the GeoJSON packs' reader (load_geojson_text): any
// bytes are loaded as a pack of Quillfen/import/.
//
// - A text that does not load says why, and a syntax error where
//   (LINE:COLUMN); it leaves no markers.
// - A text that loads accounts for every feature of its list (the last
//   "features", counted here with the JSON5 reader): each is a marker or is
//   left out, told once, in order, with its number and a place inside the
//   text. Each marker can be one: a finite position, a category of 0 to 9,
//   texts that are none or not empty (the file's pack is given to half the
//   inputs).
// - What loads is exported as `quillfen-markers export --format geojson`
//   writes it and loaded again, under another file's pack: nothing is left
//   out, and every record comes back the same (positions bit for bit, times to
//   the nanosecond, a marker without a pack without one).
// - Every block comes back to the heap, also when memory runs out part-way
//   (a second load, the point chosen from the input).
//
// Arithmetic that overflows stops the run (UndefinedBehaviorSanitizer).
//
//   scripts/fuzz geojson [seconds]
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "src/file_formats/marker_geojson.h"
#include "src/json5/json5_reader.h"
#include "tests/fuzz/fuzz_heap.h"
#include "tools/marker_export.h"

namespace {

using fuzz::check;
using fuzz::Heap;

// The number of features the text lists, as a reader of its own sees them:
// SIZE_MAX when it is no FeatureCollection's list.
std::size_t features_listed(std::string_view text) {
    Json5Document doc{};
    Json5Error error{};
    if (!json5_parse(text, heap_allocator(), doc, error)) return SIZE_MAX;
    std::size_t count = SIZE_MAX;
    const Json5Value& root = doc.root;
    for (std::size_t i = 0; i < root.member_count(); ++i) {
        const Json5Member& m = root.members()[i];
        if (std::string_view(m.key, m.key_length) == "features") {
            count = m.value.kind == Json5Kind::array ? m.value.item_count() : SIZE_MAX;
        }
    }
    json5_free(doc, heap_allocator());
    return count;
}

struct LeftOut {
    std::vector<GeojsonLeftOut> lines;
};

void keep_left_out(void* data, const GeojsonLeftOut& left) { static_cast<LeftOut*>(data)->lines.push_back(left); }

bool no_text_or_some(const char* text) { return text == nullptr || text[0] != '\0'; }

bool same_text(const char* a, const char* b) {
    return (a == nullptr) == (b == nullptr) && (a == nullptr || std::strcmp(a, b) == 0);
}

void check_same(const MarkersData& first, const MarkersData& again) {
    check(first.count == again.count, "the export read back has another number of markers");
    for (std::size_t i = 0; i < first.count; ++i) {
        const MarkerDataV1& a = first.records[i];
        const MarkerDataV1& b = again.records[i];
        check(std::memcmp(&a.position, &b.position, sizeof a.position) == 0, "a position changed");
        check(a.category == b.category, "a category changed");
        check(a.timestamp._nsec == b.timestamp._nsec, "a time changed");
        check(a.is_found == b.is_found && (!a.is_found || a.found._nsec == b.found._nsec), "a found mark changed");
        check(same_text(a.name, b.name), "a name changed");
        check(same_text(a.pack, b.pack), "a pack changed");
        check(same_text(a.note, b.note), "a note changed");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string_view file_pack = size % 2 ? "Orchids" : "";
    const std::size_t lines = fuzz::most_lines(text);

    Heap heap;
    MarkersFileRead r{};
    MarkersData first{};
    LeftOut left;
    load_geojson_text(r, text, file_pack, heap.allocator(), first, keep_left_out, &left);
    if (r.outcome == MarkersFileOutcome::read) {
        const std::size_t listed = features_listed(text);
        check(listed != SIZE_MAX, "a text that is no FeatureCollection was loaded");
        check(first.count + left.lines.size() == listed, "a feature is neither a marker nor left out");
        for (std::size_t i = 0; i < left.lines.size(); ++i) {
            const GeojsonLeftOut& l = left.lines[i];
            check(l.feature >= 1 && l.feature <= listed, "a feature left out has a number the list has not");
            check(i == 0 || l.feature > left.lines[i - 1].feature, "features left out out of order, or twice");
            check(l.line >= 1 && l.line <= lines && l.column >= 1, "a feature left out has no place in the text");
            check(l.why && l.why[0] != '\0', "a feature left out without why");
        }
        for (std::size_t i = 0; i < first.count; ++i) {
            const MarkerDataV1& m = first.records[i];
            check(std::isfinite(m.position.x) && std::isfinite(m.position.y) && std::isfinite(m.position.z),
                  "a marker whose position is not finite");
            check(m.category >= 0 && m.category <= 9, "a marker of no category");
            check(no_text_or_some(m.name) && no_text_or_some(m.pack) && no_text_or_some(m.note),
                  "an empty text was kept");
        }

        // Exported, and read back as another file's pack.
        std::vector<std::string> not_exported;
        const std::string exported = export_markers(first, ExportFormat::geojson, not_exported);
        check(not_exported.empty(), "a marker the reader took cannot be exported");
        MarkersFileRead again_read{};
        MarkersData again{};
        LeftOut again_left;
        load_geojson_text(again_read, exported, "Another pack", heap.allocator(), again, keep_left_out, &again_left);
        check(again_read.outcome == MarkersFileOutcome::read, "an export does not load");
        check(again_left.lines.empty(), "a feature of an export was left out");
        check_same(first, again);
        free_markers_data(again, heap.allocator());
    } else {
        check(first.records == nullptr && first.count == 0, "a pack that did not load left markers");
        check(r.why[0] != '\0', "a pack that did not load without why");
        if (r.outcome == MarkersFileOutcome::damaged && r.loaded == DeserializeError::syntax) {
            check(r.why[0] >= '1' && r.why[0] <= '9', "a syntax error without its place");
        } else {
            check(r.outcome == MarkersFileOutcome::damaged || r.outcome == MarkersFileOutcome::out_of_memory,
                  "a pack neither loaded nor failed");
        }
    }
    const std::size_t needed = heap.allocations, loaded = first.count;
    free_markers_data(first, heap.allocator());
    check(heap.live_blocks == 0, "blocks left after loading, exporting and loading again");

    if (needed > 0) {  // again, running out of memory somewhere along the way
        Heap short_heap;
        short_heap.fail_after = fuzz::failure_point(data, size, needed);
        MarkersFileRead partial_read{};
        MarkersData partial{};
        LeftOut partial_left;
        load_geojson_text(partial_read, text, file_pack, short_heap.allocator(), partial, keep_left_out, &partial_left);
        if (partial_read.outcome == MarkersFileOutcome::read) {
            check(r.outcome == MarkersFileOutcome::read && partial.count == loaded,
                  "a pack loaded otherwise with less memory");
        } else if (partial_read.outcome != MarkersFileOutcome::out_of_memory) {
            check(partial_read.outcome == r.outcome, "a pack failed for another reason than memory");
        }
        if (partial_read.outcome != MarkersFileOutcome::read) {
            check(partial.records == nullptr && partial.count == 0, "a pack that ran out of memory left markers");
        }
        free_markers_data(partial, short_heap.allocator());
        check(short_heap.live_blocks == 0, "blocks left after running out of memory");
    }
    return 0;
}
