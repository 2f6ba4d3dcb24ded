#include "src/markers/marker_persistence.h"

#include <cstring>

#include "src/base/calendar.h"
#include "src/base/text_builder.h"
#include "src/core/feature_row.h"
#include "src/file_formats/marker_copies.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/marker_spacing.h"
#include "src/file_formats/markers_folder.h"
#include "src/map/blips.h"
#include "src/markers/marker_backups.h"
#include "src/markers/marker_list.h"

// Sections: a file that is there but cannot be read · load · save · retrying
// a failed save · script end (and the markers kept when it could not save). The backups, the copies of a file that does
// not load and the recovery are in marker_backups. No save replaces something that is not a file at markers.json
// (obstacle_description).

// ---- a file that is there but cannot be read -----------------------------------------------

// Why a markers.json that is there cannot be read, for people.
static const char* why_unread(PlatformError e) {
    switch (platform_error_kind(e)) {
        case PlatformErrorKind::in_use: return "another program holds it";
        case PlatformErrorKind::denied: return "reading it is denied (another program may hold it)";
        default: return "reading it failed";
    }
}

// The read failed, but something is there: it may hold markers that no copy
// has (the last session's), so it is neither kept aside as damaged nor
// replaced. The newest backup is shown meanwhile.
static void wait_for_unread_file(RunContext& ctx, PluginState& state, const MarkersFileRead& r) {
    MarkerPersistence& p = state.persistence;
    p.markers_file_unread = true;
    p.unread_said = r.outcome;
    p.unread_error = r.read.code;
    p.unread_retry_at_ns = platform_now_ns() + ns_from_seconds(unread_file_retry_seconds);
    if (r.outcome == MarkersFileOutcome::out_of_memory) {
        log_format(ctx, LogLevel::error,
                   "{} could not be loaded now, as memory ran out while it was read; the file is not damaged: "
                   "Quillfen leaves it as it is and saves nothing over it, shows the newest backup's markers "
                   "meanwhile, and reads it again every second until it can (closing other programs frees memory)",
                   markers_path);
    } else {
        log_format(ctx, LogLevel::error,
                   "{} is there but cannot be read now, as {}: Quillfen leaves it as it is and saves nothing over "
                   "it, shows the newest backup's markers meanwhile, and reads it again every second until it can",
                   markers_path, why_unread(r.read));
    }
    recover_markers(ctx, state, false);
    p.shown_from_backup = state.markers.length;
}

static bool same_marker(const MarkerEdit& e, const MarkerDataV1& m) {
    return std::memcmp(&e.position, &m.position, sizeof e.position) == 0 && e.timestamp_ns == m.timestamp._nsec;
}

static void note_edit(RunContext& ctx, PluginState& state, std::size_t index, bool deleted, bool moved,
                      bool found = false, bool noted = false) {
    MarkerPersistence& p = state.persistence;
    if (!p.markers_file_unread || index >= p.shown_from_backup) return;
    const MarkerDataV1& m = state.markers[index].data;
    // Out of memory the edit is not carried into the file: the file's marker wins.
    (void)array_append(p.edited_meanwhile, ctx.general,
                       MarkerEdit{m.position, m.timestamp._nsec, deleted, moved, found, noted});
    if (deleted) --p.shown_from_backup;
}

void note_marker_deleted(RunContext& ctx, PluginState& state, std::size_t index) {
    note_edit(ctx, state, index, true, false);
}
void note_marker_renamed(RunContext& ctx, PluginState& state, std::size_t index) {
    note_edit(ctx, state, index, false, false);
}
void note_marker_moved(RunContext& ctx, PluginState& state, std::size_t index) {
    note_edit(ctx, state, index, false, true);
}
void note_marker_found(RunContext& ctx, PluginState& state, std::size_t index) {
    note_edit(ctx, state, index, false, false, true);
}
void note_marker_noted(RunContext& ctx, PluginState& state, std::size_t index) {
    note_edit(ctx, state, index, false, false, false, true);
}

