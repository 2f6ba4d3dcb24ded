// The plug-in's log: one line per entry, level header, UTC date and time, the
// message. Values inside messages have one default rendering each. Format
// texts have one placeholder syntax, checked against the values when the call
// is compiled:
//
//   {}        the value's default rendering (any value)
//   {:d}      an integer, in decimal
//   {:.Nf}    a floating-point number with exactly N decimals (N is 0 to 9)
//   {:size}   an unsigned byte count in units of 1024 ("24b", "1.50kib")
//   {{ }}     a literal brace
//
// A placeholder without a value, a value without a placeholder, a value of the
// wrong kind for its placeholder or a malformed placeholder does not compile.
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

enum class LogLevel : std::int32_t { debug = 0, info = 10, warning = 20, error = 30, fatal = 40 };

enum LogOptions : std::uint32_t {
    log_option_level = 1u << 0,
    log_option_date = 1u << 1,
    log_option_time = 1u << 2,
};

struct Logger {
    void (*write)(void* data, LogLevel level, std::string_view message, std::uint32_t options);
    void* data;
    LogLevel lowest_level;
    std::uint32_t options;
};

// True when `level` is `lowest` or above it.
constexpr bool log_level_reaches(LogLevel level, LogLevel lowest) {
    return static_cast<std::int32_t>(level) >= static_cast<std::int32_t>(lowest);
}

inline bool logger_is_empty(const Logger& l) { return l.write == nullptr && l.data == nullptr; }

// Longest line written; longer messages are cut (a log line is never worth a
// heap allocation inside a game frame).
inline constexpr std::size_t log_line_capacity = 4096;

// ---- values ---------------------------------------------------------------------
struct LogArg {
    enum class Kind : std::uint8_t {
        signed_integer,
        unsigned_integer,
        float32,
        float64,
        text,
        location,
        boolean,
        custom,
    };
    // A value of a type this layer does not know (an OS error, a game type),
    // copied in whole, with the procedure that renders it.
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

// ---- format texts -----------------------------------------------------------------
struct LogPlaceholder {
    enum class Kind : std::uint8_t { value, integer, fixed, size };
    Kind kind;
    int decimals;  // of `fixed`
};

// One step through a format text: a run of literal text, one placeholder, or a
// fault that a checked format text never has (written out as it stands).
struct LogFormatStep {
    enum class Kind : std::uint8_t {
        end,
        literal,
        placeholder,
        unmatched_open_brace,
        unmatched_close_brace,
        unknown_placeholder
    };
    Kind kind;
    std::string_view text;  // the literal text to write; for the others the part of the format they cover
    LogPlaceholder placeholder;
    std::size_t next;  // where the next step starts
};

// The one reader of format texts: the check when compiling and the rendering
// both go through it, so they cannot disagree.
constexpr LogFormatStep log_format_step(std::string_view format, std::size_t at) {
    using Step = LogFormatStep::Kind;
    using Kind = LogPlaceholder::Kind;
    if (at >= format.size()) return {Step::end, {}, {}, at};
    const char c = format[at];
    if (c != '{' && c != '}') {
        std::size_t end = at;
        while (end < format.size() && format[end] != '{' && format[end] != '}') ++end;
        return {Step::literal, format.substr(at, end - at), {}, end};
    }
    if (at + 1 < format.size() && format[at + 1] == c) return {Step::literal, format.substr(at, 1), {}, at + 2};
    if (c == '}') return {Step::unmatched_close_brace, format.substr(at, 1), {}, at + 1};
    const std::size_t close = format.find('}', at + 1);
    if (close == std::string_view::npos) return {Step::unmatched_open_brace, format.substr(at), {}, format.size()};
    const std::string_view whole = format.substr(at, close + 1 - at);
    const std::string_view inside = format.substr(at + 1, close - at - 1);  // between the braces
    LogPlaceholder p{Kind::value, 0};
    if (inside == ":d") {
        p.kind = Kind::integer;
    } else if (inside == ":size") {
        p.kind = Kind::size;
    } else if (inside.size() == 4 && inside[0] == ':' && inside[1] == '.' && inside[2] >= '0' && inside[2] <= '9' &&
               inside[3] == 'f') {
        p = {Kind::fixed, inside[2] - '0'};
    } else if (!inside.empty()) {
        return {Step::unknown_placeholder, whole, {}, close + 1};
    }
    return {Step::placeholder, whole, p, close + 1};
}

// What the check knows of a value's type.
enum class LogValueKind : std::uint8_t { signed_integer, unsigned_integer, floating_point, other };

template <class T>
consteval LogValueKind log_value_kind_of() {
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<U, bool>) return LogValueKind::other;
    else if constexpr (std::is_integral_v<U> && std::is_signed_v<U>) return LogValueKind::signed_integer;
    else if constexpr (std::is_integral_v<U>) return LogValueKind::unsigned_integer;
    else if constexpr (std::is_floating_point_v<U>) return LogValueKind::floating_point;
    else return LogValueKind::other;
}

