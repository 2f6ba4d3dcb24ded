// Changes made while markers.json is held from before the start, on the
// backup's markers shown meanwhile: once the file is read, each holds on the
// file's own marker (its keys the change did not touch stay the file's),
// deleted.json keeps the file's version of a marker deleted, a marker put back
// by Undo ends in markers.json or stays in deleted.json, and the late read's
// line counts each change as what it is.
#include <cerrno>
#include <functional>
#include <map>

#include "sim_fixture.h"
#include "src/collections/collections.h"
#include "src/markers/marker_editing.h"
#include "src/markers/marker_undo.h"
#include "tests/support/file_faults.h"

namespace {

constexpr std::int64_t made_ns = 1765267200000000000LL;
constexpr std::int64_t found_ns = 1765267300000000000LL;
const std::string gold_note = "gold under the tree";

const FileFaults markers_json_held{0, 0, 0, EACCES, 0, 0, 0, "Quillfen/markers.json"};

// "name: note, found" for each marker of a markers file (or of deleted.json).
std::vector<std::string> described(const std::string& text, bool deleted = false) {
    std::vector<std::string> out;
    if (text.empty()) return out;
    MarkersData data{};
    const DeserializeError e = deleted ? deserialize_deleted_markers(text, heap_allocator(), data)
                                       : deserialize_markers(text, heap_allocator(), data);
    EXPECT_EQ(e, DeserializeError::none) << text;
    for (std::size_t i = 0; i < data.count; ++i) {
        const MarkerDataV1& m = data.records[i];
        std::string d = m.name ? m.name : "-";
        if (m.note) d += std::string(": ") + m.note;
        if (m.is_found) d += ", found";
        out.push_back(d);
    }
    free_markers_data(data, heap_allocator());
    return out;
}

// When each marker of deleted.json was deleted, by name.
std::map<std::string, std::int64_t> deleted_times(const std::string& text) {
    std::map<std::string, std::int64_t> out;
    MarkersData data{};
    if (text.empty() || deserialize_deleted_markers(text, heap_allocator(), data) != DeserializeError::none) return out;
    for (std::size_t i = 0; i < data.count; ++i)
        out[data.records[i].name ? data.records[i].name : "-"] = data.deleted_ns[i];
    free_markers_data(data, heap_allocator());
    return out;
}

class HeldEditsTest;

struct HeldEditCase {
    const char* what;
    std::vector<TextMarker> file, backup;
    std::string deleted_file;                             // deleted.json at the start; empty: none
    std::function<void(HeldEditsTest&)> meanwhile;        // while markers.json is held
    std::string late_line;                                // the late read's summary
    std::vector<std::string> saved, deleted;              // markers.json and deleted.json at the end
    std::function<void(HeldEditsTest&)> after = nullptr;  // after the late read, before the files are looked at
};
void PrintTo(const HeldEditCase& c, std::ostream* out) { *out << c.what; }

class HeldEditsTest : public SimTest, public ::testing::WithParamInterface<HeldEditCase> {
public:
    using SimTest::frames;
    using SimTest::logged;
    using SimTest::messages;
    std::string deleted_json() const {
        return std::filesystem::exists(quillfen() / "deleted.json") ? read_file(quillfen() / "deleted.json") : "";
    }
    std::string markers_json() const { return read_file(quillfen() / "markers.json"); }
    static void edit(const std::function<void(RunContext&)>& what) {
        RunContext ctx = script_context();
        what(ctx);
    }
    void act(std::function<void(RunContext&)> what) {
        in_script([what] { edit(what); });
    }
    std::int64_t undo() {
        std::int64_t at = -2;
        act([&at](RunContext& ctx) { at = undo_last_change(ctx, plugin_state); });
        return at;
    }

protected:
    void TearDown() override {
        inject_file_faults(nullptr);
        SimTest::TearDown();
    }
};

// The marker the game shows first (the backup's): "Gold spot", without the file's note.
const std::vector<TextMarker> gold_in_backup = {TextMarker{10, 20, 41, 1, "Gold spot", "", made_ns}};
// The same marker as markers.json has it: a note (and, here, a name) of the last session.
const std::vector<TextMarker> gold_in_file = {
    TextMarker{10, 20, 41, 1, "Gold spot", "", made_ns, "", std::nullopt, gold_note}};
const std::vector<TextMarker> gold_renamed_in_file = {
    TextMarker{10, 20, 41, 1, "Gold spot by the tree", "", made_ns, "", std::nullopt, gold_note}};

const std::string nothing_joined =
    "Read Quillfen/markers.json at last: its 1 marker takes the place of the backup's, and 0 of the 0 markers "
    "added meanwhile joined them";

const HeldEditCase held_edits[] = {
    {"an earlier run's delete undone where a marker of the file now lies",
     {TextMarker{0, 0, 41, 1, "Alpha", "", made_ns}, TextMarker{100, 100, 41, 1, "Zed", "", made_ns + 1}},
     {TextMarker{0, 0, 41, 1, "Alpha", "", made_ns}},
     R"({"markers": [{"position": [100.3, 100, 41], "category": 1, "name": "Ex", "timestamp": {"_nsec": 5}, )"
     R"("deleted": {"_nsec": 6}}]})",
     [](HeldEditsTest& t) {
         EXPECT_EQ(t.undo(), 1);
         EXPECT_TRUE(t.logged("Restored Ex"));
     },
     "Read Quillfen/markers.json at last: its 2 markers take the place of the backup's, and 0 of the 0 markers "
     "added meanwhile joined them; of the 1 marker put back by Undo meanwhile, 0 joined them and 1 stays in "
     "Quillfen/deleted.json (within 1 unit of one of its markers)",
     {"Alpha", "Zed"},
     {"Ex"},
     [](HeldEditsTest& t) {
         EXPECT_TRUE(
             t.logged("Did not restore Ex after all: Quillfen/markers.json, read at last, has a marker within "
                      "1 unit of its place, so Quillfen/deleted.json keeps it and Undo offers it again"));
         EXPECT_STREQ(plugin_state.notice.text, "Not restored, a marker lies within 1 m: Ex");
         EXPECT_TRUE(
             t.logged("Saving works again: Quillfen/markers.json holds every change since saving failed but "
                      "1 marker that lay within 1 unit of one of its markers when it was read at last"));
         EXPECT_FALSE(t.logged("Saving works again: Quillfen/markers.json holds every change since saving failed"));
         EXPECT_EQ(next_undo(plugin_state), UndoNext::delete_) << "offered again";
         t.frames(60 * 6);  // later saves let it be
     }},
    {"a delete undone",
     gold_in_file,
     gold_in_backup,
     "",
     [](HeldEditsTest& t) {
         t.act([](RunContext& ctx) { delete_marker_at(ctx, plugin_state, 0); });
         EXPECT_EQ(t.undo(), 0);
     },
     nothing_joined,
     {"Gold spot: " + gold_note},
     {}},
    {"a delete",
     gold_in_file,
     gold_in_backup,
     "",
     [](HeldEditsTest& t) { t.act([](RunContext& ctx) { delete_marker_at(ctx, plugin_state, 0); }); },
     nothing_joined + "; of the backup's markers shown meanwhile, 1 deleted and 0 renamed stay so",
     {},
     {"Gold spot: " + gold_note}},
    {"a rename, then a delete",
     gold_in_file,
     gold_in_backup,
     "",
     [](HeldEditsTest& t) {
         t.act([](RunContext& ctx) {
             rename_marker(ctx, plugin_state, plugin_state.markers[0], "Gold");
             delete_marker_at(ctx, plugin_state, 0);
         });
     },
     nothing_joined + "; of the backup's markers shown meanwhile, 1 deleted and 0 renamed stay so",
     {},
     {"Gold: " + gold_note}},
    {"a rename",
     {TextMarker{10, 20, 41, 1, "Gold spot", "", made_ns, "", found_ns, gold_note}},
     gold_in_backup,
     "",
     [](HeldEditsTest& t) {
         t.act([](RunContext& ctx) { rename_marker(ctx, plugin_state, plugin_state.markers[0], "Gold"); });
     },
     nothing_joined + "; of the backup's markers shown meanwhile, 0 deleted and 1 renamed stay so",
     {"Gold: " + gold_note + ", found"},
     {}},
    {"a rename undone",
     gold_renamed_in_file,
     gold_in_backup,
     "",
     [](HeldEditsTest& t) {
         t.act([](RunContext& ctx) { rename_marker(ctx, plugin_state, plugin_state.markers[0], "Gold"); });
         EXPECT_EQ(t.undo(), 0);
     },
     nothing_joined,
     {"Gold spot by the tree: " + gold_note},
     {}},
    {"a rename undone once the file is read",
     gold_renamed_in_file,
     gold_in_backup,
     "",
     [](HeldEditsTest& t) {
         t.act([](RunContext& ctx) { rename_marker(ctx, plugin_state, plugin_state.markers[0], "Gold"); });
     },
     nothing_joined + "; of the backup's markers shown meanwhile, 0 deleted and 1 renamed stay so",
     {"Gold spot by the tree: " + gold_note},
     {},
     [](HeldEditsTest& t) {
         EXPECT_EQ(t.undo(), 0);
         EXPECT_TRUE(t.logged("Renamed Gold back to Gold spot by the tree"));
     }},
    {"a note and a found mark",
     gold_renamed_in_file,
     gold_in_backup,
     "",
     [](HeldEditsTest& t) {
         t.act([](RunContext& ctx) {
             set_marker_note(ctx, plugin_state, plugin_state.markers[0], "dig by the roots");
             ASSERT_TRUE(mark_found(ctx, plugin_state, 0, true));
         });
     },
     nothing_joined +
         "; of the backup's markers shown meanwhile, 0 deleted, 0 renamed, 1 with their note changed and 1 marked "
         "found stay so",
     {"Gold spot by the tree: dig by the roots, found"},
     {}},
    {"a marker of the backup the file no longer has, deleted and put back",
     {TextMarker{0, 0, 41, 1, "Alpha", "", made_ns}},
     {TextMarker{0, 0, 41, 1, "Alpha", "", made_ns}, TextMarker{50, 0, 41, 1, "Beta", "", made_ns + 1}},
     "",
     [](HeldEditsTest& t) {
         t.act([](RunContext& ctx) { delete_marker_at(ctx, plugin_state, 1); });
         EXPECT_EQ(t.undo(), 1);
     },
     nothing_joined + "; of the 1 marker put back by Undo meanwhile, 1 joined them",
     {"Alpha", "Beta"},
     {}},
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Changes, HeldEditsTest, ::testing::ValuesIn(held_edits));

TEST_P(HeldEditsTest, EachChangeHoldsOnTheFilesOwnMarkerOnceTheFileIsRead) {
    const HeldEditCase& c = GetParam();
    write_markers(markers_file_as_saved(c.file));
    write_file(quillfen() / "markers.json.bak", markers_file_as_saved(c.backup));
    if (!c.deleted_file.empty()) write_file(quillfen() / "deleted.json", c.deleted_file);
    inject_file_faults(&markers_json_held);
    begin(Scenario().with("frames", 100000).with("world", "{player: {position: [500, 500, 41]}}"));
    frames(2);
    ASSERT_TRUE(plugin_state.persistence.markers_file_unread);
    c.meanwhile(*this);
    frames(6 * 60);  // held for about 6 seconds
    const std::map<std::string, std::int64_t> deleted_at = deleted_times(deleted_json());

    inject_file_faults(nullptr);  // let go: read within the next second
    const std::size_t before = messages().size();
    frames(61);
    ASSERT_FALSE(plugin_state.persistence.markers_file_unread);
    const std::vector<std::string> m = messages();
    std::vector<std::string> late;
    for (std::size_t i = before; i < m.size(); ++i) {
        if (m[i].rfind("Read Quillfen/markers.json at last: ", 0) == 0) late.push_back(m[i]);
    }
    EXPECT_EQ(late, std::vector<std::string>{c.late_line});
    if (c.after) c.after(*this);
    EXPECT_EQ(described(markers_json()), c.saved);
    EXPECT_EQ(described(deleted_json(), true), c.deleted);
    for (const auto& [name, at] : deleted_times(deleted_json())) {
        if (deleted_at.count(name)) {
            EXPECT_EQ(at, deleted_at.at(name)) << name << " keeps the time of its delete";
        }
    }
}
