#include "clientfiles/map_cells.h"

#include <algorithm>

#include "clientfiles/byte_order.h"
#include "clientfiles/map_file.h"

namespace kestrel {

void MulMapCells::ReadRow(int x, int y, int count, MapCell* cells) const {
    const int by = y / kCellsPerBlockSide;
    const std::size_t rowInBlock = static_cast<std::size_t>(y % kCellsPerBlockSide);
    const std::uint8_t* data = bytes.data();
    const std::size_t size = bytes.size();
    int done = 0;
    while (done < count) {
        const int column = x + done;
        const int bx = column / kCellsPerBlockSide;
        const int first = column % kCellsPerBlockSide;
        const int run = std::min(kCellsPerBlockSide - first, count - done);
        const std::size_t blockStart =
            static_cast<std::size_t>(geometry.BlockNumber(bx, by)) * kMapBlockBytes;
        const std::size_t rowStart =
            blockStart + kMapBlockHeaderBytes +
            (rowInBlock * kCellsPerBlockSide + static_cast<std::size_t>(first)) * kMapCellBytes;
        MapCell* out = cells + done;
        if (rowStart + static_cast<std::size_t>(run) * kMapCellBytes <= size) {
            const std::uint8_t* cell = data + rowStart;
            for (int at = 0; at < run; ++at, cell += kMapCellBytes) {
                out[at].tileId = LoadU16Le(cell);
                out[at].altitude = static_cast<std::int8_t>(cell[2]);
            }
        } else {
            for (int at = 0; at < run; ++at) {
                const std::size_t offset = rowStart + static_cast<std::size_t>(at) * kMapCellBytes;
                out[at] = offset + kMapCellBytes <= size
                              ? MapCell{LoadU16Le(data + offset),
                                        static_cast<std::int8_t>(data[offset + 2])}
                              : MapCell{};
            }
        }
        done += run;
    }
}

}  // namespace kestrel
