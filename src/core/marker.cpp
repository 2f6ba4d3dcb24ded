#include "src/core/marker.h"

// Every category shares the one common blip modifier.
constexpr Hash common_modifiers[] = {0xF366785F};

#define QF_MODIFIERS common_modifiers, sizeof common_modifiers / sizeof common_modifiers[0]

const MarkerCategory category_table[category_table_size] = {
    {category_names[0], "BLIPS_MP", "blip_mp_flag", 0, {255, 255, 255, 255}, QF_MODIFIERS},
    {category_names[1], "BLIPS", "blip_poi", 0x3A585978, {119, 216, 213, 255}, QF_MODIFIERS},
    {category_names[2], "BLIPS", "blip_ambient_secret", 0x8D2FFF22, {130, 78, 151, 255}, QF_MODIFIERS},
    {category_names[3], "BLIPS_MP", "blip_ambient_vip", 0x8A3D88E7, {0, 89, 178, 255}, QF_MODIFIERS},
    {category_names[4], "BLIPS_MP", "blip_ambient_hunter", 0x6F85C3CE, {225, 25, 25, 255}, QF_MODIFIERS},
    {category_names[5], "BLIPS", "blip_chest", 0xECA93E13, {228, 128, 60, 255}, QF_MODIFIERS},
    {category_names[6], "BLIPS", "blip_cash_bag", 0xDB4D2BED, {240, 240, 150, 255}, QF_MODIFIERS},
    {category_names[7], "BLIPS", "blip_animal", 0x15BD9043, {231, 153, 187, 255}, QF_MODIFIERS},
    {category_names[8], "BLIPS", "blip_plant", 0xA1B5A82D, {62, 178, 92, 255}, QF_MODIFIERS},
    {category_names[9], "BLIPS", "blip_ambient_death", 0xF85BE60A, {185, 156, 124, 255}, QF_MODIFIERS},
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
