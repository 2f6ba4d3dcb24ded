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
Hash zone_hash_at(const Vector3& position);
const char* place_name_of_zone(Hash zone);
bool is_guarma_zone(Hash zone);
