#include "src/platform/log_file.h"

static void file_logger_write(void* data, LogLevel level, std::string_view message, std::uint32_t options) {
    auto* d = static_cast<FileLoggerData*>(data);
    if (!d || d->file == platform_invalid_file) return;
    char buffer[log_line_capacity];
    TextBuilder line = text_builder(buffer, sizeof buffer);
    render_log_line(line, level, options, platform_now_ns(), message);
    std::size_t written = 0;
    // A failed write is not reported (there is nowhere else to): only kept in
    // mind, for log_file_took_last_line.
    const PlatformError e = platform_write_file(d->file, line.data, line.length, &written);
    d->last_write_failed = e.code != 0 || written != line.length;
}

Logger file_logger_create(PlatformFile file, const Allocator& allocator) {
    auto* data =
        static_cast<FileLoggerData*>(allocate_bytes(allocator, sizeof(FileLoggerData), alignof(FileLoggerData)));
    if (!data) return Logger{};
    *data = FileLoggerData{file, false};
    return Logger{file_logger_write, data, LogLevel::debug, log_option_level | log_option_date | log_option_time};
}

void file_logger_destroy(Logger& logger, const Allocator& allocator) {
    auto* data = static_cast<FileLoggerData*>(logger.data);
    if (data) {
        if (data->file != platform_invalid_file) platform_close_file(data->file);
        free_bytes(allocator, data, sizeof(FileLoggerData));
    }
    logger = Logger{};
}

bool log_file_took_last_line(const Logger& logger) {
    if (logger.write != file_logger_write || !logger.data) return false;
    const auto* d = static_cast<const FileLoggerData*>(logger.data);
    return d->file != platform_invalid_file && !d->last_write_failed;
}

void render_platform_error(TextBuilder& out, const void* error) {
    char name[64];
    platform_error_name(*static_cast<const PlatformError*>(error), name, sizeof name);
    text_append(out, name);
}
