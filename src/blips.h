// The map blips of the markers.
#pragma once

#include "src/marker.h"
#include "src/run_context.h"
#include "src/state.h"

// Ends the marker's blip (also for a handle of 0); afterwards `blip` is 0.
void remove_marker_blip(Marker& marker);
