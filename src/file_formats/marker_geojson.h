// A marker pack as map tools keep it: a GeoJSON FeatureCollection of Point
// features whose coordinates are the game's world coordinates [x, y, z], as
// `quillfen-markers export --format geojson` writes them, so that an export
// comes back as the same markers. Properties: name, category (0 to 9 or the
// category's name), and, as export writes them, created and found (ISO 8601
// to the second, "2025-12-09T08:00:00Z"; created_nanosecond and
// found_nanosecond, 0 to 999999999, the nanoseconds past that second), pack
// (absent: the pack the file names; null or "": none, a player's own marker)
// and note. A feature that cannot be a marker is left out and named (a time
// the markers file cannot hold, outside 1677-09-21 to 2262-04-11, too); a
// text that is no FeatureCollection is not a pack. No files and no logging.
#pragma once

#include <cstddef>
#include <string_view>

#include "src/base/allocators.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/markers_folder.h"

// True for file names taken as GeoJSON packs ("*.geojson", any case).
bool is_geojson_name(std::string_view name);

// A feature left out: its number (from 1), where it stands (LINE:COLUMN, from 1), and why.
struct GeojsonLeftOut {
    std::size_t feature;
    std::size_t line, column;
    const char* why;  // "not a Point", "its position is not finite", ...
};
using GeojsonLeftOutSink = void (*)(void* data, const GeojsonLeftOut& left_out);

// Loads the text as load_markers_text does a markers file: `r.outcome` read
// (the markers in `data`, each feature left out told to `sink`), damaged
// (not GeoJSON: `r.why` says why) or out of memory. A feature without a
// "pack" property gets `file_pack` (none when empty).
void load_geojson_text(MarkersFileRead& r, std::string_view text, std::string_view file_pack,
                       const Allocator& allocator, MarkersData& data, GeojsonLeftOutSink sink, void* sink_data);
