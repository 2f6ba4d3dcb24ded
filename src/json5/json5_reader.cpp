#include "src/json5/json5_reader.h"

#include <cstring>
#include <limits>

#include "src/base/growable_array.h"
#include "src/base/utf8.h"
#include "src/json5/json5_number.h"
#include "src/json5/json5_scan.h"
#include "src/json5/json5_unicode_tables.h"

using namespace json5_scan;

// Choices where JSON5 leaves room or UTF-8 cannot say what a JS string can:
// - Invalid UTF-8 in the text is read as U+FFFD, one for each maximal ill-formed
//   subsequence (the WHATWG decoder's rule, as the reference sees a file decoded
//   with TextDecoder). Inside strings it stays as U+FFFD, so one damaged name
//   does not cost the player the whole markers file; elsewhere U+FFFD is no
//   valid token and the text is rejected.
// - An escaped surrogate that is not part of a pair (\uD800 alone, or a low one
//   first) becomes U+FFFD, as the reference's string does when written as UTF-8.
//   A pair may be split by a line continuation, as in JS.
// - Identifier keys follow ECMAScript 5.1 by general category, with the
//   Unicode version of the generated tables (json5_unicode_tables.cpp). The reference's tables are
//   of an older Unicode: it refuses letters and marks added since (U+0560...).
// - -NaN and +NaN read as NaN: JS has only one.
// - Nesting is limited to json5_max_depth; the reference has no limit.
//
// Sections: character classes · UTF-8 · scanning in bulk · document storage ·
// the parser's state · the lexer pieces · numbers · the parser · public
// functions. The number conversions are in json5_number.cpp, the generated
// Unicode tables in json5_unicode_tables.cpp.

struct Json5Chunk {
    Json5Chunk* next;
    std::size_t size;  // of the whole block, as allocated
};

