#include "src/markers_file/markers_folder.h"

#include <cstring>

#include "src/markers_file/marker_copies.h"

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
           starts_with(name, markers_file_name, replaced_copy_infix);
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

MarkersFileRead read_whole_file(const char* path, const Allocator& allocator, char*& text, std::size_t& size) {
    MarkersFileRead r{};
    text = nullptr;
    size = 0;
    r.read = platform_read_file(path, allocator, &text, &size);
    if (r.read.code == 0) return r;
    // What stands there says more than the error of reading it.
    TextBuilder why = text_builder(r.why, sizeof r.why);
    const PlatformFileKind kind = platform_file_info(path).kind;
    if (obstacle_description(kind)) {
        describe_obstacle(why, kind);
        return r;
    }
    char error[64];
    platform_error_name(r.read, error, sizeof error);
    text_append(why, "cannot be read: ");
    text_append(why, error);
    return r;
}

void load_markers_text(MarkersFileRead& r, std::string_view text, const Allocator& allocator, MarkersData& data) {
    DeserializeDetail detail{};
    r.loaded = deserialize_markers(text, allocator, data, &detail);
    if (r.loaded != DeserializeError::none) {
        TextBuilder why = text_builder(r.why, sizeof r.why);
        describe_load_failure(why, r.loaded, detail);
    }
}

MarkersFileRead read_markers_file(const char* path, const Allocator& allocator, MarkersData& data) {
    data = MarkersData{};
    char* text = nullptr;
    std::size_t size = 0;
    MarkersFileRead r = read_whole_file(path, allocator, text, size);
    if (r.read.code != 0) return r;
    load_markers_text(r, std::string_view(text, size), allocator, data);
    free_bytes(allocator, text, size + 1);
    return r;
}
