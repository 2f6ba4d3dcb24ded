// Waypoint capture: what counts as a new waypoint, the ground probes, the pause
// after a capture in game time at any frame rate, the name, the one save, and
// the quick add at the waypoint landing where a capture would.
#include "src/markers/waypoint_capture.h"
#include "sim_fixture.h"
#include "src/markers/marker_editing.h"
#include "src/menu/menu_input.h"

namespace {

class WaypointTest : public SimTest {
protected:
    // A check runs every fourth frame at 250 ms frames.
    void start(const Scenario& world) {
        begin(Scenario().with("frames", 100000).with("frame_ms", 250).with(world));
        frames(1);
    }
    void checks(int n) { frames(4 * n); }
    long saves() const {
        const std::vector<std::string> log = messages();
        return std::count(log.begin(), log.end(), "Saving data to disk");
    }
};

const Scenario valentine =
    Scenario()
        .with("zones", R"([{type: "TOWN", hash: "0x1B6880B3", text: null, rect: [-400, 700, -200, 900]}])")
        .with("ground", "{default: 100}");

}  // namespace

TEST_F(WaypointTest, ACaptureMakesANamedMarkerOnTheGroundAndSavesOnce) {
    start(Scenario(valentine).with("events", "[{frame: 2, waypoint: [-310.46, 802.27]}]"));
    checks(1);
    ASSERT_EQ(plugin_state.markers.length, 1u);
    const Marker& m = plugin_state.markers[0];
    EXPECT_STREQ(m.data.name, "Valentine, New Hanover (Waypoint)");
    EXPECT_EQ(m.data.position.z, 101.0f) << "one above the ground found by the first probe";
    ASSERT_NE(m.blip, 0u);
    const std::vector<std::uint32_t>& modifiers = game().blips.at(m.blip).modifiers;
    EXPECT_EQ(modifiers.back(), 0x95BD6684u) << "its blip shows it as new";
    EXPECT_TRUE(logged("Auto-created marker at waypoint: -310.46, 802.27, 101.00"));
    EXPECT_EQ(saves(), 1) << "the marker and its name in one write";
    EXPECT_NE(read_file(dir / "Quillfen" / "markers.json").find("\"name\": \"Valentine, New Hanover (Waypoint)\""),
              std::string::npos);
    EXPECT_EQ(waypoint_capture.waypoint_cooldown, 2.0f);
    EXPECT_EQ(waypoint_capture.last_waypoint._x.x, -310.46f);
    EXPECT_EQ(waypoint_capture.last_waypoint._z.z, 0.0f)
        << "remembered as the game reports it, not as put on the ground";
}

struct GroundCase {
    const char* ground;
    float z;
    std::vector<float> probes;
};
const GroundCase ground_cases[] = {
    {"{default: 120}", 121.0f, {100, 150}},
    {"{default: -5}", -4.0f, {100}},
    {"{default: 175}", 176.0f, {100, 150, 50, 0, 200}},
    {"{default: null}", 10.0f, {100, 150, 50, 0, 200}},
};

class WaypointGroundTest : public WaypointTest, public ::testing::WithParamInterface<GroundCase> {};

INSTANTIATE_TEST_SUITE_P(Grounds, WaypointGroundTest, ::testing::ValuesIn(ground_cases));

TEST_P(WaypointGroundTest, ProbesInOrderAndRaiseToTenWithoutGround) {
    const GroundCase& c = GetParam();
    start(Scenario().with("ground", c.ground).with("events", "[{frame: 2, waypoint: [500, 500]}]"));
    checks(1);
    ASSERT_EQ(plugin_state.markers.length, 1u);
    EXPECT_EQ(plugin_state.markers[0].data.position.z, c.z);
    std::vector<float> probes;
    for (auto* e : calls("ground_z_at")) probes.push_back(f32_of(e->args[2]));
    EXPECT_EQ(probes, c.probes);
    EXPECT_STREQ(plugin_state.markers[0].data.name, "Waypoint Marker") << "no place name here";
}

