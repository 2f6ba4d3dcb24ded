#include "src/markers/marker_packs.h"

#include <algorithm>
#include <cstring>

#include "src/base/text_builder.h"
#include "src/file_formats/marker_copies.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/marker_geojson.h"
#include "src/file_formats/marker_pack_merge.h"
#include "src/file_formats/marker_spacing.h"
#include "src/markers/marker_list.h"

// Sections: the folder · finding the packs · merging one pack · moving a pack ·
// packs waiting for a save · the import. Saving is not done here: the import's
// caller saves (markers_on_disk), and tells move_saved_packs when a save worked.

// ---- the folder ---------------------------------------------------------------------------

void make_import_folder(RunContext& ctx) {
    const PlatformError e = platform_create_directory(import_directory);
    if (e.code != 0 && !platform_error_is_exists(e)) {
        log_format(ctx, LogLevel::error, "Failed to create {}: {}", import_directory, e);
    }
}

// ---- finding the packs ----------------------------------------------------------------------

bool is_pack_name(const char* name) {
    if (is_geojson_name(name)) return true;
    const std::size_t n = std::strlen(name), s = json_suffix_length;
    if (n <= s) return false;  // ".json" alone is a hidden file's name, not a pack's
    for (std::size_t i = 0; i < s; ++i) {
        char c = name[n - s + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != json_suffix[i]) return false;
    }
    return true;
}

namespace {

// A pack's path, "Quillfen/import/NAME", zero-terminated, from the general allocator.
struct Pack {
    char* path;
    std::size_t size;          // of the block
    bool merged;               // its markers are in the list: it goes once they are saved
    std::int64_t modified_ns;  // as it was read
    std::uint64_t bytes;
};

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
    if (!array_append(*f.packs, f.allocator, Pack{path, size, false, 0, 0})) {
        free_bytes(f.allocator, path, size);
        f.out_of_memory = true;
    }
    return true;
}

void free_packs(const RunContext& ctx, GrowableArray<Pack>& packs) {
    for (Pack& p : packs) {
        if (p.path) free_bytes(ctx.general, p.path, p.size);
    }
    array_free(packs);
}

// ---- merging one pack ----------------------------------------------------------------------

// A pack is read only when it is a file of a size a pack can have; else a
// line says why it is skipped, and it stays where it is.
// What it was is noted, so that a pack changed before it is moved is not
// taken for the one imported.
bool worth_reading(RunContext& ctx, Pack& pack) {
    const PlatformFileInfo info = platform_file_info(pack.path);
    pack.modified_ns = info.modified_ns;
    pack.bytes = info.size;
    if (const char* what = obstacle_description(info.kind)) {
        log_format(ctx, LogLevel::error, "Skipped marker pack {}: it is {}, not a file; only files are imported",
                   pack.path, what);
        return false;
    }
    if (info.kind == PlatformFileKind::missing) return false;  // gone since the folder was listed
    if (info.kind != PlatformFileKind::regular) {
        log_format(ctx, LogLevel::error, "Failed to read marker pack {}: {}", pack.path, info.error);
        return false;
    }
    if (info.size > pack_size_limit) {
        log_format(ctx, LogLevel::error,
                   "Failed to load marker pack {}: it is {:size} ({:d} bytes), larger than the {:size} a pack may be, "
                   "so it is not read; it stays where it is (remove it, or split it into smaller packs)",
                   pack.path, info.size, info.size, pack_size_limit);
        return false;
    }
    return true;
}

// The markers the pack's `count` records would add to the list under the
// 1-unit rule, counted on a grid of their own; false when out of memory.
bool count_additions(RunContext& ctx, const PluginState& state, MarkerDataV1* records, std::size_t count,
                     std::size_t& additions) {
    SpacingGrid trial{};
    bool whole = fill_spacing_grid(trial, ctx.general, state.markers.length,
                                   [&](std::size_t i) { return state.markers[i].data.position; });
    if (whole) {
        const PackMergeCounts counts = merge_pack_records(trial, ctx.general, records, count, [](MarkerDataV1&) {});
        additions = counts.added;
        whole = counts.whole;
    }
    spacing_grid_free(trial);
    return whole;
}

