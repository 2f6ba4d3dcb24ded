#include "src/markers/marker_undo.h"

#include "src/base/text_builder.h"
#include "src/file_formats/marker_copies.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/marker_identity.h"
#include "src/file_formats/marker_spacing.h"
#include "src/file_formats/markers_folder.h"
#include "src/map/location_names.h"
#include "src/markers/marker_backups.h"
#include "src/markers/marker_editing.h"
#include "src/markers/marker_persistence.h"

// Sections: the history · why deleted.json cannot keep a delete · deleted.json · remembering · undoing ·
// a late read of markers.json · the row's handlers.

// ---- the history ---------------------------------------------------------------------------

namespace {

// Renames are remembered while the game runs, this many at most (the oldest go).
constexpr std::size_t renames_kept = 500;

std::size_t count_of(const MarkerUndo& u, UndoKind kind) {
    std::size_t n = 0;
    for (const UndoStep& s : u.steps) n += s.kind == kind ? 1 : 0;
    return n;
}

// The newest step not undone yet, or -1.
std::int64_t newest_step(const MarkerUndo& u) {
    for (std::size_t i = u.steps.length; i-- > 0;) {
        if (!u.steps[i].restored && !u.steps[i].passed_over) return static_cast<std::int64_t>(i);
    }
    return -1;
}

// The history's delete of `marker` (there is one at most), or -1.
std::int64_t deleted_step_of(const MarkerUndo& u, const MarkerDataV1& marker) {
    for (std::size_t i = 0; i < u.steps.length; ++i) {
        if (u.steps[i].kind == UndoKind::deleted && same_marker(u.steps[i].marker, marker)) {
            return static_cast<std::int64_t>(i);
        }
    }
    return -1;
}

// The oldest steps of `kind` beyond the newest `most` go, in one pass over the
// history (a deleted.json of thousands is cut at once); `going` sees each
// before its texts are freed.
template <class Going>
void keep_newest(RunContext& ctx, MarkerUndo& u, UndoKind kind, std::size_t most, Going going) {
    const std::size_t n = count_of(u, kind);
    if (n <= most) return;
    std::size_t to_drop = n - most;
    std::size_t out = 0;
    for (std::size_t i = 0; i < u.steps.length; ++i) {
        UndoStep& s = u.steps[i];
        if (to_drop > 0 && s.kind == kind) {
            going(s);
            free_marker_texts(ctx.general, s.marker);
            --to_drop;
            continue;
        }
        u.steps[out++] = s;
    }
    u.steps.length = out;
}

}  // namespace

// ---- why deleted.json cannot keep a delete ---------------------------------------------------

