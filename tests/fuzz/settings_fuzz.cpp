// libFuzzer target for the settings file: its parser and a switch's rewrite
// of one line, on any text and any switch.
//
// The input's first three bytes choose the switch: the key (byte 0, bits 0-1),
// whether the text is padded with a comment line to just under the size a
// start reads (bits 2-6 all set, one input in 32: a text that long is slow
// to go through; byte 2 is how far under), and the key's new value
// (byte 1). The rest is the file's bytes.
//
// - The parser names only lines the text has, as an editor counts them (LF,
//   CRLF or a lone CR end a line), and counts no more keys set than lines.
// - A UTF-16 text (with its BOM, or without one and an ASCII first
//   character) becomes exactly the UTF-8 that a decoder written here gives,
//   and a switch is never written into it.
// - A switch's rewrite, read back, gives the switched value and every other
//   key as before; every line but the key's last (or one added at the end,
//   with the file's own line end) is as it was, with its line end; it earns
//   no line of complaint the text did not; and a rewrite that would pass
//   the size a start reads is refused, with that size, and nothing else is.
// - Running out of memory in the UTF-16 conversion gives every block back.
//
//   scripts/fuzz settings [seconds]
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "src/base/utf8.h"
#include "src/file_formats/settings_file.h"
#include "tests/fuzz/fuzz_heap.h"

