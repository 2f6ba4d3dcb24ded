// One iteration of the main loop: timing, the game window, the player, the
// waypoint timer, the backdrop and the texture requests.
#include <cmath>

#include "sim_fixture.h"
#include "src/markers/waypoint_capture.h"
#include "src/menu/menu.h"
#include "src/script_main.h"
#include "src/state/state.h"

namespace {
constexpr std::int64_t ms = 1000000;
constexpr std::int64_t frame_60 = 16666667;
}  // namespace

TEST(Backdrop, BlendTowardsTheTargetOfTheMenuState) {
    struct Case {
        const char* what;
        double strength;
        std::int64_t menu_state;
        std::int64_t delta_ns;
        double expected;
    } cases[] = {
        {"opening at 60 fps: half way in one frame", 0.0, MENU_FULL, 1000000000 / 60, 0.5},
        {"closing at 60 fps: a quarter of the value per frame", 0.5, MENU_CLOSED, 1000000000 / 60, 0.375},
        {"the ring fades like closed", 0.8, MENU_RING, 1000000000 / 60, 0.6},
        {"one long frame reaches the target", 0.2, MENU_FULL, 40 * ms, 1.0},
        {"a negative frame changes nothing", 0.3, MENU_FULL, -5 * ms, 0.3},
        {"no time, no change", 0.7, MENU_CLOSED, 0, 0.7},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(blend_backdrop(c.strength, c.menu_state, c.delta_ns), c.expected, 1e-6) << c.what;
    }
}

TEST(WaypointTimer, DueOnceASecondHasGatheredAndSaysHowMuch) {
    float timer = 0, gathered = 0;
    int due_at = 0;
    for (int frame = 1; frame <= 12; ++frame) {
        if (waypoint_check_due(timer, 250 * ms, gathered)) {
            EXPECT_EQ(timer, 0.0f);
            EXPECT_EQ(gathered, 1.0f);
            due_at = due_at ? due_at : frame;
        }
    }
    EXPECT_EQ(due_at, 4) << "the first check comes with the frame that brings the total to 1.0 s";
    timer = 0.5f;
    EXPECT_FALSE(waypoint_check_due(timer, 499 * ms, gathered));
    EXPECT_TRUE(waypoint_check_due(timer, 1 * ms, gathered));
    // A long frame (a loading screen, say) is counted whole.
    timer = 0.25f;
    EXPECT_TRUE(waypoint_check_due(timer, 3000 * ms, gathered));
    EXPECT_EQ(gathered, 3.25f);
}

TEST_F(SimTest, EachIterationReadsThePlayerFadesAndRequestsTexturesInOrder) {
    begin("{frames: 10, world: {player: {position: [1.5, -20, 3.25]}}}");
    frames(3);
    // The closed menu asks twice whether the map's prompts are up; without
    // markers the blip pass has nothing to ask the game.
    const std::vector<std::string> expected = {"player_character",          "entity_position",
                                               "prompt_group_page",         "prompt_group_page",
                                               "screen_effect_stop",        "request_texture_dictionary",
                                               "request_texture_dictionary"};
    EXPECT_EQ(natives_in_frame(1), expected);
    EXPECT_EQ(natives_in_frame(2), expected);
    auto textures = calls("request_texture_dictionary", 2);
    ASSERT_EQ(textures.size(), 2u);
    EXPECT_EQ(textures[0]->texts[0], "BLIPS");
    EXPECT_EQ(textures[1]->texts[0], "BLIPS_MP");
    EXPECT_EQ(textures[0]->args[1], 0u);
    auto position = calls("entity_position", 2);
    ASSERT_EQ(position.size(), 1u);
    EXPECT_EQ(position[0]->args[0], game().player_entity);
    EXPECT_EQ(position[0]->args[1], 0x0000000100000001ULL);
    EXPECT_EQ(plugin_state.player_position._x.x, 1.5f);
    EXPECT_EQ(plugin_state.player_position._y.y, -20.0f);
    EXPECT_EQ(plugin_state.player_position._z.z, 3.25f);
    EXPECT_EQ(plugin_state.frame_delta, frame_60);
    EXPECT_EQ(plugin_state.last_frame_time, plugin_state.frame_time);
}

