// Undoing deletes and renames: Quillfen/deleted.json written before
// markers.json loses a marker, the marker put back as it was, one history of
// deletes and renames, newest first, deletes kept across restarts.
#include "src/markers/marker_undo.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>

#include "sim_fixture.h"
#include "src/file_formats/markers_folder.h"
#include "src/map/gps_route.h"
#include "src/markers/marker_editing.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/marker_list_rows.h"
#include "src/menu/marker_search.h"
#include "src/menu/prompts.h"
#include "tests/support/file_faults.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t hour_ns = 3600000000000LL;
constexpr std::int64_t first_ns = 1765267200000000000LL;

// Four markers of category 1, an hour apart; the second has a note and no name.
std::vector<TextMarker> four_markers() {
    return {
        TextMarker{10, 0, 0, 1, "Bear cave", "", first_ns},
        TextMarker{20, 0, 0, 1, "", "", first_ns + hour_ns, "", std::nullopt, "what I left at that camp"},
        TextMarker{30, 0, 0, 1, "Camp", "", first_ns + 2 * hour_ns},
        TextMarker{40, 0, 0, 1, "Lake", "", first_ns + 3 * hour_ns},
    };
}

// The markers of a markers file, or of deleted.json with when each was deleted.
struct FileMarkers {
    std::vector<std::string> names;  // "-" for none
    std::vector<std::int64_t> deleted_ns;
    bool loads = false;
};
FileMarkers markers_of(const std::string& text, bool deleted = false) {
    FileMarkers out;
    MarkersData data{};
    const DeserializeError e = deleted ? deserialize_deleted_markers(text, heap_allocator(), data)
                                       : deserialize_markers(text, heap_allocator(), data);
    out.loads = e == DeserializeError::none;
    for (std::size_t i = 0; i < data.count; ++i) {
        out.names.push_back(data.records[i].name ? data.records[i].name : "-");
        if (data.deleted_ns) out.deleted_ns.push_back(data.deleted_ns[i]);
    }
    free_markers_data(data, heap_allocator());
    return out;
}

class UndoTest : public SimTest {
public:
    // For the cases' steps.
    using SimTest::frames;
    using SimTest::quillfen;
    std::string deleted_json() const {
        return fs::is_regular_file(quillfen() / "deleted.json") ? read_file(quillfen() / "deleted.json") : "";
    }
    bool logged_starting(const std::string& prefix) const {
        const std::vector<std::string> m = messages();
        return std::any_of(m.begin(), m.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    }
    std::string notice() { return notice_live(plugin_state.notice, game().clock_ns) ? plugin_state.notice.text : ""; }

protected:
    void start(const std::vector<TextMarker>& markers = four_markers(), const Scenario& extra = {}) {
        write_markers(markers_file_as_saved(markers));
        begin(Scenario()
                  .with("frames", 100000)
                  .with("world", "{window: {width: 1920, height: 1080}, player: {position: [0, 0, 0]}, map: true}")
                  .with(extra));
        frames(2);
    }
    std::string markers_json() const { return read_file(quillfen() / "markers.json"); }
    void delete_at(std::int64_t index) {
        in_script([index] {
            RunContext ctx = script_context();
            delete_marker_at(ctx, plugin_state, index);
        });
    }
    std::int64_t undo() {
        std::int64_t index = -2;
        in_script([&index] {
            RunContext ctx = script_context();
            index = undo_last_change(ctx, plugin_state);
        });
        return index;
    }
    void rename(std::size_t index, const char* name) {
        in_script([index, name] {
            RunContext ctx = script_context();
            rename_marker(ctx, plugin_state, plugin_state.markers[index], name);
        });
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const Marker& m : plugin_state.markers) out.push_back(m.data.name ? m.data.name : "-");
        return out;
    }
    // The full menu open on category 1.
    void open_full_menu() {
        plugin_state.current_category = 1;
        game().pressed.insert(control_edit_markers);
        frames(1);
        game().pressed.erase(control_edit_markers);
        ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
    }
};

}  // namespace

// ---- delete, then undo -------------------------------------------------------------------------

// Each place in the list: the first, the one with a note and no name, the last.
class DeleteThenUndoTest : public UndoTest, public ::testing::WithParamInterface<std::int64_t> {};
INSTANTIATE_TEST_SUITE_P(EachPlace, DeleteThenUndoTest, ::testing::Values(0, 1, 3));

