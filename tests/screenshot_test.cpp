// Screenshots of the draw list: hand-made frames rendered to PNG and read back,
// checking pixels that show the geometry (rectangles, text boxes, alignment),
// that odd input neither crashes nor spoils what follows, and that a scenario's
// screenshots appear in the game directory.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "sim/screenshot.h"
#include "sim_fixture.h"

namespace {

struct Rgb {
    int r, g, b;
};

struct Image {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x]; }
};

// Reads a PNG back with Cairo; an empty image when it cannot.
Image read_png(const std::filesystem::path& path) {
    Image image;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(s);
        image.width = cairo_image_surface_get_width(s);
        image.height = cairo_image_surface_get_height(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < image.height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
            for (int x = 0; x < image.width; ++x) {
                // Opaque pixels (the image has no transparency), so no premultiplication to undo.
                const std::uint32_t p = row[x];
                image.pixels.push_back(Rgb{int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)});
            }
        }
    }
    cairo_surface_destroy(s);
    return image;
}

bool near(const Rgb& a, const Rgb& b, int tolerance = 0) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

::testing::AssertionResult is_colour(const Image& image, int x, int y, const Rgb& want, int tolerance = 0) {
    const Rgb got = image.at(x, y);
    if (near(got, want, tolerance)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << got.r << ", " << got.g << ", "
                                         << got.b << "), not (" << want.r << ", " << want.g << ", " << want.b << ")";
}

// The bounding box of the pixels that differ from the background within [x0, x1) x [y0, y1).
struct Ink {
    int count = 0, min_x = 0, max_x = 0, min_y = 0, max_y = 0;
    Rgb brightest{0, 0, 0};
};

Ink ink_of(const Image& image, const Rgb& background, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) {
    Ink ink;
    if (x1 < 0) x1 = image.width;
    if (y1 < 0) y1 = image.height;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const Rgb p = image.at(x, y);
            if (near(p, background, 8)) continue;
            if (ink.count++ == 0) {
                ink.min_x = ink.max_x = x;
                ink.min_y = ink.max_y = y;
            }
            ink.min_x = std::min(ink.min_x, x);
            ink.max_x = std::max(ink.max_x, x);
            ink.min_y = std::min(ink.min_y, y);
            ink.max_y = std::max(ink.max_y, y);
            if (p.r + p.g + p.b > ink.brightest.r + ink.brightest.g + ink.brightest.b) ink.brightest = p;
        }
    }
    return ink;
}

// The label the plug-in builds, with the font name it uses for body text.
std::string markup(int right_margin, const std::string& align, int spacing, int size, const std::string& text) {
    return "<TEXTFORMAT RIGHTMARGIN='" + std::to_string(right_margin) + "'><P ALIGN='" + align +
           "'><FONT FACE='$body' LETTERSPACING='" + std::to_string(spacing) + "' SIZE='" + std::to_string(size) +
           "'>~s~" + text + "</FONT></P><TEXTFORMAT>";
}

SimDrawItem sprite(const std::string& texture, float x, float y, float w, float h, float heading, Rgb c,
                   int alpha = 255) {
    return SimDrawItem{
        SimDrawItem::Kind::sprite, "menu_textures", texture, x, y, w, h, heading, c.r, c.g, c.b, alpha, {}};
}

SimDrawItem text(const std::string& label, float x, float y, Rgb c = {255, 255, 0}) {
    return SimDrawItem{SimDrawItem::Kind::text, {}, {}, x, y, 0, 0, 0, c.r, c.g, c.b, 255, label};
}

class ScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fresh_test_dir();
        sim_game_init(game);
        sim_game_set_window(game, true, 1000, 500, 0, 0);
    }

    // Renders the draw list and reads it back; the background is the colour of an empty frame.
    Image render(const std::string& name = "shot") {
        std::string error;
        const std::filesystem::path path = dir / (name + ".png");
        EXPECT_TRUE(sim_render_screenshot(game, path.string(), &error)) << error;
        return read_png(path);
    }

    Rgb background() {
        const std::vector<SimDrawItem> kept = game.draw_list;
        game.draw_list.clear();
        const Image empty = render("empty");
        game.draw_list = kept;
        return empty.pixels.empty() ? Rgb{-1, -1, -1} : empty.at(0, 0);
    }

    std::filesystem::path dir;
    SimGame game;
};

}  // namespace

