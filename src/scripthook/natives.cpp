#include "src/scripthook/natives.h"

#include "src/scripthook/native_call.h"
#include "src/scripthook/native_hashes.h"

bool blip_add_modifier(Blip blip, Hash modifier) {
    begin_native_call(native_blip_add_modifier);
    push_native_arg_u64(blip);
    push_native_arg_hash(modifier);
    return finish_native_call_bool();
}

bool blip_exists(Blip blip) {
    begin_native_call(native_blip_exists);
    push_native_arg_u64(blip);
    return finish_native_call_bool();
}

std::uint64_t blip_pre_remove(Blip blip) {
    begin_native_call(native_blip_pre_remove);
    push_native_arg_u64(blip);
    return finish_native_call_u64();
}

bool control_just_pressed(std::int32_t pad, Hash control) {
    begin_native_call(native_control_just_pressed);
    push_native_arg_i32(pad);
    push_native_arg_hash(control);
    return finish_native_call_bool();
}

std::int32_t control_value(std::int32_t pad, Hash control) {
    begin_native_call(native_control_value);
    push_native_arg_i32(pad);
    push_native_arg_hash(control);
    return finish_native_call_i32();
}

Blip create_blip_at_coords(Hash style, float x, float y, float z) {
    begin_native_call(native_create_blip_at_coords);
    push_native_arg_hash(style);
    push_native_arg_f32(x);
    push_native_arg_f32(y);
    push_native_arg_f32(z);
    return finish_native_call_u64();
}

bool cursor_hover_active() {
    begin_native_call(native_cursor_hover_active);
    return finish_native_call_bool();
}

void disable_all_controls(std::int32_t pad) {
    begin_native_call(native_disable_all_controls);
    push_native_arg_i32(pad);
    finish_native_call_none();
}

bool disabled_control_just_pressed(std::int32_t pad, Hash control) {
    begin_native_call(native_disabled_control_just_pressed);
    push_native_arg_i32(pad);
    push_native_arg_hash(control);
    return finish_native_call_bool();
}

void draw_sprite(const char* dictionary, const char* texture, float x, float y, float width, float height,
                 float heading, std::int32_t red, std::int32_t green, std::int32_t blue, std::int32_t alpha, bool p11) {
    begin_native_call(native_draw_sprite);
    push_native_arg_cstring(dictionary);
    push_native_arg_cstring(texture);
    push_native_arg_f32(x);
    push_native_arg_f32(y);
    push_native_arg_f32(width);
    push_native_arg_f32(height);
    push_native_arg_f32(heading);
    push_native_arg_i32(red);
    push_native_arg_i32(green);
    push_native_arg_i32(blue);
    push_native_arg_i32(alpha);
    push_native_arg_bool(p11);
    finish_native_call_none();
}

void draw_text_at(const char* label, float x, float y) {
    begin_native_call(native_draw_text_at);
    push_native_arg_cstring(label);
    push_native_arg_f32(x);
    push_native_arg_f32(y);
    finish_native_call_none();
}

void enable_control(std::int32_t pad, Hash control, bool enable_related) {
    begin_native_call(native_enable_control);
    push_native_arg_i32(pad);
    push_native_arg_hash(control);
    push_native_arg_bool(enable_related);
    finish_native_call_none();
}

Vector3 entity_position(Entity entity, bool alive, bool real_coords) {
    begin_native_call(native_entity_position);
    push_native_arg_u64(entity);
    push_native_arg_bool(alive);
    push_native_arg_bool(real_coords);
    return finish_native_call_vector3();
}

void gps_route_add_point(float x, float y, float z, bool p3) {
    begin_native_call(native_gps_route_add_point);
    push_native_arg_f32(x);
    push_native_arg_f32(y);
    push_native_arg_f32(z);
    push_native_arg_bool(p3);
    finish_native_call_none();
}

void gps_route_clear() {
    begin_native_call(native_gps_route_clear);
    finish_native_call_none();
}

void gps_route_show(bool shown) {
    begin_native_call(native_gps_route_show);
    push_native_arg_bool(shown);
    finish_native_call_none();
}

void gps_route_start(Hash colour, bool on_foot, bool in_vehicle) {
    begin_native_call(native_gps_route_start);
    push_native_arg_hash(colour);
    push_native_arg_bool(on_foot);
    push_native_arg_bool(in_vehicle);
    finish_native_call_none();
}

bool ground_z_at(float x, float y, float probe_height, float* ground_z, bool p4) {
    begin_native_call(native_ground_z_at);
    push_native_arg_f32(x);
    push_native_arg_f32(y);
    push_native_arg_f32(probe_height);
    push_native_arg_pointer(ground_z);
    push_native_arg_bool(p4);
    return finish_native_call_bool();
}

Hash hash_of_name(const char* name) {
    begin_native_call(native_hash_of_name);
    push_native_arg_cstring(name);
    return finish_native_call_hash();
}

void keyboard_close() {
    begin_native_call(native_keyboard_close);
    finish_native_call_none();
}

