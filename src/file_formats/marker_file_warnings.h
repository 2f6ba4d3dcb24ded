// What the game would drop or change in a markers file that loads: keys it
// ignores, a key given twice, a marker without a field (and what it becomes),
// a category outside the table, a name that is not UTF-8 or that an escaped NUL
// cuts short, a position that is not a finite number. Each with the place it
// points at. The game's loading does not change for any of them; this is what
// `quillfen-markers check` tells a player before the game reads the file.
#pragma once

#include <cstddef>
#include <string_view>

#include "src/base/allocators.h"

// Calls `warn` once per warning, in the order of the text, with its line:
// "LINE:COLUMN: marker 2: the game ignores the key \"postion\" (did you mean
// \"position\"?)" (valid during the call). Returns the number of warnings, or
// SIZE_MAX when the text does not parse or memory ran out. Any text may be
// given, also one that parses but does not load (its lines then say what they
// can), and the time taken grows with the text's length, not its square.
std::size_t list_markers_warnings(std::string_view text, const Allocator& allocator,
                                  void (*warn)(void* data, const char* line), void* data);
