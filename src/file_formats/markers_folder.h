// The Quillfen folder as the plug-in and quillfen-markers both know it: the
// names of the files in it, what may stand where a markers file belongs, and
// reading one markers file whole with the reason it cannot be had. No logging
// and no plug-in state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "src/base/allocators.h"
#include "src/base/text_builder.h"
#include "src/file_formats/marker_file.h"
#include "src/platform/platform.h"

// ---- names ----------------------------------------------------------------------------------

// A text joined at compile time, so that each name is written once and the
// paths are made of the names.
template <std::size_t N>
struct JoinedText {
    char text[N];
};

template <std::size_t A, std::size_t B>
consteval JoinedText<A + B - 1> join_text(const char (&first)[A], const char (&second)[B]) {
    JoinedText<A + B - 1> out{};
    for (std::size_t i = 0; i + 1 < A; ++i) out.text[i] = first[i];
    for (std::size_t i = 0; i < B; ++i) out.text[A - 1 + i] = second[i];
    return out;
}

template <std::size_t A, std::size_t B>
consteval JoinedText<A + B> join_path(const char (&folder)[A], const char (&name)[B]) {
    JoinedText<A + B> out{};
    for (std::size_t i = 0; i + 1 < A; ++i) out.text[i] = folder[i];
    out.text[A - 1] = '/';
    for (std::size_t i = 0; i < B; ++i) out.text[A + i] = name[i];
    return out;
}

// Names in the Quillfen folder.
inline constexpr char quillfen_folder[] = "Quillfen";
inline constexpr char markers_file_name[] = "markers.json";
inline constexpr char log_file_name[] = "last.log";
inline constexpr char settings_file_name[] = "settings.ini";
// The markers deleted in the game, newest last, each with the time it was
// deleted: a markers file, so also a pack that brings them all back.
inline constexpr char deleted_file_name[] = "deleted.json";
inline constexpr std::size_t deleted_markers_kept = 500;
inline constexpr auto backup_file_name = join_text(markers_file_name, ".bak");
inline constexpr char daily_copies_folder[] = "backups";
inline constexpr char import_folder[] = "import";
inline constexpr char imported_folder[] = "imported";
// A whole copy is written under the target's name with one of these added,
// then renamed.
inline constexpr char saving_suffix[] = ".saving";    // a save of the file itself
inline constexpr char copying_suffix[] = ".copying";  // a copy beside it
// Copies kept under a time stamp: FILE.unreadable-YYYYMMDD-HHMMSS (a file
// that could not be loaded), FILE.replaced-YYYYMMDD-HHMMSS (what a restore
// replaced) and FILE.unsaved-YYYYMMDD-HHMMSS (the markers the game held when
// it quit without a save that worked; a markers file, so also a pack).
inline constexpr char unreadable_copy_infix[] = ".unreadable-";
inline constexpr char replaced_copy_infix[] = ".replaced-";
inline constexpr char unsaved_copy_infix[] = ".unsaved-";
// Daily copies in backups/: the prefix, then the UTC date YYYYMMDD, then the
// suffix ("markers-20261210.json").
inline constexpr char daily_copy_prefix[] = "markers-";
inline constexpr std::size_t daily_copy_date_digits = 8;
// What the names of daily copies and of marker packs end in (a pack's in any case).
inline constexpr char json_suffix[] = ".json";
inline constexpr std::size_t json_suffix_length = sizeof json_suffix - 1;

// The plug-in's paths, relative to the game's folder.
inline constexpr auto log_path_text = join_path(quillfen_folder, log_file_name);
inline constexpr auto markers_path_text = join_path(quillfen_folder, markers_file_name);
inline constexpr auto settings_path_text = join_path(quillfen_folder, settings_file_name);
inline constexpr auto settings_saving_path_text = join_text(settings_path_text.text, saving_suffix);
inline constexpr auto markers_backup_path_text = join_path(quillfen_folder, backup_file_name.text);
inline constexpr auto markers_saving_path_text = join_text(markers_path_text.text, saving_suffix);
inline constexpr auto markers_copying_path_text = join_text(markers_path_text.text, copying_suffix);
inline constexpr auto deleted_path_text = join_path(quillfen_folder, deleted_file_name);
inline constexpr auto deleted_saving_path_text = join_text(deleted_path_text.text, saving_suffix);
inline constexpr auto deleted_copying_path_text = join_text(deleted_path_text.text, copying_suffix);
inline constexpr auto daily_copies_directory_text = join_path(quillfen_folder, daily_copies_folder);
inline constexpr auto daily_copy_copying_path_text =
    join_path(daily_copies_directory_text.text, join_text(markers_file_name, copying_suffix).text);
inline constexpr auto import_directory_text = join_path(quillfen_folder, import_folder);
inline constexpr auto imported_directory_text = join_path(import_directory_text.text, imported_folder);

