// The list page's search across the categories and the move to the next
// category: what a search lists, how the list's changes keep its rows right,
// and a marker walked round the ring with its file and blip each time.
#include <array>
#include <cctype>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "sim_fixture.h"
#include "src/map/gps_route.h"
#include "src/markers/marker_editing.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/marker_list_rows.h"
#include "src/menu/marker_search.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/settings/settings.h"

// ---- the text ----------------------------------------------------------------------------

TEST(SearchText, LabelsMatchAsciiLettersInAnyCaseAndOtherBytesAsTheyAre) {
    struct Case {
        const char* label;
        const char* text;
        bool match;
    } cases[] = {
        {"Bear cave", "bear", true},
        {"BEAR TRAP", "bear", true},
        {"Bear cave", "CAVE", true},
        {"Bear cave", "r c", true},
        {"Bear cave", "bears", false},
        {"Bear", "Bear cave", false},
        {"Bärenhöhle", "bär", true},
        {"Bärenhöhle", "BÄR", false},
        {"Bärenhöhle", "HÖHLE", false},
        {"Bärenhöhle", "höhle", true},
        {"Café [1]", "É", false},
        {"x", "", true},
        {"Marker (Cash)", "(cash)", true},
        {"ab", "b", true},
        {"aab", "ab", true},
        {"St. Denis, Lemoyne", "s, l", true},
        {"", "a", false},
    };
    for (const Case& c : cases) EXPECT_EQ(label_contains(c.label, c.text), c.match) << c.label << " / " << c.text;
}

TEST(SearchText, CutAtFiftyCharactersNeverInsideOne) {
    const std::string fifty_a(50, 'a');
    struct Case {
        std::string text, kept;
    } cases[] = {
        {fifty_a + "bcd", fifty_a},
        {std::string(49, 'a') + "é!", std::string(49, 'a') + "é"},  // the 50th is two bytes: kept whole
        {std::string(49, 'a') + "\xF0\x9F\x90\xBB"
                                "z",
         std::string(49, 'a') + "\xF0\x9F\x90\xBB"},
        {"Bär", "Bär"},
        {"", ""},
        // A byte that starts no character counts as one.
        {std::string(49, 'a') + "\xFF\xFF", std::string(49, 'a') + "\xFF"},
    };
    for (const Case& c : cases) EXPECT_EQ(first_characters(c.text, search_text_characters), c.kept) << c.text;
}

TEST(SearchText, ARowNamesItsCategoryByTheShortName) {
    struct Case {
        const char* name;
        const char* short_name;
    } cases[] = {
        {"Marker (Animal)", "Animal"}, {"Marker (?)", "?"}, {"Camp", "Camp"}, {"()", "()"}, {"a (b) (c)", "b) (c"}};
    for (const Case& c : cases) EXPECT_EQ(category_short_name(c.name), c.short_name) << c.name;
}

// ---- the page in the simulated game ------------------------------------------------------

namespace {

// Eight markers an hour apart (the first the oldest); the unnamed at 100, 100
// stands in "Valentine", the one at 500, 500 in no named place.
constexpr const char* search_markers = R"({"markers": [
    {"position": [10, 0, 0], "category": 7, "name": "Bear cave", "timestamp": {"_nsec": 1765267200000000000}},
    {"position": [20, 0, 0], "category": 4, "name": "BEAR TRAP", "timestamp": {"_nsec": 1765270800000000000}},
    {"position": [30, 0, 0], "category": 1, "name": "Bärenhöhle", "timestamp": {"_nsec": 1765274400000000000}},
    {"position": [100, 100, 0], "category": 2, "timestamp": {"_nsec": 1765278000000000000}},
    {"position": [500, 500, 0], "category": 6, "timestamp": {"_nsec": 1765281600000000000}},
    {"position": [40, 0, 0], "category": 0, "name": "Camp", "timestamp": {"_nsec": 1765285200000000000}},
    {"position": [50, 0, 0], "category": 0, "name": "abcdefghijabcdefghijabcdefghijabcdefghijabcdefghij!",
     "timestamp": {"_nsec": 1765288800000000000}},
    {"position": [60, 0, 0], "category": 12, "name": "Bear beyond the table", "timestamp": {"_nsec": 1765292400000000000}}
]})";

