// A marker as the markers file stores it: the record the file's keys map to.
#pragma once

#include <cstdint>

#include "src/base/allocators.h"
#include "src/base/position.h"
#include "src/base/text_builder.h"

// A time value as stored: nanoseconds since 1970-01-01 00:00:00 UTC.
struct TimestampV1 {
    std::int64_t _nsec;
};

// Stored form of one marker; fields, order and keys are those of the file.
struct MarkerDataV1 {
    Position position;
    std::int64_t category;
    char* name;  // owned, zero-terminated UTF-8, or null
    TimestampV1 timestamp;
    char* pack;         // owned: the pack it was imported from ("pack"), or null for a player's own
    bool is_found;      // "found" is set: the marker of a collection was found
    TimestampV1 found;  // when; counts only with is_found
    char* note;         // owned, zero-terminated UTF-8, or null: what the player wrote about the place
};

// The names of the ten marker categories, by a record's `category`: what the
// player sees them called, in the game (the plug-in's category table takes
// them from here) and in exports.
inline constexpr std::size_t category_count = 10;
inline constexpr const char* category_names[category_count] = {
    "Marker (Flag)",  "Marker (Pin)",  "Marker (?)",      "Marker (Friend)", "Marker (Foe)",
    "Marker (Chest)", "Marker (Cash)", "Marker (Animal)", "Marker (Plant)",  "Marker (Cross)",
};
// The category's name, or null for a number that names no category (a
// markers file may hold any).
inline const char* category_name(std::int64_t category) {
    return category >= 0 && static_cast<std::uint64_t>(category) < category_count ? category_names[category] : nullptr;
}

// Gives a marker's name text back (its block is the text and its terminator)
// and leaves the name null.
void free_marker_name(const Allocator& allocator, char*& name);

// Gives back the texts a record owns (its name, its pack and its note) and
// leaves them null.
void free_marker_texts(const Allocator& allocator, MarkerDataV1& marker);
// The record's texts passed to another owner (a marker of the list): left null here.
inline void hand_over_marker_texts(MarkerDataV1& marker) {
    marker.name = nullptr;
    marker.pack = nullptr;
    marker.note = nullptr;
}
// A copy of `text` (null for null or empty) from `allocator`; false when memory ran out.
bool copy_marker_text(const Allocator& allocator, const char* text, char*& copy);
// `to` becomes `from` with copies of its texts of its own (name, pack, note);
// false when memory ran out, and then `to` owns no text.
bool copy_marker_record(const Allocator& allocator, const MarkerDataV1& from, MarkerDataV1& to);

// An empty name is no name: it is neither written nor shown.
inline bool marker_has_name(const MarkerDataV1& marker) { return has_text(marker.name); }
// Likewise an empty pack is none: the marker is the player's own.
inline bool marker_has_pack(const MarkerDataV1& marker) { return has_text(marker.pack); }
// And an empty note.
inline bool marker_has_note(const MarkerDataV1& marker) { return has_text(marker.note); }
