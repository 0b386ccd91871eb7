#pragma once

// The colours a drawn map gives its cells: the radar colours of the client's
// radarcol.mul, or, without one, a built-in palette that still reads as a map.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "clientfiles/radar_colors.h"

namespace kestrel {

// Altitude differences past this many units shade no further.
inline constexpr int kMaxShadeStep = 8;

// Classes of land the built-in palette tells apart.
enum class LandClass : std::uint8_t { Unknown, Void, Water, Shore, Grass, Forest, Dirt, Rock, Snow };

// The class of a land tile number by the usual land art of the game: water
// 0x00A8-0x00AB and 0x0136-0x0137, sand 0x0016-0x003E, grass 0x0003-0x0015,
// forest and jungle 0x00AC-0x00DB except water, rock 0x00DC-0x00E7 and
// 0x021F-0x0243, dirt 0x0071-0x0078, snow 0x011A-0x012D, void 0x0001-0x0002
// and 0x0244. Anything else is Unknown.
LandClass ClassifyLandTile(std::uint16_t tileId);

class MapColors {
public:
    // The built-in palette. Land is coloured by its class; unknown land by its
    // altitude (below -2 water, up to 1 shore, up to 35 grass, up to 60
    // forest, up to 90 rock, above that snow). Items are dark green for trees
    // and plants (graphics 0x0C84-0x0DA8), grey for rocks (0x1363-0x1371), a
    // brownish grey for everything else.
    MapColors();

    // The colours of radarcol.mul: land tile id has entry id whatever its
    // altitude, item graphic id entry 0x4000 + id.
    explicit MapColors(const RadarColors& radar);

    bool FromRadarColors() const { return fromRadar; }

    Argb Land(std::uint16_t tileId, std::int8_t altitude) const {
        if (fromRadar) {
            return landByTile[tileId];
        }
        return builtinLand[static_cast<std::size_t>(landClass[tileId]) * 256u +
                           static_cast<std::uint8_t>(altitude)];
    }
    Argb Item(std::uint16_t itemId) const { return itemByGraphic[itemId]; }

    // color drawn on ground step altitude units higher than the cell below it:
    // unchanged for 0; for a step s > 0 each channel c moves toward 255 by
    // (255 - c) * min(s, 8) * 3 / 64, for s < 0 toward 0 by c * min(-s, 8) *
    // 3 / 64 (rounded down), so steeper ground is lighter or darker up to 8
    // units of difference.
    Argb Shade(Argb color, int step) const {
        if (step == 0) {
            return color;
        }
        const auto& table = shadeTable[static_cast<std::size_t>(
            (step < -kMaxShadeStep ? -kMaxShadeStep : step > kMaxShadeStep ? kMaxShadeStep : step) +
            kMaxShadeStep)];
        return (color & 0xFF000000u) | (Argb{table[(color >> 16) & 0xFFu]} << 16) |
               (Argb{table[(color >> 8) & 0xFFu]} << 8) | table[color & 0xFFu];
    }

private:
    bool fromRadar = false;
    std::vector<Argb> landByTile;          // radar colours, 65536 entries
    std::vector<LandClass> landClass;      // built-in palette, 65536 entries
    std::vector<Argb> builtinLand;         // class x altitude (as u8), built-in palette
    std::vector<Argb> itemByGraphic;       // 65536 entries
    std::array<std::array<std::uint8_t, 256>, 2 * kMaxShadeStep + 1> shadeTable{};
};

// The colours a drawing of a map takes, and where they come from.
struct MapColorsFound {
    MapColors colors;
    std::string from;  // the radarcol.mul read, or "the built-in palette"
};

// The colours of the radarcol.mul beside the map at mapPath (see
// FindRadarColorsBeside), else the built-in palette. Throws FileException
// naming that radarcol.mul when it cannot be read.
MapColorsFound ColorsForMap(const std::filesystem::path& mapPath);

}  // namespace kestrel
