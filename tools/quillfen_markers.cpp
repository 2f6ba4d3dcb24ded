// quillfen-markers: the plug-in's own reader and writer for the markers file,
// on the command line. See `quillfen-markers --help`.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "quillfen_version.h"
#include "src/json5/json5_reader.h"
#include "src/markers_file/marker_copies.h"
#include "src/markers_file/marker_file.h"
#include "src/markers_file/marker_spacing.h"
#include "src/markers_file/markers_folder.h"
#include "src/platform/local_time.h"
#include "tools/marker_export.h"
#include "tools/tool_platform.h"

static const char* const help_text =
    "usage: quillfen-markers COMMAND FILE\n"
    "       quillfen-markers status DIR\n"
    "       quillfen-markers restore DIR FILE\n"
    "       quillfen-markers merge INTO FROM...\n"
    "       quillfen-markers export FILE --format csv|geojson\n"
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
    "  status DIR   DIR is a Quillfen folder. One line per file that holds markers\n"
    "               (markers.json, markers.json.bak, markers.json.unreadable-...,\n"
    "               markers.json.replaced-..., backups/markers-YYYYMMDD.json), newest\n"
    "               first: its name, when it was last written (local time), and the\n"
    "               number of markers or why it cannot be loaded. Exit 0 when\n"
    "               markers.json loads or is absent, 1 otherwise\n"
    "  restore DIR FILE\n"
    "               put the markers of FILE (a path, or a name as status shows it)\n"
    "               into DIR/markers.json, written whole in the plug-in's format; the\n"
    "               current markers.json is first kept as\n"
    "               markers.json.replaced-YYYYMMDD-HHMMSS (UTC). Exit 1, changing\n"
    "               nothing, when FILE does not load. Close the game first.\n"
    "\n"
    "  merge INTO FROM...\n"
    "               add the markers of each FROM to INTO, as the game imports a marker\n"
    "               pack: a marker is added unless one already lies within 1 unit of\n"
    "               it (markers added before from the same merge count), keeping its\n"
    "               position, category, name and time; one whose position is not a\n"
    "               finite number is left out. INTO is created when missing and\n"
    "               written whole in the plug-in's format. Prints one line per FROM:\n"
    "               how many of its markers were added. Exit 1, writing nothing, when\n"
    "               INTO or any FROM cannot be read or loaded. To merge into the game's\n"
    "               own markers.json, close the game first.\n"
    "  export FILE --format csv|geojson\n"
    "               print the markers of FILE:\n"
    "               csv      for spreadsheets: UTF-8 with a byte order mark, CRLF line\n"
    "                        ends, quoting as in RFC 4180; a header row, then one row per\n"
    "                        marker: x,y,z,category,category_name,name,created (name\n"
    "                        empty when none; a name starting with = + - @ gets a\n"
    "                        leading ' so that spreadsheets take it as text)\n"
    "               geojson  for map tools: a FeatureCollection with one Point per\n"
    "                        marker; its coordinates [x, y, z] are the game's world units\n"
    "                        (not longitude and latitude); properties name (null when\n"
    "                        none), category, category_name, created\n"
    "               created is the marker's time in ISO 8601, UTC, to the second. A\n"
    "               marker whose position is not a finite number is left out, with a\n"
    "               warning on standard error. Exit 1 when FILE does not load.\n"
    "\n"
    "Marker packs: a pack is any markers file. Make one by copying your markers.json,\n"
    "or by merging files into a new one (merge pack.json a.json b.json); to share\n"
    "only a few markers, delete the others from a copy with a text editor and see\n"
    "that it still loads with check. Your friend drops it into the game's\n"
    "Quillfen\\import folder: at the next start the game adds its markers as merge\n"
    "does and moves it into Quillfen\\import\\imported. Quillfen\\last.log says how\n"
    "many were added, or why the pack could not be loaded (it then stays where it is).\n"
    "\n"
    "Usage errors and files that cannot be read exit 2 with a one-line message.\n";

static int usage_error(const char* message) {
    std::fprintf(stderr, "quillfen-markers: %s (see --help)\n", message);
    return 2;
}

// What the platform calls an error ("ENOENT", "ERROR_ACCESS_DENIED"), as the game's log names it.
static std::string error_name(PlatformError e) {
    char name[64];
    platform_error_name(e, name, sizeof name);
    return name;
}

