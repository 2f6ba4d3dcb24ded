// The list page's layout as drawn: each row's label, distance and date in
// columns of their own at every window size, long texts cut between
// characters, the selected marker's coordinates on a line of their own, the
// title over the list and the empty list said in words. The texts' boxes are
// measured with the simulator's font, as its screenshots draw them.
#include <algorithm>

#include "sim/screenshot.h"
#include "sim_fixture.h"
#include "src/base/utf8.h"
#include "src/menu/drawing.h"
#include "src/menu/marker_list_page.h"
#include "src/menu/marker_list_rows.h"
#include "src/menu/marker_search.h"

namespace {

RunContext test_context() { return RunContext{heap_allocator(), scratch_allocator(thread_scratch_arena()), Logger{}}; }

bool whole_utf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        const Utf8Char c = utf8_decode(p, end);
        if (!c.valid) return false;
        p += c.length;
    }
    return true;
}

}  // namespace

TEST(FitText, ATextIsKeptWholeOrCutBetweenCharactersWithAnEllipsis) {
    RunContext ctx = test_context();
    struct Case {
        const char* name;
        std::string text;
        std::int32_t size, width;
        std::string shown;
    } cases[] = {
        {"fits", "Camp", 33, 400, "Camp"},
        {"exactly its estimate", "Camp", 33, estimated_text_pixels("Camp", 33), "Camp"},
        {"one pixel short", "Camp", 33, estimated_text_pixels("Camp", 33) - 1, "Ca..."},
        {"too narrow for the dots", "Camp", 33, 20, ""},
        {"no room", "Camp", 33, 0, ""},
        // Two-byte letters: the cut never splits one.
        {"accents", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 10, 65, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9..."},
        // Four-byte letters and a byte that is no UTF-8 at all.
        {"emoji", "\xF0\x9F\x90\xBB\xF0\x9F\x90\xBB\xF0\x9F\x90\xBB\xF0\x9F\x90\xBB", 10, 40,
         "\xF0\x9F\x90\xBB\xF0\x9F\x90\xBB..."},
        {"a stray byte",
         "ab\xFF"
         "cdefghij",
         10, 40,
         "ab\xFF"
         "c..."},
    };
    for (const Case& c : cases) {
        const std::string_view shown = fit_text(ctx, c.text, c.size, c.width);
        EXPECT_EQ(shown, c.shown) << c.name;
        EXPECT_LE(estimated_text_pixels(shown, c.size), std::max(c.width, 0)) << c.name;
    }
}

// The estimate is the one thing that keeps columns apart: it may not fall
// below the simulator's font for any character the rows may hold.
TEST(FitText, TheEstimateIsNeverNarrowerThanTheSimulatorsFont) {
    SimGame game{};
    sim_game_init(game);
    std::string ascii;
    for (char c = ' '; c <= '~'; ++c) ascii += c;
    const std::string samples[] = {ascii, "WWWWWWWWWWMMMMMMMMMM@@@@", "12345m away", "30 Sep 2025, 23:59",
                                   "\xC3\x89l\xC3\xA9phant \xD0\x96\xD0\x96 \xE6\xBC\xA2\xE5\xAD\x97"};
    for (int size : {22, 23, 26, 33, 39, 44, 53}) {
        for (const std::string& s : samples) {
            game.draw_list.clear();
            SimDrawItem d{};
            d.kind = SimDrawItem::Kind::text;
            d.label = "<TEXTFORMAT RIGHTMARGIN='0'><P ALIGN='Left'><FONT FACE='$catalog4' LETTERSPACING='0' SIZE='" +
                      std::to_string(size) + "'>~s~" + s + "</FONT></P><TEXTFORMAT>";
            game.draw_list.push_back(d);
            const std::vector<SimTextBox> boxes = sim_text_boxes(game);
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_GE(estimated_text_pixels(s, size), boxes[0].right - boxes[0].left) << size << " " << s;
        }
    }
}

namespace {

struct Window {
    int width, height;
};

struct LayoutCase {
    const char* name;
    Window window;
    std::int64_t selection;  // 0: the long row, 1: the short one
};

// 60 characters, wide letters first: the longest name a pack gives.
const std::string long_name = "WWW Mount Hagen's abandoned trapper cabin, north shore (old)";

class ListLayoutTest : public SimTest, public ::testing::WithParamInterface<LayoutCase> {
protected:
    void start() {
        ASSERT_EQ(long_name.size(), 60u);
        // Category 0, newest first: the long name 12 km away, then "Camp" close by.
        write_markers(markers_file_text({
            TextMarker{12345, 0, 0, 0, long_name, "", 1765267200000000000LL + 7200000000000LL},
            TextMarker{3, 4, 0, 0, "Camp", "", 1765267200000000000LL},
        }));
        const Window w = GetParam().window;
        begin(Scenario()
                  .with("frames", 1000)
                  .with("world", "{window: {width: " + std::to_string(w.width) + ", height: " +
                                     std::to_string(w.height) + "}, player: {position: [0, 0, 0]}, map: true}"));
        frames(2);
        game().pressed.insert(control_edit_markers);
        frames(1);
        ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
        plugin_state.list_page.selection = GetParam().selection;
        frames(1);
    }
    // The second tick's half of the frame's draws: both ticks draw the page alike.
    template <class T>
    static std::vector<T> second_half(const std::vector<T>& all) {
        return std::vector<T>(all.begin() + static_cast<std::ptrdiff_t>(all.size() / 2), all.end());
    }
    struct Box {
        double left, right, top, bottom;
    };
    std::vector<Box> row_boxes() {
        std::vector<Box> out;
        const double w = game().window.width, h = game().window.height;
        for (const SimDrawItem& d : game().draw_list) {
            if (d.kind != SimDrawItem::Kind::sprite || d.texture != "selection_box_bg_1a") continue;
            out.push_back(
                {(d.x - d.width / 2) * w, (d.x + d.width / 2) * w, (d.y - d.height / 2) * h, (d.y + d.height / 2) * h});
        }
        return second_half(out);
    }
};

const LayoutCase layout_cases[] = {
    {"w1280x720_LongRowSelected", {1280, 720}, 0},   {"w1280x720_ShortRowSelected", {1280, 720}, 1},
    {"w1024x768_LongRowSelected", {1024, 768}, 0},   {"w1024x768_ShortRowSelected", {1024, 768}, 1},
    {"w2560x1080_LongRowSelected", {2560, 1080}, 0}, {"w2560x1080_ShortRowSelected", {2560, 1080}, 1},
    {"w3440x1440_LongRowSelected", {3440, 1440}, 0}, {"w3440x1440_ShortRowSelected", {3440, 1440}, 1},
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Windows, ListLayoutTest, ::testing::ValuesIn(layout_cases),
                         [](const ::testing::TestParamInfo<LayoutCase>& p) { return std::string(p.param.name); });

TEST_P(ListLayoutTest, EachRowsTextsStayInTheirRowAndApartAndTheLinesOutsideTouchNoRow) {
    start();
    const std::vector<Box> rows = row_boxes();
    ASSERT_EQ(rows.size(), 2u);
    const std::vector<SimTextBox> texts = second_half(sim_text_boxes(game()));
    std::vector<std::vector<SimTextBox>> in_row(rows.size());
    std::vector<SimTextBox> outside;
    for (const SimTextBox& t : texts) {
        const double middle = (t.top + t.bottom) / 2;
        bool placed = false;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (middle > rows[r].top && middle < rows[r].bottom) {
                in_row[r].push_back(t);
                placed = true;
            }
        }
        if (!placed) outside.push_back(t);
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(in_row[r].size(), 3u) << "label, distance, date in row " << r;
        std::sort(in_row[r].begin(), in_row[r].end(), [](const auto& a, const auto& b) { return a.left < b.left; });
        for (std::size_t i = 0; i < in_row[r].size(); ++i) {
            const SimTextBox& t = in_row[r][i];
            EXPECT_GE(t.left, rows[r].left) << t.text;
            EXPECT_LE(t.right, rows[r].right) << t.text;
            EXPECT_GE(t.top, rows[r].top) << t.text;
            EXPECT_LE(t.bottom, rows[r].bottom) << t.text;
            if (i > 0) {
                EXPECT_LE(in_row[r][i - 1].right, t.left) << in_row[r][i - 1].text << " | " << t.text;
            }
        }
    }
    // Newest first: the long name's row, cut between characters, with its whole distance.
    const std::string& label = in_row[0][0].text;
    ASSERT_TRUE(label.ends_with("...")) << label;
    EXPECT_TRUE(("1/2 " + long_name).starts_with(label.substr(0, label.size() - 3))) << label;
    EXPECT_TRUE(whole_utf8(label));
    EXPECT_EQ(in_row[0][1].text, "12345m away");
    EXPECT_EQ(in_row[1][0].text, "2/2 Camp");
    EXPECT_EQ(in_row[1][1].text, "5m away");

    // Outside the rows: the title above and the selected marker's coordinates
    // under them, whole, inside the window and over no row.
    std::vector<std::string> outside_texts;
    for (const SimTextBox& t : outside) outside_texts.push_back(t.text);
    const std::string coordinates = GetParam().selection == 0 ? "x: 12345.0, y: 0.0, z: 0.0" : "x: 3.0, y: 4.0, z: 0.0";
    EXPECT_EQ(outside_texts, (std::vector<std::string>{"Marker (Flag)", coordinates}));
    for (const SimTextBox& t : outside) {
        EXPECT_GE(t.left, 0) << t.text;
        EXPECT_LE(t.right, game().window.width) << t.text;
        EXPECT_LE(t.bottom, game().window.height) << t.text;
        for (const Box& r : rows) {
            EXPECT_TRUE(t.bottom <= r.top || t.top >= r.bottom) << t.text;
        }
    }
    ASSERT_TRUE(end());
}

namespace {

class ListTitleTest : public SimTest {
protected:
    void start() {
        // Two markers that match "bear", in two categories; none in Foe (category 4).
        write_markers(markers_file_text({
            TextMarker{10, 0, 0, 0, "Bear cave", "", 1765267200000000000LL},
            TextMarker{20, 0, 0, 7, "Bear trap", "", 1765267300000000000LL},
        }));
        begin(Scenario()
                  .with("frames", 1000)
                  .with("world",
                        "{window: {width: 1920, height: 1080}, player: {position: [0, "
                        "0, 0]}, map: true}"));
        frames(2);
        game().pressed.insert(control_edit_markers);
        frames(1);
        ASSERT_EQ(plugin_state.menu.state, MENU_FULL);
        frames(1);  // both ticks draw the page
    }
    // The texts drawn outside the rows by the second tick: the title, then the empty list's line or the coordinates.
    std::vector<std::string> outside_rows() const {
        std::vector<std::string> out;
        const std::vector<DrawnText> all = drawn_texts();
        for (std::size_t i = all.size() / 2; i < all.size(); ++i) {
            if (!all[i].in_rows() || all[i].text.starts_with("No markers")) out.push_back(all[i].text);
        }
        return out;
    }
    void search(const std::optional<std::string>& text) {
        game().next_keyboard = SimKeyboardScript{1, false, text};
        frames(3);
        game().pressed.insert(control_search);
        frames(5);
        ASSERT_FALSE(game().keyboard.open);
    }
    // Whether the tile of `category` was drawn as the current one in the last frame (its icon at full strength).
    bool tile_current(std::int64_t category) {
        const char* sprite = plugin_state.categories[static_cast<std::size_t>(category)].sprite;
        bool current = false;
        for (auto* e : calls("draw_sprite", game().frame - 1)) {
            if (e->texts[1] == sprite) current = static_cast<std::int32_t>(e->args[10]) == 255;
        }
        return current;
    }
};

}  // namespace

TEST_F(ListTitleTest, TheTitleNamesTheCategoryOrTheSearchAndAnEmptyListSaysSo) {
    start();
    EXPECT_EQ(outside_rows(), (std::vector<std::string>{"Marker (Flag)", "x: 10.0, y: 0.0, z: 0.0"}));
    EXPECT_TRUE(tile_current(0));
    plugin_state.current_category = 4;
    RunContext ctx = script_context();
    update_marker_list_cache(ctx, plugin_state, true);
    frames(1);
    EXPECT_EQ(outside_rows(), (std::vector<std::string>{"Marker (Foe)", "No markers in Marker (Foe) yet"}));

    search("bear");
    ASSERT_TRUE(plugin_state.search.in_force);
    frames(2);
    EXPECT_EQ(outside_rows(), (std::vector<std::string>{"Search: \"bear\" (2)", "x: 20.0, y: 0.0, z: 0.0"}));
    for (std::int64_t c = 0; c < 10; ++c) EXPECT_FALSE(tile_current(c)) << "no tile current in a search: " << c;

    search(std::nullopt);  // "Clear Search"
    ASSERT_FALSE(plugin_state.search.in_force);
    search("zzz");
    frames(2);
    EXPECT_EQ(outside_rows(), (std::vector<std::string>{"Search: \"zzz\" (0)", "No markers match \"zzz\""}));
    ASSERT_TRUE(end());
}

TEST_F(ListTitleTest, DetailsOfTheSelectedMarkerStandUnderItsCoordinatesCutToTheListsWidth) {
    start();
    const std::string long_line(300, 'W');
    const char* lines[] = {"Dinosaur bones: 12 of 30 found", long_line.c_str(), "a third line is not drawn"};
    std::size_t before = 0;
    // After the plug-in's frame, so that its draws come first.
    auto details = [&](std::size_t count) {
        in_script([&, count] {
            before = sim_text_boxes(game()).size();
            RunContext ctx = script_context();
            draw_selected_marker_details(ctx, plugin_state, lines, count);
        });
        const std::vector<SimTextBox> all = sim_text_boxes(game());
        return std::vector<SimTextBox>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    };
    const std::vector<SimTextBox> boxes = details(3);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Dinosaur bones: 12 of 30 found");
    EXPECT_TRUE(boxes[1].text.ends_with("...")) << boxes[1].text;
    // Under the coordinates' line (0.845 of the height), one under the other, inside the rows' width.
    const double rows_left = (0.5 - 1.09 * 1080.0 / 1920 / 2) * 1920, rows_right = 1920 - rows_left;
    EXPECT_GT(boxes[0].top, 0.845 * 1080 + 33);
    EXPECT_GE(boxes[1].top, boxes[0].bottom);
    EXPECT_LE(boxes[1].bottom, 1080);
    for (const SimTextBox& b : boxes) {
        EXPECT_GE(b.left, rows_left) << b.text;
        EXPECT_LE(b.right, rows_right) << b.text;
    }
    // Nothing when no row is selected.
    plugin_state.list_page.selection = 5;
    EXPECT_TRUE(details(2).empty());
    ASSERT_TRUE(end());
}
