// The game's enumerations the plug-in passes to natives, with the game's
// names. Each sits in a struct of its name, so its constants are scoped
// (ZoneType::STATE, not a global STATE) and still pass to the natives as the
// 32-bit integers they take.
#pragma once

#include <cstdint>

struct ePadIndex {
    enum Value : std::int32_t { PLAYER_CONTROL = 0, CAMERA_CONTROL = 1, FRONTEND_CONTROL = 2 };
};

struct ePromptPriority {
    enum Value : std::int32_t { PP_Low = 0, PP_Normal = 1, PP_High = 2, PP_MissionCritical = 3 };
};

struct eOnscreenKeyboardTextType {
    enum Value : std::int32_t { KTEXTTYPE_DEFAULT = 0 };
};

struct ZoneType {
    enum Value : std::int32_t {
        STATE = 0,
        TOWN = 1,
        LAKE = 2,
        RIVER = 3,
        OIL_SPILL = 4,
        SWAMP = 5,
        OCEAN = 6,
        CREEK = 7,
        POND = 8,
        GLACIER = 9,
        DISTRICT = 10,
        TEXT_PRINTED = 11,
        TEXT_WRITTEN = 12,
    };
};
