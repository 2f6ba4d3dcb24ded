// The JSON5 reader: values of every JSON5 feature, what it rejects and where,
// the corners it settles (invalid UTF-8, lone surrogates, depth, memory), and
// agreement with the reference implementation on JSONTestSuite and a generated
// corpus (verdicts recorded by tests/oracle/make_expectations.js).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "src/json5/json5_reader.h"
#include "tests/support/test_files.h"

#ifndef QUILLFEN_TEST_DATA
#define QUILLFEN_TEST_DATA "tests/data"
#endif

namespace {

// ---- a heap that counts, checks sizes and can run out --------------------------------------

struct TestHeap {
    std::size_t live_blocks = 0;
    std::size_t live_bytes = 0;
    std::size_t allocations = 0;        // successful ones
    std::size_t fail_after = SIZE_MAX;  // allocations that succeed before every later one fails
    std::size_t size_mismatches = 0;    // frees given another size than allocated

    static constexpr std::size_t header = 16;

    static void* allocate(void* data, std::size_t size, std::size_t align, const std::source_location&) {
        TestHeap& h = *static_cast<TestHeap*>(data);
        if (h.allocations >= h.fail_after || align > header) return nullptr;
        char* raw = static_cast<char*>(std::malloc(header + size));
        if (!raw) return nullptr;
        std::memcpy(raw, &size, sizeof size);
        ++h.allocations;
        ++h.live_blocks;
        h.live_bytes += size;
        return raw + header;
    }

    static void deallocate(void* data, void* block, std::size_t size) {
        TestHeap& h = *static_cast<TestHeap*>(data);
        char* raw = static_cast<char*>(block) - header;
        std::size_t recorded;
        std::memcpy(&recorded, raw, sizeof recorded);
        if (recorded != size) ++h.size_mismatches;
        --h.live_blocks;
        h.live_bytes -= recorded;
        std::free(raw);
    }

    Allocator allocator() { return Allocator{&TestHeap::allocate, &TestHeap::deallocate, this}; }
};

// ---- canonical rendering (the same form tests/oracle/make_expectations.js writes) ------------

std::string escape_bytes(std::string_view bytes) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c <= 0x7E && c != '"' && c != '\\') {
            out += ch;
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string render_string(const char* s, std::size_t n) { return "s\"" + escape_bytes({s, n}) + "\""; }

std::string render_number(double d) {
    if (std::isnan(d)) return "dNaN";
    char buf[20];
    std::snprintf(buf, sizeof buf, "d%016llx", static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(d)));
    return buf;
}

// Objects as the reference's JS objects see them: each key once with its last
// value (found through json5_find_member), keys sorted.
std::string render(const Json5Value& v) {
    switch (v.kind) {
        case Json5Kind::null_value: return "n";
        case Json5Kind::boolean: return v.boolean() ? "t" : "f";
        case Json5Kind::number: return render_number(v.number());
        case Json5Kind::string: return render_string(v.string(), v.string_length());
        case Json5Kind::array: {
            std::string out = "[";
            for (std::size_t i = 0; i < v.item_count(); ++i) out += (i ? "," : "") + render(v.items()[i]);
            return out + "]";
        }
        case Json5Kind::object: {
            std::vector<std::pair<std::string, std::string>> entries;
            std::set<std::string> seen;
            for (std::size_t i = 0; i < v.member_count(); ++i) {
                const std::string key(v.members()[i].key, v.members()[i].key_length);
                if (!seen.insert(key).second) continue;
                const Json5Value* last = json5_find_member(v, key);
                entries.emplace_back(render_string(key.data(), key.size()), last ? render(*last) : "<missing>");
            }
            std::sort(entries.begin(), entries.end());
            std::string out = "{";
            for (std::size_t i = 0; i < entries.size(); ++i) {
                out += (i ? "," : "") + entries[i].first + ":" + entries[i].second;
            }
            return out + "}";
        }
    }
    return "<bad kind>";
}

// ---- parsing through the test heap ------------------------------------------------------------

// A parse whose tree is freed at once; what the tests look at is copied out.
struct Parsed {
    bool ok;
    std::string canonical;  // when ok
    Json5Error error;
};

Parsed parse(std::string_view text) {
    TestHeap heap;
    Json5Document doc{};
    Json5Error error{};
    Parsed out{json5_parse(text, heap.allocator(), doc, error), "", error};
    if (out.ok) {
        EXPECT_EQ(error.message, nullptr);
        out.canonical = render(doc.root);
        json5_free(doc, heap.allocator());
    } else {
        EXPECT_NE(error.message, nullptr);
        EXPECT_EQ(doc.chunks, nullptr);
        EXPECT_LE(error.offset, text.size());
    }
    EXPECT_EQ(heap.live_blocks, 0u) << "for " << escape_bytes(text);
    EXPECT_EQ(heap.size_mismatches, 0u) << "for " << escape_bytes(text);
    return out;
}

// Keeps the tree for tests that walk it.
struct Tree {
    TestHeap heap;
    Json5Document doc{};
    Json5Error error{};
    bool ok = false;

    explicit Tree(std::string_view text) { ok = json5_parse(text, heap.allocator(), doc, error); }
    ~Tree() {
        json5_free(doc, heap.allocator());
        EXPECT_EQ(heap.live_blocks, 0u);
        EXPECT_EQ(heap.size_mismatches, 0u);
    }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    const Json5Value& root() const { return doc.root; }
};

std::string string_value(std::string_view text) {
    Tree t(text);
    if (!t.ok) return std::string("<error: ") + t.error.message + ">";
    if (t.root().kind != Json5Kind::string) return "<not a string>";
    EXPECT_EQ(t.root().string()[t.root().string_length()], '\0');
    return std::string(t.root().string(), t.root().string_length());
}

std::vector<std::string> split(const std::string& line, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = line.find(sep, start);
        out.push_back(line.substr(start, at - start));
        if (at == std::string::npos) return out;
        start = at + 1;
    }
}

