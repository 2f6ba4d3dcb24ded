#include "src/markers/marker_persistence.h"

#include <cstring>

#include "src/base/calendar.h"
#include "src/base/text_builder.h"
#include "src/map/blips.h"
#include "src/markers/marker_packs.h"
#include "src/markers_file/marker_copies.h"
#include "src/markers_file/marker_file.h"
#include "src/markers_file/markers_folder.h"

// Sections: the backups at set-up · keeping an unloadable file · recovery ·
// load · save · retrying a failed save. Of something that is not a file at
// markers.json (obstacle_description) no copy is taken, and no save replaces it.

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
        const PlatformError e = write_whole_file(markers_copying_path, markers_backup_path, text, size, true);
        if (e.code != 0) log_format(ctx, LogLevel::error, "Failed to back up markers data file: {}", e);
        make_daily_copy(ctx, text, size);
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

// Keeps the unloadable markers file as markers.json.unreadable-YYYYMMDD-HHMMSS
// (UTC), never over an existing copy: `text` when the file was read, else what
// can be read now. True once a copy exists.
static bool keep_unreadable_copy(RunContext& ctx, const char* text, std::size_t size) {
    char* own = nullptr;
    if (!text) {
        const PlatformError read = platform_read_file(markers_path, ctx.general, &own, &size);
        if (read.code != 0) {  // nothing read, nothing written: no empty copy
            log_format(ctx, LogLevel::error, "Could not keep a copy of the markers file that could not be loaded: {}",
                       read);
            return false;
        }
        text = own;
    }
    char name[112];
    TextBuilder chosen = text_builder(name, sizeof name);
    if (kept_already(ctx, text, size, chosen)) {
        if (own) free_bytes(ctx.general, own, size + 1);
        log_format(ctx, LogLevel::error, "Kept the markers file that could not be loaded as {} already", name);
        return true;
    }
    char base[96];
    TextBuilder b = text_builder(base, sizeof base);
    append_kept_copy_name(b, markers_path, unreadable_copy_infix, platform_now_ns());
    const PlatformError e = keep_under_new_name(markers_copying_path, base, text, size, chosen);
    if (own) free_bytes(ctx.general, own, size + 1);
    if (e.code != 0) {
        log_format(ctx, LogLevel::error, "Could not keep a copy of the markers file that could not be loaded: {}", e);
        return false;
    }
    log_format(ctx, LogLevel::error, "Kept the markers file that could not be loaded as {}", name);
    return true;
}

// ---- recovery ------------------------------------------------------------------------------

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
        // must not be replaced by the next save before it is copied.
        state.unreadable_copy_pending = !keep_unreadable_copy(ctx, nullptr, 0);
        recover_markers(ctx, state, false);
        return;
    }
    MarkersData data{};
    MarkersFileRead loaded{};
    load_markers_text(loaded, std::string_view(text, size), ctx.general, data);
    if (loaded.loaded != DeserializeError::none) {
        log_format(ctx, LogLevel::error, "Failed to deserialize markers data file as JSON: {}", loaded.why);
        state.unreadable_copy_pending = !keep_unreadable_copy(ctx, text, size);
        free_bytes(ctx.general, text, size + 1);
        recover_markers(ctx, state, false);
        return;
    }
    take_markers(ctx, state, data);
    log_format(ctx, LogLevel::info, "Loaded {:d} markers from JSON", static_cast<std::int64_t>(state.markers.length));
    free_bytes(ctx.general, text, size + 1);
}

// ---- save ----------------------------------------------------------------------------------

// Notes why a save failed. True when that is worth its line: saves worked
// until now, or failed for another reason. The first failure starts the
// retries (retry_failed_save) and says so.
static bool note_save_failure(PluginState& state, SaveFailure why, std::uint32_t code) {
    const bool first = state.save_failure == SaveFailure::none;
    const bool news = first || state.save_failure != why || state.save_failure_code != code;
    state.save_failure = why;
    state.save_failure_code = code;
    if (first) state.save_retry_seconds = failed_save_retry_seconds;
    return news;
}

static void say_saves_are_retried(RunContext& ctx) {
    log_format(ctx, LogLevel::error,
               "Could not save the markers: they stay in the game, and Quillfen tries again every {:d} seconds until "
               "it works (make room on the disk, or close what holds {})",
               static_cast<std::int64_t>(failed_save_retry_seconds), markers_path);
}

