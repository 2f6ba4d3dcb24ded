#include "src/map/location_names.h"

#include <cstring>

#include "src/scripthook/enums.h"
#include "src/scripthook/natives.h"
#include "src/scripthook/vector3_log.h"

// Sections: the place-name table · lookups · what a marker is called · Guarma.

// ---- the place-name table -----------------------------------------------------------

// Guarma's zones with a fixed hash: in the table below and in is_guarma_zone.
constexpr Hash zone_guarma = 0x7356B8ED;               // STATE
constexpr Hash zone_guarma_district = 0xE1736CD7;      // DISTRICT
constexpr Hash zone_aguasdulces_farm = 0x62A26859;     // TOWN
constexpr Hash zone_aguasdulces_ruins = 0x0BFD6F0A;    // TOWN
constexpr Hash zone_aguasdulces_villa = 0xB80C99B7;    // TOWN
constexpr Hash zone_manicato = 0x4D704A4B;             // TOWN
constexpr Hash zone_arroyo_de_la_vibora = 0xFD09B97D;  // RIVER
constexpr Hash zone_bahia_de_la_paz = 0xBA5AB8E6;      // OCEAN

// Names for zones the game gives no text for, grouped by the kind of zone.

struct PlaceName {
    Hash zone;
    const char* name;
};

