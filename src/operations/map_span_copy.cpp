#include "operations/map_span_copy.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "clientfiles/map_file.h"
#include "clientfiles/map_store.h"
#include "operations/map_region_copy.h"

namespace kestrel {

namespace {

// Offset of cell (x, y) in a run of whole blocks of one block column that
// begins with block row firstBlockRow.
std::size_t OffsetInColumn(int x, int y, int firstBlockRow) {
    const auto column = static_cast<unsigned>(x);
    const auto row = static_cast<unsigned>(y);
    const unsigned cellInBlock = (column & 7u) + ((row & 7u) << 3);
    return std::size_t{(row >> 3) - static_cast<unsigned>(firstBlockRow)} * kMapBlockBytes +
           kMapBlockHeaderBytes + std::size_t{cellInBlock} * kMapCellBytes;
}

// The blocks of one source block column that hold the rectangle's rows, read
// in one go. Two of them are kept: the cells of one destination block column
// come from at most two neighbouring source block columns, whose numbers
// differ in parity, and as the copy moves right each source block column is
// needed by at most two consecutive destination block columns.
template <class Map>
class SourceColumns {
public:
    SourceColumns(Map& source, const MapGeometry& geometry, int firstBlockRow, int lastBlockRow)
        : source(source),
          columnBytes(std::int64_t{geometry.BlockRows()} * kMapBlockBytes),
          firstBlockRow(firstBlockRow),
          spanBytes(static_cast<std::size_t>(lastBlockRow - firstBlockRow + 1) * kMapBlockBytes) {}

    // A whole row of a block: 8 cells.
    static constexpr std::size_t kRowBytes = std::size_t{kBlockSize} * kMapCellBytes;

    // The column's blocks, read when they are not held yet, followed by a
    // row's worth of zeros, so that a whole row can be read from any cell.
    // The last block of the map's last column may end the file early: only
    // the cells up to the rectangle's last row must be there, and the caller
    // has checked that they are.
    const std::uint8_t* Load(int blockColumn) {
        Slot& slot = slots[blockColumn & 1];
        if (slot.blockColumn != blockColumn) {
            if (!slot.bytes) {
                slot.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(spanBytes + kRowBytes);
                std::memset(slot.bytes.get() + spanBytes, 0, kRowBytes);
            }
            source.Read(static_cast<std::uint64_t>(std::int64_t{blockColumn} * columnBytes +
                                                   std::int64_t{firstBlockRow} * kMapBlockBytes),
                        slot.bytes.get(), spanBytes);
            slot.blockColumn = blockColumn;
        }
        return slot.bytes.get();
    }

private:
    struct Slot {
        int blockColumn = -1;
        std::unique_ptr<std::uint8_t[]> bytes;
    };

