// The GPS route to a marker, in the simulated game: the press from the list
// and its four calls, clearing and replacing it, the row's mark, arrival
// checked once a second, deletions before and of the routed marker, the
// markers loaded again, the script's end, and the waypoint capture beside it.
#include <cerrno>
#include <limits>

#include "sim_fixture.h"
#include "src/map/gps_route.h"
#include "src/markers/marker_editing.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/scripthook/native_call.h"
#include "tests/support/file_faults.h"

namespace {

// Marker i (from 1) of a list of `count`: named Mi, made i hours into the day, at a place of its own.
Position marker_position(int i) {
    return {static_cast<float>(i) * 30.5f, static_cast<float>(i) * -3.25f, 100.0f + static_cast<float>(i)};
}

std::string markers_file(int count, const std::vector<TextMarker>& extra = {}) {
    std::vector<TextMarker> markers;
    for (int i = 1; i <= count; ++i) {
        const Position p = marker_position(i);
        markers.push_back({p.x, p.y, p.z, 0, "M" + std::to_string(i), "", 1765267200000000000LL + i * 3600000000000LL});
    }
    markers.insert(markers.end(), extra.begin(), extra.end());
    return markers_file_text(markers);
}

// One call of a route native as the game saw it.
struct RouteCall {
    std::string native;
    std::vector<std::uint64_t> args;
};

class RouteFixture : public SimTest {
protected:
    const char* repeat_answers = "first";

    // `count` markers of category 0 (M1 the oldest, first in the file), the
    // player at the origin, the full menu open, newest first.
    void start(int count, const std::string& world = "", const std::vector<TextMarker>& extra_markers = {}) {
        write_markers(markers_file(count, extra_markers));
        begin("{frames: 100000, repeat_answers: \"" + std::string(repeat_answers) +
              "\", world: {window: {width: 1920, height: 1080}, player: {position: [0, 0, 0]}, map: true" + world +
              "}}");
        frames(2);
        game().pressed.insert(control_edit_markers);
        frames(1);
        ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
    }
    // A press of a prompt or a control, released long enough before that no
    // answer still reports the last one.
    void press(std::uint32_t control) {
        frames(3);
        route_calls_from = session->host.trace.size();
        game().pressed.insert(control);
        frames(1);
    }
    void navigate(std::uint32_t control) {
        frames(3);
        game().just_pressed.insert(control);
        frames(1);
    }
    // The route natives called since the last press (the frames after it too).
    std::vector<RouteCall> route_calls() const {
        std::vector<RouteCall> out;
        for (std::size_t i = route_calls_from; i < session->host.trace.size(); ++i) {
            const SimTraceEntry& e = session->host.trace[i];
            const std::string n = e.signature->name;
            if (n.rfind("gps_route_", 0) == 0) out.push_back({n, e.args});
        }
        return out;
    }
    std::size_t clears_since_press() const {
        std::size_t n = 0;
        for (const RouteCall& c : route_calls()) n += c.native == "gps_route_clear";
        return n;
    }
    std::string prompt_text() { return game().prompts.at(button_prompt(plugin_state, route_button)).text; }
    std::vector<std::string> labels() const { return row_labels(); }
    std::size_t count_messages(const std::string& m) const {
        const std::vector<std::string> all = messages();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), m));
    }
    void put_player(const Position& p) {
        game().player_position[0] = p.x;
        game().player_position[1] = p.y;
        game().player_position[2] = p.z;
    }
    // Routes to row `row` of the list as it is sorted now.
    void route_to_row(std::int64_t row) {
        plugin_state.list_page.selection = row;
        press(control_route);
        ASSERT_TRUE(plugin_state.route.active);
    }

    std::size_t route_calls_from = 0;
};

// Each test under each answer the game may give to the second tick's repeated tests.
class RouteTest : public RouteFixture, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        RouteFixture::SetUp();
        repeat_answers = GetParam();
    }
};

