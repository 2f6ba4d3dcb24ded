// The number literals of JSON5: decimal, hexadecimal, Infinity and NaN, each
// read into the double and the float nearest to its exact value, and the
// 64-bit integer when it is one. Kept apart from the rest of the reader, as
// fast parsers keep numbers and strings apart.
//
// Sections: digits · exact conversions · the short path · scanning.
#include "src/json5/json5_number.h"

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

using namespace json5_scan;

namespace {

constexpr std::uint64_t two_to_63 = std::uint64_t{1} << 63;

// Eight digits at a time where a word's first byte is its lowest: bytes 0x30
// to 0x39 are the ones whose high nibble is 3 both before and after adding 6.
inline bool are_eight_digits(std::uint64_t w) {
    return ((w & 0xF0F0F0F0F0F0F0F0u) | (((w + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4)) ==
           0x3333333333333333u;
}

// Their value, by pairs, then fours, then all eight.
inline std::uint64_t eight_digits_value(std::uint64_t w) {
    w -= 0x3030303030303030u;
    w = (w * 10 + (w >> 8)) & 0x00FF00FF00FF00FFu;
    w = (w * 100 + (w >> 16)) & 0x0000FFFF0000FFFFu;
    return (w * 10000 + (w >> 32)) & 0xFFFFFFFFu;
}

struct Gathered {
    const Byte* end;  // after the digits
    std::uint64_t m;
};

// The digits at p added to m (m × 10 + digit each, wrapping past 64 bits).
inline Gathered gather_digits(const Byte* p, const Byte* end, std::uint64_t m) {
    if constexpr (std::endian::native == std::endian::little) {
        while (end - p >= 8) {
            const std::uint64_t w = load_word(p);
            if (!are_eight_digits(w)) break;
            m = m * 100000000u + eight_digits_value(w);
            p += 8;
        }
    }
    for (; p < end && is_digit(*p); ++p) m = m * 10 + static_cast<std::uint64_t>(*p - '0');
    return {p, m};
}

// The value of `negative` and magnitude `m`, when it fits in 64 signed bits.
bool signed_integer(bool negative, std::uint64_t m, std::int64_t& out) {
    if (m < two_to_63) {
        out = negative ? -static_cast<std::int64_t>(m) : static_cast<std::int64_t>(m);
        return true;
    }
    if (negative && m == two_to_63) {
        out = std::numeric_limits<std::int64_t>::min();
        return true;
    }
    return false;
}

// (m + a fraction of one unit that is non-zero when `sticky`) × 2^e rounded to
// a float type with `precision` significant bits, ties to even.
template <class F>
F round_binary(std::uint64_t m, bool sticky, std::int64_t e, int precision) {
    if (m == 0) return F(0);
    const int bits = 64 - std::countl_zero(m);
    if (bits > precision) {
        int shift = bits - precision;
        std::uint64_t keep = m >> shift;
        const std::uint64_t rest = m & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        if (rest > half || (rest == half && (sticky || (keep & 1)))) {
            ++keep;
            if (keep >> precision) {
                keep >>= 1;
                ++shift;
            }
        }
        m = keep;
        e += shift;
    }
    if (e > 4096) return std::numeric_limits<F>::infinity();
    return std::ldexp(static_cast<F>(m), static_cast<int>(e));
}

void set_hex_value(Json5Value& v, bool negative, const Byte* digits, std::size_t count) {
    while (count > 0 && *digits == '0') {
        ++digits;
        --count;
    }
    std::uint64_t m = 0;
    const std::size_t kept = count < 16 ? count : 16;
    for (std::size_t i = 0; i < kept; ++i) m = m * 16 + static_cast<std::uint64_t>(hex_value(digits[i]));
    bool sticky = false;
    for (std::size_t i = kept; i < count && !sticky; ++i) sticky = digits[i] != '0';
    const std::int64_t e = 4 * static_cast<std::int64_t>(count - kept);
    const double d = round_binary<double>(m, sticky, e, 53);
    const float f = round_binary<float>(m, sticky, e, 24);
    v.data.number.value = negative ? -d : d;
    v.f32 = negative ? -f : f;
    v.flag = count <= 16 && signed_integer(negative, m, v.data.number.integer);
}

// A decimal literal's pieces: the digits before and after the point and the
// exponent's value (saturated far beyond any finite double).
struct DecimalParts {
    const Byte* whole;
    std::size_t whole_count;
    const Byte* fraction;
    std::size_t fraction_count;
    std::int64_t exponent;
};

// Significant digits kept for rounding: more than the 767 an exact double
// halfway point can need; anything cut off is stood for by one trailing 1.
constexpr std::size_t kept_digits = 800;

template <class F>
F decimal_to_binary(const char* digits, std::size_t count, std::int64_t exponent, std::int64_t magnitude,
                    int max_decimal_exponent, int min_decimal_exponent) {
    // The value lies in [10^(magnitude-1), 10^magnitude).
    if (magnitude - 1 > max_decimal_exponent) return std::numeric_limits<F>::infinity();
    if (magnitude < min_decimal_exponent) return F(0);
    char text[kept_digits + 32];
    std::memcpy(text, digits, count);
    text[count] = 'e';
    const auto written = std::to_chars(text + count + 1, text + sizeof text, exponent);
    F value{};
    const auto read = std::from_chars(text, written.ptr, value, std::chars_format::general);
    if (read.ec == std::errc::result_out_of_range) return magnitude > 0 ? std::numeric_limits<F>::infinity() : F(0);
    return value;
}

void set_decimal_value(Json5Value& v, bool negative, const DecimalParts& n) {
    const std::size_t total = n.whole_count + n.fraction_count;
    auto digit_at = [&](std::size_t i) { return i < n.whole_count ? n.whole[i] : n.fraction[i - n.whole_count]; };
    std::size_t first = 0;
    while (first < total && digit_at(first) == '0') ++first;
    if (first == total) {
        v.data.number = {negative ? -0.0 : 0.0, 0};
        v.f32 = negative ? -0.0f : 0.0f;
        v.flag = true;
        return;
    }
    std::size_t last = total - 1;
    while (digit_at(last) == '0') --last;
    // value = S × 10^e where S is the digits first..last.
    const std::size_t significant = last - first + 1;
    const std::int64_t e =
        n.exponent - static_cast<std::int64_t>(n.fraction_count) + static_cast<std::int64_t>(total - 1 - last);
    const std::int64_t magnitude = e + static_cast<std::int64_t>(significant);

    char digits[kept_digits + 1];
    std::size_t count = 0;
    for (std::size_t i = first; i <= last && count < kept_digits; ++i) digits[count++] = static_cast<char>(digit_at(i));
    std::int64_t printed_exponent = e + static_cast<std::int64_t>(significant - count);
    if (count < significant) {
        digits[count++] = '1';  // the last digit cut off is not zero
        printed_exponent -= 1;
    }
    const double d = decimal_to_binary<double>(digits, count, printed_exponent, magnitude, 308, -323);
    const float f = decimal_to_binary<float>(digits, count, printed_exponent, magnitude, 38, -45);
    v.data.number = {negative ? -d : d, 0};
    v.f32 = negative ? -f : f;

    // Exactly an integer: no fraction left once trailing zeros are counted in.
    v.flag = false;
    if (e < 0 || magnitude > 19) return;
    std::uint64_t m = 0;
    for (std::size_t i = first; i <= last; ++i) m = m * 10 + static_cast<std::uint64_t>(digit_at(i) - '0');
    for (std::int64_t i = 0; i < e; ++i) {
        if (m > two_to_63 / 10) return;
        m *= 10;
    }
    v.flag = signed_integer(negative, m, v.data.number.integer);
}

// The common short literal, such as -1234.50000000 or 1765267200000000000:
// at most 19 significant digits m and a value m × 10^e. An exact integer below
// 2^63 converts once from 64 bits, to double and to float alike. Otherwise,
// with m ≤ 2^53 and |e| ≤ 22, m / 10^-e (or m × 10^e) is one correctly
// rounded operation on exact operands (Clinger). The float is that double
// rounded again, which gives x's own nearest float unless the double lies
// exactly halfway between two floats: x may be on either side of it then.
// Whatever is not settled here goes to set_decimal_value.

// One rounding per operation, to nearest: no wider intermediate precision (the
// x87's would round twice). MSVC on x64 and ARM64 always evaluates so.
#if (defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0) || defined(_M_X64) || defined(_M_ARM64)
constexpr bool exact_arithmetic = std::numeric_limits<double>::is_iec559 && std::numeric_limits<float>::is_iec559 &&
                                  std::numeric_limits<double>::round_style == std::round_to_nearest;
#else
constexpr bool exact_arithmetic = false;
#endif

constexpr std::uint64_t integer_powers_of_ten[] = {1u,
                                                   10u,
                                                   100u,
                                                   1000u,
                                                   10000u,
                                                   100000u,
                                                   1000000u,
                                                   10000000u,
                                                   100000000u,
                                                   1000000000u,
                                                   10000000000u,
                                                   100000000000u,
                                                   1000000000000u,
                                                   10000000000000u,
                                                   100000000000000u,
                                                   1000000000000000u,
                                                   10000000000000000u,
                                                   100000000000000000u,
                                                   1000000000000000000u,
                                                   10000000000000000000u};
constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                          1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr std::uint64_t two_to_53 = std::uint64_t{1} << 53;

// A value with a fraction, `magnitude` being its correctly rounded double.
bool set_fraction_value(Json5Value& v, bool negative, double magnitude) {
    // Below the 24 bits a normal float keeps: exactly a one and zeros is halfway.
    if ((std::bit_cast<std::uint64_t>(magnitude) & 0x1FFFFFFF) == 0x10000000) return false;
    if (!(magnitude >= FLT_MIN && magnitude <= FLT_MAX)) return false;  // where that test would not hold
    v.data.number = {negative ? -magnitude : magnitude, 0};
    v.f32 = static_cast<float>(negative ? -magnitude : magnitude);
    v.flag = false;
    return true;
}

// The value m × 10^e, m being the literal's digits (19 at most, leading zeros
// left out). True when it set v's number; false leaves it to set_decimal_value.
bool set_short_decimal_value(Json5Value& v, bool negative, std::uint64_t m, std::int64_t e) {
    if (m == 0) {
        v.data.number = {negative ? -0.0 : 0.0, 0};
        v.f32 = negative ? -0.0f : 0.0f;
        v.flag = true;
        return true;
    }
    // A last digit other than 0 behind the point: certainly a fraction.
    if (e < 0 && e >= -22 && m <= two_to_53 && m % 10 != 0) {
        return set_fraction_value(v, negative, static_cast<double>(m) / exact_powers_of_ten[-e]);
    }

    // The exact value when it is an integer below 2^64.
    std::uint64_t whole = 0;
    bool integral = false;
    if (e >= 0) {
        if (e <= 19 && m <= UINT64_MAX / integer_powers_of_ten[e]) {
            whole = m * integer_powers_of_ten[e];
            integral = true;
        }
    } else if (e >= -19 && m % integer_powers_of_ten[-e] == 0) {
        whole = m / integer_powers_of_ten[-e];
        integral = true;
    }
    if (integral) {
        if (whole >= two_to_63) return false;  // rare; of these only -2^63 fits, which the full conversion knows
        const std::int64_t i = negative ? -static_cast<std::int64_t>(whole) : static_cast<std::int64_t>(whole);
        v.data.number = {static_cast<double>(i), i};
        v.f32 = static_cast<float>(i);
        v.flag = true;
        return true;
    }

    if (m > two_to_53 || e < -22 || e > 22) return false;
    return set_fraction_value(
        v, negative,
        e < 0 ? static_cast<double>(m) / exact_powers_of_ten[-e] : static_cast<double>(m) * exact_powers_of_ten[e]);
}

}  // namespace

bool json5_scan_number(const Byte*& p, const Byte* end, Json5Value& v, Json5NumberError& error) {
    auto fail = [&](const Byte* at, const char* message) {
        error = Json5NumberError{at, message};
        return false;
    };
    v.kind = Json5Kind::number;
    const Byte* start = p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (p == end) return fail(start, "unexpected end of input in a number");
    if (*p == 'I' || *p == 'N') {
        const bool infinity = *p == 'I';
        if (!match_word(p, end, infinity ? "Infinity" : "NaN")) return fail(p, "invalid number");
        p += infinity ? 8 : 3;
        // JS has one NaN, whatever the sign written.
        v.data.number = {infinity ? (negative ? -1 : 1) * std::numeric_limits<double>::infinity()
                                  : std::numeric_limits<double>::quiet_NaN(),
                         0};
        v.f32 = infinity ? (negative ? -1 : 1) * std::numeric_limits<float>::infinity()
                         : std::numeric_limits<float>::quiet_NaN();
        return true;
    }
    if (*p == '0' && p + 1 < end && (p[1] | 0x20) == 'x') {
        p += 2;
        const Byte* digits = p;
        while (p < end && hex_value(*p) >= 0) ++p;
        if (p == digits) return fail(start, "invalid number: 0x without hex digits");
        set_hex_value(v, negative, digits, static_cast<std::size_t>(p - digits));
        return true;
    }
    // The digits are gathered into m on the way; it holds the value's digits
    // whenever there are no more than 19 of them after leading zeros.
    DecimalParts n{p, 0, nullptr, 0, 0};
    std::uint64_t m = 0;
    std::size_t significant = 0;
    if (p < end && *p == '0') {
        ++p;
        if (p < end && is_digit(*p)) return fail(start, "invalid number: leading zero");
    } else {
        const Gathered g = gather_digits(p, end, m);
        p = g.end;
        m = g.m;
        significant = static_cast<std::size_t>(p - n.whole);
    }
    n.whole_count = static_cast<std::size_t>(p - n.whole);
    if (p < end && *p == '.') {
        ++p;
        n.fraction = p;
        if (significant == 0) {
            while (p < end && *p == '0') ++p;
        }
        const Byte* counted = p;
        const Gathered g = gather_digits(p, end, m);
        p = g.end;
        m = g.m;
        significant += static_cast<std::size_t>(p - counted);
        n.fraction_count = static_cast<std::size_t>(p - n.fraction);
    }
    if (n.whole_count == 0 && n.fraction_count == 0) return fail(start, "invalid number");
    if (p < end && (*p | 0x20) == 'e') {
        ++p;
        bool exponent_negative = false;
        if (p < end && (*p == '+' || *p == '-')) exponent_negative = *p++ == '-';
        if (p == end || !is_digit(*p)) return fail(start, "invalid number: exponent without digits");
        std::int64_t e = 0;
        for (; p < end && is_digit(*p); ++p) {
            if (e < 1'000'000'000'000'000) e = e * 10 + (*p - '0');
        }
        n.exponent = exponent_negative ? -e : e;
    }
    if (!(exact_arithmetic && significant <= 19 &&
          set_short_decimal_value(v, negative, m, n.exponent - static_cast<std::int64_t>(n.fraction_count)))) {
        set_decimal_value(v, negative, n);
    }
    return true;
}
