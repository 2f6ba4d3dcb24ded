#include "sim/scenario.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>

#include "src/base/allocators.h"
#include "src/json5/json5_reader.h"

// Sections: value readers · world keys · the scenario document.

namespace {

struct ParseError {
    std::string message;
};

// ---- value readers ----------------------------------------------------------------------

std::string key_text(const Json5Member& m) { return std::string(m.key, m.key_length); }

double read_number(const Json5Value& v, const std::string& what) {
    if (v.kind != Json5Kind::number) throw ParseError{what + " must be a number"};
    return v.number();
}

std::int64_t read_integer(const Json5Value& v, const std::string& what) {
    if (v.kind != Json5Kind::number || !v.is_integer()) throw ParseError{what + " must be an integer"};
    return v.integer();
}

bool read_bool(const Json5Value& v, const std::string& what) {
    if (v.kind != Json5Kind::boolean) throw ParseError{what + " must be true or false"};
    return v.boolean();
}

std::vector<double> read_numbers(const Json5Value& v, std::size_t count, const std::string& what) {
    if (v.kind != Json5Kind::array || v.item_count() != count) {
        throw ParseError{what + " must be an array of " + std::to_string(count) + " numbers"};
    }
    std::vector<double> out;
    for (std::size_t i = 0; i < count; ++i) out.push_back(read_number(v.items()[i], what));
    return out;
}

void require_object(const Json5Value& v, const std::string& what) {
    if (v.kind != Json5Kind::object) throw ParseError{what + " must be an object"};
}

// ---- world keys ---------------------------------------------------------------------------

SimWorldChange parse_window(const Json5Value& v) {
    require_object(v, "window");
    struct Fields {
        int present = -1;
        std::int64_t width = -1, height = -1, x = INT64_MIN, y = INT64_MIN;
    } f;
    for (std::size_t i = 0; i < v.member_count(); ++i) {
        const std::string k = key_text(v.members()[i]);
        const Json5Value& value = v.members()[i].value;
        if (k == "present") f.present = read_bool(value, "window.present");
        else if (k == "width") f.width = read_integer(value, "window.width");
        else if (k == "height") f.height = read_integer(value, "window.height");
        else if (k == "x") f.x = read_integer(value, "window.x");
        else if (k == "y") f.y = read_integer(value, "window.y");
        else throw ParseError{"unknown key window." + k};
    }
    return [f](SimGame& g) {
        SimWindow w = g.window;
        const bool present = f.present == -1 ? true : f.present == 1;
        sim_game_set_window(g, present, f.width >= 0 ? static_cast<std::int32_t>(f.width) : (w.width ? w.width : 1920),
                            f.height >= 0 ? static_cast<std::int32_t>(f.height) : (w.height ? w.height : 1080),
                            f.x != INT64_MIN ? static_cast<std::int32_t>(f.x) : w.x,
                            f.y != INT64_MIN ? static_cast<std::int32_t>(f.y) : w.y);
    };
}

SimWorldChange parse_cursor(const Json5Value& v) {
    std::vector<double> xy = read_numbers(v, 2, "cursor");
    return [xy](SimGame& g) {
        g.cursor_x = static_cast<std::int32_t>(xy[0]);
        g.cursor_y = static_cast<std::int32_t>(xy[1]);
    };
}

SimWorldChange parse_player(const Json5Value& v) {
    require_object(v, "player");
    std::vector<SimWorldChange> parts;
    for (std::size_t i = 0; i < v.member_count(); ++i) {
        const std::string k = key_text(v.members()[i]);
        const Json5Value& value = v.members()[i].value;
        if (k == "position") {
            std::vector<double> p = read_numbers(value, 3, "player.position");
            parts.push_back([p](SimGame& g) {
                for (int j = 0; j < 3; ++j) g.player_position[j] = static_cast<float>(p[static_cast<std::size_t>(j)]);
            });
        } else {
            throw ParseError{"unknown key player." + k};
        }
    }
    return [parts](SimGame& g) {
        for (const SimWorldChange& c : parts) c(g);
    };
}

// A hash written as "0x..." in hexadecimal, or any other text hashed as the game hashes names.
std::uint32_t hash_from_text(const std::string& t, const std::string& what) {
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        std::size_t used = 0;
        unsigned long long h = 0;
        try {
            h = std::stoull(t.substr(2), &used, 16);
        } catch (...) {
            used = 0;
        }
        if (used == t.size() - 2 && h <= 0xFFFFFFFFULL) return static_cast<std::uint32_t>(h);
        throw ParseError{what + ": bad hexadecimal hash " + t};
    }
    return sim_joaat(t.c_str());
}

