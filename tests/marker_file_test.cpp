// The markers file's text: the writer's exact layout, the eight-decimal
// coordinates, the reader's mapping of keys to fields, and save-then-load.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "sim_fixture.h"
#include "src/file_formats/marker_file.h"

namespace {

__extension__ typedef unsigned __int128 u128;

const Allocator heap = heap_allocator();

std::string serialize(const std::vector<MarkerDataV1>& records) {
    MarkersText text{};
    EXPECT_EQ(serialize_markers(records.data(), records.size(), heap, text), SerializeError::none);
    std::string out(text.data, text.length);
    EXPECT_EQ(std::strlen(text.data), text.length);
    free_markers_text(text, heap);
    return out;
}

struct Loaded {
    DeserializeError error;
    std::vector<MarkerDataV1> records;
    std::vector<std::string> names;  // "<null>" for no name
};

Loaded deserialize(const std::string& text) {
    MarkersData data{};
    Loaded out{deserialize_markers(text, heap, data), {}, {}};
    for (std::size_t i = 0; i < data.count; ++i) {
        out.records.push_back(data.records[i]);
        out.names.push_back(data.records[i].name ? data.records[i].name : "<null>");
    }
    free_markers_data(data, heap);
    for (MarkerDataV1& r : out.records) hand_over_marker_texts(r);  // freed with the data
    return out;
}

std::string coordinate(float f) {
    char buf[64];
    return std::string(buf, format_coordinate(f, buf));
}

// The exact decimal value of a finite float, rounded to eight places with an
// exact tie going to the even digit, computed with plain integer arithmetic.
std::string exact_eight_decimals(float f) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(f);
    const bool negative = bits >> 31;
    const int exponent_bits = static_cast<int>((bits >> 23) & 0xFF);
    std::uint64_t mantissa = bits & 0x7FFFFF;
    int e;  // value = mantissa * 2^e
    if (exponent_bits == 0) {
        e = -149;
    } else {
        mantissa |= 0x800000;
        e = exponent_bits - 150;
    }
    // Integer part in decimal digits (least significant first), fraction scaled by 1e8.
    std::vector<int> integer;
    std::uint64_t scaled_fraction = 0;
    auto double_digits = [](std::vector<int>& d) {
        int carry = 0;
        for (int& x : d) {
            x = x * 2 + carry;
            carry = x / 10;
            x %= 10;
        }
        if (carry) d.push_back(carry);
    };
    if (e >= 0) {
        for (std::uint64_t m = mantissa; m; m /= 10) integer.push_back(static_cast<int>(m % 10));
        for (int i = 0; i < e; ++i) double_digits(integer);
    } else {
        const int shift = -e;
        const std::uint64_t whole = shift >= 64 ? 0 : mantissa >> shift;
        for (std::uint64_t m = whole; m; m /= 10) integer.push_back(static_cast<int>(m % 10));
        const u128 rest = shift >= 64 ? mantissa : mantissa & ((std::uint64_t{1} << shift) - 1);
        const u128 numerator = rest * 100000000u;
        if (shift >= 100) {
            scaled_fraction = 0;  // far below half of the last place
        } else {
            const u128 denominator = static_cast<u128>(1) << shift;
            std::uint64_t q = static_cast<std::uint64_t>(numerator / denominator);
            const u128 r = numerator % denominator;
            if (2 * r > denominator || (2 * r == denominator && (q & 1))) ++q;
            scaled_fraction = q;
        }
    }
    if (scaled_fraction == 100000000u) {  // the rounding carried into the integer part
        scaled_fraction = 0;
        int carry = 1;
        for (int& x : integer) {
            x += carry;
            carry = x / 10;
            x %= 10;
        }
        if (carry) integer.push_back(carry);
    }
    std::string out = negative ? "-" : "";
    if (integer.empty()) out += '0';
    for (auto it = integer.rbegin(); it != integer.rend(); ++it) out += static_cast<char>('0' + *it);
    std::string frac = std::to_string(scaled_fraction);
    out += '.' + std::string(8 - frac.size(), '0') + frac;
    return out;
}

MarkerDataV1 record(float x, float y, float z, std::int64_t category, const char* name, std::int64_t ns) {
    return MarkerDataV1{{x, y, z}, category, const_cast<char*>(name), {ns}};
}

}  // namespace

