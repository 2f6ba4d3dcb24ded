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
// True when the file now holds the list.
bool save_data_to_disk(RunContext& ctx, PluginState& state);
