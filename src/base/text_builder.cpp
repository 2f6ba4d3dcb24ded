#include "src/base/text_builder.h"

#include <charconv>
#include <cmath>
#include <cstring>

void text_append(TextBuilder& b, std::string_view text) {
    if (b.capacity == 0) {
        b.truncated |= !text.empty();
        return;
    }
    std::size_t room = b.capacity - 1 - b.length;
    std::size_t n = text.size() < room ? text.size() : room;
    if (n < text.size()) b.truncated = true;
    if (n > 0) std::memcpy(b.data + b.length, text.data(), n);  // an empty view may have no data
    b.length += n;
    b.data[b.length] = '\0';
}

void text_append_char(TextBuilder& b, char c) { text_append(b, std::string_view(&c, 1)); }

void text_append_i64(TextBuilder& b, std::int64_t value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    text_append(b, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

void text_append_u64(TextBuilder& b, std::uint64_t value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    text_append(b, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

void text_append_i64_padded(TextBuilder& b, std::int64_t value, int width) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    std::string_view digits(buf, static_cast<std::size_t>(r.ptr - buf));
    if (!digits.empty() && digits[0] == '-') {
        text_append_char(b, '-');
        digits.remove_prefix(1);
        --width;
    }
    for (int i = static_cast<int>(digits.size()); i < width; ++i) text_append_char(b, '0');
    text_append(b, digits);
}

// Non-finite values are spelled the way printf spells them.
static bool append_non_finite(TextBuilder& b, double value) {
    if (std::isnan(value)) {
        text_append(b, std::signbit(value) ? "-nan" : "nan");
        return true;
    }
    if (std::isinf(value)) {
        text_append(b, value < 0 ? "-inf" : "inf");
        return true;
    }
    return false;
}

void text_append_f32_shortest(TextBuilder& b, float value) {
    if (append_non_finite(b, value)) return;
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    text_append(b, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

void text_append_f64_shortest(TextBuilder& b, double value) {
    if (append_non_finite(b, value)) return;
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    text_append(b, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

void text_append_f64_fixed(TextBuilder& b, double value, int decimals) {
    if (append_non_finite(b, value)) return;
    // Large enough for any double in fixed notation (up to 309 integer digits).
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc{}) {
        b.truncated = true;
        return;
    }
    text_append(b, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}
