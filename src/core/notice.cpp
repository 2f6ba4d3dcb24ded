#include "src/core/notice.h"

#include <cstring>

#include "src/base/utf8.h"

void show_notice(Notice& notice, std::string_view text, std::int64_t now_ns, NoticeSound sound) {
    // Whole characters only: a cut sequence would draw as garbage.
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = p + text.size();
    std::size_t length = 0;
    while (p + length < end) {
        const Utf8Char c = utf8_decode(p + length, end);
        if (length + c.length > notice_capacity - 1) break;
        length += c.length;
    }
    if (length > 0) std::memcpy(notice.text, text.data(), length);
    notice.text[length] = '\0';
    // A clock at 0 still shows it: 0 means no notice.
    notice.ends_ns = now_ns + notice_duration_ns;
    if (notice.ends_ns == 0) notice.ends_ns = 1;
    notice.sound = sound;
}
