#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "sim/screenshot.h"
#include "sim/session.h"
#include "sim/trace.h"
#include "src/entry.h"
#include "src/scripthook/types.h"

// The module handle the plug-in sees; any non-null value serves.
static HostModule const plugin_module = reinterpret_cast<HostModule>(static_cast<std::uintptr_t>(0x7FF612340000));

// ---- the simulated window, cursor and clock ------------------------------------------------

static SimGame& game_of(void* data) { return static_cast<SimSession*>(data)->host.game; }

static std::int64_t sim_now_ns(void* data) { return game_of(data).clock_ns; }

static PlatformWindow sim_find_window(void* data, const char* title) {
    SimGame& g = game_of(data);
    ++g.window_lookups;
    if (!g.window.present || std::string(title) != game_window_title) return nullptr;
    return reinterpret_cast<PlatformWindow>(g.window.handle);
}

static bool window_is_live(const SimGame& g, PlatformWindow w) {
    return g.window.present && w != nullptr && reinterpret_cast<std::uintptr_t>(w) == g.window.handle;
}

static bool sim_client_size(void* data, PlatformWindow w, std::int32_t* width, std::int32_t* height) {
    const SimGame& g = game_of(data);
    if (!window_is_live(g, w)) return false;
    *width = g.window.width;
    *height = g.window.height;
    return true;
}

static bool sim_cursor_position(void* data, std::int32_t* x, std::int32_t* y) {
    const SimGame& g = game_of(data);
    *x = g.cursor_x;
    *y = g.cursor_y;
    return true;
}

static bool sim_screen_to_client(void* data, PlatformWindow w, std::int32_t* x, std::int32_t* y) {
    const SimGame& g = game_of(data);
    if (!window_is_live(g, w)) return false;
    *x -= g.window.x;
    *y -= g.window.y;
    return true;
}

static bool sim_client_to_screen(void* data, PlatformWindow w, std::int32_t* x, std::int32_t* y) {
    const SimGame& g = game_of(data);
    if (!window_is_live(g, w)) return false;
    *x += g.window.x;
    *y += g.window.y;
    return true;
}

static bool sim_set_cursor_position(void* data, std::int32_t x, std::int32_t y) {
    SimGame& g = game_of(data);
    g.cursor_x = x;
    g.cursor_y = y;
    return true;
}

// ---- the session ---------------------------------------------------------------------------

static bool make_directories(const std::string& path) {
    std::string partial;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
        if (i < path.size()) partial += path[i];
    }
    return true;
}

bool sim_session_begin(SimSession& s, const SimScenario& scenario, const std::string& out_dir, std::string* error) {
    s.scenario = scenario;
    s.out_dir = out_dir;
    char cwd[PATH_MAX];
    s.previous_dir = getcwd(cwd, sizeof cwd) ? cwd : ".";
    if (!make_directories(out_dir) || chdir(out_dir.c_str()) != 0) {
        if (error) *error = "cannot use " + out_dir + " as the game directory";
        return false;
    }
    sim_host_start(s.host, scenario);
    s.platform = PlatformSimulation{&s,
                                    sim_now_ns,
                                    sim_find_window,
                                    sim_client_size,
                                    sim_cursor_position,
                                    sim_screen_to_client,
                                    sim_client_to_screen,
                                    sim_set_cursor_position};
    platform_install_simulation(&s.platform);
    plugin_process_attach(plugin_module, sim_host_api());
    s.attached = true;
    return true;
}

// Renders the screenshots the scenario asks for after `frame` into screenshots/NAME.png.
static void take_screenshots(SimSession& s, std::int64_t frame) {
    for (const SimScreenshot& shot : s.scenario.screenshots) {
        if (shot.frame != frame) continue;
        const std::string what = "screenshot \"" + shot.name + "\" (after frame " + std::to_string(frame) + ")";
        std::string error = "cannot make the directory screenshots";
        if (!make_directories("screenshots") ||
            !sim_render_screenshot(s.host.game, "screenshots/" + shot.name + ".png", &error)) {
            sim_fail(s.host, what + ": " + error);
        }
    }
}

bool sim_session_frame(SimSession& s) {
    SimGame& g = s.host.game;
    const std::int64_t frame = g.frame;
    g.clock_ns = s.scenario.start_time_ns + frame * s.scenario.frame_ns;
    sim_apply_events(s.scenario, g, frame);
    sim_host_run_frame(s.host);
    // Also after a frame that failed: what was drawn up to the failure helps to see why.
    if (g.frame == frame + 1) take_screenshots(s, frame);
    return s.host.failure.empty();
}

bool sim_session_run(SimSession& s) {
    while (s.host.game.frame < s.scenario.frames) {
        if (!sim_session_frame(s)) return false;
    }
    return true;
}

bool sim_session_end(SimSession& s, std::string* error) {
    if (s.attached) {
        plugin_process_detach(plugin_module);
        s.attached = false;
    }
    // After the unload: a native that cleanup called breaks the host's rules too.
    bool ok = s.host.failure.empty();
    sim_host_shutdown(s.host);
    std::string trace_error;
    if (!sim_write_run_records(s.host, "trace.jsonl", &trace_error)) {
        ok = false;
        if (error) *error = trace_error;
    }
    if (!s.host.failure.empty() && error) *error = s.host.failure;
    platform_install_simulation(nullptr);
    sim_host_activate(nullptr);
    if (chdir(s.previous_dir.c_str()) != 0 && error) *error = "cannot go back to " + s.previous_dir;
    return ok;
}
