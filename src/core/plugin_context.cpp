#include "src/core/plugin_context.h"

#include "src/core/runtime_globals.h"
#include "src/file_formats/markers_folder.h"
#include "src/platform/log_file.h"

RunContext plugin_context() {
    RunContext ctx{heap_allocator(), scratch_allocator(thread_scratch_arena()), Logger{}};
    if (logger_is_empty(runtime_globals.file_logger)) {
        // "Exists already" and every other failure are ignored: the open decides.
        (void)platform_create_directory(quillfen_folder);
        PlatformError error{};
        PlatformFile file = platform_open_log_file(log_path, &error);
        if (file != platform_invalid_file) {
            runtime_globals.file_logger = file_logger_create(file, ctx.general);
            if (logger_is_empty(runtime_globals.file_logger)) platform_close_file(file);
        }
    }
    ctx.logger = runtime_globals.file_logger;
    if (!allocator_is_set(runtime_globals.allocation_tracker.backing)) {
        tracker_init(runtime_globals.allocation_tracker, ctx.general, ctx.general);
    }
    return ctx;
}
