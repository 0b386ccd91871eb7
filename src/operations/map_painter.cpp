#include "operations/map_painter.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "operations/split_rows.h"

namespace kestrel {

namespace {

// Output rows are painted in strips of at least this many cell rows, enough
// to read most blocks' statics only once.
constexpr int kStripCellRows = 64;

constexpr int kNoStatic = std::numeric_limits<int>::min();

}  // namespace

void MapPainter::PaintCells(CellRect rect, Argb* out, std::ptrdiff_t stride) const {
    if (rect.IsEmpty()) {
        return;
    }
    const MapGeometry geometry = cells.Geometry();
    const auto width = static_cast<std::size_t>(rect.width);
    // The land of one block row's part of rect plus the row below it, which
    // the last row's shading needs.
    std::vector<MapCell> land((kCellsPerBlockSide + 1) * width);
    std::vector<int> topZ(kCellsPerBlockSide * width);
    std::vector<std::uint16_t> topItem(kCellsPerBlockSide * width);
    std::vector<StaticRecord> records;

    const int lastRow = rect.y + rect.height - 1;
    const int firstBlockColumn = rect.x / kCellsPerBlockSide;
    const int lastBlockColumn = (rect.x + rect.width - 1) / kCellsPerBlockSide;
    int belowRow = -1;  // where the row below the last block row was read
    for (int top = rect.y; top <= lastRow;) {
        const int by = top / kCellsPerBlockSide;
        const int bottom = std::min(lastRow, by * kCellsPerBlockSide + kCellsPerBlockSide - 1);
        const int rows = bottom - top + 1;
        const bool rowBelow = bottom + 1 < geometry.height;
        // The row read below the last block row is this one's first: moved,
        // not read again.
        int row = 0;
        if (belowRow >= 0) {
            std::copy_n(land.begin() + static_cast<std::ptrdiff_t>(
                                           static_cast<std::size_t>(belowRow) * width),
                        width, land.begin());
            row = 1;
        }
        for (; row < rows + (rowBelow ? 1 : 0); ++row) {
            cells.ReadRow(rect.x, top + row, rect.width,
                          land.data() + static_cast<std::size_t>(row) * width);
        }
        belowRow = rowBelow ? rows : -1;

        std::fill(topZ.begin(), topZ.begin() + static_cast<std::ptrdiff_t>(rows * rect.width),
                  kNoStatic);
        if (statics != nullptr) {
            for (int bx = firstBlockColumn; bx <= lastBlockColumn; ++bx) {
                records.clear();
                statics->ReadBlock(bx, by, records);
                for (const StaticRecord& record : records) {
                    if (record.x >= kCellsPerBlockSide || record.y >= kCellsPerBlockSide) {
                        continue;
                    }
                    const int column = bx * kCellsPerBlockSide + record.x - rect.x;
                    const int row = by * kCellsPerBlockSide + record.y - top;
                    if (column < 0 || column >= rect.width || row < 0 || row >= rows) {
                        continue;
                    }
                    const std::size_t at = static_cast<std::size_t>(row) * width +
                                           static_cast<std::size_t>(column);
                    if (record.z >= land[at].altitude && record.z >= topZ[at]) {
                        topZ[at] = record.z;
                        topItem[at] = record.tileId;
                    }
                }
            }
        }

        for (int row = 0; row < rows; ++row) {
            const MapCell* here = land.data() + static_cast<std::size_t>(row) * width;
            const MapCell* below = here + width;
            const std::size_t first = static_cast<std::size_t>(row) * width;
            Argb* line = out + (top + row - rect.y) * stride;
            for (std::size_t column = 0; column < width; ++column) {
                const Argb color = topZ[first + column] != kNoStatic
                                       ? colors.Item(topItem[first + column])
                                       : colors.Land(here[column].tileId, here[column].altitude);
                const int step =
                    (row + 1 < rows || rowBelow) ? here[column].altitude - below[column].altitude
                                                 : 0;
                line[column] = colors.Shade(color, step);
            }
        }
        top = bottom + 1;
    }
}

MapImage MapPainter::Paint(CellRect rect, double cellsPerPixel, int width, int height,
                           Argb background) const {
    MapImage image(width, height, background);
    if (rect.IsEmpty() || width <= 0 || height <= 0) {
        return image;
    }
    // Windows of pixels -1 .. width and -1 .. height: the outer ones are the
    // context of the pixels at the edges.
    const std::vector<SampleWindow> columns =
        SampleWindows(0, cellsPerPixel, -1, width + 2, rect.width);
    const std::vector<SampleWindow> rows =
        SampleWindows(0, cellsPerPixel, -1, height + 2, rect.height);
    const auto drawn = [&rows](std::size_t py) { return rows[py + 1]; };
    // Each half of the picture is painted through strips of its own.
    const auto paintRows = [&](int firstRow, int endRow) {
        std::vector<Argb> strip;
        std::vector<SampleWindow> stripRows;
        for (auto first = static_cast<std::size_t>(firstRow);
             first < static_cast<std::size_t>(endRow);) {
            if (drawn(first).start >= drawn(first).end) {
                break;  // past rect: the rest stays background
            }
            std::size_t last = first;
            while (last + 1 < static_cast<std::size_t>(endRow) &&
                   drawn(last + 1).start < drawn(last + 1).end &&
                   drawn(last + 1).end - drawn(first).start <=
                       std::max(kStripCellRows, drawn(first).end - drawn(first).start)) {
                ++last;
            }
            // The strip's cells: its pixels' windows and the context rows around.
            int stripTop = drawn(first).start;
            int stripBottom = drawn(last).end;
            for (std::size_t at = first; at <= last + 2; ++at) {
                if (rows[at].start < rows[at].end) {
                    stripTop = std::min(stripTop, rows[at].start);
                    stripBottom = std::max(stripBottom, rows[at].end);
                }
            }
            strip.resize(static_cast<std::size_t>(stripBottom - stripTop) *
                         static_cast<std::size_t>(rect.width));
            PaintCells({rect.x, rect.y + stripTop, rect.width, stripBottom - stripTop},
                       strip.data(), rect.width);
            stripRows.assign(rows.begin() + static_cast<std::ptrdiff_t>(first),
                             rows.begin() + static_cast<std::ptrdiff_t>(last + 3));
            for (SampleWindow& row : stripRows) {
                if (row.start < row.end) {
                    row.start -= stripTop;
                    row.end -= stripTop;
                }
            }
            const ImageView view{strip.data(), rect.width, stripBottom - stripTop, rect.width};
            ResampleWindows(view, columns, stripRows,
                            image.pixels.data() + static_cast<std::ptrdiff_t>(first) * width,
                            width, background);
            first = last + 1;
        }
    };
    SplitRows(height, std::int64_t{rect.width} * rect.height, paintRows);
    return image;
}

}  // namespace kestrel
