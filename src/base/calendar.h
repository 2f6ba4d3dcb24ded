// Time as the plug-in counts it, signed 64-bit nanoseconds (since 1970 UTC
// for an instant): seconds of a duration, and proleptic Gregorian calendar
// arithmetic valid for every count.
#pragma once

#include <cstdint>

inline constexpr std::int64_t ns_per_second = 1000000000;

// A duration in seconds as the frame timers count them: times 1e-9, in double.
inline double seconds_from_ns(std::int64_t ns) { return static_cast<double>(ns) * 1e-9; }
inline std::int64_t ns_from_seconds(double seconds) {
    return static_cast<std::int64_t>(seconds * static_cast<double>(ns_per_second));
}

struct CivilTime {
    std::int64_t year;
    int month;   // 1..12
    int day;     // 1..31
    int hour;    // 0..23
    int minute;  // 0..59
    int second;  // 0..59
};

CivilTime civil_from_unix_ns(std::int64_t ns);
// Days since 1970-01-01 of a calendar date (month 1..12, day 1..31).
std::int64_t days_from_civil(std::int64_t year, int month, int day);
// A day that exists in the proleptic Gregorian calendar: month 1..12, and a
// day the month has (29 February only in leap years).
bool is_calendar_date(std::int64_t year, int month, int day);
