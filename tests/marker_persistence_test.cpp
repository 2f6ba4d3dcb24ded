// The markers file on disk: backup, load, save, and the ways a player's
// markers could be lost that must not happen.
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "sim_fixture.h"
#include "src/base/calendar.h"
#include "src/file_formats/marker_copies.h"
#include "src/file_formats/marker_file.h"
#include "src/markers/marker_editing.h"
#include "src/markers/marker_persistence.h"
#include "tests/support/file_faults.h"

namespace {

const char* const two_markers = R"json({
    "markers": [
        {"position": [-1234.5, 567.25, 42], "category": 0, "name": "Flat Iron Lake (Waypoint)", "timestamp": {"_nsec": 1765267200000000000}},
        {"position": [2711.75, -1390.125, 45], "category": 5, "timestamp": {"_nsec": 1765270800000000000}}
    ]
})json";

class MarkerPersistenceTest : public SimTest {
protected:
    std::string markers_text() const { return read_file(dir / "Quillfen" / "markers.json"); }
    std::vector<std::filesystem::path> kept_copies() const {
        std::vector<std::filesystem::path> out;
        for (auto& e : std::filesystem::directory_iterator(dir / "Quillfen")) {
            if (e.path().filename().string().rfind("markers.json.unreadable-", 0) == 0) out.push_back(e.path());
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    // Adds a marker at x from the script, which saves the file.
    void add_marker(float x) {
        in_script([x] {
            RunContext ctx = script_context();
            try_add_marker(ctx, plugin_state, position_to_vector3(x, 0, 0));
        });
    }
    void TearDown() override {
        inject_file_faults(nullptr);
        SimTest::TearDown();
    }
    std::string backup_text() const { return read_file(quillfen() / "markers.json.bak"); }
    // A whole start of the game (set-up, script start, a frame) and its end, on
    // the given UTC day of December 2025.
    void start_and_quit(int day = 9, const std::function<void()>& while_running = {}) {
        begin(Scenario().with("frames", 10).with("start_time_ns", day_ns(day)));
        frames(1);
        if (while_running) while_running();
        ASSERT_TRUE(end()) << end_error;
    }
    static std::int64_t day_ns(int day) { return 1764547200000000000 + (day - 1) * std::int64_t{86400000000000}; }
    // 08:00 UTC of a date.
    static std::int64_t date_ns(int year, int month, int day) {
        return (days_from_civil(year, month, day) * 86400 + 8 * 3600) * std::int64_t{1000000000};
    }
    void start_at(std::int64_t ns) {
        begin(Scenario().with("frames", 10).with("start_time_ns", ns));
        frames(1);
    }
    std::size_t count_messages(const std::string& prefix) const {
        std::size_t n = 0;
        for (const std::string& m : messages()) n += m.rfind(prefix, 0) == 0;
        return n;
    }
};

// A markers file of `count` markers as the plug-in writes it.
std::string markers_file(int count, float first_x = 0) {
    std::vector<TextMarker> markers;
    for (int i = 0; i < count; ++i) {
        markers.push_back(
            TextMarker{first_x + static_cast<float>(i) * 3, 2, 3, i % 10, "", "", 1765267200000000000 + i});
    }
    return markers_file_as_saved(markers);
}

// The line that says saves are retried, with the delay to the next try and
// what the player can do about the cause.
std::string retry_line(int seconds, const std::string& advice) {
    return "Could not save the markers: they stay in the game, and Quillfen tries again in " + std::to_string(seconds) +
           " seconds, then less often (every 300 seconds at most), and at once whenever you change a marker; to let "
           "it work, " +
           advice;
}
const std::string make_room = "make room on the disk that holds the game";
const std::string close_the_holder = "close the program that holds Quillfen/markers.json";
const std::string make_writable =
    "make Quillfen/markers.json and the Quillfen folder writable (not read-only, and yours to change)";
const std::string works_again_line = "Saving works again: Quillfen/markers.json holds every change since saving failed";

}  // namespace

TEST_F(MarkerPersistenceTest, FirstUseLogsTheMissingFileAndTheFirstChangeCreatesIt) {
    begin("{frames: 10}");
    frames(1);
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"Setup", "Backing up any existing data", "Script starting",
                                        "Loading data from disk", "Failed to read markers data file: ENOENT"}));
    EXPECT_EQ(plugin_state.markers.length, 0u);
    EXPECT_TRUE(kept_copies().empty()) << "nothing to keep when there is no file";
    add_marker(10);
    EXPECT_TRUE(logged("Saving data to disk"));
    EXPECT_TRUE(logged("Saved 1 markers to JSON"));
    EXPECT_NE(markers_text().find("10.00000000"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "Quillfen" / "markers.json.saving"));
}

TEST_F(MarkerPersistenceTest, LoadsTheFileInOrderAndBacksItUpAtLoad) {
    write_markers(two_markers);
    begin("{frames: 10}");
    EXPECT_EQ(read_file(dir / "Quillfen" / "markers.json.bak"), two_markers);
    frames(1);
    ASSERT_EQ(plugin_state.markers.length, 2u);
    const Marker& a = plugin_state.markers[0];
    EXPECT_STREQ(a.data.name, "Flat Iron Lake (Waypoint)");
    EXPECT_EQ(a.data.position.x, -1234.5f);
    EXPECT_EQ(a.blip, 0u);
    EXPECT_FALSE(a.is_new);
    EXPECT_EQ(plugin_state.markers[1].data.category, 5);
    EXPECT_EQ(plugin_state.markers[1].data.name, nullptr);
    EXPECT_TRUE(logged("Loaded 2 markers from JSON"));
}

TEST_F(MarkerPersistenceTest, AFileThatCannotBeParsedIsKeptUnderANewNameAndNeverOverwritten) {
    const std::string broken = "{\"markers\": [ {\"category\": 1}, ";  // cut short by a crash of some editor
    write_markers(broken);
    begin("{frames: 10}");
    frames(1);
    EXPECT_EQ(plugin_state.markers.length, 0u);
    std::vector<std::string> m = messages();
    auto at = std::find(m.begin(), m.end(),
                        "Failed to deserialize markers data file as JSON: 1:32: unexpected end of input: missing ]");
    ASSERT_NE(at, m.end());
    ASSERT_NE(at + 1, m.end());
    EXPECT_EQ(*(at + 1),
              "Kept the markers file that could not be loaded as Quillfen/markers.json.unreadable-20251209-080000");
    ASSERT_EQ(kept_copies().size(), 1u);
    EXPECT_EQ(read_file(kept_copies()[0]), broken);

    add_marker(5);  // the next change replaces markers.json ...
    EXPECT_NE(markers_text(), broken);
    ASSERT_TRUE(end());

    // ... and a second start in the same second, with another broken file, keeps both copies.
    write_markers("not json");
    begin("{frames: 10}");
    frames(1);
    ASSERT_EQ(kept_copies().size(), 2u);
    EXPECT_EQ(read_file(kept_copies()[0]), broken);
    EXPECT_EQ(kept_copies()[1].filename(), "markers.json.unreadable-20251209-080000-2");
    EXPECT_EQ(read_file(kept_copies()[1]), "not json");
}

TEST_F(MarkerPersistenceTest, AValueOfTheWrongKindLoadsNothingAndIsKept) {
    const std::string wrong = R"({"markers": [{"category": 1}, {"timestamp": 5}]})";
    write_markers(wrong);
    begin("{frames: 10}");
    frames(1);
    EXPECT_EQ(plugin_state.markers.length, 0u);
    EXPECT_TRUE(
        logged("Failed to deserialize markers data file as JSON: 1:45: marker 2: \"timestamp\" must be an "
               "object like {\"_nsec\": 1765267200000000000}, not a number"));
    ASSERT_EQ(kept_copies().size(), 1u);
    EXPECT_EQ(read_file(kept_copies()[0]), wrong);
}

