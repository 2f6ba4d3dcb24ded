// Marker packs: the 1-unit rule for many markers at once, and the import of
// Quillfen/import/ at a script start in the simulated game.
#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <random>
#include <regex>

#include "sim/trace.h"
#include "sim_fixture.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/marker_pack_merge.h"
#include "src/file_formats/marker_spacing.h"
#include "src/markers/marker_editing.h"
#include "src/markers/marker_packs.h"
#include "tests/support/file_faults.h"

namespace {

namespace fs = std::filesystem;

// ---- the grid gives the pairwise loop's answers ----------------------------------------

// The loop of try_add_marker over the positions kept so far.
bool pairwise_too_close(const std::vector<Position>& kept, const Position& q) {
    for (const Position& p : kept) {
        if (distance_squared(p, vector3_to_position(position_to_vector3(q))) < minimum_spacing_squared) return true;
    }
    return false;
}

// Offers `offered` one by one to the grid and to the pairwise loop, keeping
// what is not too close, and fails at the first different answer.
void expect_same_answers(const std::vector<Position>& offered, std::size_t* refused) {
    SpacingGrid grid{};
    std::vector<Position> kept;
    *refused = 0;
    for (const Position& q : offered) {
        const bool pairwise = pairwise_too_close(kept, q);
        ASSERT_EQ(spacing_grid_too_close(grid, q), pairwise) << q.x << ", " << q.y << ", " << q.z;
        if (pairwise) {
            ++*refused;
            continue;
        }
        kept.push_back(q);
        ASSERT_TRUE(spacing_grid_add(grid, heap_allocator(), q));
    }
    spacing_grid_free(grid);
}

TEST(MarkerSpacing, TheGridAnswersAsThePairwiseLoopNearCellBordersAndBeyondFiniteNumbers) {
    constexpr float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        std::function<float(std::mt19937&)> coordinate;
    } cases[] = {
        // Cells are 8 wide: borders at multiples of 8, a neighbour looked in
        // within 1 unit of them (at 8c + 1 and 8c + 7).
        {"integers and a float step either side",
         [](std::mt19937& r) {
             const float k = static_cast<float>(static_cast<int>(r() % 35) - 17);
             switch (r() % 4) {
                 case 0: return k;
                 case 1: return std::nextafter(k, 100.0f);
                 case 2: return std::nextafter(k, -100.0f);
                 default: return k + static_cast<float>(static_cast<int>(r() % 9) - 4) * 0.25f;
             }
         }},
        {"uniform in a small box", [](std::mt19937& r) { return std::uniform_real_distribution<float>(-5, 5)(r); }},
        {"far out, where floats are whole numbers and cells are clamped",
         [](std::mt19937& r) {
             const float bases[] = {1073741824.0f, -1073741824.0f, 16777216.0f, 3.0e38f, -3.0e38f};
             return std::nextafter(bases[r() % 5], r() % 2 ? inf : -inf) + static_cast<float>(r() % 3);
         }},
        {"some not finite",
         [](std::mt19937& r) {
             const unsigned pick = r() % 10;
             if (pick == 0) return nan;
             if (pick == 1) return r() % 2 ? inf : -inf;
             return static_cast<float>(static_cast<int>(r() % 7) - 3) * 0.5f;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::mt19937 r(12);
        std::vector<Position> offered;
        for (int i = 0; i < 6000; ++i) offered.push_back(Position{c.coordinate(r), c.coordinate(r), c.coordinate(r)});
        std::size_t refused = 0;
        expect_same_answers(offered, &refused);
        EXPECT_GT(refused, 0u) << "the data must hold markers that are too close";
        EXPECT_LT(refused, offered.size()) << "and markers that are not";
    }
}

TEST(MarkerSpacing, ExactlyOneUnitIsAllowedAcrossACellBorder) {
    SpacingGrid grid{};
    ASSERT_TRUE(spacing_grid_add(grid, heap_allocator(), Position{7.5f, 0, 0}));
    EXPECT_FALSE(spacing_grid_too_close(grid, Position{8.5f, 0, 0})) << "1 unit, in the next cell";
    EXPECT_TRUE(spacing_grid_too_close(grid, Position{std::nextafter(8.5f, 0.0f), 0, 0}));
    EXPECT_TRUE(spacing_grid_too_close(grid, Position{7.5f, -0.99f, 0})) << "across the border of y";
    EXPECT_FALSE(spacing_grid_too_close(grid, Position{6.5f, 0, 0}));
    EXPECT_FALSE(spacing_grid_too_close(grid, Position{7.5f, 0, std::numeric_limits<float>::quiet_NaN()}));
    spacing_grid_free(grid);

    // A pack's marker that is not finite is not taken; the next one is checked
    // against the markers taken from the same pack.
    EXPECT_EQ(admit_pack_marker(grid, heap_allocator(), Position{std::numeric_limits<float>::infinity(), 0, 0}),
              PackMarkerVerdict::not_finite);
    EXPECT_EQ(admit_pack_marker(grid, heap_allocator(), Position{7, 7, 7}), PackMarkerVerdict::added);
    EXPECT_EQ(admit_pack_marker(grid, heap_allocator(), Position{7.5f, 7, 7}), PackMarkerVerdict::too_close);
    spacing_grid_free(grid);
}

// ---- the merge of one pack, as the import and quillfen-markers merge both make it ----------

// The heap, failing every allocation after the first `left`.
struct RunningOut {
    std::size_t left;
};

Allocator running_out_allocator(RunningOut& r) {
    return Allocator{
        [](void* data, std::size_t size, std::size_t align, const std::source_location& where) -> void* {
            auto& out = *static_cast<RunningOut*>(data);
            if (out.left == 0) return nullptr;
            --out.left;
            return heap_allocator().allocate(heap_allocator().data, size, align, where);
        },
        [](void*, void* block, std::size_t size) { heap_allocator().deallocate(heap_allocator().data, block, size); },
        &r};
}

struct MergeRun {
    bool filled;
    PackMergeCounts counts;
    std::vector<std::int64_t> taken;  // the categories of the records taken, in order
};

MergeRun merge_over(const std::vector<Position>& list, std::vector<MarkerDataV1>& pack, const Allocator& allocator) {
    MergeRun run{};
    SpacingGrid grid{};
    run.filled = fill_spacing_grid(grid, allocator, list.size(), [&](std::size_t i) { return list[i]; });
    if (run.filled) {
        run.counts = merge_pack_records(grid, allocator, pack.data(), pack.size(),
                                        [&](MarkerDataV1& record) { run.taken.push_back(record.category); });
    }
    spacing_grid_free(grid);
    return run;
}

TEST(PackMerge, EachRecordIsAddedTooCloseOrLeftOutAndTheAddedAreTakenInTheirOrder) {
    constexpr float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<Position> list = {{0, 0, 0}, {10, 0, 0}};
    // The category says which record of the pack was taken.
    std::vector<MarkerDataV1> pack = {
        {{0.5f, 0, 0}, 0, nullptr, {0}},    // too close to the list
        {{5, 0, 0}, 1, nullptr, {0}},       // added
        {{5.5f, 0, 0}, 2, nullptr, {0}},    // too close to the one just added
        {{nan, 0, 0}, 3, nullptr, {0}},     // left out
        {{0, -inf, 0}, 4, nullptr, {0}},    // left out
        {{10, 1, 0}, 5, nullptr, {0}},      // exactly 1 unit from the list: added
        {{-20, 3, 1}, 6, nullptr, {0}},     // added
        {{-20, 3, 1.5f}, 7, nullptr, {0}},  // too close to the one added before
    };
    const MergeRun run = merge_over(list, pack, heap_allocator());
    ASSERT_TRUE(run.filled);
    EXPECT_TRUE(run.counts.whole);
    EXPECT_EQ(run.counts.added, 3u);
    EXPECT_EQ(run.counts.too_close, 3u);
    EXPECT_EQ(run.counts.not_finite, 2u);
    EXPECT_EQ(run.taken, (std::vector<std::int64_t>{1, 5, 6}));

    // Offered again over the list it made, the pack adds nothing.
    std::vector<Position> grown = list;
    for (std::int64_t c : run.taken) grown.push_back(pack[static_cast<std::size_t>(c)].position);
    const MergeRun again = merge_over(grown, pack, heap_allocator());
    EXPECT_EQ(again.counts.added, 0u);
    EXPECT_EQ(again.counts.too_close, 6u);

    // Memory running out anywhere: the list's grid is not made, or the merge
    // stops short, and what was taken until then is the start of the whole
    // merge's, counted as added.
    bool whole_reached = false, stopped_short = false;
    for (std::size_t left = 0; left < 64 && !whole_reached; ++left) {
        SCOPED_TRACE(left);
        RunningOut out{left};
        const MergeRun part = merge_over(list, pack, running_out_allocator(out));
        if (!part.filled) continue;
        EXPECT_EQ(part.counts.added, part.taken.size());
        ASSERT_LE(part.taken.size(), run.taken.size());
        EXPECT_TRUE(std::equal(part.taken.begin(), part.taken.end(), run.taken.begin()));
        if (!part.counts.whole) {
            stopped_short = true;
            continue;
        }
        whole_reached = true;
        EXPECT_EQ(part.taken, run.taken);
    }
    EXPECT_TRUE(stopped_short) << "no run ran out of memory within the merge";
    EXPECT_TRUE(whole_reached);
}

TEST(MarkerSpacing, PackNamesEndInJson) {
    for (const char* yes : {"a.json", "Legendary animals.JSON", "日本語.Json", "x.y.json"})
        EXPECT_TRUE(is_pack_name(yes)) << yes;
    for (const char* no : {".json", "a.json5", "a.json.txt", "imported", "ajson", "notes.txt"})
        EXPECT_FALSE(is_pack_name(no)) << no;
}

// ---- the import at a script start -----------------------------------------------------

const std::string two_markers =
    markers_file_text({TextMarker{-1234.5f, 567.25f, 42, 0, "Flat Iron Lake", "", 1765267200000000000},
                       TextMarker{2711.75f, -1390.125f, 45, 5, "", "", 1765270800000000000}});

// The markers of a file's text, loaded by the plug-in's reader.
struct Loaded {
    MarkersData data{};
    explicit Loaded(const std::string& text) {
        EXPECT_EQ(deserialize_markers(text, heap_allocator(), data), DeserializeError::none);
    }
    ~Loaded() { free_markers_data(data, heap_allocator()); }
    Loaded(const Loaded&) = delete;
    std::size_t size() const { return data.count; }
    const MarkerDataV1& operator[](std::size_t i) const { return data.records[i]; }
};

class MarkerPacksTest : public SimTest {
protected:
    fs::path import() const { return quillfen() / "import"; }
    void start() {
        begin("{frames: 100}");
        frames(1);
    }
    // The messages from "Loading data from disk" on.
    std::vector<std::string> start_messages() const {
        std::vector<std::string> m = messages();
        auto at = std::find(m.begin(), m.end(), "Loading data from disk");
        return std::vector<std::string>(at, m.end());
    }
    void TearDown() override {
        inject_file_faults(nullptr);
        SimTest::TearDown();
    }
};

TEST_F(MarkerPacksTest, PacksAreMergedInNameOrderUnderTheOneUnitRuleSavedOnceAndMovedAway) {
    constexpr float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    write_markers(two_markers);
    const std::string friends =
        "// from Arthur\n" +
        markers_file_text({
            TextMarker{100, 200, 30, 7, "", R"("Say \"hi\" at the \\ old mill")", 1700000000000000001},  // new
            TextMarker{-1234.5f + 0.6f, 567.25f, 42, 1, "", "'near the lake'",
                       1700000000000000002},  // 0.6 from one of ours
            TextMarker{-1234.5f, 567.25f, 43, 9, "", R"("Überfall — 北の小屋")",
                       1700000000000000003},                              // exactly 1 unit: new
            TextMarker{100.5f, 200, 30, 2, "", "", 1700000000000000004},  // 0.5 from the first
        });
    const std::string broken = "{\n  \"markers\": [\n    {\"category\": 1,,}\n  ]\n}";
    const std::string more = markers_file_text({
        TextMarker{100, 200.9f, 30, 3, "too close to Arthur's", "", 1700000000000000005},
        TextMarker{nan, 1, 2, 1, "", "", std::nullopt}, TextMarker{5, -inf, 2, 1, "", "", std::nullopt},
        TextMarker{-5, -5, -5, 12, "category twelve", "", 1700000000000000006},  // new; never a blip
    });
    write_file(import() / "a friends.json", friends);
    write_file(import() / "b-broken.json", broken);
    write_file(import() / "c-more.JSON", more);
    write_file(import() / "notes.txt", "mine");
    start();

    std::vector<std::string> m = start_messages();
    ASSERT_GE(m.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(m.begin(), m.begin() + 3),
              (std::vector<std::string>{"Loading data from disk", "Loaded 2 markers from JSON",
                                        "Imported 2 of 4 markers from Quillfen/import/a friends.json"}));
    EXPECT_TRUE(
        std::regex_match(m[3], std::regex(R"(Failed to load marker pack Quillfen/import/b-broken\.json: 3:\d+: .+)")))
        << m[3];
    EXPECT_EQ(std::vector<std::string>(m.begin() + 4, m.begin() + 10),
              (std::vector<std::string>{
                  "Imported 1 of 4 markers from Quillfen/import/c-more.JSON",
                  "Left out 2 markers of Quillfen/import/c-more.JSON whose position is not a finite number",
                  "Saving data to disk", "Saved 5 markers to JSON",
                  "Moved marker pack Quillfen/import/a friends.json to Quillfen/import/imported/a friends.json",
                  "Moved marker pack Quillfen/import/c-more.JSON to Quillfen/import/imported/c-more.JSON"}));
    EXPECT_EQ(std::count(m.begin(), m.end(), "Saving data to disk"), 1);

    // The pack's fields as they were; loaded markers first, then the packs' in
    // order. After the first frame's blip pass the new ones were shown as new.
    frames(1);
    ASSERT_EQ(plugin_state.markers.length, 5u);
    struct Expected {
        float x, y, z;
        std::int64_t category;
        const char* name;
        std::int64_t ns;
        bool is_new;
    } expected[] = {
        {-1234.5f, 567.25f, 42, 0, "Flat Iron Lake", 1765267200000000000, false},
        {2711.75f, -1390.125f, 45, 5, nullptr, 1765270800000000000, false},
        {100, 200, 30, 7, "Say \"hi\" at the \\ old mill", 1700000000000000001, false},
        {-1234.5f, 567.25f, 43, 9, "Überfall — 北の小屋", 1700000000000000003, false},
        {-5, -5, -5, 12, "category twelve", 1700000000000000006, true},
    };
    const Loaded saved(read_file(quillfen() / "markers.json"));
    ASSERT_EQ(saved.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        for (const MarkerDataV1& d : {plugin_state.markers[i].data, saved[i]}) {
            EXPECT_EQ(d.position.x, expected[i].x);
            EXPECT_EQ(d.position.y, expected[i].y);
            EXPECT_EQ(d.position.z, expected[i].z);
            EXPECT_EQ(d.category, expected[i].category);
            EXPECT_EQ(d.name ? std::string(d.name) : "(none)", expected[i].name ? expected[i].name : "(none)");
            EXPECT_EQ(d.timestamp._nsec, expected[i].ns);
        }
        EXPECT_EQ(plugin_state.markers[i].is_new, expected[i].is_new);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_NE(plugin_state.markers[i].blip, 0u);
        const std::vector<std::uint32_t>& mods = game().blips.at(plugin_state.markers[i].blip).modifiers;
        EXPECT_EQ(std::count(mods.begin(), mods.end(), 0x95BD6684u), i >= 2 ? 1 : 0) << i;
    }

    const std::string broken_line = m[3];
    EXPECT_EQ(names_in(import()), (std::vector<std::string>{"b-broken.json", "imported", "notes.txt"}));
    EXPECT_EQ(read_file(import() / "b-broken.json"), broken);
    EXPECT_EQ(names_in(import() / "imported"), (std::vector<std::string>{"a friends.json", "c-more.JSON"}));
    EXPECT_EQ(read_file(import() / "imported" / "a friends.json"), friends);
    ASSERT_TRUE(end());

    // The same pack again: nothing to add, so nothing to save; it goes beside
    // the first one under a name of its own.
    write_file(import() / "a friends.json", friends);
    start();
    m = start_messages();
    EXPECT_EQ(std::vector<std::string>(m.begin() + 2, m.end()),
              (std::vector<std::string>{
                  "Imported 0 of 4 markers from Quillfen/import/a friends.json", broken_line,
                  "Moved marker pack Quillfen/import/a friends.json to Quillfen/import/imported/a friends-2.json"}));
    EXPECT_EQ(read_file(import() / "imported" / "a friends-2.json"), friends);
    EXPECT_EQ(plugin_state.markers.length, 5u);
}

// ---- a pack while markers.json cannot be read ---------------------------------------------

// markers.json holds F0..F4; the backup the same and a marker at x = 100 that
// the player deleted the last time the game ran; a friend's pack has one
// marker 0.5 from it. Another program holds markers.json when the game starts.
struct HeldFilePackCase {
    const char* what;
    bool let_go_while_running;  // else held until the quit, and the next start finds it free
};
void PrintTo(const HeldFilePackCase& c, std::ostream* out) { *out << c.what; }

class HeldFilePackTest : public MarkerPacksTest, public ::testing::WithParamInterface<HeldFilePackCase> {};

INSTANTIATE_TEST_SUITE_P(HeldFiles, HeldFilePackTest,
                         ::testing::Values(HeldFilePackCase{"let go a second later", true},
                                           HeldFilePackCase{"held until the quit", false}));

TEST_P(HeldFilePackTest, APackWaitsUntilMarkersJsonIsReadAndIsMergedWithTheFilesMarkers) {
    std::vector<TextMarker> file;
    for (int i = 0; i < 5; ++i) file.push_back(TextMarker{static_cast<float>(i) * 10, 0, 0, 0, "", "", i + 1});
    std::vector<TextMarker> backup = file;
    backup.push_back(TextMarker{100, 0, 0, 0, "", "", 6});
    const std::string friends = markers_file_text({TextMarker{100.5f, 0, 0, 3, "Friend's camp", "", 7}});
    write_markers(markers_file_as_saved(file));
    write_file(quillfen() / "markers.json.bak", markers_file_as_saved(backup));
    write_file(import() / "friend.json", friends);
    const FileFaults held{0, 0, 0, EACCES, 0, 0, 0, "Quillfen/markers.json"};
    inject_file_faults(&held);
    begin("{frames: 1000}");
    frames(1);
    const std::vector<std::string> m = start_messages();
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[3], "Recovered 6 markers from Quillfen/markers.json.bak, the newest backup that loads");
    EXPECT_EQ(m[4],
              "Left marker pack Quillfen/import/friend.json where it is for now: Quillfen/markers.json has not been "
              "read yet, and the pack's markers are added to the file's once it has been (or at the next start)");
    EXPECT_EQ(names_in(import()), (std::vector<std::string>{"friend.json"})) << "the pack waits in import/";

    if (GetParam().let_go_while_running) {
        inject_file_faults(nullptr);
        const std::size_t before = messages().size();
        frames(61);
        std::vector<std::string> late = messages();
        late.erase(late.begin(), late.begin() + static_cast<std::ptrdiff_t>(before));
        ASSERT_GE(late.size(), 2u);
        EXPECT_EQ(late[0], "Loaded 5 markers from JSON");
        const auto imported =
            std::find(late.begin(), late.end(), "Imported 1 of 1 marker from Quillfen/import/friend.json");
        ASSERT_NE(imported, late.end()) << "merged once the file's markers are in the game";
        EXPECT_EQ(std::vector<std::string>(imported + 1, late.end()),
                  (std::vector<std::string>{
                      "Saving data to disk", "Saved 6 markers to JSON",
                      "Moved marker pack Quillfen/import/friend.json to Quillfen/import/imported/friend.json"}));
    } else {
        frames(120);
        ASSERT_TRUE(end());
        inject_file_faults(nullptr);
        EXPECT_EQ(names_in(import()), (std::vector<std::string>{"friend.json"})) << "still there at the quit";
        start();
        EXPECT_TRUE(logged("Imported 1 of 1 marker from Quillfen/import/friend.json"));
    }
    const Loaded saved(read_file(quillfen() / "markers.json"));
    ASSERT_EQ(saved.size(), 6u) << "the file's five and the friend's";
    EXPECT_EQ(saved[5].position.x, 100.5f);
    EXPECT_STREQ(saved[5].name, "Friend's camp");
    EXPECT_EQ(names_in(import()), (std::vector<std::string>{"imported"}));
    EXPECT_EQ(names_in(import() / "imported"), (std::vector<std::string>{"friend.json"}));
}

// ---- a pack whose save failed ------------------------------------------------------------

const std::string three_markers =
    markers_file_text({TextMarker{10, 10, 10, 1, "one", "", 1}, TextMarker{20, 20, 20, 2, "two", "", 2},
                       TextMarker{30, 30, 30, 3, "", "", 3}});

const char* const pack_waits_line =
    "Left marker pack Quillfen/import/pack.json in place until its markers are saved: it moves to "
    "Quillfen/import/imported with the first save that works, or is imported again at the next start";

// The names of the markers in the game, "-" for none.
std::vector<std::string> marker_names() {
    std::vector<std::string> names;
    for (const Marker& m : plugin_state.markers) names.push_back(m.data.name ? m.data.name : "-");
    return names;
}

// A start whose save after the import fails (no room for markers.json); the
// pack's markers are in the game, the pack still in import/, and the player
// deletes "two", one of them, while saves still fail (deleted.json, which
// keeps it first, can be written).
class PackSaveFailedTest : public MarkerPacksTest {
protected:
    const FileFaults full{ENOSPC, 10, 0, 0, 0, 0, 0, nullptr, 0, "Quillfen/markers.json"};

