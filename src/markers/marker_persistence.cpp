#include "src/markers/marker_persistence.h"

#include <cstring>

#include "src/base/calendar.h"
#include "src/base/text_builder.h"
#include "src/map/blips.h"
#include "src/markers/marker_list.h"
#include "src/markers/marker_packs.h"
#include "src/markers_file/marker_copies.h"
#include "src/markers_file/marker_file.h"
#include "src/markers_file/marker_spacing.h"
#include "src/markers_file/markers_folder.h"

// Sections: the backups at set-up · keeping an unloadable file · recovery ·
// a file that is there but cannot be read · load · save · retrying a failed
// save · script end. Of something that is not a file at markers.json
// (obstacle_description) no copy is taken, and no save replaces it.

// Copies of a markers file that did not load: markers.json.unreadable-STAMP.
constexpr auto unreadable_copy_prefix = join_text(markers_file_name, unreadable_copy_infix);

// ---- the backups at set-up ---------------------------------------------------------------

// "Quillfen/backups/markers-YYYYMMDD.json" into `buffer` (128 bytes).
static const char* daily_copy_path(char* buffer, std::uint32_t date) {
    TextBuilder path = text_builder(buffer, 128);
    text_append(path, daily_copies_directory);
    text_append_char(path, '/');
    append_daily_copy_name(path, date);
    return buffer;
}

static void make_daily_copy(RunContext& ctx, const char* text, std::size_t size) {
    const std::uint32_t today = utc_date_number(platform_now_ns());
    if (today == 0) {
        log_message(ctx, LogLevel::error,
                    "Did not make today's copy of the markers data file: the clock is set outside the years 1 to 9999");
        return;
    }
    char name[128];
    daily_copy_path(name, today);

    const PlatformError made = platform_create_directory(daily_copies_directory);
    if (made.code != 0 && !platform_error_is_exists(made)) {
        log_format(ctx, LogLevel::error, "Failed to copy markers data file to {}: {}", name, made);
        return;
    }
    const PlatformFileKind there = platform_file_info(name).kind;
    if (const char* what = obstacle_description(there)) {
        log_format(ctx, LogLevel::error,
                   "Did not copy markers data file to {}: {} stands there; move it away so that today's copy can "
                   "be made",
                   name, what);
    } else if (there != PlatformFileKind::regular) {  // else today's copy is made
        const PlatformError e = write_whole_file(daily_copy_copying_path, name, text, size, false);
        if (e.code == 0) {
            log_format(ctx, LogLevel::info, "Copied markers data file to {}", name);
        } else if (!platform_error_is_exists(e)) {  // else: made meanwhile, which is as good
            log_format(ctx, LogLevel::error, "Failed to copy markers data file to {}: {}", name, e);
        }
    }

    // The seven latest dated up to today stay, today's among them; copies
    // dated later (the clock was set ahead) are not counted and stay too.
    // Only names of exactly the daily form with a real date go.
    GrowableArray<std::uint32_t> dates{};
    std::size_t up_to_today = 0;
    const PlatformError listed = list_daily_copies(daily_copies_directory, today, ctx.general, dates, &up_to_today);
    if (listed.code != 0) log_format(ctx, LogLevel::error, "Failed to list {}: {}", daily_copies_directory, listed);
    for (std::size_t i = daily_copies_kept; i < up_to_today; ++i) {
        char old[128];
        daily_copy_path(old, dates[i]);
        const PlatformError e = platform_delete_file(old);
        if (e.code == 0) log_format(ctx, LogLevel::info, "Deleted old backup {}", old);
        else log_format(ctx, LogLevel::error, "Failed to delete old backup {}: {}", old, e);
    }
    array_free(dates);
}

// The backup and the day's copy of a markers file that loads.
static void back_up_text(RunContext& ctx, const char* text, std::size_t size) {
    const PlatformError e = write_whole_file(markers_copying_path, markers_backup_path, text, size, true);
    if (e.code != 0) log_format(ctx, LogLevel::error, "Failed to back up markers data file: {}", e);
    make_daily_copy(ctx, text, size);
}

