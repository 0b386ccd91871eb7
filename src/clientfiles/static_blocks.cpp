#include "clientfiles/static_blocks.h"

namespace kestrel {

void MulStaticBlocks::ReadBlock(int bx, int by, std::vector<StaticRecord>& records) const {
    const std::uint64_t entryOffset =
        static_cast<std::uint64_t>(geometry.BlockNumber(bx, by)) * kStaticIndexEntryBytes;
    if (entryOffset + kStaticIndexEntryBytes > index.size()) {
        return;
    }
    const StaticIndexEntry entry = DecodeStaticIndexEntry(index.data() + entryOffset);
    if (entry.lookup < 0) {
        return;
    }
    const std::uint64_t first = static_cast<std::uint64_t>(entry.lookup);
    const std::uint64_t count = StaticRecordCount(entry.length);
    for (std::uint64_t at = 0; at < count; ++at) {
        const std::uint64_t offset = first + at * kStaticRecordBytes;
        if (offset + kStaticRecordBytes > data.size()) {
            break;
        }
        records.push_back(DecodeStaticRecord(data.data() + offset));
    }
}

}  // namespace kestrel
