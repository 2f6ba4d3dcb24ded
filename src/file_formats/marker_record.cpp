#include "src/file_formats/marker_record.h"

#include <cstring>

void free_marker_name(const Allocator& allocator, char*& name) {
    if (name) free_bytes(allocator, name, std::strlen(name) + 1);
    name = nullptr;
}

void free_marker_texts(const Allocator& allocator, MarkerDataV1& marker) {
    free_marker_name(allocator, marker.name);
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
