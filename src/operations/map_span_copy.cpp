#include "operations/map_span_copy.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "clientfiles/map_file.h"
#include "operations/map_region_copy.h"

namespace kestrel {

namespace {

// The blocks of one source block column that hold the rectangle's rows, read
// in one go. Two of them are kept: the cells of one destination block column
// come from at most two neighbouring source block columns, whose numbers
// differ in parity, and as the copy moves right each source block column is
// needed by at most two consecutive destination block columns.
class SourceColumns {
public:
    SourceColumns(BinaryFile& source, int firstBlockRow, int lastBlockRow)
        : source(source),
          firstBlockRow(firstBlockRow),
          spanBytes(static_cast<std::size_t>(lastBlockRow - firstBlockRow + 1) * kMapBlockBytes) {
        for (Slot& slot : slots) {
            slot.bytes.resize(spanBytes);
        }
    }

    // The bytes of the cell (x, y), read with its block column when that is
    // not held yet. The caller has made sure that the source holds the cell.
    const std::uint8_t* Cell(int x, int y) {
        const int blockColumn = x / kBlockSize;
        Slot& slot = slots[blockColumn & 1];
        if (slot.blockColumn != blockColumn) {
            // A source that ends inside the span delivers less; the cells the
            // rectangle uses are all before its end.
            source.Seek(std::int64_t{blockColumn} * kMapBlockColumnBytes +
                        std::int64_t{firstBlockRow} * kMapBlockBytes);
            source.Read(slot.bytes.data(), spanBytes);
            slot.blockColumn = blockColumn;
        }
        const int cellInBlock = (x % kBlockSize) + (y % kBlockSize) * kBlockSize;
        const std::size_t offset =
            static_cast<std::size_t>(y / kBlockSize - firstBlockRow) * kMapBlockBytes +
            kMapBlockHeaderBytes + static_cast<std::size_t>(cellInBlock) * kMapCellBytes;
        return slot.bytes.data() + offset;
    }

private:
    struct Slot {
        int blockColumn = -1;
        std::vector<std::uint8_t> bytes;
    };

    BinaryFile& source;
    int firstBlockRow;
    std::size_t spanBytes;
    Slot slots[2];
};

// Copies count neighbouring cells of one row, shifting each altitude.
void CopyCells(const std::uint8_t* from, std::uint8_t* to, int count, std::uint8_t shift) {
    for (int cell = 0; cell < count; ++cell) {
        to[0] = from[0];
        to[1] = from[1];
        to[2] = static_cast<std::uint8_t>(from[2] + shift);
        from += kMapCellBytes;
        to += kMapCellBytes;
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

    const int firstDx = DestinationColumn(settings, range.firstX);
    const int lastDx = DestinationColumn(settings, range.lastX);
    const int firstDy = DestinationRow(settings, range.firstY);
    const int lastDy = DestinationRow(settings, range.lastY);
    const int toSourceX = range.firstX - firstDx;
    const int toSourceY = range.firstY - firstDy;
    const auto shift = static_cast<std::uint8_t>(static_cast<unsigned>(settings.offZ) & 0xFFu);

    SourceColumns sourceColumns(source, range.firstY / kBlockSize, range.lastY / kBlockSize);
    std::vector<std::uint8_t> span;

    for (int blockColumn = firstDx / kBlockSize; blockColumn <= lastDx / kBlockSize;
         ++blockColumn) {
        const int lowDx = std::max(firstDx, blockColumn * kBlockSize);
        const int highDx = std::min(lastDx, blockColumn * kBlockSize + kBlockSize - 1);
        // From the first cell to the last cell written in this block column:
        // writing the span back never lengthens the file past a cell the
        // cell-by-cell copy writes, and the bytes in between that lie past the
        // old end read back as zeros, as a gap in the file does.
        const std::int64_t spanStart = CellOffset(lowDx, firstDy);
        const std::int64_t spanEnd = std::int64_t{CellOffset(highDx, lastDy)} + kMapCellBytes;
        const auto spanBytes = static_cast<std::size_t>(spanEnd - spanStart);
        span.resize(spanBytes);
        dest.Seek(spanStart);
        const std::size_t got = dest.Read(span.data(), spanBytes);
        std::memset(span.data() + got, 0, spanBytes - got);

        // A row's cells of this block column come from one source block
        // column, or from two when the offset is not a multiple of 8.
        const int lowX = lowDx + toSourceX;
        const int highX = highDx + toSourceX;
        const int splitX = std::min(highX, lowX - lowX % kBlockSize + kBlockSize - 1);
        const int leftCount = splitX - lowX + 1;
        const int rightCount = highX - splitX;
        for (int dy = firstDy; dy <= lastDy; ++dy) {
            const int y = dy + toSourceY;
            std::uint8_t* to = span.data() + (CellOffset(lowDx, dy) - spanStart);
            CopyCells(sourceColumns.Cell(lowX, y), to, leftCount, shift);
            if (rightCount > 0) {
                CopyCells(sourceColumns.Cell(splitX + 1, y), to + leftCount * kMapCellBytes,
                          rightCount, shift);
            }
        }

        dest.Seek(spanStart);
        dest.Write(span.data(), spanBytes);
    }
}

}  // namespace kestrel
