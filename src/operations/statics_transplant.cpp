#include "operations/statics_transplant.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "clientfiles/byte_order.h"
#include "clientfiles/statics_file.h"

namespace kestrel {

namespace {

constexpr std::size_t kEntryBytes = kStaticIndexEntryBytes;
constexpr std::size_t kRecordBytes = kStaticRecordBytes;
// Record layout: u16 tile, u8 x, u8 y, i8 z, u16 hue.
constexpr std::size_t kRecordX = 2;
constexpr std::size_t kRecordY = 3;
constexpr std::size_t kRecordZ = 4;
constexpr std::size_t kEntryLength = 4;  // after the i32 lookup
constexpr std::uint64_t kLargestData = std::numeric_limits<std::int32_t>::max();

// A rectangle of cells, both ends included.
struct Cells {
    std::int64_t minX = 0;
    std::int64_t maxX = -1;
    std::int64_t minY = 0;
    std::int64_t maxY = -1;

    bool IsEmpty() const { return minX > maxX || minY > maxY; }
    bool Contains(std::int64_t x, std::int64_t y) const {
        return x >= minX && x <= maxX && y >= minY && y <= maxY;
    }
    Cells Intersect(const MapGeometry& geometry) const {
        return {std::max<std::int64_t>(minX, 0), std::min<std::int64_t>(maxX, geometry.width - 1),
                std::max<std::int64_t>(minY, 0), std::min<std::int64_t>(maxY, geometry.height - 1)};
    }
    // Whether every cell of block (bx, by) lies inside.
    bool ContainsBlock(int bx, int by) const {
        const std::int64_t left = std::int64_t{bx} * kCellsPerBlockSide;
        const std::int64_t top = std::int64_t{by} * kCellsPerBlockSide;
        return left >= minX && left + kCellsPerBlockSide - 1 <= maxX && top >= minY &&
               top + kCellsPerBlockSide - 1 <= maxY;
    }
    // Whether any cell of block (bx, by) lies inside.
    bool TouchesBlock(int bx, int by) const {
        const std::int64_t left = std::int64_t{bx} * kCellsPerBlockSide;
        const std::int64_t top = std::int64_t{by} * kCellsPerBlockSide;
        return !IsEmpty() && left <= maxX && left + kCellsPerBlockSide - 1 >= minX && top <= maxY &&
               top + kCellsPerBlockSide - 1 >= minY;
    }
};

// The source cells the transplant reads: the rectangle inside the source map.
Cells SourceCells(const TransplantPlacement& placement, const MapGeometry& geometry) {
    return Cells{placement.minX, placement.maxX, placement.minY, placement.maxY}.Intersect(
        geometry);
}

// The records of a block as the index gives them: none, or count records at
// byte position lookup of the data.
struct BlockRecords {
    std::int64_t lookup = 0;
    std::uint64_t count = 0;
};

const std::uint8_t* EntryBytes(const StaticsPairBytes& pair, std::int64_t block) {
    return pair.index.data() + static_cast<std::size_t>(block) * kEntryBytes;
}

bool IsEmptyEntry(const std::uint8_t* entry) {
    return LoadI32Le(entry) == kNoStatics || LoadU32Le(entry + kEntryLength) == 0;
}

std::string BlockText(int bx, int by) {
    return std::to_string(bx) + "," + std::to_string(by);
}

// Checks that the entry of block (bx, by) points at whole records inside the
// data; returns the message for a fault.
std::optional<std::string> CheckEntry(const StaticsPairBytes& pair, int bx, int by) {
    const std::uint8_t* entry = EntryBytes(pair, pair.geometry.BlockNumber(bx, by));
    if (IsEmptyEntry(entry)) {
        return std::nullopt;
    }
    const std::int64_t lookup = LoadI32Le(entry);
    const std::uint32_t length = LoadU32Le(entry + kEntryLength);
    const auto prefix = [&] {
        return "Error: " + pair.indexName + " has a bad entry for block " + BlockText(bx, by) +
               ": ";
    };
    if (length % kRecordBytes != 0) {
        return prefix() + "its length " + std::to_string(length) + " is not a multiple of " +
               std::to_string(kRecordBytes) + "!";
    }
    if (lookup < 0 || static_cast<std::uint64_t>(lookup) + length > pair.data.size()) {
        return prefix() + "its records at bytes " + std::to_string(lookup) + " to " +
               std::to_string(lookup + std::int64_t{length} - 1) + " lie outside " + pair.dataName +
               " (" + std::to_string(pair.data.size()) + " bytes)!";
    }
    return std::nullopt;
}

std::optional<std::string> CheckIndexLength(const StaticsPairBytes& pair) {
    const std::uint64_t needed =
        static_cast<std::uint64_t>(pair.geometry.BlockCount()) * kEntryBytes;
    if (pair.index.size() < needed) {
        return "Error: " + pair.indexName + " is too short for a " +
               std::to_string(pair.geometry.width) + " x " + std::to_string(pair.geometry.height) +
               " map (" + std::to_string(pair.index.size()) + " bytes, " + std::to_string(needed) +
               " needed)!";
    }
    return std::nullopt;
}

BlockRecords RecordsOf(const StaticsPairBytes& pair, std::int64_t block) {
    const std::uint8_t* entry = EntryBytes(pair, block);
    if (IsEmptyEntry(entry)) {
        return {};
    }
    return {LoadI32Le(entry), LoadU32Le(entry + kEntryLength) / kRecordBytes};
}

std::int8_t ShiftedAltitude(std::uint8_t z, int offZ) {
    return static_cast<std::int8_t>(static_cast<std::uint8_t>(
        (static_cast<unsigned>(z) + static_cast<unsigned>(offZ)) & 0xFFu));
}

// Calls visit(record, destinationBlock, x, y) for every source static of the
// rectangle that lands inside the destination, x and y within its block, and
// counts the others in leftOut.
template <class Visit>
void ForEachMovedStatic(const StaticsPairBytes& source, const MapGeometry& destination,
                        const TransplantPlacement& placement, std::uint64_t& leftOut,
                        Visit&& visit) {
    const Cells cells = SourceCells(placement, source.geometry);
    if (cells.IsEmpty()) {
        return;
    }
    const std::int64_t moveX = std::int64_t{placement.offX} - placement.minX;
    const std::int64_t moveY = std::int64_t{placement.offY} - placement.minY;
    const int firstBx = static_cast<int>(cells.minX / kCellsPerBlockSide);
    const int lastBx = static_cast<int>(cells.maxX / kCellsPerBlockSide);
    const int firstBy = static_cast<int>(cells.minY / kCellsPerBlockSide);
    const int lastBy = static_cast<int>(cells.maxY / kCellsPerBlockSide);
    for (int bx = firstBx; bx <= lastBx; ++bx) {
        for (int by = firstBy; by <= lastBy; ++by) {
            const BlockRecords records = RecordsOf(source, source.geometry.BlockNumber(bx, by));
            const std::uint8_t* record =
                source.data.data() + static_cast<std::size_t>(records.lookup);
            for (std::uint64_t k = 0; k < records.count; ++k, record += kRecordBytes) {
                const std::int64_t x = std::int64_t{bx} * kCellsPerBlockSide + record[kRecordX];
                const std::int64_t y = std::int64_t{by} * kCellsPerBlockSide + record[kRecordY];
                if (!cells.Contains(x, y)) {
                    continue;
                }
                const std::int64_t toX = x + moveX;
                const std::int64_t toY = y + moveY;
                if (toX < 0 || toX >= destination.width || toY < 0 || toY >= destination.height) {
                    ++leftOut;
                    continue;
                }
                const std::int64_t block =
                    destination.BlockNumber(static_cast<int>(toX / kCellsPerBlockSide),
                                            static_cast<int>(toY / kCellsPerBlockSide));
                visit(record, block, static_cast<std::uint8_t>(toX % kCellsPerBlockSide),
                      static_cast<std::uint8_t>(toY % kCellsPerBlockSide));
            }
        }
    }
}

// The new statics grouped by destination block, each group in source order:
// block b's records are bytes 7 * first[b] up to 7 * first[b + 1] of records.
struct MovedStatics {
    std::vector<std::uint32_t> first;
    std::unique_ptr<std::uint8_t[]> records;
    std::uint64_t leftOut = 0;