TEST_P(DeleteThenUndoTest, LeavesMarkersJsonByteForByteAsBeforeTheDelete) {
    const std::int64_t index = GetParam();
    {
        start();
        const std::string before = markers_json();
        const std::string label = index == 1 ? "" : four_markers()[static_cast<std::size_t>(index)].name;
        delete_at(index);
        EXPECT_EQ(markers_of(markers_json()).names.size(), 3u);
        // deleted.json holds it, with every key and the time of the delete, and loads as a markers file.
        const FileMarkers kept = markers_of(deleted_json(), true);
        ASSERT_TRUE(kept.loads) << deleted_json();
        ASSERT_EQ(kept.deleted_ns.size(), 1u);
        EXPECT_EQ(kept.deleted_ns[0], game().clock_ns);
        if (index == 1) {
            EXPECT_NE(deleted_json().find("\"note\": \"what I left at that camp\""), std::string::npos);
        } else {
            EXPECT_TRUE(logged("Deleted " + label));
        }

        EXPECT_EQ(next_undo(plugin_state), UndoNext::delete_);
        EXPECT_EQ(undo(), index);
        EXPECT_EQ(markers_json(), before) << "put back where it stood, with all its keys";
        EXPECT_EQ(markers_of(deleted_json(), true).names.size(), 0u) << "markers.json holds it again";
        if (index != 1) {
            EXPECT_TRUE(logged("Restored " + label));
        }
        EXPECT_EQ(next_undo(plugin_state), UndoNext::none);
        EXPECT_EQ(undo(), -1) << "nothing left to undo";
    }
}

TEST_F(UndoTest, UndoBringsBackEveryDeleteNewestFirstAlsoAfterARestart) {
    start();
    const std::string before = markers_json();
    delete_at(0);  // Bear cave
    delete_at(1);  // Camp, now at 1
    ASSERT_EQ(names(), (std::vector<std::string>{"-", "Lake"}));
    ASSERT_TRUE(end());

    // The next run: deleted.json is the history; a delete of an earlier run
    // goes back before the first marker made after it.
    begin("{frames: 100}");
    frames(2);
    EXPECT_EQ(next_undo(plugin_state), UndoNext::delete_);
    EXPECT_EQ(undo(), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"-", "Camp", "Lake"}));
    EXPECT_TRUE(logged("Restored Camp"));
    EXPECT_EQ(undo(), 0);
    EXPECT_EQ(markers_json(), before);
    EXPECT_EQ(markers_of(deleted_json(), true).names.size(), 0u);
}

TEST_F(UndoTest, ImportingDeletedJsonAsAPackBringsTheMarkersBackWithoutTheDeletedKey) {
    start();
    const std::string before = markers_json();
    delete_at(0);
    delete_at(0);
    ASSERT_TRUE(end());
    fs::copy_file(quillfen() / "deleted.json", quillfen() / "import" / "deleted.json");
    begin("{frames: 100}");
    frames(2);
    EXPECT_EQ(plugin_state.markers.length, 4u);
    EXPECT_EQ(markers_json().find("\"deleted\""), std::string::npos) << markers_json();
    EXPECT_NE(markers_json().find("\"note\": \"what I left at that camp\""), std::string::npos);
    EXPECT_EQ(markers_of(markers_json()).names.size(), markers_of(before).names.size());
    // Back already: not offered, and no second copy.
    EXPECT_EQ(next_undo(plugin_state), UndoNext::none);
    EXPECT_EQ(undo(), -1);
    EXPECT_FALSE(logged_starting("Did not restore"));
    EXPECT_EQ(plugin_state.markers.length, 4u) << "no second copy";
    // deleted.json lists them until a save of markers.json works, as after an undo.
    EXPECT_EQ(markers_of(deleted_json(), true).names.size(), 2u);
    rename(2, "Fire");
    EXPECT_EQ(markers_of(deleted_json(), true).names.size(), 0u);
}

TEST_F(UndoTest, DeletedJsonKeepsTheNewest500) {
    std::vector<TextMarker> many;
    for (int i = 0; i < 503; ++i) {
        many.push_back(TextMarker{static_cast<float>(i * 10), 0, 0, 1, "M" + std::to_string(i), "", first_ns + i});
    }
    start(many);
    in_script([] {
        RunContext ctx = script_context();
        for (int i = 0; i < 503; ++i) delete_marker_at(ctx, plugin_state, 0);
    });
    const FileMarkers kept = markers_of(deleted_json(), true);
    ASSERT_EQ(kept.names.size(), deleted_markers_kept);
    EXPECT_EQ(kept.names.front(), "M3") << "the oldest three went";
    EXPECT_EQ(kept.names.back(), "M502");
}

// ---- the two writes: deleted.json first ---------------------------------------------------------

// A kill at each step of the delete's writes (deleted.json: its temporary
// file made, written, renamed; then markers.json the same way): the marker is
// always on disk, in one file or both, never in neither.
class KillTest : public UndoTest, public ::testing::WithParamInterface<std::size_t> {};
INSTANTIATE_TEST_SUITE_P(EachStep, KillTest, ::testing::Range<std::size_t>(1, 8));

