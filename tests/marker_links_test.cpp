// A markers file that is a symbolic link (to a synced folder, say): what the
// platform sees at it, a whole write through it, and the plug-in's saves,
// which keep the link and write the file it leads to.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "sim_fixture.h"
#include "src/file_formats/marker_copies.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/markers_folder.h"
#include "src/markers/marker_editing.h"

namespace {

namespace fs = std::filesystem;

// A folder on a file system other than the test folders' (a RAM disk), where
// a file cannot be renamed to from there: only a temporary file beside the
// target can replace it. Empty when the machine has none.
fs::path folder_on_another_file_system(const fs::path& near) {
    const fs::path base = "/dev/shm";
    struct stat a {
    }, b{};
    if (stat(base.c_str(), &a) != 0 || stat(near.c_str(), &b) != 0 || a.st_dev == b.st_dev) return {};
    fs::path d = base / ("quillfen-test-" + std::to_string(getpid())) / near.filename();
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

// ---- what stands at a link ------------------------------------------------------------------

TEST(MarkerLinks, ALinkIsWhatItLeadsToAndALoopIsNamedAsALoop) {
    const fs::path d = fresh_test_dir();
    write_file(d / "real.json", "{}");
    fs::create_directories(d / "folder");
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> links;  // name, target
        PlatformFileKind kind;
        const char* what;  // obstacle_description
    } cases[] = {
        {"to a file", {{"to-file.json", "real.json"}}, PlatformFileKind::regular, nullptr},
        {"to a link to a file", {{"chain.json", "to-file.json"}}, PlatformFileKind::regular, nullptr},
        {"to a folder", {{"to-folder.json", "folder"}}, PlatformFileKind::directory, "a directory"},
        {"to nothing",
         {{"dangling.json", "gone.json"}},
         PlatformFileKind::broken_link,
         "a link to a file that does not exist"},
        {"to itself", {{"self.json", "self.json"}}, PlatformFileKind::looping_link, "a link that loops back to itself"},
        {"to a link that leads back to it",
         {{"ping.json", "pong.json"}, {"pong.json", "ping.json"}},
         PlatformFileKind::looping_link,
         "a link that loops back to itself"},
        {"to a loop further on",
         {{"into-loop.json", "self.json"}},
         PlatformFileKind::looping_link,
         "a link that loops back to itself"},
    };
    for (const Case& c : cases) {
        for (const auto& [name, target] : c.links) fs::create_symlink(target, d / name);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (d / c.links.front().first).string();
        const PlatformFileInfo info = platform_file_info(path.c_str());
        EXPECT_EQ(info.kind, c.kind);
        EXPECT_EQ(obstacle_description(info.kind) ? std::string(obstacle_description(info.kind)) : "(none)",
                  c.what ? c.what : "(none)");
        char why[96];
        TextBuilder b = text_builder(why, sizeof why);
        describe_obstacle(b, info.kind);
        if (c.kind == PlatformFileKind::directory) EXPECT_EQ(text_view(b), "a directory, not a markers file");
        else EXPECT_EQ(text_view(b), c.what ? c.what : "") << "a link needs no 'not a markers file'";
    }
}

// ---- a whole write through a link -------------------------------------------------------------

// Where the markers file's link leads: a folder beside the link's, or another
// file system; the link's text as it is stored, absolute or relative.
struct LinkShape {
    const char* what;
    bool other_file_system;
    // Makes the link(s) at `link` to `target` (in `elsewhere`); the link's own text.
    std::string (*make)(const fs::path& link, const fs::path& target);
};
void PrintTo(const LinkShape& c, std::ostream* out) { *out << c.what; }

const LinkShape link_shapes[] = {
    {"an absolute link into another folder", false,
     [](const fs::path& link, const fs::path& target) {
         fs::create_symlink(target, link);
         return target.string();
     }},
    {"a relative link, counted from its own folder", false,
     [](const fs::path& link, const fs::path& target) {
         const fs::path text = fs::relative(target, link.parent_path());
         fs::create_symlink(text, link);
         return text.string();
     }},
    {"a chain: a relative link to an absolute one beside it", false,
     [](const fs::path& link, const fs::path& target) {
         fs::create_symlink(target, link.parent_path() / "next.json");
         fs::create_symlink("next.json", link);
         return std::string("next.json");
     }},
    {"an absolute link to another file system", true,
     [](const fs::path& link, const fs::path& target) {
         fs::create_symlink(target, link);
         return target.string();
     }},
};

class WriteThroughALinkTest : public ::testing::TestWithParam<LinkShape> {
protected:
    void SetUp() override {
        dir = fresh_test_dir();
        game = dir / "Quillfen";
        elsewhere = dir / "Synced";
        if (GetParam().other_file_system) {
            elsewhere = folder_on_another_file_system(dir);
            if (elsewhere.empty()) GTEST_SKIP() << "no second file system on this machine";
        }
        fs::create_directories(game);
        fs::create_directories(elsewhere);
        target = elsewhere / "my markers.json";
        write_file(target, "old");
        link_text = GetParam().make(game / "markers.json", target);
    }
    void TearDown() override {
        if (GetParam().other_file_system && !elsewhere.empty()) fs::remove_all(elsewhere.parent_path());
    }
    fs::path dir, game, elsewhere, target;
    std::string link_text;
};

INSTANTIATE_TEST_SUITE_P(Shapes, WriteThroughALinkTest, ::testing::ValuesIn(link_shapes));

TEST_P(WriteThroughALinkTest, AWriteReplacesWhatTheLinkLeadsToAndTheLinkStays) {
    const fs::path link = game / "markers.json";
    const std::vector<std::string> game_before = names_in(game);
    const std::string text = "{\"markers\": []}";
    std::size_t written = 0;
    const PlatformError e = write_whole_file((game / "markers.json.saving").c_str(), link.c_str(), text.data(),
                                             text.size(), true, &written);
    ASSERT_EQ(e.code, 0u) << "across file systems only a temporary file beside the target can be renamed";
    EXPECT_EQ(written, text.size());
    EXPECT_EQ(fs::symlink_status(link).type(), fs::file_type::symlink);
    EXPECT_EQ(fs::read_symlink(link).string(), link_text);
    EXPECT_EQ(read_file(target), text);
    EXPECT_EQ(read_file(link), text);
    EXPECT_EQ(names_in(game), game_before) << "no temporary file left, the link unchanged";
    EXPECT_EQ(names_in(elsewhere), (std::vector<std::string>{"my markers.json"})) << "nor beside the target";

    // Without `replace` a link is something there already, as a file is.
    const PlatformError kept = write_whole_file((game / "markers.json.saving").c_str(), link.c_str(), "x", 1, false);
    EXPECT_EQ(kept.code, static_cast<std::uint32_t>(EEXIST));
    EXPECT_EQ(read_file(target), text);
    EXPECT_EQ(fs::symlink_status(link).type(), fs::file_type::symlink);
}

TEST(MarkerLinks, AWriteThroughALinkThatLeadsNowhereOrLoopsFailsAndWritesNothing) {
    const fs::path d = fresh_test_dir();
    struct Case {
        const char* name;
        const char* target;
        int error;
    } cases[] = {
        {"dangling.json", "Synced/gone.json", ENOENT},
        {"into-a-missing-folder.json", "Gone/markers.json", ENOENT},
        {"self.json", "self.json", ELOOP},
    };
    fs::create_directories(d / "Synced");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_symlink(c.target, d / c.name);
        const PlatformError e =
            write_whole_file((d / "markers.json.saving").c_str(), (d / c.name).c_str(), "{}", 2, true);
        EXPECT_EQ(e.code, static_cast<std::uint32_t>(c.error));
        EXPECT_EQ(fs::symlink_status(d / c.name).type(), fs::file_type::symlink);
        EXPECT_EQ(fs::read_symlink(d / c.name), c.target);
    }
    EXPECT_TRUE(fs::is_empty(d / "Synced")) << "no target made";
    EXPECT_FALSE(fs::exists(d / "markers.json.saving"));

