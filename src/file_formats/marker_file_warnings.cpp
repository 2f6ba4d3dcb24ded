#include "src/file_formats/marker_file_warnings.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "src/base/growable_array.h"
#include "src/base/text_builder.h"
#include "src/file_formats/marker_file.h"
#include "src/file_formats/marker_keys.h"
#include "src/file_formats/marker_record.h"
#include "src/json5/json5_reader.h"

// Sections: the keys the game reads · finding the warnings in the tree ·
// placing and saying them.
//
// The tree says what the game makes of the file; the walk of the text says
// where each value stands and which strings are not UTF-8. Both go in the
// order of the text, so the warnings found in the tree are placed during one
// walk.

namespace {

// ---- the keys the game reads --------------------------------------------------------------
// Those of the table in marker_keys.h: file_keys, marker_keys, timestamp_keys.

bool key_is(const Json5Member& m, std::string_view key) {
    return m.key_length == key.size() && std::memcmp(m.key, key.data(), key.size()) == 0;
}

// The member the game takes for `key`: the last one with it. One pass over
// the object; callers ask it once per object, never once per member.
std::size_t last_member(const Json5Value& object, std::string_view key) {
    std::size_t found = SIZE_MAX;
    for (std::size_t i = 0; i < object.member_count(); ++i) {
        if (key_is(object.members()[i], key)) found = i;
    }
    return found;
}

// The set of keys the game reads in one kind of object, with the member the
// game takes for each (the last one, or SIZE_MAX): found in one pass, so that
// a key given 100,000 times costs 100,000 steps, not their square. Only a key
// the game reads can be "given again"; any other key is ignored each time.
template <std::size_t N>
struct KnownKeys {
    const MarkerFileKey (&names)[N];
    std::size_t last[N];
};

// Which of `known` the member's key is, or N.
template <std::size_t N>
std::size_t known_index(const Json5Member& m, const MarkerFileKey (&known)[N]) {
    return marker_key_index(std::string_view(m.key, m.key_length), known);
}

template <std::size_t N>
KnownKeys<N> known_keys_of(const Json5Value& object, const MarkerFileKey (&known)[N]) {
    KnownKeys<N> keys{known, {}};
    for (std::size_t& last : keys.last) last = SIZE_MAX;
    for (std::size_t i = 0; i < object.member_count(); ++i) {
        const std::size_t k = known_index(object.members()[i], known);
        if (k < N) keys.last[k] = i;
    }
    return keys;
}

// Edits (insert, delete, change, swap of neighbours) from `a` to `b`, at most
// `limit + 1`.
std::size_t edits_between(std::string_view a, std::string_view b, std::size_t limit) {
    constexpr std::size_t longest = 32;
    if (a.size() > longest || b.size() > longest) return limit + 1;
    const std::size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
    if (gap > limit) return limit + 1;
    std::size_t d[longest + 1][longest + 1];
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            std::size_t best = d[i - 1][j] + 1 < d[i][j - 1] + 1 ? d[i - 1][j] + 1 : d[i][j - 1] + 1;
            if (change < best) best = change;
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1] && d[i - 2][j - 2] + 1 < best) {
                best = d[i - 2][j - 2] + 1;
            }
            d[i][j] = best;
        }
    }
    return d[a.size()][b.size()];
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        if (x != b[i]) return false;
    }
    return true;
}

// The key the game reads that `key` was likely meant to be, or null.
template <std::size_t N>
const MarkerFileKey* meant_key(std::string_view key, const MarkerFileKey (&known)[N]) {
    for (const MarkerFileKey& k : known) {
        if (same_ignoring_case(key, k.key)) return &k;
    }
    if (key.size() < 3) return nullptr;
    for (const MarkerFileKey& k : known) {
        if (edits_between(key, k.key, 2) <= 2) return &k;
    }
    return nullptr;
}

// ---- finding the warnings in the tree ---------------------------------------------------------

enum class Problem : std::uint8_t {
    ignored_key,       // `key`, in `found` (null or "timestamp"), `meant` the likely key
    given_twice,       // `key`
    missing,           // `meant`, in the marker or in `found` (the subject of "timestamp")
    category_outside,  // `number`
    not_finite,        // `found`
    cut_at_nul,
};

struct Warning {
    std::size_t path[4];
    std::size_t depth;
    bool at_key;  // placed at the member's key, else at the value
    Problem problem;
    std::size_t marker;  // 1-based; 0 for the file
    std::string_view key;
    const MarkerFileKey* meant;
    const char* found;
    std::int64_t number;
    bool no_list;  // the file has no "markers" at all
};

