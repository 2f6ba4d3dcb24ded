// libFuzzer target for the JSON5 reader. Every input is parsed twice: once with
// a heap that always gives, and once with one that fails part-way (the point
// chosen from the input), so the out-of-memory paths are fuzzed too. An
// accepted tree is walked end to end and written back out as JSON5, which must
// read back to the same tree. Every block must be back with the heap after
// json5_free or a failed parse, each freed with the size it was given.
//
//   scripts/fuzz-json5 [seconds]
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "src/json5/json5_reader.h"
#include "tests/fuzz/fuzz_heap.h"

namespace {

using fuzz::check;
using fuzz::die;
using fuzz::Heap;

// Strict UTF-8: no overlongs, no surrogates, nothing above U+10FFFF.
bool valid_utf8(const char* text, std::size_t length) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const auto* end = p + length;
    while (p < end) {
        const unsigned b = *p;
        int need;
        unsigned lo = 0x80, hi = 0xBF;
        if (b < 0x80) need = 0;
        else if (b >= 0xC2 && b <= 0xDF) need = 1;
        else if (b >= 0xE0 && b <= 0xEF) need = 2, lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
        else if (b >= 0xF0 && b <= 0xF4) need = 3, lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
        else return false;
        ++p;
        for (int i = 0; i < need; ++i, ++p) {
            if (p == end || *p < lo || *p > hi) return false;
            lo = 0x80;
            hi = 0xBF;
        }
    }
    return true;
}

void check_text(const char* text, std::size_t length) {
    check(text != nullptr, "text without storage");
    check(text[length] == '\0', "text not zero-terminated");
    check(valid_utf8(text, length), "text is not valid UTF-8");
}

void walk(const Json5Value& v, int depth) {
    check(depth <= json5_max_depth, "tree deeper than the limit");
    switch (v.kind) {
        case Json5Kind::null_value:
        case Json5Kind::boolean: break;
        case Json5Kind::number:
            if (v.is_integer()) {
                // Both roundings are correct, so they agree with the integer's.
                check(v.number() == static_cast<double>(v.integer()), "integer and double disagree");
                check(v.number_f32() == static_cast<float>(v.integer()), "integer and float disagree");
            }
            check(std::isnan(v.number()) == std::isnan(v.number_f32()), "double and float disagree on NaN");
            check(!(std::isinf(v.number()) && std::isfinite(v.number_f32())), "infinite double, finite float");
            break;
        case Json5Kind::string: check_text(v.string(), v.string_length()); break;
        case Json5Kind::array:
            check((v.items() != nullptr) == (v.item_count() > 0), "array storage and count disagree");
            for (std::size_t i = 0; i < v.item_count(); ++i) walk(v.items()[i], depth + 1);
            break;
        case Json5Kind::object:
            check((v.members() != nullptr) == (v.member_count() > 0), "object storage and count disagree");
            for (std::size_t i = 0; i < v.member_count(); ++i) {
                const Json5Member& m = v.members()[i];
                check_text(m.key, m.key_length);
                const Json5Value* found = json5_find_member(v, std::string_view(m.key, m.key_length));
                check(found != nullptr && found >= &m.value, "the last member with a key is not the one found");
                walk(m.value, depth + 1);
            }
            break;
        default: die("unknown kind");
    }
}

// ---- writing the tree back as JSON5 ----------------------------------------------------

void write_string(std::string& out, const char* s, std::size_t n) {
    out += '"';
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", c);
            out += esc;
        } else {
            out += static_cast<char>(c);  // U+2028/2029 may stand unescaped
        }
    }
    out += '"';
}

void write(std::string& out, const Json5Value& v) {
    switch (v.kind) {
        case Json5Kind::null_value: out += "null"; break;
        case Json5Kind::boolean: out += v.boolean() ? "true" : "false"; break;
        case Json5Kind::number:
            if (std::isnan(v.number())) {
                out += "NaN";
            } else if (std::isinf(v.number())) {
                out += v.number() < 0 ? "-Infinity" : "Infinity";
            } else {
                char buf[64];
                const auto r = std::to_chars(buf, buf + sizeof buf, v.number());
                out.append(buf, r.ptr);
            }
            break;
        case Json5Kind::string: write_string(out, v.string(), v.string_length()); break;
        case Json5Kind::array:
            out += "[ ";
            for (std::size_t i = 0; i < v.item_count(); ++i) {
                write(out, v.items()[i]);
                out += ",\n";
            }
            out += "]";
            break;
        case Json5Kind::object:
            out += "{/**/";
            for (std::size_t i = 0; i < v.member_count(); ++i) {
                write_string(out, v.members()[i].key, v.members()[i].key_length);
                out += ":";
                write(out, v.members()[i].value);
                out += ",";
            }
            out += "}";
            break;
    }
}

