// The settings file's format: what a file gives and the lines it earns, the
// new file's text, a switch that changes one key's line and keeps every other
// byte, and what is not read at all (too big, not a file).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "sim/game.h"
#include "src/file_formats/settings_file.h"
#include "tests/support/test_files.h"

namespace {

// The settings as one line, every key: "capture_waypoints = true, hidden_on_map =, ...".
std::string shown(const Settings& s) {
    std::string out;
    for (std::size_t k = 0; k < settings_key_count; ++k) {
        char value[128];
        TextBuilder b = text_builder(value, sizeof value);
        append_settings_value(b, s, static_cast<SettingsKey>(k));
        if (!out.empty()) out += "; ";
        out += std::string(settings_key_names[k]) + "=" + std::string(text_view(b));
    }
    return out;
}

const std::string defaults =
    "capture_waypoints=true; hidden_on_map=; blip_limit=500; route_colour=COLOR_RED; found_range=3; auto_found=true; "
    "found_on_map=dim";

struct Parsed {
    Settings settings;
    std::vector<std::string> lines;
};

Parsed parse(const std::string& text) {
    Parsed p;
    p.settings = parse_settings(
        text, "Quillfen/settings.ini",
        [](void* data, std::string_view m) { static_cast<Parsed*>(data)->lines.emplace_back(m); }, &p);
    return p;
}

struct FileCase {
    const char* what;
    std::string text;
    std::string settings;
    std::vector<std::string> lines;
};
void PrintTo(const FileCase& c, std::ostream* out) { *out << c.what; }

const std::string L = "Quillfen/settings.ini line ";

const FileCase file_cases[] = {
    {"empty", "", defaults, {}},
    {"every key set",
     "capture_waypoints = false\nhidden_on_map = 2, 5\nblip_limit = 120\nroute_colour = COLOR_BLUE\n",
     "capture_waypoints=false; hidden_on_map=2, 5; blip_limit=120; route_colour=COLOR_BLUE; found_range=3; "
     "auto_found=true; found_on_map=dim",
     {}},
    {"edges: the smallest limit, both ends of the categories, any case, no spaces, no last line end",
     "capture_waypoints=TRUE\nhidden_on_map=10,1\nblip_limit=1\nroute_colour=color_purple",
     "capture_waypoints=true; hidden_on_map=1, 10; blip_limit=1; route_colour=COLOR_PURPLE; found_range=3; "
     "auto_found=true; found_on_map=dim",
     {}},
    {"the largest limit and nothing hidden", "blip_limit = 500\nhidden_on_map =\n", defaults, {}},
    {"the found keys set, at their edges and in any case",
     "found_range = 50\nauto_found = FALSE\nfound_on_map = Hide\n",
     "capture_waypoints=true; hidden_on_map=; blip_limit=500; route_colour=COLOR_RED; found_range=50; "
     "auto_found=false; found_on_map=hide",
     {}},
    {"the smallest found range, and show",
     "found_range=1\nfound_on_map=show\nauto_found=true",
     "capture_waypoints=true; hidden_on_map=; blip_limit=500; route_colour=COLOR_RED; found_range=1; "
     "auto_found=true; found_on_map=show",
     {}},
    {"the found keys out of range or of the wrong kind: each at its default",
     "found_range = 51\nauto_found = yes\nfound_on_map = grey\n",
     defaults,
     {L + "1: found_range takes a whole number of metres from 1 to 50, not \"51\"; using the default, found_range = 3",
      L + "2: auto_found takes true or false, not \"yes\"; using the default, auto_found = true",
      L + "3: found_on_map takes dim, hide or show, not \"grey\"; using the default, found_on_map = dim"}},
    {"comments, blank lines and indents",
     "; mine\n# also mine\n\n   \n\t; indented comment\n  blip_limit = 42  \n; blip_limit = 7\n",
     "capture_waypoints=true; hidden_on_map=; blip_limit=42; route_colour=COLOR_RED; found_range=3; auto_found=true; "
     "found_on_map=dim",
     {}},
    {"CRLF and a BOM",
     "\xEF\xBB\xBF; comment\r\ncapture_waypoints = false\r\nhidden_on_map = 3\r\n",
     "capture_waypoints=false; hidden_on_map=3; blip_limit=500; route_colour=COLOR_RED; found_range=3; "
     "auto_found=true; found_on_map=dim",
     {}},
    {"a BOM only before the first key",
     "\xEF\xBB\xBF"
     "blip_limit = 9\n",
     "capture_waypoints=true; hidden_on_map=; blip_limit=9; route_colour=COLOR_RED; found_range=3; auto_found=true; "
     "found_on_map=dim",
     {}},
    {"out of range and not numbers: each key at its default, the good lines still count",
     "blip_limit = 0\nhidden_on_map = 2, 11\ncapture_waypoints = false\nroute_colour = COLOR_PINK\n",
     "capture_waypoints=false; hidden_on_map=; blip_limit=500; route_colour=COLOR_RED; found_range=3; auto_found=true; "
     "found_on_map=dim",
     {L + "1: blip_limit takes a whole number from 1 to 500, not \"0\"; using the default, blip_limit = 500",
      L + "2: hidden_on_map takes categories by number from 1 to 10 or by name (Foe, Animal), separated by commas, not "
          "\"2, 11\"; using the "
          "default, no category hidden",
      L + "4: route_colour takes one of COLOR_RED, COLOR_YELLOW, COLOR_BLUE, COLOR_GREEN, COLOR_WHITE, "
          "COLOR_PURPLE, not \"COLOR_PINK\"; using the default, route_colour = COLOR_RED"}},
    {"more wrong kinds",
     "blip_limit = 501\ncapture_waypoints = yes\nhidden_on_map = 2,,5\n",
     defaults,
     {L + "1: blip_limit takes a whole number from 1 to 500, not \"501\"; using the default, blip_limit = 500",
      L + "2: capture_waypoints takes true or false, not \"yes\"; using the default, capture_waypoints = true",
      L + "3: hidden_on_map takes categories by number from 1 to 10 or by name (Foe, Animal), separated by commas, not "
          "\"2,,5\"; using the "
          "default, no category hidden"}},
    {"signs, fractions and long values",
     "blip_limit = -5\nblip_limit = 12.5\nhidden_on_map = 0\n",
     defaults,
     {L + "1: blip_limit takes a whole number from 1 to 500, not \"-5\"; using the default, blip_limit = 500",
      L + "2: blip_limit is set again (first on line 1); the last one counts",
      L + "2: blip_limit takes a whole number from 1 to 500, not \"12.5\"; using the default, blip_limit = 500",
      L + "3: hidden_on_map takes categories by number from 1 to 10 or by name (Foe, Animal), separated by commas, not "
          "\"0\"; using the "
          "default, no category hidden"}},
    {"a key set twice: the last counts, with a line",
     "blip_limit = 100\ncapture_waypoints = false\nblip_limit = 200\n",
     "capture_waypoints=false; hidden_on_map=; blip_limit=200; route_colour=COLOR_RED; found_range=3; auto_found=true; "
     "found_on_map=dim",
     {L + "3: blip_limit is set again (first on line 1); the last one counts"}},
    {"a bad last one after a good one gives the default",
     "blip_limit = 100\r\nblip_limit = many\r\n",
     defaults,
     {L + "2: blip_limit is set again (first on line 1); the last one counts",
      L + "2: blip_limit takes a whole number from 1 to 500, not \"many\"; using the default, blip_limit = 500"}},
    {"an unknown key names the key likely meant",
     "blip_limt = 50\nCapture_Waypoints = false\nroute_color = COLOR_BLUE\nhidden = 2\n",
     defaults,
     {L + "1: unknown key \"blip_limt\", ignored; did you mean blip_limit?",
      L + "2: unknown key \"Capture_Waypoints\", ignored; did you mean capture_waypoints?",
      L + "3: unknown key \"route_color\", ignored; did you mean route_colour?",
      L + "4: unknown key \"hidden\", ignored; did you mean hidden_on_map?"}},
    {"a line without =",
     "capture_waypoints false\nblip_limit = 7\n",
     "capture_waypoints=true; hidden_on_map=; blip_limit=7; route_colour=COLOR_RED; found_range=3; auto_found=true; "
     "found_on_map=dim",
     {L + "1: \"capture_waypoints false\" has no \"=\" and is ignored; a setting is written key = value"}},
    {"text that is not UTF-8: a known key gets its default, another line is ignored",
     "route_colour = COLOR_BLUE\nroute_colour = \xFF\xFE\n\xC3\x28 = 1\nblip_limit = 8\n",
     "capture_waypoints=true; hidden_on_map=; blip_limit=8; route_colour=COLOR_RED; found_range=3; auto_found=true; "
     "found_on_map=dim",
     {L + "2: route_colour is set again (first on line 1); the last one counts",
      L + "2: the value of route_colour is not UTF-8 text; using the default, route_colour = COLOR_RED",
      L + "3: the line is not UTF-8 text and is ignored; save the file as UTF-8"}},
    {"CR line ends, as old Mac editors save them: every line holds",
     "capture_waypoints = false\rhidden_on_map = 2\rblip_limit = 9\r",
     "capture_waypoints=false; hidden_on_map=2; blip_limit=9; route_colour=COLOR_RED; found_range=3; auto_found=true; "
     "found_on_map=dim",
     {}},
    {"a CR alone among CRLFs ends its line, and lines are counted as an editor shows them",
     "blip_limit = 9\r\ncapture_waypoints = false\rhidden_on_map = 3\r\n\r\r\nblip_limt = 1\r\n",
     "capture_waypoints=false; hidden_on_map=3; blip_limit=9; route_colour=COLOR_RED; found_range=3; auto_found=true; "
     "found_on_map=dim",
     {L + "6: unknown key \"blip_limt\", ignored; did you mean blip_limit?"}},
    {"categories by name in any case, or by number and name as status shows them",
     "hidden_on_map = Foe, animal, ?, 10 Cross, 2 pin, 6\n",
     "capture_waypoints=true; hidden_on_map=2, 3, 5, 6, 8, 10; blip_limit=500; route_colour=COLOR_RED; found_range=3; "
     "auto_found=true; found_on_map=dim",
     {}},
    {"a name the table does not have",
     "hidden_on_map = Foes\n",
     defaults,
     {L + "1: hidden_on_map takes categories by number from 1 to 10 or by name (Foe, Animal), separated by commas, "
          "not \"Foes\"; using the default, no category hidden"}},
    {"a number with another category's name",
     "hidden_on_map = 3, 2 Foe\n",
     defaults,
     {L + "1: hidden_on_map takes categories by number from 1 to 10 or by name (Foe, Animal), separated by commas, "
          "not \"3, 2 Foe\"; using the default, no category hidden"}},
    {"a long value is quoted cut, at a character's start",
     "route_colour = " + std::string(39, 'x') + "\xC3\xA9yyyyyyyyyy\n",
     defaults,
     {L +
      "1: route_colour takes one of COLOR_RED, COLOR_YELLOW, COLOR_BLUE, COLOR_GREEN, COLOR_WHITE, "
      "COLOR_PURPLE, not \"" +
      std::string(39, 'x') + "...\"; using the default, route_colour = COLOR_RED"}},
};

class SettingsFileTest : public ::testing::TestWithParam<FileCase> {};

INSTANTIATE_TEST_SUITE_P(Files, SettingsFileTest, ::testing::ValuesIn(file_cases));

TEST_P(SettingsFileTest, GivesItsSettingsAndALineForEachFault) {
    const FileCase& c = GetParam();
    const Parsed p = parse(c.text);
    EXPECT_EQ(shown(p.settings), c.settings);
    EXPECT_EQ(p.lines, c.lines);
    EXPECT_EQ(p.settings.route_colour_hash, settings_route_colour_hash(p.settings));
}

TEST(SettingsFile, TheRouteColoursAreTheGamesHashesOfTheirNamesAndTheDefaultIsRed) {
    for (const RouteColour& c : route_colours) EXPECT_EQ(c.hash, sim_joaat(c.name)) << c.name;
    EXPECT_EQ(parse("").settings.route_colour_hash, sim_joaat("COLOR_RED"));
    EXPECT_EQ(parse("route_colour = COLOR_GREEN").settings.route_colour_hash, sim_joaat("COLOR_GREEN"));
    EXPECT_EQ(settings_route_colour_hash(Settings{}), sim_joaat("COLOR_RED")) << "a cleared record holds the default";
}

TEST(SettingsFile, TheNewFileHasACommentAboveEachKeyAndReadsBackAsItsSettings) {
    Settings s{};
    s.capture_off = true;
    s.hidden_on_map = 0b10010;
    settings_set_route_colour(s, 2);
    char text[2048];
    TextBuilder b = text_builder(text, sizeof text);
    append_new_settings_text(b, s);
    const std::string written(text_view(b));
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < written.size();) {
        const std::size_t end = written.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "every line ends in CRLF";
        lines.push_back(written.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), 2 * settings_key_count);
    for (std::size_t k = 0; k < settings_key_count; ++k) {
        EXPECT_EQ(lines[2 * k].rfind("; ", 0), 0u) << lines[2 * k];
        EXPECT_EQ(lines[2 * k + 1].rfind(std::string(settings_key_names[k]) + " =", 0), 0u) << lines[2 * k + 1];
    }
    EXPECT_EQ(lines[3], "hidden_on_map = 2, 5");
    const Parsed p = parse(written);
    EXPECT_TRUE(p.lines.empty());
    EXPECT_EQ(shown(p.settings), shown(s));
    b = text_builder(text, sizeof text);
    append_new_settings_text(b, Settings{});
    EXPECT_NE(std::string(text_view(b)).find("\r\nhidden_on_map =\r\n"), std::string::npos) << "no space at the end";
    EXPECT_EQ(shown(parse(std::string(text_view(b))).settings), defaults);
}

