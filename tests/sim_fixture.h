// Helpers for tests that run the plug-in in the simulated game: a fresh game
// directory per test, scenarios written inline, and readers for what the run
// left behind (files, trace).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/session.h"
#include "sim/trace.h"
#include "src/core/plugin_context.h"
#include "src/entry.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/settings_file.h"
#include "src/menu/marker_list_page.h"
#include "src/scripthook/host_api.h"
#include "src/state/state.h"
#include "tests/support/markers_text.h"
#include "tests/support/test_files.h"

inline std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// A float argument of a traced native call: the float's bits in the low half
// of the pushed word.
inline float f32_of(std::uint64_t word) { return std::bit_cast<float>(static_cast<std::uint32_t>(word)); }

// The message of a log line: what follows "[date time] ".
inline std::string log_message_of(const std::string& line) {
    std::size_t at = line.find("] ", 12);
    return at == std::string::npos ? line : line.substr(at + 2);
}

// Writes `text` as the file's bytes, making the folders on the way.
// How many markers a markers file's text holds; SIZE_MAX when it does not load.
inline std::size_t markers_in(const std::string& text) {
    MarkersData data{};
    if (deserialize_markers(text, heap_allocator(), data) != DeserializeError::none) return SIZE_MAX;
    const std::size_t n = data.count;
    free_markers_data(data, heap_allocator());
    return n;
}

