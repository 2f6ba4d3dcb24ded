// What the JSON5 reader's parts share (internal to src/json5): bytes, their
// classes, and reading eight of them at a time.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace json5_scan {

using Byte = unsigned char;

inline bool is_digit(std::uint32_t c) { return c >= '0' && c <= '9'; }

inline int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
}

// Whether the text at p (before end) starts with `word`.
inline bool match_word(const Byte* p, const Byte* end, const char* word) {
    const std::size_t length = std::strlen(word);
    return static_cast<std::size_t>(end - p) >= length && std::memcmp(p, word, length) == 0;
}

// ---- eight bytes at a time -----------------------------------------------------------------
// Per-byte tests that cannot carry into the next byte, so the first byte that
// matters is found from its bit position.

constexpr bool word_scan = std::endian::native == std::endian::little || std::endian::native == std::endian::big;
constexpr std::uint64_t ones = 0x0101010101010101u;
constexpr std::uint64_t high_bits = 0x8080808080808080u;
constexpr std::uint64_t low_bits = ~high_bits;

inline std::uint64_t load_word(const Byte* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The high bit of every byte of `w` that is not zero.
inline std::uint64_t nonzero_bytes(std::uint64_t w) { return (((w & low_bits) + low_bits) | w) & high_bits; }

// Index in memory order of the first byte with a bit set in `marks` (not 0).
inline std::size_t first_marked(std::uint64_t marks) {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<std::size_t>(std::countr_zero(marks)) / 8;
    } else {
        return static_cast<std::size_t>(std::countl_zero(marks)) / 8;
    }
}

}  // namespace json5_scan