struct Finder {
    const Allocator* allocator;
    GrowableArray<Warning> warnings;
    bool out_of_memory;
};

void add(Finder& f, const Warning& w) {
    if (!f.out_of_memory && !array_append(f.warnings, *f.allocator, w)) f.out_of_memory = true;
}

Warning warning_at(const std::size_t* path, std::size_t depth, Problem problem, std::size_t marker) {
    Warning w{};
    for (std::size_t i = 0; i < depth; ++i) w.path[i] = path[i];
    w.depth = depth;
    w.problem = problem;
    w.marker = marker;
    return w;
}

// Unknown keys and known ones given twice, of `object` at `path`; `within`
// names the object when it is not the file or a marker.
template <std::size_t N>
void check_keys(Finder& f, const Json5Value& object, const KnownKeys<N>& keys, std::size_t* path, std::size_t depth,
                std::size_t marker, const char* within) {
    for (std::size_t i = 0; i < object.member_count(); ++i) {
        const Json5Member& m = object.members()[i];
        const std::string_view key(m.key, m.key_length);
        path[depth] = i;
        const std::size_t k = known_index(m, keys.names);
        if (k == N) {
            Warning w = warning_at(path, depth + 1, Problem::ignored_key, marker);
            w.at_key = true;
            w.key = key;
            w.meant = meant_key(key, keys.names);
            w.found = within;
            add(f, w);
        } else if (keys.last[k] != i) {
            Warning w = warning_at(path, depth + 1, Problem::given_twice, marker);
            w.at_key = true;
            w.key = key;
            add(f, w);
        }
    }
}

const char* not_finite_found(const Json5Value& v) {
    const double d = v.number();
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d < 0 ? "-Infinity" : "Infinity";
    return "a number too large for a place in the game (beyond 3.4e38)";
}

// The warnings of one marker. In a file that loads every value is of its
// kind; the accessors give zero or nothing for a value of another kind, so a
// file that does not load (a fuzzer's, a test's) is walked safely as well.
void check_marker(Finder& f, const Json5Value& marker, std::size_t* path, std::size_t number) {
    const KnownKeys keys = known_keys_of(marker, marker_keys);
    // What is missing is placed at the marker itself, before what it holds.
    for (std::size_t k = 0; k < std::size(marker_keys); ++k) {
        if (keys.last[k] == SIZE_MAX && marker_keys[k].when_missing) {
            Warning w = warning_at(path, 2, Problem::missing, number);
            w.key = marker_keys[k].key;
            w.meant = &marker_keys[k];
            add(f, w);
        }
    }
    for (std::size_t i = 0; i < marker.member_count(); ++i) {
        const Json5Member& m = marker.members()[i];
        path[2] = i;
        // The keys of this member, then its values.
        const std::string_view key(m.key, m.key_length);
        const std::size_t known = known_index(m, marker_keys);
        if (known == std::size(marker_keys)) {
            Warning w = warning_at(path, 3, Problem::ignored_key, number);
            w.at_key = true;
            w.key = key;
            w.meant = meant_key(key, marker_keys);
            add(f, w);
            continue;
        }
        if (keys.last[known] != i) {
            Warning w = warning_at(path, 3, Problem::given_twice, number);
            w.at_key = true;
            w.key = key;
            add(f, w);
            continue;
        }
        const Json5Value& v = m.value;
        if (known == key_category && !category_name(v.integer())) {
            Warning w = warning_at(path, 3, Problem::category_outside, number);
            w.number = v.integer();
            add(f, w);
        } else if (known == key_position) {
            for (std::size_t k = 0; k < 3 && k < v.item_count(); ++k) {
                if (std::isfinite(v.items()[k].number_f32())) continue;
                path[3] = k;
                Warning w = warning_at(path, 4, Problem::not_finite, number);
                w.found = not_finite_found(v.items()[k]);
                add(f, w);
                break;  // one line per marker
            }
        } else if ((known == key_name || known == key_note) && v.kind == Json5Kind::string &&
                   std::strlen(v.string()) < v.string_length()) {
            Warning w = warning_at(path, 3, Problem::cut_at_nul, number);
            w.meant = &marker_keys[known];
            add(f, w);
        } else if (known == key_timestamp || known == key_found) {
            const KnownKeys stamp_keys = known_keys_of(v, timestamp_keys);
            if (stamp_keys.last[key_nsec] == SIZE_MAX) {
                Warning w = warning_at(path, 3, Problem::missing, number);
                w.key = timestamp_keys[key_nsec].key;
                w.meant = &timestamp_keys[key_nsec];
                w.found = marker_keys[known].subject;
                add(f, w);
            }
            check_keys(f, v, stamp_keys, path, 3, number, marker_keys[known].subject);
        }
    }
}