TEST_F(ScreenshotTest, ImageHasTheWindowsClientSizeAndRefusesWhatItCannotShow) {
    struct Case {
        bool present;
        int width, height;
        int want_width, want_height;  // 0: no image, an error
    };
    const Case cases[] = {
        {true, 1000, 500, 1000, 500},
        {true, 1, 1, 1, 1},
        {false, 1000, 500, 1920, 1080},  // no window: the game's usual size, not the stale one
        {true, 0, 0, 0, 0},
        {true, -640, 480, 0, 0},
        {true, 100000, 10, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.present << " " << c.width << "x" << c.height);
        sim_game_set_window(game, c.present, c.width, c.height, 0, 0);
        game.draw_list = {sprite("medal_bronze", 0.5f, 0.5f, 0.2f, 0.2f, 0, {255, 0, 0})};
        const std::filesystem::path path = dir / "size.png";
        std::filesystem::remove(path);
        std::string error;
        const bool ok = sim_render_screenshot(game, path.string(), &error);
        if (c.want_width == 0) {
            EXPECT_FALSE(ok);
            EXPECT_NE(error.find("window"), std::string::npos) << error;
            EXPECT_FALSE(std::filesystem::exists(path));
            continue;
        }
        ASSERT_TRUE(ok) << error;
        const Image image = read_png(path);
        EXPECT_EQ(image.width, c.want_width);
        EXPECT_EQ(image.height, c.want_height);
    }

    // A file that cannot be written is an error that names it.
    sim_game_set_window(game, true, 100, 100, 0, 0);
    std::string error;
    const std::string unwritable = (dir / "no-such-directory" / "x.png").string();
    EXPECT_FALSE(sim_render_screenshot(game, unwritable, &error));
    EXPECT_NE(error.find(unwritable), std::string::npos) << error;
}

TEST_F(ScreenshotTest, SpritesCoverTheirRectanglesRotatedAndBlended) {
    const Rgb bg = background();
    game.draw_list = {
        // 100x100 pixels around (250, 250).
        sprite("medal_bronze", 0.25f, 0.5f, 0.1f, 0.2f, 0, {255, 0, 0}),
        // 20x200 around (750, 250), turned a quarter: 200 wide, 20 high.
        sprite("", 0.75f, 0.5f, 0.02f, 0.4f, 90, {0, 0, 255}),
        // 40x40 around (500, 100), half transparent.
        sprite("", 0.5f, 0.2f, 0.04f, 0.08f, 0, {0, 255, 0}, 128),
    };
    const Image image = render();
    ASSERT_EQ(image.width, 1000);
    ASSERT_EQ(image.height, 500);

    EXPECT_TRUE(is_colour(image, 250, 250, {255, 0, 0}));
    EXPECT_TRUE(is_colour(image, 205, 295, {255, 0, 0}));  // a corner away from the texture's name
    EXPECT_TRUE(is_colour(image, 320, 250, bg));           // right of it
    EXPECT_TRUE(is_colour(image, 250, 320, bg));           // below it: the height is a fraction of 500
    EXPECT_TRUE(is_colour(image, 180, 250, bg));

    EXPECT_TRUE(is_colour(image, 830, 250, {0, 0, 255}));
    EXPECT_TRUE(is_colour(image, 670, 255, {0, 0, 255}));
    EXPECT_TRUE(is_colour(image, 750, 330, bg));

    const double a = 128.0 / 255.0;
    const Rgb blended{int(std::lround(bg.r * (1 - a))), int(std::lround(255 * a + bg.g * (1 - a))),
                      int(std::lround(bg.b * (1 - a)))};
    EXPECT_TRUE(is_colour(image, 500, 100, blended, 2));

    // The texture's name is written inside, in the top-left corner: light pixels there.
    const Ink name = ink_of(image, {255, 0, 0}, 202, 202, 298, 215);
    EXPECT_GT(name.count, 0);
    EXPECT_GT(name.brightest.g, 200);
}

TEST_F(ScreenshotTest, TextsAreLaidOutInTheBoxTheirMarkupDescribes) {
    // The box runs from x = 100 to 1000 - 200 = 800; its top is at y = 100; the text is 40 pixels high.
    struct Case {
        std::string align;
        int spacing;
        double anchor;  // where the ink's left edge, middle or right edge should be
    };
    const Case cases[] = {
        {"Left", 0, 100}, {"Left", 30, 100}, {"Center", 0, 450}, {"Right", 0, 800}, {"Right", 30, 800},
    };
    const Rgb bg = background();
    int plain_width = 0, spaced_width = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.align + " spacing " + std::to_string(c.spacing));
        game.draw_list = {text(markup(200, c.align, c.spacing, 40, "MMMM"), 0.1f, 0.2f)};
        const Image image = render();
        const Ink ink = ink_of(image, bg);
        ASSERT_GT(ink.count, 0);
        const double edge = c.align == "Left"    ? ink.min_x
                            : c.align == "Right" ? ink.max_x + 1
                                                 : (ink.min_x + ink.max_x + 1) / 2.0;
        EXPECT_NEAR(edge, c.anchor, 6);
        EXPECT_GE(ink.min_y, 100);
        EXPECT_LE(ink.max_y, 140);
        EXPECT_GE(ink.max_y - ink.min_y, 20);  // capitals of a 40-pixel font
        EXPECT_TRUE(ink.brightest.r > 200 && ink.brightest.g > 200 && ink.brightest.b < 80);  // the text colour
        if (c.align == "Left") (c.spacing ? spaced_width : plain_width) = ink.max_x - ink.min_x;
    }
    // Three gaps between four letters.
    EXPECT_NEAR(spaced_width - plain_width, 3 * 30, 2);
}