// The whole file at `path`, through the same seam as the plug-in reads it.
static bool read_all(const std::string& path, std::string& out, PlatformError& error) {
    char* text = nullptr;
    std::size_t size = 0;
    error = platform_read_file(path.c_str(), heap_allocator(), &text, &size);
    if (error.code != 0) return false;
    out.assign(text, size);
    free_bytes(heap_allocator(), text, size + 1);
    return true;
}

// ---- status and restore: a Quillfen folder ------------------------------------------------

static std::string in_folder(const std::string& folder, const std::string& name) { return folder + "/" + name; }

// The markers in `path`: their count, or why they cannot be had.
struct Loaded {
    bool loads;
    std::size_t count;
    std::string why;  // when it does not load
};

// `keep`, when given, receives the markers of a file that loads.
static Loaded load_markers_file(const std::string& path, MarkersData* keep = nullptr) {
    MarkersData data{};
    const MarkersFileRead r = read_markers_file(path.c_str(), heap_allocator(), data);
    if (!markers_file_loaded(r)) return Loaded{false, 0, r.why};
    const Loaded l{true, data.count, {}};
    if (keep) *keep = data;
    else free_markers_data(data, heap_allocator());
    return l;
}

static std::string local_time_text(std::int64_t unix_ns) {
    static LocalTimeZone* zone = load_local_time_zone(heap_allocator());
    CivilTime t{};
    const bool local = utc_to_local(zone, unix_ns, &t);
    if (!local) t = civil_from_unix_ns(unix_ns);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d%s", static_cast<long long>(t.year), t.month,
                  t.day, t.hour, t.minute, t.second, local ? "" : " UTC");
    return text;
}

static std::vector<std::string> names_in(const std::string& folder, bool (*wanted)(const char*)) {
    struct Found {
        std::vector<std::string> names;
        bool (*wanted)(const char*);
    } found{{}, wanted};
    (void)platform_list_directory(
        folder.c_str(),
        [](void* data, const char* name) {
            auto& f = *static_cast<Found*>(data);
            if (f.wanted(name)) f.names.push_back(name);
            return true;
        },
        &found);
    return found.names;
}

static bool is_folder(const std::string& path) {
    return platform_file_info(path.c_str()).kind == PlatformFileKind::directory;
}

static int run_status(const std::string& folder) {
    if (!is_folder(folder)) {
        std::fprintf(stderr, "quillfen-markers: %s is not a folder\n", folder.c_str());
        return 2;
    }
    struct Row {
        std::string name;
        std::int64_t modified_ns;
        Loaded loaded;
    };
    std::vector<Row> rows;
    auto add = [&](const std::string& shown, const std::string& path) {
        rows.push_back(Row{shown, platform_file_info(path.c_str()).modified_ns, load_markers_file(path)});
    };
    for (const std::string& name : names_in(folder, is_markers_file_name)) add(name, in_folder(folder, name));
    const std::string backups = in_folder(folder, daily_copies_folder);
    for (const std::string& name : names_in(backups, [](const char* n) { return daily_copy_date(n) != 0; })) {
        add(daily_copies_folder + std::string(1, native_path_separator) + name, in_folder(backups, name));
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        if (a.modified_ns != b.modified_ns) return a.modified_ns > b.modified_ns;
        if ((a.name == markers_file_name) != (b.name == markers_file_name)) return a.name == markers_file_name;
        return a.name < b.name;
    });
    std::size_t width = 0;
    for (const Row& r : rows) width = std::max(width, r.name.size());
    int status = 0;
    for (const Row& r : rows) {
        const std::string what = r.loaded.loads ? std::to_string(r.loaded.count) + " markers" : r.loaded.why;
        std::printf("%-*s  %s  %s\n", static_cast<int>(width), r.name.c_str(), local_time_text(r.modified_ns).c_str(),
                    what.c_str());
        if (r.name == markers_file_name && !r.loaded.loads) status = 1;
    }
    if (rows.empty()) std::printf("No markers files in %s\n", folder.c_str());
    return status;
}

