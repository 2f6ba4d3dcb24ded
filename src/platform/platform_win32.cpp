// The Windows side of the platform seam: the clock and files (kernel32 only;
// the window and cursor are in window_win32.cpp).
#include <windows.h>

#include <cwchar>

#include "src/base/text_builder.h"
#include "src/platform/platform.h"

// Paths are UTF-8 and at most MAX_PATH wide characters long.
static bool to_wide(const char* utf8, wchar_t* out, int capacity) {
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, out, capacity) > 0;
}

static std::int64_t unix_ns_from_filetime(const FILETIME& ft) {
    const std::int64_t ticks = (static_cast<std::int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    // FILETIME counts 100 ns steps since 1601-01-01.
    return (ticks - 116444736000000000LL) * 100;
}

std::int64_t platform_now_ns() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    return unix_ns_from_filetime(ft);
}

PlatformError platform_create_directory(const char* path) {
    wchar_t wide[MAX_PATH];
    if (!to_wide(path, wide, MAX_PATH)) return PlatformError{GetLastError()};
    if (!CreateDirectoryW(wide, nullptr)) return PlatformError{GetLastError()};
    return PlatformError{0};
}

PlatformFile platform_open_log_file(const char* path, PlatformError* error) {
    wchar_t wide[MAX_PATH];
    if (!to_wide(path, wide, MAX_PATH)) {
        if (error) *error = PlatformError{GetLastError()};
        return platform_invalid_file;
    }
    HANDLE h = CreateFileW(wide, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) *error = PlatformError{GetLastError()};
        return platform_invalid_file;
    }
    if (error) *error = PlatformError{0};
    return reinterpret_cast<PlatformFile>(h);
}

PlatformError platform_write_file(PlatformFile file, const void* data, std::size_t size, std::size_t* written) {
    std::size_t done = 0;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (done < size) {
        const DWORD chunk = size - done > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size - done);
        DWORD n = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(file), bytes + done, chunk, &n, nullptr)) {
            if (written) *written = done;
            return PlatformError{GetLastError()};
        }
        if (n == 0) break;
        done += n;
    }
    if (written) *written = done;
    return PlatformError{done == size ? 0u : static_cast<std::uint32_t>(ERROR_WRITE_FAULT)};
}

void platform_close_file(PlatformFile file) {
    if (file != platform_invalid_file) CloseHandle(reinterpret_cast<HANDLE>(file));
}

PlatformError platform_read_file(const char* path, const Allocator& allocator, char** data, std::size_t* size) {
    *data = nullptr;
    *size = 0;
    wchar_t wide[MAX_PATH];
    if (!to_wide(path, wide, MAX_PATH)) return PlatformError{GetLastError()};
    HANDLE h = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return PlatformError{GetLastError()};
    // A file on a disk only: a device ("CON.json", "NUL") or a pipe has no end.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return PlatformError{ERROR_INVALID_FUNCTION};
    }
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(h, &length) || length.QuadPart < 0 || length.QuadPart > 0x7FFFFFFF) {
        DWORD e = GetLastError();
        CloseHandle(h);
        return PlatformError{e ? e : static_cast<DWORD>(ERROR_FILE_TOO_LARGE)};
    }
    const auto n = static_cast<std::size_t>(length.QuadPart);
    char* buffer = static_cast<char*>(allocate_bytes(allocator, n + 1, 1));
    if (!buffer) {
        CloseHandle(h);
        return PlatformError{ERROR_NOT_ENOUGH_MEMORY};
    }
    std::size_t done = 0;
    while (done < n) {
        DWORD got = 0;
        if (!ReadFile(h, buffer + done, static_cast<DWORD>(n - done), &got, nullptr) || got == 0) {
            DWORD e = GetLastError();
            CloseHandle(h);
            free_bytes(allocator, buffer, n + 1);
            return PlatformError{e ? e : static_cast<DWORD>(ERROR_HANDLE_EOF)};
        }
        done += got;
    }
    CloseHandle(h);
    buffer[n] = '\0';
    *data = buffer;
    *size = n;
    return PlatformError{0};
}

bool platform_file_exists(const char* path) {
    wchar_t wide[MAX_PATH];
    return to_wide(path, wide, MAX_PATH) && GetFileAttributesW(wide) != INVALID_FILE_ATTRIBUTES;
}

