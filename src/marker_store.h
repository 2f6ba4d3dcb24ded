// The markers file on disk: its backup at load, loading at script start, and
// saving after every change. A save never truncates the live file, and a file
// that cannot be loaded is kept under a name of its own before anything can
// replace it.
#pragma once

#include "src/base/run_context.h"
#include "src/state.h"

inline constexpr const char* markers_path = "Quillfen/markers.json";
inline constexpr const char* markers_backup_path = "Quillfen/markers.json.bak";
inline constexpr const char* markers_saving_path = "Quillfen/markers.json.saving";

// Copies markers.json over markers.json.bak, at every set-up.
void make_backup(RunContext& ctx);
void load_data_from_disk(RunContext& ctx, PluginState& state);
void save_data_to_disk(RunContext& ctx, PluginState& state);