static int run_restore(const std::string& folder, std::string from) {
    if (!is_folder(folder)) {
        std::fprintf(stderr, "quillfen-markers: %s is not a folder\n", folder.c_str());
        return 2;
    }
    // A name as status shows it works from anywhere.
    if (platform_file_info(from.c_str()).kind == PlatformFileKind::missing &&
        platform_file_info(in_folder(folder, from).c_str()).kind != PlatformFileKind::missing) {
        from = in_folder(folder, from);
    }
    MarkersData data{};
    const Loaded source = load_markers_file(from, &data);
    if (!source.loads) {
        std::printf("%s cannot be loaded: %s\nNothing was changed.\n", from.c_str(), source.why.c_str());
        return 1;
    }
    MarkersText text{};
    const bool made = serialize_markers(data.records, data.count, heap_allocator(), text) == SerializeError::none;
    free_markers_data(data, heap_allocator());
    if (!made) {
        std::fprintf(stderr, "quillfen-markers: out of memory\n");
        return 2;
    }

    const std::string target = in_folder(folder, markers_file_name);
    const PlatformFileKind kind = platform_file_info(target.c_str()).kind;
    int status = 0;
    if (obstacle_description(kind)) {
        std::printf("%s is not a markers file (%s): move it out of the way first.\nNothing was changed.\n",
                    target.c_str(), load_markers_file(target).why.c_str());
        status = 1;
    }
    if (status == 0 && kind != PlatformFileKind::missing) {
        // The current file first, whole, under a name of its own.
        std::string current;
        PlatformError read{};
        if (!read_all(target, current, read)) {
            std::fprintf(stderr, "quillfen-markers: cannot read %s: %s\nNothing was changed.\n", target.c_str(),
                         error_name(read).c_str());
            status = 2;
        } else {
            char base[1024], name[1040];
            TextBuilder b = text_builder(base, sizeof base);
            append_kept_copy_name(b, target, replaced_copy_infix, platform_now_ns());
            TextBuilder chosen = text_builder(name, sizeof name);
            const std::string copying = target + copying_suffix;
            const PlatformError e = keep_under_new_name(copying.c_str(), base, current.data(), current.size(), chosen);
            if (e.code != 0) {
                std::fprintf(stderr, "quillfen-markers: cannot keep a copy of %s: %s\nNothing was changed.\n",
                             target.c_str(), error_name(e).c_str());
                status = 2;
            } else {
                std::printf("Kept the current %s as %s\n", markers_file_name, name + folder.size() + 1);
            }
        }
    }
    if (status == 0) {
        const std::string saving = target + saving_suffix;
        const PlatformError e = write_whole_file(saving.c_str(), target.c_str(), text.data, text.length, true);
        if (e.code != 0) {
            std::fprintf(stderr, "quillfen-markers: cannot write %s: %s; it is as it was\n", target.c_str(),
                         error_name(e).c_str());
            status = 2;
        } else {
            std::printf("Restored %zu markers from %s into %s\n", source.count, from.c_str(), markers_file_name);
        }
    }
    free_markers_text(text, heap_allocator());
    std::printf(
        "The game must be closed while restoring: a running game writes its own markers over\n"
        "%s at its next change. Start it again to see the restored markers.\n",
        markers_file_name);
    return status;
}

// ---- merge and export ------------------------------------------------------------------------

