// The menu in the simulated game: its states with their sounds and prompts,
// the pending rename, the category ring, and a whole visit to the menu.
#include "src/menu/menu.h"
#include "sim_fixture.h"
#include "src/collections/collections.h"
#include "src/map/gps_route.h"
#include "src/markers/marker_editing.h"
#include "src/menu/category_page.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/marker_search.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/scripthook/native_call.h"
#include "src/scripthook/natives.h"
#include "src/settings/settings.h"

namespace {

class MenuTest : public SimTest, public ::testing::WithParamInterface<const char*> {
protected:
    // A game where the map can be opened; the repeated-query behaviour of this run.
    void start(const Scenario& extra = {}) {
        begin(Scenario()
                  .with("frames", 10000)
                  .with("world", "{window: {width: 1920, height: 1080, x: 100, y: 50}}")
                  .with("repeat_answers", quoted(GetParam()))
                  .with(extra));
        frames(1);
    }
    std::vector<std::string> sounds_of_last_frame() {
        std::vector<std::string> out;
        for (auto* e : calls("play_menu_sound", game().frame - 1)) out.push_back(e->texts[0]);
        return out;
    }
    const SimPrompt& prompt(Prompt p) { return game().prompts.at(p); }
    void open_map() {
        game().map_open = true;
        frames(1);
    }
    void press(std::uint32_t control) {
        game().pressed.insert(control);
        frames(1);
    }
};

constexpr std::uint32_t edit_markers = control_edit_markers, back = control_back;

}  // namespace

INSTANTIATE_TEST_SUITE_P(RepeatedQueries, MenuTest, ::testing::ValuesIn(repeat_answer_modes));

TEST_P(MenuTest, PromptsAreMadeOnceWithOnlyTheRingsShown) {
    start();
    const SimPrompt& edit = prompt(button_prompt(plugin_state, edit_markers_button));
    EXPECT_EQ(edit.control, edit_markers);
    EXPECT_EQ(edit.text, "Edit Markers");
    EXPECT_TRUE(edit.in_group);
    EXPECT_EQ(edit.group, sim_map_prompt_group);
    EXPECT_TRUE(edit.enabled && edit.visible);
    EXPECT_EQ(edit.priority, 2);
    const SimPrompt& sort = prompt(button_prompt(plugin_state, sort_button));
    EXPECT_EQ(sort.text, "Sort: Time");
    EXPECT_FALSE(sort.enabled || sort.visible);
    const SimPrompt& del = prompt(button_prompt(plugin_state, delete_button));
    EXPECT_TRUE(del.hold_mode);
    EXPECT_EQ(del.hold_time, 1000);
    EXPECT_EQ(prompt(button_prompt(plugin_state, rename_button)).control, control_rename);
    EXPECT_EQ(prompt(button_prompt(plugin_state, back_button)).text, "Back");
    const SimPrompt& route = prompt(button_prompt(plugin_state, route_button));
    EXPECT_EQ(route.control, control_route);
    EXPECT_EQ(route.text, "Route");
    EXPECT_FALSE(route.hold_mode || route.in_group || route.enabled || route.visible);
    EXPECT_EQ(route.priority, 2);
    // The route's, the undo's, the search's and the move's prompts are made after the six, then the settings' two
    // switches.
    std::vector<std::uint32_t> made;
    for (const SimTraceEntry& e : session->host.trace) {
        if (std::string(e.signature->name) == "prompt_set_control")
            made.push_back(static_cast<std::uint32_t>(e.args[1]));
    }
    EXPECT_EQ(made, (std::vector<std::uint32_t>{control_add_at_player, control_add_at_waypoint, control_edit_markers,
                                                control_rename, control_sort, control_delete, control_note,
                                                control_back, control_route, control_undo, control_search, control_move,
                                                control_capture, control_hide, control_found}));
    // The ring's prompts are on the map, shown and on: the two adds, "Edit Markers" and the two switches.
    for (const Button* b :
         {&add_here_button, &add_at_waypoint_button, &edit_markers_button, &capture_button, &hide_button}) {
        const SimPrompt& p = prompt(button_prompt(plugin_state, *b));
        EXPECT_TRUE(p.in_group && p.enabled && p.visible) << p.text;
    }
    EXPECT_EQ(prompt(button_prompt(plugin_state, add_here_button)).text, "Add Here");
    EXPECT_EQ(prompt(button_prompt(plugin_state, add_at_waypoint_button)).text, "Add at Waypoint");
    // The search's and the move's prompts are made after the five, hidden like them.
    const SimPrompt& search = prompt(button_prompt(plugin_state, search_button));
    EXPECT_EQ(search.control, control_search);
    EXPECT_EQ(search.text, "Search");
    const SimPrompt& move = prompt(button_prompt(plugin_state, move_button));
    EXPECT_EQ(move.control, control_move);
    EXPECT_EQ(move.text, "Move");
    for (const SimPrompt* p : {&search, &move}) {
        EXPECT_FALSE(p->enabled || p->visible || p->hold_mode);
        EXPECT_EQ(p->priority, 2);
    }
    EXPECT_GT(button_prompt(plugin_state, search_button), button_prompt(plugin_state, route_button));
    EXPECT_GT(button_prompt(plugin_state, move_button), button_prompt(plugin_state, search_button));
    EXPECT_EQ(game().prompts.size(), 15u);
    const SimPrompt& note = prompt(button_prompt(plugin_state, note_button));
    EXPECT_EQ(note.text, "Note");
    const SimPrompt& undo = prompt(button_prompt(plugin_state, undo_button));
    EXPECT_EQ(undo.text, "Undo Delete");
    for (const SimPrompt* p : {&note, &undo}) EXPECT_FALSE(p->enabled || p->visible || p->hold_mode);
    // The order of making them, and the sort text after its mode and priority.
    std::vector<std::string> sort_calls;
    bool in_sort = false;
    for (const SimTraceEntry& e : session->host.trace) {
        const std::string n = e.signature->name;
        if (n == "prompt_begin") in_sort = false;
        if (n == "prompt_set_control" && e.args[1] == pack_native_u32(control_sort)) in_sort = true;
        if (in_sort && n.rfind("prompt_", 0) == 0) sort_calls.push_back(n);
    }
    EXPECT_EQ(sort_calls,
              (std::vector<std::string>{"prompt_set_control", "prompt_set_press_mode", "prompt_set_priority",
                                        "prompt_set_text", "prompt_end", "prompt_set_enabled", "prompt_set_visible"}));
}

