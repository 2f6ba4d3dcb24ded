// Marker packs: markers files that players pass to each other. A pack dropped
// into Quillfen/import/ is merged into the marker list at the next script
// start under the 1-unit rule of try_add_marker, and moved into
// Quillfen/import/imported/ by the first save of the list holding its markers
// that works: the import's own, or any later one (the retry of a failed save,
// the next change). A pack that does not load stays where it is and costs
// nothing.
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/markers_file/markers_folder.h"
#include "src/state/state.h"

// A pack larger than this is not read (100,000 markers take about 30 MB): it
// stays where it is, and costs a look at its size at each start.
inline constexpr std::uint64_t pack_size_limit = std::uint64_t{64} << 20;

// At set-up: makes Quillfen/import when it is missing, so players see where
// packs go. Silent unless the folder cannot be made.
void make_import_folder(RunContext& ctx);

// At script start, after the markers are loaded (or recovered): every file of
// Quillfen/import whose name ends in ".json", in name order. With no such
// file it does nothing at all; one that is not a file, or is larger than
// pack_size_limit, is skipped with a line.
void import_marker_packs(RunContext& ctx, PluginState& state);

// Called by every save that works: the packs whose markers waited for it go
// to Quillfen/import/imported/ (a line for each, and for one that cannot).
// A pack changed since its import stays, to be imported at the next start.
void move_saved_packs(RunContext& ctx, PluginState& state);
// Frees the list of packs waiting for a save, moving none (a new script start).
void forget_waiting_packs(const RunContext& ctx, PluginState& state);

// True for the names of files that are taken as packs ("*.json", any case).
bool is_pack_name(const char* name);