class SearchPage : public SimTest {
protected:
    void start(const std::string& file = search_markers) {
        write_markers(file);
        begin(R"({frames: 100000, world: {window: {width: 1920, height: 1080}, player: {position: [0, 0, 0]}, map: true,
                  zones: [{type: "TEXT_WRITTEN", hash: "0x00000101", text: "Valentine", rect: [90, 90, 110, 110]}]}})");
        frames(2);
        game().pressed.insert(control_edit_markers);
        frames(1);
        ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
        frames(1);  // both ticks draw the page
    }
    std::vector<std::string> labels(std::string* selected = nullptr) const { return row_labels(selected); }
    void press(std::uint32_t control) {
        frames(3);
        game().pressed.insert(control);
        frames(1);
    }
    // Types `text` into the search's keyboard (or cancels it) and waits until it closed.
    void search(const std::optional<std::string>& text, bool cancel = false) {
        game().next_keyboard = SimKeyboardScript{1, cancel, text};
        press(control_search);
        frames(3);
        ASSERT_FALSE(game().keyboard.open);
    }
    const SimPrompt& prompt(Prompt p) { return game().prompts.at(p); }
    int saves() const {
        int n = 0;
        for (const std::string& m : messages()) n += m == "Saving data to disk";
        return n;
    }
    std::string saved_file() const { return read_file(dir / "Quillfen" / "markers.json"); }
    // The category the saved file gives the marker named `name`, or -1.
    int category_in_file(const std::string& name) const {
        const std::string file = saved_file();
        const std::size_t at = file.find("\"name\": \"" + name + "\"");
        const std::size_t category = file.rfind("\"category\": ", at);
        return at == std::string::npos || category == std::string::npos ? -1 : std::atoi(file.c_str() + category + 12);
    }
};

struct SearchCase {
    const char* name;
    std::optional<std::string> typed;  // none: the keyboard is cancelled
    std::vector<std::string> rows;     // newest first; empty with a search in force: no match
    bool in_force;
};

const std::vector<std::string> category_zero_rows = {"1/2 abcdefghijabcdefghijabcdefghijabcdefghijabcdefghij!",
                                                     "2/2 Camp"};

const SearchCase search_cases[] = {
    {"LetterCaseAcrossCategories", "bear", {"1/2 [Foe] BEAR TRAP", "2/2 [Animal] Bear cave"}, true},
    {"UpperCaseTyped", "CAVE", {"1/1 [Animal] Bear cave"}, true},
    {"AName", "Camp", {"1/1 [Flag] Camp"}, true},
    {"APlaceName", "valentine", {"1/1 [?] Valentine"}, true},
    {"ACategoryName", "(cash)", {"1/1 [Cash] Marker (Cash)"}, true},
    {"Utf8AsTyped", "bärEN", {"1/1 [Pin] Bärenhöhle"}, true},
    {"Utf8OtherCaseDoesNotMatch", "BÄR", {}, true},
    {"NoMatch", "wolf", {}, true},
    {"FiftyCharactersKept",
     "abcdefghijabcdefghijabcdefghijabcdefghijabcdefghijXYZ",
     {"1/1 [Flag] abcdefghijabcdefghijabcdefghijabcdefghijabcdefghij!"},
     true},
    {"SpacesAroundAreTrimmed", "  trap ", {"1/1 [Foe] BEAR TRAP"}, true},
    {"EmptyTextEndsIt", "   ", category_zero_rows, false},
    {"CancelledKeyboardEndsIt", std::nullopt, category_zero_rows, false},
};

class SearchTable : public SearchPage, public ::testing::WithParamInterface<SearchCase> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Typed, SearchTable, ::testing::ValuesIn(search_cases),
                         [](const ::testing::TestParamInfo<SearchCase>& p) { return p.param.name; });

