#include "src/core/state.h"

PluginState plugin_state;
RuntimeGlobals runtime_globals;

float waypoint_check_timer;
Vector3 last_waypoint;
float waypoint_cooldown;

void clear_plugin_state(PluginState& state) { state = PluginState{}; }

void clear_runtime_globals(RuntimeGlobals& globals) { globals = RuntimeGlobals{}; }
