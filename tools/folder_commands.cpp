#include "tools/folder_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "src/file_formats/marker_copies.h"
#include "src/file_formats/marker_identity.h"
#include "src/file_formats/marker_pack_merge.h"
#include "src/file_formats/marker_spacing.h"
#include "src/file_formats/settings_file.h"
#include "src/platform/local_time.h"
#include "tools/tool_files.h"
#include "tools/tool_platform.h"

// Sections: the folder · status · writing a player's file · restore · merge · undelete.

// ---- the folder ----------------------------------------------------------------------------------

static std::string in_folder(const std::string& folder, const std::string& name) { return folder + "/" + name; }

// Says what a command that takes the Quillfen folder got instead; true when it is one.
static bool is_quillfen_folder(const std::string& folder, const char* command) {
    const PlatformFileKind kind = platform_file_info(folder.c_str()).kind;
    if (kind == PlatformFileKind::directory) return true;
    if (kind == PlatformFileKind::missing) {
        std::fprintf(stderr,
                     "quillfen-markers: there is no folder %s. %s expects the Quillfen folder in the game folder "
                     "(beside RDR2.exe); in that folder: quillfen-markers %s .\n",
                     shown_path(folder).c_str(), command, command);
    } else {
        std::fprintf(stderr,
                     "quillfen-markers: %s is not a folder. %s expects the Quillfen folder, the one that holds "
                     "%s; in that folder: quillfen-markers %s .\n",
                     shown_path(folder).c_str(), command, markers_file_name, command);
    }
    return false;
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

// ---- status --------------------------------------------------------------------------------------------

// What a deleted marker is called where the tool names it: its name, or its
// category's name for one without (the tool knows no places).
static std::string deleted_label(const MarkerDataV1& m) {
    if (marker_has_name(m)) return m.name;
    const char* category = category_name(m.category);
    return category ? category : "category " + std::to_string(m.category);
}

// The deleted markers of `data`, newest first (by the time of the delete, then later in the file).
static std::vector<std::size_t> newest_deleted_first(const MarkersData& data) {
    std::vector<std::size_t> order(data.count);
    for (std::size_t i = 0; i < data.count; ++i) order[i] = data.count - 1 - i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return data.deleted_ns[a] > data.deleted_ns[b]; });
    return order;
}

// Markers by the game's rule of the same marker (marker_identity.h).
struct MarkerSet {
    MarkerTable table{};
    MarkerSet() = default;
    MarkerSet(const MarkerSet&) = delete;
    MarkerSet& operator=(const MarkerSet&) = delete;
    ~MarkerSet() { marker_table_free(table); }
    void add(const MarkerDataV1& m) {
        if (!marker_table_add(table, heap_allocator(), m, 0)) throw std::bad_alloc();
    }
    bool has(const MarkerDataV1& m) const { return marker_table_find(table, m) != nullptr; }
};

// The deleted markers still to offer, newest first, as the game offers them:
// one per marker (its newest delete), and none that `markers` holds again.
static std::vector<std::size_t> deleted_to_offer(const MarkersData& deleted, const MarkersData& markers) {
    MarkerSet seen;
    for (std::size_t i = 0; i < markers.count; ++i) seen.add(markers.records[i]);
    std::vector<std::size_t> offered;
    for (const std::size_t i : newest_deleted_first(deleted)) {
        if (seen.has(deleted.records[i])) continue;
        seen.add(deleted.records[i]);
        offered.push_back(i);
    }
    return offered;
}

static std::string local_time_text(std::int64_t unix_ns);

// The file `name` of `folder` as an argument of a command the tool suggests.
// When no quoting of the folder's path is safe, the name alone, and `here`
// says that the command is to be run in that folder.
static std::string typed_in_folder(const std::string& folder, const std::string& name, bool& here) {
    std::string typed;
    if (typed_argument(folder == "." ? name : in_folder(folder, name), typed)) return typed;
    here = true;
    (void)typed_argument(name, typed);  // the folder's own files: plain names
    return typed;
}

// The marker `i` of deleted.json as undelete's argument: its label, or, when
// that cannot be typed safely or is not printed whole, its place in the file.
static std::string undelete_argument(const MarkersData& d, std::size_t i) {
    const std::string label = deleted_label(d.records[i]);
    std::string typed;
    if (shown(label) == label && typed_argument(label, typed)) return typed;
    return std::string(undelete_entry_option) + " " + std::to_string(i + 1);
}

