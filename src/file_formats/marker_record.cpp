#include "src/file_formats/marker_record.h"

#include <cstring>

void free_marker_name(const Allocator& allocator, char*& name) {
    if (name) free_bytes(allocator, name, std::strlen(name) + 1);
    name = nullptr;
}

void free_marker_texts(const Allocator& allocator, MarkerDataV1& marker) {
    free_marker_name(allocator, marker.name);
    free_marker_name(allocator, marker.pack);
    free_marker_name(allocator, marker.note);
}

bool copy_marker_text(const Allocator& allocator, const char* text, char*& copy) {
    copy = nullptr;
    if (!has_text(text)) return true;
    const std::size_t size = std::strlen(text) + 1;
    copy = static_cast<char*>(allocate_bytes(allocator, size, 1));
    if (!copy) return false;
    std::memcpy(copy, text, size);
    return true;
}

bool copy_marker_record(const Allocator& allocator, const MarkerDataV1& from, MarkerDataV1& to) {
    to = from;
    hand_over_marker_texts(to);
    if (copy_marker_text(allocator, from.name, to.name) && copy_marker_text(allocator, from.pack, to.pack) &&
        copy_marker_text(allocator, from.note, to.note)) {
        return true;
    }
    free_marker_texts(allocator, to);
    return false;
}
