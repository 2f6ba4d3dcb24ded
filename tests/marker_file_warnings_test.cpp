// What the game would drop or change in a markers file that loads, each with
// its place: the lines `quillfen-markers check` prints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/file_formats/marker_file.h"
#include "src/file_formats/marker_file_warnings.h"
#include "src/file_formats/marker_keys.h"

namespace {

std::vector<std::string> warnings_of(const std::string& text) {
    std::vector<std::string> lines;
    const std::size_t n = list_markers_warnings(
        text, heap_allocator(),
        [](void* data, const char* line) { static_cast<std::vector<std::string>*>(data)->push_back(line); }, &lines);
    EXPECT_EQ(n, lines.size()) << text;
    return lines;
}

const std::string timestamp = R"("timestamp": {"_nsec": 1765267200000000000})";
// A marker the game reads as written, with what follows it inside the braces.
std::string full(const std::string& more = "") {
    return R"({"position": [1, 2, 3], "category": 1, )" + timestamp + more + "}";
}

struct WarningCase {
    const char* what;
    std::string text;
    std::vector<std::string> lines;
};

class MarkerFileWarnings : public testing::TestWithParam<WarningCase> {};

TEST_P(MarkerFileWarnings, NameThePlaceAndWhatTheGameMakesOfIt) {
    const WarningCase& c = GetParam();
    MarkersData data{};
    ASSERT_EQ(deserialize_markers(c.text, heap_allocator(), data), DeserializeError::none) << "the file loads";
    free_markers_data(data, heap_allocator());
    EXPECT_EQ(warnings_of(c.text), c.lines);
}

const WarningCase warning_cases[] = {
    {"a file as the game writes it",
     "{\"markers\": [" + full() + ", " + full(R"(, "name": "Überfall — 北")") + "]}",
     {}},
    {"no markers at all", "{}", {}},
    {"the list under a capital M",
     "{\n    \"Markers\": [" + full() + "]\n}",
     {"2:5: the game ignores the key \"Markers\" (did you mean \"markers\"?)"}},
    {"a key of no meaning beside no list",
     R"({"version": 2})",
     {"1:2: the game ignores the key \"version\" (the markers go under \"markers\")"}},
    {"a misspelt position: ignored, and so the marker has none",
     "{\"markers\": [\n  {\"postion\": [1, 2, 3], \"category\": 1, " + timestamp + "}\n]}",
     {"2:3: marker 1 has no \"position\": the game puts it at 0, 0, 0",
      "2:4: marker 1: the game ignores the key \"postion\" (did you mean \"position\"?)"}},
    {"every field missing",
     R"({"markers": [{"name": "bare"}]})",
     {"1:14: marker 1 has no \"position\": the game puts it at 0, 0, 0",
      "1:14: marker 1 has no \"category\": the game makes it a Marker (Flag)",
      "1:14: marker 1 has no \"timestamp\": the game dates it 1 January 1970"}},
    {"a timestamp without _nsec, and a key in it of no meaning",
     R"({"markers": [{"position": [1, 2, 3], "category": 1, "timestamp": {"nsec": 5}}]})",
     {"1:66: marker 1: \"timestamp\" has no \"_nsec\": the game dates the marker 1 January 1970",
      "1:67: marker 1: the game ignores the key \"nsec\" in \"timestamp\" (did you mean \"_nsec\"?)"}},
    {"a category outside the table, and one inside",
     "{\"markers\": [" + full() + ",\n" + R"({"position": [1, 2, 3], "category": 12, )" + timestamp + "}]}",
     {"2:37: marker 2: category 12 is none of the game's ten (0 to 9): the marker is kept but never shown, on the "
      "map or in the menu"}},
    {"a negative category",
     R"({"markers": [{"position": [1, 2, 3], "category": -1, )" + timestamp + "}]}",
     {"1:50: marker 1: category -1 is none of the game's ten (0 to 9): the marker is kept but never shown, on the "
      "map or in the menu"}},
    {"a name in Latin-1",
     "{\"markers\": [" + full(", \"name\": \"Caf\xE9 du Nord\"") + "]}",
     {"1:106: marker 1: \"name\" is not valid UTF-8 (was the file saved as Latin-1 or another code page?): the game "
      "reads each broken character as \"\xEF\xBF\xBD\" and saves it so"}},
    {"an escaped surrogate without its pair",
     "{\"markers\": [" + full(", \"name\": \"\\uD800\"") + "]}",
     {"1:106: marker 1: \"name\" is not valid UTF-8 (was the file saved as Latin-1 or another code page?): the game "
      "reads each broken character as \"\xEF\xBF\xBD\" and saves it so"}},
    {"a real U+FFFD is no fault", "{\"markers\": [" + full(", \"name\": \"\xEF\xBF\xBD\"") + "]}", {}},
    {"a broken byte in a name the game does not take",
     "{\"markers\": [" + full(", \"name\": \"\xE9\", \"name\": \"ok\"") + "]}",
     {"1:98: marker 1: \"name\" is given again later: the game takes the last one"}},
    {"a name cut by an escaped NUL",
     "{\"markers\": [" + full(", \"name\": \"camp\\u0000 north\"") + "]}",
     {"1:106: marker 1: \"name\" holds \\u0000: the game keeps only the text before it"}},
    {"a note cut by an escaped NUL",
     "{\"markers\": [" + full(", \"note\": \"rifle\\u0000 ammo\"") + "]}",
     {"1:106: marker 1: \"note\" holds \\u0000: the game keeps only the text before it"}},
    // deleted.json's own key: the game takes its markers as a pack, without it.
    {"the time of a delete, in deleted.json",
     "{\"markers\": [" + full(", \"deleted\": {\"_nsec\": 5}") + "]}",
     {"1:98: marker 1: the game ignores the key \"deleted\""}},
    {"positions that are not finite numbers",
     R"({"markers": [{"position": [1, NaN, 3], "category": 1, )" + timestamp + "},\n" +
         R"({"position": [-Infinity, 1e39, 3], "category": 1, )" + timestamp + "}]}",
     {"1:31: marker 1: \"position\" holds NaN, not a finite number: the marker is kept but never shown on the map",
      "2:15: marker 2: \"position\" holds -Infinity, not a finite number: the marker is kept but never shown on "
      "the map"}},
    {"a number beyond a float's range",
     R"({"markers": [{"position": [1, 2, 4e38], "category": 1, )" + timestamp + "}]}",
     {"1:34: marker 1: \"position\" holds a number too large for a place in the game (beyond 3.4e38), not a finite "
      "number: the marker is kept but never shown on the map"}},
    {"keys given twice: the last one counts",
     R"({"markers": [], "markers": [{"category": 2, "category": 3, "position": [1, 2, 3], )" + timestamp + "}]}",
     {"1:2: \"markers\" is given again later: the game takes the last one",
      "1:30: marker 1: \"category\" is given again later: the game takes the last one"}},
    {"warnings in the order of the text, the file's keys after the list included",
     "{\"a\": 1,\n \"markers\": [" + full(", \"Name\": \"x\"") + "],\n \"zz\": 2}",
     {"1:2: the game ignores the key \"a\"",
      "2:98: marker 1: the game ignores the key \"Name\" (did you mean \"name\"?)",
      "3:2: the game ignores the key \"zz\""}},
    {"a key with a quote and a line break is shown escaped",
     "{\"markers\": [" + full(", \"say \\\"hi\\\"\\n\": 1") + "]}",
     {"1:98: marker 1: the game ignores the key \"say \\\"hi\\\"\\n\""}},
};

INSTANTIATE_TEST_SUITE_P(Files, MarkerFileWarnings, testing::ValuesIn(warning_cases));

// Texts that parse but do not load: the checker is handed any text (the
// markers fuzz target hands it every input), so none of them may take
// anything from the tree that is not there. Under the sanitizers a read
// beside the tree fails the test; without them, a read through null ends it.
std::string repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

class MarkerFileWarningsOfFilesThatDoNotLoad : public testing::TestWithParam<WarningCase> {};

TEST_P(MarkerFileWarningsOfFilesThatDoNotLoad, AreWalkedSafely) {
    const WarningCase& c = GetParam();
    MarkersData data{};
    ASSERT_NE(deserialize_markers(c.text, heap_allocator(), data), DeserializeError::none) << "the file does not load";
    EXPECT_EQ(warnings_of(c.text), c.lines);
}

const WarningCase not_loading_cases[] = {
    // Found by the markers fuzz target: "markers" holds an object, whose
    // string of broken UTF-8 stands where a marker's name would.
    {"a list that is an object, a name in it not UTF-8", "{\"markers\": {\"a\": {\"name\": \"x\xFF\"}}}", {}},
    // Found by the same target at once, once it checked each input also in
    // the place of the list: U+3000 is white space to JSON5, "\\" before a
    // line break continues the text, and each surrogate stands without its pair.
    {"a list that is an object holding broken text in an array",
     "{\"markers\": \xE3\x80\x80{\"a\":['\\udaa8\\\n\\udddb\\ude15\\f\"',],}}",
     {}},
    {"a list that is a text not UTF-8", "{\"markers\": \"x\xFF\"}", {}},
    {"a marker that is an array holding broken text", "{\"markers\": [[\"x\xFF\", \"\xFF\"]]}", {}},
    {"markers of every kind, the object among them with a broken name",
     "{\"markers\": [1, \"\xFF\", null, [{\"name\": \"\xFF\"}],\n" + full(", \"name\": \"ok\xFF\"") + "]}",
     {"2:93: marker 5: \"name\" is not valid UTF-8 (was the file saved as Latin-1 or another code page?): the game "
      "reads each broken character as \"\xEF\xBF\xBD\" and saves it so"}},
    {"every field of the wrong kind",
     R"({"markers": [{"position": {"x": 1}, "category": "5", "name": ["\uD800"], "timestamp": 7}]})",
     {"1:87: marker 1: \"timestamp\" has no \"_nsec\": the game dates the marker 1 January 1970"}},
    {"a time stamp of the wrong kind, given twice",
     R"({"markers": [{"position": [1, 2, 3], "category": 1, "timestamp": {"_nsec": "x", "_nsec": [], "nsec": 1}}]})",
     {"1:67: marker 1: \"_nsec\" is given again later: the game takes the last one",
      "1:94: marker 1: the game ignores the key \"nsec\" in \"timestamp\" (did you mean \"_nsec\"?)"}},
    {"a file that is an array", "[{\"markers\": [], \"name\": \"\xFF\"}]", {}},
    {"a file that is a text", "\"\xFF\"", {}},
    {"a long key of control characters is shown escaped and cut",
     "{\"markers\": [], \"" + std::string(70, '\x1B') + "\": 1, \"markers\": 5}",
     {"1:2: \"markers\" is given again later: the game takes the last one",
      "1:17: the game ignores the key \"" + repeated("\\u001b", 40) + "...\""}},
};

INSTANTIATE_TEST_SUITE_P(Files, MarkerFileWarningsOfFilesThatDoNotLoad, testing::ValuesIn(not_loading_cases));

TEST(MarkerFileWarningsLimits, AFileThatDoesNotParseHasNoWarningsButSaysSo) {
    int calls = 0;
    EXPECT_EQ(list_markers_warnings(
                  "{\"markers\": [", heap_allocator(), [](void* d, const char*) { ++*static_cast<int*>(d); }, &calls),
              SIZE_MAX);
    EXPECT_EQ(calls, 0);
}

// One walk for all: a warning in each of many markers is placed in time.
TEST(MarkerFileWarningsLimits, ManyMarkersWithWarningsArePlacedInOneWalk) {
    std::string text = "{\"markers\": [\n";
    const int count = 20000;
    for (int i = 0; i < count; ++i) text += std::string(i ? ",\n" : "") + R"({"position": [1, 2, 3], "category": 12})";
    text += "]}";
    const std::vector<std::string> lines = warnings_of(text);
    ASSERT_EQ(lines.size(), 2u * count);
    EXPECT_EQ(lines[0], "2:1: marker 1 has no \"timestamp\": the game dates it 1 January 1970");
    EXPECT_EQ(
        lines.back().rfind(std::to_string(count + 1) + ":37: marker " + std::to_string(count) + ": category 12", 0), 0u)
        << lines.back();
}

// A key given again and again: each repeat is found against a set of the
// keys the game reads, not by a scan of the marker's members per key (which
// took 21 s for 100,000 repeats).
TEST(MarkerFileWarningsLimits, AKeyGivenOneHundredThousandTimesIsWarnedAtEachRepeat) {
    const int repeats = 100000;
    std::string text = R"({"markers": [{"position": [1, 2, 3], "category": 1, )" + timestamp;
    for (int i = 0; i < repeats; ++i) text += i % 2 ? ",\n\"name\": \"x\xFF\"" : ",\n\"name\": \"x\"";
    text += "}]}";
    const std::vector<std::string> lines = warnings_of(text);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(repeats)) << "every repeat but the last, and its broken text";
    EXPECT_EQ(lines[0], "2:1: marker 1: \"name\" is given again later: the game takes the last one");
    EXPECT_EQ(lines[repeats - 2], std::to_string(repeats) +
                                      ":1: marker 1: \"name\" is given again later: the game "
                                      "takes the last one");
    EXPECT_EQ(lines.back().rfind(std::to_string(repeats + 1) + ":9: marker 1: \"name\" is not valid UTF-8", 0), 0u)
        << lines.back();
}

