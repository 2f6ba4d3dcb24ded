// The game natives the plug-in calls, by hash, each with the game's own name.
// Call sites use these names, never raw numbers. The simulator keeps its own
// table of the game's hashes and signatures (sim/game_natives.cpp) and checks
// every call against it, so a wrong hash here fails the tests.
#pragma once

#include <cstdint>

inline constexpr std::uint64_t native_blip_add_modifier = 0x662D364ABF16DE2F;      // MAP::BLIP_ADD_MODIFIER
inline constexpr std::uint64_t native_blip_exists = 0xCD82FA174080B3B1;            // MAP::DOES_BLIP_EXIST
inline constexpr std::uint64_t native_blip_pre_remove = 0x01B928CA2E198B01;        // MAP::_CLEAR_BLIP
inline constexpr std::uint64_t native_control_just_pressed = 0x580417101DDB492F;   // PAD::IS_CONTROL_JUST_PRESSED
inline constexpr std::uint64_t native_control_value = 0xD95E79E8686D2C27;          // PAD::GET_CONTROL_VALUE
inline constexpr std::uint64_t native_create_blip_at_coords = 0x554D9D53F696D002;  // MAP::BLIP_ADD_FOR_COORDS
inline constexpr std::uint64_t native_cursor_hover_active = 0x2B8B605F2A9E64BF;  // INTERACTION::_POINTER_IS_BEING_MOVED
inline constexpr std::uint64_t native_disable_all_controls = 0x5F4B6931816E599B;  // PAD::DISABLE_ALL_CONTROL_ACTIONS
inline constexpr std::uint64_t native_disabled_control_just_pressed =
    0x91AEF906BCA88877;                                                      // PAD::IS_DISABLED_CONTROL_JUST_PRESSED
inline constexpr std::uint64_t native_draw_sprite = 0xC9884ECADE94CB34;      // GRAPHICS::DRAW_SPRITE
inline constexpr std::uint64_t native_draw_text_at = 0x16794E044C9EFB58;     // UIDEBUG::_BG_DISPLAY_TEXT
inline constexpr std::uint64_t native_enable_control = 0x351220255D64C155;   // PAD::ENABLE_CONTROL_ACTION
inline constexpr std::uint64_t native_entity_position = 0xA86D5F069399F44D;  // ENTITY::GET_ENTITY_COORDS
inline constexpr std::uint64_t native_gps_route_add_point = 0x64C59DD6834FA942;  // MAP::ADD_POINT_TO_GPS_MULTI_ROUTE
inline constexpr std::uint64_t native_gps_route_clear = 0x9E0AB9AAEE87CE28;      // MAP::CLEAR_GPS_MULTI_ROUTE
inline constexpr std::uint64_t native_gps_route_show = 0x4426D65E029A4DC0;       // MAP::SET_GPS_MULTI_ROUTE_RENDER
inline constexpr std::uint64_t native_gps_route_start = 0x3D3D15AF7BCAAF83;      // MAP::START_GPS_MULTI_ROUTE
inline constexpr std::uint64_t native_ground_z_at = 0x24FA4267BB8D2431;          // MISC::GET_GROUND_Z_FOR_3D_COORD
inline constexpr std::uint64_t native_hash_of_name = 0xFD340785ADF8CFB7;         // MISC::GET_HASH_KEY
inline constexpr std::uint64_t native_keyboard_close = 0x58A39BE597CE99CD;       // MISC::CANCEL_ONSCREEN_KEYBOARD
inline constexpr std::uint64_t native_keyboard_result = 0xAFB4CF58A4A292B1;      // MISC::GET_ONSCREEN_KEYBOARD_RESULT
inline constexpr std::uint64_t native_keyboard_status = 0x37DF360F235A3893;      // MISC::UPDATE_ONSCREEN_KEYBOARD
inline constexpr std::uint64_t native_make_text_label = 0xFA925AC00EB830B9;      // MISC::VAR_STRING
inline constexpr std::uint64_t native_menu_frame_check = 0x2E04AB5FEE042D4A;     // CAM::IS_GAMEPLAY_HINT_ACTIVE
inline constexpr std::uint64_t native_menu_frame_clear = 0x1BCEC33D54CFCA8A;     // CAM::STOP_GAMEPLAY_HINT
inline constexpr std::uint64_t native_menu_frame_finish =
    0xF12E4CCAF249DC10;                                                      // INTERACTION::SET_MOUSE_CURSOR_THIS_FRAME
inline constexpr std::uint64_t native_menu_frame_flag = 0xB90411F480457A6C;  // CAM::SET_CINEMATIC_BUTTON_ACTIVE
inline constexpr std::uint64_t native_menu_frame_prepare = 0x916ED8321F087059;  // HUD::CLEAR_ALL_HELP_MESSAGES
inline constexpr std::uint64_t native_menu_open_scale = 0x9682AF6050854856;     // MISC::SET_TIME_SCALE
inline constexpr std::uint64_t native_menu_open_toggle_a = 0x1B3DA717B9AFF828;  // MAP::DISPLAY_RADAR
inline constexpr std::uint64_t native_menu_open_toggle_b = 0xD63FE3AF9FB3D53F;  // HUD::DISPLAY_HUD
inline constexpr std::uint64_t native_pad_uses_mouse = 0xA571D46727E2B718;      // PAD::IS_USING_KEYBOARD_AND_MOUSE
inline constexpr std::uint64_t native_play_menu_sound = 0x67C540AA08E4A6F5;     // AUDIO::PLAY_SOUND_FRONTEND
inline constexpr std::uint64_t native_player_character = 0x096275889B8E0EE0;    // PLAYER::PLAYER_PED_ID
inline constexpr std::uint64_t native_prompt_begin = 0x04F97DE45A519419;        // HUD::_UI_PROMPT_REGISTER_BEGIN
inline constexpr std::uint64_t native_prompt_end = 0xF7AA2696A22AD8B9;          // HUD::_UI_PROMPT_REGISTER_END
inline constexpr std::uint64_t native_prompt_group_page = 0xC1FCC36C3F7286C8;   // HUD::_UI_PROMPT_GET_GROUP_ACTIVE_PAGE
inline constexpr std::uint64_t native_prompt_hold_completed =
    0xE0F65F0640EF0617;  // HUD::_UI_PROMPT_HAS_HOLD_MODE_COMPLETED