void find_warnings(Finder& f, const Json5Value& root) {
    std::size_t path[4] = {};
    if (root.kind != Json5Kind::object) return;
    const KnownKeys keys = known_keys_of(root, file_keys);
    const std::size_t list = keys.last[key_markers];
    check_keys(f, root, keys, path, 0, 0, nullptr);
    if (list == SIZE_MAX) {
        for (Warning& w : f.warnings) w.no_list = true;
        return;
    }
    // The top level's warnings stand in the order of its keys; those of the
    // list's markers come in at its place.
    std::size_t first_after = 0;
    while (first_after < f.warnings.length && f.warnings[first_after].path[0] <= list) ++first_after;
    GrowableArray<Warning> after{};
    for (std::size_t i = first_after; i < f.warnings.length; ++i) {
        if (!array_append(after, *f.allocator, f.warnings[i])) f.out_of_memory = true;
    }
    f.warnings.length = first_after;
    const Json5Value& markers = root.members()[list].value;
    path[0] = list;
    for (std::size_t i = 0; i < markers.item_count(); ++i) {
        path[1] = i;
        if (markers.items()[i].kind == Json5Kind::object) check_marker(f, markers.items()[i], path, i + 1);
    }
    for (const Warning& w : after) add(f, w);
    array_free(after);
}

// ---- placing and saying them ----------------------------------------------------------------------

// The order of the text: a container before what it holds.
bool path_before_or_at(const Warning& w, const Json5SourceValue& v) {
    for (std::size_t i = 0; i < w.depth && i < v.depth; ++i) {
        if (w.path[i] != v.path[i]) return w.path[i] < v.path[i];
    }
    return w.depth <= v.depth;
}

bool path_is(const Warning& w, const Json5SourceValue& v) {
    if (w.depth != v.depth) return false;
    for (std::size_t i = 0; i < w.depth; ++i) {
        if (w.path[i] != v.path[i]) return false;
    }
    return true;
}

struct Teller {
    std::string_view text;
    const Allocator* allocator;
    std::size_t list;           // the member holding the markers, or SIZE_MAX
    const Json5Value* markers;  // its value when that is an array (as in a file that loads), else null
    std::size_t named_marker;   // the marker whose names were last looked at (SIZE_MAX: none yet)
    std::size_t last_name;      // the member of its name that the game takes
    const GrowableArray<Warning>* warnings;
    std::size_t next;
    Json5Place place;
    std::size_t told;
    void (*warn)(void*, const char*);
    void* data;
};

void append_quoted(TextBuilder& b, const Teller& t, std::string_view key) {
    // As the file would write it: control characters and quotes escaped, also
    // in a long key, which is cut after 40 bytes (at a character's start), so
    // that no key from someone else's file reaches the console as it is.
    char plain[64];
    std::size_t kept = key.size();
    if (kept >= sizeof plain) {
        kept = 40;
        while (kept > 0 && (static_cast<unsigned char>(key[kept]) & 0xC0) == 0x80) --kept;
    }
    TextBuilder copy = text_builder(plain, sizeof plain);
    text_append(copy, key.substr(0, kept));
    MarkersText quoted{};
    if (serialize_string(plain, *t.allocator, quoted) != SerializeError::none) {
        text_append(b, "\"...\"");  // out of memory: the line still says where
        return;
    }
    if (kept == key.size()) {
        text_append(b, std::string_view(quoted.data, quoted.length));
    } else {
        text_append(b, std::string_view(quoted.data, quoted.length - 1));
        text_append(b, "...\"");
    }
    free_markers_text(quoted, *t.allocator);
}

void tell(Teller& t, std::size_t offset, std::size_t marker, void (*say)(TextBuilder&, const Teller&, const Warning*),
          const Warning* w) {
    json5_advance_place(t.text, t.place, offset);
    char line[320];
    TextBuilder b = text_builder(line, sizeof line);
    text_append_i64(b, t.place.line);
    text_append_char(b, ':');
    text_append_i64(b, t.place.column);
    text_append(b, ": ");
    if (marker > 0) {
        text_append(b, "marker ");
        text_append_u64(b, marker);
        // "marker 3 has no ..." of the marker itself, "marker 3: ..." of what it holds.
        if (!(w && w->problem == Problem::missing && !w->found)) text_append(b, ": ");
    }
    say(b, t, w);
    ++t.told;
    t.warn(t.data, line);
}