TEST_F(MarkerPersistenceTest, AFailedSaveLeavesTheOldFileWholeAndTheNextSaveWorks) {
    write_markers(two_markers);
    begin("{frames: 20}");
    frames(1);
    // One after the other, each before a retry is due: each new reason gets its
    // line and the line that says saves are retried, with the delay (doubled by
    // each failed try) and advice that fits the cause.
    struct Case {
        const char* what;
        FileFaults faults;
        const char* line;  // the error line; {n} stands for the text's length
        int delay;
        std::string advice;
    } cases[] = {
        {"disk full after 100 bytes",
         {ENOSPC, 100, 0, 0, 0},
         "Failed to write to markers data file: 100/{n} ENOSPC",
         5,
         make_room},
        {"an I/O error at once",
         {EIO, 0, 0, 0, 0},
         "Failed to write to markers data file: 0/{n} EIO",
         10,
         "the line above says what failed"},
        {"the file cannot be replaced",
         {0, 0, EBUSY, 0, 0},
         "Failed to write to markers data file: {n}/{n} EBUSY",
         20,
         close_the_holder},
        {"a read-only folder",
         {EROFS, 0, 0, 0, 0},
         "Failed to write to markers data file: 0/{n} EROFS",
         40,
         make_writable},
    };
    float x = 100;
    for (const Case& c : cases) {
        const std::string before = markers_text();
        const std::size_t markers_before = plugin_state.markers.length;
        const std::size_t lines_before = messages().size();
        inject_file_faults(&c.faults);
        add_marker(x += 10);
        inject_file_faults(nullptr);
        const bool first = &c == &cases[0];
        ASSERT_EQ(messages().size(), lines_before + (first ? 3 : 2)) << c.what;
        if (first) {
            EXPECT_EQ(messages()[lines_before], "Saving data to disk");
        }
        EXPECT_EQ(messages().back(), retry_line(c.delay, c.advice)) << c.what;
        EXPECT_EQ(markers_text(), before) << c.what;
        EXPECT_EQ(plugin_state.markers.length, markers_before + 1) << "the change stands in memory: " << c.what;
        EXPECT_FALSE(std::filesystem::exists(dir / "Quillfen" / "markers.json.saving")) << c.what;
        std::string expected = c.line;
        const std::size_t length = [&] {
            MarkersText t{};
            std::vector<MarkerDataV1> records;
            for (const Marker& m : plugin_state.markers) records.push_back(m.data);
            serialize_markers(records.data(), records.size(), heap_allocator(), t);
            const std::size_t n = t.length;
            free_markers_text(t, heap_allocator());
            return n;
        }();
        for (std::size_t p; (p = expected.find("{n}")) != std::string::npos;)
            expected.replace(p, 3, std::to_string(length));
        EXPECT_EQ(messages()[first ? lines_before + 1 : lines_before], expected) << c.what;
    }
    add_marker(x += 10);
    const std::vector<std::string> m = messages();
    EXPECT_EQ(std::vector<std::string>(m.end() - 2, m.end()),
              (std::vector<std::string>{"Saved 7 markers to JSON", works_again_line}));
    EXPECT_NE(markers_text().find(std::to_string(static_cast<int>(x)) + ".00000000"), std::string::npos);
}

TEST_F(MarkerPersistenceTest, AQuillfenFolderMovedAwayWhilePlayingIsMadeAgainByTheNextSave) {
    write_markers(markers_file(2));
    begin("{frames: 20}");
    frames(1);
    const std::filesystem::path moved = dir / "Quillfen-moved";
    std::filesystem::rename(quillfen(), moved);  // the log's handle goes with it, and writes there
    add_marker(100);
    EXPECT_EQ(markers_in(markers_text()), 3u) << "the whole list, in a folder made again";
    const std::vector<std::string> m = split_lines(read_file(moved / "last.log"));
    ASSERT_GE(m.size(), 3u);
    EXPECT_EQ(log_message_of(m[m.size() - 3]), "Saving data to disk");
    EXPECT_EQ(log_message_of(m[m.size() - 2]),
              "The Quillfen folder was gone (moved or deleted while the game ran): made it again to save the markers "
              "in it");
    EXPECT_EQ(log_message_of(m.back()), "Saved 3 markers to JSON");
    EXPECT_EQ(read_file(moved / "markers.json"), markers_file(2)) << "the moved folder is left as it was";
    EXPECT_EQ(plugin_state.persistence.save_failure, SaveFailure::none);

    // Gone again, and it cannot be made: the advice says what to do.
    std::filesystem::remove_all(quillfen());
    const FileFaults no_folder{0, 0, 0, 0, EACCES};
    inject_file_faults(&no_folder);
    add_marker(200);
    inject_file_faults(nullptr);
    const std::string log = read_file(moved / "last.log");
    EXPECT_NE(log.find("Failed to write to markers data file: 0/"), std::string::npos);
    EXPECT_NE(log.find(retry_line(5, make_writable)), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(quillfen()));
    add_marker(300);  // the next change makes it
    EXPECT_EQ(markers_in(markers_text()), 5u);
}

TEST_F(MarkerPersistenceTest, ADamagedFileIsNotReplacedUntilACopyOfItExistsAndAFailedCopyIsSaidOnce) {
    const std::string damaged = markers_file(2).substr(0, 60);
    write_markers(damaged);
    const FileFaults full{ENOSPC, 0, 0, 0, 0};
    inject_file_faults(&full);  // no room for the copy
    begin("{frames: 5000}");
    frames(1);
    EXPECT_TRUE(logged("Could not keep a copy of the markers file that could not be loaded: ENOSPC"));
    EXPECT_TRUE(plugin_state.persistence.unreadable_copy_pending);

    add_marker(1);  // still no room: the save refuses to replace the file
    EXPECT_EQ(markers_text(), damaged);
    std::vector<std::string> m = messages();
    EXPECT_EQ(m[m.size() - 2].rfind("Failed to write to markers data file: 0/", 0), 0u) << m[m.size() - 2];
    EXPECT_NE(m[m.size() - 2].find(" the old file could not be kept yet"), std::string::npos) << m[m.size() - 2];
    EXPECT_EQ(m.back(), retry_line(5, make_room));
    frames(60 * 60);  // a minute of retries, each trying the copy again
    EXPECT_EQ(count_messages("Could not keep a copy of the markers file"), 1u) << "once per cause, not per try";
    EXPECT_EQ(markers_text(), damaged);

    const FileFaults held{0, 0, 0, EACCES, 0};  // another cause: its line, once
    inject_file_faults(&held);
    frames(60 * 60);
    EXPECT_EQ(count_messages("Could not keep a copy of the markers file that could not be loaded: EACCES"), 1u);
    EXPECT_EQ(count_messages("Could not keep a copy of the markers file"), 2u);

    inject_file_faults(nullptr);  // room again
    add_marker(2);
    ASSERT_EQ(kept_copies().size(), 1u);
    EXPECT_EQ(read_file(kept_copies()[0]), damaged);
    m = messages();
    EXPECT_EQ(std::vector<std::string>(m.end() - 2, m.end()),
              (std::vector<std::string>{"Saved 2 markers to JSON", works_again_line}));
    EXPECT_FALSE(plugin_state.persistence.unreadable_copy_pending);
}

// ---- backups that never give up the last good markers ------------------------------------

TEST_F(MarkerPersistenceTest, ADamagedFileNeverReachesTheBackupAndTheBackupsMarkersComeBack) {
    // A good file of 100 markers, not in the plug-in's own layout (as a tool or
    // an older version may have left it).
    std::string good = "{\"markers\": [ ";
    for (int i = 0; i < 100; ++i) {
        good += (i ? ", " : "") + std::string("{\"position\": [1,2,") + std::to_string(i) +
                "], \"category\": " + std::to_string(i % 10) +
                ", \"timestamp\": {\"_nsec\": " + std::to_string(1765267200000000000 + i) + "}}";
    }
    good += "]}";
    write_markers(good);
    start_and_quit(9);
    ASSERT_EQ(backup_text(), good);

    // Cut short outside the game, and two starts in a row find it so: the first
    // makes no change, the second one does.
    const std::string damaged = good.substr(0, 31);
    ASSERT_EQ(damaged, "{\"markers\": [ {\"position\": [1,2");
    write_markers(damaged);
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE("damaged start " + std::to_string(start));
        begin(Scenario().with("frames", 10).with("start_time_ns", day_ns(10)));
        EXPECT_EQ(backup_text(), good) << "set-up never copies a file that does not load";
        frames(1);
        EXPECT_EQ(backup_text(), good);
        EXPECT_EQ(plugin_state.markers.length, 100u);
        EXPECT_EQ(plugin_state.markers[99].data.position.z, 99.0f);
        const std::vector<std::string> m = messages();
        const std::vector<std::string> expected_start = {
            "Setup",
            "Backing up any existing data",
            "Did not back up markers data file, which cannot be loaded (1:32: unexpected end of input: missing ]): "
            "Quillfen/markers.json.bak keeps the last one that could",
            "Script starting",
            "Loading data from disk",
            "Failed to deserialize markers data file as JSON: 1:32: unexpected end of input: missing ]"};
        ASSERT_GE(m.size(), expected_start.size() + 2);
        EXPECT_EQ(std::vector<std::string>(m.begin(), m.begin() + 6), expected_start);
        EXPECT_EQ(m[7], "Recovered 100 markers from Quillfen/markers.json.bak, the newest backup that loads");
        // The same damaged bytes are kept once, however many starts find them.
        ASSERT_EQ(kept_copies().size(), 1u);
        EXPECT_EQ(read_file(kept_copies().back()), damaged);
        const std::string kept_name = "Quillfen/markers.json.unreadable-20251210-000000";
        EXPECT_EQ(m[6],
                  "Kept the markers file that could not be loaded as " + kept_name + (start == 2 ? " already" : ""));
        EXPECT_EQ(markers_text(), damaged) << "nothing is written before a change";
        if (start == 2) {
            add_marker(-50);
            EXPECT_EQ(messages().back(), "Saved 101 markers to JSON");
            EXPECT_EQ(markers_in(markers_text()), 101u);
            EXPECT_NE(markers_text().find("-50.00000000"), std::string::npos);
        }
        ASSERT_TRUE(end()) << end_error;
    }
    EXPECT_EQ(backup_text(), good);
    // The next start finds a good file again and backs that one up.
    start_and_quit(11);
    EXPECT_EQ(markers_in(backup_text()), 101u);
}

