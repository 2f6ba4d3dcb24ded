// A short line on screen for what just happened (an arrival, an import, a
// save that failed or works again, an add refused), kept for a few seconds.
// The features below the menu set it; the menu's drawing shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::int64_t notice_duration_ns = 4'000'000'000;
// Bytes of a notice's text with its terminating zero; a longer text is cut
// between characters.
inline constexpr std::size_t notice_capacity = 112;

// The game's frontend sound that comes with a notice, played once when it
// is first drawn.
enum class NoticeSound : std::uint8_t { none, select, refusal };

struct Notice {
    char text[notice_capacity];
    std::int64_t ends_ns;  // the clock when it goes; 0 when there is none
    NoticeSound sound;     // still to be played: none once it was
};

// Shows `text` from `now_ns` for notice_duration_ns, in place of any notice before it.
void show_notice(Notice& notice, std::string_view text, std::int64_t now_ns, NoticeSound sound);
// Whether a notice is to be drawn at `now_ns`.
inline bool notice_live(const Notice& notice, std::int64_t now_ns) {
    return notice.ends_ns != 0 && now_ns < notice.ends_ns;
}
