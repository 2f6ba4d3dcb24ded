#include "src/state/state.h"

PluginState plugin_state;

WaypointCapture waypoint_capture;

void clear_plugin_state(PluginState& state) { state = PluginState{}; }
