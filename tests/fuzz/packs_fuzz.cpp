// libFuzzer target for what a start does with names and packs it did not make:
//
// - The first line of the input is a name as it may stand in backups/: it is a
//   daily copy exactly when it reads "markers-YYYYMMDD.json" with a date of
//   the calendar (checked against a conversion of its own: the date through a
//   day count and back), and then the date's name is the name itself.
// - The rest is a marker pack, loaded as a markers file. Its first half is
//   taken as the list already there, its second half is offered under the
//   1-unit rule as the import does; every verdict must be the pairwise loop's
//   (added, too close, not finite). Offered again, the pack adds nothing: a
//   pack left in import/ never doubles a marker. Every block must be back with
//   the heap, also when memory runs out part-way.
//
//   scripts/fuzz packs [seconds]
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "src/base/calendar.h"
#include "src/markers_file/marker_copies.h"
#include "src/markers_file/marker_file.h"
#include "src/markers_file/marker_spacing.h"
#include "tests/fuzz/fuzz_heap.h"

namespace {

using fuzz::check;
using fuzz::Heap;

// Days since 1970-01-01 to year, month and day (Howard Hinnant's civil_from_days,
// written here apart from the plug-in's calendar).
void civil_from_days(std::int64_t z, std::int64_t& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

void check_daily_copy_name(const std::string& name) {
    const std::uint32_t date = daily_copy_date(name.c_str());
    const bool shaped = name.size() == 21 && name.compare(0, 8, "markers-") == 0 && name.compare(16, 5, ".json") == 0 &&
                        name.find_first_not_of("0123456789", 8) == 16;
    if (!shaped) {
        check(date == 0, "a name not of the daily form was taken for a daily copy");
        return;
    }
    const std::int64_t year = std::stoll(name.substr(8, 4));
    const int month = std::stoi(name.substr(12, 2)), day = std::stoi(name.substr(14, 2));
    bool real = year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
    if (real) {
        std::int64_t y = 0;
        int m = 0, d = 0;
        civil_from_days(days_from_civil(year, month, day), y, m, d);
        real = y == year && m == month && d == day;
    }
    check(date == (real ? static_cast<std::uint32_t>(year * 10000 + month * 100 + day) : 0u),
          real ? "a real date was not taken for a daily copy" : "a date that is no date was taken for a daily copy");
    if (date != 0) {
        char again[32];
        TextBuilder b = text_builder(again, sizeof again);
        append_daily_copy_name(b, date);
        check(text_view(b) == name, "the date's name is not the name it was read from");
    }
}

bool finite(const Position& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

bool too_close_pairwise(const std::vector<Position>& kept, const Position& p) {
    for (const Position& k : kept) {
        if (distance_squared(k, p) < minimum_spacing_squared) return true;
    }
    return false;
}

// The import of `pack` into a list made of its first half. False when memory
// ran out (then nothing is checked further).
bool import_pack(const MarkersData& pack, const Allocator& allocator) {
    const std::size_t there = pack.count / 2;
    SpacingGrid grid{};
    std::vector<Position> kept;
    bool memory = true;
    for (std::size_t i = 0; i < there && memory; ++i) {
        memory = spacing_grid_add(grid, allocator, pack.records[i].position);
        if (memory && finite(pack.records[i].position)) kept.push_back(pack.records[i].position);
    }
    for (int round = 0; round < 2 && memory; ++round) {  // the pack's second half, then again
        for (std::size_t i = there; i < pack.count && memory; ++i) {
            const Position p = pack.records[i].position;
            const PackMarkerVerdict v = admit_pack_marker(grid, allocator, p);
            if (v == PackMarkerVerdict::out_of_memory) {
                memory = false;
                break;
            }
            if (!finite(p)) {
                check(v == PackMarkerVerdict::not_finite, "a position not finite was not refused as such");
            } else if (too_close_pairwise(kept, p)) {
                check(v == PackMarkerVerdict::too_close, "a marker within 1 unit of another was added");
            } else {
                check(round == 0, "a pack offered again added a marker");
                check(v == PackMarkerVerdict::added, "a marker 1 unit or more from every other was refused");
                kept.push_back(p);
            }
        }
    }
    spacing_grid_free(grid);
    return memory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t line = input.find('\n');
    // A name from a folder ends at its first zero.
    const std::string_view name_line = input.substr(0, line);
    check_daily_copy_name(std::string(name_line.substr(0, name_line.find('\0'))));
    if (line == std::string_view::npos) return 0;
    const std::string_view text = input.substr(line + 1);

    Heap heap;
    MarkersData pack{};
    if (deserialize_markers(text, heap.allocator(), pack) == DeserializeError::none) {
        check(import_pack(pack, heap.allocator()), "the import ran out of memory with memory to spare");
    }
    const std::size_t needed = heap.allocations;
    free_markers_data(pack, heap.allocator());
    check(heap.live_blocks == 0, "blocks left after an import");

    if (needed > 0) {  // again, running out of memory somewhere along the way
        Heap short_heap;
        short_heap.fail_after = fuzz::failure_point(data, size, needed);
        MarkersData partial{};
        if (deserialize_markers(text, short_heap.allocator(), partial) == DeserializeError::none) {
            (void)import_pack(partial, short_heap.allocator());
        }
        free_markers_data(partial, short_heap.allocator());
        check(short_heap.live_blocks == 0, "blocks left after running out of memory in an import");
    }
    return 0;
}
