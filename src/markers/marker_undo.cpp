#include "src/markers/marker_undo.h"

#include <cstring>

#include "src/file_formats/marker_copies.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/marker_spacing.h"
#include "src/file_formats/markers_folder.h"
#include "src/map/location_names.h"
#include "src/markers/marker_editing.h"
#include "src/markers/marker_persistence.h"

// Sections: the history · deleted.json · remembering · undoing · a late read of markers.json · the row's handlers.

// ---- the history ---------------------------------------------------------------------------

namespace {

// Renames are remembered while the game runs, this many at most (the oldest go).
constexpr std::size_t renames_kept = 500;
// Not an error of the system: memory ran out (its own code, so that the log says it once).
constexpr std::uint32_t out_of_memory_code = 0xFFFFFFFFu;

std::size_t count_of(const MarkerUndo& u, UndoKind kind) {
    std::size_t n = 0;
    for (const UndoStep& s : u.steps) n += s.kind == kind ? 1 : 0;
    return n;
}

void drop_step(RunContext& ctx, MarkerUndo& u, std::size_t at) {
    free_marker_texts(ctx.general, u.steps[at].marker);
    array_remove_ordered(u.steps, at);
}

// The oldest of `kind` go while there are more than `most`.
void keep_newest(RunContext& ctx, MarkerUndo& u, UndoKind kind, std::size_t most) {
    std::size_t n = count_of(u, kind);
    for (std::size_t i = 0; n > most && i < u.steps.length;) {
        if (u.steps[i].kind != kind) {
            ++i;
            continue;
        }
        drop_step(ctx, u, i);
        --n;
    }
}

// The newest step not undone yet, or -1.
std::int64_t newest_step(const MarkerUndo& u) {
    for (std::size_t i = u.steps.length; i-- > 0;) {
        if (!u.steps[i].restored && !u.steps[i].passed_over) return static_cast<std::int64_t>(i);
    }
    return -1;
}

bool same_marker(const MarkerDataV1& a, const MarkerDataV1& b) {
    return std::memcmp(&a.position, &b.position, sizeof a.position) == 0 && a.timestamp._nsec == b.timestamp._nsec;
}

}  // namespace

// ---- deleted.json ----------------------------------------------------------------------------

// Said once per cause: true when `code` is news.
static bool news(MarkerUndo& u, std::uint32_t code) {
    const bool is_news = u.said_error != code;
    u.said_error = code;
    return is_news;
}

// A deleted.json that does not load is kept under a new name before a new one takes its place.
static std::uint32_t keep_damaged_deleted_file(RunContext& ctx, PluginState& state, const MarkersFileRead& r,
                                               const FileText& text) {
    char base[96];
    TextBuilder b = text_builder(base, sizeof base);
    append_kept_copy_name(b, deleted_path, unreadable_copy_infix, platform_now_ns());
    char name[112];
    TextBuilder chosen = text_builder(name, sizeof name);
    const PlatformError e = keep_under_new_name(deleted_copying_path, base, text.data, text.size, chosen);
    if (e.code != 0) {
        if (news(state.undo, e.code)) {
            log_format(ctx, LogLevel::error,
                       "{} could not be loaded ({}), nor kept aside: {}; Quillfen leaves it as it is, and the markers "
                       "deleted meanwhile stay in {} until it can",
                       deleted_path, r.why, e, markers_path);
        }
        return e.code;
    }
    log_format(ctx, LogLevel::error,
               "{} could not be loaded ({}): kept it as {}; a new {} holds the markers deleted from now on",
               deleted_path, r.why, static_cast<const char*>(name), deleted_file_name);
    return 0;
}

