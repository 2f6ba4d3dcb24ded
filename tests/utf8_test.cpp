// The one UTF-8 module: each rule its callers choose, case by case.
#include <gtest/gtest.h>

#include <cstring>

#include "src/base/utf8.h"

namespace {

TEST(Utf8Decode, EachFormAndErrorRuleReadsTheFirstCharacter) {
    constexpr auto well = Utf8Form::well_formed;
    constexpr auto bits = Utf8Form::bit_pattern;
    constexpr auto subpart = Utf8Errors::maximal_subpart;
    constexpr auto each = Utf8Errors::each_byte;
    struct Case {
        const char* bytes;
        Utf8Form form;
        Utf8Errors errors;
        std::uint32_t code_point;
        std::uint32_t length;
        bool valid;
        // clang-format off: the adjacent texts stand apart only to end a \x escape
    } cases[] = {
        {"A", well, subpart, 0x41, 1, true},
        {"\xC3\xA9", well, subpart, 0xE9, 2, true},
        {"\xE2\x82\xAC", well, subpart, 0x20AC, 3, true},
        {"\xF0\x9F\x98\x80", well, subpart, 0x1F600, 4, true},
        {"\xF0\x9F\x98\x80", bits, each, 0x1F600, 4, true},
        // Overlong forms, a surrogate, past U+10FFFF, a lead byte past F4:
        // ill-formed, but each has a value by its bits.
        {"\xC0\xA0", well, subpart, 0xFFFD, 1, false},
        {"\xC0\xA0", bits, each, 0x20, 2, true},
        {"\xE0\x80\xA0", well, subpart, 0xFFFD, 1, false},
        {"\xE0\x80\xA0", bits, subpart, 0x20, 3, true},
        {"\xED\xA0\x80", well, subpart, 0xFFFD, 1, false},
        {"\xED\xA0\x80", bits, subpart, 0xD800, 3, true},
        {"\xF4\x90\x80\x80", well, subpart, 0xFFFD, 1, false},
        {"\xF4\x90\x80\x80", bits, subpart, 0x110000, 4, true},
        {"\xF5\x80\x80\x80", well, subpart, 0xFFFD, 1, false},
        {"\xF5\x80\x80\x80", bits, subpart, 0x140000, 4, true},
        // A sequence cut short: its maximal subpart, or its first byte.
        {"\xE2\x82"
         "A",
         well, subpart, 0xFFFD, 2, false},
        {"\xE2\x82"
         "A",
         well, each, 0xFFFD, 1, false},
        {"\xE2\x82"
         "A",
         bits, subpart, 0xFFFD, 2, false},
        {"\xF0\x9F\x98", well, subpart, 0xFFFD, 3, false},
        {"\xF0\x9F\x98", bits, each, 0xFFFD, 1, false},
        // Bytes that start nothing.
        {"\x80", well, subpart, 0xFFFD, 1, false},
        {"\x80", bits, subpart, 0xFFFD, 1, false},
        {"\xFF", bits, subpart, 0xFFFD, 1, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        const auto* p = reinterpret_cast<const unsigned char*>(c.bytes);
        const Utf8Char got = utf8_decode(p, p + std::strlen(c.bytes), c.form, c.errors);
        EXPECT_EQ(got.code_point, c.code_point) << testing::PrintToString(c.bytes);
        EXPECT_EQ(got.length, c.length) << testing::PrintToString(c.bytes);
        EXPECT_EQ(got.valid, c.valid) << testing::PrintToString(c.bytes);
    }
}

TEST(Utf8Encode, WritesWhatTheDecoderReadsBack) {
    for (std::uint32_t cp :
         {0x0u, 0x41u, 0x7Fu, 0x80u, 0xE9u, 0x7FFu, 0x800u, 0x20ACu, 0xFFFDu, 0xFFFFu, 0x10000u, 0x1F600u, 0x10FFFFu}) {
        char out[4];
        const std::size_t n = utf8_encode(cp, out);
        EXPECT_EQ(n, utf8_length(cp)) << cp;
        const auto* p = reinterpret_cast<const unsigned char*>(out);
        const Utf8Char back = utf8_decode(p, p + n);
        EXPECT_TRUE(back.valid) << cp;
        EXPECT_EQ(back.code_point, cp);
        EXPECT_EQ(back.length, n);
    }
}

TEST(UnicodeSpace, UnicodeAndJson5DifferOnlyInNelAndTheByteOrderMark) {
    struct Case {
        std::uint32_t cp;
        bool unicode, json5;
    } cases[] = {
        {0x09, true, true},     {0x0A, true, true},    {0x0D, true, true},     {0x20, true, true},
        {0x85, true, false},    {0xFEFF, false, true}, {0xA0, true, true},     {0x1680, true, true},
        {0x2000, true, true},   {0x200A, true, true},  {0x200B, false, false}, {0x2028, true, true},
        {0x2029, true, true},   {0x202F, true, true},  {0x205F, true, true},   {0x3000, true, true},
        {0x180E, false, false}, {0x1F, false, false},  {'a', false, false},    {0xFFFD, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(is_unicode_space(c.cp, SpaceRule::unicode), c.unicode) << std::hex << c.cp;
        EXPECT_EQ(is_unicode_space(c.cp, SpaceRule::json5), c.json5) << std::hex << c.cp;
    }
}

}  // namespace
