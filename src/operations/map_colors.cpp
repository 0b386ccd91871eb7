#include "operations/map_colors.h"

#include <algorithm>
#include <optional>

#include "clientfiles/file_bytes.h"

namespace kestrel {

namespace {

constexpr std::size_t kGraphicCount = 65536;
constexpr std::size_t kLandClassCount = static_cast<std::size_t>(LandClass::Snow) + 1;

struct TileRange {
    std::uint16_t first;
    std::uint16_t last;
    LandClass landClass;
};

// Later ranges win where they overlap, so water inside the forest run stays
// water.
constexpr TileRange kLandRanges[] = {
    {0x0003, 0x0015, LandClass::Grass}, {0x0016, 0x003E, LandClass::Shore},
    {0x0071, 0x0078, LandClass::Dirt},  {0x00AC, 0x00DB, LandClass::Forest},
    {0x00A8, 0x00AB, LandClass::Water}, {0x0136, 0x0137, LandClass::Water},
    {0x00DC, 0x00E7, LandClass::Rock},  {0x021F, 0x0243, LandClass::Rock},
    {0x011A, 0x012D, LandClass::Snow},  {0x0001, 0x0002, LandClass::Void},
    {0x0244, 0x0244, LandClass::Void},
};

constexpr Argb kWater = 0xFF1F4E8Cu;
constexpr Argb kShore = 0xFFD6C690u;
constexpr Argb kGrass = 0xFF4E8C36u;
constexpr Argb kForest = 0xFF2F5E27u;
constexpr Argb kDirt = 0xFF8C6D47u;
constexpr Argb kRock = 0xFF7D766Eu;
constexpr Argb kSnow = 0xFFEEF1F5u;
constexpr Argb kVoid = 0xFF000000u;
constexpr Argb kPlant = 0xFF24502Au;
constexpr Argb kStone = 0xFF9A9A96u;
constexpr Argb kStructure = 0xFF8A7A66u;

Argb ByAltitude(int altitude) {
    if (altitude < -2) {
        return kWater;
    }
    if (altitude <= 1) {
        return kShore;
    }
    if (altitude <= 35) {
        return kGrass;
    }
    if (altitude <= 60) {
        return kForest;
    }
    if (altitude <= 90) {
        return kRock;
    }
    return kSnow;
}

Argb ClassColor(LandClass landClass, int altitude) {
    switch (landClass) {
        case LandClass::Void:
            return kVoid;
        case LandClass::Water:
            return kWater;
        case LandClass::Shore:
            return kShore;
        case LandClass::Grass:
            return kGrass;
        case LandClass::Forest:
            return kForest;
        case LandClass::Dirt:
            return kDirt;
        case LandClass::Rock:
            return kRock;
        case LandClass::Snow:
            return kSnow;
        case LandClass::Unknown:
            break;
    }
    return ByAltitude(altitude);
}

}  // namespace

LandClass ClassifyLandTile(std::uint16_t tileId) {
    LandClass found = LandClass::Unknown;
    for (const TileRange& range : kLandRanges) {
        if (tileId >= range.first && tileId <= range.last) {
            found = range.landClass;
        }
    }
    return found;
}

MapColors::MapColors() : landClass(kGraphicCount), builtinLand(kLandClassCount * 256),
                          itemByGraphic(kGraphicCount) {
    for (std::size_t tile = 0; tile < kGraphicCount; ++tile) {
        landClass[tile] = ClassifyLandTile(static_cast<std::uint16_t>(tile));
    }
    for (std::size_t classIndex = 0; classIndex < kLandClassCount; ++classIndex) {
        for (int altitudeByte = 0; altitudeByte < 256; ++altitudeByte) {
            const int altitude = static_cast<std::int8_t>(static_cast<std::uint8_t>(altitudeByte));
            builtinLand[classIndex * 256 + static_cast<std::size_t>(altitudeByte)] =
                ClassColor(static_cast<LandClass>(classIndex), altitude);
        }
    }
    for (std::size_t item = 0; item < kGraphicCount; ++item) {
        Argb color = kStructure;
        if (item >= 0x0C84 && item <= 0x0DA8) {
            color = kPlant;
        } else if (item >= 0x1363 && item <= 0x1371) {
            color = kStone;
        }
        itemByGraphic[item] = color;
    }
    for (int step = -kMaxShadeStep; step <= kMaxShadeStep; ++step) {
        auto& table = shadeTable[static_cast<std::size_t>(step + kMaxShadeStep)];
        for (int c = 0; c < 256; ++c) {
            const int shaded = step >= 0 ? c + (255 - c) * step * 3 / 64 : c - c * -step * 3 / 64;
            table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(shaded);
        }
    }
}

MapColors::MapColors(const RadarColors& radar) : MapColors() {
    fromRadar = true;
    landByTile.resize(kGraphicCount);
    for (std::size_t tile = 0; tile < kGraphicCount; ++tile) {
        landByTile[tile] = radar.Land(static_cast<std::uint16_t>(tile));
        itemByGraphic[tile] = radar.Item(static_cast<std::uint16_t>(tile));
    }
}

MapColorsFound ColorsForMap(const std::filesystem::path& mapPath) {
    if (const std::optional<std::filesystem::path> beside = FindRadarColorsBeside(mapPath)) {
        return {MapColors(RadarColors(ReadFileBytes(beside->string()))), beside->string()};
    }
    return {MapColors(), "the built-in palette"};
}

}  // namespace kestrel