// Reads and loads the pack; adds each of its markers that has no marker within
// 1 unit. True when the whole pack was gone through (its markers are in the
// list, or were near ones already there).
bool merge_pack(RunContext& ctx, PluginState& state, SpacingGrid& grid, const Pack& pack, std::size_t* added) {
    *added = 0;
    MarkersData data{};
    MarkersFileRead r{};
    std::size_t left_out = 0;  // a GeoJSON pack's features that cannot be markers
    const bool geojson = is_geojson_name(pack.path);
    if (geojson) {
        // A map tool's pack: each feature that cannot be a marker is named, and the rest come in.
        FileText text{};
        r = read_whole_file(pack.path, ctx.general, text);
        if (r.outcome == MarkersFileOutcome::read) {
            struct Sink {
                RunContext* ctx;
                const char* path;
                std::size_t* left_out;
            } sink{&ctx, pack.path, &left_out};
            load_geojson_text(
                r, std::string_view(text.data, text.size), pack_name_of_file(pack.path), ctx.general, data,
                [](void* d, const GeojsonLeftOut& left) {
                    const auto& s = *static_cast<Sink*>(d);
                    ++*s.left_out;
                    log_format(*s.ctx, LogLevel::error, "Left out feature {:d} of {} at {:d}:{:d}: {}",
                               static_cast<std::int64_t>(left.feature), s.path, static_cast<std::int64_t>(left.line),
                               static_cast<std::int64_t>(left.column), left.why);
                },
                &sink);
        }
        free_file_text(ctx.general, text);
    } else {
        r = read_markers_file(pack.path, ctx.general, data);
    }
    if (r.read.code != 0) {
        log_format(ctx, LogLevel::error, "Failed to read marker pack {}: {}", pack.path, r.read);
        return false;
    }
    if (r.loaded != DeserializeError::none) {
        log_format(ctx, LogLevel::error, "Failed to load marker pack {}: {}", pack.path, r.why);
        return false;
    }

    // Each marker keeps the pack's name: its collection. (A GeoJSON pack's
    // features were given it as they were read: one may say it has none.)
    bool named = geojson || name_pack_records(data.records, data.count, pack_name_of_file(pack.path), ctx.general);
    // A list past the bound makes every save stall the game: a pack that
    // would take it there is not imported at all. Counted only when it could.
    const std::size_t before = state.markers.length;
    std::size_t additions = data.count;
    if (named && before + data.count > pack_import_marker_limit) {
        named = count_additions(ctx, state, data.records, data.count, additions);
        if (named && before + additions > pack_import_marker_limit) {
            const std::size_t total = before + additions;
            log_format(ctx, LogLevel::error,
                       "Failed to import marker pack {}: it would bring your markers to {:d}, {:d} more than the {:d} "
                       "a pack may bring them to (with more, every save stalls the game), so none of its markers were "
                       "added; it stays where it is (delete markers you no longer need, or take markers out of the "
                       "pack)",
                       pack.path, static_cast<std::int64_t>(total),
                       static_cast<std::int64_t>(total - pack_import_marker_limit),
                       static_cast<std::int64_t>(pack_import_marker_limit));
            free_markers_data(data, ctx.general);
            return false;
        }
    }
    PackMergeCounts merged{0, 0, 0, false};
    if (named && array_reserve(state.markers, ctx.general, before + additions)) {
        merged = merge_pack_records(grid, ctx.general, data.records, data.count, [&](MarkerDataV1& record) {
            // Shown on the map as new, like a marker added during the run.
            array_append(state.markers, ctx.general, Marker{record, 0, true, GuarmaSide::unknown});  // room reserved
            hand_over_marker_texts(record);  // the marker owns them now
        });
    }
    *added = merged.added;
    const bool whole = merged.whole;
    const std::size_t not_finite = merged.not_finite;
    if (*added > 0) marker_list_changed(ctx, state, MarkerListChange::added);
    // Every feature of a GeoJSON pack counts, also one left out.
    const auto count = static_cast<std::int64_t>(data.count + left_out);
    free_markers_data(data, ctx.general);  // names that did not find a marker go with it
    if (!whole) {
        log_format(ctx, LogLevel::error, "Failed to import marker pack {}: {}", pack.path, "out of memory");
        return false;
    }
    log_format(ctx, LogLevel::info, "Imported {:d} of {:d} {} from {}", static_cast<std::int64_t>(*added), count,
               counted_noun(count, "marker", "markers"), pack.path);
    char line[notice_capacity];
    TextBuilder n = text_builder(line, sizeof line);
    text_append(n, "Imported ");
    text_append_i64(n, static_cast<std::int64_t>(*added));
    text_append(n, *added == 1 ? " marker from " : " markers from ");
    text_append(n, pack_name_of_file(pack.path));
    show_notice(state.notice, text_view(n), platform_now_ns(), NoticeSound::select);
    if (not_finite > 0) {
        log_format(ctx, LogLevel::error, "Left out {:d} {} of {} whose position is not a finite number",
                   static_cast<std::int64_t>(not_finite),
                   counted_noun(static_cast<std::int64_t>(not_finite), "marker", "markers"), pack.path);
    }
    return true;
}

// ---- moving a pack --------------------------------------------------------------------------

// Into Quillfen/import/imported/, never over a file there: NAME, else
// STEM-2.json, STEM-3.json, ...
void move_pack(RunContext& ctx, const WaitingPack& pack) {
    const PlatformError made = platform_create_directory(imported_directory);
    const char* name = pack.path + std::strlen(import_directory) + 1;
    // is_pack_name: ".json" or ".geojson"
    const std::size_t suffix = is_geojson_name(name) ? std::strlen(".geojson") : json_suffix_length;
    const std::size_t length = std::strlen(name), stem = length - suffix;
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
            text_append(b, std::string_view(name + stem, suffix));  // its own case kept
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

// The pack as it was imported: a file put there under the same name since
// (or the pack edited) is not moved without having been read.
bool unchanged_since_import(const WaitingPack& pack) {
    const PlatformFileInfo info = platform_file_info(pack.path);
    return info.kind == PlatformFileKind::regular && info.modified_ns == pack.modified_ns && info.size == pack.bytes;
}

}  // namespace

