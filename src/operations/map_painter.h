#pragma once

// Draws a map: each cell in the colour of the topmost static item standing on
// it, or of its land, shaded by the slope of the ground.

#include <cstddef>

#include "clientfiles/map_cells.h"
#include "clientfiles/static_blocks.h"
#include "operations/map_colors.h"
#include "operations/map_image.h"

namespace kestrel {

// A rectangle of cells: columns x .. x + width - 1, rows y .. y + height - 1.
struct CellRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool IsEmpty() const { return width <= 0 || height <= 0; }
    friend constexpr bool operator==(const CellRect&, const CellRect&) = default;
};

// The whole map of geometry as a rectangle.
inline CellRect WholeMap(MapGeometry geometry) {
    return {0, 0, geometry.width, geometry.height};
}

class MapPainter {
public:
    // Draws the cells of cells, with the statics of statics over them when
    // statics is not null, in the colours of colors. All three are borrowed
    // and must outlive the painter.
    MapPainter(const MapCellSource& cells, const StaticBlockSource* statics,
               const MapColors& colors)
        : cells(cells), statics(statics), colors(colors) {}

    MapGeometry Geometry() const { return cells.Geometry(); }

    // Colours the cells of rect, which must lie inside the map, one pixel per
    // cell: pixel (i, j) of out (rows apart by stride) is cell (rect.x + i,
    // rect.y + j). A cell shows the item colour of the static of highest z
    // among those of its cell whose z is at or above the land's altitude (of
    // equal z, the one stored last), else the land colour of its tile and
    // altitude; statics whose x or y within their block exceed 7 stand in
    // another cell and are not drawn. The colour is then shaded by the land's
    // altitude minus that of the cell below it (the next row; none for the
    // map's last row), see MapColors::Shade. Reads each block's statics once.
    void PaintCells(CellRect rect, Argb* out, std::ptrdiff_t stride) const;

    // rect drawn into a width x height image at cellsPerPixel cells per pixel
    // along each axis, pixel (0, 0) starting at rect's corner: each pixel
    // summarises its cells as ResampleImage does, so a road or river one cell
    // wide stays visible; pixels past rect are background. Works through
    // strips of rows, so memory stays near the size of the image unless
    // cellsPerPixel is large. rect must lie inside the map; throws
    // std::bad_alloc when the image does not fit in memory.
    MapImage Paint(CellRect rect, double cellsPerPixel, int width, int height,
                   Argb background = 0xFF000000u) const;

private:
    const MapCellSource& cells;
    const StaticBlockSource* statics;
    const MapColors& colors;
};

}  // namespace kestrel
