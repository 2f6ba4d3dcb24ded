// The player's settings in the simulated game: the file written at the first
// start, a file that hides categories and turns capture off, a bad line named
// while the rest holds, an edit made while the game runs, and the full menu's
// two switches with the map, the list and the file following them.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>

#include "sim_fixture.h"
#include "src/map/blips.h"
#include "src/markers/marker_editing.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/settings/settings.h"
#include "tests/support/file_faults.h"

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
        begin(
            "{frames: 100000, world: {player: {position: [0, 0, 0]}, window: {width: 1920, height: 1080, x: 100, y: "
            "50}}}");
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
    // The last of them; nothing when there is none.
    std::string last_error() const {
        const std::vector<std::string> all = errors();
        return all.empty() ? std::string() : all.back();
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
    // The switches are on the ring over the map.
    void open_ring() {
        game().map_open = true;
        frames(30);  // the ring settles
        ASSERT_EQ(plugin_state.menu.state, MENU_RING);
    }
    // Points the mouse at the ring's tile of `category`.
    void point_at_tile(std::int64_t category) {
        const ScreenRect tile = plugin_state.category_page.tiles.data[category];
        const SimWindow& w = game().window;
        game().cursor_x = w.x + static_cast<std::int32_t>(tile.x * static_cast<float>(w.width));
        game().cursor_y = w.y + static_cast<std::int32_t>(tile.y * static_cast<float>(w.height));
        frames(6);
        ASSERT_EQ(plugin_state.current_category, category);
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

// `text` as an editor saves it as "Unicode": UTF-16, little-endian, with its BOM.
std::string utf16_le(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t u : text) bytes += std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    return bytes;
}

// Gives the file the modification time `unix_ns`.
void set_modified(const std::filesystem::path& path, std::int64_t unix_ns) {
    const timespec t{static_cast<time_t>(unix_ns / 1'000'000'000), static_cast<long>(unix_ns % 1'000'000'000)};
    const timespec times[2] = {t, t};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << errno;
}

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

    open_ring();
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
    open_ring();
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

    // the ring's next tile: the prompt names its own state
    point_at_tile(1);
    press(control_hide);
    point_at_tile(0);
    EXPECT_EQ(prompt(button_prompt(plugin_state, hide_button)).text, "Hide on Map");
    point_at_tile(1);
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
    open_ring();
    press(control_capture);
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off);
    EXPECT_EQ(errors().back(),
              "Could not write the change into Quillfen/settings.ini: a directory. It holds until the game quits");
    EXPECT_TRUE(std::filesystem::is_directory(quillfen() / "settings.ini"));
    frames(6 * frames_per_second);
    EXPECT_EQ(errors().size(), 2u) << "the directory is not named again at every look";
    ASSERT_TRUE(end());
}

// ---- what a switch does not write -----------------------------------------------------------