    // A temporary name that would not fit beside the target: refused, not cut.
    write_file(d / "Synced" / "real.json", "old");
    fs::create_symlink("Synced/real.json", d / "good.json");
    const std::string long_temporary = (d / std::string(platform_path_capacity - 8, 'x')).string();
    const PlatformError e = write_whole_file(long_temporary.c_str(), (d / "good.json").c_str(), "{}", 2, true);
    EXPECT_EQ(e.code, static_cast<std::uint32_t>(ENAMETOOLONG));
    EXPECT_EQ(read_file(d / "Synced" / "real.json"), "old");
    EXPECT_EQ(fs::symlink_status(d / "good.json").type(), fs::file_type::symlink);
}

// ---- the plug-in's saves through a link ---------------------------------------------------------

const char* const two_markers = R"json({
    "markers": [
        {"position": [-1234.5, 567.25, 42], "category": 0, "name": "Flat Iron Lake", "timestamp": {"_nsec": 1765267200000000000}},
        {"position": [2711.75, -1390.125, 45], "category": 5, "timestamp": {"_nsec": 1765270800000000000}}
    ]
})json";

class MarkersFileLinkTest : public SimTest, public ::testing::WithParamInterface<LinkShape> {
protected:
    void TearDown() override {
        SimTest::TearDown();
        if (GetParam().other_file_system && !elsewhere.empty()) fs::remove_all(elsewhere.parent_path());
    }
    void add_marker(float x) {
        in_script([x] {
            RunContext ctx = script_context();
            try_add_marker(ctx, plugin_state, position_to_vector3(x, 0, 0));
        });
    }
    fs::path elsewhere;
};

