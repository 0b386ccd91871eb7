#include "clientfiles/map_file.h"

namespace kestrel {

std::int32_t CellOffset(int x, int y) {
    const int cellInBlock = (x % kBlockSize) + (y % kBlockSize) * kBlockSize;
    return (x / kBlockSize) * kMapBlockColumnBytes + (y / kBlockSize) * kMapBlockBytes +
           kMapBlockHeaderBytes + cellInBlock * kMapCellBytes;
}

}  // namespace kestrel
