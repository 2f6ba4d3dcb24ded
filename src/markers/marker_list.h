// The rows of the marker list page: indices of the current category's markers,
// newest first or nearest first.
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/core/state.h"

// Refills `marker_list_cache` for the current category in `sort_mode`'s
// order; the selection goes back to the first row, or stays within the rows.
void update_marker_list_cache(RunContext& ctx, PluginState& state, bool reset_selection);

// The list's orders, as "comes first": the newer marker (a's time is later)...
bool less_by_time(const PluginState& state, std::int64_t a, std::int64_t b);
// ... or the one nearer the player (false when either distance is NaN).
bool less_by_proximity(const PluginState& state, std::int64_t a, std::int64_t b);