namespace {

// Not errors of the system, with codes of their own (so that the log says each once).
constexpr std::uint32_t out_of_memory_code = 0xFFFFFFFFu;
constexpr std::uint32_t obstacle_code = 0xFFFFFFFEu;  // no file stands at deleted.json

// Why deleted.json could not be had or written: none (code 0), an error of
// the system, memory, or something that is no file in its place (`kind`).
struct DeletedFault {
    std::uint32_t code;
    PlatformFileKind kind;
};

constexpr auto close_holder_advice = join_text("close the program that holds ", deleted_path_text.text);
constexpr auto move_away_advice = join_text("move away what stands at ", deleted_path_text.text);
constexpr auto writable_advice =
    join_text(join_text(join_text("make ", deleted_path_text.text).text, " and the ").text,
              join_text(quillfen_folder, " folder writable (not read-only, and yours to change)").text);
constexpr auto make_folder_advice =
    join_text(join_text("make a folder named ", quillfen_folder).text, " in the game folder");

// What the player can do about it.
const char* fault_advice(DeletedFault f) {
    if (f.code == out_of_memory_code) return "close other programs to free memory";
    if (f.code == obstacle_code) return move_away_advice.text;
    switch (platform_error_kind(PlatformError{f.code})) {
        case PlatformErrorKind::disk_full: return "make room on the disk that holds the game";
        case PlatformErrorKind::in_use: return close_holder_advice.text;
        case PlatformErrorKind::denied: return writable_advice.text;
        case PlatformErrorKind::not_found: return make_folder_advice.text;
        case PlatformErrorKind::other: break;
    }
    return "find what keeps Quillfen from writing there";
}

// The line at the top of the screen for a delete not made: why, and what to do.
void show_delete_refused(PluginState& state, DeletedFault f) {
    char text[notice_capacity];
    TextBuilder b = text_builder(text, sizeof text);
    text_append(b, "Not deleted: ");
    if (f.code == out_of_memory_code) {
        text_append(b, "memory ran out; close other programs");
    } else if (f.code == obstacle_code) {
        text_append(b, obstacle_description(f.kind));
        text_append(b, " stands at ");
        text_append(b, deleted_path);
        text_append(b, "; move it away");
    } else {
        switch (platform_error_kind(PlatformError{f.code})) {
            case PlatformErrorKind::in_use: text_append(b, close_holder_advice.text); break;
            case PlatformErrorKind::denied:
                text_append(b, "Quillfen may not change ");
                text_append(b, deleted_path);
                text_append(b, "; make it writable");
                break;
            case PlatformErrorKind::disk_full: text_append(b, "the disk is full; make room on it"); break;
            case PlatformErrorKind::not_found:
            case PlatformErrorKind::other:
                text_append(b, deleted_path);
                text_append(b, " cannot be written; ");
                text_append(b, log_path);
                text_append(b, " says why");
                break;
        }
    }
    show_notice(state.notice, text_view(b), platform_now_ns(), NoticeSound::refusal);
}

void append_error(TextBuilder& b, std::uint32_t code) {
    const PlatformError e{code};
    render_platform_error(b, &e);
}

// Said once per cause: true when `code` is news.
bool news(MarkerUndo& u, std::uint32_t code) {
    const bool is_news = u.said_error != code;
    u.said_error = code;
    return is_news;
}

}  // namespace

// ---- deleted.json ----------------------------------------------------------------------------

// The line on the `count` deletes older than the newest deleted_markers_kept
// that leave deleted.json (`leaving`: "left it", or "leave it with its next
// write"), and the copies that may still hold them.
static void say_older_deletes_leave(RunContext& ctx, const ListedSpan* spans, std::size_t count, const char* leaving) {
    if (count == 0) return;
    const bool one = count == 1;
    char copies[640];
    TextBuilder b = text_builder(copies, sizeof copies);
    if (append_copies_written_within(ctx, b, spans, count) > 0) {
        text_append(b, one ? ", made while it was in the list, may hold it"
                           : ", made while they were in the list, may hold them");
    } else {
        text_append(b, one ? "no backup was made while it was in the list, so none holds it"
                           : "no backup was made while they were in the list, so none holds them");
    }
    log_format(ctx, LogLevel::info, "{} keeps the newest {:d} deleted markers: {:d} older {} {}; {}", deleted_path,
               static_cast<std::int64_t>(deleted_markers_kept), static_cast<std::int64_t>(count), one ? "one" : "ones",
               leaving, text_view(b));
}

// A deleted.json that does not load is kept under a new name before a new one takes its place.
static DeletedFault keep_damaged_deleted_file(RunContext& ctx, PluginState& state, const MarkersFileRead& r,
                                              const FileText& text, TextBuilder& cause) {
    char base[96];
    TextBuilder b = text_builder(base, sizeof base);
    append_kept_copy_name(b, deleted_path, unreadable_copy_infix, platform_now_ns());
    char name[112];
    TextBuilder chosen = text_builder(name, sizeof name);
    const PlatformError e = keep_under_new_name(deleted_copying_path, base, text.data, text.size, chosen);
    if (e.code != 0) {
        const DeletedFault f{e.code, PlatformFileKind::regular};
        text_append(cause, deleted_path);
        text_append(cause, " could not be loaded (");
        text_append(cause, r.why);
        text_append(cause, "), nor kept aside (");
        append_error(cause, e.code);
        text_append(cause, ")");
        if (news(state.undo, e.code)) {
            log_format(ctx, LogLevel::error,
                       "{} could not be loaded ({}), nor kept aside: {}; Quillfen leaves it as it is, and no marker "
                       "can be deleted until it can be kept aside (to delete markers, {})",
                       deleted_path, r.why, e, fault_advice(f));
        }
        return f;
    }
    log_format(ctx, LogLevel::error,
               "{} could not be loaded ({}): kept it as {}; a new {} holds the markers deleted from now on",
               deleted_path, r.why, static_cast<const char*>(name), deleted_file_name);
    return {};
}

