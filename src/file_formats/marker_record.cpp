#include "src/file_formats/marker_record.h"

#include <cstring>

void free_marker_name(const Allocator& allocator, char*& name) {
    if (name) free_bytes(allocator, name, std::strlen(name) + 1);
    name = nullptr;
}

void free_marker_texts(const Allocator& allocator, MarkerDataV1& marker) {
    free_marker_name(allocator, marker.name);
    free_marker_name(allocator, marker.pack);
}