std::string unescape_bytes(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x') {
            out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

// ---- values ----------------------------------------------------------------------------------

struct ValueCase {
    const char* text;
    const char* canonical;
};

TEST(Json5Reader, ReadsEveryKindOfValueAndSyntax) {
    // clang-format off: the adjacent texts stand apart only to end a \x escape
    const ValueCase cases[] = {
        // literals and containers
        {"null", "n"},
        {"true", "t"},
        {"false", "f"},
        {"[]", "[]"},
        {"{}", "{}"},
        {"[null,true,[false]]", "[n,t,[f]]"},
        {"{\"a\":{\"b\":[]}}", "{s\"a\":{s\"b\":[]}}"},
        // trailing commas
        {"[1,]", "[d3ff0000000000000]"},
        {"{a:1,}", "{s\"a\":d3ff0000000000000}"},
        {"[[],{},]", "[[],{}]"},
        // keys: identifiers, both quotes, reserved words, escapes
        {"{'b':1,\"a\":2}", "{s\"a\":d4000000000000000,s\"b\":d3ff0000000000000}"},
        {"{null:1,true:2,Infinity:3,NaN:4}",
         "{s\"Infinity\":d4008000000000000,s\"NaN\":d4010000000000000,s\"null\":d3ff0000000000000,s\"true\":"
         "d4000000000000000}"},
        {"{$_a1:null}", "{s\"$_a1\":n}"},
        {"{\\u0061b:null}", "{s\"ab\":n}"},
        {"{'':null}", "{s\"\":n}"},
        // comments and white space of every allowed kind
        {"// line\n[1]", "[d3ff0000000000000]"},
        {"[1]// to the end", "[d3ff0000000000000]"},
        {"/* block \n * / */[/**/1/***/]", "[d3ff0000000000000]"},
        {"//\r1", "d3ff0000000000000"},
        {"// a\xE2\x80\xA8"
         "1",
         "d3ff0000000000000"},
        {"\t\n\v\f\r 1", "d3ff0000000000000"},
        {"\xC2\xA0\xEF\xBB\xBF\xE2\x80\xA8\xE2\x80\xA9 1", "d3ff0000000000000"},  // NBSP BOM LS PS
        {"\xE1\x9A\x80\xE2\x80\x80\xE2\x80\x8A\xE2\x80\xAF\xE2\x81\x9F\xE3\x80\x80"
         "1",
         "d3ff0000000000000"},     // Zs
        {"\xEF\xBB\xBF{}", "{}"},  // leading BOM
        {"{\xC2\xA0"
         "a\xE3\x80\x80:\xE2\x80\xA9"
         "1}",
         "{s\"a\":d3ff0000000000000}"},
    };
    // clang-format on
    for (const ValueCase& c : cases) {
        const Parsed p = parse(c.text);
        EXPECT_TRUE(p.ok) << escape_bytes(c.text) << ": " << (p.ok ? "" : p.error.message);
        EXPECT_EQ(p.canonical, c.canonical) << escape_bytes(c.text);
    }
}

TEST(Json5Reader, KeepsOrderAndDuplicatesAndFindsTheLastMember) {
    Tree t("{b: 1, a: [10, 20, 30], b: 2, 'a\\0z': 'nul', c: {}, }");
    ASSERT_TRUE(t.ok) << t.error.message;
    const Json5Value& o = t.root();
    ASSERT_EQ(o.kind, Json5Kind::object);
    ASSERT_EQ(o.member_count(), 5u);
    const char* const keys[] = {"b", "a", "b", "a\0z", "c"};
    const std::size_t lengths[] = {1, 1, 1, 3, 1};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(std::string(o.members()[i].key, o.members()[i].key_length), std::string(keys[i], lengths[i]));
        EXPECT_EQ(o.members()[i].key[o.members()[i].key_length], '\0');
    }
    const Json5Value* b = json5_find_member(o, "b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->integer(), 2);
    EXPECT_EQ(b, &o.members()[2].value);
    const Json5Value* a = json5_find_member(o, "a");
    ASSERT_TRUE(a && a->kind == Json5Kind::array && a->item_count() == 3);
    EXPECT_EQ(a->items()[0].integer(), 10);
    EXPECT_EQ(a->items()[2].integer(), 30);
    EXPECT_EQ(json5_find_member(o, std::string_view("a\0z", 3)), &o.members()[3].value);
    EXPECT_EQ(json5_find_member(o, "a\0z"), a);  // the C string stops at the NUL: "a"
    EXPECT_EQ(json5_find_member(o, "z"), nullptr);
    EXPECT_EQ(json5_find_member(o, ""), nullptr);
    EXPECT_EQ(json5_find_member(*a, "b"), nullptr);  // not an object
    EXPECT_EQ(json5_find_member(o, "c")->member_count(), 0u);
}

TEST(Json5Reader, LargeContainersKeepEveryElement) {
    std::string text = "{list: [";
    for (int i = 0; i < 20000; ++i) text += std::to_string(i) + ",";
    text += "], text: '" + std::string(100000, 'x') + "'";
    for (int i = 0; i < 3000; ++i) text += ", k" + std::to_string(i) + ": [" + std::to_string(i) + "]";
    text += "}";
    Tree t(text);
    ASSERT_TRUE(t.ok) << t.error.message;
    const Json5Value* list = json5_find_member(t.root(), "list");
    ASSERT_TRUE(list && list->item_count() == 20000);
    for (std::size_t i = 0; i < list->item_count(); ++i)
        ASSERT_EQ(list->items()[i].integer(), static_cast<std::int64_t>(i));
    EXPECT_EQ(json5_find_member(t.root(), "text")->string_length(), 100000u);
    ASSERT_EQ(t.root().member_count(), 3002u);
    EXPECT_EQ(json5_find_member(t.root(), "k2999")->items()[0].integer(), 2999);
    EXPECT_EQ(json5_find_member(t.root(), "k0")->items()[0].integer(), 0);
}

// ---- numbers ---------------------------------------------------------------------------------

struct NumberCase {
    const char* text;
    double number;
    float f32;
    bool is_integer;
    std::int64_t integer;
};

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr float inff = std::numeric_limits<float>::infinity();
constexpr std::int64_t i64_min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t i64_max = std::numeric_limits<std::int64_t>::max();

void expect_number(const Json5Value& v, double number, float f32, bool is_integer, std::int64_t integer,
                   const std::string& what) {
    ASSERT_EQ(v.kind, Json5Kind::number) << what;
    if (std::isnan(number)) {
        EXPECT_TRUE(std::isnan(v.number())) << what;
        EXPECT_TRUE(std::isnan(v.number_f32())) << what;
    } else {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(v.number()), std::bit_cast<std::uint64_t>(number))
            << what << ": " << v.number();
        EXPECT_EQ(std::bit_cast<std::uint32_t>(v.number_f32()), std::bit_cast<std::uint32_t>(f32))
            << what << ": " << v.number_f32();
    }
    EXPECT_EQ(v.is_integer(), is_integer) << what;
    EXPECT_EQ(v.integer(), is_integer ? integer : 0) << what;
}