INSTANTIATE_TEST_SUITE_P(Shapes, MarkersFileLinkTest, ::testing::ValuesIn(link_shapes));

TEST_P(MarkersFileLinkTest, SavesGoThroughTheLinkWhichStaysALinkAndTheBackupsCopyTheContent) {
    elsewhere = GetParam().other_file_system ? folder_on_another_file_system(dir) : dir / "Synced";
    if (elsewhere.empty()) GTEST_SKIP() << "no second file system on this machine";
    fs::create_directories(elsewhere);
    const fs::path target = elsewhere / "my markers.json";
    write_file(target, two_markers);
    fs::create_directories(quillfen());
    const fs::path link = quillfen() / "markers.json";
    const std::string link_text = GetParam().make(link, target);

    begin("{frames: 20}");
    frames(1);
    EXPECT_TRUE(logged("Loaded 2 markers from JSON"));
    for (const char* copy : {"markers.json.bak", "backups/markers-20251209.json"}) {
        EXPECT_EQ(fs::symlink_status(quillfen() / copy).type(), fs::file_type::regular) << copy;
        EXPECT_EQ(read_file(quillfen() / copy), two_markers) << copy;
    }
    add_marker(10);
    add_marker(20);
    EXPECT_TRUE(logged("Saved 4 markers to JSON"));
    EXPECT_EQ(fs::symlink_status(link).type(), fs::file_type::symlink);
    EXPECT_EQ(fs::read_symlink(link).string(), link_text);
    EXPECT_EQ(markers_in(read_file(target)), 4u);
    EXPECT_EQ(names_in(elsewhere), (std::vector<std::string>{"my markers.json"}));
    EXPECT_FALSE(fs::exists(quillfen() / "markers.json.saving"));
    EXPECT_EQ(read_file(quillfen() / "markers.json.bak"), two_markers) << "the backup keeps the start's file";
    ASSERT_TRUE(end());

    // The next start reads what the link leads to, and backs that up.
    begin("{frames: 20}");
    frames(1);
    EXPECT_TRUE(logged("Loaded 4 markers from JSON"));
    EXPECT_EQ(markers_in(read_file(quillfen() / "markers.json.bak")), 4u);
    EXPECT_EQ(fs::symlink_status(link).type(), fs::file_type::symlink);
    ASSERT_TRUE(end());
}

}  // namespace
