// The rule of the same marker (time and position, bit for bit) and the table
// that finds a marker by it among many.
#include "src/file_formats/marker_identity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

MarkerDataV1 marker_at(float x, float y, std::int64_t timestamp_ns) {
    return MarkerDataV1{{x, y, 41}, 1, nullptr, {timestamp_ns}, nullptr, false, {0}, nullptr};
}

constexpr float not_a_number = std::numeric_limits<float>::quiet_NaN();

}  // namespace

TEST(MarkerIdentityTest, TheSameTimeAndPositionBitForBitWhateverElseDiffers) {
    struct Case {
        const char* what;
        MarkerDataV1 a, b;
        bool same;
    } cases[] = {
        {"a copy", marker_at(10, 5, 7), marker_at(10, 5, 7), true},
        {"a position that is not a number, as read again", marker_at(not_a_number, 5, 7), marker_at(not_a_number, 5, 7),
         true},
        {"made later at the same place", marker_at(10, 5, 7), marker_at(10, 5, 8), false},
        {"the same time a float's step away", marker_at(10, 5, 7), marker_at(std::nextafter(10.0f, 11.0f), 5, 7),
         false},
        {"at NaN and at a number", marker_at(not_a_number, 5, 7), marker_at(0, 5, 7), false},
    };
    for (Case& c : cases) {
        c.b.category = 4;  // renamed, moved, noted: still the same marker
        c.b.name = const_cast<char*>("Renamed");
        EXPECT_EQ(same_marker(c.a, c.b), c.same) << c.what;
        EXPECT_EQ(same_marker(c.b, c.a), c.same) << c.what;
        if (c.same) {
            EXPECT_EQ(marker_identity_hash(marker_identity(c.a)), marker_identity_hash(marker_identity(c.b)));
        }
    }
}

TEST(MarkerIdentityTest, ATableFindsEachOfManyAndKeepsTheFirstNumberOfEach) {
    MarkerTable table{};
    constexpr std::size_t count = 5000;  // the table grows many times on the way
    for (std::size_t i = 0; i < count; ++i) {
        bool added = false;
        const std::size_t* value = marker_table_add(
            table, heap_allocator(), marker_at(static_cast<float>(i % 100), not_a_number, i / 100), i, &added);
        ASSERT_NE(value, nullptr);
        EXPECT_TRUE(added);
        EXPECT_EQ(*value, i);
    }
    bool added = true;
    std::size_t* again = marker_table_add(table, heap_allocator(), marker_at(7, not_a_number, 3), 99999, &added);
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(added);
    EXPECT_EQ(*again, 307u) << "the number it had stays";
    *again = 12;
    EXPECT_EQ(*marker_table_find(table, marker_at(7, not_a_number, 3)), 12u);
    EXPECT_EQ(table.count, count);
    for (std::size_t i = 0; i < count; i += 7) {
        const std::size_t* found =
            marker_table_find(table, marker_at(static_cast<float>(i % 100), not_a_number, i / 100));
        ASSERT_NE(found, nullptr) << i;
        if (i != 307) {
            EXPECT_EQ(*found, i);
        }
    }
    EXPECT_EQ(marker_table_find(table, marker_at(7, not_a_number, 50)), nullptr);
    EXPECT_EQ(marker_table_find(table, marker_at(7, 0, 3)), nullptr);
    marker_table_free(table);
    EXPECT_EQ(marker_table_find(table, marker_at(7, not_a_number, 3)), nullptr);
}