// The deletes of the history whose marker is in the list: in markers.json
// again, or once the next save works, so no longer offered. Not while the
// list is the backup's shown until markers.json can be read (it may hold a
// marker that the file lost since). Looked up in one pass over the list.
static void mark_deletes_back(RunContext& ctx, PluginState& state) {
    MarkerUndo& u = state.undo;
    if (state.persistence.markers_file_unread) return;
    MarkerTable open{};
    bool any = false;
    for (std::size_t i = 0; i < u.steps.length; ++i) {
        const UndoStep& s = u.steps[i];
        if (s.kind != UndoKind::deleted || s.restored) continue;
        // Out of memory they stay offered: the undo then passes over each that is back.
        if (!marker_table_add(open, ctx.general, s.marker, i)) break;
        any = true;
    }
    if (any) {
        for (const Marker& m : state.markers) {
            if (const std::size_t* step = marker_table_find(open, m.data)) u.steps[*step].restored = true;
        }
    }
    marker_table_free(open);
}

// The deletes of a deleted.json read whole go before the history's (they are
// older): one per marker, its newest delete (a file of an earlier version may
// list one several times), and the newest deleted_markers_kept of them; those
// whose marker is in the list are no longer offered (as mark_deletes_back
// finds them). In one pass, however long the file.
static bool take_deleted_file(RunContext& ctx, PluginState& state, MarkersData& data) {
    enum class Entry : std::uint8_t { kept, gone, back };
    MarkerUndo& u = state.undo;
    const std::size_t n = data.count;
    Entry* entries = n > 0 ? allocate_array<Entry>(ctx.general, n) : nullptr;
    MarkerTable seen{};
    if ((n > 0 && !entries) || !marker_table_reserve(seen, ctx.general, n)) {
        free_array(ctx.general, entries, n);
        marker_table_free(seen);
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        entries[i] = Entry::kept;
        bool added = false;
        std::size_t* newest = marker_table_add(seen, ctx.general, data.records[i], i, &added);  // room reserved
        if (added) continue;
        if (data.deleted_ns[i] >= data.deleted_ns[*newest]) {
            entries[*newest] = Entry::gone;
            *newest = i;
        } else {
            entries[i] = Entry::gone;
        }
    }
    // A delete of this run is newer than the file's of the same marker.
    for (const UndoStep& s : u.steps) {
        if (s.kind != UndoKind::deleted) continue;
        if (const std::size_t* in_file = marker_table_find(seen, s.marker)) entries[*in_file] = Entry::gone;
    }
    if (!state.persistence.markers_file_unread) {
        for (const Marker& m : state.markers) {
            const std::size_t* in_file = marker_table_find(seen, m.data);
            if (in_file && entries[*in_file] == Entry::kept) entries[*in_file] = Entry::back;
        }
    }
    marker_table_free(seen);

    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) kept += entries[i] == Entry::gone ? 0 : 1;
    const std::size_t of_run = count_of(u, UndoKind::deleted);
    const std::size_t over = kept + of_run > deleted_markers_kept ? kept + of_run - deleted_markers_kept : 0;
    const std::size_t older = over < kept ? over : kept;
    GrowableArray<UndoStep> steps{};
    ListedSpan* spans = older > 0 ? allocate_array<ListedSpan>(ctx.general, older) : nullptr;
    if (!array_reserve(steps, ctx.general, kept - older + u.steps.length) || (older > 0 && !spans)) {
        free_array(ctx.general, entries, n);
        free_array(ctx.general, spans, older);
        array_free(steps);
        return false;
    }
    std::size_t passed = 0, lost = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (entries[i] == Entry::gone) continue;
        const bool back = entries[i] == Entry::back;
        if (passed < older) {
            ++passed;
            // A marker in the list again is not lost with it.
            if (!back) spans[lost++] = ListedSpan{data.records[i].timestamp._nsec, data.deleted_ns[i]};
            continue;
        }
        array_append(steps, ctx.general,
                     UndoStep{UndoKind::deleted, data.records[i], data.deleted_ns[i], -1, back, false});
        hand_over_marker_texts(data.records[i]);
    }
    free_array(ctx.general, entries, n);
    for (const UndoStep& s : u.steps) array_append(steps, ctx.general, s);  // room reserved
    array_free(u.steps);
    u.steps = steps;
    say_older_deletes_leave(ctx, spans, lost, "leave it with its next write");
    free_array(ctx.general, spans, older);
    return true;
}

