#include "engine/Collation.h"

#include <array>

namespace mendora {
namespace {

constexpr uint32_t kSortIdShift = 24;
constexpr uint32_t kGenerationShift = 17;
constexpr uint32_t kGenerationMask = 0x7F;
constexpr uint32_t kBin = 1u << 16;
constexpr uint32_t kCaseInsensitive = 0x1000;
constexpr uint32_t kAccentInsensitive = 0x2000;
constexpr uint32_t kKanaInsensitive = 0x4000;
constexpr uint32_t kWidthInsensitive = 0x8000;
constexpr uint32_t kBin2 = 1u << 11;
constexpr uint32_t kSupplementary = 1u << 8;
constexpr uint32_t kUtf8 = 1u << 7;
constexpr uint32_t kFamilyMask = 0x7F;

struct Family {
  uint8_t id;
  uint16_t codePage;
  const char* name;  // nullptr where the family's name is not one we can tell
};

// The Windows collation families whose code page the files show. Families
// of languages without a code page of their own are not listed: their 8-bit
// columns hold only what the server could store, read as 1252.
constexpr Family kFamilies[] = {
    {1, 1256, "Arabic"},
    {2, 1256, "Dari"},
    {3, 950, "Chinese_Taiwan_Stroke"},
    {4, 1250, "Czech"},
    {6, 1251, "Yakut"},
    {7, 1253, "Greek"},
    {8, 1252, "Latin1_General"},
    {12, 1255, "Hebrew"},
    {13, 1250, "Hungarian"},
    {16, 932, "Japanese"},
    {17, 949, "Korean_Wansung"},
    {19, 1250, "Polish"},
    {20, 1250, "Romanian"},
    {21, 1251, "Cyrillic_General"},
    {22, 1250, "Croatian"},
    {23, 1250, "Slovak"},
    {24, 1250, "Albanian"},
    {25, 874, "Thai"},
    {26, 1254, "Turkish"},
    {27, 1251, "Ukrainian"},
    {28, 1250, "Slovenian"},
    {29, 1257, "Estonian"},
    {30, 1257, "Latvian"},
    {31, 1257, "Lithuanian"},
    {32, 1258, "Vietnamese"},
    {36, 936, "Chinese_PRC"},
    {37, 1256, "Uighur"},
    {43, 932, "Japanese_Unicode"},
    {46, 936, "Chinese_PRC_Stroke"},
    {47, 950, "Chinese_Taiwan_Bopomofo"},
    {48, 932, "Japanese_90"},
    {49, 936, "Chinese_PRC_90"},
    {50, 936, "Chinese_PRC_Stroke_90"},
    {51, 950, "Chinese_Taiwan_Stroke_90"},
    {52, 950, "Chinese_Taiwan_Bopomofo_90"},
    {55, 1251, "Kazakh"},
    {56, 1254, "Uzbek_Latin"},
    {57, 1251, "Tatar"},
    {58, 1251, "Macedonian_FYROM"},
    {62, 950, "Chinese_Hong_Kong_Stroke_90"},
    {64, 949, "Korean"},
    {65, 950, nullptr},
    {66, 950, nullptr},
    {67, 936, nullptr},
    {68, 936, nullptr},
    {69, 950, nullptr},
    {70, 950, nullptr},
    {72, 932, "Japanese_XJIS"},
    {73, 932, "Japanese_Bushu_Kakusu"},
    {76, 1250, "Serbian_Latin"},
    {77, 1251, "Serbian_Cyrillic"},
    {78, 1250, "Bosnian_Latin"},
    {80, 1256, "Urdu"},
    {81, 1256, "Persian"},
    {84, 1251, "Bashkir"},
    {88, 1250, "Turkmen"},
    {99, 1254, "Azeri_Latin"},
    {100, 1251, "Azeri_Cyrillic"},
};

const Family* FindFamily(uint32_t id) {
  for (const auto& f : kFamilies) {
    if (f.id == id) return &f;
  }
  return nullptr;
}

struct SortRange {
  uint8_t first;
  uint8_t last;
  uint16_t codePage;
};

constexpr SortRange kSortCodePages[] = {
    {30, 35, 437},    {40, 45, 850},    {49, 49, 850},    {55, 61, 850},    {50, 54, 1252},
    {71, 75, 1252},   {183, 186, 1252}, {210, 217, 1252}, {80, 98, 1250},   {104, 108, 1251},
    {112, 124, 1253}, {128, 130, 1254}, {136, 138, 1255}, {144, 146, 1256}, {152, 160, 1257},
    {192, 193, 932},  {200, 200, 932},  {194, 195, 949},  {201, 201, 949},  {196, 197, 950},
    {202, 202, 950},  {198, 199, 936},  {203, 203, 936},  {204, 206, 874},
};

struct SortName {
  uint8_t id;
  const char* name;
};

constexpr SortName kSortNames[] = {
    {30, "SQL_Latin1_General_CP437_BIN"},
    {31, "SQL_Latin1_General_CP437_CS_AS"},
    {32, "SQL_Latin1_General_CP437_CI_AS"},
    {33, "SQL_Latin1_General_Pref_CP437_CI_AS"},
    {34, "SQL_Latin1_General_CP437_CI_AI"},
    {35, "SQL_Latin1_General_CP437_BIN2"},
    {40, "SQL_Latin1_General_CP850_BIN"},
    {41, "SQL_Latin1_General_CP850_CS_AS"},
    {42, "SQL_Latin1_General_CP850_CI_AS"},
    {43, "SQL_Latin1_General_Pref_CP850_CI_AS"},
    {44, "SQL_Latin1_General_CP850_CI_AI"},
    {45, "SQL_Latin1_General_CP850_BIN2"},
    {49, "SQL_1xCompat_CP850_CI_AS"},
    {51, "SQL_Latin1_General_CP1_CS_AS"},
    {52, "SQL_Latin1_General_CP1_CI_AS"},
    {53, "SQL_Latin1_General_Pref_CP1_CI_AS"},
    {54, "SQL_Latin1_General_CP1_CI_AI"},
    {55, "SQL_AltDiction_CP850_CS_AS"},
    {56, "SQL_AltDiction_Pref_CP850_CI_AS"},
    {57, "SQL_AltDiction_CP850_CI_AI"},
    {58, "SQL_Scandinavian_Pref_CP850_CI_AS"},
    {59, "SQL_Scandinavian_CP850_CS_AS"},
    {60, "SQL_Scandinavian_CP850_CI_AS"},
    {61, "SQL_AltDiction_CP850_CI_AS"},
    {81, "SQL_Latin1_General_CP1250_CS_AS"},
    {82, "SQL_Latin1_General_CP1250_CI_AS"},
    {83, "SQL_Czech_CP1250_CS_AS"},
    {84, "SQL_Czech_CP1250_CI_AS"},
    {85, "SQL_Hungarian_CP1250_CS_AS"},
    {86, "SQL_Hungarian_CP1250_CI_AS"},
    {87, "SQL_Polish_CP1250_CS_AS"},
    {88, "SQL_Polish_CP1250_CI_AS"},
    {89, "SQL_Romanian_CP1250_CS_AS"},
    {90, "SQL_Romanian_CP1250_CI_AS"},
    {91, "SQL_Croatian_CP1250_CS_AS"},
    {92, "SQL_Croatian_CP1250_CI_AS"},
    {93, "SQL_Slovak_CP1250_CS_AS"},
    {94, "SQL_Slovak_CP1250_CI_AS"},
    {95, "SQL_Slovenian_CP1250_CS_AS"},
    {96, "SQL_Slovenian_CP1250_CI_AS"},
    {105, "SQL_Latin1_General_CP1251_CS_AS"},
    {106, "SQL_Latin1_General_CP1251_CI_AS"},
    {107, "SQL_Ukrainian_CP1251_CS_AS"},
    {108, "SQL_Ukrainian_CP1251_CI_AS"},
    {113, "SQL_Latin1_General_CP1253_CS_AS"},
    {114, "SQL_Latin1_General_CP1253_CI_AS"},
    {120, "SQL_MixDiction_CP1253_CS_AS"},
    {121, "SQL_AltDiction_CP1253_CS_AS"},
    {122, "SQL_AltDiction2_CP1253_CS_AS"},
    {124, "SQL_Latin1_General_CP1253_CI_AI"},
    {129, "SQL_Latin1_General_CP1254_CS_AS"},
    {130, "SQL_Latin1_General_CP1254_CI_AS"},
    {137, "SQL_Latin1_General_CP1255_CS_AS"},
    {138, "SQL_Latin1_General_CP1255_CI_AS"},
    {145, "SQL_Latin1_General_CP1256_CS_AS"},
    {146, "SQL_Latin1_General_CP1256_CI_AS"},
    {153, "SQL_Latin1_General_CP1257_CS_AS"},
    {154, "SQL_Latin1_General_CP1257_CI_AS"},
    {155, "SQL_Estonian_CP1257_CS_AS"},
    {156, "SQL_Estonian_CP1257_CI_AS"},
    {157, "SQL_Latvian_CP1257_CS_AS"},
    {158, "SQL_Latvian_CP1257_CI_AS"},
    {159, "SQL_Lithuanian_CP1257_CS_AS"},
    {160, "SQL_Lithuanian_CP1257_CI_AS"},
    {183, "SQL_Danish_Pref_CP1_CI_AS"},
    {184, "SQL_SwedishPhone_Pref_CP1_CI_AS"},
    {185, "SQL_SwedishStd_Pref_CP1_CI_AS"},
    {186, "SQL_Icelandic_Pref_CP1_CI_AS"},
    {210, "SQL_EBCDIC037_CP1_CS_AS"},
    {211, "SQL_EBCDIC273_CP1_CS_AS"},
    {212, "SQL_EBCDIC277_CP1_CS_AS"},
    {213, "SQL_EBCDIC278_CP1_CS_AS"},
    {214, "SQL_EBCDIC280_CP1_CS_AS"},
    {215, "SQL_EBCDIC284_CP1_CS_AS"},
    {216, "SQL_EBCDIC285_CP1_CS_AS"},
    {217, "SQL_EBCDIC297_CP1_CS_AS"},
};

// A Windows family that stands for a code page where the collation's own
// family cannot be named.
const char* FamilyOfCodePage(uint16_t codePage) {
  switch (codePage) {
    case 874:
      return "Thai";
    case 932:
      return "Japanese";
    case 936:
      return "Chinese_PRC";
    case 949:
      return "Korean_Wansung";
    case 950:
      return "Chinese_Taiwan_Stroke";
    case 1250:
      return "Czech";
    case 1251:
      return "Cyrillic_General";
    case 1253:
      return "Greek";
    case 1254:
      return "Turkish";
    case 1255:
      return "Hebrew";
    case 1256:
      return "Arabic";
    case 1257:
      return "Estonian";
    case 1258:
      return "Vietnamese";
    default:
      return "Latin1_General";
  }
}

bool EndsWith90(const std::string& s) {
  return s.size() > 3 && s.compare(s.size() - 3, 3, "_90") == 0;
}

}  // namespace

CollationInfo DescribeCollation(uint32_t collationId) {
  const uint32_t sortId = collationId >> kSortIdShift;
  if (sortId != 0) {
    for (const auto& r : kSortCodePages) {
      if (sortId >= r.first && sortId <= r.last) return {r.codePage, true};
    }
    return {kCodePageWestern, false};
  }
  if (collationId & kUtf8) return {kCodePageUtf8, true};
  if (const Family* f = FindFamily(collationId & kFamilyMask)) return {f->codePage, true};
  return {kCodePageWestern, false};
}

std::string CollationName(uint32_t collationId) {
  if (collationId == 0) return {};
  const uint32_t sortId = collationId >> kSortIdShift;
  const CollationInfo info = DescribeCollation(collationId);
  if (sortId != 0) {
    for (const auto& s : kSortNames) {
      if (s.id == sortId) return s.name;
    }
    // No SQL_ name a server accepts: the binary Windows collation of the
    // same code page keeps the text.
    return std::string(FamilyOfCodePage(info.codePage)) + "_BIN";
  }
  const Family* family = FindFamily(collationId & kFamilyMask);
  std::string name =
      family && family->name ? family->name : FamilyOfCodePage(family ? family->codePage : 1252);
  static constexpr std::array<const char*, 5> kGenerations = {"", "_90", "_100", "_140", "_160"};
  const uint32_t generation = (collationId >> kGenerationShift) & kGenerationMask;
  if (generation < kGenerations.size() && !(generation == 1 && EndsWith90(name))) {
    name += kGenerations[generation];
  }
  if (collationId & kBin) {
    name += "_BIN";
  } else if (collationId & kBin2) {
    name += "_BIN2";
  } else {
    name += (collationId & kCaseInsensitive) ? "_CI" : "_CS";
    name += (collationId & kAccentInsensitive) ? "_AI" : "_AS";
    if (!(collationId & kKanaInsensitive)) name += "_KS";
    if (!(collationId & kWidthInsensitive)) name += "_WS";
  }
  if (collationId & kSupplementary) name += "_SC";
  if (collationId & kUtf8) name += "_UTF8";
  return name;
}

}  // namespace mendora
