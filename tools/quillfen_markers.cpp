// quillfen-markers: the plug-in's own reader and writer for the markers file,
// on the command line. See `quillfen-markers help`.
#include <charconv>
#include <cstdio>
#include <string>
#include <system_error>

#include "quillfen_version.h"
#include "src/file_formats/marker_file_warnings.h"
#include "src/file_formats/markers_folder.h"
#include "src/json5/json5_reader.h"
#include "tools/folder_commands.h"
#include "tools/marker_export.h"
#include "tools/tool_files.h"
#include "tools/tool_platform.h"

static const char* const help_text =
    "usage: quillfen-markers check FILE\n"
    "       quillfen-markers format [--as-the-game-reads] FILE\n"
    "       quillfen-markers parse FILE\n"
    "       quillfen-markers status DIR\n"
    "       quillfen-markers restore DIR FILE\n"
    "       quillfen-markers merge INTO FROM...\n"
    "       quillfen-markers undelete INTO LABEL\n"
    "       quillfen-markers undelete INTO --entry N\n"
    "       quillfen-markers export FILE --format csv|geojson\n"
    "       quillfen-markers unfound FILE PACK\n"
    "       quillfen-markers help        (or -h, --help, /?)\n"
    "       quillfen-markers --version\n"
    "\n"
    "Reads FILE with the same code as the Quillfen plug-in reads Quillfen/markers.json.\n"
    "A place in a file is LINE:COLUMN, both counted from 1.\n"
    "\n"
    "commands:\n"
    "  check FILE   would the game load FILE as it is written? Prints a line for each thing\n"
    "               the game would drop or change (a key it ignores, a missing field and\n"
    "               what it becomes, a category outside 0 to 9, a name that is not UTF-8,\n"
    "               a position that is not a finite number), each at LINE:COLUMN, then the\n"
    "               number of markers. A file that does not load: LINE:COLUMN: reason.\n"
    "  format FILE  print the markers of FILE in the game's own layout: the bytes the game\n"
    "               writes for these markers when it saves them (at its next change, with\n"
    "               that change). check's lines go to standard error. When there are any\n"
    "               (the game reads FILE otherwise than it is written), format prints\n"
    "               nothing and exits with 3, so that nothing is lost unseen: fix what\n"
    "               the lines say, or give --as-the-game-reads to print what the game\n"
    "               reads, without what it drops. To repair a file by hand: check it,\n"
    "               fix what check says, then format FILE > repaired.json and restore\n"
    "               DIR repaired.json.\n"
    "  parse FILE   is FILE valid JSON5 (any document)? If not: LINE:COLUMN: reason.\n"
    "\n"
    "  status DIR   DIR is a Quillfen folder. One line per file that holds markers\n"
    "               (markers.json, markers.json.bak, markers.json.unreadable-...,\n"
    "               markers.json.replaced-..., backups/markers-YYYYMMDD.json), newest\n"
    "               first: its name, when it was last written (local time), and the\n"
    "               number of markers or why it cannot be loaded. Exit 2 when\n"
    "               markers.json is there but cannot be read (a folder, a broken\n"
    "               link, no permission), 1 when it does not load. Then how many\n"
    "               markers deleted.json holds (those deleted in the game) and the\n"
    "               newest few, the settings the game runs with (settings.ini) and\n"
    "               a line for each fault in that file, in the words of the game's log.\n"
    "               For a markers.json.unsaved-... copy (the markers the game held when it\n"
    "               quit without saving them) the command that puts it in place.\n"
    "               Names are printed with control characters escaped (\\n, \\x1B) and\n"
    "               cut after 60 characters with \"...\".\n"
    "  restore DIR FILE\n"
    "               put the markers of FILE (a path, or a name as status shows it)\n"
    "               into DIR/markers.json, written whole in the game's format. What\n"
    "               markers.json held is kept as markers.json.replaced-YYYYMMDD-HHMMSS\n"
    "               (UTC), and the command says so once the new file is in place; when\n"
    "               the new file cannot be written, nothing changes. Close the game first.\n"
    "\n"
    "  merge INTO FROM...\n"
    "               add the markers of each FROM to INTO, as the game imports a marker\n"
    "               pack: a marker is added unless one already lies within 1 metre of\n"
    "               it (markers added before from the same merge count), keeping its\n"
    "               position, category, name and time; one whose position is not a\n"
    "               finite number is left out. INTO is created when missing and\n"
    "               written whole in the game's format; what an existing INTO held is\n"
    "               kept as INTO.replaced-YYYYMMDD-HHMMSS, as restore does. Prints one\n"
    "               line per FROM: how many of its markers were added. Nothing is\n"
    "               written when INTO or any FROM cannot be read or loaded. To merge into\n"
    "               the game's own markers.json, close the game first.\n"
    "  undelete INTO LABEL\n"
    "               put back the newest marker called LABEL (its name, or its category's\n"
    "               name when it has none) from deleted.json beside INTO, where the game\n"
    "               keeps the newest 500 markers deleted in it, as it was: its position,\n"
    "               category, name, time and note. What INTO held is kept as\n"
    "               INTO.replaced-YYYYMMDD-HHMMSS, as merge does; deleted.json no longer\n"
    "               lists it. status shows the newest deleted markers. To put them all\n"
    "               back: merge markers.json deleted.json. Close the game first.\n"
    "  undelete INTO --entry N\n"
    "               the same for the Nth marker of deleted.json (counted from 1 in the\n"
    "               file): status gives this form for a name that a command prompt\n"
    "               would not take as it is (quotes, %, !, $, control characters).\n"
    "  export FILE --format csv|geojson\n"
    "               print the markers of FILE:\n"
    "               csv      for spreadsheets: UTF-8 with a byte order mark, CRLF line\n"
    "                        ends, quoting as in RFC 4180; a header row, then one row per\n"
    "                        marker: x,y,z,category,category_name,name,created,pack,\n"
    "                        found,note (name, pack, found and note empty when none; a\n"
    "                        text starting with = + - @ gets a leading ' so that\n"
    "                        spreadsheets take it\n"
    "                        as text)\n"
    "               geojson  for map tools: a FeatureCollection with one Point per\n"
    "                        marker; its coordinates [x, y, z] are the game's world units\n"
    "                        (metres, not longitude and latitude); properties name (null\n"
    "                        when none), category, category_name, created,\n"
    "                        created_nanosecond, pack (null for your own markers), found,\n"
    "                        found_nanosecond and note (null when none); put into the\n"
    "                        game's Quillfen\\import it comes back as the same markers\n"
    "               created (and found: when a collection's marker was found) is the\n"
    "               marker's time in ISO 8601, UTC, to the second (in GeoJSON with the\n"
    "               nanoseconds past it beside it). A\n"
    "               marker whose position is not a finite number is left out, with a\n"
    "               warning on standard error.\n"
    "\n"
    "  unfound FILE PACK\n"
    "               clear the found marks of the markers of the pack PACK (its name as\n"
    "               status lists it) in FILE, for a new playthrough; what FILE held is\n"
    "               kept as FILE.replaced-YYYYMMDD-HHMMSS, as merge does. Close the game\n"
    "               first when FILE is its markers.json.\n"
    "\n"
    "The newest 7 copies FILE.replaced-... are kept; restore and merge delete older ones.\n"
    "\n"
    "Marker packs: a pack is any markers file. Make one by copying your markers.json,\n"
    "or by merging files into a new one (merge pack.json a.json b.json); to share\n"
    "only a few markers, delete the others from a copy with a text editor and see\n"
    "that it still loads with check. Your friend drops it into the game's\n"
    "Quillfen\\import folder: at the next start the game adds its markers as merge\n"
    "does and moves it into Quillfen\\import\\imported. Quillfen\\last.log says how\n"
    "many were added, or why the pack could not be loaded (it then stays where it is).\n"
    "\n"
    "Exit codes, the same in every command:\n"
    "  0  done; for check: the file loads as it is written\n"
    "  1  a file does not load (it is damaged, or a value is of the wrong kind);\n"
    "     nothing was changed\n"
    "  2  a file cannot be read or written (standard output too: a full disk), or the\n"
    "     command is wrong; nothing was changed\n"
    "  3  check: the file loads, but the game would drop or change what the lines say;\n"
    "     format: the same, and nothing was printed (see --as-the-game-reads)\n";