void make_backup(RunContext& ctx) {
    log_message(ctx, LogLevel::info, "Backing up any existing data");
    const PlatformFileInfo info = platform_file_info(markers_path);
    // No markers file yet (first use) is not worth a line; something in its
    // place is reported by the load.
    if (info.kind == PlatformFileKind::missing || obstacle_description(info.kind)) return;

    char* text = nullptr;
    std::size_t size = 0;
    const PlatformError read = platform_read_file(markers_path, ctx.general, &text, &size);
    if (read.code != 0) {
        if (!platform_error_is_not_found(read)) {
            log_format(ctx, LogLevel::error, "Failed to back up markers data file: {}", read);
        }
        return;
    }
    // The backups only ever hold a file that loads: checked with the reader and
    // mapping of the load itself.
    MarkersData data{};
    MarkersFileRead loaded{};
    load_markers_text(loaded, std::string_view(text, size), ctx.general, data);
    free_markers_data(data, ctx.general);
    if (loaded.loaded != DeserializeError::none) {
        log_format(ctx, LogLevel::error,
                   "Did not back up markers data file, which cannot be loaded ({}): {} keeps the last one that could",
                   loaded.why, markers_backup_path);
    } else {
        back_up_text(ctx, text, size);
    }
    free_bytes(ctx.general, text, size + 1);
}

// ---- keeping an unloadable file ---------------------------------------------------------

// True when the newest copy kept aside holds exactly `text`: a damaged file
// that stays as it is across starts is kept once, not once per start. Its
// name goes to `name`.
static bool kept_already(RunContext& ctx, const char* text, std::size_t size, TextBuilder& name) {
    char newest[112];
    TextBuilder b = text_builder(newest, sizeof newest);
    if (!newest_stamped_copy(quillfen_folder, unreadable_copy_prefix.text, b)) return false;
    name.length = 0;
    text_append(name, quillfen_folder);
    text_append_char(name, '/');
    text_append(name, text_view(b));
    if (name.truncated) return false;
    char* kept = nullptr;
    std::size_t kept_size = 0;
    if (platform_read_file(name.data, ctx.general, &kept, &kept_size).code != 0) return false;
    const bool same = kept_size == size && std::memcmp(kept, text, size) == 0;
    free_bytes(ctx.general, kept, kept_size + 1);
    return same;
}

// A copy that failed: its line once per cause, not once per try (each save
// while the copy is missing tries again).
static void copy_failed(RunContext& ctx, PluginState& state, PlatformError e) {
    if (state.unreadable_copy_error != e.code) {
        log_format(ctx, LogLevel::error, "Could not keep a copy of the markers file that could not be loaded: {}", e);
    }
    state.unreadable_copy_error = e.code;
}

// Keeps the unloadable markers file as markers.json.unreadable-YYYYMMDD-HHMMSS
// (UTC), never over an existing copy: `text` when the file was read, else what
// can be read now. True once a copy exists.
static bool keep_unreadable_copy(RunContext& ctx, PluginState& state, const char* text, std::size_t size) {
    char* own = nullptr;
    if (!text) {
        const PlatformError read = platform_read_file(markers_path, ctx.general, &own, &size);
        if (read.code != 0) {  // nothing read, nothing written: no empty copy
            copy_failed(ctx, state, read);
            return false;
        }
        text = own;
    }
    char name[112];
    TextBuilder chosen = text_builder(name, sizeof name);
    if (kept_already(ctx, text, size, chosen)) {
        if (own) free_bytes(ctx.general, own, size + 1);
        log_format(ctx, LogLevel::error, "Kept the markers file that could not be loaded as {} already", name);
        state.unreadable_copy_error = 0;
        return true;
    }
    char base[96];
    TextBuilder b = text_builder(base, sizeof base);
    append_kept_copy_name(b, markers_path, unreadable_copy_infix, platform_now_ns());
    const PlatformError e = keep_under_new_name(markers_copying_path, base, text, size, chosen);
    if (own) free_bytes(ctx.general, own, size + 1);
    if (e.code != 0) {
        copy_failed(ctx, state, e);
        return false;
    }
    log_format(ctx, LogLevel::error, "Kept the markers file that could not be loaded as {}", name);
    state.unreadable_copy_error = 0;
    return true;
}

// markers.json was read and does not load: said, kept aside before anything
// can replace it, and its text given back.
static void keep_damaged_file(RunContext& ctx, PluginState& state, const MarkersFileRead& loaded, char* text,
                              std::size_t size) {
    log_format(ctx, LogLevel::error, "Failed to deserialize markers data file as JSON: {}", loaded.why);
    state.unreadable_copy_pending = !keep_unreadable_copy(ctx, state, text, size);
    free_bytes(ctx.general, text, size + 1);
}