    std::uint64_t Count(std::int64_t block) const {
        const auto at = static_cast<std::size_t>(block);
        return first[at + 1] - first[at];
    }
    const std::uint8_t* Records(std::int64_t block) const {
        return records.get() + std::size_t{first[static_cast<std::size_t>(block)]} * kRecordBytes;
    }
};

// Collects in two walks, one to count the statics of each destination block
// and one to put them in place, so they take no more memory than their bytes.
MovedStatics CollectMovedStatics(const StaticsPairBytes& source, const MapGeometry& destination,
                                 const TransplantPlacement& placement) {
    MovedStatics moved;
    const auto blocks = static_cast<std::size_t>(destination.BlockCount());
    moved.first.assign(blocks + 1, 0);
    ForEachMovedStatic(source, destination, placement, moved.leftOut,
                       [&](const std::uint8_t*, std::int64_t block, std::uint8_t, std::uint8_t) {
                           ++moved.first[static_cast<std::size_t>(block) + 1];
                       });
    for (std::size_t block = 0; block < blocks; ++block) {
        moved.first[block + 1] += moved.first[block];
    }
    moved.records = std::make_unique_for_overwrite<std::uint8_t[]>(
        std::size_t{moved.first[blocks]} * kRecordBytes);
    std::vector<std::uint32_t> next(moved.first.begin(), moved.first.end() - 1);
    std::uint64_t leftOutAgain = 0;
    ForEachMovedStatic(
        source, destination, placement, leftOutAgain,
        [&](const std::uint8_t* record, std::int64_t block, std::uint8_t x, std::uint8_t y) {
            std::uint8_t* to = moved.records.get() +
                               std::size_t{next[static_cast<std::size_t>(block)]++} * kRecordBytes;
            std::memcpy(to, record, kRecordBytes);
            to[kRecordX] = x;
            to[kRecordY] = y;
            to[kRecordZ] =
                static_cast<std::uint8_t>(ShiftedAltitude(record[kRecordZ], placement.offZ));
        });
    return moved;
}

// What identifies a static within its block for the duplicate test: its
// place, graphic, altitude and hue, i.e. all seven bytes.
std::uint64_t StaticKey(const std::uint8_t* record) {
    std::uint64_t key = 0;
    for (std::size_t at = 0; at < kRecordBytes; ++at) {
        key = (key << 8) | record[at];
    }
    return key;
}

// Appends the records of one destination block to out and counts what
// happened to them in summary.
class BlockMerger {
public:
    BlockMerger(const StaticsPairBytes& destination, const MovedStatics& moved, const Cells& target,
                StaticsMode mode)
        : destination(destination), moved(moved), target(target), mode(mode) {}