// Reads deleted.json into the history. No fault when it was read or is not
// there; else why not, and nothing may replace it.
static DeletedFault read_deleted_file(RunContext& ctx, PluginState& state, TextBuilder& cause) {
    MarkerUndo& u = state.undo;
    MarkersData data{};
    FileText text{};
    const MarkersFileRead r = read_deleted_markers_file(deleted_path, ctx.general, data, &text);
    DeletedFault f{};
    switch (r.outcome) {
        case MarkersFileOutcome::read: break;
        case MarkersFileOutcome::missing: break;
        case MarkersFileOutcome::damaged: f = keep_damaged_deleted_file(ctx, state, r, text, cause); break;
        case MarkersFileOutcome::not_a_file: f = DeletedFault{obstacle_code, r.kind}; break;
        case MarkersFileOutcome::out_of_memory: f = DeletedFault{out_of_memory_code, PlatformFileKind::regular}; break;
        case MarkersFileOutcome::held: f = DeletedFault{r.read.code, PlatformFileKind::regular}; break;
    }
    if (r.outcome != MarkersFileOutcome::damaged && f.code != 0) {
        text_append(cause, deleted_path);
        if (f.code == obstacle_code) {
            text_append(cause, " is ");
            text_append(cause, obstacle_description(r.kind));
        } else {
            text_append(cause, " ");
            text_append(cause, r.why);
        }
        if (news(u, f.code)) {
            log_format(ctx, LogLevel::error,
                       "Could not read {}: {}; Quillfen saves nothing over it, and no marker can be deleted until it "
                       "can be read (to delete markers, {})",
                       deleted_path, markers_file_unread_cause(r), fault_advice(f));
        }
    }
    free_file_text(ctx.general, text);
    u.deleted_file_unread = f.code != 0;
    if (r.outcome != MarkersFileOutcome::read) return f;
    const bool taken = take_deleted_file(ctx, state, data);
    free_markers_data(data, ctx.general);
    if (!taken) {
        u.deleted_file_unread = true;
        text_append(cause, "memory ran out while ");
        text_append(cause, deleted_path);
        text_append(cause, " was read");
        if (news(u, out_of_memory_code)) {
            log_format(ctx, LogLevel::error, "Could not read {}: {}", deleted_path, "out of memory");
        }
        return DeletedFault{out_of_memory_code, PlatformFileKind::regular};
    }
    return {};
}

// Writes the history's deletes whole into deleted.json: the newest
// `deleted_markers_kept`, those back in the list but not saved yet too, and
// not the step `left_out` (-1: none). No fault when it holds them; else why
// not goes to `cause` ("Quillfen/deleted.json could not be written (EACCES)").
static DeletedFault write_deleted_file(RunContext& ctx, PluginState& state, TextBuilder& cause,
                                       std::int64_t left_out = -1) {
    MarkerUndo& u = state.undo;
    if (u.deleted_file_unread) {
        const DeletedFault f = read_deleted_file(ctx, state, cause);
        if (f.code != 0) return f;
    }
    // As markers.json: nothing that is not a file is replaced.
    const PlatformFileKind there = platform_file_info(deleted_path).kind;
    if (const char* what = obstacle_description(there)) {
        text_append(cause, deleted_path);
        text_append(cause, " is ");
        text_append(cause, what);
        return DeletedFault{obstacle_code, there};
    }
    std::size_t count = count_of(u, UndoKind::deleted);
    if (left_out >= 0) --count;
    const std::size_t skip = count > deleted_markers_kept ? count - deleted_markers_kept : 0;
    count -= skip;
    MarkerDataV1* records = allocate_array<MarkerDataV1>(ctx.scratch, count);
    std::int64_t* deleted_ns = allocate_array<std::int64_t>(ctx.scratch, count);
    MarkersText text{};
    const DeletedFault no_memory{out_of_memory_code, PlatformFileKind::regular};
    if (count > 0 && (!records || !deleted_ns)) {
        text_append(cause, "memory ran out");
        return no_memory;
    }
    std::size_t n = 0, passed = 0;
    for (std::size_t i = 0; i < u.steps.length; ++i) {
        const UndoStep& s = u.steps[i];
        if (s.kind != UndoKind::deleted || static_cast<std::int64_t>(i) == left_out) continue;
        if (passed++ < skip) continue;
        records[n] = s.marker;
        deleted_ns[n++] = s.deleted_ns;
    }
    if (serialize_markers(records, n, ctx.general, text, deleted_ns) != SerializeError::none) {
        text_append(cause, "memory ran out");
        return no_memory;
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
        text_append(cause, deleted_path);
        text_append(cause, " could not be written (");
        append_error(cause, e.code);
        text_append(cause, ")");
        return DeletedFault{e.code, PlatformFileKind::regular};
    }
    if (u.said_error != 0)
        log_format(ctx, LogLevel::info, "{} can be written again: deletes are kept there", deleted_path);
    u.said_error = 0;
    u.deleted_file_behind = false;
    return {};
}

