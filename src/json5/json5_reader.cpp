#include "src/json5/json5_reader.h"

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

// Choices where JSON5 leaves room or UTF-8 cannot say what a JS string can:
// - Invalid UTF-8 in the text is read as U+FFFD, one for each maximal ill-formed
//   subsequence (the WHATWG decoder's rule, as the reference sees a file decoded
//   with TextDecoder). Inside strings it stays as U+FFFD, so one damaged name
//   does not cost the player the whole markers file; elsewhere U+FFFD is no
//   valid token and the text is rejected.
// - An escaped surrogate that is not part of a pair (\uD800 alone, or a low one
//   first) becomes U+FFFD, as the reference's string does when written as UTF-8.
//   A pair may be split by a line continuation, as in JS.
// - Identifier keys follow ECMAScript 5.1 by general category, with the
//   Unicode version of the generated tables below. The reference's tables are
//   of an older Unicode: it refuses letters and marks added since (U+0560...).
// - -NaN and +NaN read as NaN: JS has only one.
// - Nesting is limited to json5_max_depth; the reference has no limit.
//
// Sections: character tables · UTF-8 · document storage · the lexer pieces ·
// numbers · the parser · public functions.

struct Json5Chunk {
    Json5Chunk* next;
    std::size_t size;  // of the whole block, as allocated
};