    void start_with_a_failed_save() {
        write_markers(two_markers);
        write_file(import() / "pack.json", three_markers);
        write_settings(default_settings_text());  // from an earlier run: the full disk costs it nothing
        begin("{frames: 2000}");
        inject_file_faults(&full);
        frames(1);  // the script start
        const std::vector<std::string> m = start_messages();
        ASSERT_EQ(m.size(), 7u);
        EXPECT_EQ(m[2], "Imported 3 of 3 markers from Quillfen/import/pack.json");
        EXPECT_EQ(m[3], "Saving data to disk");
        EXPECT_EQ(m[4].rfind("Failed to write to markers data file: 10/", 0), 0u) << m[4];
        EXPECT_EQ(m[5].rfind("Could not save the markers: they stay in the game", 0), 0u) << m[5];
        EXPECT_EQ(m[6], pack_waits_line);
        EXPECT_EQ(read_file(import() / "pack.json"), three_markers);
        EXPECT_FALSE(fs::exists(import() / "imported"));
        EXPECT_EQ(Loaded(read_file(quillfen() / "markers.json")).size(), 2u);
        EXPECT_EQ(marker_names(), (std::vector<std::string>{"Flat Iron Lake", "-", "one", "two", "-"}))
            << "the pack's markers are in the game all the same";

        in_script([] {
            RunContext ctx = script_context();
            delete_marker_at(ctx, plugin_state, 3);
        });
        EXPECT_EQ(marker_names(), (std::vector<std::string>{"Flat Iron Lake", "-", "one", "-"}));
        EXPECT_EQ(Loaded(read_file(quillfen() / "markers.json")).size(), 2u) << "saves still fail";
        // The delete is said (deleted.json, written before markers.json may
        // lose the marker, holds it); the save's failure is no news.
        const std::vector<std::string> all = messages();
        EXPECT_EQ(std::vector<std::string>(std::find(all.begin(), all.end(), pack_waits_line) + 1, all.end()),
                  (std::vector<std::string>{"Deleted two"}));
        EXPECT_NE(read_file(quillfen() / "deleted.json").find("\"two\""), std::string::npos);
        EXPECT_TRUE(fs::exists(import() / "pack.json"));
        inject_file_faults(nullptr);
    }