// ---- the table of keys drives the writer, the reader and the checker --------------------

// A value of each kind the game takes, as a file may hold it.
std::string value_of(MarkerValueKind kind) {
    switch (kind) {
        case MarkerValueKind::position: return "[1, 2, 3]";
        case MarkerValueKind::whole_number: return "1";
        case MarkerValueKind::text: return "\"n\"";
        case MarkerValueKind::timestamp: return R"({"_nsec": 5})";
        case MarkerValueKind::marker_list: return "[]";
    }
    return "";
}

// One marker holding every key of the table but `left_out`, or with `odd`'s value replaced by `value`.
std::string marker_without(std::size_t left_out, std::size_t odd = SIZE_MAX, const std::string& value = "") {
    std::string m = "{";
    for (std::size_t k = 0; k < std::size(marker_keys); ++k) {
        if (k == left_out) continue;
        if (m.size() > 1) m += ", ";
        m += "\"" + std::string(marker_keys[k].key) + "\": " + (k == odd ? value : value_of(marker_keys[k].kind));
    }
    return "{\"markers\": [" + m + "}]}";
}

std::string load_failure(const std::string& text) {
    MarkersData data{};
    DeserializeDetail detail{};
    const DeserializeError e = deserialize_markers(text, heap_allocator(), data, &detail);
    free_markers_data(data, heap_allocator());
    if (e == DeserializeError::none) return "<loads>";
    char why[256];
    TextBuilder b = text_builder(why, sizeof why);
    describe_load_failure(b, e, detail);
    return why;
}

