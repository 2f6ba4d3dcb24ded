// Adding, deleting and renaming markers: each change keeps the list, the cache
// and the game's blip in step and saves the file.
#include "src/markers/marker_editing.h"
#include "sim_fixture.h"
#include "src/markers/marker_list.h"

namespace {

class EditingTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        begin("{frames: 100, blips: {capacity: 0}}");  // no blips unless a test wants them
        frames(1);
    }
    bool add(float x, float y = 0, float z = 0) {
        bool added = false;
        in_script([&] {
            RunContext ctx = script_context();
            added = try_add_marker(ctx, plugin_state, position_to_vector3(x, y, z));
        });
        return added;
    }
    int saves() const {
        int n = 0;
        for (const std::string& l : log_lines()) n += log_message_of(l) == "Saving data to disk";
        return n;
    }
};

}  // namespace

TEST_F(EditingTest, AddingRefusesBelowOneUnitAndAllowsExactlyOne) {
    EXPECT_TRUE(add(0, 0, 0));
    EXPECT_FALSE(add(0.99f, 0, 0));
    EXPECT_FALSE(add(0, 0.6f, 0.6f));
    EXPECT_TRUE(add(1, 0, 0));
    EXPECT_EQ(plugin_state.markers.length, 2u);
    EXPECT_EQ(saves(), 2) << "a refusal saves nothing";
    const Marker& m = plugin_state.markers[1];
    EXPECT_TRUE(m.is_new);
    EXPECT_EQ(m.blip, 0u);
    EXPECT_EQ(m.data.name, nullptr);
    EXPECT_EQ(m.data.timestamp._nsec, game().clock_ns);
}

TEST_F(EditingTest, NewMarkersTakeTheCurrentCategoryAndResetTheSelection) {
    plugin_state.current_category = 4;
    plugin_state.marker_list_selection = 3;
    add(10);
    add(20);
    EXPECT_EQ(plugin_state.markers[1].data.category, 4);
    EXPECT_EQ(plugin_state.marker_list_cache.length, 2u);
    EXPECT_EQ(plugin_state.marker_list_selection, 0);
}

TEST_F(EditingTest, DeletingKeepsTheOrderRemovesTheBlipAndClampsTheSelection) {
    for (float x : {10.0f, 20.0f, 30.0f}) add(x);
    plugin_state.marker_list_selection = 2;
    const int saves_before = saves();
    in_script([] {
        RunContext ctx = script_context();
        delete_marker_at(ctx, plugin_state, -1);
        delete_marker_at(ctx, plugin_state, 3);
    });
    EXPECT_EQ(saves(), saves_before) << "out of range: nothing, not even a save";
    in_script([] {
        RunContext ctx = script_context();
        delete_marker_at(ctx, plugin_state, 0);
    });
    ASSERT_EQ(plugin_state.markers.length, 2u);
    EXPECT_EQ(plugin_state.markers[0].data.position.x, 20.0f);
    EXPECT_EQ(plugin_state.markers[1].data.position.x, 30.0f);
    EXPECT_EQ(plugin_state.marker_list_selection, 1) << "clamped to the new last row";
    // The marker never had a blip: the game is still asked to remove handle 0.
    auto pre = action_calls("blip_pre_remove");
    auto removed = action_calls("remove_blip");
    ASSERT_EQ(pre.size(), 1u);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(pre[0]->args[0], 0u);
    EXPECT_EQ(removed[0]->handle_before, 0u);
    EXPECT_EQ(saves(), saves_before + 1);

    in_script([] {
        RunContext ctx = script_context();
        delete_marker_at(ctx, plugin_state, 1);
        delete_marker_at(ctx, plugin_state, 0);
    });
    EXPECT_EQ(plugin_state.markers.length, 0u);
    EXPECT_EQ(read_file(dir / "Quillfen" / "markers.json"), "{\n    \"markers\": [\n\n    ]\n}");
}

TEST_F(EditingTest, RenamingSetsOrClearsTheNameAndRelabelsALiveBlip) {
    add(10);
    game().blip_capacity = -1;
    frames(1);  // the blip pass makes its blip
    const Blip blip = plugin_state.markers[0].blip;
    ASSERT_NE(blip, 0u);
    in_script([] {
        RunContext ctx = script_context();
        rename_marker(ctx, plugin_state, plugin_state.markers[0], "  Camp  ");
    });
    EXPECT_STREQ(plugin_state.markers[0].data.name, "  Camp  ") << "taken byte for byte";
    auto names = action_calls("set_blip_name");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0]->args[0], blip);
    EXPECT_EQ(names[0]->texts[1], "  Camp  ");
    EXPECT_EQ(game().blips.at(blip).name, "  Camp  ");
    in_script([] {
        RunContext ctx = script_context();
        rename_marker(ctx, plugin_state, plugin_state.markers[0], "");
    });
    EXPECT_EQ(plugin_state.markers[0].data.name, nullptr);
    names = action_calls("set_blip_name");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0]->texts[1], "Marker (Flag)") << "no name: the category's name";
    EXPECT_EQ(read_file(dir / "Quillfen" / "markers.json").find("\"name\""), std::string::npos);

    game().blip_capacity = 0;
    game().blips.clear();
    frames(1);  // the blip is gone and none can be made
    ASSERT_EQ(plugin_state.markers[0].blip, 0u);
    in_script([] {
        RunContext ctx = script_context();
        rename_marker(ctx, plugin_state, plugin_state.markers[0], "Camp");
    });
    EXPECT_TRUE(action_calls("set_blip_name").empty()) << "without a blip the game is not asked";
    EXPECT_STREQ(plugin_state.markers[0].data.name, "Camp");
    EXPECT_NE(read_file(dir / "Quillfen" / "markers.json").find("\"name\": \"Camp\""), std::string::npos);
}