    // The messages after the failed start and the delete.
    std::vector<std::string> messages_since_start() const {
        const std::vector<std::string> m = messages();
        return std::vector<std::string>(std::find(m.begin(), m.end(), "Deleted two") + 1, m.end());
    }
};

// The first save that works after the failure: the retry of the failed save,
// or the save of the player's next change.
struct SaveThatWorksCase {
    const char* what;
    bool by_a_change;  // else the retry, 10 seconds of frame time on
    std::size_t markers;
};
void PrintTo(const SaveThatWorksCase& c, std::ostream* out) { *out << c.what; }

class PackLeavesWithTheFirstSaveTest : public PackSaveFailedTest,
                                       public ::testing::WithParamInterface<SaveThatWorksCase> {};

INSTANTIATE_TEST_SUITE_P(SavesThatWork, PackLeavesWithTheFirstSaveTest,
                         ::testing::Values(SaveThatWorksCase{"the retry", false, 4},
                                           SaveThatWorksCase{"the next change", true, 5}));

TEST_P(PackLeavesWithTheFirstSaveTest, APackLeavesWithTheFirstSaveThatWorksAndADeletedMarkerStaysDeleted) {
    const SaveThatWorksCase& c = GetParam();
    start_with_a_failed_save();
    if (c.by_a_change) {
        in_script([] {
            RunContext ctx = script_context();
            try_add_marker(ctx, plugin_state, position_to_vector3(500, 500, 0));
        });
    } else {
        // The delete's save failed too, the second failure in a row: the retry
        // comes 10 seconds after it.
        frames(580);
        EXPECT_TRUE(messages_since_start().empty()) << "no try before the 10 seconds are up";
        EXPECT_TRUE(fs::exists(import() / "pack.json"));
        frames(30);
    }
    EXPECT_EQ(messages_since_start(),
              (std::vector<std::string>{
                  "Saved " + std::to_string(c.markers) + " markers to JSON",
                  "Saving works again: Quillfen/markers.json holds every change since saving failed",
                  "Moved marker pack Quillfen/import/pack.json to Quillfen/import/imported/pack.json"}));
    EXPECT_EQ(names_in(import()), (std::vector<std::string>{"imported"}));
    EXPECT_EQ(read_file(import() / "imported" / "pack.json"), three_markers);
    EXPECT_TRUE(plugin_state.packs.waiting_for_save.length == 0 && !plugin_state.packs.waiting_for_save.data);

    // Later saves have no pack left to move.
    in_script([] {
        RunContext ctx = script_context();
        try_add_marker(ctx, plugin_state, position_to_vector3(600, 600, 0));
    });
    const std::vector<std::string> after = messages_since_start();
    EXPECT_EQ(std::vector<std::string>(after.begin() + 3, after.end()),
              (std::vector<std::string>{"Saving data to disk",
                                        "Saved " + std::to_string(c.markers + 1) + " markers to JSON"}));
    ASSERT_TRUE(end());

    // The next start finds no pack: the deleted marker stays deleted.
    start();
    const std::vector<std::string> m = start_messages();
    EXPECT_EQ(std::vector<std::string>(m.begin() + 1, m.end()),
              (std::vector<std::string>{"Loaded " + std::to_string(c.markers + 1) + " markers from JSON"}));
    std::vector<std::string> want = {"Flat Iron Lake", "-", "one", "-"};
    if (c.by_a_change) want.push_back("-");
    want.push_back("-");
    EXPECT_EQ(marker_names(), want);
    for (const Marker& marker : plugin_state.markers) EXPECT_FALSE(marker.is_new);
    ASSERT_TRUE(end());
}

// What keeps a pack whose markers were saved from leaving import/.
struct StuckPackCase {
    const char* what;
    std::function<void(const fs::path& import)> in_the_way;
    std::string line;
    std::string pack_after;  // what stays at import/pack.json
};
void PrintTo(const StuckPackCase& c, std::ostream* out) { *out << c.what; }

const std::string another_pack =
    markers_file_text({TextMarker{70, 70, 70, 4, "another", "", 7}, TextMarker{80, 80, 80, 4, "and one more", "", 8}});

const StuckPackCase stuck_packs[] = {
    {"a file where the imported folder belongs",
     [](const fs::path& import) { write_file(import / "imported", "not a folder"); },
     "Failed to move marker pack Quillfen/import/pack.json into Quillfen/import/imported: ENOTDIR", three_markers},
    {"another pack put there under the same name",
     [](const fs::path& import) { write_file(import / "pack.json", another_pack); },
     "Left marker pack Quillfen/import/pack.json in place: it changed after its markers were imported, so it is "
     "imported again at the next start",
     another_pack},
};

class StuckPackTest : public PackSaveFailedTest, public ::testing::WithParamInterface<StuckPackCase> {};

INSTANTIATE_TEST_SUITE_P(InTheWay, StuckPackTest, ::testing::ValuesIn(stuck_packs));

TEST_P(StuckPackTest, APackThatCannotLeaveStaysWithALineAndIsNotTriedAgain) {
    const StuckPackCase& c = GetParam();
    start_with_a_failed_save();
    c.in_the_way(import());
    frames(610);  // the retry 10 seconds after the delete's failed save, which works
    EXPECT_EQ(messages_since_start(),
              (std::vector<std::string>{
                  "Saved 4 markers to JSON",
                  "Saving works again: Quillfen/markers.json holds every change since saving failed", c.line}));
    EXPECT_EQ(read_file(import() / "pack.json"), c.pack_after);
    EXPECT_EQ(Loaded(read_file(quillfen() / "markers.json")).size(), 4u);

    in_script([] {
        RunContext ctx = script_context();
        try_add_marker(ctx, plugin_state, position_to_vector3(600, 600, 0));
    });
    const std::vector<std::string> m = messages_since_start();
    EXPECT_EQ(std::vector<std::string>(m.begin() + 3, m.end()),
              (std::vector<std::string>{"Saving data to disk", "Saved 5 markers to JSON"}))
        << "the pack is not tried again at every save";
    EXPECT_TRUE(fs::exists(import() / "pack.json"));
    ASSERT_TRUE(end());
}

// A start that has no good markers file of its own: what it loads, then the pack.
struct StartCase {
    const char* what;
    void (*prepare)(const fs::path& quillfen);
    std::vector<std::string> before_import;  // messages after "Loading data from disk"
    std::size_t markers;
};
void PrintTo(const StartCase& c, std::ostream* out) { *out << c.what; }

const StartCase starts_without_a_good_file[] = {
    {"the first start: no markers file", [](const fs::path&) {}, {"Failed to read markers data file: ENOENT"}, 2},
    {"a damaged file: the backup's markers, then the pack's",
     [](const fs::path& q) {
         write_file(q / "markers.json", "{\"markers\": [ {\"position\": [1,2");
         write_file(q / "markers.json.bak", two_markers);
     },
     {"Failed to deserialize markers data file as JSON: 1:32: unexpected end of input: missing ]",
      "Kept the markers file that could not be loaded as Quillfen/markers.json.unreadable-20251209-080000",
      "Recovered 2 markers from Quillfen/markers.json.bak, the newest backup that loads"},
     3},
};

class PackAtAStartTest : public MarkerPacksTest, public ::testing::WithParamInterface<StartCase> {};

INSTANTIATE_TEST_SUITE_P(StartsWithoutAGoodFile, PackAtAStartTest, ::testing::ValuesIn(starts_without_a_good_file));

TEST_P(PackAtAStartTest, APackAtAStartWithoutAGoodMarkersFileJoinsWhatTheStartHas) {
    const StartCase& c = GetParam();
    const std::string pack = markers_file_text(
        {TextMarker{10, 10, 10, 1, "from a friend", "", 1}, TextMarker{-1234.5f, 567.25f, 42.5f, 2, "", "", 2}});
    c.prepare(quillfen());
    write_file(import() / "pack.json", pack);
    start();
    std::vector<std::string> want = {"Loading data from disk"};
    want.insert(want.end(), c.before_import.begin(), c.before_import.end());
    want.push_back("Imported " + std::to_string(c.markers == 2 ? 2 : 1) +
                   " of 2 markers from Quillfen/import/pack.json");
    want.push_back("Saving data to disk");
    want.push_back("Saved " + std::to_string(c.markers) + " markers to JSON");
    want.push_back("Moved marker pack Quillfen/import/pack.json to Quillfen/import/imported/pack.json");
    EXPECT_EQ(start_messages(), want);
    EXPECT_EQ(Loaded(read_file(quillfen() / "markers.json")).size(), c.markers);
    ASSERT_TRUE(end());
}

TEST_F(MarkerPacksTest, AnEmptyOrMissingImportFolderChangesNothing) {
    // The same start with no import folder and with one that holds no pack:
    // the same natives, log and files (besides the folder that set-up makes).
    struct Run {
        std::vector<std::string> trace, messages, files;
    };
    auto run = [&](const std::function<void()>& prepare) {
        fs::remove_all(quillfen());
        write_markers(two_markers);
        prepare();
        load_library_afresh();
        begin("{frames: 100, events: [{frame: 3, waypoint: [-310.46, 802.27]}]}");
        EXPECT_TRUE(fs::is_directory(import())) << "made at set-up";
        frames(90);
        Run r;
        for (const SimTraceEntry& e : session->host.trace) r.trace.push_back(sim_trace_line(e));
        for (auto& e : fs::recursive_directory_iterator(quillfen())) {
            r.files.push_back(fs::relative(e.path(), quillfen()).string() + " " +
                              (e.is_regular_file() && e.path().filename() != "last.log" ? read_file(e.path()) : ""));
        }
        std::sort(r.files.begin(), r.files.end());
        EXPECT_TRUE(end()) << end_error;
        r.messages = messages();
        return r;
    };
    const Run missing = run([] {});
    const Run empty = run([&] {
        write_file(import() / "readme.txt", "packs go here");
        fs::create_directories(import() / "imported");
        fs::create_directories(import() / "folder");
    });
    EXPECT_EQ(missing.messages,
              (std::vector<std::string>{"Setup", "Backing up any existing data",
                                        "Copied markers data file to Quillfen/backups/markers-20251209.json",
                                        "Script starting", "Loading data from disk", "Loaded 2 markers from JSON",
                                        "Auto-created marker at waypoint: -310.46, 802.27, 10.00",
                                        "Vector3{_x = {x = -310.46}, _y = {y = 802.27}, _z = {z = 40}} 0",
                                        "Saving data to disk", "Saved 3 markers to JSON", "Shutdown"}))
        << "a waypoint captured and named with one save, nothing about packs";
    EXPECT_EQ(empty.messages, missing.messages);
    EXPECT_EQ(empty.trace, missing.trace);
    std::vector<std::string> files = empty.files;
    files.erase(
        std::remove_if(files.begin(), files.end(), [](const std::string& f) { return f.rfind("import/", 0) == 0; }),
        files.end());
    EXPECT_EQ(files, missing.files);
    EXPECT_GT(missing.trace.size(), 600u);  // every frame's natives were compared
}

TEST_F(MarkerPacksTest, WhatIsNotAFileOrIsTooLargeIsSkippedWithALineAndStays) {
    write_markers(two_markers);
    const std::string one = markers_file_text({TextMarker{10, 10, 10, 1, "one", "", 1}});
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        std::string line;
    } cases[] = {
        {"a folder.json", [](const fs::path& p) { fs::create_directories(p); },
         "Skipped marker pack Quillfen/import/a folder.json: it is a directory, not a file; only files are imported"},
        {"b fifo.json", [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); },
         "Skipped marker pack Quillfen/import/b fifo.json: it is a device or other special file, not a file; only "
         "files are imported"},
        {"c device.json", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); },
         "Skipped marker pack Quillfen/import/c device.json: it is a device or other special file, not a file; only "
         "files are imported"},
        {"d gone.json", [](const fs::path& p) { fs::create_symlink("nowhere.json", p); },
         "Skipped marker pack Quillfen/import/d gone.json: it is a link to a file that does not exist, not a file; "
         "only files are imported"},
        {"d loop.json", [](const fs::path& p) { fs::create_symlink("d loop.json", p); },
         "Skipped marker pack Quillfen/import/d loop.json: it is a link that loops back to itself, not a file; only "
         "files are imported"},
        {"e huge.json",
         [](const fs::path& p) {
             write_file(p, "");
             fs::resize_file(p, pack_size_limit + 1);  // sparse: no disk used
         },
         "Failed to load marker pack Quillfen/import/e huge.json: it is 64.00mib (67108865 bytes), larger than the "
         "64.00mib a pack may be, so it is not read; it stays where it is (remove it, or split it into smaller "
         "packs)"},
    };
    for (const Case& c : cases) c.make(import() / c.name);
    write_file(import() / "f good.json", one);
    const std::vector<std::string> before = names_in(import());
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        start();
        const std::vector<std::string> m = start_messages();
        std::vector<std::string> want = {"Loading data from disk",
                                         "Loaded " + std::to_string(run + 1) + " markers from JSON"};
        for (const Case& c : cases) want.push_back(c.line);
        if (run == 1) {
            want.insert(want.end(),
                        {"Imported 1 of 1 marker from Quillfen/import/f good.json", "Saving data to disk",
                         "Saved 3 markers to JSON",
                         "Moved marker pack Quillfen/import/f good.json to Quillfen/import/imported/f good.json"});
        }
        EXPECT_EQ(m, want) << "each skipped at every start, with its line; nothing else changes";
        ASSERT_TRUE(end());
    }
    std::vector<std::string> after = names_in(import());
    after.erase(std::remove(after.begin(), after.end(), "imported"), after.end());
    std::vector<std::string> skipped = before;
    skipped.erase(std::remove(skipped.begin(), skipped.end(), "f good.json"), skipped.end());
    EXPECT_EQ(after, skipped) << "they stay where they are";
    EXPECT_EQ(fs::file_size(import() / "e huge.json"), pack_size_limit + 1);
}

