// Tests only: file operations that fail as a full disk or a locked file
// would, or stop as a killed process would. The test program is linked with
// the linker's --wrap for these operations (tests/CMakeLists.txt), so the
// plug-in calls these stand-ins, which fail as asked and otherwise call the
// real ones: the plug-in's own code has no hooks for it, and either
// platform's build can use it.
#pragma once

#include <cstddef>
#include <cstdint>

// An error code of 0 leaves that operation alone; the others are the
// platform's own codes (errno on Linux, a Win32 error on Windows).
struct FileFaults {
    std::uint32_t write_error;     // platform_write_new_file (the log is left alone)
    std::size_t write_fail_after;  // bytes that land before the write fails
    std::uint32_t replace_error;   // platform_replace_file and platform_rename_new
    std::uint32_t read_error;      // platform_read_file
    std::uint32_t mkdir_error;     // platform_create_directory
    // A kill: the changes to the disk are counted in steps from the injection
    // (making a directory, deleting, renaming: one each; writing a new file:
    // two, its creation and its writing). From step `crash_at_step` on every
    // change fails with `crash_error` and does nothing, as if the process had
    // died just before it; a kill at a file's writing leaves half of its
    // bytes in it. 0 for no kill.
    std::uint32_t crash_error;
    std::size_t crash_at_step;
    // With `read_error` (or `info_error`): only reads (or looks) of this path
    // fail (as a file another program holds); null: every one.
    const char* read_error_path;
    // platform_file_info: the kind is unknown with this error, as of a file
    // whose attributes may not be read.
    std::uint32_t info_error;
    // With `write_error` or `replace_error`: only writes and replaces of paths
    // that begin with this fail (the file itself and its temporary file, as
    // a held or read-only file would); null: every one.
    const char* write_error_path;
    // platform_write_file, the log's writes: as a full disk leaves last.log.
    std::uint32_t log_write_error;
};

// nullptr: no faults.
void inject_file_faults(const FileFaults* faults);
// The steps taken (or refused) since the last injection.
std::size_t file_steps();
// New files written whole or in part (platform_write_new_file calls, failed
// ones too) since the last injection: how often something tried to write.
std::size_t file_writes();
