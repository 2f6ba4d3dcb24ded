// The log written into a file (Quillfen/last.log): each line as the log
// renders it, stamped with the platform's clock.
#pragma once

#include "src/base/allocators.h"
#include "src/base/log.h"
#include "src/platform/platform.h"

struct FileLoggerData {
    PlatformFile file;
};

// Allocates its data from `allocator`; an empty logger when that fails.
Logger file_logger_create(PlatformFile file, const Allocator& allocator);
// Closes the file (when valid) and frees the data.
void file_logger_destroy(Logger& logger, const Allocator& allocator);
