// Waypoint capture: what counts as a new waypoint, the ground probes, the
// cooldown, the name and the two saves.
#include "src/waypoint_capture.h"
#include "sim_fixture.h"
#include "src/marker_editing.h"

namespace {

class WaypointTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        last_waypoint = Vector3{};
        waypoint_cooldown = 0;
        waypoint_check_timer = 0;
    }
    void TearDown() override {
        SimTest::TearDown();
        last_waypoint = Vector3{};
        waypoint_cooldown = 0;
        waypoint_check_timer = 0;
    }
    // A check runs every fourth frame at 250 ms frames.
    void start(const std::string& world) {
        begin("{frames: 100000, frame_ms: 250, " + world + "}");
        frames(1);
    }
    void checks(int n) { frames(4 * n); }
};

const char* const valentine = R"(zones: [{type: "TOWN", hash: "0x1B6880B3", text: null, rect: [-400, 700, -200, 900]}],
                                 ground: {default: 100})";

}  // namespace

TEST_F(WaypointTest, ACaptureMakesANamedMarkerOnTheGroundAndSavesTwice) {
    start(std::string(valentine) + ", events: [{frame: 2, waypoint: [-310.46, 802.27]}]");
    checks(1);
    ASSERT_EQ(plugin_state.markers.length, 1u);
    const Marker& m = plugin_state.markers[0];
    EXPECT_STREQ(m.data.name, "Valentine, New Hanover (Waypoint)");
    EXPECT_EQ(m.data.position.z, 101.0f) << "one above the ground found by the first probe";
    std::vector<std::string> log = messages();
    auto at = std::find(log.begin(), log.end(), "Auto-created marker at waypoint: -310.46, 802.27, 101.00");
    ASSERT_NE(at, log.end());
    EXPECT_EQ(std::count(log.begin(), log.end(), "Saving data to disk"), 2);
    EXPECT_NE(read_file(dir / "Quillfen" / "markers.json").find("\"name\": \"Valentine, New Hanover (Waypoint)\""),
              std::string::npos);
    EXPECT_EQ(waypoint_cooldown, 2.0f);
    EXPECT_EQ(last_waypoint._z.z, 101.0f);
}

TEST_F(WaypointTest, ProbesInOrderAndRaiseToTenWithoutGround) {
    struct Case {
        const char* ground;
        float z;
        std::vector<float> probes;
    } cases[] = {
        {"ground: {default: 120}", 121.0f, {100, 150}},
        {"ground: {default: -5}", -4.0f, {100}},
        {"ground: {default: 175}", 176.0f, {100, 150, 50, 0, 200}},
        {"ground: {default: null}", 10.0f, {100, 150, 50, 0, 200}},
    };
    for (const Case& c : cases) {
        SetUp();
        start(std::string(c.ground) + ", events: [{frame: 2, waypoint: [500, 500]}]");
        checks(1);
        ASSERT_EQ(plugin_state.markers.length, 1u) << c.ground;
        EXPECT_EQ(plugin_state.markers[0].data.position.z, c.z) << c.ground;
        std::vector<float> probes;
        for (auto* e : calls("ground_z_at"))
            probes.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(e->args[2])));
        EXPECT_EQ(probes, c.probes) << c.ground;
        EXPECT_STREQ(plugin_state.markers[0].data.name, "Waypoint Marker") << "no place name here";
        ASSERT_TRUE(end());
        TearDown();
    }
}

TEST_F(WaypointTest, NewOnlyBeyondTenUnitsAndOnlyOnceTheCooldownIsOver) {
    start("ground: {default: 0}, events: [{frame: 2, waypoint: [100, 100]}]");
    checks(1);
    ASSERT_EQ(plugin_state.markers.length, 1u);
    // The cooldown: 2.0 s counted down by one 0.25 s frame per check, so 8 checks.
    game().waypoint_x = 500;  // far away, set during the cooldown
    checks(7);
    EXPECT_EQ(plugin_state.markers.length, 1u);
    checks(2);
    ASSERT_EQ(plugin_state.markers.length, 2u) << "captured at the first check after the cooldown";

    waypoint_cooldown = 0;
    game().waypoint_x = 505;  // 5 units from the last one
    checks(2);
    EXPECT_EQ(plugin_state.markers.length, 2u);
    game().waypoint_x = 511;  // 11 units
    checks(1);
    EXPECT_EQ(plugin_state.markers.length, 3u);
}

TEST_F(WaypointTest, ARefusedAddIsStillRememberedAndNothingIsLogged) {
    start("ground: {default: 0}, events: [{frame: 2, waypoint: [100, 100]}]");
    // A marker already stands where the capture would go (made from the menu, say).
    in_script([] {
        RunContext ctx = script_context();
        try_add_marker(ctx, plugin_state, position_to_vector3(100, 100, 1));
    });
    checks(1);
    EXPECT_EQ(plugin_state.markers.length, 1u);
    EXPECT_EQ(last_waypoint._x.x, 100.0f);
    EXPECT_EQ(last_waypoint._z.z, 1.0f);
    EXPECT_EQ(waypoint_cooldown, 0.0f) << "no cooldown after a refusal";
    for (const std::string& m : messages()) EXPECT_EQ(m.find("Auto-created"), std::string::npos);
    // The same waypoint is not tried again: the ground is probed no more.
    const std::size_t probes = calls("ground_z_at").size();
    checks(3);
    EXPECT_EQ(calls("ground_z_at").size(), probes);
}

TEST_F(WaypointTest, AFirstWaypointNearTheOriginIsNotCapturedAndAClearedOneDoesNothing) {
    start("ground: {default: 0}, events: [{frame: 2, waypoint: [3, 4]}, {frame: 10, waypoint: null}]");
    checks(4);
    EXPECT_EQ(plugin_state.markers.length, 0u);
    EXPECT_TRUE(calls("waypoint_coords").size() >= 1u);
}