TEST(SettingsFile, TheDifferencesFromTheDefaultsInTheFilesOrder) {
    char text[256];
    TextBuilder b = text_builder(text, sizeof text);
    append_settings_differences(b, Settings{});
    EXPECT_EQ(std::string(text_view(b)), "");
    Settings s = parse("route_colour = COLOR_WHITE\nblip_limit = 80\ncapture_waypoints = false\n").settings;
    b = text_builder(text, sizeof text);
    append_settings_differences(b, s);
    EXPECT_EQ(std::string(text_view(b)), "capture_waypoints = false, blip_limit = 80, route_colour = COLOR_WHITE");
}

// ---- a switch changes one line -----------------------------------------------------------

struct SwitchCase {
    const char* what;
    std::string before;
    SettingsKey key;
    std::string after;
};
void PrintTo(const SwitchCase& c, std::ostream* out) { *out << c.what; }

const std::string players_file =
    "\xEF\xBB\xBF; my settings\r\n"
    "\r\n"
    "# no capture while I ride to shops\r\n"
    "capture_waypoints   =  true\r\n"
    "   hidden_on_map = 5\r\n"
    "blip_limit = 300\r\n"
    "; route_colour = COLOR_BLUE\r\n";

const SwitchCase switch_cases[] = {
    {"the player's own file: only the capture line", players_file, SettingsKey::capture_waypoints,
     "\xEF\xBB\xBF; my settings\r\n\r\n# no capture while I ride to shops\r\ncapture_waypoints = false\r\n"
     "   hidden_on_map = 5\r\nblip_limit = 300\r\n; route_colour = COLOR_BLUE\r\n"},
    {"the player's own file: only the hidden line", players_file, SettingsKey::hidden_on_map,
     "\xEF\xBB\xBF; my settings\r\n\r\n# no capture while I ride to shops\r\ncapture_waypoints   =  true\r\n"
     "hidden_on_map = 2, 5\r\nblip_limit = 300\r\n; route_colour = COLOR_BLUE\r\n"},
    {"a key set twice: the last line, the one that counts", "hidden_on_map = 1\nhidden_on_map = 3\n# end\n",
     SettingsKey::hidden_on_map, "hidden_on_map = 1\nhidden_on_map = 2, 5\n# end\n"},
    {"no line for the key: added with the file's line end", "# mine\nblip_limit = 300\n",
     SettingsKey::capture_waypoints, "# mine\nblip_limit = 300\ncapture_waypoints = false\n"},
    {"no line end at the end: one is added first", "# mine\r\nblip_limit = 300", SettingsKey::capture_waypoints,
     "# mine\r\nblip_limit = 300\r\ncapture_waypoints = false\r\n"},
    {"a commented-out line is not the key's", "; capture_waypoints = true\n", SettingsKey::capture_waypoints,
     "; capture_waypoints = true\ncapture_waypoints = false\n"},
    {"an empty file", "", SettingsKey::hidden_on_map, "hidden_on_map = 2, 5\r\n"},
    {"the last line of the key counts also when its value is not UTF-8", "hidden_on_map = 3\nhidden_on_map = \xFF\n",
     SettingsKey::hidden_on_map, "hidden_on_map = 3\nhidden_on_map = 2, 5\n"},
    {"a bad value is replaced", "blip_limit = 9\r\ncapture_waypoints = maybe\r\n", SettingsKey::capture_waypoints,
     "blip_limit = 9\r\ncapture_waypoints = false\r\n"},
    {"CR line ends: only the key's line, every other line and CR kept", "capture_waypoints = true\rblip_limit = 3\r",
     SettingsKey::capture_waypoints, "capture_waypoints = false\rblip_limit = 3\r"},
    {"CR line ends without the key: added with a CR", "; mine\rblip_limit = 3", SettingsKey::hidden_on_map,
     "; mine\rblip_limit = 3\rhidden_on_map = 2, 5\r"},
    {"a CR alone among CRLFs: the key's line ends there, the next line stays",
     "blip_limit = 3\r\nhidden_on_map = 1\rroute_colour = COLOR_BLUE\r\n", SettingsKey::hidden_on_map,
     "blip_limit = 3\r\nhidden_on_map = 2, 5\rroute_colour = COLOR_BLUE\r\n"},
    {"a CR alone at the end stays, and the line added after it takes the file's line end",
     "# mine\r\nblip_limit = 300\r", SettingsKey::capture_waypoints,
     "# mine\r\nblip_limit = 300\rcapture_waypoints = false\r\n"},
    {"categories the player named are written by name", "hidden_on_map = foe\n", SettingsKey::hidden_on_map,
     "hidden_on_map = Pin, Foe\n"},
};

