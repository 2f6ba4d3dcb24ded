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
#include "src/platform/log_file.h"

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

static bool same_marker(const MarkerDataV1& a, const MarkerDataV1& b) {
    return std::memcmp(&a.position, &b.position, sizeof a.position) == 0 && a.timestamp._nsec == b.timestamp._nsec;
}

// The newest edit of `kind` made to `m`, or -1.
static std::int64_t newest_edit(const MarkerPersistence& p, const MarkerDataV1& m, MarkerEditKind kind) {
    for (std::size_t i = p.edited_meanwhile.length; i-- > 0;) {
        const MarkerEdit& e = p.edited_meanwhile[i];
        if (e.kind == kind && same_marker(e, m)) return static_cast<std::int64_t>(i);
    }
    return -1;
}

static void note_edit(RunContext& ctx, PluginState& state, std::size_t index, MarkerEditKind kind) {
    MarkerPersistence& p = state.persistence;
    if (!p.markers_file_unread || index >= p.shown_from_backup) return;
    const MarkerDataV1& m = state.markers[index].data;
    // Out of memory the edit is not carried into the file: the file's marker wins.
    (void)array_append(p.edited_meanwhile, ctx.general, MarkerEdit{m.position, m.timestamp._nsec, kind});
    if (kind == MarkerEditKind::deleted) --p.shown_from_backup;
}

void note_marker_deleted(RunContext& ctx, PluginState& state, std::size_t index) {
    note_edit(ctx, state, index, MarkerEditKind::deleted);
}
void note_marker_renamed(RunContext& ctx, PluginState& state, std::size_t index) {
    note_edit(ctx, state, index, MarkerEditKind::renamed);
}
void note_marker_moved(RunContext& ctx, PluginState& state, std::size_t index) {
    note_edit(ctx, state, index, MarkerEditKind::moved);
}
void note_marker_found(RunContext& ctx, PluginState& state, std::size_t index) {
    note_edit(ctx, state, index, MarkerEditKind::found);
}
void note_marker_noted(RunContext& ctx, PluginState& state, std::size_t index) {
    note_edit(ctx, state, index, MarkerEditKind::noted);
}

void note_rename_undone(RunContext&, PluginState& state, std::size_t index) {
    MarkerPersistence& p = state.persistence;
    if (!p.markers_file_unread || index >= p.shown_from_backup) return;
    // The rename undone is the newest: without it the marker is named as before it.
    const std::int64_t at = newest_edit(p, state.markers[index].data, MarkerEditKind::renamed);
    if (at >= 0) array_remove_ordered(p.edited_meanwhile, static_cast<std::size_t>(at));
}

std::size_t place_restored_marker(const PluginState& state, const MarkerDataV1& marker, std::size_t at) {
    const MarkerPersistence& p = state.persistence;
    if (!p.markers_file_unread) return at;
    if (newest_edit(p, marker, MarkerEditKind::deleted) >= 0)
        return at < p.shown_from_backup ? at : p.shown_from_backup;
    return at > p.shown_from_backup ? at : p.shown_from_backup;
}

void note_marker_restored(RunContext& ctx, PluginState& state, std::size_t index) {
    MarkerPersistence& p = state.persistence;
    if (!p.markers_file_unread) return;
    const MarkerDataV1& m = state.markers[index].data;
    const std::int64_t deleted = newest_edit(p, m, MarkerEditKind::deleted);
    if (deleted >= 0) {
        // A marker of the backup again (place_restored_marker put it among them):
        // its delete no longer reaches the file's marker.
        p.edited_meanwhile[static_cast<std::size_t>(deleted)].kind = MarkerEditKind::restored;
        ++p.shown_from_backup;
        return;
    }
    // Out of memory it is said as one added meanwhile; it joins the file's all the same.
    (void)array_append(p.edited_meanwhile, ctx.general,
                       MarkerEdit{m.position, m.timestamp._nsec, MarkerEditKind::restored});
}

static void free_late_read(RunContext& ctx, LateRead& late) {
    for (LateReadEdit& e : late.edited) free_marker_texts(ctx.general, e.file_version);
    for (MarkerDataV1& m : late.not_back) free_marker_texts(ctx.general, m);
    if (late.edited.data) array_free(late.edited);
    if (late.not_back.data) array_free(late.not_back);
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
    std::size_t from_file;
    std::size_t added, joined;              // the markers added meanwhile, and those that joined the file's
    std::size_t restored, restored_joined;  // put back by Undo and not in the file as it was read: the same
    // The file's markers that the changes made meanwhile reached, by what they changed.
    std::size_t deleted, renamed, moved, noted, found, not_found;
};

