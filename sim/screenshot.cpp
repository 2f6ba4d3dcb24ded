#include "sim/screenshot.h"

#include <cairo.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

// Sections: the mark-up · text runs · sprites and texts · the game's own prompts and route · the image.

// ---- the mark-up ------------------------------------------------------------------------

static bool take(std::string_view& s, std::string_view literal) {
    if (!s.starts_with(literal)) return false;
    s.remove_prefix(literal.size());
    return true;
}

// A signed decimal as %i prints it, up to the closing quote (left in `s`).
static bool take_int(std::string_view& s, std::int32_t* out) {
    const std::size_t quote = s.find('\'');
    if (quote == std::string_view::npos) return false;
    const char* end = s.data() + quote;
    auto [stop, ec] = std::from_chars(s.data(), end, *out);
    if (ec != std::errc{} || stop != end) return false;
    s.remove_prefix(quote);
    return true;
}

static bool same_letters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

bool sim_parse_text_markup(std::string_view label, SimTextMarkup* out) {
    std::string_view s = label;
    // The text comes last and is inserted unescaped, so it may hold anything,
    // the closing tags too: it runs to the closing tags at the very end.
    constexpr std::string_view closing = "</FONT></P><TEXTFORMAT>";
    if (!s.ends_with(closing)) return false;
    s.remove_suffix(closing.size());

    if (!take(s, "<TEXTFORMAT RIGHTMARGIN='") || !take_int(s, &out->right_margin) || !take(s, "'><P ALIGN='")) {
        return false;
    }
    const std::size_t quote = s.find('\'');
    if (quote == std::string_view::npos) return false;
    const std::string_view align = s.substr(0, quote);
    // Anything else is drawn raw, so that a misspelt alignment shows.
    if (same_letters(align, "left")) out->align = SimTextMarkup::Align::left;
    else if (same_letters(align, "center")) out->align = SimTextMarkup::Align::center;
    else if (same_letters(align, "right")) out->align = SimTextMarkup::Align::right;
    else return false;
    s.remove_prefix(quote);

    if (!take(s, "'><FONT FACE='$")) return false;
    constexpr std::string_view after_face = "' LETTERSPACING='";
    const std::size_t face_end = s.find(after_face);
    if (face_end == std::string_view::npos) return false;
    out->face = s.substr(0, face_end);
    s.remove_prefix(face_end + after_face.size());

    if (!take_int(s, &out->letter_spacing) || !take(s, "' SIZE='") || !take_int(s, &out->size) || !take(s, "'>~s~")) {
        return false;
    }
    out->text = s;
    return true;
}

// ---- text runs -----------------------------------------------------------------------------

// Cairo holds coordinates in 24.8 fixed point (about +-8e6); whatever lies
// beyond this is far off the image anyway and is kept out of Cairo's way.
constexpr double far_away = 1e6;

// The code points of `bytes` as separate UTF-8 strings. Cairo's text functions
// put the context into an error state for good on invalid UTF-8, so every
// byte that does not start a well-formed sequence becomes U+FFFD; so does NUL,
// which would end the C string early.
static std::vector<std::string> characters_of(std::string_view bytes) {
    static const std::string replacement = "\xEF\xBF\xBD";
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        // Lead byte: the sequence's length, the bits it carries, the least code point it may encode.
        std::size_t length = 0;
        std::uint32_t cp = 0, min = 0;
        if (b0 >= 0x01 && b0 < 0x80) {
            length = 1;
            cp = b0;
        } else if (b0 >= 0xC2 && b0 < 0xE0) {
            length = 2;
            cp = b0 & 0x1Fu;
            min = 0x80;
        } else if (b0 >= 0xE0 && b0 < 0xF0) {
            length = 3;
            cp = b0 & 0x0Fu;
            min = 0x800;
        } else if (b0 >= 0xF0 && b0 < 0xF5) {
            length = 4;
            cp = b0 & 0x07u;
            min = 0x10000;
        }
        bool ok = length > 0 && i + length <= bytes.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0u) != 0x80u) ok = false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        ok = ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (ok) {
            out.emplace_back(bytes.substr(i, length));
            i += length;
        } else {
            out.push_back(replacement);
            ++i;
        }
    }
    return out;
}

// Width of a run drawn with the current font: advances plus the spacing between letters.
static double run_width(cairo_t* cr, const std::vector<std::string>& chars, double spacing) {
    double width = 0;
    for (const std::string& c : chars) {
        cairo_text_extents_t e;
        cairo_text_extents(cr, c.c_str(), &e);
        width += e.x_advance;
    }
    if (chars.size() > 1) width += spacing * static_cast<double>(chars.size() - 1);
    return width;
}

