// quillfen-markers: the plug-in's own reader and writer for the markers file,
// on the command line. See `quillfen-markers --help`.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "quillfen_version.h"
#include "src/json5/json5_reader.h"
#include "src/store/marker_file.h"
#include "tools/tool_platform.h"

static const char* const help_text =
    "usage: quillfen-markers COMMAND FILE\n"
    "       quillfen-markers --version\n"
    "\n"
    "Reads FILE with the same code as the Quillfen plug-in reads Quillfen/markers.json.\n"
    "\n"
    "commands:\n"
    "  parse FILE   is FILE valid JSON5 (any document)? Exit 0 if so; otherwise exit 1\n"
    "               and print LINE:COLUMN: reason\n"
    "  check FILE   would the plug-in load FILE? Exit 0 and print the number of markers;\n"
    "               otherwise exit 1 and print the reason\n"
    "  format FILE  print exactly the bytes the plug-in would save after loading FILE;\n"
    "               exit 1 if it would not load it\n"
    "\n"
    "Usage errors and files that cannot be read exit 2 with a one-line message.\n";

static int usage_error(const char* message) {
    std::fprintf(stderr, "quillfen-markers: %s (see --help)\n", message);
    return 2;
}

static bool read_all(const std::string& path, std::string& out) {
    std::FILE* f = open_utf8(path, "rb");
    if (!f) return false;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

int run_tool(const std::vector<std::string>& arguments) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        std::fputs(help_text, stdout);
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        std::printf("quillfen-markers %s\n", QF_VERSION_TEXT);
        return 0;
    }
    if (arguments.size() != 2) return usage_error("expected a command and a file");
    const std::string& command = arguments[0];
    if (command != "parse" && command != "check" && command != "format") return usage_error("unknown command");
    std::string text;
    if (!read_all(arguments[1], text)) {
        std::fprintf(stderr, "quillfen-markers: cannot read %s: %s\n", arguments[1].c_str(), std::strerror(errno));
        return 2;
    }
    const Allocator heap = heap_allocator();

    if (command == "parse") {
        Json5Document doc{};
        Json5Error error{};
        if (!json5_parse(text, heap, doc, error)) {
            std::printf("%d:%d: %s\n", error.line, error.column, error.message ? error.message : "invalid JSON5");
            return 1;
        }
        json5_free(doc, heap);
        return 0;
    }

    MarkersData data{};
    DeserializeDetail detail{};
    const DeserializeError e = deserialize_markers(text, heap, data, &detail);
    if (e != DeserializeError::none) {
        if (e == DeserializeError::syntax) {
            std::printf("%zu:%zu: %s\n", detail.line, detail.column, detail.reason ? detail.reason : "invalid JSON5");
        } else if (e == DeserializeError::out_of_memory) {
            std::printf("out of memory\n");
        } else {
            std::printf("%s\n", detail.reason ? detail.reason : "a value of the wrong kind");
        }
        return 1;
    }
    int status = 0;
    if (command == "check") {
        std::printf("%zu\n", data.count);
    } else {
        MarkersText out{};
        if (serialize_markers(data.records, data.count, heap, out) != SerializeError::none) {
            std::fprintf(stderr, "quillfen-markers: out of memory\n");
            status = 1;
        } else {
            std::fwrite(out.data, 1, out.length, stdout);
            free_markers_text(out, heap);
        }
    }
    free_markers_data(data, heap);
    return status;
}
