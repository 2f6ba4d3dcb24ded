// POSIX files and the simulator's window, cursor and clock (Linux build).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "src/base/calendar.h"
#include "src/base/text_builder.h"
#include "src/platform/platform.h"
#include "src/platform/platform_simulation.h"

static const PlatformSimulation* simulation = nullptr;

static PlatformError errno_error(int e) { return PlatformError{static_cast<std::uint32_t>(e)}; }

void platform_install_simulation(const PlatformSimulation* s) { simulation = s; }

std::int64_t platform_now_ns() {
    if (simulation && simulation->now_ns) return simulation->now_ns(simulation->data);
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * ns_per_second + ts.tv_nsec;
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

PlatformError platform_read_file(const char* path, const Allocator& allocator, char** data, std::size_t* size) {
    *data = nullptr;
    *size = 0;
    // Regular files only: without O_NONBLOCK opening a fifo would wait for a
    // writer, and a device such as /dev/zero never ends.
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return PlatformError{static_cast<std::uint32_t>(errno)};
    struct stat st {};
    const bool stated = fstat(fd, &st) == 0;
    if (!stated || !S_ISREG(st.st_mode)) {
        const int e = !stated ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        close(fd);
        return PlatformError{static_cast<std::uint32_t>(e)};
    }
    const auto length = static_cast<std::size_t>(st.st_size);
    char* buffer = static_cast<char*>(allocate_bytes(allocator, length + 1, 1));
    if (!buffer) {
        close(fd);
        return PlatformError{ENOMEM};
    }
    std::size_t done = 0;
    while (done < length) {
        ssize_t n = read(fd, buffer + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int e = n < 0 ? errno : EIO;
            close(fd);
            free_bytes(allocator, buffer, length + 1);
            return PlatformError{static_cast<std::uint32_t>(e)};
        }
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    buffer[length] = '\0';
    *data = buffer;
    *size = length;
    return PlatformError{0};
}

bool platform_file_exists(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0;
}

static std::int64_t modified_ns(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * ns_per_second + st.st_mtim.tv_nsec;
}

PlatformFileInfo platform_file_info(const char* path) {
    struct stat st {};
    if (stat(path, &st) == 0) {
        PlatformFileKind kind = PlatformFileKind::special;
        if (S_ISREG(st.st_mode)) kind = PlatformFileKind::regular;
        else if (S_ISDIR(st.st_mode)) kind = PlatformFileKind::directory;
        const auto size = kind == PlatformFileKind::regular ? static_cast<std::uint64_t>(st.st_size) : 0;
        const bool read_only = kind == PlatformFileKind::regular && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
        return PlatformFileInfo{kind, modified_ns(st), PlatformError{0}, size, read_only};
    }
    const int e = errno;
    struct stat link {};
    if (lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
        const PlatformFileKind kind = e == ELOOP ? PlatformFileKind::looping_link : PlatformFileKind::broken_link;
        return PlatformFileInfo{kind, modified_ns(link), errno_error(e)};
    }
    if (e == ENOENT) return PlatformFileInfo{PlatformFileKind::missing, 0, errno_error(e)};
    return PlatformFileInfo{PlatformFileKind::unknown, 0, errno_error(e)};
}

PlatformError platform_write_new_file(const char* path, const void* data, std::size_t size, std::size_t* written) {
    if (written) *written = 0;
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return PlatformError{static_cast<std::uint32_t>(errno)};
    PlatformError e = platform_write_file(fd, data, size, written);
    if (e.code == 0 && fsync(fd) != 0) e = PlatformError{static_cast<std::uint32_t>(errno)};
    if (close(fd) != 0 && e.code == 0) e = PlatformError{static_cast<std::uint32_t>(errno)};
    if (e.code) unlink(path);
    return e;
}

const char* platform_file_name_of(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

PlatformError platform_link_target(const char* path, char* target, std::size_t capacity) {
    if (capacity > 0) target[0] = '\0';
    struct stat link {};
    if (lstat(path, &link) != 0 || !S_ISLNK(link.st_mode)) return PlatformError{0};
    char resolved[PATH_MAX];
    if (!realpath(path, resolved)) return errno_error(errno);
    const std::size_t length = std::strlen(resolved);
    if (length >= capacity) return errno_error(ENAMETOOLONG);
    std::memcpy(target, resolved, length + 1);
    return PlatformError{0};
}

PlatformError platform_replace_file(const char* from, const char* to) {
    if (rename(from, to) != 0) return PlatformError{static_cast<std::uint32_t>(errno)};
    return PlatformError{0};
}

PlatformError platform_delete_file(const char* path) {
    if (unlink(path) != 0) return PlatformError{static_cast<std::uint32_t>(errno)};
    return PlatformError{0};
}

PlatformError platform_rename_new(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return PlatformError{0};
    if (errno != EINVAL && errno != ENOSYS) return errno_error(errno);
    // A file system without the no-replace rename: a hard link fails the same
    // way when the name is taken.
    if (link(from, to) != 0) return errno_error(errno);
    (void)unlink(from);
    return PlatformError{0};
}

bool platform_error_is_not_found(PlatformError error) { return error.code == ENOENT; }
bool platform_error_is_exists(PlatformError error) { return error.code == EEXIST; }
bool platform_error_is_out_of_memory(PlatformError error) { return error.code == ENOMEM; }

PlatformErrorKind platform_error_kind(PlatformError error) {
    switch (error.code) {
        case ENOENT:
        case ENOTDIR: return PlatformErrorKind::not_found;
        case EACCES:
        case EPERM:
        case EROFS: return PlatformErrorKind::denied;
        case EBUSY:
        case ETXTBSY: return PlatformErrorKind::in_use;
        case ENOSPC:
        case EDQUOT: return PlatformErrorKind::disk_full;
        default: return PlatformErrorKind::other;
    }
}

PlatformError platform_list_directory(const char* path, bool (*visit)(void* data, const char* name), void* data) {
    DIR* dir = opendir(path);
    if (!dir) return errno_error(errno);
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (!visit(data, name)) break;
        errno = 0;
    }
    const int e = errno;
    closedir(dir);
    return errno_error(e);
}

// The codes a file operation can return, by name.
#define QF_ERRNO(name) \
    { name, #name }
static const struct {
    int code;
    const char* name;
} errno_names[] = {
    QF_ERRNO(EPERM),        QF_ERRNO(ENOENT), QF_ERRNO(EINTR),     QF_ERRNO(EIO),       QF_ERRNO(ENXIO),
    QF_ERRNO(EBADF),        QF_ERRNO(EAGAIN), QF_ERRNO(ENOMEM),    QF_ERRNO(EACCES),    QF_ERRNO(EFAULT),
    QF_ERRNO(EBUSY),        QF_ERRNO(EEXIST), QF_ERRNO(EXDEV),     QF_ERRNO(ENODEV),    QF_ERRNO(ENOTDIR),
    QF_ERRNO(EISDIR),       QF_ERRNO(EINVAL), QF_ERRNO(ENFILE),    QF_ERRNO(EMFILE),    QF_ERRNO(ETXTBSY),
    QF_ERRNO(EFBIG),        QF_ERRNO(ENOSPC), QF_ERRNO(ESPIPE),    QF_ERRNO(EROFS),     QF_ERRNO(EMLINK),
    QF_ERRNO(ENAMETOOLONG), QF_ERRNO(ENOSYS), QF_ERRNO(ENOTEMPTY), QF_ERRNO(ELOOP),     QF_ERRNO(EOVERFLOW),
    QF_ERRNO(EOPNOTSUPP),   QF_ERRNO(ESTALE), QF_ERRNO(EDQUOT),    QF_ERRNO(ECANCELED), QF_ERRNO(ENOLCK),
};
#undef QF_ERRNO

void platform_error_name(PlatformError error, char* buffer, std::size_t capacity) {
    TextBuilder b = text_builder(buffer, capacity);
    if (error.code == 0) {
        text_append(b, "OK");
        return;
    }
    for (const auto& entry : errno_names) {
        if (static_cast<std::uint32_t>(entry.code) == error.code) {
            text_append(b, entry.name);
            return;
        }
    }
    text_append(b, "errno ");
    text_append_u64(b, error.code);
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