TEST_F(MarkerPersistenceTest, EveryCutOfAGoodFileLeavesTheGoodBackupWhole) {
    const std::string good = markers_file(2, 10);
    write_markers(good);
    start_and_quit(9);
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        write_markers(good.substr(0, cut));
        begin(Scenario().with("frames", 10).with("start_time_ns", day_ns(9) + std::int64_t(cut) * 1000000000));
        frames(1);
        ASSERT_EQ(backup_text(), good) << "cut at " << cut;
        ASSERT_EQ(plugin_state.markers.length, 2u) << "cut at " << cut;
        ASSERT_TRUE(end());
        ASSERT_EQ(read_file(quillfen() / "backups" / "markers-20251209.json"), good) << "cut at " << cut;
    }
    EXPECT_EQ(kept_copies().size(), good.size()) << "each damaged file kept aside once";
}

TEST_F(MarkerPersistenceTest, RecoveryTakesTheNewestCopyThatLoads) {
    write_markers("{\"markers\": [");
    write_file(quillfen() / "markers.json.bak", "{\"markers\": 5}");                     // edited by hand
    write_file(quillfen() / "backups" / "markers-20251208.json", "{\"markers\": [{\"");  // cut
    write_file(quillfen() / "backups" / "markers-20251207.json", markers_file(7));
    write_file(quillfen() / "backups" / "markers-20251201.json", markers_file(1));
    write_file(quillfen() / "backups" / "markers-20251209.json.old", markers_file(9));  // not a daily copy
    begin("{frames: 10}");
    frames(1);
    EXPECT_EQ(plugin_state.markers.length, 7u);
    const std::vector<std::string> m = messages();
    const std::vector<std::string> tail(m.end() - 3, m.end());
    EXPECT_EQ(
        tail,
        (std::vector<std::string>{
            "Could not load the backup Quillfen/markers.json.bak either: 1:13: \"markers\" must be a list ([...]), "
            "not a number",
            "Could not load the backup Quillfen/backups/markers-20251208.json either: 1:15: unterminated string",
            "Recovered 7 markers from Quillfen/backups/markers-20251207.json, the newest backup that loads"}));
    ASSERT_TRUE(end());

    // Nothing that loads: no markers, and the log says so.
    std::filesystem::remove_all(quillfen() / "backups");
    begin("{frames: 10}");
    frames(1);
    EXPECT_EQ(plugin_state.markers.length, 0u);
    EXPECT_EQ(messages().back(), "Found no backup of the markers data file that loads");
}

TEST_F(MarkerPersistenceTest, AMissingFileWithABackupThatLoadsIsALossAndItsMarkersComeBack) {
    // markers.json gone (moved away to make a pack, removed by a sync tool):
    // the newest backup that loads takes its place, as for a damaged file, and
    // the next save writes markers.json. With no backup at all it stays a
    // quiet first start.
    const std::string enoent = "Failed to read markers data file: ENOENT";
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::vector<std::string> lines;  // after "Loading data from disk"
        std::size_t markers;
    } cases[] = {
        {"the backup loads",
         [&] {
             std::ofstream(quillfen() / "markers.json.bak", std::ios::binary) << markers_file(3);
             std::ofstream(quillfen() / "backups" / "markers-20251208.json", std::ios::binary) << markers_file(2);
         },
         {enoent, "Recovered 3 markers from Quillfen/markers.json.bak, the newest backup that loads"},
         3},
        {"no backup, a daily copy",
         [&] { std::ofstream(quillfen() / "backups" / "markers-20251208.json", std::ios::binary) << markers_file(2); },
         {enoent, "Recovered 2 markers from Quillfen/backups/markers-20251208.json, the newest backup that loads"},
         2},
        {"copies, none of which loads",
         [&] { std::ofstream(quillfen() / "markers.json.bak", std::ios::binary) << "{\"markers\": 5}"; },
         {enoent,
          "Could not load the backup Quillfen/markers.json.bak either: 1:13: \"markers\" must be a list ([...]), not "
          "a number",
          "Found no backup of the markers data file that loads"},
         0},
        {"nothing at all: a first start", [] {}, {enoent}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(quillfen());
        std::filesystem::create_directories(quillfen() / "backups");
        c.prepare();
        begin("{frames: 10}");
        frames(1);
        std::vector<std::string> m = messages();
        m.erase(m.begin(), std::find(m.begin(), m.end(), "Loading data from disk") + 1);
        EXPECT_EQ(m, c.lines);
        EXPECT_EQ(plugin_state.markers.length, c.markers);
        EXPECT_TRUE(kept_copies().empty()) << "nothing there to keep";
        EXPECT_FALSE(std::filesystem::exists(quillfen() / "markers.json")) << "nothing is written before a change";
        add_marker(-500);
        EXPECT_EQ(markers_in(markers_text()), c.markers + 1);
        ASSERT_TRUE(end());
    }
}

TEST_F(MarkerPersistenceTest, DailyCopiesOverTenDaysKeepTheSevenLatestAndTouchNoOtherFile) {
    const std::filesystem::path backups = quillfen() / "backups";
    const std::vector<std::string> foreign = {"notes.txt",
                                              "markers-2025120.json",
                                              "markers-20251209.json.old",
                                              "Markers-20251201.json",
                                              "markers-20251201.JSON",
                                              "markers-2025120x.json",
                                              "markers-202512011.json"};
    for (const std::string& f : foreign) write_file(backups / f, "mine");
    write_file(backups / "markers-20200101.json", "an old daily copy");
    for (int day = 1; day <= 10; ++day) {
        SCOPED_TRACE("day " + std::to_string(day));
        const std::string today = markers_file(day);
        write_markers(today);
        start_and_quit(day);
        char name[32];
        std::snprintf(name, sizeof name, "markers-202512%02d.json", day);
        EXPECT_EQ(read_file(backups / name), today);
        std::vector<std::string> daily;
        for (const std::string& n : names_in(backups)) {
            if (daily_copy_date(n.c_str()) != 0) daily.push_back(n);
        }
        std::vector<std::string> expected;
        for (int d = std::max(1, day - 6); d <= day; ++d) {
            std::snprintf(name, sizeof name, "markers-202512%02d.json", d);
            expected.push_back(name);
        }
        if (day < 7) expected.insert(expected.begin(), "markers-20200101.json");
        EXPECT_EQ(daily, expected);
        for (const std::string& f : foreign) EXPECT_EQ(read_file(backups / f), "mine") << f;
    }
    EXPECT_EQ(names_in(backups).size(), foreign.size() + 7);
    EXPECT_TRUE(logged("Deleted old backup Quillfen/backups/markers-20251203.json"));

    // A second start on the same day keeps that day's first copy.
    const std::string first = read_file(backups / "markers-20251210.json");
    write_markers(markers_file(42));
    start_and_quit(10);
    EXPECT_EQ(read_file(backups / "markers-20251210.json"), first);
    EXPECT_EQ(count_messages("Copied markers data file to"), 0u);
}

namespace {

// What may stand at Quillfen/markers.json besides a file.
struct ObstacleCase {
    const char* what;
    void (*make)(const std::filesystem::path&);
    const char* is;
    std::filesystem::file_type type;
};
void PrintTo(const ObstacleCase& c, std::ostream* out) { *out << c.what; }

const ObstacleCase obstacles[] = {
    {"a directory", [](const std::filesystem::path& p) { std::filesystem::create_directory(p); }, "a directory",
     std::filesystem::file_type::directory},
    {"a pipe", [](const std::filesystem::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); },
     "a device or other special file", std::filesystem::file_type::fifo},
    {"a dangling link", [](const std::filesystem::path& p) { std::filesystem::create_symlink("gone.json", p); },
     "a link to a file that does not exist", std::filesystem::file_type::symlink},
    {"a link to itself", [](const std::filesystem::path& p) { std::filesystem::create_symlink("markers.json", p); },
     "a link that loops back to itself", std::filesystem::file_type::symlink},
    {"a link to a link that leads back to it",
     [](const std::filesystem::path& p) {
         std::filesystem::create_symlink("markers.json", p.parent_path() / "other.json");
         std::filesystem::create_symlink("other.json", p);
     },
     "a link that loops back to itself", std::filesystem::file_type::symlink},
};

class MarkersObstacleTest : public MarkerPersistenceTest, public ::testing::WithParamInterface<ObstacleCase> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Obstacles, MarkersObstacleTest, ::testing::ValuesIn(obstacles));