static int run_merge(const std::string& into, const std::vector<std::string>& from) {
    // Everything is loaded before anything is written.
    MarkersData base{};
    std::vector<MarkersData> packs(from.size());
    bool all = true;
    if (platform_file_info(into.c_str()).kind != PlatformFileKind::missing) {
        const Loaded l = load_markers_file(into, &base);
        if (!l.loads) {
            std::printf("%s cannot be loaded: %s\n", into.c_str(), l.why.c_str());
            all = false;
        }
    }
    for (std::size_t i = 0; i < from.size(); ++i) {
        const Loaded l = load_markers_file(from[i], &packs[i]);
        if (!l.loads) {
            std::printf("%s cannot be loaded: %s\n", from[i].c_str(), l.why.c_str());
            all = false;
        }
    }
    auto free_all = [&] {
        free_markers_data(base, heap_allocator());
        for (MarkersData& p : packs) free_markers_data(p, heap_allocator());
    };
    if (!all) {
        std::printf("Nothing was written.\n");
        free_all();
        return 1;
    }

    // The names stay with the loaded data, which outlives the write.
    std::vector<MarkerDataV1> merged(base.records, base.records + base.count);
    SpacingGrid grid{};
    std::size_t total = merged.size();
    for (const MarkersData& p : packs) total += p.count;
    (void)spacing_grid_reserve(grid, heap_allocator(), total);
    for (const MarkerDataV1& m : merged) {
        if (!spacing_grid_add(grid, heap_allocator(), m.position)) all = false;
    }
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < from.size(); ++i) {
        std::size_t added = 0, not_finite = 0;
        for (std::size_t j = 0; j < packs[i].count; ++j) {
            switch (admit_pack_marker(grid, heap_allocator(), packs[i].records[j].position)) {
                case PackMarkerVerdict::added:
                    merged.push_back(packs[i].records[j]);
                    ++added;
                    break;
                case PackMarkerVerdict::too_close: break;
                case PackMarkerVerdict::not_finite: ++not_finite; break;
                case PackMarkerVerdict::out_of_memory: all = false; break;
            }
        }
        std::string line =
            "Added " + std::to_string(added) + " of " + std::to_string(packs[i].count) + " markers from " + from[i];
        if (not_finite > 0) line += " (" + std::to_string(not_finite) + " left out: position not a finite number)";
        lines.push_back(line);
    }
    spacing_grid_free(grid);
    MarkersText text{};
    if (!all || serialize_markers(merged.data(), merged.size(), heap_allocator(), text) != SerializeError::none) {
        std::fprintf(stderr, "quillfen-markers: out of memory\n");
        free_all();
        return 2;
    }
    const PlatformError e =
        write_whole_file((into + saving_suffix).c_str(), into.c_str(), text.data, text.length, true);
    free_markers_text(text, heap_allocator());
    free_all();
    if (e.code != 0) {
        std::fprintf(stderr, "quillfen-markers: cannot write %s: %s; it is as it was\n", into.c_str(),
                     error_name(e).c_str());
        return 2;
    }
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    std::printf("%s holds %zu markers\n", into.c_str(), merged.size());
    return 0;
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
    MarkersData data{};
    const MarkersFileRead r = read_markers_file(file.c_str(), heap_allocator(), data);
    if (r.read.code != 0) {
        std::fprintf(stderr, "quillfen-markers: cannot read %s: %s\n", file.c_str(), error_name(r.read).c_str());
        return 2;
    }
    if (r.loaded != DeserializeError::none) {
        std::fprintf(stderr, "quillfen-markers: %s cannot be loaded: %s\n", file.c_str(), r.why);
        return 1;
    }
    std::vector<std::string> left_out;
    const std::string out = export_markers(data, format == "csv" ? ExportFormat::csv : ExportFormat::geojson, left_out);
    free_markers_data(data, heap_allocator());
    for (const std::string& line : left_out) std::fprintf(stderr, "quillfen-markers: %s\n", line.c_str());
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

// ---- the commands ---------------------------------------------------------------------------

int run_tool(const std::vector<std::string>& arguments) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        std::fputs(help_text, stdout);
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        std::printf("quillfen-markers %s\n", QF_VERSION_TEXT);
        return 0;
    }
    if (arguments.size() == 2 && arguments[0] == "status") return run_status(arguments[1]);
    if (arguments.size() == 3 && arguments[0] == "restore") return run_restore(arguments[1], arguments[2]);
    if (!arguments.empty() && arguments[0] == "merge") {
        if (arguments.size() < 3) return usage_error("merge takes INTO and at least one FROM");
        return run_merge(arguments[1], std::vector<std::string>(arguments.begin() + 2, arguments.end()));
    }
    if (!arguments.empty() && arguments[0] == "export") return run_export(arguments);
    if (arguments.size() != 2) return usage_error("expected a command and a file");
    const std::string& command = arguments[0];
    if (command != "parse" && command != "check" && command != "format") return usage_error("unknown command");
    std::string text;
    PlatformError read{};
    if (!read_all(arguments[1], text, read)) {
        std::fprintf(stderr, "quillfen-markers: cannot read %s: %s\n", arguments[1].c_str(), error_name(read).c_str());
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
    MarkersFileRead loaded{};
    load_markers_text(loaded, text, heap, data);
    if (loaded.loaded != DeserializeError::none) {
        std::printf("%s\n", loaded.why);
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
