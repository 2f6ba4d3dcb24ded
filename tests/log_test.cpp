// Log lines and the rendering of values inside messages.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "src/base/calendar.h"
#include "src/base/log.h"
#include "src/base/run_context.h"
#include "src/platform/platform.h"
#include "src/scripthook/vector3_log.h"

namespace {

std::string render_format(std::string_view format, std::initializer_list<LogArg> args) {
    char buffer[512];
    TextBuilder b = text_builder(buffer, sizeof buffer);
    render_log_format(b, format, args.begin(), args.size());
    return std::string(text_view(b));
}

std::string render_value(const LogArg& a) {
    char buffer[512];
    TextBuilder b = text_builder(buffer, sizeof buffer);
    render_log_value(b, a);
    return std::string(text_view(b));
}

std::string line_at(LogLevel level, std::int64_t ns, std::string_view message,
                    std::uint32_t options = log_option_level | log_option_date | log_option_time) {
    char buffer[256];
    TextBuilder b = text_builder(buffer, sizeof buffer);
    render_log_line(b, level, options, ns, message);
    return std::string(text_view(b));
}

constexpr std::int64_t second = 1000000000;
// 2025-10-13 04:48:28 UTC
constexpr std::int64_t setup_time = 1760330908LL * second;

// Collects lines the way the file logger would write them, into memory.
struct MemoryLog {
    std::string text;
};
void memory_write(void* data, LogLevel level, std::string_view message, std::uint32_t options) {
    char buffer[4096];
    TextBuilder b = text_builder(buffer, sizeof buffer);
    render_log_line(b, level, options, 0, message);
    static_cast<MemoryLog*>(data)->text += std::string(text_view(b));
}

}  // namespace

TEST(LogLine, HeaderUtcDateTimeMessageAndLineFeed) {
    EXPECT_EQ(days_from_civil(2025, 10, 13) * 86400 + 4 * 3600 + 48 * 60 + 28, 1760330908);
    EXPECT_EQ(line_at(LogLevel::info, setup_time, "Setup"), "[INFO ] --- [2025-10-13 04:48:28] Setup\n");
    // 23:59:59 UTC keeps the UTC date whatever the local zone says.
    const std::int64_t last_second = (days_from_civil(2026, 12, 31) * 86400 + 86399) * second + 999999999;
    EXPECT_EQ(line_at(LogLevel::error, last_second, "x"), "[ERROR] --- [2026-12-31 23:59:59] x\n");
    EXPECT_EQ(line_at(LogLevel::error, last_second + 1, "x"), "[ERROR] --- [2027-01-01 00:00:00] x\n");
}

TEST(LogLine, LevelHeadersFollowTheLevelBands) {
    // The named levels, and values between them (only a cast makes those),
    // which take the header of the band they fall in.
    struct Case {
        LogLevel level;
        const char* header;
    } cases[] = {{LogLevel::debug, "[DEBUG] --- "},          {static_cast<LogLevel>(9), "[DEBUG] --- "},
                 {LogLevel::info, "[INFO ] --- "},           {static_cast<LogLevel>(19), "[INFO ] --- "},
                 {LogLevel::warning, "[WARN ] --- "},        {static_cast<LogLevel>(29), "[WARN ] --- "},
                 {LogLevel::error, "[ERROR] --- "},          {static_cast<LogLevel>(39), "[ERROR] --- "},
                 {LogLevel::fatal, "[FATAL] --- "},          {static_cast<LogLevel>(49), "[FATAL] --- "},
                 {static_cast<LogLevel>(-1), "[DEBUG] --- "}};
    for (const Case& c : cases) {
        std::string line = line_at(c.level, 0, "m");
        EXPECT_EQ(line.substr(0, 12), c.header) << static_cast<int>(c.level);
        EXPECT_EQ(line.substr(12), "[1970-01-01 00:00:00] m\n");
    }
}

