// libFuzzer target for what a start does with names and packs it did not make:
//
// - The first line of the input is a name as it may stand in backups/: it is a
//   daily copy exactly when it reads "markers-YYYYMMDD.json" with a date of
//   the calendar (checked against a conversion of its own: the date through a
//   day count and back), and then the date's name is the name itself.
// - The rest is a marker pack, Quillfen/import/pack.json, imported by the
//   plug-in's own merge_pack (its file read served from the input). The list
//   already there is the pack's first half, so the whole pack is offered over
//   it under the 1-unit rule; the markers it adds must be exactly those the
//   pairwise loop adds (not finite: left out; within 1 unit of one kept: too
//   close), in order and unchanged, new and without a blip, with the log line
//   that counts them. Offered again, the pack adds nothing: a pack left in
//   import/ never doubles a marker. Every block must be back with the heap,
//   also when memory runs out part-way, and what was added then is the start
//   of what the loop adds.
//
//   scripts/fuzz packs [seconds]
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "src/base/calendar.h"
#include "src/file_formats/marker_copies.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/marker_spacing.h"
#include "tests/fuzz/fuzz_heap.h"

// The plug-in's import of one pack (merge_pack and the Pack it takes) lives in
// its source file, not behind a header: compiled into this target as it is.
#include "src/markers/marker_packs.cpp"

// The pack's bytes, served as the file at pack_path by the stand-in for the
// platform's read (the target is linked with --wrap=platform_read_file).
static std::string_view served_pack;
static char pack_path[] = "Quillfen/import/pack.json";

extern "C" PlatformError __real_platform_read_file(const char* path, const Allocator& allocator, char** data,
                                                   std::size_t* size);
extern "C" PlatformError __wrap_platform_read_file(const char* path, const Allocator& allocator, char** data,
                                                   std::size_t* size) {
    if (std::strcmp(path, pack_path) != 0) return __real_platform_read_file(path, allocator, data, size);
    *data = static_cast<char*>(allocate_bytes(allocator, served_pack.size() + 1, 1));
    *size = 0;
    if (!*data) return PlatformError{ENOMEM};
    std::memcpy(*data, served_pack.data(), served_pack.size());
    (*data)[served_pack.size()] = '\0';
    *size = served_pack.size();
    return PlatformError{0};
}

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

bool same_record(const MarkerDataV1& a, const MarkerDataV1& b) {
    return std::memcmp(&a.position, &b.position, sizeof a.position) == 0 && a.category == b.category &&
           a.timestamp._nsec == b.timestamp._nsec && (a.name == nullptr) == (b.name == nullptr) &&
           (a.name == nullptr || std::strcmp(a.name, b.name) == 0);
}

struct Log {
    std::string lines;
};

void keep_line(void* data, LogLevel, std::string_view message, std::uint32_t) {
    auto& log = *static_cast<Log*>(data);
    log.lines.append(message);
    log.lines += '\n';
}

// What the import of `pack` (as loaded here) must add over a list of its
// first `there` markers: the pairwise loop's verdicts.
struct Expected {
    std::vector<std::size_t> added;  // indices into the pack
    std::size_t not_finite;
};

Expected expected_import(const MarkersData& pack, std::size_t there) {
    Expected e{{}, 0};
    std::vector<Position> kept;
    for (std::size_t i = 0; i < there; ++i) {
        if (finite(pack.records[i].position)) kept.push_back(pack.records[i].position);
    }
    for (std::size_t i = 0; i < pack.count; ++i) {
        const Position p = pack.records[i].position;
        if (!finite(p)) {
            ++e.not_finite;
        } else if (!too_close_pairwise(kept, p)) {
            e.added.push_back(i);
            kept.push_back(p);
        }
    }
    return e;
}

// merge_pack over a list made of the pack's first half, twice; with a heap
// that runs out, only what must hold whatever the point.
void import_pack(const MarkersData& pack, Heap& heap, bool may_run_out) {
    const std::size_t there = pack.count / 2;
    Log log;
    RunContext ctx{heap.allocator(), heap.allocator(), Logger{keep_line, &log, LogLevel::info, 0}};
    PluginState state{};
    SpacingGrid grid{};
    bool made = array_reserve(state.markers, ctx.general, there);
    for (std::size_t i = 0; i < there && made; ++i) {
        MarkerDataV1 record = pack.records[i];
        record.name = nullptr;  // the texts of the list there play no part
        record.pack = nullptr;
        record.note = nullptr;
        array_append(state.markers, ctx.general, Marker{record, 0, false, GuarmaSide::unknown});
        made = spacing_grid_add(grid, ctx.general, record.position);
    }
    check(made || may_run_out, "the list there could not be made with memory to spare");
    if (made) {
        const Expected expected = expected_import(pack, there);
        Pack file{pack_path, sizeof pack_path, false};
        for (int round = 0; round < 2; ++round) {
            state.blip_choice.up_to_date = true;
            const std::size_t before = state.markers.length;
            std::size_t added = SIZE_MAX;
            log.lines.clear();
            const bool whole = merge_pack(ctx, state, grid, file, &added);
            check(whole || may_run_out, "a pack that loads was not gone through with memory to spare");
            check(added == state.markers.length - before, "the count of markers added is not the list's growth");
            const std::size_t wanted = round == 0 ? expected.added.size() : 0;
            check(whole ? added == wanted : added <= wanted,
                  round == 0 ? "the import added other markers than the pairwise loop"
                             : "a pack offered again added "
                               "a marker");
            for (std::size_t k = 0; k < added; ++k) {
                const Marker& m = state.markers[before + k];
                check(same_record(m.data, pack.records[expected.added[k]]),
                      "an added marker is not the pack's marker the pairwise loop adds there");
                check(m.is_new && m.blip == 0, "an added marker is not new, or has a blip");
            }
            check(added == 0 || !state.blip_choice.up_to_date, "markers were added without the blips hearing of it");
            if (!whole) break;
            char line[160];
            std::snprintf(line, sizeof line, "Imported %zu of %zu %s from %s\n", added, pack.count,
                          pack.count == 1 ? "marker" : "markers", pack_path);
            check(log.lines.rfind(line, 0) == 0, "the import's line does not count what it did");
            check((log.lines.find("Left out ") != std::string::npos) == (expected.not_finite > 0),
                  "markers left out without a line, or a line without them");
        }
    }
    for (Marker& m : state.markers) free_marker_texts(ctx.general, m.data);
    array_free(state.markers);
    array_free(state.list_page.rows);
    spacing_grid_free(grid);
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

    served_pack = text;
    Heap heap;
    MarkersData pack{};
    if (deserialize_markers(text, heap.allocator(), pack) == DeserializeError::none) {
        import_pack(pack, heap, false);
    }
    const std::size_t needed = heap.allocations;
    free_markers_data(pack, heap.allocator());
    check(heap.live_blocks == 0, "blocks left after an import");

    if (needed > 0) {  // again, running out of memory somewhere along the way
        Heap short_heap;
        short_heap.fail_after = fuzz::failure_point(data, size, needed);
        MarkersData partial{};
        if (deserialize_markers(text, short_heap.allocator(), partial) == DeserializeError::none) {
            import_pack(partial, short_heap, true);
        }
        free_markers_data(partial, short_heap.allocator());
        check(short_heap.live_blocks == 0, "blocks left after running out of memory in an import");
    }
    return 0;
}
