#include "operations/copy_preview_cells.h"

#include <algorithm>

#include "operations/map_region_copy.h"

namespace kestrel {

CopyPreviewCells::CopyPreviewCells(const MapCellSource& dest, const MapCellSource& source,
                                   const CopySettings& settings)
    : dest(dest), source(source), offZ(settings.offZ) {
    const MapGeometry to = dest.Geometry();
    const MapGeometry from = source.Geometry();
    // Computed in 64 bits: the settings may hold any int.
    const std::int64_t shiftX64 = std::int64_t{settings.minX} - settings.offX;
    const std::int64_t shiftY64 = std::int64_t{settings.minY} - settings.offY;
    // Source columns the copy reads (clipped at the destination's right edge,
    // as the copy clips), then also kept inside both maps.
    std::int64_t first = std::max<std::int64_t>({settings.minX, 0, shiftX64});
    std::int64_t last = std::min<std::int64_t>(
        {settings.maxX, std::int64_t{settings.minX} + (to.width - 1 - std::int64_t{settings.offX}),
         from.width - 1});
    std::int64_t firstRow = std::max<std::int64_t>({settings.minY, 0, shiftY64});
    std::int64_t lastRow = std::min<std::int64_t>(
        {settings.maxY,
         std::int64_t{settings.minY} + (to.height - 1 - std::int64_t{settings.offY}),
         from.height - 1});
    if (first <= last && firstRow <= lastRow) {
        shiftX = static_cast<int>(shiftX64);
        shiftY = static_cast<int>(shiftY64);
        firstX = static_cast<int>(first - shiftX64);
        lastX = static_cast<int>(last - shiftX64);
        firstY = static_cast<int>(firstRow - shiftY64);
        lastY = static_cast<int>(lastRow - shiftY64);
    }
}

void CopyPreviewCells::ReadRow(int x, int y, int count, MapCell* cells) const {
    dest.ReadRow(x, y, count, cells);
    if (y < firstY || y > lastY) {
        return;
    }
    const int from = std::max(x, firstX);
    const int to = std::min(x + count - 1, lastX);
    if (from > to) {
        return;
    }
    MapCell* pasted = cells + (from - x);
    source.ReadRow(from + shiftX, y + shiftY, to - from + 1, pasted);
    for (int at = 0; at <= to - from; ++at) {
        pasted[at].altitude = ShiftAltitude(pasted[at].altitude, offZ);
    }
}

}  // namespace kestrel