TEST(LogLine, TimesBefore1970AndFarAheadKeepTheirCalendarDate) {
    EXPECT_EQ(line_at(LogLevel::info, -1, "m"), "[INFO ] --- [1969-12-31 23:59:59] m\n");
    EXPECT_EQ(line_at(LogLevel::info, std::numeric_limits<std::int64_t>::min(), "m"),
              "[INFO ] --- [1677-09-21 00:12:43] m\n");
    EXPECT_EQ(line_at(LogLevel::info, std::numeric_limits<std::int64_t>::max(), "m"),
              "[INFO ] --- [2262-04-11 23:47:16] m\n");
}

TEST(LogLine, AnOverlongMessageIsCutButTheLineStillEnds) {
    char buffer[64];
    TextBuilder b = text_builder(buffer, sizeof buffer);
    render_log_line(b, LogLevel::info, log_option_level | log_option_date | log_option_time, 0, std::string(200, 'a'));
    std::string line(text_view(b));
    EXPECT_EQ(line.size(), 63u);
    EXPECT_EQ(line.back(), '\n');
}

TEST(LogValues, DefaultRenderings) {
    struct Case {
        LogArg value;
        const char* expected;
    } cases[] = {
        {log_arg("text"), "text"},
        {log_arg(std::int64_t{-42}), "-42"},
        {log_arg(std::uint32_t{0x29FEEDA9}), "704572841"},  // a Hash: decimal
        {log_arg(1.5f), "1.5"},
        {log_arg(0.1f), "0.1"},
        {log_arg(-20.0f), "-20"},
        {log_arg(16777216.0f), "16777216"},
        {log_arg(0.1), "0.1"},
        {log_arg(std::numeric_limits<float>::quiet_NaN()), "nan"},
        {log_arg(true), "true"},
        // Control characters in texts from outside (a pack's file name) are
        // escaped, so no value can start a line of its own; UTF-8 and the
        // backslash of a Windows path stay as they are.
        {log_arg("a friends\n[ERROR] --- forged.json"), "a friends\\n[ERROR] --- forged.json"},
        {log_arg("\r\t\x01\x1f\x7f end"), "\\r\\t\\x01\\x1F\\x7F end"},
        {log_arg(std::string_view("nul\0inside", 10)), "nul\\x00inside"},
        {log_arg("Quillfen\\import\\Überfall — 北.json"), "Quillfen\\import\\Überfall — 北.json"},
        {log_arg(position_to_vector3(1.5f, -20.0f, 3.25f)), "Vector3{_x = {x = 1.5}, _y = {y = -20}, _z = {z = 3.25}}"},
    };
    for (const Case& c : cases) EXPECT_EQ(render_value(c.value), c.expected);
}

TEST(LogValues, SourceLocationLeavesOutAZeroColumn) {
    struct FakeLocation {
        static std::source_location here(std::source_location l = std::source_location::current()) { return l; }
    };
    std::source_location l = FakeLocation::here();
    std::string rendered = render_value(log_arg(l));
    EXPECT_EQ(rendered,
              std::string(l.file_name()) + "(" + std::to_string(l.line()) + ":" + std::to_string(l.column()) + ")");
}

TEST(LogValues, ByteSizesInUnitsOf1024) {
    struct Case {
        std::uint64_t bytes;
        const char* expected;
    } cases[] = {{0, "0b"},
                 {24, "24b"},
                 {1023, "1023b"},
                 {1024, "1.00kib"},
                 {1536, "1.50kib"},
                 {1048575, "1024.00kib"},
                 {1048576, "1.00mib"},
                 {3ULL << 30, "3.00gib"},
                 {1ULL << 40, "1.00tib"},
                 {1ULL << 50, "1.00pib"},
                 {1ULL << 60, "1.00eib"},
                 {std::numeric_limits<std::uint64_t>::max(), "16.00eib"}};
    for (const Case& c : cases) EXPECT_EQ(render_format("{:size}", {log_arg(c.bytes)}), c.expected) << c.bytes;
}

