#include "src/base/utf8.h"

std::string_view trim_unicode_space(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = bytes + text.size();
    auto at = [&](std::size_t i) { return utf8_decode(bytes + i, end, Utf8Form::bit_pattern, Utf8Errors::each_byte); };
    std::size_t begin = 0;
    while (begin < text.size()) {
        const Utf8Char c = at(begin);
        if (!is_unicode_space(c.code_point)) break;
        begin += c.length;
    }
    std::size_t last = begin;  // the end of the last character that is no space
    for (std::size_t i = begin; i < text.size();) {
        const Utf8Char c = at(i);
        i += c.length;
        if (!is_unicode_space(c.code_point)) last = i;
    }
    return text.substr(begin, last - begin);
}