namespace {

// ---- character tables ------------------------------------------------------------------

struct CodeRange {
    std::uint32_t first, last;
};

// clang-format off
// ---- begin generated tables (tests/oracle/make_unicode_tables.js, Unicode 17.0)
// Lu Ll Lt Lm Lo Nl above ASCII
constexpr CodeRange identifier_start_ranges[] = {
    {0xAA, 0xAA}, {0xB5, 0xB5}, {0xBA, 0xBA}, {0xC0, 0xD6}, {0xD8, 0xF6}, {0xF8, 0x2C1}, {0x2C6, 0x2D1},
    {0x2E0, 0x2E4}, {0x2EC, 0x2EC}, {0x2EE, 0x2EE}, {0x370, 0x374}, {0x376, 0x377}, {0x37A, 0x37D}, {0x37F, 0x37F},
    {0x386, 0x386}, {0x388, 0x38A}, {0x38C, 0x38C}, {0x38E, 0x3A1}, {0x3A3, 0x3F5}, {0x3F7, 0x481}, {0x48A, 0x52F},
    {0x531, 0x556}, {0x559, 0x559}, {0x560, 0x588}, {0x5D0, 0x5EA}, {0x5EF, 0x5F2}, {0x620, 0x64A}, {0x66E, 0x66F},
    {0x671, 0x6D3}, {0x6D5, 0x6D5}, {0x6E5, 0x6E6}, {0x6EE, 0x6EF}, {0x6FA, 0x6FC}, {0x6FF, 0x6FF}, {0x710, 0x710},
    {0x712, 0x72F}, {0x74D, 0x7A5}, {0x7B1, 0x7B1}, {0x7CA, 0x7EA}, {0x7F4, 0x7F5}, {0x7FA, 0x7FA}, {0x800, 0x815},
    {0x81A, 0x81A}, {0x824, 0x824}, {0x828, 0x828}, {0x840, 0x858}, {0x860, 0x86A}, {0x870, 0x887}, {0x889, 0x88F},
    {0x8A0, 0x8C9}, {0x904, 0x939}, {0x93D, 0x93D}, {0x950, 0x950}, {0x958, 0x961}, {0x971, 0x980}, {0x985, 0x98C},
    {0x98F, 0x990}, {0x993, 0x9A8}, {0x9AA, 0x9B0}, {0x9B2, 0x9B2}, {0x9B6, 0x9B9}, {0x9BD, 0x9BD}, {0x9CE, 0x9CE},
    {0x9DC, 0x9DD}, {0x9DF, 0x9E1}, {0x9F0, 0x9F1}, {0x9FC, 0x9FC}, {0xA05, 0xA0A}, {0xA0F, 0xA10}, {0xA13, 0xA28},
    {0xA2A, 0xA30}, {0xA32, 0xA33}, {0xA35, 0xA36}, {0xA38, 0xA39}, {0xA59, 0xA5C}, {0xA5E, 0xA5E}, {0xA72, 0xA74},
    {0xA85, 0xA8D}, {0xA8F, 0xA91}, {0xA93, 0xAA8}, {0xAAA, 0xAB0}, {0xAB2, 0xAB3}, {0xAB5, 0xAB9}, {0xABD, 0xABD},
    {0xAD0, 0xAD0}, {0xAE0, 0xAE1}, {0xAF9, 0xAF9}, {0xB05, 0xB0C}, {0xB0F, 0xB10}, {0xB13, 0xB28}, {0xB2A, 0xB30},
    {0xB32, 0xB33}, {0xB35, 0xB39}, {0xB3D, 0xB3D}, {0xB5C, 0xB5D}, {0xB5F, 0xB61}, {0xB71, 0xB71}, {0xB83, 0xB83},
    {0xB85, 0xB8A}, {0xB8E, 0xB90}, {0xB92, 0xB95}, {0xB99, 0xB9A}, {0xB9C, 0xB9C}, {0xB9E, 0xB9F}, {0xBA3, 0xBA4},
    {0xBA8, 0xBAA}, {0xBAE, 0xBB9}, {0xBD0, 0xBD0}, {0xC05, 0xC0C}, {0xC0E, 0xC10}, {0xC12, 0xC28}, {0xC2A, 0xC39},
    {0xC3D, 0xC3D}, {0xC58, 0xC5A}, {0xC5C, 0xC5D}, {0xC60, 0xC61}, {0xC80, 0xC80}, {0xC85, 0xC8C}, {0xC8E, 0xC90},
    {0xC92, 0xCA8}, {0xCAA, 0xCB3}, {0xCB5, 0xCB9}, {0xCBD, 0xCBD}, {0xCDC, 0xCDE}, {0xCE0, 0xCE1}, {0xCF1, 0xCF2},
    {0xD04, 0xD0C}, {0xD0E, 0xD10}, {0xD12, 0xD3A}, {0xD3D, 0xD3D}, {0xD4E, 0xD4E}, {0xD54, 0xD56}, {0xD5F, 0xD61},
    {0xD7A, 0xD7F}, {0xD85, 0xD96}, {0xD9A, 0xDB1}, {0xDB3, 0xDBB}, {0xDBD, 0xDBD}, {0xDC0, 0xDC6}, {0xE01, 0xE30},
    {0xE32, 0xE33}, {0xE40, 0xE46}, {0xE81, 0xE82}, {0xE84, 0xE84}, {0xE86, 0xE8A}, {0xE8C, 0xEA3}, {0xEA5, 0xEA5},
    {0xEA7, 0xEB0}, {0xEB2, 0xEB3}, {0xEBD, 0xEBD}, {0xEC0, 0xEC4}, {0xEC6, 0xEC6}, {0xEDC, 0xEDF}, {0xF00, 0xF00},
    {0xF40, 0xF47}, {0xF49, 0xF6C}, {0xF88, 0xF8C}, {0x1000, 0x102A}, {0x103F, 0x103F}, {0x1050, 0x1055},
    {0x105A, 0x105D}, {0x1061, 0x1061}, {0x1065, 0x1066}, {0x106E, 0x1070}, {0x1075, 0x1081}, {0x108E, 0x108E},
    {0x10A0, 0x10C5}, {0x10C7, 0x10C7}, {0x10CD, 0x10CD}, {0x10D0, 0x10FA}, {0x10FC, 0x1248}, {0x124A, 0x124D},
    {0x1250, 0x1256}, {0x1258, 0x1258}, {0x125A, 0x125D}, {0x1260, 0x1288}, {0x128A, 0x128D}, {0x1290, 0x12B0},
    {0x12B2, 0x12B5}, {0x12B8, 0x12BE}, {0x12C0, 0x12C0}, {0x12C2, 0x12C5}, {0x12C8, 0x12D6}, {0x12D8, 0x1310},
    {0x1312, 0x1315}, {0x1318, 0x135A}, {0x1380, 0x138F}, {0x13A0, 0x13F5}, {0x13F8, 0x13FD}, {0x1401, 0x166C},
    {0x166F, 0x167F}, {0x1681, 0x169A}, {0x16A0, 0x16EA}, {0x16EE, 0x16F8}, {0x1700, 0x1711}, {0x171F, 0x1731},
    {0x1740, 0x1751}, {0x1760, 0x176C}, {0x176E, 0x1770}, {0x1780, 0x17B3}, {0x17D7, 0x17D7}, {0x17DC, 0x17DC},
    {0x1820, 0x1878}, {0x1880, 0x1884}, {0x1887, 0x18A8}, {0x18AA, 0x18AA}, {0x18B0, 0x18F5}, {0x1900, 0x191E},
    {0x1950, 0x196D}, {0x1970, 0x1974}, {0x1980, 0x19AB}, {0x19B0, 0x19C9}, {0x1A00, 0x1A16}, {0x1A20, 0x1A54},
    {0x1AA7, 0x1AA7}, {0x1B05, 0x1B33}, {0x1B45, 0x1B4C}, {0x1B83, 0x1BA0}, {0x1BAE, 0x1BAF}, {0x1BBA, 0x1BE5},
    {0x1C00, 0x1C23}, {0x1C4D, 0x1C4F}, {0x1C5A, 0x1C7D}, {0x1C80, 0x1C8A}, {0x1C90, 0x1CBA}, {0x1CBD, 0x1CBF},
    {0x1CE9, 0x1CEC}, {0x1CEE, 0x1CF3}, {0x1CF5, 0x1CF6}, {0x1CFA, 0x1CFA}, {0x1D00, 0x1DBF}, {0x1E00, 0x1F15},
    {0x1F18, 0x1F1D}, {0x1F20, 0x1F45}, {0x1F48, 0x1F4D}, {0x1F50, 0x1F57}, {0x1F59, 0x1F59}, {0x1F5B, 0x1F5B},
    {0x1F5D, 0x1F5D}, {0x1F5F, 0x1F7D}, {0x1F80, 0x1FB4}, {0x1FB6, 0x1FBC}, {0x1FBE, 0x1FBE}, {0x1FC2, 0x1FC4},
    {0x1FC6, 0x1FCC}, {0x1FD0, 0x1FD3}, {0x1FD6, 0x1FDB}, {0x1FE0, 0x1FEC}, {0x1FF2, 0x1FF4}, {0x1FF6, 0x1FFC},
    {0x2071, 0x2071}, {0x207F, 0x207F}, {0x2090, 0x209C}, {0x2102, 0x2102}, {0x2107, 0x2107}, {0x210A, 0x2113},
    {0x2115, 0x2115}, {0x2119, 0x211D}, {0x2124, 0x2124}, {0x2126, 0x2126}, {0x2128, 0x2128}, {0x212A, 0x212D},
    {0x212F, 0x2139}, {0x213C, 0x213F}, {0x2145, 0x2149}, {0x214E, 0x214E}, {0x2160, 0x2188}, {0x2C00, 0x2CE4},
    {0x2CEB, 0x2CEE}, {0x2CF2, 0x2CF3}, {0x2D00, 0x2D25}, {0x2D27, 0x2D27}, {0x2D2D, 0x2D2D}, {0x2D30, 0x2D67},
    {0x2D6F, 0x2D6F}, {0x2D80, 0x2D96}, {0x2DA0, 0x2DA6}, {0x2DA8, 0x2DAE}, {0x2DB0, 0x2DB6}, {0x2DB8, 0x2DBE},
    {0x2DC0, 0x2DC6}, {0x2DC8, 0x2DCE}, {0x2DD0, 0x2DD6}, {0x2DD8, 0x2DDE}, {0x2E2F, 0x2E2F}, {0x3005, 0x3007},
    {0x3021, 0x3029}, {0x3031, 0x3035}, {0x3038, 0x303C}, {0x3041, 0x3096}, {0x309D, 0x309F}, {0x30A1, 0x30FA},
    {0x30FC, 0x30FF}, {0x3105, 0x312F}, {0x3131, 0x318E}, {0x31A0, 0x31BF}, {0x31F0, 0x31FF}, {0x3400, 0x4DBF},
    {0x4E00, 0xA48C}, {0xA4D0, 0xA4FD}, {0xA500, 0xA60C}, {0xA610, 0xA61F}, {0xA62A, 0xA62B}, {0xA640, 0xA66E},
    {0xA67F, 0xA69D}, {0xA6A0, 0xA6EF}, {0xA717, 0xA71F}, {0xA722, 0xA788}, {0xA78B, 0xA7DC}, {0xA7F1, 0xA801},
    {0xA803, 0xA805}, {0xA807, 0xA80A}, {0xA80C, 0xA822}, {0xA840, 0xA873}, {0xA882, 0xA8B3}, {0xA8F2, 0xA8F7},
    {0xA8FB, 0xA8FB}, {0xA8FD, 0xA8FE}, {0xA90A, 0xA925}, {0xA930, 0xA946}, {0xA960, 0xA97C}, {0xA984, 0xA9B2},
    {0xA9CF, 0xA9CF}, {0xA9E0, 0xA9E4}, {0xA9E6, 0xA9EF}, {0xA9FA, 0xA9FE}, {0xAA00, 0xAA28}, {0xAA40, 0xAA42},
    {0xAA44, 0xAA4B}, {0xAA60, 0xAA76}, {0xAA7A, 0xAA7A}, {0xAA7E, 0xAAAF}, {0xAAB1, 0xAAB1}, {0xAAB5, 0xAAB6},
    {0xAAB9, 0xAABD}, {0xAAC0, 0xAAC0}, {0xAAC2, 0xAAC2}, {0xAADB, 0xAADD}, {0xAAE0, 0xAAEA}, {0xAAF2, 0xAAF4},
    {0xAB01, 0xAB06}, {0xAB09, 0xAB0E}, {0xAB11, 0xAB16}, {0xAB20, 0xAB26}, {0xAB28, 0xAB2E}, {0xAB30, 0xAB5A},
    {0xAB5C, 0xAB69}, {0xAB70, 0xABE2}, {0xAC00, 0xD7A3}, {0xD7B0, 0xD7C6}, {0xD7CB, 0xD7FB}, {0xF900, 0xFA6D},
    {0xFA70, 0xFAD9}, {0xFB00, 0xFB06}, {0xFB13, 0xFB17}, {0xFB1D, 0xFB1D}, {0xFB1F, 0xFB28}, {0xFB2A, 0xFB36},
    {0xFB38, 0xFB3C}, {0xFB3E, 0xFB3E}, {0xFB40, 0xFB41}, {0xFB43, 0xFB44}, {0xFB46, 0xFBB1}, {0xFBD3, 0xFD3D},
    {0xFD50, 0xFD8F}, {0xFD92, 0xFDC7}, {0xFDF0, 0xFDFB}, {0xFE70, 0xFE74}, {0xFE76, 0xFEFC}, {0xFF21, 0xFF3A},
    {0xFF41, 0xFF5A}, {0xFF66, 0xFFBE}, {0xFFC2, 0xFFC7}, {0xFFCA, 0xFFCF}, {0xFFD2, 0xFFD7}, {0xFFDA, 0xFFDC},
    {0x10000, 0x1000B}, {0x1000D, 0x10026}, {0x10028, 0x1003A}, {0x1003C, 0x1003D}, {0x1003F, 0x1004D},
    {0x10050, 0x1005D}, {0x10080, 0x100FA}, {0x10140, 0x10174}, {0x10280, 0x1029C}, {0x102A0, 0x102D0},
    {0x10300, 0x1031F}, {0x1032D, 0x1034A}, {0x10350, 0x10375}, {0x10380, 0x1039D}, {0x103A0, 0x103C3},
    {0x103C8, 0x103CF}, {0x103D1, 0x103D5}, {0x10400, 0x1049D}, {0x104B0, 0x104D3}, {0x104D8, 0x104FB},
    {0x10500, 0x10527}, {0x10530, 0x10563}, {0x10570, 0x1057A}, {0x1057C, 0x1058A}, {0x1058C, 0x10592},
    {0x10594, 0x10595}, {0x10597, 0x105A1}, {0x105A3, 0x105B1}, {0x105B3, 0x105B9}, {0x105BB, 0x105BC},
    {0x105C0, 0x105F3}, {0x10600, 0x10736}, {0x10740, 0x10755}, {0x10760, 0x10767}, {0x10780, 0x10785},
    {0x10787, 0x107B0}, {0x107B2, 0x107BA}, {0x10800, 0x10805}, {0x10808, 0x10808}, {0x1080A, 0x10835},
    {0x10837, 0x10838}, {0x1083C, 0x1083C}, {0x1083F, 0x10855}, {0x10860, 0x10876}, {0x10880, 0x1089E},
    {0x108E0, 0x108F2}, {0x108F4, 0x108F5}, {0x10900, 0x10915}, {0x10920, 0x10939}, {0x10940, 0x10959},
    {0x10980, 0x109B7}, {0x109BE, 0x109BF}, {0x10A00, 0x10A00}, {0x10A10, 0x10A13}, {0x10A15, 0x10A17},
    {0x10A19, 0x10A35}, {0x10A60, 0x10A7C}, {0x10A80, 0x10A9C}, {0x10AC0, 0x10AC7}, {0x10AC9, 0x10AE4},
    {0x10B00, 0x10B35}, {0x10B40, 0x10B55}, {0x10B60, 0x10B72}, {0x10B80, 0x10B91}, {0x10C00, 0x10C48},
    {0x10C80, 0x10CB2}, {0x10CC0, 0x10CF2}, {0x10D00, 0x10D23}, {0x10D4A, 0x10D65}, {0x10D6F, 0x10D85},
    {0x10E80, 0x10EA9}, {0x10EB0, 0x10EB1}, {0x10EC2, 0x10EC7}, {0x10F00, 0x10F1C}, {0x10F27, 0x10F27},
    {0x10F30, 0x10F45}, {0x10F70, 0x10F81}, {0x10FB0, 0x10FC4}, {0x10FE0, 0x10FF6}, {0x11003, 0x11037},
    {0x11071, 0x11072}, {0x11075, 0x11075}, {0x11083, 0x110AF}, {0x110D0, 0x110E8}, {0x11103, 0x11126},
    {0x11144, 0x11144}, {0x11147, 0x11147}, {0x11150, 0x11172}, {0x11176, 0x11176}, {0x11183, 0x111B2},
    {0x111C1, 0x111C4}, {0x111DA, 0x111DA}, {0x111DC, 0x111DC}, {0x11200, 0x11211}, {0x11213, 0x1122B},
    {0x1123F, 0x11240}, {0x11280, 0x11286}, {0x11288, 0x11288}, {0x1128A, 0x1128D}, {0x1128F, 0x1129D},
    {0x1129F, 0x112A8}, {0x112B0, 0x112DE}, {0x11305, 0x1130C}, {0x1130F, 0x11310}, {0x11313, 0x11328},
    {0x1132A, 0x11330}, {0x11332, 0x11333}, {0x11335, 0x11339}, {0x1133D, 0x1133D}, {0x11350, 0x11350},
    {0x1135D, 0x11361}, {0x11380, 0x11389}, {0x1138B, 0x1138B}, {0x1138E, 0x1138E}, {0x11390, 0x113B5},
    {0x113B7, 0x113B7}, {0x113D1, 0x113D1}, {0x113D3, 0x113D3}, {0x11400, 0x11434}, {0x11447, 0x1144A},
    {0x1145F, 0x11461}, {0x11480, 0x114AF}, {0x114C4, 0x114C5}, {0x114C7, 0x114C7}, {0x11580, 0x115AE},
    {0x115D8, 0x115DB}, {0x11600, 0x1162F}, {0x11644, 0x11644}, {0x11680, 0x116AA}, {0x116B8, 0x116B8},
    {0x11700, 0x1171A}, {0x11740, 0x11746}, {0x11800, 0x1182B}, {0x118A0, 0x118DF}, {0x118FF, 0x11906},
    {0x11909, 0x11909}, {0x1190C, 0x11913}, {0x11915, 0x11916}, {0x11918, 0x1192F}, {0x1193F, 0x1193F},
    {0x11941, 0x11941}, {0x119A0, 0x119A7}, {0x119AA, 0x119D0}, {0x119E1, 0x119E1}, {0x119E3, 0x119E3},
    {0x11A00, 0x11A00}, {0x11A0B, 0x11A32}, {0x11A3A, 0x11A3A}, {0x11A50, 0x11A50}, {0x11A5C, 0x11A89},
    {0x11A9D, 0x11A9D}, {0x11AB0, 0x11AF8}, {0x11BC0, 0x11BE0}, {0x11C00, 0x11C08}, {0x11C0A, 0x11C2E},
    {0x11C40, 0x11C40}, {0x11C72, 0x11C8F}, {0x11D00, 0x11D06}, {0x11D08, 0x11D09}, {0x11D0B, 0x11D30},
    {0x11D46, 0x11D46}, {0x11D60, 0x11D65}, {0x11D67, 0x11D68}, {0x11D6A, 0x11D89}, {0x11D98, 0x11D98},
    {0x11DB0, 0x11DDB}, {0x11EE0, 0x11EF2}, {0x11F02, 0x11F02}, {0x11F04, 0x11F10}, {0x11F12, 0x11F33},
    {0x11FB0, 0x11FB0}, {0x12000, 0x12399}, {0x12400, 0x1246E}, {0x12480, 0x12543}, {0x12F90, 0x12FF0},
    {0x13000, 0x1342F}, {0x13441, 0x13446}, {0x13460, 0x143FA}, {0x14400, 0x14646}, {0x16100, 0x1611D},
    {0x16800, 0x16A38}, {0x16A40, 0x16A5E}, {0x16A70, 0x16ABE}, {0x16AD0, 0x16AED}, {0x16B00, 0x16B2F},
    {0x16B40, 0x16B43}, {0x16B63, 0x16B77}, {0x16B7D, 0x16B8F}, {0x16D40, 0x16D6C}, {0x16E40, 0x16E7F},
    {0x16EA0, 0x16EB8}, {0x16EBB, 0x16ED3}, {0x16F00, 0x16F4A}, {0x16F50, 0x16F50}, {0x16F93, 0x16F9F},
    {0x16FE0, 0x16FE1}, {0x16FE3, 0x16FE3}, {0x16FF2, 0x16FF6}, {0x17000, 0x18CD5}, {0x18CFF, 0x18D1E},
    {0x18D80, 0x18DF2}, {0x1AFF0, 0x1AFF3}, {0x1AFF5, 0x1AFFB}, {0x1AFFD, 0x1AFFE}, {0x1B000, 0x1B122},
    {0x1B132, 0x1B132}, {0x1B150, 0x1B152}, {0x1B155, 0x1B155}, {0x1B164, 0x1B167}, {0x1B170, 0x1B2FB},
    {0x1BC00, 0x1BC6A}, {0x1BC70, 0x1BC7C}, {0x1BC80, 0x1BC88}, {0x1BC90, 0x1BC99}, {0x1D400, 0x1D454},
    {0x1D456, 0x1D49C}, {0x1D49E, 0x1D49F}, {0x1D4A2, 0x1D4A2}, {0x1D4A5, 0x1D4A6}, {0x1D4A9, 0x1D4AC},
    {0x1D4AE, 0x1D4B9}, {0x1D4BB, 0x1D4BB}, {0x1D4BD, 0x1D4C3}, {0x1D4C5, 0x1D505}, {0x1D507, 0x1D50A},
    {0x1D50D, 0x1D514}, {0x1D516, 0x1D51C}, {0x1D51E, 0x1D539}, {0x1D53B, 0x1D53E}, {0x1D540, 0x1D544},
    {0x1D546, 0x1D546}, {0x1D54A, 0x1D550}, {0x1D552, 0x1D6A5}, {0x1D6A8, 0x1D6C0}, {0x1D6C2, 0x1D6DA},
    {0x1D6DC, 0x1D6FA}, {0x1D6FC, 0x1D714}, {0x1D716, 0x1D734}, {0x1D736, 0x1D74E}, {0x1D750, 0x1D76E},
    {0x1D770, 0x1D788}, {0x1D78A, 0x1D7A8}, {0x1D7AA, 0x1D7C2}, {0x1D7C4, 0x1D7CB}, {0x1DF00, 0x1DF1E},
    {0x1DF25, 0x1DF2A}, {0x1E030, 0x1E06D}, {0x1E100, 0x1E12C}, {0x1E137, 0x1E13D}, {0x1E14E, 0x1E14E},
    {0x1E290, 0x1E2AD}, {0x1E2C0, 0x1E2EB}, {0x1E4D0, 0x1E4EB}, {0x1E5D0, 0x1E5ED}, {0x1E5F0, 0x1E5F0},
    {0x1E6C0, 0x1E6DE}, {0x1E6E0, 0x1E6E2}, {0x1E6E4, 0x1E6E5}, {0x1E6E7, 0x1E6ED}, {0x1E6F0, 0x1E6F4},
    {0x1E6FE, 0x1E6FF}, {0x1E7E0, 0x1E7E6}, {0x1E7E8, 0x1E7EB}, {0x1E7ED, 0x1E7EE}, {0x1E7F0, 0x1E7FE},
    {0x1E800, 0x1E8C4}, {0x1E900, 0x1E943}, {0x1E94B, 0x1E94B}, {0x1EE00, 0x1EE03}, {0x1EE05, 0x1EE1F},
    {0x1EE21, 0x1EE22}, {0x1EE24, 0x1EE24}, {0x1EE27, 0x1EE27}, {0x1EE29, 0x1EE32}, {0x1EE34, 0x1EE37},
    {0x1EE39, 0x1EE39}, {0x1EE3B, 0x1EE3B}, {0x1EE42, 0x1EE42}, {0x1EE47, 0x1EE47}, {0x1EE49, 0x1EE49},
    {0x1EE4B, 0x1EE4B}, {0x1EE4D, 0x1EE4F}, {0x1EE51, 0x1EE52}, {0x1EE54, 0x1EE54}, {0x1EE57, 0x1EE57},
    {0x1EE59, 0x1EE59}, {0x1EE5B, 0x1EE5B}, {0x1EE5D, 0x1EE5D}, {0x1EE5F, 0x1EE5F}, {0x1EE61, 0x1EE62},
    {0x1EE64, 0x1EE64}, {0x1EE67, 0x1EE6A}, {0x1EE6C, 0x1EE72}, {0x1EE74, 0x1EE77}, {0x1EE79, 0x1EE7C},
    {0x1EE7E, 0x1EE7E}, {0x1EE80, 0x1EE89}, {0x1EE8B, 0x1EE9B}, {0x1EEA1, 0x1EEA3}, {0x1EEA5, 0x1EEA9},
    {0x1EEAB, 0x1EEBB}, {0x20000, 0x2A6DF}, {0x2A700, 0x2B81D}, {0x2B820, 0x2CEAD}, {0x2CEB0, 0x2EBE0},
    {0x2EBF0, 0x2EE5D}, {0x2F800, 0x2FA1D}, {0x30000, 0x3134A}, {0x31350, 0x33479},
};

// Mn Mc Nd Pc above ASCII (letters are checked first)
constexpr CodeRange identifier_part_ranges[] = {
    {0x300, 0x36F}, {0x483, 0x487}, {0x591, 0x5BD}, {0x5BF, 0x5BF}, {0x5C1, 0x5C2}, {0x5C4, 0x5C5}, {0x5C7, 0x5C7},
    {0x610, 0x61A}, {0x64B, 0x669}, {0x670, 0x670}, {0x6D6, 0x6DC}, {0x6DF, 0x6E4}, {0x6E7, 0x6E8}, {0x6EA, 0x6ED},
    {0x6F0, 0x6F9}, {0x711, 0x711}, {0x730, 0x74A}, {0x7A6, 0x7B0}, {0x7C0, 0x7C9}, {0x7EB, 0x7F3}, {0x7FD, 0x7FD},
    {0x816, 0x819}, {0x81B, 0x823}, {0x825, 0x827}, {0x829, 0x82D}, {0x859, 0x85B}, {0x897, 0x89F}, {0x8CA, 0x8E1},
    {0x8E3, 0x903}, {0x93A, 0x93C}, {0x93E, 0x94F}, {0x951, 0x957}, {0x962, 0x963}, {0x966, 0x96F}, {0x981, 0x983},
    {0x9BC, 0x9BC}, {0x9BE, 0x9C4}, {0x9C7, 0x9C8}, {0x9CB, 0x9CD}, {0x9D7, 0x9D7}, {0x9E2, 0x9E3}, {0x9E6, 0x9EF},
    {0x9FE, 0x9FE}, {0xA01, 0xA03}, {0xA3C, 0xA3C}, {0xA3E, 0xA42}, {0xA47, 0xA48}, {0xA4B, 0xA4D}, {0xA51, 0xA51},
    {0xA66, 0xA71}, {0xA75, 0xA75}, {0xA81, 0xA83}, {0xABC, 0xABC}, {0xABE, 0xAC5}, {0xAC7, 0xAC9}, {0xACB, 0xACD},
    {0xAE2, 0xAE3}, {0xAE6, 0xAEF}, {0xAFA, 0xAFF}, {0xB01, 0xB03}, {0xB3C, 0xB3C}, {0xB3E, 0xB44}, {0xB47, 0xB48},
    {0xB4B, 0xB4D}, {0xB55, 0xB57}, {0xB62, 0xB63}, {0xB66, 0xB6F}, {0xB82, 0xB82}, {0xBBE, 0xBC2}, {0xBC6, 0xBC8},
    {0xBCA, 0xBCD}, {0xBD7, 0xBD7}, {0xBE6, 0xBEF}, {0xC00, 0xC04}, {0xC3C, 0xC3C}, {0xC3E, 0xC44}, {0xC46, 0xC48},
    {0xC4A, 0xC4D}, {0xC55, 0xC56}, {0xC62, 0xC63}, {0xC66, 0xC6F}, {0xC81, 0xC83}, {0xCBC, 0xCBC}, {0xCBE, 0xCC4},
    {0xCC6, 0xCC8}, {0xCCA, 0xCCD}, {0xCD5, 0xCD6}, {0xCE2, 0xCE3}, {0xCE6, 0xCEF}, {0xCF3, 0xCF3}, {0xD00, 0xD03},
    {0xD3B, 0xD3C}, {0xD3E, 0xD44}, {0xD46, 0xD48}, {0xD4A, 0xD4D}, {0xD57, 0xD57}, {0xD62, 0xD63}, {0xD66, 0xD6F},
    {0xD81, 0xD83}, {0xDCA, 0xDCA}, {0xDCF, 0xDD4}, {0xDD6, 0xDD6}, {0xDD8, 0xDDF}, {0xDE6, 0xDEF}, {0xDF2, 0xDF3},
    {0xE31, 0xE31}, {0xE34, 0xE3A}, {0xE47, 0xE4E}, {0xE50, 0xE59}, {0xEB1, 0xEB1}, {0xEB4, 0xEBC}, {0xEC8, 0xECE},
    {0xED0, 0xED9}, {0xF18, 0xF19}, {0xF20, 0xF29}, {0xF35, 0xF35}, {0xF37, 0xF37}, {0xF39, 0xF39}, {0xF3E, 0xF3F},
    {0xF71, 0xF84}, {0xF86, 0xF87}, {0xF8D, 0xF97}, {0xF99, 0xFBC}, {0xFC6, 0xFC6}, {0x102B, 0x103E},
    {0x1040, 0x1049}, {0x1056, 0x1059}, {0x105E, 0x1060}, {0x1062, 0x1064}, {0x1067, 0x106D}, {0x1071, 0x1074},
    {0x1082, 0x108D}, {0x108F, 0x109D}, {0x135D, 0x135F}, {0x1712, 0x1715}, {0x1732, 0x1734}, {0x1752, 0x1753},
    {0x1772, 0x1773}, {0x17B4, 0x17D3}, {0x17DD, 0x17DD}, {0x17E0, 0x17E9}, {0x180B, 0x180D}, {0x180F, 0x1819},
    {0x1885, 0x1886}, {0x18A9, 0x18A9}, {0x1920, 0x192B}, {0x1930, 0x193B}, {0x1946, 0x194F}, {0x19D0, 0x19D9},
    {0x1A17, 0x1A1B}, {0x1A55, 0x1A5E}, {0x1A60, 0x1A7C}, {0x1A7F, 0x1A89}, {0x1A90, 0x1A99}, {0x1AB0, 0x1ABD},
    {0x1ABF, 0x1ADD}, {0x1AE0, 0x1AEB}, {0x1B00, 0x1B04}, {0x1B34, 0x1B44}, {0x1B50, 0x1B59}, {0x1B6B, 0x1B73},
    {0x1B80, 0x1B82}, {0x1BA1, 0x1BAD}, {0x1BB0, 0x1BB9}, {0x1BE6, 0x1BF3}, {0x1C24, 0x1C37}, {0x1C40, 0x1C49},
    {0x1C50, 0x1C59}, {0x1CD0, 0x1CD2}, {0x1CD4, 0x1CE8}, {0x1CED, 0x1CED}, {0x1CF4, 0x1CF4}, {0x1CF7, 0x1CF9},
    {0x1DC0, 0x1DFF}, {0x203F, 0x2040}, {0x2054, 0x2054}, {0x20D0, 0x20DC}, {0x20E1, 0x20E1}, {0x20E5, 0x20F0},
    {0x2CEF, 0x2CF1}, {0x2D7F, 0x2D7F}, {0x2DE0, 0x2DFF}, {0x302A, 0x302F}, {0x3099, 0x309A}, {0xA620, 0xA629},
    {0xA66F, 0xA66F}, {0xA674, 0xA67D}, {0xA69E, 0xA69F}, {0xA6F0, 0xA6F1}, {0xA802, 0xA802}, {0xA806, 0xA806},
    {0xA80B, 0xA80B}, {0xA823, 0xA827}, {0xA82C, 0xA82C}, {0xA880, 0xA881}, {0xA8B4, 0xA8C5}, {0xA8D0, 0xA8D9},
    {0xA8E0, 0xA8F1}, {0xA8FF, 0xA909}, {0xA926, 0xA92D}, {0xA947, 0xA953}, {0xA980, 0xA983}, {0xA9B3, 0xA9C0},
    {0xA9D0, 0xA9D9}, {0xA9E5, 0xA9E5}, {0xA9F0, 0xA9F9}, {0xAA29, 0xAA36}, {0xAA43, 0xAA43}, {0xAA4C, 0xAA4D},
    {0xAA50, 0xAA59}, {0xAA7B, 0xAA7D}, {0xAAB0, 0xAAB0}, {0xAAB2, 0xAAB4}, {0xAAB7, 0xAAB8}, {0xAABE, 0xAABF},
    {0xAAC1, 0xAAC1}, {0xAAEB, 0xAAEF}, {0xAAF5, 0xAAF6}, {0xABE3, 0xABEA}, {0xABEC, 0xABED}, {0xABF0, 0xABF9},
    {0xFB1E, 0xFB1E}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFE33, 0xFE34}, {0xFE4D, 0xFE4F}, {0xFF10, 0xFF19},
    {0xFF3F, 0xFF3F}, {0x101FD, 0x101FD}, {0x102E0, 0x102E0}, {0x10376, 0x1037A}, {0x104A0, 0x104A9},
    {0x10A01, 0x10A03}, {0x10A05, 0x10A06}, {0x10A0C, 0x10A0F}, {0x10A38, 0x10A3A}, {0x10A3F, 0x10A3F},
    {0x10AE5, 0x10AE6}, {0x10D24, 0x10D27}, {0x10D30, 0x10D39}, {0x10D40, 0x10D49}, {0x10D69, 0x10D6D},
    {0x10EAB, 0x10EAC}, {0x10EFA, 0x10EFF}, {0x10F46, 0x10F50}, {0x10F82, 0x10F85}, {0x11000, 0x11002},
    {0x11038, 0x11046}, {0x11066, 0x11070}, {0x11073, 0x11074}, {0x1107F, 0x11082}, {0x110B0, 0x110BA},
    {0x110C2, 0x110C2}, {0x110F0, 0x110F9}, {0x11100, 0x11102}, {0x11127, 0x11134}, {0x11136, 0x1113F},
    {0x11145, 0x11146}, {0x11173, 0x11173}, {0x11180, 0x11182}, {0x111B3, 0x111C0}, {0x111C9, 0x111CC},
    {0x111CE, 0x111D9}, {0x1122C, 0x11237}, {0x1123E, 0x1123E}, {0x11241, 0x11241}, {0x112DF, 0x112EA},
    {0x112F0, 0x112F9}, {0x11300, 0x11303}, {0x1133B, 0x1133C}, {0x1133E, 0x11344}, {0x11347, 0x11348},
    {0x1134B, 0x1134D}, {0x11357, 0x11357}, {0x11362, 0x11363}, {0x11366, 0x1136C}, {0x11370, 0x11374},
    {0x113B8, 0x113C0}, {0x113C2, 0x113C2}, {0x113C5, 0x113C5}, {0x113C7, 0x113CA}, {0x113CC, 0x113D0},
    {0x113D2, 0x113D2}, {0x113E1, 0x113E2}, {0x11435, 0x11446}, {0x11450, 0x11459}, {0x1145E, 0x1145E},
    {0x114B0, 0x114C3}, {0x114D0, 0x114D9}, {0x115AF, 0x115B5}, {0x115B8, 0x115C0}, {0x115DC, 0x115DD},
    {0x11630, 0x11640}, {0x11650, 0x11659}, {0x116AB, 0x116B7}, {0x116C0, 0x116C9}, {0x116D0, 0x116E3},
    {0x1171D, 0x1172B}, {0x11730, 0x11739}, {0x1182C, 0x1183A}, {0x118E0, 0x118E9}, {0x11930, 0x11935},
    {0x11937, 0x11938}, {0x1193B, 0x1193E}, {0x11940, 0x11940}, {0x11942, 0x11943}, {0x11950, 0x11959},
    {0x119D1, 0x119D7}, {0x119DA, 0x119E0}, {0x119E4, 0x119E4}, {0x11A01, 0x11A0A}, {0x11A33, 0x11A39},
    {0x11A3B, 0x11A3E}, {0x11A47, 0x11A47}, {0x11A51, 0x11A5B}, {0x11A8A, 0x11A99}, {0x11B60, 0x11B67},
    {0x11BF0, 0x11BF9}, {0x11C2F, 0x11C36}, {0x11C38, 0x11C3F}, {0x11C50, 0x11C59}, {0x11C92, 0x11CA7},
    {0x11CA9, 0x11CB6}, {0x11D31, 0x11D36}, {0x11D3A, 0x11D3A}, {0x11D3C, 0x11D3D}, {0x11D3F, 0x11D45},
    {0x11D47, 0x11D47}, {0x11D50, 0x11D59}, {0x11D8A, 0x11D8E}, {0x11D90, 0x11D91}, {0x11D93, 0x11D97},
    {0x11DA0, 0x11DA9}, {0x11DE0, 0x11DE9}, {0x11EF3, 0x11EF6}, {0x11F00, 0x11F01}, {0x11F03, 0x11F03},
    {0x11F34, 0x11F3A}, {0x11F3E, 0x11F42}, {0x11F50, 0x11F5A}, {0x13440, 0x13440}, {0x13447, 0x13455},
    {0x1611E, 0x16139}, {0x16A60, 0x16A69}, {0x16AC0, 0x16AC9}, {0x16AF0, 0x16AF4}, {0x16B30, 0x16B36},
    {0x16B50, 0x16B59}, {0x16D70, 0x16D79}, {0x16F4F, 0x16F4F}, {0x16F51, 0x16F87}, {0x16F8F, 0x16F92},
    {0x16FE4, 0x16FE4}, {0x16FF0, 0x16FF1}, {0x1BC9D, 0x1BC9E}, {0x1CCF0, 0x1CCF9}, {0x1CF00, 0x1CF2D},
    {0x1CF30, 0x1CF46}, {0x1D165, 0x1D169}, {0x1D16D, 0x1D172}, {0x1D17B, 0x1D182}, {0x1D185, 0x1D18B},
    {0x1D1AA, 0x1D1AD}, {0x1D242, 0x1D244}, {0x1D7CE, 0x1D7FF}, {0x1DA00, 0x1DA36}, {0x1DA3B, 0x1DA6C},
    {0x1DA75, 0x1DA75}, {0x1DA84, 0x1DA84}, {0x1DA9B, 0x1DA9F}, {0x1DAA1, 0x1DAAF}, {0x1E000, 0x1E006},
    {0x1E008, 0x1E018}, {0x1E01B, 0x1E021}, {0x1E023, 0x1E024}, {0x1E026, 0x1E02A}, {0x1E08F, 0x1E08F},
    {0x1E130, 0x1E136}, {0x1E140, 0x1E149}, {0x1E2AE, 0x1E2AE}, {0x1E2EC, 0x1E2F9}, {0x1E4EC, 0x1E4F9},
    {0x1E5EE, 0x1E5EF}, {0x1E5F1, 0x1E5FA}, {0x1E6E3, 0x1E6E3}, {0x1E6E6, 0x1E6E6}, {0x1E6EE, 0x1E6EF},
    {0x1E6F5, 0x1E6F5}, {0x1E8D0, 0x1E8D6}, {0x1E944, 0x1E94A}, {0x1E950, 0x1E959}, {0x1FBF0, 0x1FBF9},
    {0xE0100, 0xE01EF},
};

