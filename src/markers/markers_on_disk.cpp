#include "src/markers/markers_on_disk.h"

#include "src/core/feature_row.h"
#include "src/markers/marker_packs.h"
#include "src/markers/marker_persistence.h"

// After a save that worked: each row's `saved` in the features' table, what
// waited for it (the packs whose markers it holds leave Quillfen/import/).
static void after_save(RunContext& ctx, PluginState& state) {
    for (const FeatureRow& row : feature_table) {
        if (row.saved) row.saved(ctx, state);
    }
}

void import_marker_packs(RunContext& ctx, PluginState& state) {
    // A pack merged into the backup's markers shown meanwhile would find
    // "already there" a marker the file no longer has.
    if (markers_file_unread(state)) {
        leave_packs_until_file_read(ctx);
        return;
    }
    const PackImport imported = merge_marker_packs(ctx, state);
    if (!imported.found) return;
    if (imported.added > 0) {
        (void)save_data_to_disk(ctx, state);  // when it works, the packs have gone
    } else {
        move_saved_packs(ctx, state);  // nothing new: the file holds their markers already
    }
    say_packs_waiting(ctx, state);
}

bool save_data_to_disk(RunContext& ctx, PluginState& state) {
    if (!save_markers_file(ctx, state)) return false;
    after_save(ctx, state);
    return true;
}

void retry_failed_save(RunContext& ctx, PluginState& state) {
    const MarkersFileRetry retry = retry_markers_file(ctx, state);
    if (retry.saved) after_save(ctx, state);
    if (retry.wait_over) import_marker_packs(ctx, state);
}

void save_before_quit(RunContext& ctx, PluginState& state) {
    if (save_markers_file_at_quit(ctx, state, false)) after_save(ctx, state);
}

void markers_on_disk_at_release(RunContext& ctx, PluginState& state) {
    // The last run's list goes with the release: what it could not save is
    // tried once more, or kept aside, as at a quit.
    if (save_markers_file_at_quit(ctx, state, true)) after_save(ctx, state);
    markers_file_at_release(ctx, state);
}