// Adds the run's outlines to the path, letter by letter from `x` on the baseline `y`.
static void run_path(cairo_t* cr, const std::vector<std::string>& chars, double x, double y, double spacing,
                     double image_width) {
    if (!std::isfinite(y) || std::fabs(y) > far_away) return;
    for (const std::string& c : chars) {
        cairo_text_extents_t e;
        cairo_text_extents(cr, c.c_str(), &e);
        if (std::isfinite(x) && x > -far_away && x < image_width + far_away) {
            cairo_move_to(cr, x, y);
            cairo_text_path(cr, c.c_str());
        }
        x += e.x_advance + spacing;
    }
}

// ---- sprites and texts ----------------------------------------------------------------------

// Dark and neutral: the game's own screen is not simulated.
constexpr double background_shade = 0.16;

static double channel(std::int32_t v) { return std::clamp(v, 0, 255) / 255.0; }

static void set_colour(cairo_t* cr, const SimDrawItem& d) {
    cairo_set_source_rgba(cr, channel(d.red), channel(d.green), channel(d.blue), channel(d.alpha));
}

static void draw_sprite_placeholder(cairo_t* cr, const SimDrawItem& d, double image_width, double image_height) {
    const double cx = d.x * image_width, cy = d.y * image_height;
    const double w = std::fabs(d.width * image_width), h = std::fabs(d.height * image_height);
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(w) || !std::isfinite(h) ||
        !std::isfinite(d.heading)) {
        return;  // nowhere to put it
    }
    cairo_save(cr);
    cairo_translate(cr, std::clamp(cx, -far_away, far_away), std::clamp(cy, -far_away, far_away));
    // The heading is in degrees, clockwise on the screen (y grows downwards).
    if (d.heading != 0) cairo_rotate(cr, std::fmod(static_cast<double>(d.heading), 360.0) * std::numbers::pi / 180);
    const double hw = std::min(w / 2, far_away), hh = std::min(h / 2, far_away);
    cairo_rectangle(cr, -hw, -hh, 2 * hw, 2 * hh);
    set_colour(cr, d);
    cairo_fill_preserve(cr);
    // A light frame shows the rectangle even where the sprite is transparent or dark.
    cairo_set_source_rgba(cr, 1, 1, 1, 0.6);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);

    if (!d.texture.empty()) {
        // Small, in the top-left corner (the middle stays the sprite's colour),
        // with an edge of the opposite shade so that it reads on any fill.
        const double a = channel(d.alpha);
        const double light =
            a * (0.3 * channel(d.red) + 0.59 * channel(d.green) + 0.11 * channel(d.blue)) + (1 - a) * background_shade;
        const double ink = light > 0.55 ? 0 : 1;
        cairo_set_font_size(cr, 10);
        cairo_font_extents_t fe;
        cairo_font_extents(cr, &fe);
        run_path(cr, characters_of(d.texture), -hw + 2, -hh + 1 + fe.ascent, 0, far_away);
        cairo_set_source_rgba(cr, 1 - ink, 1 - ink, 1 - ink, 0.8);
        cairo_set_line_width(cr, 2);
        cairo_stroke_preserve(cr);
        cairo_set_source_rgb(cr, ink, ink, ink);
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

static void draw_text(cairo_t* cr, const SimDrawItem& d, double image_width, double image_height) {
    const double left = static_cast<double>(d.x) * image_width, top = static_cast<double>(d.y) * image_height;
    if (!std::isfinite(left) || !std::isfinite(top)) return;

    SimTextMarkup m;
    std::string_view text = d.label;
    double size = 16, spacing = 0, x = left;
    const bool marked_up = sim_parse_text_markup(d.label, &m);
    if (marked_up) {
        if (m.size <= 0) return;  // nothing to see at no height
        // Past a few screens' height a bigger font shows nothing more.
        size = std::min<double>(m.size, 4 * std::max(image_width, image_height));
        spacing = m.letter_spacing;
        text = m.text;
    }
    cairo_set_font_size(cr, size);
    const std::vector<std::string> chars = characters_of(text);
    if (marked_up && m.align != SimTextMarkup::Align::left) {
        const double right = image_width - m.right_margin;
        const double width = run_width(cr, chars, spacing);
        x = m.align == SimTextMarkup::Align::right ? right - width : left + (right - left - width) / 2;
    }
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    // The box's top is the call's y; the first line's baseline lies one ascent below.
    run_path(cr, chars, x, top + fe.ascent, spacing, image_width);
    set_colour(cr, d);
    cairo_fill(cr);
}

std::vector<SimTextBox> sim_text_boxes(const SimGame& game) {
    int width = 1920, height = 1080;
    if (game.window.present) {
        width = game.window.width;
        height = game.window.height;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    std::vector<SimTextBox> out;
    for (const SimDrawItem& d : game.draw_list) {
        SimTextMarkup m;
        if (d.kind != SimDrawItem::Kind::text || !sim_parse_text_markup(d.label, &m) || m.size <= 0) continue;
        // Laid out as draw_text lays it out.
        const double left = static_cast<double>(d.x) * width, top = static_cast<double>(d.y) * height;
        cairo_set_font_size(cr, std::min<double>(m.size, 4 * std::max(width, height)));
        const std::vector<std::string> chars = characters_of(m.text);
        const double run = run_width(cr, chars, m.letter_spacing);
        double x = left;
        if (m.align != SimTextMarkup::Align::left) {
            const double right = width - m.right_margin;
            x = m.align == SimTextMarkup::Align::right ? right - run : left + (right - left - run) / 2;
        }
        out.push_back({x, x + run, top, top + m.size, std::string(m.text)});
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return out;
}

// ---- the game's own prompts and route ------------------------------------------------------
// What the game draws itself, which the draw list does not hold: the prompts
// shown, listed at the bottom right as the game lists them, and the GPS route.

// The default keyboard key of every control the plug-in uses, as a prompt
// shows it. Where the game's default key is not known here, the control's
// action in the game's words, so that no prompt ever shows a raw hash.
static const struct {
    const char* name;
    const char* key;
} control_keys[] = {
    {"INPUT_PLAYER_MENU", "L"},
    {"INPUT_GAME_MENU_ACCEPT", "Enter"},
    {"INPUT_GAME_MENU_EXTRA_OPTION", "F"},
    {"INPUT_GAME_MENU_OPTION", "Space"},
    {"INPUT_GAME_MENU_CANCEL", "Esc"},
    {"INPUT_RADIAL_MENU_NAV_LR", "Mouse X"},
    {"INPUT_RADIAL_MENU_NAV_UD", "Mouse Y"},
    {"INPUT_ATTACK", "Left Mouse Button"},
    {"INPUT_AIM", "Right Mouse Button"},
    {"INPUT_GAME_MENU_UP", "Up"},
    {"INPUT_GAME_MENU_DOWN", "Down"},
    {"INPUT_GAME_MENU_LEFT", "Left"},
    {"INPUT_GAME_MENU_RIGHT", "Right"},
    {"INPUT_GAME_MENU_SCROLL_FORWARD", "Wheel Up"},
    {"INPUT_GAME_MENU_SCROLL_BACKWARD", "Wheel Down"},
    {"INPUT_GAME_MENU_TAB_LEFT", "Q"},
    {"INPUT_GAME_MENU_TAB_RIGHT", "E"},
    {"INPUT_GAME_MENU_TAB_LEFT_SECONDARY", "Z"},
    {"INPUT_GAME_MENU_TAB_RIGHT_SECONDARY", "X"},
    {"INPUT_FRONTEND_SELECT", "Tab"},
    // Its keyboard key is not known to us: the prompt in the game shows it.
    {"INPUT_GAME_MENU_RS", "Menu RS key"},
    // Only switched off while the menu is up, never a prompt: keys not known.
    {"INPUT_REVEAL_HUD", "Reveal HUD key"},
    {"INPUT_SELECT_RADAR_MODE", "Radar Mode key"},
    {"INPUT_SIMPLE_RADAR", "Simple Radar key"},
    {"INPUT_EXPAND_RADAR", "Expand Radar key"},
    {"INPUT_REGULAR_RADAR", "Regular Radar key"},
    {"INPUT_DISABLE_RADAR", "Disable Radar key"},
    {"INPUT_INTERACT_ANIMAL", "Interact with Animal key"},
    {"INPUT_SPECIAL_ABILITY", "Dead Eye key"},
};

const char* sim_control_key(std::uint32_t control) {
    for (const auto& k : control_keys) {
        if (sim_joaat(k.name) == control) return k.key;
    }
    return nullptr;
}

// A control outside the table by its hash: the scenario's own, not the plug-in's.
static std::string key_of(std::uint32_t control) {
    if (const char* key = sim_control_key(control)) return key;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", control);
    return hex;
}

std::vector<std::string> sim_prompt_lines(const SimGame& game) {
    std::vector<std::string> lines;
    // By handle: the order they were made in.
    for (const auto& [handle, p] : game.prompts) {
        if (!p.ended || !p.visible || (p.in_group && !game.map_open)) continue;
        std::string line = "[" + key_of(p.control) + "] " + p.text;
        if (p.hold_mode) line += " (hold)";
        if (!p.enabled) line += " (off)";
        lines.push_back(line);
    }
    return lines;
}

std::string sim_route_line(const SimGame& game) {
    const SimGame::GpsRoute& r = game.gps_route;
    if (!r.shown || r.points.empty()) return "";
    char colour[16];
    std::snprintf(colour, sizeof colour, "0x%08X", r.colour);
    std::string line = std::string("GPS route (") + (r.colour == sim_joaat("COLOR_RED") ? "red" : colour) + ") to";
    for (const auto& p : r.points) {
        char point[96];
        std::snprintf(point, sizeof point, " (%.1f, %.1f, %.1f)", p[0], p[1], p[2]);
        line += point;
    }
    return line;
}

// One line right-aligned at `right`, its baseline at `baseline`; dimmed when `dim`.
static void overlay_line(cairo_t* cr, const std::string& text, double right, double baseline, bool dim,
                         double image_width) {
    const std::vector<std::string> chars = characters_of(text);
    const double x = right - run_width(cr, chars, 0);
    run_path(cr, chars, x, baseline, 0, image_width);
    const double a = dim ? 0.45 : 1.0;
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_set_line_width(cr, 3);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgba(cr, a, a, a, 1);
    cairo_fill(cr);
}

static void draw_game_overlay(cairo_t* cr, const SimGame& game, double image_width, double image_height) {
    const std::vector<std::string> prompts = sim_prompt_lines(game);
    const std::string route = sim_route_line(game);
    const double size = std::clamp(image_height / 45, 8.0, 32.0), line = size * 1.4, margin = size;
    cairo_set_font_size(cr, size);
    double baseline = image_height - margin;
    const double right = image_width - margin;
    // The last made lowest, as the game stacks them upwards.
    for (auto it = prompts.rbegin(); it != prompts.rend(); ++it, baseline -= line) {
        overlay_line(cr, *it, right, baseline, it->ends_with(" (off)"), image_width);
    }
    if (route.empty()) return;
    // The destination: a red mark before the route's line, above the prompts.
    baseline -= line / 2;
    const std::vector<std::string> chars = characters_of(route);
    const double x = right - run_width(cr, chars, 0);
    cairo_arc(cr, x - size, baseline - size / 3, size / 3, 0, 2 * std::numbers::pi);
    cairo_set_source_rgb(cr, 0.85, 0.1, 0.1);
    cairo_fill(cr);
    overlay_line(cr, route, right, baseline, false, image_width);
}

// ---- the image ---------------------------------------------------------------------------

bool sim_render_screenshot(const SimGame& game, const std::string& png_path, std::string* error) {
    auto fail = [&](const std::string& message) {
        if (error) *error = message;
        return false;
    };
    int width = 1920, height = 1080;
    if (game.window.present) {
        width = game.window.width;
        height = game.window.height;
    }
    // Cairo's image surfaces stop at 32767; a window of no size has nothing to show.
    if (width < 1 || height < 1 || width > 16384 || height > 16384) {
        return fail("cannot take a screenshot of a " + std::to_string(width) + "x" + std::to_string(height) +
                    " window");
    }
    if (png_path.find('\0') != std::string::npos) return fail("a screenshot path holds a NUL");

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, background_shade, background_shade, background_shade);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    for (const SimDrawItem& d : game.draw_list) {
        if (d.kind == SimDrawItem::Kind::sprite) draw_sprite_placeholder(cr, d, width, height);
        else draw_text(cr, d, width, height);
    }
    draw_game_overlay(cr, game, width, height);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(surface);
        status = cairo_surface_write_to_png(surface, png_path.c_str());
        cairo_surface_destroy(surface);
        if (status != CAIRO_STATUS_SUCCESS) {
            return fail("cannot write " + png_path + ": " + cairo_status_to_string(status));
        }
        return true;
    }
    cairo_surface_destroy(surface);
    return fail("drawing " + png_path + " failed: " + cairo_status_to_string(status));
}