// Reads deleted.json, its deletes before the history's (they are older). 0
// when it was read or is not there; else the error, and nothing may replace it.
static std::uint32_t read_deleted_file(RunContext& ctx, PluginState& state) {
    MarkerUndo& u = state.undo;
    MarkersData data{};
    FileText text{};
    const MarkersFileRead r = read_deleted_markers_file(deleted_path, ctx.general, data, &text);
    std::uint32_t error = 0;
    switch (r.outcome) {
        case MarkersFileOutcome::read: break;
        case MarkersFileOutcome::missing: break;
        case MarkersFileOutcome::damaged: error = keep_damaged_deleted_file(ctx, state, r, text); break;
        case MarkersFileOutcome::held:
        case MarkersFileOutcome::out_of_memory:
        case MarkersFileOutcome::not_a_file:
            error = r.read.code != 0 ? r.read.code : out_of_memory_code;
            if (news(u, error)) {
                log_format(ctx, LogLevel::error,
                           "Could not read {}: {}; Quillfen saves nothing over it, and the markers deleted meanwhile "
                           "stay in {} until it can be read",
                           deleted_path, markers_file_unread_cause(r), markers_path);
            }
            break;
    }
    free_file_text(ctx.general, text);
    u.deleted_file_unread = error != 0;
    if (r.outcome != MarkersFileOutcome::read) return error;
    GrowableArray<UndoStep> steps{};
    if (!array_reserve(steps, ctx.general, data.count + u.steps.length)) {
        free_markers_data(data, ctx.general);
        u.deleted_file_unread = true;
        if (news(u, out_of_memory_code)) {
            log_format(ctx, LogLevel::error, "Could not read {}: {}", deleted_path, "out of memory");
        }
        return out_of_memory_code;
    }
    for (std::size_t i = 0; i < data.count; ++i) {
        array_append(steps, ctx.general,
                     UndoStep{UndoKind::deleted, data.records[i], data.deleted_ns[i], -1, false, false});
        hand_over_marker_texts(data.records[i]);
    }
    for (const UndoStep& s : u.steps) array_append(steps, ctx.general, s);  // room reserved
    free_markers_data(data, ctx.general);
    array_free(u.steps);
    u.steps = steps;
    keep_newest(ctx, u, UndoKind::deleted, deleted_markers_kept);
    return 0;
}

// Writes the history's deletes (the newest `deleted_markers_kept`, those
// undone but not saved yet too) whole into deleted.json. 0 when it holds them.
static std::uint32_t write_deleted_file(RunContext& ctx, PluginState& state) {
    MarkerUndo& u = state.undo;
    if (u.deleted_file_unread) {
        const std::uint32_t e = read_deleted_file(ctx, state);
        if (e != 0) return e;
    }
    const std::size_t count = count_of(u, UndoKind::deleted);
    MarkerDataV1* records = allocate_array<MarkerDataV1>(ctx.scratch, count);
    std::int64_t* deleted_ns = allocate_array<std::int64_t>(ctx.scratch, count);
    MarkersText text{};
    if (count > 0 && (!records || !deleted_ns)) return out_of_memory_code;
    std::size_t n = 0;
    for (const UndoStep& s : u.steps) {
        if (s.kind != UndoKind::deleted) continue;
        records[n] = s.marker;
        deleted_ns[n++] = s.deleted_ns;
    }
    if (serialize_markers(records, n, ctx.general, text, deleted_ns) != SerializeError::none) {
        if (news(u, out_of_memory_code)) {
            log_format(ctx, LogLevel::error, "Could not write {}: {}", deleted_path, "out of memory");
        }
        return out_of_memory_code;
    }
    PlatformError e = write_whole_file(deleted_saving_path, deleted_path, text.data, text.length, true);
    if (e.code != 0 && platform_error_is_not_found(e) &&
        platform_file_info(quillfen_folder).kind == PlatformFileKind::missing &&
        platform_create_directory(quillfen_folder).code == 0) {
        // The folder went while the game ran: made again, as a save of the markers does.
        e = write_whole_file(deleted_saving_path, deleted_path, text.data, text.length, true);
    }
    free_markers_text(text, ctx.general);
    if (e.code != 0) {
        if (news(u, e.code)) {
            log_format(ctx, LogLevel::error,
                       "Could not write {}: {}; the markers deleted since stay in {} until it can be written (Quillfen "
                       "tries again with every save)",
                       deleted_path, e, markers_path);
        }
        return e.code;
    }
    if (u.said_error != 0) log_format(ctx, LogLevel::info, "{} holds the deleted markers again", deleted_path);
    u.said_error = 0;
    u.deleted_file_behind = false;
    return 0;
}

void load_deleted_markers(RunContext& ctx, PluginState& state) { (void)read_deleted_file(ctx, state); }

// ---- remembering ----------------------------------------------------------------------------

void remember_deleted_marker(RunContext& ctx, PluginState& state, std::size_t index) {
    MarkerUndo& u = state.undo;
    const MarkerDataV1& m = state.markers[index].data;
    UndoStep step{UndoKind::deleted, {}, platform_now_ns(), static_cast<std::int64_t>(index), false, false};
    const bool copied = copy_marker_record(ctx.general, m, step.marker);
    if (!copied || !array_append(u.steps, ctx.general, step)) {
        // Without its copy it cannot come back by an undo; markers.json saves
        // it no more either way, and the save below says why when it fails.
        free_marker_texts(ctx.general, step.marker);
        log_format(ctx, LogLevel::error, "Could not keep the deleted marker for an undo: {}", "out of memory");
        return;
    }
    keep_newest(ctx, u, UndoKind::deleted, deleted_markers_kept);
    u.deleted_file_behind = true;
    (void)write_deleted_file(ctx, state);  // else before the save, which waits for it
}