TEST(MarkerFileWriter, WritesTheFileLayoutByteForByte) {
    const std::string golden = read_file(std::string(QUILLFEN_TEST_DATA) + "/markers/two-markers.json");
    EXPECT_EQ(serialize({record(-1234.5f, 567.25f, 42.0f, 0, "Flat Iron Lake (Waypoint)", 1765267200000000000),
                         record(2711.75f, -1390.125f, 45.0f, 5, nullptr, 1765270800000000000)}),
              golden);
    EXPECT_EQ(serialize({}), read_file(std::string(QUILLFEN_TEST_DATA) + "/markers/empty.json"));
    EXPECT_EQ(serialize({}), "{\n    \"markers\": [\n\n    ]\n}");
}

TEST(MarkerFileWriter, AnEmptyNameIsLeftOutLikeNoName) {
    const std::string with_empty = serialize({record(1, 2, 3, 1, "", 7)});
    EXPECT_EQ(with_empty, serialize({record(1, 2, 3, 1, nullptr, 7)}));
    EXPECT_EQ(with_empty.find("\"name\""), std::string::npos);
}

TEST(MarkerFileWriter, CoordinatesAreTheFloatsExactValueToEightPlaces) {
    struct Case {
        float value;
        const char* text;
    } cases[] = {
        {42.0f, "42.00000000"},
        {-1234.5f, "-1234.50000000"},
        {0.1f, "0.10000000"},          // 0.100000001490116...
        {0.001953125f, "0.00195312"},  // an exact tie: to the even digit
        {0.005859375f, "0.00585938"},  // a tie the other way
        {-0.0f, "-0.00000000"},
        {-1e-10f, "-0.00000000"},
        {std::numeric_limits<float>::denorm_min(), "0.00000000"},
        {16777217.0f, "16777216.00000000"},
        {std::numeric_limits<float>::max(), "340282346638528859811704183484516925440.00000000"},
        {std::numeric_limits<float>::quiet_NaN(), "NaN"},
        {std::numeric_limits<float>::infinity(), "Infinity"},
        {-std::numeric_limits<float>::infinity(), "-Infinity"},
    };
    for (const Case& c : cases) EXPECT_EQ(coordinate(c.value), c.text) << c.value;
}

