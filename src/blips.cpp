#include "src/blips.h"

#include "scripthook/natives.h"

void remove_marker_blip(Marker& marker) {
    blip_pre_remove(marker.blip);
    remove_blip(&marker.blip);
    marker.blip = 0;  // whatever the game left there
}
