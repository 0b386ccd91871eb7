#include "clientfiles/statics_file.h"

#include "clientfiles/byte_order.h"

namespace kestrel {

StaticIndexEntry DecodeStaticIndexEntry(const std::uint8_t* bytes) {
    StaticIndexEntry entry;
    entry.lookup = LoadI32Le(bytes);
    entry.length = LoadU32Le(bytes + 4);
    entry.extra = LoadU32Le(bytes + 8);
    if (entry.lookup == kNoStatics) {
        entry.length = 0;
    }
    return entry;
}

StaticRecord DecodeStaticRecord(const std::uint8_t* bytes) {
    StaticRecord record;
    record.tileId = LoadU16Le(bytes);
    record.x = bytes[2];
    record.y = bytes[3];
    record.z = static_cast<std::int8_t>(bytes[4]);
    record.hue = LoadU16Le(bytes + 5);
    return record;
}

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

}  // namespace kestrel