PlatformFileInfo platform_file_info(const char* path) {
    wchar_t wide[MAX_PATH];
    if (!to_wide(path, wide, MAX_PATH))
        return PlatformFileInfo{PlatformFileKind::unknown, 0, PlatformError{GetLastError()}};
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wide, GetFileExInfoStandard, &data)) {
        const DWORD e = GetLastError();
        if (e == ERROR_CANT_RESOLVE_FILENAME) {  // Wine: a Unix link that loops
            return PlatformFileInfo{PlatformFileKind::looping_link, 0, PlatformError{e}};
        }
        const bool missing = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
        return PlatformFileInfo{missing ? PlatformFileKind::missing : PlatformFileKind::unknown, 0, PlatformError{e}};
    }
    const std::int64_t modified = unix_ns_from_filetime(data.ftLastWriteTime);
    const DWORD attributes = data.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PlatformFileInfo{PlatformFileKind::directory, modified, {0}};
    if (attributes & FILE_ATTRIBUTE_DEVICE) return PlatformFileInfo{PlatformFileKind::special, modified, {0}};
    std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link: what it leads to decides, its size too.
        HANDLE h = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = GetLastError();
            if (e == ERROR_CANT_RESOLVE_FILENAME) {
                return PlatformFileInfo{PlatformFileKind::looping_link, modified, PlatformError{e}};
            }
            if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) {
                return PlatformFileInfo{PlatformFileKind::broken_link, modified, PlatformError{e}};
            }
        } else {
            LARGE_INTEGER target{};
            if (GetFileSizeEx(h, &target)) size = static_cast<std::uint64_t>(target.QuadPart);
            CloseHandle(h);
        }
    }
    return PlatformFileInfo{
        PlatformFileKind::regular, modified, {0}, size, (attributes & FILE_ATTRIBUTE_READONLY) != 0};
}

PlatformError platform_write_new_file(const char* path, const void* data, std::size_t size, std::size_t* written) {
    if (written) *written = 0;
    wchar_t wide[MAX_PATH];
    if (!to_wide(path, wide, MAX_PATH)) return PlatformError{GetLastError()};
    HANDLE h = CreateFileW(wide, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return PlatformError{GetLastError()};
    PlatformError e = platform_write_file(reinterpret_cast<PlatformFile>(h), data, size, written);
    if (e.code == 0 && !FlushFileBuffers(h)) e = PlatformError{GetLastError()};
    if (!CloseHandle(h) && e.code == 0) e = PlatformError{GetLastError()};
    if (e.code) DeleteFileW(wide);
    return e;
}

const char* platform_file_name_of(const char* path) {
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c) {
        if (*c == '/' || *c == '\\' || (c == path + 1 && *c == ':')) name = c + 1;
    }
    return name;
}

PlatformError platform_link_target(const char* path, char* target, std::size_t capacity) {
    if (capacity > 0) target[0] = '\0';
    wchar_t wide[MAX_PATH];
    if (!to_wide(path, wide, MAX_PATH)) return PlatformError{GetLastError()};
    // Windows links are reparse points. Wine shows a Unix link (Proton's
    // links) as the file it leads to, so every file's final path is asked
    // for; a file that is not a reparse point and whose final path cannot
    // be had is written where it is, as before.
    const DWORD attributes = GetFileAttributesW(wide);
    const bool reparse_point = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    HANDLE h = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        return PlatformError{reparse_point || e == ERROR_CANT_RESOLVE_FILENAME ? e : 0};
    }
    wchar_t final_path[MAX_PATH + 8];
    const DWORD n = GetFinalPathNameByHandleW(h, final_path, MAX_PATH + 8, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    DWORD e = n == 0 ? GetLastError() : n >= MAX_PATH + 8 ? static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE) : 0;
    CloseHandle(h);
    // "\\?\C:\folder\file" or "\\?\UNC\server\share\file": the path as the
    // other calls take it, "C:\folder\file" or "\\server\share\file".
    const wchar_t* from = final_path;
    wchar_t plain[MAX_PATH + 8];
    if (e == 0 && std::wcsncmp(from, L"\\\\?\\UNC\\", 8) == 0) {
        plain[0] = L'\\';
        std::wcscpy(plain + 1, from + 7);
        from = plain;
    } else if (e == 0 && std::wcsncmp(from, L"\\\\?\\", 4) == 0) {
        from += 4;
    }
    if (e == 0 && (std::wcslen(from) >= MAX_PATH || capacity == 0)) e = ERROR_FILENAME_EXCED_RANGE;
    if (e != 0) return PlatformError{reparse_point ? e : 0};
    // A path that leads to itself is no link.
    wchar_t full[MAX_PATH];
    const DWORD f = GetFullPathNameW(wide, MAX_PATH, full, nullptr);
    if (f > 0 && f < MAX_PATH && CompareStringOrdinal(full, -1, from, -1, TRUE) == CSTR_EQUAL) return PlatformError{0};
    wchar_t slashed[MAX_PATH];
    std::size_t i = 0;
    for (; from[i] != L'\0'; ++i) slashed[i] = from[i] == L'\\' ? L'/' : from[i];
    slashed[i] = L'\0';
    const int bytes = static_cast<int>(capacity < 0x7FFFFFFF ? capacity : 0x7FFFFFFF);
    if (WideCharToMultiByte(CP_UTF8, 0, slashed, -1, target, bytes, nullptr, nullptr) <= 0) {
        const DWORD w = GetLastError();
        target[0] = '\0';
        return PlatformError{w == ERROR_INSUFFICIENT_BUFFER ? static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE) : w};
    }
    return PlatformError{0};
}

