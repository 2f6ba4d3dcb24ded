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

// "2025-12-09T08:00:00Z", as export writes a time; false for anything else.
bool read_time(const Json5Value* v, std::int64_t& ns) {
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
    const std::int64_t seconds = days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    ns = seconds * 1'000'000'000;
    return true;
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
    if (!v || v->kind != Json5Kind::string) return true;  // null or none: no text
    const std::size_t length = std::strlen(v->string());
    if (length == 0) return true;
    out = static_cast<char*>(allocate_bytes(allocator, length + 1, 1));
    if (!out) return false;
    std::memcpy(out, v->string(), length + 1);
    return true;
}

// The marker of one feature, or why it cannot be one (null: out of memory, told by `oom`).
const char* read_feature(const Json5Value& f, const Allocator& allocator, MarkerDataV1& m, bool& oom) {
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
    if (!properties || properties->kind != Json5Kind::object) return nullptr;  // a marker at its place, no more
    m.category = read_category(member(*properties, "category"));
    if (m.category < 0) return "its category is neither 0 to 9 nor a category's name";
    (void)read_time(member(*properties, "created"), m.timestamp._nsec);
    m.is_found = read_time(member(*properties, "found"), m.found._nsec);
    oom = !copy_text(member(*properties, "name"), allocator, m.name) ||
          !copy_text(member(*properties, "pack"), allocator, m.pack);
    return nullptr;
}

}  // namespace

void load_geojson_text(MarkersFileRead& r, std::string_view text, const Allocator& allocator, MarkersData& data,
                       GeojsonLeftOutSink sink, void* sink_data) {
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
        const char* wrong = read_feature(features.items()[i], allocator, m, oom);
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
