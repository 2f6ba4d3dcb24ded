// Linux: arguments and paths are bytes, taken as they come.
#include "tools/tool_files.h"
#include "tools/tool_platform.h"

const char native_path_separator = '/';

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return finish_output(run_tool(arguments));
}
