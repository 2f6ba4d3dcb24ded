#include "src/menu/drawing.h"

#include "src/base/text_builder.h"
#include "src/scripthook/natives.h"

const char* literal_label(const char* text) { return make_text_label(10, {"LITERAL_STRING", text}); }

// Computed in 32-bit floats and truncated toward zero, as the game's own menus do.
std::int32_t width_to_pixels(ScreenSize screen, float fraction) {
    return static_cast<std::int32_t>(fraction * static_cast<float>(screen.width));
}

std::int32_t height_to_pixels(ScreenSize screen, float fraction) {
    return static_cast<std::int32_t>(fraction * static_cast<float>(screen.height));
}

void draw_texture(const char* dictionary, const char* texture, const ScreenRect& rect, float rotation,
                  const Rgba& colour, bool flag) {
    // Asked for in every call: the game loads it in its own time.
    request_texture_dictionary(dictionary, false);
    if (!texture_dictionary_loaded(dictionary)) return;
    draw_sprite(dictionary, texture, rect.x, rect.y, rect.width, rect.height, rotation, colour.red, colour.green,
                colour.blue, colour.alpha, flag);
}

const char* text_markup(RunContext& ctx, ScreenSize screen, std::string_view text, std::string_view font, float size,
                        float x, float width, float letter_spacing, std::string_view alignment) {
    const float right_edge = 1.0f - (x + width);
    const std::int32_t right_margin = width_to_pixels(screen, right_edge);
    const std::int32_t spacing = width_to_pixels(screen, letter_spacing);
    const std::int32_t pixels = height_to_pixels(screen, size);
    // The fixed parts come to 104 bytes; the rest are the texts and numbers.
    const std::size_t capacity = 128 + 3 * 12 + text.size() + font.size() + alignment.size();
    char* buffer = static_cast<char*>(allocate_bytes(ctx.scratch, capacity, 1));
    if (!buffer) return "";
    TextBuilder b = text_builder(buffer, capacity);
    text_append(b, "<TEXTFORMAT RIGHTMARGIN='");
    text_append_i64(b, right_margin);
    text_append(b, "'><P ALIGN='");
    text_append(b, alignment);
    text_append(b, "'><FONT FACE='$");
    text_append(b, font);
    text_append(b, "' LETTERSPACING='");
    text_append_i64(b, spacing);
    text_append(b, "' SIZE='");
    text_append_i64(b, pixels);
    text_append(b, "'>~s~");
    text_append(b, text);
    text_append(b, "</FONT></P><TEXTFORMAT>");
    return buffer;
}

void draw_text_string(RunContext& ctx, ScreenSize screen, std::string_view text, std::string_view font, float size,
                      float x, float y, float width, float letter_spacing, std::string_view alignment,
                      const Rgba& colour) {
    const char* markup = text_markup(ctx, screen, text, font, size, x, width, letter_spacing, alignment);
    set_text_colour(colour.red, colour.green, colour.blue, colour.alpha);
    draw_text_at(literal_label(markup), x, y);
}

void draw_text_cstring(RunContext& ctx, ScreenSize screen, const char* text, const char* font, float size, float x,
                       float y, float width, float letter_spacing, std::string_view alignment, const Rgba& colour) {
    draw_text_string(ctx, screen, text ? std::string_view(text) : std::string_view(),
                     font ? std::string_view(font) : std::string_view(), size, x, y, width, letter_spacing, alignment,
                     colour);
}
