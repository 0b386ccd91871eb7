#include "operations/map_span_copy.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "clientfiles/map_file.h"
#include "operations/map_region_copy.h"

namespace kestrel {

namespace {

// A whole row of a block: 8 cells.
constexpr std::size_t kRowBytes = std::size_t{kBlockSize} * kMapCellBytes;

// Block columns moved in one read and one write, about 1 MiB, when the
// rectangle fills at least half of each; otherwise one at a time, so that a
// flat rectangle does not read the rows between its block columns.
constexpr int kGroupColumns = 10;

// Offset of cell (x, y) from the start of block row firstBlockRow of block
// column firstBlockColumn, in the file's layout. The cell must lie at or after
// both.
std::size_t OffsetFrom(int x, int y, int firstBlockColumn, int firstBlockRow) {
    const auto column = static_cast<unsigned>(x);
    const auto row = static_cast<unsigned>(y);
    const unsigned cellInBlock = (column & 7u) + ((row & 7u) << 3);
    return std::size_t{(column >> 3) - static_cast<unsigned>(firstBlockColumn)} *
               kMapBlockColumnBytes +
           std::size_t{(row >> 3) - static_cast<unsigned>(firstBlockRow)} * kMapBlockBytes +
           kMapBlockHeaderBytes + std::size_t{cellInBlock} * kMapCellBytes;
}

// What is added to each byte of a run of whole cells: offZ to every altitude
// byte, nothing to the tile numbers.
using ShiftPattern = std::array<std::uint8_t, kMapCellsPerBlock * kMapCellBytes>;

ShiftPattern MakeShiftPattern(int offZ) {
    ShiftPattern pattern{};
    const auto shift = static_cast<std::uint8_t>(static_cast<unsigned>(offZ) & 0xFFu);
    for (std::size_t at = 2; at < pattern.size(); at += kMapCellBytes) {
        pattern[at] = shift;
    }
    return pattern;
}

// Copies bytes bytes of whole cells, shifting the altitudes (8-bit sums wrap).
void CopyShifted(const std::uint8_t* from, std::uint8_t* to, std::size_t bytes,
                 const ShiftPattern& pattern) {
    for (std::size_t at = 0; at < bytes; ++at) {
        to[at] = static_cast<std::uint8_t>(from[at] + pattern[at]);
    }
}

// The same for the 8 cells of a row of a block, taken from two source rows:
// the first leftBytes bytes from left, the rest from right (when not null).
// The pieces are gathered whole, 24 bytes each, so that every copy has a fixed
// size; the sources have a row's worth of readable bytes after every cell.
void CopyRowShifted(const std::uint8_t* left, std::size_t leftBytes, const std::uint8_t* right,
                    std::uint8_t* to, const ShiftPattern& pattern) {
    std::uint8_t row[2 * kRowBytes];
    std::memcpy(row, left, kRowBytes);
    if (right != nullptr) {
        std::memcpy(row + leftBytes, right, kRowBytes);
    }
    for (std::size_t at = 0; at < kRowBytes; ++at) {
        to[at] = static_cast<std::uint8_t>(row[at] + pattern[at]);
    }
}

// The same for the 64 cells of a whole block, a loop the compiler vectorises.
void CopyBlockShifted(const std::uint8_t* from, std::uint8_t* to, const ShiftPattern& pattern) {
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        to[at] = static_cast<std::uint8_t>(from[at] + pattern[at]);
    }
}

// The copy's geometry: the destination cells firstDx..lastDx of rows
// firstDy..lastDy, and how to get from a destination cell to its source cell.
struct Placement {
    int firstDx;
    int lastDx;
    int firstDy;
    int lastDy;
    int toSourceX;
    int toSourceY;
    int firstSourceBlockRow;
    int lastSourceBlockRow;
    bool blocksAligned;  // cells keep their place inside their block
};

// Fills in the cells of destination block column blockColumn. source holds
// the file from block row firstSourceBlockRow of block column sourceColumn
// on, span the destination from the cell at spanOrigin bytes after block row
// firstDy / 8 of block column spanColumn.
void CopyBlockColumn(const Placement& at, int blockColumn, const std::uint8_t* source,
                     int sourceColumn, std::uint8_t* span, int spanColumn, std::size_t spanOrigin,
                     const ShiftPattern& pattern) {
    const int firstDestBlockRow = at.firstDy / kBlockSize;
    const auto from = [&](int x, int y) {
        return source + OffsetFrom(x, y, sourceColumn, at.firstSourceBlockRow);
    };
    const auto to = [&](int dx, int dy) {
        return span + (OffsetFrom(dx, dy, spanColumn, firstDestBlockRow) - spanOrigin);
    };
    const int lowDx = std::max(at.firstDx, blockColumn * kBlockSize);
    const int highDx = std::min(at.lastDx, blockColumn * kBlockSize + kBlockSize - 1);
    // A row's cells of this block column come from one source block column,
    // or from two when the offset is not a multiple of 8.
    const int lowX = lowDx + at.toSourceX;
    const int highX = highDx + at.toSourceX;
    const int splitX = std::min(highX, lowX - lowX % kBlockSize + kBlockSize - 1);
    const std::size_t leftBytes = std::size_t(splitX - lowX + 1) * kMapCellBytes;
    const std::size_t rightBytes = std::size_t(highX - splitX) * kMapCellBytes;
    const bool wholeWidth = lowDx % kBlockSize == 0 && highDx % kBlockSize == kBlockSize - 1;

    for (int blockRow = at.firstDy / kBlockSize; blockRow <= at.lastDy / kBlockSize; ++blockRow) {
        const int lowDy = std::max(at.firstDy, blockRow * kBlockSize);
        const int highDy = std::min(at.lastDy, blockRow * kBlockSize + kBlockSize - 1);
        if (at.blocksAligned && wholeWidth && lowDy == blockRow * kBlockSize &&
            highDy == blockRow * kBlockSize + kBlockSize - 1) {
            CopyBlockShifted(from(lowX, lowDy + at.toSourceY), to(lowDx, lowDy), pattern);
            continue;
        }
        for (int dy = lowDy; dy <= highDy; ++dy) {
            const int y = dy + at.toSourceY;
            if (wholeWidth) {
                CopyRowShifted(from(lowX, y), leftBytes,
                               rightBytes > 0 ? from(splitX + 1, y) : nullptr, to(lowDx, dy),
                               pattern);
                continue;
            }
            CopyShifted(from(lowX, y), to(lowDx, dy), leftBytes, pattern);
            if (rightBytes > 0) {
                CopyShifted(from(splitX + 1, y), to(lowDx, dy) + leftBytes, rightBytes, pattern);
            }
        }
    }
}

}  // namespace