TEST_P(KillTest, AKillBetweenTheTwoWritesLeavesTheMarkerInBothNeverInNeither) {
    const std::size_t step = GetParam();
    {
        start();
        const FileFaults kill{0, 0, 0, 0, 0, EIO, step, nullptr, 0};
        inject_file_faults(&kill);
        delete_at(0);
        inject_file_faults(nullptr);
        const bool in_markers = markers_json().find("\"Bear cave\"") != std::string::npos;
        const bool in_deleted = deleted_json().find("\"Bear cave\"") != std::string::npos;
        EXPECT_TRUE(in_markers || in_deleted) << "lost";
        if (!in_deleted) {
            EXPECT_TRUE(in_markers) << "markers.json may not lose it before deleted.json holds it";
        }
        EXPECT_TRUE(markers_of(markers_json()).loads);
        if (step == 4) {
            EXPECT_TRUE(in_markers && in_deleted) << "killed between the two writes";
        }
    }
}

// ---- a delete that deleted.json cannot keep ---------------------------------------------------

// What keeps deleted.json from keeping a delete, what the log and the screen
// say, and how it is put right.
struct UnkeptCase {
    const char* what;
    std::function<void(const fs::path& quillfen)> in_the_way;
    bool from_the_start;  // put in the way before the start, else just before the delete
    std::string cause;    // in the log's line, after "Did not delete Bear cave: "
    std::string advice;
    std::string notice;
    std::function<void(const fs::path& quillfen)> out_of_the_way;
    std::vector<std::string> kept_then = {"Bear cave"};  // deleted.json once the delete is made
};
void PrintTo(const UnkeptCase& c, std::ostream* out) { *out << c.what; }

void lift_faults(const fs::path&) { inject_file_faults(nullptr); }
void move_away(const fs::path& q) { fs::remove(q / "deleted.json"); }

const std::string close_deleted_holder = "close the program that holds Quillfen/deleted.json";
const std::string move_deleted_away = "move away what stands at Quillfen/deleted.json";

const UnkeptCase unkept_cases[] = {
    {"held by another program",
     [](const fs::path&) {
         static const FileFaults held{0, 0, EBUSY, 0, 0, 0, 0, nullptr, 0, "Quillfen/deleted.json"};
         inject_file_faults(&held);
     },
     false, "Quillfen/deleted.json could not be written (EBUSY)", close_deleted_holder,
     "Not deleted: " + close_deleted_holder, lift_faults},
    {"held since the start, so not read yet",
     [](const fs::path& q) {
         write_file(q / "deleted.json",
                    markers_file_text({TextMarker{500, 0, 0, 1, "Old", "", 5, "", std::nullopt, "", std::int64_t{6}}}));
         static const FileFaults held{0, 0, 0, EBUSY, 0, 0, 0, "Quillfen/deleted.json", 0};
         inject_file_faults(&held);
     },
     true,
     "Quillfen/deleted.json cannot be read: EBUSY",
     close_deleted_holder,
     "Not deleted: " + close_deleted_holder,
     lift_faults,
     {"Old", "Bear cave"}},
    {"read-only",
     [](const fs::path&) {
         static const FileFaults read_only{0, 0, EACCES, 0, 0, 0, 0, nullptr, 0, "Quillfen/deleted.json"};
         inject_file_faults(&read_only);
     },
     false, "Quillfen/deleted.json could not be written (EACCES)",
     "make Quillfen/deleted.json and the Quillfen folder writable (not read-only, and yours to change)",
     "Not deleted: Quillfen may not change Quillfen/deleted.json; make it writable", lift_faults},
    {"a directory", [](const fs::path& q) { fs::create_directory(q / "deleted.json"); }, false,
     "Quillfen/deleted.json is a directory", move_deleted_away,
     "Not deleted: a directory stands at Quillfen/deleted.json; move it away", move_away},
    // A pipe of its own rather than a link to a device of the system: a write
    // that followed the link would replace the device.
    {"a pipe", [](const fs::path& q) { ASSERT_EQ(mkfifo((q / "deleted.json").c_str(), 0644), 0); }, false,
     "Quillfen/deleted.json is a device or other special file", move_deleted_away,
     "Not deleted: a device or other special file stands at Quillfen/deleted.json; move it away", move_away},
    {"a link that loops, there from the start",
     [](const fs::path& q) {
         fs::create_directories(q);
         fs::create_symlink("deleted.json", q / "deleted.json");
     },
     true, "Quillfen/deleted.json is a link that loops back to itself", move_deleted_away,
     "Not deleted: a link that loops back to itself stands at Quillfen/deleted.json; move it away", move_away},
};

class UnkeptDeleteTest : public UndoTest, public ::testing::WithParamInterface<UnkeptCase> {};
INSTANTIATE_TEST_SUITE_P(InTheWay, UnkeptDeleteTest, ::testing::ValuesIn(unkept_cases));