TEST(Json5Reader, NumbersInEveryNotation) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const float one_up = std::nextafter(1.0f, 2.0f);
    const NumberCase cases[] = {
        {"0", 0.0, 0.0f, true, 0},
        {"-0", -0.0, -0.0f, true, 0},
        {"+1", 1.0, 1.0f, true, 1},
        {"1.0", 1.0, 1.0f, true, 1},
        {"1e2", 100.0, 100.0f, true, 100},
        {"1E+2", 100.0, 100.0f, true, 100},
        {"100e-2", 1.0, 1.0f, true, 1},
        {"-.5e1", -5.0, -5.0f, true, -5},
        {"5.", 5.0, 5.0f, true, 5},
        {".5", 0.5, 0.5f, false, 0},
        {"+.5", 0.5, 0.5f, false, 0},
        {"1.5", 1.5, 1.5f, false, 0},
        {"0.1", 0.1, 0.1f, false, 0},
        {"0e999999999999999999999", 0.0, 0.0f, true, 0},
        {"12345678900000000000e-10", 1234567890.0, 1234567890.0f, true, 1234567890},
        {"0.0000000000000000000000000000000000000001e40", 1.0, 1.0f, true, 1},
        {"9223372036854775807", 9223372036854775807.0, 9223372036854775807.0f, true, i64_max},
        {"9223372036854775808", 9223372036854775808.0, 9223372036854775808.0f, false, 0},
        {"-9223372036854775808", -9223372036854775808.0, -9223372036854775808.0f, true, i64_min},
        {"-9223372036854775809", -9223372036854775808.0, -9223372036854775808.0f, false, 0},
        {"922337203685477580.8e1", 9223372036854775808.0, 9223372036854775808.0f, false, 0},
        {"1e18", 1e18, 1e18f, true, 1000000000000000000},
        {"1e19", 1e19, 1e19f, false, 0},
        {"1e300", 1e300, inff, false, 0},
        {"1e400", inf, inff, false, 0},
        {"-1e400", -inf, -inff, false, 0},
        {"1e-400", 0.0, 0.0f, false, 0},
        {"-1e-400", -0.0, -0.0f, false, 0},
        {"1.7976931348623157e308", 1.7976931348623157e308, inff, false, 0},
        {"1.7976931348623159e308", inf, inff, false, 0},
        {"4.9e-324", 4.9406564584124654e-324, 0.0f, false, 0},
        {"2.4703282292062328e-324", 4.9406564584124654e-324, 0.0f, false, 0},  // just above half the least
        {"2.4703282292062327e-324", 0.0, 0.0f, false, 0},                      // just below
        {"1e-45", 1e-45, std::numeric_limits<float>::denorm_min(), false, 0},
        {"3.4028235677973366e38", 3.4028235677973366e38, std::numeric_limits<float>::max(), false, 0},
        {"3.4028235677973367e38", 3.4028235677973367e38, inff, false, 0},
        // exactly between two floats, but rounded to double first it would tie
        // down to 1: only direct rounding sees the last digit
        {"1.00000005960464477539062501", 1.0000000596046448, one_up, false, 0},
        {"1.000000059604644775390625", 1.0000000596046448, 1.0f, false, 0},
        {"9007199254740993", 9007199254740992.0, 9007199254740992.0f, true, 9007199254740993},
        {"0x0", 0.0, 0.0f, true, 0},
        {"-0x0", -0.0, -0.0f, true, 0},
        {"0x10", 16.0, 16.0f, true, 16},
        {"0XaBc", 2748.0, 2748.0f, true, 2748},
        {"+0x1F", 31.0, 31.0f, true, 31},
        {"-0x10", -16.0, -16.0f, true, -16},
        {"0x7FFFFFFFFFFFFFFF", 9223372036854775807.0, 9223372036854775807.0f, true, i64_max},
        {"0x8000000000000000", 9223372036854775808.0, 9223372036854775808.0f, false, 0},
        {"-0x8000000000000000", -9223372036854775808.0, -9223372036854775808.0f, true, i64_min},
        {"0x000000000000000000001", 1.0, 1.0f, true, 1},
        {"0x20000000000001", 9007199254740992.0, 9007199254740992.0f, true, 9007199254740993},  // tie to even
        {"0x20000000000003", 9007199254740996.0, 9007199254740996.0f, true, 9007199254740995},  // tie to even, up
        {"0x1000001", 16777217.0, 16777216.0f, true, 16777217},
        {"0x1000003", 16777219.0, 16777220.0f, true, 16777219},
        {"0x10000000000000000000000000000001", 0x1p124, 0x1p124f, false, 0},
        // just above a tie, by a bit past the 64 first ones
        {"0x20000000000001000001", 0x1.0000000000001p77, 0x1p77f, false, 0},
        {"0x100000100000000001", 0x1.000001p68, 0x1.000002p68f, false, 0},
        {"0x"
         "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
         "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
         "FFFFFFF"
         "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
         inf, inff, false, 0},
        {"Infinity", inf, inff, false, 0},
        {"+Infinity", inf, inff, false, 0},
        {"-Infinity", -inf, -inff, false, 0},
        {"NaN", nan, 0.0f, false, 0},
        {"+NaN", nan, 0.0f, false, 0},
        {"-NaN", nan, 0.0f, false, 0},
    };
    for (const NumberCase& c : cases) {
        Tree t(c.text);
        ASSERT_TRUE(t.ok) << c.text << ": " << t.error.message;
        expect_number(t.root(), c.number, c.f32, c.is_integer, c.integer, c.text);
        // the same inside an array, where the literal ends at a bracket
        Tree in_array(std::string("[") + c.text + "]");
        ASSERT_TRUE(in_array.ok) << c.text;
        expect_number(in_array.root().items()[0], c.number, c.f32, c.is_integer, c.integer, c.text);
    }
}

TEST(Json5Reader, LongDecimalLiteralsRoundOnEveryDigit) {
    // 2^53 + 1 lies exactly between two doubles; a non-zero digit far behind
    // (past any cut-off a reader might make) decides the way up.
    const std::string halfway = "9007199254740993";
    const std::string zeros(1200, '0');
    const struct {
        std::string text;
        double expected;
    } cases[] = {
        {halfway + "." + zeros, 9007199254740992.0},
        {halfway + "." + zeros + "1", 9007199254740994.0},
        {halfway + zeros + "1e-1201", 9007199254740994.0},
        {"0." + zeros + "1e1201", 1.0},
        {"0." + zeros + halfway + "e1216", 9007199254740992.0},
        {"0." + zeros + halfway + zeros + "1e1216", 9007199254740994.0},
        {"1" + zeros + "e-1200", 1.0},
        {"1" + zeros, inf},
    };
    for (const auto& c : cases) {
        Tree t(c.text);
        ASSERT_TRUE(t.ok) << t.error.message;
        EXPECT_EQ(t.root().number(), c.expected) << c.text.substr(0, 40);
    }
    Tree one(std::string("1") + zeros + "e-1200");
    EXPECT_TRUE(one.root().is_integer());
    EXPECT_EQ(one.root().integer(), 1);
}

// Halfway points between neighbouring floats (and doubles) are exact in the
// next wider type, so their exact decimal expansions make literals whose
// correct rounding is known: exactly halfway ties to the even neighbour, a
// trailing 1 far behind goes up, the wider type's next value below goes down.
std::string exact_decimal(long double x) {
    char buf[1200];
    std::snprintf(buf, sizeof buf, "%.1000Le", x);  // enough digits to be exact
    std::string s(buf);
    const std::size_t e = s.find('e');
    std::size_t end = e;
    while (s[end - 1] == '0') --end;
    return s.substr(0, end) + s.substr(e);
}

std::string just_above(const std::string& exact) {
    const std::size_t e = exact.find('e');
    return exact.substr(0, e) + std::string(30, '0') + "1" + exact.substr(e);
}

TEST(Json5Reader, RoundsHalfwayCasesDirectlyToFloatAndDouble) {
    std::mt19937_64 random(20240613);
    for (int i = 0; i < 3000; ++i) {
        // floats: every fifth one subnormal
        const std::uint32_t f_bits = i % 5 == 0 ? static_cast<std::uint32_t>(random() % 0x007FFFFF)
                                                : static_cast<std::uint32_t>(random() % 0x7F7FFFFF);
        const float f = std::bit_cast<float>(f_bits);
        const float g = std::nextafter(f, inff);
        const double mid = (static_cast<double>(f) + static_cast<double>(g)) / 2;
        const bool negative = random() % 2;
        const std::string sign = negative ? "-" : "";
        const struct {
            std::string text;
            float expected;
        } float_cases[] = {
            {sign + exact_decimal(mid), (f_bits & 1) ? g : f},
            {sign + just_above(exact_decimal(mid)), g},
            {sign + exact_decimal(std::nextafter(mid, 0.0)), f},
        };
        for (const auto& c : float_cases) {
            Tree t(c.text);
            ASSERT_TRUE(t.ok) << c.text;
            ASSERT_EQ(t.root().number_f32(), negative ? -c.expected : c.expected) << c.text;
        }
    }
    if constexpr (std::numeric_limits<long double>::digits < 55)
        GTEST_SKIP() << "no wider type for doubles' halfway points";
    for (int i = 0; i < 3000; ++i) {
        const std::uint64_t d_bits = i % 5 == 0 ? random() % 0x000FFFFFFFFFFFFF : random() % 0x7FEFFFFFFFFFFFFF;
        const double d = std::bit_cast<double>(d_bits);
        const double next = std::nextafter(d, inf);
        const long double mid = (static_cast<long double>(d) + static_cast<long double>(next)) / 2;
        const struct {
            std::string text;
            double expected;
        } double_cases[] = {
            {exact_decimal(mid), (d_bits & 1) ? next : d},
            {just_above(exact_decimal(mid)), next},
            {exact_decimal(std::nextafter(mid, 0.0L)), d},
        };
        for (const auto& c : double_cases) {
            Tree t(c.text);
            ASSERT_TRUE(t.ok) << c.text;
            ASSERT_EQ(t.root().number(), c.expected) << c.text;
        }
    }
}

__extension__ typedef unsigned __int128 u128;

