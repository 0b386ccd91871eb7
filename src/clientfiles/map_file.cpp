#include "clientfiles/map_file.h"

namespace kestrel {

std::int32_t CellOffset(int x, int y) {
    const int cellInBlock = (x % kBlockSize) + (y % kBlockSize) * kBlockSize;
    return (x / kBlockSize) * kMapBlockColumnBytes + (y / kBlockSize) * kMapBlockBytes +
           kMapBlockHeaderBytes + cellInBlock * kMapCellBytes;
}

std::int64_t CellOffset(const MapGeometry& geometry, int x, int y) {
    const std::int64_t block = geometry.BlockNumber(x / kBlockSize, y / kBlockSize);
    return block * kMapBlockBytes + kMapBlockHeaderBytes +
           std::int64_t{(x % kBlockSize) + (y % kBlockSize) * kBlockSize} * kMapCellBytes;
}

}  // namespace kestrel
