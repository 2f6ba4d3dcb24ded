// Tests only: file operations that fail as a full disk or a locked file
// would. The test program is linked with the linker's --wrap for the four
// operations (tests/CMakeLists.txt), so the plug-in calls these stand-ins,
// which fail as asked and otherwise call the real ones: the plug-in's own
// code has no hooks for it, and either platform's build can use it.
#pragma once

#include <cstddef>
#include <cstdint>

// An error code of 0 leaves that operation alone; the others are the
// platform's own codes (errno on Linux, a Win32 error on Windows).
struct FileFaults {
    std::uint32_t write_error;     // platform_write_new_file (the log is left alone)
    std::size_t write_fail_after;  // bytes that land before the write fails
    std::uint32_t replace_error;   // platform_replace_file
    std::uint32_t read_error;      // platform_read_file
    std::uint32_t copy_error;      // platform_copy_file
};

// nullptr: no faults.
void inject_file_faults(const FileFaults* faults);
