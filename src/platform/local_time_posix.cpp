// Local time on Linux: the C library's zone, from the TZ environment variable
// (or the system's setting when TZ is unset).
#include <ctime>

#include "src/platform/local_time.h"

struct LocalTimeZone {
    int loaded;
};

LocalTimeZone* load_local_time_zone(const Allocator& allocator) {
    tzset();
    auto* zone = static_cast<LocalTimeZone*>(allocate_bytes(allocator, sizeof(LocalTimeZone), alignof(LocalTimeZone)));
    if (zone) zone->loaded = 1;
    return zone;
}

void free_local_time_zone(LocalTimeZone* zone, const Allocator& allocator) {
    free_bytes(allocator, zone, sizeof(LocalTimeZone));
}

bool utc_to_local(const LocalTimeZone* zone, std::int64_t utc_ns, CivilTime* local) {
    if (!zone) return false;
    std::int64_t seconds = utc_ns / ns_per_second;
    if (utc_ns % ns_per_second < 0) --seconds;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return false;  // beyond what the C library can represent
    *local = CivilTime{
        static_cast<std::int64_t>(tm.tm_year) + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    return true;
}