TEST_P(MarkersObstacleTest, NothingButAFileAtMarkersJsonIsLeftAlone) {
    const ObstacleCase& c = GetParam();
    const std::string good = markers_file(4);
    write_file(quillfen() / "markers.json.bak", good);
    c.make(quillfen() / "markers.json");
    std::vector<std::string> before = names_in(quillfen());
    before.push_back("last.log");
    before.push_back("import");        // made at set-up for marker packs
    before.push_back("settings.ini");  // written with the defaults at the first start
    std::sort(before.begin(), before.end());

    begin("{frames: 20}");
    frames(1);
    const std::string line =
        std::string("Quillfen/markers.json is ") + c.is + ", not a markers data file: Quillfen will not touch it";
    EXPECT_EQ(count_messages("Quillfen/markers.json is "), 1u);
    EXPECT_TRUE(logged(line));
    EXPECT_FALSE(logged("Failed to read markers data file: EISDIR"));
    EXPECT_EQ(plugin_state.markers.length, 4u) << "recovered from the backup";
    EXPECT_TRUE(logged("Recovered 4 markers from Quillfen/markers.json.bak, the newest backup that loads"));
    EXPECT_FALSE(plugin_state.persistence.unreadable_copy_pending);

    const std::size_t errors_before = messages().size();
    add_marker(500);
    add_marker(600);
    const std::vector<std::string> m = messages();
    std::vector<std::string> failures;
    for (std::size_t i = errors_before; i < m.size(); ++i) {
        if (m[i] != "Saving data to disk") failures.push_back(m[i]);
    }
    ASSERT_EQ(failures.size(), 2u) << "the failure once, and that saves are retried; nothing else";
    EXPECT_EQ(failures[0].rfind("Failed to write to markers data file: 0/", 0), 0u) << failures[0];
    EXPECT_NE(failures[0].find(std::string(" Quillfen/markers.json is ") + c.is), std::string::npos) << failures[0];
    EXPECT_EQ(failures[1], retry_line(5, "move away what stands at Quillfen/markers.json"));
    EXPECT_EQ(names_in(quillfen()), before) << "no file made because of it";
    EXPECT_EQ(backup_text(), good);
    EXPECT_EQ(std::filesystem::symlink_status(quillfen() / "markers.json").type(), c.type);

    std::filesystem::remove(quillfen() / "markers.json");  // the obstacle goes
    add_marker(700);
    EXPECT_EQ(messages().back(), works_again_line);
    EXPECT_TRUE(logged("Saved 7 markers to JSON"));
    EXPECT_EQ(markers_in(markers_text()), 7u);
    ASSERT_TRUE(end());
}

namespace {

// A copy at set-up that fails, and the lines the log has for it.
struct FailedCopyCase {
    const char* what;
    FileFaults faults;
    std::vector<std::string> lines;
};
void PrintTo(const FailedCopyCase& c, std::ostream* out) { *out << c.what; }

const FailedCopyCase failed_copies[] = {
    {"a read-only folder",
     {EROFS, 0, 0, 0, EROFS, 0, 0},
     {"Failed to back up markers data file: EROFS",
      "Failed to copy markers data file to Quillfen/backups/markers-20251209.json: EROFS",
      "Failed to create Quillfen/import: EROFS"}},
    {"an immutable backup",
     {0, 0, EPERM, 0, 0, 0, 0},
     {"Failed to back up markers data file: EPERM",
      "Failed to copy markers data file to Quillfen/backups/markers-20251209.json: EPERM"}},
    {"a markers file nobody may read", {0, 0, 0, EACCES, 0, 0, 0}, {"Failed to back up markers data file: EACCES"}},
};

class FailedCopyTest : public MarkerPersistenceTest, public ::testing::WithParamInterface<FailedCopyCase> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Faults, FailedCopyTest, ::testing::ValuesIn(failed_copies));

TEST_P(FailedCopyTest, EveryFailedCopyIsLogged) {
    const FailedCopyCase& c = GetParam();
    write_markers(markers_file(2));
    inject_file_faults(&c.faults);
    begin("{frames: 10}");
    inject_file_faults(nullptr);
    std::vector<std::string> m = messages();
    m.erase(m.begin(), m.begin() + 2);  // "Setup", "Backing up any existing data"
    EXPECT_EQ(m, c.lines);
    EXPECT_FALSE(std::filesystem::exists(quillfen() / "markers.json.bak"));
    EXPECT_FALSE(std::filesystem::exists(quillfen() / "markers.json.copying"));
    ASSERT_TRUE(end());
}