void say_warning(TextBuilder& b, const Teller& t, const Warning* w) {
    switch (w->problem) {
        case Problem::ignored_key:
            text_append(b, "the game ignores the key ");
            append_quoted(b, t, w->key);
            if (w->found) {
                text_append(b, " in ");
                text_append(b, w->found);
            }
            if (w->meant) {
                text_append(b, " (did you mean ");
                append_quoted(b, t, w->meant->key);
                text_append(b, "?)");
            } else if (w->no_list) {
                text_append(b, " (the markers go under ");
                text_append(b, file_keys[key_markers].subject);
                text_append(b, ")");
            }
            break;
        case Problem::given_twice:
            append_quoted(b, t, w->key);
            text_append(b, " is given again later: the game takes the last one");
            break;
        case Problem::missing:
            if (w->found) text_append(b, w->found);
            text_append(b, " has no ");
            append_quoted(b, t, w->meant->key);
            text_append(b, ": ");
            text_append(b, w->meant->when_missing);
            break;
        case Problem::category_outside:
            text_append(b, "category ");
            text_append_i64(b, w->number);
            text_append(b, " is none of the game's ten (0 to 9): ");
            text_append(b, marker_keys[key_category].when_unusable);
            break;
        case Problem::not_finite:
            text_append(b, marker_keys[key_position].subject);
            text_append(b, " holds ");
            text_append(b, w->found);
            text_append(b, ", not a finite number: ");
            text_append(b, marker_keys[key_position].when_unusable);
            break;
        case Problem::cut_at_nul:
            text_append(b, w->meant->subject);
            text_append(b, " holds \\u0000: ");
            text_append(b, w->meant->when_unusable);
            break;
    }
}

void say_not_utf8(TextBuilder& b, const Teller&, const Warning*) {
    text_append(b,
                "\"name\" is not valid UTF-8 (was the file saved as Latin-1 or another code page?): the game reads "
                "each broken character as \"\xEF\xBF\xBD\" and saves it so");
}

bool visit(void* data, const Json5SourceValue& v) {
    Teller& t = *static_cast<Teller*>(data);
    const GrowableArray<Warning>& ws = *t.warnings;
    while (t.next < ws.length && path_before_or_at(ws[t.next], v)) {
        const Warning& w = ws[t.next++];
        if (path_is(w, v)) tell(t, w.at_key ? v.key_offset : v.offset, w.marker, say_warning, &w);
    }
    // A marker's name (the one the game takes) whose text reads with U+FFFD it
    // does not spell. Any text may come here, also one whose "markers" holds
    // no list or whose markers are not objects: nothing is taken from the tree
    // before its kind and size say it is there.
    if (v.text_replaced && v.depth == 3 && t.markers && v.path[0] == t.list && v.path[1] < t.markers->item_count()) {
        const Json5Value& marker = t.markers->items()[v.path[1]];
        if (marker.kind == Json5Kind::object && v.path[2] < marker.member_count() &&
            key_is(marker.members()[v.path[2]], marker_keys[key_name].key)) {
            if (t.named_marker != v.path[1]) {  // once per marker, however many names it holds
                t.named_marker = v.path[1];
                t.last_name = last_member(marker, marker_keys[key_name].key);
            }
            if (t.last_name == v.path[2]) tell(t, v.offset, v.path[1] + 1, say_not_utf8, nullptr);
        }
    }
    return true;
}

}  // namespace

std::size_t list_markers_warnings(std::string_view text, const Allocator& allocator,
                                  void (*warn)(void* data, const char* line), void* data) {
    Json5Document doc{};
    Json5Error error{};
    if (!json5_parse(text, allocator, doc, error)) return SIZE_MAX;
    Finder f{&allocator, {}, false};
    find_warnings(f, doc.root);
    std::size_t told = SIZE_MAX;
    if (!f.out_of_memory) {
        const std::size_t list = last_member(doc.root, file_keys[key_markers].key);
        const Json5Value* markers = list != SIZE_MAX && doc.root.members()[list].value.kind == Json5Kind::array
                                        ? &doc.root.members()[list].value
                                        : nullptr;
        Teller t{text, &allocator, list, markers, SIZE_MAX, SIZE_MAX, &f.warnings, 0, json5_text_start, 0, warn, data};
        if (json5_visit_source(text, visit, &t)) told = t.told;
    }
    array_free(f.warnings);
    json5_free(doc, allocator);
    return told;
}
