// Marker packs: markers files that players pass to each other. A pack dropped
// into Quillfen/import/ is merged into the marker list at the next script
// start (or, when markers.json could not be read then, once it has been)
// under the 1-unit rule of try_add_marker, and moved into
// Quillfen/import/imported/ by the first save of the list holding its markers
// that works: the import's own, or any later one (the retry of a failed save,
// the next change). A pack that does not load stays where it is and costs
// nothing. The saves are not made here: markers_on_disk.h puts the import and
// the saves in step.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/base/run_context.h"
#include "src/file_formats/markers_folder.h"
#include "src/state/state.h"

// A pack larger than this is not read (100,000 markers take about 30 MB): it
// stays where it is, and costs a look at its size at each start.
inline constexpr std::uint64_t pack_size_limit = std::uint64_t{64} << 20;
// A pack that would take the list past this many markers is not imported (it
// stays, with a line): a list of 800,000 stalls the game ~1.5 s at each save.
inline constexpr std::size_t pack_import_marker_limit = 100000;

// At set-up: makes Quillfen/import when it is missing, so players see where
// packs go. Silent unless the folder cannot be made.
void make_import_folder(RunContext& ctx);

// What an import found.
struct PackImport {
    bool found;         // there was at least one pack to look at
    std::size_t added;  // markers added to the list
};
// Every file of Quillfen/import whose name ends in ".json" or ".geojson" (a
// map tool's FeatureCollection, marker_geojson.h), in name order,
// merged into the list as it stands: its markers are added, and the packs
// wait in packs.waiting_for_save for a save. With no such file it does
// nothing at all; one that is not a file, or is larger than pack_size_limit,
// is skipped with a line, and one that would take the list past
// pack_import_marker_limit is left with a line. The caller saves (markers_on_disk.h).
PackImport merge_marker_packs(RunContext& ctx, PluginState& state);
// While markers.json has not been read, nothing is merged: a line for each
// pack in Quillfen/import, which stays there.
void leave_packs_until_file_read(RunContext& ctx);
// A line for each pack still waiting for a save after the import's save.
void say_packs_waiting(RunContext& ctx, const PluginState& state);

// Called after every save that works: the packs whose markers waited for it go
// to Quillfen/import/imported/ (a line for each, and for one that cannot).
// A pack changed since its import stays, to be imported at the next start.
void move_saved_packs(RunContext& ctx, PluginState& state);
// Frees the list of packs waiting for a save, moving none (a new script start).
void forget_waiting_packs(const RunContext& ctx, PluginState& state);

// True for the names of files that are taken as packs ("*.json", "*.geojson", any case).
bool is_pack_name(const char* name);
