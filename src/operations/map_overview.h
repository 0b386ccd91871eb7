#pragma once

// A whole map drawn once, for views that pan and zoom over it: the colour of
// every cell, and above it levels that each summarise 2 x 2 pixels of the one
// below, so that a view at any zoom is filled from a level of about its own
// scale.

#include <cstddef>
#include <vector>

#include "operations/map_image.h"
#include "operations/map_painter.h"

namespace kestrel {

class MapOverview {
public:
    // Paints every cell of painter's map (level 0) and builds the levels above
    // it, up to a level of a single pixel. Level k + 1 pixel (i, j) summarises
    // the pixels (2i .. 2i + 1, 2j .. 2j + 1) of level k that exist, as
    // SummarisePixels does. Uses up to two threads. Takes about 4 / 3 x 4
    // bytes per cell; throws std::bad_alloc when that does not fit.
    explicit MapOverview(const MapPainter& painter);

    MapGeometry Geometry() const { return geometry; }

    // Levels 0 .. LevelCount() - 1; level k has 2^k x 2^k cells per pixel and
    // ceil(width / 2^k) x ceil(height / 2^k) pixels.
    int LevelCount() const { return static_cast<int>(levels.size()); }
    ImageView Level(int level) const { return levels[static_cast<std::size_t>(level)].View(); }

    // The drawn colour of cell (x, y), inside the map.
    Argb CellColor(int x, int y) const { return levels.front().At(x, y); }

    // Paints the cells of rect again from painter (for a map whose cells in
    // rect changed, e.g. a copy being previewed at new offsets), with the row
    // above rect whose shading depends on them, and rebuilds the levels above
    // them. rect is clipped to the map. painter must draw a map of the same
    // geometry.
    void Repaint(const MapPainter& painter, CellRect rect);

    // Fills a view of width x height pixels at out (rows apart by stride), its
    // pixel (0, 0) starting at cell (originX, originY) and each pixel
    // cellsPerPixel cells wide and high (below 1 when zoomed in). Draws from
    // the level k with 2^k <= cellsPerPixel < 2^(k+1) (level 0 when zoomed
    // in; the top level past that), each pixel summarising the level's pixels
    // it covers as ResampleImage does; pixels off the map are background.
    // cellsPerPixel must be positive.
    void Fetch(double originX, double originY, double cellsPerPixel, int width, int height,
               Argb* out, std::ptrdiff_t stride, Argb background = 0xFF000000u) const;

private:
    void Summarise(int level, CellRect rect);

    MapGeometry geometry;
    std::vector<MapImage> levels;
};

}  // namespace kestrel
