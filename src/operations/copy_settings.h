#pragma once

#include <optional>
#include <string>

#include "clientfiles/map_geometry.h"

namespace kestrel {

// The serial of the first section of an items script unless another is asked for.
inline constexpr int kDefaultFirstSerial = 0x40000000;

// What both operations work from: five paths, the source rectangle (both ends
// included) and the destination corner and altitude shift. Columns are cell
// columns 0..6143, rows cell rows 0..4095. Fields are in exchange order.
struct CopySettings {
    std::string sourceMapPath = "e:\\ultimaonline\\map0.mul";
    std::string staticsIndexPath = "e:\\ultimaonline\\staidx0.mul";
    std::string staticsDataPath = "e:\\ultimaonline\\statics0.mul";
    std::string destMapPath = "e:\\ultimaonline\\map0.mul";
    int maxX = 10;  // rightmost source column
    int minX = 0;   // leftmost source column
    int offX = 0;   // destination column of minX
    int maxY = 10;  // bottom source row
    int minY = 0;   // top source row
    int offY = 0;   // destination row of minY
    int offZ = 0;   // altitude shift, -256..256
    std::string itemsPath = "items.wsc";
    // Serial of the first section of the items script; the ones after it
    // count up. Not one of the dialog's fields, so not exchanged with it.
    int firstSerial = kDefaultFirstSerial;
    // The sizes of the source map (and its statics) and of the destination
    // map, instead of the sizes told from the files. Not dialog fields.
    std::optional<MapGeometry> sourceSize;
    std::optional<MapGeometry> destSize;
};

// Where a source cell or item lands: both operations place the rectangle by
// this rule (minX, minY) -> (offX, offY), computed in signed 32-bit integers.
inline int DestinationColumn(const CopySettings& settings, int x) {
    return settings.offX + (x - settings.minX);
}
inline int DestinationRow(const CopySettings& settings, int y) {
    return settings.offY + (y - settings.minY);
}

}  // namespace kestrel