TEST_P(SearchTable, ListsTheMatchingMarkersOfEveryCategory) {
    const SearchCase& c = GetParam();
    start();
    EXPECT_EQ(labels(), category_zero_rows);
    EXPECT_EQ(prompt(button_prompt(plugin_state, search_button)).text, "Search");
    search(c.typed, !c.typed.has_value());

    auto shown = calls("show_onscreen_keyboard");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]->texts[1], "Search Markers");
    EXPECT_EQ(shown[0]->texts[3], "") << "no search in force: nothing to start from";
    EXPECT_EQ(static_cast<std::int32_t>(shown[0]->args[7]), 50);

    EXPECT_EQ(plugin_state.search.in_force, c.in_force);
    EXPECT_EQ(labels(), c.rows);
    EXPECT_EQ(prompt(button_prompt(plugin_state, search_button)).text, c.in_force ? "Clear Search" : "Search");
    // The prompts that act on a row are off while the list has none.
    const bool rows = !c.rows.empty();
    EXPECT_EQ(prompt(button_prompt(plugin_state, rename_button)).enabled, rows);
    EXPECT_EQ(prompt(button_prompt(plugin_state, delete_button)).enabled, rows);
    EXPECT_EQ(prompt(button_prompt(plugin_state, move_button)).enabled, rows);
    EXPECT_TRUE(prompt(button_prompt(plugin_state, search_button)).enabled);
    EXPECT_EQ(saves(), 0) << "a search changes nothing in the file";
}

TEST_F(SearchPage, ClearingOrClosingReturnsToTheCategoryListAndTheFilterRunsOncePerSearch) {
    start();
    search("a");
    EXPECT_EQ(labels().size(), 6u);
    frames(4);
    const auto results = calls("keyboard_result");
    ASSERT_EQ(results.size(), 1u);
    const std::int64_t f = results[0]->frame;
    const auto lookups = [&](std::int64_t frame) { return calls("zone_at_coords", frame).size(); };
    // The rows drawn ask for their places in every frame; the filter asks the
    // two unnamed markers' once, in the frame of the search (Valentine's
    // first zone has a text; the nameless place is asked three kinds and its
    // zone of any kind).
    EXPECT_EQ(lookups(f), lookups(f + 1) + 1 + 4);
    EXPECT_EQ(lookups(f + 1), lookups(f + 2));
    EXPECT_EQ(lookups(f + 2), lookups(f + 3));

    press(control_search);  // "Clear Search"
    EXPECT_FALSE(plugin_state.search.in_force);
    EXPECT_EQ(labels(), category_zero_rows);
    EXPECT_EQ(prompt(button_prompt(plugin_state, search_button)).text, "Search");
    EXPECT_EQ(calls("show_onscreen_keyboard").size(), 1u) << "clearing opens no keyboard";

    search("bear");
    ASSERT_TRUE(plugin_state.search.in_force);
    press(control_back);
    EXPECT_EQ(plugin_state.menu.state, MENU_RING) << "closed, and the ring again while the map is up";
    EXPECT_FALSE(plugin_state.search.in_force) << "closing the menu ends the search";
    EXPECT_EQ(prompt(button_prompt(plugin_state, search_button)).text, "Search");
}

TEST_F(SearchPage, RenameAndDeleteActOnTheSelectedResultAndTheResultsStay) {
    start();
    search("bear");
    ASSERT_EQ(labels(), (std::vector<std::string>{"1/2 [Foe] BEAR TRAP", "2/2 [Animal] Bear cave"}));

    // Renamed so that it no longer matches: still listed until the next search.
    game().next_keyboard = SimKeyboardScript{1, false, std::string("Wolf den")};
    press(control_rename);
    frames(3);
    EXPECT_STREQ(plugin_state.markers[1].data.name, "Wolf den");
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/2 [Foe] Wolf den", "2/2 [Animal] Bear cave"}));
    EXPECT_TRUE(plugin_state.search.in_force);

    // Deleting a marker before both in the file shifts their indices: the rows stay right.
    in_script([&] {
        RunContext ctx = script_context();
        delete_marker_at(ctx, plugin_state, 0);  // "Bear cave"
    });
    frames(1);
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/1 [Foe] Wolf den"}));
    plugin_state.list_page.selection = 0;
    game().held.insert(control_delete);
    frames(1);
    game().held.clear();
    frames(1);
    EXPECT_TRUE(labels().empty());
    EXPECT_TRUE(plugin_state.search.in_force) << "the results stay in force, now empty";
    EXPECT_EQ(plugin_state.markers.length, 6u);
    EXPECT_EQ(saved_file().find("Wolf den"), std::string::npos);
    EXPECT_NE(saved_file().find("Bärenhöhle"), std::string::npos);

    // A marker added while the search is in force is looked at with the next rebuild.
    // A marker added and then named while the search is in force (as a capture
    // does) is found once its name matches.
    in_script([&] {
        RunContext ctx = script_context();
        Marker* m = append_marker(ctx, plugin_state, position_to_vector3(700, 0, 0));
        ASSERT_NE(m, nullptr);
        set_marker_name(ctx, plugin_state, *m, "Bear again");
    });
    frames(1);
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/1 [Flag] Bear again"}));
}