    void Merge(int bx, int by, std::vector<std::uint8_t>& out, StaticsTransplantSummary& summary) {
        const std::int64_t block = destination.geometry.BlockNumber(bx, by);
        const BlockRecords old = RecordsOf(destination, block);
        const std::uint8_t* oldRecords =
            destination.data.data() + static_cast<std::size_t>(old.lookup);
        const std::uint8_t* oldEnd = oldRecords + old.count * kRecordBytes;
        if (mode == StaticsMode::Add || !target.TouchesBlock(bx, by)) {
            out.insert(out.end(), oldRecords, oldEnd);
        } else if (target.ContainsBlock(bx, by)) {
            summary.removed += old.count;
        } else {
            for (const std::uint8_t* record = oldRecords; record != oldEnd;
                 record += kRecordBytes) {
                if (target.Contains(std::int64_t{bx} * kCellsPerBlockSide + record[kRecordX],
                                    std::int64_t{by} * kCellsPerBlockSide + record[kRecordY])) {
                    ++summary.removed;
                } else {
                    out.insert(out.end(), record, record + kRecordBytes);
                }
            }
        }
        const std::uint64_t newCount = moved.Count(block);
        const std::uint8_t* newRecords = moved.Records(block);
        const std::uint8_t* newEnd = newRecords + newCount * kRecordBytes;
        if (mode == StaticsMode::Replace || old.count == 0) {
            out.insert(out.end(), newRecords, newEnd);
            summary.moved += newCount;
            return;
        }
        keys.clear();
        for (const std::uint8_t* record = oldRecords; record != oldEnd; record += kRecordBytes) {
            keys.push_back(StaticKey(record));
        }
        std::sort(keys.begin(), keys.end());
        for (const std::uint8_t* record = newRecords; record != newEnd; record += kRecordBytes) {
            if (std::binary_search(keys.begin(), keys.end(), StaticKey(record))) {
                ++summary.duplicatesSkipped;
            } else {
                out.insert(out.end(), record, record + kRecordBytes);
                ++summary.moved;
            }
        }
    }

