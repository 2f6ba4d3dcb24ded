// What the targets of files that are written and read back count as the same
// coordinate. Bit for bit (NaN as NaN), except below 0.125 in size, where the
// file's eight decimals cannot tell every float from its neighbours: such a
// coordinate must come back as exactly the float its eight-decimal text reads as.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "src/file_formats/marker_file.h"

namespace fuzz {

inline bool same_coordinate(float first, float again) {
    if (std::isnan(first)) return std::isnan(again);
    std::uint32_t a, b;
    std::memcpy(&a, &first, sizeof a);
    std::memcpy(&b, &again, sizeof b);
    if (a == b) return true;
    if (!(std::fabs(first) < 0.125f)) return false;
    char text[72];
    text[format_coordinate(first, text)] = '\0';
    const float read = std::strtof(text, nullptr);
    return std::memcmp(&read, &again, sizeof read) == 0;
}

}  // namespace fuzz