TEST_P(UnkeptDeleteTest, TheMarkerStaysTheLineSaysWhyAndOtherChangesAreSaved) {
    const UnkeptCase& c = GetParam();
    if (c.from_the_start) c.in_the_way(quillfen());
    start();
    if (!c.from_the_start) c.in_the_way(quillfen());
    const std::string before = markers_json();
    delete_at(0);
    EXPECT_EQ(names(), (std::vector<std::string>{"Bear cave", "-", "Camp", "Lake"})) << "not deleted";
    EXPECT_EQ(markers_json(), before);
    EXPECT_TRUE(logged("Did not delete Bear cave: " + c.cause +
                       ", and a marker leaves the list only once Quillfen/deleted.json keeps it for an undo; to "
                       "delete it, " +
                       c.advice + ", then delete it again"))
        << ::testing::PrintToString(messages());
    EXPECT_EQ(notice(), c.notice);
    EXPECT_EQ(plugin_state.notice.sound, NoticeSound::refusal);
    EXPECT_EQ(next_undo(plugin_state), UndoNext::none) << "nothing was deleted";

    // Every other change is saved as usual.
    rename(2, "Fire");
    EXPECT_EQ(markers_of(markers_json()).names, (std::vector<std::string>{"Bear cave", "-", "Fire", "Lake"}));
    EXPECT_EQ(next_undo(plugin_state), UndoNext::rename);

    // Out of the way: the delete is made, deleted.json first.
    c.out_of_the_way(quillfen());
    delete_at(0);
    EXPECT_EQ(markers_of(markers_json()).names, (std::vector<std::string>{"-", "Fire", "Lake"}));
    EXPECT_EQ(markers_of(deleted_json(), true).names, c.kept_then) << "what it held stays";
}

// ---- one entry per marker ---------------------------------------------------------------------

TEST_F(UndoTest, WhileSavesFailADeleteUndoneAndDeletedAgainLeavesOneEntry) {
    start();
    static const FileFaults held{0, 0, EBUSY, 0, 0, 0, 0, nullptr, 0, "Quillfen/markers.json"};
    inject_file_faults(&held);
    delete_at(0);
    ASSERT_EQ(undo(), 0);
    delete_at(0);
    ASSERT_EQ(undo(), 0);
    delete_at(0);
    EXPECT_EQ(markers_of(deleted_json(), true).names, (std::vector<std::string>{"Bear cave"}));
    inject_file_faults(nullptr);
    ASSERT_TRUE(end());  // the quit's try saves the list

    begin("{frames: 100}");
    frames(2);
    EXPECT_EQ(undo(), 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"Bear cave", "-", "Camp", "Lake"}));
    EXPECT_EQ(next_undo(plugin_state), UndoNext::none) << "no copy left to spend a press on";
}

// An earlier version's deleted.json: one marker, whose position is not a
// number, three times; within 1 unit of nothing, it is found by its time and
// position all the same.
TEST_F(UndoTest, AMarkerAtANaNPositionComesBackOnce) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<TextMarker> three;
    for (std::int64_t d : {6, 8, 7}) three.push_back(TextMarker{nan, 5, 41, 1, "Odd", "", 5, "", std::nullopt, "", d});
    write_file(quillfen() / "deleted.json", markers_file_text(three));
    start();
    EXPECT_EQ(undo(), 0) << "before the first marker made after it";
    EXPECT_EQ(names(), (std::vector<std::string>{"Odd", "Bear cave", "-", "Camp", "Lake"}));
    EXPECT_EQ(next_undo(plugin_state), UndoNext::none);
    EXPECT_EQ(undo(), -1);
    EXPECT_EQ(plugin_state.markers.length, 5u);
    EXPECT_EQ(markers_of(deleted_json(), true).names.size(), 0u);
}

// ---- a marker that is back ------------------------------------------------------------------------

TEST_F(UndoTest, AMarkerBackAfterAKillBetweenTheTwoWritesIsNotOfferedAndLeavesDeletedJson) {
    start();
    const FileFaults kill{0, 0, 0, 0, 0, EIO, 4, nullptr, 0};  // after deleted.json, before markers.json
    inject_file_faults(&kill);
    delete_at(0);
    inject_file_faults(nullptr);
    const std::string left = markers_json();
    ASSERT_NE(left.find("\"Bear cave\""), std::string::npos);
    ASSERT_NE(deleted_json().find("\"Bear cave\""), std::string::npos);
    ASSERT_TRUE(end());
    write_markers(left);  // as the kill left it: the quit of this test's process saved once more

    begin("{frames: 100}");
    frames(2);
    EXPECT_EQ(next_undo(plugin_state), UndoNext::none) << "Bear cave is in markers.json";
    EXPECT_EQ(undo(), -1);
    EXPECT_FALSE(logged_starting("Did not restore")) << ::testing::PrintToString(messages());
    // It leaves deleted.json with the next save, as an undone delete does.
    rename(1, "Fire");
    EXPECT_EQ(markers_of(deleted_json(), true).names.size(), 0u);
}