static void stop_waiting_for_unread_file(PluginState& state) {
    MarkerPersistence& p = state.persistence;
    p.markers_file_unread = false;
    p.failed_saves = 0;  // no save was tried against the file itself yet
    p.unread_said = MarkersFileOutcome::read;
    p.unread_error = 0;
    p.shown_from_backup = 0;
    array_free(p.edited_meanwhile);
}

void release_marker_persistence(PluginState& state) {
    if (state.persistence.edited_meanwhile.data) array_free(state.persistence.edited_meanwhile);
}

// What a late read made of the file and of the changes made meanwhile.
struct LateMerge {
    std::size_t from_file, added, joined, deleted, renamed, moved;
};

// The file's markers become the list. The backup's markers shown meanwhile
// give way to them (those deleted, renamed or moved meanwhile are deleted,
// renamed or moved in the file's list too); the markers added meanwhile join them under the
// 1-unit rule of an added marker. False when out of memory (nothing changed).
static bool merge_late_file(RunContext& ctx, PluginState& state, MarkersData& data, LateMerge& m) {
    GrowableArray<Marker>& old = state.markers;
    const MarkerPersistence& p = state.persistence;
    const std::size_t kept = p.shown_from_backup < old.length ? p.shown_from_backup : old.length;
    m = LateMerge{data.count, old.length - kept, 0, 0, 0, 0};
    GrowableArray<Marker> merged{};
    SpacingGrid grid{};
    if (!array_reserve(merged, ctx.general, data.count + m.added) ||
        !spacing_grid_reserve(grid, ctx.general, data.count + m.added)) {
        array_free(merged);
        spacing_grid_free(grid);
        return false;
    }
    bool whole = true;
    for (std::size_t i = 0; i < data.count; ++i) {
        MarkerDataV1& record = data.records[i];
        bool deleted = false, renamed = false, moved = false, found = false, noted = false;
        for (const MarkerEdit& e : p.edited_meanwhile) {
            if (!same_marker(e, record)) continue;
            deleted = deleted || e.deleted;
            renamed = renamed || (!e.deleted && !e.moved && !e.found && !e.noted);
            moved = moved || e.moved;
            found = found || e.found;
            noted = noted || e.noted;
        }
        if (deleted) {
            ++m.deleted;
            continue;  // its name goes with the records
        }
        if (renamed || moved || found || noted) {
            for (std::size_t j = 0; j < kept; ++j) {
                Marker& shown = old[j];
                const MarkerEdit e{shown.data.position, shown.data.timestamp._nsec, false, false, false};
                if (!same_marker(e, record)) continue;
                if (renamed) {
                    free_marker_name(ctx.general, record.name);
                    record.name = shown.data.name;  // the name given meanwhile
                    shown.data.name = nullptr;
                    ++m.renamed;
                }
                if (moved) {
                    record.category = shown.data.category;  // the category it was moved to meanwhile
                    ++m.moved;
                }
                if (found) {  // found, or not found any more, meanwhile
                    record.is_found = shown.data.is_found;
                    record.found = shown.data.found;
                }
                if (noted) {
                    free_marker_name(ctx.general, record.note);
                    record.note = shown.data.note;  // the note written meanwhile
                    shown.data.note = nullptr;
                    ++m.renamed;  // said with the renames: the marker as the player left it
                }
                break;
            }
        }
        array_append(merged, ctx.general, Marker{record, 0, false, GuarmaSide::unknown});  // room reserved
        hand_over_marker_texts(record);
        whole = spacing_grid_add(grid, ctx.general, record.position) && whole;
    }
    for (std::size_t i = kept; i < old.length; ++i) {
        Marker& added = old[i];
        if (spacing_grid_too_close(grid, added.data.position)) continue;
        array_append(merged, ctx.general, Marker{added.data, 0, added.is_new, added.side});
        hand_over_marker_texts(added.data);
        whole = spacing_grid_add(grid, ctx.general, added.data.position) && whole;
        ++m.joined;
    }
    spacing_grid_free(grid);
    (void)whole;  // positions the grid could not take were checked all the same up to there

    free_marker_list(ctx, state, old);
    state.markers = merged;
    // As at a script start: the choice of blips begins anew on the new list.
    marker_list_changed(ctx, state, MarkerListChange::replaced);
    return true;
}

