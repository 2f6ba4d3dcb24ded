// Proleptic Gregorian calendar arithmetic on Unix time, valid for every signed
// 64-bit nanosecond count.
#pragma once

#include <cstdint>

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
