// The substitute host is strict: what the real host would punish fails the run,
// loudly, instead of passing silently.
#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

#include "sim/game.h"
#include "sim/game_natives.h"
#include "sim/host.h"
#include "sim/scenario.h"
#include "sim/trace.h"
#include "sim_fixture.h"
#include "src/menu/menu_input.h"
#include "src/scripthook/host_api.h"
#include "src/scripthook/native_call.h"
#include "src/scripthook/native_hashes.h"

namespace {

void (*script_body)() = nullptr;

void run_script_body() {
    script_body();
    for (;;) host_api.scriptWait(0);
}

// Runs `body` as a script for one frame; returns the failure ("" when sound).
// A failure is also printed at once, exactly one line of it: checked here.
std::string run_as_script(void (*body)(), std::vector<SimTraceEntry>* trace = nullptr) {
    SimHost host;
    sim_host_init(host);
    sim_host_activate(&host);
    const HostApi saved = host_api;
    host_api = sim_host_api();
    script_body = body;
    host_api.scriptRegister(nullptr, run_script_body);
    const std::string printed = stderr_of([&] {
        sim_host_run_frame(host);
        sim_host_run_frame(host);
    });
    host_api = saved;
    sim_host_shutdown(host);
    sim_host_activate(nullptr);
    if (trace) *trace = host.trace;
    EXPECT_EQ(printed, host.failure.empty() ? "" : "quillfen-sim: FAILED: " + host.failure + "\n");
    return host.failure;
}

}  // namespace

TEST(StrictHost, RefusesWhatTheRealHostWouldPunish) {
    struct Case {
        const char* what;
        void (*body)();
        const char* failure;  // a part of the message
    } cases[] = {
        {"an unknown hash",
         [] {
             begin_native_call(0x1234567812345678ULL);
             finish_native_call_none();
         },
         "unknown native hash 0x1234567812345678"},
        {"too many arguments",
         [] {
             begin_native_call(native_player_character);
             push_native_arg_i32(1);
             finish_native_call_u64();
         },
         "player_character (PLAYER::PLAYER_PED_ID) takes 0 arguments, got 1"},
        {"too few arguments",
         [] {
             begin_native_call(native_set_text_colour);
             push_native_arg_i32(1);
             finish_native_call_none();
         },
         "takes 4 arguments, got 1"},
        {"a 32-bit argument with different halves",
         [] {
             begin_native_call(native_disable_all_controls);
             push_native_arg_u64(0x0000000100000000ULL);
             finish_native_call_none();
         },
         "argument 0 is 32-bit but was pushed as 0x0000000100000000"},
        {"a label without its extra texts",
         [] {
             begin_native_call(native_make_text_label);
             push_native_arg_i32(10);
             finish_native_call_cstring();
         },
         "at least 2 arguments"},
        {"a call inside a call",
         [] {
             begin_native_call(native_keyboard_close);
             begin_native_call(native_keyboard_close);
         },
         "while native 0x58A39BE597CE99CD was still open"},
        {"a push without a call", [] { push_native_arg_u64(1); }, "nativePush64 without nativeInit"},
        {"a bound function that is never called", [] { host_api.getGameVersion(); },
         "getGameVersion is bound but must never be called"},
    };
    for (const Case& c : cases) {
        const std::string failure = run_as_script(c.body);
        EXPECT_NE(failure.find(c.failure), std::string::npos) << c.what << ": " << failure;
    }
}

namespace {
void returning_script() {}
}  // namespace

TEST(StrictHost, AScriptThatReturnsFailsTheRun) {
    SimHost host;
    sim_host_init(host);
    sim_host_activate(&host);
    sim_script_register(nullptr, returning_script);
    const std::string printed = stderr_of([&] { EXPECT_FALSE(sim_host_run_frame(host)); });
    EXPECT_NE(host.failure.find("returned"), std::string::npos);
    EXPECT_EQ(printed, "quillfen-sim: FAILED: " + host.failure + "\n");
    EXPECT_FALSE(sim_host_run_frame(host)) << "a failed run stays failed";
    sim_host_shutdown(host);
    sim_host_activate(nullptr);
}

TEST(StrictHost, ScriptWaitOutsideAScriptFails) {
    SimHost host;
    sim_host_init(host);
    sim_host_activate(&host);
    const std::string printed = stderr_of([] { sim_script_wait(0); });
    EXPECT_NE(host.failure.find("scriptWait called outside a script"), std::string::npos);
    EXPECT_EQ(printed, "quillfen-sim: FAILED: " + host.failure + "\n");
    sim_host_activate(nullptr);
}

