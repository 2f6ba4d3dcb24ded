// The player's settings in the simulated game: the file written at the first
// start, a file that hides categories and turns capture off, a bad line named
// while the rest holds, an edit made while the game runs, and the full menu's
// two switches with the map, the list and the file following them.
#include <algorithm>
#include <map>

#include "sim_fixture.h"
#include "src/map/blips.h"
#include "src/markers/marker_editing.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/settings/settings.h"

namespace {

constexpr int frames_per_second = 60;

// `per_category` markers of each category given, 20 apart on the x axis, in
// category order; the player stands at the origin.
std::string markers_of(const std::vector<std::pair<int, int>>& per_category) {
    std::string s = "{\"markers\": [";
    int i = 0;
    for (const auto& [category, count] : per_category) {
        for (int n = 0; n < count; ++n, ++i) {
            s += "{\"position\": [" + std::to_string(20 * (i + 1)) +
                 ", 0, 0], \"category\": " + std::to_string(category) + "},";
        }
    }
    return s + "]}";
}

// One marker of each of the ten categories.
std::string one_of_each() {
    std::vector<std::pair<int, int>> all;
    for (int c = 0; c < 10; ++c) all.push_back({c, 1});
    return markers_of(all);
}

class SettingsTest : public SimTest {
protected:
    void start(const std::string& markers, const std::string& settings, bool write = true) {
        write_markers(markers);
        if (write) write_settings(settings);
        begin("{frames: 100000, world: {player: {position: [0, 0, 0]}}}");
        frames(1);
    }
    std::string settings_text() const { return read_file(quillfen() / "settings.ini"); }
    // The categories (0-based) of the markers holding a live blip, with how many each.
    std::map<std::int64_t, int> blips_by_category() {
        std::map<std::int64_t, int> out;
        for (const Marker& m : plugin_state.markers) {
            if (m.blip != 0 && game().blips.count(m.blip)) ++out[m.data.category];
        }
        return out;
    }
    // The log's error lines about the settings file (a place without a name is an error line of its own).
    std::vector<std::string> errors() const {
        std::vector<std::string> out;
        for (const std::string& l : log_lines()) {
            if (l.rfind("[ERROR]", 0) == 0 && l.find("settings.ini") != std::string::npos) {
                out.push_back(log_message_of(l));
            }
        }
        return out;
    }
    long count_logged(const std::string& start) const {
        long n = 0;
        for (const std::string& m : messages()) n += m.rfind(start, 0) == 0;
        return n;
    }
    void set_waypoint(float x, float y) {
        game().waypoint_set = true;
        game().waypoint_x = x;
        game().waypoint_y = y;
    }
    void open_full_menu() {
        game().map_open = true;
        frames(1);
        game().pressed.insert(control_edit_markers);
        frames(1);
        ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
        frames(5);  // past the press
    }
    void press(Hash control) {
        game().pressed.insert(control);
        frames(1);
        frames(5);  // past the press
    }
    const SimPrompt& prompt(Prompt p) { return game().prompts.at(p); }
    // The alpha the tile of `category` drew its icon with in the last frame.
    std::int64_t tile_icon_alpha(std::int64_t category) {
        const char* sprite = plugin_state.categories[static_cast<std::size_t>(category)].sprite;
        std::int64_t alpha = -1;
        for (auto* e : calls("draw_sprite", game().frame - 1)) {
            if (e->texts[1] == sprite) alpha = static_cast<std::int32_t>(e->args[10]);
        }
        return alpha;
    }
};

const std::string in_force_line = "Settings in force (Quillfen/settings.ini): ";

}  // namespace

