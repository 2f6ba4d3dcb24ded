// Drawing the menu: sprites from texture dictionaries and texts laid out by
// mark-up, in fractions of the screen.
#pragma once

#include <cstdint>
#include <string_view>

#include "src/marker.h"
#include "src/base/run_context.h"
#include "src/state.h"

std::int32_t width_to_pixels(const PluginState& state, float fraction);
std::int32_t height_to_pixels(const PluginState& state, float fraction);

void draw_texture(const char* dictionary, const char* texture, const ScreenRect& rect, float rotation,
                  const Rgba& colour, bool flag);

// The text box's left edge x, top edge y and width; size and letter spacing
// are fractions of the screen's height and width.
void draw_text_cstring(RunContext& ctx, const PluginState& state, const char* text, const char* font, float size,
                       float x, float y, float width, float letter_spacing, std::string_view alignment,
                       const Rgba& colour);
void draw_text_string(RunContext& ctx, const PluginState& state, std::string_view text, std::string_view font,
                      float size, float x, float y, float width, float letter_spacing, std::string_view alignment,
                      const Rgba& colour);

// The mark-up of a text box, zero-terminated, in the frame's scratch memory.
const char* text_markup(RunContext& ctx, const PluginState& state, std::string_view text, std::string_view font,
                        float size, float x, float width, float letter_spacing, std::string_view alignment);
