// The operating-system seam. The plug-in sees only these calls; the Win32 build
// implements them with the Windows API, the Linux build with POSIX files and a
// simulated window, cursor and clock that the simulator installs.
//
// The calls have C names: a test program can put a stand-in around any of
// them with the linker's --wrap (tests/support/file_faults.h does, for files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "src/base/allocators.h"
#include "src/base/log.h"

using PlatformFile = std::intptr_t;
inline constexpr PlatformFile platform_invalid_file = -1;

// An operating-system error code (Win32 GetLastError or errno); 0 is none.
struct PlatformError {
    std::uint32_t code;
};

// What stands at a path. A link counts as what it leads to; one that leads to
// nothing is a broken link, one that leads round and back to itself (or
// through more links than the system follows) a looping link.
enum class PlatformFileKind { missing, regular, directory, special, broken_link, looping_link, unknown };
struct PlatformFileInfo {
    PlatformFileKind kind;
    std::int64_t modified_ns;  // last write, nanoseconds since 1970 UTC
    PlatformError error;       // why the kind is unknown
    std::uint64_t size;        // bytes, of a regular file (what a link leads to)
    // A regular file marked read-only: Windows' read-only attribute; on
    // POSIX no write permission for anyone (as Wine shows that attribute).
    bool read_only;
};

using PlatformWindow = void*;

extern "C" {

// ---- clock --------------------------------------------------------------------
// Nanoseconds since 1970-01-01 00:00:00 UTC.
std::int64_t platform_now_ns();

// ---- files --------------------------------------------------------------------

// Paths are UTF-8, relative to the process's working directory.
PlatformError platform_create_directory(const char* path);
// Write-only, created or truncated, shared for reading and writing by others.
PlatformFile platform_open_log_file(const char* path, PlatformError* error);
// Writes all of `data` or reports how far it got.
PlatformError platform_write_file(PlatformFile file, const void* data, std::size_t size, std::size_t* written);
void platform_close_file(PlatformFile file);

// The whole file, zero-terminated, in one block of `*size + 1` bytes from `allocator`.
// Only a regular file (or a link to one) is read; anything else fails at once.
PlatformError platform_read_file(const char* path, const Allocator& allocator, char** data, std::size_t* size);
bool platform_file_exists(const char* path);
PlatformFileInfo platform_file_info(const char* path);
// Creates `path` (which must not exist), writes all of `data`, flushes it to the
// disk and closes it; on failure the file is removed again.
PlatformError platform_write_new_file(const char* path, const void* data, std::size_t size, std::size_t* written);
// The last part of a path, after its last '/' (or '\\' on Windows): the file's
// own name.
const char* platform_file_name_of(const char* path);
// Room for any path platform_link_target gives, with its terminator.
inline constexpr std::size_t platform_path_capacity = 4096;
// The file a write to `path` replaces when `path` is a symbolic link, or a
// chain of them (each relative target counted from its own link's folder):
// its full path, with '/' between folders, goes to `target`. `target` is left
// empty when `path` is that file itself, or nothing is there. (Windows also
// gives the final path of a file reached through a junction or a mapped
// drive, and Wine that of a Unix link.) A link that leads to nothing fails
// with the not-found error, one that loops with the system's loop error
// (ELOOP, ERROR_CANT_RESOLVE_FILENAME), a target longer than `capacity` with
// the name-too-long error.
PlatformError platform_link_target(const char* path, char* target, std::size_t capacity);
// Puts `from` in the place of `to` in one step: readers see the old file or the
// new one, never a mix. One try, without waiting: while another program holds
// `to` it fails (ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED).
PlatformError platform_replace_file(const char* from, const char* to);
// Gives `from` the name `to` only if nothing has that name yet (no check-then-act race).
PlatformError platform_rename_new(const char* from, const char* to);
PlatformError platform_delete_file(const char* path);
bool platform_error_is_not_found(PlatformError error);
bool platform_error_is_exists(PlatformError error);
// Memory ran out (a read whose buffer could not be had): nothing is wrong with the file.
bool platform_error_is_out_of_memory(PlatformError error);
// What a person can do about an error, for the hints of quillfen-markers.
enum class PlatformErrorKind {
    other,
    not_found,
    denied,     // no right to it, or read-only (the file, its folder or the disk)
    in_use,     // another program holds it
    disk_full,  // or over a quota
};
PlatformErrorKind platform_error_kind(PlatformError error);

// Calls `visit` with each name in the directory (not "." and ".."), in no
// particular order, until it returns false.
PlatformError platform_list_directory(const char* path, bool (*visit)(void* data, const char* name), void* data);

// Name of the error for the log ("ERROR_SHARING_VIOLATION", "ENOENT"); falls back
// to the number.
void platform_error_name(PlatformError error, char* buffer, std::size_t capacity);

// ---- game window and cursor ---------------------------------------------------
PlatformWindow platform_find_window(const char* title);
bool platform_client_size(PlatformWindow window, std::int32_t* width, std::int32_t* height);
bool platform_cursor_position(std::int32_t* x, std::int32_t* y);
bool platform_screen_to_client(PlatformWindow window, std::int32_t* x, std::int32_t* y);
bool platform_client_to_screen(PlatformWindow window, std::int32_t* x, std::int32_t* y);
bool platform_set_cursor_position(std::int32_t x, std::int32_t y);

}  // extern "C"

// An error in a log line: its name, as platform_error_name gives it.
void render_platform_error(TextBuilder& out, const void* error);
inline LogArg log_arg(PlatformError e) { return log_arg_custom(e, render_platform_error); }
