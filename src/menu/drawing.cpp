#include "src/menu/drawing.h"

#include "src/base/text_builder.h"
#include "src/base/utf8.h"
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

// ---- fitting a text into a box ------------------------------------------------------------------

namespace {

// The advances of ' ' to '~' in hundredths of the font's size: DejaVu Sans's,
// rounded up, plus 2 for a face a little wider and for whole-pixel hinting.
constexpr unsigned char ascii_advance[95] = {
    34,  42, 48, 86, 66, 97, 80, 29,  41, 41, 52, 86, 34, 38, 34, 36,  //  !"#$%&'()*+,-./
    66,  66, 66, 66, 66, 66, 66, 66,  66, 66, 36, 36, 86, 86, 86, 55,  // 0-9 :;<=>?
    102, 70, 71, 72, 79, 65, 60, 79,  77, 32, 32, 68, 59, 88, 77, 81,  // @A-O
    62,  81, 71, 65, 63, 75, 70, 101, 71, 63, 71, 41, 36, 41, 86, 52,  // P-Z [\]^_
    52,  63, 65, 58, 65, 64, 37, 65,  65, 31, 31, 60, 31, 99, 65, 63,  // `a-o
    65,  65, 43, 54, 41, 65, 61, 84,  61, 61, 54, 66, 36, 66, 86,      // p-z {|}~
};
constexpr std::int32_t wide_advance = 110;  // past ASCII: wide letters, CJK, or a replacement mark

std::int32_t advance_of(std::uint32_t code_point) {
    if (code_point >= 0x20 && code_point < 0x7F) return ascii_advance[code_point - 0x20];
    return wide_advance;
}

constexpr std::string_view ellipsis = "...";

}  // namespace

std::int32_t estimated_text_pixels(std::string_view text, std::int32_t size_pixels) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    std::int64_t hundredths = 0;
    while (p < end) {
        const Utf8Char c = utf8_decode(p, end);
        hundredths += advance_of(c.valid ? c.code_point : replacement_character);
        p += c.length;
    }
    const std::int64_t pixels = (hundredths * (size_pixels > 0 ? size_pixels : 0) + 99) / 100;
    return pixels > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(pixels);
}

std::string_view fit_text(RunContext& ctx, std::string_view text, std::int32_t size_pixels, std::int32_t width_pixels) {
    if (estimated_text_pixels(text, size_pixels) <= width_pixels) return text;
    const std::int64_t room = static_cast<std::int64_t>(width_pixels) * 100;
    const std::int64_t size = size_pixels > 0 ? size_pixels : 0;
    std::int64_t used = 0;
    for (char c : ellipsis) used += advance_of(static_cast<unsigned char>(c)) * size;
    if (used > room) return {};
    const auto* start = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = start;
    const auto* end = p + text.size();
    while (p < end) {
        const Utf8Char c = utf8_decode(p, end);
        const std::int64_t next = used + advance_of(c.valid ? c.code_point : replacement_character) * size;
        if (next > room) break;
        used = next;
        p += c.length;
    }
    const auto kept = static_cast<std::size_t>(p - start);
    char* buffer = static_cast<char*>(allocate_bytes(ctx.scratch, kept + ellipsis.size() + 1, 1));
    if (!buffer) return {};
    TextBuilder b = text_builder(buffer, kept + ellipsis.size() + 1);
    text_append(b, text.substr(0, kept));
    text_append(b, ellipsis);
    return text_view(b);
}