// ---- packs waiting for a save ------------------------------------------------------------

void move_saved_packs(RunContext& ctx, PluginState& state) {
    GrowableArray<WaitingPack>& waiting = state.packs.waiting_for_save;
    if (waiting.length == 0) return;
    for (const WaitingPack& pack : waiting) {
        if (unchanged_since_import(pack) || !platform_file_exists(pack.path)) {
            move_pack(ctx, pack);  // one that is gone is named by the move's error
        } else {
            log_format(ctx, LogLevel::error,
                       "Left marker pack {} in place: it changed after its markers were imported, so it is imported "
                       "again at the next start",
                       pack.path);
        }
    }
    forget_waiting_packs(ctx, state);
}

void forget_waiting_packs(const RunContext& ctx, PluginState& state) {
    for (WaitingPack& pack : state.packs.waiting_for_save) free_bytes(ctx.general, pack.path, pack.size);
    array_free(state.packs.waiting_for_save);
}

// ---- the import ----------------------------------------------------------------------------

// The packs in Quillfen/import, in name order; a line when the folder cannot be looked through.
static void find_packs(RunContext& ctx, GrowableArray<Pack>& packs) {
    Finding finding{&packs, ctx.general, false};
    const PlatformError listed = platform_list_directory(import_directory, collect_pack, &finding);
    if (listed.code != 0 && !platform_error_is_not_found(listed)) {
        log_format(ctx, LogLevel::error, "Failed to look for marker packs in {}: {}", import_directory, listed);
    }
    if (finding.out_of_memory) {
        log_format(ctx, LogLevel::error, "Failed to look for marker packs in {}: {}", import_directory,
                   "out of memory");
    }
    std::sort(packs.begin(), packs.end(), [](const Pack& a, const Pack& b) { return std::strcmp(a.path, b.path) < 0; });
}

void leave_packs_until_file_read(RunContext& ctx) {
    GrowableArray<Pack> packs{};
    find_packs(ctx, packs);
    for (const Pack& pack : packs) {
        log_format(ctx, LogLevel::error,
                   "Left marker pack {} where it is for now: {} has not been read yet, and the pack's markers are "
                   "added to the file's once it has been (or at the next start)",
                   pack.path, markers_path);
    }
    free_packs(ctx, packs);
}

PackImport merge_marker_packs(RunContext& ctx, PluginState& state) {
    GrowableArray<Pack> packs{};
    find_packs(ctx, packs);
    if (packs.length == 0) {
        free_packs(ctx, packs);
        return {};
    }

    // The list as it stands: markers loaded, or recovered from a backup.
    SpacingGrid grid{};
    const bool grid_made = fill_spacing_grid(grid, ctx.general, state.markers.length,
                                             [&](std::size_t i) { return state.markers[i].data.position; });
    if (!grid_made) {
        log_format(ctx, LogLevel::error, "Failed to import marker packs from {}: {}", import_directory,
                   "out of memory");
    }

    std::size_t added = 0, merged = 0;
    for (Pack& pack : packs) {
        if (!grid_made) break;
        if (!worth_reading(ctx, pack)) continue;
        std::size_t from_pack = 0;
        pack.merged = merge_pack(ctx, state, grid, pack, &from_pack);
        added += from_pack;
        merged += pack.merged ? 1 : 0;
    }
    spacing_grid_free(grid);

    // The merged packs wait for the save of their markers. Only once the file
    // holds them do the packs go, with the save that follows the import or any
    // later one that works (move_saved_packs): a pack that goes earlier loses
    // its markers when no save works, one that stays longer brings back those
    // deleted meanwhile.
    forget_waiting_packs(ctx, state);
    GrowableArray<WaitingPack>& waiting = state.packs.waiting_for_save;
    const bool can_wait = merged == 0 || array_reserve(waiting, ctx.general, merged);
    for (Pack& pack : packs) {
        if (!pack.merged) continue;
        if (!can_wait) {
            log_format(ctx, LogLevel::error,
                       "Left marker pack {} in place: {}, so it is imported again at the next start", pack.path,
                       "out of memory");
            continue;
        }
        array_append(waiting, ctx.general, WaitingPack{pack.path, pack.size, pack.modified_ns, pack.bytes});
        pack.path = nullptr;  // the waiting pack owns it now
    }
    free_packs(ctx, packs);
    return {true, added};
}

void say_packs_waiting(RunContext& ctx, const PluginState& state) {
    for (const WaitingPack& pack : state.packs.waiting_for_save) {
        log_format(ctx, LogLevel::error,
                   "Left marker pack {} in place until its markers are saved: it moves to {} with the first save "
                   "that works, or is imported again at the next start",
                   pack.path, imported_directory);
    }
}
