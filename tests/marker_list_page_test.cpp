// The marker list page: the window of eight rows, the row texts, the dates in
// local time, and the page's actions as the game sees them.
#include <cstdlib>
#include <limits>
#include <set>

#include "sim_fixture.h"
#include "src/markers/marker_editing.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/marker_list_rows.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/platform/local_time.h"

namespace {

struct ZoneScope {
    // Sets TZ for the scope and loads the zone as set-up does.
    explicit ZoneScope(const char* tz) {
        const char* old = std::getenv("TZ");
        had = old != nullptr;
        if (had) previous = old;
        setenv("TZ", tz, 1);
        zone = load_local_time_zone(heap_allocator());
    }
    ~ZoneScope() {
        free_local_time_zone(zone, heap_allocator());
        if (had) setenv("TZ", previous.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    LocalTimeZone* zone;
    bool had;
    std::string previous;
};

std::int64_t utc(int y, int mo, int d, int h, int mi, int s) {
    return (days_from_civil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s) * 1000000000LL;
}

}  // namespace

TEST(ListWindow, TheSelectionStandsInTheFifthSlotWhenTheListAllows) {
    struct Case {
        std::int64_t selection, rows, first;
    } cases[] = {{0, 20, 0}, {10, 20, 6}, {19, 20, 12}, {4, 20, 0}, {5, 20, 1},
                 {3, 5, 0},  {0, 1, 0},   {0, 0, 0},    {-1, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(first_visible_row(c.selection, c.rows), c.first) << c.selection << "/" << c.rows;
    const float centres[] = {0.31f, 0.38f, 0.45f, 0.52f, 0.59f, 0.66f, 0.73f, 0.80f};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(list_row_centre_y(i), centres[i], 1e-6f) << i;
}

TEST(RowTexts, DistanceAndCoordinatesForAnyStoredPosition) {
    RunContext ctx{heap_allocator(), scratch_allocator(thread_scratch_arena()), Logger{}};
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(distance_text(ctx, Position{152.9f, 0, 0}, Position{0, 0, 0}), "152m away");
    EXPECT_EQ(distance_text(ctx, Position{3, 4, 12}, Position{0, 0, 0}), "13m away");
    struct Case {
        float distance;
        std::int32_t metres;
    } cases[] = {{152.9f, 152},
                 {0.0f, 0},
                 {-0.0f, 0},
                 {nan, 0},
                 {inf, 2147483647},
                 {3e9f, 2147483647},
                 {2147483520.0f, 2147483520}};
    for (const Case& c : cases) EXPECT_EQ(whole_metres(c.distance), c.metres) << c.distance;
    EXPECT_EQ(distance_text(ctx, Position{nan, 0, 0}, Position{0, 0, 0}), "0m away");
    EXPECT_EQ(distance_text(ctx, Position{3e38f, 3e38f, 0}, Position{-3e38f, 0, 0}), "2147483647m away");
    EXPECT_EQ(coordinates_text(ctx, Position{-310.46f, 802.27f, 40}), "x: -310.5, y: 802.3, z: 40.0");
    EXPECT_EQ(coordinates_text(ctx, Position{nan, inf, -0.0f}), "x: nan, y: inf, z: -0.0");
    // A row's middle: no distance to a position that is not finite.
    const Position origin{0, 0, 0};
    EXPECT_EQ(centre_text(ctx, Position{3, 4, 12}, origin, false), "13m away");
    EXPECT_EQ(centre_text(ctx, Position{3e38f, 3e38f, 0}, Position{-3e38f, 0, 0}, false), "2147483647m away");
    for (const Position p : {Position{nan, 0, 0}, Position{0, inf, 0}, Position{0, 0, -inf}}) {
        EXPECT_EQ(centre_text(ctx, p, origin, false), "Not on the map");
        EXPECT_EQ(centre_text(ctx, p, origin, true), coordinates_text(ctx, p));
    }
    scratch_release(thread_scratch_arena());
}

TEST(RowTexts, DatesInLocalTimeAcrossZonesAndChanges) {
    RunContext ctx{heap_allocator(), scratch_allocator(thread_scratch_arena()), Logger{}};
    struct Case {
        const char* zone;
        std::int64_t at;
        const char* text;
    } cases[] = {
        {"Europe/Berlin", utc(2026, 12, 9, 13, 5, 3), "9 December 2026, 14:05:03"},
        {"Europe/Berlin", utc(2026, 7, 9, 13, 5, 3), "9 July 2026, 15:05:03"},
        {"Africa/Johannesburg", utc(2025, 12, 31, 23, 30, 0), "1 January 2026, 01:30:00"},
        {"America/New_York", utc(2026, 1, 1, 3, 0, 0), "31 December 2025, 22:00:00"},
        {"America/New_York", utc(2026, 3, 8, 6, 59, 59), "8 March 2026, 01:59:59"},  // the last second of winter time
        {"America/New_York", utc(2026, 3, 8, 7, 0, 0), "8 March 2026, 03:00:00"},    // summer time begins
        {"America/New_York", utc(2026, 11, 1, 5, 59, 59), "1 November 2026, 01:59:59"},
        {"America/New_York", utc(2026, 11, 1, 6, 0, 0), "1 November 2026, 01:00:00"},  // the hour again
        {"Asia/Kolkata", utc(2026, 6, 15, 0, 0, 0), "15 June 2026, 05:30:00"},
        {"UTC", utc(2026, 12, 31, 23, 59, 59), "31 December 2026, 23:59:59"},
        {"Europe/Berlin", std::numeric_limits<std::int64_t>::min(), "21 September 1677, 01:06:11"},
        {"Europe/Berlin", std::numeric_limits<std::int64_t>::max(), "12 April 2262, 01:47:16"},
    };
    for (const Case& c : cases) {
        ZoneScope scope(c.zone);
        ASSERT_NE(scope.zone, nullptr);
        EXPECT_EQ(date_text(ctx, c.at, scope.zone), c.text) << c.zone;
    }
    // Without a zone: UTC, for every timestamp.
    EXPECT_EQ(date_text(ctx, utc(2026, 12, 9, 13, 5, 3), nullptr), "9 December 2026, 13:05:03");
    EXPECT_EQ(date_text(ctx, std::numeric_limits<std::int64_t>::min(), nullptr), "21 September 1677, 00:12:43");
    EXPECT_EQ(date_text(ctx, std::numeric_limits<std::int64_t>::max(), nullptr), "11 April 2262, 23:47:16");
    EXPECT_EQ(date_text(ctx, -1, nullptr), "31 December 1969, 23:59:59");
    scratch_release(thread_scratch_arena());
}

// ---- the page in the simulated game -------------------------------------------------------

namespace {

class ListPageTest : public SimTest, public ::testing::WithParamInterface<const char*> {
protected:
    // `count` markers of category 0 named M01, M02, ... made an hour apart, the full menu open.
    void start(int count, const Scenario& extra = {}) {
        std::vector<TextMarker> markers;
        for (int i = 1; i <= count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "M%02d", i);
            markers.push_back(
                TextMarker{static_cast<float>(i * 10), 0, 0, 0, name, "", 1765267200000000000LL + i * 3600000000000LL});
        }
        write_markers(markers_file_text(markers));
        // Every test runs under each answer the game may give to the second tick's repeated tests.
        begin(Scenario()
                  .with("frames", 100000)
                  .with("repeat_answers", quoted(GetParam()))
                  .with("world", "{window: {width: 1920, height: 1080}, player: {position: [0, 0, 0]}, map: true}")
                  .with(extra));
        frames(2);
        game().pressed.insert(control_edit_markers);
        frames(1);
        ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
    }
    std::vector<DrawnText> texts() const { return drawn_texts(); }
    // The left texts of the last tick: one per drawn row, "n/N name".
    std::vector<std::string> labels(std::string* selected = nullptr) const { return row_labels(selected); }
    std::vector<std::string> sounds() const {
        std::vector<std::string> out;
        for (auto* e : calls("play_menu_sound", session->host.game.frame - 1)) out.push_back(e->texts[0]);
        return out;
    }
    // A new press: released long enough before that no answer still reports
    // the last one (a player cannot press twice within a frame or two).
    void just_press(std::uint32_t control) {
        frames(3);
        game().just_pressed.insert(control);
        frames(1);
    }
};

constexpr std::uint32_t nav_up = control_menu_up, nav_down = control_menu_down, nav_left = control_menu_left,
                        nav_right = control_menu_right;

}  // namespace

INSTANTIATE_TEST_SUITE_P(RepeatedQueries, ListPageTest, ::testing::ValuesIn(repeat_answer_modes));

TEST_P(ListPageTest, EightRowsWithTheSelectionInTheFifthSlot) {
    start(20);
    struct Case {
        std::int64_t selection;
        const char* first;
        const char* last;
        const char* selected;
    } cases[] = {{0, "1/20 M20", "8/20 M13", "1/20 M20"},
                 {10, "7/20 M14", "14/20 M07", "11/20 M10"},
                 {19, "13/20 M08", "20/20 M01", "20/20 M01"}};
    for (const Case& c : cases) {
        plugin_state.list_page.selection = c.selection;
        frames(1);
        std::string selected;
        std::vector<std::string> l = labels(&selected);
        ASSERT_EQ(l.size(), 8u);
        EXPECT_EQ(l.front(), c.first);
        EXPECT_EQ(l.back(), c.last);
        EXPECT_EQ(selected, c.selected);
    }
}

TEST_P(ListPageTest, UpFromTheFirstRowWrapsAndASingleRowDoesNotMove) {
    start(20);
    just_press(nav_up);
    EXPECT_EQ(plugin_state.list_page.selection, 19);
    EXPECT_EQ(sounds(), (std::vector<std::string>{"NAV_UP"}));
    just_press(nav_down);
    EXPECT_EQ(plugin_state.list_page.selection, 0);
    EXPECT_EQ(sounds(), (std::vector<std::string>{"NAV_DOWN"}));
    just_press(nav_right);
    EXPECT_EQ(plugin_state.current_category, 1);
    EXPECT_EQ(sounds(), (std::vector<std::string>{"NAV_RIGHT"}));
    just_press(nav_left);
    just_press(nav_left);
    EXPECT_EQ(plugin_state.current_category, 9);
    EXPECT_EQ(sounds(), (std::vector<std::string>{"NAV_LEFT"}));
}

TEST_P(ListPageTest, EachPressActsOnceWhateverTheRepeatedTestAnswers) {
    // The menu's tick runs twice a frame and repeats every test; a press held
    // for several frames is still one press.
    start(20);
    just_press(nav_down);
    EXPECT_EQ(plugin_state.list_page.selection, 1);
    EXPECT_EQ(sounds(), (std::vector<std::string>{"NAV_DOWN"}));
    frames(3);
    game().pressed.insert(control_sort);
    frames(1);
    EXPECT_EQ(plugin_state.list_page.sort_mode, 1) << "sorted once, not toggled back";
    just_press(nav_right);
    EXPECT_EQ(plugin_state.current_category, 1) << "one category to the right";
    EXPECT_EQ(sounds(), (std::vector<std::string>{"NAV_RIGHT"}));
    frames(3);
    EXPECT_EQ(plugin_state.current_category, 1);
    EXPECT_TRUE(calls("play_menu_sound", game().frame - 1).empty());
}

TEST_P(ListPageTest, ASingleRowIgnoresUpAndDown) {
    start(1);
    just_press(nav_up);
    EXPECT_EQ(plugin_state.list_page.selection, 0);
    EXPECT_TRUE(sounds().empty());
}

TEST_P(ListPageTest, HoldingDeleteOnTheLastRowDeletesItAndResetsTheHold) {
    start(20);
    plugin_state.list_page.selection = 19;  // the oldest marker, M01
    game().held.insert(control_delete);
    frames(1);
    ASSERT_EQ(plugin_state.markers.length, 19u);
    EXPECT_STREQ(plugin_state.markers[0].data.name, "M02");
    EXPECT_EQ(plugin_state.list_page.selection, 18) << "on the new last row";
    std::vector<std::string> seq;
    for (const SimTraceEntry& e : session->host.trace) {
        const std::string n = e.signature->name;
        if (e.frame == game().frame - 1 &&
            (n == "prompt_reset_hold" || n == "prompt_reset_hold_data" || (n == "play_menu_sound"))) {
            seq.push_back(n == "play_menu_sound" ? e.texts[0] : n);
            if (n == "prompt_reset_hold_data") {
                EXPECT_EQ(e.args[1], 0u);
            }
        }
    }
    EXPECT_EQ(seq, (std::vector<std::string>{"prompt_reset_hold", "prompt_reset_hold_data", "BACK"}));
    frames(1);
    EXPECT_EQ(plugin_state.markers.length, 19u) << "the hold must be completed again for the next deletion";
}

TEST_P(ListPageTest, RenameOpensTheKeyboardWithTheNameAndTheConfirmedTextIsTrimmed) {
    start(3, Scenario().with("keyboard", "{typing_frames: 2, result: \"  New  \"}"));
    game().pressed.insert(control_rename);
    frames(1);
    auto shown = calls("show_onscreen_keyboard");
    ASSERT_EQ(shown.size(), 1u) << "the second tick does not open it again: the keyboard tick comes first";
    const SimTraceEntry& k = *shown[0];
    EXPECT_EQ(static_cast<std::int32_t>(k.args[0]), 0);
    EXPECT_EQ(k.texts[1], "STABLE_RENAME_MOUNT_PROMPT");
    EXPECT_EQ(k.texts[2], "");
    EXPECT_EQ(k.texts[3], "M03");
    EXPECT_EQ(k.texts[4] + k.texts[5] + k.texts[6], "");
    EXPECT_EQ(static_cast<std::int32_t>(k.args[7]), 50);
    EXPECT_EQ(plugin_state.list_page.rename_marker_index, 2);
    frames(1);  // still typing: nothing of the page
    EXPECT_TRUE(texts().empty());
    frames(1);
    EXPECT_STREQ(plugin_state.markers[2].data.name, "New");
    EXPECT_NE(read_file(dir / "Quillfen" / "markers.json").find("\"name\": \"New\""), std::string::npos);
}

TEST_P(ListPageTest, SortingTwiceComesBackToTimeWithTheSelectionOnTop) {
    start(5);
    plugin_state.player_position = position_to_vector3(0, 0, 0);
    plugin_state.list_page.selection = 3;
    game().pressed.insert(control_sort);
    frames(1);
    EXPECT_EQ(plugin_state.list_page.sort_mode, 1);
    EXPECT_EQ(game().prompts.at(button_prompt(plugin_state, sort_button)).text, "Sort: Proximity");
    EXPECT_EQ(labels().front(), "1/5 M01") << "nearest first";
    EXPECT_EQ(plugin_state.list_page.selection, 0);
    frames(3);
    game().pressed.insert(control_sort);
    frames(1);
    EXPECT_EQ(plugin_state.list_page.sort_mode, 0);
    EXPECT_EQ(game().prompts.at(button_prompt(plugin_state, sort_button)).text, "Sort: Time");
    EXPECT_EQ(labels().front(), "1/5 M05") << "newest first";
}

TEST_P(ListPageTest, ARowWithoutABlipIsDimmedAndTheSelectedRowsCoordinatesStandUnderTheRows) {
    // M02 lies in Guarma while the player is on the mainland: only M01 gets a blip.
    start(2, Scenario()
                 .with("frame_ms", 500)
                 .with("zones", R"([{type: "STATE", hash: "0x7356B8ED", rect: [15, -5, 25, 5]}])"));
    std::vector<DrawnText> t = texts();
    ASSERT_FALSE(t.empty());
    std::map<std::string, std::int32_t> alpha_of;
    for (const DrawnText& d : t) {
        if (d.align == "Left") alpha_of[d.text] = d.alpha;
    }
    EXPECT_EQ(alpha_of["2/2 M01"], 255);
    EXPECT_EQ(alpha_of["1/2 M02"], 127);
    bool dimmed_background = false;
    for (const SimDrawItem& d : game().draw_list) {
        dimmed_background |= d.texture == "selection_box_bg_1a" && d.red == 20 && d.alpha == 200;
    }
    EXPECT_TRUE(dimmed_background);

    // Half-second frames: the rows keep their distances, and the selected
    // marker's coordinates stand on a line of their own under the rows.
    for (int i = 0; i < 4; ++i) {
        frames(1);
        std::vector<std::string> centre, under;
        for (const DrawnText& d : texts()) {
            if (d.align != "Center") continue;
            (d.in_rows() ? centre : under).push_back(d.text);
        }
        // Both ticks draw the page: the title, then under the rows the coordinates.
        EXPECT_EQ(centre, (std::vector<std::string>{"20m away", "10m away", "20m away", "10m away"})) << i;
        EXPECT_EQ(under, (std::vector<std::string>{"Marker (Flag)", "x: 20.0, y: 0.0, z: 0.0", "Marker (Flag)",
                                                   "x: 20.0, y: 0.0, z: 0.0"}))
            << i;
    }
}