// After a write that worked: the deletes beyond the newest
// deleted_markers_kept, which it no longer holds, leave the history too.
static void forget_older_deletes(RunContext& ctx, PluginState& state) {
    MarkerUndo& u = state.undo;
    const std::size_t count = count_of(u, UndoKind::deleted);
    if (count <= deleted_markers_kept) return;
    ListedSpan* spans = allocate_array<ListedSpan>(ctx.scratch, count - deleted_markers_kept);
    std::size_t lost = 0;
    keep_newest(ctx, u, UndoKind::deleted, deleted_markers_kept, [&](const UndoStep& s) {
        if (s.restored) return;  // in the list: saved with it
        if (spans) spans[lost] = ListedSpan{s.marker.timestamp._nsec, s.deleted_ns};
        ++lost;
    });
    if (!spans) {
        log_format(ctx, LogLevel::info, "{} keeps the newest {:d} deleted markers: {:d} older ones left it",
                   deleted_path, static_cast<std::int64_t>(deleted_markers_kept), static_cast<std::int64_t>(lost));
        return;
    }
    say_older_deletes_leave(ctx, spans, lost, "left it");
}

void load_deleted_markers(RunContext& ctx, PluginState& state) {
    char cause[256];
    TextBuilder b = text_builder(cause, sizeof cause);
    (void)read_deleted_file(ctx, state, b);
}

// ---- remembering ----------------------------------------------------------------------------

