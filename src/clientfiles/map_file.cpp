#include "clientfiles/map_file.h"

#include "clientfiles/byte_order.h"

namespace kestrel {

std::int32_t CellOffset(int x, int y) {
    const int cellInBlock = (x % kBlockSize) + (y % kBlockSize) * kBlockSize;
    return (x / kBlockSize) * kMapBlockColumnBytes + (y / kBlockSize) * kMapBlockBytes +
           kMapBlockHeaderBytes + cellInBlock * kMapCellBytes;
}

void ReadMapCell(BinaryFile& file, int x, int y, std::uint16_t& tileId, std::int8_t& altitude) {
    file.Seek(CellOffset(x, y));
    std::uint8_t tileBytes[2];
    StoreU16Le(tileBytes, tileId);
    file.Read(tileBytes, sizeof tileBytes);
    tileId = LoadU16Le(tileBytes);
    std::uint8_t altitudeByte = static_cast<std::uint8_t>(altitude);
    file.Read(&altitudeByte, 1);
    altitude = static_cast<std::int8_t>(altitudeByte);
}

void WriteMapCell(BinaryFile& file, int x, int y, std::uint16_t tileId, std::int8_t altitude) {
    file.Seek(CellOffset(x, y));
    std::uint8_t tileBytes[2];
    StoreU16Le(tileBytes, tileId);
    file.Write(tileBytes, sizeof tileBytes);
    const auto altitudeByte = static_cast<std::uint8_t>(altitude);
    file.Write(&altitudeByte, 1);
}

}  // namespace kestrel