class SettingsSwitchTest : public ::testing::TestWithParam<SwitchCase> {};

INSTANTIATE_TEST_SUITE_P(Switches, SettingsSwitchTest, ::testing::ValuesIn(switch_cases));

TEST_P(SettingsSwitchTest, ChangesOnlyThatKeysLine) {
    const SwitchCase& c = GetParam();
    Settings next = parse(c.before).settings;
    next.capture_off = true;
    next.hidden_on_map = 0b10010;  // 2 and 5
    std::vector<char> buffer(c.before.size() + settings_line_room);
    TextBuilder b = text_builder(buffer.data(), buffer.size());
    append_settings_text_with(b, c.before, next, c.key);
    EXPECT_FALSE(b.truncated);
    EXPECT_EQ(std::string(text_view(b)), c.after);
    const Settings back = parse(c.after).settings;
    if (c.key == SettingsKey::capture_waypoints) EXPECT_TRUE(back.capture_off);
    else EXPECT_EQ(back.hidden_on_map, 0b10010);
}

TEST(SettingsFile, AnySwitchOfAnyTextReadsBackAsSwitchedAndKeepsTheRestOfTheText) {
    // Texts made of the file's own pieces and stray bytes: keys twice, bad
    // values, values that are not UTF-8, lone CRs, a BOM anywhere.
    const std::vector<std::string> keys = {"capture_waypoints", "hidden_on_map", "blip_limit", "route_colour"};
    const std::vector<std::string> values = {"true",
                                             "false",
                                             "2, 5",
                                             "10",
                                             "500",
                                             "501",
                                             "COLOR_BLUE",
                                             "",
                                             "\xFF",
                                             "\xC3",
                                             "x\xC3\xA9",
                                             "Foe, 2 Pin",
                                             std::string(60, 'x')};
    const std::vector<std::string> ends = {"\n", "\r\n", "\r", ""};
    const std::vector<std::string> others = {"; c", "#", " ", "\xEF\xBB\xBF", "=", "blip_limt = 3", "\xFF = 1"};
    std::mt19937 rng(29);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (int n = static_cast<int>(rng() % 8); n > 0; --n) {
            if (rng() % 3 == 0) text += others[rng() % others.size()];
            else text += keys[rng() % keys.size()] + (rng() % 2 ? " = " : "=") + values[rng() % values.size()];
            text += ends[rng() % ends.size()];
        }
        Settings next = parse_settings(text, "p", nullptr, nullptr);
        next.capture_off = !next.capture_off;
        next.hidden_on_map = static_cast<std::uint16_t>(next.hidden_on_map ^ 0x3FFu);
        next.blip_limit = settings_blip_limit(next) == 7 ? 8 : 7;
        settings_set_route_colour(next, static_cast<std::uint8_t>((next.route_colour + 1) % route_colour_count));
        next.found_range = settings_found_range(next) == 7 ? 8 : 7;
        next.auto_found_off = !next.auto_found_off;
        next.found_on_map = static_cast<FoundOnMap>((static_cast<int>(settings_found_on_map(next)) + 1) % 3);
        const auto key = static_cast<SettingsKey>(rng() % settings_key_count);
        std::vector<char> buffer(text.size() + settings_line_room);
        TextBuilder b = text_builder(buffer.data(), buffer.size());
        append_settings_text_with(b, text, next, key);
        ASSERT_FALSE(b.truncated);
        const std::string after(text_view(b));
        const Settings back = parse_settings(after, "p", nullptr, nullptr);
        const Settings before = parse_settings(text, "p", nullptr, nullptr);
        Settings want = before;
        switch (key) {
            case SettingsKey::capture_waypoints: want.capture_off = next.capture_off; break;
            case SettingsKey::hidden_on_map: want.hidden_on_map = next.hidden_on_map; break;
            case SettingsKey::blip_limit: want.blip_limit = next.blip_limit; break;
            case SettingsKey::route_colour: settings_set_route_colour(want, next.route_colour); break;
            case SettingsKey::found_range: want.found_range = next.found_range; break;
            case SettingsKey::auto_found: want.auto_found_off = next.auto_found_off; break;
            case SettingsKey::found_on_map: want.found_on_map = next.found_on_map; break;
        }
        ASSERT_EQ(shown(back), shown(want)) << "round " << round << ", text [" << text << "]";
        // Either the key's line was added after the text as it was, or one
        // line changed in place: what differs holds no line end.
        if (after.compare(0, text.size(), text) == 0) continue;
        std::size_t head = 0;
        while (head < text.size() && head < after.size() && text[head] == after[head]) ++head;
        std::size_t tail = 0;
        while (tail < text.size() - head && tail < after.size() - head &&
               text[text.size() - 1 - tail] == after[after.size() - 1 - tail]) {
            ++tail;
        }
        const std::string changed = after.substr(head, after.size() - head - tail);
        const std::string removed = text.substr(head, text.size() - head - tail);
        ASSERT_EQ(changed.find_first_of("\r\n"), std::string::npos) << "one line changed in place, round " << round;
        ASSERT_EQ(removed.find_first_of("\r\n"), std::string::npos) << "no other line changed, round " << round;
    }
}

