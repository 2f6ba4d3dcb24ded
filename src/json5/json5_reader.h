// Reading JSON5 (json5.org, version 1.0) into a small read-only tree. Used for
// the markers file, which the plug-in writes as plain JSON but reads leniently,
// and for the simulator's scenarios.
//
// The whole text is checked before anything is handed out: on failure nothing
// stays allocated and the error says where and why. Every block the tree owns
// comes from the allocator given, and json5_free gives all of it back.
// No exceptions, no locale, no recursion (nesting is bounded by
// json5_max_depth).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "src/base/allocators.h"

enum class Json5Kind : std::uint8_t { null_value, boolean, number, string, array, object };

struct Json5Member;

// 24 bytes: the kind, then storage that the kinds share. Read it through the
// accessors, which give zero (or nullptr) for whatever does not belong to
// `kind`; only the reader writes the storage.
struct Json5Value {
    Json5Kind kind;
    bool flag;  // boolean: its value; number: whether is_integer()
    float f32;  // number: number_f32()
    union Data {
        struct {
            double value;
            std::int64_t integer;
        } number;
        struct {
            const char* data;
            std::size_t length;
        } string;
        struct {
            Json5Value* data;
            std::size_t count;
        } array;
        struct {
            Json5Member* data;
            std::size_t count;
        } object;
    } data;

    bool boolean() const { return kind == Json5Kind::boolean && flag; }
    // NaN and ±Infinity allowed
    double number() const { return kind == Json5Kind::number ? data.number.value : 0.0; }
    // the literal rounded directly to the nearest float (not via double)
    float number_f32() const { return kind == Json5Kind::number ? f32 : 0.0f; }
    // the literal's exact value is an integer that fits in 64 signed bits
    bool is_integer() const { return kind == Json5Kind::number && flag; }
    std::int64_t integer() const { return is_integer() ? data.number.integer : 0; }
    // decoded UTF-8, zero-terminated, may contain NUL bytes
    const char* string() const { return kind == Json5Kind::string ? data.string.data : nullptr; }
    std::size_t string_length() const { return kind == Json5Kind::string ? data.string.length : 0; }
    // array elements in order
    const Json5Value* items() const { return kind == Json5Kind::array ? data.array.data : nullptr; }
    std::size_t item_count() const { return kind == Json5Kind::array ? data.array.count : 0; }
    // object members in order of appearance, duplicates kept
    const Json5Member* members() const { return kind == Json5Kind::object ? data.object.data : nullptr; }
    std::size_t member_count() const { return kind == Json5Kind::object ? data.object.count : 0; }
};

struct Json5Member {
    const char* key;  // decoded UTF-8, zero-terminated, may contain NUL bytes; equal keys may share it
    std::size_t key_length;
    Json5Value value;
};

struct Json5Chunk;  // a block of the document's storage

struct Json5Document {
    Json5Value root;
    Json5Chunk* chunks;  // every block the tree lives in
};

struct Json5Error {
    std::size_t offset;   // bytes from the start of the text
    std::int32_t line;    // 1-based; lines end at LF, CR, CR LF, U+2028, U+2029
    std::int32_t column;  // 1-based, in characters
    const char* message;  // a static text; nullptr after a successful parse
};

// Arrays and objects open at once, the root included.
inline constexpr int json5_max_depth = 512;

// On success `out` owns the tree (free it with json5_free and the same
// allocator). On failure `out` is empty, nothing is left allocated and `error`
// says what went wrong; running out of memory is such a failure.
bool json5_parse(std::string_view text, const Allocator& alloc, Json5Document& out, Json5Error& error);
void json5_free(Json5Document& doc, const Allocator& alloc);
// Whether a failed parse ran out of memory rather than met a fault in the text.
bool json5_error_is_out_of_memory(const Json5Error& error);

// The member with this key; when the key is given more than once the last one
// wins (as in the reference implementation). nullptr when absent or when
// `object` is not an object.
const Json5Value* json5_find_member(const Json5Value& object, std::string_view key);

// ---- where values stand in the text ---------------------------------------------------------
// The tree keeps no places (they would grow every value); messages that point
// into a text find them again here, in one pass over a text json5_parse took.

struct Json5SourceValue {
    std::size_t depth;        // containers around it: 0 for the root
    const std::size_t* path;  // path[i] (i < depth): the place, among the items or the members
                              // (in order of appearance, duplicates counted) of the container at
                              // depth i, of the value's container at depth i + 1, or of the value
    std::size_t offset;       // its first byte
    std::size_t key_offset;   // its key's first byte, in an object; else `offset`
    bool text_replaced;       // a string holding bytes that are not UTF-8 or an escaped surrogate
                              // without its other half, which read as U+FFFD
};

// Calls `visit` with every value in the order of the text, containers before
// what they hold, until it returns false. False when the text is not one that
// json5_parse takes.
bool json5_visit_source(std::string_view text, bool (*visit)(void* data, const Json5SourceValue& value), void* data);

// A place in a text: its line and column (1-based, columns in characters),
// counted as json5_parse counts them for its errors.
struct Json5Place {
    std::size_t offset;
    std::int32_t line;
    std::int32_t column;
};
inline constexpr Json5Place json5_text_start{0, 1, 1};
// Moves `place` on to `offset` (not before it), so that places found one after
// the other cost one pass over the text.
void json5_advance_place(std::string_view text, Json5Place& place, std::size_t offset);
