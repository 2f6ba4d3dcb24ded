// The computer's local time zone, loaded once at set-up.
#pragma once

#include <cstdint>

#include "src/base/allocators.h"
#include "src/base/calendar.h"

// The zone's rules; what they hold is each platform's business.
struct LocalTimeZone;

// Null when the zone cannot be had; marker dates are then shown in UTC.
LocalTimeZone* load_local_time_zone(const Allocator& allocator);
void free_local_time_zone(LocalTimeZone* zone, const Allocator& allocator);
// The local calendar time of a UTC instant; false when the zone cannot convert it.
bool utc_to_local(const LocalTimeZone* zone, std::int64_t utc_ns, CivilTime* local);