void expect_same(const Json5Value& a, const Json5Value& b) {
    check(a.kind == b.kind, "written tree reads back with another kind");
    switch (a.kind) {
        case Json5Kind::null_value: break;
        case Json5Kind::boolean: check(a.boolean() == b.boolean(), "boolean changed"); break;
        case Json5Kind::number: {
            const double x = a.number(), y = b.number();
            check(std::memcmp(&x, &y, sizeof x) == 0 || (std::isnan(x) && std::isnan(y)), "number changed");
            break;
        }
        case Json5Kind::string:
            check(a.string_length() == b.string_length() && std::memcmp(a.string(), b.string(), a.string_length()) == 0,
                  "string changed");
            break;
        case Json5Kind::array:
            check(a.item_count() == b.item_count(), "array length changed");
            for (std::size_t i = 0; i < a.item_count(); ++i) expect_same(a.items()[i], b.items()[i]);
            break;
        case Json5Kind::object:
            check(a.member_count() == b.member_count(), "member count changed");
            for (std::size_t i = 0; i < a.member_count(); ++i) {
                check(a.members()[i].key_length == b.members()[i].key_length &&
                          std::memcmp(a.members()[i].key, b.members()[i].key, a.members()[i].key_length) == 0,
                      "key changed");
                expect_same(a.members()[i].value, b.members()[i].value);
            }
            break;
    }
}

}  // namespace

std::size_t values_in(const Json5Value& v) {
    std::size_t n = 1;
    for (std::size_t i = 0; i < v.item_count(); ++i) n += values_in(v.items()[i]);
    for (std::size_t i = 0; i < v.member_count(); ++i) n += values_in(v.members()[i].value);
    return n;
}

// Where values stand: the walk of an accepted text meets as many values as the
// tree holds, each after the last, each key before its value; on any other
// text it may stop, but must not run past the end.
struct SourceWalk {
    std::size_t size, values, last;
    bool ordered;
};

void walk_source(std::string_view text, bool accepted, std::size_t tree_values) {
    SourceWalk w{text.size(), 0, 0, true};
    const bool walked = json5_visit_source(
        text,
        [](void* d, const Json5SourceValue& v) {
            auto& s = *static_cast<SourceWalk*>(d);
            s.ordered =
                s.ordered && v.offset < s.size && v.key_offset <= v.offset && (s.values == 0 || v.offset > s.last);
            s.last = v.offset;
            ++s.values;
            return true;
        },
        &w);
    if (!accepted) return;
    check(walked, "the walk refused a text the parser took");
    check(w.values == tree_values, "the walk met another number of values than the tree holds");
    check(w.ordered, "a value's place out of order or past the end");
    Json5Place place = json5_text_start;
    json5_advance_place(text, place, w.last);
    check(place.line >= 1 && place.column >= 1 && place.offset == w.last, "a place not 1-based or not where asked");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Heap heap;
    Json5Document doc{};
    Json5Error error{};
    const bool ok = json5_parse(text, heap.allocator(), doc, error);
    walk_source(text, ok, ok ? values_in(doc.root) : 0);
    if (ok) {
        check(error.message == nullptr, "success with an error message");
        walk(doc.root, 1);
        std::string written;
        write(written, doc.root);
        Heap again_heap;
        Json5Document again{};
        check(json5_parse(written, again_heap.allocator(), again, error), "the tree written out does not read back");
        expect_same(doc.root, again.root);
        json5_free(again, again_heap.allocator());
        check(again_heap.live_blocks == 0, "blocks left after reading back");
    } else {
        check(error.message != nullptr, "failure without a message");
        check(error.offset <= size, "error offset past the end");
        check(error.line >= 1 && error.column >= 1, "error position not 1-based");
        check(doc.chunks == nullptr, "failed parse left storage");
    }
    const std::size_t needed = heap.allocations;
    json5_free(doc, heap.allocator());
    check(heap.live_blocks == 0, "blocks left after json5_free or a failed parse");

    // Again, running out of memory somewhere along the way.
    if (needed > 0) {
        Heap short_heap;
        short_heap.fail_after = fuzz::failure_point(data, size, needed);
        Json5Document partial{};
        const bool partial_ok = json5_parse(text, short_heap.allocator(), partial, error);
        check(!partial_ok, "parse succeeded with too little memory");
        check(ok ? std::strcmp(error.message, "out of memory") == 0 : error.message != nullptr,
              "a valid text failed for another reason than memory");
        check(short_heap.live_blocks == 0, "blocks left after running out of memory");
    }
    return 0;
}