inline void write_file(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The names in a folder, sorted; none when there is no such folder.
inline std::vector<std::string> names_in(const std::filesystem::path& folder) {
    std::vector<std::string> out;
    if (!std::filesystem::exists(folder)) return out;
    for (auto& e : std::filesystem::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// What `run` printed on stderr. For runs that must fail: the simulator reports
// a failure there at once, and the test checks that line instead of printing
// it among the lines of a passing test run.
inline std::string stderr_of(const std::function<void()>& run) {
    ::testing::internal::CaptureStderr();
    run();
    return ::testing::internal::GetCapturedStderr();
}

// A second script, registered after the plug-in's, that runs what a test hands
// it on the script fiber (where natives may be called), once per frame.
inline std::vector<std::function<void()>>& test_script_actions() {
    static std::vector<std::function<void()>> actions;
    return actions;
}

inline void test_script_main() {
    for (;;) {
        {
            // Nothing may live across the wait: the fiber is dropped, not unwound, at the end.
            std::vector<std::function<void()>> now;
            now.swap(test_script_actions());
            for (auto& action : now) action();
        }
        host_api.scriptWait(0);
    }
}

// What the game may answer when the menu's second tick of a frame repeats a
// test: the same as the first, false (only the first query sees a press), or
// true for a few frames. Menu tests run under each; the plug-in must act alike.
inline const char* const repeat_answer_modes[] = {"first", "every", "frames:3"};

// The run context the plug-in's script works with: the tracker as general allocator.
inline ScriptProcedure plugin_script = nullptr;  // set by the fixture

inline RunContext script_context() {
    RunContext ctx = plugin_context();
    ctx.general = tracker_allocator(runtime_globals.allocation_tracker);
    return ctx;
}

// The list page's rows lie between these tops (fractions of the screen's
// height): the title above them and the lines under them do not.
inline constexpr float list_rows_top = 0.27f, list_rows_bottom = 0.84f;

// A text the game was told to draw this frame, read from its markup.
struct DrawnText {
    std::string align, text;
    int size;
    std::int32_t alpha;
    float top;  // the box's top, a fraction of the screen's height
    bool in_rows() const { return top > list_rows_top && top < list_rows_bottom; }
};

class SimTest : public ::testing::Test {
protected:
    // The texts drawn in the last frame, in order, with their alignment, size and alpha.
    std::vector<DrawnText> drawn_texts() const {
        std::vector<DrawnText> out;
        for (const SimDrawItem& d : session->host.game.draw_list) {
            if (d.kind != SimDrawItem::Kind::text) continue;
            const std::size_t a = d.label.find("ALIGN='"), s = d.label.find("SIZE='"), t = d.label.find("~s~"),
                              e = d.label.rfind("</FONT>");
            if (a == std::string::npos || s == std::string::npos || t == std::string::npos || e == std::string::npos)
                continue;
            out.push_back({d.label.substr(a + 7, d.label.find('\'', a + 7) - a - 7), d.label.substr(t + 3, e - t - 3),
                           std::atoi(d.label.c_str() + s + 6), d.alpha, d.y});
        }
        return out;
    }
    // The list page's rows as the last frame's second tick drew them (both
    // ticks draw the page), "n/N label"; `selected` gets the selected row's.
    std::vector<std::string> row_labels(std::string* selected = nullptr) const {
        const std::vector<DrawnText> all = drawn_texts();
        std::vector<std::string> out;
        for (std::size_t i = all.size() / 2; i < all.size(); ++i) {
            if (all[i].align == "Left" && all[i].in_rows()) out.push_back(all[i].text);
        }
        const ListPage& page = plugin_state.list_page;
        const std::int64_t slot =
            page.selection - first_visible_row(page.selection, static_cast<std::int64_t>(page.rows.length));
        if (selected && slot >= 0 && static_cast<std::size_t>(slot) < out.size()) *selected = out[slot];
        return out;
    }
    void SetUp() override {
        dir = fresh_test_dir();
        test_script_actions().clear();
        load_library_afresh();
    }

    // As when the library is loaded afresh: the waypoint capture starts at zero.
    static void load_library_afresh() { waypoint_capture = WaypointCapture{}; }

    // The game folder's Quillfen folder, and a markers file in it as an earlier
    // run or the player left it (call before begin()).
    std::filesystem::path quillfen() const { return dir / "Quillfen"; }
    void write_markers(const std::string& text) const { write_file(quillfen() / "markers.json", text); }
    // Quillfen/settings.ini as the player or an earlier run left it.
    void write_settings(const std::string& text) const { write_file(quillfen() / "settings.ini", text); }
    static std::string default_settings_text() {
        char text[1024];
        TextBuilder b = text_builder(text, sizeof text);
        append_new_settings_text(b, Settings{});
        return std::string(text_view(b));
    }

    void TearDown() override {
        if (session && session->attached) end();
    }

    // Loads the plug-in into a simulated game described by `scenario_text`.
    void begin(const std::string& scenario_text) {
        SimScenario scenario;
        std::string error;
        ASSERT_TRUE(sim_parse_scenario(scenario_text, scenario, &error)) << error;
        session = std::make_unique<SimSession>();
        test_script_registered = false;
        ASSERT_TRUE(sim_session_begin(*session, scenario, dir.string(), &error)) << error;
        plugin_script = session->host.scripts.empty() ? nullptr : session->host.scripts[0]->procedure;
    }
    void begin(const Scenario& scenario) { begin(scenario.text()); }

    void frames(int count) {
        for (int i = 0; i < count; ++i) ASSERT_TRUE(sim_session_frame(*session)) << session->host.failure;
    }

    // Runs `action` on the script fiber in the next frame, after the plug-in's iteration.
    void in_script(std::function<void()> action) {
        if (!test_script_registered) {
            sim_script_register(reinterpret_cast<HostModule>(static_cast<std::uintptr_t>(0x7E570000)),
                                test_script_main);
            test_script_registered = true;
        }
        test_script_actions().push_back([this, action = std::move(action)] {
            action_trace_start = session->host.trace.size();
            action();
        });
        frames(1);
    }

    // The natives the last in_script action called (all of them, or one kind).
    std::vector<const SimTraceEntry*> action_calls(const std::string& native = "") const {
        std::vector<const SimTraceEntry*> out;
        for (std::size_t i = action_trace_start; i < session->host.trace.size(); ++i) {
            const SimTraceEntry& e = session->host.trace[i];
            if (native.empty() || native == e.signature->name) out.push_back(&e);
        }
        return out;
    }

    // The host starts the plug-in's script anew (as after a reload), then runs a frame.
    void restart_script() {
        for (SimScript* s : session->host.scripts) {
            if (s->procedure == plugin_script) {
                HostModule module = s->module;
                sim_script_unregister(module);
                sim_script_register(module, plugin_script);
                break;
            }
        }
        frames(1);
    }

    bool end() {
        std::string error;
        bool ok = sim_session_end(*session, &error);
        end_error = error;
        return ok;
    }

    SimGame& game() { return session->host.game; }

    std::vector<const SimTraceEntry*> calls(const std::string& native, std::int64_t frame = -1) const {
        std::vector<const SimTraceEntry*> out;
        for (const SimTraceEntry& e : session->host.trace) {
            if (native == e.signature->name && (frame < 0 || e.frame == frame)) out.push_back(&e);
        }
        return out;
    }

    // Wrapper names of the natives called in `frame`, in order.
    std::vector<std::string> natives_in_frame(std::int64_t frame) const {
        std::vector<std::string> out;
        for (const SimTraceEntry& e : session->host.trace) {
            if (e.frame == frame) out.push_back(e.signature->name);
        }
        return out;
    }

    std::vector<std::string> log_lines() const { return split_lines(read_file(dir / "Quillfen" / "last.log")); }
    // The log's messages, without level and time.
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const std::string& l : log_lines()) out.push_back(log_message_of(l));
        return out;
    }
    bool logged(const std::string& message) const {
        for (const std::string& m : messages()) {
            if (m == message) return true;
        }
        return false;
    }

    std::filesystem::path dir;
    std::unique_ptr<SimSession> session;
    std::string end_error;
    bool test_script_registered = false;
    std::size_t action_trace_start = 0;
};