// The four calls of a route to `p`, in their order, with their arguments.
void expect_route_calls(const std::vector<RouteCall>& calls, const Position& p) {
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].native, "gps_route_clear");
    EXPECT_TRUE(calls[0].args.empty());
    EXPECT_EQ(calls[1].native, "gps_route_start");
    EXPECT_EQ(calls[1].args, (std::vector<std::uint64_t>{pack_native_u32(sim_joaat("COLOR_RED")), pack_native_u32(1),
                                                         pack_native_u32(1)}));
    EXPECT_EQ(calls[2].native, "gps_route_add_point");
    ASSERT_EQ(calls[2].args.size(), 4u);
    EXPECT_EQ(f32_of(calls[2].args[0]), p.x);
    EXPECT_EQ(f32_of(calls[2].args[1]), p.y);
    EXPECT_EQ(f32_of(calls[2].args[2]), p.z);
    EXPECT_EQ(calls[2].args[3], pack_native_u32(0));
    EXPECT_EQ(calls[3].native, "gps_route_show");
    EXPECT_EQ(calls[3].args, (std::vector<std::uint64_t>{pack_native_u32(1)}));
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(RepeatedQueries, RouteTest, ::testing::ValuesIn(repeat_answer_modes));

TEST_P(RouteTest, APressRoutesToTheSelectedMarkerAndASecondPressClearsIt) {
    start(3);
    EXPECT_EQ(prompt_text(), "Route");
    EXPECT_TRUE(game().prompts.at(button_prompt(plugin_state, route_button)).enabled) << "the list has rows";
    press(control_route);  // row 1: M3, the newest
    frames(5);             // a press acts once, however long the game reports it
    expect_route_calls(route_calls(), marker_position(3));
    EXPECT_TRUE(game().gps_route.shown);
    EXPECT_EQ(game().gps_route.colour, sim_joaat("COLOR_RED"));
    EXPECT_TRUE(game().gps_route.on_foot && game().gps_route.in_vehicle);
    ASSERT_EQ(game().gps_route.points.size(), 1u);
    EXPECT_EQ(game().gps_route.points[0][0], marker_position(3).x);
    // 3D distance from the origin, in whole metres, as the row shows it: sqrt(91.5² + 9.75² + 103²) = 138.1.
    EXPECT_TRUE(logged("Route to M3 (138m)"));
    EXPECT_EQ(prompt_text(), "Clear Route");
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/3 * M3", "2/3 M2", "3/3 M1"}));

    press(control_route);
    frames(5);
    const std::vector<RouteCall> calls = route_calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].native, "gps_route_clear");
    EXPECT_FALSE(game().gps_route.shown);
    EXPECT_TRUE(game().gps_route.points.empty());
    EXPECT_FALSE(plugin_state.route.active);
    EXPECT_EQ(count_messages("Route cleared"), 1u);
    EXPECT_EQ(prompt_text(), "Route");
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/3 M3", "2/3 M2", "3/3 M1"}));
}

TEST_P(RouteTest, RoutingToAnotherMarkerReplacesTheRouteAndThePromptFollowsTheSelection) {
    start(3);
    press(control_route);  // M3
    navigate(control_menu_down);
    EXPECT_EQ(prompt_text(), "Route") << "M2 is selected, the route leads to M3";
    press(control_route);
    expect_route_calls(route_calls(), marker_position(2));
    ASSERT_EQ(game().gps_route.points.size(), 1u) << "one route at a time";
    EXPECT_EQ(game().gps_route.points[0][1], marker_position(2).y);
    EXPECT_EQ(plugin_state.route.marker, 1u);
    EXPECT_EQ(prompt_text(), "Clear Route");
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/3 M3", "2/3 * M2", "3/3 M1"}));
    navigate(control_menu_up);
    EXPECT_EQ(prompt_text(), "Route");
    EXPECT_TRUE(logged("Route to M3 (138m)"));
    EXPECT_TRUE(logged("Route to M2 (119m)"));
}

TEST_P(RouteTest, TheRoutedRowIsMarkedInEverySortAndCategory) {
    // One marker of category 1 besides: its page has no routed row.
    start(3, "", {TextMarker{500, 500, 0, 1, "Other", "", 1}});
    route_to_row(2);  // M1, the oldest
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/3 M3", "2/3 M2", "3/3 * M1"}));
    press(control_sort);  // nearest first
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/3 * M1", "2/3 M2", "3/3 M3"}));
    EXPECT_EQ(prompt_text(), "Clear Route") << "the selection is on the top row, M1";
    navigate(control_menu_right);
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/1 Other"}));
    EXPECT_EQ(prompt_text(), "Route");
    navigate(control_menu_left);
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/3 * M1", "2/3 M2", "3/3 M3"}));
    EXPECT_TRUE(plugin_state.route.active) << "sorting and paging leave the route alone";
    EXPECT_EQ(clears_since_press(), 0u);
}