// The late read failed again: said when the cause is new, and tried again in a second.
static void still_unread(RunContext& ctx, PluginState& state, const MarkersFileRead& r) {
    MarkerPersistence& p = state.persistence;
    if (r.outcome == p.unread_said && r.read.code == p.unread_error) return;
    if (r.read.code != 0) {
        log_format(ctx, LogLevel::error, "Still cannot read markers data file: {}", r.read);
    } else {  // read, but memory ran out loading it or joining it with the changes made meanwhile
        log_format(ctx, LogLevel::error, "Failed to load markers data file, read at last: {}", "out of memory");
    }
    p.unread_said = r.outcome;
    p.unread_error = r.read.code;
}

// Reads markers.json again; once it can be read, it is loaded (with the
// changes made meanwhile) or, when it does not load, kept aside as damaged.
static MarkersFileRetry read_unread_file_again(RunContext& ctx, PluginState& state) {
    MarkersData data{};
    FileText text{};
    const MarkersFileRead r = read_markers_file(markers_path, ctx.general, data, &text);
    switch (r.outcome) {
        case MarkersFileOutcome::missing:
        case MarkersFileOutcome::not_a_file:
            // Gone, or no file any more: there is nothing left to lose there.
            log_format(ctx, LogLevel::error,
                       "{} could not be read, and is no longer there as a file: the markers shown are saved in its "
                       "place",
                       markers_path);
            stop_waiting_for_unread_file(state);
            return {save_markers_file(ctx, state), true};
        case MarkersFileOutcome::held:
        case MarkersFileOutcome::out_of_memory:
            free_file_text(ctx.general, text);
            still_unread(ctx, state, r);
            return {};
        case MarkersFileOutcome::damaged:
            // Read at last, and damaged: kept aside as any damaged file; the
            // markers shown (the backup's and those added since) take its place.
            keep_damaged_file(ctx, state, r, text.data, text.size);
            free_file_text(ctx.general, text);
            stop_waiting_for_unread_file(state);
            return {save_markers_file(ctx, state), true};
        case MarkersFileOutcome::read: break;
    }
    LateMerge m{};
    if (!merge_late_file(ctx, state, data, m)) {
        free_markers_data(data, ctx.general);
        free_file_text(ctx.general, text);
        MarkersFileRead ran_out = r;
        ran_out.outcome = MarkersFileOutcome::out_of_memory;
        still_unread(ctx, state, ran_out);
        return {};
    }
    free_markers_data(data, ctx.general);
    log_format(ctx, LogLevel::info, "Loaded {:d} markers from JSON", static_cast<std::int64_t>(m.from_file));
    char changes[256];
    TextBuilder b = text_builder(changes, sizeof changes);
    if (m.added > m.joined) {
        text_append(b, " (");
        text_append_i64(b, static_cast<std::int64_t>(m.added - m.joined));
        text_append(b, " lay within 1 unit of one of its markers)");
    }
    if (m.deleted + m.renamed + m.moved > 0) {
        text_append(b, "; of the backup's markers shown meanwhile, ");
        text_append_i64(b, static_cast<std::int64_t>(m.deleted));
        text_append(b, m.moved > 0 ? " deleted, " : " deleted and ");
        text_append_i64(b, static_cast<std::int64_t>(m.renamed));
        text_append(b, " renamed");
        if (m.moved > 0) {
            text_append(b, " and ");
            text_append_i64(b, static_cast<std::int64_t>(m.moved));
            text_append(b, " moved to another category");
        }
        text_append(b, " stay so");
    }
    log_format(ctx, LogLevel::info,
               "Read {} at last: its {:d} markers take the place of the backup's, and {:d} of the {:d} markers added "
               "meanwhile joined them{}",
               markers_path, static_cast<std::int64_t>(m.from_file), static_cast<std::int64_t>(m.joined),
               static_cast<std::int64_t>(m.added), text_view(b));
    set_last_good_copy(state, markers_path);
    // The backup holds the file as the game found it, now that it is known to load.
    back_up_text(ctx, text.data, text.size);
    free_file_text(ctx.general, text);
    const bool changed = m.joined + m.deleted + m.renamed + m.moved > 0;
    stop_waiting_for_unread_file(state);
    const bool save = changed || state.persistence.save_failure != SaveFailure::none;
    return {save && save_markers_file(ctx, state), true};
}

