// The Windows side of the platform seam.
#include <windows.h>

#include "src/base/text_builder.h"
#include "src/platform/platform.h"

// Paths are short and ASCII in practice; the buffer bounds them all the same.
static bool to_wide(const char* utf8, wchar_t* out, int capacity) {
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, out, capacity) > 0;
}

std::int64_t platform_now_ns() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    const std::int64_t ticks = (static_cast<std::int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    // FILETIME counts 100 ns steps since 1601-01-01.
    return (ticks - 116444736000000000LL) * 100;
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

PlatformError platform_copy_file(const char* from, const char* to, bool fail_if_exists) {
    wchar_t wide_from[MAX_PATH], wide_to[MAX_PATH];
    if (!to_wide(from, wide_from, MAX_PATH) || !to_wide(to, wide_to, MAX_PATH)) return PlatformError{GetLastError()};
    if (!CopyFileW(wide_from, wide_to, fail_if_exists ? TRUE : FALSE)) return PlatformError{GetLastError()};
    return PlatformError{0};
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

PlatformError platform_replace_file(const char* from, const char* to) {
    wchar_t wide_from[MAX_PATH], wide_to[MAX_PATH];
    if (!to_wide(from, wide_from, MAX_PATH) || !to_wide(to, wide_to, MAX_PATH)) return PlatformError{GetLastError()};
    // Another program may have the file open for a moment (an editor, a
    // backup tool): a few short tries, well inside a frame's patience.
    DWORD error = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (MoveFileExW(wide_from, wide_to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return PlatformError{0};
        error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION) break;
        Sleep(attempt < 2 ? 2 : 8);
    }
    return PlatformError{error};
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

void platform_error_name(PlatformError error, char* buffer, std::size_t capacity) {
    TextBuilder b = text_builder(buffer, capacity);
    switch (error.code) {
        case 0: text_append(b, "OK"); return;
        case ERROR_FILE_NOT_FOUND: text_append(b, "ERROR_FILE_NOT_FOUND"); return;
        case ERROR_PATH_NOT_FOUND: text_append(b, "ERROR_PATH_NOT_FOUND"); return;
        case ERROR_ACCESS_DENIED: text_append(b, "ERROR_ACCESS_DENIED"); return;
        case ERROR_SHARING_VIOLATION: text_append(b, "ERROR_SHARING_VIOLATION"); return;
        case ERROR_LOCK_VIOLATION: text_append(b, "ERROR_LOCK_VIOLATION"); return;
        case ERROR_DISK_FULL: text_append(b, "ERROR_DISK_FULL"); return;
        case ERROR_HANDLE_DISK_FULL: text_append(b, "ERROR_HANDLE_DISK_FULL"); return;
        case ERROR_ALREADY_EXISTS: text_append(b, "ERROR_ALREADY_EXISTS"); return;
        case ERROR_WRITE_FAULT: text_append(b, "ERROR_WRITE_FAULT"); return;
        case ERROR_FILE_EXISTS: text_append(b, "ERROR_FILE_EXISTS"); return;
        case ERROR_NOT_ENOUGH_MEMORY: text_append(b, "ERROR_NOT_ENOUGH_MEMORY"); return;
        case ERROR_FILE_TOO_LARGE: text_append(b, "ERROR_FILE_TOO_LARGE"); return;
        default: text_append(b, "Win32 error "); text_append_u64(b, error.code);
    }
}

PlatformWindow platform_find_window(const char* title) { return FindWindowA(nullptr, title); }

bool platform_client_size(PlatformWindow window, std::int32_t* width, std::int32_t* height) {
    RECT r;
    if (!window || !GetClientRect(static_cast<HWND>(window), &r)) return false;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return true;
}

bool platform_cursor_position(std::int32_t* x, std::int32_t* y) {
    POINT p;
    if (!GetCursorPos(&p)) return false;
    *x = p.x;
    *y = p.y;
    return true;
}

bool platform_screen_to_client(PlatformWindow window, std::int32_t* x, std::int32_t* y) {
    POINT p{*x, *y};
    if (!window || !ScreenToClient(static_cast<HWND>(window), &p)) return false;
    *x = p.x;
    *y = p.y;
    return true;
}

bool platform_client_to_screen(PlatformWindow window, std::int32_t* x, std::int32_t* y) {
    POINT p{*x, *y};
    if (!window || !ClientToScreen(static_cast<HWND>(window), &p)) return false;
    *x = p.x;
    *y = p.y;
    return true;
}

bool platform_set_cursor_position(std::int32_t x, std::int32_t y) { return SetCursorPos(x, y) != 0; }