bool remember_deleted_marker(RunContext& ctx, PluginState& state, std::size_t index, const char* label) {
    MarkerUndo& u = state.undo;
    const MarkerDataV1& m = state.markers[index].data;
    char cause_text[256];
    TextBuilder cause = text_builder(cause_text, sizeof cause_text);
    UndoStep step{UndoKind::deleted, {}, platform_now_ns(), static_cast<std::int64_t>(index), false, false};
    // What deleted.json holds is read first: nothing replaces it unread.
    DeletedFault f = u.deleted_file_unread ? read_deleted_file(ctx, state, cause) : DeletedFault{};
    const bool copied =
        f.code == 0 && copy_marker_record(ctx.general, m, step.marker) && array_append(u.steps, ctx.general, step);
    if (f.code == 0 && !copied) {
        free_marker_texts(ctx.general, step.marker);
        text_append(cause, "memory ran out");
        f = DeletedFault{out_of_memory_code, PlatformFileKind::regular};
    } else if (copied) {
        // One entry per marker: an earlier delete of it (undone since) gives way to this one.
        const std::int64_t earlier = deleted_step_of(u, m);
        const bool earlier_is_new = earlier == static_cast<std::int64_t>(u.steps.length - 1);
        u.deleted_file_behind = true;
        f = write_deleted_file(ctx, state, cause, earlier_is_new ? -1 : earlier);
        if (f.code != 0) {
            // Not kept, so not made: the history is as it was.
            u.deleted_file_behind = false;
            free_marker_texts(ctx.general, u.steps[u.steps.length - 1].marker);
            --u.steps.length;
        } else if (!earlier_is_new) {
            free_marker_texts(ctx.general, u.steps[static_cast<std::size_t>(earlier)].marker);
            array_remove_ordered(u.steps, static_cast<std::size_t>(earlier));
        }
    }
    if (f.code != 0) {
        log_format(ctx, LogLevel::error,
                   "Did not delete {}: {}, and a marker leaves the list only once {} keeps it for an undo; to delete "
                   "it, {}, then delete it again",
                   label, text_view(cause), deleted_path, fault_advice(f));
        show_delete_refused(state, f);
        return false;
    }
    log_format(ctx, LogLevel::info, "Deleted {}", label);
    forget_older_deletes(ctx, state);
    return true;
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
    keep_newest(ctx, u, UndoKind::renamed, renames_kept, [](const UndoStep&) {});
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
        // The marker itself whatever its position (a NaN is within no distance), or another in its place.
        if (same_marker(m.data, s.marker) ||
            distance_squared(m.data.position, s.marker.position) < minimum_spacing_squared) {
            const Marker was{s.marker, 0, false, GuarmaSide::unknown};
            const char* label = shown_marker_label(ctx, state, was, PlaceLookup::quiet);
            log_format(ctx, LogLevel::info,
                       "Did not restore {}: a marker lies within 1 unit of its place already ({} keeps it)", label,
                       deleted_path);
            char text[notice_capacity];
            TextBuilder b = text_builder(text, sizeof text);
            text_append(b, "Not restored, as a marker lies within 1 m of its place: ");
            text_append(b, label);
            show_notice(state.notice, text_view(b), platform_now_ns(), NoticeSound::refusal);
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
        show_notice(state.notice, "Could not undo the rename: the marker is gone", platform_now_ns(),
                    NoticeSound::refusal);
    } else {
        undo_marker_rename(ctx, state, state.markers[static_cast<std::size_t>(found)], earlier.name);
    }
    free_marker_texts(ctx.general, earlier);
    return found;
}

std::int64_t undo_last_change(RunContext& ctx, PluginState& state) {
    // A delete whose marker is in the list again is no change to undo.
    const bool offered = newest_step(state.undo) >= 0;
    mark_deletes_back(ctx, state);
    const std::int64_t at = newest_step(state.undo);
    if (at < 0) {
        if (offered) {
            log_message(ctx, LogLevel::info, "Nothing to undo: the markers deleted are in the list again");
            show_notice(state.notice, "Nothing to undo: the markers deleted are back already", platform_now_ns(),
                        NoticeSound::refusal);
        }
        return -1;
    }
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
    char cause[256];
    TextBuilder b = text_builder(cause, sizeof cause);
    (void)write_deleted_file(ctx, state, b);  // else before the next save, which waits for it
}

// ---- the row's handlers ----------------------------------------------------------------------

std::uint32_t write_deleted_before_save(RunContext& ctx, PluginState& state) {
    if (!state.undo.deleted_file_behind) return 0;
    char cause[256];
    TextBuilder b = text_builder(cause, sizeof cause);
    return write_deleted_file(ctx, state, b).code;
}

void deleted_file_after_save(RunContext& ctx, PluginState& state) {
    MarkerUndo& u = state.undo;
    std::size_t out = 0;
    for (std::size_t i = 0; i < u.steps.length; ++i) {
        if (u.steps[i].restored) {
            free_marker_texts(ctx.general, u.steps[i].marker);
            continue;
        }
        u.steps[out++] = u.steps[i];
    }
    if (out == u.steps.length) return;
    u.steps.length = out;
    // markers.json holds them now: deleted.json may let them go. When this
    // fails it lists them a while longer, which loses nothing: nothing waits for it.
    char cause[256];
    TextBuilder b = text_builder(cause, sizeof cause);
    const DeletedFault f = write_deleted_file(ctx, state, b);
    if (f.code != 0 && news(u, f.code)) {
        log_format(ctx, LogLevel::error,
                   "Could not take the markers restored out of {} ({}); {} holds them, so nothing is lost",
                   deleted_path, text_view(b), markers_path);
    }
}

void undo_at_release(RunContext& ctx, PluginState& state) {
    for (UndoStep& s : state.undo.steps) free_marker_texts(ctx.general, s.marker);
    if (state.undo.steps.data) array_free(state.undo.steps);
}