const char* keyboard_result() {
    begin_native_call(native_keyboard_result);
    return finish_native_call_cstring();
}

std::int32_t keyboard_status() {
    begin_native_call(native_keyboard_status);
    return finish_native_call_i32();
}

const char* make_text_label(std::int32_t flags, std::initializer_list<const char*> texts) {
    begin_native_call(native_make_text_label);
    push_native_arg_i32(flags);
    for (const char* text : texts) push_native_arg_cstring(text);
    return finish_native_call_cstring();
}

bool menu_frame_check() {
    begin_native_call(native_menu_frame_check);
    return finish_native_call_bool();
}

void menu_frame_clear(bool p0) {
    begin_native_call(native_menu_frame_clear);
    push_native_arg_bool(p0);
    finish_native_call_none();
}

void menu_frame_finish() {
    begin_native_call(native_menu_frame_finish);
    finish_native_call_none();
}

void menu_frame_flag(bool active) {
    begin_native_call(native_menu_frame_flag);
    push_native_arg_bool(active);
    finish_native_call_none();
}

void menu_frame_prepare() {
    begin_native_call(native_menu_frame_prepare);
    finish_native_call_none();
}

void menu_open_scale(float scale) {
    begin_native_call(native_menu_open_scale);
    push_native_arg_f32(scale);
    finish_native_call_none();
}

void menu_open_toggle_a(bool toggle) {
    begin_native_call(native_menu_open_toggle_a);
    push_native_arg_bool(toggle);
    finish_native_call_none();
}

void menu_open_toggle_b(bool toggle) {
    begin_native_call(native_menu_open_toggle_b);
    push_native_arg_bool(toggle);
    finish_native_call_none();
}

bool pad_uses_mouse(std::int32_t pad) {
    begin_native_call(native_pad_uses_mouse);
    push_native_arg_i32(pad);
    return finish_native_call_bool();
}

void play_menu_sound(const char* sound, const char* sound_set, bool p2, std::uint64_t p3) {
    begin_native_call(native_play_menu_sound);
    push_native_arg_cstring(sound);
    push_native_arg_cstring(sound_set);
    push_native_arg_bool(p2);
    push_native_arg_u64(p3);
    finish_native_call_none();
}

Entity player_character() {
    begin_native_call(native_player_character);
    return finish_native_call_u64();
}

Prompt prompt_begin() {
    begin_native_call(native_prompt_begin);
    return finish_native_call_u64();
}

void prompt_end(Prompt prompt) {
    begin_native_call(native_prompt_end);
    push_native_arg_u64(prompt);
    finish_native_call_none();
}

std::int32_t prompt_group_page(Hash group) {
    begin_native_call(native_prompt_group_page);
    push_native_arg_hash(group);
    return finish_native_call_i32();
}

bool prompt_hold_completed(Prompt prompt) {
    begin_native_call(native_prompt_hold_completed);
    push_native_arg_u64(prompt);
    return finish_native_call_bool();
}

bool prompt_press_completed(Prompt prompt, std::int32_t p1) {
    begin_native_call(native_prompt_press_completed);
    push_native_arg_u64(prompt);
    push_native_arg_i32(p1);
    return finish_native_call_bool();
}

void prompt_reset_hold(Prompt prompt) {
    begin_native_call(native_prompt_reset_hold);
    push_native_arg_u64(prompt);
    finish_native_call_none();
}

void prompt_reset_hold_data(Prompt prompt, std::uint64_t p1) {
    begin_native_call(native_prompt_reset_hold_data);
    push_native_arg_u64(prompt);
    push_native_arg_u64(p1);
    finish_native_call_none();
}

std::uint64_t prompt_set_control(Prompt prompt, Hash control) {
    begin_native_call(native_prompt_set_control);
    push_native_arg_u64(prompt);
    push_native_arg_hash(control);
    return finish_native_call_u64();
}

void prompt_set_enabled(Prompt prompt, bool toggle) {
    begin_native_call(native_prompt_set_enabled);
    push_native_arg_u64(prompt);
    push_native_arg_bool(toggle);
    finish_native_call_none();
}

void prompt_set_group(Prompt prompt, std::int32_t group, std::int32_t page) {
    begin_native_call(native_prompt_set_group);
    push_native_arg_u64(prompt);
    push_native_arg_i32(group);
    push_native_arg_i32(page);
    finish_native_call_none();
}

void prompt_set_hold_mode(Prompt prompt, std::int32_t hold_time) {
    begin_native_call(native_prompt_set_hold_mode);
    push_native_arg_u64(prompt);
    push_native_arg_i32(hold_time);
    finish_native_call_none();
}

void prompt_set_press_mode(Prompt prompt, bool toggle) {
    begin_native_call(native_prompt_set_press_mode);
    push_native_arg_u64(prompt);
    push_native_arg_bool(toggle);
    finish_native_call_none();
}

void prompt_set_priority(Prompt prompt, std::int32_t priority) {
    begin_native_call(native_prompt_set_priority);
    push_native_arg_u64(prompt);
    push_native_arg_i32(priority);
    finish_native_call_none();
}