TEST_F(UndoTest, AnUndoThatFindsTheMarkersBackAlreadySaysSoOnScreen) {
    // markers.json (held at the start) has Ex, deleted in an earlier session
    // and put back since; the backup shown meanwhile has not.
    std::vector<TextMarker> with_ex = four_markers();
    with_ex.push_back(TextMarker{500, 0, 0, 1, "Ex", "", first_ns + 4 * hour_ns});
    write_file(quillfen() / "markers.json.bak", markers_file_as_saved(four_markers()));
    TextMarker ex = with_ex.back();
    ex.deleted_ns = first_ns + 5 * hour_ns;
    write_file(quillfen() / "deleted.json", markers_file_as_saved({ex}));
    static const FileFaults held{0, 0, 0, EBUSY, 0, 0, 0, "Quillfen/markers.json", 0};
    inject_file_faults(&held);
    start(with_ex);
    ASSERT_EQ(plugin_state.markers.length, 4u) << "the backup's list";
    inject_file_faults(nullptr);
    frames(120);  // read at last
    ASSERT_EQ(plugin_state.markers.length, 5u);
    EXPECT_EQ(undo(), -1);
    EXPECT_EQ(plugin_state.markers.length, 5u) << "not twice";
    EXPECT_EQ(notice(), "Nothing to undo: the markers deleted are back already");
    EXPECT_EQ(next_undo(plugin_state), UndoNext::none);
}

TEST_F(UndoTest, AnUndoThatFindsAnotherMarkerInThePlaceSaysSoOnScreen) {
    start();
    delete_at(0);  // Bear cave, at 10, 0, 0
    in_script([] {
        RunContext ctx = script_context();
        ASSERT_TRUE(try_add_marker(ctx, plugin_state, position_to_vector3(10.5f, 0, 0)));
    });
    EXPECT_EQ(undo(), -1);
    EXPECT_EQ(plugin_state.markers.length, 4u);
    EXPECT_TRUE(
        logged("Did not restore Bear cave: a marker lies within 1 unit of its place already "
               "(Quillfen/deleted.json keeps it)"));
    EXPECT_EQ(notice(), "Not restored, as a marker lies within 1 m of its place: Bear cave");
    EXPECT_NE(deleted_json().find("\"Bear cave\""), std::string::npos);
}

// ---- the newest 500 ---------------------------------------------------------------------------

TEST_F(UndoTest, AnOlderDeleteLeavingDeletedJsonIsSaidWithTheCopiesThatMayHoldIt) {
    std::vector<TextMarker> many;
    for (int i = 0; i < 503; ++i) {
        many.push_back(TextMarker{static_cast<float>(i * 10), 0, 0, 1, "M" + std::to_string(i), "",
                                  first_ns - 10 * 24 * hour_ns + i});
    }
    start(many);
    // The backup written while they were in the list, the day's copy after they went.
    const auto set_time = [](const fs::path& p, std::int64_t ns) {
        const timespec t{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        const timespec times[2] = {t, t};
        ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0) << p;
    };
    set_time(quillfen() / "markers.json.bak", first_ns - 24 * hour_ns);
    for (const auto& e : fs::directory_iterator(quillfen() / "backups")) set_time(e.path(), first_ns + 24 * hour_ns);
    in_script([] {
        RunContext ctx = script_context();
        for (int i = 0; i < 502; ++i) delete_marker_at(ctx, plugin_state, 0);
    });
    const std::string line =
        "Quillfen/deleted.json keeps the newest 500 deleted markers: 1 older one left it; Quillfen/markers.json.bak, "
        "made while it was in the list, may hold it";
    const std::vector<std::string> m = messages();
    EXPECT_EQ(std::count(m.begin(), m.end(), line), 2) << ::testing::PrintToString(m);
    EXPECT_EQ(m[std::find(m.begin(), m.end(), "Deleted M500") - m.begin() + 1], line) << "after the delete";
    EXPECT_EQ(markers_of(deleted_json(), true).names.front(), "M2");

    // With no backup written while it was in the list, none holds it.
    set_time(quillfen() / "markers.json.bak", first_ns + 24 * hour_ns);
    delete_at(0);
    EXPECT_TRUE(
        logged("Quillfen/deleted.json keeps the newest 500 deleted markers: 1 older one left it; no backup "
               "was made while it was in the list, so none holds it"))
        << ::testing::PrintToString(messages());
}

