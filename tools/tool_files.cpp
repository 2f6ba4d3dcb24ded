#include "tools/tool_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "src/base/log.h"
#include "src/base/utf8.h"
#include "src/file_formats/marker_copies.h"

// Sections: messages · reading · replacing a player's file · the replaced copies · paths · names and commands.

// ---- messages -------------------------------------------------------------------------------------

int usage_error(const std::string& message) {
    std::fprintf(stderr, "quillfen-markers: %s (see quillfen-markers help)\n", message.c_str());
    return exit_cannot;
}

// Standard output is the C library's, so its errors are errno values (also on
// Windows, whose C library maps a full disk to ENOSPC).
static bool output_failure_told = false;

// `error` 0: the stream failed earlier, in a print that kept no reason.
static void tell_output_failure(int error) {
    if (output_failure_told) return;
    output_failure_told = true;
    std::fprintf(stderr,
                 "quillfen-markers: cannot write all of the output to standard output%s%s. What it holds is "
                 "cut short: do not use it.\n%s\n",
                 error != 0 ? ": " : "", error != 0 ? std::strerror(error) : "",
                 error == ENOSPC ? "The disk is full: make room on it, then run the command again."
                                 : "Check where the output goes (a disk that is full or gone, a closed window or "
                                   "program), then run the command again.");
}

bool write_output(const char* bytes, std::size_t size) {
    errno = 0;
    const std::size_t written = std::fwrite(bytes, 1, size, stdout);
    if (written == size && std::fflush(stdout) == 0) return true;
    tell_output_failure(errno);
    return false;
}

int finish_output(int status) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout);
    int error = errno;
    // Closing is where a file on a network share reports what its writes met.
    errno = 0;
    const bool closed = std::fclose(stdout) == 0;
    if (flushed && closed) return status;
    if (error == 0) error = errno;
    tell_output_failure(error);
    return exit_cannot;
}

std::string error_name(PlatformError e) {
    char name[64];
    platform_error_name(e, name, sizeof name);
    return name;
}

std::string write_hint(PlatformError e, const std::string& path) {
    const std::string file = shown_path(name_of(path));
    switch (platform_error_kind(e)) {
        case PlatformErrorKind::denied:
            return "The file " + file +
                   " or its folder is read-only, or you may not change it: in Windows, right-click it, choose "
                   "Properties and untick Read-only. If the game is running, close it first. Then try again.";
        case PlatformErrorKind::in_use:
            return "Another program holds " + file +
                   " open: close the game if it is running (and any editor that has the file open), then try again.";
        case PlatformErrorKind::disk_full: return "The disk is full: make room on it, then try again.";
        case PlatformErrorKind::not_found: return "Its folder is not there (any more): check the path.";
        default:
            return "Close the game if it is running, check that " + file +
                   " and its folder are not read-only, then try again.";
    }
}

// ---- reading ----------------------------------------------------------------------------------------

// Why a file that was not read could not be, as a sentence.
static std::string why_not_read(const std::string& file, const MarkersFileRead& r) {
    const std::string path = shown_path(file);
    if (r.outcome == MarkersFileOutcome::not_a_file) return path + " is " + r.why;
    if (platform_error_kind(r.read) == PlatformErrorKind::not_found) return "there is no file " + path;
    std::string message = path + " cannot be read: " + error_name(r.read);
    if (r.outcome == MarkersFileOutcome::out_of_memory) {
        return message + " (out of memory: close other programs, then try again)";
    }
    switch (platform_error_kind(r.read)) {
        case PlatformErrorKind::denied: message += " (you may not read it: check its Security properties)"; break;
        case PlatformErrorKind::in_use: message += " (another program holds it: close it, then try again)"; break;
        default: break;
    }
    return message;
}

bool read_text(const std::string& path, std::string& text, std::string& message) {
    FileText bytes{};
    const MarkersFileRead r = read_whole_file(path.c_str(), heap_allocator(), bytes);
    if (r.outcome != MarkersFileOutcome::read) {
        message = why_not_read(path, r);
        return false;
    }
    text.assign(bytes.data, bytes.size);
    free_file_text(heap_allocator(), bytes);
    return true;
}

LoadedFile load_file(const std::string& path, bool deleted) {
    LoadedFile f{false, false, {}, {}, MarkersData{}, MarkersFileOutcome::missing};
    FileText bytes{};
    const MarkersFileRead r = deleted ? read_deleted_markers_file(path.c_str(), heap_allocator(), f.data, &bytes)
                                      : read_markers_file(path.c_str(), heap_allocator(), f.data, &bytes);
    f.outcome = r.outcome;
    f.read = r.read.code == 0;
    if (!f.read) {
        f.why = why_not_read(path, r);
        return f;
    }
    f.text.assign(bytes.data, bytes.size);
    free_file_text(heap_allocator(), bytes);
    f.loads = markers_file_loaded(r);
    if (!f.loads) f.why = r.why;
    return f;
}

// ---- replacing a player's file ------------------------------------------------------------------------

