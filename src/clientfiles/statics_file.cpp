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

}  // namespace kestrel
