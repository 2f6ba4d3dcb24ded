// The binding layer: how arguments are packed, how results are read, the
// layouts shared with the game, and every wrapper against the game's own
// signatures (through the strict substitute host).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "sim/game_natives.h"
#include "sim/host.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/menu_input.h"
#include "src/menu/prompts.h"
#include "src/scripthook/host_api.h"
#include "src/scripthook/native_call.h"
#include "src/scripthook/native_hashes.h"
#include "src/scripthook/natives.h"

namespace {

// A host that records what the binding sends and answers with fixed words.
struct Recorder {
    std::uint64_t hash = 0;
    std::vector<std::uint64_t> pushed;
    std::uint64_t answer[3] = {};
    int calls = 0;
};
Recorder recorder;

void rec_init(std::uint64_t h) {
    recorder.hash = h;
    recorder.pushed.clear();
}
void rec_push(std::uint64_t v) { recorder.pushed.push_back(v); }
std::uint64_t* rec_call() {
    ++recorder.calls;
    return recorder.answer;
}

class BindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = host_api;
        host_api = HostApi{};
        host_api.nativeInit = rec_init;
        host_api.nativePush64 = rec_push;
        host_api.nativeCall = rec_call;
        recorder = Recorder{};
    }
    void TearDown() override { host_api = saved; }
    HostApi saved{};
};

std::uint64_t pushed_alone(void (*push)()) {
    recorder.pushed.clear();
    push();
    EXPECT_EQ(recorder.pushed.size(), 1u);
    return recorder.pushed.empty() ? 0 : recorder.pushed[0];
}

}  // namespace

TEST_F(BindingTest, ThirtyTwoBitValuesFillBothHalves) {
    struct Case {
        const char* what;
        void (*push)();
        std::uint64_t expected;
    } cases[] = {
        {"i32 5", [] { push_native_arg_i32(5); }, 0x0000000500000005ULL},
        {"i32 -1", [] { push_native_arg_i32(-1); }, 0xFFFFFFFFFFFFFFFFULL},
        {"i32 min", [] { push_native_arg_i32(INT32_MIN); }, 0x8000000080000000ULL},
        {"f32 1.0", [] { push_native_arg_f32(1.0f); }, 0x3F8000003F800000ULL},
        {"f32 -0.0", [] { push_native_arg_f32(-0.0f); }, 0x8000000080000000ULL},
        {"bool true", [] { push_native_arg_bool(true); }, 0x0000000100000001ULL},
        {"bool false", [] { push_native_arg_bool(false); }, 0},
        {"hash", [] { push_native_arg_hash(0x29FEEDA9); }, 0x29FEEDA929FEEDA9ULL},
        {"u64 handle", [] { push_native_arg_u64(0x0000000100002A01ULL); }, 0x0000000100002A01ULL},
    };
    for (const Case& c : cases) EXPECT_EQ(pushed_alone(c.push), c.expected) << c.what;
}

TEST_F(BindingTest, TextsAndPointersArePushedAsTheirAddress) {
    static const char text[] = "BLIPS";
    EXPECT_EQ(pushed_alone([] { push_native_arg_cstring(text); }), reinterpret_cast<std::uintptr_t>(text));
    EXPECT_EQ(pushed_alone([] { push_native_arg_cstring(nullptr); }), 0u);
    static Blip stored = 77;
    remove_blip(&stored);
    ASSERT_EQ(recorder.pushed.size(), 1u);
    EXPECT_EQ(recorder.pushed[0], reinterpret_cast<std::uintptr_t>(&stored));
}

TEST_F(BindingTest, ResultsAreReadFromTheFirstWords) {
    recorder.answer[0] = 0xDEADBEEFFFFFFFFEULL;  // low half -2; a junk high half
    EXPECT_EQ(finish_native_call_i32(), -2);
    recorder.answer[0] = 0xFFFFFFFF00000000ULL;  // only the high half set: false
    EXPECT_FALSE(finish_native_call_bool());
    recorder.answer[0] = 0x0000000100000000ULL;
    EXPECT_FALSE(finish_native_call_bool());
    recorder.answer[0] = 0x12345678ABCDEF01ULL;
    EXPECT_EQ(finish_native_call_hash(), 0xABCDEF01u);
    EXPECT_EQ(finish_native_call_u64(), 0x12345678ABCDEF01ULL);
    EXPECT_EQ(recorder.calls, 5);
}

TEST_F(BindingTest, Vector3ResultKeepsPaddingAndPositionIgnoresIt) {
    recorder.answer[0] = (0xAAAAAAAAULL << 32) | std::bit_cast<std::uint32_t>(1.5f);
    recorder.answer[1] = (0xBBBBBBBBULL << 32) | std::bit_cast<std::uint32_t>(-20.0f);
    recorder.answer[2] = (0xCCCCCCCCULL << 32) | std::bit_cast<std::uint32_t>(3.25f);
    Vector3 v = finish_native_call_vector3();
    EXPECT_EQ(v._x.pad, 0xAAAAAAAAu);
    EXPECT_EQ(v._z.pad, 0xCCCCCCCCu);
    Position p = vector3_to_position(v);
    EXPECT_EQ(p.x, 1.5f);
    EXPECT_EQ(p.y, -20.0f);
    EXPECT_EQ(p.z, 3.25f);
}

