// POSIX files and the simulator's window, cursor and clock (Linux build).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "src/platform/platform.h"
#include "src/platform/platform_simulation.h"
#include "src/text_builder.h"

static const PlatformSimulation* simulation = nullptr;

void platform_install_simulation(const PlatformSimulation* s) { simulation = s; }

std::int64_t platform_now_ns() {
    if (simulation && simulation->now_ns) return simulation->now_ns(simulation->data);
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

PlatformError platform_create_directory(const char* path) {
    if (mkdir(path, 0755) != 0) return PlatformError{static_cast<std::uint32_t>(errno)};
    return PlatformError{0};
}

PlatformFile platform_open_log_file(const char* path, PlatformError* error) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = PlatformError{static_cast<std::uint32_t>(errno)};
        return platform_invalid_file;
    }
    if (error) *error = PlatformError{0};
    return fd;
}

PlatformError platform_write_file(PlatformFile file, const void* data, std::size_t size, std::size_t* written) {
    std::size_t done = 0;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (done < size) {
        ssize_t n = write(static_cast<int>(file), bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (written) *written = done;
            return PlatformError{static_cast<std::uint32_t>(errno)};
        }
        done += static_cast<std::size_t>(n);
    }
    if (written) *written = done;
    return PlatformError{0};
}

void platform_close_file(PlatformFile file) {
    if (file != platform_invalid_file) close(static_cast<int>(file));
}

void platform_error_name(PlatformError error, char* buffer, std::size_t capacity) {
    TextBuilder b = text_builder(buffer, capacity);
    switch (error.code) {
        case 0: text_append(b, "OK"); return;
        case ENOENT: text_append(b, "ENOENT"); return;
        case EACCES: text_append(b, "EACCES"); return;
        case EEXIST: text_append(b, "EEXIST"); return;
        case ENOSPC: text_append(b, "ENOSPC"); return;
        case EIO: text_append(b, "EIO"); return;
        case EISDIR: text_append(b, "EISDIR"); return;
        case ENOTDIR: text_append(b, "ENOTDIR"); return;
        case EBUSY: text_append(b, "EBUSY"); return;
        default:
            text_append(b, "errno ");
            text_append_u64(b, error.code);
    }
}

PlatformWindow platform_find_window(const char* title) {
    return simulation ? simulation->find_window(simulation->data, title) : nullptr;
}

bool platform_client_size(PlatformWindow window, std::int32_t* width, std::int32_t* height) {
    return simulation && simulation->client_size(simulation->data, window, width, height);
}

bool platform_cursor_position(std::int32_t* x, std::int32_t* y) {
    return simulation && simulation->cursor_position(simulation->data, x, y);
}

bool platform_screen_to_client(PlatformWindow window, std::int32_t* x, std::int32_t* y) {
    return simulation && simulation->screen_to_client(simulation->data, window, x, y);
}

bool platform_client_to_screen(PlatformWindow window, std::int32_t* x, std::int32_t* y) {
    return simulation && simulation->client_to_screen(simulation->data, window, x, y);
}

bool platform_set_cursor_position(std::int32_t x, std::int32_t y) {
    return simulation && simulation->set_cursor_position(simulation->data, x, y);
}