// A hash: a number, or a text as above.
std::uint32_t read_hash(const Json5Value& v, const std::string& what) {
    if (v.kind == Json5Kind::number && v.is_integer() && v.integer() >= 0 && v.integer() <= 0xFFFFFFFFLL) {
        return static_cast<std::uint32_t>(v.integer());
    }
    if (v.kind == Json5Kind::string) return hash_from_text(std::string(v.string(), v.string_length()), what);
    throw ParseError{what + " must be a 32-bit number or a text"};
}

std::int32_t read_zone_type(const Json5Value& v) {
    static const char* const names[] = {"STATE", "TOWN", "LAKE",    "RIVER",    "OIL_SPILL",    "SWAMP",       "OCEAN",
                                        "CREEK", "POND", "GLACIER", "DISTRICT", "TEXT_PRINTED", "TEXT_WRITTEN"};
    if (v.kind == Json5Kind::string) {
        const std::string t(v.string(), v.string_length());
        for (std::int32_t i = 0; i < 13; ++i) {
            if (t == names[i]) return i;
        }
        throw ParseError{"unknown zone type " + t};
    }
    const std::int64_t n = read_integer(v, "zone type");
    if (n < 0 || n > 12) throw ParseError{"zone types run from 0 to 12"};
    return static_cast<std::int32_t>(n);
}

void read_rect(const Json5Value& v, float& x0, float& y0, float& x1, float& y1, const std::string& what) {
    std::vector<double> r = read_numbers(v, 4, what + ".rect");
    x0 = static_cast<float>(std::min(r[0], r[2]));
    y0 = static_cast<float>(std::min(r[1], r[3]));
    x1 = static_cast<float>(std::max(r[0], r[2]));
    y1 = static_cast<float>(std::max(r[1], r[3]));
}

SimWorldChange parse_zones(const Json5Value& v) {
    if (v.kind != Json5Kind::array) throw ParseError{"zones must be an array"};
    std::vector<SimZone> zones;
    for (std::size_t i = 0; i < v.item_count(); ++i) {
        const Json5Value& z = v.items()[i];
        require_object(z, "a zone");
        SimZone zone{};
        bool have_rect = false, have_hash = false, have_type = false;
        for (std::size_t j = 0; j < z.member_count(); ++j) {
            const std::string k = key_text(z.members()[j]);
            const Json5Value& value = z.members()[j].value;
            if (k == "type") {
                zone.type = read_zone_type(value);
                have_type = true;
            } else if (k == "hash") {
                zone.hash = read_hash(value, "zone.hash");
                have_hash = true;
            } else if (k == "text") {
                if (value.kind == Json5Kind::string) zone.text = std::string(value.string(), value.string_length());
                else if (value.kind != Json5Kind::null_value) throw ParseError{"zone.text must be a text or null"};
            } else if (k == "rect") {
                read_rect(value, zone.x0, zone.y0, zone.x1, zone.y1, "zone");
                have_rect = true;
            } else throw ParseError{"unknown key zone." + k};
        }
        if (!have_rect || !have_hash || !have_type) throw ParseError{"a zone needs type, hash and rect"};
        zones.push_back(zone);
    }
    return [zones](SimGame& g) { g.zones = zones; };
}

SimWorldChange parse_ground(const Json5Value& v) {
    require_object(v, "ground");
    bool set_default = false;
    std::optional<float> fallback;
    std::vector<SimGroundArea> areas;
    bool set_areas = false;
    for (std::size_t i = 0; i < v.member_count(); ++i) {
        const std::string k = key_text(v.members()[i]);
        const Json5Value& value = v.members()[i].value;
        if (k == "default") {
            set_default = true;
            if (value.kind != Json5Kind::null_value)
                fallback = static_cast<float>(read_number(value, "ground.default"));
        } else if (k == "areas") {
            set_areas = true;
            if (value.kind != Json5Kind::array) throw ParseError{"ground.areas must be an array"};
            for (std::size_t j = 0; j < value.item_count(); ++j) {
                const Json5Value& a = value.items()[j];
                require_object(a, "a ground area");
                SimGroundArea area{};
                const Json5Value* rect = json5_find_member(a, "rect");
                const Json5Value* height = json5_find_member(a, "height");
                if (!rect || !height || a.member_count() != 2)
                    throw ParseError{"a ground area has rect and height (null: no ground)"};
                read_rect(*rect, area.x0, area.y0, area.x1, area.y1, "ground area");
                if (height->kind != Json5Kind::null_value)
                    area.height = static_cast<float>(read_number(*height, "ground height"));
                areas.push_back(area);
            }
        } else {
            throw ParseError{"unknown key ground." + k};
        }
    }
    return [=](SimGame& g) {
        if (set_default) g.default_ground = fallback;
        if (set_areas) g.ground_areas = areas;
    };
}

