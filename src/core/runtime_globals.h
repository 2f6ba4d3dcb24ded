// The plug-in's globals that last from setup to cleanup: cleared as one block
// by both, and left alone by script starts.
#pragma once

#include "src/base/allocators.h"
#include "src/base/log.h"
#include "src/platform/local_time.h"

struct RuntimeGlobals {
    AllocationTracker allocation_tracker;
    Logger file_logger;
    LocalTimeZone* local_time_zone;
};

extern RuntimeGlobals runtime_globals;

void clear_runtime_globals(RuntimeGlobals& globals);