inline constexpr std::uint64_t native_prompt_press_completed =
    0xC92AC953F0A982AE;  // HUD::_UI_PROMPT_HAS_STANDARD_MODE_COMPLETED
inline constexpr std::uint64_t native_prompt_reset_hold = 0xDC6C55DFA2C24EE5;       // HUD::_UI_PROMPT_RESTART_MODES
inline constexpr std::uint64_t native_prompt_reset_hold_data = 0xAC6586A7FDCD4B68;  // HUD::_UI_PROMPT_SET_SPINNER_SPEED
inline constexpr std::uint64_t native_prompt_set_control = 0xB5352B7494A08258;     // HUD::_UI_PROMPT_SET_CONTROL_ACTION
inline constexpr std::uint64_t native_prompt_set_enabled = 0x8A0FB4D03A630D21;     // HUD::_UI_PROMPT_SET_ENABLED
inline constexpr std::uint64_t native_prompt_set_group = 0x2F11D3A254169EA4;       // HUD::_UI_PROMPT_SET_GROUP
inline constexpr std::uint64_t native_prompt_set_hold_mode = 0x94073D5CA3F16B7B;   // HUD::_UI_PROMPT_SET_HOLD_MODE
inline constexpr std::uint64_t native_prompt_set_press_mode = 0xCC6656799977741B;  // HUD::_UI_PROMPT_SET_STANDARD_MODE
inline constexpr std::uint64_t native_prompt_set_priority = 0xCA24F528D0D16289;    // HUD::_UI_PROMPT_SET_PRIORITY
inline constexpr std::uint64_t native_prompt_set_text = 0x5DD02A8318420DD7;        // HUD::_UI_PROMPT_SET_TEXT
inline constexpr std::uint64_t native_prompt_set_visible = 0x71215ACCFDE075EE;     // HUD::_UI_PROMPT_SET_VISIBLE
inline constexpr std::uint64_t native_remove_blip = 0xF2C3C9DA47AAA54A;            // MAP::REMOVE_BLIP
inline constexpr std::uint64_t native_request_texture_dictionary =
    0xC1BA29DF5631B0F8;  // TXD::REQUEST_STREAMED_TEXTURE_DICT
inline constexpr std::uint64_t native_screen_effect_set_params =
    0x63011D0C7C6519E0;  // GRAPHICS::_ANIMPOSTFX_SET_POSTFX_COLOR
inline constexpr std::uint64_t native_screen_effect_set_strength =
    0xCAB4DD2D5B2B7246;                                                          // GRAPHICS::_ANIMPOSTFX_SET_STRENGTH
inline constexpr std::uint64_t native_screen_effect_start = 0x4102732DF6B4005F;  // GRAPHICS::ANIMPOSTFX_PLAY
inline constexpr std::uint64_t native_screen_effect_stop = 0xB4FD7446BAB2F394;   // GRAPHICS::ANIMPOSTFX_STOP
inline constexpr std::uint64_t native_set_blip_coords = 0x4FF674F5E23D49CE;      // MAP::SET_BLIP_COORDS
inline constexpr std::uint64_t native_set_blip_name = 0x9CB1A1623062F402;        // MAP::_SET_BLIP_NAME
inline constexpr std::uint64_t native_set_blip_sprite = 0x74F74D3207ED525C;      // MAP::SET_BLIP_SPRITE
inline constexpr std::uint64_t native_set_text_colour = 0x16FA5CE47F184F1E;      // UIDEBUG::_BG_SET_TEXT_COLOR
inline constexpr std::uint64_t native_show_onscreen_keyboard = 0x044131118D8DB3CD;  // MISC::DISPLAY_ONSCREEN_KEYBOARD
inline constexpr std::uint64_t native_stop_menu_sound = 0x0F2A2175734926D8;         // AUDIO::_STOP_SOUND_WITH_NAME
inline constexpr std::uint64_t native_texture_dictionary_loaded =
    0x54D6900929CCF162;  // TXD::HAS_STREAMED_TEXTURE_DICT_LOADED
inline constexpr std::uint64_t native_untyped_zone_at_coords =
    0x5BA7A68A346A5A91;                                                        // ZONE::_GET_WATER_MAP_ZONE_AT_COORDS
inline constexpr std::uint64_t native_waypoint_active = 0x202B1BBFC6AB5EE4;    // MAP::IS_WAYPOINT_ACTIVE
inline constexpr std::uint64_t native_waypoint_coords = 0x29B30D07C3F7873B;    // MAP::_GET_WAYPOINT_COORDS
inline constexpr std::uint64_t native_zone_at_coords = 0x43AD8FC02B429D33;     // ZONE::_GET_MAP_ZONE_AT_COORDS
inline constexpr std::uint64_t native_zone_display_name = 0xBD5DD5EAE2B6CE14;  // HUD::GET_STRING_FROM_HASH_KEY
