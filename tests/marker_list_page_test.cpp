// The marker list page: the window of eight rows, the row texts, the dates in
// local time, and the page's actions as the game sees them.
#include <cstdlib>
#include <limits>

#include "sim_fixture.h"
#include "src/local_time.h"
#include "src/marker_editing.h"
#include "src/marker_list.h"
#include "src/marker_list_page.h"

namespace {

struct ZoneScope {
    // Sets TZ for the scope and loads the zone as set-up does.
    explicit ZoneScope(const char* tz) {
        const char* old = std::getenv("TZ");
        had = old != nullptr;
        if (had) previous = old;
        setenv("TZ", tz, 1);
        zone = load_local_time_zone(heap_allocator());
    }
    ~ZoneScope() {
        free_local_time_zone(zone, heap_allocator());
        if (had) setenv("TZ", previous.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    LocalTimeZone* zone;
    bool had;
    std::string previous;
};

std::int64_t utc(int y, int mo, int d, int h, int mi, int s) {
    return (days_from_civil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s) * 1000000000LL;
}

}  // namespace

TEST(ListWindow, TheSelectionStandsInTheFifthSlotWhenTheListAllows) {
    struct Case {
        std::int64_t selection, rows, first;
    } cases[] = {{0, 20, 0}, {10, 20, 6}, {19, 20, 12}, {4, 20, 0}, {5, 20, 1}, {3, 5, 0}, {0, 1, 0}, {0, 0, 0}, {-1, 0, 0}};
    for (const Case& c : cases) EXPECT_EQ(first_visible_row(c.selection, c.rows), c.first) << c.selection << "/" << c.rows;
    const float centres[] = {0.31f, 0.38f, 0.45f, 0.52f, 0.59f, 0.66f, 0.73f, 0.80f};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(list_row_centre_y(i), centres[i], 1e-6f) << i;
}

TEST(RowTexts, DistanceAndCoordinatesForAnyStoredPosition) {
    RunContext ctx{heap_allocator(), scratch_allocator(thread_scratch_arena()), Logger{}};
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(distance_text(ctx, Position{152.9f, 0, 0}, Position{0, 0, 0}), "152m away");
    EXPECT_EQ(distance_text(ctx, Position{3, 4, 12}, Position{0, 0, 0}), "13m away");
    struct Case {
        float distance;
        std::int32_t metres;
    } cases[] = {{152.9f, 152}, {0.0f, 0}, {-0.0f, 0}, {nan, 0}, {inf, 2147483647}, {3e9f, 2147483647},
                 {2147483520.0f, 2147483520}};
    for (const Case& c : cases) EXPECT_EQ(whole_metres(c.distance), c.metres) << c.distance;
    EXPECT_EQ(distance_text(ctx, Position{nan, 0, 0}, Position{0, 0, 0}), "0m away");
    EXPECT_EQ(distance_text(ctx, Position{3e38f, 3e38f, 0}, Position{-3e38f, 0, 0}), "2147483647m away");
    EXPECT_EQ(coordinates_text(ctx, Position{-310.46f, 802.27f, 40}), "x: -310.5, y: 802.3, z: 40.0");
    EXPECT_EQ(coordinates_text(ctx, Position{nan, inf, -0.0f}), "x: nan, y: inf, z: -0.0");
    scratch_release(thread_scratch_arena());
}

TEST(RowTexts, DatesInLocalTimeAcrossZonesAndChanges) {
    RunContext ctx{heap_allocator(), scratch_allocator(thread_scratch_arena()), Logger{}};
    struct Case {
        const char* zone;
        std::int64_t at;
        const char* text;
    } cases[] = {
        {"Europe/Berlin", utc(2026, 12, 9, 13, 5, 3), "9 December 2026, 14:05:03"},
        {"Europe/Berlin", utc(2026, 7, 9, 13, 5, 3), "9 July 2026, 15:05:03"},
        {"Africa/Johannesburg", utc(2025, 12, 31, 23, 30, 0), "1 January 2026, 01:30:00"},
        {"America/New_York", utc(2026, 1, 1, 3, 0, 0), "31 December 2025, 22:00:00"},
        {"America/New_York", utc(2026, 3, 8, 6, 59, 59), "8 March 2026, 01:59:59"},  // the last second of winter time
        {"America/New_York", utc(2026, 3, 8, 7, 0, 0), "8 March 2026, 03:00:00"},    // summer time begins
        {"America/New_York", utc(2026, 11, 1, 5, 59, 59), "1 November 2026, 01:59:59"},
        {"America/New_York", utc(2026, 11, 1, 6, 0, 0), "1 November 2026, 01:00:00"},  // the hour again
        {"Asia/Kolkata", utc(2026, 6, 15, 0, 0, 0), "15 June 2026, 05:30:00"},
        {"UTC", utc(2026, 12, 31, 23, 59, 59), "31 December 2026, 23:59:59"},
        {"Europe/Berlin", std::numeric_limits<std::int64_t>::min(), "21 September 1677, 01:06:11"},
        {"Europe/Berlin", std::numeric_limits<std::int64_t>::max(), "12 April 2262, 01:47:16"},
    };
    for (const Case& c : cases) {
        ZoneScope scope(c.zone);
        ASSERT_NE(scope.zone, nullptr);
        EXPECT_EQ(date_text(ctx, c.at, scope.zone), c.text) << c.zone;
    }
    // Without a zone: UTC, for every timestamp.
    EXPECT_EQ(date_text(ctx, utc(2026, 12, 9, 13, 5, 3), nullptr), "9 December 2026, 13:05:03");
    EXPECT_EQ(date_text(ctx, std::numeric_limits<std::int64_t>::min(), nullptr), "21 September 1677, 00:12:43");
    EXPECT_EQ(date_text(ctx, std::numeric_limits<std::int64_t>::max(), nullptr), "11 April 2262, 23:47:16");
    EXPECT_EQ(date_text(ctx, -1, nullptr), "31 December 1969, 23:59:59");
    scratch_release(thread_scratch_arena());
}
