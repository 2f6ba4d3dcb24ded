// Place names for world positions, and which zones are Guarma's.
#pragma once

#include "src/base/run_context.h"
#include "src/scripthook/types.h"
#include "src/state/state.h"

// The place name at a position: the game's zone texts first, then the built-in
// table; never null, possibly empty (and then logged once per place and run).
const char* named_location_at_coords(RunContext& ctx, PluginState& state, const Vector3& position);
// The same lookups without the log line: a search looks at every unnamed
// marker, and a line per nameless place would flood the log.
const char* named_location_quietly(const Vector3& position);
// The most natives one place lookup calls (three zone kinds and the untyped
// zone, each with its text, then the zone for the table), for what has a
// budget of natives per frame.
inline constexpr std::uint64_t place_lookup_natives = 9;

// How a marker's place is looked up: noted, a place without a name is said in
// the log once per place and run (the list's rows, the route's lines); quiet,
// nothing is said (a search looks at every unnamed marker, a move names one).
enum class PlaceLookup : std::uint8_t { noted, quiet };

// The place a marker is called by: null for a marker with a name (no lookup,
// no natives), else the name of the place it lies in, never null, possibly empty.
const char* marker_place(RunContext& ctx, PluginState& state, const Marker& marker, PlaceLookup lookup);
// What a marker is called where the player reads it, in the list and in the
// log: its name; else the name of the place it lies in; else its category's
// name (marker_label, with marker_place). Never null. The list adds only its
// row number and, in a search, the category's tag.
const char* shown_marker_label(RunContext& ctx, PluginState& state, const Marker& marker,
                               PlaceLookup lookup = PlaceLookup::noted);
Hash zone_hash_at(const Vector3& position);
const char* place_name_of_zone(Hash zone);
bool is_guarma_zone(Hash zone);