namespace {

using fuzz::check;

constexpr std::string_view path = "settings.ini";
constexpr std::string_view bom = "\xEF\xBB\xBF";

struct TextLine {
    std::string text;
    std::string end;  // "\n", "\r\n", "\r" or "" (the last, without one)
};

// The lines as an editor shows them, written apart from the plug-in's splitter.
std::vector<TextLine> lines_of(std::string_view text) {
    std::vector<TextLine> out;
    std::size_t at = text.substr(0, bom.size()) == bom ? bom.size() : 0;
    while (at < text.size()) {
        std::size_t end = at;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        std::size_t next = end;
        if (next < text.size()) next += text.compare(next, 2, "\r\n") == 0 ? 2 : 1;
        out.push_back(TextLine{std::string(text.substr(at, end - at)), std::string(text.substr(end, next - end))});
        at = next;
    }
    return out;
}

struct Parsed {
    Settings settings;
    std::uint32_t keys_set;
    std::vector<std::string> complaints;
};

Parsed parse(std::string_view text) {
    Parsed p{};
    p.settings = parse_settings(
        text, path, [](void* data, std::string_view m) { static_cast<Parsed*>(data)->complaints.emplace_back(m); }, &p,
        &p.keys_set);
    return p;
}

// The key's value written as the file writes it, to compare settings by.
std::string value_of(const Settings& s, SettingsKey key) {
    char text[256];
    TextBuilder b = text_builder(text, sizeof text);
    append_settings_value(b, s, key);
    return std::string(text_view(b));
}

bool same_settings(const Settings& a, const Settings& b) {
    for (std::size_t k = 0; k < settings_key_count; ++k) {
        if (value_of(a, static_cast<SettingsKey>(k)) != value_of(b, static_cast<SettingsKey>(k))) return false;
    }
    return settings_route_colour_hash(a) == settings_route_colour_hash(b);
}

void check_parse(const Parsed& p, std::size_t lines) {
    check(p.keys_set <= lines, "more keys set than lines");
    const std::string head = std::string(path) + " line ";
    for (const std::string& c : p.complaints) {
        check(c.compare(0, head.size(), head) == 0, "a complaint that does not name its line");
        std::size_t n = 0, at = head.size();
        while (at < c.size() && c[at] >= '0' && c[at] <= '9') n = n * 10 + static_cast<std::size_t>(c[at++] - '0');
        check(n >= 1 && n <= lines && c.compare(at, 2, ": ") == 0, "a complaint about a line the text does not have");
    }
}

// UTF-16 to UTF-8, written apart from the plug-in's conversion.
std::string utf8_of_utf16(std::string_view bytes, bool big_endian) {
    std::u32string points;
    std::vector<std::uint32_t> units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(big_endian ? (a << 8 | b) : (b << 8 | a));
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::uint32_t u = units[i];
        const bool high = u >= 0xD800 && u < 0xDC00, low = u >= 0xDC00 && u < 0xE000;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            points += static_cast<char32_t>(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            points += static_cast<char32_t>(high || low ? 0xFFFD : u);
        }
    }
    if (bytes.size() % 2) points += U'\xFFFD';
    std::string out;
    for (const char32_t cp : points) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += {static_cast<char>(0xC0 | cp >> 6), static_cast<char>(0x80 | (cp & 0x3F))};
        } else if (cp < 0x10000) {
            out += {static_cast<char>(0xE0 | cp >> 12), static_cast<char>(0x80 | (cp >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (cp & 0x3F))};
        } else {
            out += {static_cast<char>(0xF0 | cp >> 18), static_cast<char>(0x80 | (cp >> 12 & 0x3F)),
                    static_cast<char>(0x80 | (cp >> 6 & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
        }
    }
    return out;
}

void check_utf16(std::string_view text, const std::uint8_t* data, std::size_t size) {
    const SettingsEncoding encoding = settings_encoding(text);
    if (encoding == SettingsEncoding::utf8) return;
    const bool big = encoding == SettingsEncoding::utf16_be;
    const bool bom_ahead = text.substr(0, 2) == (big ? "\xFE\xFF" : "\xFF\xFE");
    const auto ascii = [](char c) { return c != 0 && static_cast<unsigned char>(c) < 0x80; };
    check(bom_ahead || (big ? text[0] == 0 && ascii(text[1]) : text[1] == 0 && ascii(text[0])),
          "UTF-16 without a BOM nor an ASCII first character");
    const std::string_view units = text.substr(bom_ahead ? 2 : 0);
    fuzz::Heap heap;
    char* utf8 = nullptr;
    std::size_t length = 0;
    check(settings_text_from_utf16(units, big, heap.allocator(), &utf8, &length), "no UTF-8 with memory");
    check(std::string_view(utf8, length) == utf8_of_utf16(units, big), "UTF-16 taken otherwise");
    check(utf8[length] == '\0', "the UTF-8 is not zero-terminated");
    check_parse(parse(std::string_view(utf8, length)), lines_of(std::string_view(utf8, length)).size());
    free_bytes(heap.allocator(), utf8, length + 1);
    fuzz::Heap short_heap;
    short_heap.fail_after = fuzz::failure_point(data, size, heap.allocations);
    if (settings_text_from_utf16(units, big, short_heap.allocator(), &utf8, &length)) {
        free_bytes(short_heap.allocator(), utf8, length + 1);
    }
    check(heap.live_blocks == 0 && short_heap.live_blocks == 0, "blocks left after the UTF-16 conversion");
}

// The switch: `key` set to a value chosen by `seed`, the rest as in force.
Settings switched(const Settings& in_force, SettingsKey key, std::uint8_t seed) {
    Settings next = in_force;
    switch (key) {
        case SettingsKey::capture_waypoints: next.capture_off = !next.capture_off; break;
        case SettingsKey::hidden_on_map:
            next.hidden_on_map = static_cast<std::uint16_t>((next.hidden_on_map ^ (1u << (seed % 10))) & 0x3FF);
            break;
        case SettingsKey::blip_limit: next.blip_limit = 1 + seed * 499 / 255; break;
        case SettingsKey::route_colour:
            settings_set_route_colour(next, static_cast<std::uint8_t>(seed % route_colour_count));
            break;
        case SettingsKey::found_range: next.found_range = 1 + seed * 49 / 255; break;
        case SettingsKey::auto_found: next.auto_found_off = !next.auto_found_off; break;
        case SettingsKey::found_on_map: next.found_on_map = static_cast<FoundOnMap>(seed % found_on_map_count); break;
    }
    return next;
}

bool has_name(std::string_view value) {
    for (const char c : value) {
        if (c == '?' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    }
    return false;
}

void check_rewrite(std::string_view text, const Parsed& before, const std::vector<TextLine>& was, SettingsKey key,
                   std::uint8_t seed) {
    const Settings next = switched(before.settings, key, seed);
    const std::unique_ptr<char[]> buffer(new char[text.size() + settings_line_room]);
    TextBuilder out = text_builder(buffer.get(), text.size() + settings_line_room);
    std::size_t would_be = 1;
    const SettingsRewrite r = rewrite_settings_text(out, text, next, key, &would_be);
    if (settings_encoding(text) != SettingsEncoding::utf8) {
        check(r == SettingsRewrite::utf16 && out.length == 0, "a switch written into UTF-16");
        return;
    }
    check(!out.truncated, "the rewrite's room was not enough");
    if (r == SettingsRewrite::too_big) {
        check(out.length == 0, "a refused rewrite left text");
        check(would_be > settings_file_most_bytes, "a rewrite within the size refused");
        const std::unique_ptr<char[]> whole(new char[text.size() + settings_line_room]);
        TextBuilder w = text_builder(whole.get(), text.size() + settings_line_room);
        append_settings_text_with(w, text, next, key);
        check(w.length == would_be, "a refused rewrite's size is not what it would be");
        return;
    }
    check(r == SettingsRewrite::written && would_be == 0, "a rewrite refused for no reason");
    const std::string_view after = text_view(out);
    check(after.size() <= settings_file_most_bytes, "a rewrite past the size a start reads");

    // Read back: the switched value, every other key as before, no new complaint.
    const Parsed back = parse(after);
    Settings want = before.settings;
    const std::size_t k = static_cast<std::size_t>(key);
    switch (key) {
        case SettingsKey::capture_waypoints: want.capture_off = next.capture_off; break;
        case SettingsKey::hidden_on_map: want.hidden_on_map = next.hidden_on_map; break;
        case SettingsKey::blip_limit: want.blip_limit = next.blip_limit; break;
        case SettingsKey::route_colour: settings_set_route_colour(want, next.route_colour); break;
        case SettingsKey::found_range: want.found_range = next.found_range; break;
        case SettingsKey::auto_found: want.auto_found_off = next.auto_found_off; break;
        case SettingsKey::found_on_map: want.found_on_map = next.found_on_map; break;
    }
    check(same_settings(back.settings, want), "the rewrite reads back otherwise than switched");
    const std::set<std::string> old_complaints(before.complaints.begin(), before.complaints.end());
    for (const std::string& c : back.complaints) {
        check(old_complaints.count(c) == 1, "the rewrite earns a complaint the text did not");
    }

    // Every other line, and its line end, as it was.
    const std::vector<TextLine> is = lines_of(after);
    check(after.substr(0, bom.size()) == bom || text.substr(0, bom.size()) != bom, "the BOM lost");
    const std::string name = settings_key_names[k];
    const auto is_key_line = [&](const std::string& line) {
        if (line.compare(0, name.size() + 2, name + " =") != 0) return false;
        const Parsed alone = parse(line);
        return alone.complaints.empty() && value_of(alone.settings, key) == value_of(want, key);
    };
    if (is.size() == was.size()) {
        std::size_t changed = 0, at = 0;
        for (std::size_t i = 0; i < was.size(); ++i) {
            check(is[i].end == was[i].end, "a line end changed");
            if (is[i].text != was[i].text) {
                ++changed;
                at = i;
            }
        }
        check(changed <= 1, "more than the key's line changed");
        if (changed == 1) {
            check(is_key_line(is[at].text), "the changed line is not the key's");
            if (key == SettingsKey::hidden_on_map && next.hidden_on_map != 0) {
                const std::string value = is[at].text.substr(is[at].text.find('=') + 1);
                const std::string old = was[at].text.substr(was[at].text.find('=') + 1);
                check(has_name(value) == has_name(old), "categories written another way than the player's");
            }
        }
    } else {
        check(is.size() == was.size() + 1, "more than one line added");
        for (std::size_t i = 0; i < was.size(); ++i) {
            check(is[i].text == was[i].text, "a line changed beside the one added");
            check(is[i].end == was[i].end || (i + 1 == was.size() && was[i].end.empty()), "a line end changed");
        }
        const std::string file_end = was.empty() || (was.size() == 1 && was[0].end.empty()) ? "\r\n" : was[0].end;
        check(is.back().end == file_end, "the added line does not end as the file's lines");
        if (!was.empty() && was.back().end.empty()) check(is[was.size() - 1].end == file_end, "the last end");
        check(is_key_line(is.back().text), "the added line is not the key's");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const auto key = static_cast<SettingsKey>(data[0] & 3);
    const bool pad = (data[0] & 0x7C) == 0x7C;
    const std::uint8_t seed = data[1], slack = data[2];
    std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);
    if (pad && text.size() + 3 + slack < settings_file_most_bytes) {
        // A comment line in front, to within a line's length of the size.
        text = "#" + std::string(settings_file_most_bytes - text.size() - 3 - slack, 'x') + "\r\n" + text;
    }
    const Parsed parsed = parse(text);
    const std::vector<TextLine> lines = lines_of(text);
    check_parse(parsed, lines.size());
    check_utf16(text, data, size);
    check_rewrite(text, parsed, lines, key, seed);
    return 0;
}
