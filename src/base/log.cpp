#include "src/base/log.h"

#include "src/base/calendar.h"
#include "src/base/run_context.h"

// ---- rendering ------------------------------------------------------------------

void render_byte_size(TextBuilder& out, std::uint64_t bytes) {
    static const char* const units[] = {"kib", "mib", "gib", "tib", "pib", "eib"};
    if (bytes < 1024) {
        text_append_u64(out, bytes);
        text_append_char(out, 'b');
        return;
    }
    int unit = 0;
    std::uint64_t scale = 1024;
    while (unit < 5 && bytes / scale >= 1024) {
        scale *= 1024;
        ++unit;
    }
    text_append_f64_fixed(out, static_cast<double>(bytes) / static_cast<double>(scale), 2);
    text_append(out, units[unit]);
}

// Texts from outside (file names, marker names) may hold control characters: a
// line feed in a pack's name must not start a line of its own. They are
// written as escapes (\n, \r, \t, else \xHH); everything else, UTF-8 too,
// as it is.
void append_escaped_text(TextBuilder& out, std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != 0x7F) continue;
        text_append(out, text.substr(plain, i - plain));
        plain = i + 1;
        text_append_char(out, '\\');
        if (c == '\n') text_append_char(out, 'n');
        else if (c == '\r') text_append_char(out, 'r');
        else if (c == '\t') text_append_char(out, 't');
        else {
            text_append_char(out, 'x');
            text_append_char(out, hex[c >> 4]);
            text_append_char(out, hex[c & 0xF]);
        }
    }
    text_append(out, text.substr(plain));
}

void render_log_value(TextBuilder& out, const LogArg& a) {
    switch (a.kind) {
        case LogArg::Kind::signed_integer: text_append_i64(out, a.i); break;
        case LogArg::Kind::unsigned_integer: text_append_u64(out, a.u); break;
        case LogArg::Kind::float32: text_append_f32_shortest(out, a.f32); break;
        case LogArg::Kind::float64: text_append_f64_shortest(out, a.f64); break;
        case LogArg::Kind::text: append_escaped_text(out, a.text); break;
        case LogArg::Kind::boolean: text_append(out, a.boolean ? "true" : "false"); break;
        case LogArg::Kind::location:
            text_append(out, a.loc.file_name());
            text_append_char(out, '(');
            text_append_u64(out, a.loc.line());
            if (a.loc.column() != 0) {
                text_append_char(out, ':');
                text_append_u64(out, a.loc.column());
            }
            text_append_char(out, ')');
            break;
        case LogArg::Kind::custom: a.custom.render(out, a.custom.bytes); break;
    }
}

static void render_integer(TextBuilder& out, const LogArg& a) {
    switch (a.kind) {
        case LogArg::Kind::float32: text_append_i64(out, static_cast<std::int64_t>(a.f32)); break;
        case LogArg::Kind::float64: text_append_i64(out, static_cast<std::int64_t>(a.f64)); break;
        default: render_log_value(out, a); break;
    }
}

static void render_fixed(TextBuilder& out, const LogArg& a, int decimals) {
    switch (a.kind) {
        case LogArg::Kind::float32: text_append_f64_fixed(out, a.f32, decimals); break;
        case LogArg::Kind::float64: text_append_f64_fixed(out, a.f64, decimals); break;
        case LogArg::Kind::signed_integer: text_append_f64_fixed(out, static_cast<double>(a.i), decimals); break;
        case LogArg::Kind::unsigned_integer: text_append_f64_fixed(out, static_cast<double>(a.u), decimals); break;
        default: render_log_value(out, a); break;
    }
}

static void render_size(TextBuilder& out, const LogArg& a) {
    if (a.kind == LogArg::Kind::unsigned_integer) render_byte_size(out, a.u);
    else if (a.kind == LogArg::Kind::signed_integer && a.i >= 0) render_byte_size(out, static_cast<std::uint64_t>(a.i));
    else render_log_value(out, a);
}