// ---- one markers file: parse, check, format, export ---------------------------------------------------

// The bytes of the one file a command reads; false (and the message) when there are none.
static bool read_input(const std::string& path, const char* command, std::string& text) {
    std::string why;
    if (read_text(path, text, why)) return true;
    if (platform_file_info(path.c_str()).kind == PlatformFileKind::directory) {
        why += std::string(": ") + command + " expects a markers file such as " + markers_file_name +
               " (for a Quillfen folder, see status)";
    }
    std::fprintf(stderr, "quillfen-markers: %s\n", why.c_str());
    return false;
}

static int run_parse(const std::string& text) {
    Json5Document doc{};
    Json5Error error{};
    if (!json5_parse(text, heap_allocator(), doc, error)) {
        std::printf("%d:%d: %s\n", error.line, error.column, error.message ? error.message : "invalid JSON5");
        return exit_not_loaded;
    }
    json5_free(doc, heap_allocator());
    return exit_done;
}

// How format treats a file the game reads otherwise than written.
enum class FormatWarned { refuse, write_what_the_game_reads };

// check and format: the markers, what the game would make of them, and for
// format the bytes the game saves for them. Those bytes lose what the game
// drops, so format prints them only when nothing is dropped or when told to.
static int run_check_or_format(const std::string& path, const std::string& text, bool format, FormatWarned warned) {
    MarkersData data{};
    MarkersFileRead loaded{};
    load_markers_text(loaded, text, heap_allocator(), data);
    if (!markers_file_loaded(loaded)) {
        std::printf("%s\n", loaded.why);
        return loaded.outcome == MarkersFileOutcome::damaged ? exit_not_loaded : exit_cannot;
    }
    const std::size_t count = data.count;
    MarkersText out{};
    const bool written =
        !format || serialize_markers(data.records, data.count, heap_allocator(), out) == SerializeError::none;
    free_markers_data(data, heap_allocator());
    std::FILE* const lines_to = format ? stderr : stdout;
    const std::size_t warnings = list_markers_warnings(
        text, heap_allocator(),
        [](void* to, const char* line) { std::fprintf(static_cast<std::FILE*>(to), "%s\n", line); }, lines_to);
    if (!written || warnings == SIZE_MAX) {
        std::fprintf(stderr, "quillfen-markers: out of memory\n");
        return exit_cannot;
    }
    if (format && warnings > 0 && warned == FormatWarned::refuse) {
        free_markers_text(out, heap_allocator());
        std::string typed;
        const std::string command = typed_argument(path, typed)
                                        ? "run: quillfen-markers format --as-the-game-reads " + typed
                                        : "run format again with --as-the-game-reads before the file's name";
        std::fprintf(stderr,
                     "quillfen-markers: format printed nothing: the game reads %s otherwise than it is written (the "
                     "lines above), and what it would print loses what they name. Fix what they say and run format "
                     "again; or, to print what the game reads, %s\n",
                     shown_path(path).c_str(), command.c_str());
        return exit_warnings;
    }
    if (format) {
        const bool whole = write_output(out.data, out.length);
        free_markers_text(out, heap_allocator());
        return whole ? exit_done : exit_cannot;
    }
    std::printf("%zu\n", count);
    return warnings > 0 ? exit_warnings : exit_done;
}