// The markers deleted in the game (deleted.json): how many, the newest few,
// and how to bring one or all back. Those that markers.json holds again are
// not counted.
static void print_deleted(const std::string& folder) {
    constexpr std::size_t newest_shown = 5;
    const std::string path = in_folder(folder, deleted_file_name);
    if (platform_file_info(path.c_str()).kind == PlatformFileKind::missing) return;
    LoadedFile f = load_file(path, true);
    if (!f.read || !f.loads) {
        std::printf("%s: %s\n", deleted_file_name, f.why.c_str());
        free_markers_data(f.data, heap_allocator());
        return;
    }
    // A markers.json that cannot be loaded holds none of them.
    MarkersData markers{};
    (void)read_markers_file(in_folder(folder, markers_file_name).c_str(), heap_allocator(), markers);
    const MarkersData& d = f.data;
    const std::vector<std::size_t> order = deleted_to_offer(d, markers);
    free_markers_data(markers, heap_allocator());
    std::printf("%s: %zu %s deleted in the game%s\n", deleted_file_name, order.size(),
                counted_noun(static_cast<std::int64_t>(order.size()), "marker", "markers"),
                order.empty() ? "" : ", the newest first:");
    for (std::size_t k = 0; k < order.size() && k < newest_shown; ++k) {
        const std::size_t i = order[k];
        std::printf("  %s  (deleted %s)\n", shown(deleted_label(d.records[i])).c_str(),
                    local_time_text(d.deleted_ns[i]).c_str());
    }
    if (!order.empty()) {
        bool here = false;
        const std::string markers_typed = typed_in_folder(folder, markers_file_name, here);
        const std::string deleted = typed_in_folder(folder, deleted_file_name, here);
        const char* const where = here ? ", in a command prompt in that folder" : "";
        std::printf(
            "To put one back (close the game first%s): quillfen-markers undelete %s %s\n"
            "To put them all back: quillfen-markers merge %s %s\n",
            where, markers_typed.c_str(), undelete_argument(d, order[0]).c_str(), markers_typed.c_str(),
            deleted.c_str());
    }
    free_markers_data(f.data, heap_allocator());
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

// The settings the game runs with from this folder, and each line the game's
// log would give about the file, in the log's words.
static void print_settings(const std::string& folder) {
    const std::string path = in_folder(folder, settings_file_name);
    std::vector<std::string> complaints;
    const SettingsFileRead r = read_settings_file(
        path.c_str(), heap_allocator(),
        [](void* data, std::string_view line) { static_cast<std::vector<std::string>*>(data)->emplace_back(line); },
        &complaints);
    if (r.state == SettingsFileState::missing) {
        // Before the game's first start nothing is said about it.
        if (platform_file_info(in_folder(folder, log_file_name).c_str()).kind == PlatformFileKind::missing) return;
        std::printf(
            "Settings: %s is not there, so every setting is at its default; the game writes it at its next "
            "start.\n",
            settings_file_name);
    } else if (r.state == SettingsFileState::read) {
        std::printf("Settings in force (from %s):\n", settings_file_name);
    } else {
        std::printf("Settings in force: every setting at its default (%s is not read):\n", settings_file_name);
    }
    for (std::size_t k = 0; k < settings_key_count; ++k) {
        char value[128];
        TextBuilder b = text_builder(value, sizeof value);
        append_settings_value_shown(b, r.settings, static_cast<SettingsKey>(k));
        std::printf("  %s =%s%s\n", settings_key_names[k], b.length > 0 ? " " : "", value);
    }
    for (const std::string& line : complaints) std::printf("%s\n", shown_path(line).c_str());
}

// Each pack of the markers file, in the order its first marker stands: "  Dinosaur bones  1 of 3 found".
static void print_packs(const std::string& path) {
    MarkersData data{};
    const MarkersFileRead r = read_markers_file(path.c_str(), heap_allocator(), data);
    if (!markers_file_loaded(r)) return;
    std::vector<std::pair<std::string, std::pair<std::size_t, std::size_t>>> packs;  // name, found, total
    for (std::size_t i = 0; i < data.count; ++i) {
        const MarkerDataV1& m = data.records[i];
        if (!marker_has_pack(m)) continue;
        auto it = std::find_if(packs.begin(), packs.end(), [&](const auto& p) { return p.first == m.pack; });
        if (it == packs.end()) it = packs.insert(packs.end(), {m.pack, {0, 0}});
        it->second.first += m.is_found ? 1 : 0;
        ++it->second.second;
    }
    free_markers_data(data, heap_allocator());
    if (packs.empty()) return;
    std::printf("Packs in %s:\n", markers_file_name);
    std::size_t width = 0;
    for (auto& p : packs) {
        p.first = shown(p.first);
        width = std::max(width, characters_in(p.first));
    }
    for (const auto& p : packs) {
        std::printf("  %s  %zu of %zu found\n", padded(p.first, width).c_str(), p.second.first, p.second.second);
    }
}

int run_status(const std::string& folder) {
    if (!is_quillfen_folder(folder, "status")) return exit_cannot;
    struct Row {
        std::string name;
        std::int64_t modified_ns;
        MarkersFileOutcome outcome;
        std::string what;  // the number of markers, or why not
    };
    std::vector<Row> rows;
    auto add = [&](const std::string& name, const std::string& path) {
        MarkersData data{};
        const MarkersFileRead r = read_markers_file(path.c_str(), heap_allocator(), data);
        const bool loads = markers_file_loaded(r);
        rows.push_back(Row{name, platform_file_info(path.c_str()).modified_ns, r.outcome,
                           loads ? std::to_string(data.count) + " " +
                                       counted_noun(static_cast<std::int64_t>(data.count), "marker", "markers")
                                 : std::string(r.why)});
        free_markers_data(data, heap_allocator());
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
    for (const Row& r : rows) width = std::max(width, characters_in(shown_path(r.name)));
    int status = exit_done;
    for (const Row& r : rows) {
        std::printf("%s  %s  %s\n", padded(shown_path(r.name), width).c_str(), local_time_text(r.modified_ns).c_str(),
                    r.what.c_str());
        if (r.name == markers_file_name && r.outcome != MarkersFileOutcome::read) {
            status = r.outcome == MarkersFileOutcome::damaged ? exit_not_loaded : exit_cannot;
        }
    }
    if (status == exit_cannot) {
        std::fprintf(stderr,
                     "quillfen-markers: %s cannot be read (its line says why), so the game cannot load it either. "
                     "Close any program that holds it; if it is not your markers file, move it out of the way. "
                     "Then run status again.\n",
                     markers_file_name);
    }
    // The newest copy of what the game held at a quit that could not save:
    // restore puts it in place whole, with that run's changes; a merge would
    // add its new markers only.
    const auto unsaved = std::find_if(rows.begin(), rows.end(), [](const Row& r) {
        return r.outcome == MarkersFileOutcome::read &&
               kept_copy_order(r.name.c_str(), markers_file_name, unsaved_copy_infix) != 0;
    });
    if (unsaved != rows.end()) {
        const auto file =
            std::find_if(rows.begin(), rows.end(), [](const Row& r) { return r.name == markers_file_name; });
        bool here = false;
        std::string dir = ".";
        if (folder != "." && !typed_argument(folder, dir)) {
            dir = ".";
            here = true;
        }
        const std::string copy = typed_in_folder(folder, unsaved->name, here);
        const std::string markers = typed_in_folder(folder, markers_file_name, here);
        const char* const where = here ? ", in a command prompt in that folder" : "";
        std::printf(
            "%s holds your markers as the game held them when it quit without saving\n"
            "them: with that run's new markers, deletes, renames, moves, notes and found marks.\n",
            unsaved->name.c_str());
        if (file == rows.end()) {
            std::printf(
                "To make them your %s, close the game and run%s:\n"
                "    quillfen-markers restore %s %s\n"
                "Then you may delete the copy.\n",
                markers_file_name, where, dir.c_str(), unsaved->name.c_str());
        } else if (file->modified_ns <= unsaved->modified_ns) {
            std::printf(
                "To put them in the place of %s, close the game and run%s:\n"
                "    quillfen-markers restore %s %s\n"
                "What %s holds now (your markers as last saved before that run) is kept as\n"
                "%s.replaced-YYYYMMDD-HHMMSS, the undo. Then you may delete the copy.\n",
                markers_file_name, where, dir.c_str(), unsaved->name.c_str(), markers_file_name, markers_file_name);
        } else {
            std::printf(
                "%s was saved after it, so putting the copy in its place would also take back what\n"
                "changed since (what %s holds would be kept as %s.replaced-YYYYMMDD-HHMMSS,\n"
                "the undo). To do so, close the game and run%s:\n"
                "    quillfen-markers restore %s %s\n"
                "Or, to add only the copy's markers that %s lacks (none within 1 metre of one of yours,\n"
                "and none of that run's deletes, renames, moves, notes or found marks):\n"
                "    quillfen-markers merge %s %s\n",
                markers_file_name, markers_file_name, markers_file_name, where, dir.c_str(), unsaved->name.c_str(),
                markers_file_name, markers.c_str(), copy.c_str());
        }
    }
    if (rows.empty()) {
        std::printf("No markers files in %s yet.\n", shown_path(folder).c_str());
        if (platform_file_info(in_folder(folder, log_file_name).c_str()).kind == PlatformFileKind::missing) {
            std::printf(
                "Quillfen has not run here yet. Start the game once with Quillfen installed (Quillfen.asi,\n"
                "ScriptHookRDR2.dll and an ASI loader beside RDR2.exe): it writes %s in this folder,\n"
                "and %s with your first marker.\n",
                log_file_name, markers_file_name);
        } else {
            std::printf("Quillfen has run here (see %s), but no marker was added yet: %s comes with the first.\n",
                        log_file_name, markers_file_name);
        }
    }
    print_packs(in_folder(folder, markers_file_name));
    print_deleted(folder);
    print_settings(folder);
    return status;
}

// ---- writing a player's file -------------------------------------------------------------------------

// A write that replaces `path` failed: what failed, that nothing changed, and what to do.
static void report_failed_write(const Replacement& r, const std::string& path) {
    std::fprintf(stderr, "quillfen-markers: %s %s: %s. Nothing was changed: %s is as it was.\n%s\n",
                 r.copy_failed ? "cannot keep a copy of" : "cannot write", shown_path(path).c_str(),
                 error_name(r.error).c_str(), shown_path(name_of(path)).c_str(), write_hint(r.error, path).c_str());
}

// Once the new file is in place: where its undo is, and the older copies that went.
static void report_undo(const Replacement& r, const std::string& path, const std::string& undo) {
    if (!r.kept.empty()) {
        std::printf("Kept what %s held as %s (%s).\n", shown_path(name_of(path)).c_str(), shown_path(r.kept).c_str(),
                    undo.c_str());
    }
    for (const std::string& line : prune_replaced_copies(path)) std::printf("%s\n", shown_path(line).c_str());
}

// How to undo a write of `path`: for the game's markers.json a restore of the
// copy `kept`, as a command prompt takes it; for another file, by hand.
static std::string undo_text(const std::string& path, const std::string& kept) {
    std::string folder, copy;
    if (name_of(path) != markers_file_name || !typed_argument(kept, copy)) {
        return "to undo, put it back in the place of " + shown_path(name_of(path));
    }
    if (typed_argument(folder_of(path), folder)) return "to undo: quillfen-markers restore " + folder + " " + copy;
    return "to undo, in a command prompt in that folder: quillfen-markers restore . " + copy;
}

static void say_game_must_be_closed(const char* doing, const char* then) {
    std::printf(
        "The game must be closed while %s: a running game writes its own markers over\n"
        "%s at its next change. %s\n",
        doing, markers_file_name, then);
}

// ---- restore --------------------------------------------------------------------------------------------

int run_restore(const std::string& folder, std::string from) {
    if (!is_quillfen_folder(folder, "restore")) return exit_cannot;
    // A name as status shows it works from anywhere.
    if (platform_file_info(from.c_str()).kind == PlatformFileKind::missing &&
        platform_file_info(in_folder(folder, from).c_str()).kind != PlatformFileKind::missing) {
        from = in_folder(folder, from);
    }
    LoadedFile source = load_file(from);
    if (!source.read || !source.loads) {
        if (!source.read) std::printf("%s.\nNothing was changed.\n", source.why.c_str());
        else
            std::printf("%s cannot be loaded: %s\nNothing was changed.\n", shown_path(from).c_str(),
                        source.why.c_str());
        return exit_for(source);
    }
    MarkersText text{};
    const bool made =
        serialize_markers(source.data.records, source.data.count, heap_allocator(), text) == SerializeError::none;
    const std::size_t count = source.data.count;
    free_markers_data(source.data, heap_allocator());
    if (!made) {
        std::fprintf(stderr, "quillfen-markers: out of memory\n");
        return exit_cannot;
    }
    const std::string restored(text.data, text.length);
    free_markers_text(text, heap_allocator());

    const std::string target = in_folder(folder, markers_file_name);
    const PlatformFileKind kind = platform_file_info(target.c_str()).kind;
    std::string current, why;
    if (obstacle_description(kind) || (kind != PlatformFileKind::missing && !read_text(target, current, why))) {
        if (why.empty()) {
            char obstacle[96];
            TextBuilder b = text_builder(obstacle, sizeof obstacle);
            describe_obstacle(b, kind);
            why = shown_path(target) + " is " + obstacle + ": move it out of the way first";
        }
        std::printf("%s.\nNothing was changed.\n", why.c_str());
        return exit_cannot;
    }
    const Replacement r = replace_with_undo(target, kind == PlatformFileKind::missing ? nullptr : &current, restored);
    if (!r.written) {
        report_failed_write(r, target);
        return exit_cannot;
    }
    std::printf("Restored %zu %s from %s into %s.\n", count,
                counted_noun(static_cast<std::int64_t>(count), "marker", "markers"), shown_path(from).c_str(),
                markers_file_name);
    report_undo(r, target, undo_text(target, r.kept));
    say_game_must_be_closed("restoring", "Start it again to see the restored markers.");
    return exit_done;
}

// ---- merge ----------------------------------------------------------------------------------------------

// After a merge into the game's markers.json: the markers it holds now leave
// the deleted.json of its folder that the merge took them from (as the
// game's undo takes them out), so that neither the game nor status offers
// them again. Written after markers.json, so that a marker is never in neither.
static void take_out_of_deleted_file(const std::string& path, const MarkerSet& holds, const std::string& into) {
    LoadedFile f = load_file(path, true);
    std::vector<MarkerDataV1> rest;
    std::vector<std::int64_t> rest_ns;
    if (f.read && f.loads) {
        for (std::size_t i = 0; i < f.data.count; ++i) {
            if (holds.has(f.data.records[i])) continue;
            rest.push_back(f.data.records[i]);
            rest_ns.push_back(f.data.deleted_ns[i]);
        }
    }
    const std::size_t back = f.data.count - rest.size();
    MarkersText text{};
    const bool made = back > 0 && serialize_markers(rest.data(), rest.size(), heap_allocator(), text, rest_ns.data()) ==
                                      SerializeError::none;
    free_markers_data(f.data, heap_allocator());
    if (!made) return;  // nothing to take out (out of memory: it lists them a while longer, which loses nothing)
    const std::string saving = path + saving_suffix;
    const PlatformError e = write_whole_file(saving.c_str(), path.c_str(), text.data, text.length, true);
    free_markers_text(text, heap_allocator());
    if (e.code != 0) {
        std::printf("%s still lists them (it could not be written: %s); that loses nothing.\n", path.c_str(),
                    error_name(e).c_str());
    } else {
        std::printf("%s no longer lists the %zu %s that %s holds now.\n", path.c_str(), back,
                    back == 1 ? "marker" : "markers", name_of(into).c_str());
    }
}

int run_merge(const std::string& into, const std::vector<std::string>& from) {
    // Everything is loaded before anything is written.
    const PlatformFileKind into_kind = platform_file_info(into.c_str()).kind;
    LoadedFile base{true, true, {}, {}, MarkersData{}, MarkersFileOutcome::read};
    std::vector<LoadedFile> packs;
    int status = exit_done;
    auto failed = [&](const LoadedFile& f, const std::string& path) {
        if (!f.read) std::printf("%s.\n", f.why.c_str());
        else std::printf("%s cannot be loaded: %s\n", shown_path(path).c_str(), f.why.c_str());
        status = std::max(status, exit_for(f));
    };
    if (into_kind != PlatformFileKind::missing) {
        base = load_file(into);
        if (!base.read || !base.loads) failed(base, into);
    }
    for (const std::string& path : from) {
        packs.push_back(load_file(path));
        if (!packs.back().read || !packs.back().loads) failed(packs.back(), path);
    }
    auto free_all = [&] {
        free_markers_data(base.data, heap_allocator());
        for (LoadedFile& p : packs) free_markers_data(p.data, heap_allocator());
    };
    if (status != exit_done) {
        std::printf("Nothing was written.\n");
        free_all();
        return status;
    }

    // The names stay with the loaded data, which outlives the write.
    // The merge of the game's import, pack after pack into the same list.
    std::vector<MarkerDataV1> merged(base.data.records, base.data.records + base.data.count);
    SpacingGrid grid{};
    bool whole =
        fill_spacing_grid(grid, heap_allocator(), merged.size(), [&](std::size_t i) { return merged[i].position; });
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < from.size() && whole; ++i) {
        const MarkersData& pack = packs[i].data;
        // As the game's import does: each marker keeps the pack's name.
        if (!name_pack_records(pack.records, pack.count, pack_name_of_file(from[i]), heap_allocator())) {
            whole = false;
            break;
        }
        const PackMergeCounts counts = merge_pack_records(grid, heap_allocator(), pack.records, pack.count,
                                                          [&](MarkerDataV1& record) { merged.push_back(record); });
        whole = counts.whole;
        std::string line = "Added " + std::to_string(counts.added) + " of " + std::to_string(pack.count) + " " +
                           counted_noun(static_cast<std::int64_t>(pack.count), "marker", "markers") + " from " +
                           shown_path(from[i]);
        if (counts.not_finite > 0) {
            line += " (" + std::to_string(counts.not_finite) + " left out: position not a finite number)";
        }
        lines.push_back(line);
    }
    spacing_grid_free(grid);
    const bool game_file = name_of(into) == markers_file_name;
    // The deleted.json beside the game's markers.json, when it is merged.
    std::vector<std::string> deleted_files;
    MarkerSet holds;
    for (const std::string& path : from) {
        if (game_file && name_of(path) == deleted_file_name && folder_of(path) == folder_of(into)) {
            deleted_files.push_back(path);
        }
    }
    if (!deleted_files.empty()) {
        for (const MarkerDataV1& m : merged) holds.add(m);
    }
    MarkersText text{};
    if (!whole || serialize_markers(merged.data(), merged.size(), heap_allocator(), text) != SerializeError::none) {
        std::fprintf(stderr, "quillfen-markers: out of memory\n");
        free_all();
        return exit_cannot;
    }
    const std::string written(text.data, text.length);
    free_markers_text(text, heap_allocator());
    free_all();

    const bool exists = into_kind != PlatformFileKind::missing;
    if (exists && written == base.text) {
        // Nothing new, and already in the game's layout: no write, no copy.
        for (const std::string& line : lines) std::printf("%s\n", line.c_str());
        std::printf("%s holds %zu %s; it was not changed\n", shown_path(into).c_str(), merged.size(),
                    counted_noun(static_cast<std::int64_t>(merged.size()), "marker", "markers"));
        for (const std::string& path : deleted_files) take_out_of_deleted_file(path, holds, into);
        return exit_done;
    }
    const Replacement r = replace_with_undo(into, exists ? &base.text : nullptr, written);
    if (!r.written) {
        report_failed_write(r, into);
        return exit_cannot;
    }
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    std::printf("%s holds %zu %s\n", shown_path(into).c_str(), merged.size(),
                counted_noun(static_cast<std::int64_t>(merged.size()), "marker", "markers"));
    for (const std::string& path : deleted_files) take_out_of_deleted_file(path, holds, into);
    report_undo(r, into, undo_text(into, r.kept));
    if (game_file) say_game_must_be_closed("merging", "Start it again to see the added markers.");
    return exit_done;
}

// ---- unfound ----------------------------------------------------------------------------------------------

int run_unfound(const std::string& file, const std::string& pack) {
    LoadedFile f = load_file(file);
    if (!f.read || !f.loads) {
        if (!f.read) std::printf("%s.\n", f.why.c_str());
        else std::printf("%s cannot be loaded: %s\n", shown_path(file).c_str(), f.why.c_str());
        std::printf("Nothing was written.\n");
        free_markers_data(f.data, heap_allocator());
        return exit_for(f);
    }
    std::size_t in_pack = 0, cleared = 0;
    for (std::size_t i = 0; i < f.data.count; ++i) {
        MarkerDataV1& m = f.data.records[i];
        if (!marker_has_pack(m) || pack != m.pack) continue;
        ++in_pack;
        if (!m.is_found) continue;
        m.is_found = false;
        m.found._nsec = 0;
        ++cleared;
    }
    if (in_pack == 0) {
        free_markers_data(f.data, heap_allocator());
        std::printf(
            "%s holds no marker of the pack \"%s\"; it was not changed. quillfen-markers status lists the "
            "packs of a Quillfen folder.\n",
            shown_path(file).c_str(), shown(pack).c_str());
        return exit_done;
    }
    if (cleared == 0) {
        free_markers_data(f.data, heap_allocator());
        if (in_pack == 1) {
            std::printf("%s: the one marker of %s is not found; it was not changed\n", shown_path(file).c_str(),
                        shown(pack).c_str());
        } else {
            std::printf("%s: none of the %zu markers of %s is found; it was not changed\n", shown_path(file).c_str(),
                        in_pack, shown(pack).c_str());
        }
        return exit_done;
    }
    MarkersText text{};
    const bool serialized =
        serialize_markers(f.data.records, f.data.count, heap_allocator(), text) == SerializeError::none;
    free_markers_data(f.data, heap_allocator());
    if (!serialized) {
        std::fprintf(stderr, "quillfen-markers: out of memory\n");
        return exit_cannot;
    }
    const std::string written(text.data, text.length);
    free_markers_text(text, heap_allocator());
    const Replacement r = replace_with_undo(file, &f.text, written);
    if (!r.written) {
        report_failed_write(r, file);
        return exit_cannot;
    }
    const bool game_file = name_of(file) == markers_file_name;
    std::printf("Cleared the found marks of %zu of the %zu %s of %s in %s\n", cleared, in_pack,
                counted_noun(static_cast<std::int64_t>(in_pack), "marker", "markers"), shown(pack).c_str(),
                shown_path(file).c_str());
    report_undo(r, file, undo_text(file, r.kept));
    if (game_file) say_game_must_be_closed("clearing found marks", "Start it again to find them anew.");
    return exit_done;
}

// ---- undelete ---------------------------------------------------------------------------------------

int run_undelete(const std::string& into, std::string label, std::size_t entry) {
    const std::string deleted_file = in_folder(folder_of(into), deleted_file_name);
    LoadedFile deleted = load_file(deleted_file, true);
    LoadedFile base{true, true, {}, {}, MarkersData{}, MarkersFileOutcome::read};
    const PlatformFileKind into_kind = platform_file_info(into.c_str()).kind;
    if (into_kind != PlatformFileKind::missing) base = load_file(into);
    auto free_all = [&] {
        free_markers_data(deleted.data, heap_allocator());
        free_markers_data(base.data, heap_allocator());
    };
    for (const auto* f : {&deleted, &base}) {
        if (f->read && f->loads) continue;
        const std::string& path = f == &deleted ? deleted_file : into;
        if (!f->read) std::printf("%s.\nNothing was changed.\n", f->why.c_str());
        else std::printf("%s cannot be loaded: %s\nNothing was changed.\n", shown_path(path).c_str(), f->why.c_str());
        const int status = exit_for(*f);
        free_all();
        return status;
    }
    const MarkersData& d = deleted.data;
    // As status lists them: one per marker, none that markers.json holds again.
    const std::vector<std::size_t> order = deleted_to_offer(d, base.data);
    if (entry > d.count) {
        std::printf("%s holds %zu %s: there is no marker %zu in it.\nNothing was changed.\n",
                    shown_path(deleted_file).c_str(), d.count,
                    counted_noun(static_cast<std::int64_t>(d.count), "marker", "markers"), entry);
        free_all();
        return exit_cannot;
    }
    if (entry > 0) label = deleted_label(d.records[entry - 1]);
    // An entry stands for its marker: an older copy of one offered is that one.
    const auto matches = [&](std::size_t i) {
        return entry > 0 ? same_marker(d.records[i], d.records[entry - 1]) : deleted_label(d.records[i]) == label;
    };
    const auto found = std::find_if(order.begin(), order.end(), matches);
    if (found == order.end()) {
        const std::vector<std::size_t> all = newest_deleted_first(d);
        if (std::any_of(all.begin(), all.end(), matches)) {
            std::printf("%s is back already: %s holds it.\nNothing was changed.\n", shown(label).c_str(),
                        shown_path(name_of(into)).c_str());
            free_all();
            return exit_done;
        }
        std::printf("No marker called \"%s\" in %s (", shown(label).c_str(), shown_path(deleted_file).c_str());
        if (order.empty()) std::printf("it holds none");
        for (std::size_t k = 0; k < order.size() && k < 5; ++k) {
            std::printf("%s\"%s\"", k == 0 ? "the newest: " : ", ", shown(deleted_label(d.records[order[k]])).c_str());
        }
        std::printf(").\nNothing was changed.\n");
        free_all();
        return exit_cannot;
    }
    const MarkerDataV1& back = d.records[*found];
    // Another marker in its place: not a second one there.
    for (std::size_t i = 0; i < base.data.count; ++i) {
        if (distance_squared(base.data.records[i].position, back.position) < minimum_spacing_squared) {
            std::printf("%s is back already: a marker of %s lies within 1 metre of it.\nNothing was changed.\n",
                        shown(label).c_str(), shown_path(name_of(into)).c_str());
            free_all();
            return exit_done;
        }
    }
    // Where it came from: before the first marker made after it (the game's list is in order of arrival).
    std::vector<MarkerDataV1> merged(base.data.records, base.data.records + base.data.count);
    const auto at = std::find_if(merged.begin(), merged.end(),
                                 [&](const MarkerDataV1& m) { return m.timestamp._nsec > back.timestamp._nsec; });
    merged.insert(at, back);
    // deleted.json without it (nor an older delete of it): written once the
    // marker is in place, so that it is never in neither.
    std::vector<MarkerDataV1> kept;
    std::vector<std::int64_t> kept_ns;
    for (std::size_t i = 0; i < d.count; ++i) {
        if (same_marker(d.records[i], back)) continue;
        kept.push_back(d.records[i]);
        kept_ns.push_back(d.deleted_ns[i]);
    }
    MarkersText text{}, rest{};
    const bool made =
        serialize_markers(merged.data(), merged.size(), heap_allocator(), text) == SerializeError::none &&
        serialize_markers(kept.data(), kept.size(), heap_allocator(), rest, kept_ns.data()) == SerializeError::none;
    const std::string deleted_at = local_time_text(d.deleted_ns[*found]);
    free_all();
    if (!made) {
        free_markers_text(text, heap_allocator());
        free_markers_text(rest, heap_allocator());
        std::fprintf(stderr, "quillfen-markers: out of memory\n");
        return exit_cannot;
    }
    const std::string written(text.data, text.length), remaining(rest.data, rest.length);
    free_markers_text(text, heap_allocator());
    free_markers_text(rest, heap_allocator());
    const Replacement r =
        replace_with_undo(into, into_kind != PlatformFileKind::missing ? &base.text : nullptr, written);
    if (!r.written) {
        report_failed_write(r, into);
        return exit_cannot;
    }
    std::printf("Restored %s (deleted %s) into %s.\n", shown(label).c_str(), deleted_at.c_str(),
                shown_path(into).c_str());
    const std::string saving = deleted_file + saving_suffix;
    const PlatformError e =
        write_whole_file(saving.c_str(), deleted_file.c_str(), remaining.data(), remaining.size(), true);
    if (e.code != 0) {
        std::printf("%s still lists it (it could not be written: %s); that loses nothing.\n",
                    shown_path(deleted_file).c_str(), error_name(e).c_str());
    }
    const bool game_file = name_of(into) == markers_file_name;
    report_undo(r, into, undo_text(into, r.kept));
    if (game_file) say_game_must_be_closed("undeleting", "Start it again to see the marker.");
    return exit_done;
}
