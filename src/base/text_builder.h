// Building texts in a caller-owned buffer: nothing is allocated, and a text
// that does not fit is cut at the capacity (and marked so).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct TextBuilder {
    char* data;
    std::size_t capacity;  // including room for the terminating zero
    std::size_t length;
    bool truncated;
};

inline TextBuilder text_builder(char* buffer, std::size_t capacity) {
    if (capacity > 0) buffer[0] = '\0';
    return TextBuilder{buffer, capacity, 0, false};
}

inline std::string_view text_view(const TextBuilder& b) { return {b.data, b.length}; }

// A zero-terminated text that is there and not empty.
inline bool has_text(const char* text) { return text != nullptr && text[0] != '\0'; }

void text_append(TextBuilder& b, std::string_view text);
void text_append_char(TextBuilder& b, char c);
void text_append_i64(TextBuilder& b, std::int64_t value);
void text_append_u64(TextBuilder& b, std::uint64_t value);
// Zero-padded to at least `width` digits ("%02d").
void text_append_i64_padded(TextBuilder& b, std::int64_t value, int width);
// Shortest decimal form that reads back to the same value.
void text_append_f32_shortest(TextBuilder& b, float value);
void text_append_f64_shortest(TextBuilder& b, double value);
// Exactly `decimals` digits after the point, correctly rounded (the log's "{:.2f}").
void text_append_f64_fixed(TextBuilder& b, double value, int decimals);