// 99,998 markers 2 units apart; each pack, of either kind, is counted by what
// it would add under the 1-unit rule: up to 100,000 it comes in, past that it
// stays whole, with a line, at every start.
TEST_F(MarkerPacksTest, APackThatWouldTakeTheListPastTheMarkerLimitStaysWithALine) {
    constexpr std::size_t there = pack_import_marker_limit - 2;
    std::vector<TextMarker> own;
    for (std::size_t i = 0; i < there; ++i) {
        own.push_back(TextMarker{static_cast<float>(i % 1000) * 2, static_cast<float>(i / 1000) * 2, 0, 1, "", "",
                                 static_cast<std::int64_t>(i)});
    }
    write_markers(markers_file_as_saved(own));
    // Three markers, one too close to one of ours: two come in, to exactly the limit.
    write_file(import() / "a.json", markers_file_text({TextMarker{0.5f, 0, 0, 2, "too close", "", 1},
                                                       TextMarker{-10, -10, 0, 2, "new 1", "", 2},
                                                       TextMarker{-20, -10, 0, 2, "new 2", "", 3}}));
    const std::string geojson =
        "{\"type\": \"FeatureCollection\", \"features\": [{\"type\": \"Feature\", \"geometry\": "
        "{\"type\": \"Point\", \"coordinates\": [-30, -10, 0]}}]}";
    write_file(import() / "b.geojson", geojson);
    write_file(import() / "c.json", markers_file_text({TextMarker{2.5f, 0, 0, 2, "too close", "", 4}}));
    const std::string d = markers_file_text(
        {TextMarker{-40, -10, 0, 2, "", "", 5}, TextMarker{-50, -10, 0, 2, "", "", 6}, TextMarker{2, 2.5f, 0}});
    write_file(import() / "d.json", d);
    auto refused = [](const char* name, std::size_t total) {
        return "Failed to import marker pack Quillfen/import/" + std::string(name) +
               ": it would bring your markers to " + std::to_string(total) + ", " +
               std::to_string(total - pack_import_marker_limit) +
               " more than the 100000 a pack may bring them to (with more, every save stalls the game), so none of "
               "its markers were added; it stays where it is (delete markers you no longer need, or take markers "
               "out of the pack)";
    };
    start();
    EXPECT_EQ(start_messages(), (std::vector<std::string>{
                                    "Loading data from disk", "Loaded 99998 markers from JSON",
                                    "Imported 2 of 3 markers from Quillfen/import/a.json", refused("b.geojson", 100001),
                                    "Imported 0 of 1 marker from Quillfen/import/c.json", refused("d.json", 100002),
                                    "Saving data to disk", "Saved 100000 markers to JSON",
                                    "Moved marker pack Quillfen/import/a.json to Quillfen/import/imported/a.json",
                                    "Moved marker pack Quillfen/import/c.json to Quillfen/import/imported/c.json"}));
    EXPECT_EQ(plugin_state.markers.length, pack_import_marker_limit);
    ASSERT_TRUE(end());
    EXPECT_EQ(read_file(import() / "b.geojson"), geojson);
    EXPECT_EQ(read_file(import() / "d.json"), d);

    start();
    EXPECT_EQ(start_messages(), (std::vector<std::string>{"Loading data from disk", "Loaded 100000 markers from JSON",
                                                          refused("b.geojson", 100001), refused("d.json", 100002)}));
    ASSERT_TRUE(end());
}