PlatformError platform_replace_file(const char* from, const char* to) {
    wchar_t wide_from[MAX_PATH], wide_to[MAX_PATH];
    if (!to_wide(from, wide_from, MAX_PATH) || !to_wide(to, wide_to, MAX_PATH)) return PlatformError{GetLastError()};
    // One try: this runs in the game's frame, which must never sleep. A file
    // that another program holds is tried again by the caller in a later frame.
    if (!MoveFileExW(wide_from, wide_to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return PlatformError{GetLastError()};
    return PlatformError{0};
}

PlatformError platform_rename_new(const char* from, const char* to) {
    wchar_t wide_from[MAX_PATH], wide_to[MAX_PATH];
    if (!to_wide(from, wide_from, MAX_PATH) || !to_wide(to, wide_to, MAX_PATH)) return PlatformError{GetLastError()};
    // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
    if (!MoveFileExW(wide_from, wide_to, MOVEFILE_WRITE_THROUGH)) return PlatformError{GetLastError()};
    return PlatformError{0};
}

PlatformError platform_delete_file(const char* path) {
    wchar_t wide[MAX_PATH];
    if (!to_wide(path, wide, MAX_PATH)) return PlatformError{GetLastError()};
    if (!DeleteFileW(wide)) return PlatformError{GetLastError()};
    return PlatformError{0};
}

bool platform_error_is_not_found(PlatformError error) {
    return error.code == ERROR_FILE_NOT_FOUND || error.code == ERROR_PATH_NOT_FOUND;
}

bool platform_error_is_exists(PlatformError error) {
    return error.code == ERROR_ALREADY_EXISTS || error.code == ERROR_FILE_EXISTS;
}

bool platform_error_is_out_of_memory(PlatformError error) {
    return error.code == ERROR_NOT_ENOUGH_MEMORY || error.code == ERROR_OUTOFMEMORY;
}

PlatformErrorKind platform_error_kind(PlatformError error) {
    switch (error.code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return PlatformErrorKind::not_found;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_NETWORK_ACCESS_DENIED: return PlatformErrorKind::denied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
        case ERROR_BUSY: return PlatformErrorKind::in_use;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case 1295:  // ERROR_DISK_QUOTA_EXCEEDED
            return PlatformErrorKind::disk_full;
        default: return PlatformErrorKind::other;
    }
}

PlatformError platform_list_directory(const char* path, bool (*visit)(void* data, const char* name), void* data) {
    wchar_t pattern[MAX_PATH];
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, pattern, MAX_PATH - 2);
    if (n <= 0) return PlatformError{GetLastError()};
    pattern[n - 1] = L'\\';
    pattern[n] = L'*';
    pattern[n + 1] = L'\0';
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(pattern, &found);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        return PlatformError{e == ERROR_FILE_NOT_FOUND ? 0u : static_cast<std::uint32_t>(e)};  // an empty directory
    }
    DWORD e = 0;
    for (;;) {
        char name[MAX_PATH * 3];
        const bool dots = std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0;
        if (!dots && WideCharToMultiByte(CP_UTF8, 0, found.cFileName, -1, name, sizeof name, nullptr, nullptr) > 0) {
            if (!visit(data, name)) break;
        }
        if (!FindNextFileW(h, &found)) {
            e = GetLastError();
            if (e == ERROR_NO_MORE_FILES) e = 0;
            break;
        }
    }
    FindClose(h);
    return PlatformError{e};
}

