// The Quillfen folder's names: which files hold markers, and the order of the
// copies kept under a time stamp (only real dates and times count); and the
// one reader of a markers file, with what it says happened.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "src/file_formats/marker_copies.h"
#include "src/file_formats/markers_folder.h"
#include "tests/support/file_faults.h"

namespace {

TEST(MarkersFolder, TheNamesThatHoldMarkers) {
    for (const char* name : {"markers.json", "markers.json.bak", "markers.json.unreadable-20251209-080000",
                             "markers.json.replaced-20251209-080000-2", "markers.json.unsaved-20251209-080000"}) {
        EXPECT_TRUE(is_markers_file_name(name)) << name;
    }
    for (const char* name : {"markers.json.saving", "markers.json.copying", "markers.json.replaced-", "Markers.json",
                             "last.log", "markers-20251209.json", "markers.json.bak2", "markers.json.unsaved-"}) {
        EXPECT_FALSE(is_markers_file_name(name)) << name;
    }
}

TEST(MarkersFolder, KeptCopiesAreOrderedByTheirStampAndOnlyRealDatesCount) {
    const struct {
        const char* name;
        std::uint64_t order;
    } cases[] = {
        {"markers.json.replaced-20251209-080000", 2025120908000001},
        {"markers.json.replaced-20251209-080000-2", 2025120908000002},
        {"markers.json.replaced-20251209-080000-99", 2025120908000099},
        {"markers.json.replaced-20240229-235959", 2024022923595901},  // a leap day
        {"markers.json.replaced-29991231-235959", 2999123123595901},  // far ahead: a date all the same
        {"markers.json.replaced-99991231-000000", 9999123100000001},
        {"markers.json.replaced-20230229-120000", 0},  // no leap day that year
        {"markers.json.replaced-20251301-120000", 0},
        {"markers.json.replaced-20251200-120000", 0},
        {"markers.json.replaced-20251209-240000", 0},
        {"markers.json.replaced-20251209-086000", 0},
        {"markers.json.replaced-20251209-080000-1", 0},  // the first copy of a second has no number
        {"markers.json.replaced-20251209-080000-02", 0},
        {"markers.json.replaced-20251209-080000-100", 0},
        {"markers.json.replaced-20251209-080000-", 0},
        {"markers.json.replaced-20251209-080000.json", 0},
        {"markers.json.replaced-2025120-9080000", 0},
        {"markers.json.unreadable-20251209-080000", 0},  // another kind of copy
        {"pack.json.replaced-20251209-080000", 0},       // another file's copy
    };
    for (const auto& c : cases)
        EXPECT_EQ(kept_copy_order(c.name, "markers.json", replaced_copy_infix), c.order) << c.name;
    // A copy made now comes first among those not dated after now.
    EXPECT_EQ(kept_copy_order_at(1765267200000000000), 2025120908000001u);  // 2025-12-09 08:00:00 UTC
}

// ---- the one reader ----------------------------------------------------------------------

// The heap for the first `left` blocks, then none: memory that runs out after
// the file's bytes were read.
struct Rationed {
    int left;
};
Allocator rationed_allocator(Rationed& r) {
    return Allocator{
        [](void* data, std::size_t size, std::size_t align, const std::source_location& where) -> void* {
            auto& k = *static_cast<Rationed*>(data);
            if (k.left <= 0) return nullptr;
            --k.left;
            return heap_allocator().allocate(heap_allocator().data, size, align, where);
        },
        [](void*, void* block, std::size_t size) { heap_allocator().deallocate(heap_allocator().data, block, size); },
        &r};
}

struct ReaderCase {
    const char* what;
    std::function<void(const std::filesystem::path&)> make;  // what stands at the path
    FileFaults faults;                                       // while it is read
    int blocks;                                              // the allocator's blocks; -1: as many as it asks
    MarkersFileOutcome outcome;
    const char* why;    // for a file that did not load
    bool bytes_kept;    // the text is there for the caller (a backup, a copy kept aside)
    std::size_t count;  // markers, when it loads
};

const char* const good_file =
    R"({"markers": [{"position": [1, 2, 3], "category": 1}, {"position": [4, 5, 6], "category": 2}]})";
const char* const damaged_file = R"({"markers": [)";

void put(const std::filesystem::path& p, const char* text) { std::ofstream(p, std::ios::binary) << text; }

TEST(MarkersFileReader, SaysWhatHappenedAndKeepsTheBytesWheneverTheyWereRead) {
    const ReaderCase cases[] = {
        {"a file that loads", [](auto& p) { put(p, good_file); }, {}, -1, MarkersFileOutcome::read, "", true, 2},
        {"nothing there", [](auto&) {}, {}, -1, MarkersFileOutcome::missing, "cannot be read: ENOENT", false, 0},
        {"a file another program holds", [](auto& p) { put(p, good_file); }, FileFaults{.read_error = EACCES}, -1,
         MarkersFileOutcome::held, "cannot be read: EACCES", false, 0},
        {"a damaged file",
         [](auto& p) { put(p, damaged_file); },
         {},
         -1,
         MarkersFileOutcome::damaged,
         "1:14: unexpected end of input: missing ]",
         true,
         0},
        {"memory runs out while it is read", [](auto& p) { put(p, good_file); }, FileFaults{.read_error = ENOMEM}, -1,
         MarkersFileOutcome::out_of_memory, "cannot be read: ENOMEM", false, 0},
        {"memory runs out while it is loaded",
         [](auto& p) { put(p, good_file); },
         {},
         1,
         MarkersFileOutcome::out_of_memory,
         "out of memory",
         true,
         0},
        {"a directory",
         [](auto& p) { std::filesystem::create_directory(p); },
         {},
         -1,
         MarkersFileOutcome::not_a_file,
         "a directory, not a markers file",
         false,
         0},
        {"a link to nothing",
         [](auto& p) { std::filesystem::create_symlink("gone.json", p); },
         {},
         -1,
         MarkersFileOutcome::not_a_file,
         "a link to a file that does not exist",
         false,
         0},
    };
    const std::filesystem::path dir =
        std::filesystem::path(QUILLFEN_TEST_GAME_FOLDERS) / "MarkersFileReader.SaysWhatHappened";
    for (const ReaderCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        const std::filesystem::path path = dir / "markers.json";
        c.make(path);
        Rationed rationed{c.blocks};
        const Allocator allocator = c.blocks < 0 ? heap_allocator() : rationed_allocator(rationed);
        MarkersData data{};
        FileText text{};
        inject_file_faults(&c.faults);
        const MarkersFileRead r = read_markers_file(path.string().c_str(), allocator, data, &text);
        inject_file_faults(nullptr);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(markers_file_loaded(r), c.outcome == MarkersFileOutcome::read);
        EXPECT_EQ(ran_out_loading(r), c.blocks >= 0);
        EXPECT_STREQ(r.why, c.why);
        EXPECT_EQ(data.count, c.count);
        EXPECT_EQ(text.data != nullptr, c.bytes_kept);
        free_markers_data(data, allocator);
        free_file_text(allocator, text);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
