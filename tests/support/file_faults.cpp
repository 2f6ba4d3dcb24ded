#include "tests/support/file_faults.h"

#include "src/platform/platform.h"

static const FileFaults* faults = nullptr;

void inject_file_faults(const FileFaults* f) { faults = f; }

// The real operations (the linker's name for them under --wrap) and their stand-ins.
extern "C" {
PlatformError __real_platform_write_new_file(const char* path, const void* data, std::size_t size,
                                             std::size_t* written);
PlatformError __real_platform_replace_file(const char* from, const char* to);
PlatformError __real_platform_read_file(const char* path, const Allocator& allocator, char** data, std::size_t* size);
PlatformError __real_platform_copy_file(const char* from, const char* to, bool fail_if_exists);

PlatformError __wrap_platform_write_new_file(const char* path, const void* data, std::size_t size,
                                             std::size_t* written) {
    if (!faults || !faults->write_error) return __real_platform_write_new_file(path, data, size, written);
    // A disk that fills up part-way: some bytes land, then the error, and the
    // new file is gone again (as the real operation leaves it on failure).
    const std::size_t part = faults->write_fail_after < size ? faults->write_fail_after : size;
    const PlatformError e = __real_platform_write_new_file(path, data, part, written);
    if (e.code != 0) return e;
    (void)platform_delete_file(path);
    return PlatformError{faults->write_error};
}

PlatformError __wrap_platform_replace_file(const char* from, const char* to) {
    if (faults && faults->replace_error) return PlatformError{faults->replace_error};
    return __real_platform_replace_file(from, to);
}

PlatformError __wrap_platform_read_file(const char* path, const Allocator& allocator, char** data, std::size_t* size) {
    if (faults && faults->read_error) {
        *data = nullptr;
        *size = 0;
        return PlatformError{faults->read_error};
    }
    return __real_platform_read_file(path, allocator, data, size);
}

PlatformError __wrap_platform_copy_file(const char* from, const char* to, bool fail_if_exists) {
    if (faults && faults->copy_error) return PlatformError{faults->copy_error};
    return __real_platform_copy_file(from, to, fail_if_exists);
}
}