TEST_F(SearchPage, RouteLeadsToTheSelectedResultAndStaysOnItWhenAnotherResultIsDeleted) {
    start();
    search("bear");
    ASSERT_EQ(labels(), (std::vector<std::string>{"1/2 [Foe] BEAR TRAP", "2/2 [Animal] Bear cave"}));
    plugin_state.list_page.selection = 1;  // "Bear cave", the first marker of the file
    press(control_route);
    const auto& route = game().gps_route;
    EXPECT_TRUE(route.shown);
    EXPECT_EQ(route.points, (std::vector<std::array<float, 3>>{{10, 0, 0}}));
    EXPECT_EQ(prompt(button_prompt(plugin_state, route_button)).text, "Clear Route");
    frames(1);
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/2 [Foe] BEAR TRAP", "2/2 * [Animal] Bear cave"}));

    // Deleting the other result, which lies after it in the file, keeps the route on "Bear cave".
    plugin_state.list_page.selection = 0;
    game().held.insert(control_delete);
    frames(1);
    game().held.clear();
    frames(1);
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/1 * [Animal] Bear cave"}));
    EXPECT_TRUE(plugin_state.route.active);
    EXPECT_STREQ(plugin_state.markers[plugin_state.route.marker].data.name, "Bear cave");
    EXPECT_EQ(route.clears, 1) << "only the clear before the route was drawn";
}

// The two switches are the ring's: their controls do nothing in the full
// list, searching or not, and their prompts are in the map's group.
TEST_F(SearchPage, TheSwitchesControlsDoNothingInTheFullList) {
    start();
    const bool capture_off = plugin_state.settings.in_force.capture_off;
    for (const bool searching : {false, true}) {
        if (searching) search("bear");
        ASSERT_EQ(plugin_state.search.in_force, searching);
        EXPECT_TRUE(prompt(button_prompt(plugin_state, hide_button)).in_group) << searching;
        EXPECT_TRUE(prompt(button_prompt(plugin_state, capture_button)).in_group) << searching;
        press(control_hide);
        press(control_capture);
        frames(1);
        EXPECT_EQ(plugin_state.settings.in_force.hidden_on_map, 0u) << searching;
        EXPECT_EQ(plugin_state.settings.in_force.capture_off, capture_off) << searching;
    }
}