namespace {

// ---- character classes ------------------------------------------------------------------

bool is_ascii_letter(std::uint32_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

bool is_identifier_start(std::uint32_t cp) {
    if (cp < 0x80) return is_ascii_letter(cp) || cp == '$' || cp == '_';
    return json5_in_ranges(json5_identifier_start_ranges, cp);
}

bool is_identifier_part(std::uint32_t cp) {
    if (cp < 0x80) return is_ascii_letter(cp) || is_digit(cp) || cp == '$' || cp == '_';
    if (cp == 0x200C || cp == 0x200D) return true;
    return json5_in_ranges(json5_identifier_start_ranges, cp) || json5_in_ranges(json5_identifier_part_ranges, cp);
}

// ---- UTF-8 (src/base/utf8.h) ------------------------------------------------------------------
// Ill-formed sequences read as one U+FFFD per maximal subpart, the default
// rule: the reference sees a file decoded by TextDecoder, which does the same.

// Decoded text is measured first (out == nullptr), then written into a block
// of exactly that size.
struct Sink {
    char* out;
    std::size_t length;

    void put(std::uint32_t cp) { length += out ? utf8_encode(cp, out + length) : utf8_length(cp); }

    // Bytes that stand for themselves.
    void put_run(const Byte* bytes, std::size_t count) {
        if (out) std::memcpy(out + length, bytes, count);
        length += count;
    }
};

// ---- scanning in bulk ------------------------------------------------------------------------

// The first byte at or after `p` that is `quote`, a backslash, a control
// character or not ASCII; `end` when there is none.
inline const Byte* skip_plain(const Byte* p, const Byte* end, Byte quote) {
    if constexpr (word_scan) {
        const std::uint64_t quotes = ones * quote, backslashes = ones * '\\';
        while (end - p >= 8) {
            const std::uint64_t w = load_word(p);
            // (w & low_bits) + 0x60 sets a byte's high bit when its low seven bits are 0x20 or more.
            const std::uint64_t plain = nonzero_bytes(w ^ quotes) & nonzero_bytes(w ^ backslashes) &
                                        ((w & low_bits) + ones * 0x60) & ~w & high_bits;
            if (plain != high_bits) return p + first_marked(plain ^ high_bits);
            p += 8;
        }
    }
    while (p < end && *p != quote && *p != '\\' && *p >= 0x20 && *p < 0x80) ++p;
    return p;
}

// ---- document storage ----------------------------------------------------------------------
// The tree lives in chunks taken from the caller's allocator; each chunk
// remembers its size so it can be given back exactly.

constexpr std::size_t chunk_header = (sizeof(Json5Chunk) + 15) & ~std::size_t{15};
constexpr std::size_t first_chunk_size = 1024;
constexpr std::size_t largest_chunk_size = 64 * 1024;

struct Arena {
    const Allocator* allocator;
    Json5Chunk* chunks;  // the one being filled first
    char* cursor;
    std::size_t room;
    std::size_t next_size;
};

Json5Chunk* new_chunk(Arena& a, std::size_t size) {
    void* block = allocate_bytes(*a.allocator, size, 16);
    if (!block) return nullptr;
    Json5Chunk* chunk = static_cast<Json5Chunk*>(block);
    chunk->size = size;
    return chunk;
}

// Storage aligned for any tree record; nullptr when the allocator fails.
void* arena_take(Arena& a, std::size_t size) {
    if (size > SIZE_MAX / 2) return nullptr;
    size = (size + 7) & ~std::size_t{7};
    if (size <= a.room) {
        void* p = a.cursor;
        a.cursor += size;
        a.room -= size;
        return p;
    }
    if (size > (a.next_size - chunk_header) / 4) {
        // A big piece gets a block of its own, kept behind the chunk being filled.
        Json5Chunk* chunk = new_chunk(a, chunk_header + size);
        if (!chunk) return nullptr;
        if (a.chunks) {
            chunk->next = a.chunks->next;
            a.chunks->next = chunk;
        } else {
            chunk->next = nullptr;
            a.chunks = chunk;
            a.room = 0;
        }
        return reinterpret_cast<char*>(chunk) + chunk_header;
    }
    Json5Chunk* chunk = new_chunk(a, a.next_size);
    if (!chunk) return nullptr;
    chunk->next = a.chunks;
    a.chunks = chunk;
    a.cursor = reinterpret_cast<char*>(chunk) + chunk_header + size;
    a.room = a.next_size - chunk_header - size;
    if (a.next_size < largest_chunk_size) a.next_size *= 2;
    return reinterpret_cast<char*>(chunk) + chunk_header;
}

void free_chunks(Json5Chunk* chunk, const Allocator& allocator) {
    while (chunk) {
        Json5Chunk* next = chunk->next;
        free_bytes(allocator, chunk, chunk->size);
        chunk = next;
    }
}

// ---- the parser's state ----------------------------------------------------------------------

// Values waiting for their container to close: an object's members, which
// become its members as they are, and an array's items, each on its own stack
// so that items take no room for keys. Scratch from the allocator, freed after
// the parse; they double as they grow.
template <class T>
using Stack = GrowableArray<T>;

// A new entry on top, uninitialised; nullptr when the allocator fails.
template <class T>
inline T* push(const Allocator& allocator, Stack<T>& s) {
    return array_push(s, allocator, ArrayGrowth::doubling);
}

struct Frame {
    std::size_t first;  // its first entry on the stack of its kind
    bool is_object;
};

// Keys repeat from object to object; a plain key seen before is shared
// rather than stored again.
struct SharedKey {
    const char* text;
    std::size_t length;
};
constexpr std::size_t shared_key_slots = 32;

struct Parser {
    const Byte* begin;
    const Byte* end;
    const Allocator* allocator;
    Arena arena;
    SharedKey keys[shared_key_slots];
    Stack<Json5Member> members;
    Stack<Json5Value> items;
    Frame frames[json5_max_depth];
    int depth;
    const Byte* error_at;
    const char* error_message;
};

bool fail(Parser& ps, const Byte* at, const char* message) {
    ps.error_at = at;
    ps.error_message = message;
    return false;
}

constexpr const char* out_of_memory = "out of memory";

// ---- the lexer pieces -------------------------------------------------------------------------

// The comment or Unicode space at `p` ('/' or a byte above ASCII), if it is
// one: `p` moves past it and `skipped` is set. Fails only on an unterminated
// block comment.
bool skip_comment_or_unicode_space(Parser& ps, const Byte*& p, bool& skipped) {
    skipped = false;
    if (*p == '/' && p + 1 < ps.end && p[1] == '/') {
        // Up to a line terminator; none of its bytes can sit inside another
        // character, so bytes are searched directly.
        p += 2;
        while (p < ps.end && *p != '\n' && *p != '\r' &&
               !(*p == 0xE2 && p + 2 < ps.end && p[1] == 0x80 && (p[2] == 0xA8 || p[2] == 0xA9))) {
            ++p;
        }
        skipped = true;
    } else if (*p == '/' && p + 1 < ps.end && p[1] == '*') {
        const Byte* opening = p;
        p += 2;
        for (;;) {
            if (p + 1 >= ps.end) return fail(ps, opening, "unterminated comment: /* without */");
            if (p[0] == '*' && p[1] == '/') break;
            ++p;
        }
        p += 2;
        skipped = true;
    } else if (*p >= 0x80) {
        const Utf8Char d = utf8_decode(p, ps.end);
        if (is_unicode_space(d.code_point, SpaceRule::json5)) {
            p += d.length;
            skipped = true;
        }
    }
    return true;
}

// Skips white space and comments. Fails only on an unterminated block comment.
bool skip_space_and_comments(Parser& ps, const Byte*& p) {
    const Byte* q = p;
    const Byte* const end = ps.end;
    for (;;) {
        if constexpr (word_scan) {
            // Line breaks and indentation come in long runs.
            if (end - q >= 8) {
                const std::uint64_t w = load_word(q);
                const std::uint64_t other = nonzero_bytes(w ^ (ones * ' ')) & nonzero_bytes(w ^ (ones * '\n'));
                if (other == 0) {
                    q += 8;
                    continue;
                }
                q += first_marked(other);
            }
        }
        if (q == end) break;
        const Byte c = *q;
        if (c == ' ' || (c >= '\t' && c <= '\r')) {  // \t \n \v \f \r
            ++q;
            continue;
        }
        if (c != '/' && c < 0x80) break;
        bool skipped = false;
        if (!skip_comment_or_unicode_space(ps, q, skipped)) {
            p = q;
            return false;
        }
        if (!skipped) break;
    }
    p = q;
    return true;
}

inline bool starts_token(Byte c) { return c > ' ' && c != '/' && c < 0x80; }

// Mostly called where a token follows at once or after one space (": ").
inline bool skip_space(Parser& ps, const Byte*& p) {
    if (p < ps.end) {
        if (starts_token(*p)) return true;
        if (*p == ' ' && p + 1 < ps.end && starts_token(p[1])) {
            ++p;
            return true;
        }
    }
    return skip_space_and_comments(ps, p);
}

// Reads `count` hex digits at p into value; false if they are not all there.
bool read_hex(const Byte* p, const Byte* end, int count, std::uint32_t& value) {
    if (end - p < count) return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        const int h = hex_value(p[i]);
        if (h < 0) return false;
        value = value * 16 + static_cast<std::uint32_t>(h);
    }
    return true;
}

bool is_high_surrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The body of a string whose opening quote is at `p`; leaves `p` after the
// closing quote.
bool scan_string(Parser& ps, const Byte*& p, Sink& sink) {
    const Byte* opening = p;
    const Byte quote = *p++;
    std::uint32_t pending_high = 0;  // an escaped high surrogate waiting for its low half
    auto settle = [&] {
        if (pending_high) sink.put(replacement_character);
        pending_high = 0;
    };
    for (;;) {
        if (p == ps.end) return fail(ps, opening, "unterminated string");
        const Byte c = *p;
        if (c == quote) {
            settle();
            ++p;
            return true;
        }
        if (c == '\n' || c == '\r') return fail(ps, p, "line break inside a string (write \\n, or \\ before it)");
        if (c != '\\') {
            settle();
            if (c < 0x80) {
                const Byte* run_end = skip_plain(p + 1, ps.end, quote);
                sink.put_run(p, static_cast<std::size_t>(run_end - p));
                p = run_end;
            } else {
                const Utf8Char d = utf8_decode(p, ps.end);
                sink.put(d.code_point);
                p += d.length;
            }
            continue;
        }
        const Byte* escape = p++;
        if (p == ps.end) return fail(ps, opening, "unterminated string");
        std::uint32_t unit;
        bool from_u = false;
        switch (*p) {
            case 'b':
                unit = '\b';
                ++p;
                break;
            case 'f':
                unit = '\f';
                ++p;
                break;
            case 'n':
                unit = '\n';
                ++p;
                break;
            case 'r':
                unit = '\r';
                ++p;
                break;
            case 't':
                unit = '\t';
                ++p;
                break;
            case 'v':
                unit = '\v';
                ++p;
                break;
            case '0':
                if (p + 1 < ps.end && is_digit(p[1]))
                    return fail(ps, escape, "invalid escape: \\0 followed by a digit");
                unit = 0;
                ++p;
                break;
            case '1':
            case '2':
            case '3':
            case '4':
            case '5':
            case '6':
            case '7':
            case '8':
            case '9': return fail(ps, escape, "invalid escape: a digit (octal escapes are not JSON5)");
            case 'x':
                if (!read_hex(p + 1, ps.end, 2, unit))
                    return fail(ps, escape, "invalid escape: \\x needs two hex digits");
                p += 3;
                break;
            case 'u':
                if (!read_hex(p + 1, ps.end, 4, unit))
                    return fail(ps, escape, "invalid escape: \\u needs four hex digits");
                p += 5;
                from_u = true;
                break;
            case '\n':  // line continuations stand for nothing
                ++p;
                continue;
            case '\r':
                ++p;
                if (p < ps.end && *p == '\n') ++p;
                continue;
            default: {
                const Utf8Char d = utf8_decode(p, ps.end);
                p += d.length;
                if (d.code_point == 0x2028 || d.code_point == 0x2029) continue;
                unit = d.code_point;  // any other character stands for itself
                break;
            }
        }
        if (from_u && is_low_surrogate(unit) && pending_high) {
            sink.put(0x10000 + ((pending_high - 0xD800) << 10) + (unit - 0xDC00));
            pending_high = 0;
            continue;
        }
        settle();
        if (from_u && is_high_surrogate(unit)) pending_high = unit;
        else if (from_u && is_low_surrogate(unit)) sink.put(replacement_character);
        else sink.put(unit);
    }
}

// An identifier key starting at `p`; leaves `p` after it.
bool scan_identifier(Parser& ps, const Byte*& p, Sink& sink) {
    bool first = true;
    while (p < ps.end) {
        std::uint32_t cp;
        const Byte* at = p;
        if (*p == '\\') {
            if (p + 1 >= ps.end || p[1] != 'u' || !read_hex(p + 2, ps.end, 4, cp)) {
                return fail(ps, at, "invalid escape in a key: only \\uXXXX is allowed");
            }
            if (first ? !is_identifier_start(cp) : !is_identifier_part(cp)) {
                return fail(ps, at, "the escaped character cannot stand in a key");
            }
            p += 6;
        } else {
            const Utf8Char d = utf8_decode(p, ps.end);
            cp = d.code_point;
            if (first ? !is_identifier_start(cp) : !is_identifier_part(cp)) break;
            p += d.length;
        }
        sink.put(cp);
        first = false;
    }
    if (first) return fail(ps, p, p == ps.end ? "unexpected end of input: expected a key" : "expected a key");
    return true;
}

// Keys are short: a call to memcmp would cost more than the comparing.
inline bool same_bytes(const char* a, const Byte* b, std::size_t count) {
    for (; count >= 8; a += 8, b += 8, count -= 8) {
        if (load_word(reinterpret_cast<const Byte*>(a)) != load_word(b)) return false;
    }
    for (; count > 0; ++a, ++b, --count) {
        if (static_cast<Byte>(*a) != *b) return false;
    }
    return true;
}

// Decodes the string or identifier at `p` into the document's storage; a key
// (`is_key`) may share the storage of an earlier one.
bool read_text(Parser& ps, const Byte*& p, bool identifier, bool is_key, const char*& text, std::size_t& length) {
    const Byte* start = p;
    // Most text is plain ASCII with nothing to decode: it is copied whole.
    const Byte* body = identifier ? p : p + 1;
    const Byte* stop = body;
    bool plain;
    if (identifier) {
        if (stop < ps.end && *stop < 0x80 && is_identifier_start(*stop)) {
            ++stop;
            while (stop < ps.end && *stop < 0x80 && is_identifier_part(*stop)) ++stop;
        }
        plain = stop > body && (stop == ps.end || (*stop < 0x80 && *stop != '\\'));
    } else {
        stop = skip_plain(body, ps.end, *p);
        plain = stop < ps.end && *stop == *p;
    }
    if (plain) {
        const auto count = static_cast<std::size_t>(stop - body);
        p = identifier ? stop : stop + 1;
        length = count;
        if (count == 0) {
            text = "";
            return true;
        }
        SharedKey* shared = nullptr;
        if (is_key) {
            shared = &ps.keys[(count + body[0] * 7u + body[count - 1]) % shared_key_slots];
            if (shared->length == count && same_bytes(shared->text, body, count)) {
                text = shared->text;
                return true;
            }
        }
        char* out = static_cast<char*>(arena_take(ps.arena, count + 1));
        if (!out) return fail(ps, start, out_of_memory);
        std::memcpy(out, body, count);
        out[count] = '\0';
        text = out;
        if (shared) *shared = SharedKey{out, count};
        return true;
    }

    Sink measure{nullptr, 0};
    if (!(identifier ? scan_identifier(ps, p, measure) : scan_string(ps, p, measure))) return false;
    if (measure.length == 0) {
        text = "";
        length = 0;
        return true;
    }
    char* out = static_cast<char*>(arena_take(ps.arena, measure.length + 1));
    if (!out) return fail(ps, start, out_of_memory);
    const Byte* again = start;
    Sink write{out, 0};
    if (identifier) scan_identifier(ps, again, write);
    else scan_string(ps, again, write);
    out[write.length] = '\0';
    text = out;
    length = write.length;
    return true;
}

// ---- numbers (json5_number.cpp) -----------------------------------------------------------------

bool scan_number(Parser& ps, const Byte*& p, Json5Value& v) {
    Json5NumberError error{};
    if (!json5_scan_number(p, ps.end, v, error)) return fail(ps, error.at, error.message);
    return true;
}

// ---- the parser -------------------------------------------------------------------------------

bool scan_scalar(Parser& ps, const Byte*& p, Json5Value& v) {
    v = Json5Value{};
    switch (*p) {
        case '"':
        case '\'': {
            v.kind = Json5Kind::string;
            const char* text = nullptr;
            std::size_t length = 0;
            if (!read_text(ps, p, false, false, text, length)) return false;
            v.data.string = {text, length};
            return true;
        }
        case 't':
        case 'f': {
            const bool truth = *p == 't';
            if (!match_word(p, ps.end, truth ? "true" : "false")) break;
            v.kind = Json5Kind::boolean;
            v.flag = truth;
            p += truth ? 4 : 5;
            return true;
        }
        case 'n':
            if (!match_word(p, ps.end, "null")) break;
            v.kind = Json5Kind::null_value;
            p += 4;
            return true;
        default:
            if (is_digit(*p) || *p == '+' || *p == '-' || *p == '.' || *p == 'I' || *p == 'N') {
                return scan_number(ps, p, v);
            }
            break;
    }
    return fail(ps, p, "unexpected character: expected a value");
}

// A key and its colon; pushes the member that the value will fill.
bool read_key(Parser& ps, const Byte*& p) {
    const Byte* at = p;
    const char* key = nullptr;
    std::size_t key_length = 0;
    if (!read_text(ps, p, *p != '"' && *p != '\'', true, key, key_length)) return false;
    if (!skip_space(ps, p)) return false;
    if (p == ps.end) return fail(ps, p, "unexpected end of input: expected ':'");
    if (*p != ':') return fail(ps, p, "expected ':' after the key");
    ++p;
    Json5Member* member = push(*ps.allocator, ps.members);
    if (!member) return fail(ps, at, out_of_memory);
    member->key = key;
    member->key_length = key_length;
    return true;
}

// Where the value that starts now goes: the root, the member its key made, or
// a new item of the array; nullptr when there is no memory for that. Values are
// written in place: a copy read right after its fields were written would stall
// the processor on every value.
inline Json5Value* value_place(Parser& ps, Json5Value& root) {
    if (ps.depth == 0) return &root;
    if (ps.frames[ps.depth - 1].is_object) return &ps.members.data[ps.members.length - 1].value;
    return push(*ps.allocator, ps.items);
}

// Turns the entries of the innermost container, whose closing bracket is at
// `at`, into its value.
bool close_container(Parser& ps, const Byte* at, Json5Value& root) {
    const Frame frame = ps.frames[--ps.depth];
    std::size_t& top = frame.is_object ? ps.members.length : ps.items.length;
    const std::size_t count = top - frame.first;
    const std::size_t size = frame.is_object ? sizeof(Json5Member) : sizeof(Json5Value);
    if (count > SIZE_MAX / size) return fail(ps, at, out_of_memory);
    void* storage = nullptr;
    if (count > 0) {
        storage = arena_take(ps.arena, count * size);
        if (!storage) return fail(ps, at, out_of_memory);
        const void* entries = frame.is_object ? static_cast<const void*>(ps.members.data + frame.first)
                                              : static_cast<const void*>(ps.items.data + frame.first);
        std::memcpy(storage, entries, count * size);
    }
    top = frame.first;
    Json5Value* v = value_place(ps, root);
    if (!v) return fail(ps, at + 1, out_of_memory);
    *v = Json5Value{};
    if (frame.is_object) {
        v->kind = Json5Kind::object;
        v->data.object = {static_cast<Json5Member*>(storage), count};
    } else {
        v->kind = Json5Kind::array;
        v->data.array = {static_cast<Json5Value*>(storage), count};
    }
    return true;
}

bool parse_text(Parser& ps, Json5Value& root) {
    const Byte* p = ps.begin;
    if (!skip_space(ps, p)) return false;
    if (p == ps.end) return fail(ps, p, "no value: the text is empty");
    for (;;) {
        // A value starts at p.
        if (p == ps.end) return fail(ps, p, "unexpected end of input: expected a value");
        if (*p == '[' || *p == '{') {
            if (ps.depth == json5_max_depth) return fail(ps, p, "nested too deeply (more than 512 arrays and objects)");
            const bool is_object = *p == '{';
            ps.frames[ps.depth++] = Frame{is_object ? ps.members.length : ps.items.length, is_object};
            ++p;
            if (!skip_space(ps, p)) return false;
            if (p == ps.end)
                return fail(ps, p,
                            is_object ? "unexpected end of input: missing }" : "unexpected end of input: missing ]");
            if (*p != (is_object ? '}' : ']')) {
                if (is_object && (!read_key(ps, p) || !skip_space(ps, p))) return false;
                continue;
            }
            if (!close_container(ps, p, root)) return false;
            ++p;
        } else if (Json5Value* v = value_place(ps, root)) {
            if (!scan_scalar(ps, p, *v)) return false;
        } else {
            // A fault in the value itself is the error to give; only then the lack of room.
            Json5Value scratch;
            if (!scan_scalar(ps, p, scratch)) return false;
            return fail(ps, p, out_of_memory);
        }
        // Hand finished values up until one container stays open.
        for (;;) {
            if (ps.depth == 0) {
                if (!skip_space(ps, p)) return false;
                if (p != ps.end) return fail(ps, p, "unexpected text after the value");
                return true;
            }
            const bool is_object = ps.frames[ps.depth - 1].is_object;
            const Byte closing = is_object ? '}' : ']';
            if (!skip_space(ps, p)) return false;
            if (p == ps.end)
                return fail(ps, p,
                            is_object ? "unexpected end of input: missing }" : "unexpected end of input: missing ]");
            if (*p == ',') {
                ++p;
                if (!skip_space(ps, p)) return false;
                if (p == ps.end)
                    return fail(
                        ps, p, is_object ? "unexpected end of input: missing }" : "unexpected end of input: missing ]");
                if (*p != closing) {
                    if (is_object && (!read_key(ps, p) || !skip_space(ps, p))) return false;
                    break;
                }
            } else if (*p != closing) {
                return fail(ps, p, is_object ? "expected ',' or '}'" : "expected ',' or ']'");
            }
            if (!close_container(ps, p, root)) return false;
            ++p;
        }
    }
}

// Line and column of `at`, counting characters as the lexer reads them.
void advance_place(const Byte* begin, const Byte* end, const Byte* at, Json5Place& place) {
    std::int32_t line = place.line, column = place.column;
    const Byte* p = begin + place.offset;
    while (p < at) {
        bool new_line = false;
        if (*p == '\n') {
            ++p;
            new_line = true;
        } else if (*p == '\r') {
            ++p;
            if (p < at && *p == '\n') ++p;
            new_line = true;
        } else {
            const Utf8Char d = utf8_decode(p, end);
            p += d.length;
            new_line = d.code_point == 0x2028 || d.code_point == 0x2029;
        }
        if (new_line) {
            if (line < std::numeric_limits<std::int32_t>::max()) ++line;
            column = 1;
        } else if (column < std::numeric_limits<std::int32_t>::max()) {
            ++column;
        }
    }
    place = Json5Place{static_cast<std::size_t>(p - begin), line, column};
}

void locate(const Byte* begin, const Byte* end, const Byte* at, Json5Error& error) {
    Json5Place place = json5_text_start;
    advance_place(begin, end, at, place);
    error.offset = static_cast<std::size_t>(at - begin);
    error.line = place.line;
    error.column = place.column;
}

// ---- where values stand ------------------------------------------------------------------------
// The text was taken by the parser before, so the walk only finds where each
// value starts; it uses the lexer's own pieces to step over them.

// Whether the string between `open` (its quote) and `close` (its closing
// quote) reads any U+FFFD that it does not spell: a byte that is not UTF-8, or
// an escaped surrogate without its other half (scan_string's rules).
bool string_replaces(const Byte* open, const Byte* close) {
    const Byte* q = open + 1;
    bool pending_high = false;
    while (q < close) {
        if (*q == '\\') {
            ++q;
            std::uint32_t unit = 0;
            if (*q == 'u' && read_hex(q + 1, close, 4, unit)) {
                q += 5;
                if (is_low_surrogate(unit) && pending_high) {
                    pending_high = false;
                } else if (pending_high || is_low_surrogate(unit)) {
                    return true;
                } else {
                    pending_high = is_high_surrogate(unit);
                }
                continue;
            }
            if (*q == '\n' || *q == '\r') {  // a line continuation keeps a pair together
                q += *q == '\r' && q + 1 < close && q[1] == '\n' ? 2 : 1;
                continue;
            }
            const Utf8Char d = utf8_decode(q, close);
            if (!d.valid) return true;
            q += d.length;
            if (d.code_point == 0x2028 || d.code_point == 0x2029) continue;
            if (pending_high) return true;
            continue;
        }
        const Utf8Char d = utf8_decode(q, close);
        if (!d.valid || pending_high) return true;
        q += d.length;
    }
    return pending_high;
}

// Steps over the key at `p` and its colon, to the value.
bool skip_key(Parser& ps, const Byte*& p) {
    Sink measure{nullptr, 0};
    const bool identifier = *p != '"' && *p != '\'';
    if (!(identifier ? scan_identifier(ps, p, measure) : scan_string(ps, p, measure))) return false;
    if (!skip_space_and_comments(ps, p) || p == ps.end || *p != ':') return false;
    ++p;
    return skip_space_and_comments(ps, p) && p != ps.end;
}

bool visit_source(Parser& ps, bool (*visit)(void*, const Json5SourceValue&), void* data) {
    std::size_t path[json5_max_depth];
    bool in_object[json5_max_depth];
    std::size_t depth = 0;
    const Byte* p = ps.begin;
    const Byte* key = nullptr;
    if (!skip_space_and_comments(ps, p) || p == ps.end) return false;
    for (;;) {
        // A value starts at p.
        Json5SourceValue v{depth, path, static_cast<std::size_t>(p - ps.begin),
                           static_cast<std::size_t>((key ? key : p) - ps.begin), false};
        if (*p == '[' || *p == '{') {
            if (!visit(data, v)) return true;
            if (depth == json5_max_depth) return false;
            in_object[depth] = *p == '{';
            path[depth++] = 0;
            ++p;
            if (!skip_space_and_comments(ps, p) || p == ps.end) return false;
            if (*p != (in_object[depth - 1] ? '}' : ']')) {
                key = in_object[depth - 1] ? p : nullptr;
                if (key && !skip_key(ps, p)) return false;
                continue;
            }
            ++p;
            --depth;
        } else {
            const Byte* start = p;
            if (*p == '"' || *p == '\'') {
                // Plain ASCII up to the closing quote holds nothing to decode.
                const Byte* plain_end = skip_plain(p + 1, ps.end, *p);
                if (plain_end < ps.end && *plain_end == *p) {
                    p = plain_end + 1;
                } else {
                    Sink measure{nullptr, 0};
                    if (!scan_string(ps, p, measure)) return false;
                    v.text_replaced = string_replaces(start, p - 1);
                }
            } else if (match_word(p, ps.end, "true") || match_word(p, ps.end, "null")) {
                p += 4;
            } else if (match_word(p, ps.end, "false")) {
                p += 5;
            } else {
                // A number the parser took: its letters, digits, signs and point, up to what follows it.
                while (p < ps.end && (is_ascii_letter(*p) || is_digit(*p) || *p == '.' || *p == '+' || *p == '-')) ++p;
                if (p == start) return false;
            }
            if (!visit(data, v)) return true;
        }
        // After a value: the next one of its container, or the container's end.
        for (;;) {
            if (depth == 0) return true;
            const bool object = in_object[depth - 1];
            if (!skip_space_and_comments(ps, p) || p == ps.end) return false;
            if (*p == ',') {
                ++p;
                if (!skip_space_and_comments(ps, p) || p == ps.end) return false;
                if (*p != (object ? '}' : ']')) {
                    ++path[depth - 1];
                    key = object ? p : nullptr;
                    if (key && !skip_key(ps, p)) return false;
                    break;
                }
            }
            if (*p != (object ? '}' : ']')) return false;
            ++p;
            --depth;
        }
    }
}

}  // namespace

