// The Unicode classes the JSON5 reader needs beyond ASCII, as sorted ranges
// of code points (internal to src/json5). The tables themselves are generated:
// json5_unicode_tables.cpp, by tests/oracle/make_unicode_tables.js.
#pragma once

#include <cstddef>
#include <cstdint>

struct Json5CodeRange {
    std::uint32_t first, last;
};

struct Json5CodeRanges {
    const Json5CodeRange* data;
    std::size_t count;
};

// ECMAScript 5.1 identifiers: a letter (Lu Ll Lt Lm Lo Nl) starts one ...
extern const Json5CodeRanges json5_identifier_start_ranges;
// ... and marks, digits and connectors (Mn Mc Nd Pc) may follow it.
extern const Json5CodeRanges json5_identifier_part_ranges;

inline bool json5_in_ranges(const Json5CodeRanges& ranges, std::uint32_t cp) {
    std::size_t lo = 0, hi = ranges.count;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (cp < ranges.data[mid].first) hi = mid;
        else if (cp > ranges.data[mid].last) lo = mid + 1;
        else return true;
    }
    return false;
}
