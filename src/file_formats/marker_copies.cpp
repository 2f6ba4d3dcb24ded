#include "src/file_formats/marker_copies.h"

#include <algorithm>
#include <cstring>

#include "src/base/calendar.h"
#include "src/file_formats/markers_folder.h"

PlatformError write_whole_file(const char* temporary, const char* path, const void* data, std::size_t size,
                               bool replace, std::size_t* written) {
    if (written) *written = 0;
    // A link at `path` (to a file in a synced folder, say) stays a link, and
    // what it leads to gets the bytes: the temporary file goes beside that
    // file, so that the replace stays on its file system and whole.
    char target[platform_path_capacity], beside[platform_path_capacity];
    if (replace) {
        const char* name = platform_file_name_of(temporary);
        const std::size_t name_length = std::strlen(name);
        // Room for the temporary's name beside the target (none: too long).
        const std::size_t room = name_length < sizeof target ? sizeof target - name_length : 0;
        const PlatformError e = platform_link_target(path, target, room);
        if (e.code != 0) return e;
        if (target[0] != '\0') {
            const auto folder = static_cast<std::size_t>(platform_file_name_of(target) - target);
            std::memcpy(beside, target, folder);
            std::memcpy(beside + folder, name, name_length + 1);
            temporary = beside;
            path = target;
        }
    }
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

std::uint64_t kept_copy_order(const char* name, std::string_view file, const char* infix) {
    const std::size_t n = std::strlen(name), infix_length = std::strlen(infix);
    const std::size_t stamp_at = file.size() + infix_length;
    if (n < stamp_at + 15 || (!file.empty() && std::memcmp(name, file.data(), file.size()) != 0) ||
        std::memcmp(name + file.size(), infix, infix_length) != 0) {
        return 0;
    }
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

bool newest_stamped_copy(const char* directory, const char* prefix, TextBuilder& name) {
    struct Newest {
        const char* prefix;
        std::uint64_t order;  // kept_copy_order of the newest so far; 0: none yet
        char name[256];
    } newest{prefix, 0, {}};
    const PlatformError e = platform_list_directory(
        directory,
        [](void* data, const char* entry) {
            auto& n = *static_cast<Newest*>(data);
            const std::uint64_t order = kept_copy_order(entry, {}, n.prefix);
            if (order > n.order && std::strlen(entry) < sizeof n.name) {
                n.order = order;
                std::strcpy(n.name, entry);
            }
            return true;
        },
        &newest);
    if (e.code != 0 || newest.order == 0) return false;
    name.length = 0;
    name.truncated = false;
    text_append(name, newest.name);
    return !name.truncated;
}

std::uint32_t utc_date_number(std::int64_t unix_ns) {
    const CivilTime t = civil_from_unix_ns(unix_ns);
    if (t.year < 1 || t.year > 9999) return 0;
    return static_cast<std::uint32_t>(t.year * 10000 + t.month * 100 + t.day);
}

std::uint32_t daily_copy_date(const char* name) {
    constexpr std::size_t p = sizeof daily_copy_prefix - 1, digits = daily_copy_date_digits;
    for (std::size_t i = 0; i < p; ++i) {
        if (name[i] != daily_copy_prefix[i]) return 0;
    }
    std::uint32_t date = 0;
    for (std::size_t i = p; i < p + digits; ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        date = date * 10 + static_cast<std::uint32_t>(name[i] - '0');
    }
    for (std::size_t i = 0; i <= json_suffix_length; ++i) {  // the terminator too: nothing may follow
        if (name[p + digits + i] != json_suffix[i]) return 0;
    }
    const std::uint32_t year = date / 10000;
    const int month = static_cast<int>(date / 100 % 100), day = static_cast<int>(date % 100);
    return year >= 1 && is_calendar_date(year, month, day) ? date : 0;
}

void append_daily_copy_name(TextBuilder& out, std::uint32_t date) {
    text_append(out, daily_copy_prefix);
    text_append_i64_padded(out, date, daily_copy_date_digits);
    text_append(out, json_suffix);
}

namespace {
struct DateList {
    GrowableArray<std::uint32_t>* dates;
    Allocator allocator;
};
}  // namespace

PlatformError list_daily_copies(const char* directory, std::uint32_t today, const Allocator& allocator,
                                GrowableArray<std::uint32_t>& dates, std::size_t* up_to_today) {
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
    std::sort(dates.begin(), dates.end(), [today](std::uint32_t a, std::uint32_t b) {
        if ((a > today) != (b > today)) return b > today;
        return a > b;
    });
    if (up_to_today) {
        *up_to_today = 0;
        while (*up_to_today < dates.length && dates[*up_to_today] <= today) ++*up_to_today;
    }
    return e;
}
