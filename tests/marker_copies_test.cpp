// The names of the copies beside markers.json: which names are daily copies,
// in which order they are tried and pruned, and which kept copy is the newest.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "src/base/calendar.h"
#include "src/file_formats/marker_copies.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& p) { std::ofstream(p, std::ios::binary) << "x"; }

}  // namespace

TEST(MarkerCopies, DailyCopyNamesCarryARealCalendarDate) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"markers-20251209.json", 20251209},
        {"markers-00010101.json", 10101},     // the first year there is
        {"markers-99991231.json", 99991231},  // the last one a name can hold
        {"markers-20240229.json", 20240229},  // a leap year
        {"markers-20000229.json", 20000229},  // divisible by 400: a leap year
        {"markers-19000229.json", 0},         // divisible by 100 only: not one
        {"markers-20250229.json", 0},
        {"markers-20251131.json", 0},  // November has 30 days
        {"markers-20261301.json", 0},  // month 13
        {"markers-20261200.json", 0},  // day 0
        {"markers-20260001.json", 0},  // month 0
        {"markers-00000101.json", 0},  // year 0
        {"markers-99999999.json", 0},
        {"markers-2025120.json", 0},
        {"markers-202512011.json", 0},
        {"markers-2025120x.json", 0},
        {"markers-20251209.json.old", 0},
        {"Markers-20251209.json", 0},
        {"markers-20251209.JSON", 0},
        {"markers-", 0},
        {"", 0},
    };
    for (const auto& [name, date] : cases) EXPECT_EQ(daily_copy_date(name), date) << name;
}

TEST(MarkerCopies, TheDateOfEveryDayTheClockCanNameReadsBackFromItsName) {
    // Every day of the nanosecond clock's range (1677 to 2262), through the
    // name and back: the calendar check and utc_date_number agree on what a
    // date is, leap days included.
    constexpr std::int64_t day_ns = 86400 * std::int64_t{1000000000};
    std::size_t leap_days = 0;
    for (std::int64_t day = days_from_civil(1678, 1, 1); day <= days_from_civil(2261, 12, 31); ++day) {
        const std::uint32_t date = utc_date_number(day * day_ns);
        char name[32];
        TextBuilder b = text_builder(name, sizeof name);
        append_daily_copy_name(b, date);
        ASSERT_EQ(daily_copy_date(name), date) << name;
        leap_days += date % 10000 == 229;
    }
    EXPECT_EQ(leap_days, 141u);  // 146 years divisible by 4 from 1680 to 2260, less 1700, 1800, 1900, 2100, 2200
}

TEST(MarkerCopies, DailyCopiesUpToTodayComeFirstNewestFirstThenTheLaterDatedOnes) {
    const fs::path d = fresh_test_dir();
    for (const char* n : {"markers-20251201.json", "markers-20251209.json", "markers-20251208.json",
                          "markers-20301205.json", "markers-20301207.json", "markers-20251210.json",
                          "markers-99999999.json", "markers-20261301.json", "notes.txt"}) {
        touch(d / n);
    }
    struct Case {
        std::uint32_t today;
        std::vector<std::uint32_t> order;
        std::size_t up_to_today;
    } cases[] = {
        {20251209, {20251209, 20251208, 20251201, 20301207, 20301205, 20251210}, 3},
        {20251210, {20251210, 20251209, 20251208, 20251201, 20301207, 20301205}, 4},
        {20301206, {20301205, 20251210, 20251209, 20251208, 20251201, 20301207}, 5},
        {20200101, {20301207, 20301205, 20251210, 20251209, 20251208, 20251201}, 0},
        {99991231, {20301207, 20301205, 20251210, 20251209, 20251208, 20251201}, 6},
    };
    for (const Case& c : cases) {
        GrowableArray<std::uint32_t> dates{};
        std::size_t up_to_today = 99;
        ASSERT_EQ(list_daily_copies(d.string().c_str(), c.today, heap_allocator(), dates, &up_to_today).code, 0u);
        EXPECT_EQ(std::vector<std::uint32_t>(dates.begin(), dates.end()), c.order) << c.today;
        EXPECT_EQ(up_to_today, c.up_to_today) << c.today;
        array_free(dates);
    }
    GrowableArray<std::uint32_t> none{};
    EXPECT_EQ(list_daily_copies((d / "missing").string().c_str(), 20251209, heap_allocator(), none).code, 0u);
    EXPECT_EQ(none.length, 0u);
}

TEST(MarkerCopies, TheNewestStampedCopyGoesByStampThenByNumber) {
    struct Case {
        const char* what;
        std::vector<std::string> names;
        const char* newest;  // null: none
    } cases[] = {
        {"none", {"markers.json", "markers.json.bak"}, nullptr},
        {"one", {"markers.json", "markers.json.unreadable-20251209-080000"}, "markers.json.unreadable-20251209-080000"},
        {"the later stamp",
         {"markers.json.unreadable-20251209-080000", "markers.json.unreadable-20251210-000000",
          "markers.json.unreadable-20251209-235959"},
         "markers.json.unreadable-20251210-000000"},
        {"the higher number in one second, 10 after 9",
         {"markers.json.unreadable-20251209-080000", "markers.json.unreadable-20251209-080000-2",
          "markers.json.unreadable-20251209-080000-10", "markers.json.unreadable-20251209-080000-9"},
         "markers.json.unreadable-20251209-080000-10"},
        {"names not of the form are no copies",
         {"markers.json.unreadable-20251209-080000", "markers.json.unreadable-20301209-080000.txt",
          "markers.json.unreadable-2030120-080000", "markers.json.unreadable-20301209-080000-1",
          "markers.json.unreadable-20301209-080000-02", "markers.json.unreadable-20301209-080000-100",
          "markers.json.unreadable-20301209_080000", "markers.json.replaced-20301209-080000"},
         "markers.json.unreadable-20251209-080000"},
    };
    for (const Case& c : cases) {
        const fs::path d = fresh_test_dir();
        for (const std::string& n : c.names) touch(d / n);
        char buffer[128];
        TextBuilder name = text_builder(buffer, sizeof buffer);
        const bool found = newest_stamped_copy(d.string().c_str(), "markers.json.unreadable-", name);
        EXPECT_EQ(found, c.newest != nullptr) << c.what;
        if (found && c.newest) {
            EXPECT_EQ(std::string(text_view(name)), c.newest) << c.what;
        }
    }
}