// The codes a file operation can return, by name.
#define QF_WIN32_ERROR(name) \
    { name, #name }
static const struct {
    DWORD code;
    const char* name;
} win32_error_names[] = {
    QF_WIN32_ERROR(ERROR_INVALID_FUNCTION),
    QF_WIN32_ERROR(ERROR_FILE_NOT_FOUND),
    QF_WIN32_ERROR(ERROR_PATH_NOT_FOUND),
    QF_WIN32_ERROR(ERROR_TOO_MANY_OPEN_FILES),
    QF_WIN32_ERROR(ERROR_ACCESS_DENIED),
    QF_WIN32_ERROR(ERROR_INVALID_HANDLE),
    QF_WIN32_ERROR(ERROR_NOT_ENOUGH_MEMORY),
    QF_WIN32_ERROR(ERROR_OUTOFMEMORY),
    QF_WIN32_ERROR(ERROR_INVALID_DRIVE),
    QF_WIN32_ERROR(ERROR_CURRENT_DIRECTORY),
    QF_WIN32_ERROR(ERROR_NOT_SAME_DEVICE),
    QF_WIN32_ERROR(ERROR_WRITE_PROTECT),
    QF_WIN32_ERROR(ERROR_NOT_READY),
    QF_WIN32_ERROR(ERROR_CRC),
    QF_WIN32_ERROR(ERROR_SEEK),
    QF_WIN32_ERROR(ERROR_WRITE_FAULT),
    QF_WIN32_ERROR(ERROR_READ_FAULT),
    QF_WIN32_ERROR(ERROR_GEN_FAILURE),
    QF_WIN32_ERROR(ERROR_SHARING_VIOLATION),
    QF_WIN32_ERROR(ERROR_LOCK_VIOLATION),
    QF_WIN32_ERROR(ERROR_HANDLE_EOF),
    QF_WIN32_ERROR(ERROR_HANDLE_DISK_FULL),
    QF_WIN32_ERROR(ERROR_NOT_SUPPORTED),
    QF_WIN32_ERROR(ERROR_BAD_NETPATH),
    QF_WIN32_ERROR(ERROR_NETNAME_DELETED),
    QF_WIN32_ERROR(ERROR_NETWORK_ACCESS_DENIED),
    QF_WIN32_ERROR(ERROR_BAD_NET_NAME),
    QF_WIN32_ERROR(ERROR_FILE_EXISTS),
    QF_WIN32_ERROR(ERROR_CANNOT_MAKE),
    QF_WIN32_ERROR(ERROR_INVALID_PARAMETER),
    QF_WIN32_ERROR(ERROR_DISK_FULL),
    QF_WIN32_ERROR(ERROR_INVALID_NAME),
    QF_WIN32_ERROR(ERROR_DIR_NOT_EMPTY),
    QF_WIN32_ERROR(ERROR_BUSY),
    QF_WIN32_ERROR(ERROR_ALREADY_EXISTS),
    QF_WIN32_ERROR(ERROR_FILENAME_EXCED_RANGE),
    QF_WIN32_ERROR(ERROR_FILE_TOO_LARGE),
    QF_WIN32_ERROR(ERROR_DIRECTORY),
    QF_WIN32_ERROR(ERROR_DELETE_PENDING),
    QF_WIN32_ERROR(ERROR_NOT_A_REPARSE_POINT),
    QF_WIN32_ERROR(ERROR_NO_UNICODE_TRANSLATION),
    QF_WIN32_ERROR(ERROR_UNABLE_TO_REMOVE_REPLACED),
    QF_WIN32_ERROR(ERROR_UNABLE_TO_MOVE_REPLACEMENT),
    QF_WIN32_ERROR(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2),
    QF_WIN32_ERROR(ERROR_USER_MAPPED_FILE),
    QF_WIN32_ERROR(ERROR_CANT_ACCESS_FILE),
    QF_WIN32_ERROR(ERROR_CANT_RESOLVE_FILENAME),
    // Not in every SDK's headers by name.
    {681, "ERROR_STOPPED_ON_SYMLINK"},
    {1295, "ERROR_DISK_QUOTA_EXCEEDED"},
};
#undef QF_WIN32_ERROR

void platform_error_name(PlatformError error, char* buffer, std::size_t capacity) {
    TextBuilder b = text_builder(buffer, capacity);
    if (error.code == 0) {
        text_append(b, "OK");
        return;
    }
    for (const auto& entry : win32_error_names) {
        if (entry.code == error.code) {
            text_append(b, entry.name);
            return;
        }
    }
    text_append(b, "Win32 error ");
    text_append_u64(b, error.code);
}
