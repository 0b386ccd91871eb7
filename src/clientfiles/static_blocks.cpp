#include "clientfiles/static_blocks.h"

#include <algorithm>

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
    // Records that do not lie wholly inside the data are left out.
    const std::uint64_t inside =
        first < data.size() ? (data.size() - first) / kStaticRecordBytes : 0;
    const auto count = static_cast<std::size_t>(std::min(StaticRecordCount(entry.length), inside));
    if (count == 0) {
        return;
    }
    const std::size_t start = records.size();
    records.resize(start + count);
    const std::uint8_t* record = data.data() + first;
    for (std::size_t at = 0; at < count; ++at, record += kStaticRecordBytes) {
        records[start + at] = DecodeStaticRecord(record);
    }
}

}  // namespace kestrel
