// The run context every entry point starts from.
#pragma once

#include "src/base/run_context.h"

// Default allocators plus the file logger, opened on first use (and retried on
// every call while it could not be opened).
RunContext plugin_context();