TEST_P(MenuTest, TransitionsWithTheirSoundsAndPrompts) {
    start();
    EXPECT_EQ(plugin_state.menu.state, MENU_CLOSED);
    open_map();
    EXPECT_EQ(plugin_state.menu.state, MENU_RING);
    EXPECT_TRUE(sounds_of_last_frame().empty()) << "the ring opens without a sound";

    press(edit_markers);
    EXPECT_EQ(plugin_state.menu.state, MENU_FULL);
    EXPECT_EQ(sounds_of_last_frame(), (std::vector<std::string>{"MENU_ENTER"}));
    for (Prompt p : {button_prompt(plugin_state, back_button), button_prompt(plugin_state, sort_button),
                     button_prompt(plugin_state, search_button)})
        EXPECT_TRUE(prompt(p).enabled && prompt(p).visible);
    // The list is empty: "Rename", "Delete", "Route" and "Move" are shown, but the page keeps them off.
    for (Prompt p : {button_prompt(plugin_state, rename_button), button_prompt(plugin_state, delete_button),
                     button_prompt(plugin_state, route_button), button_prompt(plugin_state, move_button)}) {
        EXPECT_TRUE(prompt(p).visible);
        EXPECT_FALSE(prompt(p).enabled);
    }
    EXPECT_FALSE(game().radar_shown);
    EXPECT_FALSE(game().hud_shown);
    EXPECT_EQ(game().time_scale, 0.0f);

    game().map_open = false;  // the map closes: the full menu stays
    frames(1);
    EXPECT_EQ(plugin_state.menu.state, MENU_FULL);

    game().map_open = true;
    press(back);  // closed in the first tick, the ring again in the second
    EXPECT_EQ(plugin_state.menu.state, MENU_RING);
    EXPECT_EQ(sounds_of_last_frame(), (std::vector<std::string>{"MENU_CLOSE", "BACK"}));
    for (Prompt p : {button_prompt(plugin_state, back_button), button_prompt(plugin_state, sort_button),
                     button_prompt(plugin_state, rename_button), button_prompt(plugin_state, delete_button),
                     button_prompt(plugin_state, route_button), button_prompt(plugin_state, search_button),
                     button_prompt(plugin_state, move_button)}) {
        EXPECT_FALSE(prompt(p).enabled || prompt(p).visible);
    }
    EXPECT_TRUE(game().radar_shown);
    EXPECT_EQ(game().time_scale, 1.0f);

    game().map_open = false;
    frames(1);
    EXPECT_EQ(plugin_state.menu.state, MENU_CLOSED);
    EXPECT_TRUE(sounds_of_last_frame().empty());
}