// What the changes made meanwhile did to a marker of the file.
struct EditsOfMarker {
    bool deleted, renamed, moved, found, noted;
};

// A marker shown meanwhile that is not in the file as it was read (added, or
// put back by Undo) joins the file's markers under the 1-unit rule of an added
// marker. False when one of them lies within 1 unit of it.
static bool join_late(RunContext& ctx, GrowableArray<Marker>& merged, SpacingGrid& grid, Marker& shown, bool& whole) {
    if (spacing_grid_too_close(grid, shown.data.position)) return false;
    array_append(merged, ctx.general, Marker{shown.data, 0, shown.is_new, shown.side});  // room reserved
    hand_over_marker_texts(shown.data);
    whole = spacing_grid_add(grid, ctx.general, shown.data.position) && whole;
    return true;
}

// A marker put back by Undo meanwhile that did not join: back all the same
// when the file holds it as it is; else it is kept for the rows that follow
// the late read (the undo keeps it in deleted.json). True when it is back.
static bool restored_left_out(RunContext& ctx, MarkerPersistence& p, const MarkersData& data, MarkerDataV1& shown) {
    for (std::size_t i = 0; i < data.count; ++i) {
        if (same_marker(data.records[i], shown)) return true;
    }
    if (array_append(p.late_read.not_back, ctx.general, shown)) hand_over_marker_texts(shown);
    return false;
}