TEST_F(SettingsTest, TheFirstStartWritesEveryKeyAtItsDefaultAndSaysNothing) {
    start(one_of_each(), "", false);
    EXPECT_EQ(settings_text(), default_settings_text());
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(count_logged(in_force_line), 0);
    frames(frames_per_second);
    EXPECT_EQ(blips_by_category().size(), 10u) << "every category on the map";
    EXPECT_EQ(plugin_state.settings.in_force.route_colour_hash, sim_joaat("COLOR_RED"));
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, AFileThatHidesTwoCategoriesAndTurnsCaptureOffGivesThoseBlipsAndNoCapture) {
    const std::string file = "; mine\ncapture_waypoints = false\nhidden_on_map = 2, 5\n";
    start(one_of_each(), file);
    frames(frames_per_second);
    const std::map<std::int64_t, int> want{{0, 1}, {2, 1}, {3, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 1}};
    EXPECT_EQ(blips_by_category(), want) << "categories 2 (Pin) and 5 (Foe) hold no blip";
    EXPECT_TRUE(logged(in_force_line + "capture_waypoints = false, hidden_on_map = 2, 5"));

    set_waypoint(500, 500);
    frames(3 * frames_per_second);
    EXPECT_EQ(plugin_state.markers.length, 10u) << "a waypoint gives no marker";
    EXPECT_EQ(count_logged("Auto-created"), 0);
    EXPECT_EQ(settings_text(), file) << "read, never rewritten";
    EXPECT_TRUE(errors().empty());
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, AMarkerMovedIntoAHiddenCategoryLosesItsBlipAndOneMovedOutGetsOne) {
    start(one_of_each(), "hidden_on_map = 2\n");
    frames(frames_per_second);
    ASSERT_EQ(blips_by_category().count(1), 0u);
    ASSERT_EQ(blips_by_category().count(0), 1u);
    // The Flag marker into Pin, which the map hides, then on into the next category.
    const auto flag = static_cast<std::int64_t>(std::find_if(plugin_state.markers.begin(), plugin_state.markers.end(),
                                                             [](const Marker& m) { return m.data.category == 0; }) -
                                                plugin_state.markers.begin());
    for (const std::int64_t to : {1, 2}) {
        in_script([&] {
            RunContext ctx = script_context();
            ASSERT_TRUE(move_marker_to_category(ctx, plugin_state, flag, to));
        });
        for (int f = 0; f < frames_per_second; ++f) {
            frames(1);
            if (to == 1) {
                ASSERT_EQ(plugin_state.markers[static_cast<std::size_t>(flag)].blip, 0) << "frame " << f;
            }
        }
        const std::map<std::int64_t, int> blips = blips_by_category();
        EXPECT_EQ(blips.count(0), 0u);
        EXPECT_EQ(blips.count(1), 0u) << "moved into hidden Pin: no blip";
        if (to == 2) {
            EXPECT_EQ(blips.at(2), 2) << "moved out of it into the next category: its blip again";
        }
    }
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, ABadLineIsNamedWithItsNumberAndTheRestOfTheFileStillHolds) {
    const std::string markers = one_of_each();
    start(markers, "hidden_on_map = 3\r\nblip_limt = 5\r\ncapture_waypoints = false\r\nblip_limit = 0\r\n");
    frames(frames_per_second);
    EXPECT_EQ(errors(),
              (std::vector<std::string>{
                  "Quillfen/settings.ini line 2: unknown key \"blip_limt\", ignored; did you mean blip_limit?",
                  "Quillfen/settings.ini line 4: blip_limit takes a whole number from 1 to 500, not \"0\"; using the "
                  "default, blip_limit = 500"}));
    EXPECT_EQ(blips_by_category().count(2), 0u);
    EXPECT_EQ(blips_by_category().size(), 9u);
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off);
    EXPECT_EQ(read_file(quillfen() / "markers.json"), markers) << "the markers are not touched";
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, AnEditWhileTheGameRunsHoldsWithinFiveSecondsAndIsReadOnce) {
    start(one_of_each(), default_settings_text());
    frames(frames_per_second);
    ASSERT_EQ(blips_by_category().size(), 10u);

    write_settings("; only flags off the map\nhidden_on_map = 1\nblip_limit = 4\n");
    frames(frames_per_second);
    EXPECT_EQ(blips_by_category().size(), 10u) << "not looked at in every frame";
    frames(5 * frames_per_second);
    const std::map<std::int64_t, int> nearest_four{{1, 1}, {2, 1}, {3, 1}, {4, 1}};
    EXPECT_EQ(blips_by_category(), nearest_four) << "no Flag, and the nearest four of the rest";
    EXPECT_EQ(count_logged(in_force_line), 1);
    EXPECT_TRUE(logged(in_force_line + "hidden_on_map = 1, blip_limit = 4"));
    EXPECT_TRUE(logged("Showing the nearest 4 of 9 markers on the map")) << "the hidden one is not counted";
    frames(6 * frames_per_second);
    EXPECT_EQ(count_logged(in_force_line), 1) << "an unchanged file is not read again";

    write_settings("; back to the defaults, and longer than before\n");
    frames(6 * frames_per_second);
    EXPECT_EQ(blips_by_category().size(), 10u);
    EXPECT_TRUE(logged(in_force_line + "every setting at its default"));
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, CaptureSwitchedOffAndOnAgainTakesOnlyAWaypointSetAfterwards) {
    const std::string file = "# capture off while I shop\r\ncapture_waypoints = false\r\nblip_limit = 300\r\n";
    start(one_of_each(), file);
    set_waypoint(500, 500);
    frames(2 * frames_per_second);
    ASSERT_EQ(plugin_state.markers.length, 10u);

    open_full_menu();
    EXPECT_EQ(prompt(button_prompt(plugin_state, capture_button)).text, "Capture: Off");
    EXPECT_EQ(prompt(button_prompt(plugin_state, capture_button)).control, sim_joaat("INPUT_FRONTEND_SELECT"));
    EXPECT_TRUE(prompt(button_prompt(plugin_state, capture_button)).enabled);
    press(control_capture);
    EXPECT_EQ(prompt(button_prompt(plugin_state, capture_button)).text, "Capture: On");
    EXPECT_EQ(settings_text(), "# capture off while I shop\r\ncapture_waypoints = true\r\nblip_limit = 300\r\n");
    frames(3 * frames_per_second);
    EXPECT_EQ(plugin_state.markers.length, 10u) << "the waypoint set while capture was off makes no marker";

    set_waypoint(800, 800);
    frames(2 * frames_per_second);
    ASSERT_EQ(plugin_state.markers.length, 11u) << "a waypoint set after it does";
    EXPECT_EQ(plugin_state.markers[10].data.position.x, 800.0f);
    EXPECT_EQ(count_logged("Auto-created"), 1);

    press(control_capture);
    EXPECT_EQ(prompt(button_prompt(plugin_state, capture_button)).text, "Capture: Off");
    EXPECT_EQ(settings_text(), file);
    set_waypoint(1500, 1500);
    frames(3 * frames_per_second);
    EXPECT_EQ(plugin_state.markers.length, 11u);
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, HidingACategoryTakesItsBlipsWithinASecondInsideTheFramesRoomAndShowingBringsThemBack) {
    // 450 Flags (the current category) and 50 Pins: 500 blips to begin with.
    const std::string file = "\xEF\xBB\xBF; my own comment\r\n\r\nhidden_on_map = 10\r\n; the end\r\n";
    start(markers_of({{0, 450}, {1, 50}}), file);
    frames(frames_per_second);
    ASSERT_EQ(blips_by_category(), (std::map<std::int64_t, int>{{0, 450}, {1, 50}}));
    open_full_menu();
    EXPECT_EQ(prompt(button_prompt(plugin_state, hide_button)).text, "Hide on Map");
    EXPECT_EQ(prompt(button_prompt(plugin_state, hide_button)).control, sim_joaat("INPUT_GAME_MENU_TAB_LEFT"));
    const std::int64_t shown_alpha = tile_icon_alpha(0);

    const std::int64_t pressed_at = game().frame;
    game().pressed.insert(control_hide);
    frames(1);
    EXPECT_EQ(settings_text(), "\xEF\xBB\xBF; my own comment\r\n\r\nhidden_on_map = 1, 10\r\n; the end\r\n")
        << "only that line changed";
    frames(frames_per_second - 1);
    EXPECT_EQ(blips_by_category(), (std::map<std::int64_t, int>{{1, 50}}));
    std::size_t most = 0;
    for (std::int64_t f = pressed_at; f < game().frame; ++f) most = std::max(most, natives_in_frame(f).size());
    EXPECT_LE(most, frame_native_ceiling) << "the blips go a frame's room at a time";
    EXPECT_EQ(prompt(button_prompt(plugin_state, hide_button)).text, "Show on Map");
    EXPECT_EQ(tile_icon_alpha(0), shown_alpha / 2) << "its tile dimmed";
    EXPECT_EQ(tile_icon_alpha(1), 128) << "another tile as it was";
    EXPECT_EQ(plugin_state.list_page.rows.length, 450u) << "its markers stay listed";

    press(control_hide);
    frames(frames_per_second);
    EXPECT_EQ(blips_by_category(), (std::map<std::int64_t, int>{{0, 450}, {1, 50}}));
    EXPECT_EQ(settings_text(), file);
    EXPECT_EQ(prompt(button_prompt(plugin_state, hide_button)).text, "Hide on Map");
    EXPECT_EQ(tile_icon_alpha(0), shown_alpha);

    // the next category: the prompt names its own state
    game().just_pressed.insert(control_menu_right);
    frames(6);
    ASSERT_EQ(plugin_state.current_category, 1);
    press(control_hide);
    game().just_pressed.insert(control_menu_left);
    frames(6);
    ASSERT_EQ(plugin_state.current_category, 0);
    EXPECT_EQ(prompt(button_prompt(plugin_state, hide_button)).text, "Hide on Map");
    game().just_pressed.insert(control_menu_right);
    frames(6);
    EXPECT_EQ(prompt(button_prompt(plugin_state, hide_button)).text, "Show on Map");
    EXPECT_EQ(settings_text(), "\xEF\xBB\xBF; my own comment\r\n\r\nhidden_on_map = 2, 10\r\n; the end\r\n");
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, WhatIsNotAFileIsLeftAloneAndASwitchHoldsUntilTheGameQuits) {
    write_markers(one_of_each());
    std::filesystem::create_directories(quillfen() / "settings.ini");
    begin("{frames: 100000}");
    frames(1);
    EXPECT_EQ(errors(), (std::vector<std::string>{"Quillfen/settings.ini is a directory, not a settings file: every "
                                                  "setting is at its default, and Quillfen leaves it alone"}));
    open_full_menu();
    press(control_capture);
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off);
    EXPECT_EQ(errors().back(),
              "Could not write the change into Quillfen/settings.ini: a directory. It holds until the game quits");
    EXPECT_TRUE(std::filesystem::is_directory(quillfen() / "settings.ini"));
    frames(6 * frames_per_second);
    EXPECT_EQ(errors().size(), 2u) << "the directory is not named again at every look";
    ASSERT_TRUE(end());
}