// Zs above ASCII
constexpr CodeRange space_separator_ranges[] = {
    {0xA0, 0xA0}, {0x1680, 0x1680}, {0x2000, 0x200A}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000},
};

// ---- end generated tables
// clang-format on

template <std::size_t N>
bool in_ranges(const CodeRange (&ranges)[N], std::uint32_t cp) {
    std::size_t lo = 0, hi = N;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (cp < ranges[mid].first) hi = mid;
        else if (cp > ranges[mid].last) lo = mid + 1;
        else return true;
    }
    return false;
}

bool is_ascii_letter(std::uint32_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
bool is_digit(std::uint32_t c) { return c >= '0' && c <= '9'; }

int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
}

bool is_identifier_start(std::uint32_t cp) {
    if (cp < 0x80) return is_ascii_letter(cp) || cp == '$' || cp == '_';
    return in_ranges(identifier_start_ranges, cp);
}

bool is_identifier_part(std::uint32_t cp) {
    if (cp < 0x80) return is_ascii_letter(cp) || is_digit(cp) || cp == '$' || cp == '_';
    if (cp == 0x200C || cp == 0x200D) return true;
    return in_ranges(identifier_start_ranges, cp) || in_ranges(identifier_part_ranges, cp);
}

// White space beyond ASCII: NBSP, BOM, the two separators and every Zs.
bool is_unicode_space(std::uint32_t cp) {
    return cp == 0xA0 || cp == 0xFEFF || cp == 0x2028 || cp == 0x2029 || in_ranges(space_separator_ranges, cp);
}