TEST(MarkerFileWriter, EightDecimalsAgreeWithExactArithmeticOverManyFloats) {
    std::mt19937 rng(2026);
    std::vector<float> values;
    for (int i = 0; i < 200000; ++i) {
        float f = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
        if (std::isfinite(f)) values.push_back(f);
    }
    for (int i = 0; i < 100000; ++i)
        values.push_back(static_cast<float>(static_cast<int>(rng() % 4000001) - 2000000) / 512.0f);  // ties
    for (int i = 0; i < 50000; ++i)
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(rng() % 0x800000)));  // subnormals
    for (int i = 0; i < 100000; ++i) values.push_back(std::uniform_real_distribution<float>(-8000, 8000)(rng));
    int mismatches = 0;
    for (float f : values) {
        if (coordinate(f) != exact_eight_decimals(f) && ++mismatches <= 5) {
            ADD_FAILURE() << std::hexfloat << f << ": " << coordinate(f) << " vs exact " << exact_eight_decimals(f);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(MarkerFileWriter, NamesAreEscapedWhereTheyMustBeAndOtherwiseKeptAsUtf8) {
    // clang-format off: the adjacent texts stand apart only to end a \x escape
    struct Case {
        const char* name;
        const char* written;
    } cases[] = {
        {"Say \"hi\"", R"("Say \"hi\"")"},
        {"C:\\path", R"("C:\\path")"},
        {"tab\there\nline", R"("tab\there\nline")"},
        {"\x01\x1f\x7f", R"("\u0001\u001f\u007f")"},
        {"Bah\xC3\xAD"
         "a de la Paz",
         "\"Bah\xC3\xAD"
         "a de la Paz\""},
        {"\xC2\x85 \xE2\x80\xA8", R"("\u0085 \u2028")"},
        {"bad \xFF byte", "\"bad \xEF\xBF\xBD byte\""},
    };
    // clang-format on
    for (const Case& c : cases) {
        const std::string text = serialize({record(1, 2, 3, 0, c.name, 0)});
        EXPECT_NE(text.find(std::string("\"name\": ") + c.written + ",\n"), std::string::npos) << c.name << "\n"
                                                                                               << text;
    }
}

TEST(MarkerFileReader, MapsKeysToFieldsAndRejectsWrongKinds) {
    const std::string timestamp = R"("timestamp": {"_nsec": 5})";
    struct Case {
        const char* what;
        std::string text;
        DeserializeError error;
        std::size_t count;
    } cases[] = {
        {"only braces", "{}", DeserializeError::none, 0},
        {"extra keys everywhere", R"({"v": 2, "markers": [{"extra": {"a": [1, 2]}, "category": 3}], "more": null})",
         DeserializeError::none, 1},
        {"a comment between markers", "{\"markers\": [{\"category\": 1},\n// second\n{\"category\": 2}]}",
         DeserializeError::none, 2},
        {"JSON5 spellings", "{markers: [{'category': 0x10, position: [+1, .5, 2.], name: 'it\\'s',},],}",
         DeserializeError::none, 1},
        {"timestamp as a number", R"({"markers": [{"timestamp": 5}]})", DeserializeError::wrong_kind, 0},
        {"timestamp as a date text", R"({"markers": [{"timestamp": "2025-12-09"}]})", DeserializeError::wrong_kind, 0},
        {"category as an object", R"({"markers": [{"category": {}}]})", DeserializeError::wrong_kind, 0},
        {"category with a fraction", R"({"markers": [{"category": 1.5}]})", DeserializeError::wrong_kind, 0},
        {"category beyond 64 bits", R"({"markers": [{"category": 9223372036854775808}]})", DeserializeError::wrong_kind,
         0},
        {"position of two numbers", R"({"markers": [{"position": [1, 2]}]})", DeserializeError::wrong_kind, 0},
        {"position of four numbers", R"({"markers": [{"position": [1, 2, 3, 4]}]})", DeserializeError::wrong_kind, 0},
        {"position with a text", R"({"markers": [{"position": [1, "2", 3]}]})", DeserializeError::wrong_kind, 0},
        {"name as a number", R"({"markers": [{"name": 5}]})", DeserializeError::wrong_kind, 0},
        {"_nsec with a fraction", R"({"markers": [{"timestamp": {"_nsec": 0.5}}]})", DeserializeError::wrong_kind, 0},
        {"markers as an object", R"({"markers": {}})", DeserializeError::wrong_kind, 0},
        {"markers as null", R"({"markers": null})", DeserializeError::wrong_kind, 0},
        {"a marker that is no object", R"({"markers": [1]})", DeserializeError::wrong_kind, 0},
        {"the root as an array", "[]", DeserializeError::wrong_kind, 0},
        {"not JSON5 at all", "markers: []", DeserializeError::syntax, 0},
        {"cut short", R"({"markers": [{"category": 1})", DeserializeError::syntax, 0},
        {"a wrong value late in the file",
         std::string(R"({"markers": [{"category": 1, )") + timestamp + R"(}, {"category": []}]})",
         DeserializeError::wrong_kind, 0},
        {"wrong values given again rightly",
         R"({"markers": [{"category": [], "category": 1, "name": 5, "name": "n", "position": null, "position": [1, 2, 3],
                          "timestamp": 1, "timestamp": {"_nsec": "x", "_nsec": 5}}]})",
         DeserializeError::none, 1},
        {"a right value given again wrongly", R"({"markers": [{"category": 1, "category": []}]})",
         DeserializeError::wrong_kind, 0},
        {"a right _nsec given again wrongly", R"({"markers": [{"timestamp": {"_nsec": 1, "_nsec": 1.5}}]})",
         DeserializeError::wrong_kind, 0},
        {"keys that only look like known ones",
         R"({"markers": [{"Category": [], "positions": 1, "nam": 2, "names": 3, "timestamp_": 4, "_nsec": [],
                          "timestamp": {"nsec": [], "_nsec ": [], "_nsec": 1}}]})",
         DeserializeError::none, 1},
    };
    for (const Case& c : cases) {
        Loaded l = deserialize(c.text);
        EXPECT_EQ(l.error, c.error) << c.what;
        EXPECT_EQ(l.records.size(), c.count) << c.what;
    }
}

std::string why_not(const std::string& text) {
    MarkersData data{};
    DeserializeDetail detail{};
    const DeserializeError e = deserialize_markers(text, heap, data, &detail);
    free_markers_data(data, heap);
    if (e == DeserializeError::none) return "<loads>";
    char why[256];
    TextBuilder b = text_builder(why, sizeof why);
    describe_load_failure(b, e, detail);
    return why;
}

