// The short line at the top of the screen for what just happened: drawn for
// about 4 seconds whatever the menu's state, with its sound once, and no
// native calls while there is none.
#include <algorithm>
#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "src/map/gps_route.h"
#include "src/markers/marker_editing.h"
#include "src/menu/notice_line.h"
#include "tests/sim_fixture.h"
#include "tests/support/file_faults.h"

namespace {

// A pack's markers: found by arrival, and walked by a route.
const std::string bones = markers_file_as_saved({
    TextMarker{
        .x = 100, .y = 200, .z = 30, .name = "Bone 1", .timestamp_ns = 1765267200000000000, .pack = "Dinosaur bones"},
    TextMarker{
        .x = 300, .y = 200, .z = 30, .name = "Bone 2", .timestamp_ns = 1765267200000000001, .pack = "Dinosaur bones"},
});
const std::string bear_cave =
    markers_file_as_saved({TextMarker{100, 200, 30, 1, "Bear cave", "", 1765267200000000000}});

class NoticeFixture : public SimTest {
public:
    // For the table's steps.
    using SimTest::quillfen;
    using SimTest::write_markers;

    // The notice's lines drawn in the last frame: centred, at the top.
    std::vector<std::string> notice_lines() const {
        std::vector<std::string> out;
        for (const DrawnText& t : drawn_texts()) {
            if (t.align == "Center" && t.top < 0.1f) out.push_back(t.text);
        }
        return out;
    }
    std::vector<std::string> sounds_of_last_frame() {
        std::vector<std::string> out;
        for (auto* e : calls("play_menu_sound", game().frame - 1)) out.push_back(e->texts[0]);
        return out;
    }
    void put_player(float x, float y, float z) {
        game().player_position[0] = x;
        game().player_position[1] = y;
        game().player_position[2] = z;
    }
    void add_at(float x, float y, float z) {
        in_script([&] {
            RunContext ctx = script_context();
            try_add_marker(ctx, plugin_state, Vector3{{x}, {y}, {z}});
        });
    }
    // Routes to the file's first marker, then the player walks to (x, y, z).
    void route_to_first_and_walk(float x, float y, float z) {
        in_script([&] {
            RunContext ctx = script_context();
            ASSERT_TRUE(start_route(ctx, plugin_state, 0));
        });
        put_player(x, y, z);
    }
    // An add whose save fails as on a full disk; the disk is fine after it.
    void add_with_a_full_disk() {
        static const FileFaults full{ENOSPC, 0, 0, 0, 0};
        inject_file_faults(&full);
        add_at(500, 500, 10);
        inject_file_faults(nullptr);
    }
    // Frames until the notice's line is `line`, at most `most`; how many it took.
    int wait_for(const std::string& line, int most) {
        int waited = 0;
        while (notice_lines() != std::vector<std::string>{line} && waited < most) {
            frames(1);
            ++waited;
        }
        return waited;
    }
};

struct Event {
    const char* what;
    std::function<void(NoticeFixture&)> before_start;  // files the game folder holds
    std::function<void(NoticeFixture&)> act;           // after the first frame
    std::string line;
    std::string sound;  // with its first drawing; "" for none
};

struct NoticeTest : NoticeFixture, ::testing::WithParamInterface<Event> {};

const Event events[] = {
    {"arrival at a routed marker", [](NoticeFixture& t) { t.write_markers(bear_cave); },
     [](NoticeFixture& t) { t.route_to_first_and_walk(105, 200, 30); }, "Arrived at Bear cave", "SELECT"},
    {"a pack imported",
     [](NoticeFixture& t) {
         write_file(t.quillfen() / "import" / "Dinosaur bones.json",
                    markers_file_text({TextMarker{10, 10, 1}, TextMarker{20, 20, 1}, TextMarker{30, 30, 1}}));
     },
     [](NoticeFixture&) {}, "Imported 3 markers from Dinosaur bones", "SELECT"},
    {"a save that failed", [](NoticeFixture& t) { t.write_markers(bear_cave); },
     [](NoticeFixture& t) { t.add_with_a_full_disk(); }, "Could not save: the disk is full; last.log says more",
     "UNAFFORDABLE"},
    {"saving works again", [](NoticeFixture& t) { t.write_markers(bear_cave); },
     [](NoticeFixture& t) {
         t.add_with_a_full_disk();
         t.add_at(600, 600, 10);  // saved at once, with the one before
     },
     "Saving works again", "SELECT"},
    {"a walked pack's next marker", [](NoticeFixture& t) { t.write_markers(bones); },
     [](NoticeFixture& t) { t.route_to_first_and_walk(100, 200, 30); }, "Next in Dinosaur bones: Bone 2 (200m)",
     "SELECT"},
    {"a pack complete",
     [](NoticeFixture& t) {
         t.write_markers(markers_file_as_saved(
             {TextMarker{.x = 100, .y = 200, .z = 30, .name = "Bone 1", .timestamp_ns = 1, .pack = "Dinosaur bones"}}));
     },
     [](NoticeFixture& t) { t.put_player(100, 200, 30); }, "Dinosaur bones complete: 1 of 1 found", "SELECT"},
    {"an add beside a marker", [](NoticeFixture& t) { t.write_markers(bear_cave); },
     [](NoticeFixture& t) { t.add_at(100.5f, 200, 30); }, "A marker lies within 1 m of here already", ""},
};

void PrintTo(const Event& e, std::ostream* out) { *out << e.what; }

INSTANTIATE_TEST_SUITE_P(Events, NoticeTest, ::testing::ValuesIn(events),
                         [](const ::testing::TestParamInfo<Event>& p) { return "Event" + std::to_string(p.index); });

TEST_P(NoticeTest, ShowsItsLineAtTheTopForAboutFourSecondsThenNothing) {
    const Event& e = GetParam();
    SCOPED_TRACE(e.what);
    e.before_start(*this);
    begin("{frames: 100000}");
    frames(1);
    e.act(*this);
    // The arrival is looked at once a second: up to two seconds to see it.
    const int waited = wait_for(e.line, 130);
    ASSERT_EQ(notice_lines(), (std::vector<std::string>{e.line})) << "after " << waited << " frames";
    const std::int64_t shown_at = game().frame - 1;
    const std::vector<std::string> sounds = sounds_of_last_frame();
    if (e.sound.empty()) {
        // The ring plays its own refusal; the notice adds none.
        EXPECT_TRUE(std::find(sounds.begin(), sounds.end(), "SELECT") == sounds.end());
    } else {
        EXPECT_EQ(std::count(sounds.begin(), sounds.end(), e.sound), 1) << "with its first drawing";
    }
    frames(1);
    EXPECT_EQ(notice_lines(), (std::vector<std::string>{e.line}));
    EXPECT_TRUE(sounds_of_last_frame().empty()) << "the sound is played once";

    // 60 frames a second: still there at 3.9 s, gone by 4.1 s.
    frames(static_cast<int>(shown_at + 234 - game().frame));
    EXPECT_EQ(notice_lines(), (std::vector<std::string>{e.line})) << "at 3.9 s";
    frames(12);
    EXPECT_TRUE(notice_lines().empty()) << "at 4.1 s";
    EXPECT_EQ(plugin_state.notice.ends_ns, 0) << "forgotten once gone";
}

TEST_P(NoticeTest, IsDrawnWithTheFullMenuOpen) {
    const Event& e = GetParam();
    SCOPED_TRACE(e.what);
    e.before_start(*this);
    begin("{frames: 100000}");
    frames(1);
    game().map_open = true;
    frames(1);
    game().pressed.insert(control_edit_markers);
    frames(1);
    game().pressed.clear();
    frames(1);
    ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
    e.act(*this);
    wait_for(e.line, 130);
    EXPECT_EQ(notice_lines(), (std::vector<std::string>{e.line}));
}

TEST_F(NoticeFixture, CallsNoNativeWhileNoneIsLive) {
    begin("{frames: 100}");
    frames(1);
    struct Case {
        const char* what;
        std::int64_t ends_after_ns;  // from the frame's clock; none when 0
        bool draws;
    } cases[] = {
        {"none", 0, false},
        {"live", 1'000'000'000, true},
        {"ended", -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        in_script([&] {
            plugin_state.notice = Notice{};
            if (c.ends_after_ns != 0) {
                show_notice(plugin_state.notice, "Arrived at Bear cave", 0, NoticeSound::none);
                plugin_state.notice.ends_ns = plugin_state.frame_time + c.ends_after_ns;
            }
            RunContext ctx = script_context();
            draw_notice(ctx, plugin_state);
        });
        EXPECT_EQ(!action_calls().empty(), c.draws);
        EXPECT_EQ(plugin_state.notice.ends_ns != 0, c.draws) << "an ended notice is forgotten";
    }
}

// A failed save's line says its cause itself, whole within the line's width,
// and points to last.log only when last.log took the lines that say more.
struct SaveFailureCase {
    const char* what;
    FileFaults faults;
    bool from_start;  // else from the add on
    std::string line;
};
void PrintTo(const SaveFailureCase& c, std::ostream* out) { *out << c.what; }

struct SaveFailureNoticeTest : NoticeFixture, ::testing::WithParamInterface<SaveFailureCase> {
    void TearDown() override {
        inject_file_faults(nullptr);
        NoticeFixture::TearDown();
    }
};

const SaveFailureCase save_failures[] = {
    {"a full disk", {.write_error = ENOSPC}, false, "Could not save: the disk is full; last.log says more"},
    {"a full disk that last.log could not take either",
     {.write_error = ENOSPC, .log_write_error = ENOSPC},
     false,
     "Could not save: the disk is full"},
    {"the file held by another program",
     {.replace_error = EBUSY},
     false,
     "Could not save: another program holds the file; last.log says more"},
    {"a read-only folder",
     {.write_error = EROFS},
     false,
     "Could not save: the file or its folder is read-only; last.log says more"},
    {"the folder gone",
     {.write_error = ENOENT},
     false,
     "Could not save: the Quillfen folder is gone; last.log says more"},
    {"markers.json not read yet",
     {.read_error = EACCES, .read_error_path = "Quillfen/markers.json"},
     true,
     "Could not save: markers.json cannot be read yet; last.log says more"},
    {"a cause of no kind", {.write_error = EIO}, false, "Could not save your markers: Quillfen/last.log says why"},
    {"a cause of no kind, and no last.log",
     {.write_error = EIO, .log_write_error = ENOSPC},
     false,
     "Could not save your markers"},
};

INSTANTIATE_TEST_SUITE_P(Causes, SaveFailureNoticeTest, ::testing::ValuesIn(save_failures));

TEST_P(SaveFailureNoticeTest, SaysTheCauseOfAFailedSaveWhole) {
    const SaveFailureCase& c = GetParam();
    write_markers(bear_cave);
    if (c.from_start) inject_file_faults(&c.faults);
    begin("{frames: 100000, world: {window: {width: 1920, height: 1080}}}");
    frames(1);
    const std::size_t lines = log_lines().size();
    if (!c.from_start) inject_file_faults(&c.faults);
    add_at(500, 500, 10);
    wait_for(c.line, 10);
    EXPECT_EQ(notice_lines(), (std::vector<std::string>{c.line})) << "drawn whole, not cut";
    EXPECT_EQ(log_lines().size() > lines, c.faults.log_write_error == 0);
}

TEST(Notice, ALongTextIsCutBetweenCharacters) {
    struct Case {
        std::string text;
        std::size_t kept;
    } cases[] = {
        {std::string(200, 'a'), notice_capacity - 1},
        // A three-byte character across the last byte's place goes whole.
        {std::string(notice_capacity - 2, 'a') + "\xE5\x8C\x97", notice_capacity - 2},
        {"Saving works again", 18},
        {"", 0},
    };
    for (const Case& c : cases) {
        Notice n{};
        show_notice(n, c.text, 1000, NoticeSound::select);
        EXPECT_EQ(std::string(n.text), c.text.substr(0, c.kept));
        EXPECT_EQ(n.ends_ns, 1000 + notice_duration_ns);
        EXPECT_TRUE(notice_live(n, 1000 + notice_duration_ns - 1));
        EXPECT_FALSE(notice_live(n, 1000 + notice_duration_ns));
    }
}

}  // namespace