// The file's markers become the list. The changes made meanwhile to the
// backup's markers shown are made to the same markers of the file (found by
// place and time): a delete deletes it, a rename, move, found mark or note
// changes that key and keeps the others as the file has them, and a delete
// undone leaves it as it is. The markers added meanwhile, and those put back
// by Undo that the file does not have, join them under the 1-unit rule of an
// added marker. What it did goes into `p.late_read` for the rows. False when
// out of memory (nothing changed).
static bool merge_late_file(RunContext& ctx, PluginState& state, MarkersData& data, LateMerge& m) {
    GrowableArray<Marker>& old = state.markers;
    MarkerPersistence& p = state.persistence;
    const std::size_t kept = p.shown_from_backup < old.length ? p.shown_from_backup : old.length;
    const std::size_t edits = p.edited_meanwhile.length;
    m = LateMerge{};
    m.from_file = data.count;
    GrowableArray<Marker> merged{};
    SpacingGrid grid{};
    // Which edits of the kind `restored` found their marker in the file.
    bool* in_file = allocate_array<bool>(ctx.scratch, edits);
    if ((edits > 0 && !in_file) || !array_reserve(merged, ctx.general, data.count + old.length) ||
        !spacing_grid_reserve(grid, ctx.general, data.count + old.length)) {
        array_free(merged);
        spacing_grid_free(grid);
        return false;
    }
    for (std::size_t k = 0; k < edits; ++k) in_file[k] = false;
    bool whole = true;
    for (std::size_t i = 0; i < data.count; ++i) {
        MarkerDataV1& record = data.records[i];
        EditsOfMarker did{};
        for (std::size_t k = 0; k < edits; ++k) {
            const MarkerEdit& e = p.edited_meanwhile[k];
            if (!same_marker(e, record)) continue;
            switch (e.kind) {
                case MarkerEditKind::deleted: did.deleted = true; break;
                case MarkerEditKind::renamed: did.renamed = true; break;
                case MarkerEditKind::moved: did.moved = true; break;
                case MarkerEditKind::found: did.found = true; break;
                case MarkerEditKind::noted: did.noted = true; break;
                case MarkerEditKind::restored: in_file[k] = true; break;
            }
        }
        if (did.deleted) {
            ++m.deleted;
            // The file's version of it, for the undo to keep in deleted.json.
            if (array_append(p.late_read.edited, ctx.general,
                             LateReadEdit{record, true, did.renamed, did.moved, did.found, did.noted})) {
                hand_over_marker_texts(record);
            }
            continue;  // else its texts go with the records
        }
        if (did.renamed || did.moved || did.found || did.noted) {
            // The file's marker as it was, for the rows that follow (the undo's
            // renames). Out of memory they make do without it.
            LateReadEdit seen{{}, false, did.renamed, did.moved, did.found, did.noted};
            if (copy_marker_record(ctx.general, record, seen.file_version) &&
                !array_append(p.late_read.edited, ctx.general, seen)) {
                free_marker_texts(ctx.general, seen.file_version);
            }
            for (std::size_t j = 0; j < kept; ++j) {
                Marker& shown = old[j];
                if (!same_marker(shown.data, record)) continue;
                if (did.renamed) {
                    free_marker_name(ctx.general, record.name);
                    record.name = shown.data.name;  // the name given meanwhile
                    shown.data.name = nullptr;
                    ++m.renamed;
                }
                if (did.moved) {
                    record.category = shown.data.category;  // the category it was moved to meanwhile
                    ++m.moved;
                }
                if (did.found) {  // found, or not found any more, meanwhile
                    record.is_found = shown.data.is_found;
                    record.found = shown.data.found;
                    ++(record.is_found ? m.found : m.not_found);
                }
                if (did.noted) {
                    free_marker_name(ctx.general, record.note);
                    record.note = shown.data.note;  // the note written meanwhile
                    shown.data.note = nullptr;
                    ++m.noted;
                }
                break;
            }
        }
        array_append(merged, ctx.general, Marker{record, 0, false, GuarmaSide::unknown});  // room reserved
        hand_over_marker_texts(record);
        whole = spacing_grid_add(grid, ctx.general, record.position) && whole;
    }
    // Markers of the backup put back by Undo that the file does not have (the
    // last session deleted them): put back all the same, as markers added meanwhile.
    for (std::size_t k = 0; k < edits; ++k) {
        const MarkerEdit& e = p.edited_meanwhile[k];
        if (e.kind != MarkerEditKind::restored || in_file[k]) continue;
        bool seen_before = false;
        for (std::size_t l = 0; l < k && !seen_before; ++l) {
            const MarkerEdit& earlier = p.edited_meanwhile[l];
            seen_before = earlier.kind == MarkerEditKind::restored && earlier.timestamp_ns == e.timestamp_ns &&
                          std::memcmp(&earlier.position, &e.position, sizeof e.position) == 0;
        }
        if (seen_before) continue;
        for (std::size_t j = 0; j < kept; ++j) {
            if (!same_marker(e, old[j].data)) continue;
            ++m.restored;
            if (join_late(ctx, merged, grid, old[j], whole) || restored_left_out(ctx, p, data, old[j].data)) {
                ++m.restored_joined;
            }
            break;
        }
    }
    for (std::size_t i = kept; i < old.length; ++i) {
        Marker& added = old[i];
        bool restored = false;
        for (std::size_t k = 0; k < edits && !restored; ++k) {
            restored = p.edited_meanwhile[k].kind == MarkerEditKind::restored &&
                       same_marker(p.edited_meanwhile[k], added.data);
        }
        const bool joined = join_late(ctx, merged, grid, added, whole);
        if (restored) {
            ++m.restored;
            if (joined || restored_left_out(ctx, p, data, added.data)) ++m.restored_joined;
        } else {
            ++m.added;
            if (joined) ++m.joined;
        }
    }
    spacing_grid_free(grid);
    (void)whole;  // positions the grid could not take were checked all the same up to there

    free_marker_list(ctx, state, old);
    state.markers = merged;
    // As at a script start: the choice of blips begins anew on the new list.
    marker_list_changed(ctx, state, MarkerListChange::replaced);
    return true;
}

// "1 marker" or "2 markers".
static void append_markers(TextBuilder& b, std::size_t count) {
    text_append_i64(b, static_cast<std::int64_t>(count));
    text_append(b, count == 1 ? " marker" : " markers");
}

