#include "operations/map_overview.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "operations/split_rows.h"

namespace kestrel {

namespace {

int Shrink(int size) {
    return (size + 1) / 2;
}

// Level 1 is built through bands of this many of its rows: the cells under a
// band (twice as many rows, and the context around) are painted into a
// buffer small enough to stay in the processor's cache, halved and dropped.
constexpr int kBandRows = 32;

// The cells (and their pixels) that a level 0 view painted with this much
// room on each side, as a share of what it shows, can pan over or zoom into.
constexpr double kPaintedMargin = 0.15;

// A view takes the next level up once its pixels are this share of that
// level's pixels.
constexpr double kNearestLevel = 0.75;

bool Contains(CellRect outer, CellRect inner) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

// The cells that windows span (the empty ones left out), as [start, end).
SampleWindow Span(const std::vector<SampleWindow>& windows) {
    SampleWindow span{0, 0};
    bool any = false;
    for (const SampleWindow window : windows) {
        if (window.start < window.end) {
            span.start = any ? std::min(span.start, window.start) : window.start;
            span.end = any ? std::max(span.end, window.end) : window.end;
            any = true;
        }
    }
    return span;
}

// span widened by margin times its size on either side, inside 0 .. size.
SampleWindow Widened(SampleWindow span, double margin, int size) {
    const int room = static_cast<int>((span.end - span.start) * margin);
    return {std::max(span.start - room, 0), std::min(span.end + room, size)};
}

void Shift(std::vector<SampleWindow>& windows, int by) {
    for (SampleWindow& window : windows) {
        if (window.start < window.end) {
            window.start -= by;
            window.end -= by;
        }
    }
}

}  // namespace

MapOverview::MapOverview(const MapPainter& painter)
    : geometry(painter.Geometry()), painter(painter) {
    levels.emplace_back();
    int width = geometry.width;
    int height = geometry.height;
    while (width > 1 || height > 1) {
        width = Shrink(width);
        height = Shrink(height);
        // Every pixel of every level is summarised below.
        levels.push_back(MapImage::Unfilled(width, height));
    }
    Repaint(painter, WholeMap(geometry));
}

Argb MapOverview::CellColor(int x, int y) const {
    Argb color = 0;
    painter->PaintCells({x, y, 1, 1}, &color, 1);
    return color;
}

void MapOverview::KeepAllCells() const {
    MapImage cells = MapImage::Unfilled(geometry.width, geometry.height);
    SplitRows(geometry.height, std::int64_t{geometry.width} * geometry.height,
              [&](int firstRow, int endRow) {
                  painter->PaintCells({0, firstRow, geometry.width, endRow - firstRow},
                                      &cells.At(0, firstRow), cells.width);
              });
    const std::lock_guard<std::mutex> lock(paintedMutex);
    painted = std::move(cells);
    paintedCells = WholeMap(geometry);
}

void MapOverview::Repaint(const MapPainter& newPainter, CellRect rect) {
    painter.emplace(newPainter);
    // The row above rect is shaded by rect's first row.
    int left = std::max(rect.x, 0);
    int top = std::max(rect.y - 1, 0);
    int right = std::min(rect.x + rect.width, geometry.width);
    int bottom = std::min(rect.y + rect.height, geometry.height);
    // Level 0, where it is kept whole, is painted again in place; else the
    // cells painted for a view are dropped.
    bool kept = false;
    {
        const std::lock_guard<std::mutex> lock(paintedMutex);
        kept = paintedCells == WholeMap(geometry);
        if (kept && left < right && top < bottom) {
            SplitRows(bottom - top, std::int64_t{right - left} * (bottom - top),
                      [&](int firstRow, int endRow) {
                          painter->PaintCells(
                              {left, top + firstRow, right - left, endRow - firstRow},
                              &painted.At(left, top + firstRow), painted.width);
                      });
        } else if (!kept) {
            paintedCells = {};
            painted = MapImage();
        }
    }
    if (left >= right || top >= bottom || LevelCount() < 2) {
        return;
    }
    for (int level = 1; level < LevelCount(); ++level) {
        // A pixel also depends on its neighbours, which are its context: one
        // more pixel on every side.
        const MapImage& image = levels[static_cast<std::size_t>(level)];
        left = std::max(left / 2 - 1, 0);
        top = std::max(top / 2 - 1, 0);
        right = std::min(Shrink(right) + 1, image.width);
        bottom = std::min(Shrink(bottom) + 1, image.height);
        const CellRect changed{left, top, right - left, bottom - top};
        if (level == 1 && !kept) {
            HalveCells(changed);
        } else {
            Summarise(level == 1 ? painted.View() : Level(level - 1), level, changed);
        }
    }
}

void MapOverview::HalveCells(CellRect rect) {
    MapImage& image = levels[1];
    // The cells under the band's pixels and their context, from an even
    // column and row so that the band's windows fall as the whole map's do.
    const int cellLeft = std::max(2 * rect.x - 2, 0);
    const int cellRight = std::min(2 * (rect.x + rect.width) + 2, geometry.width);
    const auto halveBands = [&](std::atomic<int>& nextBand) {
        std::vector<Argb> cells;
        for (int band = nextBand++ * kBandRows; band < rect.height;
             band = nextBand++ * kBandRows) {
            const int bandTop = rect.y + band;
            const int bandBottom = rect.y + std::min(band + kBandRows, rect.height);
            const int cellTop = std::max(2 * bandTop - 2, 0);
            const int cellBottom = std::min(2 * bandBottom + 2, geometry.height);
            const int cellWidth = cellRight - cellLeft;
            cells.resize(static_cast<std::size_t>(cellWidth) *
                         static_cast<std::size_t>(cellBottom - cellTop));
            painter->PaintCells({cellLeft, cellTop, cellWidth, cellBottom - cellTop},
                                cells.data(), cellWidth);
            HalveImage({cells.data(), cellWidth, cellBottom - cellTop, cellWidth},
                       rect.x - cellLeft / 2, bandTop - cellTop / 2, rect.width,
                       bandBottom - bandTop, &image.At(rect.x, bandTop), image.width);
        }
    };
    // Two threads take the bands in turn, so that neither waits for the
    // other when one part of the map costs more to draw than another.
    std::atomic<int> nextBand{0};
    if (std::int64_t{rect.width} * rect.height * 4 < kThreadedPixels || rect.height <= kBandRows) {
        halveBands(nextBand);
        return;
    }
    std::thread helper([&] { halveBands(nextBand); });
    halveBands(nextBand);
    helper.join();
}

void MapOverview::Summarise(ImageView below, int level, CellRect rect) {
    MapImage& image = levels[static_cast<std::size_t>(level)];
    SplitRows(rect.height, std::int64_t{rect.width} * rect.height, [&](int firstRow, int endRow) {
        HalveImage(below, rect.x, rect.y + firstRow, rect.width, endRow - firstRow,
                   &image.At(rect.x, rect.y + firstRow), image.width);
    });
}

void MapOverview::Fetch(double originX, double originY, double cellsPerPixel, int width,
                        int height, Argb* out, std::ptrdiff_t stride, Argb background) const {
    if (width <= 0 || height <= 0) {
        return;
    }
    int level = 0;
    double levelScale = 1;
    while (level + 1 < LevelCount() && levelScale * 2 * kNearestLevel <= cellsPerPixel) {
        ++level;
        levelScale *= 2;
    }
    const double scale = cellsPerPixel / levelScale;
    const int levelWidth = level == 0 ? geometry.width : Level(level).width;
    const int levelHeight = level == 0 ? geometry.height : Level(level).height;
    std::vector<SampleWindow> columns =
        SampleWindows(originX / levelScale, scale, -1, width + 2, levelWidth);
    std::vector<SampleWindow> rows =
        SampleWindows(originY / levelScale, scale, -1, height + 2, levelHeight);
    std::unique_lock<std::mutex> lock(paintedMutex, std::defer_lock);
    ImageView source;
    if (level > 0) {
        source = Level(level);
    } else {
        const SampleWindow spanX = Span(columns);
        const SampleWindow spanY = Span(rows);
        const CellRect needed{spanX.start, spanY.start, spanX.end - spanX.start,
                              spanY.end - spanY.start};
        lock.lock();
        if (!needed.IsEmpty() && !Contains(paintedCells, needed)) {
            const SampleWindow wideX = Widened(spanX, kPaintedMargin, geometry.width);
            const SampleWindow wideY = Widened(spanY, kPaintedMargin, geometry.height);
            paintedCells = {wideX.start, wideY.start, wideX.end - wideX.start,
                            wideY.end - wideY.start};
            // The memory of the cells painted before is kept where it is large
            // enough: fresh memory costs a page fault per page.
            painted.width = paintedCells.width;
            painted.height = paintedCells.height;
            painted.pixels.clear();  // nothing to keep: a larger buffer is not copied into
            painted.pixels.resize(static_cast<std::size_t>(painted.width) *
                                  static_cast<std::size_t>(painted.height));
            SplitRows(paintedCells.height, std::int64_t{paintedCells.width} * paintedCells.height,
                      [&](int firstRow, int endRow) {
                          painter->PaintCells({paintedCells.x, paintedCells.y + firstRow,
                                               paintedCells.width, endRow - firstRow},
                                              &painted.At(0, firstRow), painted.width);
                      });
        }
        Shift(columns, paintedCells.x);
        Shift(rows, paintedCells.y);
        source = painted.View();
    }
    SplitRows(height, std::int64_t{width} * height, [&](int firstRow, int endRow) {
        ResampleWindows(source, columns,
                        std::span<const SampleWindow>(rows).subspan(
                            static_cast<std::size_t>(firstRow),
                            static_cast<std::size_t>(endRow - firstRow + 2)),
                        out + firstRow * stride, stride, background);
    });
}

}  // namespace kestrel
