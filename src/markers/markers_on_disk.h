// The markers file and the marker packs in step. The file's policy
// (marker_persistence) and the packs' import (marker_packs) do not call each
// other: these put them in order. A save that works runs the features' step
// after a save (each row's `saved` in the features' table: the packs whose
// markers it holds leave Quillfen/import/); packs are merged only into the
// markers the file holds, so while markers.json has not been read they wait,
// and come in once it has been.
#pragma once

#include "src/base/run_context.h"
#include "src/state/state.h"

// At script start, after load_data_from_disk: the packs in Quillfen/import are
// merged and saved (the packs move with that save, or with the first later one
// that works), or, while markers.json has not been read, left where they are
// with a line each.
void import_marker_packs(RunContext& ctx, PluginState& state);

// After every change of the list: writes it into markers.json. True when the
// file now holds the list; the packs waiting for a save then go. When it
// fails, the list is saved again by retry_failed_save until it works.
bool save_data_to_disk(RunContext& ctx, PluginState& state);

// Every frame: a failed save tried again once its delay has passed, a
// markers.json that could not be read read again every second; when that read
// ends the wait, the packs are imported.
void retry_failed_save(RunContext& ctx, PluginState& state);

// At script end (cleanup): while saves fail, one last try; when it fails, the
// markers the game holds are kept in a file of their own (marker_persistence.h).
void save_before_quit(RunContext& ctx, PluginState& state);

// When the scripts start again: the same for the last run's list, which is
// then let go (with the rest of the markers file's record).
void markers_on_disk_at_release(RunContext& ctx, PluginState& state);