static const PlaceName place_names[] = {
    {0xF2D2E4A4, "Ambarino"},                                   // STATE
    {zone_guarma, "Guarma"},                                    // STATE
    {0x00A55D60, "Lemoyne"},                                    // STATE
    {0x8A606F74, "West Elizabeth"},                             // STATE
    {0x79E6A26B, "New Austin"},                                 // STATE
    {0xB32957A3, "New Hanover"},                                // STATE
    {0x2496DFE4, "Nuevo Paraiso"},                              // STATE
    {0xB5AA074D, "West Elizabeth"},                             // STATE
    {0x4A4BFEE7, "West Elizabeth"},                             // STATE
    {zone_aguasdulces_farm, "Aguasdulces Farm, Guarma"},        // TOWN
    {zone_aguasdulces_ruins, "Aguasdulces Ruins, Guarma"},      // TOWN
    {zone_aguasdulces_villa, "Aguasdulces Villa, Guarma"},      // TOWN
    {0x00704B67, "Annesburg, New Hanover"},                     // TOWN
    {0xD39FE932, "Armadillo, New Austin"},                      // TOWN
    {0x9A2C155A, "Beecher's Hope, West Elizabeth"},             // TOWN
    {0x3EC4B1F5, "Blackwater, West Elizabeth"},                 // TOWN
    {0x6A07DAD2, "Braithwaite Manor, Lemoyne"},                 // TOWN
    {0x8BECCBA3, "Butcher Creek, New Hanover"},                 // TOWN
    {0x6F0248BE, "Caliga Hall, Lemoyne"},                       // TOWN
    {0x91A7512E, "Cornwall Kerosene & Tar, New Hanover"},       // TOWN
    {0xE3CDCF62, "Emerald Ranch, New Hanover"},                 // TOWN
    {0x183CA5FA, "Lagras, Lemoyne"},                            // TOWN
    {zone_manicato, "Manicato, Guarma"},                        // TOWN
    {0x57350B23, "Manzanita Post, West Elizabeth"},             // TOWN
    {0x79FF6291, "Rhodes, Lemoyne"},                            // TOWN
    {0x7FFE0593, "Sisika Penitentiary"},                        // TOWN
    {0xD25EC74F, "St. Denis, Lemoyne"},                         // TOWN
    {0x197DEE02, "Strawberry, West Elizabeth"},                 // TOWN
    {0xA51AF855, "Tumbleweed, New Austin"},                     // TOWN
    {0x1B6880B3, "Valentine, New Hanover"},                     // TOWN
    {0x7EBD16BD, "Van Horn Trading Post, New Hanover"},         // TOWN
    {0xCBFCD82E, "Wallace Station, West Elizabeth"},            // TOWN
    {0x632572AF, "Wapiti Indian Reservation, Ambarino"},        // TOWN
    {0xF446F723, "Aurora Basin, West Elizabeth"},               // LAKE
    {0x2F6910A6, "Barrow Lagoon, Ambarino"},                    // LAKE
    {0x0DC99072, "Calumet Ravine, Ambarino"},                   // LAKE
    {0xF9B4B176, "Elysian Pool, New Hanover"},                  // LAKE
    {0xAF259737, "Flat Iron Lake"},                             // LAKE
    {0x68A0D069, "Heartlands Overflow, New Hanover"},           // LAKE
    {0xAE5A3E96, "Lake Don Julio, New Austin"},                 // LAKE
    {0x2350238D, "Lake Isabella, Ambarino"},                    // LAKE
    {0x93A4FA9D, "O'Creagh's Run, Ambarino"},                   // LAKE
    {0xB27BFCD7, "Owanjila, West Elizabeth"},                   // LAKE
    {0xF13A02FD, "Sea of Coronado, New Austin"},                // LAKE
    {zone_arroyo_de_la_vibora, "Arroyo de la Vibora, Guarma"},  // RIVER
    {0x26C17D4B, "Beartooth Beck, Ambarino"},                   // RIVER
    {0x160ED9C7, "Dakota River"},                               // RIVER
    {0xB6B5E477, "Kamassa River"},                              // RIVER
    {0x865D425D, "Lannahechee River"},                          // RIVER
    {0xABEF3DDB, "Little Creek River, West Elizabeth"},         // RIVER
    {0xB205F19C, "Lower Montana River"},                        // RIVER
    {0xA65449E9, "San Luis River"},                             // RIVER
    {0x95D61B35, "Upper Montana River, West Elizabeth"},        // RIVER
    {0xDEC86BB3, "Bayou Nwa, Lemoyne"},                         // SWAMP
    {zone_bahia_de_la_paz, "Bahía de la Paz, Guarma"},          // OCEAN
    {0x4A3C149D, "Deadboot Creek, Ambarino"},                   // CREEK
    {0x1BF6CD08, "Dewberry Creek, Lemoyne"},                    // CREEK
    {0xB3E8D688, "Hawks Eye Creek, West Elizabeth"},            // CREEK
    {0x778DB1F6, "Ringneck Creek, Lemoyne"},                    // CREEK
    {0xF2F73626, "Spider Gorge, Ambarino"},                     // CREEK
    {0xB3407C3F, "Stillwater Creek, New Austin"},               // CREEK
    {0xF069309E, "Whinyard Strait, Ambarino"},                  // CREEK
    {0xC0068EB7, "Cairn Lake, Ambarino"},                       // POND
    {0xD007A6A7, "Cattial Pond, Ambarino"},                     // POND
    {0x460EA591, "Cotorra Springs, Ambarino"},                  // POND
    {0x11F25506, "Mattock Pond, Lemoyne"},                      // POND
    {0xCF9DF96D, "Moonstone Pond, Ambarino"},                   // POND
    {0xCEE7ED14, "Southfield Flats, Lemoyne"},                  // POND
    {0x78BFE1AC, "Bayou Nwa, Lemoyne"},                         // DISTRICT
    {0x3108C492, "Big Valley, West Elizabeth"},                 // DISTRICT
    {0x4DFA0B50, "Bluewater Marsh, Lemoyne"},                   // DISTRICT
    {0x6D67801E, "Cumberland Forest, New Hanover"},             // DISTRICT
    {0x1C68EA97, "Great Plains, West Elizabeth"},               // DISTRICT
    {0x84D7AD0E, "Gaptooth Ridge, New Austin"},                 // DISTRICT
    {0xF8D68DC1, "Grizzlies East, Ambarino"},                   // DISTRICT
    {0x62162401, "Grizzlies West, Ambarino"},                   // DISTRICT
    {zone_guarma_district, "Guarma"},                           // DISTRICT
    {0x07D4FF5F, "The Heartlands, New Hanover"},                // DISTRICT
    {0x0AA5F25D, "Roanoke Ridge, New Hanover"},                 // DISTRICT
    {0xCC7C3314, "Scarlett Meadows, Lemoyne"},                  // DISTRICT
    {0x6467EF09, "Tall Trees, West Elizabeth"},                 // DISTRICT
    {0x8016C23F, "Rio Bravo, New Austin"},                      // DISTRICT
    {0xF9831C72, "Cholla Springs, New Austin"},                 // DISTRICT
    {0x35390B10, "Hennigan's Stead, New Austin"},               // DISTRICT
};

static_assert(sizeof place_names / sizeof place_names[0] == 84);

const char* place_name_of_zone(Hash zone) {
    for (const PlaceName& p : place_names) {
        if (p.zone == zone) return p.name;
    }
    return "";
}

// ---- lookups ----------------------------------------------------------------------------

