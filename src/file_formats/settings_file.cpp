#include "src/file_formats/settings_file.h"

#include <cstring>

#include "src/base/utf8.h"
#include "src/file_formats/marker_record.h"
#include "src/file_formats/markers_folder.h"

// Sections: the settings · lines · values · reading · writing.

static_assert(settings_category_count == static_cast<std::int32_t>(category_count),
              "hidden_on_map numbers the categories of the table");

// ---- the settings -------------------------------------------------------------------------

void settings_set_route_colour(Settings& s, std::uint8_t index) {
    s.route_colour = index < route_colour_count ? index : 0;
    s.route_colour_hash = route_colours[s.route_colour].hash;
}

bool settings_equal(const Settings& a, const Settings& b) {
    return a.capture_off == b.capture_off && a.hidden_on_map == b.hidden_on_map &&
           settings_blip_limit(a) == settings_blip_limit(b) && a.route_colour == b.route_colour &&
           settings_found_range(a) == settings_found_range(b) && a.auto_found_off == b.auto_found_off &&
           settings_found_on_map(a) == settings_found_on_map(b);
}

// The name of category `n` (1 to 10) as hidden_on_map takes it: the table's
// name without "Marker (" and ")".
static std::string_view category_short_name(std::int32_t n) {
    constexpr std::string_view prefix = "Marker (";
    const std::string_view full = category_names[n - 1];
    if (full.size() > prefix.size() && full.substr(0, prefix.size()) == prefix && full.back() == ')') {
        return full.substr(prefix.size(), full.size() - prefix.size() - 1);
    }
    return full;
}

namespace {
// How hidden_on_map's categories are written: "2, 5", "Pin, Foe" or "2 Pin, 5 Foe".
enum class CategoryForm : std::uint8_t { numbers, names, shown };
}  // namespace

static void append_value(TextBuilder& out, const Settings& s, SettingsKey key, CategoryForm form) {
    switch (key) {
        case SettingsKey::capture_waypoints: text_append(out, s.capture_off ? "false" : "true"); break;
        case SettingsKey::hidden_on_map: {
            bool first = true;
            for (std::int32_t n = 1; n <= settings_category_count; ++n) {
                if (!settings_hides(s, n - 1)) continue;
                if (!first) text_append(out, ", ");
                if (form != CategoryForm::names) text_append_i64(out, n);
                if (form == CategoryForm::shown) text_append_char(out, ' ');
                if (form != CategoryForm::numbers) text_append(out, category_short_name(n));
                first = false;
            }
            break;
        }
        case SettingsKey::blip_limit: text_append_i64(out, settings_blip_limit(s)); break;
        case SettingsKey::route_colour:
            text_append(out, route_colours[s.route_colour < route_colour_count ? s.route_colour : 0].name);
            break;
        case SettingsKey::found_range: text_append_i64(out, settings_found_range(s)); break;
        case SettingsKey::auto_found: text_append(out, s.auto_found_off ? "false" : "true"); break;
        case SettingsKey::found_on_map:
            text_append(out, found_on_map_names[static_cast<std::size_t>(settings_found_on_map(s))]);
            break;
    }
}

void append_settings_value(TextBuilder& out, const Settings& s, SettingsKey key) {
    append_value(out, s, key, CategoryForm::numbers);
}

void append_settings_value_shown(TextBuilder& out, const Settings& s, SettingsKey key) {
    append_value(out, s, key, CategoryForm::shown);
}

static bool differs_from_default(const Settings& s, SettingsKey key) {
    switch (key) {
        case SettingsKey::capture_waypoints: return s.capture_off;
        case SettingsKey::hidden_on_map: return s.hidden_on_map != 0;
        case SettingsKey::blip_limit: return settings_blip_limit(s) != settings_blip_limit_most;
        case SettingsKey::route_colour: return s.route_colour != 0;
        case SettingsKey::found_range: return settings_found_range(s) != settings_found_range_default;
        case SettingsKey::auto_found: return s.auto_found_off;
        case SettingsKey::found_on_map: return settings_found_on_map(s) != FoundOnMap::dim;
    }
    return false;
}

