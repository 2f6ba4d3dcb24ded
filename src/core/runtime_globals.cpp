#include "src/core/runtime_globals.h"

RuntimeGlobals runtime_globals;

void clear_runtime_globals(RuntimeGlobals& globals) { globals = RuntimeGlobals{}; }
