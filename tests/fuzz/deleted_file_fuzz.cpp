// libFuzzer target for deleted.json's reader (deserialize_deleted_markers,
// which the start's load of Quillfen/deleted.json gives the file's text to):
// any bytes are loaded as a deleted.json.
//
// - A text that does not load says why (describe_load_failure) and, unless
//   memory ran out, where: LINE:COLUMN within the text. It leaves no markers.
// - What loads says when each marker was deleted, is written as the plug-in
//   writes deleted.json, loaded again and written again: every key of each
//   marker comes back (name, category, times, pack, found mark, note, the
//   time of its delete; coordinates as the markers target counts them the
//   same), and the two writes are the same bytes.
// - Every block comes back to the heap, also when memory runs out part-way
//   (a second load, the point chosen from the input).
//
//   scripts/fuzz deleted [seconds]
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "src/file_formats/marker_file.h"
#include "tests/fuzz/fuzz_heap.h"
#include "tests/fuzz/same_coordinate.h"

namespace {

using fuzz::check;
using fuzz::Heap;
using fuzz::same_coordinate;

bool same_text(const char* a, const char* b) {
    return (a == nullptr) == (b == nullptr) && (a == nullptr || std::strcmp(a, b) == 0);
}

void check_same(const MarkersData& first, const MarkersData& again) {
    check(first.count == again.count, "the list read back has another length");
    check(first.count == 0 || (first.deleted_ns && again.deleted_ns), "the times of the deletes were not read");
    for (std::size_t i = 0; i < first.count; ++i) {
        const MarkerDataV1& a = first.records[i];
        const MarkerDataV1& b = again.records[i];
        check(same_coordinate(a.position.x, b.position.x) && same_coordinate(a.position.y, b.position.y) &&
                  same_coordinate(a.position.z, b.position.z),
              "a coordinate changed");
        check(a.category == b.category, "a category changed");
        check(a.timestamp._nsec == b.timestamp._nsec, "a time stamp changed");
        check(a.is_found == b.is_found && (!a.is_found || a.found._nsec == b.found._nsec), "a found mark changed");
        check(same_text(a.name, b.name), "a name changed");
        check(same_text(a.pack, b.pack), "a pack changed");
        check(same_text(a.note, b.note), "a note changed");
        check(first.deleted_ns[i] == again.deleted_ns[i], "the time of a delete changed");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t lines = fuzz::most_lines(text);

    Heap heap;
    MarkersData first{};
    DeserializeDetail detail{};
    const DeserializeError loaded = deserialize_deleted_markers(text, heap.allocator(), first, &detail);
    if (loaded == DeserializeError::none) {
        MarkersText written{};
        if (serialize_markers(first.records, first.count, heap.allocator(), written, first.deleted_ns) ==
            SerializeError::none) {
            MarkersData again{};
            check(deserialize_deleted_markers(std::string_view(written.data, written.length), heap.allocator(),
                                              again) == DeserializeError::none,
                  "a deleted.json as written does not load");
            check_same(first, again);
            MarkersText rewritten{};
            if (serialize_markers(again.records, again.count, heap.allocator(), rewritten, again.deleted_ns) ==
                SerializeError::none) {
                check(rewritten.length == written.length &&
                          std::memcmp(rewritten.data, written.data, written.length) == 0,
                      "the second write differs from the first");
            }
            free_markers_text(rewritten, heap.allocator());
            free_markers_data(again, heap.allocator());
        }
        free_markers_text(written, heap.allocator());
    } else {
        check(first.records == nullptr && first.count == 0 && first.deleted_ns == nullptr,
              "a failed load left records");
        char why[256];
        TextBuilder b = text_builder(why, sizeof why);
        describe_load_failure(b, loaded, detail);
        check(b.length > 0, "a failed load without why");
        if (loaded != DeserializeError::out_of_memory) {
            check(detail.line >= 1 && detail.line <= lines && detail.column >= 1, "a failed load without its place");
        }
    }
    const std::size_t needed = heap.allocations;
    free_markers_data(first, heap.allocator());
    check(heap.live_blocks == 0, "blocks left after loading, writing and freeing");

    if (needed > 0) {  // again, running out of memory somewhere along the way
        Heap short_heap;
        short_heap.fail_after = fuzz::failure_point(data, size, needed);
        MarkersData partial{};
        const DeserializeError e = deserialize_deleted_markers(text, short_heap.allocator(), partial);
        if (e == DeserializeError::none) {
            // The point fell among the writes' allocations: the load itself had enough.
            check(loaded == DeserializeError::none, "a load succeeded with less memory that failed with more");
        } else if (loaded == DeserializeError::none) {
            check(e == DeserializeError::out_of_memory, "a file that loads failed for another reason than memory");
        } else {
            check(e == DeserializeError::out_of_memory || e == loaded, "a file failed for another reason");
        }
        if (e != DeserializeError::none) {
            check(partial.records == nullptr && partial.count == 0 && partial.deleted_ns == nullptr,
                  "a load that ran out of memory left records");
        }
        free_markers_data(partial, short_heap.allocator());
        check(short_heap.live_blocks == 0, "blocks left after running out of memory");
    }
    return 0;
}
