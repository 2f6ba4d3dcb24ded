#include "sim/native_signatures.h"

// From the game's native database; argument kinds follow the game's types
// (Blip, Ped, Entity and Prompt travel as handles; int, BOOL, Hash and float
// as 32-bit values).
static const SimNativeSignature signatures[] = {
    {0x662D364ABF16DE2F, "blip_add_modifier", "MAP::BLIP_ADD_MODIFIER", {SimArgKind::handle, SimArgKind::hash32}, 2, SimResultKind::boolean},
    {0xCD82FA174080B3B1, "blip_exists", "MAP::DOES_BLIP_EXIST", {SimArgKind::handle}, 1, SimResultKind::boolean},
    {0x01B928CA2E198B01, "blip_pre_remove", "MAP::_CLEAR_BLIP", {SimArgKind::handle}, 1, SimResultKind::boolean},
    {0x580417101DDB492F, "control_just_pressed", "PAD::IS_CONTROL_JUST_PRESSED", {SimArgKind::i32, SimArgKind::hash32}, 2, SimResultKind::boolean},
    {0xD95E79E8686D2C27, "control_value", "PAD::GET_CONTROL_VALUE", {SimArgKind::i32, SimArgKind::hash32}, 2, SimResultKind::i32},
    {0x554D9D53F696D002, "create_blip_at_coords", "MAP::BLIP_ADD_FOR_COORDS", {SimArgKind::hash32, SimArgKind::f32, SimArgKind::f32, SimArgKind::f32}, 4, SimResultKind::handle},
    {0x2B8B605F2A9E64BF, "cursor_hover_active", "INTERACTION::_POINTER_IS_BEING_MOVED", {}, 0, SimResultKind::boolean},
    {0x5F4B6931816E599B, "disable_all_controls", "PAD::DISABLE_ALL_CONTROL_ACTIONS", {SimArgKind::i32}, 1, SimResultKind::none},
    {0x91AEF906BCA88877, "disabled_control_just_pressed", "PAD::IS_DISABLED_CONTROL_JUST_PRESSED", {SimArgKind::i32, SimArgKind::hash32}, 2, SimResultKind::boolean},
    {0xC9884ECADE94CB34, "draw_sprite", "GRAPHICS::DRAW_SPRITE", {SimArgKind::text, SimArgKind::text, SimArgKind::f32, SimArgKind::f32, SimArgKind::f32, SimArgKind::f32, SimArgKind::f32, SimArgKind::i32, SimArgKind::i32, SimArgKind::i32, SimArgKind::i32, SimArgKind::boolean}, 12, SimResultKind::none},
    {0x16794E044C9EFB58, "draw_text_at", "UIDEBUG::_BG_DISPLAY_TEXT", {SimArgKind::text, SimArgKind::f32, SimArgKind::f32}, 3, SimResultKind::none},
    {0x351220255D64C155, "enable_control", "PAD::ENABLE_CONTROL_ACTION", {SimArgKind::i32, SimArgKind::hash32, SimArgKind::boolean}, 3, SimResultKind::none},
    {0xA86D5F069399F44D, "entity_position", "ENTITY::GET_ENTITY_COORDS", {SimArgKind::handle, SimArgKind::boolean, SimArgKind::boolean}, 3, SimResultKind::vector3},
    {0x24FA4267BB8D2431, "ground_z_at", "MISC::GET_GROUND_Z_FOR_3D_COORD", {SimArgKind::f32, SimArgKind::f32, SimArgKind::f32, SimArgKind::f32_pointer, SimArgKind::boolean}, 5, SimResultKind::boolean},
    {0xFD340785ADF8CFB7, "hash_of_name", "MISC::GET_HASH_KEY", {SimArgKind::text}, 1, SimResultKind::hash32},
    {0x58A39BE597CE99CD, "keyboard_close", "MISC::CANCEL_ONSCREEN_KEYBOARD", {}, 0, SimResultKind::none},
    {0xAFB4CF58A4A292B1, "keyboard_result", "MISC::GET_ONSCREEN_KEYBOARD_RESULT", {}, 0, SimResultKind::text},
    {0x37DF360F235A3893, "keyboard_status", "MISC::UPDATE_ONSCREEN_KEYBOARD", {}, 0, SimResultKind::i32},
    {0xFA925AC00EB830B9, "make_text_label", "MISC::VAR_STRING", {SimArgKind::i32, SimArgKind::variadic}, 2, SimResultKind::text},
    {0x2E04AB5FEE042D4A, "menu_frame_check", "CAM::IS_GAMEPLAY_HINT_ACTIVE", {}, 0, SimResultKind::boolean},
    {0x1BCEC33D54CFCA8A, "menu_frame_clear", "CAM::STOP_GAMEPLAY_HINT", {SimArgKind::boolean}, 1, SimResultKind::none},
    {0xF12E4CCAF249DC10, "menu_frame_finish", "INTERACTION::SET_MOUSE_CURSOR_THIS_FRAME", {}, 0, SimResultKind::none},
    {0xB90411F480457A6C, "menu_frame_flag", "CAM::SET_CINEMATIC_BUTTON_ACTIVE", {SimArgKind::boolean}, 1, SimResultKind::none},
    {0x916ED8321F087059, "menu_frame_prepare", "HUD::CLEAR_ALL_HELP_MESSAGES", {}, 0, SimResultKind::none},
    {0x9682AF6050854856, "menu_open_scale", "MISC::SET_TIME_SCALE", {SimArgKind::f32}, 1, SimResultKind::none},
    {0x1B3DA717B9AFF828, "menu_open_toggle_a", "MAP::DISPLAY_RADAR", {SimArgKind::boolean}, 1, SimResultKind::none},
    {0xD63FE3AF9FB3D53F, "menu_open_toggle_b", "HUD::DISPLAY_HUD", {SimArgKind::boolean}, 1, SimResultKind::none},
    {0xA571D46727E2B718, "pad_uses_mouse", "PAD::IS_USING_KEYBOARD_AND_MOUSE", {SimArgKind::i32}, 1, SimResultKind::boolean},
    {0x67C540AA08E4A6F5, "play_menu_sound", "AUDIO::PLAY_SOUND_FRONTEND", {SimArgKind::text, SimArgKind::text, SimArgKind::boolean, SimArgKind::any}, 4, SimResultKind::none},
    {0x096275889B8E0EE0, "player_character", "PLAYER::PLAYER_PED_ID", {}, 0, SimResultKind::handle},
    {0x04F97DE45A519419, "prompt_begin", "HUD::_UI_PROMPT_REGISTER_BEGIN", {}, 0, SimResultKind::handle},
    {0xF7AA2696A22AD8B9, "prompt_end", "HUD::_UI_PROMPT_REGISTER_END", {SimArgKind::handle}, 1, SimResultKind::none},
    {0xC1FCC36C3F7286C8, "prompt_group_page", "HUD::_UI_PROMPT_GET_GROUP_ACTIVE_PAGE", {SimArgKind::hash32}, 1, SimResultKind::i32},
    {0xE0F65F0640EF0617, "prompt_hold_completed", "HUD::_UI_PROMPT_HAS_HOLD_MODE_COMPLETED", {SimArgKind::handle}, 1, SimResultKind::boolean},
    {0xC92AC953F0A982AE, "prompt_press_completed", "HUD::_UI_PROMPT_HAS_STANDARD_MODE_COMPLETED", {SimArgKind::handle, SimArgKind::i32}, 2, SimResultKind::boolean},
    {0xDC6C55DFA2C24EE5, "prompt_reset_hold", "HUD::_UI_PROMPT_RESTART_MODES", {SimArgKind::handle}, 1, SimResultKind::none},
    {0xAC6586A7FDCD4B68, "prompt_reset_hold_data", "HUD::_UI_PROMPT_SET_SPINNER_SPEED", {SimArgKind::handle, SimArgKind::any}, 2, SimResultKind::none},
    {0xB5352B7494A08258, "prompt_set_control", "HUD::_UI_PROMPT_SET_CONTROL_ACTION", {SimArgKind::handle, SimArgKind::hash32}, 2, SimResultKind::any},
    {0x8A0FB4D03A630D21, "prompt_set_enabled", "HUD::_UI_PROMPT_SET_ENABLED", {SimArgKind::handle, SimArgKind::boolean}, 2, SimResultKind::none},
    {0x2F11D3A254169EA4, "prompt_set_group", "HUD::_UI_PROMPT_SET_GROUP", {SimArgKind::handle, SimArgKind::i32, SimArgKind::i32}, 3, SimResultKind::none},
    {0x94073D5CA3F16B7B, "prompt_set_hold_mode", "HUD::_UI_PROMPT_SET_HOLD_MODE", {SimArgKind::handle, SimArgKind::i32}, 2, SimResultKind::none},
    {0xCC6656799977741B, "prompt_set_press_mode", "HUD::_UI_PROMPT_SET_STANDARD_MODE", {SimArgKind::handle, SimArgKind::boolean}, 2, SimResultKind::none},
    {0xCA24F528D0D16289, "prompt_set_priority", "HUD::_UI_PROMPT_SET_PRIORITY", {SimArgKind::handle, SimArgKind::i32}, 2, SimResultKind::none},
    {0x5DD02A8318420DD7, "prompt_set_text", "HUD::_UI_PROMPT_SET_TEXT", {SimArgKind::handle, SimArgKind::text}, 2, SimResultKind::none},
    {0x71215ACCFDE075EE, "prompt_set_visible", "HUD::_UI_PROMPT_SET_VISIBLE", {SimArgKind::handle, SimArgKind::boolean}, 2, SimResultKind::none},
    {0xF2C3C9DA47AAA54A, "remove_blip", "MAP::REMOVE_BLIP", {SimArgKind::handle_pointer}, 1, SimResultKind::none},
    {0xC1BA29DF5631B0F8, "request_texture_dictionary", "TXD::REQUEST_STREAMED_TEXTURE_DICT", {SimArgKind::text, SimArgKind::boolean}, 2, SimResultKind::none},
    {0x63011D0C7C6519E0, "screen_effect_set_params", "GRAPHICS::_ANIMPOSTFX_SET_POSTFX_COLOR", {SimArgKind::text, SimArgKind::i32, SimArgKind::i32, SimArgKind::i32, SimArgKind::i32, SimArgKind::i32}, 6, SimResultKind::none},
    {0xCAB4DD2D5B2B7246, "screen_effect_set_strength", "GRAPHICS::_ANIMPOSTFX_SET_STRENGTH", {SimArgKind::text, SimArgKind::f32}, 2, SimResultKind::none},
    {0x4102732DF6B4005F, "screen_effect_start", "GRAPHICS::ANIMPOSTFX_PLAY", {SimArgKind::text}, 1, SimResultKind::none},
    {0xB4FD7446BAB2F394, "screen_effect_stop", "GRAPHICS::ANIMPOSTFX_STOP", {SimArgKind::text}, 1, SimResultKind::none},
    {0x4FF674F5E23D49CE, "set_blip_coords", "MAP::SET_BLIP_COORDS", {SimArgKind::handle, SimArgKind::f32, SimArgKind::f32, SimArgKind::f32}, 4, SimResultKind::none},
    {0x9CB1A1623062F402, "set_blip_name", "MAP::_SET_BLIP_NAME", {SimArgKind::handle, SimArgKind::text}, 2, SimResultKind::none},
    {0x74F74D3207ED525C, "set_blip_sprite", "MAP::SET_BLIP_SPRITE", {SimArgKind::handle, SimArgKind::hash32, SimArgKind::boolean}, 3, SimResultKind::none},
    {0x16FA5CE47F184F1E, "set_text_colour", "UIDEBUG::_BG_SET_TEXT_COLOR", {SimArgKind::i32, SimArgKind::i32, SimArgKind::i32, SimArgKind::i32}, 4, SimResultKind::none},
    {0x044131118D8DB3CD, "show_onscreen_keyboard", "MISC::DISPLAY_ONSCREEN_KEYBOARD", {SimArgKind::i32, SimArgKind::text, SimArgKind::text, SimArgKind::text, SimArgKind::text, SimArgKind::text, SimArgKind::text, SimArgKind::i32}, 8, SimResultKind::none},
    {0x0F2A2175734926D8, "stop_menu_sound", "AUDIO::_STOP_SOUND_WITH_NAME", {SimArgKind::text, SimArgKind::text}, 2, SimResultKind::none},
    {0x54D6900929CCF162, "texture_dictionary_loaded", "TXD::HAS_STREAMED_TEXTURE_DICT_LOADED", {SimArgKind::text}, 1, SimResultKind::boolean},
    {0x5BA7A68A346A5A91, "untyped_zone_at_coords", "ZONE::_GET_WATER_MAP_ZONE_AT_COORDS", {SimArgKind::f32, SimArgKind::f32, SimArgKind::f32}, 3, SimResultKind::hash32},
    {0x202B1BBFC6AB5EE4, "waypoint_active", "MAP::IS_WAYPOINT_ACTIVE", {}, 0, SimResultKind::boolean},
    {0x29B30D07C3F7873B, "waypoint_coords", "MAP::_GET_WAYPOINT_COORDS", {}, 0, SimResultKind::vector3},
    {0x43AD8FC02B429D33, "zone_at_coords", "ZONE::_GET_MAP_ZONE_AT_COORDS", {SimArgKind::f32, SimArgKind::f32, SimArgKind::f32, SimArgKind::i32}, 4, SimResultKind::hash32},
    {0xBD5DD5EAE2B6CE14, "zone_display_name", "HUD::GET_STRING_FROM_HASH_KEY", {SimArgKind::hash32}, 1, SimResultKind::text},
};

const SimNativeSignature* sim_find_native(std::uint64_t hash) {
    for (const SimNativeSignature& s : signatures) {
        if (s.hash == hash) return &s;
    }
    return nullptr;
}

std::size_t sim_native_count() { return sizeof signatures / sizeof signatures[0]; }
