// The menu's numbers: tile geometry, stick fractions, text mark-up, the white
// space a typed name loses.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "src/base/utf8.h"
#include "src/menu/category_page.h"
#include "src/menu/drawing.h"
#include "src/menu/menu.h"
#include "src/menu/menu_input.h"
#include "src/state/state.h"

namespace {

struct GeometryFixture : ::testing::Test {
    PluginState state{};
    RunContext ctx{heap_allocator(), scratch_allocator(thread_scratch_arena()), Logger{}};
    void SetUp() override {
        for (const MarkerCategory& row : category_table) array_append(state.categories, ctx.general, row);
        state.screen_aspect = 0.5625f;
        state.screen_width = 1920;
        state.screen_height = 1080;
    }
    void TearDown() override {
        array_free(state.categories);
        scratch_release(thread_scratch_arena());
    }
};

}  // namespace

TEST_F(GeometryFixture, RingAndRowTargetsForAspect0_5625) {
    state.menu.state = MENU_RING;
    const ScreenRect t0 = tile_target(state, 0, ring_radius);
    const ScreenRect t5 = tile_target(state, 5, ring_radius);
    EXPECT_NEAR(t0.x, 0.5f, 1e-6f);
    EXPECT_NEAR(t0.y, 0.725f, 1e-6f);
    EXPECT_NEAR(t5.x, 0.5f, 1e-6f);
    EXPECT_NEAR(t5.y, 0.275f, 1e-6f);
    const ScreenRect t3 = tile_target(state, 3, ring_radius);  // a quarter of the way round, past the left
    EXPECT_LT(t3.x, 0.5f);
    EXPECT_LT(t3.y, 0.5f);
    EXPECT_NEAR(tile_target(state, 0, 0.9f * ring_radius).y, 0.7025f, 1e-6f) << "snapped in the first ring frame";

    state.menu.state = MENU_FULL;
    const ScreenRect r0 = tile_target(state, 0, ring_radius);
    const ScreenRect r9 = tile_target(state, 9, ring_radius);
    EXPECT_FLOAT_EQ(r0.width, 0.05625f);
    EXPECT_FLOAT_EQ(r0.height, 0.1f);
    EXPECT_NEAR(r0.x, 0.2216f, 1e-4f);
    EXPECT_NEAR(r9.x, 0.7784f, 1e-4f);
    EXPECT_NEAR(tile_target(state, 1, ring_radius).x - r0.x, 0.05625f + 0.005625f, 1e-6f);
    EXPECT_FLOAT_EQ(r0.y, 0.21f);
}

TEST(StickDirection, ReadingsToFractionsOfATurn) {
    struct Case {
        std::int32_t h, v;
        float fraction;
    } cases[] = {
        {255, 128, 0.7506f}, {0, 255, 0.125f}, {128, 128, -1.0f}, {128, 0, 0.5f},
        {0, 128, 0.25f},     {128, 255, 1.0f}, {255, 0, 0.625f},
    };
    for (const Case& c : cases) EXPECT_NEAR(stick_fraction(c.h, c.v), c.fraction, 1e-3f) << c.h << "," << c.v;
    EXPECT_NEAR(stick_fraction(255, 128), 0.7506f, 1e-4f);
    EXPECT_EQ(stick_fraction(0, 255), 0.125f);
    // 216 lies inside the dead zone of 0.7, 217 just outside.
    EXPECT_EQ(stick_fraction(216, 128), -1.0f);
    EXPECT_GT(stick_fraction(217, 128), 0.0f);
}

TEST_F(GeometryFixture, TextMarkupForA1920By1080Screen) {
    struct Case {
        const char* text;
        float size, x, width, spacing;
        const char* alignment;
        const char* markup;
    } cases[] = {
        {"Valentine", 0.025f, 0.1f, 0.3f, 0.0f, "Left",
         "<TEXTFORMAT RIGHTMARGIN='1152'><P ALIGN='Left'><FONT FACE='$catalog4' LETTERSPACING='0' "
         "SIZE='27'>~s~Valentine</FONT></P><TEXTFORMAT>"},
        {"x", 0.9999f, 0.1f, 0.3f, 0.0f, "Center",
         "<TEXTFORMAT RIGHTMARGIN='1152'><P ALIGN='Center'><FONT FACE='$catalog4' LETTERSPACING='0' "
         "SIZE='1079'>~s~x</FONT></P><TEXTFORMAT>"},
        {"past the edge", 0.031f, 0.8f, 0.3f, 0.001f, "Right",
         "<TEXTFORMAT RIGHTMARGIN='-192'><P ALIGN='Right'><FONT FACE='$catalog4' LETTERSPACING='1' SIZE='33'>~s~past "
         "the edge</FONT></P><TEXTFORMAT>"},
        {"a < b 'quoted'", 0.025f, 0.1f, 0.3f, 0.0f, "Left",
         "<TEXTFORMAT RIGHTMARGIN='1152'><P ALIGN='Left'><FONT FACE='$catalog4' LETTERSPACING='0' SIZE='27'>~s~a < b "
         "'quoted'</FONT></P><TEXTFORMAT>"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(
            text_markup(ctx, screen_size(state), c.text, "catalog4", c.size, c.x, c.width, c.spacing, c.alignment),
            c.markup);
    }
    EXPECT_EQ(width_to_pixels(screen_size(state), 0.9999f), 1919);
    EXPECT_EQ(height_to_pixels(screen_size(state), 0.9999f), 1079);
    EXPECT_EQ(width_to_pixels(screen_size(state), -0.1f), -192);
}

TEST(TileShapes, PointsOnTheEdgeAreOutsideAndTheBlendMovesAShare) {
    const ScreenRect r{0.5f, 0.5f, 0.2f, 0.1f};
    EXPECT_TRUE(point_in_rect(0.5f, 0.5f, r));
    EXPECT_TRUE(point_in_rect(0.41f, 0.46f, r));
    EXPECT_FALSE(point_in_rect(0.4f, 0.5f, r));
    EXPECT_FALSE(point_in_rect(0.5f, 0.55f, r));
    EXPECT_FALSE(point_in_rect(0.0f, 0.0f, r));
    const ScreenRect half = lerp_rect(ScreenRect{0, 0, 0, 0}, ScreenRect{1, 2, 3, 4}, 0.5f);
    EXPECT_EQ(half.x, 0.5f);
    EXPECT_EQ(half.height, 2.0f);
}

TEST(TypedNames, LoseUnicodeWhiteSpaceAtBothEnds) {
    struct Case {
        const char* typed;
        const char* kept;
        // clang-format off: the adjacent texts stand apart only to end a \x escape
    } cases[] = {
        {"  New  ", "New"},
        {"   ", ""},
        {"", ""},
        {"\t\n\v\f\r Camp \xC2\xA0", "Camp"},
        {"\xE3\x80\x80\xE2\x80\x83 In the middle stays  \xE2\x80\xA8", "In the middle stays"},
        {"\xC2\x85x\xE2\x81\x9F", "x"},
        {"Bah\xC3\xAD"
         "a",
         "Bah\xC3\xAD"
         "a"},
        {" \xFF ", "\xFF"},  // a stray byte is no white space
        {"\xC0\xA0"
         "Camp"
         "\xE0\x80\xA0",
         "Camp"},  // spaces written overlong are read by their bits
    };
    // clang-format on
    for (const Case& c : cases) EXPECT_EQ(trim_unicode_space(c.typed), c.kept) << c.typed;
}