TEST_P(MenuTest, OpeningAndLosingTheGroupInOneCallOpensAndClosesTheFullMenu) {
    start();
    open_map();
    game().map_open = false;
    // The press completes in the very frame the map closes (the simulated game
    // would not complete a prompt of a hidden group, so the prompt leaves it).
    game().pressed.insert(edit_markers);
    game().prompts.at(button_prompt(plugin_state, edit_markers_button)).in_group = false;
    frames(1);
    EXPECT_EQ(sounds_of_last_frame(), (std::vector<std::string>{"MENU_ENTER", "MENU_CLOSE"}));
    EXPECT_EQ(plugin_state.menu.state, MENU_CLOSED);
}

TEST_P(MenuTest, WhileTheKeyboardIsOpenNothingOfTheMenuRuns) {
    start();
    in_script([] {
        RunContext ctx = script_context();
        try_add_marker(ctx, plugin_state, position_to_vector3(1, 2, 3));
    });
    open_map();
    press(edit_markers);
    ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
    // A rename was asked for: the keyboard is open, the player types on for a frame.
    game().next_keyboard = SimKeyboardScript{2, false, std::string("  New  ")};
    in_script([] { show_onscreen_keyboard(0, "STABLE_RENAME_MOUNT_PROMPT", "", nullptr, "", "", "", 50); });
    plugin_state.list_page.rename_marker_index = 0;
    game().map_open = false;
    game().pressed.insert(back);
    frames(1);
    EXPECT_EQ(plugin_state.menu.state, MENU_FULL) << "no transition while typing";
    EXPECT_TRUE(calls("draw_sprite", game().frame - 1).empty()) << "nothing drawn";
    EXPECT_TRUE(calls("prompt_group_page", game().frame - 1).empty()) << "no prompt polled";
    frames(1);
    ASSERT_EQ(plugin_state.list_page.rename_marker_index, -1);
    EXPECT_STREQ(plugin_state.markers[0].data.name, "New");
    EXPECT_FALSE(game().keyboard.open);
}

TEST_P(MenuTest, AConfirmedBlankNameRemovesTheNameAndAStaleIndexChangesNothing) {
    start();
    in_script([] {
        RunContext ctx = script_context();
        try_add_marker(ctx, plugin_state, position_to_vector3(1, 2, 3));
        rename_marker(ctx, plugin_state, plugin_state.markers[0], "Old");
    });
    game().next_keyboard = SimKeyboardScript{0, false, std::string(" \t ")};
    in_script([] { show_onscreen_keyboard(0, "STABLE_RENAME_MOUNT_PROMPT", "", "Old", "", "", "", 50); });
    plugin_state.list_page.rename_marker_index = 0;
    frames(1);
    EXPECT_EQ(plugin_state.markers[0].data.name, nullptr);

    in_script([] { show_onscreen_keyboard(0, "STABLE_RENAME_MOUNT_PROMPT", "", nullptr, "", "", "", 50); });
    plugin_state.list_page.rename_marker_index = 1;  // past the list
    const std::size_t closes = calls("keyboard_close").size();
    frames(1);
    EXPECT_EQ(plugin_state.list_page.rename_marker_index, -1);
    EXPECT_EQ(calls("keyboard_close").size(), closes + 1);
    EXPECT_TRUE(calls("keyboard_status", game().frame - 1).empty());
    EXPECT_EQ(plugin_state.markers[0].data.name, nullptr);
}