void CopyMapSpans(BinaryFile& source, BinaryFile& dest, const CopySettings& settings) {
    const MapCopyRange range = ClipMapCopy(settings);
    if (range.IsEmpty()) {
        return;
    }
    // The last cell of the rectangle in file order is its bottom-right one.
    if (source.Length() <
        static_cast<std::uint64_t>(CellOffset(range.lastX, range.lastY)) + kMapCellBytes) {
        CopyMapCellByCell(source, dest, settings);
        return;
    }

    Placement at{};
    at.firstDx = DestinationColumn(settings, range.firstX);
    at.lastDx = DestinationColumn(settings, range.lastX);
    at.firstDy = DestinationRow(settings, range.firstY);
    at.lastDy = DestinationRow(settings, range.lastY);
    at.toSourceX = range.firstX - at.firstDx;
    at.toSourceY = range.firstY - at.firstDy;
    at.firstSourceBlockRow = range.firstY / kBlockSize;
    at.lastSourceBlockRow = range.lastY / kBlockSize;
    at.blocksAligned = at.toSourceX % kBlockSize == 0 && at.toSourceY % kBlockSize == 0;
    const ShiftPattern pattern = MakeShiftPattern(settings.offZ);

    const int firstDestBlockRow = at.firstDy / kBlockSize;
    const std::size_t spanHeight =
        std::size_t(at.lastDy / kBlockSize - firstDestBlockRow + 1) * kMapBlockBytes;
    const int groupColumns = 2 * spanHeight >= kMapBlockColumnBytes ? kGroupColumns : 1;
    const std::size_t sourceHeight =
        std::size_t(at.lastSourceBlockRow - at.firstSourceBlockRow + 1) * kMapBlockBytes;
    std::vector<std::uint8_t> span;
    std::vector<std::uint8_t> sourceBytes;

    const int lastBlockColumn = at.lastDx / kBlockSize;
    for (int firstColumn = at.firstDx / kBlockSize; firstColumn <= lastBlockColumn;
         firstColumn += groupColumns) {
        const int lastColumn = std::min(lastBlockColumn, firstColumn + groupColumns - 1);
        const int lowDx = std::max(at.firstDx, firstColumn * kBlockSize);
        const int highDx = std::min(at.lastDx, lastColumn * kBlockSize + kBlockSize - 1);

        // The destination from the first cell to the last cell written in
        // these block columns: writing it back never lengthens the file past
        // a cell the cell-by-cell copy writes, and the bytes in between that
        // lie past the old end read back as zeros, as a gap in the file does.
        const std::int64_t spanStart = CellOffset(lowDx, at.firstDy);
        const std::int64_t spanEnd = std::int64_t{CellOffset(highDx, at.lastDy)} + kMapCellBytes;
        const auto spanBytes = static_cast<std::size_t>(spanEnd - spanStart);
        span.resize(spanBytes);
        dest.Seek(spanStart);
        const std::size_t got = dest.Read(span.data(), spanBytes);
        std::memset(span.data() + got, 0, spanBytes - got);

        // The source block columns these cells come from, whole rows of
        // blocks, and a row's worth of zeros after them so that a whole row
        // can be read from any cell. A source that ends inside them delivers
        // less; every cell used lies before its end (checked above).
        const int firstSourceColumn = (lowDx + at.toSourceX) / kBlockSize;
        const int lastSourceColumn = (highDx + at.toSourceX) / kBlockSize;
        const std::size_t sourceSize =
            std::size_t(lastSourceColumn - firstSourceColumn) * kMapBlockColumnBytes + sourceHeight;
        sourceBytes.resize(sourceSize + kRowBytes);
        std::memset(sourceBytes.data() + sourceSize, 0, kRowBytes);
        source.Seek(std::int64_t{firstSourceColumn} * kMapBlockColumnBytes +
                    std::int64_t{at.firstSourceBlockRow} * kMapBlockBytes);
        source.Read(sourceBytes.data(), sourceSize);

        const std::size_t spanOrigin =
            OffsetFrom(lowDx, at.firstDy, firstColumn, firstDestBlockRow);
        for (int blockColumn = firstColumn; blockColumn <= lastColumn; ++blockColumn) {
            CopyBlockColumn(at, blockColumn, sourceBytes.data(), firstSourceColumn, span.data(),
                            firstColumn, spanOrigin, pattern);
        }

        dest.Seek(spanStart);
        dest.Write(span.data(), spanBytes);
    }
}

}  // namespace kestrel
