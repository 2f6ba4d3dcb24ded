// A game folder of the benchmark's own, with Quillfen/markers.json holding the
// given text; the process works in it while the folder lives.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "src/markers/marker_persistence.h"

namespace bench {

struct GameFolder {
    std::filesystem::path dir;
    std::filesystem::path previous;
    explicit GameFolder(const std::string& markers_text) {
        previous = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() / ("quillfen-bench-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "Quillfen" / "backups");
        std::filesystem::current_path(dir);
        std::ofstream(markers_path, std::ios::binary) << markers_text;
    }
    ~GameFolder() {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    // The plug-in's allocators; no log.
    static RunContext context() {
        return RunContext{heap_allocator(), scratch_allocator(thread_scratch_arena()), Logger{}};
    }
};

}  // namespace bench
