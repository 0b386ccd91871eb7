#pragma once

// The statics index staidx0.mul (one 12-byte entry per map block, in block
// number order) and the statics data statics0.mul (7-byte item records). No
// headers; all values little-endian. Both files are only read.

#include <cstdint>

#include "clientfiles/byte_order.h"
#include "clientfiles/world_geometry.h"

namespace kestrel {

inline constexpr std::int32_t kStaticIndexEntryBytes = 12;
inline constexpr std::int32_t kStaticRecordBytes = 7;
inline constexpr std::int32_t kNoStatics = -1;  // lookup of a block without statics

// One entry of the statics index.
struct StaticIndexEntry {
    std::int32_t lookup = 0;   // byte position of the block's first record, or -1
    std::uint32_t length = 0;  // bytes the block's records take
    std::uint32_t extra = 0;   // unused
};

// One item record of the statics data. The item stands at cell
// (8 * bx + x, 8 * by + y) of its block (bx, by); x and y may exceed 7.
struct StaticRecord {
    std::uint16_t tileId = 0;
    std::uint8_t x = 0;
    std::uint8_t y = 0;
    std::int8_t z = 0;
    std::uint16_t hue = 0;
};

// Byte position of the index entry of block (bx, by).
inline constexpr std::int32_t StaticIndexOffset(int bx, int by) {
    return BlockNumber(bx, by) * kStaticIndexEntryBytes;
}

// Number of records of a block: one for every k with 7 * k < length.
inline constexpr std::uint64_t StaticRecordCount(std::uint32_t length) {
    return (std::uint64_t{length} + kStaticRecordBytes - 1) / kStaticRecordBytes;
}

// Decodes an entry (a lookup of -1 sets length to 0) or a record from its
// on-disk bytes. Inline: drawing a map decodes every record of the map.
inline StaticIndexEntry DecodeStaticIndexEntry(const std::uint8_t* bytes) {
    StaticIndexEntry entry;
    entry.lookup = LoadI32Le(bytes);
    entry.length = LoadU32Le(bytes + 4);
    entry.extra = LoadU32Le(bytes + 8);
    if (entry.lookup == kNoStatics) {
        entry.length = 0;
    }
    return entry;
}

inline StaticRecord DecodeStaticRecord(const std::uint8_t* bytes) {
    StaticRecord record;
    record.tileId = LoadU16Le(bytes);
    record.x = bytes[2];
    record.y = bytes[3];
    record.z = static_cast<std::int8_t>(bytes[4]);
    record.hue = LoadU16Le(bytes + 5);
    return record;
}

}  // namespace kestrel