TEST_F(SettingsTest, ASwitchThatWouldTakeTheFilePast64KiBIsNotWrittenAndHoldsInTheGame) {
    // Exactly as big as a start reads; "false" is one byte longer than "true".
    const std::string line = "capture_waypoints = true\r\n";
    const std::string file = line + "; " + std::string(settings_file_most_bytes - line.size() - 4, 'x') + "\r\n";
    ASSERT_EQ(file.size(), settings_file_most_bytes);
    start(one_of_each(), file);
    open_ring();
    press(control_capture);
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off);
    EXPECT_TRUE(settings_text() == file) << "the next start would not read 65537 bytes";
    EXPECT_EQ(errors(), (std::vector<std::string>{
                            "Could not write the change into Quillfen/settings.ini: with it the file would be 65537 "
                            "bytes, more than a settings file can be (65536); remove comments or blank lines to make "
                            "room. It holds until the game quits"}));
    frames(6 * frames_per_second);
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off) << "it holds until the game quits";
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, AFileTooBigWhoseTimeIsAheadOfTheClockIsNamedOnceAndASwitchHoldsUntilTheGameQuits) {
    // Its time an hour ahead: every look reads it again.
    const std::string file = "capture_waypoints = true\n; " + std::string(settings_file_most_bytes, 'x') + "\n";
    write_markers(one_of_each());
    write_settings(file);
    set_modified(quillfen() / "settings.ini", SimScenario{}.start_time_ns + 3600 * 1'000'000'000LL);
    begin(
        "{frames: 100000, world: {player: {position: [0, 0, 0]}, window: {width: 1920, height: 1080, x: 100, y: 50}}}");
    frames(1);
    const std::vector<std::string> named{
        "Quillfen/settings.ini is " + std::to_string(file.size()) +
        " bytes, more than a settings file can be (65536): every setting is at its default, and Quillfen leaves it "
        "alone; remove it to have it written anew"};
    EXPECT_EQ(errors(), named);
    frames(20 * frames_per_second);
    EXPECT_EQ(errors(), named) << "one line for the cause, not one at every look";

    open_ring();
    press(control_capture);
    ASSERT_TRUE(plugin_state.settings.in_force.capture_off);
    EXPECT_EQ(last_error(),
              "Could not write the change into Quillfen/settings.ini: it is bigger than a settings file can be (65536 "
              "bytes). It holds until the game quits");
    frames(20 * frames_per_second);
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off) << "it holds until the game quits, as its line says";
    EXPECT_EQ(errors().size(), 2u);
    EXPECT_EQ(settings_text(), file);
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, ASwitchThatCouldNotBeWrittenHoldsOverAnEditByHand) {
    start(one_of_each(), "hidden_on_map = 2\n");
    const auto path = quillfen() / "settings.ini";
    const auto read_only =
        std::filesystem::perms::owner_read | std::filesystem::perms::group_read | std::filesystem::perms::others_read;
    std::filesystem::permissions(path, read_only);
    open_ring();
    point_at_tile(4);
    press(control_hide);  // Foe: not written
    ASSERT_EQ(plugin_state.settings.in_force.hidden_on_map, 0b10010u);
    ASSERT_EQ(settings_text(), "hidden_on_map = 2\n");
    // Writable again, and edited by hand: Pin and ? hidden, fewer blips.
    std::filesystem::permissions(path, read_only | std::filesystem::perms::owner_write);
    write_settings("hidden_on_map = 2, 3\nblip_limit = 40\n");
    frames(6 * frames_per_second);
    EXPECT_EQ(settings_blip_limit(plugin_state.settings.in_force), 40) << "the edit is read";
    EXPECT_EQ(plugin_state.settings.in_force.hidden_on_map, 0b10110u) << "and Foe, switched in the game, stays hidden";
    EXPECT_EQ(blips_by_category().count(4), 0u);

    // A switch written again: the file holds every category in force, Foe too.
    point_at_tile(5);
    press(control_hide);
    EXPECT_EQ(settings_text(), "hidden_on_map = 2, 3, 5, 6\nblip_limit = 40\n");
    write_settings("hidden_on_map = 2\nblip_limit = 40\n");
    frames(6 * frames_per_second);
    EXPECT_EQ(plugin_state.settings.in_force.hidden_on_map, 0b10u) << "once written, an edit by hand counts again";
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, AReadOnlyFileStaysReadOnlyAndTheSwitchSaysItCouldNotWriteIt) {
    const std::string file = "capture_waypoints = true\nblip_limit = 300\n";
    start(one_of_each(), file);
    const auto path = quillfen() / "settings.ini";
    const auto read_only =
        std::filesystem::perms::owner_read | std::filesystem::perms::group_read | std::filesystem::perms::others_read;
    std::filesystem::permissions(path, read_only);
    open_ring();
    press(control_capture);
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off);
    EXPECT_EQ(settings_text(), file);
    EXPECT_EQ(std::filesystem::status(path).permissions(), read_only) << "still read-only";
    EXPECT_EQ(last_error(),
              "Could not write the change into Quillfen/settings.ini: it is read-only; clear its read-only mark "
              "(Properties, Read-only) to have switches written. It holds until the game quits");

    // Writable, but the replace refused (as Windows refuses a file another program holds).
    std::filesystem::permissions(path, read_only | std::filesystem::perms::owner_write);
    FileFaults refused{};
    refused.replace_error = EACCES;
    inject_file_faults(&refused);
    press(control_capture);
    inject_file_faults(nullptr);
    EXPECT_FALSE(plugin_state.settings.in_force.capture_off);
    EXPECT_EQ(settings_text(), file);
    EXPECT_EQ(last_error(),
              "Could not write the change into Quillfen/settings.ini: EACCES (it may be read-only, or held by another "
              "program). It holds until the game quits");
    ASSERT_TRUE(end());
}

