// Shapes and colours on the screen, in the units the game's drawing natives take.
#pragma once

#include <cstdint>

struct Rgba {
    std::int32_t red, green, blue, alpha;  // 0..255; alpha 255 is opaque
};

struct ScreenRect {
    float x, y, width, height;  // centre and size, fractions of the screen
};

// The game window's client area in pixels, for turning fractions into pixels.
struct ScreenSize {
    std::int32_t width, height;
};
