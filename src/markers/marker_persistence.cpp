#include "src/markers/marker_persistence.h"

#include "src/base/text_builder.h"
#include "src/map/blips.h"
#include "src/markers_file/marker_copies.h"
#include "src/markers_file/marker_file.h"
#include "src/markers_file/markers_folder.h"

// Sections: the backups at set-up · keeping an unloadable file · recovery ·
// load · save. Of something that is not a file at markers.json
// (obstacle_description) no copy is taken, and no save replaces it.

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
    char name[128];
    daily_copy_path(name, utc_date_number(platform_now_ns()));

    const PlatformError made = platform_create_directory(daily_copies_directory);
    if (made.code != 0 && !platform_error_is_exists(made)) {
        log_format(ctx, LogLevel::error, "Failed to copy markers data file to {}: {}", name, made);
        return;
    }
    if (platform_file_info(name).kind != PlatformFileKind::regular) {  // else today's copy is made
        const PlatformError e = write_whole_file(daily_copy_copying_path, name, text, size, false);
        if (e.code == 0) {
            log_format(ctx, LogLevel::info, "Copied markers data file to {}", name);
        } else if (!platform_error_is_exists(e)) {  // else: made meanwhile, which is as good
            log_format(ctx, LogLevel::error, "Failed to copy markers data file to {}: {}", name, e);
        }
    }

    // The seven latest dates stay; only names of exactly the daily form go.
    GrowableArray<std::uint32_t> dates{};
    const PlatformError listed = list_daily_copies(daily_copies_directory, ctx.general, dates);
    if (listed.code != 0) log_format(ctx, LogLevel::error, "Failed to list {}: {}", daily_copies_directory, listed);
    for (std::size_t i = daily_copies_kept; i < dates.length; ++i) {
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
    char base[96];
    TextBuilder b = text_builder(base, sizeof base);
    append_kept_copy_name(b, markers_path, unreadable_copy_infix, platform_now_ns());
    char name[112];
    TextBuilder chosen = text_builder(name, sizeof name);
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

// Loads `path` into the list when it loads; false (and a line when it is
// there but does not load) otherwise.
static bool load_copy(RunContext& ctx, PluginState& state, const char* path) {
    MarkersData data{};
    const MarkersFileRead r = read_markers_file(path, ctx.general, data);
    if (r.read.code != 0) {
        if (!platform_error_is_not_found(r.read)) {
            log_format(ctx, LogLevel::info, "Could not read the backup {} either: {}", path, r.read);
        }
        return false;
    }
    if (r.loaded != DeserializeError::none) {
        log_format(ctx, LogLevel::info, "Could not load the backup {} either: {}", path, r.why);
        return false;
    }
    take_markers(ctx, state, data);
    log_format(ctx, LogLevel::error, "Recovered {:d} markers from {}, the newest backup that loads",
               static_cast<std::int64_t>(state.markers.length), path);
    return true;
}

// markers.json is there but does not load: the newest good copy takes its
// place in memory (the backup, then the daily copies from the newest), and
// the next save writes it back.
static void recover_markers(RunContext& ctx, PluginState& state) {
    if (load_copy(ctx, state, markers_backup_path)) return;
    GrowableArray<std::uint32_t> dates{};
    (void)list_daily_copies(daily_copies_directory, ctx.general, dates);
    bool recovered = false;
    for (std::size_t i = 0; i < dates.length && !recovered; ++i) {
        char name[128];
        recovered = load_copy(ctx, state, daily_copy_path(name, dates[i]));
    }
    array_free(dates);
    if (!recovered) log_message(ctx, LogLevel::error, "Found no backup of the markers data file that loads");
}

// ---- load ---------------------------------------------------------------------------------

void load_data_from_disk(RunContext& ctx, PluginState& state) {
    log_message(ctx, LogLevel::info, "Loading data from disk");
    const PlatformFileInfo info = platform_file_info(markers_path);
    if (const char* what = obstacle_description(info.kind)) {
        log_format(ctx, LogLevel::error, "{} is {}, not a markers data file: Quillfen will not touch it", markers_path,
                   what);
        state.unreadable_copy_pending = false;  // nothing there to lose
        recover_markers(ctx, state);
        return;
    }
    char* text = nullptr;
    std::size_t size = 0;
    PlatformError read = platform_read_file(markers_path, ctx.general, &text, &size);
    if (read.code != 0) {
        log_format(ctx, LogLevel::error, "Failed to read markers data file: {}", read);
        // A missing file is no damage (the player may have deleted it): no markers.
        if (platform_error_is_not_found(read)) return;
        // A file that is there but cannot be read (held by another program)
        // must not be replaced by the next save before it is copied.
        state.unreadable_copy_pending = !keep_unreadable_copy(ctx, nullptr, 0);
        recover_markers(ctx, state);
        return;
    }
    MarkersData data{};
    MarkersFileRead loaded{};
    load_markers_text(loaded, std::string_view(text, size), ctx.general, data);
    if (loaded.loaded != DeserializeError::none) {
        log_format(ctx, LogLevel::error, "Failed to deserialize markers data file as JSON: {}", loaded.why);
        state.unreadable_copy_pending = !keep_unreadable_copy(ctx, text, size);
        free_bytes(ctx.general, text, size + 1);
        recover_markers(ctx, state);
        return;
    }
    take_markers(ctx, state, data);
    log_format(ctx, LogLevel::info, "Loaded {:d} markers from JSON", static_cast<std::int64_t>(state.markers.length));
    free_bytes(ctx.general, text, size + 1);
}

// ---- save ----------------------------------------------------------------------------------

bool save_data_to_disk(RunContext& ctx, PluginState& state) {
    log_message(ctx, LogLevel::info, "Saving data to disk");
    const std::size_t count = state.markers.length;
    MarkerDataV1* records = allocate_array<MarkerDataV1>(ctx.scratch, count);
    if (count > 0 && !records) {
        log_format(ctx, LogLevel::error, "Failed to serialize markers data as JSON: {}", "OutOfMemory");
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) records[i] = state.markers[i].data;

    MarkersText text{};
    if (serialize_markers(records, count, ctx.general, text) != SerializeError::none) {
        log_format(ctx, LogLevel::error, "Failed to serialize markers data as JSON: {}", "OutOfMemory");
        return false;
    }

    if (const char* what = obstacle_description(platform_file_info(markers_path).kind)) {
        char why[96];
        TextBuilder b = text_builder(why, sizeof why);
        text_append(b, markers_path);
        text_append(b, " is ");
        text_append(b, what);
        log_format(ctx, LogLevel::error, "Failed to write to markers data file: {}/{} {}", std::size_t{0}, text.length,
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
            log_format(ctx, LogLevel::error, "Failed to write to markers data file: {}/{} {}", std::size_t{0},
                       text.length, "the old file could not be kept yet");
            free_markers_text(text, ctx.general);
            return false;
        }
    }

    std::size_t written = 0;
    const PlatformError e = write_whole_file(markers_saving_path, markers_path, text.data, text.length, true, &written);
    if (e.code != 0) {
        log_format(ctx, LogLevel::error, "Failed to write to markers data file: {}/{} {}", written, text.length, e);
    } else {
        log_format(ctx, LogLevel::info, "Saved {:d} markers to JSON", static_cast<std::int64_t>(count));
    }
    free_markers_text(text, ctx.general);
    return e.code == 0;
}
