// The Quillfen folder's names: which files hold markers, and the order of the
// copies kept under a time stamp (only real dates and times count).
#include <gtest/gtest.h>

#include <cstdint>

#include "src/markers_file/marker_copies.h"
#include "src/markers_file/markers_folder.h"

namespace {

TEST(MarkersFolder, TheNamesThatHoldMarkers) {
    for (const char* name : {"markers.json", "markers.json.bak", "markers.json.unreadable-20251209-080000",
                             "markers.json.replaced-20251209-080000-2"}) {
        EXPECT_TRUE(is_markers_file_name(name)) << name;
    }
    for (const char* name : {"markers.json.saving", "markers.json.copying", "markers.json.replaced-", "Markers.json",
                             "last.log", "markers-20251209.json", "markers.json.bak2"}) {
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

}  // namespace
