#pragma once

// The UOP container of current clients (mapNLegacyMUL.uop and others): a
// header, a chain of table blocks listing the entries, and the entries' data.
// All values little-endian. Entries are known by the hash of their name
// (lookup3, see UopNameHash), never by their place in the table.
//
//   header:      u32 magic, u32 version, u32 signature, u64 offset of the
//                first table block, u32 table capacity, u32 file count, ...
//   table block: u32 entry count, u64 offset of the next block (0 = last),
//                then the entries of 34 bytes:
//   entry:       u64 data offset, u32 header length, u32 compressed size,
//                u32 decompressed size, u64 name hash, u32 Adler-32, u16 flag
//
// An entry's stored bytes (compressed size of them) follow its data header of
// header length bytes at its data offset; the Adler-32 is of the stored bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "clientfiles/byte_source.h"

namespace kestrel {

inline constexpr std::uint32_t kUopMagic = 0x0050594D;  // "MYP\0"

inline constexpr std::uint64_t kUopMagicOffset = 0;
inline constexpr std::uint64_t kUopVersionOffset = 4;
inline constexpr std::uint64_t kUopSignatureOffset = 8;
inline constexpr std::uint64_t kUopFirstTableOffset = 12;
inline constexpr std::uint64_t kUopTableCapacityOffset = 20;
inline constexpr std::uint64_t kUopFileCountOffset = 24;
inline constexpr std::size_t kUopHeaderFieldBytes = 28;  // the fields above; files pad further

inline constexpr std::uint64_t kUopBlockCountOffset = 0;
inline constexpr std::uint64_t kUopBlockNextOffset = 4;
inline constexpr std::size_t kUopBlockHeaderBytes = 12;

inline constexpr std::uint64_t kUopEntryDataOffset = 0;
inline constexpr std::uint64_t kUopEntryHeaderLengthOffset = 8;
inline constexpr std::uint64_t kUopEntryCompressedSizeOffset = 12;
inline constexpr std::uint64_t kUopEntryDecompressedSizeOffset = 16;
inline constexpr std::uint64_t kUopEntryHashOffset = 20;
inline constexpr std::uint64_t kUopEntryAdlerOffset = 28;
inline constexpr std::uint64_t kUopEntryFlagOffset = 32;
inline constexpr std::size_t kUopEntryBytes = 34;

// Entry flags: how the stored bytes are compressed.
inline constexpr std::uint16_t kUopStored = 0;
inline constexpr std::uint16_t kUopZlib = 1;

// Each map entry holds this many consecutive 196-byte map blocks (the last
// entry possibly fewer): block n lies in entry n >> 12 at (n & 4095) * 196.
inline constexpr int kUopMapBlocksPerEntryShift = 12;
inline constexpr std::int64_t kUopMapBlocksPerEntry = std::int64_t{1} << kUopMapBlocksPerEntryShift;

struct UopHeader {
    std::uint32_t version = 0;
    std::uint32_t signature = 0;
    std::uint64_t firstTable = 0;
    std::uint32_t tableCapacity = 0;
    std::uint32_t fileCount = 0;
};

struct UopEntry {
    std::uint64_t dataOffset = 0;
    std::uint32_t headerLength = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t decompressedSize = 0;
    std::uint64_t hash = 0;
    std::uint32_t adler32 = 0;
    std::uint16_t flag = kUopStored;
    std::uint64_t recordOffset = 0;  // file offset of this entry's 34-byte record

    // File offset of the first stored byte.
    std::uint64_t StoredOffset() const { return dataOffset + headerLength; }
};

// The table of a UOP file as read from it.
class UopTable {
public:
    // Reads the header and the chain of table blocks of source, whose name
    // (for messages) is fileName. Entries with data offset 0 are skipped.
    // Throws ClientFileError naming fileName when the file is not a UOP file
    // (no magic), the header or a table block is cut short, the chain of
    // blocks loops or lists more entries than the file can hold, an entry's
    // stored bytes lie past the end of the file, or two entries share a name
    // hash; FileException when reading fails.
    static UopTable Read(ByteSource& source, const std::string& fileName);

    const UopHeader& Header() const { return header; }
    // The entries with data, in table order.
    const std::vector<UopEntry>& Entries() const { return entries; }
    // The entry of a name hash, or null.
    const UopEntry* Find(std::uint64_t hash) const;

private:
    UopHeader header;
    std::vector<UopEntry> entries;
    std::unordered_map<std::uint64_t, std::size_t> byHash;
};

// Whether source starts with the UOP magic. Throws FileException when reading
// fails.
bool HasUopMagic(ByteSource& source);

// The name of entry number entry of map mapNumber: "build/mapNlegacymul/%08u.dat".
std::string UopMapEntryName(int mapNumber, std::uint32_t entry);

// The entries of a map in a UOP table, in block order.
struct UopMapEntries {
    int mapNumber = 0;
    std::vector<UopEntry> entries;  // entry k holds blocks 4096 k onwards
    std::uint64_t bytes = 0;        // the map's bytes: the entries' sizes summed
};

// Finds the map in table: its map number is the first of preferredNumber (the
// number in the file name, when there is one) and 0..kUopMaxMapNumber whose
// entry 0 is present; its entries are entries 0, 1, ... up to the first
// missing one. Throws ClientFileError naming fileName when the table holds no
// map entry, an entry beyond the first missing one exists, an entry holds
// other than 4096 blocks (the last one: 1 to 4096 blocks' bytes), or an entry
// is compressed.
UopMapEntries FindUopMapEntries(const UopTable& table, std::optional<int> preferredNumber,
                                const std::string& fileName);

inline constexpr int kUopMaxMapNumber = 31;

}  // namespace kestrel
