// Marker blips: dressing, the limit and its lowering, stale handles, the
// Guarma divide, and the count of markers holding a blip.
#include <random>

#include "sim_fixture.h"
#include "src/map/blips.h"
#include "src/markers/marker_editing.h"
#include "src/markers/marker_persistence.h"
#include "src/script_main.h"

namespace {

std::string markers_file(int count, float x0 = 0, std::int64_t category = 1) {
    std::string s = "{\"markers\": [";
    for (int i = 0; i < count; ++i) {
        s += "{\"position\": [" + std::to_string(x0 + static_cast<float>(i) * 10) +
             ", 0, 0], \"category\": " + std::to_string(category) + "},";
    }
    return s + "]}";
}

class BlipTest : public SimTest {
protected:
    void start(const std::string& markers, const std::string& scenario = "{frames: 1000}") {
        write_markers(markers);
        begin(scenario);
        frames(1);  // the script's start: markers loaded, no blip yet
    }
    std::int64_t live_blips() const {
        std::int64_t n = 0;
        for (const Marker& m : plugin_state.markers) n += m.blip != 0 && session->host.game.blips.count(m.blip);
        return n;
    }
    std::int64_t walk_count() const {
        std::int64_t n = 0;
        for (const Marker& m : plugin_state.markers) n += m.blip != 0;
        return n;
    }
    std::size_t count_in_frame(const std::string& native, std::int64_t frame) const {
        return calls(native, frame).size();
    }
};

}  // namespace

TEST_F(BlipTest, EachBlipIsDressedInOrderAndOnlyValidCategoriesGetOne) {
    start(R"({"markers": [
        {"position": [10, 20, 30], "category": 5, "name": "Camp"},
        {"position": [40, 50, 60], "category": 0, "name": ""},
        {"position": [70, 80, 90], "category": 12}]})");
    frames(1);
    ASSERT_NE(plugin_state.markers[0].blip, 0u);
    ASSERT_NE(plugin_state.markers[1].blip, 0u);
    EXPECT_EQ(plugin_state.markers[2].blip, 0u) << "a category outside the table never gets a blip";
    const SimBlip& chest = game().blips.at(plugin_state.markers[0].blip);
    EXPECT_EQ(chest.style, sim_joaat("BLIP_STYLE_CREATOR_DEFAULT"));
    EXPECT_EQ(chest.sprite, sim_joaat("blip_chest"));
    EXPECT_EQ(chest.name, "Camp");
    EXPECT_EQ(chest.x, 10.0f);
    EXPECT_EQ(chest.z, 30.0f);
    EXPECT_EQ(chest.modifiers, (std::vector<std::uint32_t>{0xF366785F, 0xECA93E13})) << "loaded markers are not new";
    const SimBlip& flag = game().blips.at(plugin_state.markers[1].blip);
    EXPECT_EQ(flag.name, "Marker (Flag)") << "an empty name shows the category's";
    EXPECT_EQ(flag.modifiers, (std::vector<std::uint32_t>{0xF366785F})) << "the flag has no colour modifier";

    // The calls for one blip, in order.
    std::vector<std::string> frame_calls = natives_in_frame(1);
    auto first = std::find(frame_calls.begin(), frame_calls.end(), "create_blip_at_coords");
    ASSERT_NE(first, frame_calls.end());
    std::vector<std::string> seq(first - 1, first + 6);
    EXPECT_EQ(seq, (std::vector<std::string>{"hash_of_name", "create_blip_at_coords", "blip_exists", "hash_of_name",
                                             "set_blip_sprite", "set_blip_name", "set_blip_coords"}));
}

TEST_F(BlipTest, ANewMarkerGetsTheNewMarkerModifierOnItsFirstBlipOnly) {
    start("{}");
    in_script([] {
        RunContext ctx = script_context();
        try_add_marker(ctx, plugin_state, position_to_vector3(100, 100, 10));
    });
    frames(1);
    ASSERT_NE(plugin_state.markers[0].blip, 0u);
    EXPECT_FALSE(plugin_state.markers[0].is_new);
    EXPECT_EQ(game().blips.at(plugin_state.markers[0].blip).modifiers,
              (std::vector<std::uint32_t>{0xF366785F, 0x95BD6684}));
    game().blips.clear();  // the game drops it: the next blip is not "new" any more
    frames(1);
    ASSERT_NE(plugin_state.markers[0].blip, 0u);
    EXPECT_EQ(game().blips.at(plugin_state.markers[0].blip).modifiers, (std::vector<std::uint32_t>{0xF366785F}));
}

TEST_F(BlipTest, RefusingThe30thBlipDropsTheLimitToZeroRemovesAllAndTheNextPassRebuilds) {
    start(markers_file(40), "{frames: 100, blips: {capacity: 29}}");
    frames(1);
    EXPECT_EQ(plugin_state.blip_limit, 0);
    EXPECT_EQ(live_blips(), 0);
    EXPECT_EQ(plugin_state.markers_with_blip, 0);
    const std::int64_t f = game().frame - 1;
    EXPECT_EQ(count_in_frame("create_blip_at_coords", f), 30u);
    EXPECT_EQ(count_in_frame("remove_blip", f), 29u) << "every marker holding a blip; the refused one holds 0";
    frames(1);  // the limit is back at 500 and the same happens again
    EXPECT_EQ(count_in_frame("create_blip_at_coords", f + 1), 30u);
    EXPECT_EQ(plugin_state.blip_limit, 0);
}