// ---- UTF-8 ---------------------------------------------------------------------------------

using Byte = unsigned char;
constexpr std::uint32_t replacement_character = 0xFFFD;

struct Decoded {
    std::uint32_t cp;
    std::size_t length;  // bytes consumed, at least 1
};

// One character at `p` (p < end). An ill-formed sequence gives U+FFFD and
// consumes its maximal subpart, never the byte that broke it.
Decoded decode_utf8(const Byte* p, const Byte* end) {
    const std::uint32_t b0 = p[0];
    if (b0 < 0x80) return {b0, 1};
    std::uint32_t cp;
    int need;
    std::uint32_t lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        cp = b0 & 0x1F;
        need = 1;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        cp = b0 & 0x0F;
        need = 2;
        if (b0 == 0xE0) lo = 0xA0;  // overlong
        if (b0 == 0xED) hi = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        cp = b0 & 0x07;
        need = 3;
        if (b0 == 0xF0) lo = 0x90;  // overlong
        if (b0 == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
        return {replacement_character, 1};
    }
    std::size_t length = 1;
    for (; need > 0; --need) {
        if (p + length == end || p[length] < lo || p[length] > hi) return {replacement_character, length};
        cp = (cp << 6) | (p[length] & 0x3F);
        lo = 0x80;
        hi = 0xBF;
        ++length;
    }
    return {cp, length};
}

