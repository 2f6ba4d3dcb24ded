#include "src/menu/notice_line.h"

#include "src/menu/drawing.h"
#include "src/menu/menu_input.h"

// Above the full menu's title and clear of the game's own messages at the top left.
constexpr float notice_top = 0.035f, notice_size = 0.03f, notice_width = 0.6f;

void draw_notice(RunContext& ctx, PluginState& state) {
    Notice& n = state.notice;
    if (n.ends_ns == 0) return;
    if (!notice_live(n, state.frame_time)) {
        n = Notice{};
        return;
    }
    switch (n.sound) {
        case NoticeSound::none: break;
        case NoticeSound::select: play_sound("SELECT", menu_sound_set); break;
        // The ring's refusal of an add.
        case NoticeSound::refusal: play_sound("UNAFFORDABLE", "Ledger_Sounds"); break;
    }
    n.sound = NoticeSound::none;
    const ScreenSize screen = screen_size(state);
    const std::string_view text =
        fit_text(ctx, n.text, height_to_pixels(screen, notice_size), width_to_pixels(screen, notice_width));
    draw_text_string(ctx, screen, text, "catalog4", notice_size, 0.5f - notice_width / 2, notice_top, notice_width,
                     0.0f, "Center", Rgba{255, 255, 255, 255});
}