void prompt_set_text(Prompt prompt, const char* label) {
    begin_native_call(native_prompt_set_text);
    push_native_arg_u64(prompt);
    push_native_arg_cstring(label);
    finish_native_call_none();
}

void prompt_set_visible(Prompt prompt, bool toggle) {
    begin_native_call(native_prompt_set_visible);
    push_native_arg_u64(prompt);
    push_native_arg_bool(toggle);
    finish_native_call_none();
}

void remove_blip(Blip* blip) {
    begin_native_call(native_remove_blip);
    push_native_arg_pointer(blip);
    finish_native_call_none();
}

void request_texture_dictionary(const char* dictionary, bool p1) {
    begin_native_call(native_request_texture_dictionary);
    push_native_arg_cstring(dictionary);
    push_native_arg_bool(p1);
    finish_native_call_none();
}

void screen_effect_set_params(const char* effect, std::int32_t p1, std::int32_t red, std::int32_t green,
                              std::int32_t blue, std::int32_t alpha) {
    begin_native_call(native_screen_effect_set_params);
    push_native_arg_cstring(effect);
    push_native_arg_i32(p1);
    push_native_arg_i32(red);
    push_native_arg_i32(green);
    push_native_arg_i32(blue);
    push_native_arg_i32(alpha);
    finish_native_call_none();
}

void screen_effect_set_strength(const char* effect, float strength) {
    begin_native_call(native_screen_effect_set_strength);
    push_native_arg_cstring(effect);
    push_native_arg_f32(strength);
    finish_native_call_none();
}

void screen_effect_start(const char* effect) {
    begin_native_call(native_screen_effect_start);
    push_native_arg_cstring(effect);
    finish_native_call_none();
}

void screen_effect_stop(const char* effect) {
    begin_native_call(native_screen_effect_stop);
    push_native_arg_cstring(effect);
    finish_native_call_none();
}

void set_blip_coords(Blip blip, float x, float y, float z) {
    begin_native_call(native_set_blip_coords);
    push_native_arg_u64(blip);
    push_native_arg_f32(x);
    push_native_arg_f32(y);
    push_native_arg_f32(z);
    finish_native_call_none();
}

void set_blip_name(Blip blip, const char* name) {
    begin_native_call(native_set_blip_name);
    push_native_arg_u64(blip);
    push_native_arg_cstring(name);
    finish_native_call_none();
}

void set_blip_sprite(Blip blip, Hash sprite, bool p2) {
    begin_native_call(native_set_blip_sprite);
    push_native_arg_u64(blip);
    push_native_arg_hash(sprite);
    push_native_arg_bool(p2);
    finish_native_call_none();
}

void set_text_colour(std::int32_t red, std::int32_t green, std::int32_t blue, std::int32_t alpha) {
    begin_native_call(native_set_text_colour);
    push_native_arg_i32(red);
    push_native_arg_i32(green);
    push_native_arg_i32(blue);
    push_native_arg_i32(alpha);
    finish_native_call_none();
}

void show_onscreen_keyboard(std::int32_t text_type, const char* title_label, const char* description,
                            const char* initial_text, const char* concat1, const char* concat2, const char* concat3,
                            std::int32_t maximum_length) {
    begin_native_call(native_show_onscreen_keyboard);
    push_native_arg_i32(text_type);
    push_native_arg_cstring(title_label);
    push_native_arg_cstring(description);
    push_native_arg_cstring(initial_text);
    push_native_arg_cstring(concat1);
    push_native_arg_cstring(concat2);
    push_native_arg_cstring(concat3);
    push_native_arg_i32(maximum_length);
    finish_native_call_none();
}

void stop_menu_sound(const char* sound, const char* sound_set) {
    begin_native_call(native_stop_menu_sound);
    push_native_arg_cstring(sound);
    push_native_arg_cstring(sound_set);
    finish_native_call_none();
}

bool texture_dictionary_loaded(const char* dictionary) {
    begin_native_call(native_texture_dictionary_loaded);
    push_native_arg_cstring(dictionary);
    return finish_native_call_bool();
}

Hash untyped_zone_at_coords(float x, float y, float z) {
    begin_native_call(native_untyped_zone_at_coords);
    push_native_arg_f32(x);
    push_native_arg_f32(y);
    push_native_arg_f32(z);
    return finish_native_call_hash();
}

bool waypoint_active() {
    begin_native_call(native_waypoint_active);
    return finish_native_call_bool();
}

Vector3 waypoint_coords() {
    begin_native_call(native_waypoint_coords);
    return finish_native_call_vector3();
}

Hash zone_at_coords(float x, float y, float z, std::int32_t zone_type) {
    begin_native_call(native_zone_at_coords);
    push_native_arg_f32(x);
    push_native_arg_f32(y);
    push_native_arg_f32(z);
    push_native_arg_i32(zone_type);
    return finish_native_call_hash();
}

const char* zone_display_name(Hash zone) {
    begin_native_call(native_zone_display_name);
    push_native_arg_hash(zone);
    return finish_native_call_cstring();
}