// Every control of the plug-in, read from its own header so that a control
// added there is checked too: each has a key in the simulator's table, and a
// prompt with it shows that key, never a hash.
TEST(ScreenshotKeys, EveryControlThePluginUsesHasItsKeyInTheSimulatorsTable) {
    const std::string header = read_file(std::filesystem::path(QUILLFEN_SOURCE_DIR) / "src/scripthook/game_hashes.h");
    const std::size_t begin = header.find("struct InputControl {"), end = header.find("};", begin);
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    std::vector<std::string> names;
    std::istringstream lines(header.substr(begin, end - begin));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find("INPUT_"), equals = line.find(" = 0x");
        if (at != std::string::npos && equals != std::string::npos) names.push_back(line.substr(at, equals - at));
    }
    ASSERT_GE(names.size(), 28u) << "the header's controls were not found";
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const char* key = sim_control_key(sim_joaat(name));
        ASSERT_NE(key, nullptr) << "no key in sim/screenshot.cpp's control_keys";
        EXPECT_NE(std::string(key), "");
        SimGame game;
        SimPrompt& p = game.prompts[1];
        p.control = sim_joaat(name);
        p.text = "Act";
        p.ended = p.enabled = p.visible = true;
        EXPECT_EQ(sim_prompt_lines(game), std::vector<std::string>{"[" + std::string(key) + "] Act"});
    }
    EXPECT_STREQ(sim_control_key(sim_joaat("INPUT_GAME_MENU_TAB_LEFT_SECONDARY")), "Z");
    EXPECT_EQ(sim_control_key(sim_joaat("INPUT_JUMP")), nullptr) << "a control the plug-in does not use";
}

TEST_F(ScreenshotTest, ThePromptsShownAndTheRouteAreWrittenAtTheBottomRight) {
    const Rgb bg = background();
    auto prompt = [](const char* control, const char* text, bool enabled, bool visible) {
        SimPrompt p{};
        p.control = sim_joaat(control);
        p.text = text;
        p.ended = true;
        p.enabled = enabled;
        p.visible = visible;
        return p;
    };
    game.prompts[1] = prompt("INPUT_GAME_MENU_EXTRA_OPTION", "Sort: Time", true, false);  // hidden
    game.prompts[2] = prompt("INPUT_GAME_MENU_OPTION", "Delete", false, true);
    game.prompts[2].hold_mode = true;
    game.prompts[3] = prompt("INPUT_PLAYER_MENU", "Edit Markers", true, true);
    game.prompts[3].in_group = true;  // its group shows with the map only
    game.prompts[4] = prompt("INPUT_GAME_MENU_TAB_RIGHT_SECONDARY", "Clear Route", true, true);
    EXPECT_EQ(sim_prompt_lines(game), (std::vector<std::string>{"[Space] Delete (hold) (off)", "[X] Clear Route"}));
    game.map_open = true;
    EXPECT_EQ(sim_prompt_lines(game).size(), 3u);
    game.map_open = false;

    EXPECT_EQ(sim_route_line(game), "") << "no route drawn";
    game.gps_route.started = true;
    game.gps_route.colour = sim_joaat("COLOR_RED");
    game.gps_route.points = {{91.5f, -9.75f, 103.0f}};
    EXPECT_EQ(sim_route_line(game), "") << "a route the game is not told to draw";
    game.gps_route.shown = true;
    EXPECT_EQ(sim_route_line(game), "GPS route (red) to (91.5, -9.8, 103.0)");

    const Image image = render();
    const Ink lower_right = ink_of(image, bg, 500, 350, 1000, 500);
    ASSERT_GT(lower_right.count, 0);
    EXPECT_GT(lower_right.max_x, 950) << "right-aligned near the edge";
    EXPECT_EQ(ink_of(image, bg, 0, 0, 1000, 300).count, 0) << "nothing but the list at the bottom right";
    int red = 0;
    for (int y = 350; y < 500; ++y) {
        for (int x = 500; x < 1000; ++x) red += near(image.at(x, y), {217, 26, 26}, 3);
    }
    EXPECT_GT(red, 10) << "the destination's mark";
}