void remember_renamed_marker(RunContext& ctx, PluginState& state, std::size_t index) {
    MarkerUndo& u = state.undo;
    const MarkerDataV1& m = state.markers[index].data;
    UndoStep step{UndoKind::renamed,
                  MarkerDataV1{m.position, m.category, nullptr, m.timestamp, nullptr},
                  0,
                  static_cast<std::int64_t>(index),
                  false,
                  false};
    if (!copy_marker_text(ctx.general, m.name, step.marker.name) || !array_append(u.steps, ctx.general, step)) {
        free_marker_texts(ctx.general, step.marker);
        return;  // the rename stands; only its undo is lost
    }
    keep_newest(ctx, u, UndoKind::renamed, renames_kept);
}

// ---- undoing -------------------------------------------------------------------------------

UndoNext next_undo(const PluginState& state) {
    const std::int64_t at = newest_step(state.undo);
    if (at < 0) return UndoNext::none;
    return state.undo.steps[static_cast<std::size_t>(at)].kind == UndoKind::deleted ? UndoNext::delete_
                                                                                    : UndoNext::rename;
}

// Where a deleted marker goes back: where it stood; for one of an earlier run,
// before the first marker made after it (the list is in order of arrival).
// While markers.json has not been read, among the backup's markers shown or
// after them (place_restored_marker).
static std::size_t place_to_restore(const PluginState& state, const UndoStep& s) {
    const std::size_t length = state.markers.length;
    std::size_t at = length;
    if (s.index >= 0) {
        at = static_cast<std::uint64_t>(s.index) < length ? static_cast<std::size_t>(s.index) : length;
    } else {
        for (std::size_t i = 0; i < length; ++i) {
            if (state.markers[i].data.timestamp._nsec > s.marker.timestamp._nsec) {
                at = i;
                break;
            }
        }
    }
    return place_restored_marker(state, s.marker, at);
}

static std::int64_t undo_delete(RunContext& ctx, PluginState& state, std::size_t step) {
    UndoStep& s = state.undo.steps[step];
    for (const Marker& m : state.markers) {
        if (distance_squared(m.data.position, s.marker.position) < minimum_spacing_squared) {
            // Back already (a pack, the tool), or another marker took its place.
            const Marker was{s.marker, 0, false, GuarmaSide::unknown};
            log_format(ctx, LogLevel::info,
                       "Did not restore {}: a marker lies within 1 unit of its place already ({} keeps it)",
                       shown_marker_label(ctx, state, was, PlaceLookup::quiet), deleted_path);
            s.passed_over = true;
            return -1;
        }
    }
    const std::size_t at = place_to_restore(state, s);
    MarkerDataV1 record{};
    if (!copy_marker_record(ctx.general, s.marker, record)) {
        log_format(ctx, LogLevel::error, "Could not restore the marker: {}", "out of memory");
        return -1;
    }
    // Kept in deleted.json until markers.json holds it again: a crash between the
    // two writes leaves it in both.
    s.restored = true;
    if (!put_marker_back(ctx, state, at, record)) {
        state.undo.steps[step].restored = false;  // not back: offered again
        return -1;
    }
    return static_cast<std::int64_t>(at);
}

static std::int64_t undo_rename(RunContext& ctx, PluginState& state, std::size_t step) {
    MarkerUndo& u = state.undo;
    const UndoStep s = u.steps[step];
    array_remove_ordered(u.steps, step);  // its text is freed below
    std::int64_t found = -1;
    for (std::size_t i = 0; i < state.markers.length; ++i) {
        if (same_marker(state.markers[i].data, s.marker)) {
            found = static_cast<std::int64_t>(i);
            break;
        }
    }
    MarkerDataV1 earlier = s.marker;
    if (found < 0) {
        log_format(ctx, LogLevel::info, "Could not undo a rename: the marker renamed is gone");
    } else {
        undo_marker_rename(ctx, state, state.markers[static_cast<std::size_t>(found)], earlier.name);
    }
    free_marker_texts(ctx.general, earlier);
    return found;
}

std::int64_t undo_last_change(RunContext& ctx, PluginState& state) {
    const std::int64_t at = newest_step(state.undo);
    if (at < 0) return -1;
    const auto step = static_cast<std::size_t>(at);
    return state.undo.steps[step].kind == UndoKind::deleted ? undo_delete(ctx, state, step)
                                                            : undo_rename(ctx, state, step);
}

// ---- a late read of markers.json --------------------------------------------------------------

// The newest delete not undone (or, `restored`, undone) of `m`, or -1.
static std::int64_t delete_step_of(const MarkerUndo& u, const MarkerDataV1& m, bool restored) {
    for (std::size_t i = u.steps.length; i-- > 0;) {
        const UndoStep& s = u.steps[i];
        if (s.kind == UndoKind::deleted && s.restored == restored && same_marker(s.marker, m)) {
            return static_cast<std::int64_t>(i);
        }
    }
    return -1;
}