// Whether a plain decimal literal ([-]digits[.digits][e[+-]digits]) is
// exactly an integer that fits in 64 signed bits, worked out in 128 bits.
bool exact_integer(const std::string& text, std::int64_t& out) {
    std::size_t i = 0;
    const bool negative = text[i] == '-';
    if (negative) ++i;
    std::string digits;
    std::int64_t scale = 0;
    bool after_point = false;
    for (; i < text.size() && text[i] != 'e'; ++i) {
        if (text[i] == '.') {
            after_point = true;
        } else {
            digits += text[i];
            if (after_point) --scale;
        }
    }
    if (i < text.size()) scale += std::stoll(text.substr(i + 1));
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.empty()) {
        out = 0;
        return true;
    }
    if (digits.size() > 38) return false;
    if (scale >= 20 || scale < -38) return false;  // at least 10^20, or a fraction left
    u128 value = 0;
    for (const char c : digits) value = value * 10 + static_cast<unsigned>(c - '0');
    u128 power = 1;
    for (std::int64_t k = 0; k < (scale < 0 ? -scale : scale); ++k) power *= 10;
    if (scale >= 0) {
        value *= power;
    } else {
        if (value % power != 0) return false;
        value /= power;
    }
    const u128 limit = u128{1} << 63;
    if (value > limit || (value == limit && !negative)) return false;
    out = negative ? static_cast<std::int64_t>(-static_cast<std::int64_t>(value - 1) - 1)
                   : static_cast<std::int64_t>(value);
    return true;
}

// Short literals, the common ones (at most 19 significant digits, a small
// power of ten), are converted by a quicker route than long ones. They must
// agree bit for bit with correct rounding to double and, directly, to float,
// and know exact integers. Among them are literals whose correctly rounded
// double lies exactly halfway between two floats although the literal does
// not: rounding that double again would give the wrong float.
TEST(Json5Reader, ShortDecimalLiteralsRoundCorrectlyAndKnowExactIntegers) {
    std::vector<std::string> literals = {
        "-1234.50000000",
        "567.25000000",
        "42.00000000",
        "-0.00000000",
        "1765267200000000000",
        "0.1",
        "-0.3",
        "8388608.5",
        "8388609.5",
        "-8388609.5",
        "8388608.500000000",
        "8388608.500000001",
        "16777217",
        "16777219",
        "9007199254740993",
        "9007199254740993.0",
        "4503599627370496.5",
        "9223372036854775807",
        "-9223372036854775808",
        "9223372036854775808",
        "-9223372036854775809",
        "18446744073709551615",
        "1e22",
        "1e23",
        "9007199254740992e22",
        "1e-22",
        "1e-23",
        "123.456e-3",
        "1234500e-2",
        "12345e-2",
        "0.000000000000000000000001",
        "3.4028235e38",
        "3.4028236e38",
        "1.17549435e-38",
        "1.4e-45",
        "7.998976885566008e+31",
        "3.871929118496694e+31",
    };
    std::mt19937_64 random(20261210);
    for (int i = 0; i < 20000; ++i) {
        const int count = 1 + static_cast<int>(random() % 19);
        std::string digits;
        for (int k = 0; k < count; ++k) digits += static_cast<char>('0' + random() % 10);
        if (random() % 4 == 0)
            digits.replace(digits.size() - digits.size() / 2, digits.size() / 2, digits.size() / 2, '0');
        const std::size_t point = random() % (digits.size() + 1);
        if (point > 1 && digits[0] == '0') digits[0] = static_cast<char>('1' + random() % 9);  // no leading zeros
        std::string text = random() % 2 ? "-" : "";
        if (point == 0) text += "0." + digits;
        else if (point == digits.size()) text += digits;
        else text += digits.substr(0, point) + "." + digits.substr(point);
        if (random() % 3 == 0) text += "e" + std::to_string(static_cast<int>(random() % 51) - 25);
        literals.push_back(text);
    }
    for (int i = 0; i < 4000; ++i) {
        const float f = std::bit_cast<float>(static_cast<std::uint32_t>(0x00800000u + random() % 0x7E800000u));
        const double mid = (static_cast<double>(f) + static_cast<double>(std::nextafter(f, inff))) / 2;
        for (const int significant : {9, 13, 15, 16, 17}) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.*e", significant - 1, mid);
            literals.push_back(buf);
        }
    }
    int twice_rounding_would_fail = 0;
    for (const std::string& text : literals) {
        double d = 0;
        float f = 0;
        ASSERT_EQ(std::from_chars(text.data(), text.data() + text.size(), d).ec, std::errc{}) << text;
        const auto fr = std::from_chars(text.data(), text.data() + text.size(), f);
        if (fr.ec == std::errc::result_out_of_range)
            f = std::abs(d) > 1 ? std::copysign(inff, d) : std::copysign(0.0f, d);
        std::int64_t integer = 0;
        const bool is_integer = exact_integer(text, integer);
        Tree t(text);
        ASSERT_TRUE(t.ok) << text << ": " << t.error.message;
        expect_number(t.root(), d, f, is_integer, integer, text);
        if (std::isfinite(d) && static_cast<float>(d) != f) ++twice_rounding_would_fail;
    }
    EXPECT_GT(twice_rounding_would_fail, 10) << "the halfway cases were not reached";
}

// ---- strings -----------------------------------------------------------------------------------

struct StringCase {
    std::string_view text;
    std::string_view expected;
};

TEST(Json5Reader, StringsWithEveryEscape) {
    using namespace std::string_view_literals;
    // clang-format off: the adjacent texts stand apart only to end a \x escape
    const StringCase cases[] = {
        {"\"abc\"", "abc"},
        {"'abc'", "abc"},
        {"\"\"", ""},
        {"''", ""},
        {"'a\"b'", "a\"b"},
        {"\"a'b\"", "a'b"},
        {"'\\''", "'"},
        {"\"\\\"\\\\\"", "\"\\"},
        {"'\\b\\f\\n\\r\\t\\v'", "\b\f\n\r\t\v"},
        {"'\\0'"sv, "\0"sv},
        {"'\\0x'"sv, "\0x"sv},
        {"'\\x41\\xe9\\xFF'", "A\xC3\xA9\xC3\xBF"},
        {"'\\u0041\\u00e9\\u4E2D\\uFFFF'", "A\xC3\xA9\xE4\xB8\xAD\xEF\xBF\xBF"},
        {"'\\u0000'"sv, "\0"sv},
        {"'\\uD83D\\uDE00'", "\xF0\x9F\x98\x80"},
        {"'\\uDBFF\\uDFFF'", "\xF4\x8F\xBF\xBF"},
        {"'\\a\\q\\ \\/\\$\\%'", "aq /$%"},  // any other character stands for itself
        {"'\\\xC3\xA9'", "\xC3\xA9"},
        {"'a\\\nb'", "ab"},  // line continuations
        {"'a\\\r\nb'", "ab"},
        {"'a\\\rb'", "ab"},
        {"'a\\\xE2\x80\xA8"
         "b'",
         "ab"},
        {"'a\\\xE2\x80\xA9"
         "b'",
         "ab"},
        {"'a\\\n\\\nb'", "ab"},
        {"'a\xE2\x80\xA8"
         "b\xE2\x80\xA9'",
         "a\xE2\x80\xA8"
         "b\xE2\x80\xA9"},                         // allowed unescaped
        {"'\ta\x01\x1F\x7F'", "\ta\x01\x1F\x7F"},  // raw control characters
        {"'\0'"sv, "\0"sv},
        {"'\xF0\x9F\x98\x80\xE4\xB8\xAD'", "\xF0\x9F\x98\x80\xE4\xB8\xAD"},
        {"'/* not a comment */ // nor this'", "/* not a comment */ // nor this"},
    };
    // clang-format on
    for (const StringCase& c : cases) {
        EXPECT_EQ(string_value(c.text), std::string(c.expected)) << escape_bytes(c.text);
    }
}

