#include "src/markers/marker_packs.h"

#include <algorithm>
#include <cstring>

#include "src/base/text_builder.h"
#include "src/map/blips.h"
#include "src/markers/marker_list.h"
#include "src/markers/marker_persistence.h"
#include "src/markers_file/marker_copies.h"
#include "src/markers_file/marker_file.h"
#include "src/markers_file/marker_spacing.h"

// Sections: the folder · finding the packs · merging one pack · moving a pack ·
// the import.

// ---- the folder ---------------------------------------------------------------------------

void make_import_folder(RunContext& ctx) {
    const PlatformError e = platform_create_directory(import_directory);
    if (e.code != 0 && !platform_error_is_exists(e)) {
        log_format(ctx, LogLevel::error, "Failed to create {}: {}", import_directory, e);
    }
}

// ---- finding the packs ----------------------------------------------------------------------

bool is_pack_name(const char* name) {
    static constexpr char suffix[] = ".json";
    const std::size_t n = std::strlen(name), s = sizeof suffix - 1;
    if (n <= s) return false;  // ".json" alone is a hidden file's name, not a pack's
    for (std::size_t i = 0; i < s; ++i) {
        char c = name[n - s + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

namespace {

// A pack's path, "Quillfen/import/NAME", zero-terminated, from the general allocator.
struct Pack {
    char* path;
    std::size_t size;  // of the block
    bool merged;       // its markers are in the list: it goes once they are saved
};

const char* pack_name(const Pack& pack) { return pack.path + std::strlen(import_directory) + 1; }

struct Finding {
    GrowableArray<Pack>* packs;
    Allocator allocator;
    bool out_of_memory;
};

bool collect_pack(void* data, const char* name) {
    auto& f = *static_cast<Finding*>(data);
    if (!is_pack_name(name)) return true;
    const std::size_t directory = std::strlen(import_directory), length = std::strlen(name);
    const std::size_t size = directory + 1 + length + 1;
    auto* path = static_cast<char*>(allocate_bytes(f.allocator, size, 1));
    if (!path) {
        f.out_of_memory = true;
        return true;
    }
    std::memcpy(path, import_directory, directory);
    path[directory] = '/';
    std::memcpy(path + directory + 1, name, length + 1);
    if (!array_append(*f.packs, f.allocator, Pack{path, size, false})) {
        free_bytes(f.allocator, path, size);
        f.out_of_memory = true;
    }
    return true;
}

void free_packs(const RunContext& ctx, GrowableArray<Pack>& packs) {
    for (Pack& p : packs) free_bytes(ctx.general, p.path, p.size);
    array_free(packs);
}

// ---- merging one pack ----------------------------------------------------------------------

// Reads and loads the pack; adds each of its markers that has no marker within
// 1 unit. True when the whole pack was gone through (its markers are in the
// list, or were near ones already there).
bool merge_pack(RunContext& ctx, PluginState& state, SpacingGrid& grid, const Pack& pack, std::size_t* added) {
    *added = 0;
    MarkersData data{};
    const MarkersFileRead r = read_markers_file(pack.path, ctx.general, data);
    if (r.read.code != 0) {
        log_format(ctx, LogLevel::error, "Failed to read marker pack {}: {}", pack.path, r.read);
        return false;
    }
    if (r.loaded != DeserializeError::none) {
        log_format(ctx, LogLevel::error, "Failed to load marker pack {}: {}", pack.path, r.why);
        return false;
    }

    bool whole = array_reserve(state.markers, ctx.general, state.markers.length + data.count);
    (void)spacing_grid_reserve(grid, ctx.general, data.count);  // without it, the grid grows as it goes
    std::size_t not_finite = 0;
    for (std::size_t i = 0; i < data.count && whole; ++i) {
        MarkerDataV1& record = data.records[i];
        switch (admit_pack_marker(grid, ctx.general, record.position)) {
            case PackMarkerVerdict::added:
                // Shown on the map as new, like a marker added during the run.
                array_append(state.markers, ctx.general,
                             Marker{record, 0, true, GuarmaSide::unknown});  // room reserved above
                record.name = nullptr;                                       // the marker owns it now
                ++*added;
                break;
            case PackMarkerVerdict::too_close: break;
            case PackMarkerVerdict::not_finite: ++not_finite; break;
            case PackMarkerVerdict::out_of_memory: whole = false; break;
        }
    }
    if (*added > 0) marker_list_changed(state);
    const auto count = static_cast<std::int64_t>(data.count);
    free_markers_data(data, ctx.general);  // names that did not find a marker go with it
    if (!whole) {
        log_format(ctx, LogLevel::error, "Failed to import marker pack {}: {}", pack.path, "out of memory");
        return false;
    }
    log_format(ctx, LogLevel::info, "Imported {:d} of {:d} markers from {}", static_cast<std::int64_t>(*added), count,
               pack.path);
    if (not_finite > 0) {
        log_format(ctx, LogLevel::error, "Left out {:d} markers of {} whose position is not a finite number",
                   static_cast<std::int64_t>(not_finite), pack.path);
    }
    return true;
}

// ---- moving a pack --------------------------------------------------------------------------

// Into Quillfen/import/imported/, never over a file there: NAME, else
// STEM-2.json, STEM-3.json, ...
void move_pack(RunContext& ctx, const Pack& pack) {
    const PlatformError made = platform_create_directory(imported_directory);
    const char* name = pack_name(pack);
    const std::size_t length = std::strlen(name), stem = length - 5;  // is_pack_name: it ends in ".json"
    char to[1024];
    PlatformError e = made.code != 0 && !platform_error_is_exists(made) ? made : PlatformError{0};
    for (int n = 1; e.code == 0 && n <= 999; ++n) {
        TextBuilder b = text_builder(to, sizeof to);
        text_append(b, imported_directory);
        text_append_char(b, '/');
        text_append(b, std::string_view(name, n == 1 ? length : stem));
        if (n > 1) {
            text_append_char(b, '-');
            text_append_i64(b, n);
            text_append(b, std::string_view(name + stem, 5));
        }
        if (b.truncated) break;  // no longer name to try; the last error stands
        e = platform_rename_new(pack.path, to);
        if (e.code == 0) {
            log_format(ctx, LogLevel::info, "Moved marker pack {} to {}", pack.path, to);
            return;
        }
        if (platform_error_is_exists(e)) e = PlatformError{0};
        else break;
    }
    if (e.code == 0) {
        log_format(ctx, LogLevel::error, "Failed to move marker pack {} into {}: {}", pack.path, imported_directory,
                   "every name is taken");
    } else {
        log_format(ctx, LogLevel::error, "Failed to move marker pack {} into {}: {}", pack.path, imported_directory, e);
    }
}

}  // namespace

// ---- the import ----------------------------------------------------------------------------

void import_marker_packs(RunContext& ctx, PluginState& state) {
    GrowableArray<Pack> packs{};
    Finding finding{&packs, ctx.general, false};
    const PlatformError listed = platform_list_directory(import_directory, collect_pack, &finding);
    if (listed.code != 0 && !platform_error_is_not_found(listed)) {
        log_format(ctx, LogLevel::error, "Failed to look for marker packs in {}: {}", import_directory, listed);
    }
    if (finding.out_of_memory) {
        log_format(ctx, LogLevel::error, "Failed to look for marker packs in {}: {}", import_directory,
                   "out of memory");
    }
    if (packs.length == 0) {
        free_packs(ctx, packs);
        return;
    }
    std::sort(packs.begin(), packs.end(), [](const Pack& a, const Pack& b) { return std::strcmp(a.path, b.path) < 0; });

    // The list as it stands: markers loaded, or recovered from a backup.
    SpacingGrid grid{};
    bool grid_made = true;
    (void)spacing_grid_reserve(grid, ctx.general, state.markers.length);
    for (const Marker& m : state.markers) grid_made = grid_made && spacing_grid_add(grid, ctx.general, m.data.position);
    if (!grid_made) {
        log_format(ctx, LogLevel::error, "Failed to import marker packs from {}: {}", import_directory,
                   "out of memory");
    }

    std::size_t added = 0;
    for (Pack& pack : packs) {
        if (!grid_made) break;
        if (platform_file_info(pack.path).kind != PlatformFileKind::regular) continue;  // a folder named *.json
        std::size_t from_pack = 0;
        pack.merged = merge_pack(ctx, state, grid, pack, &from_pack);
        added += from_pack;
    }
    spacing_grid_free(grid);

    // One save for all packs. Only once the file holds their markers do the
    // packs go: a pack that stays is merged again at the next start, where the
    // 1-unit rule keeps its markers from doubling.
    bool saved = true;
    if (added > 0) {
        update_marker_list_cache(ctx, state, true);
        saved = save_data_to_disk(ctx, state);
    }
    for (const Pack& pack : packs) {
        if (!pack.merged) continue;
        if (saved) {
            move_pack(ctx, pack);
        } else {
            log_format(ctx, LogLevel::error,
                       "Left marker pack {} in place: its markers could not be saved, so it is "
                       "imported again at the next start",
                       pack.path);
        }
    }
    free_packs(ctx, packs);
}
