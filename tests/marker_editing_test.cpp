// Adding, deleting and renaming markers: each change keeps the list, the cache
// and the game's blip in step and saves the file.
#include "src/markers/marker_editing.h"

#include <algorithm>

#include "sim_fixture.h"
#include "src/markers/marker_list.h"
#include "src/markers/marker_packs.h"
#include "src/markers/marker_persistence.h"
#include "src/markers/markers_on_disk.h"
#include "src/markers/waypoint_capture.h"
#include "src/menu/marker_list_rows.h"

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
    plugin_state.list_page.selection = 3;
    add(10);
    add(20);
    EXPECT_EQ(plugin_state.markers[1].data.category, 4);
    EXPECT_EQ(plugin_state.list_page.rows.length, 2u);
    EXPECT_EQ(plugin_state.list_page.selection, 0);
}

TEST_F(EditingTest, DeletingKeepsTheOrderRemovesTheBlipAndClampsTheSelection) {
    for (float x : {10.0f, 20.0f, 30.0f}) add(x);
    plugin_state.list_page.selection = 2;
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
    EXPECT_EQ(plugin_state.list_page.selection, 1) << "clamped to the new last row";
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
    auto removals = [&] {
        const std::vector<std::string> all = messages();
        return std::count_if(all.begin(), all.end(),
                             [](const std::string& m) { return m.starts_with("Removed the name of "); });
    };
    EXPECT_TRUE(logged("Removed the name of   Camp  ")) << "the name it had, as the list showed it";
    EXPECT_EQ(removals(), 1);
    in_script([] {
        RunContext ctx = script_context();
        rename_marker(ctx, plugin_state, plugin_state.markers[0], "");
    });
    EXPECT_EQ(removals(), 1) << "a marker without a name has none to remove";

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

// ---- every change of the list goes through one step -----------------------------------------

namespace {

// Four markers, three of them in the first category, none of them new.
const std::string four_markers = R"({"markers": [
  {"position": [10, 0, 0], "category": 0, "timestamp": {"_nsec": 1700000000000000001}},
  {"position": [20, 0, 0], "category": 1, "timestamp": {"_nsec": 1700000000000000004}},
  {"position": [30, 0, 0], "category": 0, "timestamp": {"_nsec": 1700000000000000003}},
  {"position": [40, 0, 0], "category": 0, "timestamp": {"_nsec": 1700000000000000002}}
]})";

// Where the selection stands after a change: back on the first row, or where
// it was while that is a row (else on the last).
enum class SelectionAfter { first_row, kept };

struct ListChangeCase {
    const char* name;
    void (*change)(RunContext& ctx, SimGame& game, const std::filesystem::path& quillfen);
    SelectionAfter selection;
    // The blips' step right after: none, the choice made again from the new
    // list; make, for a moved marker whose blip is made again in its style.
    BlipChoiceStep blips_step = BlipChoiceStep::none;
    friend void PrintTo(const ListChangeCase& c, std::ostream* os) { *os << c.name; }
};

class ListChangeTest : public SimTest, public ::testing::WithParamInterface<ListChangeCase> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        write_markers(four_markers);
        begin("{frames: 100}");
        frames(3);
    }
    // The rows the list page must show: the current category's markers, newest first.
    static std::vector<std::int64_t> expected_rows() {
        std::vector<std::int64_t> rows;
        for (std::size_t i = 0; i < plugin_state.markers.length; ++i) {
            if (plugin_state.markers[i].data.category == plugin_state.current_category) rows.push_back(i);
        }
        std::stable_sort(rows.begin(), rows.end(), [](std::int64_t a, std::int64_t b) {
            return plugin_state.markers[a].data.timestamp._nsec > plugin_state.markers[b].data.timestamp._nsec;
        });
        return rows;
    }
    static std::vector<std::int64_t> rows() {
        return {plugin_state.list_page.rows.begin(), plugin_state.list_page.rows.end()};
    }
};

