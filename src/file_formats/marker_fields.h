// The fields of a stored marker, named once, and a set of them: what a
// change touched (a rename: the name), what a late read carries over from
// the list into the file's marker, what a follower of the list looks at again.
#pragma once

#include <cstdint>

// In the order the file writes their keys.
enum class MarkerField : std::uint8_t { position, category, name, timestamp, pack, found, note };
inline constexpr std::uint8_t marker_field_count = 7;

struct MarkerFieldSet {
    std::uint32_t bits;
};

inline constexpr MarkerFieldSet no_marker_fields{0};
inline constexpr MarkerFieldSet all_marker_fields{(1u << marker_field_count) - 1};

inline constexpr MarkerFieldSet marker_fields(MarkerField f) { return {1u << static_cast<std::uint8_t>(f)}; }
inline constexpr MarkerFieldSet operator|(MarkerFieldSet a, MarkerFieldSet b) { return {a.bits | b.bits}; }
inline constexpr MarkerFieldSet operator|(MarkerFieldSet a, MarkerField f) { return a | marker_fields(f); }
inline constexpr bool has_field(MarkerFieldSet s, MarkerField f) { return (s.bits & marker_fields(f).bits) != 0; }
inline constexpr bool is_empty(MarkerFieldSet s) { return s.bits == 0; }
