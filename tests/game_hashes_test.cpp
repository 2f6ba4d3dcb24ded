// Every hash the plug-in hands to the game under one of the game's names is
// the game's hash of that name (the simulator computes it as the game does).
#include <gtest/gtest.h>

#include "sim/game.h"
#include "src/scripthook/game_hashes.h"

namespace {

struct Named {
    Hash value;
    const char* name;
};

// The name is the identifier itself, so a value and its name cannot drift apart.
#define QF_NAMED(kind, name) \
    Named { kind::name, #name }

TEST(GameHashes, EveryNamedControlIsTheGamesHashOfItsName) {
    const Named cases[] = {
        QF_NAMED(InputControl, INPUT_PLAYER_MENU),
        QF_NAMED(InputControl, INPUT_GAME_MENU_ACCEPT),
        QF_NAMED(InputControl, INPUT_GAME_MENU_EXTRA_OPTION),
        QF_NAMED(InputControl, INPUT_GAME_MENU_OPTION),
        QF_NAMED(InputControl, INPUT_GAME_MENU_CANCEL),
        QF_NAMED(InputControl, INPUT_RADIAL_MENU_NAV_LR),
        QF_NAMED(InputControl, INPUT_RADIAL_MENU_NAV_UD),
        QF_NAMED(InputControl, INPUT_ATTACK),
        QF_NAMED(InputControl, INPUT_AIM),
        QF_NAMED(InputControl, INPUT_GAME_MENU_UP),
        QF_NAMED(InputControl, INPUT_GAME_MENU_DOWN),
        QF_NAMED(InputControl, INPUT_GAME_MENU_LEFT),
        QF_NAMED(InputControl, INPUT_GAME_MENU_RIGHT),
        QF_NAMED(InputControl, INPUT_GAME_MENU_SCROLL_FORWARD),
        QF_NAMED(InputControl, INPUT_GAME_MENU_SCROLL_BACKWARD),
        QF_NAMED(InputControl, INPUT_GAME_MENU_TAB_LEFT),
        QF_NAMED(InputControl, INPUT_GAME_MENU_TAB_RIGHT),
        QF_NAMED(InputControl, INPUT_GAME_MENU_TAB_LEFT_SECONDARY),
        QF_NAMED(InputControl, INPUT_GAME_MENU_TAB_RIGHT_SECONDARY),
        QF_NAMED(InputControl, INPUT_GAME_MENU_RS),
        QF_NAMED(InputControl, INPUT_FRONTEND_SELECT),
        QF_NAMED(InputControl, INPUT_REVEAL_HUD),
        QF_NAMED(InputControl, INPUT_SELECT_RADAR_MODE),
        QF_NAMED(InputControl, INPUT_SIMPLE_RADAR),
        QF_NAMED(InputControl, INPUT_EXPAND_RADAR),
        QF_NAMED(InputControl, INPUT_REGULAR_RADAR),
        QF_NAMED(InputControl, INPUT_DISABLE_RADAR),
        QF_NAMED(InputControl, INPUT_INTERACT_ANIMAL),
        QF_NAMED(InputControl, INPUT_SPECIAL_ABILITY),
    };
    for (const Named& c : cases) EXPECT_EQ(c.value, sim_joaat(c.name)) << c.name;
}

TEST(GameHashes, EveryNamedBlipModifierIsTheGamesHashOfItsName) {
    const Named cases[] = {
        QF_NAMED(BlipModifier, BLIP_MODIFIER_RADAR_EDGE_NEVER), QF_NAMED(BlipModifier, BLIP_MODIFIER_MP_COLOR_2),
        QF_NAMED(BlipModifier, BLIP_MODIFIER_MP_COLOR_3),       QF_NAMED(BlipModifier, BLIP_MODIFIER_MP_COLOR_4),
        QF_NAMED(BlipModifier, BLIP_MODIFIER_MP_COLOR_5),       QF_NAMED(BlipModifier, BLIP_MODIFIER_MP_COLOR_7),
        QF_NAMED(BlipModifier, BLIP_MODIFIER_MP_COLOR_8),       QF_NAMED(BlipModifier, BLIP_MODIFIER_MP_COLOR_13),
        QF_NAMED(BlipModifier, BLIP_MODIFIER_MP_COLOR_26),      QF_NAMED(BlipModifier, BLIP_MODIFIER_MP_COLOR_28),
        QF_NAMED(BlipModifier, BLIP_MODIFIER_LOOTED),
    };
    for (const Named& c : cases) EXPECT_EQ(c.value, sim_joaat(c.name)) << c.name;
}

TEST(GameHashes, EveryNamedGpsColourIsTheGamesHashOfItsName) {
    const Named c = QF_NAMED(GpsColour, COLOR_RED);
    EXPECT_EQ(c.value, sim_joaat(c.name)) << c.name;
}

#undef QF_NAMED

}  // namespace
