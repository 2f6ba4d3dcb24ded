// The markers file on disk: backup, load, save, and the ways a player's
// markers could be lost that must not happen.
#include "src/marker_store.h"
#include "sim_fixture.h"
#include "src/marker_editing.h"
#include "src/store/marker_file.h"
#include "tests/support/file_faults.h"

namespace {

const char* const two_markers = R"json({
    "markers": [
        {"position": [-1234.5, 567.25, 42], "category": 0, "name": "Flat Iron Lake (Waypoint)", "timestamp": {"_nsec": 1765267200000000000}},
        {"position": [2711.75, -1390.125, 45], "category": 5, "timestamp": {"_nsec": 1765270800000000000}}
    ]
})json";

class MarkerStoreTest : public SimTest {
protected:
    void write_markers(const std::string& text) {
        std::filesystem::create_directories(dir / "Quillfen");
        std::ofstream(dir / "Quillfen" / "markers.json", std::ios::binary) << text;
    }
    std::string markers_text() const { return read_file(dir / "Quillfen" / "markers.json"); }
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
};

}  // namespace

TEST_F(MarkerStoreTest, FirstUseLogsTheMissingFileAndTheFirstChangeCreatesIt) {
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

TEST_F(MarkerStoreTest, LoadsTheFileInOrderAndBacksItUpAtLoad) {
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

TEST_F(MarkerStoreTest, AFileThatCannotBeParsedIsKeptUnderANewNameAndNeverOverwritten) {
    const std::string broken = "{\"markers\": [ {\"category\": 1}, ";  // cut short by a crash of some editor
    write_markers(broken);
    begin("{frames: 10}");
    frames(1);
    EXPECT_EQ(plugin_state.markers.length, 0u);
    std::vector<std::string> m = messages();
    auto at = std::find(m.begin(), m.end(), "Failed to deserialize markers data file as JSON");
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

TEST_F(MarkerStoreTest, AValueOfTheWrongKindLoadsNothingAndIsKept) {
    const std::string wrong = R"({"markers": [{"category": 1}, {"timestamp": 5}]})";
    write_markers(wrong);
    begin("{frames: 10}");
    frames(1);
    EXPECT_EQ(plugin_state.markers.length, 0u);
    EXPECT_TRUE(logged("Failed to deserialize markers data file as JSON"));
    ASSERT_EQ(kept_copies().size(), 1u);
    EXPECT_EQ(read_file(kept_copies()[0]), wrong);
}

TEST_F(MarkerStoreTest, AFailedSaveLeavesTheOldFileWholeAndTheNextSaveWorks) {
    write_markers(two_markers);
    begin("{frames: 20}");
    frames(1);
    struct Case {
        const char* what;
        FileFaults faults;
        const char* line;  // the error line; {n} stands for the text's length
    } cases[] = {
        {"disk full after 100 bytes", {ENOSPC, 100, 0, 0, 0}, "Failed to write to markers data file: 100/{n} ENOSPC"},
        {"an I/O error at once", {EIO, 0, 0, 0, 0}, "Failed to write to markers data file: 0/{n} EIO"},
        {"the file cannot be replaced", {0, 0, EBUSY, 0, 0}, "Failed to write to markers data file: {n}/{n} EBUSY"},
    };
    float x = 100;
    for (const Case& c : cases) {
        const std::string before = markers_text();
        const std::size_t markers_before = plugin_state.markers.length;
        inject_file_faults(&c.faults);
        add_marker(x += 10);
        inject_file_faults(nullptr);
        EXPECT_EQ(markers_text(), before) << c.what;
        EXPECT_EQ(plugin_state.markers.length, markers_before + 1) << "the change stands in memory: " << c.what;
        EXPECT_FALSE(std::filesystem::exists(dir / "Quillfen" / "markers.json.saving")) << c.what;
        const std::string last = messages().back();
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
        EXPECT_EQ(last, expected) << c.what;
    }
    add_marker(x += 10);
    EXPECT_EQ(messages().back(), "Saved 6 markers to JSON");
    EXPECT_NE(markers_text().find(std::to_string(static_cast<int>(x)) + ".00000000"), std::string::npos);
}

TEST_F(MarkerStoreTest, AMissingDirectoryFailsTheSaveWithoutLosingTheList) {
    begin("{frames: 20}");
    frames(1);
    std::filesystem::remove_all(dir / "Quillfen");  // the log goes with it; its handle stays open
    add_marker(1);
    EXPECT_EQ(plugin_state.markers.length, 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "Quillfen" / "markers.json"));
    std::filesystem::create_directories(dir / "Quillfen");
    add_marker(5);
    const std::string text = markers_text();
    EXPECT_NE(text.find("1.00000000"), std::string::npos);
    EXPECT_NE(text.find("5.00000000"), std::string::npos);
}

TEST_F(MarkerStoreTest, AnUnreadableFileIsNotReplacedUntilACopyOfItExists) {
    write_markers(two_markers);
    const FileFaults locked{0, 0, 0, EACCES, EACCES};  // another program holds it
    inject_file_faults(&locked);
    begin("{frames: 20}");
    frames(1);
    EXPECT_TRUE(logged("Failed to read markers data file: EACCES"));
    EXPECT_TRUE(logged("Could not keep a copy of the markers file that could not be loaded: EACCES"));
    EXPECT_TRUE(plugin_state.unreadable_copy_pending);

    add_marker(1);  // still locked: the save refuses to replace the file
    EXPECT_EQ(markers_text(), two_markers);
    EXPECT_NE(messages().back().find("Failed to write to markers data file: 0/"), std::string::npos)
        << messages().back();

    inject_file_faults(nullptr);  // released
    add_marker(2);
    ASSERT_EQ(kept_copies().size(), 1u);
    EXPECT_EQ(read_file(kept_copies()[0]), two_markers);
    EXPECT_EQ(messages().back(), "Saved 2 markers to JSON");
    EXPECT_FALSE(plugin_state.unreadable_copy_pending);
}