// The delete of a marker of the file keeps the file's version of it, with the
// keys changed meanwhile before the delete as the list showed them. True when
// deleted.json is to be written again; out of memory the backup's stays.
static bool keep_file_version(RunContext& ctx, MarkerUndo& u, const LateReadEdit& e) {
    const std::int64_t at = delete_step_of(u, e.file_version, false);
    if (at < 0) return false;
    MarkerDataV1& shown = u.steps[static_cast<std::size_t>(at)].marker;
    MarkerDataV1 kept{};
    if (!copy_marker_record(ctx.general, e.file_version, kept)) return false;
    if (e.renamed) {
        free_marker_name(ctx.general, kept.name);
        if (!copy_marker_text(ctx.general, shown.name, kept.name)) {
            free_marker_texts(ctx.general, kept);
            return false;
        }
    }
    if (e.noted) {
        free_marker_name(ctx.general, kept.note);
        if (!copy_marker_text(ctx.general, shown.note, kept.note)) {
            free_marker_texts(ctx.general, kept);
            return false;
        }
    }
    if (e.moved) kept.category = shown.category;
    if (e.found) {
        kept.is_found = shown.is_found;
        kept.found = shown.found;
    }
    free_marker_texts(ctx.general, shown);
    shown = kept;
    return true;
}

// The oldest rename of the marker made meanwhile named it as the backup did:
// undone, it gives the file's name back.
static void rename_back_to_file_name(RunContext& ctx, MarkerUndo& u, const LateReadEdit& e) {
    for (UndoStep& s : u.steps) {
        if (s.kind != UndoKind::renamed || !same_marker(s.marker, e.file_version)) continue;
        char* name = nullptr;
        if (!copy_marker_text(ctx.general, e.file_version.name, name)) return;  // the backup's name stays
        free_marker_name(ctx.general, s.marker.name);
        s.marker.name = name;
        return;
    }
}

// A marker put back meanwhile that the file's markers kept out: its delete is
// not undone, and deleted.json keeps it for a later Undo.
static void not_put_back(RunContext& ctx, PluginState& state, const MarkerDataV1& m) {
    const std::int64_t at = delete_step_of(state.undo, m, true);
    if (at < 0) return;
    state.undo.steps[static_cast<std::size_t>(at)].restored = false;
    const Marker was{m, 0, false, GuarmaSide::unknown};
    const char* label = shown_marker_label(ctx, state, was, PlaceLookup::quiet);
    log_format(ctx, LogLevel::info,
               "Did not restore {} after all: {}, read at last, has a marker within 1 unit of its place, so {} keeps "
               "it and Undo offers it again",
               label, markers_path, deleted_path);
    char line[notice_capacity];
    TextBuilder n = text_builder(line, sizeof line);
    text_append(n, "Not restored, a marker lies within 1 m: ");
    text_append(n, label);
    show_notice(state.notice, text_view(n), platform_now_ns(), NoticeSound::refusal);
}

void undo_follows_late_read(RunContext& ctx, PluginState& state) {
    const LateRead& late = state.persistence.late_read;
    bool behind = false;
    for (const LateReadEdit& e : late.edited) {
        if (e.deleted) {
            behind = keep_file_version(ctx, state.undo, e) || behind;
        } else if (e.renamed) {
            rename_back_to_file_name(ctx, state.undo, e);
        }
    }
    for (const MarkerDataV1& m : late.not_back) not_put_back(ctx, state, m);
    if (!behind) return;
    state.undo.deleted_file_behind = true;
    (void)write_deleted_file(ctx, state);  // else before the next save, which waits for it
}

// ---- the row's handlers ----------------------------------------------------------------------

std::uint32_t write_deleted_before_save(RunContext& ctx, PluginState& state) {
    if (!state.undo.deleted_file_behind) return 0;
    return write_deleted_file(ctx, state);
}

void deleted_file_after_save(RunContext& ctx, PluginState& state) {
    MarkerUndo& u = state.undo;
    bool dropped = false;
    for (std::size_t i = 0; i < u.steps.length;) {
        if (u.steps[i].restored) {
            drop_step(ctx, u, i);
            dropped = true;
        } else {
            ++i;
        }
    }
    if (!dropped) return;
    // markers.json holds them now: deleted.json may let them go (when this
    // fails, it keeps them a while longer, which loses nothing).
    u.deleted_file_behind = true;
    (void)write_deleted_file(ctx, state);
}

void undo_at_release(RunContext& ctx, PluginState& state) {
    for (UndoStep& s : state.undo.steps) free_marker_texts(ctx.general, s.marker);
    if (state.undo.steps.data) array_free(state.undo.steps);
}