// Plain text is read in bulk, eight bytes at a time, and a key seen before is
// shared: whatever needs a closer look must be found at any offset, in values
// and keys alike, and keys that look alike must keep their own text.
TEST(Json5Reader, TextIsReadTheSameWhereverItsSpecialBytesFall) {
    const std::string base = "abcdefghijklmnopqrstuvwxyz";
    const struct {
        std::string written;
        std::string read;
    } specials[] = {
        {"\\n", "\n"},
        {"\\\\", "\\"},
        {"\\'", "'"},
        {"\"", "\""},
        {"\x01", "\x01"},
        {"\t", "\t"},
        {"\x7F", "\x7F"},
        {"\xC3\xA9", "\xC3\xA9"},
        {"\xFF", "\xEF\xBF\xBD"},
        {"\xE2\x80\xA8", "\xE2\x80\xA8"},
        {"~", "~"},
        {"", ""},
    };
    for (std::size_t length = 0; length <= base.size(); ++length) {
        for (std::size_t at = 0; at <= length; ++at) {
            for (const auto& special : specials) {
                const std::string body = base.substr(0, at) + special.written + base.substr(at, length - at);
                const std::string expected = base.substr(0, at) + special.read + base.substr(at, length - at);
                EXPECT_EQ(string_value("'" + body + "'"), expected) << escape_bytes(body);
                // twice as a key, the second time perhaps shared
                const std::string text = "[{'" + body + "': 1}, {'" + body + "': 2, 'x" + body + "': 3}]";
                Tree t(text);
                ASSERT_TRUE(t.ok) << escape_bytes(text) << ": " << t.error.message;
                for (std::size_t i = 0; i < 2; ++i) {
                    const Json5Member& m = t.root().items()[i].members()[0];
                    EXPECT_EQ(std::string(m.key, m.key_length), expected) << escape_bytes(text);
                    EXPECT_EQ(m.key[m.key_length], '\0');
                }
                const Json5Member& other = t.root().items()[1].members()[1];
                EXPECT_EQ(std::string(other.key, other.key_length), "x" + expected) << escape_bytes(text);
            }
        }
    }
    // Same length, first and last character: only the whole text tells them apart.
    Tree t("[{kay: 1, kby: 2, 'kcy': 3, kay: 4}, {kby: 5, kay: 6, kcy: 7, k\\u0061y: 8}]");
    ASSERT_TRUE(t.ok) << t.error.message;
    std::string keys;
    for (std::size_t i = 0; i < 2; ++i) {
        for (std::size_t j = 0; j < 4; ++j) {
            const Json5Member& m = t.root().items()[i].members()[j];
            keys += std::string(m.key, m.key_length) + "=" + std::to_string(m.value.integer()) + " ";
        }
    }
    EXPECT_EQ(keys, "kay=1 kby=2 kcy=3 kay=4 kby=5 kay=6 kcy=7 kay=8 ");
}

// White space is skipped in bulk too: runs of every length and mix, with
// comments and Unicode spaces among them, end exactly where the next token starts.
TEST(Json5Reader, WhiteSpaceRunsOfAnyLengthAndMixEndAtTheNextToken) {
    const std::string pieces[] = {
        " ",         " ",          " ",       " ",  "\n",       "\n",           "\t",
        "\r",        "\r\n",       "\v",      "\f", "\xC2\xA0", "\xE2\x80\xA8", "\xEF\xBB\xBF",
        "// note\n", "/* note */", "        "};
    std::mt19937 random(7);
    auto white = [&] {
        std::string out;
        const int count = static_cast<int>(random() % 24);
        for (int i = 0; i < count; ++i) out += pieces[random() % std::size(pieces)];
        return out;
    };
    for (int round = 0; round < 3000; ++round) {
        const std::string a = white(), b = white(), c = white(), d = white(), e = white();
        const std::string text =
            a + "{" + b + "k" + c + ":" + d + "[" + e + "1" + a + "," + b + "22" + c + "]" + d + "}" + e;
        Tree t(text);
        ASSERT_TRUE(t.ok) << escape_bytes(text) << ": " << t.error.message;
        const Json5Value* list = json5_find_member(t.root(), "k");
        ASSERT_TRUE(list && list->item_count() == 2) << escape_bytes(text);
        EXPECT_EQ(list->items()[0].integer(), 1);
        EXPECT_EQ(list->items()[1].integer(), 22);

        const std::string bad = "[" + a + "1," + b + "#";
        const Parsed p = parse(bad);
        ASSERT_FALSE(p.ok) << escape_bytes(bad);
        EXPECT_EQ(p.error.offset, bad.size() - 1) << escape_bytes(bad);
    }
}

// An escaped surrogate without its other half cannot be UTF-8: it becomes
// U+FFFD. A pair still forms across a line continuation, as in JS.
TEST(Json5Reader, LoneSurrogateEscapesBecomeReplacementCharacters) {
    // clang-format off: the adjacent texts stand apart only to end a \x escape
    const StringCase cases[] = {
        {"'\\uD800'", "\xEF\xBF\xBD"},
        {"'\\uDC00'", "\xEF\xBF\xBD"},
        {"'\\uD800x'", "\xEF\xBF\xBDx"},
        {"'\\uD800\\u0041'",
         "\xEF\xBF\xBD"
         "A"},
        {"'\\uD800\\x41'",
         "\xEF\xBF\xBD"
         "A"},
        {"'\\uD800\\n'", "\xEF\xBF\xBD\n"},
        {"'\\uDC00\\uD800'", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"'\\uD800\\uD800\\uDC00'", "\xEF\xBF\xBD\xF0\x90\x80\x80"},
        {"'\\uD83D\\\n\\uDE00'", "\xF0\x9F\x98\x80"},
        {"'\\uD83D\\uDE00\\uDE00'", "\xF0\x9F\x98\x80\xEF\xBF\xBD"},
    };
    // clang-format on
    for (const StringCase& c : cases) {
        EXPECT_EQ(string_value(c.text), std::string(c.expected)) << escape_bytes(c.text);
    }
}

// Invalid UTF-8 reads as U+FFFD, one per maximal ill-formed subsequence (what
// TextDecoder gives the reference); only strings (and comments) can hold it.
TEST(Json5Reader, InvalidUtf8BecomesReplacementCharactersInStrings) {
    const std::string r = "\xEF\xBF\xBD";
    // clang-format off: the adjacent texts stand apart only to end a \x escape
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"'\xFF'", r},
        {"'a\x80"
         "b'",
         "a" + r + "b"},
        {"'\xC3'", r},      // cut short by the quote
        {"'\xE2\x82'", r},  // one subsequence
        {"'\xF0\x9F\x98'", r},
        {"'\xC0\x80'", r + r},  // overlong: no valid start
        {"'\xE0\x80\xAF'", r + r + r},
        {"'\xED\xA0\x80'", r + r + r},          // an encoded surrogate
        {"'\xF4\x90\x80\x80'", r + r + r + r},  // above U+10FFFF
        {"'\xF8\x88\x80\x80\x80'", r + r + r + r + r},
        {"'\xE2\x82\xAC\xE2\x82'", "\xE2\x82\xAC" + r},
        {"'\xE2\x82\xE2\x82\xAC'", r + "\xE2\x82\xAC"},  // the byte that breaks one sequence starts the next
        {"'\\\xFF'", r},                                 // escaped
        {"'\xEF\xBF\xBD'", r},                           // a real U+FFFD
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(string_value(c.text), c.expected) << escape_bytes(c.text);

    for (const std::string text : {"\xFF", "[1]\xFF", "[\xC3]", "{\xC3\xA9\xFF:1}", "\xE2\x80", "'\xE2\x82"}) {
        EXPECT_FALSE(parse(text).ok) << escape_bytes(text);
    }
    for (const std::string text : {"// \xFF\n1", "/* \xC3 */ 1", "1 // \xF0\x9F"}) {
        EXPECT_TRUE(parse(text).ok) << escape_bytes(text);
    }
}