SimWorldChange parse_waypoint(const Json5Value& v) {
    if (v.kind == Json5Kind::null_value) return [](SimGame& g) { g.waypoint_set = false; };
    std::vector<double> xy = read_numbers(v, 2, "waypoint");
    return [xy](SimGame& g) {
        g.waypoint_set = true;
        g.waypoint_x = static_cast<float>(xy[0]);
        g.waypoint_y = static_cast<float>(xy[1]);
    };
}

SimWorldChange parse_blips(const Json5Value& v) {
    require_object(v, "blips");
    std::optional<std::int64_t> capacity;
    std::int64_t drop = 0;  // -1: all
    for (std::size_t i = 0; i < v.member_count(); ++i) {
        const std::string k = key_text(v.members()[i]);
        const Json5Value& value = v.members()[i].value;
        if (k == "capacity") {
            capacity = value.kind == Json5Kind::null_value ? -1 : read_integer(value, "blips.capacity");
        } else if (k == "drop") {
            if (value.kind == Json5Kind::string && std::string(value.string(), value.string_length()) == "all")
                drop = -1;
            else drop = read_integer(value, "blips.drop");
        } else {
            throw ParseError{"unknown key blips." + k};
        }
    }
    return [capacity, drop](SimGame& g) {
        if (capacity) g.blip_capacity = *capacity;
        // The game drops the oldest blips: their handles go stale.
        for (std::int64_t n = 0; (drop < 0 || n < drop) && !g.blips.empty(); ++n) g.blips.erase(g.blips.begin());
    };
}

std::vector<std::uint32_t> read_hashes(const Json5Value& v, const std::string& what) {
    std::vector<std::uint32_t> out;
    if (v.kind == Json5Kind::array) {
        for (std::size_t i = 0; i < v.item_count(); ++i) out.push_back(read_hash(v.items()[i], what));
    } else {
        out.push_back(read_hash(v, what));
    }
    return out;
}

SimWorldChange parse_map(const Json5Value& v) {
    const bool open = read_bool(v, "map");
    return [open](SimGame& g) { g.map_open = open; };
}

// Controls named as the game names them ("INPUT_PLAYER_MENU") or by hash; one frame long.
SimWorldChange parse_press(const Json5Value& v) {
    std::vector<std::uint32_t> h = read_hashes(v, "press");
    return [h](SimGame& g) { g.pressed.insert(h.begin(), h.end()); };
}

SimWorldChange parse_hold(const Json5Value& v) {
    std::vector<std::uint32_t> h = read_hashes(v, "hold");
    return [h](SimGame& g) { g.held.insert(h.begin(), h.end()); };
}

SimWorldChange parse_just_pressed(const Json5Value& v) {
    std::vector<std::uint32_t> h = read_hashes(v, "just_pressed");
    return [h](SimGame& g) { g.just_pressed.insert(h.begin(), h.end()); };
}

SimWorldChange parse_control_values(const Json5Value& v) {
    require_object(v, "control_values");
    std::vector<std::pair<std::uint32_t, std::int32_t>> values;
    for (std::size_t i = 0; i < v.member_count(); ++i) {
        const std::int64_t value = read_integer(v.members()[i].value, "control value");
        if (value < 0 || value > 255) throw ParseError{"control values run from 0 to 255"};
        values.emplace_back(hash_from_text(key_text(v.members()[i]), "control"), static_cast<std::int32_t>(value));
    }
    return [values](SimGame& g) {
        for (auto& [c, value] : values) g.control_values[c] = value;
    };
}

SimWorldChange parse_input(const Json5Value& v) {
    const std::string device = v.kind == Json5Kind::string ? std::string(v.string(), v.string_length()) : "";
    if (device != "mouse" && device != "pad") throw ParseError{"input is \"mouse\" or \"pad\""};
    return [device](SimGame& g) { g.uses_mouse = device == "mouse"; };
}