TEST(SettingsFile, ASwitchIsNotWrittenIntoUtf16NorPastTheSizeAStartReads) {
    const std::string line = "capture_waypoints = true\r\n";  // "false": one byte more
    const std::string comment = "; " + std::string(settings_file_most_bytes - line.size() - 4, 'x') + "\r\n";
    const std::string full = line + comment;  // exactly 64 KiB
    ASSERT_EQ(full.size(), settings_file_most_bytes);
    const std::string utf16_le(
        "\xFF\xFE"
        "c\0=\0t\0\r\0\n\0",
        12);
    const std::string utf16_be(
        "\xFE\xFF"
        "\0c\0=\0t\0\r\0\n",
        12);
    struct Case {
        const char* what;
        std::string text;
        SettingsKey key;
        SettingsRewrite result;
        std::size_t size;  // written, or what it would have been
    };
    const Case cases[] = {
        {"a longer value one byte past 64 KiB", full, SettingsKey::capture_waypoints, SettingsRewrite::too_big,
         settings_file_most_bytes + 1},
        {"a key added past 64 KiB", full, SettingsKey::hidden_on_map, SettingsRewrite::too_big,
         settings_file_most_bytes + std::string("hidden_on_map = 2, 5\r\n").size()},
        {"exactly 64 KiB after the switch", line + "; " + std::string(comment.size() - 5, 'x') + "\r\n",
         SettingsKey::capture_waypoints, SettingsRewrite::written, settings_file_most_bytes},
        {"UTF-16, little-endian", utf16_le, SettingsKey::capture_waypoints, SettingsRewrite::utf16, 0},
        {"UTF-16, big-endian", utf16_be, SettingsKey::hidden_on_map, SettingsRewrite::utf16, 0},
        {"UTF-16, little-endian, without a BOM", utf16_le.substr(2), SettingsKey::capture_waypoints,
         SettingsRewrite::utf16, 0},
        {"UTF-16, big-endian, without a BOM", utf16_be.substr(2), SettingsKey::hidden_on_map, SettingsRewrite::utf16,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Settings next = parse(c.text).settings;
        next.capture_off = true;
        next.hidden_on_map = 0b10010;
        std::vector<char> buffer(c.text.size() + settings_line_room);
        TextBuilder b = text_builder(buffer.data(), buffer.size());
        std::size_t size = 12345;
        EXPECT_EQ(rewrite_settings_text(b, c.text, next, c.key, &size), c.result);
        if (c.result == SettingsRewrite::written) {
            EXPECT_EQ(b.length, c.size);
            EXPECT_EQ(size, 0u);
            EXPECT_TRUE(parse(std::string(text_view(b))).settings.capture_off);
        } else {
            EXPECT_EQ(b.length, 0u) << "nothing to write";
            EXPECT_EQ(size, c.size);
        }
    }
}

TEST(SettingsFile, Utf16TextIsTakenAsUtf8WithEachBrokenPieceAReplacementCharacter) {
    struct Case {
        const char* what;
        std::u16string units;
        std::string odd_byte;  // after the units
        std::string utf8;
    };
    const Case cases[] = {
        {"ASCII and a line end", u"blip_limit = 5\r\n", "", "blip_limit = 5\r\n"},
        {"two and three bytes, and a pair", u"\u00E9\u20AC\U0001F600", "", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"a high half alone, then a letter", std::u16string(1, u'\xD83D') + u"x", "", "\xEF\xBF\xBDx"},
        {"a low half alone", std::u16string(1, u'\xDE00'), "", "\xEF\xBF\xBD"},
        {"a high half at the end", u"a" + std::u16string(1, u'\xD83D'), "", "a\xEF\xBF\xBD"},
        {"an odd last byte", u"a", "b", "a\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        for (const bool big : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (big ? ", big-endian" : ", little-endian"));
            std::string bytes;
            for (const char16_t u : c.units) {
                const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
                bytes += big ? std::string{hi, lo} : std::string{lo, hi};
            }
            bytes += c.odd_byte;
            char* text = nullptr;
            std::size_t size = 0;
            ASSERT_TRUE(settings_text_from_utf16(bytes, big, heap_allocator(), &text, &size));
            EXPECT_EQ(std::string(text, size), c.utf8);
            EXPECT_EQ(text[size], '\0');
            free_bytes(heap_allocator(), text, size + 1);
        }
    }
}

// ---- what is not read ----------------------------------------------------------------------

class SettingsReadTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fresh_test_dir();
        path = (dir / "settings.ini").string();
    }
    SettingsFileRead read(std::vector<std::string>& lines) {
        return read_settings_file(
            path.c_str(), heap_allocator(),
            [](void* data, std::string_view m) { static_cast<std::vector<std::string>*>(data)->emplace_back(m); },
            &lines);
    }
    void write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    std::filesystem::path dir;
    std::string path;
};

