// libFuzzer target for the markers file: any bytes are loaded as a
// markers file; a reason it does not load must say where, and its warnings
// (what the game would drop or change) each carry their place; what loads is
// written, loaded again and written again. The two
// lists must be equal and the two texts byte for byte the same, and every
// block must be back with the heap. The load and the warnings run a second
// time with a heap that fails part-way (the point chosen from the input).
//
// The warnings' checker takes any text, loaded or not: it gets the input as it
// is and the input standing where the list of markers goes, {"markers": INPUT}
// (a list that is an object, a marker that is not one: the shapes a file that
// loads never has, which mutations of whole files seldom make), each with a
// dictionary of the file's keys and shapes (tests/fuzz/markers.dict).
//
// Equal means: the same count, categories, time stamps and names, and the same
// coordinates bit for bit (NaN as NaN), except a coordinate smaller than 0.125
// in size, where eight decimals cannot tell every float from its neighbours:
// it must come back as exactly the float its eight-decimal text reads as.
//
//   scripts/fuzz markers [seconds]
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "src/file_formats/marker_file.h"
#include "src/file_formats/marker_file_warnings.h"
#include "src/json5/json5_reader.h"
#include "tests/fuzz/fuzz_heap.h"
#include "tests/fuzz/same_coordinate.h"

namespace {

using fuzz::check;
using fuzz::Heap;
using fuzz::same_coordinate;

void check_same(const MarkersData& first, const MarkersData& again) {
    check(first.count == again.count, "the list read back has another length");
    for (std::size_t i = 0; i < first.count; ++i) {
        const MarkerDataV1& a = first.records[i];
        const MarkerDataV1& b = again.records[i];
        check(same_coordinate(a.position.x, b.position.x) && same_coordinate(a.position.y, b.position.y) &&
                  same_coordinate(a.position.z, b.position.z),
              "a coordinate changed");
        check(a.category == b.category, "a category changed");
        check(a.timestamp._nsec == b.timestamp._nsec, "a time stamp changed");
        check((a.name == nullptr) == (b.name == nullptr), "a name came or went");
        check(a.name == nullptr || std::strcmp(a.name, b.name) == 0, "a name changed");
        check(a.name == nullptr || a.name[0] != '\0', "an empty name was kept as a name");
    }
}

// The warnings of `text`: one placed line for each counted, and a count
// unless the text does not parse (or memory ran out, with `may_run_out`).
// Returns the count (SIZE_MAX for none); `allocations` gets what they took.
std::size_t check_warnings(std::string_view text, Heap& heap, bool may_run_out, std::size_t* allocations = nullptr) {
    struct Lines {
        std::size_t count;
        bool placed;
    } lines{0, true};
    const std::size_t before = heap.allocations;
    const std::size_t warnings = list_markers_warnings(
        text, heap.allocator(),
        [](void* d, const char* line) {
            auto& l = *static_cast<Lines*>(d);
            ++l.count;
            unsigned long row = 0, column = 0;
            char* end = nullptr;
            row = std::strtoul(line, &end, 10);
            if (*end == ':') column = std::strtoul(end + 1, &end, 10);
            l.placed = l.placed && row >= 1 && column >= 1 && end[0] == ':' && end[1] == ' ';
        },
        &lines);
    check(lines.placed, "a warning without its place");
    if (warnings != SIZE_MAX) {
        check(warnings == lines.count, "a count of warnings that is not the lines'");
    } else if (!may_run_out) {
        Json5Document doc{};
        Json5Error error{};
        check(!json5_parse(text, heap.allocator(), doc, error), "no warnings of a text that parses");
    }
    if (allocations) *allocations = heap.allocations - before;
    return warnings;
}

void check_loaded_storage(const MarkersData& d) {
    check(d.count <= d.capacity, "more records than room");
    check((d.records != nullptr) == (d.capacity > 0), "records and room disagree");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Heap heap;
    MarkersData first{};
    DeserializeDetail detail{};
    const DeserializeError loaded = deserialize_markers(text, heap.allocator(), first, &detail);
    // Every reason says where, and a value of the wrong kind says what it is.
    if (loaded == DeserializeError::syntax || loaded == DeserializeError::wrong_kind) {
        check(detail.line >= 1 && detail.column >= 1, "a reason without its place");
        check(detail.must_be != nullptr, "a reason without its text");
        check(loaded == DeserializeError::syntax || detail.found != nullptr, "a wrong kind without what it is");
        char why[256];
        TextBuilder b = text_builder(why, sizeof why);
        describe_load_failure(b, loaded, detail);
        check(why[0] >= '1' && why[0] <= '9' && std::strchr(why, ':') != nullptr, "a reason that starts elsewhere");
    }
    // What the game would drop or change, each line placed: of any text, and
    // of the text in the place of the list.
    std::size_t checked = 0;
    check((check_warnings(text, heap, false, &checked) == SIZE_MAX) == (loaded == DeserializeError::syntax),
          "warnings of a text that does not parse, or none of one that does");
    std::string as_list = "{\"markers\": ";
    as_list.append(text);
    as_list += '}';
    check_warnings(as_list, heap, false);
    if (loaded == DeserializeError::none) {
        check_loaded_storage(first);
        MarkersText written{};
        check(serialize_markers(first.records, first.count, heap.allocator(), written) == SerializeError::none,
              "a loaded list could not be written");
        check(written.data[written.length] == '\0', "written text not zero-terminated");
        MarkersData again{};
        check(deserialize_markers(std::string_view(written.data, written.length), heap.allocator(), again) ==
                  DeserializeError::none,
              "the writer wrote a file the reader rejects");
        check_loaded_storage(again);
        check_same(first, again);
        MarkersText rewritten{};
        check(serialize_markers(again.records, again.count, heap.allocator(), rewritten) == SerializeError::none,
              "the list read back could not be written");
        check(rewritten.length == written.length && std::memcmp(rewritten.data, written.data, written.length) == 0,
              "the second write differs from the first");
        free_markers_text(rewritten, heap.allocator());
        free_markers_data(again, heap.allocator());
        free_markers_text(written, heap.allocator());
    } else {
        check(first.records == nullptr && first.count == 0, "a failed load left records");
    }
    const std::size_t needed = heap.allocations;
    free_markers_data(first, heap.allocator());
    check(heap.live_blocks == 0, "blocks left after loading, writing and freeing");

    // Again, running out of memory somewhere along the way.
    if (needed > 0) {
        Heap short_heap;
        short_heap.fail_after = fuzz::failure_point(data, size, needed);
        MarkersData partial{};
        const DeserializeError e = deserialize_markers(text, short_heap.allocator(), partial);
        if (e == DeserializeError::none) {
            // The point fell among the writes' allocations: the load itself had enough.
            check(loaded == DeserializeError::none, "a load succeeded with less memory that failed with more");
        } else if (loaded == DeserializeError::none) {
            check(e == DeserializeError::out_of_memory, "a file that loads failed for another reason than memory");
        } else {
            // A fault may be found before the allocation that fails.
            check(e == DeserializeError::out_of_memory || e == loaded, "a file failed for another reason");
        }
        free_markers_data(partial, short_heap.allocator());
        check(short_heap.live_blocks == 0, "blocks left after running out of memory");
    }
    if (checked > 0) {  // the warnings too, running out somewhere along the way
        Heap short_heap;
        short_heap.fail_after = fuzz::failure_point(data, size, checked);
        check_warnings(text, short_heap, true);
        check(short_heap.live_blocks == 0, "blocks left after the warnings ran out of memory");
    }
    return 0;
}