// ---- arrival ---------------------------------------------------------------------------------

struct Arrival {
    const char* what;
    float dx, dy, dz;  // from the marker
    bool arrives;
};

const Arrival arrivals[] = {
    {"15 m east", 15.0f, 0.0f, 0.0f, true},
    {"15 m on a slant", 9.0f, -12.0f, 0.0f, true},
    {"just past 15 m", 15.01f, 0.0f, 0.0f, false},
    {"15.1 m on a slant", 10.7f, 10.7f, 0.0f, false},
    {"right above, far up", 3.0f, 4.0f, 500.0f, true},
    {"below, far down", 0.0f, 0.0f, -300.0f, true},
};

class RouteArrivalTest : public RouteFixture, public ::testing::WithParamInterface<Arrival> {};

INSTANTIATE_TEST_SUITE_P(Distances, RouteArrivalTest, ::testing::ValuesIn(arrivals));

TEST_P(RouteArrivalTest, ArrivalIsMeasuredOnTheGroundPlane) {
    const Arrival& a = GetParam();
    SCOPED_TRACE(a.what);
    start(3);
    route_to_row(0);  // M3
    const Position m = marker_position(3);
    put_player({m.x + a.dx, m.y + a.dy, m.z + a.dz});
    frames(130);  // two checks at least
    EXPECT_EQ(clears_since_press(), a.arrives ? 2u : 1u) << "the route's own clear before it starts, then arrival";
    EXPECT_EQ(plugin_state.route.active, !a.arrives);
    EXPECT_EQ(count_messages("Arrived at M3: route cleared"), a.arrives ? 1u : 0u);
}

TEST_P(RouteTest, ArrivalIsCheckedOnceASecondAndClearsOnce) {
    start(3);
    route_to_row(0);
    const std::int64_t started = game().frame - 1;
    const Position m = marker_position(3);
    // In reach only between two checks: not seen.
    frames(10);
    put_player(m);
    frames(30);
    put_player({0, 0, 0});
    frames(30);
    EXPECT_TRUE(plugin_state.route.active) << "within reach for half a second between checks";
    put_player(m);
    frames(150);
    std::vector<std::int64_t> clear_frames;
    for (auto* e : calls("gps_route_clear")) {
        if (e->frame > started) clear_frames.push_back(e->frame);
    }
    ASSERT_EQ(clear_frames.size(), 1u) << "cleared once, not at every check after";
    // Checks come a second (60 frames of 16.67 ms) apart from the start: the second one finds the player.
    EXPECT_GE(clear_frames[0] - started, 119);
    EXPECT_LE(clear_frames[0] - started, 121);
    EXPECT_EQ(count_messages("Arrived at M3: route cleared"), 1u);
    EXPECT_EQ(prompt_text(), "Route");
}

// ---- the list changes ------------------------------------------------------------------------

TEST_P(RouteTest, DeletingAnotherMarkerKeepsTheRouteOnItsMarkerAndDeletingItClearsIt) {
    start(4);
    route_to_row(2);  // M2, the list's second marker
    auto delete_row = [&](std::int64_t row) {
        frames(3);
        route_calls_from = session->host.trace.size();
        plugin_state.list_page.selection = row;
        game().held.insert(control_delete);
        frames(1);
    };
    delete_row(3);  // M1, before it in the list: the indices shift down
    ASSERT_EQ(plugin_state.markers.length, 3u);
    EXPECT_EQ(plugin_state.route.marker, 0u);
    EXPECT_STREQ(plugin_state.markers[plugin_state.route.marker].data.name, "M2");
    delete_row(0);  // M4, after it
    EXPECT_STREQ(plugin_state.markers[plugin_state.route.marker].data.name, "M2");
    EXPECT_EQ(route_calls().size(), 0u) << "the game's route stays as it is";
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/2 M3", "2/2 * M2"}));
    plugin_state.list_page.selection = 1;
    frames(1);
    EXPECT_EQ(prompt_text(), "Clear Route");

    delete_row(1);  // M2 itself
    const std::vector<RouteCall> calls = route_calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].native, "gps_route_clear");
    EXPECT_FALSE(plugin_state.route.active);
    EXPECT_TRUE(logged("The routed marker was deleted: route cleared"));
    EXPECT_EQ(labels(), (std::vector<std::string>{"1/1 M3"}));
    EXPECT_EQ(prompt_text(), "Route");
}