TEST(Trace, OneJsonObjectPerCallWithTypedArgumentsAndResult) {
    std::vector<SimTraceEntry> trace;
    const std::string failure = run_as_script(
        [] {
            begin_native_call(native_screen_effect_set_params);
            push_native_arg_cstring("Mission_EndCredits");
            for (int v : {0, 255, 255, 0, 255}) push_native_arg_i32(v);
            finish_native_call_none();
            begin_native_call(native_hash_of_name);
            push_native_arg_cstring("BLIP_STYLE_CREATOR_DEFAULT");
            finish_native_call_hash();
            begin_native_call(native_make_text_label);
            push_native_arg_i32(10);
            push_native_arg_cstring("LITERAL_STRING");
            push_native_arg_cstring("Say \"hi\"");
            finish_native_call_cstring();
            begin_native_call(native_entity_position);
            push_native_arg_u64(0x2A01);
            push_native_arg_bool(true);
            push_native_arg_bool(true);
            finish_native_call_vector3();
        },
        &trace);
    ASSERT_EQ(failure, "");
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(
        sim_trace_line(trace[0]),
        R"({"frame":0,"native":"screen_effect_set_params","args":["Mission_EndCredits",0,255,255,0,255],"result":null})");
    EXPECT_EQ(
        sim_trace_line(trace[1]),
        R"({"frame":0,"native":"hash_of_name","args":["BLIP_STYLE_CREATOR_DEFAULT"],"result":"0x)" +
            [] {
                char b[16];
                std::snprintf(b, sizeof b, "%08X", sim_joaat("BLIP_STYLE_CREATOR_DEFAULT"));
                return std::string(b);
            }() +
            "\"}");
    EXPECT_EQ(
        sim_trace_line(trace[2]),
        R"({"frame":0,"native":"make_text_label","args":[10,"LITERAL_STRING","Say \"hi\""],"result":"Say \"hi\""})");
    EXPECT_EQ(sim_trace_line(trace[3]),
              R"({"frame":0,"native":"entity_position","args":[10753,true,true],"result":[0,0,0]})");
}

TEST(NativesTable, EachNativeIsFoundByItsOwnHashAndAnswers) {
    std::set<std::uint64_t> hashes;
    std::set<std::string> names;
    for (const SimNative& n : sim_natives()) {
        const SimNativeSignature& sig = n.signature;
        EXPECT_TRUE(hashes.insert(sig.hash).second) << sig.name << ": its hash is another native's too";
        EXPECT_TRUE(names.insert(sig.name).second) << sig.name << " appears twice";
        EXPECT_EQ(sim_find_native(sig.hash), &n) << sig.name;
        EXPECT_NE(n.answer, nullptr) << sig.name;
        EXPECT_LE(sig.arg_count, std::size(sig.args)) << sig.name;
    }
    EXPECT_EQ(sim_find_native(0), nullptr);
    EXPECT_EQ(sim_find_native(0xFFFFFFFFFFFFFFFFULL), nullptr);
}

TEST(Joaat, IsTheGamesHashOfNames) {
    // Control names hash to the control hashes the game uses.
    struct Case {
        const char* name;
        std::uint32_t hash;
    } cases[] = {{"INPUT_PLAYER_MENU", 0x80F28E95},      {"INPUT_GAME_MENU_ACCEPT", 0x43DBF61F},
                 {"INPUT_GAME_MENU_CANCEL", 0x308588E6}, {"input_game_menu_up", 0x911CB09E},
                 {"INPUT_ATTACK", 0x07CE1E61},           {"INPUT_AIM", 0xF84FA74F}};
    for (const Case& c : cases) EXPECT_EQ(sim_joaat(c.name), c.hash) << c.name;
}

// How the simulated game answers a press tested again: in the same frame and in
// the frames after, under each form of `repeat_answers`.
TEST(RepeatAnswers, APressAnswersTheRepeatedTestAsTheScenarioSays) {
    struct Case {
        const char* mode;
        // Answers to two queries in the frame of the press, then one in each of the next three frames.
        std::vector<bool> answers;
    } cases[] = {
        {"every", {true, true, false, false, false}},
        {"first", {true, false, false, false, false}},
        {"frames:1", {true, true, false, false, false}},
        {"frames:3", {true, true, true, true, false}},
    };
    constexpr std::uint32_t down = control_menu_down;
    for (const Case& c : cases) {
        SimScenario scenario;
        std::string error;
        ASSERT_TRUE(sim_parse_scenario(std::string("{frames: 5, repeat_answers: \"") + c.mode +
                                           "\", events: [{frame: 0, just_pressed: \"INPUT_GAME_MENU_DOWN\"}]}",
                                       scenario, &error))
            << error;
        SimGame game;
        sim_game_init(game);
        std::vector<bool> seen;
        for (std::int64_t frame = 0; frame < 4; ++frame) {
            sim_game_begin_frame(game);
            sim_apply_events(scenario, game, frame);
            for (int query = 0; query < (frame == 0 ? 2 : 1); ++query) {
                const std::uint64_t args[] = {0, down};
                SimNativeCall call{sim_find_native(native_disabled_control_just_pressed), args, 2, {}, false, 0};
                sim_game_answer(game, call);
                seen.push_back(call.result[0] != 0);
            }
            sim_game_end_frame(game);
        }
        EXPECT_EQ(seen, c.answers) << c.mode;
    }
    for (const char* bad : {"frames:0", "frames:", "frames:x", "frames:1001", "sometimes"}) {
        SimScenario scenario;
        std::string error;
        EXPECT_FALSE(sim_parse_scenario(std::string("{frames: 1, repeat_answers: \"") + bad + "\"}", scenario, &error))
            << bad;
        EXPECT_NE(error.find("repeat_answers"), std::string::npos) << error;
    }
}
