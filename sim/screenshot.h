// Screenshots of what the scripts drew in a frame. The game's own screen is not
// simulated: sprites become labelled placeholders at their rectangles, texts are
// laid out from the plug-in's mark-up. Faithful to coordinates, not pretty.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/game.h"

// A label in the form the plug-in builds:
// <TEXTFORMAT RIGHTMARGIN='%i'><P ALIGN='%s'><FONT FACE='$%s' LETTERSPACING='%i' SIZE='%i'>~s~%s</FONT></P><TEXTFORMAT>
struct SimTextMarkup {
    enum class Align : std::uint8_t { left, center, right } align;
    std::int32_t right_margin;    // pixels from the box's right edge to the screen's
    std::int32_t letter_spacing;  // pixels
    std::int32_t size;            // pixels, the text's height
    std::string_view face;        // after the "$"
    std::string_view text;        // after the "~s~", as given (unescaped)
};

// False when `label` is not in that form; `out` then is unspecified. The views point into `label`.
bool sim_parse_text_markup(std::string_view label, SimTextMarkup* out);

// Where a text of the draw list is drawn, in pixels of the window, as the
// screenshots lay it out: from its first letter's start to its last's
// advance, and from the box's top down by the text's size.
struct SimTextBox {
    double left, right, top, bottom;
    std::string text;
};
std::vector<SimTextBox> sim_text_boxes(const SimGame& game);

// What the game shows of its own besides the draw list, as the screenshots
// write it: the prompts shown, in the order made ("[X] Route", with " (hold)"
// for a held one and " (off)" for one shown but disabled), and the GPS route
// while it is drawn (empty when not).
std::vector<std::string> sim_prompt_lines(const SimGame& game);
// The default keyboard key of a control the plug-in uses, as its prompt shows
// it ("Z" for INPUT_GAME_MENU_TAB_LEFT_SECONDARY); null for any other control,
// which a prompt shows by its hash.
const char* sim_control_key(std::uint32_t control);
std::string sim_route_line(const SimGame& game);

// Renders `game.draw_list`, then the prompts and route the game shows, into a
// PNG of the game window's client size (1920x1080 when there is no window).
// False, with a message, when it cannot be written.
bool sim_render_screenshot(const SimGame& game, const std::string& png_path, std::string* error);