// ---- recovery ------------------------------------------------------------------------------

static void set_last_good_copy(PluginState& state, const char* path) {
    TextBuilder b = text_builder(state.last_good_copy, sizeof state.last_good_copy);
    text_append(b, path);
}

// Moves the records into the marker list; each name passes into a marker's ownership.
static void take_markers(RunContext& ctx, PluginState& state, MarkersData& data) {
    state.markers.length = 0;
    if (array_reserve(state.markers, ctx.general, data.count)) {
        for (std::size_t i = 0; i < data.count; ++i) {
            array_append(state.markers, ctx.general, Marker{data.records[i], 0, false, GuarmaSide::unknown});
            data.records[i].name = nullptr;  // the marker owns it now
        }
    }
    free_markers_data(data, ctx.general);  // names that did not find a marker go with it
    marker_list_changed(state);
    search_list_replaced(state);
}

// What became of one copy tried by the recovery.
enum class CopyLoad { loaded, missing, failed };

// Loads `path` into the list when it loads; a line when it is there but does
// not load.
static CopyLoad load_copy(RunContext& ctx, PluginState& state, const char* path) {
    MarkersData data{};
    const MarkersFileRead r = read_markers_file(path, ctx.general, data);
    if (r.read.code != 0) {
        if (platform_error_is_not_found(r.read)) return CopyLoad::missing;
        log_format(ctx, LogLevel::info, "Could not read the backup {} either: {}", path, r.read);
        return CopyLoad::failed;
    }
    if (r.loaded != DeserializeError::none) {
        log_format(ctx, LogLevel::info, "Could not load the backup {} either: {}", path, r.why);
        return CopyLoad::failed;
    }
    take_markers(ctx, state, data);
    set_last_good_copy(state, path);
    log_format(ctx, LogLevel::error, "Recovered {:d} markers from {}, the newest backup that loads",
               static_cast<std::int64_t>(state.markers.length), path);
    return CopyLoad::loaded;
}

// markers.json does not load, or is not there: the newest good copy takes its
// place in memory (the backup, then the daily copies dated up to today from
// the newest, then those dated later), and the next save writes it back.
// With `quiet_when_none`, finding no copy at all is not worth a line (a first
// start).
static void recover_markers(RunContext& ctx, PluginState& state, bool quiet_when_none) {
    CopyLoad last = load_copy(ctx, state, markers_backup_path);
    if (last == CopyLoad::loaded) return;
    bool any_there = last == CopyLoad::failed;
    GrowableArray<std::uint32_t> dates{};
    (void)list_daily_copies(daily_copies_directory, utc_date_number(platform_now_ns()), ctx.general, dates);
    for (std::size_t i = 0; i < dates.length && last != CopyLoad::loaded; ++i) {
        char name[128];
        last = load_copy(ctx, state, daily_copy_path(name, dates[i]));
        any_there = any_there || last == CopyLoad::failed;
    }
    array_free(dates);
    if (last != CopyLoad::loaded && (any_there || !quiet_when_none)) {
        log_message(ctx, LogLevel::error, "Found no backup of the markers data file that loads");
    }
}

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
static void wait_for_unread_file(RunContext& ctx, PluginState& state, PlatformError read) {
    state.markers_file_unread = true;
    state.unread_error = read.code;
    state.unread_retry_at_ns = platform_now_ns() + ns_from_seconds(unread_file_retry_seconds);
    log_format(ctx, LogLevel::error,
               "{} is there but cannot be read now, as {}: Quillfen leaves it as it is and saves nothing over it, "
               "shows the newest backup's markers meanwhile, and reads it again every second until it can",
               markers_path, why_unread(read));
    recover_markers(ctx, state, false);
    state.shown_from_backup = state.markers.length;
}

static bool same_marker(const MarkerEdit& e, const MarkerDataV1& m) {
    return std::memcmp(&e.position, &m.position, sizeof e.position) == 0 && e.timestamp_ns == m.timestamp._nsec;
}

