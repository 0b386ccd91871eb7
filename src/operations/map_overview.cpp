#include "operations/map_overview.h"

#include <algorithm>

#include "operations/split_rows.h"

namespace kestrel {

namespace {

int Shrink(int size) {
    return (size + 1) / 2;
}

}  // namespace

MapOverview::MapOverview(const MapPainter& painter) : geometry(painter.Geometry()) {
    // Every pixel of every level is painted or summarised below.
    levels.push_back(MapImage::Unfilled(geometry.width, geometry.height));
    while (levels.back().width > 1 || levels.back().height > 1) {
        levels.push_back(MapImage::Unfilled(Shrink(levels.back().width), Shrink(levels.back().height)));
    }
    Repaint(painter, WholeMap(geometry));
}

void MapOverview::Repaint(const MapPainter& painter, CellRect rect) {
    // The row above rect is shaded by rect's first row.
    int left = std::max(rect.x, 0);
    int top = std::max(rect.y - 1, 0);
    int right = std::min(rect.x + rect.width, geometry.width);
    int bottom = std::min(rect.y + rect.height, geometry.height);
    if (left >= right || top >= bottom) {
        return;
    }
    MapImage& cells = levels.front();
    SplitRows(bottom - top, std::int64_t{right - left} * (bottom - top),
              [&](int firstRow, int endRow) {
                  painter.PaintCells({left, top + firstRow, right - left, endRow - firstRow},
                                     &cells.At(left, top + firstRow), cells.width);
              });
    for (int level = 1; level < LevelCount(); ++level) {
        // A pixel also depends on its neighbours below, which are its
        // context: one more pixel on every side.
        const MapImage& image = levels[static_cast<std::size_t>(level)];
        left = std::max(left / 2 - 1, 0);
        top = std::max(top / 2 - 1, 0);
        right = std::min(Shrink(right) + 1, image.width);
        bottom = std::min(Shrink(bottom) + 1, image.height);
        Summarise(level, {left, top, right - left, bottom - top});
    }
}

void MapOverview::Summarise(int level, CellRect rect) {
    const MapImage& below = levels[static_cast<std::size_t>(level - 1)];
    MapImage& image = levels[static_cast<std::size_t>(level)];
    const std::vector<SampleWindow> columns =
        SampleWindows(0, 2, rect.x - 1, rect.width + 2, below.width);
    SplitRows(rect.height, std::int64_t{rect.width} * rect.height, [&](int firstRow, int endRow) {
        const std::vector<SampleWindow> rows =
            SampleWindows(0, 2, rect.y + firstRow - 1, endRow - firstRow + 2, below.height);
        ResampleWindows(below.View(), columns, rows, &image.At(rect.x, rect.y + firstRow),
                        image.width, 0xFF000000u);
    });
}

void MapOverview::Fetch(double originX, double originY, double cellsPerPixel, int width,
                        int height, Argb* out, std::ptrdiff_t stride, Argb background) const {
    int level = 0;
    double levelScale = 1;
    while (level + 1 < LevelCount() && levelScale * 2 <= cellsPerPixel) {
        ++level;
        levelScale *= 2;
    }
    if (width <= 0 || height <= 0) {
        return;
    }
    const ImageView source = Level(level);
    const double scale = cellsPerPixel / levelScale;
    const std::vector<SampleWindow> columns =
        SampleWindows(originX / levelScale, scale, -1, width + 2, source.width);
    SplitRows(height, std::int64_t{width} * height, [&](int firstRow, int endRow) {
        const std::vector<SampleWindow> rows = SampleWindows(
            originY / levelScale, scale, firstRow - 1, endRow - firstRow + 2, source.height);
        ResampleWindows(source, columns, rows, out + firstRow * stride, stride, background);
    });
}

}  // namespace kestrel
