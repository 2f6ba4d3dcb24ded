// The markers file's text: the writer's fixed layout and the lenient reader
// (JSON5) that maps keys to the stored record. Pure: no files, no logging.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "src/base/allocators.h"
#include "src/base/text_builder.h"
#include "src/file_formats/marker_record.h"
#include "src/json5/json5_reader.h"

// ---- writing ----------------------------------------------------------------------

struct MarkersText {
    char* data;            // zero-terminated, from the allocator given
    std::size_t length;    // without the terminator
    std::size_t capacity;  // the size of the block
};

enum class SerializeError { none, out_of_memory };

// Writes the file's layout for `count` records. Frees nothing of the input.
// With `deleted_ns` (deleted.json), each marker also says when it was deleted.
SerializeError serialize_markers(const MarkerDataV1* markers, std::size_t count, const Allocator& allocator,
                                 MarkersText& out, const std::int64_t* deleted_ns = nullptr);
void free_markers_text(MarkersText& text, const Allocator& allocator);
// One text in double quotes, escaped as the file writes names: valid JSON
// (quillfen-markers writes names into GeoJSON with it).
SerializeError serialize_string(const char* text, const Allocator& allocator, MarkersText& out);

// One coordinate as the file writes it: the float's exact decimal value rounded
// to eight places (ties to even); NaN, Infinity, -Infinity for the others.
// Returns the length written into `buffer` (at least 64 bytes).
std::size_t format_coordinate(float value, char* buffer);

// ---- reading ------------------------------------------------------------------------

enum class DeserializeError { none, syntax, wrong_kind, out_of_memory };

struct MarkersData {
    MarkerDataV1* records;  // from the allocator given; each name too
    std::size_t count;
    std::size_t capacity;      // records allocated
    std::int64_t* deleted_ns;  // deleted.json's: when each was deleted (0: not said); null unless asked for
};

// Why a text did not load, in static texts. A syntax error: `must_be` is the
// parser's message. A value of the wrong kind: "marker 5: \"name\" must be
// text, not a number" is `marker`, `subject`, `must_be` and `found`.
struct DeserializeDetail {
    std::size_t line, column;  // the place at fault (1-based), or 0
    std::size_t marker;        // the marker at fault (1-based), or 0 when it is none
    const char* subject;       // "\"name\"", "the file"; null for the marker itself
    const char* must_be;       // "must be text"
    const char* found;         // "a number"
};

DeserializeError deserialize_markers(std::string_view text, const Allocator& allocator, MarkersData& out,
                                     DeserializeDetail* detail = nullptr);
// The same for deleted.json: `out.deleted_ns` says when each marker was deleted.
DeserializeError deserialize_deleted_markers(std::string_view text, const Allocator& allocator, MarkersData& out,
                                             DeserializeDetail* detail = nullptr);
// Frees the records and every name still owned by them.
void free_markers_data(MarkersData& data, const Allocator& allocator);

// Why a markers text did not load, with its place: "LINE:COLUMN: reason" for
// a syntax error, "LINE:COLUMN: marker 5: \"name\" must be text, not a number"
// for a value of the wrong kind.
void describe_load_failure(TextBuilder& out, DeserializeError error, const DeserializeDetail& detail);

// What a value is, in words for players: "text", "a number", "a list", "null".
const char* describe_value_kind(const Json5Value& v);
// The LINE:COLUMN of the value at `path` (member or item numbers from the
// root, `depth` of them), found again in `text`; false, and nothing set, when
// the text holds none there.
bool place_of_value(std::string_view text, const std::size_t* path, std::size_t depth, std::size_t& line,
                    std::size_t& column);