SimWorldChange parse_hover(const Json5Value& v) {
    const bool hover = read_bool(v, "hover");
    return [hover](SimGame& g) { g.hover_active = hover; };
}

SimWorldChange parse_keyboard(const Json5Value& v) {
    require_object(v, "keyboard");
    SimKeyboardScript k;
    for (std::size_t i = 0; i < v.member_count(); ++i) {
        const std::string key = key_text(v.members()[i]);
        const Json5Value& value = v.members()[i].value;
        if (key == "typing_frames") k.typing_frames = read_integer(value, "keyboard.typing_frames");
        else if (key == "cancel") k.cancel = read_bool(value, "keyboard.cancel");
        else if (key == "result") {
            if (value.kind == Json5Kind::string) k.result = std::string(value.string(), value.string_length());
            else if (value.kind != Json5Kind::null_value) throw ParseError{"keyboard.result is a text or null"};
        } else {
            throw ParseError{"unknown key keyboard." + key};
        }
    }
    return [k](SimGame& g) { g.next_keyboard = k; };
}

// "every", "first" or "frames:N" (N from 1 to 1000).
SimWorldChange parse_repeat_answers(const Json5Value& v) {
    const std::string mode = v.kind == Json5Kind::string ? std::string(v.string(), v.string_length()) : "";
    SimRepeat repeat = SimRepeat::every;
    std::int32_t frames = 1;
    if (mode == "first") {
        repeat = SimRepeat::first;
    } else if (mode.rfind("frames:", 0) == 0) {
        const std::string digits = mode.substr(7);
        const bool number =
            !digits.empty() && digits.size() <= 4 && digits.find_first_not_of("0123456789") == std::string::npos;
        frames = number ? std::stoi(digits) : 0;
        if (frames < 1 || frames > 1000) throw ParseError{"repeat_answers \"frames:N\" needs N from 1 to 1000"};
        repeat = SimRepeat::frames;
    } else if (mode != "every") {
        throw ParseError{"repeat_answers is \"every\", \"first\" or \"frames:N\""};
    }
    return [repeat, frames](SimGame& g) {
        g.repeat_answers = repeat;
        g.repeat_frames = frames;
    };
}

struct WorldKey {
    const char* name;
    SimWorldChange (*parse)(const Json5Value&);
};

const WorldKey world_keys[] = {
    {"window", parse_window},
    {"cursor", parse_cursor},
    {"player", parse_player},
    {"zones", parse_zones},
    {"ground", parse_ground},
    {"waypoint", parse_waypoint},
    {"blips", parse_blips},
    {"map", parse_map},
    {"press", parse_press},
    {"hold", parse_hold},
    {"just_pressed", parse_just_pressed},
    {"control_values", parse_control_values},
    {"input", parse_input},
    {"hover", parse_hover},
    {"keyboard", parse_keyboard},
    {"repeat_answers", parse_repeat_answers},
};

bool is_world_key(const std::string& k) {
    for (const WorldKey& w : world_keys) {
        if (k == w.name) return true;
    }
    return false;
}

// An object of world keys; `skip` names keys handled by the caller.
SimEvent parse_event(const Json5Value& v, std::int64_t frame, const char* skip) {
    SimEvent e{frame, {}};
    for (std::size_t i = 0; i < v.member_count(); ++i) {
        const std::string k = key_text(v.members()[i]);
        if (skip && k == skip) continue;
        const WorldKey* key = nullptr;
        for (const WorldKey& w : world_keys) {
            if (k == w.name) key = &w;
        }
        if (!key) throw ParseError{"unknown world key '" + k + "' (frame " + std::to_string(frame) + ")"};
        e.changes.push_back(key->parse(v.members()[i].value));
    }
    return e;
}

// ---- the scenario document ----------------------------------------------------------------