// ---- line ends and encodings ----------------------------------------------------------------

TEST_F(SettingsTest, AFileWithCrLineEndsHoldsAndASwitchKeepsEveryOtherLineAndItsLineEnds) {
    const std::string file = "; mine\rcapture_waypoints = false\rhidden_on_map = 2\rblip_limit = 300\r";
    start(one_of_each(), file);
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off);
    EXPECT_EQ(plugin_state.settings.in_force.hidden_on_map, 0b10u);
    EXPECT_EQ(settings_blip_limit(plugin_state.settings.in_force), 300);
    EXPECT_TRUE(errors().empty());
    open_ring();
    press(control_capture);
    EXPECT_EQ(settings_text(), "; mine\rcapture_waypoints = true\rhidden_on_map = 2\rblip_limit = 300\r");
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, AUtf16FileIsReadNamedOnceAndNeverWrittenInto) {
    const std::string file = utf16_le(u"; mine\r\ncapture_waypoints = false\r\nhidden_on_map = Foe\r\n");
    start(one_of_each(), file);
    const std::string named =
        "Quillfen/settings.ini is UTF-16 text (what some editors call \"Unicode\"): Quillfen reads it, but cannot "
        "write the switches of the game into it; save it as UTF-8 (in Notepad: Save As, Encoding UTF-8)";
    EXPECT_EQ(errors(), std::vector<std::string>{named});
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off);
    EXPECT_EQ(plugin_state.settings.in_force.hidden_on_map, 0b10000u);
    open_ring();
    press(control_capture);
    EXPECT_FALSE(plugin_state.settings.in_force.capture_off) << "the switch holds in the game";
    EXPECT_EQ(settings_text(), file) << "no UTF-8 written into it";
    EXPECT_EQ(last_error(),
              "Could not write the change into Quillfen/settings.ini: it is UTF-16 text; save it as UTF-8 (in "
              "Notepad: Save As, Encoding UTF-8) to have switches written. It holds until the game quits");
    frames(11 * frames_per_second);
    EXPECT_EQ(errors().size(), 2u) << "named once, not at every look";
    EXPECT_FALSE(plugin_state.settings.in_force.capture_off);
    ASSERT_TRUE(end());
}

// ---- reads while the file is rewritten ------------------------------------------------------

