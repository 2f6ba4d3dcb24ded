#include "src/markers_file/settings_file.h"

#include "src/base/utf8.h"
#include "src/markers_file/markers_folder.h"

// Sections: the settings · lines · values · reading · writing.

// ---- the settings -------------------------------------------------------------------------

void settings_set_route_colour(Settings& s, std::uint8_t index) {
    s.route_colour = index < route_colour_count ? index : 0;
    s.route_colour_hash = route_colours[s.route_colour].hash;
}

bool settings_equal(const Settings& a, const Settings& b) {
    return a.capture_off == b.capture_off && a.hidden_on_map == b.hidden_on_map &&
           settings_blip_limit(a) == settings_blip_limit(b) && a.route_colour == b.route_colour;
}

void append_settings_value(TextBuilder& out, const Settings& s, SettingsKey key) {
    switch (key) {
        case SettingsKey::capture_waypoints: text_append(out, s.capture_off ? "false" : "true"); break;
        case SettingsKey::hidden_on_map: {
            bool first = true;
            for (std::int32_t n = 1; n <= settings_category_count; ++n) {
                if (!settings_hides(s, n - 1)) continue;
                if (!first) text_append(out, ", ");
                text_append_i64(out, n);
                first = false;
            }
            break;
        }
        case SettingsKey::blip_limit: text_append_i64(out, settings_blip_limit(s)); break;
        case SettingsKey::route_colour:
            text_append(out, route_colours[s.route_colour < route_colour_count ? s.route_colour : 0].name);
            break;
    }
}

static bool differs_from_default(const Settings& s, SettingsKey key) {
    switch (key) {
        case SettingsKey::capture_waypoints: return s.capture_off;
        case SettingsKey::hidden_on_map: return s.hidden_on_map != 0;
        case SettingsKey::blip_limit: return settings_blip_limit(s) != settings_blip_limit_most;
        case SettingsKey::route_colour: return s.route_colour != 0;
    }
    return false;
}

static void append_key_and_value(TextBuilder& out, const Settings& s, SettingsKey key) {
    text_append(out, settings_key_names[static_cast<std::size_t>(key)]);
    text_append(out, " =");
    const std::size_t before = out.length;
    text_append_char(out, ' ');
    append_settings_value(out, s, key);
    // "hidden_on_map =" when nothing is hidden, without a space at the end.
    if (out.length == before + 1) {
        out.length = before;
        if (out.capacity > 0) out.data[out.length] = '\0';
    }
}

void append_settings_differences(TextBuilder& out, const Settings& s) {
    bool first = true;
    for (std::size_t k = 0; k < settings_key_count; ++k) {
        const auto key = static_cast<SettingsKey>(k);
        if (!differs_from_default(s, key)) continue;
        if (!first) text_append(out, ", ");
        append_key_and_value(out, s, key);
        first = false;
    }
}

// ---- lines --------------------------------------------------------------------------------

namespace {

constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

// A stray CR (a line end written twice over, "\r\r\n") counts as blank too.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view t) {
    while (!t.empty() && is_blank(t.front())) t.remove_prefix(1);
    while (!t.empty() && is_blank(t.back())) t.remove_suffix(1);
    return t;
}

// One line of the file: its text without the line end, and where it stands.
struct Line {
    std::string_view text;
    std::size_t start, end;  // the text's bytes in the file; the line end follows `end`
    std::size_t next;        // where the next line starts
};

bool next_line(std::string_view file, std::size_t at, Line& line) {
    if (at >= file.size()) return false;
    std::size_t end = file.find('\n', at);
    const std::size_t next = end == std::string_view::npos ? file.size() : end + 1;
    if (end == std::string_view::npos) end = file.size();
    std::size_t text_end = end;
    if (text_end > at && file[text_end - 1] == '\r') --text_end;
    line = Line{file.substr(at, text_end - at), at, text_end, next};
    return true;
}

std::size_t first_line_start(std::string_view file) {
    return file.substr(0, byte_order_mark.size()) == byte_order_mark ? byte_order_mark.size() : 0;
}

bool is_comment_or_blank(std::string_view text) {
    const std::string_view t = trim(text);
    return t.empty() || t.front() == ';' || t.front() == '#';
}

bool is_utf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const Utf8Char c = utf8_decode(p, end);
        if (!c.valid) return false;
        p += c.length;
    }
    return true;
}

int key_index(std::string_view key) {
    for (std::size_t k = 0; k < settings_key_count; ++k) {
        if (key == settings_key_names[k]) return static_cast<int>(k);
    }
    return -1;
}

