#include "oracles/statics_record_export.h"

#include "clientfiles/byte_order.h"
#include "operations/statics_export.h"
#include "oracles/world_item_writer.h"

namespace kestrel {

void ReadStaticIndexEntry(BinaryFile& index, int bx, int by, StaticIndexEntry& entry) {
    index.Seek(StaticIndexOffset(bx, by));
    // Start from the entry's present bytes so that a short read leaves the
    // fields it does not reach as they were.
    std::uint8_t bytes[kStaticIndexEntryBytes];
    StoreU32Le(bytes, static_cast<std::uint32_t>(entry.lookup));
    StoreU32Le(bytes + 4, entry.length);
    StoreU32Le(bytes + 8, entry.extra);
    index.Read(bytes, sizeof bytes);
    entry = DecodeStaticIndexEntry(bytes);
}

void ReadStaticRecord(BinaryFile& data, std::int64_t position, StaticRecord& record) {
    data.Seek(position);
    std::uint8_t tileBytes[2];
    StoreU16Le(tileBytes, record.tileId);
    data.Read(tileBytes, 2);
    record.tileId = LoadU16Le(tileBytes);
    data.Read(&record.x, 1);
    data.Read(&record.y, 1);
    auto zByte = static_cast<std::uint8_t>(record.z);
    data.Read(&zByte, 1);
    record.z = static_cast<std::int8_t>(zByte);
    std::uint8_t hueBytes[2];
    StoreU16Le(hueBytes, record.hue);
    data.Read(hueBytes, 2);
    record.hue = LoadU16Le(hueBytes);
}

void ExportStaticsRecordByRecord(BinaryFile& index, BinaryFile& data, BinaryFile& items,
                                 const CopySettings& settings) {
    const StaticsBlockRange blocks = VisitedBlocks(settings);
    std::uint32_t itemNumber = 0;
    StaticIndexEntry entry;
    StaticRecord record;
    for (int by = blocks.firstBy; by <= blocks.lastBy; ++by) {
        const int baseY = by * kBlockSize;
        for (int bx = blocks.firstBx; bx <= blocks.lastBx; ++bx) {
            const int baseX = bx * kBlockSize;
            ReadStaticIndexEntry(index, bx, by, entry);
            for (std::uint64_t k = 0; k < StaticRecordCount(entry.length); ++k) {
                ReadStaticRecord(data,
                                 std::int64_t{entry.lookup} + std::int64_t(k) * kStaticRecordBytes,
                                 record);
                const int column = baseX + record.x;
                const int row = baseY + record.y;
                if (column < settings.minX || column > settings.maxX || row < settings.minY ||
                    row > settings.maxY) {
                    continue;
                }
                WriteWorldItem(items, DestinationColumn(settings, column),
                               DestinationRow(settings, row), settings.offZ + record.z,
                               record.tileId, record.hue, static_cast<int>(itemNumber),
                               settings.firstSerial);
                ++itemNumber;
            }
        }
    }
}

}  // namespace kestrel
