// quillfen-markers export: markers as CSV for spreadsheets and as GeoJSON for
// map tools. Names come from the plug-in's reader, which always gives UTF-8
// (bytes that are not become U+FFFD), so both outputs are UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "src/file_formats/marker_file.h"

enum class ExportFormat { csv, geojson };

// A marker whose position is not a finite number is left out (neither format
// has a place for it that every reader takes): `left_out` gets one line for
// each, naming it by its place in the file (1-based) and its name.
std::string export_markers(const MarkersData& data, ExportFormat format, std::vector<std::string>& left_out);

// "2025-12-09T08:00:00Z": ISO 8601 in UTC, to the second.
std::string iso8601_utc(std::int64_t unix_ns);
