#include "src/file_formats/marker_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "src/base/growable_array.h"
#include "src/base/text_builder.h"
#include "src/base/utf8.h"
#include "src/file_formats/marker_keys.h"
#include "src/json5/json5_reader.h"

// Sections: text output · the writer · the reader.

// ---- text output --------------------------------------------------------------------
// A growing text from the run's allocator, always with room for its
// terminator; the final text is handed over as is. Once it could not grow,
// nothing more is written and the writer reports the failure.

namespace {

struct Output {
    const Allocator* allocator;
    GrowableArray<char> text;
    bool failed;
};

// Room for `extra` more bytes and the terminator: from 256 bytes, doubled as
// often as needed.
bool reserve(Output& o, std::size_t extra) {
    if (o.failed) return false;
    const std::size_t need = o.text.length + extra + 1;
    if (need <= o.text.capacity) return true;
    std::size_t capacity = o.text.capacity ? o.text.capacity : 256;
    while (capacity < need) capacity *= 2;
    if (!array_reserve(o.text, *o.allocator, capacity)) {
        o.failed = true;
        return false;
    }
    return true;
}

void put(Output& o, std::string_view s) {
    if (!reserve(o, s.size())) return;
    std::memcpy(o.text.data + o.text.length, s.data(), s.size());
    o.text.length += s.size();
}

void put_char(Output& o, char c) {
    if (!reserve(o, 1)) return;
    o.text.data[o.text.length++] = c;
}

// The text, zero-terminated, to its new owner; or nothing when the output ran
// out of memory.
SerializeError hand_over(Output& o, MarkersText& out) {
    if (o.failed) {
        array_free(o.text);
        out = MarkersText{};
        return SerializeError::out_of_memory;
    }
    o.text.data[o.text.length] = '\0';
    out = MarkersText{o.text.data, o.text.length, o.text.capacity};
    return SerializeError::none;
}

void put_indent(Output& o, int level) {
    for (int i = 0; i < level; ++i) put(o, "    ");
}

void put_i64(Output& o, std::int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    put(o, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

void put_escaped_code_point(Output& o, std::uint32_t cp) {
    static const char hex[] = "0123456789abcdef";
    char buf[6] = {'\\', 'u', hex[(cp >> 12) & 15], hex[(cp >> 8) & 15], hex[(cp >> 4) & 15], hex[cp & 15]};
    put(o, std::string_view(buf, 6));
}

// Quote and backslash escaped; control and other non-printing characters
// (C0, DEL, C1, the line and paragraph separators) as escapes; everything
// else as it is, in UTF-8. Bytes that are not UTF-8 become U+FFFD, so the file
// stays UTF-8 and the reader always takes it back.
void put_string(Output& o, const char* text) {
    put_char(o, '"');
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    std::size_t left = std::strlen(text);
    while (left > 0) {
        // Plain printable ASCII goes over in one piece.
        std::size_t run = 0;
        while (run < left && s[run] >= 0x20 && s[run] < 0x7F && s[run] != '"' && s[run] != '\\') ++run;
        if (run > 0) {
            put(o, std::string_view(reinterpret_cast<const char*>(s), run));
            s += run;
            left -= run;
            continue;
        }
        // Each byte of an ill-formed sequence becomes a U+FFFD of its own: what
        // the file has always held for such a name.
        const Utf8Char c = utf8_decode(s, s + left, Utf8Form::well_formed, Utf8Errors::each_byte);
        if (!c.valid) {
            put(o, "\xEF\xBF\xBD");
            ++s;
            --left;
            continue;
        }
        const std::uint32_t cp = c.code_point;
        const std::size_t n = c.length;
        switch (cp) {
            case '"': put(o, "\\\""); break;
            case '\\': put(o, "\\\\"); break;
            case '\b': put(o, "\\b"); break;
            case '\f': put(o, "\\f"); break;
            case '\n': put(o, "\\n"); break;
            case '\r': put(o, "\\r"); break;
            case '\t': put(o, "\\t"); break;
            default:
                if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029) {
                    put_escaped_code_point(o, cp);
                } else {
                    put(o, std::string_view(reinterpret_cast<const char*>(s), n));
                }
        }
        s += n;
        left -= n;
    }
    put_char(o, '"');
}

}  // namespace

// ---- the writer ---------------------------------------------------------------------------

namespace {

// A fixed piece of the layout, joined from the keys' names when compiling.
struct Piece {
    char text[80];
    std::size_t length;
    constexpr std::string_view view() const { return std::string_view(text, length); }
};

consteval Piece piece(std::initializer_list<std::string_view> parts) {
    Piece p{};
    for (std::string_view part : parts) {
        for (char c : part) p.text[p.length++] = c;
    }
    return p;
}

// The fixed pieces of the file and of a marker, indentation included.
constexpr Piece open_file_piece = piece({"{\n    \"", file_keys[key_markers].key, "\": [\n"});
constexpr Piece open_marker_piece =
    piece({"        {\n            \"", marker_keys[key_position].key, "\": [\n                "});
constexpr Piece next_coordinate_piece = piece({",\n                "});
constexpr Piece category_key_piece = piece({"\n            ],\n            \"", marker_keys[key_category].key, "\": "});
constexpr Piece name_key_piece = piece({",\n            \"", marker_keys[key_name].key, "\": "});
constexpr Piece timestamp_key_piece = piece({",\n            \"", marker_keys[key_timestamp].key,
                                             "\": {\n                \"", timestamp_keys[key_nsec].key, "\": "});
constexpr Piece close_stamp_piece = piece({"\n            }"});
constexpr Piece pack_key_piece = piece({",\n            \"", marker_keys[key_pack].key, "\": "});
constexpr Piece found_key_piece = piece({",\n            \"", marker_keys[key_found].key, "\": {\n                \"",
                                         timestamp_keys[key_nsec].key, "\": "});
constexpr Piece note_key_piece = piece({",\n            \"", marker_keys[key_note].key, "\": "});
constexpr Piece deleted_key_piece = piece({",\n            \"", deleted_keys[key_deleted].key,
                                           "\": {\n                \"", timestamp_keys[key_nsec].key, "\": "});
constexpr Piece close_marker_piece = piece({"\n        }"});

constexpr std::string_view open_file = open_file_piece.view();
constexpr std::string_view open_marker = open_marker_piece.view();
constexpr std::string_view next_coordinate = next_coordinate_piece.view();
constexpr std::string_view category_key = category_key_piece.view();
constexpr std::string_view name_key = name_key_piece.view();
constexpr std::string_view timestamp_key = timestamp_key_piece.view();
constexpr std::string_view close_stamp = close_stamp_piece.view();
constexpr std::string_view pack_key = pack_key_piece.view();
constexpr std::string_view found_key = found_key_piece.view();
constexpr std::string_view note_key = note_key_piece.view();
constexpr std::string_view deleted_key = deleted_key_piece.view();
constexpr std::string_view close_marker = close_marker_piece.view();

}  // namespace

std::size_t format_coordinate(float value, char* buffer) {
    if (std::isnan(value)) {
        std::memcpy(buffer, "NaN", 3);
        return 3;
    }
    if (std::isinf(value)) {
        const char* t = value < 0 ? "-Infinity" : "Infinity";
        std::size_t n = std::strlen(t);
        std::memcpy(buffer, t, n);
        return n;
    }
    // value = mantissa * 2^exponent exactly; value * 10^8 is rounded once to
    // an integer, an exact tie to the even one. Integer arithmetic covers every
    // float below 2^63; larger ones (no game position) take the library's path.
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = (bits >> 31) != 0;
    const int biased = static_cast<int>((bits >> 23) & 0xFF);
    std::uint64_t mantissa = bits & 0x7FFFFF;
    int exponent = -149;
    if (biased != 0) {
        mantissa |= 0x800000;
        exponent = biased - 150;
    }
    std::uint64_t whole, fraction;  // the rounded value is whole + fraction / 10^8
    if (exponent >= 0) {
        if (exponent > 39) {
            auto r = std::to_chars(buffer, buffer + 64, value, std::chars_format::fixed, 8);
            return static_cast<std::size_t>(r.ptr - buffer);
        }
        whole = mantissa << exponent;
        fraction = 0;
    } else {
        const int shift = -exponent;
        const std::uint64_t scaled = mantissa * 100000000u;  // below 2^51
        std::uint64_t q = 0;
        if (shift < 64) {
            q = scaled >> shift;
            const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
            const std::uint64_t half = std::uint64_t{1} << (shift - 1);
            if (rest > half || (rest == half && (q & 1))) ++q;
        }  // else: below half of the last place, so 0
        whole = q / 100000000u;
        fraction = q % 100000000u;
    }
    char* p = buffer;
    if (negative) *p++ = '-';
    p = std::to_chars(p, buffer + 64, whole).ptr;
    *p++ = '.';
    for (int i = 7; i >= 0; --i) {
        p[i] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    return static_cast<std::size_t>(p + 8 - buffer);
}

SerializeError serialize_markers(const MarkerDataV1* markers, std::size_t count, const Allocator& allocator,
                                 MarkersText& out, const std::int64_t* deleted_ns) {
    Output o{&allocator, {}, false};
    // About 220 bytes per marker without its name; one allocation in the common case.
    reserve(o, 64 + count * 240);
    put(o, open_file);
    if (count == 0) put(o, "\n");
    for (std::size_t i = 0; i < count; ++i) {
        const MarkerDataV1& m = markers[i];
        char number[64];
        put(o, open_marker);
        put(o, std::string_view(number, format_coordinate(m.position.x, number)));
        put(o, next_coordinate);
        put(o, std::string_view(number, format_coordinate(m.position.y, number)));
        put(o, next_coordinate);
        put(o, std::string_view(number, format_coordinate(m.position.z, number)));
        put(o, category_key);
        put_i64(o, m.category);
        if (marker_has_name(m)) {
            put(o, name_key);
            put_string(o, m.name);
        }
        put(o, timestamp_key);
        put_i64(o, m.timestamp._nsec);
        put(o, close_stamp);
        // Quillfen's own keys only when set: a file without them stays as it was.
        if (marker_has_pack(m)) {
            put(o, pack_key);
            put_string(o, m.pack);
        }
        if (m.is_found) {
            put(o, found_key);
            put_i64(o, m.found._nsec);
            put(o, close_stamp);
        }
        if (marker_has_note(m)) {
            put(o, note_key);
            put_string(o, m.note);
        }
        if (deleted_ns) {
            put(o, deleted_key);
            put_i64(o, deleted_ns[i]);
            put(o, close_stamp);
        }
        put(o, close_marker);
        put(o, i + 1 < count ? ",\n" : "\n");
    }
    put_indent(o, 1);
    put(o, "]\n}");
    return hand_over(o, out);
}

SerializeError serialize_string(const char* text, const Allocator& allocator, MarkersText& out) {
    Output o{&allocator, {}, false};
    put_string(o, text);
    return hand_over(o, out);
}

void free_markers_text(MarkersText& text, const Allocator& allocator) {
    free_bytes(allocator, text.data, text.capacity);
    text = MarkersText{};
}

// ---- the reader -----------------------------------------------------------------------------
// The whole text is parsed (and so validated) first; only then are values
// taken. Unknown keys are skipped with their values; a key given twice counts
// with its last value; a value of the wrong kind fails the whole read, and the
// reason names it: its place in the text, its marker and its key.

namespace {

bool read_integer(const Json5Value& v, std::int64_t& out) {
    if (!v.is_integer()) return false;
    out = v.integer();
    return true;
}

// A value of the wrong kind: what it is for, what it must be, what it is, and
// where it stands below the marker (members and items by their place).
struct Fault {
    const char* subject;  // the key, or null for the marker itself
    const char* must_be;
    const char* found;
    std::size_t path[2];
    std::size_t depth;
};

DeserializeError wrong_kind(Fault& fault, const char* subject, const char* must_be, const char* found,
                            std::size_t depth = 0, std::size_t first = 0, std::size_t second = 0) {
    fault = Fault{subject, must_be, found, {first, second}, depth};
    return DeserializeError::wrong_kind;
}

// What a number is when a whole one was wanted.
const char* number_found(const Json5Value& v) {
    const double d = v.number();
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d < 0 ? "-Infinity" : "Infinity";
    return std::trunc(d) == d ? "a whole number beyond 64 bits" : "a number with a fraction";
}

const char* whole_number_found(const Json5Value& v) {
    return v.kind == Json5Kind::number ? number_found(v) : describe_value_kind(v);
}

const char* position_found(const Json5Value& position, std::size_t& bad_item) {
    static constexpr const char* lengths[] = {"an empty list", "a list of 1 value", "a list of 2 values"};
    if (position.kind != Json5Kind::array) return describe_value_kind(position);
    const std::size_t count = position.item_count();
    if (count < 3) return lengths[count];
    if (count > 3) return "a list of more than three values";
    for (std::size_t i = 0; i < 3; ++i) {
        const Json5Value& item = position.items()[i];
        if (item.kind == Json5Kind::number) continue;
        bad_item = i;
        switch (item.kind) {
            case Json5Kind::null_value: return "a list holding null";
            case Json5Kind::boolean: return item.boolean() ? "a list holding true" : "a list holding false";
            case Json5Kind::string: return "a list holding text";
            case Json5Kind::array: return "a list holding a list";
            default: return "a list holding an object";
        }
    }
    return nullptr;
}

// A value of the wrong kind for `key`, named and explained by the table.
DeserializeError wrong_value(Fault& fault, const MarkerFileKey& key, const char* found, std::size_t depth,
                             std::size_t first, std::size_t second = 0) {
    return wrong_kind(fault, key.subject, key.must_be, found, depth, first, second);
}

// The member that counts for each of `keys` (the last with its key), or
// SIZE_MAX; found in one pass over the members.
template <std::size_t N>
void find_members(const Json5Value& object, const MarkerFileKey (&keys)[N], std::size_t (&at)[N]) {
    for (std::size_t& a : at) a = SIZE_MAX;
    const Json5Member* members = object.members();
    for (std::size_t i = 0, count = object.member_count(); i < count; ++i) {
        const std::size_t k = marker_key_index(std::string_view(members[i].key, members[i].key_length), keys);
        if (k < N) at[k] = i;
    }
}

// A "timestamp"-like object of `key` at member `at` into `stamp`.
DeserializeError read_stamp(const Json5Member* members, std::size_t at, std::size_t key, TimestampV1& stamp,
                            Fault& fault) {
    const Json5Value& v = members[at].value;
    if (v.kind != Json5Kind::object) return wrong_value(fault, marker_keys[key], describe_value_kind(v), 1, at);
    std::size_t stamp_at[std::size(timestamp_keys)];
    find_members(v, timestamp_keys, stamp_at);
    const std::size_t nsec = stamp_at[key_nsec];
    if (nsec != SIZE_MAX && !read_integer(v.members()[nsec].value, stamp._nsec)) {
        return wrong_value(fault, timestamp_keys[key_nsec], whole_number_found(v.members()[nsec].value), 2, at, nsec);
    }
    return DeserializeError::none;
}

// deleted.json's "deleted": when the marker was deleted.
DeserializeError read_deleted(const Json5Value& object, std::int64_t& deleted_ns, Fault& fault) {
    deleted_ns = 0;
    std::size_t at[std::size(deleted_keys)];
    find_members(object, deleted_keys, at);
    if (at[key_deleted] == SIZE_MAX) return DeserializeError::none;
    const Json5Value& v = object.members()[at[key_deleted]].value;
    if (v.kind != Json5Kind::object) {
        return wrong_value(fault, deleted_keys[key_deleted], describe_value_kind(v), 1, at[key_deleted]);
    }
    std::size_t stamp_at[std::size(deleted_time_keys)];
    find_members(v, deleted_time_keys, stamp_at);
    const std::size_t nsec = stamp_at[key_nsec];
    if (nsec != SIZE_MAX && !read_integer(v.members()[nsec].value, deleted_ns)) {
        return wrong_value(fault, deleted_time_keys[key_nsec], whole_number_found(v.members()[nsec].value), 2,
                           at[key_deleted], nsec);
    }
    return DeserializeError::none;
}

// A text of `key` at member `at` (null and "" leave it null), copied from `allocator`.
DeserializeError read_text(const Json5Member* members, std::size_t at, std::size_t key, const Allocator& allocator,
                           char*& out, Fault& fault) {
    const Json5Value& v = members[at].value;
    if (v.kind == Json5Kind::null_value) return DeserializeError::none;
    if (v.kind != Json5Kind::string) return wrong_value(fault, marker_keys[key], describe_value_kind(v), 1, at);
    // The text is a zero-terminated one: it ends at an escaped NUL, if any.
    const std::size_t length = std::strlen(v.string());
    if (length == 0) return DeserializeError::none;  // an empty text is none
    char* copy = static_cast<char*>(allocate_bytes(allocator, length + 1, 1));
    if (!copy) return DeserializeError::out_of_memory;
    std::memcpy(copy, v.string(), length + 1);
    out = copy;
    return DeserializeError::none;
}

DeserializeError read_marker(const Json5Value& object, const Allocator& allocator, MarkerDataV1& m, Fault& fault) {
    m = MarkerDataV1{};
    if (object.kind != Json5Kind::object) {
        return wrong_kind(fault, nullptr, "must be an object ({...})", describe_value_kind(object));
    }
    std::size_t at[std::size(marker_keys)];
    find_members(object, marker_keys, at);
    const std::size_t position = at[key_position], category = at[key_category], timestamp = at[key_timestamp],
                      name = at[key_name], pack = at[key_pack], found_at = at[key_found], note = at[key_note];
    const Json5Member* members = object.members();
    if (position != SIZE_MAX) {
        const Json5Value& v = members[position].value;
        std::size_t bad_item = SIZE_MAX;
        if (const char* found = position_found(v, bad_item)) {
            return wrong_value(fault, marker_keys[key_position], found, bad_item == SIZE_MAX ? 1 : 2, position,
                               bad_item);
        }
        const Json5Value* xyz = v.items();
        m.position = Position{xyz[0].number_f32(), xyz[1].number_f32(), xyz[2].number_f32()};
    }
    if (category != SIZE_MAX && !read_integer(members[category].value, m.category)) {
        return wrong_value(fault, marker_keys[key_category], whole_number_found(members[category].value), 1, category);
    }
    if (timestamp != SIZE_MAX) {
        const DeserializeError e = read_stamp(members, timestamp, key_timestamp, m.timestamp, fault);
        if (e != DeserializeError::none) return e;
    }
    if (found_at != SIZE_MAX) {
        const DeserializeError e = read_stamp(members, found_at, key_found, m.found, fault);
        if (e != DeserializeError::none) return e;
        m.is_found = true;
    }
    if (pack != SIZE_MAX) {
        const DeserializeError e = read_text(members, pack, key_pack, allocator, m.pack, fault);
        if (e != DeserializeError::none) return e;
    }
    if (name != SIZE_MAX) {
        const DeserializeError e = read_text(members, name, key_name, allocator, m.name, fault);
        if (e != DeserializeError::none) {
            free_marker_texts(allocator, m);  // the pack's text: the record is not counted
            return e;
        }
    }
    if (note != SIZE_MAX) {
        const DeserializeError e = read_text(members, note, key_note, allocator, m.note, fault);
        if (e != DeserializeError::none) {
            free_marker_texts(allocator, m);
            return e;
        }
    }
    return DeserializeError::none;
}

}  // namespace

bool place_of_value(std::string_view text, const std::size_t* path, std::size_t depth, std::size_t& line,
                    std::size_t& column) {
    struct Search {
        const std::size_t* path;
        std::size_t depth;
        std::size_t offset;
        bool found;
    } search{path, depth, 0, false};
    (void)json5_visit_source(
        text,
        [](void* data, const Json5SourceValue& v) {
            auto& s = *static_cast<Search*>(data);
            if (v.depth != s.depth || !std::equal(v.path, v.path + v.depth, s.path)) return true;
            s.offset = v.offset;
            s.found = true;
            return false;
        },
        &search);
    if (!search.found) return false;
    Json5Place place = json5_text_start;
    json5_advance_place(text, place, search.offset);
    line = static_cast<std::size_t>(place.line);
    column = static_cast<std::size_t>(place.column);
    return true;
}

const char* describe_value_kind(const Json5Value& v) {
    switch (v.kind) {
        case Json5Kind::null_value: return "null";
        case Json5Kind::boolean: return v.boolean() ? "true" : "false";
        case Json5Kind::number: return "a number";
        case Json5Kind::string: return "text";
        case Json5Kind::array: return "a list";
        case Json5Kind::object: return "an object";
    }
    return "a value";
}

static DeserializeError deserialize(std::string_view text, const Allocator& allocator, MarkersData& out,
                                    DeserializeDetail* detail, bool deleted) {
    out = MarkersData{};
    if (detail) *detail = DeserializeDetail{};
    Json5Document doc{};
    Json5Error error{};
    if (!json5_parse(text, allocator, doc, error)) {
        // A text that could not be read for want of memory is not a damaged one.
        if (json5_error_is_out_of_memory(error)) {
            if (detail) detail->must_be = error.message;
            return DeserializeError::out_of_memory;
        }
        if (detail) {
            detail->line = static_cast<std::size_t>(error.line);
            detail->column = static_cast<std::size_t>(error.column);
            detail->must_be = error.message;
        }
        return DeserializeError::syntax;
    }
    DeserializeError result = DeserializeError::none;
    const Json5Value& root = doc.root;
    // Where a wrong value stands: the list's place among the members (the last
    // "markers" counts), then below it.
    std::size_t path[4] = {};
    std::size_t depth = 0;
    Fault fault{};
    const Json5Value* list = nullptr;
    std::size_t at[std::size(file_keys)];
    find_members(root, file_keys, at);
    if (at[key_markers] != SIZE_MAX) {
        list = &root.members()[at[key_markers]].value;
        path[0] = at[key_markers];
    }
    if (root.kind != Json5Kind::object) {
        result = wrong_kind(fault, "the file", "must be an object ({...})", describe_value_kind(root));
    } else if (list && list->kind != Json5Kind::array) {
        result = wrong_value(fault, file_keys[key_markers], describe_value_kind(*list), 0, 0);
        depth = 1;
    } else if (list && list->item_count() > 0) {
        const std::size_t count = list->item_count();
        out.records = allocate_array<MarkerDataV1>(allocator, count);
        if (deleted && out.records) {
            out.deleted_ns = allocate_array<std::int64_t>(allocator, count);
            if (!out.deleted_ns) {
                free_array(allocator, out.records, count);
                out.records = nullptr;
            }
        }
        if (!out.records) {
            result = DeserializeError::out_of_memory;
        } else {
            out.capacity = count;
            for (std::size_t i = 0; i < count && result == DeserializeError::none; ++i) {
                result = read_marker(list->items()[i], allocator, out.records[out.count], fault);
                if (result == DeserializeError::none && deleted) {
                    result = read_deleted(list->items()[i], out.deleted_ns[out.count], fault);
                    if (result != DeserializeError::none) free_marker_texts(allocator, out.records[out.count]);
                }
                if (result == DeserializeError::none) {
                    ++out.count;
                } else if (result == DeserializeError::wrong_kind) {
                    path[1] = i;
                    path[2] = fault.path[0];
                    path[3] = fault.path[1];
                    depth = 2 + fault.depth;
                    if (detail) detail->marker = i + 1;
                }
            }
        }
    }
    json5_free(doc, allocator);
    if (result == DeserializeError::wrong_kind && detail) {
        detail->subject = fault.subject;
        detail->must_be = fault.must_be;
        detail->found = fault.found;
        (void)place_of_value(text, path, depth, detail->line, detail->column);
    }
    if (result != DeserializeError::none) free_markers_data(out, allocator);
    return result;
}

DeserializeError deserialize_markers(std::string_view text, const Allocator& allocator, MarkersData& out,
                                     DeserializeDetail* detail) {
    return deserialize(text, allocator, out, detail, false);
}

DeserializeError deserialize_deleted_markers(std::string_view text, const Allocator& allocator, MarkersData& out,
                                             DeserializeDetail* detail) {
    return deserialize(text, allocator, out, detail, true);
}

void free_markers_data(MarkersData& data, const Allocator& allocator) {
    for (std::size_t i = 0; i < data.count; ++i) {
        free_marker_texts(allocator, data.records[i]);
    }
    if (data.deleted_ns) free_array(allocator, data.deleted_ns, data.capacity);
    free_array(allocator, data.records, data.capacity);
    data = MarkersData{};
}

void describe_load_failure(TextBuilder& out, DeserializeError error, const DeserializeDetail& detail) {
    if (error == DeserializeError::out_of_memory) {
        text_append(out, "out of memory");
        return;
    }
    if (detail.line > 0) {
        text_append_u64(out, detail.line);
        text_append_char(out, ':');
        text_append_u64(out, detail.column);
        text_append(out, ": ");
    }
    if (error == DeserializeError::syntax) {
        text_append(out, detail.must_be ? detail.must_be : "invalid JSON5");
        return;
    }
    if (detail.marker > 0) {
        text_append(out, "marker ");
        text_append_u64(out, detail.marker);
        text_append(out, detail.subject ? ": " : " ");
    }
    if (detail.subject) {
        text_append(out, detail.subject);
        text_append_char(out, ' ');
    }
    text_append(out, detail.must_be ? detail.must_be : "holds a value of the wrong kind");
    if (detail.found) {
        text_append(out, ", not ");
        text_append(out, detail.found);
    }
}
