// The game's hash of a name (Jenkins one-at-a-time over the ASCII-lowercased
// bytes), for names the plug-in hands over as numbers it works out itself
// rather than asking the game each time.
#pragma once

#include <cstdint>
#include <string_view>

constexpr std::uint32_t joaat(std::string_view text) {
    std::uint32_t h = 0;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        h += byte;
        h += h << 10;
        h ^= h >> 6;
    }
    h += h << 3;
    h ^= h >> 11;
    h += h << 15;
    return h;
}
