#include "src/file_formats/markers_folder.h"

#include <cstring>

#include "src/file_formats/marker_copies.h"

// Sections: names · what stands at a path · reading one markers file.

// ---- names ----------------------------------------------------------------------------------

static bool starts_with(const char* name, std::string_view prefix, std::string_view then) {
    const std::size_t n = std::strlen(name);
    return n > prefix.size() + then.size() && std::memcmp(name, prefix.data(), prefix.size()) == 0 &&
           std::memcmp(name + prefix.size(), then.data(), then.size()) == 0;
}

bool is_markers_file_name(const char* name) {
    return std::strcmp(name, markers_file_name) == 0 || std::strcmp(name, backup_file_name.text) == 0 ||
           starts_with(name, markers_file_name, unreadable_copy_infix) ||
           starts_with(name, markers_file_name, replaced_copy_infix) ||
           starts_with(name, markers_file_name, unsaved_copy_infix);
}

void append_kept_copy_name(TextBuilder& out, std::string_view path, const char* infix, std::int64_t unix_ns) {
    text_append(out, path);
    text_append(out, infix);
    append_utc_stamp(out, unix_ns);
}

// ---- what stands at a path ------------------------------------------------------------------

const char* obstacle_description(PlatformFileKind kind) {
    switch (kind) {
        case PlatformFileKind::directory: return "a directory";
        case PlatformFileKind::special: return "a device or other special file";
        case PlatformFileKind::broken_link: return "a link to a file that does not exist";
        case PlatformFileKind::looping_link: return "a link that loops back to itself";
        default: return nullptr;
    }
}

void describe_obstacle(TextBuilder& out, PlatformFileKind kind) {
    const char* what = obstacle_description(kind);
    if (!what) return;
    text_append(out, what);
    if (kind != PlatformFileKind::broken_link && kind != PlatformFileKind::looping_link) {
        text_append(out, ", not a markers file");
    }
}

// ---- reading one markers file ---------------------------------------------------------------

// Before the error's name in `why`, when a file that is there could not be read.
constexpr char cannot_be_read[] = "cannot be read: ";

void free_file_text(const Allocator& allocator, FileText& text) {
    if (text.data) free_bytes(allocator, text.data, text.size + 1);
    text = FileText{};
}

MarkersFileRead read_whole_file(const char* path, const Allocator& allocator, FileText& text) {
    MarkersFileRead r{};
    text = FileText{};
    r.read = platform_read_file(path, allocator, &text.data, &text.size);
    if (r.read.code == 0) {
        r.outcome = MarkersFileOutcome::read;
        r.kind = PlatformFileKind::regular;
        return r;
    }
    // What stands there says more than the error of reading it.
    TextBuilder why = text_builder(r.why, sizeof r.why);
    r.kind = platform_file_info(path).kind;
    if (obstacle_description(r.kind)) {
        r.outcome = MarkersFileOutcome::not_a_file;
        describe_obstacle(why, r.kind);
        return r;
    }
    if (r.kind == PlatformFileKind::missing || platform_error_is_not_found(r.read)) {
        r.outcome = MarkersFileOutcome::missing;
    } else if (platform_error_is_out_of_memory(r.read)) {
        r.outcome = MarkersFileOutcome::out_of_memory;
    } else {
        r.outcome = MarkersFileOutcome::held;
    }
    char error[64];
    platform_error_name(r.read, error, sizeof error);
    text_append(why, cannot_be_read);
    text_append(why, error);
    return r;
}

const char* markers_file_unread_cause(const MarkersFileRead& r) {
    const std::size_t n = std::strlen(cannot_be_read);
    return std::strncmp(r.why, cannot_be_read, n) == 0 ? r.why + n : r.why;
}

using Deserialize = DeserializeError (*)(std::string_view, const Allocator&, MarkersData&, DeserializeDetail*);

static void load_text(MarkersFileRead& r, std::string_view text, const Allocator& allocator, MarkersData& data,
                      Deserialize deserialize) {
    DeserializeDetail detail{};
    r.loaded = deserialize(text, allocator, data, &detail);
    switch (r.loaded) {
        case DeserializeError::none: r.outcome = MarkersFileOutcome::read; return;
        case DeserializeError::out_of_memory: r.outcome = MarkersFileOutcome::out_of_memory; break;
        case DeserializeError::syntax:
        case DeserializeError::wrong_kind: r.outcome = MarkersFileOutcome::damaged; break;
    }
    TextBuilder why = text_builder(r.why, sizeof r.why);
    describe_load_failure(why, r.loaded, detail);
}

void load_markers_text(MarkersFileRead& r, std::string_view text, const Allocator& allocator, MarkersData& data) {
    load_text(r, text, allocator, data, deserialize_markers);
}

static MarkersFileRead read_file(const char* path, const Allocator& allocator, MarkersData& data, FileText* text,
                                 Deserialize deserialize) {
    data = MarkersData{};
    FileText own{};
    FileText& bytes = text ? *text : own;
    MarkersFileRead r = read_whole_file(path, allocator, bytes);
    if (r.outcome != MarkersFileOutcome::read) return r;
    load_text(r, std::string_view(bytes.data, bytes.size), allocator, data, deserialize);
    free_file_text(allocator, own);
    return r;
}

MarkersFileRead read_markers_file(const char* path, const Allocator& allocator, MarkersData& data, FileText* text) {
    return read_file(path, allocator, data, text, deserialize_markers);
}

MarkersFileRead read_deleted_markers_file(const char* path, const Allocator& allocator, MarkersData& data,
                                          FileText* text) {
    return read_file(path, allocator, data, text, deserialize_deleted_markers);
}