inline constexpr const char* log_path = log_path_text.text;
inline constexpr const char* markers_path = markers_path_text.text;
inline constexpr const char* settings_path = settings_path_text.text;
inline constexpr const char* settings_saving_path = settings_saving_path_text.text;
inline constexpr const char* markers_backup_path = markers_backup_path_text.text;
inline constexpr const char* markers_saving_path = markers_saving_path_text.text;
// Where copies beside markers.json are written before they get their names.
inline constexpr const char* markers_copying_path = markers_copying_path_text.text;
inline constexpr const char* deleted_path = deleted_path_text.text;
inline constexpr const char* deleted_saving_path = deleted_saving_path_text.text;
inline constexpr const char* deleted_copying_path = deleted_copying_path_text.text;
inline constexpr const char* daily_copies_directory = daily_copies_directory_text.text;
inline constexpr const char* daily_copy_copying_path = daily_copy_copying_path_text.text;
inline constexpr const char* import_directory = import_directory_text.text;
inline constexpr const char* imported_directory = imported_directory_text.text;

// Whether a name in the Quillfen folder is one of the files that hold markers
// there: markers.json, its .bak and the copies kept under a time stamp (the
// daily copies are in their own folder: daily_copy_date).
bool is_markers_file_name(const char* name);

// `path`, then `infix`, then the UTC time stamp of `unix_ns`: the name under
// which a copy of `path` is kept.
void append_kept_copy_name(TextBuilder& out, std::string_view path, const char* infix, std::int64_t unix_ns);

// quillfen-markers keeps this many of a file's replaced copies, the newest.
inline constexpr std::size_t replaced_copies_kept = 7;

// ---- what stands at a path ------------------------------------------------------------------

// Something that is not a file (a directory, a device, a link to nothing or
// one that loops): "a directory", "a device or other special file", "a link
// to a file that does not exist", "a link that loops back to itself"; null
// for a file or nothing.
const char* obstacle_description(PlatformFileKind kind);
// The same, as why it holds no markers: "a directory, not a markers file".
void describe_obstacle(TextBuilder& out, PlatformFileKind kind);

// ---- reading one markers file ---------------------------------------------------------------

// What reading one markers file came to: the one answer the plug-in's set-up
// backup, its load, its late read and quillfen-markers all go by.
enum class MarkersFileOutcome : std::uint8_t {
    read,           // read whole, and it loads
    missing,        // nothing is there
    held,           // a file is there but cannot be read now (another program holds it, reading it is denied)
    damaged,        // read whole, and it does not load
    out_of_memory,  // memory ran out while reading or loading it: the file may be sound, try again
    not_a_file,     // something else stands there (a directory, a device, a link to nothing or one that loops)
};

// A markers file read and loaded in one go. `read` is the error of reading
// when it was not read (missing, held, out of memory, not a file; 0 when it
// was), `loaded` the load's when it was read, `kind` what stands there when
// it was not read. `why` says why it did not load, for people: "a directory,
// not a markers file", "cannot be read: ENOENT", "LINE:COLUMN: reason",
// "out of memory".
struct MarkersFileRead {
    MarkersFileOutcome outcome;
    PlatformError read;
    DeserializeError loaded;
    PlatformFileKind kind;
    char why[192];
};

inline bool markers_file_loaded(const MarkersFileRead& r) { return r.outcome == MarkersFileOutcome::read; }
// True when the file was read but memory ran out while it was loaded (not while it was read).
inline bool ran_out_loading(const MarkersFileRead& r) {
    return r.outcome == MarkersFileOutcome::out_of_memory && r.read.code == 0;
}
// `why` for a line that says itself that the file could not be read ("Could
// not read X: EACCES"): without its own "cannot be read: ".
const char* markers_file_unread_cause(const MarkersFileRead& r);

// The bytes of a file read whole: zero-terminated, `size` + 1 bytes from the
// allocator it was read with.
struct FileText {
    char* data;
    std::size_t size;
};
void free_file_text(const Allocator& allocator, FileText& text);

// The whole file: `text` when it was read (outcome `read`); else the outcome
// (missing, held, out of memory, not a file), `read` and `why` say why not.
MarkersFileRead read_whole_file(const char* path, const Allocator& allocator, FileText& text);
// Loads a text read whole: the outcome (read, damaged or out of memory),
// `loaded` and, when it does not load, `why`. `data` holds the markers when it loaded.
void load_markers_text(MarkersFileRead& r, std::string_view text, const Allocator& allocator, MarkersData& data);
// Both. With `text`, the bytes stay there whenever they were read (loaded or
// not: a backup is made of them, a damaged file is kept aside); without, they
// are released again.
MarkersFileRead read_markers_file(const char* path, const Allocator& allocator, MarkersData& data,
                                  FileText* text = nullptr);
// The same for deleted.json: `data.deleted_ns` says when each was deleted.
MarkersFileRead read_deleted_markers_file(const char* path, const Allocator& allocator, MarkersData& data,
                                          FileText* text = nullptr);
