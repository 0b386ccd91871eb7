// The UOP table reader and the map store over a .uop of any content. Input:
// the file itself. Reading must either refuse the file with a message naming
// it or give entries that are what their records say and lie inside the file;
// a map opened from it must read back as its entries' bytes in order, and a
// byte written through it must land in its entry, with the entry's stored
// Adler-32 (where not zero) made true and nothing else changed.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <unordered_set>

#include "clientfiles/byte_order.h"
#include "clientfiles/byte_source.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/map_store.h"
#include "clientfiles/uop_file.h"
#include "fuzz_support.h"
#include "support/temp_dir.h"

using kestrel::test::Bytes;
using kestrel::fuzz::Check;

namespace {

std::uint64_t Load64(const std::uint8_t* bytes) {
    return kestrel::LoadU32Le(bytes) | (std::uint64_t{kestrel::LoadU32Le(bytes + 4)} << 32);
}

bool Names(const std::string& message, const std::string& name) {
    return message.rfind(name + ": ", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    using namespace kestrel;
    const std::string path = fuzz::ScratchDirectory() + "/map0LegacyMUL.uop";
    kestrel::MemorySource source(input, size);
    UopTable table;
    try {
        table = UopTable::Read(source, path);
    } catch (const ClientFileError& error) {
        Check(Names(error.what(), path), "a table error names the file");
        return 0;
    }
    std::unordered_set<std::uint64_t> hashes;
    for (const UopEntry& entry : table.Entries()) {
        Check(entry.recordOffset + kUopEntryBytes <= size, "the record lies inside the file");
        const std::uint8_t* record = input + entry.recordOffset;
        Check(Load64(record) == entry.dataOffset && entry.dataOffset != 0, "data offset");
        Check(LoadU32Le(record + 8) == entry.headerLength, "header length");
        Check(LoadU32Le(record + 12) == entry.compressedSize, "compressed size");
        Check(Load64(record + 20) == entry.hash, "hash");
        Check(LoadU32Le(record + 28) == entry.adler32, "adler");
        Check(LoadU16Le(record + 32) == entry.flag, "flag");
        Check(entry.StoredOffset() + entry.compressedSize <= size, "stored bytes inside the file");
        Check(hashes.insert(entry.hash).second, "hashes are unique");
        Check(table.Find(entry.hash) != nullptr &&
                  table.Find(entry.hash)->recordOffset == entry.recordOffset,
              "found by hash");
    }

    kestrel::test::WriteBytes(path, Bytes(input, input + size));
    MapStore store;
    try {
        Check(store.Open(path), "the scratch file opens");
    } catch (const ClientFileError& error) {
        Check(Names(error.what(), path), "a map error names the file");
        return 0;
    }
    const UopMapEntries map = FindUopMapEntries(table, 0, path);
    Bytes expected;
    for (const UopEntry& entry : map.entries) {
        Check(entry.flag == kUopStored, "map entries are stored");
        expected.insert(expected.end(), input + entry.StoredOffset(),
                        input + entry.StoredOffset() + entry.compressedSize);
    }
    Check(store.Length() == expected.size(), "the map's length is its entries'");
    Bytes actual(expected.size() + 7);
    Check(store.Read(0, actual.data(), actual.size()) == expected.size(), "the whole map reads");
    actual.resize(expected.size());
    Check(actual == expected, "the map reads as its entries' bytes in order");
    if (expected.empty()) {
        return 0;
    }

    const std::uint64_t at = expected.size() / 2;
    const auto changed = static_cast<std::uint8_t>(~expected[at]);
    store.Write(at, &changed, 1);
    store.Close();
    const UopEntry& entry = map.entries[static_cast<std::size_t>(at / (4096 * 196))];
    Bytes want(input, input + size);
    want[entry.StoredOffset() + at % (4096 * 196)] = changed;
    if (entry.adler32 != 0) {
        const auto checksum = static_cast<std::uint32_t>(
            adler32(adler32(0L, Z_NULL, 0), &want[entry.StoredOffset()], entry.compressedSize));
        StoreU32Le(&want[entry.recordOffset + kUopEntryAdlerOffset], checksum);
    }
    Check(kestrel::test::ReadBytes(path) == want, "one byte and its entry's checksum change");
    return 0;
}
