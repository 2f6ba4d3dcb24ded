#include "src/markers_file/marker_file.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "src/base/growable_array.h"
#include "src/base/text_builder.h"
#include "src/base/utf8.h"
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
                                 MarkersText& out) {
    Output o{&allocator, {}, false};
    // About 220 bytes per marker without its name; one allocation in the common case.
    reserve(o, 64 + count * 240);
    put(o, "{\n");
    put_indent(o, 1);
    put(o, "\"markers\": [\n");
    if (count == 0) put(o, "\n");
    // The fixed pieces of a marker, indentation included.
    static constexpr std::string_view open_marker = "        {\n            \"position\": [\n                ";
    static constexpr std::string_view next_coordinate = ",\n                ";
    static constexpr std::string_view category_key = "\n            ],\n            \"category\": ";
    static constexpr std::string_view name_key = ",\n            \"name\": ";
    static constexpr std::string_view timestamp_key = ",\n            \"timestamp\": {\n                \"_nsec\": ";
    static constexpr std::string_view close_marker = "\n            }\n        }";
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
// with its last value; a value of the wrong kind fails the whole read.

namespace {

bool read_integer(const Json5Value& v, std::int64_t& out) {
    if (!v.is_integer()) return false;
    out = v.integer();
    return true;
}

bool key_is(const Json5Member& m, std::string_view key) {
    return m.key_length == key.size() && std::memcmp(m.key, key.data(), key.size()) == 0;
}

DeserializeError read_marker(const Json5Value& object, const Allocator& allocator, MarkerDataV1& m) {
    m = MarkerDataV1{};
    if (object.kind != Json5Kind::object) return DeserializeError::wrong_kind;
    // One pass over the members; a later one with the same key replaces an earlier one.
    const Json5Value* position = nullptr;
    const Json5Value* category = nullptr;
    const Json5Value* timestamp = nullptr;
    const Json5Value* name = nullptr;
    const Json5Member* members = object.members();
    for (std::size_t i = 0, count = object.member_count(); i < count; ++i) {
        const Json5Member& member = members[i];
        if (key_is(member, "position")) position = &member.value;
        else if (key_is(member, "category")) category = &member.value;
        else if (key_is(member, "timestamp")) timestamp = &member.value;
        else if (key_is(member, "name")) name = &member.value;
    }
    if (position) {
        if (position->item_count() != 3) return DeserializeError::wrong_kind;
        const Json5Value* xyz = position->items();
        for (std::size_t i = 0; i < 3; ++i) {
            if (xyz[i].kind != Json5Kind::number) return DeserializeError::wrong_kind;
        }
        m.position = Position{xyz[0].number_f32(), xyz[1].number_f32(), xyz[2].number_f32()};
    }
    if (category && !read_integer(*category, m.category)) return DeserializeError::wrong_kind;
    if (timestamp) {
        if (timestamp->kind != Json5Kind::object) return DeserializeError::wrong_kind;
        const Json5Value* nsec = nullptr;
        const Json5Member* t = timestamp->members();
        for (std::size_t i = 0, count = timestamp->member_count(); i < count; ++i) {
            if (key_is(t[i], "_nsec")) nsec = &t[i].value;
        }
        if (nsec && !read_integer(*nsec, m.timestamp._nsec)) return DeserializeError::wrong_kind;
    }
    if (name) {
        if (name->kind == Json5Kind::null_value) return DeserializeError::none;
        if (name->kind != Json5Kind::string) return DeserializeError::wrong_kind;
        // The name is a zero-terminated text: it ends at an escaped NUL, if any.
        const std::size_t length = std::strlen(name->string());
        if (length == 0) return DeserializeError::none;  // an empty name is no name
        char* copy = static_cast<char*>(allocate_bytes(allocator, length + 1, 1));
        if (!copy) return DeserializeError::out_of_memory;
        std::memcpy(copy, name->string(), length + 1);
        m.name = copy;
    }
    return DeserializeError::none;
}

}  // namespace

DeserializeError deserialize_markers(std::string_view text, const Allocator& allocator, MarkersData& out,
                                     DeserializeDetail* detail) {
    out = MarkersData{};
    if (detail) *detail = DeserializeDetail{0, 0, nullptr};
    Json5Document doc{};
    Json5Error error{};
    if (!json5_parse(text, allocator, doc, error)) {
        // A text that could not be read for want of memory is not a damaged one.
        if (json5_error_is_out_of_memory(error)) {
            if (detail) detail->reason = error.message;
            return DeserializeError::out_of_memory;
        }
        if (detail) {
            *detail = DeserializeDetail{static_cast<std::size_t>(error.line), static_cast<std::size_t>(error.column),
                                        error.message};
        }
        return DeserializeError::syntax;
    }
    DeserializeError result = DeserializeError::none;
    const Json5Value& root = doc.root;
    const Json5Value* list = root.kind == Json5Kind::object ? json5_find_member(root, "markers") : nullptr;
    if (root.kind != Json5Kind::object) {
        result = DeserializeError::wrong_kind;
        if (detail) detail->reason = "the file is not an object";
    } else if (list && list->kind != Json5Kind::array) {
        result = DeserializeError::wrong_kind;
        if (detail) detail->reason = "\"markers\" is not an array";
    } else if (list && list->item_count() > 0) {
        const std::size_t count = list->item_count();
        out.records = allocate_array<MarkerDataV1>(allocator, count);
        if (!out.records) {
            result = DeserializeError::out_of_memory;
        } else {
            out.capacity = count;
            for (std::size_t i = 0; i < count && result == DeserializeError::none; ++i) {
                result = read_marker(list->items()[i], allocator, out.records[out.count]);
                if (result == DeserializeError::none) ++out.count;
                else if (detail) detail->reason = "a marker holds a value of the wrong kind";
            }
        }
    }
    json5_free(doc, allocator);
    if (result != DeserializeError::none) free_markers_data(out, allocator);
    return result;
}

void free_markers_data(MarkersData& data, const Allocator& allocator) {
    for (std::size_t i = 0; i < data.count; ++i) {
        free_marker_name(allocator, data.records[i].name);
    }
    free_array(allocator, data.records, data.capacity);
    data = MarkersData{};
}

void describe_load_failure(TextBuilder& out, DeserializeError error, const DeserializeDetail& detail) {
    if (error == DeserializeError::out_of_memory) {
        text_append(out, "out of memory");
        return;
    }
    if (error == DeserializeError::syntax) {
        text_append_u64(out, detail.line);
        text_append_char(out, ':');
        text_append_u64(out, detail.column);
        text_append(out, ": ");
    }
    const char* fallback = error == DeserializeError::syntax ? "invalid JSON5" : "a value of the wrong kind";
    text_append(out, detail.reason ? detail.reason : fallback);
}
