#include "tools/marker_export.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "src/base/calendar.h"
#include "src/file_formats/marker_spacing.h"
#include "tools/tool_files.h"

// Sections: values · CSV · GeoJSON · both.

// ---- values ----------------------------------------------------------------------------

std::string iso8601_utc(std::int64_t unix_ns) {
    const CivilTime t = civil_from_unix_ns(unix_ns);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(t.year), t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

// The nanoseconds past the second iso8601_utc writes: 0 to 999999999, also before 1970.
static std::int64_t nanosecond_of(std::int64_t unix_ns) {
    const std::int64_t rest = unix_ns % ns_per_second;
    return rest < 0 ? rest + ns_per_second : rest;
}

static std::string number(float value) {  // finite: the shortest text that reads back as the same float
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

static std::string integer(std::int64_t value) {
    char text[24];
    const auto r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

// ---- CSV ---------------------------------------------------------------------------------
// RFC 4180: CRLF after every row, a field in double quotes when it holds a
// comma, a quote or a line break, its quotes doubled. The file starts with the
// UTF-8 byte order mark, without which Excel on Windows reads it in the ANSI
// code page and garbles every name outside ASCII.

static void csv_field(std::string& out, const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        out += value;
        return;
    }
    out += '"';
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// A name from someone else's pack must not become a formula when the file is
// opened in a spreadsheet ("=HYPERLINK(...)", "@SUM(...)"): a name starting
// with = + - @, a tab or a carriage return gets a leading apostrophe, which
// spreadsheets take as "this is text".
static std::string csv_text(const char* text) {
    if (!text) return {};
    std::string value;
    if (text[0] != '\0' && std::strchr("=+-@\t\r", text[0])) value += '\'';
    value += text;
    return value;
}

static void csv_row(std::string& out, const MarkerDataV1& m) {
    for (float v : {m.position.x, m.position.y, m.position.z}) {
        out += number(v);
        out += ',';
    }
    out += integer(m.category);
    out += ',';
    csv_field(out, csv_text(category_name(m.category)));
    out += ',';
    csv_field(out, csv_text(marker_has_name(m) ? m.name : nullptr));
    out += ',';
    out += iso8601_utc(m.timestamp._nsec);
    out += ',';
    csv_field(out, csv_text(marker_has_pack(m) ? m.pack : nullptr));
    out += ',';
    if (m.is_found) out += iso8601_utc(m.found._nsec);
    out += ',';
    csv_field(out, csv_text(marker_has_note(m) ? m.note : nullptr));
    out += "\r\n";
}

// ---- GeoJSON -----------------------------------------------------------------------------
// A FeatureCollection (RFC 7946) with one Point per marker; its coordinates are
// the game's world units, not longitude and latitude. Times stay ISO 8601 to
// the second for map tools, their nanoseconds beside them, so that the import
// (marker_geojson.h) gives back the same markers: "pack" is null for a
// player's own marker, which an import then keeps out of any pack.

// Escaped as markers.json escapes names; a name that cannot be had for want
// of memory is written as null.
static void json_string(std::string& out, const char* text) {
    MarkersText quoted{};
    if (!text || serialize_string(text, heap_allocator(), quoted) != SerializeError::none) {
        out += "null";
        return;
    }
    out.append(quoted.data, quoted.length);
    free_markers_text(quoted, heap_allocator());
}

static void geojson_feature(std::string& out, const MarkerDataV1& m) {
    out += "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [";
    out += number(m.position.x) + ", " + number(m.position.y) + ", " + number(m.position.z);
    out += "]}, \"properties\": {\"name\": ";
    json_string(out, marker_has_name(m) ? m.name : nullptr);
    out += ", \"category\": " + integer(m.category) + ", \"category_name\": ";
    json_string(out, category_name(m.category));
    out += ", \"created\": \"" + iso8601_utc(m.timestamp._nsec) + "\", \"created_nanosecond\": ";
    out += integer(nanosecond_of(m.timestamp._nsec)) + ", \"pack\": ";
    json_string(out, marker_has_pack(m) ? m.pack : nullptr);
    out += ", \"found\": ";
    if (m.is_found) {
        out += '"';
        out += iso8601_utc(m.found._nsec);
        out += "\", \"found_nanosecond\": ";
        out += integer(nanosecond_of(m.found._nsec));
    } else {
        out += "null, \"found_nanosecond\": null";
    }
    out += ", \"note\": ";
    json_string(out, marker_has_note(m) ? m.note : nullptr);
    out += "}}";
}

// ---- both ----------------------------------------------------------------------------------

std::string export_markers(const MarkersData& data, ExportFormat format, std::vector<std::string>& left_out) {
    std::string out = format == ExportFormat::csv
                          ? "\xEF\xBB\xBFx,y,z,category,category_name,name,created,pack,found,note\r\n"
                          : "{\"type\": \"FeatureCollection\", \"features\": [";
    bool first = true;
    for (std::size_t i = 0; i < data.count; ++i) {
        const MarkerDataV1& m = data.records[i];
        if (!position_is_finite(m.position)) {
            std::string line = "left out marker " + std::to_string(i + 1);
            if (marker_has_name(m)) line += " (" + shown(m.name) + ")";
            left_out.push_back(line + ": its position is not a finite number");
            continue;
        }
        if (format == ExportFormat::csv) {
            csv_row(out, m);
        } else {
            out += first ? "\n" : ",\n";
            geojson_feature(out, m);
        }
        first = false;
    }
    if (format == ExportFormat::geojson) out += first ? "]}\n" : "\n]}\n";
    return out;
}