// The line of a failed save, "Failed to write to markers data file: WRITTEN/SIZE WHY",
// when it is news.
template <class Why>
static void report_failed_write(RunContext& ctx, PluginState& state, SaveFailure failure, std::uint32_t code,
                                std::size_t written, std::size_t size, const Why& why) {
    const bool first = state.save_failure == SaveFailure::none;
    if (!note_save_failure(state, failure, code)) return;
    log_format(ctx, LogLevel::error, "Failed to write to markers data file: {}/{} {}", written, size, why);
    if (first) say_saves_are_retried(ctx);
}

static void report_failed_serialization(RunContext& ctx, PluginState& state) {
    const bool first = state.save_failure == SaveFailure::none;
    if (!note_save_failure(state, SaveFailure::out_of_memory, 0)) return;
    log_format(ctx, LogLevel::error, "Failed to serialize markers data as JSON: {}", "OutOfMemory");
    if (first) say_saves_are_retried(ctx);
}

bool save_data_to_disk(RunContext& ctx, PluginState& state) {
    // While saves fail, an attempt says nothing unless the reason changes or
    // it works again: one line for the failure, not one per try.
    if (state.save_failure == SaveFailure::none) log_message(ctx, LogLevel::info, "Saving data to disk");
    const std::size_t count = state.markers.length;
    MarkerDataV1* records = allocate_array<MarkerDataV1>(ctx.scratch, count);
    if (count > 0 && !records) {
        report_failed_serialization(ctx, state);
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) records[i] = state.markers[i].data;

    MarkersText text{};
    if (serialize_markers(records, count, ctx.general, text) != SerializeError::none) {
        report_failed_serialization(ctx, state);
        return false;
    }

    const PlatformFileKind there = platform_file_info(markers_path).kind;
    if (const char* what = obstacle_description(there)) {
        char why[96];
        TextBuilder b = text_builder(why, sizeof why);
        text_append(b, markers_path);
        text_append(b, " is ");
        text_append(b, what);
        report_failed_write(ctx, state, SaveFailure::not_a_file, static_cast<std::uint32_t>(there), 0, text.length,
                            why);
        free_markers_text(text, ctx.general);
        return false;
    }

    if (state.unreadable_copy_pending) {
        if (!platform_file_exists(markers_path)) {
            state.unreadable_copy_pending = false;  // gone meanwhile: nothing left to lose
        } else if (keep_unreadable_copy(ctx, nullptr, 0)) {
            state.unreadable_copy_pending = false;
        } else {
            // The file that could not be loaded stays until a copy of it exists;
            // the markers stay in memory for the next save.
            report_failed_write(ctx, state, SaveFailure::unreadable_not_kept, 0, 0, text.length,
                                "the old file could not be kept yet");
            free_markers_text(text, ctx.general);
            return false;
        }
    }

    std::size_t written = 0;
    const std::size_t length = text.length;
    const PlatformError e = write_whole_file(markers_saving_path, markers_path, text.data, length, true, &written);
    free_markers_text(text, ctx.general);
    if (e.code != 0) {
        report_failed_write(ctx, state, SaveFailure::write, e.code, written, length, e);
        return false;
    }
    log_format(ctx, LogLevel::info, "Saved {:d} markers to JSON", static_cast<std::int64_t>(count));
    if (state.save_failure != SaveFailure::none) {
        state.save_failure = SaveFailure::none;
        state.save_failure_code = 0;
        log_format(ctx, LogLevel::info, "Saving works again: {} holds every change since saving failed", markers_path);
    }
    move_saved_packs(ctx, state);
    return true;
}

// ---- retrying a failed save -------------------------------------------------------------------

void retry_failed_save(RunContext& ctx, PluginState& state) {
    if (state.save_failure == SaveFailure::none) return;
    if (state.frame_delta > 0) state.save_retry_seconds -= static_cast<float>(seconds_from_ns(state.frame_delta));
    if (state.save_retry_seconds > 0.0f) return;
    state.save_retry_seconds = failed_save_retry_seconds;
    (void)save_data_to_disk(ctx, state);
}