bool ends_with(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

TEST(MarkerFileKeys, EachKeyIsWrittenInItsOrderReadByItsKindAndCheckedWhenMissing) {
    // Written in the table's order, each once.
    const MarkerDataV1 record{{1, 2, 3}, 4,   const_cast<char*>("n"), {5}, const_cast<char*>("p"),
                              true,      {6}, const_cast<char*>("o")};
    MarkersText written{};
    ASSERT_EQ(serialize_markers(&record, 1, heap_allocator(), written), SerializeError::none);
    const std::string file(written.data, written.length);
    free_markers_text(written, heap_allocator());
    std::size_t last = file.find("\"" + std::string(file_keys[key_markers].key) + "\": [");
    ASSERT_NE(last, std::string::npos) << file;
    for (const MarkerFileKey& k : marker_keys) {
        const std::size_t at = file.find("\"" + std::string(k.key) + "\": ");
        ASSERT_NE(at, std::string::npos) << k.key << " in\n" << file;
        EXPECT_GT(at, last) << k.key << " out of the table's order";
        last = at;
    }
    EXPECT_NE(file.find("\"" + std::string(timestamp_keys[key_nsec].key) + "\": 5"), std::string::npos) << file;
    EXPECT_NE(file.find("\"" + std::string(timestamp_keys[key_nsec].key) + "\": 6"), std::string::npos) << file;

    ASSERT_EQ(warnings_of(marker_without(SIZE_MAX)), std::vector<std::string>{}) << "every key, each of its kind";
    for (std::size_t k = 0; k < std::size(marker_keys); ++k) {
        const MarkerFileKey& key = marker_keys[k];
        SCOPED_TRACE(std::string(key.key));
        // Missing: the file loads, and the checker says what the game makes of it.
        const std::vector<std::string> lines = warnings_of(marker_without(k));
        EXPECT_EQ(load_failure(marker_without(k)), "<loads>");
        if (key.when_missing) {
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_TRUE(ends_with(lines[0], " has no \"" + std::string(key.key) + "\": " + key.when_missing))
                << lines[0];
        } else {
            EXPECT_EQ(lines, std::vector<std::string>{});
        }
        // Of another kind (true is no key's): the load fails, naming the key and its kind.
        EXPECT_TRUE(ends_with(load_failure(marker_without(SIZE_MAX, k, "true")),
                              std::string(key.subject) + " " + key.must_be + ", not true"))
            << load_failure(marker_without(SIZE_MAX, k, "true"));
    }
}

}  // namespace