// A deleted.json of 20,000 (written so by an earlier version) is cut to the
// newest 500 at the start in about the time its reading takes (the reference,
// measured here, the fastest of three reads): when each older marker left
// one at a time, it took more than ten times that.
TEST_F(UndoTest, ALargeDeletedJsonIsCutToTheNewest500InOnePass) {
    start();
    std::vector<TextMarker> old;
    for (int i = 0; i < 20000; ++i) {
        old.push_back(TextMarker{static_cast<float>(1000 + i), 0, 0, 1, "D" + std::to_string(i), "", i, "",
                                 std::nullopt, "", std::int64_t{first_ns - 20000 + i}});
    }
    write_file(quillfen() / "deleted.json", markers_file_as_saved(old));
    using clock = std::chrono::steady_clock;
    clock::duration load{}, read = clock::duration::max();
    in_script([&] {
        RunContext ctx = script_context();
        for (int i = 0; i < 3; ++i) {
            const clock::time_point t0 = clock::now();
            MarkersData data{};
            const MarkersFileRead r = read_deleted_markers_file(deleted_path, ctx.general, data);
            read = std::min(read, clock::now() - t0);
            free_markers_data(data, ctx.general);
            ASSERT_EQ(r.outcome, MarkersFileOutcome::read);
        }
        const clock::time_point t0 = clock::now();
        load_deleted_markers(ctx, plugin_state);
        load = clock::now() - t0;
    });
    EXPECT_LT(load, 3 * read) << "read " << std::chrono::duration<double, std::milli>(read).count() << " ms, load "
                              << std::chrono::duration<double, std::milli>(load).count() << " ms";
    EXPECT_TRUE(
        logged("Quillfen/deleted.json keeps the newest 500 deleted markers: 19500 older ones leave it with "
               "its next write; no backup was made while they were in the list, so none holds them"))
        << ::testing::PrintToString(messages());
    EXPECT_EQ(undo(), 0) << "D19999, the newest, before the four markers made after it";
    delete_at(4);
    const FileMarkers kept = markers_of(deleted_json(), true);
    ASSERT_EQ(kept.names.size(), deleted_markers_kept);
    EXPECT_EQ(kept.names.front(), "D19500");
}

// ---- deletes and undos where the list is shown otherwise ----------------------------------------

struct UndoCase {
    const char* what;
    std::function<void(UndoTest&)> before;  // after the start, before the delete of marker 0 ("Bear cave")
    std::function<void(UndoTest&)> after;   // after the undo
    std::function<void(UndoTest&)> before_start = nullptr;
};
void PrintTo(const UndoCase& c, std::ostream* out) { *out << c.what; }

class UndoCasesTest : public UndoTest, public ::testing::WithParamInterface<UndoCase> {};

const UndoCase undo_cases[] = {
    {"in a search",
     [](UndoTest&) {
         RunContext ctx = script_context();
         start_search(ctx, plugin_state, "a");  // Bear cave, Camp, Lake; and the note's marker
         ASSERT_EQ(plugin_state.list_page.rows.length, 4u);
     },
     [](UndoTest&) {
         EXPECT_TRUE(plugin_state.search.in_force);
         EXPECT_EQ(plugin_state.list_page.rows.length, 4u) << "found again";
         EXPECT_EQ(std::count(plugin_state.search.found.begin(), plugin_state.search.found.end(), 0), 1);
     }},
    {"with the route to a later marker",
     [](UndoTest&) {
         RunContext ctx = script_context();
         ASSERT_TRUE(start_route(ctx, plugin_state, 3));  // Lake
     },
     [](UndoTest&) { EXPECT_TRUE(route_leads_to(plugin_state, 3)) << "the route follows Lake to its index again"; }},
    {"of the routed marker",
     [](UndoTest&) {
         RunContext ctx = script_context();
         ASSERT_TRUE(start_route(ctx, plugin_state, 0));
     },
     [](UndoTest&) { EXPECT_FALSE(plugin_state.route.active) << "the delete ended it; the undo brings the marker"; }},
    {"with deleted.json held by another program at the start",
     [](UndoTest&) {
         // Free again by the delete: it is read first, and what it held stays.
         inject_file_faults(nullptr);
     },
     [](UndoTest& t) { EXPECT_EQ(markers_of(t.deleted_json(), true).names, (std::vector<std::string>{"Old"})); },
     [](UndoTest& t) {
         // A deletion of an earlier run waits in deleted.json, which cannot be read from the start.
         write_file(t.quillfen() / "deleted.json",
                    "{\"markers\": [{\"position\": [500, 0, 0], \"category\": 1, "
                    "\"name\": \"Old\", \"timestamp\": {\"_nsec\": 5}, "
                    "\"deleted\": {\"_nsec\": 6}}]}");
         static const FileFaults held{0, 0, 0, EACCES, 0, 0, 0, "Quillfen/deleted.json", 0};
         inject_file_faults(&held);
     }},
    {"while markers.json cannot be saved (no room for it)",
     [](UndoTest&) {
         static const FileFaults full{ENOSPC, 0, 0, 0, 0, 0, 0, nullptr, 0, "Quillfen/markers.json"};
         inject_file_faults(&full);
     },
     [](UndoTest& t) {
         inject_file_faults(nullptr);
         t.frames(60 * 12);  // the failed save's retry
         EXPECT_EQ(markers_of(t.deleted_json(), true).names.size(), 0u);
     }},
};