static int run_export(const std::vector<std::string>& arguments) {
    std::string file, format;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--format" && i + 1 < arguments.size()) format = arguments[++i];
        else if (a.rfind("--format=", 0) == 0) format = a.substr(9);
        else if (file.empty() && a != "--format") file = a;
        else return usage_error("export takes one FILE and --format csv|geojson");
    }
    if (file.empty() || format.empty()) return usage_error("export takes one FILE and --format csv|geojson");
    if (format != "csv" && format != "geojson") return usage_error("the format is csv or geojson");
    std::string text;
    if (!read_input(file, "export", text)) return exit_cannot;
    MarkersData data{};
    MarkersFileRead r{};
    load_markers_text(r, text, heap_allocator(), data);
    if (!markers_file_loaded(r)) {
        std::fprintf(stderr, "quillfen-markers: %s cannot be loaded: %s\n", shown_path(file).c_str(), r.why);
        return r.outcome == MarkersFileOutcome::damaged ? exit_not_loaded : exit_cannot;
    }
    std::vector<std::string> left_out;
    const std::string out = export_markers(data, format == "csv" ? ExportFormat::csv : ExportFormat::geojson, left_out);
    free_markers_data(data, heap_allocator());
    for (const std::string& line : left_out) std::fprintf(stderr, "quillfen-markers: %s\n", line.c_str());
    return write_output(out.data(), out.size()) ? exit_done : exit_cannot;
}