// The smallest number of single-byte edits turning `a` into `b` (both cut at 48 bytes).
std::size_t edit_distance(std::string_view a, std::string_view b) {
    constexpr std::size_t most = 48;
    if (a.size() > most) a = a.substr(0, most);
    if (b.size() > most) b = b.substr(0, most);
    std::size_t row[most + 1];
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            const std::size_t change = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
            const std::size_t insert = row[j - 1] + 1, remove = above + 1;
            row[j] = change < insert ? (change < remove ? change : remove) : (insert < remove ? insert : remove);
            diagonal = above;
        }
    }
    return row[b.size()];
}

const char* likely_key(std::string_view key) {
    std::size_t best = 0, best_distance = static_cast<std::size_t>(-1);
    for (std::size_t k = 0; k < settings_key_count; ++k) {
        const std::size_t d = edit_distance(key, settings_key_names[k]);
        if (d < best_distance) {
            best = k;
            best_distance = d;
        }
    }
    return settings_key_names[best];
}

// A value as a line quotes it: at most 40 bytes, cut where a character begins.
void append_quoted(TextBuilder& out, std::string_view value) {
    constexpr std::size_t most = 40;
    text_append_char(out, '"');
    if (value.size() <= most) {
        text_append(out, value);
    } else {
        std::size_t cut = most;
        while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
        text_append(out, value.substr(0, cut));
        text_append(out, "...");
    }
    text_append_char(out, '"');
}

struct Complainer {
    std::string_view path;
    SettingsComplaint complain;
    void* data;
};

// "PATH line N: " in `out`, ready for the rest of the line.
TextBuilder begin_complaint(char* buffer, std::size_t capacity, const Complainer& c, std::size_t line) {
    TextBuilder b = text_builder(buffer, capacity);
    text_append(b, c.path);
    text_append(b, " line ");
    text_append_u64(b, line);
    text_append(b, ": ");
    return b;
}

void finish_complaint(const Complainer& c, const TextBuilder& b) {
    if (c.complain) c.complain(c.data, text_view(b));
}

// ---- values -------------------------------------------------------------------------------

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// A whole number of at most four digits, no sign: else -1.
std::int32_t small_number(std::string_view t) {
    if (t.empty() || t.size() > 4) return -1;
    std::int32_t n = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// Sets `key` from `value`; false when the value is not one the key takes.
bool take_value(Settings& s, SettingsKey key, std::string_view value) {
    switch (key) {
        case SettingsKey::capture_waypoints:
            if (equal_ignoring_case(value, "true")) s.capture_off = false;
            else if (equal_ignoring_case(value, "false")) s.capture_off = true;
            else return false;
            return true;
        case SettingsKey::hidden_on_map: {
            std::uint16_t hidden = 0;
            std::string_view rest = value;
            if (!trim(rest).empty()) {
                for (;;) {
                    const std::size_t comma = rest.find(',');
                    const std::int32_t n = small_number(trim(rest.substr(0, comma)));
                    if (n < 1 || n > settings_category_count) return false;
                    hidden = static_cast<std::uint16_t>(hidden | 1u << (n - 1));
                    if (comma == std::string_view::npos) break;
                    rest.remove_prefix(comma + 1);
                }
            }
            s.hidden_on_map = hidden;
            return true;
        }
        case SettingsKey::blip_limit: {
            const std::int32_t n = small_number(value);
            if (n < 1 || n > settings_blip_limit_most) return false;
            s.blip_limit = n;
            return true;
        }
        case SettingsKey::route_colour:
            for (std::size_t i = 0; i < route_colour_count; ++i) {
                if (equal_ignoring_case(value, route_colours[i].name)) {
                    settings_set_route_colour(s, static_cast<std::uint8_t>(i));
                    return true;
                }
            }
            return false;
    }
    return false;
}

void set_default(Settings& s, SettingsKey key) {
    const Settings defaults{};
    switch (key) {
        case SettingsKey::capture_waypoints: s.capture_off = defaults.capture_off; break;
        case SettingsKey::hidden_on_map: s.hidden_on_map = defaults.hidden_on_map; break;
        case SettingsKey::blip_limit: s.blip_limit = defaults.blip_limit; break;
        case SettingsKey::route_colour: settings_set_route_colour(s, 0); break;
    }
}

const char* what_key_takes(SettingsKey key) {
    switch (key) {
        case SettingsKey::capture_waypoints: return "true or false";
        case SettingsKey::hidden_on_map: return "category numbers from 1 to 10, separated by commas";
        case SettingsKey::blip_limit: return "a whole number from 1 to 500";
        case SettingsKey::route_colour:
            return "one of COLOR_RED, COLOR_YELLOW, COLOR_BLUE, COLOR_GREEN, COLOR_WHITE, "
                   "COLOR_PURPLE";
    }
    return "";
}

void append_default(TextBuilder& b, SettingsKey key) {
    text_append(b, "using the default, ");
    if (key == SettingsKey::hidden_on_map) {
        text_append(b, "no category hidden");
        return;
    }
    append_key_and_value(b, Settings{}, key);
}

}  // namespace