TEST_F(SearchPage, MoveWalksAMarkerRoundTheRingWithOneSaveAndItsBlipEachTime) {
    start();
    ASSERT_EQ(labels(), category_zero_rows);
    plugin_state.list_page.selection = 1;  // "Camp", the fifth marker in the file
    const std::int64_t camp = 5;
    ASSERT_NE(plugin_state.markers[camp].blip, 0u);
    const int saves_before = saves();
    for (int step = 1; step <= 10; ++step) {
        const std::int64_t category = step % 10;
        press(control_move);
        const Marker& m = plugin_state.markers[camp];
        EXPECT_EQ(m.data.category, category) << step;
        EXPECT_EQ(plugin_state.current_category, category) << "the list follows the marker";
        std::string selected;
        labels(&selected);
        EXPECT_EQ(selected.substr(selected.find(' ') + 1), "Camp") << "the selection stays on it, step " << step;
        EXPECT_EQ(saves(), saves_before + step) << "one save per press";
        EXPECT_TRUE(logged("Moved Camp to " + std::string(category_names[category]))) << step;
        ASSERT_NE(m.blip, 0u) << step;
        const SimBlip& blip = game().blips.at(m.blip);
        EXPECT_EQ(blip.sprite, sim_joaat(category_table[category].sprite)) << step;
        std::vector<std::uint32_t> style = {0xF366785F};
        if (category_table[category].colour_modifier != 0) style.push_back(category_table[category].colour_modifier);
        EXPECT_EQ(blip.modifiers, style) << step;
        EXPECT_EQ(game().blips.size(), 7u) << "the old blip went: one per marker of the table's categories";
        std::vector<std::string> sounds;
        for (auto* e : calls("play_menu_sound", game().frame - 1)) sounds.push_back(e->texts[0]);
        EXPECT_EQ(sounds, (std::vector<std::string>{"NAV_RIGHT"})) << step;
        EXPECT_EQ(category_in_file("Camp"), category) << step;
    }
}

TEST_F(SearchPage, MoveInASearchKeepsTheMarkerSelectedInTheResults) {
    start();
    search("bear");
    plugin_state.list_page.selection = 1;  // "Bear cave", Animal
    press(control_move);
    EXPECT_EQ(plugin_state.markers[0].data.category, 8);
    EXPECT_EQ(plugin_state.current_category, 8);
    std::string selected;
    EXPECT_EQ(labels(&selected), (std::vector<std::string>{"1/2 [Foe] BEAR TRAP", "2/2 [Plant] Bear cave"}));
    EXPECT_EQ(selected, "2/2 [Plant] Bear cave");
    EXPECT_TRUE(plugin_state.search.in_force);
    EXPECT_TRUE(logged("Moved Bear cave to Marker (Plant)"));

    // In a search with no row the prompt is off, and a press does nothing.
    press(control_search);  // clears "bear"
    search("wolf");
    ASSERT_TRUE(labels().empty());
    const int saves_before = saves();
    press(control_move);
    EXPECT_EQ(saves(), saves_before);
    EXPECT_EQ(plugin_state.current_category, 8);
}

// ---- a search of many markers, frame by frame ------------------------------------------------
//
// Every unnamed marker's place is natives: a search looks them up within the
// frame's share and goes on in the next frames, its rows growing, until it
// holds what looking at every marker at once finds.

namespace {

struct ManyCase {
    const char* name;
    int markers;
    int unnamed_every;  // every n-th marker is unnamed (1: all)
};

std::ostream& operator<<(std::ostream& out, const ManyCase& c) { return out << c.name; }

// The place of a marker without a name: "Valentine" in the square the zone
// covers, elsewhere none (each lookup then asks the game all nine times).
constexpr float valentine_edge = 1500;
constexpr const char* many_world = R"({window: {width: 1920, height: 1080}, player: {position: [0, 0, 0]}, map: true,
    zones: [{type: "TEXT_WRITTEN", hash: "0x00000101", text: "Valentine", rect: [-1500, -1500, 1500, 1500]}]})";

bool ascii_contains(std::string label, std::string text) {
    for (char& c : label) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return label.find(text) != std::string::npos;
}