TEST_F(WaypointTest, NewOnlyBeyondTenUnitsAndOnlyOnceThePauseIsOver) {
    start(Scenario().with("ground", "{default: 0}").with("events", "[{frame: 2, waypoint: [100, 100]}]"));
    checks(1);
    ASSERT_EQ(plugin_state.markers.length, 1u);
    game().waypoint_x = 500;  // far away, set during the 2-second pause
    checks(1);
    EXPECT_EQ(plugin_state.markers.length, 1u) << "1 s into the pause";
    checks(1);
    ASSERT_EQ(plugin_state.markers.length, 2u) << "captured at the check where the pause runs out, 2 s on";

    checks(2);                // past the pause
    game().waypoint_x = 505;  // 5 units from the last one
    checks(2);
    EXPECT_EQ(plugin_state.markers.length, 2u);
    game().waypoint_x = 511;  // 11 units
    checks(1);
    EXPECT_EQ(plugin_state.markers.length, 3u);
}

TEST_F(WaypointTest, ARefusedAddIsStillRememberedAndNothingIsLogged) {
    start(Scenario().with("ground", "{default: 0}").with("events", "[{frame: 2, waypoint: [100, 100]}]"));
    // A marker already stands where the capture would go (made from the menu, say).
    in_script([] {
        RunContext ctx = script_context();
        try_add_marker(ctx, plugin_state, position_to_vector3(100, 100, 1));
    });
    checks(1);
    EXPECT_EQ(plugin_state.markers.length, 1u);
    EXPECT_EQ(waypoint_capture.last_waypoint._x.x, 100.0f);
    EXPECT_EQ(waypoint_capture.waypoint_cooldown, 0.0f) << "no pause after a refusal";
    for (const std::string& m : messages()) EXPECT_EQ(m.find("Auto-created"), std::string::npos);
    // The same waypoint is not tried again: the ground is probed no more.
    const std::size_t probes = calls("ground_z_at").size();
    checks(3);
    EXPECT_EQ(calls("ground_z_at").size(), probes);
}

TEST_F(WaypointTest, AFirstWaypointNearTheOriginIsNotCapturedAndAClearedOneDoesNothing) {
    start(Scenario()
              .with("ground", "{default: 0}")
              .with("events", "[{frame: 2, waypoint: [3, 4]}, {frame: 10, waypoint: null}]"));
    checks(4);
    EXPECT_EQ(plugin_state.markers.length, 0u);
    EXPECT_TRUE(calls("waypoint_coords").size() >= 1u);
}

// The ground here is far above the height the game reports for a waypoint
// (0), which is where remembering the grounded height went wrong.
TEST_F(WaypointTest, ADeletedCaptureStaysDeletedWhileItsWaypointStaysSet) {
    start(Scenario().with("ground", "{default: 117.5}").with("events", "[{frame: 2, waypoint: [-310, 802]}]"));
    checks(1);
    ASSERT_EQ(plugin_state.markers.length, 1u);
    in_script([] {
        RunContext ctx = script_context();
        delete_marker_at(ctx, plugin_state, 0);
    });
    const std::size_t probes = calls("ground_z_at").size();
    checks(8);  // well past the pause
    EXPECT_EQ(plugin_state.markers.length, 0u);
    EXPECT_EQ(calls("ground_z_at").size(), probes) << "the same waypoint is not handled again";
    game().waypoint_x = -200;  // a new waypoint is still captured
    checks(1);
    EXPECT_EQ(plugin_state.markers.length, 1u);
}

