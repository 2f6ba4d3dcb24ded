// One wrapper per native: begin with the hash, push the arguments in order,
// read the result. Wrappers allocate nothing. Texts returned belong to the game.
// A wrapper is named after what the plug-in uses it for; where that name does
// not say what the native does, the game's name is beside it (all of them are
// in native_hashes.h).
#pragma once

#include <cstdint>
#include <initializer_list>

#include "src/scripthook/types.h"

bool blip_add_modifier(Blip blip, Hash modifier);
bool blip_exists(Blip blip);
// MAP::_CLEAR_BLIP: called before remove_blip; its BOOL result is not read.
std::uint64_t blip_pre_remove(Blip blip);
bool control_just_pressed(std::int32_t pad, Hash control);
std::int32_t control_value(std::int32_t pad, Hash control);
Blip create_blip_at_coords(Hash style, float x, float y, float z);
// INTERACTION::_POINTER_IS_BEING_MOVED: the mouse moved this frame.
bool cursor_hover_active();
void disable_all_controls(std::int32_t pad);
bool disabled_control_just_pressed(std::int32_t pad, Hash control);
void draw_sprite(const char* dictionary, const char* texture, float x, float y, float width, float height,
                 float heading, std::int32_t red, std::int32_t green, std::int32_t blue, std::int32_t alpha, bool p11);
// UIDEBUG::_BG_DISPLAY_TEXT: draws a text label (with mark-up) at x, y.
void draw_text_at(const char* label, float x, float y);
void enable_control(std::int32_t pad, Hash control, bool enable_related);
Vector3 entity_position(Entity entity, bool alive, bool real_coords);
// The game's GPS line on the minimap and the map, through the points of one
// route: MAP::ADD_POINT_TO_GPS_MULTI_ROUTE, CLEAR_GPS_MULTI_ROUTE,
// SET_GPS_MULTI_ROUTE_RENDER and START_GPS_MULTI_ROUTE.
void gps_route_add_point(float x, float y, float z, bool p3);
void gps_route_clear();
void gps_route_show(bool shown);
void gps_route_start(Hash colour, bool on_foot, bool in_vehicle);
bool ground_z_at(float x, float y, float probe_height, float* ground_z, bool p4);
Hash hash_of_name(const char* name);
void keyboard_close();
const char* keyboard_result();
std::int32_t keyboard_status();
// Pushes `flags`, then each text address in order.
const char* make_text_label(std::int32_t flags, std::initializer_list<const char*> texts);
// The menu's steps around its frame, by what they do in the game:
// CAM::IS_GAMEPLAY_HINT_ACTIVE.
bool menu_frame_check();
// CAM::STOP_GAMEPLAY_HINT.
void menu_frame_clear(bool p0);
// INTERACTION::SET_MOUSE_CURSOR_THIS_FRAME: the mouse cursor is shown this frame.
void menu_frame_finish();
// CAM::SET_CINEMATIC_BUTTON_ACTIVE.
void menu_frame_flag(bool active);
// HUD::CLEAR_ALL_HELP_MESSAGES.
void menu_frame_prepare();
// MISC::SET_TIME_SCALE: the game's time runs at `scale` (0 while the full menu is open).
void menu_open_scale(float scale);
// MAP::DISPLAY_RADAR: the radar shown or hidden.
void menu_open_toggle_a(bool toggle);
// HUD::DISPLAY_HUD: the HUD shown or hidden.
void menu_open_toggle_b(bool toggle);
bool pad_uses_mouse(std::int32_t pad);
void play_menu_sound(const char* sound, const char* sound_set, bool p2, std::uint64_t p3);
Entity player_character();
Prompt prompt_begin();
void prompt_end(Prompt prompt);
// HUD::_UI_PROMPT_GET_GROUP_ACTIVE_PAGE: the group's page shown, or below 0 when the group is not.
std::int32_t prompt_group_page(Hash group);
bool prompt_hold_completed(Prompt prompt);
bool prompt_press_completed(Prompt prompt, std::int32_t p1);
// HUD::_UI_PROMPT_RESTART_MODES: a completed hold must be held again.
void prompt_reset_hold(Prompt prompt);
// HUD::_UI_PROMPT_SET_SPINNER_SPEED.
void prompt_reset_hold_data(Prompt prompt, std::uint64_t p1);
std::uint64_t prompt_set_control(Prompt prompt, Hash control);
void prompt_set_enabled(Prompt prompt, bool toggle);
void prompt_set_group(Prompt prompt, std::int32_t group, std::int32_t page);
void prompt_set_hold_mode(Prompt prompt, std::int32_t hold_time);
void prompt_set_press_mode(Prompt prompt, bool toggle);
void prompt_set_priority(Prompt prompt, std::int32_t priority);
void prompt_set_text(Prompt prompt, const char* label);
void prompt_set_visible(Prompt prompt, bool toggle);
void remove_blip(Blip* blip);
void request_texture_dictionary(const char* dictionary, bool p1);
// The screen effects are the game's post effects (GRAPHICS::ANIMPOSTFX_*).
void screen_effect_set_params(const char* effect, std::int32_t p1, std::int32_t red, std::int32_t green,
                              std::int32_t blue, std::int32_t alpha);
void screen_effect_set_strength(const char* effect, float strength);
void screen_effect_start(const char* effect);
void screen_effect_stop(const char* effect);
void set_blip_coords(Blip blip, float x, float y, float z);
void set_blip_name(Blip blip, const char* name);
void set_blip_sprite(Blip blip, Hash sprite, bool p2);
void set_text_colour(std::int32_t red, std::int32_t green, std::int32_t blue, std::int32_t alpha);
void show_onscreen_keyboard(std::int32_t text_type, const char* title_label, const char* description,
                            const char* initial_text, const char* concat1, const char* concat2, const char* concat3,
                            std::int32_t maximum_length);
void stop_menu_sound(const char* sound, const char* sound_set);
bool texture_dictionary_loaded(const char* dictionary);
// ZONE::_GET_WATER_MAP_ZONE_AT_COORDS: in fact only water zones (lake, river, ...).
Hash untyped_zone_at_coords(float x, float y, float z);
bool waypoint_active();
Vector3 waypoint_coords();
Hash zone_at_coords(float x, float y, float z, std::int32_t zone_type);
// HUD::GET_STRING_FROM_HASH_KEY: the zone's text, which may be empty.
const char* zone_display_name(Hash zone);