// ---- the commands ---------------------------------------------------------------------------

static constexpr const char* as_the_game_reads = "--as-the-game-reads";

static bool asks_for_help(const std::string& a) { return a == "help" || a == "-h" || a == "--help" || a == "/?"; }

int run_tool(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return usage_error("expected a command and a file");
    const std::string& command = arguments[0];
    const std::size_t given = arguments.size() - 1;
    if (asks_for_help(command)) {
        std::fputs(help_text, stdout);
        return exit_done;
    }
    if (command == "--version") {
        std::printf("quillfen-markers %s\n", QF_VERSION_TEXT);
        return exit_done;
    }
    if (command == "status") {
        if (given != 1) return usage_error("status takes the Quillfen folder: quillfen-markers status DIR");
        return run_status(arguments[1]);
    }
    if (command == "restore") {
        if (given != 2)
            return usage_error("restore takes the Quillfen folder and a file: quillfen-markers restore DIR FILE");
        return run_restore(arguments[1], arguments[2]);
    }
    if (command == "merge") {
        if (given < 2) return usage_error("merge takes INTO and at least one FROM");
        return run_merge(arguments[1], std::vector<std::string>(arguments.begin() + 2, arguments.end()));
    }
    if (command == "undelete") {
        if (given == 3 && arguments[2] == undelete_entry_option) {
            const std::string& n = arguments[3];
            std::size_t entry = 0;
            const auto read = std::from_chars(n.data(), n.data() + n.size(), entry);
            if (read.ec != std::errc{} || read.ptr != n.data() + n.size() || entry == 0) {
                return usage_error("--entry takes the number of a marker of deleted.json, from 1");
            }
            return run_undelete(arguments[1], {}, entry);
        }
        if (given != 2) return usage_error("undelete takes INTO and a LABEL: quillfen-markers undelete INTO LABEL");
        return run_undelete(arguments[1], arguments[2]);
    }
    if (command == "export") return run_export(arguments);
    if (command == "unfound") {
        if (given != 2)
            return usage_error("unfound takes a markers file and a pack's name: quillfen-markers unfound FILE PACK");
        return run_unfound(arguments[1], arguments[2]);
    }
    if (command != "parse" && command != "check" && command != "format") {
        return usage_error("unknown command \"" + command + "\"");
    }
    std::vector<std::string> files;
    FormatWarned warned = FormatWarned::refuse;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] != as_the_game_reads) files.push_back(arguments[i]);
        else if (command == "format") warned = FormatWarned::write_what_the_game_reads;
        else return usage_error(std::string(as_the_game_reads) + " is for format only");
    }
    if (files.size() != 1) return usage_error(command + " takes one FILE");
    std::string text;
    if (!read_input(files[0], command.c_str(), text)) return exit_cannot;
    if (command == "parse") return run_parse(text);
    return run_check_or_format(files[0], text, command == "format", warned);
}
