// The markers file on disk: its backups at set-up, loading at script start, and
// saving after every change. A save never truncates the live file; a file that
// cannot be loaded is kept under a name of its own before anything can replace
// it, and the newest copy that loads takes its place in memory; the backups
// only ever hold a file that loads, each written whole; and something that is
// not a file where markers.json belongs is left alone.
#pragma once

#include "src/base/run_context.h"
#include "src/core/state.h"
#include "src/markers_file/marker_file.h"

inline constexpr const char* markers_path = "Quillfen/markers.json";
inline constexpr const char* markers_backup_path = "Quillfen/markers.json.bak";
inline constexpr const char* markers_saving_path = "Quillfen/markers.json.saving";
// Where copies beside markers.json are written before they get their names.
inline constexpr const char* markers_copying_path = "Quillfen/markers.json.copying";
inline constexpr const char* daily_copies_directory = "Quillfen/backups";
inline constexpr const char* daily_copy_copying_path = "Quillfen/backups/markers.json.copying";

// What stands at a path when it is not a file: "a directory", "a device or
// other special file", "a link to a file that does not exist"; null for a
// file, for nothing, and when it cannot be told.
const char* obstacle_description(PlatformFileKind kind);

void make_backup(RunContext& ctx);

// A markers file read and loaded in one go, as the recovery and the import of
// marker packs take one: `read` is not 0 when the file could not be read;
// otherwise `loaded` says whether it loaded, and `why` why not
// ("LINE:COLUMN: reason"). `data` holds the markers when it loaded.
struct MarkersFileRead {
    PlatformError read;
    DeserializeError loaded;
    char why[160];
};
MarkersFileRead read_markers_file(RunContext& ctx, const char* path, MarkersData& data);
void load_data_from_disk(RunContext& ctx, PluginState& state);
// True when the file now holds the list. When it fails, the list is saved
// again by retry_failed_save until it works.
bool save_data_to_disk(RunContext& ctx, PluginState& state);

// Seconds of frame time between two tries of a save that failed.
inline constexpr float failed_save_retry_seconds = 5.0f;
// Every frame: after a failed save, saves the list again once the seconds
// have passed, until that works.
void retry_failed_save(RunContext& ctx, PluginState& state);
