// The Windows side of the platform seam: the game window and the mouse cursor
// (user32). Apart from the files and the clock, so that the command-line tools
// can use those without pulling in the user interface DLL.
#include <windows.h>

#include "src/platform/platform.h"

PlatformWindow platform_find_window(const char* title) { return FindWindowA(nullptr, title); }

bool platform_client_size(PlatformWindow window, std::int32_t* width, std::int32_t* height) {
    RECT r;
    if (!window || !GetClientRect(static_cast<HWND>(window), &r)) return false;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return true;
}

bool platform_cursor_position(std::int32_t* x, std::int32_t* y) {
    POINT p;
    if (!GetCursorPos(&p)) return false;
    *x = p.x;
    *y = p.y;
    return true;
}

bool platform_screen_to_client(PlatformWindow window, std::int32_t* x, std::int32_t* y) {
    POINT p{*x, *y};
    if (!window || !ScreenToClient(static_cast<HWND>(window), &p)) return false;
    *x = p.x;
    *y = p.y;
    return true;
}

bool platform_client_to_screen(PlatformWindow window, std::int32_t* x, std::int32_t* y) {
    POINT p{*x, *y};
    if (!window || !ClientToScreen(static_cast<HWND>(window), &p)) return false;
    *x = p.x;
    *y = p.y;
    return true;
}

bool platform_set_cursor_position(std::int32_t x, std::int32_t y) { return SetCursorPos(x, y) != 0; }
