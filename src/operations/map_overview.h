#pragma once

// A whole map drawn for views that pan and zoom over it: levels that each
// summarise 2 x 2 pixels of the one below, from level 1 (2 x 2 cells a pixel)
// up to a single pixel, so that a view at any zoom is filled from a level of
// about its own scale. Level 0, a pixel a cell, is the largest by far (4 bytes
// a cell) and is only looked at zoomed in, where a view shows few cells: it
// is not kept whole but painted for the part a view shows.

#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

#include "operations/map_image.h"
#include "operations/map_painter.h"

namespace kestrel {

class MapOverview {
public:
    // Paints every cell of painter's map and builds levels 1 and up from
    // them, up to a level of a single pixel. Level k + 1 pixel (i, j)
    // summarises the pixels (2i .. 2i + 1, 2j .. 2j + 1) of level k that
    // exist, as ResampleImage does at scale 2. Uses up to two threads. Keeps a
    // copy of painter for drawing level 0 later: the cells, statics and
    // colours it draws must outlive the overview, or last until the next
    // Repaint. Takes about 4 / 3 bytes per cell; throws std::bad_alloc when
    // that does not fit.
    explicit MapOverview(const MapPainter& painter);

    MapGeometry Geometry() const { return geometry; }

    // Levels 0 .. LevelCount() - 1; level k has 2^k x 2^k cells per pixel and
    // ceil(width / 2^k) x ceil(height / 2^k) pixels.
    int LevelCount() const { return static_cast<int>(levels.size()); }
    // Level 1 .. LevelCount() - 1 (level 0 is not kept).
    ImageView Level(int level) const { return levels[static_cast<std::size_t>(level)].View(); }

    // The drawn colour of cell (x, y), inside the map.
    Argb CellColor(int x, int y) const;

    // Paints the cells of rect again from painter (for a map whose cells in
    // rect changed, e.g. a copy being previewed at new offsets), with the row
    // above rect whose shading depends on them, rebuilds the levels above
    // them and keeps painter in place of the one before. rect is clipped to
    // the map. painter must draw a map of the same geometry.
    void Repaint(const MapPainter& painter, CellRect rect);

    // Paints level 0 whole (4 bytes a cell) and keeps it, so that views
    // zoomed in draw from it from then on instead of painting the cells they
    // show. Meant for a background thread once the overview is shown, for a
    // map whose views should stay smooth at every zoom; Fetch may run
    // meanwhile, Repaint must not (the painter must not change). Uses up to
    // two threads; throws std::bad_alloc when level 0 does not fit.
    void KeepAllCells() const;

    // Fills a view of width x height pixels at out (rows apart by stride), its
    // pixel (0, 0) starting at cell (originX, originY) and each pixel
    // cellsPerPixel cells wide and high (below 1 when zoomed in). Draws from
    // the level whose pixels are nearest the view's in size: level k for
    // 0.75 x 2^k <= cellsPerPixel < 1.5 x 2^k (level 0 below 1.5, the top
    // level past it), each view pixel summarising the level's pixels it covers
    // as ResampleImage does. A level pixel is thus drawn at least two thirds
    // of a view pixel wide, so nothing a level shows is lost, and a view never
    // summarises windows of more than 2 x 2 level pixels, which keeps a repaint
    // quick at every zoom. Pixels off the map are background.
    // Level 0 is painted for the cells the view covers, with a margin around
    // them so that a view panned a little or zoomed in further draws from the
    // cells already painted. Uses up to two threads; safe to call from one
    // thread at a time per overview. cellsPerPixel must be positive.
    void Fetch(double originX, double originY, double cellsPerPixel, int width, int height,
               Argb* out, std::ptrdiff_t stride, Argb background = 0xFF000000u) const;

private:
    void HalveCells(CellRect rect);
    // Summarises rect of level from below, the level under it.
    void Summarise(ImageView below, int level, CellRect rect);

    MapGeometry geometry;
    std::optional<MapPainter> painter;
    std::vector<MapImage> levels;  // levels[0] is left empty

    // Level 0 as last painted for a view: the cells of paintedCells (the
    // whole map once KeepAllCells is done).
    mutable std::mutex paintedMutex;
    mutable CellRect paintedCells;
    mutable MapImage painted;
};

}  // namespace kestrel