Hash zone_hash_at(const Vector3& position) {
    constexpr std::int32_t any_zone_type = -1;  // no ZoneType of the game's: a zone of any type
    return zone_at_coords(position._x.x, position._y.y, position._z.z, any_zone_type);
}

// The error line for a place without a name is written once per position and
// zone per run: the list page asks for every unnamed row in every frame.
static bool first_time_nameless(PluginState& state, const Vector3& at, Hash zone) {
    NamelessPlaces& seen = state.nameless_places;
    const Position p = vector3_to_position(at);
    for (std::size_t i = 0; i < seen.count; ++i) {
        const NamelessPlace& s = seen.places[i];
        if (s.zone == zone && std::memcmp(&s.position, &p, sizeof p) == 0) return false;
    }
    seen.places[seen.next] = NamelessPlace{p, zone};
    seen.next = (seen.next + 1) % nameless_places_capacity;
    if (seen.count < nameless_places_capacity) ++seen.count;
    return true;
}

// The place name at `at` (already no lower than 40), or empty; `untyped` gets
// the untyped zone for the log line of a place without a name.
static const char* place_name_at(const Vector3& at, Hash* untyped) {
    const float x = at._x.x, y = at._y.y, z = at._z.z;
    // Intended order, stopping at the first text: written, printed, district,
    // then the untyped (water) zone. Each lookup is native calls, so the
    // order is what the game sees.
    const char* name = zone_display_name(zone_at_coords(x, y, z, ZoneType::TEXT_WRITTEN));
    if (has_text(name)) return name;
    name = zone_display_name(zone_at_coords(x, y, z, ZoneType::TEXT_PRINTED));
    if (has_text(name)) return name;
    name = zone_display_name(zone_at_coords(x, y, z, ZoneType::DISTRICT));
    if (has_text(name)) return name;
    *untyped = untyped_zone_at_coords(x, y, z);
    name = zone_display_name(*untyped);
    if (has_text(name)) return name;
    name = place_name_of_zone(zone_hash_at(at));
    return name ? name : "";
}

// Zone texts are looked up no lower than 40 (also for a height that is no number).
static Vector3 lookup_height(const Vector3& position) {
    Vector3 at = position;
    if (!(at._z.z >= 40.0f)) at._z.z = 40.0f;
    return at;
}

const char* named_location_at_coords(RunContext& ctx, PluginState& state, const Vector3& position) {
    const Vector3 at = lookup_height(position);
    Hash untyped = 0;
    const char* name = place_name_at(at, &untyped);
    if (!has_text(name) && first_time_nameless(state, at, untyped)) log_values(ctx, LogLevel::error, at, untyped);
    return name;
}

const char* named_location_quietly(const Vector3& position) {
    Hash untyped = 0;
    return place_name_at(lookup_height(position), &untyped);
}

// ---- what a marker is called ---------------------------------------------------------------

const char* marker_place(RunContext& ctx, PluginState& state, const Marker& marker, PlaceLookup lookup) {
    if (marker_has_name(marker.data)) return nullptr;
    const Vector3 at = position_to_vector3(marker.data.position);
    return lookup == PlaceLookup::noted ? named_location_at_coords(ctx, state, at) : named_location_quietly(at);
}

const char* shown_marker_label(RunContext& ctx, PluginState& state, const Marker& marker, PlaceLookup lookup) {
    // Null only for a marker of no category of the table without a place: no
    // row shows one, and a log line shows nothing for it.
    const char* label = marker_label(state.categories, marker, marker_place(ctx, state, marker, lookup));
    return label ? label : "";
}

// ---- Guarma ----------------------------------------------------------------------------

bool is_guarma_zone(Hash zone) {
    static const Hash fixed[] = {
        zone_guarma,   zone_guarma_district,     zone_aguasdulces_farm, zone_aguasdulces_ruins, zone_aguasdulces_villa,
        zone_manicato, zone_arroyo_de_la_vibora, zone_bahia_de_la_paz};
    for (Hash h : fixed) {
        if (zone == h) return true;
    }
    // Hashed at the moment of comparison, in this order, stopping at a match.
    static const char* const keys[] = {"P_3_BAHIA_DE_LA_PAZ",     "P_4_CINCO_TORRES", "P_4_AGUASDULCES",
                                       "P_4_ARROYO_DE_LA_VIBORA", "P_4_LA_CAPILLA",   "W_4_EL_NIDO"};
    for (const char* key : keys) {
        if (zone == hash_of_name(key)) return true;
    }
    return false;
}
