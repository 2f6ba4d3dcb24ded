// Files for tests: a folder of its own for each test, in this build's tree
// (QUILLFEN_TEST_GAME_FOLDERS, build/linux/tests/game-folders/), and a file
// read whole.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// The file's bytes; empty when it cannot be read.
inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// An empty folder named after the running test, "Suite.Test" (a parameterised
// test's "Instance/Suite.Test/3" with dots for the slashes, so that it stays
// one folder): the same test run from another checkout at the same time has
// its own, and what a run left stays there to look at until the test runs again.
inline std::filesystem::path fresh_test_dir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    std::replace(name.begin(), name.end(), '/', '.');
    const std::filesystem::path dir = std::filesystem::path(QUILLFEN_TEST_GAME_FOLDERS) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}
