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
#include "src/markers_file/markers_folder.h"

void make_backup(RunContext& ctx);

void load_data_from_disk(RunContext& ctx, PluginState& state);
// True when the file now holds the list. When it fails, the list is saved
// again by retry_failed_save until it works.
bool save_data_to_disk(RunContext& ctx, PluginState& state);

// Seconds of frame time between two tries of a save that failed.
inline constexpr float failed_save_retry_seconds = 5.0f;
// Every frame: after a failed save, saves the list again once the seconds
// have passed, until that works.
void retry_failed_save(RunContext& ctx, PluginState& state);
