// quillfen-markers when the disk says no: restore and merge, whose write fails
// as a read-only file, a file another program holds or a full disk would make
// it fail (through the file faults put around the platform's operations), say
// what failed, that nothing changed, and what to do about that kind of
// failure; and status says when markers.json cannot be read.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "tests/sim_fixture.h"
#include "tests/support/file_faults.h"
#include "tools/tool_platform.h"

// What the Linux entry of the tool defines (tools/tool_platform_posix.cpp).
const char native_path_separator = '/';

namespace {

const std::string mine = R"(// mine
{"markers": [{"position": [1, 2, 3], "category": 1, "name": "Camp", "timestamp": {"_nsec": 1765267200000000000}}]})";
const std::string pack =
    R"({"markers": [{"position": [100, 0, 0], "category": 3, "timestamp": {"_nsec": 1765267200000000000}}]})";

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun run_with_faults(const std::vector<std::string>& arguments, const FileFaults& faults) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    inject_file_faults(&faults);
    const int status = run_tool(arguments);
    inject_file_faults(nullptr);
    std::fflush(stdout);
    ToolRun r{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
    return r;
}

const std::string denied =
    "The file markers.json or its folder is read-only, or you may not change it: in Windows, right-click it, choose "
    "Properties and untick Read-only. If the game is running, close it first. Then try again.";
const std::string in_use =
    "Another program holds markers.json open: close the game if it is running (and any editor that has the file "
    "open), then try again.";
const std::string disk_full = "The disk is full: make room on it, then try again.";

struct FailedWrite {
    const char* what;
    const char* command;  // restore or merge, into the Quillfen folder's markers.json
    bool file_there;      // markers.json is there: its undo copy is written first
    FileFaults faults;
    const char* failure;  // what the first line says failed, and the error's name
    const char* error;
    const std::string* hint;
};

class ToolWriteFailures : public testing::TestWithParam<FailedWrite> {};

TEST_P(ToolWriteFailures, SayWhatFailedThatNothingChangedAndWhatToDo) {
    const FailedWrite& c = GetParam();
    const std::filesystem::path dir = fresh_test_dir(), quillfen = dir / "Quillfen";
    std::filesystem::create_directories(quillfen);
    if (c.file_there) write_file(quillfen / "markers.json", mine);
    write_file(dir / "pack.json", pack);
    const std::string target = (quillfen / "markers.json").string();
    const std::vector<std::string> arguments =
        std::string(c.command) == "restore"
            ? std::vector<std::string>{"restore", quillfen.string(), (dir / "pack.json").string()}
            : std::vector<std::string>{"merge", target, (dir / "pack.json").string()};

    const ToolRun r = run_with_faults(arguments, c.faults);

    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quillfen-markers: " + std::string(c.failure) + " " + target + ": " + c.error +
                         ". Nothing was changed: markers.json is as it was.\n" + *c.hint + "\n");
    for (const char* claim : {"Added", "holds", "Restored", "Kept", "Start it again"}) {
        EXPECT_EQ(r.out.find(claim), std::string::npos) << claim << " in " << r.out;
    }
    if (c.file_there) {
        EXPECT_EQ(read_file(quillfen / "markers.json"), mine);
        EXPECT_EQ(names_in(quillfen), std::vector<std::string>{"markers.json"}) << "no copy left behind";
    } else {
        EXPECT_EQ(names_in(quillfen), std::vector<std::string>{}) << "nothing left behind";
    }
}

const FailedWrite failed_writes[] = {
    {"restore over a read-only markers.json", "restore", true, FileFaults{.write_error = EROFS},
     "cannot keep a copy of", "EROFS", &denied},
    {"merge into markers.json without the right to change it", "merge", true, FileFaults{.write_error = EACCES},
     "cannot keep a copy of", "EACCES", &denied},
    {"restore while another program holds the file", "restore", false, FileFaults{.replace_error = ETXTBSY},
     "cannot write", "ETXTBSY", &in_use},
    {"merge while another program holds the file", "merge", true, FileFaults{.replace_error = EBUSY},
     "cannot keep a copy of", "EBUSY", &in_use},
    {"restore onto a full disk", "restore", false, FileFaults{.write_error = ENOSPC, .write_fail_after = 100},
     "cannot write", "ENOSPC", &disk_full},
    {"merge onto a full disk, the undo copy half written", "merge", true,
     FileFaults{.write_error = ENOSPC, .write_fail_after = 40}, "cannot keep a copy of", "ENOSPC", &disk_full},
    {"merge over a quota", "merge", false, FileFaults{.write_error = EDQUOT}, "cannot write", "EDQUOT", &disk_full},
};

INSTANTIATE_TEST_SUITE_P(Tool, ToolWriteFailures, testing::ValuesIn(failed_writes),
                         [](const testing::TestParamInfo<FailedWrite>& param) {
                             std::string name;
                             for (const char* c = param.param.what; *c; ++c) name += std::isalnum(*c) ? *c : '_';
                             return name;
                         });

// status: a markers.json that cannot be read is a file the game cannot load
// either; the exit code says "cannot be read" (2), not "does not load" (1).
TEST(ToolStatus, AMarkersFileThatCannotBeReadExitsWithTwoAndSaysWhatToDo) {
    const std::filesystem::path quillfen = fresh_test_dir() / "Quillfen";
    write_file(quillfen / "markers.json", mine);
    const ToolRun r = run_with_faults({"status", quillfen.string()}, FileFaults{.read_error = EACCES});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("  cannot be read: EACCES\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err,
              "quillfen-markers: markers.json cannot be read (its line says why), so the game cannot load it either. "
              "Close any program that holds it; if it is not your markers file, move it out of the way. Then run "
              "status again.\n");

    const ToolRun readable = run_with_faults({"status", quillfen.string()}, FileFaults{});
    EXPECT_EQ(readable.status, 0);
    EXPECT_EQ(readable.err, "");
}

}  // namespace