TEST_F(SettingsTest, ARewriteCaughtHalfWayKeepsTheSettingsInForceUntilTheFileIsWhole) {
    // The file is looked at 5 s after the start; then a second after a read
    // that changed something or was held back.
    start(one_of_each(), "capture_waypoints = false\nhidden_on_map = 2\nblip_limit = 40\n");
    const Settings before = plugin_state.settings.in_force;
    ASSERT_EQ(before.hidden_on_map, 0b10u);
    const auto frames_as_before = [&](int count) {
        for (int f = 0; f < count; ++f) {
            frames(1);
            ASSERT_TRUE(settings_equal(plugin_state.settings.in_force, before)) << "frame " << game().frame;
        }
    };
    frames(frames_per_second);
    // An editor saving in place: emptied (read at 5 s), then written from
    // the top, still cut short (read at 6 s), then whole (read at 7 s).
    write_settings("");
    frames_as_before(frames_per_second * 9 / 2);
    write_settings("capture_waypoints = false\nhidden_on");
    frames_as_before(frames_per_second);
    write_settings("capture_waypoints = false\nhidden_on_map = 3\nblip_limit = 40\n");
    frames(frames_per_second);
    EXPECT_EQ(plugin_state.settings.in_force.hidden_on_map, 0b100u) << "the whole file within a second";
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off);
    EXPECT_EQ(count_logged(in_force_line), 2);
    EXPECT_TRUE(errors().empty()) << "nothing said of the halves";

    // Emptied and left so: what the player saved, put in force a second later.
    write_settings("");
    frames(3 * frames_per_second);
    EXPECT_TRUE(settings_equal(plugin_state.settings.in_force, Settings{}));
    EXPECT_TRUE(logged(in_force_line + "every setting at its default"));
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, ARewriteOfTheSameSizeWithinTheFileSystemsCoarseTimeIsRead) {
    // FAT32 keeps a file's time to 2 seconds: both writes get the same time.
    const std::int64_t start_ns = SimScenario{}.start_time_ns;
    write_markers(one_of_each());
    write_settings("blip_limit = 40\n");
    set_modified(quillfen() / "settings.ini", start_ns);
    begin(
        "{frames: 100000, world: {player: {position: [0, 0, 0]}, window: {width: 1920, height: 1080, x: 100, y: 50}}}");
    frames(frames_per_second);
    ASSERT_EQ(settings_blip_limit(plugin_state.settings.in_force), 40);
    write_settings("blip_limit = 50\n");
    set_modified(quillfen() / "settings.ini", start_ns);
    frames(5 * frames_per_second);
    EXPECT_EQ(settings_blip_limit(plugin_state.settings.in_force), 50);
    EXPECT_TRUE(logged(in_force_line + "blip_limit = 50"));
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, AFileThatCannotBeLookedAtOrReadSaysSoAndTheSettingsInForceStay) {
    start(one_of_each(), "hidden_on_map = 2\n");
    // Its attributes denied: the switch says that, and is not written.
    FileFaults no_look{};
    no_look.info_error = EACCES;
    no_look.read_error_path = "Quillfen/settings.ini";
    inject_file_faults(&no_look);
    open_ring();
    press(control_capture);
    inject_file_faults(nullptr);
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off);
    EXPECT_EQ(settings_text(), "hidden_on_map = 2\n");
    EXPECT_EQ(errors(), (std::vector<std::string>{"Could not write the change into Quillfen/settings.ini: Quillfen "
                                                  "cannot look at it (EACCES). It holds until the game quits"}));

    // Changed, then held by another program: what is in force stays, said once.
    FileFaults held{};
    held.read_error = EACCES;
    held.read_error_path = "Quillfen/settings.ini";
    inject_file_faults(&held);
    write_settings("hidden_on_map = 3\nblip_limit = 9\n");
    frames(11 * frames_per_second);
    EXPECT_EQ(plugin_state.settings.in_force.hidden_on_map, 0b10u);
    EXPECT_TRUE(plugin_state.settings.in_force.capture_off);
    EXPECT_EQ(last_error(),
              "Could not read Quillfen/settings.ini (EACCES): the settings in force stay until it can be read");
    EXPECT_EQ(errors().size(), 2u);
    inject_file_faults(nullptr);
    frames(6 * frames_per_second);
    EXPECT_EQ(plugin_state.settings.in_force.hidden_on_map, 0b100u) << "read once it can be";
    EXPECT_EQ(settings_blip_limit(plugin_state.settings.in_force), 9);
    ASSERT_TRUE(end());
}

// ---- categories by name, and capture switched on by an edit ---------------------------------

TEST_F(SettingsTest, CategoriesNamedInTheFileHideTheirBlipsAndASwitchWritesNames) {
    start(one_of_each(), "hidden_on_map = Foe, animal\n");
    frames(frames_per_second);
    const std::map<std::int64_t, int> want{{0, 1}, {1, 1}, {2, 1}, {3, 1}, {5, 1}, {6, 1}, {8, 1}, {9, 1}};
    EXPECT_EQ(blips_by_category(), want) << "Foe (5) and Animal (8) hold no blip";
    EXPECT_TRUE(logged(in_force_line + "hidden_on_map = 5, 8"));
    open_ring();
    press(control_hide);
    EXPECT_EQ(settings_text(), "hidden_on_map = Flag, Foe, Animal\n");
    EXPECT_TRUE(errors().empty());
    ASSERT_TRUE(end());
}

TEST_F(SettingsTest, CaptureSwitchedOnInTheFileTakesOnlyAWaypointSetAfterwards) {
    start(one_of_each(), "capture_waypoints = false\n");
    set_waypoint(500, 500);
    frames(2 * frames_per_second);
    write_settings("capture_waypoints = true\n");
    frames(6 * frames_per_second);
    ASSERT_FALSE(plugin_state.settings.in_force.capture_off);
    frames(3 * frames_per_second);
    EXPECT_EQ(plugin_state.markers.length, 10u) << "the waypoint set while capture was off makes no marker";
    set_waypoint(800, 800);
    frames(2 * frames_per_second);
    EXPECT_EQ(plugin_state.markers.length, 11u);
    ASSERT_TRUE(end());
}
