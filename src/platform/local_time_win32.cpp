// Local time on Windows: the zone's rules as the system keeps them, year by
// year (daylight-saving dates change between years). The "Ex" conversion does
// not exist under Wine 8, so this uses the year's TIME_ZONE_INFORMATION.
#include <windows.h>

#include "src/platform/local_time.h"

struct LocalTimeZone {
    DYNAMIC_TIME_ZONE_INFORMATION info;
};

LocalTimeZone* load_local_time_zone(const Allocator& allocator) {
    DYNAMIC_TIME_ZONE_INFORMATION info{};
    if (GetDynamicTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID) return nullptr;
    auto* zone = static_cast<LocalTimeZone*>(allocate_bytes(allocator, sizeof(LocalTimeZone), alignof(LocalTimeZone)));
    if (zone) zone->info = info;
    return zone;
}

void free_local_time_zone(LocalTimeZone* zone, const Allocator& allocator) {
    free_bytes(allocator, zone, sizeof(LocalTimeZone));
}

bool utc_to_local(const LocalTimeZone* zone, std::int64_t utc_ns, CivilTime* local) {
    if (!zone) return false;
    const CivilTime utc = civil_from_unix_ns(utc_ns);
    if (utc.year < 1601 || utc.year > 30827) return false;  // what SYSTEMTIME can hold
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(utc.year);
    st.wMonth = static_cast<WORD>(utc.month);
    st.wDay = static_cast<WORD>(utc.day);
    st.wHour = static_cast<WORD>(utc.hour);
    st.wMinute = static_cast<WORD>(utc.minute);
    st.wSecond = static_cast<WORD>(utc.second);
    TIME_ZONE_INFORMATION year_rules{};
    if (!GetTimeZoneInformationForYear(st.wYear, const_cast<DYNAMIC_TIME_ZONE_INFORMATION*>(&zone->info),
                                       &year_rules)) {
        return false;
    }
    SYSTEMTIME out{};
    if (!SystemTimeToTzSpecificLocalTime(&year_rules, &st, &out)) return false;
    *local = CivilTime{out.wYear, out.wMonth, out.wDay, out.wHour, out.wMinute, out.wSecond};
    return true;
}