TEST_P(RouteTest, AfterADeletionBeforeItArrivalIsAtTheRoutedMarker) {
    start(3);
    route_to_row(0);  // M3, the list's last
    in_script([] {
        RunContext ctx = script_context();
        delete_marker_at(ctx, plugin_state, 0);  // M1
    });
    put_player(marker_position(3));
    frames(70);
    EXPECT_TRUE(logged("Arrived at M3: route cleared"));
    EXPECT_FALSE(plugin_state.route.active);
}

TEST_P(RouteTest, MarkersReadAtLastClearTheRoute) {
    // markers.json is held by another program at the start: the backup is shown meanwhile.
    write_file(quillfen() / "markers.json.bak", markers_file(3));
    const FileFaults held{0, 0, 0, EACCES, 0, 0, 0, "Quillfen/markers.json"};
    inject_file_faults(&held);
    start(3);
    ASSERT_TRUE(plugin_state.persistence.markers_file_unread);
    route_to_row(0);
    inject_file_faults(nullptr);  // let go: read at the next second
    frames(70);
    EXPECT_FALSE(plugin_state.persistence.markers_file_unread);
    EXPECT_FALSE(plugin_state.route.active);
    EXPECT_EQ(clears_since_press(), 2u);
    EXPECT_TRUE(logged("Markers loaded again: route cleared"));
    EXPECT_FALSE(game().gps_route.shown);
}

// ---- the script's end ------------------------------------------------------------------------

TEST_P(RouteTest, AScriptStartedAgainClearsTheLastRunsRoute) {
    start(3);
    route_to_row(0);
    route_calls_from = session->host.trace.size();
    restart_script();
    EXPECT_EQ(clears_since_press(), 1u);
    EXPECT_FALSE(game().gps_route.shown);
    EXPECT_TRUE(logged("Markers loaded again: route cleared"));
    EXPECT_FALSE(plugin_state.route.active);
}

TEST_P(RouteTest, UnloadingWithARouteCallsNoNativeAndSaysTheRouteIsLeft) {
    start(3);
    route_to_row(0);
    route_calls_from = session->host.trace.size();
    // The game takes no native calls on the loader's thread: the host fails the run on one.
    ASSERT_TRUE(end()) << end_error;
    EXPECT_EQ(route_calls().size(), 0u);
    const std::vector<std::string> m = messages();
    ASSERT_GE(m.size(), 2u);
    EXPECT_EQ(m[m.size() - 2],
              "Unloading with the route to M3 still on the map: the game takes no calls while Quillfen unloads, so it "
              "cannot be cleared now, and the game may show it until it restarts");
    EXPECT_EQ(m.back(), "Shutdown");
    // The simulator's summary: the route as the game was left with it.
    const std::string summary = read_file(dir / "sim-summary.json");
    EXPECT_NE(summary.find("\"gps_route\":{\"shown\":true,\"colour\":" + std::to_string(sim_joaat("COLOR_RED")) +
                           ",\"on_foot\":true,\"in_vehicle\":true,\"points\":[[91.5,-9.75,103]],\"clears\":1}"),
              std::string::npos)
        << summary;
}

TEST_P(RouteTest, UnloadingWithoutARouteSaysNothingOfIt) {
    start(3);
    ASSERT_TRUE(end()) << end_error;
    EXPECT_EQ(messages().back(), "Shutdown");
    for (const std::string& m : messages()) EXPECT_EQ(m.find("route"), std::string::npos) << m;
}

// ---- beside the waypoint capture -------------------------------------------------------------

TEST_P(RouteTest, TheWaypointCaptureIsUntouchedByARoute) {
    start(3);
    route_to_row(0);
    route_calls_from = session->host.trace.size();
    game().waypoint_set = true;
    game().waypoint_x = -310.46f;
    game().waypoint_y = 802.27f;
    frames(130);
    ASSERT_EQ(plugin_state.markers.length, 4u) << "the waypoint became a marker";
    EXPECT_FLOAT_EQ(plugin_state.markers[3].data.position.x, -310.46f);
    EXPECT_TRUE(plugin_state.route.active);
    EXPECT_EQ(plugin_state.route.marker, 2u);
    EXPECT_EQ(route_calls().size(), 0u) << "the route is neither cleared nor drawn again";
    EXPECT_TRUE(game().waypoint_set) << "a route is not the player's waypoint";
    EXPECT_TRUE(game().gps_route.shown);
}

