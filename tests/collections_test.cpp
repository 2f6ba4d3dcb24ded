// Collections in the simulated game: pack markers found by arrival (a table
// of places around one), by the press in the full list, the blip of a found
// marker, a route walking a pack to its end, the import naming the pack, a
// held file read late keeping the marks, and the search by a pack's name.
#include <cerrno>

#include "sim_fixture.h"
#include "src/collections/collections.h"
#include "src/file_formats/marker_pack_merge.h"
#include "src/map/gps_route.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/marker_list_rows.h"
#include "src/menu/marker_search.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/scripthook/game_hashes.h"
#include "tests/support/file_faults.h"
#include "tools/marker_export.h"

namespace {

constexpr std::int64_t made_ns = 1765267200000000000LL;
constexpr std::int64_t found_before_ns = 1765267300000000000LL;
const std::string bones = "Dinosaur bones";

// A player's own marker, a pack marker not found and one found before, far apart.
std::vector<TextMarker> three_kinds() {
    return {
        {0, 0, 10, 1, "Camp", "", made_ns},
        {1000, 0, 10, 7, "Bone 1", "", made_ns, bones},
        {2000, 0, 10, 7, "Bone 2", "", made_ns, bones, found_before_ns},
    };
}

class CollectionsTest : public SimTest {
protected:
    void start(const std::vector<TextMarker>& markers, const Position& player, const std::string& settings = "") {
        write_markers(markers_file_text(markers));
        if (!settings.empty()) write_settings(settings);
        begin("{frames: 100000, world: {window: {width: 1920, height: 1080}, player: {position: [" +
              float_text(player.x) + ", " + float_text(player.y) + ", " + float_text(player.z) + "]}, map: true}}");
        frames(2);
    }
    void put_player(const Position& p) {
        game().player_position[0] = p.x;
        game().player_position[1] = p.y;
        game().player_position[2] = p.z;
    }
    const SimPrompt& prompt(Prompt p) { return game().prompts.at(p); }
    void open_full_menu() {
        game().pressed.insert(control_edit_markers);
        frames(1);
        ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
    }
    void press(std::uint32_t control) {
        frames(3);
        game().pressed.insert(control);
        frames(1);
    }
    // The marker of the list named `name`, as the saved file holds it.
    MarkerDataV1 saved(const std::string& name) {
        MarkersData data{};
        const std::string text = read_file(quillfen() / "markers.json");
        EXPECT_EQ(deserialize_markers(text, heap_allocator(), data), DeserializeError::none);
        MarkerDataV1 out{};
        for (std::size_t i = 0; i < data.count; ++i) {
            if (data.records[i].name && name == data.records[i].name) {
                out = data.records[i];
                out.name = out.pack = nullptr;
            }
        }
        free_markers_data(data, heap_allocator());
        return out;
    }
    const Marker& marker(const std::string& name) const {
        for (const Marker& m : plugin_state.markers) {
            if (m.data.name && name == m.data.name) return m;
        }
        static const Marker none{};
        ADD_FAILURE() << "no marker " << name;
        return none;
    }
    std::int64_t index_of(const std::string& name) const { return &marker(name) - plugin_state.markers.data; }
};

// ---- found by arrival ------------------------------------------------------------------------

struct Arrival {
    const char* what;
    Position player;  // where the player rides to
    const char* settings;
    bool bone_found;  // Bone 1 (at 1000, 0, 10) becomes found
};
void PrintTo(const Arrival& a, std::ostream* out) { *out << a.what; }

class ArrivalTest : public CollectionsTest, public ::testing::WithParamInterface<Arrival> {};

const Arrival arrivals[] = {
    {"inside the range", {1002, 0, 10}, "", true},
    {"exactly at the range, on the diagonal of the ground plane", {1000 + 1.8f, 2.4f, 10}, "", true},
    {"just outside the range", {1003.01f, 0, 10}, "", false},
    {"above, within the height", {1000, 0, 14.9f}, "", true},
    {"below, within the height", {1000, 0, 5.1f}, "", true},
    {"too far above", {1000, 0, 15.2f}, "", false},
    {"too far below", {1000, 0, 4.8f}, "", false},
    {"a wider range set", {1009, 0, 10}, "found_range = 10\n", true},
    {"arrival switched off", {1000, 0, 10}, "auto_found = false\n", false},
};
INSTANTIATE_TEST_SUITE_P(Places, ArrivalTest, ::testing::ValuesIn(arrivals));

TEST_P(ArrivalTest, APackMarkerIsFoundWithinTheRangeAndSavedOnce) {
    const Arrival& a = GetParam();
    start(three_kinds(), {500, 500, 10}, a.settings);
    const std::string before = read_file(quillfen() / "markers.json");
    put_player(a.player);
    frames(70);  // more than a second
    EXPECT_EQ(marker("Bone 1").data.is_found, a.bone_found);
    if (!a.bone_found) {
        EXPECT_EQ(read_file(quillfen() / "markers.json"), before) << "nothing saved";
        return;
    }
    EXPECT_TRUE(logged("Found Bone 1 (Dinosaur bones: 2 of 2 found)"));
    EXPECT_TRUE(logged("Dinosaur bones complete: 2 of 2 found"));
    const MarkerDataV1 bone = saved("Bone 1");
    EXPECT_TRUE(bone.is_found);
    EXPECT_GT(bone.found._nsec, made_ns);
    // Found once: staying there neither finds nor saves again.
    const std::string after = read_file(quillfen() / "markers.json");
    frames(140);
    EXPECT_EQ(read_file(quillfen() / "markers.json"), after);
}

TEST_F(CollectionsTest, NeitherAnOwnMarkerNorOneFoundBeforeIsFoundByArrival) {
    start(three_kinds(), {500, 500, 10});
    const std::string before = read_file(quillfen() / "markers.json");
    for (const Position p : {Position{0, 0, 10}, Position{2000, 0, 10}}) {
        put_player(p);
        frames(70);
    }
    EXPECT_FALSE(marker("Camp").data.is_found);
    EXPECT_EQ(marker("Bone 2").data.found._nsec, found_before_ns) << "the first find's time stays";
    EXPECT_EQ(read_file(quillfen() / "markers.json"), before);
}

TEST_F(CollectionsTest, TheLookForMarkersReachedCallsNoNatives) {
    start(three_kinds(), {500, 500, 10});
    frames(70);  // the blips on the map
    auto look = [this] {
        in_script([] {
            RunContext ctx = script_context();
            plugin_state.collections.since_look_ns = 0;
            plugin_state.frame_delta = found_look_interval_ns;
            find_markers_reached(ctx, plugin_state);
        });
    };
    look();  // nothing reached
    EXPECT_TRUE(action_calls().empty());
    put_player({1000, 0, 10});
    frames(1);  // the loop reads where the player is
    look();
    ASSERT_TRUE(marker("Bone 1").data.is_found);
    // Only the map's: the found marker's blip goes, to be made again dimmed by the blip pass.
    std::vector<std::string> called;
    for (const SimTraceEntry* e : action_calls()) called.push_back(e->signature->name);
    EXPECT_EQ(called, (std::vector<std::string>{"blip_pre_remove", "remove_blip"}));
}

// ---- found by the press --------------------------------------------------------------------

TEST_F(CollectionsTest, ThePressMarksAnyMarkerFoundAndNotFoundEachSaved) {
    start(three_kinds(), {500, 500, 10});
    const std::string before = read_file(quillfen() / "markers.json");
    open_full_menu();
    plugin_state.current_category = 1;  // Camp's
    in_script([] {
        RunContext ctx = script_context();
        update_marker_list_cache(ctx, plugin_state, true);
    });
    ASSERT_EQ(selected_marker(plugin_state.list_page), index_of("Camp"));
    EXPECT_EQ(prompt(button_prompt(plugin_state, found_button)).text, "Found");
    press(control_found);
    EXPECT_TRUE(marker("Camp").data.is_found);
    EXPECT_TRUE(logged("Found Camp"));
    EXPECT_TRUE(saved("Camp").is_found);
    frames(2);
    EXPECT_EQ(prompt(button_prompt(plugin_state, found_button)).text, "Not Found");
    std::string selected;
    frames(1);
    (void)row_labels(&selected);
    EXPECT_NE(selected.find("[x] Camp"), std::string::npos) << selected;

    press(control_found);
    EXPECT_FALSE(marker("Camp").data.is_found);
    EXPECT_TRUE(logged("Marked as not found: Camp"));
    EXPECT_EQ(read_file(quillfen() / "markers.json"), markers_file_as_saved(three_kinds()))
        << "without its mark, the marker is saved as before it was found";
    (void)before;
}

TEST_F(CollectionsTest, TheListShowsTheSelectedPackMarkersProgress) {
    start(three_kinds(), {500, 500, 10});
    open_full_menu();
    plugin_state.current_category = 7;
    in_script([] {
        RunContext ctx = script_context();
        update_marker_list_cache(ctx, plugin_state, true);
    });
    frames(1);
    bool shown = false;
    for (const DrawnText& t : drawn_texts()) shown = shown || t.text == "Dinosaur bones: 1 of 2 found";
    EXPECT_TRUE(shown);
    press(control_found);  // the newest first: Bone 2, found before, is not found any more
    frames(1);
    shown = false;
    for (const DrawnText& t : drawn_texts()) shown = shown || t.text == "Dinosaur bones: 0 of 2 found";
    EXPECT_TRUE(shown);
    EXPECT_TRUE(logged("Marked as not found: Bone 2 (Dinosaur bones: 0 of 2 found)"));
}

// ---- on the map ---------------------------------------------------------------------------------

struct MapCase {
    const char* settings;
    bool has_blip;
    bool dimmed;
};

TEST_F(CollectionsTest, AFoundMarkersBlipIsDimmedHiddenOrShownAsSet) {
    const MapCase cases[] = {
        {"", true, true}, {"found_on_map = hide\n", false, false}, {"found_on_map = show\n", true, false}};
    for (const MapCase& c : cases) {
        SCOPED_TRACE(c.settings);
        if (session) end();
        dir = fresh_test_dir();
        start(three_kinds(), {500, 500, 10}, c.settings);
        frames(70);
        const Marker& found = marker("Bone 2");
        EXPECT_EQ(found.blip != 0, c.has_blip);
        EXPECT_NE(marker("Bone 1").blip, 0);
        if (found.blip == 0) continue;
        const std::vector<std::uint32_t>& modifiers = game().blips.at(found.blip).modifiers;
        const bool looted =
            std::find(modifiers.begin(), modifiers.end(), BlipModifier::BLIP_MODIFIER_LOOTED) != modifiers.end();
        EXPECT_EQ(looted, c.dimmed);
    }
}

TEST_F(CollectionsTest, AMarkerFoundByArrivalGetsTheLootedModifier) {
    start(three_kinds(), {500, 500, 10});
    frames(70);
    ASSERT_NE(marker("Bone 1").blip, 0);
    put_player({1000, 0, 10});
    frames(70);
    ASSERT_NE(marker("Bone 1").blip, 0);
    const std::vector<std::uint32_t>& modifiers = game().blips.at(marker("Bone 1").blip).modifiers;
    EXPECT_NE(std::find(modifiers.begin(), modifiers.end(), BlipModifier::BLIP_MODIFIER_LOOTED), modifiers.end());
}

TEST_F(CollectionsTest, AChangeOfFoundOnMapRestylesTheFoundMarkersBlips) {
    start(three_kinds(), {500, 500, 10}, "found_on_map = dim\n");
    frames(70);
    auto looted = [this](const Marker& m) {
        const std::vector<std::uint32_t>& modifiers = game().blips.at(m.blip).modifiers;
        return std::find(modifiers.begin(), modifiers.end(), BlipModifier::BLIP_MODIFIER_LOOTED) != modifiers.end();
    };
    ASSERT_NE(marker("Bone 2").blip, 0);
    EXPECT_TRUE(looted(marker("Bone 2")));
    write_settings("found_on_map = show\n");  // the file is looked at every 5 seconds
    frames(6 * 60);
    ASSERT_NE(marker("Bone 2").blip, 0);
    EXPECT_FALSE(looted(marker("Bone 2")));
    write_settings("found_on_map = hide\n");
    frames(6 * 60);
    EXPECT_EQ(marker("Bone 2").blip, 0);
    ASSERT_NE(marker("Bone 1").blip, 0);
    EXPECT_FALSE(looted(marker("Bone 1")));
}

// ---- the walk -----------------------------------------------------------------------------------

TEST_F(CollectionsTest, ARouteWalksAPackOfThreeToItsEnd) {
    const std::vector<TextMarker> pack = {
        {0, 0, 10, 1, "Camp", "", made_ns},
        {100, 0, 10, 7, "Bone 1", "", made_ns, bones},
        {900, 0, 10, 7, "Bone 3", "", made_ns, bones},
        {400, 0, 10, 7, "Bone 2", "", made_ns, bones},
    };
    start(pack, {0, 0, 10});
    in_script([this] {
        RunContext ctx = script_context();
        ASSERT_TRUE(start_route(ctx, plugin_state, static_cast<std::size_t>(index_of("Bone 1"))));
    });
    put_player({90, 0, 10});  // within 15 m: the route waits for the find
    frames(70);
    EXPECT_TRUE(plugin_state.route.active);
    EXPECT_FALSE(marker("Bone 1").data.is_found);
    put_player({99, 0, 10});
    frames(70);
    EXPECT_TRUE(marker("Bone 1").data.is_found);
    EXPECT_TRUE(logged("Found Bone 1 (Dinosaur bones: 1 of 3 found)"));
    EXPECT_TRUE(logged("Next in Dinosaur bones: Bone 2 (301m)"));
    ASSERT_TRUE(route_leads_to(plugin_state, static_cast<std::size_t>(index_of("Bone 2"))));
    put_player({400, 1, 10});
    frames(70);
    EXPECT_TRUE(logged("Next in Dinosaur bones: Bone 3 (500m)"));
    ASSERT_TRUE(route_leads_to(plugin_state, static_cast<std::size_t>(index_of("Bone 3"))));
    put_player({900, 0, 12});
    frames(70);
    EXPECT_TRUE(logged("Found Bone 3 (Dinosaur bones: 3 of 3 found)"));
    EXPECT_TRUE(logged("Dinosaur bones complete: 3 of 3 found"));
    EXPECT_TRUE(logged("Route cleared"));
    EXPECT_FALSE(plugin_state.route.active);
    EXPECT_FALSE(game().gps_route.shown);
}

TEST_F(CollectionsTest, WithArrivalOffARouteToAPackMarkerEndsAt15Metres) {
    start({{100, 0, 10, 7, "Bone 1", "", made_ns, bones}}, {0, 0, 10}, "auto_found = false\n");
    in_script([] {
        RunContext ctx = script_context();
        ASSERT_TRUE(start_route(ctx, plugin_state, 0));
    });
    put_player({90, 0, 10});
    frames(70);
    EXPECT_FALSE(plugin_state.route.active);
    EXPECT_TRUE(logged("Arrived at Bone 1: route cleared"));
    EXPECT_FALSE(plugin_state.markers[0].data.is_found);
}

// ---- the import, the held file and the search ----------------------------------------------

TEST_F(CollectionsTest, AnImportedPackMarksItsMarkersAndLeavesTheOwnAsTheyWere) {
    const std::vector<TextMarker> own = {{0, 0, 10, 1, "Camp", "", made_ns}, {50, 0, 10, 2, "Mill", "", made_ns}};
    std::vector<TextMarker> pack = {{1000, 0, 10, 7, "Bone 1", "", made_ns},
                                    {1100, 0, 10, 7, "Bone 2", "", made_ns},
                                    {1200, 0, 10, 7, "Bone 3", "", made_ns},
                                    {50.5f, 0, 10, 7, "Too close", "", made_ns}};
    write_file(quillfen() / "import" / "Dinosaur bones.json", markers_file_text(pack));
    start(own, {500, 500, 10});
    pack.pop_back();  // within 1 m of Mill: still skipped
    for (TextMarker& m : pack) m.pack = bones;
    std::vector<TextMarker> all = own;
    all.insert(all.end(), pack.begin(), pack.end());
    EXPECT_EQ(read_file(quillfen() / "markers.json"), markers_file_as_saved(all));
}

TEST_F(CollectionsTest, AGeojsonPackIsImportedUnderItsNameAndItsBadFeaturesAreNamed) {
    write_file(quillfen() / "import" / "Orchids.geojson",
               "{\"type\": \"FeatureCollection\", \"features\": [\n"
               "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [10, 20, 30]},"
               " \"properties\": {\"name\": \"Lady slipper\", \"category\": \"Plant\"}},\n"
               "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Polygon\", \"coordinates\": []}}\n]}");
    write_file(quillfen() / "import" / "not-a-pack.geojson", "{\"markers\": []}");
    start({{0, 0, 10, 1, "Camp", "", made_ns}}, {500, 500, 10});
    EXPECT_TRUE(logged("Left out feature 2 of Quillfen/import/Orchids.geojson at 3:1: not a Point"));
    EXPECT_TRUE(logged("Imported 1 of 2 markers from Quillfen/import/Orchids.geojson")) << "the feature left out too";
    EXPECT_TRUE(
        logged("Failed to load marker pack Quillfen/import/not-a-pack.geojson: not GeoJSON: a pack is a "
               "FeatureCollection with a list of \"features\""));
    EXPECT_STREQ(marker("Lady slipper").data.pack, "Orchids");
    EXPECT_EQ(marker("Lady slipper").data.category, 8);
    EXPECT_TRUE(std::filesystem::exists(quillfen() / "import" / "imported" / "Orchids.geojson"));
    EXPECT_TRUE(std::filesystem::exists(quillfen() / "import" / "not-a-pack.geojson")) << "left in place";
}

// An export put into another game's import folder comes back as the same
// markers: notes, found marks, times to the nanosecond; the player's own
// markers join no pack (they would be found by arrival as a collection's).
TEST_F(CollectionsTest, AGeojsonExportImportedIntoAnotherGameGivesTheSameMarkers) {
    const std::vector<TextMarker> mine = {
        {0, 0, 10, 1, "Camp", "", made_ns + 123456789, "", std::nullopt, "gold under the tree"},
        {1000, 0, 10, 7, "Bone 1", "", made_ns + 1, bones, std::nullopt, "behind the rock"},
        {2000, 0, 10, 7, "Bone 2", "", made_ns, bones, found_before_ns + 987654321},
    };
    MarkersData data{};
    ASSERT_EQ(deserialize_markers(markers_file_text(mine), heap_allocator(), data), DeserializeError::none);
    std::vector<std::string> left_out;
    const std::string exported = export_markers(data, ExportFormat::geojson, left_out);
    free_markers_data(data, heap_allocator());
    write_file(quillfen() / "import" / "Trip.geojson", exported);
    start({}, {500, 500, 10});
    EXPECT_TRUE(logged("Imported 3 of 3 markers from Quillfen/import/Trip.geojson"));
    EXPECT_EQ(read_file(quillfen() / "markers.json"), markers_file_as_saved(mine));
}

TEST_F(CollectionsTest, AHeldFileReadLateKeepsTheMarksMadeMeanwhile) {
    write_file(quillfen() / "markers.json.bak", markers_file_text(three_kinds()));
    const FileFaults held{0, 0, 0, EACCES, 0, 0, 0, "Quillfen/markers.json"};
    inject_file_faults(&held);
    start(three_kinds(), {500, 500, 10});
    ASSERT_TRUE(plugin_state.persistence.markers_file_unread);
    put_player({1000, 0, 10});
    frames(70);
    ASSERT_TRUE(marker("Bone 1").data.is_found);
    inject_file_faults(nullptr);  // let go: read at the next second
    frames(70);
    ASSERT_FALSE(plugin_state.persistence.markers_file_unread);
    EXPECT_TRUE(marker("Bone 1").data.is_found);
    EXPECT_TRUE(saved("Bone 1").is_found);
    EXPECT_EQ(saved("Bone 2").found._nsec, found_before_ns);
}

// A find while markers.json is held counts the pack in the file once it is
// read: the backup's copy of the pack need not be the file's.
struct HeldFind {
    const char* what;
    int in_file, in_backup;  // markers of the pack
    std::vector<std::string> at_find, once_read;
};
void PrintTo(const HeldFind& c, std::ostream* out) { *out << c.what; }

class HeldFindTest : public CollectionsTest, public ::testing::WithParamInterface<HeldFind> {
protected:
    void TearDown() override {
        inject_file_faults(nullptr);
        CollectionsTest::TearDown();
    }
};

const std::string counted_later = "Found Bone 0 (Dinosaur bones: counted once Quillfen/markers.json can be read)";
const HeldFind held_finds[] = {
    {"the file's pack has one more",
     100,
     99,
     {counted_later},
     {"Dinosaur bones: 1 of 100 found, counted in Quillfen/markers.json as read at last"}},
    {"the backup's pack is complete, the file's is not",
     2,
     1,
     {counted_later},
     {"Dinosaur bones: 1 of 2 found, counted in Quillfen/markers.json as read at last"}},
    {"complete in the file too",
     1,
     1,
     {counted_later},
     {"Dinosaur bones: 1 of 1 found, counted in Quillfen/markers.json as read at last",
      "Dinosaur bones complete: 1 of 1 found"}},
};

INSTANTIATE_TEST_SUITE_P(HeldFile, HeldFindTest, ::testing::ValuesIn(held_finds));

TEST_P(HeldFindTest, AFindWhileTheFileIsHeldCountsThePackOfTheFile) {
    const HeldFind& c = GetParam();
    auto pack_of = [](int count) {
        std::vector<TextMarker> out;
        for (int i = 0; i < count; ++i) {
            out.push_back({1000.0f + 10.0f * static_cast<float>(i), 0, 10, 7, "Bone " + std::to_string(i), "",
                           made_ns + i, bones});
        }
        return out;
    };
    write_file(quillfen() / "markers.json.bak", markers_file_text(pack_of(c.in_backup)));
    const FileFaults held{0, 0, 0, EACCES, 0, 0, 0, "Quillfen/markers.json"};
    inject_file_faults(&held);
    start(pack_of(c.in_file), {500, 500, 10});
    ASSERT_TRUE(plugin_state.persistence.markers_file_unread);
    // The lines about the pack since `from`.
    auto pack_lines = [this](std::size_t from) {
        std::vector<std::string> out;
        const std::vector<std::string> m = messages();
        for (std::size_t i = from; i < m.size(); ++i) {
            if (m[i].find(bones) != std::string::npos) out.push_back(m[i]);
        }
        return out;
    };
    std::size_t from = messages().size();
    in_script([] {
        RunContext ctx = script_context();
        ASSERT_TRUE(mark_found(ctx, plugin_state, 0, true));
    });
    EXPECT_EQ(pack_lines(from), c.at_find);
    from = messages().size();
    inject_file_faults(nullptr);  // let go: read at the next second
    frames(70);
    ASSERT_FALSE(plugin_state.persistence.markers_file_unread);
    EXPECT_EQ(pack_lines(from), c.once_read);
    EXPECT_TRUE(saved("Bone 0").is_found);
}

TEST_F(CollectionsTest, SearchingAPacksNameFindsItsMarkers) {
    start(three_kinds(), {500, 500, 10});
    std::vector<std::string> found;
    in_script([&] {
        RunContext ctx = script_context();
        for (const Marker& m : plugin_state.markers) {
            if (marker_matches_search(ctx, plugin_state, m, "dinosaur")) found.push_back(m.data.name);
        }
    });
    EXPECT_EQ(found, (std::vector<std::string>{"Bone 1", "Bone 2"}));
}

}  // namespace

// The pack's name a file gives its markers: none for the player's own markers
// coming back (deleted.json, a copy of markers.json), which must never be
// found by arrival as a collection would.
TEST(PackName, IsTheFilesNameExceptForTheFilesOfThePlayersOwnMarkers) {
    const struct {
        const char* path;
        const char* pack;
    } cases[] = {
        {"Quillfen/import/Dinosaur bones.json", "Dinosaur bones"},
        {"C:\\Games\\RDR2\\Quillfen\\import\\Orchids.geojson", "Orchids"},
        {"import/.json", ".json"},
        {"import/..geojson", "..geojson"},
        {"import/....json", "....json"},
        {"import/a..json", "a."},
        {"import/deleted.json", ""},
        {"Quillfen/deleted.json", ""},
        {"markers.json.unsaved-20261211-101500", ""},
        {"import/markers-unsaved.json", ""},
        {"backups/markers-20251209.json", ""},
        {"import/Deleted things.json", "Deleted things"},
    };
    for (const auto& c : cases) EXPECT_EQ(pack_name_of_file(c.path), c.pack) << c.path;
}
