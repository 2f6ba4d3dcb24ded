// The marker list cache: which rows, in which order, and where the selection
// goes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "src/menu/marker_list_rows.h"
#include "src/state/state.h"

namespace {

struct ListFixture : ::testing::Test {
    PluginState state{};
    RunContext ctx{heap_allocator(), heap_allocator(), Logger{}};

    void add(std::int64_t category, std::int64_t ns, float x = 0, float y = 0, float z = 0) {
        Marker m{};
        m.data.category = category;
        m.data.timestamp._nsec = ns;
        m.data.position = Position{x, y, z};
        array_append(state.markers, ctx.general, m);
    }
    std::vector<std::int64_t> rows() const {
        return std::vector<std::int64_t>(state.list_page.rows.begin(), state.list_page.rows.end());
    }
    void TearDown() override {
        array_free(state.markers);
        array_free(state.list_page.rows);
    }
};

constexpr std::int64_t hour = 3600LL * 1000000000;

}  // namespace

TEST_F(ListFixture, ByTimeNewestFirstAndOnlyTheCurrentCategory) {
    add(2, 10 * hour);
    add(1, 11 * hour);
    add(2, 12 * hour);
    add(2, 11 * hour);
    add(12, 13 * hour);  // a category outside the table is in no list
    state.current_category = 2;
    update_marker_list_cache(ctx, state, true);
    EXPECT_EQ(rows(), (std::vector<std::int64_t>{2, 3, 0}));
    state.current_category = 1;
    update_marker_list_cache(ctx, state, true);
    EXPECT_EQ(rows(), (std::vector<std::int64_t>{1}));
}

TEST_F(ListFixture, ByProximityInThreeDimensions) {
    state.list_page.sort_mode = 1;
    state.player_position = position_to_vector3(100, 100, 10);
    add(0, 1, 111, 100, 10);  // 11 away on the ground
    add(0, 2, 100, 100, 20);  // 10 straight above
    add(0, 3, 100, 90, 10);   // 10 away on the ground
    add(0, 4, 500, 500, 10);
    update_marker_list_cache(ctx, state, true);
    const std::vector<std::int64_t> r = rows();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[2], 0);
    EXPECT_EQ(r[3], 3);
    EXPECT_TRUE((r[0] == 1 && r[1] == 2) || (r[0] == 2 && r[1] == 1));
}

TEST_F(ListFixture, NaNPositionsSortSafelyBehindAllNumbers) {
    state.list_page.sort_mode = 1;
    std::mt19937 rng(9);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int i = 0; i < 2000; ++i) {
        if (i % 3 == 0) add(0, i, nan, 0, 0);
        else add(0, i, static_cast<float>(rng() % 10000), static_cast<float>(rng() % 10000), 0);
    }
    update_marker_list_cache(ctx, state, true);
    const std::vector<std::int64_t> r = rows();
    ASSERT_EQ(r.size(), 2000u);
    std::vector<bool> seen(2000);
    bool in_nan_tail = false;
    float previous = -1;
    for (std::int64_t i : r) {
        ASSERT_GE(i, 0);
        ASSERT_LT(i, 2000);
        EXPECT_FALSE(seen[static_cast<std::size_t>(i)]) << "no row twice";
        seen[static_cast<std::size_t>(i)] = true;
        const float d = distance_squared(state.markers[static_cast<std::size_t>(i)].data.position, Position{0, 0, 0});
        if (std::isnan(d)) {
            in_nan_tail = true;
        } else {
            EXPECT_FALSE(in_nan_tail) << "a number after a NaN";
            EXPECT_LE(previous, d);
            previous = d;
        }
    }
    // A NaN player position makes every distance NaN: the order of the walk stays.
    state.player_position = position_to_vector3(nan, 0, 0);
    update_marker_list_cache(ctx, state, true);
    EXPECT_EQ(rows().front(), 1999);
    EXPECT_EQ(rows().back(), 0);
}

TEST_F(ListFixture, SelectionIsResetOrClampedToTheList) {
    struct Case {
        int rows;
        std::int64_t selection;
        bool reset;
        std::int64_t expected;
    } cases[] = {{0, 3, true, 0},   {0, 3, false, -1}, {5, 3, false, 3}, {5, 9, false, 4},
                 {5, -4, false, 0}, {5, 4, true, 0},   {1, 1, false, 0}};
    for (const Case& c : cases) {
        state.markers.length = 0;
        for (int i = 0; i < c.rows; ++i) add(0, i);
        state.list_page.selection = c.selection;
        update_marker_list_cache(ctx, state, c.reset);
        EXPECT_EQ(state.list_page.selection, c.expected) << c.rows << " rows, selection " << c.selection;
    }
}

TEST_F(ListFixture, AnUnknownSortModeKeepsTheNewestIndexFirst) {
    state.list_page.sort_mode = 7;
    add(0, 30);
    add(0, 10);
    add(0, 20);
    update_marker_list_cache(ctx, state, true);
    EXPECT_EQ(rows(), (std::vector<std::int64_t>{2, 1, 0}));
}