static void note_edit(RunContext& ctx, PluginState& state, std::size_t index, bool deleted, bool moved) {
    if (!state.markers_file_unread || index >= state.shown_from_backup) return;
    const MarkerDataV1& m = state.markers[index].data;
    // Out of memory the edit is not carried into the file: the file's marker wins.
    (void)array_append(state.edited_meanwhile, ctx.general, MarkerEdit{m.position, m.timestamp._nsec, deleted, moved});
    if (deleted) --state.shown_from_backup;
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

static void stop_waiting_for_unread_file(PluginState& state) {
    state.markers_file_unread = false;
    state.failed_saves = 0;  // no save was tried against the file itself yet
    state.unread_error = 0;
    state.shown_from_backup = 0;
    array_free(state.edited_meanwhile);
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
    const std::size_t kept = state.shown_from_backup < old.length ? state.shown_from_backup : old.length;
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
        bool deleted = false, renamed = false, moved = false;
        for (const MarkerEdit& e : state.edited_meanwhile) {
            if (!same_marker(e, record)) continue;
            deleted = deleted || e.deleted;
            renamed = renamed || (!e.deleted && !e.moved);
            moved = moved || e.moved;
        }
        if (deleted) {
            ++m.deleted;
            continue;  // its name goes with the records
        }
        if (renamed || moved) {
            for (std::size_t j = 0; j < kept; ++j) {
                Marker& shown = old[j];
                const MarkerEdit e{shown.data.position, shown.data.timestamp._nsec, false, false};
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
                break;
            }
        }
        array_append(merged, ctx.general, Marker{record, 0, false, GuarmaSide::unknown});  // room reserved
        record.name = nullptr;
        whole = spacing_grid_add(grid, ctx.general, record.position) && whole;
    }
    for (std::size_t i = kept; i < old.length; ++i) {
        Marker& added = old[i];
        if (spacing_grid_too_close(grid, added.data.position)) continue;
        array_append(merged, ctx.general, Marker{added.data, 0, added.is_new, added.side});
        added.data.name = nullptr;
        whole = spacing_grid_add(grid, ctx.general, added.data.position) && whole;
        ++m.joined;
    }
    spacing_grid_free(grid);
    (void)whole;  // positions the grid could not take were checked all the same up to there

    for (Marker& shown : old) {
        remove_marker_blip(state, shown);
        free_marker_name(ctx.general, shown.data.name);
    }
    array_free(old);
    state.markers = merged;
    // As at a script start: the choice of blips begins anew on the new list.
    free_blip_choice(state.blip_choice);
    state.blip_choice = BlipChoice{};
    marker_list_changed(state);
    search_list_replaced(state);
    update_marker_list_cache(ctx, state, true);
    return true;
}

