// Drawing the menu: sprites from texture dictionaries and texts laid out by
// mark-up, in fractions of the screen.
#pragma once

#include <cstdint>
#include <string_view>

#include "src/base/run_context.h"
#include "src/core/screen.h"

// A label that shows `text` literally; it belongs to the game.
const char* literal_label(const char* text);

std::int32_t width_to_pixels(ScreenSize screen, float fraction);
std::int32_t height_to_pixels(ScreenSize screen, float fraction);

void draw_texture(const char* dictionary, const char* texture, const ScreenRect& rect, float rotation,
                  const Rgba& colour, bool flag);

// The text box's left edge x, top edge y and width; size and letter spacing
// are fractions of the screen's height and width.
void draw_text_cstring(RunContext& ctx, ScreenSize screen, const char* text, const char* font, float size, float x,
                       float y, float width, float letter_spacing, std::string_view alignment, const Rgba& colour);
void draw_text_string(RunContext& ctx, ScreenSize screen, std::string_view text, std::string_view font, float size,
                      float x, float y, float width, float letter_spacing, std::string_view alignment,
                      const Rgba& colour);

// The mark-up of a text box, zero-terminated, in the frame's scratch memory.
const char* text_markup(RunContext& ctx, ScreenSize screen, std::string_view text, std::string_view font, float size,
                        float x, float width, float letter_spacing, std::string_view alignment);

// How wide a text of `size_pixels` is drawn, estimated from above: the
// game's font is not known here, so each character counts with the widest
// of a common sans-serif face's (DejaVu Sans, the simulator's) plus a
// little, and any character past ASCII as 1.1 of the size.
std::int32_t estimated_text_pixels(std::string_view text, std::int32_t size_pixels);
// `text` when its estimate fits `width_pixels`; otherwise its longest start
// that fits with "..." behind it, cut between characters (UTF-8), in the
// frame's scratch memory; "" when not even "..." fits.
std::string_view fit_text(RunContext& ctx, std::string_view text, std::int32_t size_pixels, std::int32_t width_pixels);
