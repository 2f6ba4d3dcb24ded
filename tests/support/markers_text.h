// Text for the tests and benchmarks to start from: a markers file built from
// its markers, and a simulator scenario built key by key. The one builder of
// each, so that a test says which markers and which game it wants, not how
// their text is spelt.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "src/base/allocators.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/marker_keys.h"

// ---- a markers file ----------------------------------------------------------------------

// One marker of a file; a key is written only when it is given.
struct TextMarker {
    float x = 0, y = 0, z = 0;
    std::optional<std::int64_t> category = 1;
    std::string name;  // plain text, escaped as the plug-in writes it; empty: no "name"
    // Instead of `name`: the value exactly as it stands in the text, in JSON5
    // ("'near the lake'", "\"Say \\\"hi\\\"\"").
    std::string name_source;
    std::optional<std::int64_t> timestamp_ns;
    std::string pack;                        // empty: no "pack"
    std::optional<std::int64_t> found_ns;    // none: no "found"
    std::string note;                        // plain text, escaped as the plug-in writes it; empty: no "note"
    std::optional<std::int64_t> deleted_ns;  // deleted.json's "deleted"; none: no "deleted"
};

// A float as the shortest text that reads back as the same float; NaN,
// Infinity and -Infinity as JSON5 spells them.
inline std::string float_text(float f) {
    if (std::isnan(f)) return "NaN";
    if (std::isinf(f)) return f < 0 ? "-Infinity" : "Infinity";
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, f);
    return std::string(buffer, r.ptr);
}

// Written as a player or another program may write a file: one marker a
// line, the keys in the game's order, numbers in their shortest form.
inline std::string markers_file_text(const std::vector<TextMarker>& markers) {
    auto key = [](std::size_t k) { return "\"" + std::string(marker_keys[k].key) + "\": "; };
    std::string text = "{\"" + std::string(file_keys[key_markers].key) + "\": [\n";
    for (std::size_t i = 0; i < markers.size(); ++i) {
        const TextMarker& m = markers[i];
        text +=
            "  {" + key(key_position) + "[" + float_text(m.x) + ", " + float_text(m.y) + ", " + float_text(m.z) + "]";
        if (m.category) text += ", " + key(key_category) + std::to_string(*m.category);
        if (!m.name_source.empty()) {
            text += ", " + key(key_name) + m.name_source;
        } else if (!m.name.empty()) {
            MarkersText quoted{};
            (void)serialize_string(m.name.c_str(), heap_allocator(), quoted);
            text += ", " + key(key_name) + std::string(quoted.data, quoted.length);
            free_markers_text(quoted, heap_allocator());
        }
        if (m.timestamp_ns) {
            text += ", " + key(key_timestamp) + "{\"" + std::string(timestamp_keys[key_nsec].key) +
                    "\": " + std::to_string(*m.timestamp_ns) + "}";
        }
        if (!m.pack.empty()) {
            MarkersText quoted{};
            (void)serialize_string(m.pack.c_str(), heap_allocator(), quoted);
            text += ", " + key(key_pack) + std::string(quoted.data, quoted.length);
            free_markers_text(quoted, heap_allocator());
        }
        if (m.found_ns) {
            text += ", " + key(key_found) + "{\"" + std::string(timestamp_keys[key_nsec].key) +
                    "\": " + std::to_string(*m.found_ns) + "}";
        }
        if (!m.note.empty()) {
            MarkersText quoted{};
            (void)serialize_string(m.note.c_str(), heap_allocator(), quoted);
            text += ", " + key(key_note) + std::string(quoted.data, quoted.length);
            free_markers_text(quoted, heap_allocator());
        }
        if (m.deleted_ns) {
            text += ", \"" + std::string(deleted_keys[key_deleted].key) + "\": {\"" +
                    std::string(deleted_time_keys[key_nsec].key) + "\": " + std::to_string(*m.deleted_ns) + "}";
        }
        text += i + 1 < markers.size() ? "},\n" : "}\n";
    }
    return text + "]}";
}

// The same markers byte for byte as the plug-in saves them (serialize_markers):
// for a test that compares a file with what a save writes. A marker without
// a category or a timestamp is saved with 0, as the game reads it. When a
// marker says when it was deleted, as deleted.json is written (0 for those
// that do not).
inline std::string markers_file_as_saved(const std::vector<TextMarker>& markers) {
    std::vector<std::int64_t> deleted_ns;
    bool deleted = false;
    for (const TextMarker& m : markers) {
        deleted_ns.push_back(m.deleted_ns.value_or(0));
        deleted = deleted || m.deleted_ns.has_value();
    }
    std::vector<MarkerDataV1> records;
    for (const TextMarker& m : markers) {
        records.push_back(MarkerDataV1{{m.x, m.y, m.z},
                                       m.category.value_or(0),
                                       m.name.empty() ? nullptr : const_cast<char*>(m.name.c_str()),
                                       {m.timestamp_ns.value_or(0)},
                                       m.pack.empty() ? nullptr : const_cast<char*>(m.pack.c_str()),
                                       m.found_ns.has_value(),
                                       {m.found_ns.value_or(0)},
                                       m.note.empty() ? nullptr : const_cast<char*>(m.note.c_str())});
    }
    MarkersText t{};
    (void)serialize_markers(records.data(), records.size(), heap_allocator(), t, deleted ? deleted_ns.data() : nullptr);
    std::string text(t.data, t.length);
    free_markers_text(t, heap_allocator());
    return text;
}

// ---- a scenario ------------------------------------------------------------------------

// A text as a JSON5 string: "\"pad\"".
inline std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A simulator scenario (docs/simulator.md), key by key in the order given:
// Scenario().with("frames", 10).with("input", quoted("pad")).text() is
// "{frames: 10, input: \"pad\"}". A value is JSON5 as the scenario takes it.
struct Scenario {
    std::vector<std::pair<std::string, std::string>> keys;

    Scenario& with(const std::string& key, const std::string& value) {
        keys.emplace_back(key, value);
        return *this;
    }
    Scenario& with(const std::string& key, const char* value) { return with(key, std::string(value)); }
    Scenario& with(const std::string& key, std::int64_t value) { return with(key, std::to_string(value)); }
    Scenario& with(const std::string& key, int value) { return with(key, std::to_string(value)); }
    // Every key of `more`, after these.
    Scenario& with(const Scenario& more) {
        keys.insert(keys.end(), more.keys.begin(), more.keys.end());
        return *this;
    }
    std::string text() const {
        std::string out = "{";
        for (std::size_t i = 0; i < keys.size(); ++i) out += (i ? ", " : "") + keys[i].first + ": " + keys[i].second;
        return out + "}";
    }
};
