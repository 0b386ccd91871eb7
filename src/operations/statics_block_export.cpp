#include "operations/statics_block_export.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "clientfiles/byte_order.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/static_index_bands.h"
#include "clientfiles/statics_file.h"
#include "operations/item_script_buffer.h"
#include "operations/statics_export.h"

namespace kestrel {

namespace {

// Memory for the read-ahead windows of all block columns together, and the
// limits of one window.
constexpr std::size_t kWindowBudget = std::size_t{8} << 20;
constexpr std::size_t kSmallestWindow = std::size_t{4} << 10;
constexpr std::size_t kLargestWindow = std::size_t{256} << 10;
// The least a window reads ahead after its reads stopped paying off.
constexpr std::size_t kSmallestReadAhead = 512;
// The piece in which a block larger than its window is read: whole records.
constexpr std::size_t kChunkBytes = std::size_t{kStaticRecordBytes} * 8192;

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// How many blocks ahead of the walk the records are asked for.
constexpr int kPrefetchDistance = 4;

// The records of the visited blocks. Statics data is usually stored in block
// number order, so the records of the blocks down one block column follow one
// another in the file; each block column of the rectangle keeps a window that
// reads ahead from the last block it fetched. Where the layout gives no such
// run, the read-ahead shrinks to the block itself.
class BlockRecords {
public:
    BlockRecords(BinaryFile& data, std::size_t columns)
        : data(data),
          windowBytes(std::clamp(kWindowBudget / std::max<std::size_t>(columns, 1), kSmallestWindow,
                                 kLargestWindow)),
          arena(AllocateArena(columns * windowBytes)),
          windows(columns) {
        for (std::size_t column = 0; column < columns; ++column) {
            windows[column].bytes = arena.get() + column * windowBytes;
        }
    }

    // Calls visit(records, count) for the records of a block of the given
    // block column (counted from the rectangle's first), in file order, in one
    // or more runs of whole 7-byte records.
    template <class Visit>
    void ForEach(std::size_t column, const StaticIndexEntry& entry, Visit&& visit) {
        if (entry.length == 0) {
            return;
        }
        const std::uint64_t total = StaticRecordCount(entry.length) * kStaticRecordBytes;
        if (total <= windowBytes) {
            const std::uint8_t* records = Fetch(windows[column], entry.lookup, total);
            visit(records, static_cast<std::size_t>(total) / kStaticRecordBytes);
            return;
        }
        if (!chunk) {
            chunk = std::make_unique_for_overwrite<std::uint8_t[]>(kChunkBytes);
        }
        for (std::uint64_t offset = 0; offset < total; offset += kChunkBytes) {
            const auto size =
                static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, total - offset));
            data.Seek(std::int64_t{entry.lookup} + static_cast<std::int64_t>(offset));
            data.Read(chunk.get(), size);
            visit(chunk.get(), size / kStaticRecordBytes);
        }
    }

    // Asks the processor to start loading the records of a block of the given
    // block column, when its window holds them; reads nothing from the file.
    void Prefetch(std::size_t column, std::int32_t lookup, std::uint32_t length) const {
        const Window& window = windows[column];
        if (length == 0 || window.valid == 0 || lookup < window.start ||
            static_cast<std::uint64_t>(lookup - window.start) + length > window.valid) {
            return;
        }
        const std::uint8_t* records = window.bytes + (lookup - window.start);
        __builtin_prefetch(records);
        __builtin_prefetch(records + length - 1);
    }

private:
    struct FreeMemory {
        void operator()(std::uint8_t* memory) const { std::free(memory); }
    };
    using Arena = std::unique_ptr<std::uint8_t, FreeMemory>;

    // One allocation for all windows, in huge pages where the system grants
    // them: the walk touches every window in turn, and with small pages each
    // block would cost a miss in the address translation cache.
    static Arena AllocateArena(std::size_t bytes) {
        const std::size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* memory = std::aligned_alloc(kHugePage, size);
        if (memory == nullptr) {
            throw std::bad_alloc();
        }
        ::madvise(memory, size, MADV_HUGEPAGE);  // only advice: failure changes nothing
        return Arena(static_cast<std::uint8_t*>(memory));
    }

