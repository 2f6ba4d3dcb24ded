// GeoJSON packs: an export comes back as the same markers, and a feature that
// cannot be a marker is left out with its number and place; a text that is no
// FeatureCollection is no pack.
#include <gtest/gtest.h>

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

void load(Loaded& l, const std::string& text) {
    load_geojson_text(
        l.r, text, heap_allocator(), l.data,
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