TEST_F(MarkerPersistenceTest, AFolderThatCannotBeWrittenFailsTheBackupAndIsLogged) {
    // The real thing, where permissions hold.
    if (geteuid() == 0) GTEST_SKIP() << "root writes into a folder without write permission";
    write_markers(markers_file(2));
    std::filesystem::permissions(quillfen(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    begin("{frames: 10}");
    std::filesystem::permissions(quillfen(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    EXPECT_TRUE(logged("Failed to back up markers data file: EACCES"));
    ASSERT_TRUE(end());
}

TEST_F(MarkerPersistenceTest, AKillAtAnyStepLeavesEveryCopyOldOrNewAndWhole) {
    // Set-up backs up a new good file over an older backup and makes the day's
    // copy; the script start keeps a damaged file aside. Killed before each of
    // their changes to the disk in turn, every name holds a whole file or none,
    // and the next start finishes the job.
    const std::string older = markers_file(3), newer = markers_file(5, 100);
    for (const bool damaged : {false, true}) {
        const std::string current = damaged ? newer.substr(0, 200) : newer;
        bool finished = false;
        for (std::size_t step = 0; !finished; ++step) {
            SCOPED_TRACE((damaged ? "damaged, killed at step " : "good, killed at step ") + std::to_string(step));
            std::filesystem::remove_all(quillfen());
            write_markers(current);
            write_file(quillfen() / "markers.json.bak", older);
            const FileFaults kill{0, 0, 0, 0, 0, EIO, step};
            inject_file_faults(&kill);
            begin("{frames: 10}");
            frames(1);
            finished = file_steps() <= step;
            inject_file_faults(nullptr);
            ASSERT_TRUE(end());

            const std::string bak = backup_text();
            EXPECT_TRUE(bak == older || (!damaged && bak == newer)) << bak.size() << " bytes";
            EXPECT_EQ(markers_text(), current);
            const auto daily = quillfen() / "backups" / "markers-20251209.json";
            if (std::filesystem::exists(daily)) {
                EXPECT_EQ(read_file(daily), newer);
            }
            for (const auto& copy : kept_copies()) EXPECT_EQ(read_file(copy), current);
            if (damaged) {
                EXPECT_FALSE(std::filesystem::exists(daily));
            }

            begin("{frames: 10}");  // the next start, in one piece
            frames(1);
            EXPECT_EQ(plugin_state.markers.length, damaged ? 3u : 5u);
            ASSERT_TRUE(end());
            EXPECT_EQ(backup_text(), damaged ? older : newer);
            if (!damaged) {
                EXPECT_EQ(read_file(daily), newer);
            }
            if (damaged) {
                ASSERT_FALSE(kept_copies().empty());
                EXPECT_EQ(read_file(kept_copies().back()), current);
            } else {
                EXPECT_TRUE(kept_copies().empty());
            }
        }
    }
}

// ---- daily copies and a clock set wrong ----------------------------------------------------

TEST_F(MarkerPersistenceTest, DailyCopiesDatedAfterTodayAreNeitherCountedNorDeleted) {
    // Seven starts with the clock years ahead, then one on the right day: that
    // day's copy stays, beside the seven later-dated ones; the rotation prunes
    // only copies dated up to today, and names that are no real date stay.
    const std::filesystem::path backups = quillfen() / "backups";
    std::filesystem::create_directories(backups);
    for (const char* foreign : {"markers-99999999.json", "markers-20261301.json"}) {
        std::ofstream(backups / foreign) << "not a date";
    }
    for (int day = 1; day <= 7; ++day) {
        write_markers(markers_file(day));
        start_at(date_ns(2030, 6, day));
        ASSERT_TRUE(end());
    }
    for (int day = 1; day <= 8; ++day) {  // eight real days before today
        std::ofstream(backups / ("markers-2025120" + std::to_string(day) + ".json"), std::ios::binary)
            << markers_file(20 + day);
    }
    write_markers(markers_file(9));
    start_at(date_ns(2025, 12, 9));
    ASSERT_TRUE(end());
    EXPECT_TRUE(logged("Copied markers data file to Quillfen/backups/markers-20251209.json"));
    EXPECT_EQ(read_file(backups / "markers-20251209.json"), markers_file(9)) << "today's copy is kept";
    EXPECT_EQ(names_in(backups),
              (std::vector<std::string>{
                  "markers-20251203.json", "markers-20251204.json", "markers-20251205.json", "markers-20251206.json",
                  "markers-20251207.json", "markers-20251208.json", "markers-20251209.json", "markers-20261301.json",
                  "markers-20300601.json", "markers-20300602.json", "markers-20300603.json", "markers-20300604.json",
                  "markers-20300605.json", "markers-20300606.json", "markers-20300607.json", "markers-99999999.json"}));
    EXPECT_EQ(count_messages("Deleted old backup "), 2u);
    EXPECT_TRUE(logged("Deleted old backup Quillfen/backups/markers-20251201.json"));
    EXPECT_TRUE(logged("Deleted old backup Quillfen/backups/markers-20251202.json"));
    EXPECT_EQ(read_file(backups / "markers-99999999.json"), "not a date");
    EXPECT_EQ(read_file(backups / "markers-20300607.json"), markers_file(7));
}

TEST_F(MarkerPersistenceTest, RecoveryTriesCopiesDatedUpToTodayBeforeLaterOnesAndNeverANameThatIsNoDate) {
    const std::filesystem::path backups = quillfen() / "backups";
    const std::string cut = "{\"markers\": [";
    struct Case {
        const char* what;
        std::vector<const char*> damaged;  // daily copies cut short
        std::size_t markers;               // recovered
        const char* from;
    } cases[] = {
        {"yesterday's copy", {}, 10, "markers-20251208.json"},
        {"an older one", {"markers-20251208.json"}, 5, "markers-20251201.json"},
        {"then the later-dated ones, newest first",
         {"markers-20251208.json", "markers-20251201.json"},
         7,
         "markers-20301203.json"},
        {"never one whose name is no date",
         {"markers-20251208.json", "markers-20251201.json", "markers-20301203.json", "markers-20301201.json"},
         0,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(quillfen());
        std::filesystem::create_directories(backups);
        write_markers(cut);
        const std::pair<const char*, int> copies[] = {{"markers-20251208.json", 10},
                                                      {"markers-20251201.json", 5},
                                                      {"markers-20301201.json", 8},
                                                      {"markers-20301203.json", 7},
                                                      {"markers-99999999.json", 9}};
        for (const auto& [name, count] : copies) {
            const bool damaged = std::find_if(c.damaged.begin(), c.damaged.end(),
                                              [&](const char* d) { return std::string(d) == name; }) != c.damaged.end();
            std::ofstream(backups / name, std::ios::binary) << (damaged ? cut : markers_file(count));
        }
        start_at(date_ns(2025, 12, 9));
        EXPECT_EQ(plugin_state.markers.length, c.markers);
        if (c.from) {
            EXPECT_TRUE(logged("Recovered " + std::to_string(c.markers) + " markers from Quillfen/backups/" + c.from +
                               ", the newest backup that loads"));
        } else {
            EXPECT_EQ(messages().back(), "Found no backup of the markers data file that loads");
        }
        EXPECT_EQ(count_messages("Could not load the backup "), c.damaged.size());
        EXPECT_EQ(count_messages("Could not load the backup Quillfen/backups/markers-99999999.json"), 0u);
        ASSERT_TRUE(end());
    }
}

TEST_F(MarkerPersistenceTest, ARecoveryOfOneMarkerSaysOneMarker) {
    write_markers("{\"markers\": [");
    write_file(quillfen() / "markers.json.bak", markers_file(1));
    begin("{frames: 20}");
    frames(1);
    EXPECT_EQ(plugin_state.markers.length, 1u);
    EXPECT_TRUE(logged("Recovered 1 marker from Quillfen/markers.json.bak, the newest backup that loads"));
    ASSERT_TRUE(end());
}

TEST_F(MarkerPersistenceTest, ADirectoryAtTodaysDailyCopyNameIsReportedAndLeftAlone) {
    std::filesystem::create_directories(quillfen() / "backups" / "markers-20251209.json");
    write_markers(markers_file(2));
    start_and_quit(9);
    EXPECT_TRUE(
        logged("Did not copy markers data file to Quillfen/backups/markers-20251209.json: a directory stands "
               "there; move it away so that today's copy can be made"));
    EXPECT_TRUE(std::filesystem::is_directory(quillfen() / "backups" / "markers-20251209.json"));
    EXPECT_EQ(backup_text(), markers_file(2)) << "the backup beside markers.json is made all the same";
}

// ---- one copy of one damaged file --------------------------------------------------------

TEST_F(MarkerPersistenceTest, ADamagedFileIsKeptAsideOnceHoweverManyStartsFindIt) {
    write_markers(markers_file(3));
    start_and_quit(1);
    const std::string first = markers_file(3).substr(0, 40), second = markers_file(3).substr(0, 80);
    struct Case {
        const std::string* damage;
        int day;
        std::size_t copies;  // kept after this start
        const char* line;
    } cases[] = {
        {&first, 2, 1,
         "Kept the markers file that could not be loaded as Quillfen/markers.json.unreadable-20251202-000000"},
        {&first, 3, 1,
         "Kept the markers file that could not be loaded as Quillfen/markers.json.unreadable-20251202-000000 already"},
        {&first, 4, 1,
         "Kept the markers file that could not be loaded as Quillfen/markers.json.unreadable-20251202-000000 already"},
        {&second, 5, 2,
         "Kept the markers file that could not be loaded as Quillfen/markers.json.unreadable-20251205-000000"},
        // The newest copy is the second damage: the first one, back again, is kept anew.
        {&first, 6, 3,
         "Kept the markers file that could not be loaded as Quillfen/markers.json.unreadable-20251206-000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.day);
        write_markers(*c.damage);
        start_and_quit(c.day);
        EXPECT_EQ(kept_copies().size(), c.copies);
        EXPECT_TRUE(logged(c.line));
        EXPECT_EQ(read_file(kept_copies().back()), *c.damage);
        EXPECT_TRUE(logged("Recovered 3 markers from Quillfen/markers.json.bak, the newest backup that loads"));
    }
}

// ---- a failed save is retried --------------------------------------------------------------

TEST_F(MarkerPersistenceTest, AFullDiskThatFreesUpMidSessionLosesNothing) {
    write_markers(markers_file(2));
    begin("{frames: 20000}");  // 16.7 ms a frame: 60 frames are a second
    frames(1);
    const FileFaults full{ENOSPC, 0, 0, 0, 0, 0, 0};
    inject_file_faults(&full);
    const std::size_t before = messages().size();
    add_marker(100);  // fails: the line, and that saves are retried
    add_marker(200);  // fails for the same reason: quiet
    frames(1200);     // a retry, failing: quiet
    in_script([] {
        RunContext ctx = script_context();
        rename_marker(ctx, plugin_state, plugin_state.markers[2], "Camp");
        delete_marker_at(ctx, plugin_state, 0);
    });
    std::vector<std::string> m = messages();
    m.erase(m.begin(), m.begin() + static_cast<std::ptrdiff_t>(before));
    // One line for the failure, whatever the number of tries; the delete is
    // not made, as deleted.json cannot keep it first, and says so.
    ASSERT_EQ(m.size(), 4u) << "one line for the failure, whatever the number of tries";
    EXPECT_EQ(m[0], "Saving data to disk");
    EXPECT_EQ(m[1].rfind("Failed to write to markers data file: 0/", 0), 0u) << m[1];
    EXPECT_NE(m[1].find(" ENOSPC"), std::string::npos) << m[1];
    EXPECT_EQ(m[2], retry_line(5, make_room));
    EXPECT_EQ(m[3].rfind("Did not delete ", 0), 0u) << m[3];
    EXPECT_NE(m[3].find(": Quillfen/deleted.json could not be written (ENOSPC), and a marker leaves the list only "
                        "once Quillfen/deleted.json keeps it for an undo; to delete it, " +
                        make_room + ", then delete it again"),
              std::string::npos)
        << m[3];
    EXPECT_EQ(plugin_state.markers.length, 4u) << "the marker stays";
    EXPECT_EQ(markers_in(markers_text()), 2u) << "the old file stays whole";

    // Room again: the next try saves everything. Four tries failed (three
    // changes and one retry), so it is due 40 seconds after the last.
    inject_file_faults(nullptr);
    frames(40 * 60 - 2);
    EXPECT_EQ(messages().size(), before + 4) << "not due yet";
    frames(2);
    m = messages();
    m.erase(m.begin(), m.begin() + static_cast<std::ptrdiff_t>(before) + 4);
    EXPECT_EQ(m, (std::vector<std::string>{"Saved 4 markers to JSON", works_again_line}));
    frames(600);
    EXPECT_EQ(messages().size(), before + 6) << "no more tries once it works";
    ASSERT_TRUE(end());

    // The next start has every change of the session.
    begin("{frames: 10}");
    frames(1);
    ASSERT_EQ(plugin_state.markers.length, 4u);
    EXPECT_EQ(plugin_state.markers[1].data.position.x, 3.0f);
    EXPECT_EQ(plugin_state.markers[2].data.position.x, 100.0f);
    EXPECT_STREQ(plugin_state.markers[2].data.name, "Camp");
    EXPECT_EQ(plugin_state.markers[3].data.position.x, 200.0f);
}

TEST_F(MarkerPersistenceTest, WhileSavesFailANewReasonGetsItsLinesAndTheTriesGoOn) {
    write_markers(markers_file(2));
    begin("{frames: 5000}");
    frames(1);
    const FileFaults full{ENOSPC, 0, 0, 0, 0, 0, 0}, locked{0, 0, EBUSY, 0, 0, 0, 0};
    inject_file_faults(&full);
    add_marker(100);
    const std::size_t after_first = messages().size();
    inject_file_faults(&locked);
    frames(301);  // the try after 5 seconds, for another reason
    std::vector<std::string> m = messages();
    m.erase(m.begin(), m.begin() + static_cast<std::ptrdiff_t>(after_first));
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].rfind("Failed to write to markers data file: ", 0), 0u) << m[0];
    EXPECT_NE(m[0].find(" EBUSY"), std::string::npos) << m[0];
    EXPECT_EQ(m[1], retry_line(10, close_the_holder));
    frames(601);  // the try 10 seconds later, for the same reason: quiet
    EXPECT_EQ(messages().size(), after_first + 2);
    inject_file_faults(nullptr);
    frames(1201);  // 20 seconds later
    EXPECT_EQ(messages().back(), works_again_line);
    EXPECT_EQ(markers_in(markers_text()), 3u);
}

// ---- the back-off of a failed save ---------------------------------------------------------

TEST(SaveRetryDelay, FiveSecondsThenTwiceAsLongAfterEachFailureAtMostFiveMinutes) {
    const std::pair<std::uint32_t, float> schedule[] = {{1, 5},   {2, 10},  {3, 20},  {4, 40},   {5, 80},
                                                        {6, 160}, {7, 300}, {8, 300}, {64, 300}, {0xFFFFFFFFu, 300}};
    for (const auto& [failures, seconds] : schedule) EXPECT_EQ(save_retry_delay_seconds(failures), seconds) << failures;
}

TEST_F(MarkerPersistenceTest, AFullDiskIsTriedOnTheBackOffScheduleAndAtOnceAtEachChange) {
    // Ten frames a second: the game time of each try, to the frame.
    write_markers(markers_file(2));
    begin("{frames: 20000, frame_ms: 100}");
    frames(1);
    const FileFaults full{ENOSPC, 0, 0, 0, 0, 0, 0};
    inject_file_faults(&full);
    add_marker(100);  // the first failure, at 0 s
    std::vector<int> tries = {0};
    for (int frame = 1; frame <= 10000; ++frame) {  // 1,000 seconds
        const std::size_t before = file_writes();
        frames(1);
        if (file_writes() > before) tries.push_back(frame);
    }
    // 5 s, then 10, 20, 40, 80, 160, and every 300 s.
    EXPECT_EQ(tries, (std::vector<int>{0, 50, 150, 350, 750, 1550, 3150, 6150, 9150}));

    // A change tries at once, however long the next retry is away; and once
    // there is room, the change itself saves.
    std::size_t before = file_writes();
    add_marker(200);
    EXPECT_EQ(file_writes(), before + 1);
    EXPECT_EQ(markers_in(markers_text()), 2u);
    inject_file_faults(nullptr);
    in_script([] {
        RunContext ctx = script_context();
        rename_marker(ctx, plugin_state, plugin_state.markers[0], "Camp");
    });
    EXPECT_EQ(messages().back(), works_again_line);
    EXPECT_EQ(markers_in(markers_text()), 4u);
    before = file_writes();
    frames(4000);
    EXPECT_EQ(file_writes(), before) << "no tries once it works";
}

TEST_F(MarkerPersistenceTest, AFullDiskForTwoMinutesOfGameTimeIsTriedAtMostEightTimes) {
    write_markers(markers_file(2));
    begin("{frames: 8000}");  // 60 frames a second
    frames(1);
    const FileFaults full{ENOSPC, 0, 0, 0, 0, 0, 0};
    inject_file_faults(&full);
    add_marker(100);
    frames(120 * 60 - 1);
    EXPECT_LE(file_writes(), 8u);
    EXPECT_EQ(file_writes(), 5u) << "the change, then at 5, 15, 35 and 75 seconds";
    EXPECT_EQ(count_messages("Failed to write to markers data file: "), 1u);
}

// ---- a markers.json that another program holds -------------------------------------------

namespace {

// The marker at `x` of a markers file made by markers_file (x = 3 * i), or null.
const MarkerDataV1* marker_at(const MarkersData& data, float x) {
    for (std::size_t i = 0; i < data.count; ++i) {
        if (data.records[i].position.x == x) return &data.records[i];
    }
    return nullptr;
}

const FileFaults markers_json_held{0, 0, 0, EACCES, 0, 0, 0, "Quillfen/markers.json"};

}  // namespace

TEST_F(MarkerPersistenceTest, AFileHeldAtTheStartIsReadOnceLetGoAndKeepsEveryMarkerAndEveryChangeMeanwhile) {
    // The last session left 1,002 markers; the backup has the 1,000 of the
    // session before. Another program holds markers.json from before the start.
    const std::string last_session = markers_file(1002);
    write_markers(last_session);
    write_file(quillfen() / "markers.json.bak", markers_file(1000));
    inject_file_faults(&markers_json_held);
    begin("{frames: 5000}");
    frames(1);
    EXPECT_TRUE(logged("Failed to read markers data file: EACCES"));
    EXPECT_TRUE(
        logged("Quillfen/markers.json is there but cannot be read now, as reading it is denied (another program may "
               "hold it): Quillfen leaves it as it is and saves nothing over it, shows the newest backup's markers "
               "meanwhile, and reads it again every second until it can"));
    EXPECT_TRUE(logged("Recovered 1000 markers from Quillfen/markers.json.bak, the newest backup that loads"));
    ASSERT_EQ(plugin_state.markers.length, 1000u);

    // Meanwhile: a marker far from all; one within 1 unit of a marker only the
    // held file has; a backup marker deleted, another renamed.
    in_script([] {
        RunContext ctx = script_context();
        try_add_marker(ctx, plugin_state, position_to_vector3(-500, 0, 0));
        try_add_marker(ctx, plugin_state, position_to_vector3(3003.5f, 2, 3));  // the file's marker 1001 is at 3003
        delete_marker_at(ctx, plugin_state, 5);                                 // at x = 15
        rename_marker(ctx, plugin_state, plugin_state.markers[6], "Camp");      // at x = 21
    });
    frames(8 * 60);  // held for 8 seconds
    EXPECT_EQ(markers_text(), last_session) << "nothing is saved over the held file";
    EXPECT_TRUE(kept_copies().empty()) << "a held file is no damaged file";
    EXPECT_EQ(count_messages("Did not save the markers: Quillfen/markers.json could not be read yet"), 1u);
    EXPECT_EQ(count_messages("Failed to read markers data file"), 1u) << "the read is tried again quietly";

    inject_file_faults(nullptr);  // let go
    frames(61);
    const std::vector<std::string> m = messages();
    const auto read = std::find(m.begin(), m.end(), "Loaded 1002 markers from JSON");
    ASSERT_NE(read, m.end());
    ASSERT_GE(m.end() - read, 5);
    EXPECT_EQ(std::vector<std::string>(read + 1, read + 4),
              (std::vector<std::string>{
                  "Read Quillfen/markers.json at last: its 1002 markers take the place of the backup's, and 1 of the 2 "
                  "markers added meanwhile joined them (1 lay within 1 unit of one of its markers); of the backup's "
                  "markers shown meanwhile, 1 deleted and 1 renamed stay so",
                  "Copied markers data file to Quillfen/backups/markers-20251209.json", "Saved 1002 markers to JSON"}));
    EXPECT_EQ(*(read + 4),
              "Saving works again: Quillfen/markers.json holds every change since saving failed but 1 marker that "
              "lay within 1 unit of one of its markers when it was read at last")
        << "not every change: the marker added within 1 unit of one of the file's is not in it";
    EXPECT_TRUE(kept_copies().empty());
    EXPECT_EQ(backup_text(), last_session) << "the backup holds the file as the game found it";
    EXPECT_FALSE(plugin_state.persistence.markers_file_unread);

    MarkersData saved{};
    ASSERT_EQ(deserialize_markers(markers_text(), heap_allocator(), saved), DeserializeError::none);
    EXPECT_EQ(saved.count, 1002u);
    EXPECT_NE(marker_at(saved, 3003), nullptr) << "the last session's markers are there";
    EXPECT_NE(marker_at(saved, 3000), nullptr);
    EXPECT_NE(marker_at(saved, -500), nullptr) << "the marker added meanwhile joined";
    EXPECT_EQ(marker_at(saved, 3003.5f), nullptr) << "within 1 unit of one of the file's";
    EXPECT_EQ(marker_at(saved, 15), nullptr) << "deleted meanwhile";
    ASSERT_NE(marker_at(saved, 21), nullptr);
    EXPECT_STREQ(marker_at(saved, 21)->name, "Camp");
    free_markers_data(saved, heap_allocator());
    EXPECT_EQ(plugin_state.markers.length, 1002u);
    ASSERT_TRUE(end());

    begin("{frames: 10}");  // the next start loads it all
    frames(1);
    EXPECT_EQ(plugin_state.markers.length, 1002u);
}

TEST_F(MarkerPersistenceTest, AMarkerMovedWhileTheFileIsHeldStaysMovedOnceItIsRead) {
    const std::string last_session = markers_file(12);  // category i % 10 at x = 3 i
    write_markers(last_session);
    write_file(quillfen() / "markers.json.bak", markers_file(10));
    inject_file_faults(&markers_json_held);
    begin("{frames: 500}");
    frames(1);
    ASSERT_EQ(plugin_state.markers.length, 10u);
    in_script([] {
        RunContext ctx = script_context();
        ASSERT_TRUE(move_marker_to_category(ctx, plugin_state, 5, 9));      // at x = 15
        ASSERT_TRUE(move_marker_to_category(ctx, plugin_state, 7, 0));      // at x = 21...
        rename_marker(ctx, plugin_state, plugin_state.markers[7], "Camp");  // ...and renamed
    });
    inject_file_faults(nullptr);  // let go
    frames(61);
    EXPECT_TRUE(
        logged("Read Quillfen/markers.json at last: its 12 markers take the place of the backup's, and 0 of "
               "the 0 markers added meanwhile joined them; of the backup's markers shown meanwhile, 0 deleted, "
               "1 renamed and 2 moved to another category stay so"));
    MarkersData saved{};
    ASSERT_EQ(deserialize_markers(markers_text(), heap_allocator(), saved), DeserializeError::none);
    ASSERT_EQ(saved.count, 12u);
    ASSERT_NE(marker_at(saved, 15), nullptr);
    EXPECT_EQ(marker_at(saved, 15)->category, 9);
    EXPECT_EQ(marker_at(saved, 15)->name, nullptr) << "moved, not renamed";
    ASSERT_NE(marker_at(saved, 21), nullptr);
    EXPECT_EQ(marker_at(saved, 21)->category, 0);
    EXPECT_STREQ(marker_at(saved, 21)->name, "Camp");
    ASSERT_NE(marker_at(saved, 18), nullptr);
    EXPECT_EQ(marker_at(saved, 18)->category, 6) << "the others as the file has them";
    free_markers_data(saved, heap_allocator());
}

namespace {

// What a held markers.json turns out to be when it can be read at last.
struct LateReadCase {
    const char* what;
    std::function<void(const std::filesystem::path&)> meanwhile;
    std::vector<std::string> lines;  // after the let-go
    std::size_t kept_aside;
};
void PrintTo(const LateReadCase& c, std::ostream* out) { *out << c.what; }

class LateReadTest : public MarkerPersistenceTest, public ::testing::WithParamInterface<LateReadCase> {};

const LateReadCase late_reads[] = {
    {"damaged",
     [](const std::filesystem::path& p) { std::ofstream(p, std::ios::binary) << "{\"markers\": ["; },
     {"Failed to deserialize markers data file as JSON: 1:14: unexpected end of input: missing ]",
      "Kept the markers file that could not be loaded as Quillfen/markers.json.unreadable-20251209-080008",
      "Saved 4 markers to JSON", works_again_line},
     1},
    {"gone",
     [](const std::filesystem::path& p) { std::filesystem::remove(p); },
     {"Quillfen/markers.json could not be read, and is no longer there as a file: the markers shown are saved in its "
      "place",
      "Saved 4 markers to JSON", works_again_line},
     0},
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(HeldFiles, LateReadTest, ::testing::ValuesIn(late_reads));

TEST_P(LateReadTest, WhatTheHeldFileTurnsOutToBeDecidesAndTheMarkersShownAreSaved) {
    const LateReadCase& c = GetParam();
    write_markers(markers_file(5));
    write_file(quillfen() / "markers.json.bak", markers_file(3));
    inject_file_faults(&markers_json_held);
    begin("{frames: 5000, start_time_ns: 1765267200000000000}");  // 2025-12-09 08:00:00 UTC
    frames(1);
    add_marker(-100);
    frames(7 * 60);
    c.meanwhile(quillfen() / "markers.json");
    inject_file_faults(nullptr);
    const std::size_t before = messages().size();
    frames(61);
    std::vector<std::string> m = messages();
    m.erase(m.begin(), m.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(m, c.lines);
    EXPECT_EQ(kept_copies().size(), c.kept_aside);
    EXPECT_EQ(markers_in(markers_text()), 4u) << "the backup's 3 and the one added";
}

// ---- memory running out while markers.json is read -----------------------------------------

namespace {

// The heap the tracker had, for the allocations a short memory still gives.
Allocator heap_while_memory_is_short;
// Memory runs out for the records of a big file (markers.json's 200), not for
// those of a small one (the backup's 3).
bool memory_is_short = false;

void* allocate_while_memory_is_short(void* data, std::size_t size, std::size_t align,
                                     const std::source_location& where) {
    if (memory_is_short && std::string_view(where.file_name()).ends_with("src/file_formats/marker_file.cpp") &&
        size >= 100 * sizeof(MarkerDataV1)) {
        return nullptr;
    }
    return heap_while_memory_is_short.allocate(data, size, align, where);
}

struct MemoryShortCase {
    const char* what;
    bool while_read;  // else while it is loaded
    std::vector<std::string> start_lines;
};
void PrintTo(const MemoryShortCase& c, std::ostream* out) { *out << c.what; }

const std::string short_memory_wait_line =
    "Quillfen/markers.json could not be loaded now, as memory ran out while it was read; the file is not damaged: "
    "Quillfen leaves it as it is and saves nothing over it, shows the newest backup's markers meanwhile, and reads "
    "it again every second until it can (closing other programs frees memory)";

const MemoryShortCase memory_short_cases[] = {
    {"while it is read",
     true,
     {"Failed to read markers data file: ENOMEM", short_memory_wait_line,
      "Recovered 3 markers from Quillfen/markers.json.bak, the newest backup that loads"}},
    {"while it is loaded",
     false,
     {"Failed to load markers data file: out of memory", short_memory_wait_line,
      "Recovered 3 markers from Quillfen/markers.json.bak, the newest backup that loads"}},
};

class MemoryShortTest : public MarkerPersistenceTest, public ::testing::WithParamInterface<MemoryShortCase> {
protected:
    void TearDown() override {
        memory_is_short = false;
        if (heap_while_memory_is_short.allocate)
            runtime_globals.allocation_tracker.backing = heap_while_memory_is_short;
        heap_while_memory_is_short = Allocator{};
        MarkerPersistenceTest::TearDown();
    }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(MemoryShort, MemoryShortTest, ::testing::ValuesIn(memory_short_cases));

TEST_P(MemoryShortTest, AGoodFileIsLeftAloneWhileMemoryIsShortAndLoadedOnceItIsNot) {
    const MemoryShortCase& c = GetParam();
    // The backup is the session before the last: set-up could not renew it.
    const std::string last_session = markers_file(200);
    write_markers(last_session);
    write_file(quillfen() / "markers.json.bak", markers_file(3));
    const FileFaults backup_fails{0, 0, EBUSY, 0, 0, 0, 0};
    inject_file_faults(&backup_fails);
    begin("{frames: 5000}");
    inject_file_faults(nullptr);

    // Memory runs out at the script start, for markers.json only.
    const FileFaults read_runs_out{0, 0, 0, ENOMEM, 0, 0, 0, "Quillfen/markers.json"};
    if (c.while_read) {
        inject_file_faults(&read_runs_out);
    } else {
        heap_while_memory_is_short = runtime_globals.allocation_tracker.backing;
        runtime_globals.allocation_tracker.backing.allocate = allocate_while_memory_is_short;
        memory_is_short = true;
    }
    frames(1);
    std::vector<std::string> m = messages();
    auto at = std::find(m.begin(), m.end(), "Loading data from disk");
    ASSERT_NE(at, m.end());
    EXPECT_EQ(std::vector<std::string>(at + 1, m.end()), c.start_lines);
    EXPECT_EQ(plugin_state.markers.length, 3u) << "the backup's markers are shown meanwhile";

    const std::size_t before = messages().size();
    add_marker(-100);
    frames(5 * 60);  // read again every second, and memory still short
    EXPECT_EQ(markers_text(), last_session) << "nothing is saved over the good file";
    EXPECT_TRUE(kept_copies().empty()) << "a file that memory could not hold is no damaged file";
    m = messages();
    EXPECT_EQ(std::vector<std::string>(m.begin() + static_cast<std::ptrdiff_t>(before), m.end()),
              (std::vector<std::string>{"Saving data to disk",
                                        "Did not save the markers: Quillfen/markers.json could not be read yet, and "
                                        "saving over it would lose what it holds; the 4 markers stay in the game and "
                                        "are saved once it can be read"}))
        << "the tries while memory is short are quiet";

    memory_is_short = false;
    inject_file_faults(nullptr);
    frames(61);
    m = messages();
    at = std::find(m.begin(), m.end(), "Loaded 200 markers from JSON");
    ASSERT_NE(at, m.end());
    ASSERT_GE(m.end() - at, 2);
    EXPECT_EQ(*(at + 1),
              "Read Quillfen/markers.json at last: its 200 markers take the place of the backup's, and 1 of the 1 "
              "markers added meanwhile joined them");
    EXPECT_EQ(m.back(), works_again_line);
    EXPECT_EQ(markers_in(markers_text()), 201u) << "the file's markers and the one added meanwhile";
    EXPECT_EQ(markers_in(backup_text()), 200u) << "the backup holds the file as the game found it";
    EXPECT_TRUE(kept_copies().empty());
}

// ---- quitting while saves fail -------------------------------------------------------------

namespace {

class QuitTest;
struct QuitCase {
    const char* what;
    std::function<void(QuitTest&)> play;  // from the start to the quit
    std::string not_saved_line;           // empty: saved at the quit
    // The lines after it, before "Shutdown": NAME stands for the name of the
    // copy of the markers the game held (the copy's own when it was kept).
    std::string copy_line;
    std::size_t markers_in_file;  // SIZE_MAX: no markers file
};
void PrintTo(const QuitCase& c, std::ostream* out) { *out << c.what; }

class QuitTest : public MarkerPersistenceTest, public ::testing::WithParamInterface<QuitCase> {
public:
    using MarkerPersistenceTest::add_marker;
    using MarkerPersistenceTest::frames;
    using MarkerPersistenceTest::quillfen;
    using MarkerPersistenceTest::restart_script;
};

const FileFaults disk_full{ENOSPC, 0, 0, 0, 0, 0, 0};

const char* const kept_unsaved_line =
    "Kept the 3 markers the game held in Quillfen/NAME: to put back what the game held, with this run's "
    "new markers, deletes, renames, moves, notes and found marks, close the game and run quillfen-markers restore . "
    "NAME in the Quillfen folder; it replaces Quillfen/markers.json, which is kept as "
    "markers.json.replaced-YYYYMMDD-HHMMSS (README.txt, IF YOUR MARKERS ARE GONE, says more)";

const QuitCase quits[] = {
    {"room again 2 s before the quit",
     [](QuitTest& t) {
         inject_file_faults(&disk_full);
         t.add_marker(100);  // the next try is due 5 s later
         t.frames(60);
         inject_file_faults(nullptr);
         t.frames(120);
     },
     "", "", 3},
    {"the disk still full",
     [](QuitTest& t) {
         inject_file_faults(&disk_full);
         t.add_marker(100);
         t.frames(180);
     },
     "The changes made since saving failed were not saved: the game held 3 markers when it quit, and the last good "
     "copy is Quillfen/markers.json as last saved",
     "Could not keep the 3 markers the game held in Quillfen/NAME either: ENOSPC, so the changes that were not saved "
     "are lost",
     2},
    {"the file held since the start",
     [](QuitTest& t) {
         inject_file_faults(&markers_json_held);
         t.restart_script();
         t.add_marker(100);
         t.frames(180);
     },
     "The changes made in the game were not saved: Quillfen/markers.json still could not be read when the game quit, "
     "so it is left as it was (the game held 3 markers, the backup's and those added since)",
     kept_unsaved_line, 2},
    {"a folder put in the place of markers.json",
     [](QuitTest& t) {
         std::filesystem::remove(t.quillfen() / "markers.json");
         std::filesystem::create_directory(t.quillfen() / "markers.json");
         t.add_marker(100);
         t.frames(180);
     },
     "The changes made since saving failed were not saved: the game held 3 markers when it quit, and the last good "
     "copy is Quillfen/markers.json as last saved",
     kept_unsaved_line, SIZE_MAX},
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Quits, QuitTest, ::testing::ValuesIn(quits));

TEST_P(QuitTest, AQuitWhileSavesFailTriesOnceMoreAndOtherwiseKeepsWhatTheGameHeldInAFileOfItsOwn) {
    const QuitCase& c = GetParam();
    write_markers(markers_file(2));
    write_file(quillfen() / "markers.json.bak", markers_file(3));
    begin("{frames: 5000}");
    frames(1);
    c.play(*this);
    // What the game held at the quit, as a save writes it.
    std::vector<MarkerDataV1> held;
    for (const Marker& m : plugin_state.markers) held.push_back(m.data);
    MarkersText held_text{};
    ASSERT_EQ(serialize_markers(held.data(), held.size(), heap_allocator(), held_text), SerializeError::none);
    const std::string held_file(held_text.data, held_text.length);
    free_markers_text(held_text, heap_allocator());
    ASSERT_EQ(held.size(), 3u);
    ASSERT_TRUE(end());
    inject_file_faults(nullptr);
    const std::vector<std::string> m = messages();
    ASSERT_GE(m.size(), 4u);
    EXPECT_EQ(m.back(), "Shutdown");
    std::vector<std::string> copies;
    for (const std::string& name : names_in(quillfen())) {
        if (name.rfind("markers.json.unsaved-", 0) == 0) copies.push_back(name);
    }
    if (c.not_saved_line.empty()) {
        EXPECT_EQ(std::vector<std::string>(m.end() - 3, m.end() - 1),
                  (std::vector<std::string>{"Saved 3 markers to JSON", works_again_line}));
        EXPECT_TRUE(copies.empty()) << "saved: nothing to keep aside";
    } else {
        EXPECT_EQ(m[m.size() - 3], c.not_saved_line);
        const std::string& copy_line = m[m.size() - 2];
        if (c.copy_line == kept_unsaved_line) {
            ASSERT_EQ(copies.size(), 1u);
            EXPECT_TRUE(std::regex_match(copies[0], std::regex(R"(markers\.json\.unsaved-\d{8}-\d{6})"))) << copies[0];
            std::string want = c.copy_line;
            for (std::size_t at; (at = want.find("NAME")) != std::string::npos;) want.replace(at, 4, copies[0]);
            EXPECT_EQ(copy_line, want);
            // In the markers file's format: the game's markers, as a save would have written them.
            EXPECT_EQ(read_file(quillfen() / copies[0]), held_file);
        } else {
            EXPECT_TRUE(copies.empty());
            std::string pattern = c.copy_line;
            pattern.replace(pattern.find("NAME"), 4, R"(markers\.json\.unsaved-\d{8}-\d{6})");
            EXPECT_TRUE(std::regex_match(copy_line, std::regex(pattern))) << copy_line;
        }
    }
    EXPECT_EQ(markers_in(markers_text()), c.markers_in_file);
    EXPECT_FALSE(std::filesystem::exists(quillfen() / "markers.json.copying"));
}

// The scripts started again (the host's reload) while saves fail: the last
// run's list is what the player has, so it gets the quit's last try, or is
// kept aside, before it is let go.
struct RestartCase {
    const char* what;
    bool room_again;  // the disk has room again by the restart; else a folder took markers.json's place
};
void PrintTo(const RestartCase& c, std::ostream* out) { *out << c.what; }

class RestartWhileSavesFailTest : public MarkerPersistenceTest, public ::testing::WithParamInterface<RestartCase> {};

INSTANTIATE_TEST_SUITE_P(Restarts, RestartWhileSavesFailTest,
                         ::testing::Values(RestartCase{"room again before the restart", true},
                                           RestartCase{"a folder put in the place of markers.json", false}));

TEST_P(RestartWhileSavesFailTest, TheLastRunsUnsavedMarkersAreSavedOrKeptAside) {
    write_markers(markers_file(2));
    begin("{frames: 5000}");
    frames(1);
    if (GetParam().room_again) {
        inject_file_faults(&disk_full);
    } else {
        std::filesystem::remove(quillfen() / "markers.json");
        std::filesystem::create_directory(quillfen() / "markers.json");
    }
    add_marker(100);
    frames(60);  // the retry is not due yet
    std::vector<MarkerDataV1> held;
    for (const Marker& m : plugin_state.markers) held.push_back(m.data);
    MarkersText held_text{};
    ASSERT_EQ(serialize_markers(held.data(), held.size(), heap_allocator(), held_text), SerializeError::none);
    const std::string held_file(held_text.data, held_text.length);
    free_markers_text(held_text, heap_allocator());
    ASSERT_EQ(held.size(), 3u);
    if (GetParam().room_again) inject_file_faults(nullptr);
    const std::size_t before = messages().size();
    restart_script();
    inject_file_faults(nullptr);
    const std::vector<std::string> m = messages();
    const std::vector<std::string> said(m.begin() + static_cast<std::ptrdiff_t>(before), m.end());
    std::vector<std::string> copies;
    for (const std::string& name : names_in(quillfen())) {
        if (name.rfind("markers.json.unsaved-", 0) == 0) copies.push_back(name);
    }
    if (GetParam().room_again) {
        EXPECT_NE(std::find(said.begin(), said.end(), "Saved 3 markers to JSON"), said.end());
        EXPECT_TRUE(copies.empty());
        EXPECT_EQ(markers_text(), held_file);
    } else {
        EXPECT_NE(std::find(said.begin(), said.end(),
                            "The changes made since saving failed were not saved: the game held 3 markers when the "
                            "scripts started again, and the last good copy is Quillfen/markers.json as last saved"),
                  said.end());
        ASSERT_EQ(copies.size(), 1u) << "kept aside before the list was let go";
        EXPECT_EQ(read_file(quillfen() / copies[0]), held_file);
    }
    ASSERT_TRUE(end());
}