// ---- public functions -------------------------------------------------------------------------

bool json5_parse(std::string_view text, const Allocator& alloc, Json5Document& out, Json5Error& error) {
    out = Json5Document{};
    error = Json5Error{0, 1, 1, nullptr};
    Parser ps;
    ps.begin = reinterpret_cast<const Byte*>(text.data());
    ps.end = ps.begin + text.size();
    ps.allocator = &alloc;
    ps.arena = Arena{&alloc, nullptr, nullptr, 0, first_chunk_size};
    ps.members = Stack<Json5Member>{};
    ps.items = Stack<Json5Value>{};
    ps.depth = 0;
    ps.error_at = nullptr;
    ps.error_message = nullptr;
    for (SharedKey& k : ps.keys) k = SharedKey{nullptr, 0};

    Json5Value root{};
    const bool ok = parse_text(ps, root);
    array_free(ps.members);
    array_free(ps.items);
    if (!ok) {
        free_chunks(ps.arena.chunks, alloc);
        locate(ps.begin, ps.end, ps.error_at, error);
        error.message = ps.error_message;
        return false;
    }
    out.root = root;
    out.chunks = ps.arena.chunks;
    return true;
}

void json5_free(Json5Document& doc, const Allocator& alloc) {
    free_chunks(doc.chunks, alloc);
    doc = Json5Document{};
}

const Json5Value* json5_find_member(const Json5Value& object, std::string_view key) {
    if (object.kind != Json5Kind::object) return nullptr;
    for (std::size_t i = object.data.object.count; i-- > 0;) {
        const Json5Member& m = object.data.object.data[i];
        if (m.key_length == key.size() && (key.empty() || std::memcmp(m.key, key.data(), key.size()) == 0)) {
            return &m.value;
        }
    }
    return nullptr;
}

bool json5_error_is_out_of_memory(const Json5Error& error) { return error.message == out_of_memory; }

bool json5_visit_source(std::string_view text, bool (*visit)(void* data, const Json5SourceValue& value), void* data) {
    Parser ps;
    ps.begin = reinterpret_cast<const Byte*>(text.data());
    ps.end = ps.begin + text.size();
    ps.allocator = nullptr;  // the walk takes no memory
    ps.error_at = nullptr;
    ps.error_message = nullptr;
    return visit_source(ps, visit, data);
}

void json5_advance_place(std::string_view text, Json5Place& place, std::size_t offset) {
    const auto* begin = reinterpret_cast<const Byte*>(text.data());
    if (offset > text.size()) offset = text.size();
    if (offset > place.offset) advance_place(begin, begin + text.size(), begin + offset, place);
}