// ---- reading ------------------------------------------------------------------------------

Settings parse_settings(std::string_view text, std::string_view path, SettingsComplaint complain, void* data) {
    const Complainer c{path, complain, data};
    Settings s{};
    settings_set_route_colour(s, 0);
    std::size_t first_on[settings_key_count] = {};  // the line that first set each key, 0: none
    char buffer[512];
    Line line{};
    std::size_t number = 0;
    for (std::size_t at = first_line_start(text); next_line(text, at, line); at = line.next) {
        ++number;
        if (is_comment_or_blank(line.text)) continue;
        const std::size_t equals = line.text.find('=');
        const std::string_view key_text = trim(line.text.substr(0, equals));
        const int k = equals == std::string_view::npos ? -1 : key_index(key_text);
        const bool utf8 = is_utf8(line.text);
        if (!utf8 && k < 0) {
            TextBuilder b = begin_complaint(buffer, sizeof buffer, c, number);
            text_append(b, "the line is not UTF-8 text and is ignored; save the file as UTF-8");
            finish_complaint(c, b);
            continue;
        }
        if (equals == std::string_view::npos) {
            TextBuilder b = begin_complaint(buffer, sizeof buffer, c, number);
            append_quoted(b, trim(line.text));
            text_append(b, " has no \"=\" and is ignored; a setting is written key = value");
            finish_complaint(c, b);
            continue;
        }
        if (k < 0) {
            TextBuilder b = begin_complaint(buffer, sizeof buffer, c, number);
            text_append(b, "unknown key ");
            append_quoted(b, key_text);
            text_append(b, ", ignored; did you mean ");
            text_append(b, likely_key(key_text));
            text_append(b, "?");
            finish_complaint(c, b);
            continue;
        }
        const auto key = static_cast<SettingsKey>(k);
        if (first_on[k] != 0) {
            TextBuilder b = begin_complaint(buffer, sizeof buffer, c, number);
            text_append(b, settings_key_names[k]);
            text_append(b, " is set again (first on line ");
            text_append_u64(b, first_on[k]);
            text_append(b, "); the last one counts");
            finish_complaint(c, b);
        } else {
            first_on[k] = number;
        }
        if (!utf8) {
            set_default(s, key);
            TextBuilder b = begin_complaint(buffer, sizeof buffer, c, number);
            text_append(b, "the value of ");
            text_append(b, settings_key_names[k]);
            text_append(b, " is not UTF-8 text; ");
            append_default(b, key);
            finish_complaint(c, b);
            continue;
        }
        const std::string_view value = trim(line.text.substr(equals + 1));
        if (take_value(s, key, value)) continue;
        set_default(s, key);
        TextBuilder b = begin_complaint(buffer, sizeof buffer, c, number);
        text_append(b, settings_key_names[k]);
        text_append(b, " takes ");
        text_append(b, what_key_takes(key));
        text_append(b, ", not ");
        append_quoted(b, value);
        text_append(b, "; ");
        append_default(b, key);
        finish_complaint(c, b);
    }
    return s;
}

static void complain_whole(SettingsComplaint complain, void* data, const TextBuilder& b) {
    if (complain) complain(data, text_view(b));
}