TEST_F(MarkerPacksTest, APackOfExactlyTheLimitIsRead) {
    write_markers(two_markers);
    const fs::path pack = import() / "limit.json";
    write_file(pack, "");
    fs::resize_file(pack, pack_size_limit);  // zero bytes: read, and refused by the reader
    start();
    const std::vector<std::string> m = start_messages();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[2].rfind("Failed to load marker pack Quillfen/import/limit.json: 1:1: ", 0), 0u) << m[2];
}

TEST_F(MarkerPacksTest, AForgedLineInAPacksNameStaysInsideItsOwnLine) {
    write_markers(two_markers);
    const std::string name = "x\n[ERROR] --- [2025-12-09 08:00:00] Deleted every marker\r\t.json";
    write_file(import() / name, markers_file_text({TextMarker{10, 10, 10, 1, "one", "", 1}}));
    start();
    ASSERT_TRUE(end());
    const std::string escaped = "x\\n[ERROR] --- [2025-12-09 08:00:00] Deleted every marker\\r\\t.json";
    EXPECT_TRUE(logged("Imported 1 of 1 marker from Quillfen/import/" + escaped));
    EXPECT_TRUE(logged("Moved marker pack Quillfen/import/" + escaped + " to Quillfen/import/imported/" + escaped));
    for (const std::string& line : log_lines()) {
        EXPECT_TRUE(line.rfind("[INFO ] --- [", 0) == 0 || line.rfind("[ERROR] --- [", 0) == 0) << line;
        EXPECT_EQ(line.find("Deleted every marker", 0) != std::string::npos, line.find(escaped) != std::string::npos)
            << line;
    }
    EXPECT_TRUE(fs::exists(import() / "imported" / name)) << "the pack itself keeps its name";
}

}  // namespace