// What the late read's line says after "... joined them": the markers added
// meanwhile that did not join, the markers put back by Undo, and the changes
// made to the file's markers, each counted as what it is.
static void append_late_merge_changes(TextBuilder& b, const LateMerge& m) {
    if (m.added > m.joined) {
        text_append(b, " (");
        text_append_i64(b, static_cast<std::int64_t>(m.added - m.joined));
        text_append(b, " lay within 1 unit of one of its markers)");
    }
    if (m.restored > 0) {
        text_append(b, "; of the ");
        append_markers(b, m.restored);
        text_append(b, " put back by Undo meanwhile, ");
        text_append_i64(b, static_cast<std::int64_t>(m.restored_joined));
        text_append(b, " joined them");
        if (m.restored > m.restored_joined) {
            const std::size_t out = m.restored - m.restored_joined;
            text_append(b, " and ");
            text_append_i64(b, static_cast<std::int64_t>(out));
            text_append(b, out == 1 ? " stays" : " stay");
            text_append(b, " in ");
            text_append(b, deleted_path);
            text_append(b, " (within 1 unit of one of its markers)");
        }
    }
    struct Count {
        std::size_t n;
        const char* what;
        bool always;  // said even when 0, as the line always said them
    };
    const Count counts[] = {
        {m.deleted, " deleted", true},
        {m.renamed, " renamed", true},
        {m.moved, " moved to another category", false},
        {m.noted, " with their note changed", false},
        {m.found, " marked found", false},
        {m.not_found, " marked not found", false},
    };
    std::size_t said = 0, to_say = 0;
    for (const Count& c : counts) to_say += c.n > 0 || c.always ? 1 : 0;
    if (m.deleted + m.renamed + m.moved + m.noted + m.found + m.not_found == 0) return;
    text_append(b, "; of the backup's markers shown meanwhile, ");
    for (const Count& c : counts) {
        if (c.n == 0 && !c.always) continue;
        if (said > 0) text_append(b, said + 1 == to_say ? " and " : ", ");
        text_append_i64(b, static_cast<std::int64_t>(c.n));
        text_append(b, c.what);
        ++said;
    }
    text_append(b, " stay so");
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
    char changes[512];
    TextBuilder b = text_builder(changes, sizeof changes);
    append_late_merge_changes(b, m);
    log_format(ctx, LogLevel::info,
               "Read {} at last: its {:d} {} the place of the backup's, and {:d} of the {:d} markers added "
               "meanwhile joined them{}",
               markers_path, static_cast<std::int64_t>(m.from_file),
               counted_noun(static_cast<std::int64_t>(m.from_file), "marker takes", "markers take"),
               static_cast<std::int64_t>(m.joined), static_cast<std::int64_t>(m.added), text_view(b));
    set_last_good_copy(state, markers_path);
    // The backup holds the file as the game found it, now that it is known to load.
    back_up_text(ctx, text.data, text.size);
    free_file_text(ctx.general, text);
    const bool changed =
        m.joined + m.restored_joined + m.deleted + m.renamed + m.moved + m.noted + m.found + m.not_found > 0;
    stop_waiting_for_unread_file(state);
    MarkerPersistence& p = state.persistence;
    // Said by the line that saving works again, which then holds every change but these.
    p.left_out_at_late_read = (m.added - m.joined) + (m.restored - m.restored_joined);
    const bool save = changed || p.save_failure != SaveFailure::none;
    const bool saved = save && save_markers_file(ctx, state);
    // After the save, so that what they say on screen is not covered by "Saving works again".
    for (const FeatureRow& row : feature_table) {
        if (row.read_late) row.read_late(ctx, state);
    }
    free_late_read(ctx, p.late_read);
    return {saved, true};
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
    return news;
}

// A failed save's cause in a few words, for the screen; null when the log's
// line is needed to say it.
static const char* save_failure_cause(SaveFailure why, std::uint32_t code) {
    switch (why) {
        case SaveFailure::none: return nullptr;
        case SaveFailure::out_of_memory: return "memory ran out";
        case SaveFailure::not_a_file: return "markers.json is not a file";
        case SaveFailure::file_not_read: return "markers.json cannot be read yet";
        case SaveFailure::unreadable_not_kept:
        case SaveFailure::write: break;
    }
    switch (platform_error_kind(PlatformError{code})) {
        case PlatformErrorKind::disk_full: return "the disk is full";
        case PlatformErrorKind::in_use: return "another program holds the file";
        case PlatformErrorKind::denied: return "the file or its folder is read-only";
        case PlatformErrorKind::not_found: return "the Quillfen folder is gone";
        case PlatformErrorKind::other: break;
    }
    return nullptr;
}

