#include "oracles/map_cell_copy.h"

#include "clientfiles/byte_order.h"
#include "clientfiles/map_file.h"
#include "operations/map_region_copy.h"

namespace kestrel {

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

void CopyMapCellByCell(BinaryFile& source, BinaryFile& dest, const CopySettings& settings) {
    const MapCopyRange range = ClipMapCopy(settings);
    std::uint16_t tileId = 0;
    std::int8_t altitude = 0;
    for (int y = range.firstY; y <= range.lastY; ++y) {
        for (int x = range.firstX; x <= range.lastX; ++x) {
            ReadMapCell(source, x, y, tileId, altitude);
            WriteMapCell(dest, DestinationColumn(settings, x), DestinationRow(settings, y), tileId,
                         ShiftAltitude(altitude, settings.offZ));
        }
    }
}

}  // namespace kestrel