    // Whether the block's records may change; the others are copied as they are.
    bool Changes(int bx, int by) const {
        return moved.Count(destination.geometry.BlockNumber(bx, by)) > 0 ||
               (mode == StaticsMode::Replace && target.TouchesBlock(bx, by));
    }

private:
    const StaticsPairBytes& destination;
    const MovedStatics& moved;
    const Cells target;
    const StaticsMode mode;
    std::vector<std::uint64_t> keys;
};

// Appends the new records of every destination block to buffer in
// block-number order, calling afterBlock(block, start) after each with the
// position in buffer where the block's records start.
template <class AfterBlock>
void LayOutBlocks(const StaticsPairBytes& destination, BlockMerger& merger,
                  std::vector<std::uint8_t>& buffer, StaticsTransplantSummary& summary,
                  AfterBlock&& afterBlock) {
    const MapGeometry& geometry = destination.geometry;
    for (int bx = 0; bx < geometry.BlockColumns(); ++bx) {
        for (int by = 0; by < geometry.BlockRows(); ++by) {
            const std::int64_t block = geometry.BlockNumber(bx, by);
            const std::size_t start = buffer.size();
            if (merger.Changes(bx, by)) {
                merger.Merge(bx, by, buffer, summary);
            } else {
                const BlockRecords old = RecordsOf(destination, block);
                const std::uint8_t* records =
                    destination.data.data() + static_cast<std::size_t>(old.lookup);
                buffer.insert(buffer.end(), records, records + old.count * kRecordBytes);
            }
            afterBlock(block, start);
        }
    }
}

}  // namespace

std::optional<std::string> CheckDestinationStatics(const StaticsPairBytes& destination) {
    if (std::optional<std::string> fault = CheckIndexLength(destination)) {
        return fault;
    }
    const MapGeometry& geometry = destination.geometry;
    for (int bx = 0; bx < geometry.BlockColumns(); ++bx) {
        for (int by = 0; by < geometry.BlockRows(); ++by) {
            if (std::optional<std::string> fault = CheckEntry(destination, bx, by)) {
                return fault;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> CheckSourceStatics(const StaticsPairBytes& source,
                                              const TransplantPlacement& placement) {
    if (std::optional<std::string> fault = CheckIndexLength(source)) {
        return fault;
    }
    const Cells cells = SourceCells(placement, source.geometry);
    if (cells.IsEmpty()) {
        return std::nullopt;
    }
    for (auto bx = cells.minX / kCellsPerBlockSide; bx <= cells.maxX / kCellsPerBlockSide; ++bx) {
        for (auto by = cells.minY / kCellsPerBlockSide; by <= cells.maxY / kCellsPerBlockSide;
             ++by) {
            if (std::optional<std::string> fault =
                    CheckEntry(source, static_cast<int>(bx), static_cast<int>(by))) {
                return fault;
            }
        }
    }
    return std::nullopt;
}

StaticsTransplantResult TransplantStatics(const StaticsPairBytes& source,
                                          const StaticsPairBytes& destination,
                                          const TransplantPlacement& placement, StaticsMode mode,
                                          const StaticsDataWriter& writeData,
                                          std::size_t pieceBytes) {
    if (std::optional<std::string> fault = CheckSourceStatics(source, placement)) {
        throw StaticsTransplantError(*fault);
    }
    if (std::optional<std::string> fault = CheckDestinationStatics(destination)) {
        throw StaticsTransplantError(*fault);
    }
    const MapGeometry& geometry = destination.geometry;
    MovedStatics moved = CollectMovedStatics(source, geometry, placement);

    const Cells sourceCells = SourceCells(placement, source.geometry);
    const std::int64_t moveX = std::int64_t{placement.offX} - placement.minX;
    const std::int64_t moveY = std::int64_t{placement.offY} - placement.minY;
    const Cells target = sourceCells.IsEmpty()
                             ? Cells{}
                             : Cells{sourceCells.minX + moveX, sourceCells.maxX + moveX,
                                     sourceCells.minY + moveY, sourceCells.maxY + moveY}
                                   .Intersect(geometry);
    BlockMerger merger(destination, moved, target, mode);

    // The data can take no more than the destination's statics and the new
    // ones; only when that could pass what a lookup reaches is it worked out.
    std::uint64_t mostBytes = std::uint64_t{moved.first.back()} * kRecordBytes;
    for (std::int64_t block = 0; block < geometry.BlockCount(); ++block) {
        mostBytes += RecordsOf(destination, block).count * kRecordBytes;
    }
    std::vector<std::uint8_t> buffer;
    if (mostBytes > kLargestData) {
        std::uint64_t dataBytes = 0;
        StaticsTransplantSummary unused;
        LayOutBlocks(destination, merger, buffer, unused, [&](std::int64_t, std::size_t) {
            dataBytes += buffer.size();
            buffer.clear();
        });
        if (dataBytes > kLargestData) {
            throw StaticsTransplantError("Error: " + destination.dataName + " would grow to " +
                                         std::to_string(dataBytes) +
                                         " bytes, more than its index can point into!");
        }
    }

    StaticsTransplantResult result;
    result.index.assign(destination.index.begin(), destination.index.end());
    buffer.reserve(pieceBytes);
    std::uint64_t written = 0;
    LayOutBlocks(destination, merger, buffer, result.summary,
                 [&](std::int64_t block, std::size_t start) {
                     std::uint8_t* entry =
                         result.index.data() + static_cast<std::size_t>(block) * kEntryBytes;
                     const std::size_t length = buffer.size() - start;
                     if (length > 0) {
                         StoreU32Le(entry, static_cast<std::uint32_t>(written + start));
                         StoreU32Le(entry + kEntryLength, static_cast<std::uint32_t>(length));
                     } else if (LoadI32Le(entry) != kNoStatics) {
                         StoreU32Le(entry, static_cast<std::uint32_t>(kNoStatics));
                         StoreU32Le(entry + kEntryLength, 0);
                     }
                     if (buffer.size() >= pieceBytes) {
                         writeData(written, buffer);
                         written += buffer.size();
                         buffer.clear();
                     }
                 });
    if (!buffer.empty()) {
        writeData(written, buffer);
        written += buffer.size();
    }
    result.dataLength = written;
    result.summary.leftOut = moved.leftOut;
    return result;
}

ByteRange ChangedBytes(std::span<const std::uint8_t> before, std::span<const std::uint8_t> after) {
    const std::size_t common = std::min(before.size(), after.size());
    const auto first = static_cast<std::size_t>(
        std::mismatch(after.begin(), after.begin() + static_cast<std::ptrdiff_t>(common),
                      before.begin())
            .first -
        after.begin());
    if (first == after.size()) {
        return {};
    }
    std::size_t end = after.size();
    if (end <= before.size()) {
        // The last difference, found from the end; there is one at or after first.
        const auto afterTail = after.subspan(first);
        const auto beforeTail = before.subspan(first, afterTail.size());
        end -= static_cast<std::size_t>(
            std::mismatch(afterTail.rbegin(), afterTail.rend(), beforeTail.rbegin()).first -
            afterTail.rbegin());
    }
    return {first, end - first};
}

}  // namespace kestrel