// On screen once for a run of failures, after its lines: the cause itself, as
// the log may not have taken them (a full disk), and where to read more when it did.
static void show_save_failed(RunContext& ctx, PluginState& state) {
    const MarkerPersistence& p = state.persistence;
    const char* cause = save_failure_cause(p.save_failure, p.save_failure_code);
    const bool logged = log_file_took_last_line(ctx.logger);
    char line[notice_capacity];
    TextBuilder n = text_builder(line, sizeof line);
    if (!cause) {
        text_append(n, logged ? save_failed_notice.text : "Could not save your markers");
    } else {
        text_append(n, "Could not save: ");
        text_append(n, cause);
        if (logged) text_append(n, "; last.log says more");
    }
    show_notice(state.notice, text_view(n), platform_now_ns(), NoticeSound::refusal);
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
    const bool first = state.persistence.save_failure == SaveFailure::none;
    if (!note_save_failure(state, failure, code)) return;
    log_format(ctx, LogLevel::error, "Failed to write to markers data file: {}/{} {}", written, size, why);
    if (kind == SaveTry::any) say_saves_are_retried(ctx, state);
    if (first) show_save_failed(ctx, state);
}

static void report_failed_serialization(RunContext& ctx, PluginState& state, SaveTry kind) {
    const bool first = state.persistence.save_failure == SaveFailure::none;
    if (!note_save_failure(state, SaveFailure::out_of_memory, 0)) return;
    log_format(ctx, LogLevel::error, "Failed to serialize markers data as JSON: {}", "OutOfMemory");
    if (kind == SaveTry::any) say_saves_are_retried(ctx, state);
    if (first) show_save_failed(ctx, state);
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
        const bool first = p.save_failure == SaveFailure::none;
        if (note_save_failure(state, SaveFailure::file_not_read, 0)) {
            log_format(ctx, LogLevel::error,
                       "Did not save the markers: {} could not be read yet, and saving over it would lose what it "
                       "holds; the {:d} {} in the game and are saved once it can be read",
                       markers_path, static_cast<std::int64_t>(count), count == 1 ? "marker stays" : "markers stay");
        }
        if (first) show_save_failed(ctx, state);
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
        if (p.left_out_at_late_read == 0) {
            log_format(ctx, LogLevel::info, "Saving works again: {} holds every change since saving failed",
                       markers_path);
        } else {
            // Not every change: those its late read left out, which its line counted.
            log_format(ctx, LogLevel::info,
                       "Saving works again: {} holds every change since saving failed but {:d} {} that lay within 1 "
                       "unit of one of its markers when it was read at last",
                       markers_path, static_cast<std::int64_t>(p.left_out_at_late_read),
                       p.left_out_at_late_read == 1 ? "marker" : "markers");
        }
        show_notice(state.notice, "Saving works again", platform_now_ns(), NoticeSound::select);
    }
    p.left_out_at_late_read = 0;
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
                   "Could not keep the {:d} {} the game held in a file of their own either: {}, so the changes "
                   "that were not saved are lost",
                   count, counted_noun(count, "marker", "markers"), "out of memory");
        return;
    }
    char base[96];
    TextBuilder b = text_builder(base, sizeof base);
    append_kept_copy_name(b, markers_path, unsaved_copy_infix, platform_now_ns());
    const PlatformError e = keep_under_new_name(markers_copying_path, base, text.data, text.length, chosen);
    free_markers_text(text, ctx.general);
    if (e.code != 0) {
        log_format(ctx, LogLevel::error,
                   "Could not keep the {:d} {} the game held in {} either: {}, so the changes that were not "
                   "saved are lost",
                   count, counted_noun(count, "marker", "markers"), static_cast<const char*>(base), e);
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
                   "so it is left as it was (the game held {:d} {}, the backup's and those added since)",
                   markers_path, ended, count, counted_noun(count, "marker", "markers"));
    } else if (p.last_good_copy[0] == '\0') {
        log_format(ctx, LogLevel::error,
                   "The changes made since saving failed were not saved: the game held {:d} {} when {}, "
                   "and there is no earlier copy of them",
                   count, counted_noun(count, "marker", "markers"), restart ? ended : "it quit");
    } else {
        const bool file = std::strcmp(p.last_good_copy, markers_path) == 0;
        log_format(ctx, LogLevel::error,
                   "The changes made since saving failed were not saved: the game held {:d} {} when {}, "
                   "and the last good copy is {}{}",
                   count, counted_noun(count, "marker", "markers"), restart ? ended : "it quit",
                   static_cast<const char*>(p.last_good_copy), file ? " as last saved" : "");
    }
    keep_unsaved_markers(ctx, state);
    return false;
}

void markers_file_at_release(RunContext& ctx, PluginState& state) {
    if (state.markers.data) free_marker_list(ctx, state, state.markers);
    release_marker_persistence(state);
}