// ---- load ---------------------------------------------------------------------------------

void load_data_from_disk(RunContext& ctx, PluginState& state) {
    log_message(ctx, LogLevel::info, "Loading data from disk");
    MarkersData data{};
    FileText text{};
    const MarkersFileRead r = read_markers_file(markers_path, ctx.general, data, &text);
    switch (r.outcome) {
        case MarkersFileOutcome::not_a_file:
            log_format(ctx, LogLevel::error, "{} is {}, not a markers data file: Quillfen will not touch it",
                       markers_path, obstacle_description(r.kind));
            state.persistence.unreadable_copy_pending = false;  // nothing there to lose
            recover_markers(ctx, state, false);
            break;
        case MarkersFileOutcome::missing:
            log_format(ctx, LogLevel::error, "Failed to read markers data file: {}", r.read);
            // No file: a first start (no backup either, nothing more to say), or
            // one that lost it (moved away to make a pack, removed by a sync
            // tool), where a backup that loads takes its place.
            recover_markers(ctx, state, true);
            break;
        case MarkersFileOutcome::held:
        case MarkersFileOutcome::out_of_memory:
            // A file that is there but cannot be had now (held by another
            // program, or too big for the memory left) is not damaged: it is
            // read again until it can be.
            if (ran_out_loading(r)) {
                log_format(ctx, LogLevel::error, "Failed to load markers data file: {}", r.why);
            } else {
                log_format(ctx, LogLevel::error, "Failed to read markers data file: {}", r.read);
            }
            wait_for_unread_file(ctx, state, r);
            break;
        case MarkersFileOutcome::damaged:
            keep_damaged_file(ctx, state, r, text.data, text.size);
            recover_markers(ctx, state, false);
            break;
        case MarkersFileOutcome::read:
            take_markers(ctx, state, data);
            set_last_good_copy(state, markers_path);
            log_format(ctx, LogLevel::info, "Loaded {:d} markers from JSON",
                       static_cast<std::int64_t>(state.markers.length));
            break;
    }
    free_file_text(ctx.general, text);
}

// ---- save ----------------------------------------------------------------------------------

float save_retry_delay_seconds(std::uint32_t failed_tries) {
    float delay = failed_save_retry_seconds;
    for (std::uint32_t i = 1; i < failed_tries && delay < failed_save_retry_most_seconds; ++i) delay *= 2.0f;
    return delay < failed_save_retry_most_seconds ? delay : failed_save_retry_most_seconds;
}

constexpr auto save_failed_notice =
    join_text("Could not save your markers: ", join_text(log_path_text.text, " says why").text);

// Notes why a try failed and when the next one is due. True when that is
// worth its line: saves worked until now, or failed for another reason.
static bool note_save_failure(PluginState& state, SaveFailure why, std::uint32_t code) {
    MarkerPersistence& p = state.persistence;
    const bool first = p.save_failure == SaveFailure::none;
    const bool news = first || p.save_failure != why || p.save_failure_code != code;
    p.save_failure = why;
    p.save_failure_code = code;
    if (p.failed_saves < 64) ++p.failed_saves;
    // Counted from the failed try: a try that takes long does not eat into the pause.
    p.save_retry_at_ns = platform_now_ns() + ns_from_seconds(save_retry_delay_seconds(p.failed_saves));
    // On screen once for a run of failures, as the log says why in full.
    if (first) show_notice(state.notice, save_failed_notice.text, platform_now_ns(), NoticeSound::refusal);
    return news;
}

constexpr auto move_away_advice = join_text("move away what stands at ", markers_path_text.text);
constexpr auto close_holder_advice = join_text("close the program that holds ", markers_path_text.text);
constexpr auto writable_advice =
    join_text(join_text(join_text("make ", markers_path_text.text).text, " and the ").text,
              join_text(quillfen_folder, " folder writable (not read-only, and yours to change)").text);
