#include "operations/map_copy_summary.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "clientfiles/map_file.h"
#include "operations/map_region_copy.h"

namespace kestrel {

namespace {

// The blocks of one block column from block row firstBlockRow on, read in one
// go; the last column read is kept. Bytes past the file's end read as zeros.
class ColumnCache {
public:
    ColumnCache(MapStore& map, int firstBlockRow, int lastBlockRow)
        : map(map),
          firstBlockRow(firstBlockRow),
          bytes(static_cast<std::size_t>(lastBlockRow - firstBlockRow + 1) * kMapBlockBytes) {}

    // Cell (x, y) of the column holding x: its 3 bytes.
    const std::uint8_t* Cell(int x, int y) {
        const int blockColumn = x / kBlockSize;
        if (blockColumn != loaded) {
            const std::int64_t start =
                map.Geometry().BlockNumber(blockColumn, firstBlockRow) * kMapBlockBytes;
            const std::size_t got =
                map.Read(static_cast<std::uint64_t>(start), bytes.data(), bytes.size());
            std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(got), bytes.end(), 0);
            loaded = blockColumn;
        }
        const auto cellInBlock = static_cast<std::size_t>((x % kBlockSize) + (y % kBlockSize) * kBlockSize);
        return bytes.data() +
               static_cast<std::size_t>(y / kBlockSize - firstBlockRow) * kMapBlockBytes +
               kMapBlockHeaderBytes + cellInBlock * kMapCellBytes;
    }

private:
    MapStore& map;
    int firstBlockRow;
    std::vector<std::uint8_t> bytes;
    int loaded = -1;
};

std::uint64_t Cells(int count) { return count > 0 ? static_cast<std::uint64_t>(count) : 0; }

}  // namespace

MapCopySummary SummariseMapCopy(const CopySettings& settings, MapStore& source, MapStore& dest) {
    MapCopySummary summary;
    const int width = settings.maxX - settings.minX + 1;
    const int height = settings.maxY - settings.minY + 1;
    if (width <= 0 || height <= 0) {
        return summary;
    }
    const MapGeometry& destGeometry = dest.Geometry();
    const MapCopyRange range = ClipMapCopy(settings, destGeometry);
    const int copiedColumns = std::max(0, range.lastX - range.firstX + 1);
    const int copiedRows = std::max(0, range.lastY - range.firstY + 1);
    summary.cellsCopied = Cells(copiedColumns) * Cells(copiedRows);
    summary.cellsClippedRight = Cells(width - copiedColumns) * Cells(height);
    summary.cellsClippedBottom = Cells(copiedColumns) * Cells(height - copiedRows);
    if (range.IsEmpty()) {
        return summary;
    }

    const int firstDy = DestinationRow(settings, range.firstY);
    const int lastDy = DestinationRow(settings, range.lastY);
    ColumnCache sourceColumns(source, range.firstY / kBlockSize, range.lastY / kBlockSize);
    ColumnCache destColumns(dest, firstDy / kBlockSize, lastDy / kBlockSize);
    const std::uint64_t oldLength = dest.Length();
    const std::uint64_t newEnd =
        std::uint64_t(CellOffset(destGeometry, DestinationColumn(settings, range.lastX), lastDy)) +
        kMapCellBytes;
    const auto shift = static_cast<std::uint8_t>(static_cast<unsigned>(settings.offZ) & 0xFFu);

    int lowest = INT_MAX;
    int highest = INT_MIN;
    std::uint64_t differing = 0;
    // Column by column, so that each block column of either file is read once.
    for (int x = range.firstX; x <= range.lastX; ++x) {
        const int dx = DestinationColumn(settings, x);
        for (int y = range.firstY; y <= range.lastY; ++y) {
            const int dy = DestinationRow(settings, y);
            const std::uint8_t* from = sourceColumns.Cell(x, y);
            const auto altitude = static_cast<std::int8_t>(from[2]);
            const int sum = altitude + settings.offZ;
            summary.cellsWrapped += sum < -128 || sum > 127;
            const std::uint8_t newBytes[3] = {from[0], from[1],
                                              static_cast<std::uint8_t>(from[2] + shift)};
            const int shifted = static_cast<std::int8_t>(newBytes[2]);
            lowest = std::min(lowest, shifted);
            highest = std::max(highest, shifted);
            const std::uint8_t* to = destColumns.Cell(dx, dy);
            const auto offset = static_cast<std::uint64_t>(CellOffset(destGeometry, dx, dy));
            for (std::uint64_t at = 0; at < kMapCellBytes && offset + at < oldLength; ++at) {
                differing += to[at] != newBytes[at];
            }
        }
    }
    summary.lowestAltitude = lowest;
    summary.highestAltitude = highest;
    summary.bytesChanged = differing + (newEnd > oldLength ? newEnd - oldLength : 0);
    return summary;
}

}  // namespace kestrel
