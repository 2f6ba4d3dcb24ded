// The rows of the marker list page: indices of the current category's markers,
// newest first or nearest first.
#pragma once

#include <cstdint>
#include <string_view>

#include "src/base/run_context.h"
#include "src/core/state.h"

// Refills `marker_list_cache` for the current category (while a search is in
// force: the markers it found, of every category, with those added since
// looked at) in `sort_mode`'s order; the selection goes back to the first
// row, or stays within the rows.
void update_marker_list_cache(RunContext& ctx, PluginState& state, bool reset_selection);
// The row showing the marker at `index`, or -1.
std::int64_t row_of_marker(const PluginState& state, std::int64_t index);

// True when `text` is part of `label`, ASCII letters compared without regard
// to case and every other byte as it is (so UTF-8 letters match only as typed).
bool label_contains(std::string_view label, std::string_view text);
// The marker's label as the list shows it (name, place, category) contains
// `text`; a marker of no category of the table never matches.
bool marker_matches_search(const PluginState& state, const Marker& m, std::string_view text);
// The search's found markers follow the list: the marker at `index` is about
// to leave it...
void search_forget_marker(PluginState& state, std::size_t index);
// ...or was named (a capture names the marker it has just added): one that
// matches now is found; one found stays so...
void search_marker_named(RunContext& ctx, PluginState& state, std::size_t index);
// ...or the whole list was replaced by another (a late read of the file): it
// is looked through again at the next rebuild.
void search_list_replaced(PluginState& state);

// The list's orders, as "comes first": the newer marker (a's time is later)...
bool less_by_time(const PluginState& state, std::int64_t a, std::int64_t b);
// ... or the one nearer the player (false when either distance is NaN).
bool less_by_proximity(const PluginState& state, std::int64_t a, std::int64_t b);