Replacement replace_with_undo(const std::string& path, const std::string* current, const std::string& text) {
    Replacement result{false, {}, false, PlatformError{0}};
    std::string kept_path;
    if (current) {
        char base[1024], name[1040];
        TextBuilder b = text_builder(base, sizeof base);
        append_kept_copy_name(b, path, replaced_copy_infix, platform_now_ns());
        TextBuilder chosen = text_builder(name, sizeof name);
        const std::string copying = path + copying_suffix;
        result.error = keep_under_new_name(copying.c_str(), base, current->data(), current->size(), chosen);
        if (result.error.code != 0) {
            result.copy_failed = true;
            return result;
        }
        kept_path = name;
    }
    const std::string saving = path + saving_suffix;
    result.error = write_whole_file(saving.c_str(), path.c_str(), text.data(), text.size(), true);
    if (result.error.code != 0) {
        // The undo of nothing: the player's file is as it was.
        if (!kept_path.empty()) (void)platform_delete_file(kept_path.c_str());
        return result;
    }
    result.written = true;
    result.kept = name_of(kept_path);
    return result;
}

// ---- the replaced copies ---------------------------------------------------------------------------------

std::vector<std::string> prune_replaced_copies(const std::string& path) {
    const std::string folder = folder_of(path), file = name_of(path);
    struct Found {
        std::string file;
        std::vector<std::pair<std::uint64_t, std::string>> copies;
    } found{file, {}};
    (void)platform_list_directory(
        folder.c_str(),
        [](void* data, const char* name) {
            auto& f = *static_cast<Found*>(data);
            if (const std::uint64_t order = kept_copy_order(name, f.file, replaced_copy_infix)) {
                f.copies.emplace_back(order, name);
            }
            return true;
        },
        &found);
    const std::uint64_t now = kept_copy_order_at(platform_now_ns());
    std::vector<std::pair<std::uint64_t, std::string>> counted;
    for (auto& c : found.copies) {
        if (c.first <= now + 98) counted.push_back(std::move(c));  // -2 ... -99 of this second count too
    }
    std::sort(counted.begin(), counted.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::string> lines;
    for (std::size_t i = replaced_copies_kept; i < counted.size(); ++i) {
        const std::string old = folder + "/" + counted[i].second;
        const PlatformError e = platform_delete_file(old.c_str());
        if (e.code == 0) lines.push_back("Deleted the older copy " + counted[i].second);
        else lines.push_back("Could not delete the older copy " + counted[i].second + ": " + error_name(e));
    }
    return lines;
}

// ---- paths -----------------------------------------------------------------------------------------

static std::size_t last_separator(const std::string& path) { return path.find_last_of("/\\"); }

std::string folder_of(const std::string& path) {
    const std::size_t at = last_separator(path);
    if (at == std::string::npos) return ".";
    return at == 0 ? path.substr(0, 1) : path.substr(0, at);
}

std::string name_of(const std::string& path) {
    const std::size_t at = last_separator(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

// ---- names and commands ------------------------------------------------------------------------------

// The bytes of the character at `at` (an invalid byte alone).
static std::size_t character_length(std::string_view text, std::size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    return utf8_decode(p + at, p + text.size()).length;
}

std::size_t characters_in(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t at = 0; at < text.size(); at += character_length(text, at)) ++n;
    return n;
}

// `text` escaped by the log's rule, cut to `most` characters with "..." when longer.
static std::string escaped(std::string_view text, std::size_t most) {
    std::string out;
    std::size_t characters = 0;
    std::size_t cut = 0;  // the bytes of `out` that leave room for "..."
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = character_length(text, at);
        char piece[24];  // an escape is 4 bytes, a character at most 4
        TextBuilder b = text_builder(piece, sizeof piece);
        append_escaped_text(b, text.substr(at, length));
        // An escape is ASCII, as many characters as bytes; else it is one character.
        const std::size_t count = b.length > length ? b.length : 1;
        if (characters + count > most) return out.substr(0, cut) + "...";
        out.append(b.data, b.length);
        characters += count;
        if (characters + 3 <= most) cut = out.size();
        at += length;
    }
    return out;
}

std::string shown(std::string_view name) { return escaped(name, shown_name_characters); }

std::string shown_path(std::string_view path) { return escaped(path, SIZE_MAX); }

std::string padded(const std::string& text, std::size_t width) {
    const std::size_t n = characters_in(text);
    return n >= width ? text : text + std::string(width - n, ' ');
}

static bool plain_argument_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-' || c == '/' || c == ':';
}

// Inside double quotes cmd.exe expands %NAME% (and !NAME! with delayed
// expansion), and a " ends the quotes whatever stands before it; a POSIX
// shell expands $ and ` and, interactive, ! (bash's history); PowerShell
// expands $ and ` and also ends the quotes at the typographic quotes. A
// backslash is taken as it is by all of them unless another one or the
// closing quote follows (the C library of Windows and the POSIX shell then
// read it differently).
static bool quotable(std::string_view text) {
    static constexpr std::string_view typographic_quotes[] = {"\u2018", "\u2019", "\u201A", "\u201B",
                                                              "\u201C", "\u201D", "\u201E"};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F || c == '"' || c == '%' || c == '!' || c == '$' || c == '`') return false;
        if (c == '\\' && (i + 1 == text.size() || text[i + 1] == '\\')) return false;
    }
    for (std::string_view q : typographic_quotes) {
        if (text.find(q) != std::string_view::npos) return false;
    }
    return true;
}

bool typed_argument(std::string_view text, std::string& typed) {
    typed.clear();
    if (!text.empty() && std::all_of(text.begin(), text.end(), plain_argument_character)) {
        typed = text;
        return true;
    }
    if (!quotable(text)) return false;
    typed += '"';
    typed += text;
    typed += '"';
    return true;
}