TEST(LogFormat, PlaceholdersTakeTheValuesInOrder) {
    struct Case {
        const char* format;
        std::initializer_list<LogArg> values;
        const char* expected;
    };
    const Case cases[] = {
        {"Loaded {:d} markers from JSON", {log_arg(3)}, "Loaded 3 markers from JSON"},
        {"Auto-created marker at waypoint: {:.2f}, {:.2f}, {:.2f}",
         {log_arg(-1234.5f), log_arg(0.125f), log_arg(41.0f)},
         "Auto-created marker at waypoint: -1234.50, 0.12, 41.00"},
        {"{:.0f} {:.9f}", {log_arg(2.5), log_arg(0.1)}, "2 0.100000000"},
        {"Failed to write to markers data file: {}/{} {}",
         {log_arg(0), log_arg(120), log_arg("ENOSPC")},
         "Failed to write to markers data file: 0/120 ENOSPC"},
        {"{} leaked {:size}\n", {log_arg("a.cpp"), log_arg(std::size_t{24})}, "a.cpp leaked 24b\n"},
        {"{:d} of {:d}",
         {log_arg(std::int64_t{-7}), log_arg(std::uint64_t{18446744073709551615u})},
         "-7 of 18446744073709551615"},
        // Percent signs are text like any other; braces are doubled.
        {"100% {}", {log_arg("done")}, "100% done"},
        {"{{{}}} and }}{{", {log_arg(1)}, "{1} and }{"},
        {"{}{}", {log_arg("a"), log_arg("b")}, "ab"},
    };
    for (const Case& c : cases) EXPECT_EQ(render_format(c.format, c.values), c.expected) << c.format;
}

TEST(LogFormat, ATextNotCheckedWhenCompilingNeverReadsPastItsValues) {
    // render_log_format also takes texts made at run time: what the check
    // would refuse is written as it stands, and a placeholder without a
    // value writes nothing.
    const std::pair<const char*, const char*> cases[] = {
        {"{} and {}", "1 and "}, {"{:x} {}", "{:x} 1"}, {"{:.2f", "{:.2f"}, {"a } b {}", "a } b 1"},
        {"{:.12f}", "{:.12f}"},  {"{ {}", "{ {}"},      {"%d {}", "%d 1"},
    };
    for (const auto& [format, expected] : cases) EXPECT_EQ(render_format(format, {log_arg(1)}), expected) << format;
}

TEST(Logging, ValuesJoinedBySpacesAndLevelFilter) {
    MemoryLog memory;
    RunContext ctx{heap_allocator(), heap_allocator(), Logger{memory_write, &memory, LogLevel::info, log_option_level}};
    log_values(ctx, LogLevel::error, position_to_vector3(1.5f, -20.0f, 3.25f), std::uint32_t{0xDEADBEEF});
    log_values(ctx, LogLevel::debug, "below the lowest level");
    log_format(ctx, LogLevel::info, "Saved {:d} markers to JSON", 2);
    log_format(ctx, LogLevel::warning, "{:.1f} {:size} {{}}", 0.25f, std::uint64_t{1536});
    EXPECT_EQ(memory.text,
              "[ERROR] --- Vector3{_x = {x = 1.5}, _y = {y = -20}, _z = {z = 3.25}} 3735928559\n"
              "[INFO ] --- Saved 2 markers to JSON\n"
              "[WARN ] --- 0.2 1.50kib {}\n");

    RunContext silent{heap_allocator(), heap_allocator(), Logger{}};
    log_values(silent, LogLevel::fatal, "nothing happens");  // and does not crash
}

TEST(LogErrorNames, EveryCodeAFileOperationCanReturnHasItsName) {
    const std::pair<int, const char*> cases[] = {
        {EPERM, "EPERM"},
        {ENOENT, "ENOENT"},
        {EACCES, "EACCES"},
        {EEXIST, "EEXIST"},
        {EXDEV, "EXDEV"},
        {ENOTDIR, "ENOTDIR"},
        {EISDIR, "EISDIR"},
        {ENOSPC, "ENOSPC"},
        {EROFS, "EROFS"},
        {ELOOP, "ELOOP"},
        {ENAMETOOLONG, "ENAMETOOLONG"},
        {EDQUOT, "EDQUOT"},
        {ETXTBSY, "ETXTBSY"},
        {EMFILE, "EMFILE"},
        {0, "OK"},
        {4095, "errno 4095"},
    };
    for (const auto& [code, name] : cases) {
        char buffer[64];
        platform_error_name(PlatformError{static_cast<std::uint32_t>(code)}, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, name);
    }
}
