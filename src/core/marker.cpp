#include "src/core/marker.h"

#include "src/scripthook/game_hashes.h"

// Every category shares the one common blip modifier.
constexpr Hash common_modifiers[] = {BlipModifier::BLIP_MODIFIER_RADAR_EDGE_NEVER};

#define QF_MODIFIERS common_modifiers, sizeof common_modifiers / sizeof common_modifiers[0]

const MarkerCategory category_table[category_table_size] = {
    {category_names[0], "BLIPS_MP", "blip_mp_flag", 0, {255, 255, 255, 255}, QF_MODIFIERS},
    {category_names[1],
     "BLIPS",
     "blip_poi",
     BlipModifier::BLIP_MODIFIER_MP_COLOR_5,
     {119, 216, 213, 255},
     QF_MODIFIERS},
    {category_names[2],
     "BLIPS",
     "blip_ambient_secret",
     BlipModifier::BLIP_MODIFIER_MP_COLOR_3,
     {130, 78, 151, 255},
     QF_MODIFIERS},
    {category_names[3],
     "BLIPS_MP",
     "blip_ambient_vip",
     BlipModifier::BLIP_MODIFIER_MP_COLOR_13,
     {0, 89, 178, 255},
     QF_MODIFIERS},
    {category_names[4],
     "BLIPS_MP",
     "blip_ambient_hunter",
     BlipModifier::BLIP_MODIFIER_MP_COLOR_2,
     {225, 25, 25, 255},
     QF_MODIFIERS},
    {category_names[5],
     "BLIPS",
     "blip_chest",
     BlipModifier::BLIP_MODIFIER_MP_COLOR_4,
     {228, 128, 60, 255},
     QF_MODIFIERS},
    {category_names[6],
     "BLIPS",
     "blip_cash_bag",
     BlipModifier::BLIP_MODIFIER_MP_COLOR_28,
     {240, 240, 150, 255},
     QF_MODIFIERS},
    {category_names[7],
     "BLIPS",
     "blip_animal",
     BlipModifier::BLIP_MODIFIER_MP_COLOR_7,
     {231, 153, 187, 255},
     QF_MODIFIERS},
    {category_names[8],
     "BLIPS",
     "blip_plant",
     BlipModifier::BLIP_MODIFIER_MP_COLOR_8,
     {62, 178, 92, 255},
     QF_MODIFIERS},
    {category_names[9],
     "BLIPS",
     "blip_ambient_death",
     BlipModifier::BLIP_MODIFIER_MP_COLOR_26,
     {185, 156, 124, 255},
     QF_MODIFIERS},
};

#undef QF_MODIFIERS

const MarkerCategory* category_row(const GrowableArray<MarkerCategory>& categories, std::int64_t category) {
    return index_in_range(category, categories.length) ? &categories[static_cast<std::size_t>(category)] : nullptr;
}

const char* marker_label(const GrowableArray<MarkerCategory>& categories, const Marker& marker, const char* place) {
    if (marker_has_name(marker.data)) return marker.data.name;
    if (has_text(place)) return place;
    if (const MarkerCategory* row = category_row(categories, marker.data.category)) return row->name;
    return place;
}