// Every reason says where: the line and column of the value at fault, and for
// a value of the wrong kind its marker (counted from 1) and its key.
TEST(MarkerFileReader, TheReasonNamesThePlaceTheMarkerAndTheKey) {
    const struct {
        std::string text;
        const char* why;
    } cases[] = {
        {"{\"markers\": [\n  {\"category\": 1},\n  {\"name\": 5}\n]}",
         "3:12: marker 2: \"name\" must be text, not a number"},
        {R"({"markers": [{"category": "5"}]})", "1:27: marker 1: \"category\" must be a whole number, not text"},
        {R"({"markers": [{}, {}, {"category": 1.5}]})",
         "1:35: marker 3: \"category\" must be a whole number, not a number with a fraction"},
        {R"({"markers": [{"category": 9223372036854775808}]})",
         "1:27: marker 1: \"category\" must be a whole number, not a whole number beyond 64 bits"},
        {R"({"markers": [{"category": NaN}]})", "1:27: marker 1: \"category\" must be a whole number, not NaN"},
        {R"({"markers": [{"position": [1, 2]}]})",
         "1:27: marker 1: \"position\" must be a list of three numbers, not a list of 2 values"},
        {R"({"markers": [{"position": [1, "2", 3]}]})",
         "1:31: marker 1: \"position\" must be a list of three numbers, not a list holding text"},
        {R"({"markers": [{"position": {}}]})",
         "1:27: marker 1: \"position\" must be a list of three numbers, not an object"},
        {R"({"markers": [{"timestamp": "2025-12-09"}]})",
         "1:28: marker 1: \"timestamp\" must be an object like {\"_nsec\": 1765267200000000000}, not text"},
        {R"({"markers": [{"timestamp": {"x": 1, "_nsec": 0.5}}]})",
         "1:46: marker 1: \"_nsec\" in \"timestamp\" must be a whole number, not a number with a fraction"},
        {R"({"markers": [{"name": "a"}, true]})", "1:29: marker 2 must be an object ({...}), not true"},
        {R"({"markers": null})", "1:13: \"markers\" must be a list ([...]), not null"},
        {R"({"markers": [], "markers": {}})", "1:28: \"markers\" must be a list ([...]), not an object"},
        {"[]", "1:1: the file must be an object ({...}), not a list"},
        {"  // comment\n  'x'", "2:3: the file must be an object ({...}), not text"},
        // The key given last counts, and so does its place.
        {R"({"markers": [{"name": "a", "name": []}]})", "1:36: marker 1: \"name\" must be text, not a list"},
        // Characters, not bytes, make the column.
        {"{\"markers\": [{\"name\": \"Überfall\", \"category\": {}}]}",
         "1:47: marker 1: \"category\" must be a whole number, not an object"},
        {"{\"markers\": [\n  {\"category\": 1,,}\n]}", "2:18: expected a key"},
    };
    for (const auto& c : cases) EXPECT_EQ(why_not(c.text), c.why) << c.text;
}

