// The plug-in's log: one line per entry, level header, UTC date and time, the
// message. Values inside messages have one default rendering each; format
// texts understand %d %i %s %v %m %.Nf %% and {}.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <source_location>
#include <string_view>
#include <type_traits>

#include "src/base/allocators.h"
#include "src/base/text_builder.h"
#include "src/platform/platform.h"

enum class LogLevel : std::int32_t { debug = 0, info = 10, warning = 20, error = 30, fatal = 40 };

enum LogOptions : std::uint32_t {
    log_option_level = 1u << 0,
    log_option_date = 1u << 1,
    log_option_time = 1u << 2,
};

struct Logger {
    void (*write)(void* data, std::int32_t level, std::string_view message, std::uint32_t options);
    void* data;
    std::int32_t lowest_level;
    std::uint32_t options;
};

inline bool logger_is_empty(const Logger& l) { return l.write == nullptr && l.data == nullptr; }

struct FileLoggerData {
    PlatformFile file;
};

// Allocates its data from `allocator`; an empty logger when that fails.
Logger file_logger_create(PlatformFile file, const Allocator& allocator);
// Closes the file (when valid) and frees the data.
void file_logger_destroy(Logger& logger, const Allocator& allocator);

// ---- values ---------------------------------------------------------------------
struct LogArg {
    enum class Kind : std::uint8_t {
        signed_integer,
        unsigned_integer,
        float32,
        float64,
        text,
        location,
        error,
        boolean,
        custom,
    };
    // A value of a type this layer does not know (a game type), copied in
    // whole, with the procedure that renders it.
    struct Custom {
        alignas(8) unsigned char bytes[24];
        void (*render)(TextBuilder& out, const void* value);
    };
    Kind kind;
    union {
        std::int64_t i;
        std::uint64_t u;
        float f32;
        double f64;
        std::source_location loc;
        PlatformError error;
        bool boolean;
        Custom custom;
    };
    std::string_view text;
};

inline LogArg log_arg(std::string_view t) {
    LogArg a{LogArg::Kind::text, {}, t};
    return a;
}
inline LogArg log_arg(const char* t) { return log_arg(std::string_view(t ? t : "")); }
inline LogArg log_arg(float f) {
    LogArg a{LogArg::Kind::float32, {}, {}};
    a.f32 = f;
    return a;
}
inline LogArg log_arg(double f) {
    LogArg a{LogArg::Kind::float64, {}, {}};
    a.f64 = f;
    return a;
}
inline LogArg log_arg(bool b) {
    LogArg a{LogArg::Kind::boolean, {}, {}};
    a.boolean = b;
    return a;
}
inline LogArg log_arg(const std::source_location& l) {
    LogArg a{LogArg::Kind::location, {}, {}};
    a.loc = l;
    return a;
}
inline LogArg log_arg(PlatformError e) {
    LogArg a{LogArg::Kind::error, {}, {}};
    a.error = e;
    return a;
}
// For a type of a higher layer: that layer's log_arg overload calls this.
template <class T>
LogArg log_arg_custom(const T& value, void (*render)(TextBuilder& out, const void* value)) {
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) <= sizeof(LogArg::Custom::bytes) &&
                  alignof(T) <= alignof(LogArg::Custom));
    LogArg a{LogArg::Kind::custom, {}, {}};
    std::memcpy(a.custom.bytes, &value, sizeof value);
    a.custom.render = render;
    return a;
}
template <std::integral T>
LogArg log_arg(T value) {
    LogArg a{std::is_signed_v<T> ? LogArg::Kind::signed_integer : LogArg::Kind::unsigned_integer, {}, {}};
    if constexpr (std::is_signed_v<T>) a.i = value;
    else a.u = value;
    return a;
}

// ---- rendering (pure, for tests) ------------------------------------------------
void render_log_value(TextBuilder& out, const LogArg& value);
void render_byte_size(TextBuilder& out, std::uint64_t bytes);  // "%m"
void render_log_format(TextBuilder& out, std::string_view format, const LogArg* args, std::size_t count);
void render_log_values(TextBuilder& out, const LogArg* args, std::size_t count);
// Header, "[date time] ", message and a line feed, as the options ask.
void render_log_line(TextBuilder& out, std::int32_t level, std::uint32_t options, std::int64_t now_ns,
                     std::string_view message);

// ---- logging --------------------------------------------------------------------
struct RunContext;
void log_message(const RunContext& ctx, LogLevel level, std::string_view message);
void log_format_args(const RunContext& ctx, LogLevel level, std::string_view format, const LogArg* args,
                     std::size_t count);
void log_values_args(const RunContext& ctx, LogLevel level, const LogArg* args, std::size_t count);

// The values' default renderings joined by one space.
template <class... A>
void log_values(const RunContext& ctx, LogLevel level, const A&... values) {
    if constexpr (sizeof...(A) == 0) {
        log_values_args(ctx, level, nullptr, 0);
    } else {
        const LogArg args[] = {log_arg(values)...};
        log_values_args(ctx, level, args, sizeof...(A));
    }
}

// The format text filled with the values, in order.
template <class... A>
void log_format(const RunContext& ctx, LogLevel level, std::string_view format, const A&... values) {
    if constexpr (sizeof...(A) == 0) {
        log_format_args(ctx, level, format, nullptr, 0);
    } else {
        const LogArg args[] = {log_arg(values)...};
        log_format_args(ctx, level, format, args, sizeof...(A));
    }
}
