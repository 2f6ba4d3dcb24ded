// The rows of the marker list page: indices of the current category's markers,
// newest first or nearest first.
#pragma once

#include <cstdint>

#include "scripthook/types.h"
#include "src/base/run_context.h"
#include "src/state.h"

void update_marker_list_cache(RunContext& ctx, PluginState& state, bool reset_selection);

bool less_by_time(const PluginState& state, std::int64_t a, std::int64_t b);
bool less_by_proximity(const PluginState& state, std::int64_t a, std::int64_t b);