TEST(MarkerFileReader, SettledCornersOfTheMapping) {
    Loaded l = deserialize(R"({"markers": [
        {"category": 1.0, "name": null, "position": [NaN, Infinity, -0.0]},
        {"category": 1e2, "name": ""},
        {"category": 1, "category": 2, "name": "first", "name": "last"},
        {"category": -9223372036854775808, "timestamp": {"_nsec": 9223372036854775807, "other": 1}},
        {}
    ]})");
    ASSERT_EQ(l.error, DeserializeError::none);
    ASSERT_EQ(l.records.size(), 5u);
    EXPECT_EQ(l.records[0].category, 1);
    EXPECT_EQ(l.names[0], "<null>");
    EXPECT_TRUE(std::isnan(l.records[0].position.x));
    EXPECT_EQ(l.records[0].position.y, std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::signbit(l.records[0].position.z));
    EXPECT_EQ(l.records[1].category, 100);
    EXPECT_EQ(l.names[1], "<null>") << "an empty name is no name";
    EXPECT_EQ(l.records[2].category, 2) << "a key given twice counts with its last value";
    EXPECT_EQ(l.names[2], "last");
    EXPECT_EQ(l.records[3].category, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(l.records[3].timestamp._nsec, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(l.records[4].category, 0);
    EXPECT_EQ(l.records[4].position.x, 0.0f);
    EXPECT_EQ(l.records[4].timestamp._nsec, 0);
    EXPECT_EQ(l.names[4], "<null>");
}

TEST(MarkerFileRoundTrip, RandomListsSurviveSaveThenLoad) {
    std::mt19937_64 rng(77);
    const std::vector<std::string> names = {"",
                                            "Valentine, New Hanover (Waypoint)",
                                            "quote \" and backslash \\",
                                            "ctl \x01\x02\x1f\x7f\t\n\r\b\f",
                                            "Bah\xC3\xAD"
                                            "a de la Paz",
                                            "\xE2\x80\xA8\xE2\x80\xA9\xC2\x85",
                                            "emoji \xF0\x9F\x90\x8E",
                                            "'single'",
                                            "/* not a comment */"};
    const float specials[] = {0.0f,
                              -0.0f,
                              std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::max(),
                              -0.125f,
                              1e20f};
    for (int round = 0; round < 50; ++round) {
        std::vector<MarkerDataV1> list;
        std::vector<std::string> keep;
        const int count = static_cast<int>(rng() % 40);
        keep.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            float xyz[3];
            for (float& v : xyz) {
                v = rng() % 8 == 0 ? specials[rng() % 8] : std::uniform_real_distribution<float>(-8000, 8000)(rng);
                if (v != 0 && std::fabs(v) < 0.125f) v = 0.125f;  // smaller values are the exception below
            }
            keep.push_back(names[rng() % names.size()]);
            const std::int64_t category =
                rng() % 5 == 0 ? static_cast<std::int64_t>(rng()) : static_cast<std::int64_t>(rng() % 12);
            const std::int64_t ns = rng() % 5 == 0 ? static_cast<std::int64_t>(rng())
                                                   : 1765267200000000000 + static_cast<std::int64_t>(rng() % 1000000);
            list.push_back(record(xyz[0], xyz[1], xyz[2], category, keep.back().c_str(), ns));
        }
        const std::string text = serialize(list);
        Loaded l = deserialize(text);
        ASSERT_EQ(l.error, DeserializeError::none) << text;
        ASSERT_EQ(l.records.size(), list.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            const float* in = &list[i].position.x;
            const float* out = &l.records[i].position.x;
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(std::bit_cast<std::uint32_t>(in[k]) == std::bit_cast<std::uint32_t>(out[k]) ||
                              (std::isnan(in[k]) && std::isnan(out[k])),
                          true)
                    << in[k] << " came back as " << out[k];
            }
            EXPECT_EQ(l.records[i].category, list[i].category);
            EXPECT_EQ(l.records[i].timestamp._nsec, list[i].timestamp._nsec);
            EXPECT_EQ(l.names[i], keep[i].empty() ? "<null>" : keep[i]);
        }
        EXPECT_EQ(serialize(l.records.empty() ? std::vector<MarkerDataV1>{} : [&] {
                      std::vector<MarkerDataV1> again = l.records;
                      for (std::size_t i = 0; i < again.size(); ++i) again[i].name = l.names[i] == "<null>" ? nullptr : l.names[i].data();
                      return again;
                  }()),
                  text);
    }
}

TEST(MarkerFileRoundTrip, SmallCoordinatesSettleAfterOneSave) {
    // Eight decimals cannot tell every float below 0.125 from its neighbours:
    // such a coordinate comes back as the nearest float to its eight-decimal
    // text, and from then on every save writes the same bytes.
    const std::string first = serialize({record(0.001953125f, 1e-9f, -0.0999999f, 0, nullptr, 0)});
    Loaded l = deserialize(first);
    ASSERT_EQ(l.error, DeserializeError::none);
    EXPECT_EQ(l.records[0].position.x, 0.00195312f);
    EXPECT_EQ(serialize(l.records), first);
}

TEST(MarkerFileReader, RunningOutOfMemoryIsNotADamagedFile) {
    // An allocator that gives `left` blocks and then none.
    struct Rationed {
        int left;
    };
    const std::string text = read_file(std::string(QUILLFEN_TEST_DATA) + "/markers/two-markers.json");
    for (int left = 0; left < 3; ++left) {
        Rationed r{left};
        const Allocator rationed{[](void* d, std::size_t size, std::size_t, const std::source_location&) -> void* {
                                     auto& k = *static_cast<Rationed*>(d);
                                     return k.left-- > 0 ? ::operator new(size, std::nothrow) : nullptr;
                                 },
                                 [](void*, void* p, std::size_t) { ::operator delete(p); }, &r};
        MarkersData data{};
        DeserializeDetail detail{};
        EXPECT_EQ(deserialize_markers(text, rationed, data, &detail), DeserializeError::out_of_memory) << left;
        EXPECT_EQ(data.records, nullptr);
    }
}