const ListChangeCase list_changes[] = {
    {"Add",
     [](RunContext& ctx, SimGame&, const std::filesystem::path&) {
         try_add_marker(ctx, plugin_state, position_to_vector3(50, 0, 0));
     },
     SelectionAfter::first_row},
    {"WaypointCapture",
     [](RunContext& ctx, SimGame& game, const std::filesystem::path&) {
         game.waypoint_set = true;
         game.waypoint_x = 300;
         game.waypoint_y = 300;
         check_waypoint_and_create_marker(ctx, plugin_state, 1.0f);
     },
     SelectionAfter::first_row},
    {"Delete", [](RunContext& ctx, SimGame&, const std::filesystem::path&) { delete_marker_at(ctx, plugin_state, 0); },
     SelectionAfter::kept},
    {"Rename",
     [](RunContext& ctx, SimGame&, const std::filesystem::path&) {
         rename_marker(ctx, plugin_state, plugin_state.markers[3], "Camp");
     },
     SelectionAfter::kept},
    {"Move",
     [](RunContext& ctx, SimGame&, const std::filesystem::path&) {
         move_marker_to_category(ctx, plugin_state, 0, 1);  // leaves the list shown
     },
     SelectionAfter::kept, BlipChoiceStep::make},
    {"Load",
     [](RunContext& ctx, SimGame&, const std::filesystem::path&) {
         free_marker_list(ctx, plugin_state, plugin_state.markers);  // as a script start does
         load_data_from_disk(ctx, plugin_state);
     },
     SelectionAfter::first_row},
    {"LateRead",
     [](RunContext& ctx, SimGame&, const std::filesystem::path&) {
         // As when markers.json could not be read at the start and the list
         // shown is the backup's: read again, its markers replace them.
         plugin_state.persistence.markers_file_unread = true;
         plugin_state.persistence.shown_from_backup = plugin_state.markers.length;
         plugin_state.persistence.unread_retry_at_ns = 0;
         retry_failed_save(ctx, plugin_state);
     },
     SelectionAfter::first_row},
    {"Import",
     [](RunContext& ctx, SimGame&, const std::filesystem::path& quillfen) {
         write_file(quillfen / "import" / "pack.json",
                    R"({"markers": [{"position": [60, 0, 0], "category": 0, "timestamp": {"_nsec": 5}}]})");
         import_marker_packs(ctx, plugin_state);
     },
     SelectionAfter::first_row},
};

}  // namespace

TEST_P(ListChangeTest, TheBlipsAreChosenAgainAndTheListPageShowsTheNewRows) {
    ASSERT_TRUE(plugin_state.blip_choice.up_to_date) << "the markers on the map were chosen at the start";
    in_script([] {
        RunContext ctx = script_context();
        update_marker_list_cache(ctx, plugin_state, true);
        plugin_state.list_page.selection = 2;  // the last of the three rows
    });
    in_script([this] {
        RunContext ctx = script_context();
        GetParam().change(ctx, game(), quillfen());
    });
    EXPECT_FALSE(plugin_state.blip_choice.up_to_date) << "the blips did not hear of the change";
    EXPECT_EQ(plugin_state.blip_choice.step, GetParam().blips_step) << "a choice on the old list went on";
    EXPECT_EQ(rows(), expected_rows());
    const auto last_row = static_cast<std::int64_t>(plugin_state.list_page.rows.length) - 1;
    EXPECT_EQ(plugin_state.list_page.selection,
              GetParam().selection == SelectionAfter::first_row ? 0 : std::min<std::int64_t>(2, last_row));

    frames(5);
    for (const Marker& m : plugin_state.markers) {
        EXPECT_NE(m.blip, 0u) << "a marker at x " << m.data.position.x << " lacks its blip after the change";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryChange, ListChangeTest, ::testing::ValuesIn(list_changes),
                         [](const ::testing::TestParamInfo<ListChangeCase>& change) {
                             return std::string(change.param.name);
                         });
