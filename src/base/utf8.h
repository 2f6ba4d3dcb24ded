// UTF-8 for the whole plug-in: reading one character, writing one, Unicode
// white space and trimming it. Three callers read UTF-8 under rules of their
// own (the JSON5 reader, the markers file's writer, the trim of a typed name);
// each rule is a parameter here, and each caller says why it takes its rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::uint32_t replacement_character = 0xFFFD;

// Which byte sequences count as characters.
enum class Utf8Form : bool {
    // Unicode's well-formed sequences only: no overlong forms, no surrogates,
    // nothing past U+10FFFF.
    well_formed,
    // Any lead byte followed by its number of continuation bytes, the value
    // taken from the bits as they are (overlong forms and F5..F7 included).
    bit_pattern,
};

// How much of an ill-formed sequence one U+FFFD stands for.
enum class Utf8Errors : bool {
    // Its maximal subpart (the WHATWG and Unicode rule): the lead byte and the
    // continuation bytes that fit it, never the byte that broke it.
    maximal_subpart,
    // Its first byte only; the bytes after it are read again on their own.
    each_byte,
};

struct Utf8Char {
    std::uint32_t code_point;  // U+FFFD when not `valid`
    std::uint32_t length;      // bytes read, at least 1
    bool valid;
};

// The character at `p` (p < end).
inline Utf8Char utf8_decode(const unsigned char* p, const unsigned char* end, Utf8Form form = Utf8Form::well_formed,
                            Utf8Errors errors = Utf8Errors::maximal_subpart) {
    const std::uint32_t b0 = p[0];
    if (b0 < 0x80) return {b0, 1, true};
    std::uint32_t cp;
    int need;
    std::uint32_t lo = 0x80, hi = 0xBF;  // the range of the next continuation byte
    if (form == Utf8Form::well_formed) {
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            cp = b0 & 0x1F;
            need = 1;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            cp = b0 & 0x0F;
            need = 2;
            if (b0 == 0xE0) lo = 0xA0;  // overlong
            if (b0 == 0xED) hi = 0x9F;  // surrogates
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            cp = b0 & 0x07;
            need = 3;
            if (b0 == 0xF0) lo = 0x90;  // overlong
            if (b0 == 0xF4) hi = 0x8F;  // above U+10FFFF
        } else {
            return {replacement_character, 1, false};
        }
    } else {
        if ((b0 & 0xE0) == 0xC0) {
            cp = b0 & 0x1F;
            need = 1;
        } else if ((b0 & 0xF0) == 0xE0) {
            cp = b0 & 0x0F;
            need = 2;
        } else if ((b0 & 0xF8) == 0xF0) {
            cp = b0 & 0x07;
            need = 3;
        } else {
            return {replacement_character, 1, false};
        }
    }
    std::uint32_t length = 1;
    for (; need > 0; --need) {
        if (p + length == end || p[length] < lo || p[length] > hi) {
            return {replacement_character, errors == Utf8Errors::each_byte ? 1u : length, false};
        }
        cp = (cp << 6) | (p[length] & 0x3F);
        lo = 0x80;
        hi = 0xBF;
        ++length;
    }
    return {cp, length, true};
}

// Bytes the code point takes in UTF-8.
inline std::size_t utf8_length(std::uint32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

// Writes the code point (at most U+10FFFF) at `out`; returns its length.
inline std::size_t utf8_encode(std::uint32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

// Which code points are white space.
enum class SpaceRule : bool {
    // Unicode's White_Space property.
    unicode,
    // JSON5's (ECMAScript's) white space and line terminators: the same,
    // except that the byte-order mark U+FEFF is space and NEL U+0085 is not.
    json5,
};

inline bool is_unicode_space(std::uint32_t cp, SpaceRule rule = SpaceRule::unicode) {
    switch (cp) {
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x20:
        case 0xA0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000: return true;
        case 0x85: return rule == SpaceRule::unicode;
        case 0xFEFF: return rule == SpaceRule::json5;
        default: return cp >= 0x2000 && cp <= 0x200A;  // the spaces of the General Punctuation block
    }
}

// `text` without Unicode white space at either end. The text is read by its
// bit patterns, each broken byte on its own: a name typed into the game's
// keyboard keeps whatever bytes it has, and a stray byte is no space.
std::string_view trim_unicode_space(std::string_view text);
