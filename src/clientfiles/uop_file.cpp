#include "clientfiles/uop_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <unordered_set>

#include "clientfiles/byte_order.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/lookup3.h"
#include "clientfiles/map_file.h"

namespace kestrel {

namespace {

std::uint64_t LoadU64Le(const std::uint8_t* bytes) {
    return std::uint64_t{LoadU32Le(bytes)} | (std::uint64_t{LoadU32Le(bytes + 4)} << 32);
}

std::string Hex(std::uint64_t value) {
    std::array<char, 19> text{};
    std::snprintf(text.data(), text.size(), "0x%016llX", static_cast<unsigned long long>(value));
    return text.data();
}

[[noreturn]] void Damaged(const std::string& fileName, const std::string& problem) {
    throw ClientFileError(fileName + ": " + problem);
}

constexpr std::uint64_t kFullMapEntryBytes =
    static_cast<std::uint64_t>(kUopMapBlocksPerEntry) * kMapBlockBytes;

}  // namespace

bool HasUopMagic(ByteSource& source) {
    std::array<std::uint8_t, 4> magic{};
    return source.ReadAt(kUopMagicOffset, magic.data(), magic.size()) == magic.size() &&
           LoadU32Le(magic.data()) == kUopMagic;
}

UopTable UopTable::Read(ByteSource& source, const std::string& fileName) {
    const std::uint64_t length = source.Length();
    std::array<std::uint8_t, kUopHeaderFieldBytes> head{};
    if (source.ReadAt(0, head.data(), head.size()) != head.size()) {
        Damaged(fileName, "the UOP header is cut short.");
    }
    if (LoadU32Le(&head[kUopMagicOffset]) != kUopMagic) {
        Damaged(fileName, "not a UOP file (no MYP header).");
    }
    UopTable table;
    table.header.version = LoadU32Le(&head[kUopVersionOffset]);
    table.header.signature = LoadU32Le(&head[kUopSignatureOffset]);
    table.header.firstTable = LoadU64Le(&head[kUopFirstTableOffset]);
    table.header.tableCapacity = LoadU32Le(&head[kUopTableCapacityOffset]);
    table.header.fileCount = LoadU32Le(&head[kUopFileCountOffset]);

    // Entries of real tables never share bytes, so a file of n bytes lists at
    // most n / 34 of them; more means blocks overlap, which would otherwise
    // let a small file make the reading take very long.
    const std::uint64_t entryLimit = length / kUopEntryBytes;
    std::uint64_t listed = 0;
    std::unordered_set<std::uint64_t> visited;
    std::vector<std::uint8_t> records;
    for (std::uint64_t block = table.header.firstTable; block != 0;) {
        if (!visited.insert(block).second) {
            Damaged(fileName,
                    "the UOP table loops back to its block at byte " + std::to_string(block) + ".");
        }
        std::array<std::uint8_t, kUopBlockHeaderBytes> blockHead{};
        if (block > length || length - block < kUopBlockHeaderBytes ||
            source.ReadAt(block, blockHead.data(), blockHead.size()) != blockHead.size()) {
            Damaged(fileName, "the UOP table is cut short at byte " + std::to_string(block) + ".");
        }
        const std::uint32_t count = LoadU32Le(&blockHead[kUopBlockCountOffset]);
        const std::uint64_t next = LoadU64Le(&blockHead[kUopBlockNextOffset]);
        const std::uint64_t first = block + kUopBlockHeaderBytes;
        const std::uint64_t recordBytes = std::uint64_t{count} * kUopEntryBytes;
        if (length - first < recordBytes) {
            Damaged(fileName, "the UOP table is cut short: the block at byte " +
                                  std::to_string(block) + " lists " + std::to_string(count) +
                                  " entries, more than the file holds.");
        }
        listed += count;
        if (listed > entryLimit) {
            Damaged(fileName, "the UOP table lists more entries than the file can hold.");
        }
        records.resize(static_cast<std::size_t>(recordBytes));
        if (source.ReadAt(first, records.data(), records.size()) != records.size()) {
            Damaged(fileName, "the UOP table is cut short at byte " + std::to_string(first) + ".");
        }
        for (std::uint32_t at = 0; at < count; ++at) {
            const std::uint8_t* record = &records[std::size_t{at} * kUopEntryBytes];
            UopEntry entry;
            entry.dataOffset = LoadU64Le(record + kUopEntryDataOffset);
            entry.headerLength = LoadU32Le(record + kUopEntryHeaderLengthOffset);
            entry.compressedSize = LoadU32Le(record + kUopEntryCompressedSizeOffset);
            entry.decompressedSize = LoadU32Le(record + kUopEntryDecompressedSizeOffset);
            entry.hash = LoadU64Le(record + kUopEntryHashOffset);
            entry.adler32 = LoadU32Le(record + kUopEntryAdlerOffset);
            entry.flag = LoadU16Le(record + kUopEntryFlagOffset);
            entry.recordOffset = first + std::uint64_t{at} * kUopEntryBytes;
            if (entry.dataOffset == 0) {
                continue;
            }
            if (entry.dataOffset > length || length - entry.dataOffset < entry.headerLength ||
                length - entry.dataOffset - entry.headerLength < entry.compressedSize) {
                Damaged(fileName, "the UOP entry " + Hex(entry.hash) + " at byte " +
                                      std::to_string(entry.dataOffset) +
                                      " lies past the end of the file.");
            }
            if (!table.byHash.emplace(entry.hash, table.entries.size()).second) {
                Damaged(fileName, "two UOP entries have the name hash " + Hex(entry.hash) + ".");
            }
            table.entries.push_back(entry);
        }
        block = next;
    }
    return table;
}

const UopEntry* UopTable::Find(std::uint64_t hash) const {
    const auto found = byHash.find(hash);
    return found == byHash.end() ? nullptr : &entries[found->second];
}

std::string UopMapEntryName(int mapNumber, std::uint32_t entry) {
    std::array<char, 48> name{};
    std::snprintf(name.data(), name.size(), "build/map%dlegacymul/%08u.dat", mapNumber, entry);
    return name.data();
}

UopMapEntries FindUopMapEntries(const UopTable& table, std::optional<int> preferredNumber,
                                const std::string& fileName) {
    std::optional<int> mapNumber;
    if (preferredNumber && table.Find(UopNameHash(UopMapEntryName(*preferredNumber, 0)))) {
        mapNumber = preferredNumber;
    }
    for (int number = 0; !mapNumber && number <= kUopMaxMapNumber; ++number) {
        if (table.Find(UopNameHash(UopMapEntryName(number, 0)))) {
            mapNumber = number;
        }
    }
    if (!mapNumber) {
        Damaged(fileName, "the UOP file holds no map (no entry build/mapNlegacymul/00000000.dat).");
    }

    UopMapEntries map;
    map.mapNumber = *mapNumber;
    // The map's entries are numbered from 0 without a gap; one past a gap
    // would put its blocks at the wrong place, so it is refused.
    const auto candidates = static_cast<std::uint32_t>(table.Entries().size());
    bool ended = false;
    for (std::uint32_t number = 0; number <= candidates; ++number) {
        const UopEntry* entry = table.Find(UopNameHash(UopMapEntryName(map.mapNumber, number)));
        if (entry == nullptr) {
            ended = true;
            continue;
        }
        if (ended) {
            Damaged(fileName, "the UOP map entry " + std::to_string(number) +
                                  " is there but entry " + std::to_string(map.entries.size()) +
                                  " is missing.");
        }
        if (entry->flag != kUopStored) {
            Damaged(fileName, "the map is stored compressed (entry " + std::to_string(number) +
                                  ", flag " + std::to_string(entry->flag) +
                                  "); only uncompressed maps can be read and written.");
        }
        map.entries.push_back(*entry);
    }
    for (std::size_t at = 0; at < map.entries.size(); ++at) {
        const std::uint64_t size = map.entries[at].compressedSize;
        const bool last = at + 1 == map.entries.size();
        const bool fits = last
                              ? size > 0 && size <= kFullMapEntryBytes && size % kMapBlockBytes == 0
                              : size == kFullMapEntryBytes;
        if (!fits) {
            Damaged(fileName, "the UOP map entry " + std::to_string(at) + " holds " +
                                  std::to_string(size) + " bytes, not " +
                                  (last ? "whole map blocks of 196 bytes" : "4096 map blocks") +
                                  ".");
        }
        map.bytes += size;
    }
    // Entries sharing bytes would change each other when written.
    std::vector<std::size_t> order(map.entries.size());
    for (std::size_t at = 0; at < order.size(); ++at) {
        order[at] = at;
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return map.entries[a].StoredOffset() < map.entries[b].StoredOffset();
    });
    for (std::size_t at = 1; at < order.size(); ++at) {
        const UopEntry& before = map.entries[order[at - 1]];
        if (before.StoredOffset() + before.compressedSize > map.entries[order[at]].StoredOffset()) {
            Damaged(fileName, "the UOP map entries " + std::to_string(order[at - 1]) + " and " +
                                  std::to_string(order[at]) + " share bytes.");
        }
    }
    return map;
}

}  // namespace kestrel