TEST_P(MenuTest, TheRingSnapsCentresTheCursorAndTheTilesDrawInOrder) {
    start(Scenario().with("texture_load_frames", 0));
    open_map();
    // The first ring frame: tiles exactly on the smaller ring, the current one enlarged.
    const ScreenRect t0 = plugin_state.category_page.tiles.data[0];
    EXPECT_NEAR(t0.x, 0.5f, 1e-6f);
    EXPECT_NEAR(t0.y, 0.5f + 0.9f * 0.225f, 1e-6f);
    EXPECT_NEAR(t0.width, 0.05625f * 1.25f, 1e-6f);
    EXPECT_EQ(game().cursor_x, 100 + 960);
    EXPECT_EQ(game().cursor_y, 50 + 540);
    // Background, then icon, for each tile; only the frame's second tick ran the page.
    auto sprites = calls("draw_sprite", game().frame - 1);
    ASSERT_EQ(sprites.size(), 20u);
    EXPECT_EQ(sprites[0]->texts[1], "medal_bronze");
    EXPECT_EQ(sprites[1]->texts[1], "blip_mp_flag");
    EXPECT_EQ(sprites[3]->texts[1], "blip_poi");
    EXPECT_EQ(static_cast<std::int32_t>(sprites[3]->args[10]), 128) << "other icons are half transparent";
    frames(1);  // the ring widens
    EXPECT_GT(plugin_state.category_page.tiles.data[0].y, t0.y);
}

TEST_P(MenuTest, PointingAtATileWithTheMouseChoosesItsCategory) {
    start();
    open_map();
    frames(30);  // the ring settles
    const ScreenRect tile = plugin_state.category_page.tiles.data[3];
    game().cursor_x = 100 + static_cast<std::int32_t>(tile.x * 1920);
    game().cursor_y = 50 + static_cast<std::int32_t>(tile.y * 1080);
    frames(1);
    EXPECT_EQ(plugin_state.current_category, 3);
    EXPECT_EQ(sounds_of_last_frame(), (std::vector<std::string>{"NAV_RIGHT"}));
    game().hover_active = false;  // hovering switched off: no change
    game().cursor_x = 100 + static_cast<std::int32_t>(plugin_state.category_page.tiles.data[6].x * 1920);
    game().cursor_y = 50 + static_cast<std::int32_t>(plugin_state.category_page.tiles.data[6].y * 1080);
    frames(1);
    EXPECT_EQ(plugin_state.current_category, 3);
}

TEST_P(MenuTest, TheStickPointsInTheRingOnly) {
    start(Scenario().with("input", quoted("pad")));
    open_map();
    // Fully left: 128 is a hair below the middle, so 0.2494 of a turn, category round(2.494) = 2.
    game().control_values[control_stick_x] = 0;
    game().control_values[control_stick_y] = 128;
    frames(1);
    EXPECT_EQ(plugin_state.current_category, 2);
    game().control_values[control_stick_x] = 255;  // fully right and up: 0.625, round(6.25) = 6
    game().control_values[control_stick_y] = 0;
    frames(1);
    EXPECT_EQ(plugin_state.current_category, 6);
    game().control_values[control_stick_x] = 128;  // at rest: the choice stays
    game().control_values[control_stick_y] = 128;
    frames(2);
    EXPECT_EQ(plugin_state.current_category, 6);
    press(edit_markers);
    game().control_values[control_stick_x] = 0;
    frames(2);
    EXPECT_EQ(plugin_state.current_category, 6) << "in the full menu the stick does nothing here";
}

