// What differs between Windows and Linux for the command-line tools. Everything
// the tools hold is UTF-8: arguments arrive as UTF-8 and paths are opened from
// UTF-8, so a markers file under "C:\Users\José Müller\" or with a Japanese name
// works on Windows too (where the narrow C APIs would go through the ANSI code
// page and lose such names).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The tool's own main, called by the platform's entry point with the arguments
// after the program name. Returns the exit code.
int run_tool(const std::vector<std::string>& arguments);

// fopen of a UTF-8 path; errno is set on failure as by fopen.
std::FILE* open_utf8(const std::string& path, const char* mode);