INSTANTIATE_TEST_SUITE_P(Where, UndoCasesTest, ::testing::ValuesIn(undo_cases));

TEST_P(UndoCasesTest, TheMarkerComesBackAsItWasAndTheFilesAgree) {
    const UndoCase& c = GetParam();
    if (c.before_start) c.before_start(*this);
    start();
    const std::string before = markers_json();
    in_script([this, &c] { c.before(*this); });
    delete_at(0);
    EXPECT_EQ(plugin_state.markers.length, 3u);
    const bool on_disk = markers_json().find("\"Bear cave\"") != std::string::npos ||
                         deleted_json().find("\"Bear cave\"") != std::string::npos;
    EXPECT_TRUE(on_disk) << "the marker is in one of the two files";
    EXPECT_EQ(undo(), 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"Bear cave", "-", "Camp", "Lake"}));
    c.after(*this);
    EXPECT_EQ(markers_json(), before);
    EXPECT_EQ(deleted_json().find("\"Bear cave\""), std::string::npos);
}

TEST_F(UndoTest, ADeletedJsonThatCannotBeReadIsSaidOnceWithItsCause) {
    static const FileFaults held{0, 0, 0, EACCES, 0, 0, 0, "Quillfen/deleted.json", 0};
    inject_file_faults(&held);
    write_file(quillfen() / "deleted.json", "{\"markers\": []}");
    start();
    delete_at(0);
    inject_file_faults(nullptr);
    std::vector<std::string> said;
    for (const std::string& m : messages()) {
        if (m.rfind("Could not read Quillfen/deleted.json", 0) == 0) said.push_back(m);
    }
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("Could not read Quillfen/deleted.json: EACCES; ", 0), 0u) << said[0];
    EXPECT_EQ(said[0].find("cannot be read"), std::string::npos) << "said once: " << said[0];
}

// ---- renames -------------------------------------------------------------------------------------

TEST_F(UndoTest, ARenameIsUndoneAndSharesTheHistoryWithDeletesNewestFirst) {
    start();
    const std::string before = markers_json();
    delete_at(0);        // Bear cave
    rename(1, "Camp");   // the same name: nothing to undo
    rename(1, "Fire");   // Camp
    rename(0, "Creek");  // the marker without a name
    rename(2, "");       // Lake loses its name
    struct Step {
        UndoNext next;
        std::vector<std::string> names_after;
        const char* line;
    } steps[] = {
        // Without its name Lake is called by its category.
        {UndoNext::rename, {"Creek", "Fire", "Lake"}, "Renamed Marker (Pin) back to Lake"},
        {UndoNext::rename, {"-", "Fire", "Lake"}, "Renamed Creek back to no name"},
        {UndoNext::rename, {"-", "Camp", "Lake"}, "Renamed Fire back to Camp"},
        {UndoNext::delete_, {"Bear cave", "-", "Camp", "Lake"}, "Restored Bear cave"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.line);
        EXPECT_EQ(next_undo(plugin_state), s.next);
        EXPECT_GE(undo(), 0);
        EXPECT_EQ(names(), s.names_after);
        EXPECT_TRUE(logged(s.line)) << ::testing::PrintToString(messages());
    }
    EXPECT_EQ(markers_json(), before);
    ASSERT_TRUE(end());
    begin("{frames: 100}");
    frames(2);
    EXPECT_EQ(next_undo(plugin_state), UndoNext::none) << "renames are remembered while the game runs";
}

// ---- the buttons ---------------------------------------------------------------------------------

TEST_F(UndoTest, TheHeldDeleteAndUndoDeleteInTheFullMenu) {
    start();
    const std::string before = markers_json();
    open_full_menu();
    const Prompt undo_prompt = button_prompt(plugin_state, undo_button);
    EXPECT_FALSE(game().prompts.at(undo_prompt).enabled) << "nothing to undo yet";
    plugin_state.list_page.selection = 3;  // newest first: Bear cave
    frames(1);
    game().held.insert(control_delete);
    frames(1);
    game().held.erase(control_delete);
    ASSERT_EQ(plugin_state.markers.length, 3u);
    frames(2);
    EXPECT_TRUE(game().prompts.at(undo_prompt).enabled);
    EXPECT_EQ(game().prompts.at(undo_prompt).text, "Undo Delete");
    plugin_state.list_page.selection = 0;
    game().pressed.insert(control_undo);
    frames(1);
    game().pressed.erase(control_undo);
    EXPECT_EQ(markers_json(), before);
    EXPECT_EQ(selected_marker(plugin_state.list_page), 0) << "the selection on the marker put back";
    std::string selected;
    (void)row_labels(&selected);
    EXPECT_EQ(selected, "4/4 Bear cave");
    frames(2);
    EXPECT_FALSE(game().prompts.at(undo_prompt).enabled);
}

