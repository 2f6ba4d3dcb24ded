// What the example keeps: the frames it has seen and the presses of its button.
#pragma once

#include <cstdint>

struct Example {
    std::int64_t frames;
    std::int64_t presses;
};
