#include "sim/game_natives.h"

#include <cstring>

#include "sim/game.h"

// Sections: reading and writing a call · what the answers share · the natives' table · lookup.

// ---- reading and writing a call ------------------------------------------------------------

float SimNativeCall::f32(std::size_t i) const {
    std::uint32_t bits = static_cast<std::uint32_t>(args[i]);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void SimNativeCall::set_vector3(float x, float y, float z) {
    auto word = [](float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        return static_cast<std::uint64_t>(bits);
    };
    result[0] = word(x);
    result[1] = word(y);
    result[2] = word(z);
}

void SimNativeCall::write_f32(std::size_t i, float v) {
    auto* target = reinterpret_cast<float*>(static_cast<std::uintptr_t>(args[i]));
    if (target) *target = v;
    wrote_f32 = true;
    written_f32 = v;
}

// ---- what the answers share ------------------------------------------------------------------

namespace {

std::string text_or_empty(const char* t) { return t ? std::string(t) : std::string(); }

// True when this query may see the input: always, or only the first time in
// the frame, as the scenario chooses.
bool first_or_every(SimGame& game, SimQuery kind, std::uint32_t key) {
    if (game.repeat_answers != SimRepeat::first) return true;
    return game.answered.insert((static_cast<std::uint64_t>(kind) << 32) | key).second;
}

bool texture_loaded(SimGame& game, const char* dictionary) {
    auto it = game.texture_requests.find(text_or_empty(dictionary));
    return it != game.texture_requests.end() && game.frame - it->second >= game.texture_load_frames;
}

bool inside(float x, float y, float x0, float y0, float x1, float y1) {
    return x >= x0 && x <= x1 && y >= y0 && y <= y1;
}

bool is_water(std::int32_t type) { return (type >= 2 && type <= 9 && type != 4); }

std::uint32_t zone_at(const SimGame& game, float x, float y, std::int32_t type, bool water_only) {
    for (const SimZone& z : game.zones) {
        if (water_only ? !is_water(z.type) : (type != -1 && z.type != type)) continue;
        if (inside(x, y, z.x0, z.y0, z.x1, z.y1)) return z.hash;
    }
    return 0;
}

std::optional<float> ground_at(const SimGame& game, float x, float y) {
    std::optional<float> h = game.default_ground;
    for (const SimGroundArea& a : game.ground_areas) {
        if (inside(x, y, a.x0, a.y0, a.x1, a.y1)) h = a.height;
    }
    return h;
}

SimBlip* blip_of(SimGame& game, const SimNativeCall& call) {
    auto it = game.blips.find(call.u64(0));
    return it == game.blips.end() ? nullptr : &it->second;
}

// The prompt a call names, or null for a handle the game never gave out.
SimPrompt* prompt_of(SimGame& game, const SimNativeCall& call) {
    auto it = game.prompts.find(call.u64(0));
    return it == game.prompts.end() ? nullptr : &it->second;
}

// A prompt completes only while the game shows it: enabled, visible, its group up.
bool prompt_shown(const SimGame& game, const SimPrompt& p) {
    return p.ended && p.enabled && p.visible && (!p.in_group || game.map_open);
}

SimScreenEffect& screen_effect_of(SimGame& game, const SimNativeCall& call) {
    return game.screen_effects[text_or_empty(call.text(0))];
}

// The answer of a native the model has nothing to say about: zeroes (false,
// 0, null, the origin), as the call's result starts.
void zeroes(SimGame&, SimNativeCall&) {}

// ---- the natives' table ----------------------------------------------------------------------
// The hashes, names and signatures come from the game's native database
// (docs: ../shared/natives.md), not from the plug-in's native_hashes.h: the
// host checks the plug-in's hashes and argument lists against this table, so
// it must not share them. Argument kinds follow the game's types (Blip, Ped,
// Entity and Prompt travel as handles; int, BOOL, Hash and float as 32-bit
// values). To add a native, add its row; the host then accepts it.

using Arg = SimArgKind;
using Result = SimResultKind;

const SimNative natives[] = {
    {{0x662D364ABF16DE2F,
      "blip_add_modifier",
      "MAP::BLIP_ADD_MODIFIER",
      {Arg::handle, Arg::hash32},
      2,
      Result::boolean},
     [](SimGame& game, SimNativeCall& call) {
         SimBlip* b = blip_of(game, call);
         if (b) b->modifiers.push_back(call.hash(1));
         call.set_bool(b != nullptr);
     }},
    {{0xCD82FA174080B3B1, "blip_exists", "MAP::DOES_BLIP_EXIST", {Arg::handle}, 1, Result::boolean},
     [](SimGame& game, SimNativeCall& call) { call.set_bool(blip_of(game, call) != nullptr); }},
    {{0x01B928CA2E198B01, "blip_pre_remove", "MAP::_CLEAR_BLIP", {Arg::handle}, 1, Result::boolean},
     [](SimGame& game, SimNativeCall& call) { call.set_bool(blip_of(game, call) != nullptr); }},
    {{0x580417101DDB492F,
      "control_just_pressed",
      "PAD::IS_CONTROL_JUST_PRESSED",
      {Arg::i32, Arg::hash32},
      2,
      Result::boolean},
     [](SimGame& game, SimNativeCall& call) {
         const std::uint32_t c = call.hash(1);
         const bool active = !game.controls_disabled || game.controls_enabled.count(c);
         call.set_bool(active && game.just_pressed.count(c) && first_or_every(game, SimQuery::control, c));
     }},
    {{0xD95E79E8686D2C27, "control_value", "PAD::GET_CONTROL_VALUE", {Arg::i32, Arg::hash32}, 2, Result::i32},
     [](SimGame& game, SimNativeCall& call) {
         auto it = game.control_values.find(call.hash(1));
         call.set_i32(it == game.control_values.end() ? 0 : it->second);
     }},
    {{0x554D9D53F696D002,
      "create_blip_at_coords",
      "MAP::BLIP_ADD_FOR_COORDS",
      {Arg::hash32, Arg::f32, Arg::f32, Arg::f32},
      4,
      Result::handle},
     [](SimGame& game, SimNativeCall& call) {
         if (game.blip_capacity >= 0 && static_cast<std::int64_t>(game.blips.size()) >= game.blip_capacity) {
             ++game.blips_refused;
             return;
         }
         const std::uint64_t handle = game.next_blip_handle++;
         game.blips[handle] = SimBlip{call.hash(0), 0, call.f32(1), call.f32(2), call.f32(3), {}, {}};
         call.set_u64(handle);
     }},
    {{0x2B8B605F2A9E64BF, "cursor_hover_active", "INTERACTION::_POINTER_IS_BEING_MOVED", {}, 0, Result::boolean},
     [](SimGame& game, SimNativeCall& call) { call.set_bool(game.uses_mouse && game.hover_active); }},
    {{0x5F4B6931816E599B, "disable_all_controls", "PAD::DISABLE_ALL_CONTROL_ACTIONS", {Arg::i32}, 1, Result::none},
     [](SimGame& game, SimNativeCall&) { game.controls_disabled = true; }},
    {{0x91AEF906BCA88877,
      "disabled_control_just_pressed",
      "PAD::IS_DISABLED_CONTROL_JUST_PRESSED",
      {Arg::i32, Arg::hash32},
      2,
      Result::boolean},
     [](SimGame& game, SimNativeCall& call) {
         const std::uint32_t c = call.hash(1);
         call.set_bool(game.just_pressed.count(c) && first_or_every(game, SimQuery::disabled_control, c));
     }},
    {{0xC9884ECADE94CB34,
      "draw_sprite",
      "GRAPHICS::DRAW_SPRITE",
      {Arg::text, Arg::text, Arg::f32, Arg::f32, Arg::f32, Arg::f32, Arg::f32, Arg::i32, Arg::i32, Arg::i32, Arg::i32,
       Arg::boolean},
      12,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         game.draw_list.push_back(SimDrawItem{SimDrawItem::Kind::sprite,
                                              text_or_empty(call.text(0)),
                                              text_or_empty(call.text(1)),
                                              call.f32(2),
                                              call.f32(3),
                                              call.f32(4),
                                              call.f32(5),
                                              call.f32(6),
                                              call.i32(7),
                                              call.i32(8),
                                              call.i32(9),
                                              call.i32(10),
                                              {}});
     }},
    {{0x16794E044C9EFB58,
      "draw_text_at",
      "UIDEBUG::_BG_DISPLAY_TEXT",
      {Arg::text, Arg::f32, Arg::f32},
      3,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         game.draw_list.push_back(SimDrawItem{SimDrawItem::Kind::text,
                                              {},
                                              {},
                                              call.f32(1),
                                              call.f32(2),
                                              0,
                                              0,
                                              0,
                                              game.text_colour[0],
                                              game.text_colour[1],
                                              game.text_colour[2],
                                              game.text_colour[3],
                                              text_or_empty(call.text(0))});
     }},
    {{0x351220255D64C155,
      "enable_control",
      "PAD::ENABLE_CONTROL_ACTION",
      {Arg::i32, Arg::hash32, Arg::boolean},
      3,
      Result::none},
     [](SimGame& game, SimNativeCall& call) { game.controls_enabled.insert(call.hash(1)); }},
    {{0xA86D5F069399F44D,
      "entity_position",
      "ENTITY::GET_ENTITY_COORDS",
      {Arg::handle, Arg::boolean, Arg::boolean},
      3,
      Result::vector3},
     [](SimGame& game, SimNativeCall& call) {
         if (call.u64(0) != game.player_entity) return;
         call.set_vector3(game.player_position[0], game.player_position[1], game.player_position[2]);
     }},
    {{0x24FA4267BB8D2431,
      "ground_z_at",
      "MISC::GET_GROUND_Z_FOR_3D_COORD",
      {Arg::f32, Arg::f32, Arg::f32, Arg::f32_pointer, Arg::boolean},
      5,
      Result::boolean},
     [](SimGame& game, SimNativeCall& call) {
         // Ground is found below the probe height only.
         const std::optional<float> h = ground_at(game, call.f32(0), call.f32(1));
         if (h && *h <= call.f32(2)) {
             call.write_f32(3, *h);
             call.set_bool(true);
         }
     }},
    {{0x64C59DD6834FA942,
      "gps_route_add_point",
      "MAP::ADD_POINT_TO_GPS_MULTI_ROUTE",
      {Arg::f32, Arg::f32, Arg::f32, Arg::boolean},
      4,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         // Points join a route once it is begun.
         if (game.gps_route.started) game.gps_route.points.push_back({call.f32(0), call.f32(1), call.f32(2)});
     }},
    {{0x9E0AB9AAEE87CE28, "gps_route_clear", "MAP::CLEAR_GPS_MULTI_ROUTE", {}, 0, Result::none},
     [](SimGame& game, SimNativeCall&) {
         const std::int64_t clears = game.gps_route.clears + 1;
         game.gps_route = {};
         game.gps_route.clears = clears;
     }},
    {{0x4426D65E029A4DC0, "gps_route_show", "MAP::SET_GPS_MULTI_ROUTE_RENDER", {Arg::boolean}, 1, Result::none},
     [](SimGame& game, SimNativeCall& call) { game.gps_route.shown = call.i32(0) != 0; }},
    {{0x3D3D15AF7BCAAF83,
      "gps_route_start",
      "MAP::START_GPS_MULTI_ROUTE",
      {Arg::hash32, Arg::boolean, Arg::boolean},
      3,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         SimGame::GpsRoute& r = game.gps_route;
         r.started = true;
         r.colour = call.hash(0);
         r.on_foot = call.i32(1) != 0;
         r.in_vehicle = call.i32(2) != 0;
         r.points.clear();
     }},
    {{0xFD340785ADF8CFB7, "hash_of_name", "MISC::GET_HASH_KEY", {Arg::text}, 1, Result::hash32},
     [](SimGame&, SimNativeCall& call) { call.set_hash(call.text(0) ? sim_joaat(call.text(0)) : 0); }},
    {{0x58A39BE597CE99CD, "keyboard_close", "MISC::CANCEL_ONSCREEN_KEYBOARD", {}, 0, Result::none},
     [](SimGame& game, SimNativeCall&) { game.keyboard.open = false; }},
    {{0xAFB4CF58A4A292B1, "keyboard_result", "MISC::GET_ONSCREEN_KEYBOARD_RESULT", {}, 0, Result::text},
     [](SimGame& game, SimNativeCall& call) {
         // Only in the tick in which the status said 1.
         if (game.keyboard.confirmed_this_frame && game.keyboard.result) call.set_text(game.keyboard.result->c_str());
     }},
    {{0x37DF360F235A3893, "keyboard_status", "MISC::UPDATE_ONSCREEN_KEYBOARD", {}, 0, Result::i32},
     [](SimGame& game, SimNativeCall& call) {
         SimKeyboard& k = game.keyboard;
         const std::int32_t status = !k.open ? 3 : k.typing_frames > 0 ? 0 : k.cancel ? 2 : 1;
         k.confirmed_this_frame = status == 1;
         call.set_i32(status);
     }},
    {{0xFA925AC00EB830B9, "make_text_label", "MISC::VAR_STRING", {Arg::i32, Arg::variadic}, 2, Result::text},
     [](SimGame& game, SimNativeCall& call) {
         // (10, "LITERAL_STRING", text) shows the text as it is.
         const char* kind = call.arg_count >= 2 ? call.text(1) : nullptr;
         if (call.arg_count >= 3 && kind && std::strcmp(kind, "LITERAL_STRING") == 0) {
             game.frame_texts.push_back(text_or_empty(call.text(2)));
         } else {
             game.frame_texts.push_back(text_or_empty(kind));
         }
         call.set_text(game.frame_texts.back().c_str());
     }},
    {{0x2E04AB5FEE042D4A, "menu_frame_check", "CAM::IS_GAMEPLAY_HINT_ACTIVE", {}, 0, Result::boolean}, zeroes},
    {{0x1BCEC33D54CFCA8A, "menu_frame_clear", "CAM::STOP_GAMEPLAY_HINT", {Arg::boolean}, 1, Result::none}, zeroes},
    {{0xF12E4CCAF249DC10, "menu_frame_finish", "INTERACTION::SET_MOUSE_CURSOR_THIS_FRAME", {}, 0, Result::none},
     zeroes},
    {{0xB90411F480457A6C, "menu_frame_flag", "CAM::SET_CINEMATIC_BUTTON_ACTIVE", {Arg::boolean}, 1, Result::none},
     zeroes},
    {{0x916ED8321F087059, "menu_frame_prepare", "HUD::CLEAR_ALL_HELP_MESSAGES", {}, 0, Result::none}, zeroes},
    {{0x9682AF6050854856, "menu_open_scale", "MISC::SET_TIME_SCALE", {Arg::f32}, 1, Result::none},
     [](SimGame& game, SimNativeCall& call) { game.time_scale = call.f32(0); }},
    {{0x1B3DA717B9AFF828, "menu_open_toggle_a", "MAP::DISPLAY_RADAR", {Arg::boolean}, 1, Result::none},
     [](SimGame& game, SimNativeCall& call) { game.radar_shown = call.boolean(0); }},
    {{0xD63FE3AF9FB3D53F, "menu_open_toggle_b", "HUD::DISPLAY_HUD", {Arg::boolean}, 1, Result::none},
     [](SimGame& game, SimNativeCall& call) { game.hud_shown = call.boolean(0); }},
    {{0xA571D46727E2B718, "pad_uses_mouse", "PAD::IS_USING_KEYBOARD_AND_MOUSE", {Arg::i32}, 1, Result::boolean},
     [](SimGame& game, SimNativeCall& call) { call.set_bool(game.uses_mouse); }},
    {{0x67C540AA08E4A6F5,
      "play_menu_sound",
      "AUDIO::PLAY_SOUND_FRONTEND",
      {Arg::text, Arg::text, Arg::boolean, Arg::any},
      4,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         game.sounds.push_back(SimSound{text_or_empty(call.text(0)), text_or_empty(call.text(1))});
     }},
    {{0x096275889B8E0EE0, "player_character", "PLAYER::PLAYER_PED_ID", {}, 0, Result::handle},
     [](SimGame& game, SimNativeCall& call) { call.set_u64(game.player_entity); }},
    {{0x04F97DE45A519419, "prompt_begin", "HUD::_UI_PROMPT_REGISTER_BEGIN", {}, 0, Result::handle},
     [](SimGame& game, SimNativeCall& call) {
         const std::uint64_t handle = game.next_prompt_handle++;
         game.prompts[handle] = SimPrompt{};
         call.set_u64(handle);
     }},
    {{0xF7AA2696A22AD8B9, "prompt_end", "HUD::_UI_PROMPT_REGISTER_END", {Arg::handle}, 1, Result::none},
     [](SimGame& game, SimNativeCall& call) {
         if (SimPrompt* p = prompt_of(game, call)) p->ended = true;
     }},
    {{0xC1FCC36C3F7286C8, "prompt_group_page", "HUD::_UI_PROMPT_GET_GROUP_ACTIVE_PAGE", {Arg::hash32}, 1, Result::i32},
     [](SimGame& game, SimNativeCall& call) {
         call.set_i32(call.hash(0) == sim_map_prompt_group && game.map_open ? 0 : -1);
     }},
    {{0xE0F65F0640EF0617,
      "prompt_hold_completed",
      "HUD::_UI_PROMPT_HAS_HOLD_MODE_COMPLETED",
      {Arg::handle},
      1,
      Result::boolean},
     [](SimGame& game, SimNativeCall& call) {
         SimPrompt* p = prompt_of(game, call);
         if (!p) return;
         if (prompt_shown(game, *p) && p->hold_mode && game.held.count(p->control)) p->hold_done = true;
         call.set_bool(p->hold_done);
     }},
    {{0xC92AC953F0A982AE,
      "prompt_press_completed",
      "HUD::_UI_PROMPT_HAS_STANDARD_MODE_COMPLETED",
      {Arg::handle, Arg::i32},
      2,
      Result::boolean},
     [](SimGame& game, SimNativeCall& call) {
         SimPrompt* p = prompt_of(game, call);
         if (!p) return;
         call.set_bool(prompt_shown(game, *p) && !p->hold_mode && game.pressed.count(p->control) &&
                       first_or_every(game, SimQuery::press, p->control));
     }},
    {{0xDC6C55DFA2C24EE5, "prompt_reset_hold", "HUD::_UI_PROMPT_RESTART_MODES", {Arg::handle}, 1, Result::none},
     [](SimGame& game, SimNativeCall& call) {
         // Reset: the button has to be held through the hold time again.
         SimPrompt* p = prompt_of(game, call);
         if (!p) return;
         p->hold_done = false;
         game.held.erase(p->control);
     }},
    {{0xAC6586A7FDCD4B68,
      "prompt_reset_hold_data",
      "HUD::_UI_PROMPT_SET_SPINNER_SPEED",
      {Arg::handle, Arg::any},
      2,
      Result::none},
     zeroes},
    {{0xB5352B7494A08258,
      "prompt_set_control",
      "HUD::_UI_PROMPT_SET_CONTROL_ACTION",
      {Arg::handle, Arg::hash32},
      2,
      Result::any},
     [](SimGame& game, SimNativeCall& call) {
         if (SimPrompt* p = prompt_of(game, call)) p->control = call.hash(1);
     }},
    {{0x8A0FB4D03A630D21,
      "prompt_set_enabled",
      "HUD::_UI_PROMPT_SET_ENABLED",
      {Arg::handle, Arg::boolean},
      2,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         if (SimPrompt* p = prompt_of(game, call)) p->enabled = call.boolean(1);
     }},
    {{0x2F11D3A254169EA4,
      "prompt_set_group",
      "HUD::_UI_PROMPT_SET_GROUP",
      {Arg::handle, Arg::i32, Arg::i32},
      3,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         SimPrompt* p = prompt_of(game, call);
         if (!p) return;
         p->in_group = true;
         p->group = call.hash(1);
         p->page = call.i32(2);
     }},
    {{0x94073D5CA3F16B7B,
      "prompt_set_hold_mode",
      "HUD::_UI_PROMPT_SET_HOLD_MODE",
      {Arg::handle, Arg::i32},
      2,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         SimPrompt* p = prompt_of(game, call);
         if (!p) return;
         p->hold_mode = true;
         p->hold_time = call.i32(1);
     }},
    {{0xCC6656799977741B,
      "prompt_set_press_mode",
      "HUD::_UI_PROMPT_SET_STANDARD_MODE",
      {Arg::handle, Arg::boolean},
      2,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         if (SimPrompt* p = prompt_of(game, call)) p->hold_mode = false;
     }},
    {{0xCA24F528D0D16289,
      "prompt_set_priority",
      "HUD::_UI_PROMPT_SET_PRIORITY",
      {Arg::handle, Arg::i32},
      2,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         if (SimPrompt* p = prompt_of(game, call)) p->priority = call.i32(1);
     }},
    {{0x5DD02A8318420DD7, "prompt_set_text", "HUD::_UI_PROMPT_SET_TEXT", {Arg::handle, Arg::text}, 2, Result::none},
     [](SimGame& game, SimNativeCall& call) {
         if (SimPrompt* p = prompt_of(game, call)) p->text = text_or_empty(call.text(1));
     }},
    {{0x71215ACCFDE075EE,
      "prompt_set_visible",
      "HUD::_UI_PROMPT_SET_VISIBLE",
      {Arg::handle, Arg::boolean},
      2,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         if (SimPrompt* p = prompt_of(game, call)) p->visible = call.boolean(1);
     }},
    {{0xF2C3C9DA47AAA54A, "remove_blip", "MAP::REMOVE_BLIP", {Arg::handle_pointer}, 1, Result::none},
     [](SimGame& game, SimNativeCall& call) {
         auto* handle = reinterpret_cast<std::uint64_t*>(static_cast<std::uintptr_t>(call.u64(0)));
         if (!handle) return;
         game.blips.erase(*handle);
         *handle = 0;
     }},
    {{0xC1BA29DF5631B0F8,
      "request_texture_dictionary",
      "TXD::REQUEST_STREAMED_TEXTURE_DICT",
      {Arg::text, Arg::boolean},
      2,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         game.texture_requests.emplace(text_or_empty(call.text(0)), game.frame);
     }},
    {{0x63011D0C7C6519E0,
      "screen_effect_set_params",
      "GRAPHICS::_ANIMPOSTFX_SET_POSTFX_COLOR",
      {Arg::text, Arg::i32, Arg::i32, Arg::i32, Arg::i32, Arg::i32},
      6,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         SimScreenEffect& e = screen_effect_of(game, call);
         for (std::size_t i = 0; i < 5; ++i) e.params[i] = call.i32(1 + i);
     }},
    {{0xCAB4DD2D5B2B7246,
      "screen_effect_set_strength",
      "GRAPHICS::_ANIMPOSTFX_SET_STRENGTH",
      {Arg::text, Arg::f32},
      2,
      Result::none},
     [](SimGame& game, SimNativeCall& call) { screen_effect_of(game, call).strength = call.f32(1); }},
    {{0x4102732DF6B4005F, "screen_effect_start", "GRAPHICS::ANIMPOSTFX_PLAY", {Arg::text}, 1, Result::none},
     [](SimGame& game, SimNativeCall& call) {
         SimScreenEffect& e = screen_effect_of(game, call);
         e.playing = true;
         ++e.start_calls;
     }},
    {{0xB4FD7446BAB2F394, "screen_effect_stop", "GRAPHICS::ANIMPOSTFX_STOP", {Arg::text}, 1, Result::none},
     [](SimGame& game, SimNativeCall& call) {
         SimScreenEffect& e = screen_effect_of(game, call);
         e.playing = false;
         ++e.stop_calls;
     }},
    {{0x4FF674F5E23D49CE,
      "set_blip_coords",
      "MAP::SET_BLIP_COORDS",
      {Arg::handle, Arg::f32, Arg::f32, Arg::f32},
      4,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         SimBlip* b = blip_of(game, call);
         if (!b) return;
         b->x = call.f32(1);
         b->y = call.f32(2);
         b->z = call.f32(3);
     }},
    {{0x9CB1A1623062F402, "set_blip_name", "MAP::_SET_BLIP_NAME", {Arg::handle, Arg::text}, 2, Result::none},
     [](SimGame& game, SimNativeCall& call) {
         if (SimBlip* b = blip_of(game, call)) b->name = text_or_empty(call.text(1));
     }},
    {{0x74F74D3207ED525C,
      "set_blip_sprite",
      "MAP::SET_BLIP_SPRITE",
      {Arg::handle, Arg::hash32, Arg::boolean},
      3,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         if (SimBlip* b = blip_of(game, call)) b->sprite = call.hash(1);
     }},
    {{0x16FA5CE47F184F1E,
      "set_text_colour",
      "UIDEBUG::_BG_SET_TEXT_COLOR",
      {Arg::i32, Arg::i32, Arg::i32, Arg::i32},
      4,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         for (std::size_t i = 0; i < 4; ++i) game.text_colour[i] = call.i32(i);
     }},
    {{0x044131118D8DB3CD,
      "show_onscreen_keyboard",
      "MISC::DISPLAY_ONSCREEN_KEYBOARD",
      {Arg::i32, Arg::text, Arg::text, Arg::text, Arg::text, Arg::text, Arg::text, Arg::i32},
      8,
      Result::none},
     [](SimGame& game, SimNativeCall& call) {
         SimKeyboard& k = game.keyboard;
         k = SimKeyboard{};
         k.open = true;
         k.typing_frames = game.next_keyboard.typing_frames;
         k.cancel = game.next_keyboard.cancel;
         k.text_type = call.i32(0);
         k.title = text_or_empty(call.text(1));
         if (call.text(3)) k.initial = call.text(3);
         k.max_length = call.i32(7);
         k.result = game.next_keyboard.result ? game.next_keyboard.result : k.initial;
         ++game.keyboards_opened;
     }},
    {{0x0F2A2175734926D8, "stop_menu_sound", "AUDIO::_STOP_SOUND_WITH_NAME", {Arg::text, Arg::text}, 2, Result::none},
     zeroes},
    {{0x54D6900929CCF162,
      "texture_dictionary_loaded",
      "TXD::HAS_STREAMED_TEXTURE_DICT_LOADED",
      {Arg::text},
      1,
      Result::boolean},
     [](SimGame& game, SimNativeCall& call) { call.set_bool(texture_loaded(game, call.text(0))); }},
    {{0x5BA7A68A346A5A91,
      "untyped_zone_at_coords",
      "ZONE::_GET_WATER_MAP_ZONE_AT_COORDS",
      {Arg::f32, Arg::f32, Arg::f32},
      3,
      Result::hash32},
     [](SimGame& game, SimNativeCall& call) { call.set_hash(zone_at(game, call.f32(0), call.f32(1), -1, true)); }},
    {{0x202B1BBFC6AB5EE4, "waypoint_active", "MAP::IS_WAYPOINT_ACTIVE", {}, 0, Result::boolean},
     [](SimGame& game, SimNativeCall& call) { call.set_bool(game.waypoint_set); }},
    {{0x29B30D07C3F7873B, "waypoint_coords", "MAP::_GET_WAYPOINT_COORDS", {}, 0, Result::vector3},
     [](SimGame& game, SimNativeCall& call) {
         if (game.waypoint_set) call.set_vector3(game.waypoint_x, game.waypoint_y, 0.0f);
     }},
    {{0x43AD8FC02B429D33,
      "zone_at_coords",
      "ZONE::_GET_MAP_ZONE_AT_COORDS",
      {Arg::f32, Arg::f32, Arg::f32, Arg::i32},
      4,
      Result::hash32},
     [](SimGame& game, SimNativeCall& call) {
         call.set_hash(zone_at(game, call.f32(0), call.f32(1), call.i32(3), false));
     }},
    {{0xBD5DD5EAE2B6CE14, "zone_display_name", "HUD::GET_STRING_FROM_HASH_KEY", {Arg::hash32}, 1, Result::text},
     [](SimGame& game, SimNativeCall& call) {
         if (call.hash(0) == 0) return;
         for (const SimZone& z : game.zones) {
             if (z.hash != call.hash(0)) continue;
             if (z.text) call.set_text(z.text->c_str());
             return;
         }
     }},
};

}  // namespace

// ---- lookup ------------------------------------------------------------------------------------

std::span<const SimNative> sim_natives() { return natives; }

const SimNative* sim_find_native(std::uint64_t hash) {
    for (const SimNative& n : natives) {
        if (n.signature.hash == hash) return &n;
    }
    return nullptr;
}

void sim_game_answer(SimGame& game, SimNativeCall& call) { call.native->answer(game, call); }