class SearchManyMarkers : public SearchPage, public ::testing::WithParamInterface<ManyCase> {
protected:
    // Markers over 6 km x 6 km, of every category, an hour apart in file order
    // (the newest last); the named ones "Pine n" or "Oak n".
    void start_many() {
        const ManyCase& c = GetParam();
        std::mt19937 rng(static_cast<unsigned>(c.markers));
        std::uniform_real_distribution<float> at(-3000, 3000);
        std::vector<TextMarker> markers;
        for (int i = 0; i < c.markers; ++i) {
            TextMarker m{};
            m.x = std::round(at(rng));
            m.y = std::round(at(rng));
            m.category = i % 10;
            if (i % c.unnamed_every != 0) m.name = (i % 2 ? "Pine " : "Oak ") + std::to_string(i);
            m.timestamp_ns = 1765267200000000000LL + i * 3600000000000LL;
            markers.push_back(m);
            expected_labels.push_back(!m.name.empty() ? m.name
                                      : std::abs(m.x) <= valentine_edge && std::abs(m.y) <= valentine_edge
                                          ? "Valentine"
                                          : category_names[i % 10]);
        }
        write_markers(markers_file_text(markers));
        begin(Scenario().with("frames", 100000).with("world", many_world));
        frames(2);
        game().pressed.insert(control_edit_markers);
        frames(1);
        ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
    }
    // The rows a search for `text` lists once every marker was looked at:
    // the markers whose label holds it, newest first.
    std::vector<std::int64_t> expected_rows(const std::string& text) const {
        std::vector<std::int64_t> rows;
        for (std::size_t i = expected_labels.size(); i-- > 0;) {
            if (ascii_contains(expected_labels[i], text)) rows.push_back(static_cast<std::int64_t>(i));
        }
        return rows;
    }
    std::vector<std::int64_t> rows() const {
        return {plugin_state.list_page.rows.begin(), plugin_state.list_page.rows.end()};
    }
    // The natives of each frame from `first` on, from the trace.
    std::map<std::int64_t, std::size_t> natives_per_frame(std::int64_t first) const {
        std::map<std::int64_t, std::size_t> per_frame;
        for (const SimTraceEntry& e : session->host.trace) {
            if (e.frame >= first) ++per_frame[e.frame];
        }
        return per_frame;
    }
    std::vector<std::string> expected_labels;
};

}  // namespace

TEST_P(SearchManyMarkers, NoFrameCallsMoreThanAThousandNativesAndTheRowsEndAsOneLookWouldFindThem) {
    start_many();
    frames(60);  // the blips on the map
    const std::int64_t typed = game().frame;
    search("ne");  // "Pine n" and "Valentine"
    ASSERT_TRUE(plugin_state.search.in_force);
    int frames_taken = 0;
    while (search_under_way(plugin_state) && frames_taken < 5000) {
        frames(1);
        ++frames_taken;
    }
    ASSERT_FALSE(search_under_way(plugin_state)) << "every marker looked at";
    frames(2);
    EXPECT_EQ(rows(), expected_rows("ne"));
    EXPECT_EQ(plugin_state.list_page.selection, 0) << "on the top row, as when the search is made at once";
    std::size_t most = 0;
    for (const auto& [frame, n] : natives_per_frame(typed)) {
        EXPECT_LE(n, 1000u) << "frame " << frame;
        most = std::max(most, n);
    }
    RecordProperty("frames_until_every_marker_was_looked_at", frames_taken);
    RecordProperty("most_natives_in_a_frame", static_cast<int>(most));
    EXPECT_EQ(saves(), 0) << "a search changes nothing in the file";
}

INSTANTIATE_TEST_SUITE_P(Markers, SearchManyMarkers,
                         ::testing::Values(ManyCase{"TenThousandAThirdUnnamed", 10000, 3},
                                           ManyCase{"TenThousandAllUnnamed", 10000, 1}),
                         [](const ::testing::TestParamInfo<ManyCase>& p) { return std::string(p.param.name); });

// ---- what a move's line calls the marker ------------------------------------------------------

namespace {

struct MoveName {
    const char* name;
    const char* marker;  // the one marker of the file, a Flag
    const char* before;  // its row before the move, and its name in the line
    const char* after;   // its row in Pin's list after
};

std::ostream& operator<<(std::ostream& out, const MoveName& c) { return out << c.name; }

const MoveName move_names[] = {
    {"UnnamedNowhere", R"({"position": [500, 500, 0], "category": 0, "timestamp": {"_nsec": 1}})", "Marker (Flag)",
     "Marker (Pin)"},
    {"UnnamedInAPlace", R"({"position": [100, 100, 0], "category": 0, "timestamp": {"_nsec": 1}})", "Valentine",
     "Valentine"},
    {"EmptyName", R"({"position": [500, 500, 0], "category": 0, "name": "", "timestamp": {"_nsec": 1}})",
     "Marker (Flag)", "Marker (Pin)"},
    {"Named", R"({"position": [100, 100, 0], "category": 0, "name": "Camp", "timestamp": {"_nsec": 1}})", "Camp",
     "Camp"},
};

class MoveNameTest : public SearchPage, public ::testing::WithParamInterface<MoveName> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Markers, MoveNameTest, ::testing::ValuesIn(move_names),
                         [](const ::testing::TestParamInfo<MoveName>& p) { return std::string(p.param.name); });