// A note and deleted.json's time of a delete: written after the other keys,
// read back; the markers file's reader takes deleted.json as a pack, without
// the time; a value of the wrong kind names its key.
TEST(MarkerFileNotes, ANoteAndTheTimeOfADeleteReadBackAndTheMarkersFileLeavesTheTimeOut) {
    char note[] = "rifle, \"two\"\nand ammo";
    MarkerDataV1 records[2] = {{{1, 2, 3}, 4, nullptr, {5}, nullptr, false, {0}, note},
                               {{6, 7, 8}, 1, nullptr, {9}, nullptr, false, {0}, nullptr}};
    const std::int64_t deleted_ns[2] = {1765267200000000000, -1};
    MarkersText text{};
    ASSERT_EQ(serialize_markers(records, 2, heap, text, deleted_ns), SerializeError::none);
    const std::string written(text.data, text.length);
    free_markers_text(text, heap);
    EXPECT_NE(
        written.find(
            "            },\n            \"note\": \"rifle, \\\"two\\\"\\nand ammo\",\n            \"deleted\": {\n"
            "                \"_nsec\": 1765267200000000000\n            }\n        },"),
        std::string::npos)
        << written;

    MarkersData data{};
    ASSERT_EQ(deserialize_deleted_markers(written, heap, data), DeserializeError::none);
    ASSERT_EQ(data.count, 2u);
    EXPECT_STREQ(data.records[0].note, note);
    EXPECT_EQ(data.records[1].note, nullptr);
    EXPECT_EQ(data.deleted_ns[0], deleted_ns[0]);
    EXPECT_EQ(data.deleted_ns[1], deleted_ns[1]);
    free_markers_data(data, heap);

    ASSERT_EQ(deserialize_markers(written, heap, data), DeserializeError::none);
    EXPECT_EQ(data.deleted_ns, nullptr);
    MarkersText again{};
    ASSERT_EQ(serialize_markers(data.records, data.count, heap, again), SerializeError::none);
    const std::string as_pack(again.data, again.length);
    free_markers_text(again, heap);
    free_markers_data(data, heap);
    EXPECT_EQ(as_pack.find("\"deleted\""), std::string::npos);
    records[0].note = nullptr;
    MarkersText plain{};
    ASSERT_EQ(serialize_markers(records, 2, heap, plain), SerializeError::none);
    EXPECT_EQ(as_pack.find("\"note\""), as_pack.find("\"note\"")) << "the note stays";
    EXPECT_NE(std::string(plain.data, plain.length), as_pack);
    EXPECT_EQ(std::string(plain.data, plain.length).find("\"note\""), std::string::npos) << "none: no key";
    free_markers_text(plain, heap);

    struct Case {
        const char* text;
        bool deleted_file;
        const char* why;
    } cases[] = {
        {R"({"markers": [{"note": 5}]})", false, "1:23: marker 1: \"note\" must be text, not a number"},
        {R"({"markers": [{"note": null, "deleted": 5}]})", false, nullptr},
        {R"({"markers": [{"note": null, "deleted": 5}]})", true,
         "1:40: marker 1: \"deleted\" must be an object like {\"_nsec\": 1765267200000000000}, not a number"},
        {R"({"markers": [{"deleted": {"_nsec": "x"}}]})", true,
         "1:36: marker 1: \"_nsec\" in \"deleted\" must be a whole number, not text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        DeserializeDetail detail{};
        const DeserializeError e = c.deleted_file ? deserialize_deleted_markers(c.text, heap, data, &detail)
                                                  : deserialize_markers(c.text, heap, data, &detail);
        free_markers_data(data, heap);
        if (!c.why) {
            EXPECT_EQ(e, DeserializeError::none);
            continue;
        }
        char why[256];
        TextBuilder b = text_builder(why, sizeof why);
        describe_load_failure(b, e, detail);
        EXPECT_EQ(std::string(text_view(b)), c.why);
    }
}
