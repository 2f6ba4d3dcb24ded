#include "src/markers/marker_backups.h"

#include <cstring>

#include "src/base/calendar.h"
#include "src/base/text_builder.h"
#include "src/file_formats/marker_copies.h"
#include "src/map/blips.h"
#include "src/markers/marker_list.h"

// Sections: the backups at set-up · keeping an unloadable file · recovery.
// Of something that is not a file at markers.json (obstacle_description) no
// copy is taken.

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

void back_up_text(RunContext& ctx, const char* text, std::size_t size) {
    const PlatformError e = write_whole_file(markers_copying_path, markers_backup_path, text, size, true);
    if (e.code != 0) log_format(ctx, LogLevel::error, "Failed to back up markers data file: {}", e);
    make_daily_copy(ctx, text, size);
}

void make_backup(RunContext& ctx) {
    log_message(ctx, LogLevel::info, "Backing up any existing data");
    // The backups only ever hold a file that loads: checked with the reader
    // and mapping of the load itself.
    MarkersData data{};
    FileText text{};
    const MarkersFileRead r = read_markers_file(markers_path, ctx.general, data, &text);
    free_markers_data(data, ctx.general);
    switch (r.outcome) {
        // No markers file yet (first use) is not worth a line; something in its
        // place is reported by the load.
        case MarkersFileOutcome::missing:
        case MarkersFileOutcome::not_a_file: break;
        case MarkersFileOutcome::held:
            log_format(ctx, LogLevel::error, "Failed to back up markers data file: {}", r.read);
            break;
        case MarkersFileOutcome::out_of_memory:
            log_format(ctx, LogLevel::error,
                       "Did not back up markers data file now, as memory ran out while it was read (the file is not "
                       "damaged): {} keeps the last copy",
                       markers_backup_path);
            break;
        case MarkersFileOutcome::damaged:
            log_format(ctx, LogLevel::error,
                       "Did not back up markers data file, which cannot be loaded ({}): {} keeps the last one that "
                       "could",
                       r.why, markers_backup_path);
            break;
        case MarkersFileOutcome::read: back_up_text(ctx, text.data, text.size); break;
    }
    free_file_text(ctx.general, text);
}

static bool written_within(const char* path, const ListedSpan* spans, std::size_t count) {
    const PlatformFileInfo info = platform_file_info(path);
    if (info.kind != PlatformFileKind::regular) return false;
    for (std::size_t i = 0; i < count; ++i) {
        if (spans[i].from_ns < info.modified_ns && info.modified_ns < spans[i].to_ns) return true;
    }
    return false;
}

std::size_t append_copies_written_within(RunContext& ctx, TextBuilder& out, const ListedSpan* spans,
                                         std::size_t count) {
    // The backup first, then the daily copies from the newest.
    constexpr std::size_t most_named = 1 + daily_copies_kept + 1;
    char names[most_named][128];
    std::size_t found = 0;
    if (written_within(markers_backup_path, spans, count)) {
        TextBuilder b = text_builder(names[found++], sizeof names[0]);
        text_append(b, markers_backup_path);
    }
    GrowableArray<std::uint32_t> dates{};
    (void)list_daily_copies(daily_copies_directory, utc_date_number(platform_now_ns()), ctx.general, dates);
    for (std::size_t i = 0; i < dates.length && found < most_named; ++i) {
        daily_copy_path(names[found], dates[i]);
        if (written_within(names[found], spans, count)) ++found;
    }
    array_free(dates);
    for (std::size_t i = 0; i < found; ++i) {
        if (i > 0) text_append(out, i + 1 == found ? " and " : ", ");
        text_append(out, names[i]);
    }
    return found;
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
    if (state.persistence.unreadable_copy_error != e.code) {
        log_format(ctx, LogLevel::error, "Could not keep a copy of the markers file that could not be loaded: {}", e);
    }
    state.persistence.unreadable_copy_error = e.code;
}

bool keep_unreadable_copy(RunContext& ctx, PluginState& state, const char* text, std::size_t size) {
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
        state.persistence.unreadable_copy_error = 0;
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
    state.persistence.unreadable_copy_error = 0;
    return true;
}

void keep_damaged_file(RunContext& ctx, PluginState& state, const MarkersFileRead& loaded, const char* text,
                       std::size_t size) {
    log_format(ctx, LogLevel::error, "Failed to deserialize markers data file as JSON: {}", loaded.why);
    state.persistence.unreadable_copy_pending = !keep_unreadable_copy(ctx, state, text, size);
}

// ---- recovery ------------------------------------------------------------------------------

void set_last_good_copy(PluginState& state, const char* path) {
    TextBuilder b = text_builder(state.persistence.last_good_copy, sizeof state.persistence.last_good_copy);
    text_append(b, path);
}

void take_markers(RunContext& ctx, PluginState& state, MarkersData& data) {
    state.markers.length = 0;
    if (array_reserve(state.markers, ctx.general, data.count)) {
        for (std::size_t i = 0; i < data.count; ++i) {
            array_append(state.markers, ctx.general, Marker{data.records[i], 0, false, GuarmaSide::unknown});
            hand_over_marker_texts(data.records[i]);  // the marker owns them now
        }
    }
    free_markers_data(data, ctx.general);  // names that did not find a marker go with it
    marker_list_changed(ctx, state, MarkerListChange::replaced);
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
    const auto count = static_cast<std::int64_t>(state.markers.length);
    log_format(ctx, LogLevel::error, "Recovered {:d} {} from {}, the newest backup that loads", count,
               counted_noun(count, "marker", "markers"), path);
    return CopyLoad::loaded;
}

void recover_markers(RunContext& ctx, PluginState& state, bool quiet_when_none) {
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