TEST_F(ScreenshotTest, OddInputNeitherCrashesNorSpoilsWhatFollows) {
    enum class Expect { ink, nothing, either };
    struct Case {
        const char* what;
        SimDrawItem item;
        Expect expect;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"not mark-up: drawn raw", text("plain label", 0.1f, 0.2f), Expect::ink},
        {"'<' and quotes in the text", text(markup(0, "Left", 0, 24, "a<b>'c' </FONT>"), 0.1f, 0.2f), Expect::ink},
        {"broken UTF-8", text(markup(0, "Left", 0, 24, "\xff\xc0\x80\xed\xa0\x80ok\xe2\x82"), 0.1f, 0.2f), Expect::ink},
        {"a NUL inside", text(markup(0, "Left", 0, 24, std::string("a\0b", 3)), 0.1f, 0.2f), Expect::ink},
        {"cut short", text("<TEXTFORMAT RIGHTMARGIN='1", 0.1f, 0.2f), Expect::ink},
        {"a number too big: drawn raw",
         text("<TEXTFORMAT RIGHTMARGIN='99999999999'><P ALIGN='Left'><FONT FACE='$body' LETTERSPACING='0' "
              "SIZE='20'>~s~x</FONT></P><TEXTFORMAT>",
              0.1f, 0.2f),
         Expect::ink},
        {"empty label", text("", 0.1f, 0.2f), Expect::nothing},
        {"no size", text(markup(0, "Left", 0, 0, "hidden"), 0.1f, 0.2f), Expect::nothing},
        {"negative size", text(markup(0, "Left", 0, -30, "hidden"), 0.1f, 0.2f), Expect::nothing},
        {"huge size", text(markup(0, "Left", 0, 2147483647, "W"), 0.1f, 0.2f), Expect::either},
        {"huge spacing", text(markup(0, "Left", 2147483647, 20, "abc"), 0.1f, 0.2f), Expect::ink},
        {"least margin", text(markup(-2147483647 - 1, "Right", -2147483647 - 1, 20, "abc"), 0.1f, 0.2f),
         Expect::either},
        {"text at NaN", text(markup(0, "Left", 0, 20, "abc"), nan, 0.2f), Expect::nothing},
        {"text far away", text(markup(0, "Left", 0, 20, "abc"), 3e30f, -3e30f), Expect::nothing},
        {"sprite at NaN", sprite("blip_chest", nan, 0.5f, 0.1f, 0.1f, 0, {255, 0, 0}), Expect::nothing},
        {"sprite of infinite size", sprite("blip_chest", 0.5f, 0.5f, inf, 0.1f, 0, {255, 0, 0}), Expect::nothing},
        {"sprite of huge size", sprite("blip_chest", 0.5f, 0.5f, 1e30f, 1e30f, 0, {255, 0, 0}), Expect::ink},
        {"sprite of huge heading", sprite("blip_chest", 0.5f, 0.5f, 0.1f, 0.1f, 1e30f, {255, 0, 0}), Expect::ink},
        {"sprite far away", sprite("blip_chest", -3e30f, 3e30f, 0.1f, 0.1f, 45, {255, 0, 0}), Expect::nothing},
        {"sprite colours out of range", sprite("", 0.5f, 0.5f, 0.1f, 0.1f, 0, {-7, 900, 0}, 1000), Expect::ink},
    };
    const Rgb bg = background();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A probe drawn after the odd item shows the renderer is still working.
        game.draw_list = {c.item, sprite("", 0.95f, 0.95f, 0.04f, 0.04f, 0, {0, 255, 0})};
        const Image image = render();
        ASSERT_EQ(image.width, 1000);
        EXPECT_TRUE(is_colour(image, 950, 475, {0, 255, 0}));
        const Ink ink = ink_of(image, bg, 0, 0, -1, 450);
        if (c.expect == Expect::ink) {
            EXPECT_GT(ink.count, 0);
        } else if (c.expect == Expect::nothing) {
            EXPECT_EQ(ink.count, 0);
        }
    }
}

