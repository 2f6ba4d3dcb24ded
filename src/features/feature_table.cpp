// The features' table: one row per feature, in the order the rows are run.
//
// The order is behaviour (the tour's trace pins it). Top to bottom at set-up,
// at a script start (release, then start), in each frame and at unload:
// - set-up: the markers file is backed up before Quillfen/import is made;
// - release: the route ends (a GPS call) before the last run's blips go;
// - start: the tiles, then the markers loaded, the packs imported into them,
//   the deletes of earlier runs read from deleted.json, the settings read, and
//   last the buttons made, whose texts follow those;
// - the buttons are made in the table's order, which is the order the game
//   lists them in: the ring's adds, the list page's (with "Note"), "Route",
//   "Undo Delete", "Search", "Move", the settings' (on the ring), "Found";
// - each frame: the capture, the route's arrival, a failed save tried again,
//   the settings file looked at, the pack markers reached found, the menu's
//   tick, the notice drawn over it, and the blip pass last: it
//   spends what the frame has left of its native calls (frame_native_ceiling),
//   so the blips stay the last row;
// - unload: the route's line in the log before the last save's.
// After a change of the marker list the rows follow it bottom up (src/markers/
// marker_list.h): the blips, the route, and last the list page (its search,
// then its rows). Before each save, deleted.json is written (the save waits
// for it); after a save that worked (src/markers/markers_on_disk.h): the
// packs it holds move, and the deletes undone leave deleted.json. After a
// markers.json read late and saved: the undo, then the packs' progress.
#include "src/collections/collections.h"
#include "src/core/feature_row.h"
#include "src/map/blips.h"
#include "src/map/gps_route.h"
#include "src/markers/marker_backups.h"
#include "src/markers/marker_packs.h"
#include "src/markers/marker_persistence.h"
#include "src/markers/marker_undo.h"
#include "src/markers/markers_on_disk.h"
#include "src/markers/waypoint_capture.h"
#include "src/menu/category_page.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/marker_list_rows.h"
#include "src/menu/marker_search.h"
#include "src/menu/menu.h"
#include "src/menu/notice_line.h"
#include "src/settings/settings.h"

namespace {

constexpr FeatureRow rows[] = {
    {
        .name = "category page",
        .start = category_page_at_start,
        .release = category_page_at_release,
        .buttons = {&add_here_button, &add_at_waypoint_button},
    },
    {
        .name = "list page",
        .start = list_page_at_start,
        .list_changed = list_page_follows_list,
        .typing = list_page_typing,
        .holds_marker_index = list_page_holds_marker_index,
        .release = list_page_at_release,
        .buttons = {&edit_markers_button, &rename_button, &sort_button, &delete_button, &note_button, &back_button},
    },
    {
        .name = "waypoint capture",
        .frame = waypoint_capture_each_frame,
    },
    {
        .name = "route",
        .frame = check_route_arrival,
        .list_changed = route_follows_list,
        .release = route_at_release,
        .unload = forget_route_at_unload,
        .buttons = {&route_button},
    },
    {
        .name = "markers file",
        .setup = make_backup,
        .start = load_data_from_disk,
        .frame = retry_failed_save,
        .release = markers_on_disk_at_release,
        .unload = save_before_quit,
    },
    {
        .name = "packs",
        .setup = make_import_folder,
        .start = import_marker_packs,
        .saved = move_saved_packs,
        .release = [](RunContext& ctx, PluginState& state) { forget_waiting_packs(ctx, state); },
    },
    {
        .name = "undo",
        .start = load_deleted_markers,
        .saved = deleted_file_after_save,
        .before_save = write_deleted_before_save,
        .read_late = undo_follows_late_read,
        .release = undo_at_release,
        .buttons = {&undo_button},
    },
    {
        .name = "search",
        .typing = finish_search_typing,
        .release = search_at_release,
        .buttons = {&search_button, &move_button},
    },
    {
        .name = "settings",
        .start = load_settings,
        .frame = look_at_settings_file,
        .buttons = {&capture_button, &hide_button},
    },
    {
        .name = "collections",
        .start = collections_at_start,
        .frame = find_markers_reached,
        .list_changed = collections_follow_list,
        .read_late = collections_follow_late_read,
        .buttons = {&found_button},
    },
    {
        .name = "menu",
        .start = menu_at_start,
        .frame = menu_each_frame,
    },
    {
        .name = "notice",
        .frame = draw_notice,
    },
    {
        .name = "blips",
        .frame = refresh_marker_blips,
        .list_changed = blips_follow_list,
        .release = blips_at_release,
    },
};

static_assert(rows[std::size(rows) - 1].frame == refresh_marker_blips, "the blip pass stays last in the frame");

}  // namespace

constinit const FeatureTable feature_table{rows, std::size(rows)};