TEST_F(BlipTest, RefusingThe120thBlipKeeps69AfterwardsInListOrder) {
    start(markers_file(200), "{frames: 100, blips: {capacity: 119}}");
    frames(1);
    EXPECT_EQ(plugin_state.blip_limit, 69);
    EXPECT_EQ(live_blips(), 0);
    frames(1);  // rebuilt up to the new limit, then the pass stops at the 70th
    EXPECT_EQ(live_blips(), 69);
    for (int i = 0; i < 69; ++i) EXPECT_NE(plugin_state.markers[static_cast<std::size_t>(i)].blip, 0u) << i;
    EXPECT_EQ(plugin_state.markers[69].blip, 0u);
    frames(1);
    const std::int64_t f = game().frame - 1;
    EXPECT_EQ(count_in_frame("create_blip_at_coords", f), 0u);
    EXPECT_EQ(count_in_frame("blip_exists", f), 69u);
    EXPECT_EQ(plugin_state.blip_limit, 69);
}

TEST_F(BlipTest, FiveHundredLiveBlipsStopThePassAtTheNextMarkerWithOnlyChecksAndItsZoneQuery) {
    start(markers_file(501));
    frames(1);
    EXPECT_EQ(live_blips(), 500);
    EXPECT_EQ(plugin_state.markers[500].blip, 0u);
    frames(1);
    const std::int64_t f = game().frame - 1;
    std::map<std::string, int> per_native;
    bool past_textures = false;
    for (const SimTraceEntry& e : session->host.trace) {
        if (e.frame != f) continue;
        const std::string n = e.signature->name;
        if (n == "request_texture_dictionary") {
            past_textures = true;
            continue;
        }
        if (past_textures) ++per_native[n];
    }
    // The player's zone, then 500 existence checks, then the 501st marker's zone;
    // neither lies in Guarma, which costs the six key hashes each.
    EXPECT_EQ(per_native["blip_exists"], 500);
    EXPECT_EQ(per_native["zone_at_coords"], 2);
    EXPECT_EQ(per_native["hash_of_name"], 12);
    EXPECT_EQ(per_native.size(), 3u);
}

TEST_F(BlipTest, StaleHandlesAreRemovedAndReplaced) {
    start(markers_file(3));
    frames(1);
    const Blip old_first = plugin_state.markers[0].blip;
    std::vector<std::string> n;
    game().blips.erase(old_first);  // the game dropped one
    frames(1);
    const std::int64_t f = game().frame - 1;
    auto pre = calls("blip_pre_remove", f);
    ASSERT_EQ(pre.size(), 1u);
    EXPECT_EQ(pre[0]->args[0], old_first);
    EXPECT_NE(plugin_state.markers[0].blip, 0u);
    EXPECT_NE(plugin_state.markers[0].blip, old_first);
    EXPECT_EQ(live_blips(), 3);
    EXPECT_EQ(plugin_state.markers_with_blip, 3);
}

TEST_F(BlipTest, BlipsFollowThePlayersSideOfTheGuarmaDivide) {
    const std::string guarma_file = R"({"markers": [
        {"position": [10, 10, 0], "category": 1},
        {"position": [5010, 5010, 0], "category": 1}]})";
    start(guarma_file, R"({frames: 100, zones: [{type: "STATE", hash: "0x7356B8ED", rect: [5000, 5000, 6000, 6000]},
                                             {type: "STATE", hash: "0xB32957A3", rect: [0, 0, 1000, 1000]}],
                          world: {player: {position: [20, 20, 0]}},
                          events: [{frame: 5, player: {position: [5020, 5020, 0]}}]})");
    frames(1);
    EXPECT_NE(plugin_state.markers[0].blip, 0u) << "mainland marker, player on the mainland";
    EXPECT_EQ(plugin_state.markers[1].blip, 0u) << "Guarma marker waits";
    frames(4);  // the player reaches Guarma
    EXPECT_NE(plugin_state.markers[1].blip, 0u);
    EXPECT_NE(plugin_state.markers[0].blip, 0u) << "the mainland blip is left, not removed";
    EXPECT_TRUE(game().blips.count(plugin_state.markers[0].blip));
}

TEST_F(BlipTest, DeletingAMarkerRemovesItsBlip) {
    start(markers_file(2));
    frames(1);
    const Blip first = plugin_state.markers[0].blip;
    ASSERT_NE(first, 0u);
    in_script([] {
        RunContext ctx = script_context();
        delete_marker_at(ctx, plugin_state, 0);
    });
    EXPECT_FALSE(game().blips.count(first));
    EXPECT_EQ(plugin_state.markers_with_blip, 1);
}

TEST_F(BlipTest, TheCountOfMarkersWithABlipAlwaysMatchesAWalk) {
    start(markers_file(30), "{frames: 2000, blips: {capacity: 25}}");
    std::mt19937 rng(5);
    for (int step = 0; step < 300; ++step) {
        switch (rng() % 6) {
            case 0: frames(1); break;  // the pass: creation, refusal, trimming
            case 1: {                  // the game drops some blips
                for (int k = static_cast<int>(rng() % 5); k > 0 && !game().blips.empty(); --k)
                    game().blips.erase(game().blips.begin());
                frames(1);
                break;
            }
            case 2: {
                const auto i = static_cast<std::int64_t>(rng() % (plugin_state.markers.length + 1));
                in_script([i] {
                    RunContext ctx = script_context();
                    delete_marker_at(ctx, plugin_state, i);
                });
                break;
            }
            case 3: {
                const float x = static_cast<float>(rng() % 100000);
                in_script([x] {
                    RunContext ctx = script_context();
                    try_add_marker(ctx, plugin_state, position_to_vector3(x, 7, 0));
                });
                break;
            }
            case 4:
                game().blip_capacity = static_cast<std::int64_t>(rng() % 40);
                frames(1);
                break;
            case 5:  // a script restart: the list is discarded and loaded again
                restart_script();
                break;
        }
        ASSERT_EQ(plugin_state.markers_with_blip, walk_count()) << "step " << step;
    }
}