void render_log_format(TextBuilder& out, std::string_view format, const LogArg* args, std::size_t count) {
    using Step = LogFormatStep::Kind;
    std::size_t next = 0;
    for (LogFormatStep s = log_format_step(format, 0); s.kind != Step::end; s = log_format_step(format, s.next)) {
        if (s.kind != Step::placeholder) {
            text_append(out, s.text);
            continue;
        }
        if (next == count) continue;  // no value: nothing is read past the list
        const LogArg& a = args[next++];
        switch (s.placeholder.kind) {
            case LogPlaceholder::Kind::value: render_log_value(out, a); break;
            case LogPlaceholder::Kind::integer: render_integer(out, a); break;
            case LogPlaceholder::Kind::fixed: render_fixed(out, a, s.placeholder.decimals); break;
            case LogPlaceholder::Kind::size: render_size(out, a); break;
        }
    }
}

void render_log_values(TextBuilder& out, const LogArg* args, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text_append_char(out, ' ');
        render_log_value(out, args[i]);
    }
}

// By bands of the level's value, so a value between the named ones still gets
// the header of the one below it.
static const char* level_header(LogLevel level) {
    const auto value = static_cast<std::int32_t>(level);
    if (value < static_cast<std::int32_t>(LogLevel::info)) return "[DEBUG] --- ";
    if (value < static_cast<std::int32_t>(LogLevel::warning)) return "[INFO ] --- ";
    if (value < static_cast<std::int32_t>(LogLevel::error)) return "[WARN ] --- ";
    if (value < static_cast<std::int32_t>(LogLevel::fatal)) return "[ERROR] --- ";
    return "[FATAL] --- ";
}

void render_log_line(TextBuilder& out, LogLevel level, std::uint32_t options, std::int64_t now_ns,
                     std::string_view message) {
    if (options & log_option_level) text_append(out, level_header(level));
    if (options & (log_option_date | log_option_time)) {
        const CivilTime t = civil_from_unix_ns(now_ns);
        text_append_char(out, '[');
        if (options & log_option_date) {
            text_append_i64(out, t.year);
            text_append_char(out, '-');
            text_append_i64_padded(out, t.month, 2);
            text_append_char(out, '-');
            text_append_i64_padded(out, t.day, 2);
            if (options & log_option_time) text_append_char(out, ' ');
        }
        if (options & log_option_time) {
            text_append_i64_padded(out, t.hour, 2);
            text_append_char(out, ':');
            text_append_i64_padded(out, t.minute, 2);
            text_append_char(out, ':');
            text_append_i64_padded(out, t.second, 2);
        }
        text_append(out, "] ");
    }
    // Keep room for the line feed even when the message is cut.
    if (out.capacity >= 2 && out.length + message.size() + 2 > out.capacity) {
        std::size_t room = out.capacity - 2 - out.length;
        text_append(out, message.substr(0, room));
        out.truncated = true;
    } else {
        text_append(out, message);
    }
    text_append_char(out, '\n');
}

// ---- logging --------------------------------------------------------------------

static bool log_enabled(const RunContext& ctx, LogLevel level) {
    return ctx.logger.write != nullptr && log_level_reaches(level, ctx.logger.lowest_level);
}

void log_message(const RunContext& ctx, LogLevel level, std::string_view message) {
    if (!log_enabled(ctx, level)) return;
    ctx.logger.write(ctx.logger.data, level, message, ctx.logger.options);
}

void log_format_args(const RunContext& ctx, LogLevel level, std::string_view format, const LogArg* args,
                     std::size_t count) {
    if (!log_enabled(ctx, level)) return;
    char buffer[log_line_capacity];
    TextBuilder message = text_builder(buffer, sizeof buffer);
    render_log_format(message, format, args, count);
    log_message(ctx, level, text_view(message));
}

void log_values_args(const RunContext& ctx, LogLevel level, const LogArg* args, std::size_t count) {
    if (!log_enabled(ctx, level)) return;
    char buffer[log_line_capacity];
    TextBuilder message = text_builder(buffer, sizeof buffer);
    render_log_values(message, args, count);
    log_message(ctx, level, text_view(message));
}