constexpr auto make_folder_advice =
    join_text(join_text("make a folder named ", quillfen_folder).text, " in the game folder");

// What the player can do about a failed save, by its cause.
static const char* save_advice(SaveFailure why, std::uint32_t code) {
    switch (why) {
        case SaveFailure::out_of_memory: return "close other programs to free memory";
        case SaveFailure::not_a_file: return move_away_advice.text;
        case SaveFailure::none:
        case SaveFailure::file_not_read: return close_holder_advice.text;
        case SaveFailure::unreadable_not_kept:
        case SaveFailure::write: break;
    }
    switch (platform_error_kind(PlatformError{code})) {
        case PlatformErrorKind::disk_full: return "make room on the disk that holds the game";
        case PlatformErrorKind::in_use: return close_holder_advice.text;
        case PlatformErrorKind::denied: return writable_advice.text;
        case PlatformErrorKind::not_found: return make_folder_advice.text;
        case PlatformErrorKind::other: break;
    }
    return "the line above says what failed";
}

static void say_saves_are_retried(RunContext& ctx, const PluginState& state) {
    const MarkerPersistence& p = state.persistence;
    log_format(ctx, LogLevel::error,
               "Could not save the markers: they stay in the game, and Quillfen tries again in {:d} seconds, then less "
               "often (every {:d} seconds at most), and at once whenever you change a marker; to let it work, {}",
               static_cast<std::int64_t>(save_retry_delay_seconds(p.failed_saves)),
               static_cast<std::int64_t>(failed_save_retry_most_seconds),
               save_advice(p.save_failure, p.save_failure_code));
}

// A try of a save that is the last (at script end) says nothing of tries to come.
enum class SaveTry { any, last };

// The line of a failed save, "Failed to write to markers data file: WRITTEN/SIZE WHY",
// and what to do about it, when it is news.
template <class Why>
static void report_failed_write(RunContext& ctx, PluginState& state, SaveTry kind, SaveFailure failure,
                                std::uint32_t code, std::size_t written, std::size_t size, const Why& why) {
    if (!note_save_failure(state, failure, code)) return;
    log_format(ctx, LogLevel::error, "Failed to write to markers data file: {}/{} {}", written, size, why);
    if (kind == SaveTry::any) say_saves_are_retried(ctx, state);
}

static void report_failed_serialization(RunContext& ctx, PluginState& state, SaveTry kind) {
    if (!note_save_failure(state, SaveFailure::out_of_memory, 0)) return;
    log_format(ctx, LogLevel::error, "Failed to serialize markers data as JSON: {}", "OutOfMemory");
    if (kind == SaveTry::any) say_saves_are_retried(ctx, state);
}

// Writes the list whole beside markers.json and puts it in its place. A
// Quillfen folder that is gone (moved or deleted while the game runs) is made
// again.
static PlatformError write_markers_file(RunContext& ctx, const MarkersText& text, std::size_t* written) {
    PlatformError e = write_whole_file(markers_saving_path, markers_path, text.data, text.length, true, written);
    if (e.code == 0 || !platform_error_is_not_found(e) ||
        platform_file_info(quillfen_folder).kind != PlatformFileKind::missing) {
        return e;
    }
    const PlatformError made = platform_create_directory(quillfen_folder);
    if (made.code != 0) return made;
    log_format(ctx, LogLevel::info,
               "The {} folder was gone (moved or deleted while the game ran): made it again to save the markers in it",
               quillfen_folder);
    return write_whole_file(markers_saving_path, markers_path, text.data, text.length, true, written);
}

// The list as the game saves it, in the general allocator; false when memory ran out.
static bool list_as_text(RunContext& ctx, const PluginState& state, MarkersText& text) {
    const std::size_t count = state.markers.length;
    MarkerDataV1* records = allocate_array<MarkerDataV1>(ctx.scratch, count);
    if (count > 0 && !records) return false;
    for (std::size_t i = 0; i < count; ++i) records[i] = state.markers[i].data;
    return serialize_markers(records, count, ctx.general, text) == SerializeError::none;
}

