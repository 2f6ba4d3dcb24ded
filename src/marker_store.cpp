#include "src/marker_store.h"

#include "src/base/calendar.h"
#include "src/base/text_builder.h"
#include "src/store/marker_file.h"

void make_backup(RunContext& ctx) {
    log_message(ctx, LogLevel::info, "Backing up any existing data");
    // No markers file yet (first use) is not worth a line.
    (void)platform_copy_file(markers_path, markers_backup_path, false);
}

// Copies the unloadable markers file to markers.json.unreadable-YYYYMMDD-HHMMSS
// (UTC), never over an existing copy. True once a copy exists.
static bool keep_unreadable_copy(RunContext& ctx) {
    const CivilTime t = civil_from_unix_ns(platform_now_ns());
    char base[96];
    TextBuilder b = text_builder(base, sizeof base);
    text_append(b, markers_path);
    text_append(b, ".unreadable-");
    text_append_i64_padded(b, t.year, 4);
    text_append_i64_padded(b, t.month, 2);
    text_append_i64_padded(b, t.day, 2);
    text_append_char(b, '-');
    text_append_i64_padded(b, t.hour, 2);
    text_append_i64_padded(b, t.minute, 2);
    text_append_i64_padded(b, t.second, 2);
    for (int n = 1; n <= 99; ++n) {
        char name[112];
        TextBuilder nb = text_builder(name, sizeof name);
        text_append(nb, text_view(b));
        if (n > 1) {
            text_append_char(nb, '-');
            text_append_i64(nb, n);
        }
        if (platform_file_exists(name)) continue;
        PlatformError e = platform_copy_file(markers_path, name, true);
        if (e.code == 0) {
            log_format(ctx, LogLevel::error, "Kept the markers file that could not be loaded as {}", name);
            return true;
        }
        if (platform_file_exists(name)) continue;  // somebody was quicker; try the next name
        log_format(ctx, LogLevel::error, "Could not keep a copy of the markers file that could not be loaded: {}", e);
        return false;
    }
    return false;
}

static void keep_copy_or_remember(RunContext& ctx, PluginState& state) {
    state.unreadable_copy_pending = !keep_unreadable_copy(ctx);
}

void load_data_from_disk(RunContext& ctx, PluginState& state) {
    log_message(ctx, LogLevel::info, "Loading data from disk");
    char* text = nullptr;
    std::size_t size = 0;
    PlatformError read = platform_read_file(markers_path, ctx.general, &text, &size);
    if (read.code != 0) {
        log_format(ctx, LogLevel::error, "Failed to read markers data file: {}", read);
        // A file that is there but cannot be read (held by another program)
        // must not be replaced by the next save before it is copied.
        if (!platform_error_is_not_found(read)) keep_copy_or_remember(ctx, state);
        return;
    }
    MarkersData data{};
    if (deserialize_markers(std::string_view(text, size), ctx.general, data) != DeserializeError::none) {
        log_message(ctx, LogLevel::error, "Failed to deserialize markers data file as JSON");
        keep_copy_or_remember(ctx, state);
        free_bytes(ctx.general, text, size + 1);
        return;
    }
    state.markers.length = 0;
    if (array_reserve(state.markers, ctx.general, data.count)) {
        for (std::size_t i = 0; i < data.count; ++i) {
            array_append(state.markers, ctx.general, Marker{data.records[i], 0, false});
            data.records[i].name = nullptr;  // the marker owns it now
        }
    }
    free_markers_data(data, ctx.general);  // names that did not find a marker go with it
    log_format(ctx, LogLevel::info, "Loaded %d markers from JSON", static_cast<std::int64_t>(state.markers.length));
    free_bytes(ctx.general, text, size + 1);
}

void save_data_to_disk(RunContext& ctx, PluginState& state) {
    log_message(ctx, LogLevel::info, "Saving data to disk");
    const std::size_t count = state.markers.length;
    MarkerDataV1* records = allocate_array<MarkerDataV1>(ctx.scratch, count);
    if (count > 0 && !records) {
        log_format(ctx, LogLevel::error, "Failed to serialize markers data as JSON: {}", "OutOfMemory");
        return;
    }
    for (std::size_t i = 0; i < count; ++i) records[i] = state.markers[i].data;

    MarkersText text{};
    if (serialize_markers(records, count, ctx.general, text) != SerializeError::none) {
        log_format(ctx, LogLevel::error, "Failed to serialize markers data as JSON: {}", "OutOfMemory");
        return;
    }

    if (state.unreadable_copy_pending) {
        if (!platform_file_exists(markers_path)) {
            state.unreadable_copy_pending = false;  // gone meanwhile: nothing left to lose
        } else if (keep_unreadable_copy(ctx)) {
            state.unreadable_copy_pending = false;
        } else {
            // The file that could not be loaded stays until a copy of it exists;
            // the markers stay in memory for the next save.
            log_format(ctx, LogLevel::error, "Failed to write to markers data file: {}/{} {}", std::size_t{0},
                       text.length, "the old file could not be kept yet");
            free_markers_text(text, ctx.general);
            return;
        }
    }

    // A leftover from a save that was cut short.
    (void)platform_delete_file(markers_saving_path);
    std::size_t written = 0;
    PlatformError e = platform_write_new_file(markers_saving_path, text.data, text.length, &written);
    if (e.code == 0) {
        e = platform_replace_file(markers_saving_path, markers_path);
        if (e.code != 0) (void)platform_delete_file(markers_saving_path);
    }
    if (e.code != 0) {
        log_format(ctx, LogLevel::error, "Failed to write to markers data file: {}/{} {}", written, text.length, e);
    } else {
        log_format(ctx, LogLevel::info, "Saved %d markers to JSON", static_cast<std::int64_t>(count));
    }
    free_markers_text(text, ctx.general);
}