// ---- identifiers -------------------------------------------------------------------------------

TEST(Json5Reader, IdentifierKeysFollowEcmaScriptIdentifierNames) {
    const StringCase accepted[] = {
        {"a", "a"},
        {"$", "$"},
        {"_", "_"},
        {"a1$_", "a1$_"},
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},                  // Ll
        {"\xC7\x85", "\xC7\x85"},                                    // U+01C5 Lt
        {"\xCA\xB0", "\xCA\xB0"},                                    // U+02B0 Lm
        {"\xE4\xB8\xAD", "\xE4\xB8\xAD"},                            // Lo
        {"\xE2\x85\xAB", "\xE2\x85\xAB"},                            // U+216B Nl
        {"\xF0\x90\x90\x80", "\xF0\x90\x90\x80"},                    // U+10400, beyond the BMP
        {"\xD5\xA0", "\xD5\xA0"},                                    // U+0560, newer than the reference's tables
        {"a\xCC\x81", "a\xCC\x81"},                                  // Mn
        {"a\xE0\xA4\x83", "a\xE0\xA4\x83"},                          // Mc
        {"a\xD9\xA3", "a\xD9\xA3"},                                  // Nd
        {"a\xE2\x80\xBF", "a\xE2\x80\xBF"},                          // Pc
        {"a\xE2\x80\x8C\xE2\x80\x8D", "a\xE2\x80\x8C\xE2\x80\x8D"},  // ZWNJ ZWJ
        {"\\u0061b", "ab"},
        {"a\\u0301", "a\xCC\x81"},
        {"\\u00E9", "\xC3\xA9"},
        {"\\u0024\\u005F", "$_"},
    };
    for (const StringCase& c : accepted) {
        const std::string text = "{" + std::string(c.text) + ":0}";
        Tree t(text);
        ASSERT_TRUE(t.ok) << escape_bytes(text) << ": " << t.error.message;
        ASSERT_EQ(t.root().member_count(), 1u);
        EXPECT_EQ(std::string(t.root().members()[0].key, t.root().members()[0].key_length), std::string(c.expected))
            << escape_bytes(text);
    }
    // clang-format off: the adjacent texts stand apart only to end a \x escape
    const char* const rejected[] = {
        "1a",  // digits only after the start
        "\xCC\x81"
        "a",  // nor marks
        "\xE2\x80\x8C"
        "a",  // nor ZWNJ
        "a-b",
        "\xE2\x84\x98",  // U+2118, a math symbol
        "\xE2\x82\xAC",  // U+20AC, a currency sign
        "\\u0031",       // an escape must stand for a valid character too
        "a\\u002D",
        "\\u200C",
        "\\uD83D\\uDE00",  // surrogates are no characters
        "\\x61",
        "\\u61",
        "a\\",
        "\\",
    };
    // clang-format on
    for (const char* key : rejected) {
        const std::string text = "{" + std::string(key) + ":0}";
        EXPECT_FALSE(parse(text).ok) << escape_bytes(text);
    }
}

// ---- what is rejected, and where -----------------------------------------------------------------

struct RejectCase {
    std::string_view text;
    std::size_t offset;
    const char* message_part;
};

TEST(Json5Reader, RejectsWhatJson5RejectsAndSaysWhere) {
    using namespace std::string_view_literals;
    // clang-format off: the adjacent texts stand apart only to end a \x escape
    const RejectCase cases[] = {
        {std::string_view{}, 0, "empty"},
        {"", 0, "empty"},
        {" \n // only a comment\n", 21, "empty"},
        {"01", 0, "leading zero"},
        {"[-01]", 1, "leading zero"},
        {"00", 0, "leading zero"},
        {".", 0, "invalid number"},
        {"-.", 0, "invalid number"},
        {".e1", 0, "invalid number"},
        {"+", 0, "end of input"},
        {"+-1", 0, "invalid number"},
        {"1e", 0, "exponent"},
        {"1e+", 0, "exponent"},
        {"0x", 0, "hex"},
        {"0x.1", 0, "hex"},
        {"0x1g", 3, "after the value"},
        {"1.2.3", 3, "after the value"},
        {"Infinityx", 8, "after the value"},
        {"-Infinit", 1, "invalid number"},
        {"infinity", 0, "expected a value"},
        {"undefined", 0, "expected a value"},
        {"True", 0, "expected a value"},
        {"nul", 0, "expected a value"},
        {"[1 2]", 3, "expected ',' or ']'"},
        {"[1,,2]", 3, "expected a value"},
        {"[,]", 1, "expected a value"},
        {"{,}", 1, "expected a key"},
        {"{a 1}", 3, "expected ':'"},
        {"{a:1 b:2}", 5, "expected ',' or '}'"},
        {"{a:}", 3, "expected a value"},
        {"{1:2}", 1, "expected a key"},
        {"{a:1]", 4, "expected ',' or '}'"},
        {"[1}", 2, "expected ',' or ']'"},
        {"[", 1, "missing ]"},
        {"[1,", 3, "missing ]"},
        {"{", 1, "missing }"},
        {"{a:1", 4, "missing }"},
        {"{a:", 3, "end of input"},
        {"{a", 2, "expected ':'"},
        {"1 2", 2, "after the value"},
        {"[1]/", 3, "after the value"},
        {"/ 1", 0, "expected a value"},
        {"/* open", 0, "unterminated comment"},
        {"[1] /* x *", 4, "unterminated comment"},
        {"'abc", 0, "unterminated string"},
        {"[\"a\\\"]", 1, "unterminated string"},
        {"'\\", 0, "unterminated string"},
        {"'a\nb'", 2, "line break"},
        {"'a\rb'", 2, "line break"},
        {"'\\1'", 1, "digit"},
        {"'\\9'", 1, "digit"},
        {"'\\01'", 1, "\\0 followed by a digit"},
        {"'\\x4'", 1, "\\x"},
        {"'\\xg0'", 1, "\\x"},
        {"'\\u12'", 1, "\\u"},
        {"'\\u{41}'", 1, "\\u"},
        {"\xC2\x85"
         "1",
         0, "expected a value"},  // NEL is no white space
        {"\xE2\x80\x8B"
         "1",
         0, "expected a value"},  // nor ZERO WIDTH SPACE
        {"\xE1\xA0\x8E"
         "1",
         0, "expected a value"},  // nor U+180E (no longer Zs)
        {"\x01", 0, "expected a value"},
        {"\x00"sv, 0, "expected a value"},
    };
    // clang-format on
    for (const RejectCase& c : cases) {
        const Parsed p = parse(c.text);
        ASSERT_FALSE(p.ok) << escape_bytes(c.text);
        EXPECT_EQ(p.error.offset, c.offset) << escape_bytes(c.text) << ": " << p.error.message;
        EXPECT_NE(std::strstr(p.error.message, c.message_part), nullptr)
            << escape_bytes(c.text) << ": " << p.error.message;
    }
}

TEST(Json5Reader, ErrorsGiveLineAndColumnInCharacters) {
    const struct {
        std::string_view text;
        std::int32_t line, column;
        std::size_t offset;
    } cases[] = {
        {"?", 1, 1, 0},
        {"{\n  a: 1,\r\n  b: 2,\xE2\x80\xA8  c: ?\n}", 4, 6, 26},
        {"['\xE4\xB8\xAD', x]", 1, 7, 8},
        {"\r\r\n\n?", 4, 1, 4},
        {"[\n1,\n", 3, 1, 5},
    };
    for (const auto& c : cases) {
        const Parsed p = parse(c.text);
        ASSERT_FALSE(p.ok) << escape_bytes(c.text);
        EXPECT_EQ(p.error.line, c.line) << escape_bytes(c.text);
        EXPECT_EQ(p.error.column, c.column) << escape_bytes(c.text);
        EXPECT_EQ(p.error.offset, c.offset) << escape_bytes(c.text);
    }
}

