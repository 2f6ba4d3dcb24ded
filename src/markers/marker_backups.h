// The copies that keep the markers when markers.json fails them: at set-up
// the backup (markers.json.bak) and the day's copy in backups/ of a file that
// loads; a markers.json that does not load, kept aside under a name of its own
// before anything can replace it; and the recovery that puts the newest copy
// that loads in its place in memory. Loading, saving and retrying a failed
// save are in marker_persistence, which calls these.
#pragma once

#include <cstddef>

#include "src/base/run_context.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/markers_folder.h"
#include "src/state/state.h"

// At set-up: markers.json, when it loads, to markers.json.bak and to today's
// daily copy (the seven latest dated up to today are kept).
void make_backup(RunContext& ctx);
// The backup and the day's copy of a markers text known to load.
void back_up_text(RunContext& ctx, const char* text, std::size_t size);

// When a marker was in the list: from its making (its timestamp) to its delete.
struct ListedSpan {
    std::int64_t from_ns, to_ns;
};
// The copies set-up made of markers.json (the backup, the daily copies in
// backups/) whose files were written within one of `spans`: those that may
// hold such a marker, as each holds markers.json as it was at a start.
// Appended to `out` as "Quillfen/markers.json.bak and Quillfen/backups/
// markers-YYYYMMDD.json"; how many there are.
std::size_t append_copies_written_within(RunContext& ctx, TextBuilder& out, const ListedSpan* spans, std::size_t count);

// Keeps the unloadable markers.json as markers.json.unreadable-YYYYMMDD-HHMMSS
// (UTC), never over an existing copy and only once for the same text: `text`
// when the file was read, else what can be read now. True once a copy exists;
// a failure is said once per cause (state.persistence.unreadable_copy_error).
bool keep_unreadable_copy(RunContext& ctx, PluginState& state, const char* text, std::size_t size);
// markers.json was read and does not load: said, and kept aside before
// anything can replace it (or noted as still to keep).
void keep_damaged_file(RunContext& ctx, PluginState& state, const MarkersFileRead& loaded, const char* text,
                       std::size_t size);

// markers.json does not load, or is not there: the newest copy that loads
// takes its place in memory (the backup, then the daily copies dated up to
// today from the newest, then those dated later), and the next save writes it
// back. With `quiet_when_none`, finding no copy at all is not worth a line (a
// first start).
void recover_markers(RunContext& ctx, PluginState& state, bool quiet_when_none);

// Moves loaded records into the marker list (a load, or a recovery); each
// name passes into a marker's ownership, and `data` is freed.
void take_markers(RunContext& ctx, PluginState& state, MarkersData& data);
// The file named at script end as the last copy that holds the markers.
void set_last_good_copy(PluginState& state, const char* path);