TEST_P(MoveNameTest, TheLineNamesTheMarkerAsTheListDidBeforeTheMove) {
    const MoveName& c = GetParam();
    start(std::string(R"({"markers": [)") + c.marker + "]}");
    ASSERT_EQ(labels(), (std::vector<std::string>{std::string("1/1 ") + c.before}));
    press(control_move);
    frames(1);
    EXPECT_EQ(plugin_state.current_category, 1);
    EXPECT_EQ(labels(), (std::vector<std::string>{std::string("1/1 ") + c.after}));
    std::vector<std::string> moved;
    for (const std::string& m : messages()) {
        if (m.rfind("Moved ", 0) == 0) moved.push_back(m);
    }
    EXPECT_EQ(moved, (std::vector<std::string>{std::string("Moved ") + c.before + " to Marker (Pin)"}));
}

TEST_P(SearchManyMarkers, ThePressesActOnTheRowsAsDrawnWhileRowsAreAdded) {
    start_many();
    frames(60);
    search("ne");
    ASSERT_TRUE(search_under_way(plugin_state));

    // A row found above the top row takes its place; a hold of "Delete" begun
    // there starts again.
    int top_changes = 0;
    for (int i = 0; i < 20 && search_under_way(plugin_state); ++i) {
        const std::int64_t top = plugin_state.list_page.rows[0];
        frames(1);
        const bool changed = plugin_state.list_page.rows[0] != top;
        top_changes += changed;
        EXPECT_EQ(!calls("prompt_reset_hold", game().frame - 1).empty(), changed) << "frame " << game().frame - 1;
        EXPECT_EQ(plugin_state.list_page.selection, 0);
    }
    EXPECT_GT(top_changes, 0) << "newer markers found later go on top";

    // "Delete" deletes the marker the top row showed in the frame before.
    ASSERT_TRUE(search_under_way(plugin_state));
    const Marker shown = plugin_state.markers[static_cast<std::size_t>(plugin_state.list_page.rows[0])];
    const std::string shown_name = shown.data.name ? shown.data.name : "";
    const auto same = [&](const Marker& m) {
        return std::memcmp(&m.data.position, &shown.data.position, sizeof(Position)) == 0 &&
               shown_name == (m.data.name ? m.data.name : "");
    };
    const auto count_same = [&] {
        return std::count_if(plugin_state.markers.begin(), plugin_state.markers.end(), same);
    };
    const std::ptrdiff_t before = count_same();
    const std::size_t markers_before = plugin_state.markers.length;
    game().held.insert(control_delete);
    frames(1);
    game().held.clear();
    EXPECT_EQ(plugin_state.markers.length, markers_before - 1);
    EXPECT_EQ(count_same(), before - 1) << "the marker shown on the top row went";

    // A row chosen below the top stays chosen as rows are added above it.
    ASSERT_TRUE(search_under_way(plugin_state));
    frames(3);
    const std::int64_t second = plugin_state.list_page.rows[1];
    game().just_pressed.insert(control_menu_down);
    frames(1);
    const std::int64_t row = plugin_state.list_page.selection;
    ASSERT_GE(row, 1);
    EXPECT_EQ(plugin_state.list_page.rows[static_cast<std::size_t>(row)], second) << "the row below the top";
    for (int i = 0; i < 5000 && search_under_way(plugin_state); ++i) frames(1);
    ASSERT_FALSE(search_under_way(plugin_state));
    EXPECT_GT(plugin_state.list_page.selection, row) << "rows were added above it";
    EXPECT_EQ(plugin_state.list_page.rows[static_cast<std::size_t>(plugin_state.list_page.selection)], second);
}