TEST_P(RouteTest, WithoutARouteNoRouteNativeIsCalled) {
    start(3);
    navigate(control_menu_down);
    press(control_sort);
    put_player(marker_position(1));
    frames(130);
    game().pressed.insert(control_back);
    frames(5);
    route_calls_from = 0;
    EXPECT_TRUE(route_calls().empty());
    EXPECT_EQ(prompt_text(), "Route");
    EXPECT_FALSE(game().prompts.at(button_prompt(plugin_state, route_button)).visible) << "hidden with the full menu";
}

// The route is drawn in the player's route_colour from settings.ini; without
// one (or with one the game does not offer) in red.
struct ColourCase {
    const char* name;
    const char* settings;
    const char* colour;
};

class RouteColourTest : public RouteFixture, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(RouteColourTest, TheRouteIsDrawnInThePlayersColour) {
    if (*GetParam().settings) write_settings(GetParam().settings);  // else none: a first start writes it
    start(2);
    press(control_route);
    const std::vector<RouteCall> calls = route_calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[1].native, "gps_route_start");
    EXPECT_EQ(static_cast<std::uint32_t>(calls[1].args[0]), sim_joaat(GetParam().colour));
    EXPECT_EQ(game().gps_route.colour, sim_joaat(GetParam().colour));
}

INSTANTIATE_TEST_SUITE_P(Settings, RouteColourTest,
                         ::testing::Values(ColourCase{"NoFile", "", "COLOR_RED"},
                                           ColourCase{"Blue", "route_colour = COLOR_BLUE\n", "COLOR_BLUE"},
                                           ColourCase{"AnyCase", "route_colour = color_green\r\n", "COLOR_GREEN"},
                                           ColourCase{"NotOffered", "route_colour = COLOR_PINK_NOT_A_ROUTE\n",
                                                      "COLOR_RED"}),
                         [](const ::testing::TestParamInfo<ColourCase>& c) { return std::string(c.param.name); });

// ---- a marker whose position is no number ----------------------------------------------------
//
// A markers file may hold NaN or Infinity (JSON5 has them): such a marker is
// listed, but the map cannot show it and the game's route must never get it.

struct NotFinite {
    const char* name;
    float x, y, z;
};

std::ostream& operator<<(std::ostream& out, const NotFinite& c) { return out << c.name; }

constexpr float not_a_number = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

const NotFinite not_finite_positions[] = {
    {"NaNx", not_a_number, 5, 40},
    {"InfinityY", 5, infinity, 40},
    {"MinusInfinityZ", 5, 5, -infinity},
    {"NaNEverywhere", not_a_number, not_a_number, not_a_number},
};

class RouteNotFiniteTest : public RouteFixture, public ::testing::WithParamInterface<NotFinite> {
protected:
    // M1 and M2, and "Bad spot", the newest: the list's first row.
    void start_with_bad_spot() {
        const NotFinite& c = GetParam();
        start(2, "", {{c.x, c.y, c.z, 0, "Bad spot", "", 1765310400000000000LL}});
        frames(1);  // both ticks draw the page
        ASSERT_EQ(labels(), (std::vector<std::string>{"1/3 Bad spot", "2/3 M2", "3/3 M1"}));
    }
    // The middle texts of the rows as the last frame's second tick drew them.
    std::vector<std::string> centre_texts() const {
        const std::vector<DrawnText> all = drawn_texts();
        std::vector<std::string> out;
        for (std::size_t i = all.size() / 2; i < all.size(); ++i) {
            if (all[i].align == "Center" && all[i].in_rows()) out.push_back(all[i].text);
        }
        return out;
    }
    bool enabled() { return game().prompts.at(button_prompt(plugin_state, route_button)).enabled; }
};

INSTANTIATE_TEST_SUITE_P(Positions, RouteNotFiniteTest, ::testing::ValuesIn(not_finite_positions),
                         [](const ::testing::TestParamInfo<NotFinite>& p) { return std::string(p.param.name); });

