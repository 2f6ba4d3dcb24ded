// What the commands of quillfen-markers share: one meaning per exit code, how
// they say that a file cannot be had, and how they put a new file in the place
// of a player's file with an undo copy beside it and a hint when that fails.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "src/file_formats/markers_folder.h"

// The same in every command (the help and README.txt say so).
enum ToolExit : int {
    exit_done = 0,        // done; for check: the file loads as written
    exit_not_loaded = 1,  // a file does not load; nothing was changed
    exit_cannot = 2,      // a file cannot be read or written, or the command is wrong; nothing was changed
    exit_warnings = 3,    // the file loads, but the game reads it otherwise; format then prints nothing
};

// "quillfen-markers: MESSAGE (see quillfen-markers help)" on standard error.
int usage_error(const std::string& message);

// Writes `bytes` to standard output and flushes it. False, after a message
// on standard error, when any of it could not be written (a full disk, a
// closed output): the output is then cut short and the command exits with
// exit_cannot, never claiming it was done.
bool write_output(const char* bytes, std::size_t size);

// At the end of every command, in the platform's entry: flushes and closes
// standard output. Returns `status`, or exit_cannot (after the message, once)
// when something printed could not be written.
int finish_output(int status);

// "ENOENT", "ERROR_ACCESS_DENIED": as the game's log names errors.
std::string error_name(PlatformError e);

// The whole file at `path`; or false, with `message` saying why as a
// sentence: "X is a directory, not a markers file", "there is no file X",
// "X cannot be read: EACCES (...)".
bool read_text(const std::string& path, std::string& text, std::string& message);

// A markers file read and loaded, as the commands that take several need it.
struct LoadedFile {
    bool read;   // false: `why` is a sentence from read_text
    bool loads;  // false (when read): `why` is "LINE:COLUMN: reason"
    std::string why;
    std::string text;  // the bytes, when read
    MarkersData data;  // the markers, when it loads (free_markers_data)
    MarkersFileOutcome outcome;
};
// What a command that could not have the file exits with: a file that does not
// load is exit_not_loaded, one that cannot be read (or memory ran out) exit_cannot.
inline int exit_for(const LoadedFile& f) {
    return f.outcome == MarkersFileOutcome::damaged ? exit_not_loaded : exit_cannot;
}
// With `deleted` (deleted.json), `data.deleted_ns` says when each marker was deleted.
LoadedFile load_file(const std::string& path, bool deleted = false);

// What a person can do when `path` could not be written: a line for each
// kind of error (read-only file or folder, the game still running, a full
// disk).
std::string write_hint(PlatformError e, const std::string& path);

// Puts `text` whole at `path`, written under a temporary name and then put in
// its place. When `current` (the bytes `path` holds) is given they are first
// kept as PATH.replaced-YYYYMMDD-HHMMSS (UTC), the undo; when the new file
// cannot be put in place, that copy is deleted again and `path` stays as it
// was. `kept` gets the copy's name (no folder), `error` the failure.
struct Replacement {
    bool written;
    std::string kept;
    bool copy_failed;  // the failure was in keeping the copy: nothing was written
    PlatformError error;
};
Replacement replace_with_undo(const std::string& path, const std::string* current, const std::string& text);

// Deletes the replaced copies of `path` beyond the newest replaced_copies_kept.
// A copy dated after now (a clock that was ahead) is neither counted nor
// deleted, nor is a name that is not exactly of a copy's form. Returns a line
// for each copy deleted or that could not be.
std::vector<std::string> prune_replaced_copies(const std::string& path);

// The folder part of a path ("." when there is none), and the rest.
std::string folder_of(const std::string& path);
std::string name_of(const std::string& path);

// ---- names and commands ----
// Names come from files a player may have had from anyone (a pack, a marker's
// name): printed raw, a line feed forges a line and an ESC drives the
// terminal, and pasted into a command a quote ends the argument.

// At most this many characters of a name are printed.
inline constexpr std::size_t shown_name_characters = 60;
// A name as the tool prints it: control characters escaped as last.log
// escapes them, and cut after shown_name_characters characters with "..."
// (never inside a character or an escape).
std::string shown(std::string_view name);
// A path or a file's name as the tool prints it: escaped the same way, never cut.
std::string shown_path(std::string_view path);
// `text` followed by spaces up to `width` characters (UTF-8), for columns.
std::string padded(const std::string& text, std::size_t width);
std::size_t characters_in(std::string_view text);

// An argument of a command the tool suggests, as a player pastes it: as it is
// when it holds only ASCII letters, digits and . _ - / :, else in double
// quotes. False when no quoting is read alike by cmd.exe, PowerShell and a
// POSIX shell as that one argument: a control character, " % ! $ ` or a
// typographic quote (PowerShell takes those as quotes), a backslash before
// another or at the end. Such a text is then referred to otherwise.
bool typed_argument(std::string_view text, std::string& typed);