// ---- notes ---------------------------------------------------------------------------------------

TEST_F(UndoTest, ANoteIsSetEditedAndRemovedAndAFileWithoutNotesIsSavedAsBefore) {
    std::vector<TextMarker> plain = four_markers();
    plain[1].note.clear();
    start(plain);
    const std::string without = markers_json();
    in_script([] {
        RunContext ctx = script_context();
        set_marker_note(ctx, plugin_state, plugin_state.markers[2], "");  // none to remove: no save
    });
    EXPECT_EQ(markers_json(), without);
    struct Case {
        const char* note;
        const char* line;
        bool in_file;
    } cases[] = {
        {"left a rifle here", "Wrote a note on Camp", true},
        {"left two rifles", "Wrote a note on Camp", true},
        {"", "Removed the note of Camp", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.note);
        in_script([&c] {
            RunContext ctx = script_context();
            set_marker_note(ctx, plugin_state, plugin_state.markers[2], c.note);
        });
        EXPECT_TRUE(logged(c.line));
        const std::string file = markers_json();
        EXPECT_EQ(file.find("\"note\": \"" + std::string(c.note) + "\"") != std::string::npos, c.in_file) << file;
        // Written after the keys a marker had, within its object.
        if (c.in_file) {
            EXPECT_LT(file.find("\"_nsec\""), file.find("\"note\""));
        }
    }
    EXPECT_EQ(markers_json(), without) << "the note removed: the file as it was";
    EXPECT_EQ(markers_file_as_saved(plain), without);
}

TEST_F(UndoTest, TheNoteKeyboardCutsAt200CharactersOnACharacterBoundary) {
    // 199 ASCII letters and then "é" (2 bytes) and more: the 200th character is
    // the whole "é"; the next are cut.
    const std::string long_note = std::string(199, 'a') + "\xC3\xA9" + "bcd";
    start(four_markers(), Scenario().with("keyboard", "{typing_frames: 2, result: " +
                                                          ::quoted(std::string_view("  " + long_note + "  ")) + "}"));
    open_full_menu();
    plugin_state.list_page.selection = 1;  // Camp
    frames(1);
    game().pressed.insert(control_note);
    frames(1);
    game().pressed.erase(control_note);
    auto shown = calls("show_onscreen_keyboard");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]->texts[1], "Marker Note");
    EXPECT_EQ(static_cast<std::int32_t>(shown[0]->args[7]), 200);
    frames(3);
    ASSERT_STREQ(plugin_state.markers[2].data.name, "Camp");
    EXPECT_EQ(std::string(plugin_state.markers[2].data.note), std::string(199, 'a') + "\xC3\xA9");
    // Under the rows: the note, cut to the room there on a character's boundary.
    RunContext ctx = script_context();
    const std::string shown_note(note_to_show(ctx, plugin_state));
    EXPECT_EQ(shown_note, std::string(note_shown_characters, 'a') + "...");
    scratch_release(thread_scratch_arena());
    // Drawn as the selected marker's details, cut once more to the list's width.
    bool drawn = false;
    for (const DrawnText& t : drawn_texts()) {
        const std::string& d = t.text;
        drawn = drawn || (d.size() > 3 && d.compare(d.size() - 3, 3, "...") == 0 &&
                          shown_note.compare(0, d.size() - 3, d, 0, d.size() - 3) == 0 && d[0] == 'a');
    }
    EXPECT_TRUE(drawn);
}

TEST_F(UndoTest, ASearchFindsAMarkerByAWordOfItsNote) {
    start();
    in_script([] {
        RunContext ctx = script_context();
        start_search(ctx, plugin_state, "CAMP");
    });
    // Camp by its name, the unnamed marker by its note "what I left at that camp".
    std::vector<std::int64_t> found(plugin_state.search.found.begin(), plugin_state.search.found.end());
    EXPECT_EQ(found, (std::vector<std::int64_t>{1, 2}));
    in_script([] {
        RunContext ctx = script_context();
        start_search(ctx, plugin_state, "left at");
    });
    found.assign(plugin_state.search.found.begin(), plugin_state.search.found.end());
    EXPECT_EQ(found, (std::vector<std::int64_t>{1}));
}
