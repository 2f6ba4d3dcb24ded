// Place names for positions: the game's zone texts in their order, the
// built-in table, the one-time error line, and Guarma.
#include "src/map/location_names.h"
#include "sim_fixture.h"

namespace {

constexpr const char* zones_scenario = R"({frames: 200, zones: [
    {type: "TEXT_WRITTEN", hash: "0x00000101", text: "Written", rect: [0, 0, 10, 10]},
    {type: "DISTRICT", hash: "0x00000102", text: "District", rect: [0, 0, 100, 100]},
    {type: "TEXT_PRINTED", hash: "0x00000103", text: null, rect: [0, 0, 100, 100]},
    {type: "LAKE", hash: "0x00000104", text: "Lake", rect: [200, 200, 300, 300]},
    {type: "TOWN", hash: "0x1B6880B3", text: null, rect: [400, 400, 500, 500]},
    {type: "STATE", hash: "0xE1736CD7", text: "", rect: [600, 600, 700, 700]},
    {type: "STATE", hash: "0x00BADBAD", rect: [800, 800, 900, 900]},
    {type: "RIVER", hash: "0x00000105", rect: [800, 800, 900, 900]},
]})";

class LocationTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        begin(zones_scenario);
        frames(1);
    }
    std::string name_at(float x, float y, float z) {
        std::string out;
        in_script([&] {
            RunContext ctx = script_context();
            out = named_location_at_coords(ctx, plugin_state, position_to_vector3(x, y, z));
        });
        return out;
    }
    std::vector<const SimTraceEntry*> lookups() const { return action_calls(); }
    int error_lines() const {
        int n = 0;
        for (const std::string& l : log_lines())
            n += l.rfind("[ERROR]", 0) == 0 && l.find("Vector3{") != std::string::npos;
        return n;
    }
};

}  // namespace

TEST_F(LocationTest, TheGamesTextsInOrderThenTheTable) {
    struct Case {
        float x, y, z;
        const char* name;
    } cases[] = {
        {5, 5, 0, "Written"},                     // written text wins over the district's
        {50, 50, 0, "District"},                  // printed zone without a text: on to the district
        {250, 250, 0, "Lake"},                    // only the untyped (water) query knows it
        {450, 450, 0, "Valentine, New Hanover"},  // no text anywhere: the table by the zone of any kind
        {650, 650, 0, "Guarma"},                  // a state zone the game has no text for
    };
    for (const Case& c : cases) EXPECT_EQ(name_at(c.x, c.y, c.z), c.name) << c.x;
    EXPECT_EQ(error_lines(), 0);
}

TEST_F(LocationTest, NineQueriesAtTheRaisedHeightWhenNothingHasAName) {
    name_at(450, 450, 0);
    std::vector<const SimTraceEntry*> q = lookups();
    std::vector<std::string> names;
    for (auto* e : q) names.push_back(e->signature->name);
    EXPECT_EQ(names, (std::vector<std::string>{"zone_at_coords", "zone_display_name", "zone_at_coords",
                                               "zone_display_name", "zone_at_coords", "zone_display_name",
                                               "untyped_zone_at_coords", "zone_display_name", "zone_at_coords"}));
    ASSERT_EQ(q.size(), 9u);
    EXPECT_EQ(static_cast<std::int32_t>(q[0]->args[3]), 12);
    EXPECT_EQ(static_cast<std::int32_t>(q[2]->args[3]), 11);
    EXPECT_EQ(static_cast<std::int32_t>(q[4]->args[3]), 10);
    EXPECT_EQ(static_cast<std::int32_t>(q[8]->args[3]), -1);
    for (std::size_t i : {0u, 2u, 4u, 6u, 8u}) EXPECT_EQ(f32_of(q[i]->args[2]), 40.0f) << "z raised to 40";

    name_at(450, 450, 250);
    EXPECT_EQ(f32_of(lookups()[0]->args[2]), 250.0f);
    name_at(450, 450, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(f32_of(lookups()[0]->args[2]), 40.0f);
}

TEST_F(LocationTest, NoNameAtAllIsLoggedOncePerPlaceAndRun) {
    for (int i = 0; i < 5; ++i) EXPECT_EQ(name_at(850, 860, 0), "");
    std::vector<std::string> errors;
    for (const std::string& l : log_lines()) {
        if (l.rfind("[ERROR]", 0) == 0 && l.find("Vector3{") != std::string::npos) errors.push_back(log_message_of(l));
    }
    // The raised position and the untyped zone's hash (the river), not the state's hash looked up.
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Vector3{_x = {x = 850}, _y = {y = 860}, _z = {z = 40}} 261");
    name_at(851, 860, 0);
    EXPECT_EQ(error_lines(), 2) << "another place gets its own line";
}

TEST_F(LocationTest, GuarmaByFixedHashesWithoutNativesOrByHashedKeys) {
    struct Case {
        Hash zone;
        bool guarma;
        std::size_t hashes;  // hash_of_name calls made
    } cases[] = {{0xBA5AB8E6, true, 0},
                 {0x7356B8ED, true, 0},
                 {0x1B6880B3, false, 6},
                 {sim_joaat("P_4_AGUASDULCES"), true, 3},
                 {sim_joaat("W_4_EL_NIDO"), true, 6}};
    for (const Case& c : cases) {
        bool answer = false;
        in_script([&] { answer = is_guarma_zone(c.zone); });
        EXPECT_EQ(answer, c.guarma) << std::hex << c.zone;
        EXPECT_EQ(action_calls().size(), c.hashes) << std::hex << c.zone;
        EXPECT_EQ(action_calls("hash_of_name").size(), c.hashes) << std::hex << c.zone;
    }
    EXPECT_STREQ(place_name_of_zone(0xBA5AB8E6),
                 "Bah\xC3\xAD"
                 "a de la Paz, Guarma");
    EXPECT_STREQ(place_name_of_zone(0x12345678), "");
}

// What a marker is called: its name (no lookup), else its place, else its
// category's name; noted, a place without a name is logged once, quiet never.
TEST_F(LocationTest, AMarkerIsCalledByItsNameElseItsPlaceElseItsCategory) {
    char camp[] = "Camp";
    char empty[] = "";
    struct Case {
        char* name;
        float x;
        const char* called;
        std::size_t natives;  // of one lookup
    } cases[] = {
        {camp, 850, "Camp", 0},                       // named: no lookup
        {empty, 5, "Written", 2},                     // the first kind of zone has a text
        {nullptr, 450, "Valentine, New Hanover", 9},  // the table
        {nullptr, 850, "Marker (Friend)", 9},         // no place has a name: the category's
    };
    for (PlaceLookup lookup : {PlaceLookup::quiet, PlaceLookup::noted}) {
        for (const Case& c : cases) {
            for (int twice = 0; twice < 2; ++twice) {
                std::string called;
                in_script([&] {
                    RunContext ctx = script_context();
                    const Marker m{MarkerDataV1{{c.x, c.x, 0}, 3, c.name, {0}}, 0, false};
                    called = shown_marker_label(ctx, plugin_state, m, lookup);
                });
                EXPECT_EQ(called, c.called) << c.x;
                EXPECT_EQ(action_calls().size(), c.natives) << c.x;
                EXPECT_LE(action_calls().size(), place_lookup_natives) << "the most a search counts for one";
            }
        }
        EXPECT_EQ(error_lines(), lookup == PlaceLookup::quiet ? 0 : 1) << "the place without a name, once";
    }
}
