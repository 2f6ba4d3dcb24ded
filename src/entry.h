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
// Fills the first script slots; returns how many it filled (always 1).
QUILLFEN_EXPORT std::int32_t setup(ScriptProcedure* scripts, std::int32_t scripts_cap);
QUILLFEN_EXPORT void cleanup();
}

// Process attach: bind the host table, run `setup`, register the scripts it
// filled. DllMain calls this with the imported host functions; the Linux
// simulator with its own.
void plugin_process_attach(HostModule module, const HostApi& api);
// Process detach: `cleanup`, then unregister the script.
void plugin_process_detach(HostModule module);
