// The library's entry points: what the loader calls at attach and detach, and
// the two exports.
#pragma once

#include <cstdint>

#include "src/base/run_context.h"
#include "src/scripthook/host_api.h"

#ifdef _WIN32
#define QUILLFEN_EXPORT __declspec(dllexport)
#else
#define QUILLFEN_EXPORT
#endif

extern "C" {
// Clears the state and the runtime globals, opens the log ("Setup"), loads the
// local time zone, puts `script_main` into the first script slot, then runs
// each feature's `setup` (features_at_setup): the markers file backed up
// (read whole, checked by loading it, written to markers.json.bak and on a
// day's first start to the day's copy) and Quillfen/import made. Returns how
// many slots it filled: 1; 0 when there is no slot for the script, and then
// nothing is backed up or made.
QUILLFEN_EXPORT std::int32_t setup(ScriptProcedure* scripts, std::int32_t scripts_cap);
// Each feature's `unload` (features_at_unload): a line naming a GPS route
// still drawn (the game takes no call here to clear it), one last try of a
// save that kept failing (or a line saying what was lost); then "Shutdown",
// the log closed and the state and runtime globals cleared.
QUILLFEN_EXPORT void cleanup();
}

// Process attach: bind the host table, run `setup`, register the scripts it
// filled. DllMain calls this with the imported host functions; the Linux
// simulator with its own.
void plugin_process_attach(HostModule module, const HostApi& api);
// Process detach: `cleanup`, then unregister the script.
void plugin_process_detach(HostModule module);