// Reads markers.json again; once it can be read, it is loaded (with the
// changes made meanwhile) or, when it does not load, kept aside as damaged.
static void read_unread_file_again(RunContext& ctx, PluginState& state) {
    const PlatformFileKind there = platform_file_info(markers_path).kind;
    if (there == PlatformFileKind::missing || obstacle_description(there)) {
        // Gone, or no file any more: there is nothing left to lose there.
        log_format(ctx, LogLevel::error,
                   "{} could not be read, and is no longer there as a file: the markers shown are saved in its place",
                   markers_path);
        stop_waiting_for_unread_file(state);
        (void)save_data_to_disk(ctx, state);
        return;
    }
    char* text = nullptr;
    std::size_t size = 0;
    const PlatformError read = platform_read_file(markers_path, ctx.general, &text, &size);
    if (read.code != 0) {
        if (read.code != state.unread_error) {
            log_format(ctx, LogLevel::error, "Still cannot read markers data file: {}", read);
            state.unread_error = read.code;
        }
        return;
    }
    MarkersData data{};
    MarkersFileRead loaded{};
    load_markers_text(loaded, std::string_view(text, size), ctx.general, data);
    if (loaded.loaded != DeserializeError::none) {
        // Read at last, and damaged: kept aside as any damaged file; the
        // markers shown (the backup's and those added since) take its place.
        keep_damaged_file(ctx, state, loaded, text, size);
        stop_waiting_for_unread_file(state);
        (void)save_data_to_disk(ctx, state);
        return;
    }
    LateMerge m{};
    if (!merge_late_file(ctx, state, data, m)) {
        free_markers_data(data, ctx.general);
        free_bytes(ctx.general, text, size + 1);
        if (state.unread_error != 0) {  // said once; tried again in a second
            log_format(ctx, LogLevel::error, "Failed to load markers data file, read at last: {}", "out of memory");
            state.unread_error = 0;
        }
        return;
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
    back_up_text(ctx, text, size);
    free_bytes(ctx.general, text, size + 1);
    const bool changed = m.joined + m.deleted + m.renamed + m.moved > 0;
    stop_waiting_for_unread_file(state);
    if (changed || state.save_failure != SaveFailure::none) {
        (void)save_data_to_disk(ctx, state);
    }
}

// ---- load ---------------------------------------------------------------------------------

void load_data_from_disk(RunContext& ctx, PluginState& state) {
    log_message(ctx, LogLevel::info, "Loading data from disk");
    const PlatformFileInfo info = platform_file_info(markers_path);
    if (const char* what = obstacle_description(info.kind)) {
        log_format(ctx, LogLevel::error, "{} is {}, not a markers data file: Quillfen will not touch it", markers_path,
                   what);
        state.unreadable_copy_pending = false;  // nothing there to lose
        recover_markers(ctx, state, false);
        return;
    }
    char* text = nullptr;
    std::size_t size = 0;
    PlatformError read = platform_read_file(markers_path, ctx.general, &text, &size);
    if (read.code != 0) {
        log_format(ctx, LogLevel::error, "Failed to read markers data file: {}", read);
        if (platform_error_is_not_found(read)) {
            // No file: a first start (no backup either, nothing more to say), or
            // one that lost it (moved away to make a pack, removed by a sync
            // tool), where a backup that loads takes its place.
            recover_markers(ctx, state, true);
            return;
        }
        // A file that is there but cannot be read (held by another program)
        // is not damaged: it is read again until it can be.
        wait_for_unread_file(ctx, state, read);
        return;
    }
    MarkersData data{};
    MarkersFileRead loaded{};
    load_markers_text(loaded, std::string_view(text, size), ctx.general, data);
    if (loaded.loaded != DeserializeError::none) {
        keep_damaged_file(ctx, state, loaded, text, size);
        recover_markers(ctx, state, false);
        return;
    }
    take_markers(ctx, state, data);
    set_last_good_copy(state, markers_path);
    log_format(ctx, LogLevel::info, "Loaded {:d} markers from JSON", static_cast<std::int64_t>(state.markers.length));
    free_bytes(ctx.general, text, size + 1);
}

// ---- save ----------------------------------------------------------------------------------

float save_retry_delay_seconds(std::uint32_t failed_tries) {
    float delay = failed_save_retry_seconds;
    for (std::uint32_t i = 1; i < failed_tries && delay < failed_save_retry_most_seconds; ++i) delay *= 2.0f;
    return delay < failed_save_retry_most_seconds ? delay : failed_save_retry_most_seconds;
}

// Notes why a try failed and when the next one is due. True when that is
// worth its line: saves worked until now, or failed for another reason.
static bool note_save_failure(PluginState& state, SaveFailure why, std::uint32_t code) {
    const bool first = state.save_failure == SaveFailure::none;
    const bool news = first || state.save_failure != why || state.save_failure_code != code;
    state.save_failure = why;
    state.save_failure_code = code;
    if (state.failed_saves < 64) ++state.failed_saves;
    // Counted from the failed try: a try that takes long does not eat into the pause.
    state.save_retry_at_ns = platform_now_ns() + ns_from_seconds(save_retry_delay_seconds(state.failed_saves));
    return news;
}

// What the player can do about a failed save, by its cause.
static const char* save_advice(SaveFailure why, std::uint32_t code) {
    switch (why) {
        case SaveFailure::out_of_memory: return "close other programs to free memory";
        case SaveFailure::not_a_file: return "move away what stands at Quillfen/markers.json";
        case SaveFailure::none:
        case SaveFailure::file_not_read: return "close the program that holds Quillfen/markers.json";
        case SaveFailure::unreadable_not_kept:
        case SaveFailure::write: break;
    }
    switch (platform_error_kind(PlatformError{code})) {
        case PlatformErrorKind::disk_full: return "make room on the disk that holds the game";
        case PlatformErrorKind::in_use: return "close the program that holds Quillfen/markers.json";
        case PlatformErrorKind::denied:
            return "make Quillfen/markers.json and the Quillfen folder writable (not read-only, and yours to change)";
        case PlatformErrorKind::not_found: return "make a folder named Quillfen in the game folder";
        case PlatformErrorKind::other: break;
    }
    return "the line above says what failed";
}

static void say_saves_are_retried(RunContext& ctx, const PluginState& state) {
    log_format(ctx, LogLevel::error,
               "Could not save the markers: they stay in the game, and Quillfen tries again in {:d} seconds, then less "
               "often (every {:d} seconds at most), and at once whenever you change a marker; to let it work, {}",
               static_cast<std::int64_t>(save_retry_delay_seconds(state.failed_saves)),
               static_cast<std::int64_t>(failed_save_retry_most_seconds),
               save_advice(state.save_failure, state.save_failure_code));
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

static bool save_markers(RunContext& ctx, PluginState& state, SaveTry kind) {
    // While saves fail, an attempt says nothing unless the reason changes or
    // it works again: one line for the failure, not one per try.
    if (state.save_failure == SaveFailure::none) log_message(ctx, LogLevel::info, "Saving data to disk");
    const std::size_t count = state.markers.length;
    if (state.markers_file_unread) {
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
    MarkerDataV1* records = allocate_array<MarkerDataV1>(ctx.scratch, count);
    if (count > 0 && !records) {
        report_failed_serialization(ctx, state, kind);
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) records[i] = state.markers[i].data;

    MarkersText text{};
    if (serialize_markers(records, count, ctx.general, text) != SerializeError::none) {
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

    if (state.unreadable_copy_pending) {
        if (!platform_file_exists(markers_path)) {
            state.unreadable_copy_pending = false;  // gone meanwhile: nothing left to lose
        } else if (keep_unreadable_copy(ctx, state, nullptr, 0)) {
            state.unreadable_copy_pending = false;
        } else {
            // The file that could not be loaded stays until a copy of it exists;
            // the markers stay in memory for the next save.
            report_failed_write(ctx, state, kind, SaveFailure::unreadable_not_kept, state.unreadable_copy_error, 0,
                                text.length, "the old file could not be kept yet");
            free_markers_text(text, ctx.general);
            return false;
        }
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
    state.failed_saves = 0;
    if (state.save_failure != SaveFailure::none) {
        state.save_failure = SaveFailure::none;
        state.save_failure_code = 0;
        log_format(ctx, LogLevel::info, "Saving works again: {} holds every change since saving failed", markers_path);
    }
    move_saved_packs(ctx, state);
    return true;
}

bool save_data_to_disk(RunContext& ctx, PluginState& state) { return save_markers(ctx, state, SaveTry::any); }

// ---- retrying a failed save -------------------------------------------------------------------

void retry_failed_save(RunContext& ctx, PluginState& state) {
    if (state.markers_file_unread) {
        if (state.frame_time < state.unread_retry_at_ns) return;
        state.unread_retry_at_ns = state.frame_time + ns_from_seconds(unread_file_retry_seconds);
        // Not while the keyboard renames a marker: the list the rename points
        // into is about to be replaced.
        if (state.rename_marker_index >= 0) return;
        read_unread_file_again(ctx, state);
        return;
    }
    if (state.save_failure == SaveFailure::none || state.frame_time < state.save_retry_at_ns) return;
    (void)save_data_to_disk(ctx, state);  // a failure sets the next delay
}

// ---- script end ----------------------------------------------------------------------------

void save_before_quit(RunContext& ctx, PluginState& state) {
    if (state.save_failure == SaveFailure::none) return;  // nothing waits to be saved
    if (!state.markers_file_unread && save_markers(ctx, state, SaveTry::last)) return;
    const auto count = static_cast<std::int64_t>(state.markers.length);
    if (state.markers_file_unread) {
        log_format(ctx, LogLevel::error,
                   "The changes made in the game were not saved: {} still could not be read when the game quit, "
                   "so it is left as it was (the game held {:d} markers, the backup's and those added since)",
                   markers_path, count);
    } else if (state.last_good_copy[0] == '\0') {
        log_format(ctx, LogLevel::error,
                   "The changes made since saving failed were not saved: the game held {:d} markers when it quit, "
                   "and there is no earlier copy of them",
                   count);
    } else {
        const bool file = std::strcmp(state.last_good_copy, markers_path) == 0;
        log_format(ctx, LogLevel::error,
                   "The changes made since saving failed were not saved: the game held {:d} markers when it quit, "
                   "and the last good copy is {}{}",
                   count, static_cast<const char*>(state.last_good_copy), file ? " as last saved" : "");
    }
}
