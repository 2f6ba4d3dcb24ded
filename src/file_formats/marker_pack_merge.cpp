#include "src/file_formats/marker_pack_merge.h"

#include <cstring>

std::string_view pack_name_of_file(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    const std::size_t dot = path.rfind('.');
    // A name that is all extension (".json") keeps it: a pack needs a name,
    // and one of dots alone ("." from "..geojson") reads as a folder.
    if (dot != std::string_view::npos && path.substr(0, dot).find_first_not_of('.') != std::string_view::npos) {
        path = path.substr(0, dot);
    }
    if (path == "deleted" || path.substr(0, 7) == "markers") return {};
    return path;
}

bool name_pack_records(MarkerDataV1* records, std::size_t count, std::string_view pack, const Allocator& allocator) {
    if (pack.empty()) return true;
    for (std::size_t i = 0; i < count; ++i) {
        if (marker_has_pack(records[i])) continue;
        char* copy = static_cast<char*>(allocate_bytes(allocator, pack.size() + 1, 1));
        if (!copy) return false;
        std::memcpy(copy, pack.data(), pack.size());
        copy[pack.size()] = '\0';
        records[i].pack = copy;
    }
    return true;
}