static bool save_markers(RunContext& ctx, PluginState& state, SaveTry kind) {
    MarkerPersistence& p = state.persistence;
    // While saves fail, an attempt says nothing unless the reason changes or
    // it works again: one line for the failure, not one per try.
    if (p.save_failure == SaveFailure::none) log_message(ctx, LogLevel::info, "Saving data to disk");
    const std::size_t count = state.markers.length;
    if (p.markers_file_unread) {
        // What the file holds is not known yet: it is read again every
        // second, and the list is saved once it has joined the file.
        if (note_save_failure(state, SaveFailure::file_not_read, 0)) {
            log_format(ctx, LogLevel::error,
                       "Did not save the markers: {} could not be read yet, and saving over it would lose what it "
                       "holds; the {:d} markers stay in the game and are saved once it can be read",
                       markers_path, static_cast<std::int64_t>(count));
        }
        return false;
    }
    MarkersText text{};
    if (!list_as_text(ctx, state, text)) {
        report_failed_serialization(ctx, state, kind);
        return false;
    }

    const PlatformFileKind there = platform_file_info(markers_path).kind;
    if (const char* what = obstacle_description(there)) {
        char why[96];
        TextBuilder b = text_builder(why, sizeof why);
        text_append(b, markers_path);
        text_append(b, " is ");
        text_append(b, what);
        report_failed_write(ctx, state, kind, SaveFailure::not_a_file, static_cast<std::uint32_t>(there), 0,
                            text.length, why);
        free_markers_text(text, ctx.general);
        return false;
    }

    if (p.unreadable_copy_pending) {
        if (!platform_file_exists(markers_path)) {
            p.unreadable_copy_pending = false;  // gone meanwhile: nothing left to lose
        } else if (keep_unreadable_copy(ctx, state, nullptr, 0)) {
            p.unreadable_copy_pending = false;
        } else {
            // The file that could not be loaded stays until a copy of it exists;
            // the markers stay in memory for the next save.
            report_failed_write(ctx, state, kind, SaveFailure::unreadable_not_kept, p.unreadable_copy_error, 0,
                                text.length, "the old file could not be kept yet");
            free_markers_text(text, ctx.general);
            return false;
        }
    }

    // What must be on disk before the list is (the markers deleted, in
    // deleted.json): the rows' `before_save`, each of which says its own failure.
    for (const FeatureRow& row : feature_table) {
        const std::uint32_t first = row.before_save ? row.before_save(ctx, state) : 0;
        if (first == 0) continue;
        // A write that failed, like one of the file itself: said when its cause is news.
        report_failed_write(ctx, state, kind, SaveFailure::write, first, 0, text.length,
                            "as what must be on disk before it could not be written (the line above says which)");
        free_markers_text(text, ctx.general);
        return false;
    }

    std::size_t written = 0;
    const std::size_t length = text.length;
    const PlatformError e = write_markers_file(ctx, text, &written);
    free_markers_text(text, ctx.general);
    if (e.code != 0) {
        report_failed_write(ctx, state, kind, SaveFailure::write, e.code, written, length, e);
        return false;
    }
    log_format(ctx, LogLevel::info, "Saved {:d} markers to JSON", static_cast<std::int64_t>(count));
    set_last_good_copy(state, markers_path);
    p.failed_saves = 0;
    if (p.save_failure != SaveFailure::none) {
        p.save_failure = SaveFailure::none;
        p.save_failure_code = 0;
        log_format(ctx, LogLevel::info, "Saving works again: {} holds every change since saving failed", markers_path);
        show_notice(state.notice, "Saving works again", platform_now_ns(), NoticeSound::select);
    }
    return true;
}

bool save_markers_file(RunContext& ctx, PluginState& state) { return save_markers(ctx, state, SaveTry::any); }

// ---- retrying a failed save -------------------------------------------------------------------