TEST_P(MenuTest, QuickAddAtThePlayerOrTheWaypoint) {
    start(Scenario().with("world", "{player: {position: [100, 200, 30]}}"));
    open_map();
    game().just_pressed.insert(control_add_at_player);  // both at once: only at the player
    game().just_pressed.insert(control_add_at_waypoint);
    game().waypoint_set = true;
    game().waypoint_x = 500;
    frames(1);
    ASSERT_EQ(plugin_state.markers.length, 1u);
    EXPECT_EQ(plugin_state.markers[0].data.position.x, 100.0f);
    // Once, whatever the second tick's repeated test answers.
    EXPECT_EQ(sounds_of_last_frame(), (std::vector<std::string>{"SELECT"}));
    frames(3);  // past any answer that lasts a few frames
    EXPECT_EQ(plugin_state.markers.length, 1u);
    game().just_pressed.insert(control_add_at_waypoint);
    frames(1);
    ASSERT_EQ(plugin_state.markers.length, 2u);
    EXPECT_EQ(plugin_state.markers[1].data.position.x, 500.0f);
    EXPECT_EQ(plugin_state.markers[1].data.position.z, 10.0f) << "no ground here: raised to 10, as a capture would";

    frames(3);
    game().waypoint_set = false;
    game().just_pressed.insert(control_add_at_waypoint);
    frames(1);
    EXPECT_EQ(plugin_state.markers.length, 2u);
    EXPECT_EQ(sounds_of_last_frame().front(), "UNAFFORDABLE");
    auto unaffordable = calls("play_menu_sound", game().frame - 1);
    EXPECT_EQ(unaffordable[0]->texts[1], "Ledger_Sounds");
}

TEST_P(MenuTest, AVisitToTheMenuAsTheTraceShowsIt) {
    start(Scenario()
              .with("world", "{player: {position: [10, 10, 10]}, waypoint: [-310.46, 802.27]}")
              .with("texture_load_frames", 2));
    open_map();
    frames(20);
    const ScreenRect tile = plugin_state.category_page.tiles.data[5];
    game().cursor_x = 100 + static_cast<std::int32_t>(tile.x * 1920);
    game().cursor_y = 50 + static_cast<std::int32_t>(tile.y * 1080);
    frames(1);
    ASSERT_EQ(plugin_state.current_category, 5);
    game().just_pressed.insert(control_add_at_waypoint);  // a marker at the waypoint
    frames(1);
    press(edit_markers);
    frames(10);  // the tiles glide into the row
    press(back);
    std::vector<std::string> sounds;
    for (const SimTraceEntry& e : session->host.trace) {
        if (std::string(e.signature->name) == "play_menu_sound") sounds.push_back(e.texts[0]);
    }
    EXPECT_EQ(sounds, (std::vector<std::string>{"NAV_RIGHT", "SELECT", "MENU_ENTER", "MENU_CLOSE", "BACK"}));
    ASSERT_EQ(plugin_state.markers.length, 1u);
    EXPECT_EQ(plugin_state.markers[0].data.category, 5);
    EXPECT_NE(read_file(dir / "Quillfen" / "markers.json").find("\"category\": 5"), std::string::npos);
    // In the full menu the tiles moved into the row at the top.
    EXPECT_NEAR(plugin_state.category_page.tiles.data[0].y, 0.21f, 1e-3f);
}

TEST_P(MenuTest, TheMenuTakesTheControlsOfEveryButtonFromTheTableAndItsNavigation) {
    start();
    open_map();  // the ring: the frame after shows its controls
    frames(1);
    ASSERT_EQ(plugin_state.menu.state, MENU_RING);
    std::vector<Hash> with_related, without;
    const auto enabled = calls("enable_control", game().frame - 1);
    // The tick runs twice a frame: the first half is the first tick's.
    for (std::size_t i = 0; i < enabled.size() / 2; ++i) {
        const Hash control = static_cast<Hash>(enabled[i]->args[1]);
        (enabled[i]->args[2] != 0 ? with_related : without).push_back(control);
    }
    EXPECT_EQ(with_related, (std::vector<Hash>{InputControl::INPUT_REVEAL_HUD, InputControl::INPUT_SELECT_RADAR_MODE,
                                               InputControl::INPUT_SIMPLE_RADAR, InputControl::INPUT_EXPAND_RADAR,
                                               InputControl::INPUT_REGULAR_RADAR, InputControl::INPUT_DISABLE_RADAR}));
    // The ring's buttons and two the game keeps; then, in both states, the stick,
    // the full menu's buttons in the table's order and the navigation.
    EXPECT_EQ(without, (std::vector<Hash>{control_edit_markers,
                                          control_capture,
                                          control_hide,
                                          InputControl::INPUT_INTERACT_ANIMAL,
                                          InputControl::INPUT_SPECIAL_ABILITY,
                                          control_stick_x,
                                          control_stick_y,
                                          control_rename,
                                          control_sort,
                                          control_delete,
                                          control_note,
                                          control_back,
                                          control_route,
                                          control_undo,
                                          control_search,
                                          control_move,
                                          control_found,
                                          control_menu_up,
                                          control_menu_down,
                                          control_menu_left,
                                          control_menu_right,
                                          control_menu_scroll_forward,
                                          control_menu_scroll_backward}));
}