SettingsFileRead read_settings_file(const char* path, const Allocator& allocator, SettingsComplaint complain,
                                    void* data) {
    SettingsFileRead r{};
    settings_set_route_colour(r.settings, 0);
    r.info = platform_file_info(path);
    char buffer[512];
    TextBuilder b = text_builder(buffer, sizeof buffer);
    if (r.info.kind == PlatformFileKind::missing) {
        r.state = SettingsFileState::missing;
        return r;
    }
    if (const char* what = obstacle_description(r.info.kind)) {
        r.state = SettingsFileState::not_a_file;
        text_append(b, path);
        text_append(b, " is ");
        text_append(b, what);
        text_append(b, ", not a settings file: every setting is at its default, and Quillfen leaves it alone");
        complain_whole(complain, data, b);
        return r;
    }
    if (r.info.kind == PlatformFileKind::regular && r.info.size > settings_file_most_bytes) {
        r.state = SettingsFileState::too_big;
        text_append(b, path);
        text_append(b, " is ");
        text_append_u64(b, r.info.size);
        text_append(b,
                    " bytes, more than a settings file can be (65536): every setting is at its default, and "
                    "Quillfen leaves it alone; remove it to have it written anew");
        complain_whole(complain, data, b);
        return r;
    }
    char* text = nullptr;
    std::size_t size = 0;
    const PlatformError e = platform_read_file(path, allocator, &text, &size);
    if (e.code != 0) {
        if (platform_error_is_not_found(e)) {
            r.state = SettingsFileState::missing;  // gone since it was looked at
            return r;
        }
        r.state = SettingsFileState::unreadable;
        char name[64];
        platform_error_name(e, name, sizeof name);
        text_append(b, "Could not read ");
        text_append(b, path);
        text_append(b, " (");
        text_append(b, name);
        text_append(b, "): every setting is at its default until it can be read");
        complain_whole(complain, data, b);
        return r;
    }
    if (size > settings_file_most_bytes) {
        // Grown between the look and the read.
        free_bytes(allocator, text, size + 1);
        r.state = SettingsFileState::too_big;
        r.info.size = size;
        text_append(b, path);
        text_append(b, " is ");
        text_append_u64(b, size);
        text_append(b,
                    " bytes, more than a settings file can be (65536): every setting is at its default, and "
                    "Quillfen leaves it alone; remove it to have it written anew");
        complain_whole(complain, data, b);
        return r;
    }
    r.state = SettingsFileState::read;
    r.settings = parse_settings(std::string_view(text, size), path, complain, data);
    free_bytes(allocator, text, size + 1);
    return r;
}

// ---- writing ------------------------------------------------------------------------------

static const char* key_comment(SettingsKey key) {
    switch (key) {
        case SettingsKey::capture_waypoints:
            return "; Whether a new map waypoint becomes a marker: true or false (the quick add at the waypoint "
                   "works either way).";
        case SettingsKey::hidden_on_map:
            return "; Categories whose markers get no blip on the map, by number, comma-separated: 1 Flag, 2 Pin, "
                   "3 ?, 4 Friend, 5 Foe, 6 Chest, 7 Cash, 8 Animal, 9 Plant, 10 Cross.";
        case SettingsKey::blip_limit: return "; At most this many blips on the map: 1 to 500.";
        case SettingsKey::route_colour:
            return "; The route's colour: COLOR_RED, COLOR_YELLOW, COLOR_BLUE, COLOR_GREEN, COLOR_WHITE or "
                   "COLOR_PURPLE.";
    }
    return "";
}

void append_new_settings_text(TextBuilder& out, const Settings& s) {
    for (std::size_t k = 0; k < settings_key_count; ++k) {
        const auto key = static_cast<SettingsKey>(k);
        text_append(out, key_comment(key));
        text_append(out, "\r\n");
        append_key_and_value(out, s, key);
        text_append(out, "\r\n");
    }
}

void append_settings_text_with(TextBuilder& out, std::string_view text, const Settings& s, SettingsKey key) {
    // The line that counts: the last that sets the key, as parse_settings reads it.
    const std::string_view name = settings_key_names[static_cast<std::size_t>(key)];
    Line line{}, found{};
    bool any = false;
    bool crlf = false, crlf_known = false;
    for (std::size_t at = first_line_start(text); next_line(text, at, line); at = line.next) {
        if (!crlf_known && line.next > line.end) {
            crlf = line.next - line.end == 2;
            crlf_known = true;
        }
        // A line of the key whose value is not UTF-8 counts too (it gives the
        // default), so it is the one replaced when it comes last.
        if (is_comment_or_blank(line.text)) continue;
        const std::size_t equals = line.text.find('=');
        if (equals != std::string_view::npos && trim(line.text.substr(0, equals)) == name) {
            found = line;
            any = true;
        }
    }
    if (any) {
        text_append(out, text.substr(0, found.start));
        append_key_and_value(out, s, key);
        text_append(out, text.substr(found.end));
        return;
    }
    text_append(out, text);
    const char* line_end = crlf || !crlf_known ? "\r\n" : "\n";
    if (!text.empty() && text.back() == '\r') {
        text_append(out, "\n");  // a CR at the very end: made the CRLF it stands for
    } else if (!text.empty() && text.back() != '\n' && text != byte_order_mark) {
        text_append(out, line_end);
    }
    append_key_and_value(out, s, key);
    text_append(out, line_end);
}