MarkersFileRetry retry_markers_file(RunContext& ctx, PluginState& state) {
    MarkerPersistence& p = state.persistence;
    if (p.markers_file_unread) {
        if (state.frame_time < p.unread_retry_at_ns) return {};
        p.unread_retry_at_ns = state.frame_time + ns_from_seconds(unread_file_retry_seconds);
        // Not while a feature holds a marker's index (the keyboard open for a
        // marker): the list it points into is about to be replaced.
        for (const FeatureRow& row : feature_table) {
            if (row.holds_marker_index && row.holds_marker_index(state)) return {};
        }
        return read_unread_file_again(ctx, state);
    }
    if (p.save_failure == SaveFailure::none || state.frame_time < p.save_retry_at_ns) return {};
    return {save_markers_file(ctx, state), false};  // a failure sets the next delay
}

// ---- script end ----------------------------------------------------------------------------

// The markers the game holds, in a file of their own beside markers.json: in
// the markers file's format, so that a player can take them back as a pack.
static void keep_unsaved_markers(RunContext& ctx, PluginState& state) {
    const auto count = static_cast<std::int64_t>(state.markers.length);
    char name[112];
    TextBuilder chosen = text_builder(name, sizeof name);
    MarkersText text{};
    if (!list_as_text(ctx, state, text)) {
        log_format(ctx, LogLevel::error,
                   "Could not keep the {:d} markers the game held in a file of their own either: {}, so the changes "
                   "that were not saved are lost",
                   count, "out of memory");
        return;
    }
    char base[96];
    TextBuilder b = text_builder(base, sizeof base);
    append_kept_copy_name(b, markers_path, unsaved_copy_infix, platform_now_ns());
    const PlatformError e = keep_under_new_name(markers_copying_path, base, text.data, text.length, chosen);
    free_markers_text(text, ctx.general);
    if (e.code != 0) {
        log_format(ctx, LogLevel::error,
                   "Could not keep the {:d} markers the game held in {} either: {}, so the changes that were not "
                   "saved are lost",
                   count, static_cast<const char*>(base), e);
        return;
    }
    log_format(ctx, LogLevel::error,
               "Kept the {:d} {} the game held in {}: to put back what the game held, with this run's "
               "new markers, deletes, renames, moves, notes and found marks, close the game and run "
               "quillfen-markers restore . {} in the Quillfen folder; it replaces {}, which is kept as {}.replaced-"
               "YYYYMMDD-HHMMSS (README.txt, IF YOUR MARKERS ARE GONE, says more)",
               count, counted_noun(count, "marker", "markers"), static_cast<const char*>(name),
               std::string_view(name).substr(std::string_view(name).rfind('/') + 1), markers_path, markers_file_name);
}

bool save_markers_file_at_quit(RunContext& ctx, PluginState& state, bool restart) {
    const char* const ended = restart ? "the scripts started again" : "the game quit";
    const MarkerPersistence& p = state.persistence;
    if (p.save_failure == SaveFailure::none) return false;  // nothing waits to be saved
    if (!p.markers_file_unread && save_markers(ctx, state, SaveTry::last)) return true;
    const auto count = static_cast<std::int64_t>(state.markers.length);
    if (p.markers_file_unread) {
        log_format(ctx, LogLevel::error,
                   "The changes made in the game were not saved: {} still could not be read when {}, "
                   "so it is left as it was (the game held {:d} markers, the backup's and those added since)",
                   markers_path, ended, count);
    } else if (p.last_good_copy[0] == '\0') {
        log_format(ctx, LogLevel::error,
                   "The changes made since saving failed were not saved: the game held {:d} markers when {}, "
                   "and there is no earlier copy of them",
                   count, restart ? ended : "it quit");
    } else {
        const bool file = std::strcmp(p.last_good_copy, markers_path) == 0;
        log_format(ctx, LogLevel::error,
                   "The changes made since saving failed were not saved: the game held {:d} markers when {}, "
                   "and the last good copy is {}{}",
                   count, restart ? ended : "it quit", static_cast<const char*>(p.last_good_copy),
                   file ? " as last saved" : "");
    }
    keep_unsaved_markers(ctx, state);
    return false;
}

void markers_file_at_release(RunContext& ctx, PluginState& state) {
    if (state.markers.data) free_marker_list(ctx, state, state.markers);
    release_marker_persistence(state);
}