    Map& source;
    std::int64_t columnBytes;
    int firstBlockRow;
    std::size_t spanBytes;
    Slot slots[2];
};

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
    constexpr std::size_t kRowBytes = std::size_t{kBlockSize} * kMapCellBytes;
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

// A BinaryFile seen as MapStore is: reads and writes at an offset.
class FileAt {
public:
    explicit FileAt(BinaryFile& file) : file(file) {}
    std::size_t Read(std::uint64_t offset, void* buffer, std::size_t count) {
        file.Seek(static_cast<std::int64_t>(offset));
        return file.Read(buffer, count);
    }
    void Write(std::uint64_t offset, const void* buffer, std::size_t count) {
        file.Seek(static_cast<std::int64_t>(offset));
        file.Write(buffer, count);
    }

private:
    BinaryFile& file;
};

// rightToLeft: the destination block columns are done from the last to the
// first. Each destination block column is written after the source block
// columns it needs have been read, and a source block column is held from its
// read while it is still needed; so when source and destination are one map
// and the destination lies right of the source, going right to left means no
// source block column is read after it was written (left to right likewise
// when it lies left, or in the same columns).
template <class Source, class Dest>
void CopySpans(Source& source, const MapGeometry& sourceGeometry, Dest& dest,
               const MapGeometry& destGeometry, const CopySettings& settings, bool rightToLeft) {
    const MapCopyRange range = ClipMapCopy(settings, destGeometry);
    if (range.IsEmpty()) {
        return;
    }
    const int firstDx = DestinationColumn(settings, range.firstX);
    const int lastDx = DestinationColumn(settings, range.lastX);
    const int firstDy = DestinationRow(settings, range.firstY);
    const int lastDy = DestinationRow(settings, range.lastY);
    const int toSourceX = range.firstX - firstDx;
    const int toSourceY = range.firstY - firstDy;
    const int firstSourceBlockRow = range.firstY / kBlockSize;
    const int firstDestBlockRow = firstDy / kBlockSize;
    // Cells keep their place inside their block: whole blocks can be copied.
    const bool blocksAligned = toSourceX % kBlockSize == 0 && toSourceY % kBlockSize == 0;
    const ShiftPattern pattern = MakeShiftPattern(settings.offZ);

    SourceColumns<Source> sourceColumns(source, sourceGeometry, firstSourceBlockRow,
                                        range.lastY / kBlockSize);
    std::vector<std::uint8_t> span;

    const int firstBlockColumn = firstDx / kBlockSize;
    const int lastBlockColumn = lastDx / kBlockSize;
    for (int step = 0; step <= lastBlockColumn - firstBlockColumn; ++step) {
        const int blockColumn = rightToLeft ? lastBlockColumn - step : firstBlockColumn + step;
        const int lowDx = std::max(firstDx, blockColumn * kBlockSize);
        const int highDx = std::min(lastDx, blockColumn * kBlockSize + kBlockSize - 1);
        // From the first cell to the last cell written in this block column:
        // writing the span back never lengthens the file past a cell that is
        // copied, and the bytes in between that lie past the old end read back
        // as zeros, as a gap in the file does.
        const std::int64_t spanStart = CellOffset(destGeometry, lowDx, firstDy);
        const std::int64_t spanEnd = CellOffset(destGeometry, highDx, lastDy) + kMapCellBytes;
        const auto spanBytes = static_cast<std::size_t>(spanEnd - spanStart);
        span.resize(spanBytes);
        const std::size_t got =
            dest.Read(static_cast<std::uint64_t>(spanStart), span.data(), spanBytes);
        std::memset(span.data() + got, 0, spanBytes - got);
        // span[OffsetInColumn(dx, dy, firstDestBlockRow) - spanOrigin] is cell (dx, dy).
        const std::size_t spanOrigin = OffsetInColumn(lowDx, firstDy, firstDestBlockRow);

        // A row's cells of this block column come from one source block
        // column, or from two when the offset is not a multiple of 8.
        const int lowX = lowDx + toSourceX;
        const int highX = highDx + toSourceX;
        const int splitX = std::min(highX, lowX - lowX % kBlockSize + kBlockSize - 1);
        const std::size_t leftBytes = std::size_t(splitX - lowX + 1) * kMapCellBytes;
        const std::size_t rightBytes = std::size_t(highX - splitX) * kMapCellBytes;
        const std::uint8_t* left = sourceColumns.Load(lowX / kBlockSize);
        const std::uint8_t* right =
            rightBytes > 0 ? sourceColumns.Load(highX / kBlockSize) : nullptr;
        const bool wholeWidth = lowDx % kBlockSize == 0 && highDx % kBlockSize == kBlockSize - 1;

        for (int blockRow = firstDy / kBlockSize; blockRow <= lastDy / kBlockSize; ++blockRow) {
            const int lowDy = std::max(firstDy, blockRow * kBlockSize);
            const int highDy = std::min(lastDy, blockRow * kBlockSize + kBlockSize - 1);
            if (blocksAligned && wholeWidth && lowDy == blockRow * kBlockSize &&
                highDy == blockRow * kBlockSize + kBlockSize - 1) {
                CopyBlockShifted(
                    left + OffsetInColumn(lowX, lowDy + toSourceY, firstSourceBlockRow),
                    span.data() + OffsetInColumn(lowDx, lowDy, firstDestBlockRow) - spanOrigin,
                    pattern);
                continue;
            }
            for (int dy = lowDy; dy <= highDy; ++dy) {
                const int y = dy + toSourceY;
                std::uint8_t* to =
                    span.data() + OffsetInColumn(lowDx, dy, firstDestBlockRow) - spanOrigin;
                if (wholeWidth) {
                    CopyRowShifted(left + OffsetInColumn(lowX, y, firstSourceBlockRow), leftBytes,
                                   right == nullptr
                                       ? nullptr
                                       : right + OffsetInColumn(splitX + 1, y, firstSourceBlockRow),
                                   to, pattern);
                    continue;
                }
                CopyShifted(left + OffsetInColumn(lowX, y, firstSourceBlockRow), to, leftBytes,
                            pattern);
                if (right != nullptr) {
                    CopyShifted(right + OffsetInColumn(splitX + 1, y, firstSourceBlockRow),
                                to + leftBytes, rightBytes, pattern);
                }
            }
        }

        dest.Write(static_cast<std::uint64_t>(spanStart), span.data(), spanBytes);
    }
}

}  // namespace

void CopyMapSpans(BinaryFile& source, BinaryFile& dest, const CopySettings& settings) {
    FileAt from(source);
    FileAt to(dest);
    CopySpans(from, kClassicGeometry, to, kClassicGeometry, settings, false);
}

void CopyMapStoreSpans(MapStore& source, MapStore& dest, const CopySettings& settings) {
    const bool rightToLeft = &source == &dest && settings.offX > settings.minX;
    CopySpans(source, source.Geometry(), dest, dest.Geometry(), settings, rightToLeft);
}

}  // namespace kestrel