// Declared and never defined: a format text whose check reaches one of these
// does not compile, and the compiler's message names the fault (and shows the
// line declaring it, comment included).
namespace log_format_fault {
void placeholder_without_a_value();
void value_without_a_placeholder();
void unmatched_open_brace();   // a literal brace is written {{
void unmatched_close_brace();  // a literal brace is written }}
void unknown_placeholder();    // {}, {:d}, {:.Nf} with N 0 to 9, or {:size}
void d_placeholder_needs_an_integer();
void fixed_placeholder_needs_a_floating_point_number();
void size_placeholder_needs_an_unsigned_integer();
}  // namespace log_format_fault

consteval void check_log_format(std::string_view format, const LogValueKind* kinds, std::size_t count) {
    using Step = LogFormatStep::Kind;
    using Kind = LogPlaceholder::Kind;
    std::size_t used = 0;
    for (LogFormatStep s = log_format_step(format, 0); s.kind != Step::end; s = log_format_step(format, s.next)) {
        if (s.kind == Step::unmatched_open_brace) log_format_fault::unmatched_open_brace();
        if (s.kind == Step::unmatched_close_brace) log_format_fault::unmatched_close_brace();
        if (s.kind == Step::unknown_placeholder) log_format_fault::unknown_placeholder();
        if (s.kind != Step::placeholder) continue;
        if (used == count) {
            log_format_fault::placeholder_without_a_value();
            continue;
        }
        const LogValueKind value = kinds[used++];
        const bool integer = value == LogValueKind::signed_integer || value == LogValueKind::unsigned_integer;
        if (s.placeholder.kind == Kind::integer && !integer) log_format_fault::d_placeholder_needs_an_integer();
        if (s.placeholder.kind == Kind::fixed && value != LogValueKind::floating_point) {
            log_format_fault::fixed_placeholder_needs_a_floating_point_number();
        }
        if (s.placeholder.kind == Kind::size && value != LogValueKind::unsigned_integer) {
            log_format_fault::size_placeholder_needs_an_unsigned_integer();
        }
    }
    if (used != count) log_format_fault::value_without_a_placeholder();
}

// A format text checked against the types of its values; made only from a
// text known when compiling (a literal), like std::format_string.
template <class... A>
struct LogFormat {
    template <class S>
    requires std::convertible_to<const S&, std::string_view>
    consteval LogFormat(const S& format) : text(format) {
        constexpr LogValueKind kinds[sizeof...(A) + 1] = {log_value_kind_of<A>()..., LogValueKind::other};
        check_log_format(text, kinds, sizeof...(A));
    }
    std::string_view text;
};

// ---- rendering (pure, for tests) ------------------------------------------------
// A text from outside (a file's or a marker's name) as a log line shows it:
// control characters as \n, \r, \t or \xHH, everything else as it is. The one
// rule: quillfen-markers prints names by it too.
void append_escaped_text(TextBuilder& out, std::string_view text);
// The noun after a count: "1 marker", "2 markers", "0 markers".
constexpr const char* counted_noun(std::int64_t count, const char* one, const char* more) {
    return count == 1 ? one : more;
}
void render_log_value(TextBuilder& out, const LogArg& value);
void render_byte_size(TextBuilder& out, std::uint64_t bytes);  // "{:size}"
// Also for a text not checked when compiling: a placeholder without a value
// writes nothing, a malformed one is written as it stands.
void render_log_format(TextBuilder& out, std::string_view format, const LogArg* args, std::size_t count);
void render_log_values(TextBuilder& out, const LogArg* args, std::size_t count);
// Header, "[date time] ", message and a line feed, as the options ask.
void render_log_line(TextBuilder& out, LogLevel level, std::uint32_t options, std::int64_t now_ns,
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
void log_format(const RunContext& ctx, LogLevel level, LogFormat<std::type_identity_t<A>...> format,
                const A&... values) {
    if constexpr (sizeof...(A) == 0) {
        log_format_args(ctx, level, format.text, nullptr, 0);
    } else {
        const LogArg args[] = {log_arg(values)...};
        log_format_args(ctx, level, format.text, args, sizeof...(A));
    }
}
