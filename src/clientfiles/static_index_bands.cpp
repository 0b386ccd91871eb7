#include "clientfiles/static_index_bands.h"

#include <algorithm>
#include <cstring>

#include "clientfiles/byte_order.h"

namespace kestrel {

namespace {

constexpr std::size_t kBandBytes = std::size_t{1} << 20;

}  // namespace

StaticIndexBands::StaticIndexBands(BinaryFile& index, int firstBx, int lastBx, int firstBy,
                                   int lastBy)
    : index(index), firstBx(firstBx), lastBy(lastBy) {
    const auto columns = static_cast<std::size_t>(std::max(1, lastBx - firstBx + 1));
    const auto rows = static_cast<std::size_t>(std::max(1, lastBy - firstBy + 1));
    const std::size_t fitting = kBandBytes / (columns * kStaticIndexEntryBytes);
    bandRows = static_cast<int>(std::clamp<std::size_t>(fitting, 1, rows));
    bytes.resize(columns * static_cast<std::size_t>(bandRows) * kStaticIndexEntryBytes);
    delivered.resize(columns);
}

void StaticIndexBands::LoadBand(int by) {
    bandFirst = by;
    bandLast = std::min(lastBy, by + bandRows - 1);
    const std::size_t columnBytes = static_cast<std::size_t>(bandRows) * kStaticIndexEntryBytes;
    const std::size_t wanted =
        static_cast<std::size_t>(bandLast - bandFirst + 1) * kStaticIndexEntryBytes;
    for (std::size_t column = 0; column < delivered.size(); ++column) {
        index.Seek(StaticIndexOffset(firstBx + static_cast<int>(column), bandFirst));
        delivered[column] = index.Read(bytes.data() + column * columnBytes, wanted);
    }
}

void StaticIndexBands::Read(int bx, int by, StaticIndexEntry& entry) {
    if (by < bandFirst || by > bandLast) {
        LoadBand(by);
    }
    const auto column = static_cast<std::size_t>(bx - firstBx);
    const std::size_t at = static_cast<std::size_t>(by - bandFirst) * kStaticIndexEntryBytes;
    const std::size_t got = delivered[column] > at ? std::min<std::size_t>(delivered[column] - at,
                                                                           kStaticIndexEntryBytes)
                                                   : 0;
    std::uint8_t entryBytes[kStaticIndexEntryBytes];
    StoreU32Le(entryBytes, static_cast<std::uint32_t>(entry.lookup));
    StoreU32Le(entryBytes + 4, entry.length);
    StoreU32Le(entryBytes + 8, entry.extra);
    std::memcpy(
        entryBytes,
        bytes.data() + column * static_cast<std::size_t>(bandRows) * kStaticIndexEntryBytes + at,
        got);
    entry = DecodeStaticIndexEntry(entryBytes);
}

const std::uint8_t* StaticIndexBands::Peek(int bx, int by) const {
    if (by < bandFirst || by > bandLast || bx < firstBx ||
        bx - firstBx >= static_cast<int>(delivered.size())) {
        return nullptr;
    }
    const auto column = static_cast<std::size_t>(bx - firstBx);
    const std::size_t at = static_cast<std::size_t>(by - bandFirst) * kStaticIndexEntryBytes;
    if (delivered[column] < at + kStaticIndexEntryBytes) {
        return nullptr;
    }
    return bytes.data() + column * static_cast<std::size_t>(bandRows) * kStaticIndexEntryBytes + at;
}

}  // namespace kestrel
