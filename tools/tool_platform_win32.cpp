// Windows: the wide command line, converted to UTF-8 at this edge only (files
// are opened through the platform seam, which takes UTF-8 paths), and a
// console that shows UTF-8.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "tools/tool_files.h"
#include "tools/tool_platform.h"

static std::string narrow(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
    text.pop_back();  // the terminator counted by n
    return text;
}

const char native_path_separator = '\\';

int wmain(int argc, wchar_t** argv) {
    // What the tool prints is the same bytes as on Linux: no CR inserted before
    // LF (format must reproduce the file exactly), and UTF-8 names shown as
    // such by the console instead of through its OEM code page.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(narrow(argv[i]));
    if (!arguments.empty()) return finish_output(run_tool(arguments));

    // Double-clicked in the Quillfen folder: the status of that folder, in a
    // window that stays until the player has read it.
    std::vector<wchar_t> own(MAX_PATH);
    DWORD n;
    while ((n = GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()))) == own.size()) {
        own.resize(own.size() * 2);
    }
    std::string folder = narrow(own.data());
    const std::size_t slash = folder.find_last_of("\\/");
    folder = slash == std::string::npos ? "." : folder.substr(0, slash);
    const int status = run_tool({"status", folder});
    std::fputs("\nPress Enter to close this window.\n", stdout);
    std::fflush(stdout);
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {}
    return finish_output(status);
}
