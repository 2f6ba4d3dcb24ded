// What every procedure of the plug-in runs with.
#pragma once

#include "src/base/allocators.h"
#include "src/base/log.h"

struct RunContext {
    Allocator general;  // lasting data (the leak tracker while the script runs)
    Allocator scratch;  // released at the end of every frame
    Logger logger;      // empty: logging is off
};