TEST_F(SettingsReadTest, AFileOfExactly64KiBIsReadAndOneByteMoreIsNot) {
    std::string text = "blip_limit = 77\n";
    text += std::string(settings_file_most_bytes - text.size(), '\n');
    write(text);
    std::vector<std::string> lines;
    SettingsFileRead r = read(lines);
    EXPECT_EQ(r.state, SettingsFileState::read);
    EXPECT_EQ(r.settings.blip_limit, 77);
    EXPECT_TRUE(lines.empty());

    write(text + "\n");
    r = read(lines);
    EXPECT_EQ(r.state, SettingsFileState::too_big);
    EXPECT_EQ(shown(r.settings), defaults);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         path + " is 65537 bytes, more than a settings file can be (65536): every setting is at its "
                                "default, and Quillfen leaves it alone; remove it to have it written anew"}));
}

TEST_F(SettingsReadTest, NothingButAFileIsRead) {
    std::vector<std::string> lines;
    EXPECT_EQ(read(lines).state, SettingsFileState::missing);
    EXPECT_TRUE(lines.empty()) << "a missing file is no fault: it is written with the defaults";
    std::filesystem::create_directory(path);
    const SettingsFileRead r = read(lines);
    EXPECT_EQ(r.state, SettingsFileState::not_a_file);
    EXPECT_EQ(shown(r.settings), defaults);
    EXPECT_EQ(lines, (std::vector<std::string>{path + " is a directory, not a settings file: every setting is at its "
                                                      "default, and Quillfen leaves it alone"}));
}

