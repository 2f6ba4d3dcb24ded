#include "src/markers_file/markers_folder.h"

#include <cstring>

#include "src/base/calendar.h"
#include "src/markers_file/marker_copies.h"

// Sections: names · what stands at a path · reading one markers file.

// ---- names ----------------------------------------------------------------------------------

static bool starts_with(const char* name, std::string_view prefix, std::string_view then) {
    const std::size_t n = std::strlen(name);
    return n > prefix.size() + then.size() && std::memcmp(name, prefix.data(), prefix.size()) == 0 &&
           std::memcmp(name + prefix.size(), then.data(), then.size()) == 0;
}

bool is_markers_file_name(const char* name) {
    return std::strcmp(name, markers_file_name) == 0 || std::strcmp(name, backup_file_name.text) == 0 ||
           starts_with(name, markers_file_name, unreadable_copy_infix) ||
           starts_with(name, markers_file_name, replaced_copy_infix);
}

void append_kept_copy_name(TextBuilder& out, std::string_view path, const char* infix, std::int64_t unix_ns) {
    text_append(out, path);
    text_append(out, infix);
    append_utc_stamp(out, unix_ns);
}

std::uint64_t kept_copy_order(const char* name, std::string_view file, const char* infix) {
    const std::size_t n = std::strlen(name), infix_length = std::strlen(infix);
    const std::size_t stamp_at = file.size() + infix_length;
    if (n < stamp_at + 15 || !starts_with(name, file, infix)) return 0;
    const char* stamp = name + stamp_at;
    std::uint64_t digits[14];
    for (std::size_t i = 0, d = 0; i < 15; ++i) {
        if (i == 8) {
            if (stamp[i] != '-') return 0;
            continue;
        }
        if (stamp[i] < '0' || stamp[i] > '9') return 0;
        digits[d++] = static_cast<std::uint64_t>(stamp[i] - '0');
    }
    std::uint64_t number = 1;  // the first copy of a second
    const char* rest = stamp + 15;
    if (*rest != '\0') {
        if (rest[0] != '-' || rest[1] < '0' || rest[1] > '9') return 0;
        number = static_cast<std::uint64_t>(rest[1] - '0');
        if (rest[2] >= '0' && rest[2] <= '9') {
            if (rest[1] == '0') return 0;
            number = number * 10 + static_cast<std::uint64_t>(rest[2] - '0');
            if (rest[3] != '\0') return 0;
        } else if (rest[2] != '\0') {
            return 0;
        }
        if (number < 2) return 0;
    }
    const auto value = [&](std::size_t from, std::size_t count) {
        std::uint64_t v = 0;
        for (std::size_t i = from; i < from + count; ++i) v = v * 10 + digits[i];
        return v;
    };
    const std::uint64_t year = value(0, 4), month = value(4, 2), day = value(6, 2);
    const std::uint64_t hour = value(8, 2), minute = value(10, 2), second = value(12, 2);
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return 0;
    // A real date: no further than its month's last day (counted in days, so
    // that any year of four digits fits).
    const auto y = static_cast<std::int64_t>(year);
    const auto m = static_cast<int>(month);
    const std::int64_t month_days =
        (m == 12 ? days_from_civil(y + 1, 1, 1) : days_from_civil(y, m + 1, 1)) - days_from_civil(y, m, 1);
    if (static_cast<std::int64_t>(day) > month_days) return 0;
    return value(0, 14) * 100 + number;
}

std::uint64_t kept_copy_order_at(std::int64_t unix_ns) {
    const CivilTime t = civil_from_unix_ns(unix_ns);
    const std::uint64_t date = static_cast<std::uint64_t>(t.year) * 10000 + static_cast<std::uint64_t>(t.month) * 100 +
                               static_cast<std::uint64_t>(t.day);
    const std::uint64_t time = static_cast<std::uint64_t>(t.hour) * 10000 + static_cast<std::uint64_t>(t.minute) * 100 +
                               static_cast<std::uint64_t>(t.second);
    return (date * 1000000 + time) * 100 + 1;
}

// ---- what stands at a path ------------------------------------------------------------------

const char* obstacle_description(PlatformFileKind kind) {
    switch (kind) {
        case PlatformFileKind::directory: return "a directory";
        case PlatformFileKind::special: return "a device or other special file";
        case PlatformFileKind::broken_link: return "a link to a file that does not exist";
        default: return nullptr;
    }
}

void describe_obstacle(TextBuilder& out, PlatformFileKind kind) {
    const char* what = obstacle_description(kind);
    if (!what) return;
    text_append(out, what);
    if (kind != PlatformFileKind::broken_link) text_append(out, ", not a markers file");
}

// ---- reading one markers file ---------------------------------------------------------------

MarkersFileRead read_whole_file(const char* path, const Allocator& allocator, char*& text, std::size_t& size) {
    MarkersFileRead r{};
    text = nullptr;
    size = 0;
    r.read = platform_read_file(path, allocator, &text, &size);
    if (r.read.code == 0) return r;
    // What stands there says more than the error of reading it.
    TextBuilder why = text_builder(r.why, sizeof r.why);
    const PlatformFileKind kind = platform_file_info(path).kind;
    if (obstacle_description(kind)) {
        describe_obstacle(why, kind);
        return r;
    }
    char error[64];
    platform_error_name(r.read, error, sizeof error);
    text_append(why, "cannot be read: ");
    text_append(why, error);
    return r;
}

void load_markers_text(MarkersFileRead& r, std::string_view text, const Allocator& allocator, MarkersData& data) {
    DeserializeDetail detail{};
    r.loaded = deserialize_markers(text, allocator, data, &detail);
    if (r.loaded != DeserializeError::none) {
        TextBuilder why = text_builder(r.why, sizeof r.why);
        describe_load_failure(why, r.loaded, detail);
    }
}

MarkersFileRead read_markers_file(const char* path, const Allocator& allocator, MarkersData& data) {
    data = MarkersData{};
    char* text = nullptr;
    std::size_t size = 0;
    MarkersFileRead r = read_whole_file(path, allocator, text, size);
    if (r.read.code != 0) return r;
    load_markers_text(r, std::string_view(text, size), allocator, data);
    free_bytes(allocator, text, size + 1);
    return r;
}
