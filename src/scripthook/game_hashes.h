// The game's hashes of names that the plug-in hands to natives as numbers, one
// kind per record, each under the game's own name. Every value is the game's
// hash (joaat) of the name it stands under; tests/game_hashes_test.cpp checks
// them all. Names the game takes as text (sprites, the blip style, texture
// dictionaries, sounds) are passed as text or hashed by `hash_of_name`.
#pragma once

#include "src/scripthook/types.h"

// Controls, for the PAD natives and the prompts; the default key or button
// beside each.
struct InputControl {
    enum Value : Hash {
        INPUT_PLAYER_MENU = 0x80F28E95,                    // L
        INPUT_GAME_MENU_ACCEPT = 0x43DBF61F,               // Enter
        INPUT_GAME_MENU_EXTRA_OPTION = 0xD596CFB0,         // F
        INPUT_GAME_MENU_OPTION = 0xFBD7B3E6,               // Space
        INPUT_GAME_MENU_CANCEL = 0x308588E6,               // Esc / Backspace
        INPUT_RADIAL_MENU_NAV_LR = 0x390948DC,             // mouse X / stick X
        INPUT_RADIAL_MENU_NAV_UD = 0xBA60039F,             // mouse Y / stick Y
        INPUT_ATTACK = 0x07CE1E61,                         // left mouse button
        INPUT_AIM = 0xF84FA74F,                            // right mouse button
        INPUT_GAME_MENU_UP = 0x911CB09E,                   // Up
        INPUT_GAME_MENU_DOWN = 0x4403F97F,                 // Down
        INPUT_GAME_MENU_LEFT = 0xAD7FCC5B,                 // Left
        INPUT_GAME_MENU_RIGHT = 0x65F9EC5B,                // Right
        INPUT_GAME_MENU_SCROLL_FORWARD = 0x81457A1A,       // wheel up
        INPUT_GAME_MENU_SCROLL_BACKWARD = 0x9DA42644,      // wheel down
        INPUT_GAME_MENU_TAB_LEFT = 0xCBD5B26E,             // Q / Page Up
        INPUT_GAME_MENU_TAB_RIGHT = 0x110AD1D2,            // E / Page Down
        INPUT_GAME_MENU_TAB_LEFT_SECONDARY = 0x26E9DC00,   // Z
        INPUT_GAME_MENU_TAB_RIGHT_SECONDARY = 0x8CC9CD42,  // X
        INPUT_GAME_MENU_RS = 0x89EA3FA5,                   // the key its prompt shows / right stick click
        INPUT_FRONTEND_SELECT = 0x171910DC,                // Tab
        INPUT_REVEAL_HUD = 0xCF8A4ECA,
        INPUT_SELECT_RADAR_MODE = 0x0F39B3D4,
        INPUT_SIMPLE_RADAR = 0x5FEF1B6D,
        INPUT_EXPAND_RADAR = 0xCF0B11DE,
        INPUT_REGULAR_RADAR = 0x51AA7A35,
        INPUT_DISABLE_RADAR = 0x70CBD78D,
        INPUT_INTERACT_ANIMAL = 0xA1ABB953,
        INPUT_SPECIAL_ABILITY = 0xCEE12B50,
    };
};

// Blip modifiers: how a blip looks on the map.
struct BlipModifier {
    enum Value : Hash {
        BLIP_MODIFIER_RADAR_EDGE_NEVER = 0xF366785F,
        BLIP_MODIFIER_MP_COLOR_2 = 0x6F85C3CE,
        BLIP_MODIFIER_MP_COLOR_3 = 0x8D2FFF22,
        BLIP_MODIFIER_MP_COLOR_4 = 0xECA93E13,
        BLIP_MODIFIER_MP_COLOR_5 = 0x3A585978,
        BLIP_MODIFIER_MP_COLOR_7 = 0x15BD9043,
        BLIP_MODIFIER_MP_COLOR_8 = 0xA1B5A82D,
        BLIP_MODIFIER_MP_COLOR_13 = 0x8A3D88E7,
        BLIP_MODIFIER_MP_COLOR_26 = 0xF85BE60A,
        BLIP_MODIFIER_MP_COLOR_28 = 0xDB4D2BED,
        BLIP_MODIFIER_LOOTED = 0x3BD5E2A6,  // dimmed, as the game draws a place already looted
    };
};

// Colours of the game's GPS line.
struct GpsColour {
    enum Value : Hash {
        COLOR_RED = 0x333FC632,
    };
};

// Hashes the game uses whose names are not known to us: named after what the
// plug-in uses them for, with the number as the game takes it.
inline constexpr Hash new_marker_modifier = 0x95BD6684;  // the blip modifier of a marker just made
inline constexpr Hash edit_markers_group = 0x29FEEDA9;   // the prompt group the game shows with its map
