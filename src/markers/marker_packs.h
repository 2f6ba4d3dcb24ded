// Marker packs: markers files that players pass to each other. A pack dropped
// into Quillfen/import/ is merged into the marker list at the next script
// start under the 1-unit rule of try_add_marker, and moved into
// Quillfen/import/imported/ once the list holding its markers is saved. A
// pack that does not load stays where it is and costs nothing.
#pragma once

#include "src/base/run_context.h"
#include "src/core/state.h"
#include "src/markers_file/markers_folder.h"

// At set-up: makes Quillfen/import when it is missing, so players see where
// packs go. Silent unless the folder cannot be made.
void make_import_folder(RunContext& ctx);

// At script start, after the markers are loaded (or recovered): every file of
// Quillfen/import whose name ends in ".json", in name order. With no such
// file it does nothing at all.
void import_marker_packs(RunContext& ctx, PluginState& state);

// True for the names of files that are taken as packs ("*.json", any case).
bool is_pack_name(const char* name);