// The quick add at the waypoint (in the ring, on the map) puts its marker
// where a capture of the same waypoint would: on the ground. So whichever comes
// first, the 1-unit rule refuses the second, and the quick add sounds refused.
TEST_F(WaypointTest, AQuickAddAtTheWaypointAndItsCaptureMakeOneMarkerOnTheGround) {
    start(Scenario().with("ground", "{default: 40}"));
    game().map_open = true;
    frames(1);
    auto quick_add_sound = [&] {
        game().just_pressed.insert(control_add_at_waypoint);
        frames(1);
        const auto sounds = calls("play_menu_sound", game().frame - 1);
        return sounds.empty() ? std::string() : sounds.front()->texts[0];
    };

    // The quick add first, then the capture.
    game().waypoint_set = true;
    game().waypoint_x = 500;
    game().waypoint_y = 500;
    EXPECT_EQ(quick_add_sound(), "SELECT");
    checks(2);
    ASSERT_EQ(plugin_state.markers.length, 1u);
    EXPECT_EQ(plugin_state.markers[0].data.position.z, 41.0f);
    EXPECT_EQ(waypoint_capture.last_waypoint._x.x, 500.0f) << "the capture looked at it and was refused";

    // The capture first, then the quick add.
    game().waypoint_x = 900;
    checks(1);
    ASSERT_EQ(plugin_state.markers.length, 2u);
    EXPECT_EQ(quick_add_sound(), "UNAFFORDABLE");
    ASSERT_EQ(plugin_state.markers.length, 2u);
    EXPECT_EQ(plugin_state.markers[1].data.position.z, 41.0f);
}

// At any frame rate the pause after a capture lasts 2 seconds of game time:
// three waypoints 8 s apart are three markers, and a waypoint set half a
// second after a capture is captured 2 s after it, at the check where the
// pause runs out.
class WaypointFrameRateTest : public SimTest, public ::testing::WithParamInterface<int> {
protected:
    double frame_seconds() const { return 1.0 / GetParam(); }
    int frame_at(double seconds) const { return static_cast<int>(seconds / frame_seconds()); }
    // A scenario's event that sets the waypoint at `frame`.
    static std::string waypoint_event(int frame, const std::string& waypoint) {
        return "{frame: " + std::to_string(frame) + ", waypoint: " + waypoint + "}";
    }
    // Runs frames until the list holds `count` markers; the frame it did, or -1.
    int run_until(std::size_t count, int last_frame) {
        while (game().frame < last_frame) {
            frames(1);
            if (plugin_state.markers.length >= count) return static_cast<int>(game().frame);
        }
        return -1;
    }
};

INSTANTIATE_TEST_SUITE_P(FramesPerSecond, WaypointFrameRateTest, ::testing::Values(30, 60, 144));

TEST_P(WaypointFrameRateTest, WaypointsSecondsApartEachBecomeAMarkerOnTheGround) {
    begin(Scenario()
              .with("frames", 100000)
              .with("frame_ms", std::to_string(1000.0 * frame_seconds()))
              .with("world", "{ground: {default: 40}}")
              .with("events", "[" + waypoint_event(frame_at(1), "[100, 100]") + ", " +
                                  waypoint_event(frame_at(9), "[600, 100]") + ", " +
                                  waypoint_event(frame_at(17), "[1100, 100]") + "]"));
    run_until(3, frame_at(20));
    ASSERT_EQ(plugin_state.markers.length, 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(plugin_state.markers[i].data.position.x, 100.0f + 500.0f * static_cast<float>(i));
        EXPECT_EQ(plugin_state.markers[i].data.position.z, 41.0f) << "on the ground";
    }
    const std::vector<std::string> log = messages();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Saving data to disk"), 3) << "one write per capture";
}

TEST_P(WaypointFrameRateTest, AWaypointSetDuringThePauseIsCapturedWhenItEnds) {
    begin(Scenario()
              .with("frames", 100000)
              .with("frame_ms", std::to_string(1000.0 * frame_seconds()))
              .with("world", "{ground: {default: 40}}")
              .with("events", "[" + waypoint_event(frame_at(1), "[100, 100]") + "]"));
    const int first = run_until(1, frame_at(5));
    ASSERT_GT(first, 0);
    frames(frame_at(0.5));
    game().waypoint_x = 600;
    const int second = run_until(2, frame_at(10));
    ASSERT_GT(second, 0);
    const double apart = (second - first) * frame_seconds();
    EXPECT_GE(apart, 2.0 - 1e-6) << "not before the pause is over";
    EXPECT_LT(apart, 2.2) << "at the second check after the capture, not minutes later";
}
