#include "src/file_formats/marker_geojson.h"

#include <cmath>
#include <cstring>

#include "src/base/calendar.h"
#include "src/base/text_builder.h"
#include "src/json5/json5_reader.h"

bool is_geojson_name(std::string_view name) {
    constexpr std::string_view suffix = ".geojson";
    if (name.size() <= suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = name[name.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

namespace {

const Json5Value* member(const Json5Value& object, std::string_view key) {
    const Json5Value* found = nullptr;  // the last with its key counts, as in a markers file
    for (std::size_t i = 0; i < object.member_count(); ++i) {
        const Json5Member& m = object.members()[i];
        if (std::string_view(m.key, m.key_length) == key) found = &m.value;
    }
    return found;
}

std::size_t member_index(const Json5Value& object, std::string_view key) {
    std::size_t found = SIZE_MAX;
    for (std::size_t i = 0; i < object.member_count(); ++i) {
        const Json5Member& m = object.members()[i];
        if (std::string_view(m.key, m.key_length) == key) found = i;
    }
    return found;
}

bool is_text(const Json5Value* v, std::string_view text) {
    return v && v->kind == Json5Kind::string && std::string_view(v->string(), v->string_length()) == text;
}

// A second and the nanoseconds past it (0 to 999999999) as the markers file
// keeps a time, signed 64-bit nanoseconds since 1970; false outside what they
// hold (1677-09-21T00:12:43.145224192Z to 2262-04-11T23:47:16.854775807Z).
bool ns_of_time(std::int64_t seconds, std::int64_t nanosecond, std::int64_t& ns) {
    // Before 1970 counted from the next second down: the first second held
    // is held only in part, and its whole count would overflow.
    const bool borrow = seconds < 0 && nanosecond > 0;
    std::int64_t whole = 0;
    if (__builtin_mul_overflow(seconds + (borrow ? 1 : 0), ns_per_second, &whole)) return false;
    return !__builtin_add_overflow(whole, borrow ? nanosecond - ns_per_second : nanosecond, &ns);
}

// "2025-12-09T08:00:00Z", as export writes a time, into seconds since 1970;
// false for anything else.
bool read_iso_time(const Json5Value* v, std::int64_t& seconds) {
    if (!v || v->kind != Json5Kind::string || v->string_length() != 20) return false;
    const char* s = v->string();
    auto digits = [&](int at, int count, int& out) {
        out = 0;
        for (int i = at; i < at + count; ++i) {
            if (s[i] < '0' || s[i] > '9') return false;
            out = out * 10 + (s[i] - '0');
        }
        return true;
    };
    int year, month, day, hour, minute, second;
    if (!digits(0, 4, year) || s[4] != '-' || !digits(5, 2, month) || s[7] != '-' || !digits(8, 2, day) ||
        s[10] != 'T' || !digits(11, 2, hour) || s[13] != ':' || !digits(14, 2, minute) || s[16] != ':' ||
        !digits(17, 2, second) || s[19] != 'Z' || !is_calendar_date(year, month, day) || hour > 23 || minute > 59 ||
        second > 59) {
        return false;
    }
    seconds = days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

// A time's two properties, as export writes them, and why a feature is left out for them.
struct TimeKeys {
    const char* time;
    const char* nanosecond;
    const char* out_of_range;    // why the feature is left out
    const char* bad_nanosecond;  // likewise
};
constexpr TimeKeys created_keys{
    "created", "created_nanosecond",
    "its \"created\" time is outside 1677-09-21 to 2262-04-11, the times a markers file can hold",
    "its \"created_nanosecond\" is not a whole number from 0 to 999999999"};
constexpr TimeKeys found_keys{
    "found", "found_nanosecond",
    "its \"found\" time is outside 1677-09-21 to 2262-04-11, the times a markers file can hold",
    "its \"found_nanosecond\" is not a whole number from 0 to 999999999"};

// A time and its nanoseconds ("created", "created_nanosecond"): null when
// it can be a marker's, else why it cannot. `is_set` false when the feature
// has no time of that form (it is taken without, as before: a markers file
// may have none either).
const char* read_time(const Json5Value& properties, const TimeKeys& keys, bool& is_set, std::int64_t& ns) {
    std::int64_t seconds = 0;
    is_set = false;
    if (!read_iso_time(member(properties, keys.time), seconds)) return nullptr;
    std::int64_t nanosecond = 0;
    if (const Json5Value* n = member(properties, keys.nanosecond); n && n->kind != Json5Kind::null_value) {
        if (!n->is_integer() || n->integer() < 0 || n->integer() >= ns_per_second) return keys.bad_nanosecond;
        nanosecond = n->integer();
    }
    if (!ns_of_time(seconds, nanosecond, ns)) return keys.out_of_range;
    is_set = true;
    return nullptr;
}

// A category by number (0 to 9) or by name ("Marker (Animal)", or "Animal"); -1 when neither.
std::int64_t read_category(const Json5Value* v) {
    if (!v) return 0;  // none: a Marker (Flag), as a markers file without "category"
    if (v->is_integer()) return v->integer() >= 0 && v->integer() < 10 ? v->integer() : -1;
    if (v->kind != Json5Kind::string) return -1;
    const std::string_view text(v->string(), v->string_length());
    for (std::size_t c = 0; c < category_count; ++c) {
        const std::string_view full = category_names[c];
        if (text == full || (full.size() > 10 && text == full.substr(8, full.size() - 9))) {
            return static_cast<std::int64_t>(c);
        }
    }
    return -1;
}

bool copy_text(const Json5Value* v, const Allocator& allocator, char*& out) {
    if (!v || v->kind != Json5Kind::string) return true;   // null or none: no text
    return copy_marker_text(allocator, v->string(), out);  // up to an escaped NUL, as a markers file's texts
}

// The marker of one feature, or why it cannot be one (null: out of memory, told by `oom`).
const char* read_feature(const Json5Value& f, std::string_view file_pack, const Allocator& allocator, MarkerDataV1& m,
                         bool& oom) {
    m = MarkerDataV1{};
    if (f.kind != Json5Kind::object || !is_text(member(f, "type"), "Feature")) return "not a Feature";
    const Json5Value* geometry = member(f, "geometry");
    if (!geometry || geometry->kind != Json5Kind::object || !is_text(member(*geometry, "type"), "Point")) {
        return "not a Point";
    }
    const Json5Value* xyz = member(*geometry, "coordinates");
    if (!xyz || xyz->item_count() != 3) return "its coordinates are not [x, y, z]";
    for (std::size_t i = 0; i < 3; ++i) {
        if (xyz->items()[i].kind != Json5Kind::number || !std::isfinite(xyz->items()[i].number_f32())) {
            return "its position is not finite";
        }
    }
    m.position = Position{xyz->items()[0].number_f32(), xyz->items()[1].number_f32(), xyz->items()[2].number_f32()};
    const Json5Value* properties = member(f, "properties");
    if (properties && properties->kind != Json5Kind::object) properties = nullptr;  // a marker at its place, no more
    const Json5Value* pack = properties ? member(*properties, "pack") : nullptr;
    if (properties) {
        m.category = read_category(member(*properties, "category"));
        if (m.category < 0) return "its category is neither 0 to 9 nor a category's name";
        bool created = false;
        if (const char* wrong = read_time(*properties, created_keys, created, m.timestamp._nsec)) return wrong;
        if (const char* wrong = read_time(*properties, found_keys, m.is_found, m.found._nsec)) return wrong;
        oom = !copy_text(member(*properties, "name"), allocator, m.name) ||
              !copy_text(member(*properties, "note"), allocator, m.note) || !copy_text(pack, allocator, m.pack);
    }
    // Export writes "pack": null for a player's own marker, which must not
    // join the file's pack (and be found by arrival as a collection's).
    const bool says_pack = pack && (pack->kind == Json5Kind::string || pack->kind == Json5Kind::null_value);
    if (!oom && !says_pack && !file_pack.empty()) {
        m.pack = static_cast<char*>(allocate_bytes(allocator, file_pack.size() + 1, 1));
        if (m.pack) {
            std::memcpy(m.pack, file_pack.data(), file_pack.size());
            m.pack[file_pack.size()] = '\0';
        }
        oom = !m.pack;
    }
    return nullptr;
}

}  // namespace

void load_geojson_text(MarkersFileRead& r, std::string_view text, std::string_view file_pack,
                       const Allocator& allocator, MarkersData& data, GeojsonLeftOutSink sink, void* sink_data) {
    data = MarkersData{};
    TextBuilder why = text_builder(r.why, sizeof r.why);
    Json5Document doc{};
    Json5Error error{};
    if (!json5_parse(text, allocator, doc, error)) {
        r.outcome =
            json5_error_is_out_of_memory(error) ? MarkersFileOutcome::out_of_memory : MarkersFileOutcome::damaged;
        r.loaded =
            r.outcome == MarkersFileOutcome::damaged ? DeserializeError::syntax : DeserializeError::out_of_memory;
        text_append_u64(why, static_cast<std::uint64_t>(error.line));
        text_append_char(why, ':');
        text_append_u64(why, static_cast<std::uint64_t>(error.column));
        text_append(why, ": ");
        text_append(why, error.message ? error.message : "invalid JSON");
        return;
    }
    const Json5Value& root = doc.root;
    const std::size_t features_at = root.kind == Json5Kind::object ? member_index(root, "features") : SIZE_MAX;
    if (root.kind != Json5Kind::object || !is_text(member(root, "type"), "FeatureCollection") ||
        features_at == SIZE_MAX || root.members()[features_at].value.kind != Json5Kind::array) {
        r.outcome = MarkersFileOutcome::damaged;
        r.loaded = DeserializeError::wrong_kind;
        text_append(why, "not GeoJSON: a pack is a FeatureCollection with a list of \"features\"");
        json5_free(doc, allocator);
        return;
    }
    const Json5Value& features = root.members()[features_at].value;
    const std::size_t count = features.item_count();
    r.outcome = MarkersFileOutcome::read;
    r.loaded = DeserializeError::none;
    data.records = count ? allocate_array<MarkerDataV1>(allocator, count) : nullptr;
    if (count && !data.records) {
        r.outcome = MarkersFileOutcome::out_of_memory;
        r.loaded = DeserializeError::out_of_memory;
        text_append(why, "out of memory");
        json5_free(doc, allocator);
        return;
    }
    data.capacity = count;
    for (std::size_t i = 0; i < count; ++i) {
        MarkerDataV1& m = data.records[data.count];
        bool oom = false;
        const char* wrong = read_feature(features.items()[i], file_pack, allocator, m, oom);
        if (oom) {
            free_marker_texts(allocator, m);
            free_markers_data(data, allocator);
            r.outcome = MarkersFileOutcome::out_of_memory;
            r.loaded = DeserializeError::out_of_memory;
            text_append(why, "out of memory");
            break;
        }
        if (!wrong) {
            ++data.count;
            continue;
        }
        GeojsonLeftOut left{i + 1, 0, 0, wrong};
        const std::size_t path[2] = {features_at, i};
        (void)place_of_value(text, path, 2, left.line, left.column);
        if (sink) sink(sink_data, left);
    }
    json5_free(doc, allocator);
}