static void append_key_and_value(TextBuilder& out, const Settings& s, SettingsKey key,
                                 CategoryForm form = CategoryForm::numbers) {
    text_append(out, settings_key_names[static_cast<std::size_t>(key)]);
    text_append(out, " =");
    const std::size_t before = out.length;
    text_append_char(out, ' ');
    append_value(out, s, key, form);
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

bool is_blank(char c) { return c == ' ' || c == '\t'; }

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

// A line ends at LF, CRLF or a CR alone, as editors show them: a file saved
// with CR line ends (old Mac editors) or with one stray CR among CRLFs has
// the lines a player sees in it.
bool next_line(std::string_view file, std::size_t at, Line& line) {
    if (at >= file.size()) return false;
    std::size_t end = at;
    while (end < file.size() && file[end] != '\n' && file[end] != '\r') ++end;
    std::size_t next = end;
    if (next < file.size()) next += file[next] == '\r' && next + 1 < file.size() && file[next + 1] == '\n' ? 2 : 1;
    line = Line{file.substr(at, end - at), at, end, next};
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

// One of hidden_on_map's categories, 1 to 10: its number ("5"), its name in
// any case ("foe"), or both as a player reads them ("5 Foe"); else -1.
std::int32_t category_of(std::string_view item) {
    const std::int32_t number = small_number(item);
    if (number >= 1 && number <= settings_category_count) return number;
    if (number >= 0) return -1;
    for (std::int32_t n = 1; n <= settings_category_count; ++n) {
        if (equal_ignoring_case(item, category_short_name(n))) return n;
    }
    const std::size_t space = item.find_first_of(" \t");
    if (space == std::string_view::npos) return -1;
    const std::int32_t n = small_number(item.substr(0, space));
    if (n < 1 || n > settings_category_count) return -1;
    return equal_ignoring_case(trim(item.substr(space)), category_short_name(n)) ? n : -1;
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
                    const std::int32_t n = category_of(trim(rest.substr(0, comma)));
                    if (n < 1) return false;
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
        case SettingsKey::found_range: {
            const std::int32_t n = small_number(value);
            if (n < 1 || n > settings_found_range_most) return false;
            s.found_range = n;
            return true;
        }
        case SettingsKey::auto_found:
            if (equal_ignoring_case(value, "true")) s.auto_found_off = false;
            else if (equal_ignoring_case(value, "false")) s.auto_found_off = true;
            else return false;
            return true;
        case SettingsKey::found_on_map:
            for (std::size_t i = 0; i < found_on_map_count; ++i) {
                if (equal_ignoring_case(value, found_on_map_names[i])) {
                    s.found_on_map = static_cast<FoundOnMap>(i);
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
        case SettingsKey::found_range: s.found_range = defaults.found_range; break;
        case SettingsKey::auto_found: s.auto_found_off = defaults.auto_found_off; break;
        case SettingsKey::found_on_map: s.found_on_map = defaults.found_on_map; break;
    }
}

const char* what_key_takes(SettingsKey key) {
    switch (key) {
        case SettingsKey::capture_waypoints: return "true or false";
        case SettingsKey::hidden_on_map:
            return "categories by number from 1 to 10 or by name (Foe, Animal), separated by commas";
        case SettingsKey::blip_limit: return "a whole number from 1 to 500";
        case SettingsKey::route_colour:
            return "one of COLOR_RED, COLOR_YELLOW, COLOR_BLUE, COLOR_GREEN, COLOR_WHITE, "
                   "COLOR_PURPLE";
        case SettingsKey::found_range: return "a whole number of metres from 1 to 50";
        case SettingsKey::auto_found: return "true or false";
        case SettingsKey::found_on_map: return "dim, hide or show";
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

Settings parse_settings(std::string_view text, std::string_view path, SettingsComplaint complain, void* data,
                        std::uint32_t* keys_set) {
    const Complainer c{path, complain, data};
    std::uint32_t set = 0;
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
        if (take_value(s, key, value)) {
            ++set;
            continue;
        }
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
    if (keys_set) *keys_set = set;
    return s;
}

static bool has_utf16_bom(std::string_view bytes) {
    return bytes.size() >= 2 &&
           ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

SettingsEncoding settings_encoding(std::string_view bytes) {
    if (bytes.size() < 2) return SettingsEncoding::utf8;
    if (bytes[0] == '\xFF' && bytes[1] == '\xFE') return SettingsEncoding::utf16_le;
    if (bytes[0] == '\xFE' && bytes[1] == '\xFF') return SettingsEncoding::utf16_be;
    // Without a BOM: a first character of ASCII with a zero byte beside it.
    // UTF-8 text has no zero byte, and a settings file begins with a key, a
    // comment or a line end.
    const auto a = static_cast<unsigned char>(bytes[0]), b = static_cast<unsigned char>(bytes[1]);
    if (a != 0 && a < 0x80 && b == 0) return SettingsEncoding::utf16_le;
    if (a == 0 && b != 0 && b < 0x80) return SettingsEncoding::utf16_be;
    return SettingsEncoding::utf8;
}

// Calls `take` with each character of UTF-16 `bytes`, in order.
template <typename Take>
static void each_utf16_character(std::string_view bytes, bool big_endian, Take take) {
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[2 * i]), b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return static_cast<std::uint32_t>(big_endian ? a << 8 | b : b << 8 | a);
    };
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = replacement_character;
        }
        take(cp);
    }
    if (bytes.size() % 2 != 0) take(replacement_character);
}

bool settings_text_from_utf16(std::string_view bytes, bool big_endian, const Allocator& allocator, char** text,
                              std::size_t* size) {
    *text = nullptr;
    *size = 0;
    std::size_t n = 0;
    each_utf16_character(bytes, big_endian, [&](std::uint32_t cp) { n += utf8_length(cp); });
    char* out = static_cast<char*>(allocate_bytes(allocator, n + 1, 1));
    if (!out) return false;
    std::size_t at = 0;
    each_utf16_character(bytes, big_endian, [&](std::uint32_t cp) { at += utf8_encode(cp, out + at); });
    out[n] = '\0';
    *text = out;
    *size = n;
    return true;
}

std::uint64_t settings_text_hash(std::string_view bytes) {
    std::uint64_t h = 0xcbf29ce484222325u;
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3u;
    }
    return h;
}

SettingsFileText read_settings_text(const char* path, const Allocator& allocator) {
    SettingsFileText t{};
    t.info = platform_file_info(path);
    if (t.info.kind == PlatformFileKind::missing) {
        t.state = SettingsFileState::missing;
        return t;
    }
    if (obstacle_description(t.info.kind)) {
        t.state = SettingsFileState::not_a_file;
        return t;
    }
    if (t.info.kind == PlatformFileKind::regular && t.info.size > settings_file_most_bytes) {
        t.state = SettingsFileState::too_big;
        return t;
    }
    char* bytes = nullptr;
    std::size_t size = 0;
    const PlatformError e = platform_read_file(path, allocator, &bytes, &size);
    if (e.code != 0) {
        // Gone since it was looked at, or there and not to be had.
        t.state = platform_error_is_not_found(e) ? SettingsFileState::missing : SettingsFileState::unreadable;
        t.error = e;
        return t;
    }
    if (size > settings_file_most_bytes) {
        // Grown between the look and the read.
        free_bytes(allocator, bytes, size + 1);
        t.state = SettingsFileState::too_big;
        t.info.size = size;
        return t;
    }
    const std::string_view view(bytes, size);
    t.hash = settings_text_hash(view);
    t.encoding = settings_encoding(view);
    t.state = SettingsFileState::read;
    if (t.encoding == SettingsEncoding::utf8) {
        t.text = bytes;
        t.size = size;
        return t;
    }
    const bool converted =
        settings_text_from_utf16(view.substr(has_utf16_bom(view) ? 2 : 0), t.encoding == SettingsEncoding::utf16_be,
                                 allocator, &t.text, &t.size);
    free_bytes(allocator, bytes, size + 1);
    if (!converted) {
        t.state = SettingsFileState::unreadable;
        t.out_of_memory = true;
    }
    return t;
}

void free_settings_text(SettingsFileText& t, const Allocator& allocator) {
    if (t.text) free_bytes(allocator, t.text, t.size + 1);
    t.text = nullptr;
    t.size = 0;
}

void settings_read_error_name(const SettingsFileText& t, char* name, std::size_t size) {
    if (t.out_of_memory) {
        TextBuilder n = text_builder(name, size);
        text_append(n, "out of memory");
    } else {
        platform_error_name(t.error, name, size);
    }
}

void append_settings_file_fault(TextBuilder& out, const char* path, const SettingsFileText& t) {
    switch (t.state) {
        case SettingsFileState::read:
            if (t.encoding == SettingsEncoding::utf8) return;
            text_append(out, path);
            text_append(out,
                        " is UTF-16 text (what some editors call \"Unicode\"): Quillfen reads it, but cannot write "
                        "the switches of the game into it; save it as UTF-8 (in Notepad: Save As, Encoding UTF-8)");
            return;
        case SettingsFileState::missing: return;
        case SettingsFileState::not_a_file:
            text_append(out, path);
            text_append(out, " is ");
            text_append(out, obstacle_description(t.info.kind));
            text_append(out, ", not a settings file: every setting is at its default, and Quillfen leaves it alone");
            return;
        case SettingsFileState::too_big:
            text_append(out, path);
            text_append(out, " is ");
            text_append_u64(out, t.info.size);
            text_append(out,
                        " bytes, more than a settings file can be (65536): every setting is at its default, and "
                        "Quillfen leaves it alone; remove it to have it written anew");
            return;
        case SettingsFileState::unreadable: {
            char name[64];
            settings_read_error_name(t, name, sizeof name);
            text_append(out, "Could not read ");
            text_append(out, path);
            text_append(out, " (");
            text_append(out, name);
            text_append(out, "): every setting is at its default until it can be read");
            return;
        }
    }
}

SettingsFileRead read_settings_file(const char* path, const Allocator& allocator, SettingsComplaint complain,
                                    void* data) {
    SettingsFileText t = read_settings_text(path, allocator);
    SettingsFileRead r{};
    settings_set_route_colour(r.settings, 0);
    r.state = t.state;
    r.info = t.info;
    r.encoding = t.encoding;
    r.hash = t.hash;
    char buffer[512];
    TextBuilder b = text_builder(buffer, sizeof buffer);
    append_settings_file_fault(b, path, t);
    if (b.length > 0 && complain) complain(data, text_view(b));
    if (t.state == SettingsFileState::read) {
        r.settings = parse_settings(std::string_view(t.text, t.size), path, complain, data, &r.keys_set);
    }
    free_settings_text(t, allocator);
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
        case SettingsKey::found_range:
            return "; How near (metres over the ground, 1 to 50) a pack's marker must be to count as found.";
        case SettingsKey::auto_found:
            return "; Whether a pack's marker becomes found when you come near it: true or false.";
        case SettingsKey::found_on_map:
            return "; A found marker on the map: dim (drawn dimmed), hide (not drawn) or show (as any other).";
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
    std::string_view line_end;  // the file's own: that of its first line
    for (std::size_t at = first_line_start(text); next_line(text, at, line); at = line.next) {
        if (line_end.empty()) line_end = text.substr(line.end, line.next - line.end);
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
        // A player who named the categories reads names after a switch too.
        CategoryForm form = CategoryForm::numbers;
        const std::string_view value = found.text.substr(found.text.find('=') + 1);
        for (const char c : value) {
            if (c == '?' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) form = CategoryForm::names;
        }
        text_append(out, text.substr(0, found.start));
        append_key_and_value(out, s, key, form);
        text_append(out, text.substr(found.end));
        return;
    }
    if (line_end.empty()) line_end = "\r\n";
    text_append(out, text);
    if (!text.empty() && text.back() != '\n' && text.back() != '\r' && text != byte_order_mark) {
        text_append(out, line_end);
    }
    append_key_and_value(out, s, key);
    text_append(out, line_end);
}

SettingsRewrite rewrite_settings_text(TextBuilder& out, std::string_view text, const Settings& s, SettingsKey key,
                                      std::size_t* size) {
    const std::size_t start = out.length;
    if (size) *size = 0;
    if (settings_encoding(text) != SettingsEncoding::utf8) return SettingsRewrite::utf16;
    append_settings_text_with(out, text, s, key);
    const std::size_t length = out.length - start;
    if (length <= settings_file_most_bytes && !out.truncated) return SettingsRewrite::written;
    if (size) *size = length;
    out.length = start;
    if (out.capacity > 0) out.data[start] = '\0';
    return SettingsRewrite::too_big;
}