TEST_F(SettingsReadTest, AUtf16FileIsReadAndNamedAsSuchInOneLine) {
    const std::u16string text = u"capture_waypoints = false\r\nhidden_on_map = Foe\r\nblip_limt = 4\r\n";
    // Some editors save UTF-16 without a BOM: read as UTF-8, each line would be a fault of its own.
    for (const auto& [big, bom] : {std::pair{false, true}, {true, true}, {false, false}, {true, false}}) {
        SCOPED_TRACE(std::string(big ? "big-endian" : "little-endian") + (bom ? ", with its BOM" : ", without a BOM"));
        std::string bytes = !bom ? "" : big ? "\xFE\xFF" : "\xFF\xFE";
        for (const char16_t u : text) {
            const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
            bytes += big ? std::string{hi, lo} : std::string{lo, hi};
        }
        write(bytes);
        std::vector<std::string> lines;
        const SettingsFileRead r = read(lines);
        EXPECT_EQ(r.state, SettingsFileState::read);
        EXPECT_EQ(r.encoding, big ? SettingsEncoding::utf16_be : SettingsEncoding::utf16_le);
        EXPECT_EQ(shown(r.settings),
                  "capture_waypoints=false; hidden_on_map=5; blip_limit=500; route_colour=COLOR_RED; found_range=3; "
                  "auto_found=true; found_on_map=dim");
        EXPECT_EQ(r.keys_set, 2u);
        EXPECT_EQ(lines, (std::vector<std::string>{
                             path + " is UTF-16 text (what some editors call \"Unicode\"): Quillfen reads it, but "
                                    "cannot write the switches of the game into it; save it as UTF-8 (in Notepad: "
                                    "Save As, Encoding UTF-8)",
                             path + " line 3: unknown key \"blip_limt\", ignored; did you mean blip_limit?"}));
    }
}

}  // namespace
