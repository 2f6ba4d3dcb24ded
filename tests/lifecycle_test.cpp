// Loading and unloading the plug-in, its log file, and which state survives
// what: setup, a script start, cleanup.
#include <sys/stat.h>

#include "sim_fixture.h"
#include "src/core/plugin_context.h"
#include "src/entry.h"
#include "src/script_main.h"
#include "src/state/state.h"

namespace {
const char* const one_second_at_60 = "{frames: 60, frame_ms: 16.666667}";
}

TEST_F(SimTest, LoadingRegistersOneScriptAndTheLogBeginsWithSetup) {
    begin(one_second_at_60);
    EXPECT_EQ(session->host.script_registrations, 1);
    ASSERT_EQ(session->host.scripts.size(), 1u);
    EXPECT_EQ(session->host.scripts[0]->procedure, &script_main);
    std::vector<std::string> lines = log_lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[INFO ] --- [2025-12-09 08:00:00] Setup");
    EXPECT_EQ(log_message_of(lines[1]), "Backing up any existing data");

    frames(3);
    lines = log_lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], "[INFO ] --- [2025-12-09 08:00:00] Script starting");

    ASSERT_TRUE(end()) << end_error;
    EXPECT_EQ(session->host.script_unregistrations, 1);
    EXPECT_TRUE(session->host.scripts.empty());
    lines = log_lines();
    EXPECT_EQ(log_message_of(lines.back()), "Shutdown");
}

TEST_F(SimTest, ASecondLoadTruncatesTheLog) {
    begin(one_second_at_60);
    frames(2);
    ASSERT_TRUE(end());
    ASSERT_GT(log_lines().size(), 3u);

    begin(one_second_at_60);
    std::vector<std::string> lines = log_lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(log_message_of(lines[0]), "Setup");
    ASSERT_TRUE(end());
}

TEST_F(SimTest, WithoutALogFileThePluginRunsOnAndRetriesAtScriptStart) {
    // A directory where the log file should be: the open fails.
    std::filesystem::create_directories(dir / "Quillfen" / "last.log");
    begin(one_second_at_60);
    EXPECT_TRUE(logger_is_empty(runtime_globals.file_logger));
    std::filesystem::remove(dir / "Quillfen" / "last.log");
    frames(5);  // the script start opens the log this time
    std::vector<std::string> lines = log_lines();
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(log_message_of(lines[0]), "Script starting");
    ASSERT_TRUE(end());
    EXPECT_EQ(log_message_of(log_lines().back()), "Shutdown");
}

TEST_F(SimTest, AnUnopenableLogNeverStopsTheFrames) {
    std::filesystem::create_directories(dir / "Quillfen" / "last.log");
    begin(one_second_at_60);
    frames(30);
    EXPECT_EQ(calls("player_character").size(), 29u);
    EXPECT_TRUE(end()) << end_error;
}

TEST_F(SimTest, ResetRulesAcrossSetupScriptStartAndCleanup) {
    waypoint_capture.waypoint_check_timer = 0.25f;
    waypoint_capture.last_waypoint = position_to_vector3(100.0f, 200.0f, 30.0f);
    waypoint_capture.waypoint_cooldown = 1.5f;

    begin(one_second_at_60);
    // setup zeroes the record: the rename index is 0, not yet -1.
    EXPECT_EQ(plugin_state.list_page.rename_marker_index, 0);
    EXPECT_EQ(plugin_state.categories.length, 0u);
    frames(1);
    EXPECT_EQ(plugin_state.list_page.rename_marker_index, -1);
    EXPECT_EQ(plugin_state.categories.length, 10u);
    EXPECT_EQ(plugin_state.menu.state, MENU_CLOSED);

    // A script start in the same process begins afresh, whatever came before.
    plugin_state.menu.state = MENU_FULL;
    plugin_state.current_category = 7;
    restart_script();
    EXPECT_EQ(plugin_state.menu.state, MENU_CLOSED);
    EXPECT_EQ(plugin_state.current_category, 0);
    EXPECT_EQ(plugin_state.list_page.rename_marker_index, -1);
    EXPECT_EQ(plugin_state.categories.length, 10u);

    ASSERT_TRUE(end());
    EXPECT_EQ(plugin_state.categories.data, nullptr);
    EXPECT_TRUE(logger_is_empty(runtime_globals.file_logger));
    EXPECT_EQ(runtime_globals.allocation_tracker.capacity, 0u);

    // The waypoint globals outlive all of it (the timer has moved by the frames' time only).
    EXPECT_EQ(waypoint_capture.last_waypoint._x.x, 100.0f);
    EXPECT_EQ(waypoint_capture.last_waypoint._z.z, 30.0f);
    EXPECT_EQ(waypoint_capture.waypoint_cooldown, 1.5f);
    EXPECT_EQ(waypoint_capture.waypoint_check_timer, 0.25f) << "only the script's starts ran: no frame time gathered";
    waypoint_capture = WaypointCapture{};
}

TEST_F(SimTest, AScriptRestartReportsWhatTheLastRunLeaked) {
    begin(one_second_at_60);
    frames(2);
    // Something the last run allocated through the tracker and never freed.
    RunContext ctx = plugin_context();
    Allocator tracked = tracker_allocator(runtime_globals.allocation_tracker);
    const std::source_location where = std::source_location::current();
    void* leaked = tracked.allocate(tracked.data, 24, 8, where);
    ASSERT_NE(leaked, nullptr);
    (void)ctx;

    restart_script();
    const std::string text = read_file(dir / "Quillfen" / "last.log");
    const std::string expected = std::string(where.file_name()) + "(" + std::to_string(where.line()) + ":" +
                                 std::to_string(where.column()) + ") leaked 24b\n\n";
    EXPECT_NE(text.find("[ERROR] --- [2025-12-09 08:00:00] " + expected), std::string::npos) << text;
    // Reported once: the tracker forgets it afterwards.
    bool still_recorded = false;
    tracker_for_each(runtime_globals.allocation_tracker,
                     [&](const TrackedAllocation& r) { still_recorded |= r.block == leaked; });
    EXPECT_FALSE(still_recorded);
    ::operator delete(leaked);
    ASSERT_TRUE(end());
}

TEST(Setup, FillsTheFirstSlotWithTheScript) {
    ScriptProcedure slots[64] = {};
    const std::filesystem::path d = fresh_test_dir();
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(d);
    EXPECT_EQ(setup(slots, 64), 1);
    EXPECT_EQ(slots[0], &script_main);
    EXPECT_EQ(slots[1], nullptr);
    cleanup();
    std::filesystem::current_path(previous);
}