TEST(MenuControls, EachControlTheMenuReadsIsTheGameControlOfItsRole) {
    struct Case {
        Hash control;
        const char* name;
    } cases[] = {
        {control_edit_markers, "INPUT_PLAYER_MENU"},
        {control_rename, "INPUT_GAME_MENU_ACCEPT"},
        {control_sort, "INPUT_GAME_MENU_EXTRA_OPTION"},
        {control_delete, "INPUT_GAME_MENU_OPTION"},
        {control_back, "INPUT_GAME_MENU_CANCEL"},
        {control_route, "INPUT_GAME_MENU_TAB_RIGHT_SECONDARY"},
        {control_search, "INPUT_GAME_MENU_TAB_LEFT_SECONDARY"},
        {control_move, "INPUT_GAME_MENU_TAB_RIGHT"},
        {control_capture, "INPUT_FRONTEND_SELECT"},
        {control_hide, "INPUT_GAME_MENU_TAB_LEFT"},
        {control_found, "INPUT_GAME_MENU_RS"},
        {control_stick_x, "INPUT_RADIAL_MENU_NAV_LR"},
        {control_stick_y, "INPUT_RADIAL_MENU_NAV_UD"},
        {control_add_at_player, "INPUT_ATTACK"},
        {control_add_at_waypoint, "INPUT_AIM"},
        {control_menu_up, "INPUT_GAME_MENU_UP"},
        {control_menu_down, "INPUT_GAME_MENU_DOWN"},
        {control_menu_left, "INPUT_GAME_MENU_LEFT"},
        {control_menu_right, "INPUT_GAME_MENU_RIGHT"},
        {control_menu_scroll_forward, "INPUT_GAME_MENU_SCROLL_FORWARD"},
        {control_menu_scroll_backward, "INPUT_GAME_MENU_SCROLL_BACKWARD"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.control, sim_joaat(c.name)) << c.name;
}

TEST_P(MenuTest, TheRingNamesItsCategoryAndItsPromptsLeaveTheMapWhileTheListIsOpen) {
    start();
    open_map();
    frames(1);
    ASSERT_EQ(plugin_state.menu.state, MENU_RING);
    auto centred_texts = [&] {
        std::vector<std::string> out;
        for (const DrawnText& d : drawn_texts()) {
            if (d.align == "Center") out.push_back(d.text);
        }
        return out;
    };
    // Drawn by each of the frame's two ticks, in the ring's middle.
    EXPECT_EQ(centred_texts(), (std::vector<std::string>{"Marker (Flag)", "Marker (Flag)"}));
    plugin_state.current_category = 4;
    frames(1);
    EXPECT_EQ(centred_texts(), (std::vector<std::string>{"Marker (Foe)", "Marker (Foe)"}));

    const Button* ring[] = {&add_here_button, &add_at_waypoint_button, &edit_markers_button, &capture_button,
                            &hide_button};
    press(edit_markers);
    ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
    for (const Button* b : ring) EXPECT_FALSE(prompt(button_prompt(plugin_state, *b)).visible) << b->text(plugin_state);
    const std::vector<std::string> in_list = centred_texts();
    EXPECT_EQ(std::count(in_list.begin(), in_list.end(), "Marker (Foe)"), 2) << "the list's title, not the ring's";
    frames(3);
    press(back);
    ASSERT_NE(plugin_state.menu.state, MENU_FULL);
    for (const Button* b : ring) EXPECT_TRUE(prompt(button_prompt(plugin_state, *b)).visible) << b->text(plugin_state);
}