    struct Window {
        std::uint8_t* bytes = nullptr;
        std::int64_t start = 0;  // file position of bytes[0]
        std::size_t valid = 0;   // bytes read from the file
        std::size_t readAhead = 0;
        std::size_t served = 0;  // blocks served since the last read
    };

    // The total bytes of records at lookup, from the window or read into it.
    const std::uint8_t* Fetch(Window& window, std::int64_t lookup, std::uint64_t total) {
        const bool held = window.valid > 0 && lookup >= window.start &&
                          static_cast<std::uint64_t>(lookup - window.start) + total <= window.valid;
        if (held) {
            ++window.served;
            return window.bytes + (lookup - window.start);
        }
        if (window.readAhead == 0) {
            window.readAhead = windowBytes;
        } else if (window.served > 1) {
            window.readAhead = std::min(windowBytes, window.readAhead * 2);
        } else {
            window.readAhead = std::max(kSmallestReadAhead, window.readAhead / 2);
        }
        const auto size = std::max(window.readAhead, static_cast<std::size_t>(total));
        // The read-ahead may reach past the end of the data file; the block's
        // own records lie inside it.
        data.Seek(lookup);
        window.valid = data.Read(window.bytes, size);
        window.start = lookup;
        window.served = 1;
        return window.bytes;
    }

    BinaryFile& data;
    std::size_t windowBytes;
    Arena arena;
    std::vector<Window> windows;
    std::unique_ptr<std::uint8_t[]> chunk;
};

}  // namespace

void ExportStaticsByBlock(BinaryFile& index, BinaryFile& data, BinaryFile& items,
                          const CopySettings& settings) {
    ExportStaticsByBlockIn(index, data, items, settings, kClassicGeometry);
}

void ExportStaticsByBlockIn(BinaryFile& index, BinaryFile& data, BinaryFile& items,
                            const CopySettings& settings, const MapGeometry& geometry) {
    const StaticsBlockRange blocks = VisitedBlocks(settings);
    if (blocks.IsEmpty()) {
        return;
    }
    StaticIndexBands entries(index, blocks.firstBx, blocks.lastBx, blocks.firstBy, blocks.lastBy,
                             geometry);
    BlockRecords records(data, static_cast<std::size_t>(blocks.lastBx - blocks.firstBx + 1));
    ItemScriptBuffer script(items, ItemScriptBuffer::kDefaultCapacity, settings.firstSerial);
    std::uint32_t itemNumber = 0;
    try {
        for (int by = blocks.firstBy; by <= blocks.lastBy; ++by) {
            const int baseY = by * kBlockSize;
            for (int bx = blocks.firstBx; bx <= blocks.lastBx; ++bx) {
                const int baseX = bx * kBlockSize;
                // The records of each block lie in a different window; asking
                // for a block a few steps ahead hides the wait for memory.
                if (const std::uint8_t* ahead = entries.Peek(bx + kPrefetchDistance, by)) {
                    records.Prefetch(
                        static_cast<std::size_t>(bx + kPrefetchDistance - blocks.firstBx),
                        LoadI32Le(ahead), LoadU32Le(ahead + 4));
                }
                records.ForEach(static_cast<std::size_t>(bx - blocks.firstBx),
                                entries.Read(bx, by),
                                [&](const std::uint8_t* bytes, std::size_t count) {
                                    for (std::size_t k = 0; k < count; ++k) {
                                        const std::uint8_t* record = bytes + k * kStaticRecordBytes;
                                        const int column = baseX + record[2];
                                        const int row = baseY + record[3];
                                        if (column < settings.minX || column > settings.maxX ||
                                            row < settings.minY || row > settings.maxY) {
                                            continue;
                                        }
                                        script.Append(
                                            DestinationColumn(settings, column),
                                            DestinationRow(settings, row),
                                            settings.offZ + static_cast<std::int8_t>(record[4]),
                                            LoadU16Le(record), LoadU16Le(record + 5),
                                            static_cast<int>(itemNumber));
                                        ++itemNumber;
                                    }
                                });
            }
        }
    } catch (...) {
        // The sections found before the failure belong in the file, as they
        // would be had each been written at once. A write that failed has
        // emptied the buffer, so nothing goes out twice.
        try {
            script.Flush();
        } catch (const FileException&) {
            // The first failure is the one to report.
        }
        throw;
    }
    script.Flush();
}

}  // namespace kestrel