TEST(Vector3Layout, PositionToVector3ZeroesEveryPaddingByte) {
    Vector3 v;
    std::memset(&v, 0xFF, sizeof v);
    v = position_to_vector3(1.0f, 2.0f, 3.0f);
    unsigned char bytes[sizeof(Vector3)];
    std::memcpy(bytes, &v, sizeof bytes);
    for (int start : {4, 12, 20}) {
        for (int i = start; i < start + 4; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
    }
    float x, y, z;
    std::memcpy(&x, bytes + 0, 4);
    std::memcpy(&y, bytes + 8, 4);
    std::memcpy(&z, bytes + 16, 4);
    EXPECT_EQ(x, 1.0f);
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(z, 3.0f);
}

TEST_F(BindingTest, WrapperPushesArgumentsInTableOrder) {
    draw_sprite("generic_textures", "medal_bronze", 0.5f, 0.25f, 0.1f, 0.2f, 0.0f, 1, 2, 3, 4, false);
    EXPECT_EQ(recorder.hash, native_draw_sprite);
    ASSERT_EQ(recorder.pushed.size(), 12u);
    EXPECT_STREQ(reinterpret_cast<const char*>(recorder.pushed[1]), "medal_bronze");
    EXPECT_EQ(recorder.pushed[3], pack_native_u32(std::bit_cast<std::uint32_t>(0.25f)));
    EXPECT_EQ(recorder.pushed[10], pack_native_u32(4));
    EXPECT_EQ(recorder.pushed[11], 0u);

    make_text_label(10, {"LITERAL_STRING", "Back"});
    EXPECT_EQ(recorder.hash, native_make_text_label);
    ASSERT_EQ(recorder.pushed.size(), 3u);
    EXPECT_EQ(recorder.pushed[0], pack_native_u32(10));
    EXPECT_STREQ(reinterpret_cast<const char*>(recorder.pushed[2]), "Back");
}

// ---- every wrapper against the strict host ---------------------------------------------

namespace {

// Each wrapper beside the name of the native it must call, called once with
// arguments of the right kinds, as the plug-in would.
struct WrapperCall {
    const char* native;
    void (*call)();
};

const WrapperCall every_wrapper[] = {
    {"blip_add_modifier", [] { blip_add_modifier(1, 0xF366785F); }},
    {"blip_exists", [] { blip_exists(1); }},
    {"blip_pre_remove", [] { blip_pre_remove(1); }},
    {"control_just_pressed", [] { control_just_pressed(0, control_menu_up); }},
    {"control_value", [] { control_value(0, control_stick_x); }},
    {"create_blip_at_coords", [] { create_blip_at_coords(0x1, 1.0f, 2.0f, 3.0f); }},
    {"cursor_hover_active", [] { cursor_hover_active(); }},
    {"disable_all_controls", [] { disable_all_controls(0); }},
    {"disabled_control_just_pressed", [] { disabled_control_just_pressed(0, control_add_at_player); }},
    {"draw_sprite", [] { draw_sprite("d", "t", 0.5f, 0.5f, 0.1f, 0.1f, 0.0f, 255, 255, 255, 255, false); }},
    {"draw_text_at", [] { draw_text_at("label", 0.1f, 0.2f); }},
    {"enable_control", [] { enable_control(0, control_rename, false); }},
    {"entity_position", [] { entity_position(0x2A01, true, true); }},
    {"gps_route_add_point", [] { gps_route_add_point(1.0f, 2.0f, 3.0f, false); }},
    {"gps_route_clear", [] { gps_route_clear(); }},
    {"gps_route_show", [] { gps_route_show(true); }},
    {"gps_route_start", [] { gps_route_start(GpsColour::COLOR_RED, true, true); }},
    {"ground_z_at",
     [] {
         float ground = 0;
         ground_z_at(1.0f, 2.0f, 100.0f, &ground, false);
     }},
    {"hash_of_name", [] { hash_of_name("BLIP_STYLE_CREATOR_DEFAULT"); }},
    {"keyboard_close", [] { keyboard_close(); }},
    {"keyboard_result", [] { keyboard_result(); }},
    {"keyboard_status", [] { keyboard_status(); }},
    {"make_text_label",
     [] {
         make_text_label(10, {"LITERAL_STRING", "Edit Markers"});
     }},
    {"menu_frame_check", [] { menu_frame_check(); }},
    {"menu_frame_clear", [] { menu_frame_clear(false); }},
    {"menu_frame_finish", [] { menu_frame_finish(); }},
    {"menu_frame_flag", [] { menu_frame_flag(true); }},
    {"menu_frame_prepare", [] { menu_frame_prepare(); }},
    {"menu_open_scale", [] { menu_open_scale(1.0f); }},
    {"menu_open_toggle_a", [] { menu_open_toggle_a(true); }},
    {"menu_open_toggle_b", [] { menu_open_toggle_b(true); }},
    {"pad_uses_mouse", [] { pad_uses_mouse(0); }},
    {"play_menu_sound", [] { play_menu_sound("BACK", "HUD_PLAYER_MENU", true, 0); }},
    {"player_character", [] { player_character(); }},
    {"prompt_begin", [] { prompt_begin(); }},
    {"prompt_end", [] { prompt_end(1); }},
    {"prompt_group_page", [] { prompt_group_page(edit_markers_group); }},
    {"prompt_hold_completed", [] { prompt_hold_completed(1); }},
    {"prompt_press_completed", [] { prompt_press_completed(1, 0); }},
    {"prompt_reset_hold", [] { prompt_reset_hold(1); }},
    {"prompt_reset_hold_data", [] { prompt_reset_hold_data(1, 0); }},
    {"prompt_set_control", [] { prompt_set_control(1, control_edit_markers); }},
    {"prompt_set_enabled", [] { prompt_set_enabled(1, true); }},
    {"prompt_set_group", [] { prompt_set_group(1, static_cast<std::int32_t>(edit_markers_group), 0); }},
    {"prompt_set_hold_mode", [] { prompt_set_hold_mode(1, 1000); }},
    {"prompt_set_press_mode", [] { prompt_set_press_mode(1, false); }},
    {"prompt_set_priority", [] { prompt_set_priority(1, 2); }},
    {"prompt_set_text", [] { prompt_set_text(1, "label"); }},
    {"prompt_set_visible", [] { prompt_set_visible(1, true); }},
    {"remove_blip",
     [] {
         Blip blip = 5;
         remove_blip(&blip);
     }},
    {"request_texture_dictionary", [] { request_texture_dictionary("BLIPS", false); }},
    {"screen_effect_set_params", [] { screen_effect_set_params("Mission_EndCredits", 0, 255, 255, 0, 255); }},
    {"screen_effect_set_strength", [] { screen_effect_set_strength("Mission_EndCredits", 0.5f); }},
    {"screen_effect_start", [] { screen_effect_start("Mission_EndCredits"); }},
    {"screen_effect_stop", [] { screen_effect_stop("Mission_EndCredits"); }},
    {"set_blip_coords", [] { set_blip_coords(1, 1.0f, 2.0f, 3.0f); }},
    {"set_blip_name", [] { set_blip_name(1, "Marker (Flag)"); }},
    {"set_blip_sprite", [] { set_blip_sprite(1, 0x1, true); }},
    {"set_text_colour", [] { set_text_colour(255, 255, 255, 255); }},
    {"show_onscreen_keyboard",
     [] { show_onscreen_keyboard(0, "STABLE_RENAME_MOUNT_PROMPT", "", nullptr, "", "", "", 50); }},
    {"stop_menu_sound", [] { stop_menu_sound("BACK", "HUD_PLAYER_MENU"); }},
    {"texture_dictionary_loaded", [] { texture_dictionary_loaded("BLIPS"); }},
    {"untyped_zone_at_coords", [] { untyped_zone_at_coords(1.0f, 2.0f, 40.0f); }},
    {"waypoint_active", [] { waypoint_active(); }},
    {"waypoint_coords", [] { waypoint_coords(); }},
    {"zone_at_coords", [] { zone_at_coords(1.0f, 2.0f, 40.0f, 12); }},
    {"zone_display_name", [] { zone_display_name(0x1B6880B3); }},
};

void call_every_wrapper() {
    for (const WrapperCall& w : every_wrapper) w.call();
    for (;;) host_api.scriptWait(0);
}

}  // namespace

TEST(EveryWrapper, IsAcceptedByTheStrictHostWithTheGamesSignature) {
    SimHost host;
    sim_host_init(host);
    sim_host_activate(&host);
    const HostApi saved = host_api;
    host_api = sim_host_api();
    host_api.scriptRegister(nullptr, call_every_wrapper);
    EXPECT_TRUE(sim_host_run_frame(host)) << host.failure;
    host_api = saved;
    sim_host_shutdown(host);
    sim_host_activate(nullptr);

    // Each wrapper made one call, by the hash the game's table gives its own name.
    std::vector<std::string> called, expected;
    for (const SimTraceEntry& e : host.trace) called.push_back(e.signature->name);
    for (const WrapperCall& w : every_wrapper) expected.push_back(w.native);
    EXPECT_EQ(called, expected);

    // And every native the game's table knows has its wrapper, once.
    std::vector<std::string> known;
    for (const SimNative& n : sim_natives()) known.push_back(n.signature.name);
    std::sort(known.begin(), known.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, known);
}
