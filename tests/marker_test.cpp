// What a marker is called, and the helpers that decide it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "src/core/marker.h"

namespace {

TEST(MarkerLabel, NameElsePlaceElseCategoryElseThePlaceAsGiven) {
    GrowableArray<MarkerCategory> categories{};
    ASSERT_TRUE(array_reserve(categories, heap_allocator(), category_table_size));
    for (const MarkerCategory& row : category_table) array_append(categories, heap_allocator(), row);
    char name[] = "Camp";
    char empty[] = "";
    const char* const none = nullptr;
    struct Case {
        char* name;
        std::int64_t category;
        const char* place;
        const char* label;  // null: no label
    } cases[] = {
        {name, 3, "Valentine", "Camp"},       {name, 99, nullptr, "Camp"},
        {empty, 3, "Valentine", "Valentine"}, {nullptr, 3, "Valentine", "Valentine"},
        {nullptr, 3, "", "Marker (Friend)"},  {nullptr, 3, nullptr, "Marker (Friend)"},
        {empty, 0, nullptr, "Marker (Flag)"}, {nullptr, 10, "", ""},
        {nullptr, -1, nullptr, none},
    };
    for (const Case& c : cases) {
        const Marker m{MarkerDataV1{{1, 2, 3}, c.category, c.name, {0}}, 0, false};
        const char* got = marker_label(categories, m, c.place);
        if (c.label == nullptr) {
            EXPECT_EQ(got, nullptr) << c.category;
        } else {
            ASSERT_NE(got, nullptr) << c.category;
            EXPECT_STREQ(got, c.label) << c.category;
        }
    }
    array_free(categories);
}

TEST(CategoryRow, OnlyForIndicesInsideTheTable) {
    GrowableArray<MarkerCategory> categories{};
    for (const MarkerCategory& row : category_table) array_append(categories, heap_allocator(), row);
    for (std::int64_t i : {std::int64_t{-1}, std::int64_t{10}, std::numeric_limits<std::int64_t>::min(),
                           std::numeric_limits<std::int64_t>::max()}) {
        EXPECT_EQ(category_row(categories, i), nullptr) << i;
    }
    for (std::int64_t i = 0; i < 10; ++i)
        EXPECT_EQ(category_row(categories, i), &categories[static_cast<std::size_t>(i)]);
    array_free(categories);
}

TEST(DistanceSquared, TheSameWhicheverWayTakenAndNaNStaysNaN) {
    const Position a{1.1f, -2.25f, 1e30f}, b{-7000.5f, 3.0e-3f, 0.1f};
    EXPECT_EQ(distance_squared(a, b), distance_squared(b, a));
    EXPECT_EQ(distance_squared(a, a), 0.0f);
    EXPECT_EQ(distance_squared(Position{3, 4, 0}, Position{0, 0, 0}), 25.0f);
    EXPECT_TRUE(std::isinf(distance_squared(Position{1e30f, 0, 0}, Position{-1e30f, 0, 0})));
    EXPECT_TRUE(std::isnan(distance_squared(Position{std::nanf(""), 0, 0}, b)));
}

}  // namespace
