// quillfen-sim.exe: plays a scenario with the real Quillfen.asi.
//   quillfen-sim.exe run SCENARIO --out DIR [--asi PATH]
// Loads the substitute ScriptHookRDR2.dll, then Quillfen.asi (as the game's ASI
// loader does), runs the frames in real time with the game window the scenario
// asks for, and unloads the plug-in with FreeLibrary so its cleanup runs.
#include <windows.h>

#include <cstdio>
#include <string>

#include "sim/dll_control.h"
#include "sim/driver.h"
#include "src/base/calendar.h"
#include "src/scripthook/types.h"

static const char* const window_class = "QuillfenSimGameWindow";

static HWND game_window = nullptr;

static LRESULT CALLBACK window_procedure(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, message, wp, lp);
}

// Makes the real window match what the scenario wants: present or not, client
// size and screen position.
static void sync_window(const SimDllWorld& world) {
    if (!world.present) {
        if (game_window) DestroyWindow(game_window);
        game_window = nullptr;
        return;
    }
    RECT r{0, 0, world.width, world.height};
    const DWORD style = WS_POPUP | WS_VISIBLE;
    AdjustWindowRect(&r, style, FALSE);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (!game_window) {
        game_window = CreateWindowExA(0, window_class, game_window_title, style, world.x + r.left, world.y + r.top, w,
                                      h, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    } else {
        SetWindowPos(game_window, nullptr, world.x + r.left, world.y + r.top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

static void pump_messages() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

static std::string directory_of_exe() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    std::size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? "." : p.substr(0, slash);
}

static std::string absolute(const std::string& path) {
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return n ? std::string(full, n) : path;
}

template <class F>
static F proc(HMODULE m, const char* name) {
    FARPROC p = GetProcAddress(m, name);
    if (!p) {
        std::fprintf(stderr, "quillfen-sim: ScriptHookRDR2.dll lacks %s\n", name);
        std::exit(2);
    }
    return reinterpret_cast<F>(reinterpret_cast<void*>(p));
}

int main(int argc, char** argv) {
    SimCommandLine line;
    if (!sim_parse_command_line(argc, argv, "quillfen-sim.exe", true, line)) return 2;
    const std::string scenario_path = absolute(line.scenario_path);
    const std::string asi_path =
        absolute(line.asi_path.empty() ? directory_of_exe() + "\\Quillfen.asi" : line.asi_path);
    const std::string& out_dir = line.out_dir;

    HMODULE host = LoadLibraryA((directory_of_exe() + "\\ScriptHookRDR2.dll").c_str());
    if (!host) {
        std::fprintf(stderr, "quillfen-sim: cannot load ScriptHookRDR2.dll (error %lu)\n", GetLastError());
        return 2;
    }
    auto begin = proc<SimDllBegin>(host, "sim_dll_begin");
    auto prepare = proc<SimDllPrepareFrame>(host, "sim_dll_prepare_frame");
    auto world = proc<SimDllWorldFn>(host, "sim_dll_world");
    auto run_frame = proc<SimDllRunFrame>(host, "sim_dll_run_frame");
    auto end = proc<SimDllEnd>(host, "sim_dll_end");
    auto failure = proc<SimDllFailure>(host, "sim_dll_failure");
    auto frame_count = proc<SimDllCount>(host, "sim_dll_frame_count");
    auto frame_ns = proc<SimDllCount>(host, "sim_dll_frame_ns");
    auto native_calls = proc<SimDllCount>(host, "sim_dll_native_calls");
    auto note_cursor = proc<SimDllNoteCursor>(host, "sim_dll_note_cursor");

    char error[512] = {};
    if (!begin(scenario_path.c_str(), error, sizeof error)) {
        std::fprintf(stderr, "quillfen-sim: %s\n", error);
        return 2;
    }

    WNDCLASSA wc{};
    wc.lpfnWndProc = window_procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = window_class;
    RegisterClassA(&wc);

    // The game's working directory: the plug-in keeps its files under it.
    CreateDirectoryA(out_dir.c_str(), nullptr);
    if (!SetCurrentDirectoryA(out_dir.c_str())) {
        std::fprintf(stderr, "quillfen-sim: cannot use %s as the game directory\n", out_dir.c_str());
        return 2;
    }

    // The window exists before the plug-in loads when the scenario starts with one.
    prepare();
    sync_window(*world());
    if (world()->cursor_moved) SetCursorPos(world()->cursor_x, world()->cursor_y);
    pump_messages();

    HMODULE plugin = LoadLibraryA(asi_path.c_str());
    if (!plugin) {
        std::fprintf(stderr, "quillfen-sim: cannot load %s (error %lu)\n", asi_path.c_str(), GetLastError());
        return 2;
    }

    // A thread of the game's coming and going sends the plug-in thread attach
    // and detach notifications, which must change nothing.
    HANDLE worker = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
    if (worker) {
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
    }

    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const long long frames = frame_count();
    const double frame_seconds = seconds_from_ns(frame_ns());
    bool ok = true;
    for (long long f = 0; f < frames && ok; ++f) {
        if (f > 0) {
            prepare();
            const SimDllWorld& w = *world();
            sync_window(w);
            if (w.cursor_moved) SetCursorPos(w.cursor_x, w.cursor_y);
        }
        pump_messages();
        ok = run_frame() != 0;
        // Real time: wait for the next frame's moment.
        for (;;) {
            QueryPerformanceCounter(&now);
            const double elapsed =
                static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
            const double due = static_cast<double>(f + 1) * frame_seconds;
            if (elapsed >= due) break;
            const double wait_ms = (due - elapsed) * 1000.0;
            Sleep(wait_ms > 2.0 ? static_cast<DWORD>(wait_ms - 1.0) : 0);
        }
    }

    POINT cursor{};
    if (GetCursorPos(&cursor)) note_cursor(cursor.x, cursor.y);
    FreeLibrary(plugin);  // DllMain detach: cleanup, then scriptUnregister
    if (game_window) DestroyWindow(game_window);
    const int sound = end("trace.jsonl");
    const char* why = failure();
    return sim_report_outcome(frames, native_calls(), sound != 0, why && *why ? why : "trace not written");
}
