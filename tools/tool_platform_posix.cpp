// Linux: arguments and paths are bytes, taken as they come.
#include "tools/tool_platform.h"

std::FILE* open_utf8(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return run_tool(arguments);
}