void parse_document(const Json5Value& root, SimScenario& s) {
    require_object(root, "the scenario");
    bool have_frames = false;
    for (std::size_t i = 0; i < root.member_count(); ++i) {
        const std::string k = key_text(root.members()[i]);
        const Json5Value& v = root.members()[i].value;
        if (k == "frames") {
            s.frames = read_integer(v, "frames");
            if (s.frames < 1) throw ParseError{"frames must be at least 1"};
            have_frames = true;
        } else if (k == "frame_ms") {
            double ms = read_number(v, "frame_ms");
            if (!(ms > 0 && ms < 60000)) throw ParseError{"frame_ms must lie between 0 and 60000"};
            s.frame_ns = static_cast<std::int64_t>(std::llround(ms * 1e6));
        } else if (k == "frame_ns") {
            s.frame_ns = read_integer(v, "frame_ns");
            if (s.frame_ns <= 0) throw ParseError{"frame_ns must be positive"};
        } else if (k == "start_time_ns") {
            s.start_time_ns = read_integer(v, "start_time_ns");
        } else if (k == "texture_load_frames") {
            s.texture_load_frames = read_integer(v, "texture_load_frames");
            if (s.texture_load_frames < 0) throw ParseError{"texture_load_frames must not be negative"};
        } else if (k == "world") {
            require_object(v, "world");
            s.events.push_back(parse_event(v, 0, nullptr));
        } else if (k == "events") {
            if (v.kind != Json5Kind::array) throw ParseError{"events must be an array"};
            for (std::size_t j = 0; j < v.item_count(); ++j) {
                const Json5Value& ev = v.items()[j];
                require_object(ev, "an event");
                const Json5Value* frame = json5_find_member(ev, "frame");
                if (!frame) throw ParseError{"every event needs a frame"};
                std::int64_t at = read_integer(*frame, "event frame");
                if (at < 0) throw ParseError{"event frames start at 0"};
                s.events.push_back(parse_event(ev, at, "frame"));
            }
        } else if (k == "screenshots") {
            if (v.kind != Json5Kind::array) throw ParseError{"screenshots must be an array"};
            for (std::size_t j = 0; j < v.item_count(); ++j) {
                const Json5Value& shot = v.items()[j];
                require_object(shot, "a screenshot");
                const Json5Value* frame = json5_find_member(shot, "frame");
                const Json5Value* name = json5_find_member(shot, "name");
                if (!frame || shot.member_count() > 2)
                    throw ParseError{"a screenshot has a frame and an optional name"};
                SimScreenshot s_{read_integer(*frame, "screenshot frame"), {}};
                if (name) {
                    if (name->kind != Json5Kind::string) throw ParseError{"a screenshot's name is a text"};
                    s_.name.assign(name->string(), name->string_length());
                    if (s_.name.empty() || s_.name.find_first_of("/\\") != std::string::npos) {
                        throw ParseError{"a screenshot's name is a plain file name"};
                    }
                } else {
                    s_.name = "frame-" + std::to_string(s_.frame);
                }
                s.screenshots.push_back(s_);
            }
        } else if (is_world_key(k)) {
            // A world key at the top level describes the world at frame 0.
            SimEvent e{0, {}};
            for (const WorldKey& w : world_keys) {
                if (k == w.name) e.changes.push_back(w.parse(v));
            }
            s.events.push_back(std::move(e));
        } else {
            throw ParseError{"unknown scenario key '" + k + "'"};
        }
    }
    if (!have_frames) throw ParseError{"the scenario must say how many frames to run"};
    std::stable_sort(s.events.begin(), s.events.end(),
                     [](const SimEvent& a, const SimEvent& b) { return a.frame < b.frame; });
}

}  // namespace

bool sim_parse_scenario(std::string_view text, SimScenario& scenario, std::string* error) {
    const Allocator heap = heap_allocator();
    Json5Document doc{};
    Json5Error perr{};
    if (!json5_parse(text, heap, doc, perr)) {
        if (error) {
            *error = "line " + std::to_string(perr.line) + ", column " + std::to_string(perr.column) + ": " +
                     (perr.message ? perr.message : "invalid JSON5");
        }
        return false;
    }
    bool ok = true;
    try {
        scenario = SimScenario{};
        parse_document(doc.root, scenario);
    } catch (const ParseError& e) {
        if (error) *error = e.message;
        ok = false;
    }
    json5_free(doc, heap);
    return ok;
}

bool sim_load_scenario(const std::string& path, SimScenario& scenario, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string message;
    if (!sim_parse_scenario(text.str(), scenario, &message)) {
        if (error) *error = path + ": " + message;
        return false;
    }
    return true;
}

void sim_apply_events(const SimScenario& scenario, SimGame& game, std::int64_t frame) {
    for (const SimEvent& e : scenario.events) {
        if (e.frame != frame) continue;
        for (const SimWorldChange& change : e.changes) change(game);
    }
}