TEST(TextMarkup, ParsesThePlugInsFormAndNothingElse) {
    struct Case {
        std::string label;
        bool parses;
        SimTextMarkup::Align align;
        int right_margin, spacing, size;
        std::string face, text;
    };
    using A = SimTextMarkup::Align;
    const std::string tail = "</FONT></P><TEXTFORMAT>";
    const Case cases[] = {
        {markup(-12, "Right", 3, 27, "Saint Denis"), true, A::right, -12, 3, 27, "body", "Saint Denis"},
        {markup(0, "center", 0, 1, ""), true, A::center, 0, 0, 1, "body", ""},
        // The text is unescaped and may hold the closing tags themselves.
        {markup(5, "Left", -1, 20, "a" + tail + "b'<"), true, A::left, 5, -1, 20, "body", "a" + tail + "b'<"},
        {"<TEXTFORMAT RIGHTMARGIN='1'><P ALIGN='Left'><FONT FACE='$it's' LETTERSPACING='2' SIZE='3'>~s~x" + tail, true,
         A::left, 1, 2, 3, "it's", "x"},
        {markup(1, "Justify", 0, 20, "x"), false, A::left, 0, 0, 0, "", ""},
        {markup(1, "", 0, 20, "x"), false, A::left, 0, 0, 0, "", ""},
        {"<TEXTFORMAT RIGHTMARGIN=''><P ALIGN='Left'><FONT FACE='$b' LETTERSPACING='2' SIZE='3'>~s~x" + tail, false,
         A::left, 0, 0, 0, "", ""},
        {"<TEXTFORMAT RIGHTMARGIN='+1'><P ALIGN='Left'><FONT FACE='$b' LETTERSPACING='2' SIZE='3'>~s~x" + tail, false,
         A::left, 0, 0, 0, "", ""},
        {"<TEXTFORMAT RIGHTMARGIN='1'><P ALIGN='Left'><FONT FACE='$b' LETTERSPACING='2' SIZE='2147483648'>~s~x" + tail,
         false, A::left, 0, 0, 0, "", ""},
        {"<TEXTFORMAT RIGHTMARGIN='1'><P ALIGN='Left'><FONT FACE='b' LETTERSPACING='2' SIZE='3'>~s~x" + tail, false,
         A::left, 0, 0, 0, "", ""},
        {"<TEXTFORMAT RIGHTMARGIN='1'><P ALIGN='Left'><FONT FACE='$b' LETTERSPACING='2' SIZE='3'>x" + tail, false,
         A::left, 0, 0, 0, "", ""},
        {markup(1, "Left", 2, 3, "x").substr(0, 90), false, A::left, 0, 0, 0, "", ""},
        {"", false, A::left, 0, 0, 0, "", ""},
        {tail, false, A::left, 0, 0, 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SimTextMarkup m{};
        ASSERT_EQ(sim_parse_text_markup(c.label, &m), c.parses);
        if (!c.parses) continue;
        EXPECT_EQ(m.align, c.align);
        EXPECT_EQ(m.right_margin, c.right_margin);
        EXPECT_EQ(m.letter_spacing, c.spacing);
        EXPECT_EQ(m.size, c.size);
        EXPECT_EQ(m.face, c.face);
        EXPECT_EQ(m.text, c.text);
    }
}

class ScreenshotSessionTest : public SimTest {};

TEST_F(ScreenshotSessionTest, ScenarioScreenshotsAreTakenAfterTheirFrame) {
    begin("{frames: 5, world: {window: {width: 800, height: 600}}, screenshots: [{frame: 2, name: \"x\"}]}");
    const std::filesystem::path png = dir / "screenshots" / "x.png";
    frames(2);  // frames 0 and 1
    EXPECT_FALSE(std::filesystem::exists(png));
    frames(1);  // frame 2
    ASSERT_TRUE(std::filesystem::exists(png));
    const Image image = read_png(png);
    EXPECT_EQ(image.width, 800);
    EXPECT_EQ(image.height, 600);
    EXPECT_TRUE(end()) << end_error;
}

TEST_F(ScreenshotSessionTest, AScreenshotThatCannotBeWrittenFailsTheRun) {
    write_file(dir / "screenshots", "a file where the directory should be");
    begin("{frames: 3, screenshots: [{frame: 0, name: \"x\"}]}");
    const std::string printed = stderr_of([&] { EXPECT_FALSE(sim_session_frame(*session)); });
    EXPECT_NE(session->host.failure.find("screenshot \"x\" (after frame 0)"), std::string::npos)
        << session->host.failure;
    EXPECT_EQ(printed, "quillfen-sim: FAILED: " + session->host.failure + "\n") << "reported at once";
    EXPECT_FALSE(end());
    EXPECT_NE(end_error.find("screenshot"), std::string::npos) << end_error;
}
