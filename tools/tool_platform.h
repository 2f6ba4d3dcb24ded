// What differs between Windows and Linux for the command-line tools. Everything
// the tools hold is UTF-8: arguments arrive as UTF-8 and files are read and
// written through the platform seam (src/platform), which takes UTF-8 paths, so
// a markers file under "C:\Users\José Müller\" or with a Japanese name works on
// Windows too (where the narrow C APIs would go through the ANSI code page and
// lose such names).
#pragma once

#include <string>
#include <vector>

// The tool's own main, called by the platform's entry point with the arguments
// after the program name. Returns the exit code.
int run_tool(const std::vector<std::string>& arguments);

// How the platform separates folders in the paths it shows ('/' or '\\').
extern const char native_path_separator;
