// The log written into a file (Quillfen/last.log): each line as the log
// renders it, stamped with the platform's clock.
#pragma once

#include "src/base/allocators.h"
#include "src/base/log.h"
#include "src/platform/platform.h"

struct FileLoggerData {
    PlatformFile file;
    bool last_write_failed;  // the file did not take the last line whole (a full disk)
};

// Allocates its data from `allocator`; an empty logger when that fails.
Logger file_logger_create(PlatformFile file, const Allocator& allocator);
// Closes the file (when valid) and frees the data.
void file_logger_destroy(Logger& logger, const Allocator& allocator);
// Whether the last line given to `logger` went into its file whole: false for
// a logger that is not the file's (there is no log file) and after a write
// that failed, so that a message elsewhere points to the log only when the
// log has it.
bool log_file_took_last_line(const Logger& logger);