// ---- limits: depth and memory -------------------------------------------------------------------------

TEST(Json5Reader, NestingIsBoundedWithAClearError) {
    const auto nested = [](int depth, const std::string& open, const std::string& close) {
        std::string s;
        for (int i = 0; i < depth; ++i) s += open;
        for (int i = 0; i < depth; ++i) s += close;
        return s;
    };
    Tree deepest(nested(json5_max_depth, "[", "]"));
    ASSERT_TRUE(deepest.ok) << deepest.error.message;
    const Json5Value* v = &deepest.root();
    for (int i = 1; i < json5_max_depth; ++i) {
        ASSERT_EQ(v->item_count(), 1u);
        v = &v->items()[0];
    }
    EXPECT_EQ(v->kind, Json5Kind::array);
    EXPECT_EQ(v->item_count(), 0u);

    std::string objects;
    for (int i = 1; i < json5_max_depth; ++i) objects += "{a:";
    objects += "{}" + std::string(json5_max_depth - 1, '}');
    EXPECT_TRUE(parse(objects).ok);
    for (const std::string& text : {nested(json5_max_depth + 1, "[", "]"), nested(json5_max_depth + 1, "{a:", "}"),
                                    std::string(200000, '['), nested(100000, "{'':[", "]}")}) {
        const Parsed p = parse(text);
        ASSERT_FALSE(p.ok);
        EXPECT_NE(std::strstr(p.error.message, "nested too deeply"), nullptr) << p.error.message;
    }
}

TEST(Json5Reader, RunningOutOfMemoryIsAnErrorAtEveryAllocation) {
    // Enough of everything to need several chunks, a block of its own for the
    // long string, and the scratch space to grow.
    std::string text = "{name: 'Valentine', list: [";
    for (int i = 0; i < 300; ++i) text += "{k" + std::to_string(i) + ": [" + std::to_string(i) + ", 'x\\u00e9']},";
    text += "], long: '" + std::string(20000, 'y') + "', nested: [[[[{}]]]], last: null}";
    const Parsed full = parse(text);
    ASSERT_TRUE(full.ok);

    std::size_t failures = 0;
    for (std::size_t n = 0;; ++n) {
        ASSERT_LT(n, 10000u) << "never succeeded";
        TestHeap heap;
        heap.fail_after = n;
        Json5Document doc{};
        Json5Error error{};
        const bool ok = json5_parse(text, heap.allocator(), doc, error);
        if (ok) {
            EXPECT_EQ(render(doc.root), full.canonical);
            json5_free(doc, heap.allocator());
            EXPECT_EQ(heap.live_blocks, 0u);
            break;
        }
        ++failures;
        EXPECT_STREQ(error.message, "out of memory") << "after " << n << " allocations";
        EXPECT_EQ(doc.chunks, nullptr);
        EXPECT_EQ(heap.live_blocks, 0u) << "after " << n << " allocations";
        EXPECT_EQ(heap.size_mismatches, 0u);
    }
    EXPECT_GT(failures, 5u);
}

TEST(Json5Reader, FreeingGivesBackEveryBlockAndEmptiesTheDocument) {
    TestHeap heap;
    Json5Document doc{};
    Json5Error error{};
    ASSERT_TRUE(
        json5_parse("{a: ['x', {b: 'yz'}], c: 'long " + std::string(5000, 'z') + "'}", heap.allocator(), doc, error));
    EXPECT_GT(heap.live_blocks, 1u);
    json5_free(doc, heap.allocator());
    EXPECT_EQ(heap.live_blocks, 0u);
    EXPECT_EQ(heap.live_bytes, 0u);
    EXPECT_EQ(heap.size_mismatches, 0u);
    EXPECT_EQ(doc.chunks, nullptr);
    EXPECT_EQ(doc.root.kind, Json5Kind::null_value);
    json5_free(doc, heap.allocator());  // a second free is harmless
    EXPECT_EQ(heap.live_blocks, 0u);

    // A failed parse leaves the document empty even when it held something.
    ASSERT_TRUE(json5_parse("[1, 2]", heap.allocator(), doc, error));
    json5_free(doc, heap.allocator());
    EXPECT_FALSE(json5_parse("[1, 2", heap.allocator(), doc, error));
    EXPECT_EQ(doc.root.kind, Json5Kind::null_value);
    EXPECT_EQ(heap.live_blocks, 0u);
}

// ---- agreement with the reference implementation --------------------------------------------------------

const std::string oracle_dir = std::string(QUILLFEN_TEST_DATA) + "/json5_oracle";
const std::string suite_dir = std::string(QUILLFEN_TEST_DATA) + "/JSONTestSuite/test_parsing";

struct Expectation {
    std::string name;
    std::string text;
    bool accept;
    std::string canonical;
};

std::vector<Expectation> read_expectations(const std::string& file, bool texts_inline) {
    std::vector<Expectation> out;
    std::istringstream in(read_file(oracle_dir + "/" + file));
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = split(line, '\t');
        if (fields.size() != 3) {
            ADD_FAILURE() << file << ": bad line " << line;
            continue;
        }
        Expectation e{fields[0], "", fields[1] == "accept", fields[2]};
        e.text = texts_inline ? unescape_bytes(fields[0]) : read_file(suite_dir + "/" + fields[0]);
        out.push_back(std::move(e));
    }
    return out;
}

std::size_t count_disagreements(const std::vector<Expectation>& expectations) {
    std::size_t disagreements = 0;
    for (const Expectation& e : expectations) {
        const Parsed p = parse(e.text);
        // "*": keys that only lone surrogates told apart; the verdict is all there is
        if (p.ok == e.accept && (!p.ok || e.canonical == "*" || p.canonical == e.canonical)) continue;
        if (++disagreements <= 20) {
            ADD_FAILURE() << e.name << ": the reference " << (e.accept ? "accepts " + e.canonical : "rejects")
                          << "; the reader "
                          << (p.ok ? "accepts " + p.canonical : std::string("rejects: ") + p.error.message);
        }
    }
    return disagreements;
}

TEST(Json5Reader, AcceptsEveryValidJsonTestSuiteDocument) {
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(suite_dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("y_", 0) != 0) continue;
        ++files;
        const Parsed p = parse(read_file(entry.path().string()));
        EXPECT_TRUE(p.ok) << name << ": " << (p.ok ? "" : p.error.message);
    }
    EXPECT_EQ(files, 95u);
}

// JSON5 accepts some of JSON's n_ files on purpose (trailing commas, hex,
// Infinity...); every verdict there and for the i_ files is the reference's.
TEST(Json5Reader, AgreesWithTheReferenceOnJsonTestSuite) {
    const std::vector<Expectation> expectations = read_expectations("suite.tsv", false);
    std::size_t on_disk = 0;
    for (const auto& entry : std::filesystem::directory_iterator(suite_dir))
        on_disk += entry.path().extension() == ".json";
    EXPECT_EQ(expectations.size(), on_disk) << "suite.tsv is out of date: run tests/oracle/make_expectations.js";
    EXPECT_EQ(count_disagreements(expectations), 0u);
}

TEST(Json5Reader, AgreesWithTheReferenceOnGeneratedDocuments) {
    const std::vector<Expectation> expectations = read_expectations("generated.tsv", true);
    EXPECT_GT(expectations.size(), 3000u);
    const auto accepted =
        std::count_if(expectations.begin(), expectations.end(), [](const Expectation& e) { return e.accept; });
    EXPECT_GT(accepted, 1000);  // both verdicts well represented
    EXPECT_GT(static_cast<std::ptrdiff_t>(expectations.size()) - accepted, 1000);
    EXPECT_EQ(count_disagreements(expectations), 0u);
}