TEST_P(RouteNotFiniteTest, RouteIsOffOnItsRowTheRowSaysSoAndNothingReachesTheGame) {
    start_with_bad_spot();
    plugin_state.list_page.selection = 1;  // M2: the bad spot's row is not the selected one
    frames(1);
    EXPECT_TRUE(enabled());
    const std::vector<std::string> centre = centre_texts();
    ASSERT_EQ(centre.size(), 3u);
    EXPECT_EQ(centre[0], "Not on the map");
    EXPECT_EQ(centre[2], "105m away") << "M1: sqrt(30.5² + 3.25² + 101²)";

    plugin_state.list_page.selection = 0;
    press(control_route);
    frames(3);
    EXPECT_FALSE(enabled()) << "off on the row whose position the map cannot show";
    EXPECT_TRUE(route_calls().empty()) << "no route native, so no NaN reaches the game";
    EXPECT_FALSE(plugin_state.route.active);
    EXPECT_EQ(prompt_text(), "Route");
    for (const std::string& m : messages()) EXPECT_EQ(m.rfind("Route to", 0), std::string::npos) << m;
    EXPECT_EQ(labels()[0], "1/3 Bad spot") << "no routed mark";

    // Asked from elsewhere all the same: refused, and the route to M2 stays as it was.
    route_to_row(1);
    in_script([] {
        RunContext ctx = script_context();
        EXPECT_FALSE(start_route(ctx, plugin_state, 2));  // "Bad spot" is the third marker of the file
    });
    EXPECT_EQ(plugin_state.route.marker, 1u);
    for (const SimTraceEntry* e : action_calls("gps_route_add_point")) {
        for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(std::isfinite(f32_of(e->args[i])));
    }
    EXPECT_TRUE(action_calls("gps_route_clear").empty());
    navigate(control_menu_up);  // to "Bad spot"
    EXPECT_FALSE(enabled());
    navigate(control_menu_down);
    EXPECT_TRUE(enabled());
    EXPECT_EQ(prompt_text(), "Clear Route");
}

// ---- what the log calls the routed marker --------------------------------------------------
//
// Every line names the routed marker as the list does: at unload, where the
// game takes no calls, by the place it was called by when the route began.

struct UnloadName {
    const char* name;
    const char* marker_name;  // the routed marker's name in the file ("": none)
    float x;                  // 500: in "Valentine"; elsewhere no place has a name
    const char* renamed_to;   // null: not renamed after the route began
    const char* row;          // the routed row's label
    const char* called;       // in the "Route to" line and the line at unload
};

std::ostream& operator<<(std::ostream& out, const UnloadName& c) { return out << c.name; }

const UnloadName unload_names[] = {
    {"UnnamedInAPlace", "", 500, nullptr, "1/3 * Valentine", "Valentine"},
    {"NamedThenNameRemoved", "Camp", 500, "", "1/3 * Valentine", "Camp"},
    {"UnnamedNowhere", "", 800, nullptr, "1/3 * Marker (Flag)", "Marker (Flag)"},
    {"Named", "Camp", 500, nullptr, "1/3 * Camp", "Camp"},
};

class RouteUnloadNameTest : public RouteFixture, public ::testing::WithParamInterface<UnloadName> {};

INSTANTIATE_TEST_SUITE_P(Markers, RouteUnloadNameTest, ::testing::ValuesIn(unload_names),
                         [](const ::testing::TestParamInfo<UnloadName>& p) { return std::string(p.param.name); });

TEST_P(RouteUnloadNameTest, TheUnloadLineNamesTheRoutedMarkerAsTheListDid) {
    const UnloadName& c = GetParam();
    start(2, R"(, zones: [{type: "TEXT_WRITTEN", hash: "0x00000101", text: "Valentine", rect: [490, 490, 510, 510]}])",
          {{c.x, 500, 0, 0, c.marker_name, "", 1765310400000000000LL}});
    route_to_row(0);
    const std::string metres = std::to_string(whole_metres(std::sqrt(c.x * c.x + 500.0f * 500.0f)));
    EXPECT_TRUE(logged(std::string("Route to ") + c.called + " (" + metres + "m)"));
    if (c.renamed_to) {
        in_script([&] {
            RunContext ctx = script_context();
            rename_marker(ctx, plugin_state, plugin_state.markers[2], c.renamed_to);
        });
    }
    frames(1);
    EXPECT_EQ(labels()[0], c.row);
    const std::string routed = std::string(c.row).substr(std::string("1/3 * ").size());
    ASSERT_TRUE(end()) << end_error;
    const std::vector<std::string> m = messages();
    ASSERT_GE(m.size(), 2u);
    EXPECT_EQ(m[m.size() - 2], "Unloading with the route to " + routed +
                                   " still on the map: the game takes no calls while Quillfen unloads, so it cannot "
                                   "be cleared now, and the game may show it until it restarts");
}