TEST_F(SimTest, GameWindowSizeAndItsDefaults) {
    begin(R"({frames: 20,
              events: [{frame: 3, window: {width: 1280, height: 720, x: 100, y: 50}},
                       {frame: 6, window: {present: false}},
                       {frame: 8, window: {present: true, width: 2560, height: 1080}}]})");
    frames(3);
    // No window yet: the default size, and a search every iteration.
    EXPECT_EQ(plugin_state.screen_width, 1920);
    EXPECT_EQ(plugin_state.screen_height, 1080);
    EXPECT_EQ(plugin_state.screen_aspect, 0.5625f);
    EXPECT_EQ(plugin_state.game_window, nullptr);
    EXPECT_EQ(game().window_lookups, 2);

    frames(3);  // frames 3..5: found once, then kept
    EXPECT_EQ(plugin_state.screen_width, 1280);
    EXPECT_EQ(plugin_state.screen_height, 720);
    EXPECT_EQ(plugin_state.screen_aspect, 0.5625f);
    EXPECT_NE(plugin_state.game_window, nullptr);
    EXPECT_EQ(game().window_lookups, 3);

    frames(2);  // frames 6..7: the old handle fails, then the search resumes
    EXPECT_EQ(plugin_state.screen_width, 1920);
    EXPECT_EQ(plugin_state.game_window, nullptr);
    EXPECT_EQ(game().window_lookups, 4);

    frames(1);  // a new window is found by its title
    EXPECT_EQ(plugin_state.screen_width, 2560);
    EXPECT_FLOAT_EQ(plugin_state.screen_aspect, 1080.0f / 2560.0f);
}

TEST_F(SimTest, ABackdropFadesInWithTheFullMenuAndStopsBelowTheCutOff) {
    begin("{frames: 100}");
    frames(2);
    plugin_state.menu.state = MENU_FULL;  // as the menu controller would set it
    frames(1);
    EXPECT_NEAR(plugin_state.menu.backdrop_strength, 0.5, 1e-6);
    const std::int64_t f = game().frame - 1;
    // The effect is started, given its strength and its parameters, in this order.
    std::vector<std::string> effect_calls;
    for (const std::string& c : natives_in_frame(f)) {
        if (c.rfind("screen_effect", 0) == 0) effect_calls.push_back(c);
    }
    EXPECT_EQ(effect_calls, (std::vector<std::string>{"screen_effect_start", "screen_effect_set_strength",
                                                      "screen_effect_set_params"}));
    const SimScreenEffect& effect = game().screen_effects["Mission_EndCredits"];
    EXPECT_TRUE(effect.playing);
    EXPECT_NEAR(effect.strength, 0.5f, 1e-6);
    const std::int32_t params[5] = {0, 255, 255, 0, 255};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(effect.params[i], params[i]);

    frames(10);
    EXPECT_GT(plugin_state.menu.backdrop_strength, 0.999);
    plugin_state.menu.state = MENU_CLOSED;
    int frames_to_stop = 0;
    while (game().screen_effects["Mission_EndCredits"].playing && frames_to_stop < 60) {
        frames(1);
        ++frames_to_stop;
    }
    // 0.75^n falls below 0.001 after 25 frames from ~1.0.
    EXPECT_EQ(frames_to_stop, 25);
    EXPECT_EQ(plugin_state.menu.backdrop_strength, 0.0);
    EXPECT_FALSE(game().screen_effects["Mission_EndCredits"].playing);
}

TEST_F(SimTest, ALongFrameBringsTheBackdropStraightToFull) {
    begin("{frames: 10, frame_ms: 40}");
    frames(1);
    plugin_state.menu.state = MENU_FULL;
    frames(1);
    EXPECT_EQ(plugin_state.menu.backdrop_strength, 1.0);
    EXPECT_EQ(plugin_state.frame_delta, 40 * ms);
}

TEST_F(SimTest, TheWaypointTimerRunsOnFrameTimeAcrossTheRun) {
    waypoint_capture.waypoint_check_timer = 0;
    begin("{frames: 20, frame_ms: 250}");
    frames(4);  // start + three iterations: 0.75 s
    EXPECT_EQ(waypoint_capture.waypoint_check_timer, 0.75f);
    frames(1);
    EXPECT_EQ(waypoint_capture.waypoint_check_timer, 0.0f);
    ASSERT_TRUE(end());
    waypoint_capture.waypoint_check_timer = 0;
}
