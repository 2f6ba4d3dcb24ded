// The binding layer: how arguments are packed, how results are read, the
// layouts shared with the game, and every wrapper against the game's own
// signatures (through the strict substitute host).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "sim/host.h"
#include "sim/native_signatures.h"
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

SimHost* strict_host;
std::vector<std::uint64_t> hashes_seen;

// Calls each of the 63 wrappers once, from a script fiber, as the plug-in would.
void call_every_wrapper() {
    Blip blip = 5;
    float ground = 0;
    blip_add_modifier(1, 0xF366785F);
    blip_exists(1);
    blip_pre_remove(1);
    control_just_pressed(0, 0x911CB09E);
    control_value(0, 0x390948DC);
    create_blip_at_coords(0x1, 1.0f, 2.0f, 3.0f);
    cursor_hover_active();
    disable_all_controls(0);
    disabled_control_just_pressed(0, 0x07CE1E61);
    draw_sprite("d", "t", 0.5f, 0.5f, 0.1f, 0.1f, 0.0f, 255, 255, 255, 255, false);
    draw_text_at("label", 0.1f, 0.2f);
    enable_control(0, 0x43DBF61F, false);
    entity_position(player_character(), true, true);
    ground_z_at(1.0f, 2.0f, 100.0f, &ground, false);
    hash_of_name("BLIP_STYLE_CREATOR_DEFAULT");
    keyboard_close();
    keyboard_result();
    keyboard_status();
    make_text_label(10, {"LITERAL_STRING", "Edit Markers"});
    menu_frame_check();
    menu_frame_clear(false);
    menu_frame_finish();
    menu_frame_flag(true);
    menu_frame_prepare();
    menu_open_scale(1.0f);
    menu_open_toggle_a(true);
    menu_open_toggle_b(true);
    pad_uses_mouse(0);
    play_menu_sound("BACK", "HUD_PLAYER_MENU", true, 0);
    Prompt p = prompt_begin();
    prompt_end(p);
    prompt_group_page(0x29FEEDA9);
    prompt_hold_completed(p);
    prompt_press_completed(p, 0);
    prompt_reset_hold(p);
    prompt_reset_hold_data(p, 0);
    prompt_set_control(p, 0x80F28E95);
    prompt_set_enabled(p, true);
    prompt_set_group(p, 0x29FEEDA9, 0);
    prompt_set_hold_mode(p, 1000);
    prompt_set_press_mode(p, false);
    prompt_set_priority(p, 2);
    prompt_set_text(p, "label");
    prompt_set_visible(p, true);
    remove_blip(&blip);
    request_texture_dictionary("BLIPS", false);
    screen_effect_set_params("Mission_EndCredits", 0, 255, 255, 0, 255);
    screen_effect_set_strength("Mission_EndCredits", 0.5f);
    screen_effect_start("Mission_EndCredits");
    screen_effect_stop("Mission_EndCredits");
    set_blip_coords(1, 1.0f, 2.0f, 3.0f);
    set_blip_name(1, "Marker (Flag)");
    set_blip_sprite(1, 0x1, true);
    set_text_colour(255, 255, 255, 255);
    show_onscreen_keyboard(0, "STABLE_RENAME_MOUNT_PROMPT", "", nullptr, "", "", "", 50);
    stop_menu_sound("BACK", "HUD_PLAYER_MENU");
    texture_dictionary_loaded("BLIPS");
    untyped_zone_at_coords(1.0f, 2.0f, 40.0f);
    waypoint_active();
    waypoint_coords();
    zone_at_coords(1.0f, 2.0f, 40.0f, 12);
    zone_display_name(0x1B6880B3);
    for (;;) host_api.scriptWait(0);
}

}  // namespace

TEST(EveryWrapper, IsAcceptedByTheStrictHostWithTheGamesSignature) {
    SimHost host;
    sim_host_init(host);
    sim_host_activate(&host);
    const HostApi saved = host_api;
    host_api = sim_host_api();
    strict_host = &host;
    host_api.scriptRegister(nullptr, call_every_wrapper);
    EXPECT_TRUE(sim_host_run_frame(host)) << host.failure;
    host_api = saved;
    sim_host_shutdown(host);
    sim_host_activate(nullptr);

    // All 63 natives were called, in order, each by the hash of its own name
    // in the game's table.
    const std::vector<std::string> expected = {"blip_add_modifier",
                                               "blip_exists",
                                               "blip_pre_remove",
                                               "control_just_pressed",
                                               "control_value",
                                               "create_blip_at_coords",
                                               "cursor_hover_active",
                                               "disable_all_controls",
                                               "disabled_control_just_pressed",
                                               "draw_sprite",
                                               "draw_text_at",
                                               "enable_control",
                                               "player_character",
                                               "entity_position",
                                               "ground_z_at",
                                               "hash_of_name",
                                               "keyboard_close",
                                               "keyboard_result",
                                               "keyboard_status",
                                               "make_text_label",
                                               "menu_frame_check",
                                               "menu_frame_clear",
                                               "menu_frame_finish",
                                               "menu_frame_flag",
                                               "menu_frame_prepare",
                                               "menu_open_scale",
                                               "menu_open_toggle_a",
                                               "menu_open_toggle_b",
                                               "pad_uses_mouse",
                                               "play_menu_sound",
                                               "prompt_begin",
                                               "prompt_end",
                                               "prompt_group_page",
                                               "prompt_hold_completed",
                                               "prompt_press_completed",
                                               "prompt_reset_hold",
                                               "prompt_reset_hold_data",
                                               "prompt_set_control",
                                               "prompt_set_enabled",
                                               "prompt_set_group",
                                               "prompt_set_hold_mode",
                                               "prompt_set_press_mode",
                                               "prompt_set_priority",
                                               "prompt_set_text",
                                               "prompt_set_visible",
                                               "remove_blip",
                                               "request_texture_dictionary",
                                               "screen_effect_set_params",
                                               "screen_effect_set_strength",
                                               "screen_effect_start",
                                               "screen_effect_stop",
                                               "set_blip_coords",
                                               "set_blip_name",
                                               "set_blip_sprite",
                                               "set_text_colour",
                                               "show_onscreen_keyboard",
                                               "stop_menu_sound",
                                               "texture_dictionary_loaded",
                                               "untyped_zone_at_coords",
                                               "waypoint_active",
                                               "waypoint_coords",
                                               "zone_at_coords",
                                               "zone_display_name"};
    std::vector<std::string> names;
    for (const SimTraceEntry& e : host.trace) names.push_back(e.signature->name);
    EXPECT_EQ(names, expected);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    EXPECT_EQ(names.size(), 63u);
    EXPECT_EQ(sim_native_count(), 63u);
}
