#pragma once

#include "clientfiles/map_cells.h"
#include "operations/copy_settings.h"

namespace kestrel {

// The destination map as a map copy of settings' rectangle will leave it, read
// without writing anything: inside the pasted region the cells of source
// (settings.minX .. maxX, minY .. maxY) moved so that (minX, minY) lands on
// (offX, offY), every altitude shifted by offZ with the 8-bit wrap of
// ShiftAltitude; everywhere else the cells of dest. The region is clipped as
// the copy clips it: at the destination's right and bottom edges. Parts that
// would fall left of or above the destination, or read outside the source's
// geometry, are left out as well. Both maps are borrowed; the settings'
// paths are not used.
class CopyPreviewCells final : public MapCellSource {
public:
    CopyPreviewCells(const MapCellSource& dest, const MapCellSource& source,
                     const CopySettings& settings);

    MapGeometry Geometry() const override { return dest.Geometry(); }
    void ReadRow(int x, int y, int count, MapCell* cells) const override;

    // The destination cells the copy writes, empty when it writes none.
    int FirstColumn() const { return firstX; }
    int LastColumn() const { return lastX; }
    int FirstRow() const { return firstY; }
    int LastRow() const { return lastY; }

private:
    const MapCellSource& dest;
    const MapCellSource& source;
    int shiftX = 0;  // source column minus destination column
    int shiftY = 0;
    int offZ = 0;
    int firstX = 0;
    int lastX = -1;
    int firstY = 0;
    int lastY = -1;
};

}  // namespace kestrel
