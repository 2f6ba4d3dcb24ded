// The markers file's keys, each with the kind of value it takes and what the
// game makes of it missing, of another kind, or of its kind but of no use: one
// table per object of the file. The writer writes the keys in the order of
// the table, the reader takes values by it, and the checker
// (marker_file_warnings) says from it what the game would drop or change.
//
//   { "markers": [ { "position": [x, y, z], "category": 0, "name": "...",
//                    "timestamp": { "_nsec": 1765267200000000000 }, "note": "..." }, ... ] }
//
// Quillfen/deleted.json is a markers file whose markers also say when they
// were deleted (deleted_keys): read as a markers file (a pack), it brings
// them back without that key.
#pragma once

#include <cstddef>
#include <string_view>

enum class MarkerValueKind {
    marker_list,   // a list of marker objects
    position,      // a list of three numbers, each taken as a float
    whole_number,  // an integer of 64 bits
    text,          // a string, or null for none
    timestamp,     // an object holding "_nsec"
};

struct MarkerFileKey {
    std::string_view key;  // as written in the file
    MarkerValueKind kind;
    const char* subject;  // the key as a message names it: "\"position\"", "\"_nsec\" in \"timestamp\""
    // A value of another kind fails the whole load: "marker 5: \"name\" must be text, not a number".
    const char* must_be;
    // What the game makes of the marker when the key is missing; null when
    // that is nothing to tell (a marker without a name has none).
    const char* when_missing;
    // What the game makes of a value of the right kind that it cannot use
    // (a category outside the ten, a position that is not finite, a name
    // holding \u0000); null when every value of the kind is used.
    const char* when_unusable;
};

// The file's one object. A file without "markers" holds none.
inline constexpr MarkerFileKey file_keys[] = {
    {"markers", MarkerValueKind::marker_list, "\"markers\"", "must be a list ([...])", nullptr, nullptr},
};
inline constexpr std::size_t key_markers = 0;

// A marker, in the order the file writes its keys (that of MarkerDataV1).
inline constexpr MarkerFileKey marker_keys[] = {
    {"position", MarkerValueKind::position, "\"position\"", "must be a list of three numbers",
     "the game puts it at 0, 0, 0", "the marker is kept but never shown on the map"},
    {"category", MarkerValueKind::whole_number, "\"category\"", "must be a whole number",
     "the game makes it a Marker (Flag)", "the marker is kept but never shown, on the map or in the menu"},
    {"name", MarkerValueKind::text, "\"name\"", "must be text", nullptr, "the game keeps only the text before it"},
    {"timestamp", MarkerValueKind::timestamp, "\"timestamp\"",
     "must be an object like {\"_nsec\": 1765267200000000000}", "the game dates it 1 January 1970", nullptr},
    // Quillfen's own keys, after the game's and written only when set (a file
    // without them is saved as before): the game skips them.
    {"pack", MarkerValueKind::text, "\"pack\"", "must be text", nullptr, nullptr},
    {"found", MarkerValueKind::timestamp, "\"found\"", "must be an object like {\"_nsec\": 1765267200000000000}",
     nullptr, nullptr},
    {"note", MarkerValueKind::text, "\"note\"", "must be text", nullptr, "the game keeps only the text before it"},
};
inline constexpr std::size_t key_position = 0, key_category = 1, key_name = 2, key_timestamp = 3, key_pack = 4,
                             key_found = 5, key_note = 6;

// A marker of deleted.json, after its own keys: when it was deleted. Only the
// deleted markers' file writes it; the markers file's reader skips it.
inline constexpr MarkerFileKey deleted_keys[] = {
    {"deleted", MarkerValueKind::timestamp, "\"deleted\"", "must be an object like {\"_nsec\": 1765267200000000000}",
     nullptr, nullptr},
};
inline constexpr std::size_t key_deleted = 0;
// Its "_nsec", as in a timestamp.
inline constexpr MarkerFileKey deleted_time_keys[] = {
    {"_nsec", MarkerValueKind::whole_number, "\"_nsec\" in \"deleted\"", "must be a whole number", nullptr, nullptr},
};

// A marker's "timestamp".
inline constexpr MarkerFileKey timestamp_keys[] = {
    {"_nsec", MarkerValueKind::whole_number, "\"_nsec\" in \"timestamp\"", "must be a whole number",
     "the game dates the marker 1 January 1970", nullptr},
};
inline constexpr std::size_t key_nsec = 0;

// Which of `keys` `key` is, or N when the game does not read it.
template <std::size_t N>
constexpr std::size_t marker_key_index(std::string_view key, const MarkerFileKey (&keys)[N]) {
    for (std::size_t k = 0; k < N; ++k) {
        if (key == keys[k].key) return k;
    }
    return N;
}