// ---- where values stand in the text ------------------------------------------------------------------

struct SourceStep {
    std::vector<std::size_t> path;
    std::size_t offset, key_offset;
    bool text_replaced;
};

std::vector<SourceStep> walk_source(std::string_view text, bool* ok = nullptr, std::size_t stop_after = SIZE_MAX) {
    struct Walk {
        std::vector<SourceStep> steps;
        std::size_t stop_after;
    } walk{{}, stop_after};
    const bool walked = json5_visit_source(
        text,
        [](void* data, const Json5SourceValue& v) {
            auto& w = *static_cast<Walk*>(data);
            w.steps.push_back(SourceStep{std::vector<std::size_t>(v.path, v.path + v.depth), v.offset, v.key_offset,
                                         v.text_replaced});
            return w.steps.size() < w.stop_after;
        },
        &walk);
    if (ok) *ok = walked;
    return walk.steps;
}

// The tree's values in the walk's order, with their paths.
void tree_steps(const Json5Value& v, std::vector<std::size_t>& path,
                std::vector<std::pair<std::vector<std::size_t>, const Json5Value*>>& out) {
    out.emplace_back(path, &v);
    const std::size_t n = v.kind == Json5Kind::object ? v.member_count() : v.item_count();
    for (std::size_t i = 0; i < n; ++i) {
        path.push_back(i);
        tree_steps(v.kind == Json5Kind::object ? v.members()[i].value : v.items()[i], path, out);
        path.pop_back();
    }
}

bool starts_like(const Json5Value& v, char c) {
    switch (v.kind) {
        case Json5Kind::null_value: return c == 'n';
        case Json5Kind::boolean: return c == (v.boolean() ? 't' : 'f');
        case Json5Kind::number: return std::strchr("0123456789+-.IN", c) != nullptr;
        case Json5Kind::string: return c == '"' || c == '\'';
        case Json5Kind::array: return c == '[';
        case Json5Kind::object: return c == '{';
    }
    return false;
}

// Every document the reader takes (the whole reference corpus and the suite):
// the walk meets the tree's values in order, each where its text starts, and
// each member's key before its value.
TEST(Json5Source, TheWalkMeetsEveryValueOfTheTreeWhereItStarts) {
    std::vector<Expectation> documents = read_expectations("generated.tsv", true);
    for (Expectation& e : read_expectations("suite.tsv", false)) documents.push_back(std::move(e));
    std::size_t walked = 0;
    for (const Expectation& e : documents) {
        Tree tree(e.text);
        if (!tree.ok) continue;
        ++walked;
        bool ok = false;
        const std::vector<SourceStep> steps = walk_source(e.text, &ok);
        ASSERT_TRUE(ok) << e.name;
        std::vector<std::size_t> path;
        std::vector<std::pair<std::vector<std::size_t>, const Json5Value*>> expected;
        tree_steps(tree.root(), path, expected);
        ASSERT_EQ(steps.size(), expected.size()) << e.name;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const SourceStep& s = steps[i];
            ASSERT_EQ(s.path, expected[i].first) << e.name << " value " << i;
            ASSERT_LT(s.offset, e.text.size()) << e.name;
            EXPECT_TRUE(starts_like(*expected[i].second, e.text[s.offset])) << e.name << " value " << i;
            if (i > 0) {
                EXPECT_GT(s.offset, steps[i - 1].offset) << e.name;
            }
            EXPECT_LE(s.key_offset, s.offset) << e.name;
        }
    }
    EXPECT_GT(walked, 1000u);
}

TEST(Json5Source, PlacesCountLinesAndCharactersAsTheParsersErrorsDo) {
    const std::string text = "{\n  \"a\": [1, '\xE4\xB8\xAD'],\r\n  // note\r  b: {c: null},\xE2\x80\xA8  d: -2\n}";
    const struct {
        std::vector<std::size_t> path;
        std::int32_t line, column, key_line, key_column;
    } cases[] = {
        {{}, 1, 1, 1, 1},  {{0}, 2, 8, 2, 3},     {{0, 0}, 2, 9, 2, 9}, {{0, 1}, 2, 12, 2, 12},
        {{1}, 4, 6, 4, 3}, {{1, 0}, 4, 10, 4, 7}, {{2}, 5, 6, 5, 3},
    };
    const std::vector<SourceStep> steps = walk_source(text);
    ASSERT_EQ(steps.size(), std::size(cases));
    Json5Place place = json5_text_start;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].path, cases[i].path) << i;
        Json5Place key = json5_text_start;
        json5_advance_place(text, key, steps[i].key_offset);
        json5_advance_place(text, place, steps[i].offset);  // one pass: each place from the last
        EXPECT_EQ(std::make_pair(place.line, place.column), std::make_pair(cases[i].line, cases[i].column)) << i;
        EXPECT_EQ(std::make_pair(key.line, key.column), std::make_pair(cases[i].key_line, cases[i].key_column)) << i;
    }
    // The same place as the parser gives for a fault there.
    const std::string broken = text.substr(0, steps[6].offset) + "?" + text.substr(steps[6].offset + 2);
    const Parsed p = parse(broken);
    ASSERT_FALSE(p.ok);
    EXPECT_EQ(std::make_pair(p.error.line, p.error.column), std::make_pair(place.line, place.column));
}

// Text that reads with a U+FFFD it does not spell: the same strings as the
// parser's own cases above.
TEST(Json5Source, StringsThatReadWithReplacementCharactersAreMarked) {
    // clang-format off: the adjacent texts stand apart only to end a \x escape
    const struct {
        std::string text;
        bool replaced;
    } cases[] = {
        {"'plain \\n \\u00e9 \xC3\xA9'", false},
        {"'\xEF\xBF\xBD'", false},
        {"'\\uFFFD'", false},
        {"'\\uD83D\\uDE00'", false},
        {"'\\uD83D\\\n\\uDE00'", false},
        {"'\\uD800'", true},
        {"'\\uDC00'", true},
        {"'\\uD800x'", true},
        {"'\\uD800\\u0041'", true},
        {"'\\uD800\\x41'", true},
        {"'\\uD83D\\uDE00\\uDE00'", true},
        {"'\\uD800\\uD800\\uDC00'", true},
        {"'\xFF'", true},
        {"'a\x80"
         "b'",
         true},
        {"'\xC3'", true},
        {"'\xED\xA0\x80'", true},
        {"'\\\xFF'", true},
        {"\"\xC0\x80\"", true},
    };
    // clang-format on
    for (const auto& c : cases) {
        bool ok = false;
        const std::vector<SourceStep> steps = walk_source("[" + c.text + ", 'after']", &ok);
        ASSERT_TRUE(ok) << escape_bytes(c.text);
        ASSERT_EQ(steps.size(), 3u) << escape_bytes(c.text);
        EXPECT_EQ(steps[1].text_replaced, c.replaced) << escape_bytes(c.text);
        EXPECT_FALSE(steps[2].text_replaced) << escape_bytes(c.text);
    }
}

TEST(Json5Source, TheWalkStopsWhenAskedAndRefusesWhatTheParserRefuses) {
    bool ok = false;
    EXPECT_EQ(walk_source("[1, [2, 3], {a: 4}]", &ok, 3).size(), 3u);
    EXPECT_TRUE(ok);
    for (const char* bad : {"", "[1,", "{a 1}", "[1 2]", "'open", "{a: 1,, }", "/* open"}) {
        walk_source(bad, &ok);
        EXPECT_FALSE(ok) << bad;
    }
}

}  // namespace
