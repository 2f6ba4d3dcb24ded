#include "src/marker.h"

// Every category shares the one common blip modifier.
static constexpr Hash common_modifiers[] = {0xF366785F};

#define QF_MODIFIERS common_modifiers, sizeof common_modifiers / sizeof common_modifiers[0]

const MarkerCategory category_table[category_table_size] = {
    {"Marker (Flag)", "BLIPS_MP", "blip_mp_flag", 0, {255, 255, 255, 255}, QF_MODIFIERS},
    {"Marker (Pin)", "BLIPS", "blip_poi", 0x3A585978, {119, 216, 213, 255}, QF_MODIFIERS},
    {"Marker (?)", "BLIPS", "blip_ambient_secret", 0x8D2FFF22, {130, 78, 151, 255}, QF_MODIFIERS},
    {"Marker (Friend)", "BLIPS_MP", "blip_ambient_vip", 0x8A3D88E7, {0, 89, 178, 255}, QF_MODIFIERS},
    {"Marker (Foe)", "BLIPS_MP", "blip_ambient_hunter", 0x6F85C3CE, {225, 25, 25, 255}, QF_MODIFIERS},
    {"Marker (Chest)", "BLIPS", "blip_chest", 0xECA93E13, {228, 128, 60, 255}, QF_MODIFIERS},
    {"Marker (Cash)", "BLIPS", "blip_cash_bag", 0xDB4D2BED, {240, 240, 150, 255}, QF_MODIFIERS},
    {"Marker (Animal)", "BLIPS", "blip_animal", 0x15BD9043, {231, 153, 187, 255}, QF_MODIFIERS},
    {"Marker (Plant)", "BLIPS", "blip_plant", 0xA1B5A82D, {62, 178, 92, 255}, QF_MODIFIERS},
    {"Marker (Cross)", "BLIPS", "blip_ambient_death", 0xF85BE60A, {185, 156, 124, 255}, QF_MODIFIERS},
};

#undef QF_MODIFIERS

float marker_distance_squared(const Marker& marker, const Vector3& v) {
    const Position& p = marker.data.position;
    const float dx = v._x.x - p.x, dy = v._y.y - p.y, dz = v._z.z - p.z;
    return dx * dx + dy * dy + dz * dz;
}

float vector3_distance_squared(const Vector3& a, const Vector3& b) {
    const float dx = a._x.x - b._x.x, dy = a._y.y - b._y.y, dz = a._z.z - b._z.z;
    return dx * dx + dy * dy + dz * dz;
}
