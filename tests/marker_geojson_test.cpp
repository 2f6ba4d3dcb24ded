// GeoJSON packs: an export comes back as the same markers, and a feature that
// cannot be a marker (a time the markers file cannot hold too) is left out with
// its number and place; a text that is no FeatureCollection is no pack.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "src/file_formats/marker_geojson.h"
#include "tools/marker_export.h"

namespace {

struct Loaded {
    MarkersFileRead r{};
    MarkersData data{};
    std::vector<std::string> left_out;  // "N at L:C: why"
    ~Loaded() { free_markers_data(data, heap_allocator()); }
};

void load(Loaded& l, const std::string& text, std::string_view file_pack = {}) {
    load_geojson_text(
        l.r, text, file_pack, heap_allocator(), l.data,
        [](void* d, const GeojsonLeftOut& left) {
            static_cast<std::vector<std::string>*>(d)->push_back(std::to_string(left.feature) + " at " +
                                                                 std::to_string(left.line) + ":" +
                                                                 std::to_string(left.column) + ": " + left.why);
        },
        &l.left_out);
}

TEST(GeojsonPack, AnExportComesBackAsTheSameMarkers) {
    MarkerDataV1 records[] = {
        {{-1234.5f, 567.25f, 42.1f},
         7,
         const_cast<char*>("Bone \"12\" \xE2\x80\x94 north"),
         {1765267200000000000},
         const_cast<char*>("Dinosaur bones"),
         true,
         {1765267300000000000}},
        {{0.1f, -0.0f, 3e38f}, 0, nullptr, {0}, nullptr, false, {0}},
    };
    const MarkersData data{records, 2, 2};
    std::vector<std::string> left;
    const std::string exported = export_markers(data, ExportFormat::geojson, left);
    Loaded l;
    load(l, exported);
    ASSERT_EQ(l.r.outcome, MarkersFileOutcome::read) << l.r.why;
    EXPECT_TRUE(l.left_out.empty());
    ASSERT_EQ(l.data.count, 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const MarkerDataV1 &a = records[i], &b = l.data.records[i];
        EXPECT_EQ(std::memcmp(&a.position, &b.position, sizeof a.position), 0);
        EXPECT_EQ(a.category, b.category);
        EXPECT_EQ(std::string(a.name ? a.name : ""), std::string(b.name ? b.name : ""));
        EXPECT_EQ(a.timestamp._nsec, b.timestamp._nsec);
        EXPECT_EQ(std::string(a.pack ? a.pack : ""), std::string(b.pack ? b.pack : ""));
        EXPECT_EQ(a.is_found, b.is_found);
        EXPECT_EQ(a.found._nsec, b.found._nsec);
    }
}

std::string text_or_none(const char* text) { return text ? std::string("\"") + text + "\"" : "(none)"; }

// Every field of a marker: a player's own with a note and a time to the
// nanosecond, a pack's found one, times before 1970 and at both ends of what
// the markers file holds. Read back with the file naming a pack, the own
// markers still have none.
TEST(GeojsonPack, AnExportImportedAgainGivesEqualRecords) {
    constexpr std::int64_t least = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
    MarkerDataV1 records[] = {
        {{1, 2, 3},
         1,
         const_cast<char*>("Camp"),
         {1765267200123456789},
         nullptr,
         false,
         {0},
         const_cast<char*>("gold under the tree")},
        {{10, 2, 3},
         7,
         const_cast<char*>("Bone 1"),
         {1765267200000000001},
         const_cast<char*>("Dinosaur bones"),
         true,
         {1765267300999999999},
         const_cast<char*>("\"behind\" the rock\n\xE2\x80\x94 north")},
        {{20, 2, 3}, 0, nullptr, {-1}, nullptr, true, {-999999999}, nullptr},
        {{30, 2, 3}, 9, nullptr, {least}, const_cast<char*>("Ends"), true, {most}, nullptr},
        {{40, 2, 3}, 9, nullptr, {most}, nullptr, true, {least}, const_cast<char*>("both ends")},
        {{50, 2, 3}, 3, nullptr, {0}, nullptr, false, {0}, nullptr},
    };
    const MarkersData data{records, std::size(records), std::size(records)};
    std::vector<std::string> left;
    const std::string exported = export_markers(data, ExportFormat::geojson, left);
    ASSERT_TRUE(left.empty());
    Loaded l;
    load(l, exported, "Trip");
    ASSERT_EQ(l.r.outcome, MarkersFileOutcome::read) << l.r.why;
    EXPECT_EQ(l.left_out, std::vector<std::string>{});
    ASSERT_EQ(l.data.count, std::size(records));
    for (std::size_t i = 0; i < l.data.count; ++i) {
        SCOPED_TRACE(i);
        const MarkerDataV1 &a = records[i], &b = l.data.records[i];
        EXPECT_EQ(std::memcmp(&a.position, &b.position, sizeof a.position), 0);
        EXPECT_EQ(a.category, b.category);
        EXPECT_EQ(text_or_none(a.name), text_or_none(b.name));
        EXPECT_EQ(a.timestamp._nsec, b.timestamp._nsec);
        EXPECT_EQ(text_or_none(a.pack), text_or_none(b.pack));
        EXPECT_EQ(a.is_found, b.is_found);
        EXPECT_EQ(a.found._nsec, b.found._nsec);
        EXPECT_EQ(text_or_none(a.note), text_or_none(b.note));
    }
}

// A feature that says nothing of its pack joins the file's; "pack": null and
// "" say it has none, as export writes a player's own marker.
TEST(GeojsonPack, AFeatureWithoutAPackJoinsTheFilesPack) {
    const struct {
        const char* properties;
        const char* pack;  // null: none
    } cases[] = {
        {"", "Orchids"},
        {", \"properties\": {\"name\": \"a\"}", "Orchids"},
        {", \"properties\": {\"pack\": 5}", "Orchids"},
        {", \"properties\": {\"pack\": null}", nullptr},
        {", \"properties\": {\"pack\": \"\"}", nullptr},
        {", \"properties\": {\"pack\": \"Bones\"}", "Bones"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.properties);
        Loaded l;
        load(l,
             std::string("{\"type\": \"FeatureCollection\", \"features\": [{\"type\": \"Feature\", \"geometry\": "
                         "{\"type\": \"Point\", \"coordinates\": [1, 2, 3]}") +
                 c.properties + "}]}",
             "Orchids");
        ASSERT_EQ(l.data.count, 1u) << l.r.why;
        EXPECT_EQ(text_or_none(l.data.records[0].pack), text_or_none(c.pack));
    }
}

// The markers file keeps a time as signed 64-bit nanoseconds since 1970:
// 1677-09-21T00:12:43.145224192Z to 2262-04-11T23:47:16.854775807Z. A time
// outside leaves its feature out, named; one of another form is no time, as
// before (the marker is taken without it).
TEST(GeojsonPack, ATimeTheMarkersFileCannotHoldLeavesItsFeatureOut) {
    constexpr const char* created_out =
        "1 at 2:1: its \"created\" time is outside 1677-09-21 to 2262-04-11, the times a markers file can hold";
    constexpr const char* found_out =
        "1 at 2:1: its \"found\" time is outside 1677-09-21 to 2262-04-11, the times a markers file can hold";
    constexpr const char* bad_nanosecond =
        "1 at 2:1: its \"created_nanosecond\" is not a whole number from 0 to 999999999";
    const struct {
        const char* properties;
        std::optional<std::int64_t> created;  // none: left out, with `why`
        const char* why;
    } cases[] = {
        {R"("created": "9999-12-31T23:59:59Z")", std::nullopt, created_out},
        {R"("created": "0000-01-01T00:00:00Z")", std::nullopt, created_out},
        {R"("created": "2262-04-11T23:47:16Z", "created_nanosecond": 854775807)", INT64_MAX, nullptr},
        {R"("created": "2262-04-11T23:47:16Z", "created_nanosecond": 854775808)", std::nullopt, created_out},
        {R"("created": "2262-04-11T23:47:17Z")", std::nullopt, created_out},
        {R"("created": "1677-09-21T00:12:43Z", "created_nanosecond": 145224192)", INT64_MIN, nullptr},
        {R"("created": "1677-09-21T00:12:43Z", "created_nanosecond": 145224191)", std::nullopt, created_out},
        {R"("created": "1677-09-21T00:12:43Z")", std::nullopt, created_out},
        {R"("created": "1677-09-21T00:12:44Z")", -9223372036000000000, nullptr},
        {R"("created": "1969-12-31T23:59:59Z", "created_nanosecond": 5)", -999999995, nullptr},
        {R"("created": "2025-12-09T08:00:00Z", "created_nanosecond": null)", 1765267200000000000, nullptr},
        {R"("created": "2025-12-09T08:00:00Z", "found": "9999-12-31T23:59:59Z")", std::nullopt, found_out},
        {R"("created": "2025-12-09T08:00:00Z", "created_nanosecond": 1000000000)", std::nullopt, bad_nanosecond},
        {R"("created": "2025-12-09T08:00:00Z", "created_nanosecond": -1)", std::nullopt, bad_nanosecond},
        {R"("created": "2025-12-09T08:00:00Z", "created_nanosecond": 0.5)", std::nullopt, bad_nanosecond},
        {R"("created": "2025-12-09T08:00:00Z", "created_nanosecond": "5")", std::nullopt, bad_nanosecond},
        {R"("created": "9999-12-31", "created_nanosecond": 5)", 0, nullptr},
        {R"("created": "yesterday")", 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.properties);
        Loaded l;
        load(l, std::string("{\"type\": \"FeatureCollection\", \"features\": [\n") +
                    "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [1, 2, 3]}, "
                    "\"properties\": {" +
                    c.properties + "}}\n]}");
        ASSERT_EQ(l.r.outcome, MarkersFileOutcome::read) << l.r.why;
        if (c.created) {
            EXPECT_EQ(l.left_out, std::vector<std::string>{});
            ASSERT_EQ(l.data.count, 1u);
            EXPECT_EQ(l.data.records[0].timestamp._nsec, *c.created);
        } else {
            EXPECT_EQ(l.left_out, std::vector<std::string>{c.why});
            EXPECT_EQ(l.data.count, 0u);
        }
    }
}

TEST(GeojsonPack, AFeatureThatCannotBeAMarkerIsLeftOutWithItsNumberAndPlace) {
    const std::string text =
        "{\"type\": \"FeatureCollection\", \"features\": [\n"
        "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [1, 2, 3]}, "
        "\"properties\": {\"name\": \"kept\", \"category\": \"Animal\"}},\n"
        "{\"type\": \"Feature\", \"geometry\": {\"type\": \"LineString\", \"coordinates\": [[1, 2], [3, 4]]}},\n"
        "  {\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [1e39, 2, 3]}},\n"
        "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [1, 2, 3]}, "
        "\"properties\": {\"category\": 10}},\n"
        "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [1, 2]}},\n"
        "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [5, 6, 7]}, "
        "\"properties\": {\"category\": \"Marker (Cross)\", \"name\": null}}\n"
        "]}";
    Loaded l;
    load(l, text);
    ASSERT_EQ(l.r.outcome, MarkersFileOutcome::read) << l.r.why;
    EXPECT_EQ(l.left_out, (std::vector<std::string>{
                              "2 at 3:1: not a Point",
                              "3 at 4:3: its position is not finite",
                              "4 at 5:1: its category is neither 0 to 9 nor a category's name",
                              "5 at 6:1: its coordinates are not [x, y, z]",
                          }));
    ASSERT_EQ(l.data.count, 2u);
    EXPECT_EQ(l.data.records[0].category, 7);
    EXPECT_STREQ(l.data.records[0].name, "kept");
    EXPECT_EQ(l.data.records[1].category, 9);
    EXPECT_EQ(l.data.records[1].name, nullptr);
}

TEST(GeojsonPack, ATextThatIsNoFeatureCollectionIsNoPack) {
    const struct {
        const char* text;
        const char* why;
    } cases[] = {
        {"{\"markers\": []}", "not GeoJSON: a pack is a FeatureCollection with a list of \"features\""},
        {"{\"type\": \"FeatureCollection\", \"features\": {}}",
         "not GeoJSON: a pack is a FeatureCollection with a list of \"features\""},
        {"[1, 2]", "not GeoJSON: a pack is a FeatureCollection with a list of \"features\""},
    };
    for (const auto& c : cases) {
        Loaded l;
        load(l, c.text);
        EXPECT_EQ(l.r.outcome, MarkersFileOutcome::damaged) << c.text;
        EXPECT_STREQ(l.r.why, c.why);
        EXPECT_EQ(l.data.count, 0u);
    }
    Loaded broken;
    load(broken, "{\"type\": \"FeatureCollection\",\n \"features\": [");
    EXPECT_EQ(broken.r.outcome, MarkersFileOutcome::damaged);
    EXPECT_EQ(std::string(broken.r.why).rfind("2:", 0), 0u) << broken.r.why;
}

TEST(GeojsonPack, OnlyGeojsonNamesAreTaken) {
    for (const char* yes : {"a.geojson", "Dinosaur bones.GeoJSON"}) EXPECT_TRUE(is_geojson_name(yes)) << yes;
    for (const char* no : {".geojson", "a.json", "a.geojson.txt", "geojson"}) EXPECT_FALSE(is_geojson_name(no)) << no;
}

}  // namespace
