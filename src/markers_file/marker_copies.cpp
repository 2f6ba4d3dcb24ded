#include "src/markers_file/marker_copies.h"

#include <algorithm>

#include "src/base/calendar.h"

PlatformError write_whole_file(const char* temporary, const char* path, const void* data, std::size_t size,
                               bool replace, std::size_t* written) {
    (void)platform_delete_file(temporary);  // a leftover of a copy or save that was cut short
    PlatformError e = platform_write_new_file(temporary, data, size, written);
    if (e.code != 0) return e;  // the temporary file is gone again
    e = replace ? platform_replace_file(temporary, path) : platform_rename_new(temporary, path);
    if (e.code != 0) (void)platform_delete_file(temporary);
    return e;
}

PlatformError keep_under_new_name(const char* temporary, const char* base, const void* data, std::size_t size,
                                  TextBuilder& chosen) {
    (void)platform_delete_file(temporary);
    PlatformError e = platform_write_new_file(temporary, data, size, nullptr);
    if (e.code != 0) return e;
    for (int n = 1; n <= 99; ++n) {
        chosen.length = 0;
        text_append(chosen, base);
        if (n > 1) {
            text_append_char(chosen, '-');
            text_append_i64(chosen, n);
        }
        e = platform_rename_new(temporary, chosen.data);
        if (e.code == 0 || !platform_error_is_exists(e)) break;
    }
    if (e.code != 0) (void)platform_delete_file(temporary);
    return e;
}

void append_utc_stamp(TextBuilder& out, std::int64_t unix_ns) {
    const CivilTime t = civil_from_unix_ns(unix_ns);
    text_append_i64_padded(out, t.year, 4);
    text_append_i64_padded(out, t.month, 2);
    text_append_i64_padded(out, t.day, 2);
    text_append_char(out, '-');
    text_append_i64_padded(out, t.hour, 2);
    text_append_i64_padded(out, t.minute, 2);
    text_append_i64_padded(out, t.second, 2);
}

std::uint32_t utc_date_number(std::int64_t unix_ns) {
    const CivilTime t = civil_from_unix_ns(unix_ns);
    if (t.year < 1 || t.year > 9999) return 0;
    return static_cast<std::uint32_t>(t.year * 10000 + t.month * 100 + t.day);
}

std::uint32_t daily_copy_date(const char* name) {
    static constexpr char prefix[] = "markers-";
    static constexpr char suffix[] = ".json";
    const std::size_t p = sizeof prefix - 1, s = sizeof suffix - 1;
    for (std::size_t i = 0; i < p; ++i) {
        if (name[i] != prefix[i]) return 0;
    }
    std::uint32_t date = 0;
    for (std::size_t i = p; i < p + 8; ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        date = date * 10 + static_cast<std::uint32_t>(name[i] - '0');
    }
    for (std::size_t i = 0; i <= s; ++i) {  // the terminator too: nothing may follow
        if (name[p + 8 + i] != suffix[i]) return 0;
    }
    return date;
}

void append_daily_copy_name(TextBuilder& out, std::uint32_t date) {
    text_append(out, "markers-");
    text_append_i64_padded(out, date, 8);
    text_append(out, ".json");
}

namespace {
struct DateList {
    GrowableArray<std::uint32_t>* dates;
    Allocator allocator;
};
}  // namespace

PlatformError list_daily_copies(const char* directory, const Allocator& allocator,
                                GrowableArray<std::uint32_t>& dates) {
    DateList list{&dates, allocator};
    PlatformError e = platform_list_directory(
        directory,
        [](void* data, const char* name) {
            auto& l = *static_cast<DateList*>(data);
            const std::uint32_t date = daily_copy_date(name);
            // Out of memory, the list stops short: fewer copies to try, and
            // pruning still deletes only copies that have seven newer ones.
            return date == 0 || array_append(*l.dates, l.allocator, date);
        },
        &list);
    if (platform_error_is_not_found(e)) e = PlatformError{0};
    std::sort(dates.begin(), dates.end(), [](std::uint32_t a, std::uint32_t b) { return a > b; });
    return e;
}
