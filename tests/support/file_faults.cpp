#include "tests/support/file_faults.h"

#include <cstring>

#include "src/platform/platform.h"

static const FileFaults* faults = nullptr;
static std::size_t steps = 0;
static std::size_t writes = 0;

void inject_file_faults(const FileFaults* f) {
    faults = f;
    steps = 0;
    writes = 0;
}

std::size_t file_steps() { return steps; }
std::size_t file_writes() { return writes; }

// One change to the disk; false when the process is dead by then.
static bool alive_for_a_step() {
    const std::size_t step = steps++;
    return !(faults && faults->crash_error && step >= faults->crash_at_step);
}

static PlatformError crash() { return PlatformError{faults->crash_error}; }

// Whether a write or replace of `path` meets the fault (write_error_path).
static bool write_fault_at(const char* path) {
    return !faults->write_error_path ||
           std::strncmp(path, faults->write_error_path, std::strlen(faults->write_error_path)) == 0;
}

// The real operations (the linker's name for them under --wrap) and their stand-ins.
extern "C" {
PlatformError __real_platform_write_new_file(const char* path, const void* data, std::size_t size,
                                             std::size_t* written);
PlatformError __real_platform_replace_file(const char* from, const char* to);
PlatformError __real_platform_rename_new(const char* from, const char* to);
PlatformError __real_platform_read_file(const char* path, const Allocator& allocator, char** data, std::size_t* size);
PlatformError __real_platform_delete_file(const char* path);
PlatformError __real_platform_create_directory(const char* path);
PlatformFileInfo __real_platform_file_info(const char* path);
PlatformError __real_platform_write_file(PlatformFile file, const void* data, std::size_t size, std::size_t* written);

PlatformError __wrap_platform_write_new_file(const char* path, const void* data, std::size_t size,
                                             std::size_t* written) {
    if (written) *written = 0;
    ++writes;
    if (!alive_for_a_step()) return crash();
    if (!alive_for_a_step()) {
        // Killed while writing: the file is there with part of its bytes.
        (void)__real_platform_write_new_file(path, data, size / 2, written);
        return crash();
    }
    if (!faults || !faults->write_error || !write_fault_at(path)) {
        return __real_platform_write_new_file(path, data, size, written);
    }
    // A disk that fills up part-way: some bytes land, then the error, and the
    // new file is gone again (as the real operation leaves it on failure).
    const std::size_t part = faults->write_fail_after < size ? faults->write_fail_after : size;
    const PlatformError e = __real_platform_write_new_file(path, data, part, written);
    if (e.code != 0) return e;
    (void)__real_platform_delete_file(path);
    return PlatformError{faults->write_error};
}

PlatformError __wrap_platform_replace_file(const char* from, const char* to) {
    if (faults && faults->replace_error && write_fault_at(to)) return PlatformError{faults->replace_error};
    if (!alive_for_a_step()) return crash();
    return __real_platform_replace_file(from, to);
}

PlatformError __wrap_platform_rename_new(const char* from, const char* to) {
    if (faults && faults->replace_error && write_fault_at(to)) return PlatformError{faults->replace_error};
    if (!alive_for_a_step()) return crash();
    return __real_platform_rename_new(from, to);
}

PlatformError __wrap_platform_read_file(const char* path, const Allocator& allocator, char** data, std::size_t* size) {
    if (faults && faults->read_error && (!faults->read_error_path || std::strcmp(path, faults->read_error_path) == 0)) {
        *data = nullptr;
        *size = 0;
        return PlatformError{faults->read_error};
    }
    return __real_platform_read_file(path, allocator, data, size);
}

PlatformError __wrap_platform_delete_file(const char* path) {
    if (!alive_for_a_step()) return crash();
    return __real_platform_delete_file(path);
}

PlatformError __wrap_platform_create_directory(const char* path) {
    if (faults && faults->mkdir_error) return PlatformError{faults->mkdir_error};
    if (!alive_for_a_step()) return crash();
    return __real_platform_create_directory(path);
}

PlatformFileInfo __wrap_platform_file_info(const char* path) {
    if (faults && faults->info_error && (!faults->read_error_path || std::strcmp(path, faults->read_error_path) == 0)) {
        PlatformFileInfo info{};
        info.kind = PlatformFileKind::unknown;
        info.error = PlatformError{faults->info_error};
        return info;
    }
    return __real_platform_file_info(path);
}

PlatformError __wrap_platform_write_file(PlatformFile file, const void* data, std::size_t size, std::size_t* written) {
    if (faults && faults->log_write_error) {
        if (written) *written = 0;
        return PlatformError{faults->log_write_error};
    }
    return __real_platform_write_file(file, data, size, written);
}
}