std::size_t utf8_length(std::uint32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

// Decoded text is measured first (out == nullptr), then written into a block
// of exactly that size.
struct Sink {
    char* out;
    std::size_t length;

    void put(std::uint32_t cp) {
        if (out) {
            char* o = out + length;
            if (cp < 0x80) {
                o[0] = static_cast<char>(cp);
            } else if (cp < 0x800) {
                o[0] = static_cast<char>(0xC0 | (cp >> 6));
                o[1] = static_cast<char>(0x80 | (cp & 0x3F));
            } else if (cp < 0x10000) {
                o[0] = static_cast<char>(0xE0 | (cp >> 12));
                o[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                o[2] = static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                o[0] = static_cast<char>(0xF0 | (cp >> 18));
                o[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                o[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                o[3] = static_cast<char>(0x80 | (cp & 0x3F));
            }
        }
        length += utf8_length(cp);
    }

    // Bytes that stand for themselves.
    void put_run(const Byte* bytes, std::size_t count) {
        if (out) std::memcpy(out + length, bytes, count);
        length += count;
    }
};

// ---- scanning in bulk ------------------------------------------------------------------------
// Eight bytes at a time, with per-byte tests that cannot carry into the next
// byte, so the first byte that matters is found from its bit position.

constexpr bool word_scan = std::endian::native == std::endian::little || std::endian::native == std::endian::big;
constexpr std::uint64_t ones = 0x0101010101010101u;
constexpr std::uint64_t high_bits = 0x8080808080808080u;
constexpr std::uint64_t low_bits = ~high_bits;

inline std::uint64_t load_word(const Byte* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The high bit of every byte of `w` that is not zero.
inline std::uint64_t nonzero_bytes(std::uint64_t w) { return (((w & low_bits) + low_bits) | w) & high_bits; }

// Index in memory order of the first byte with a bit set in `marks` (not 0).
inline std::size_t first_marked(std::uint64_t marks) {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<std::size_t>(std::countr_zero(marks)) / 8;
    } else {
        return static_cast<std::size_t>(std::countl_zero(marks)) / 8;
    }
}

// The first byte at or after `p` that is `quote`, a backslash, a control
// character or not ASCII; `end` when there is none.
inline const Byte* skip_plain(const Byte* p, const Byte* end, Byte quote) {
    if constexpr (word_scan) {
        const std::uint64_t quotes = ones * quote, backslashes = ones * '\\';
        while (end - p >= 8) {
            const std::uint64_t w = load_word(p);
            // (w & low_bits) + 0x60 sets a byte's high bit when its low seven bits are 0x20 or more.
            const std::uint64_t plain = nonzero_bytes(w ^ quotes) & nonzero_bytes(w ^ backslashes) &
                                        ((w & low_bits) + ones * 0x60) & ~w & high_bits;
            if (plain != high_bits) return p + first_marked(plain ^ high_bits);
            p += 8;
        }
    }
    while (p < end && *p != quote && *p != '\\' && *p >= 0x20 && *p < 0x80) ++p;
    return p;
}

// ---- document storage ----------------------------------------------------------------------
// The tree lives in chunks taken from the caller's allocator; each chunk
// remembers its size so it can be given back exactly.

constexpr std::size_t chunk_header = (sizeof(Json5Chunk) + 15) & ~std::size_t{15};
constexpr std::size_t first_chunk_size = 1024;
constexpr std::size_t largest_chunk_size = 64 * 1024;

struct Arena {
    const Allocator* allocator;
    Json5Chunk* chunks;  // the one being filled first
    char* cursor;
    std::size_t room;
    std::size_t next_size;
};

Json5Chunk* new_chunk(Arena& a, std::size_t size) {
    void* block = allocate_bytes(*a.allocator, size, 16);
    if (!block) return nullptr;
    Json5Chunk* chunk = static_cast<Json5Chunk*>(block);
    chunk->size = size;
    return chunk;
}

// Storage aligned for any tree record; nullptr when the allocator fails.
void* arena_take(Arena& a, std::size_t size) {
    if (size > SIZE_MAX / 2) return nullptr;
    size = (size + 7) & ~std::size_t{7};
    if (size <= a.room) {
        void* p = a.cursor;
        a.cursor += size;
        a.room -= size;
        return p;
    }
    if (size > (a.next_size - chunk_header) / 4) {
        // A big piece gets a block of its own, kept behind the chunk being filled.
        Json5Chunk* chunk = new_chunk(a, chunk_header + size);
        if (!chunk) return nullptr;
        if (a.chunks) {
            chunk->next = a.chunks->next;
            a.chunks->next = chunk;
        } else {
            chunk->next = nullptr;
            a.chunks = chunk;
            a.room = 0;
        }
        return reinterpret_cast<char*>(chunk) + chunk_header;
    }
    Json5Chunk* chunk = new_chunk(a, a.next_size);
    if (!chunk) return nullptr;
    chunk->next = a.chunks;
    a.chunks = chunk;
    a.cursor = reinterpret_cast<char*>(chunk) + chunk_header + size;
    a.room = a.next_size - chunk_header - size;
    if (a.next_size < largest_chunk_size) a.next_size *= 2;
    return reinterpret_cast<char*>(chunk) + chunk_header;
}

void free_chunks(Json5Chunk* chunk, const Allocator& allocator) {
    while (chunk) {
        Json5Chunk* next = chunk->next;
        free_bytes(allocator, chunk, chunk->size);
        chunk = next;
    }
}

// ---- the parser's state ----------------------------------------------------------------------

// Values waiting for their container to close: an object's members, which
// become its members as they are, and an array's items, each on its own stack
// so that items take no room for keys. Scratch from the allocator, freed after
// the parse.
template <class T>
struct Stack {
    T* data;
    std::size_t count;
    std::size_t capacity;
};

// A new entry on top, uninitialised; nullptr when the allocator fails.
template <class T>
inline T* push(const Allocator& allocator, Stack<T>& s) {
    if (s.count == s.capacity) {
        const std::size_t capacity = s.capacity ? s.capacity * 2 : 64;
        T* grown = allocate_array<T>(allocator, capacity);
        if (!grown) return nullptr;
        if (s.count) std::memcpy(static_cast<void*>(grown), s.data, s.count * sizeof(T));
        free_array(allocator, s.data, s.capacity);
        s.data = grown;
        s.capacity = capacity;
    }
    return &s.data[s.count++];
}

struct Frame {
    std::size_t first;  // its first entry on the stack of its kind
    bool is_object;
};

// Keys repeat from object to object; a plain key seen before is shared
// rather than stored again.
struct SharedKey {
    const char* text;
    std::size_t length;
};
constexpr std::size_t shared_key_slots = 32;

struct Parser {
    const Byte* begin;
    const Byte* end;
    const Allocator* allocator;
    Arena arena;
    SharedKey keys[shared_key_slots];
    Stack<Json5Member> members;
    Stack<Json5Value> items;
    Frame frames[json5_max_depth];
    int depth;
    const Byte* error_at;
    const char* error_message;
};

bool fail(Parser& ps, const Byte* at, const char* message) {
    ps.error_at = at;
    ps.error_message = message;
    return false;
}

constexpr const char* out_of_memory = "out of memory";

// ---- the lexer pieces -------------------------------------------------------------------------

// The comment or Unicode space at `p` ('/' or a byte above ASCII), if it is
// one: `p` moves past it and `skipped` is set. Fails only on an unterminated
// block comment.
bool skip_comment_or_unicode_space(Parser& ps, const Byte*& p, bool& skipped) {
    skipped = false;
    if (*p == '/' && p + 1 < ps.end && p[1] == '/') {
        // Up to a line terminator; none of its bytes can sit inside another
        // character, so bytes are searched directly.
        p += 2;
        while (p < ps.end && *p != '\n' && *p != '\r' &&
               !(*p == 0xE2 && p + 2 < ps.end && p[1] == 0x80 && (p[2] == 0xA8 || p[2] == 0xA9))) {
            ++p;
        }
        skipped = true;
    } else if (*p == '/' && p + 1 < ps.end && p[1] == '*') {
        const Byte* opening = p;
        p += 2;
        for (;;) {
            if (p + 1 >= ps.end) return fail(ps, opening, "unterminated comment: /* without */");
            if (p[0] == '*' && p[1] == '/') break;
            ++p;
        }
        p += 2;
        skipped = true;
    } else if (*p >= 0x80) {
        const Decoded d = decode_utf8(p, ps.end);
        if (is_unicode_space(d.cp)) {
            p += d.length;
            skipped = true;
        }
    }
    return true;
}

// Skips white space and comments. Fails only on an unterminated block comment.
bool skip_space_and_comments(Parser& ps, const Byte*& p) {
    const Byte* q = p;
    const Byte* const end = ps.end;
    for (;;) {
        if constexpr (word_scan) {
            // Line breaks and indentation come in long runs.
            if (end - q >= 8) {
                const std::uint64_t w = load_word(q);
                const std::uint64_t other = nonzero_bytes(w ^ (ones * ' ')) & nonzero_bytes(w ^ (ones * '\n'));
                if (other == 0) {
                    q += 8;
                    continue;
                }
                q += first_marked(other);
            }
        }
        if (q == end) break;
        const Byte c = *q;
        if (c == ' ' || (c >= '\t' && c <= '\r')) {  // \t \n \v \f \r
            ++q;
            continue;
        }
        if (c != '/' && c < 0x80) break;
        bool skipped = false;
        if (!skip_comment_or_unicode_space(ps, q, skipped)) {
            p = q;
            return false;
        }
        if (!skipped) break;
    }
    p = q;
    return true;
}

inline bool starts_token(Byte c) { return c > ' ' && c != '/' && c < 0x80; }

// Mostly called where a token follows at once or after one space (": ").
inline bool skip_space(Parser& ps, const Byte*& p) {
    if (p < ps.end) {
        if (starts_token(*p)) return true;
        if (*p == ' ' && p + 1 < ps.end && starts_token(p[1])) {
            ++p;
            return true;
        }
    }
    return skip_space_and_comments(ps, p);
}

// Reads `count` hex digits at p into value; false if they are not all there.
bool read_hex(const Byte* p, const Byte* end, int count, std::uint32_t& value) {
    if (end - p < count) return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        const int h = hex_value(p[i]);
        if (h < 0) return false;
        value = value * 16 + static_cast<std::uint32_t>(h);
    }
    return true;
}

bool is_high_surrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The body of a string whose opening quote is at `p`; leaves `p` after the
// closing quote.
bool scan_string(Parser& ps, const Byte*& p, Sink& sink) {
    const Byte* opening = p;
    const Byte quote = *p++;
    std::uint32_t pending_high = 0;  // an escaped high surrogate waiting for its low half
    auto settle = [&] {
        if (pending_high) sink.put(replacement_character);
        pending_high = 0;
    };
    for (;;) {
        if (p == ps.end) return fail(ps, opening, "unterminated string");
        const Byte c = *p;
        if (c == quote) {
            settle();
            ++p;
            return true;
        }
        if (c == '\n' || c == '\r') return fail(ps, p, "line break inside a string (write \\n, or \\ before it)");
        if (c != '\\') {
            settle();
            if (c < 0x80) {
                const Byte* run_end = skip_plain(p + 1, ps.end, quote);
                sink.put_run(p, static_cast<std::size_t>(run_end - p));
                p = run_end;
            } else {
                const Decoded d = decode_utf8(p, ps.end);
                sink.put(d.cp);
                p += d.length;
            }
            continue;
        }
        const Byte* escape = p++;
        if (p == ps.end) return fail(ps, opening, "unterminated string");
        std::uint32_t unit;
        bool from_u = false;
        switch (*p) {
            case 'b': unit = '\b'; ++p; break;
            case 'f': unit = '\f'; ++p; break;
            case 'n': unit = '\n'; ++p; break;
            case 'r': unit = '\r'; ++p; break;
            case 't': unit = '\t'; ++p; break;
            case 'v': unit = '\v'; ++p; break;
            case '0':
                if (p + 1 < ps.end && is_digit(p[1])) return fail(ps, escape, "invalid escape: \\0 followed by a digit");
                unit = 0;
                ++p;
                break;
            case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9':
                return fail(ps, escape, "invalid escape: a digit (octal escapes are not JSON5)");
            case 'x':
                if (!read_hex(p + 1, ps.end, 2, unit)) return fail(ps, escape, "invalid escape: \\x needs two hex digits");
                p += 3;
                break;
            case 'u':
                if (!read_hex(p + 1, ps.end, 4, unit)) return fail(ps, escape, "invalid escape: \\u needs four hex digits");
                p += 5;
                from_u = true;
                break;
            case '\n':  // line continuations stand for nothing
                ++p;
                continue;
            case '\r':
                ++p;
                if (p < ps.end && *p == '\n') ++p;
                continue;
            default: {
                const Decoded d = decode_utf8(p, ps.end);
                p += d.length;
                if (d.cp == 0x2028 || d.cp == 0x2029) continue;
                unit = d.cp;  // any other character stands for itself
                break;
            }
        }
        if (from_u && is_low_surrogate(unit) && pending_high) {
            sink.put(0x10000 + ((pending_high - 0xD800) << 10) + (unit - 0xDC00));
            pending_high = 0;
            continue;
        }
        settle();
        if (from_u && is_high_surrogate(unit)) pending_high = unit;
        else if (from_u && is_low_surrogate(unit)) sink.put(replacement_character);
        else sink.put(unit);
    }
}

// An identifier key starting at `p`; leaves `p` after it.
bool scan_identifier(Parser& ps, const Byte*& p, Sink& sink) {
    bool first = true;
    while (p < ps.end) {
        std::uint32_t cp;
        const Byte* at = p;
        if (*p == '\\') {
            if (p + 1 >= ps.end || p[1] != 'u' || !read_hex(p + 2, ps.end, 4, cp)) {
                return fail(ps, at, "invalid escape in a key: only \\uXXXX is allowed");
            }
            if (first ? !is_identifier_start(cp) : !is_identifier_part(cp)) {
                return fail(ps, at, "the escaped character cannot stand in a key");
            }
            p += 6;
        } else {
            const Decoded d = decode_utf8(p, ps.end);
            cp = d.cp;
            if (first ? !is_identifier_start(cp) : !is_identifier_part(cp)) break;
            p += d.length;
        }
        sink.put(cp);
        first = false;
    }
    if (first) return fail(ps, p, p == ps.end ? "unexpected end of input: expected a key" : "expected a key");
    return true;
}

// Keys are short: a call to memcmp would cost more than the comparing.
inline bool same_bytes(const char* a, const Byte* b, std::size_t count) {
    for (; count >= 8; a += 8, b += 8, count -= 8) {
        if (load_word(reinterpret_cast<const Byte*>(a)) != load_word(b)) return false;
    }
    for (; count > 0; ++a, ++b, --count) {
        if (static_cast<Byte>(*a) != *b) return false;
    }
    return true;
}

// Decodes the string or identifier at `p` into the document's storage; a key
// (`is_key`) may share the storage of an earlier one.
bool read_text(Parser& ps, const Byte*& p, bool identifier, bool is_key, const char*& text, std::size_t& length) {
    const Byte* start = p;
    // Most text is plain ASCII with nothing to decode: it is copied whole.
    const Byte* body = identifier ? p : p + 1;
    const Byte* stop = body;
    bool plain;
    if (identifier) {
        if (stop < ps.end && *stop < 0x80 && is_identifier_start(*stop)) {
            ++stop;
            while (stop < ps.end && *stop < 0x80 && is_identifier_part(*stop)) ++stop;
        }
        plain = stop > body && (stop == ps.end || (*stop < 0x80 && *stop != '\\'));
    } else {
        stop = skip_plain(body, ps.end, *p);
        plain = stop < ps.end && *stop == *p;
    }
    if (plain) {
        const auto count = static_cast<std::size_t>(stop - body);
        p = identifier ? stop : stop + 1;
        length = count;
        if (count == 0) {
            text = "";
            return true;
        }
        SharedKey* shared = nullptr;
        if (is_key) {
            shared = &ps.keys[(count + body[0] * 7u + body[count - 1]) % shared_key_slots];
            if (shared->length == count && same_bytes(shared->text, body, count)) {
                text = shared->text;
                return true;
            }
        }
        char* out = static_cast<char*>(arena_take(ps.arena, count + 1));
        if (!out) return fail(ps, start, out_of_memory);
        std::memcpy(out, body, count);
        out[count] = '\0';
        text = out;
        if (shared) *shared = SharedKey{out, count};
        return true;
    }

    Sink measure{nullptr, 0};
    if (!(identifier ? scan_identifier(ps, p, measure) : scan_string(ps, p, measure))) return false;
    if (measure.length == 0) {
        text = "";
        length = 0;
        return true;
    }
    char* out = static_cast<char*>(arena_take(ps.arena, measure.length + 1));
    if (!out) return fail(ps, start, out_of_memory);
    const Byte* again = start;
    Sink write{out, 0};
    if (identifier) scan_identifier(ps, again, write);
    else scan_string(ps, again, write);
    out[write.length] = '\0';
    text = out;
    length = write.length;
    return true;
}

// ---- numbers ----------------------------------------------------------------------------------

constexpr std::uint64_t two_to_63 = std::uint64_t{1} << 63;

// Eight digits at a time where a word's first byte is its lowest: bytes 0x30
// to 0x39 are the ones whose high nibble is 3 both before and after adding 6.
inline bool are_eight_digits(std::uint64_t w) {
    return ((w & 0xF0F0F0F0F0F0F0F0u) | (((w + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4)) ==
           0x3333333333333333u;
}

// Their value, by pairs, then fours, then all eight.
inline std::uint64_t eight_digits_value(std::uint64_t w) {
    w -= 0x3030303030303030u;
    w = (w * 10 + (w >> 8)) & 0x00FF00FF00FF00FFu;
    w = (w * 100 + (w >> 16)) & 0x0000FFFF0000FFFFu;
    return (w * 10000 + (w >> 32)) & 0xFFFFFFFFu;
}

struct Gathered {
    const Byte* end;  // after the digits
    std::uint64_t m;
};

// The digits at p added to m (m × 10 + digit each, wrapping past 64 bits).
inline Gathered gather_digits(const Byte* p, const Byte* end, std::uint64_t m) {
    if constexpr (std::endian::native == std::endian::little) {
        while (end - p >= 8) {
            const std::uint64_t w = load_word(p);
            if (!are_eight_digits(w)) break;
            m = m * 100000000u + eight_digits_value(w);
            p += 8;
        }
    }
    for (; p < end && is_digit(*p); ++p) m = m * 10 + static_cast<std::uint64_t>(*p - '0');
    return {p, m};
}

// The value of `negative` and magnitude `m`, when it fits in 64 signed bits.
bool signed_integer(bool negative, std::uint64_t m, std::int64_t& out) {
    if (m < two_to_63) {
        out = negative ? -static_cast<std::int64_t>(m) : static_cast<std::int64_t>(m);
        return true;
    }
    if (negative && m == two_to_63) {
        out = std::numeric_limits<std::int64_t>::min();
        return true;
    }
    return false;
}

// (m + a fraction of one unit that is non-zero when `sticky`) × 2^e rounded to
// a float type with `precision` significant bits, ties to even.
template <class F>
F round_binary(std::uint64_t m, bool sticky, std::int64_t e, int precision) {
    if (m == 0) return F(0);
    const int bits = 64 - std::countl_zero(m);
    if (bits > precision) {
        int shift = bits - precision;
        std::uint64_t keep = m >> shift;
        const std::uint64_t rest = m & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        if (rest > half || (rest == half && (sticky || (keep & 1)))) {
            ++keep;
            if (keep >> precision) {
                keep >>= 1;
                ++shift;
            }
        }
        m = keep;
        e += shift;
    }
    if (e > 4096) return std::numeric_limits<F>::infinity();
    return std::ldexp(static_cast<F>(m), static_cast<int>(e));
}

void set_hex_value(Json5Value& v, bool negative, const Byte* digits, std::size_t count) {
    while (count > 0 && *digits == '0') {
        ++digits;
        --count;
    }
    std::uint64_t m = 0;
    const std::size_t kept = count < 16 ? count : 16;
    for (std::size_t i = 0; i < kept; ++i) m = m * 16 + static_cast<std::uint64_t>(hex_value(digits[i]));
    bool sticky = false;
    for (std::size_t i = kept; i < count && !sticky; ++i) sticky = digits[i] != '0';
    const std::int64_t e = 4 * static_cast<std::int64_t>(count - kept);
    const double d = round_binary<double>(m, sticky, e, 53);
    const float f = round_binary<float>(m, sticky, e, 24);
    v.data.number.value = negative ? -d : d;
    v.f32 = negative ? -f : f;
    v.flag = count <= 16 && signed_integer(negative, m, v.data.number.integer);
}

// A decimal literal's pieces: the digits before and after the point and the
// exponent's value (saturated far beyond any finite double).
struct DecimalParts {
    const Byte* whole;
    std::size_t whole_count;
    const Byte* fraction;
    std::size_t fraction_count;
    std::int64_t exponent;
};

// Significant digits kept for rounding: more than the 767 an exact double
// halfway point can need; anything cut off is stood for by one trailing 1.
constexpr std::size_t kept_digits = 800;

template <class F>
F decimal_to_binary(const char* digits, std::size_t count, std::int64_t exponent, std::int64_t magnitude,
                    int max_decimal_exponent, int min_decimal_exponent) {
    // The value lies in [10^(magnitude-1), 10^magnitude).
    if (magnitude - 1 > max_decimal_exponent) return std::numeric_limits<F>::infinity();
    if (magnitude < min_decimal_exponent) return F(0);
    char text[kept_digits + 32];
    std::memcpy(text, digits, count);
    text[count] = 'e';
    const auto written = std::to_chars(text + count + 1, text + sizeof text, exponent);
    F value{};
    const auto read = std::from_chars(text, written.ptr, value, std::chars_format::general);
    if (read.ec == std::errc::result_out_of_range) return magnitude > 0 ? std::numeric_limits<F>::infinity() : F(0);
    return value;
}

void set_decimal_value(Json5Value& v, bool negative, const DecimalParts& n) {
    const std::size_t total = n.whole_count + n.fraction_count;
    auto digit_at = [&](std::size_t i) { return i < n.whole_count ? n.whole[i] : n.fraction[i - n.whole_count]; };
    std::size_t first = 0;
    while (first < total && digit_at(first) == '0') ++first;
    if (first == total) {
        v.data.number = {negative ? -0.0 : 0.0, 0};
        v.f32 = negative ? -0.0f : 0.0f;
        v.flag = true;
        return;
    }
    std::size_t last = total - 1;
    while (digit_at(last) == '0') --last;
    // value = S × 10^e where S is the digits first..last.
    const std::size_t significant = last - first + 1;
    const std::int64_t e = n.exponent - static_cast<std::int64_t>(n.fraction_count) +
                           static_cast<std::int64_t>(total - 1 - last);
    const std::int64_t magnitude = e + static_cast<std::int64_t>(significant);

    char digits[kept_digits + 1];
    std::size_t count = 0;
    for (std::size_t i = first; i <= last && count < kept_digits; ++i) digits[count++] = static_cast<char>(digit_at(i));
    std::int64_t printed_exponent = e + static_cast<std::int64_t>(significant - count);
    if (count < significant) {
        digits[count++] = '1';  // the last digit cut off is not zero
        printed_exponent -= 1;
    }
    const double d = decimal_to_binary<double>(digits, count, printed_exponent, magnitude, 308, -323);
    const float f = decimal_to_binary<float>(digits, count, printed_exponent, magnitude, 38, -45);
    v.data.number = {negative ? -d : d, 0};
    v.f32 = negative ? -f : f;

    // Exactly an integer: no fraction left once trailing zeros are counted in.
    v.flag = false;
    if (e < 0 || magnitude > 19) return;
    std::uint64_t m = 0;
    for (std::size_t i = first; i <= last; ++i) m = m * 10 + static_cast<std::uint64_t>(digit_at(i) - '0');
    for (std::int64_t i = 0; i < e; ++i) {
        if (m > two_to_63 / 10) return;
        m *= 10;
    }
    v.flag = signed_integer(negative, m, v.data.number.integer);
}

// The common short literal, such as -1234.50000000 or 1765267200000000000:
// at most 19 significant digits m and a value m × 10^e. An exact integer below
// 2^63 converts once from 64 bits, to double and to float alike. Otherwise,
// with m ≤ 2^53 and |e| ≤ 22, m / 10^-e (or m × 10^e) is one correctly
// rounded operation on exact operands (Clinger). The float is that double
// rounded again, which gives x's own nearest float unless the double lies
// exactly halfway between two floats: x may be on either side of it then.
// Whatever is not settled here goes to set_decimal_value.

// One rounding per operation, to nearest: no wider intermediate precision (the
// x87's would round twice). MSVC on x64 and ARM64 always evaluates so.
#if (defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0) || defined(_M_X64) || defined(_M_ARM64)
constexpr bool exact_arithmetic = std::numeric_limits<double>::is_iec559 && std::numeric_limits<float>::is_iec559 &&
                                  std::numeric_limits<double>::round_style == std::round_to_nearest;
#else
constexpr bool exact_arithmetic = false;
#endif

constexpr std::uint64_t integer_powers_of_ten[] = {1u,
                                                   10u,
                                                   100u,
                                                   1000u,
                                                   10000u,
                                                   100000u,
                                                   1000000u,
                                                   10000000u,
                                                   100000000u,
                                                   1000000000u,
                                                   10000000000u,
                                                   100000000000u,
                                                   1000000000000u,
                                                   10000000000000u,
                                                   100000000000000u,
                                                   1000000000000000u,
                                                   10000000000000000u,
                                                   100000000000000000u,
                                                   1000000000000000000u,
                                                   10000000000000000000u};
constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                          1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr std::uint64_t two_to_53 = std::uint64_t{1} << 53;

// A value with a fraction, `magnitude` being its correctly rounded double.
bool set_fraction_value(Json5Value& v, bool negative, double magnitude) {
    // Below the 24 bits a normal float keeps: exactly a one and zeros is halfway.
    if ((std::bit_cast<std::uint64_t>(magnitude) & 0x1FFFFFFF) == 0x10000000) return false;
    if (!(magnitude >= FLT_MIN && magnitude <= FLT_MAX)) return false;  // where that test would not hold
    v.data.number = {negative ? -magnitude : magnitude, 0};
    v.f32 = static_cast<float>(negative ? -magnitude : magnitude);
    v.flag = false;
    return true;
}

// The value m × 10^e, m being the literal's digits (19 at most, leading zeros
// left out). True when it set v's number; false leaves it to set_decimal_value.
bool set_short_decimal_value(Json5Value& v, bool negative, std::uint64_t m, std::int64_t e) {
    if (m == 0) {
        v.data.number = {negative ? -0.0 : 0.0, 0};
        v.f32 = negative ? -0.0f : 0.0f;
        v.flag = true;
        return true;
    }
    // A last digit other than 0 behind the point: certainly a fraction.
    if (e < 0 && e >= -22 && m <= two_to_53 && m % 10 != 0) {
        return set_fraction_value(v, negative, static_cast<double>(m) / exact_powers_of_ten[-e]);
    }

    // The exact value when it is an integer below 2^64.
    std::uint64_t whole = 0;
    bool integral = false;
    if (e >= 0) {
        if (e <= 19 && m <= UINT64_MAX / integer_powers_of_ten[e]) {
            whole = m * integer_powers_of_ten[e];
            integral = true;
        }
    } else if (e >= -19 && m % integer_powers_of_ten[-e] == 0) {
        whole = m / integer_powers_of_ten[-e];
        integral = true;
    }
    if (integral) {
        if (whole >= two_to_63) return false;  // rare; of these only -2^63 fits, which the full conversion knows
        const std::int64_t i = negative ? -static_cast<std::int64_t>(whole) : static_cast<std::int64_t>(whole);
        v.data.number = {static_cast<double>(i), i};
        v.f32 = static_cast<float>(i);
        v.flag = true;
        return true;
    }

    if (m > two_to_53 || e < -22 || e > 22) return false;
    return set_fraction_value(v, negative,
                              e < 0 ? static_cast<double>(m) / exact_powers_of_ten[-e]
                                    : static_cast<double>(m) * exact_powers_of_ten[e]);
}

bool match_word(const Parser& ps, const Byte* p, const char* word) {
    const std::size_t length = std::strlen(word);
    return static_cast<std::size_t>(ps.end - p) >= length && std::memcmp(p, word, length) == 0;
}

bool scan_number(Parser& ps, const Byte*& p, Json5Value& v) {
    v.kind = Json5Kind::number;
    const Byte* start = p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (p == ps.end) return fail(ps, start, "unexpected end of input in a number");
    if (*p == 'I' || *p == 'N') {
        const bool infinity = *p == 'I';
        if (!match_word(ps, p, infinity ? "Infinity" : "NaN")) return fail(ps, p, "invalid number");
        p += infinity ? 8 : 3;
        // JS has one NaN, whatever the sign written.
        v.data.number = {infinity ? (negative ? -1 : 1) * std::numeric_limits<double>::infinity()
                                  : std::numeric_limits<double>::quiet_NaN(),
                         0};
        v.f32 = infinity ? (negative ? -1 : 1) * std::numeric_limits<float>::infinity()
                         : std::numeric_limits<float>::quiet_NaN();
        return true;
    }
    if (*p == '0' && p + 1 < ps.end && (p[1] | 0x20) == 'x') {
        p += 2;
        const Byte* digits = p;
        while (p < ps.end && hex_value(*p) >= 0) ++p;
        if (p == digits) return fail(ps, start, "invalid number: 0x without hex digits");
        set_hex_value(v, negative, digits, static_cast<std::size_t>(p - digits));
        return true;
    }
    // The digits are gathered into m on the way; it holds the value's digits
    // whenever there are no more than 19 of them after leading zeros.
    DecimalParts n{p, 0, nullptr, 0, 0};
    std::uint64_t m = 0;
    std::size_t significant = 0;
    if (p < ps.end && *p == '0') {
        ++p;
        if (p < ps.end && is_digit(*p)) return fail(ps, start, "invalid number: leading zero");
    } else {
        const Gathered g = gather_digits(p, ps.end, m);
        p = g.end;
        m = g.m;
        significant = static_cast<std::size_t>(p - n.whole);
    }
    n.whole_count = static_cast<std::size_t>(p - n.whole);
    if (p < ps.end && *p == '.') {
        ++p;
        n.fraction = p;
        if (significant == 0) {
            while (p < ps.end && *p == '0') ++p;
        }
        const Byte* counted = p;
        const Gathered g = gather_digits(p, ps.end, m);
        p = g.end;
        m = g.m;
        significant += static_cast<std::size_t>(p - counted);
        n.fraction_count = static_cast<std::size_t>(p - n.fraction);
    }
    if (n.whole_count == 0 && n.fraction_count == 0) return fail(ps, start, "invalid number");
    if (p < ps.end && (*p | 0x20) == 'e') {
        ++p;
        bool exponent_negative = false;
        if (p < ps.end && (*p == '+' || *p == '-')) exponent_negative = *p++ == '-';
        if (p == ps.end || !is_digit(*p)) return fail(ps, start, "invalid number: exponent without digits");
        std::int64_t e = 0;
        for (; p < ps.end && is_digit(*p); ++p) {
            if (e < 1'000'000'000'000'000) e = e * 10 + (*p - '0');
        }
        n.exponent = exponent_negative ? -e : e;
    }
    if (!(exact_arithmetic && significant <= 19 &&
          set_short_decimal_value(v, negative, m, n.exponent - static_cast<std::int64_t>(n.fraction_count)))) {
        set_decimal_value(v, negative, n);
    }
    return true;
}

// ---- the parser -------------------------------------------------------------------------------

bool scan_scalar(Parser& ps, const Byte*& p, Json5Value& v) {
    v = Json5Value{};
    switch (*p) {
        case '"':
        case '\'': {
            v.kind = Json5Kind::string;
            const char* text = nullptr;
            std::size_t length = 0;
            if (!read_text(ps, p, false, false, text, length)) return false;
            v.data.string = {text, length};
            return true;
        }
        case 't':
        case 'f': {
            const bool truth = *p == 't';
            if (!match_word(ps, p, truth ? "true" : "false")) break;
            v.kind = Json5Kind::boolean;
            v.flag = truth;
            p += truth ? 4 : 5;
            return true;
        }
        case 'n':
            if (!match_word(ps, p, "null")) break;
            v.kind = Json5Kind::null_value;
            p += 4;
            return true;
        default:
            if (is_digit(*p) || *p == '+' || *p == '-' || *p == '.' || *p == 'I' || *p == 'N') {
                return scan_number(ps, p, v);
            }
            break;
    }
    return fail(ps, p, "unexpected character: expected a value");
}

// A key and its colon; pushes the member that the value will fill.
bool read_key(Parser& ps, const Byte*& p) {
    const Byte* at = p;
    const char* key = nullptr;
    std::size_t key_length = 0;
    if (!read_text(ps, p, *p != '"' && *p != '\'', true, key, key_length)) return false;
    if (!skip_space(ps, p)) return false;
    if (p == ps.end) return fail(ps, p, "unexpected end of input: expected ':'");
    if (*p != ':') return fail(ps, p, "expected ':' after the key");
    ++p;
    Json5Member* member = push(*ps.allocator, ps.members);
    if (!member) return fail(ps, at, out_of_memory);
    member->key = key;
    member->key_length = key_length;
    return true;
}

// Where the value that starts now goes: the root, the member its key made, or
// a new item of the array; nullptr when there is no memory for that. Values are
// written in place: a copy read right after its fields were written would stall
// the processor on every value.
inline Json5Value* value_place(Parser& ps, Json5Value& root) {
    if (ps.depth == 0) return &root;
    if (ps.frames[ps.depth - 1].is_object) return &ps.members.data[ps.members.count - 1].value;
    return push(*ps.allocator, ps.items);
}

// Turns the entries of the innermost container, whose closing bracket is at
// `at`, into its value.
bool close_container(Parser& ps, const Byte* at, Json5Value& root) {
    const Frame frame = ps.frames[--ps.depth];
    std::size_t& top = frame.is_object ? ps.members.count : ps.items.count;
    const std::size_t count = top - frame.first;
    const std::size_t size = frame.is_object ? sizeof(Json5Member) : sizeof(Json5Value);
    if (count > SIZE_MAX / size) return fail(ps, at, out_of_memory);
    void* storage = nullptr;
    if (count > 0) {
        storage = arena_take(ps.arena, count * size);
        if (!storage) return fail(ps, at, out_of_memory);
        const void* entries = frame.is_object ? static_cast<const void*>(ps.members.data + frame.first)
                                              : static_cast<const void*>(ps.items.data + frame.first);
        std::memcpy(storage, entries, count * size);
    }
    top = frame.first;
    Json5Value* v = value_place(ps, root);
    if (!v) return fail(ps, at + 1, out_of_memory);
    *v = Json5Value{};
    if (frame.is_object) {
        v->kind = Json5Kind::object;
        v->data.object = {static_cast<Json5Member*>(storage), count};
    } else {
        v->kind = Json5Kind::array;
        v->data.array = {static_cast<Json5Value*>(storage), count};
    }
    return true;
}

bool parse_text(Parser& ps, Json5Value& root) {
    const Byte* p = ps.begin;
    if (!skip_space(ps, p)) return false;
    if (p == ps.end) return fail(ps, p, "no value: the text is empty");
    for (;;) {
        // A value starts at p.
        if (p == ps.end) return fail(ps, p, "unexpected end of input: expected a value");
        if (*p == '[' || *p == '{') {
            if (ps.depth == json5_max_depth) return fail(ps, p, "nested too deeply (more than 512 arrays and objects)");
            const bool is_object = *p == '{';
            ps.frames[ps.depth++] = Frame{is_object ? ps.members.count : ps.items.count, is_object};
            ++p;
            if (!skip_space(ps, p)) return false;
            if (p == ps.end) return fail(ps, p, is_object ? "unexpected end of input: missing }" : "unexpected end of input: missing ]");
            if (*p != (is_object ? '}' : ']')) {
                if (is_object && (!read_key(ps, p) || !skip_space(ps, p))) return false;
                continue;
            }
            if (!close_container(ps, p, root)) return false;
            ++p;
        } else if (Json5Value* v = value_place(ps, root)) {
            if (!scan_scalar(ps, p, *v)) return false;
        } else {
            // A fault in the value itself is the error to give; only then the lack of room.
            Json5Value scratch;
            if (!scan_scalar(ps, p, scratch)) return false;
            return fail(ps, p, out_of_memory);
        }
        // Hand finished values up until one container stays open.
        for (;;) {
            if (ps.depth == 0) {
                if (!skip_space(ps, p)) return false;
                if (p != ps.end) return fail(ps, p, "unexpected text after the value");
                return true;
            }
            const bool is_object = ps.frames[ps.depth - 1].is_object;
            const Byte closing = is_object ? '}' : ']';
            if (!skip_space(ps, p)) return false;
            if (p == ps.end) return fail(ps, p, is_object ? "unexpected end of input: missing }" : "unexpected end of input: missing ]");
            if (*p == ',') {
                ++p;
                if (!skip_space(ps, p)) return false;
                if (p == ps.end) return fail(ps, p, is_object ? "unexpected end of input: missing }" : "unexpected end of input: missing ]");
                if (*p != closing) {
                    if (is_object && (!read_key(ps, p) || !skip_space(ps, p))) return false;
                    break;
                }
            } else if (*p != closing) {
                return fail(ps, p, is_object ? "expected ',' or '}'" : "expected ',' or ']'");
            }
            if (!close_container(ps, p, root)) return false;
            ++p;
        }
    }
}

// Line and column of `at`, counting characters as the lexer reads them.
void locate(const Byte* begin, const Byte* end, const Byte* at, Json5Error& error) {
    std::int32_t line = 1, column = 1;
    const Byte* p = begin;
    while (p < at) {
        bool new_line = false;
        if (*p == '\n') {
            ++p;
            new_line = true;
        } else if (*p == '\r') {
            ++p;
            if (p < at && *p == '\n') ++p;
            new_line = true;
        } else {
            const Decoded d = decode_utf8(p, end);
            p += d.length;
            new_line = d.cp == 0x2028 || d.cp == 0x2029;
        }
        if (new_line) {
            if (line < std::numeric_limits<std::int32_t>::max()) ++line;
            column = 1;
        } else if (column < std::numeric_limits<std::int32_t>::max()) {
            ++column;
        }
    }
    error.offset = static_cast<std::size_t>(at - begin);
    error.line = line;
    error.column = column;
}

}  // namespace

// ---- public functions -------------------------------------------------------------------------

bool json5_parse(std::string_view text, const Allocator& alloc, Json5Document& out, Json5Error& error) {
    out = Json5Document{};
    error = Json5Error{0, 1, 1, nullptr};
    Parser ps;
    ps.begin = reinterpret_cast<const Byte*>(text.data());
    ps.end = ps.begin + text.size();
    ps.allocator = &alloc;
    ps.arena = Arena{&alloc, nullptr, nullptr, 0, first_chunk_size};
    ps.members = Stack<Json5Member>{nullptr, 0, 0};
    ps.items = Stack<Json5Value>{nullptr, 0, 0};
    ps.depth = 0;
    ps.error_at = nullptr;
    ps.error_message = nullptr;
    for (SharedKey& k : ps.keys) k = SharedKey{nullptr, 0};

    Json5Value root{};
    const bool ok = parse_text(ps, root);
    free_array(alloc, ps.members.data, ps.members.capacity);
    free_array(alloc, ps.items.data, ps.items.capacity);
    if (!ok) {
        free_chunks(ps.arena.chunks, alloc);
        locate(ps.begin, ps.end, ps.error_at, error);
        error.message = ps.error_message;
        return false;
    }
    out.root = root;
    out.chunks = ps.arena.chunks;
    return true;
}

void json5_free(Json5Document& doc, const Allocator& alloc) {
    free_chunks(doc.chunks, alloc);
    doc = Json5Document{};
}

const Json5Value* json5_find_member(const Json5Value& object, std::string_view key) {
    if (object.kind != Json5Kind::object) return nullptr;
    for (std::size_t i = object.data.object.count; i-- > 0;) {
        const Json5Member& m = object.data.object.data[i];
        if (m.key_length == key.size() && (key.empty() || std::memcmp(m.key, key.data(), key.size()) == 0)) {
            return &m.value;
        }
    }
    return nullptr;
}
