#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "clientfiles/byte_order.h"
#include "clientfiles/byte_source.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/file_detection.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/lookup3.h"
#include "clientfiles/map_store.h"
#include "clientfiles/uop_file.h"
#include "operations/sample_world.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr std::size_t kEntryBytes = 4096 * 196;

void Put32(Bytes& bytes, std::uint64_t at, std::uint32_t value) {
    StoreU32Le(&bytes[at], value);
}

void Put64(Bytes& bytes, std::uint64_t at, std::uint64_t value) {
    Put32(bytes, at, static_cast<std::uint32_t>(value));
    Put32(bytes, at + 4, static_cast<std::uint32_t>(value >> 32));
}

std::uint32_t Adler(const std::uint8_t* data, std::size_t size) {
    return static_cast<std::uint32_t>(
        adler32(adler32(0L, Z_NULL, 0), data, static_cast<uInt>(size)));
}

struct FakeEntry {
    std::uint64_t hash;
    Bytes data;
    std::uint16_t flag = 0;
    bool keepsChecksum = true;
};

// A .uop laid out unlike the sample writer's (a 40-byte header, table blocks
// of `capacity` records, the data after them), so that the reader is shown
// to follow the offsets rather than one layout.
struct FakeUop {
    Bytes bytes;
    std::vector<std::uint64_t> blocks;   // offset of each table block
    std::vector<std::uint64_t> records;  // offset of each entry's record
    std::vector<std::uint64_t> data;     // offset of each entry's stored bytes
};

FakeUop BuildUop(const std::vector<FakeEntry>& entries, std::uint32_t capacity) {
    constexpr std::uint64_t kHeader = 40;
    const std::uint64_t blockBytes = 12 + std::uint64_t{capacity} * 34;
    const std::size_t blockCount = (entries.size() + capacity - 1) / capacity;
    FakeUop uop;
    // Each entry's bytes follow a data header of kDataHeader bytes.
    constexpr std::uint32_t kDataHeader = 8;
    std::uint64_t end = kHeader + blockCount * blockBytes;
    for (const FakeEntry& entry : entries) {
        uop.data.push_back(end + kDataHeader);
        end += kDataHeader + entry.data.size();
    }
    uop.bytes.assign(end, 0);
    Put32(uop.bytes, 0, 0x0050594D);
    Put32(uop.bytes, 4, 5);
    Put64(uop.bytes, 12, kHeader);
    Put32(uop.bytes, 20, capacity);
    Put32(uop.bytes, 24, static_cast<std::uint32_t>(entries.size()));
    for (std::size_t block = 0; block < blockCount; ++block) {
        const std::uint64_t at = kHeader + block * blockBytes;
        uop.blocks.push_back(at);
        const std::size_t first = block * capacity;
        const std::size_t count = std::min<std::size_t>(capacity, entries.size() - first);
        Put32(uop.bytes, at, static_cast<std::uint32_t>(count));
        Put64(uop.bytes, at + 4, block + 1 < blockCount ? at + blockBytes : 0);
        for (std::size_t k = 0; k < count; ++k) {
            const FakeEntry& entry = entries[first + k];
            const std::uint64_t record = at + 12 + k * 34;
            uop.records.push_back(record);
            const auto size = static_cast<std::uint32_t>(entry.data.size());
            Put64(uop.bytes, record, uop.data[first + k] - kDataHeader);
            Put32(uop.bytes, record + 8, kDataHeader);
            std::fill_n(
                uop.bytes.begin() + static_cast<std::ptrdiff_t>(uop.data[first + k] - kDataHeader),
                kDataHeader, std::uint8_t{0xAB});
            Put32(uop.bytes, record + 12, size);
            Put32(uop.bytes, record + 16, size);
            Put64(uop.bytes, record + 20, entry.hash);
            Put32(uop.bytes, record + 28,
                  entry.keepsChecksum ? Adler(entry.data.data(), entry.data.size()) : 0);
            StoreU16Le(&uop.bytes[record + 32], entry.flag);
        }
    }
    for (std::size_t k = 0; k < entries.size(); ++k) {
        std::copy(entries[k].data.begin(), entries[k].data.end(),
                  uop.bytes.begin() + static_cast<std::ptrdiff_t>(uop.data[k]));
    }
    return uop;
}

Bytes Pattern(std::size_t size, std::uint32_t salt) {
    Bytes bytes(size);
    for (std::size_t at = 0; at < size; ++at) {
        bytes[at] = static_cast<std::uint8_t>(((at + salt) * 2654435761u) >> 24);
    }
    return bytes;
}

std::uint64_t MapEntryHash(std::uint32_t entry) {
    return UopNameHash(UopMapEntryName(0, entry));
}

// Map 0 in two entries (4096 blocks, then 2), and a compressed entry of
// another file, in two table blocks.
struct SmallMap {
    Bytes first = Pattern(kEntryBytes, 1);
    Bytes second = Pattern(2 * 196, 2);
    std::vector<FakeEntry> Entries(bool secondKeepsChecksum = true) const {
        return {{MapEntryHash(0), first},
                {MapEntryHash(1), second, 0, secondKeepsChecksum},
                {UopNameHash("build/gumpartlegacymul/00000000.dat"), Pattern(100, 3), 1}};
    }
};

Bytes ReadAll(MapStore& store) {
    Bytes bytes(store.Length());
    std::size_t done = 0;
    while (done < bytes.size()) {
        // Odd-sized reads, so that many of them cross an entry's end.
        const std::size_t part = std::min<std::size_t>(bytes.size() - done, 1'000'003);
        EXPECT_EQ(store.Read(done, bytes.data() + done, part), part);
        done += part;
    }
    return bytes;
}

// Every entry's stored Adler-32, where kept, matches its bytes in the file.
void ExpectChecksumsHold(const std::string& path) {
    const Bytes file = ReadBytes(path);
    MemorySource source(file.data(), file.size());
    const UopTable table = UopTable::Read(source, path);
    for (const UopEntry& entry : table.Entries()) {
        if (entry.adler32 != 0) {
            EXPECT_EQ(entry.adler32, Adler(&file[entry.StoredOffset()], entry.compressedSize))
                << "entry at " << entry.dataOffset;
        }
    }
}

TEST(UopMapStoreTest, ReadsTheMapEntriesAsOneMulLayoutFollowingTheTable) {
    TempDir dir;
    const SmallMap map;
    WriteBytes(dir.File("map0LegacyMUL.uop"), BuildUop(map.Entries(), 2).bytes);
    MapStore store;
    ASSERT_TRUE(store.Open(dir.File("map0LegacyMUL.uop")));
    EXPECT_EQ(store.Container(), MapContainer::Uop);
    EXPECT_EQ(store.MapNumber(), 0);
    EXPECT_EQ(store.Geometry(), kClassicGeometry);  // a size of no facet
    Bytes expected = map.first;
    expected.insert(expected.end(), map.second.begin(), map.second.end());
    EXPECT_EQ(store.Length(), expected.size());
    EXPECT_EQ(ReadAll(store), expected);

    Bytes tail(500, 0xEE);
    EXPECT_EQ(store.Read(expected.size() - 100, tail.data(), tail.size()), 100u);
    EXPECT_TRUE(std::equal(tail.begin(), tail.begin() + 100, expected.end() - 100));
    EXPECT_EQ(tail[100], 0xEE);
}

TEST(UopMapStoreTest, SampleUopReadsBackCellForCellAsTheMulOfTheSameSeed) {
    TempDir mulDir;
    TempDir uopDir;
    SampleWorldOptions options;
    options.seed = 9;
    options.geometry = {1448, 1448};  // Tokuno: 8 entries, the last one partly filled
    options.mapNumber = 4;
    WriteSampleWorld(mulDir.Path(), options);
    options.uop = true;
    WriteSampleWorld(uopDir.Path(), options);
    EXPECT_EQ(ReadBytes(mulDir.File("staidx4.mul")), ReadBytes(uopDir.File("staidx4.mul")));
    EXPECT_EQ(ReadBytes(mulDir.File("statics4.mul")), ReadBytes(uopDir.File("statics4.mul")));

    MapStore mul;
    MapStore uop;
    ASSERT_TRUE(mul.Open(mulDir.File("map4.mul")));
    ASSERT_TRUE(uop.Open(uopDir.File("map4LegacyMUL.uop")));
    EXPECT_EQ(uop.Container(), MapContainer::Uop);
    EXPECT_EQ(uop.MapNumber(), 4);
    EXPECT_EQ(mul.Geometry(), (MapGeometry{1448, 1448}));
    EXPECT_EQ(uop.Geometry(), (MapGeometry{1448, 1448}));
    ASSERT_EQ(mul.Length(), 181u * 181u * 196u);
    ASSERT_EQ(uop.Length(), mul.Length());
    EXPECT_EQ(ReadAll(uop), ReadAll(mul));
    uop.Close();
    ExpectChecksumsHold(uopDir.File("map4LegacyMUL.uop"));
}

TEST(UopMapStoreTest, DamagedUopIsRefusedWithItsMessageAndLeftAsItWas) {
    const SmallMap map;
    struct Case {
        const char* what;
        std::function<void(FakeUop&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"truncated table", [](FakeUop& uop) { uop.bytes.resize(uop.records[1] + 20); },
         "the UOP table is cut short"},
        {"entry past the end",
         [](FakeUop& uop) { Put64(uop.bytes, uop.records[1], uop.bytes.size() - 10); },
         "lies past the end of the file"},
        {"duplicate hash",
         [](FakeUop& uop) { Put64(uop.bytes, uop.records[2] + 20, MapEntryHash(0)); },
         "two UOP entries have the name hash"},
        {"compressed map entry",
         [](FakeUop& uop) { StoreU16Le(&uop.bytes[uop.records[1] + 32], 1); },
         "the map is stored compressed (entry 1"},
        {"next-block loop",
         [](FakeUop& uop) { Put64(uop.bytes, uop.blocks[1] + 4, uop.blocks[0]); },
         "the UOP table loops back"},
        {"no map entry 0",
         [](FakeUop& uop) { Put64(uop.bytes, uop.records[0] + 20, MapEntryHash(7)); },
         "holds no map"},
        {"gap in the map entries",
         [](FakeUop& uop) { Put64(uop.bytes, uop.records[1] + 20, MapEntryHash(2)); },
         "entry 2 is there but entry 1 is missing"},
        {"map entries sharing bytes",
         [](FakeUop& uop) { Put64(uop.bytes, uop.records[1], uop.data[0] + 1000 - 8); },
         "the UOP map entries 0 and 1 share bytes"},
        {"short entry before the last",
         [](FakeUop& uop) { Put32(uop.bytes, uop.records[0] + 12, 4095 * 196); },
         "the UOP map entry 0 holds 802620 bytes"},
    };
    for (const Case& test : cases) {
        TempDir dir;
        const std::string path = dir.File("map0LegacyMUL.uop");
        FakeUop uop = BuildUop(map.Entries(), 2);
        test.damage(uop);
        WriteBytes(path, uop.bytes);
        MapStore store;
        try {
            store.Open(path);
            ADD_FAILURE() << test.what << ": opened";
        } catch (const ClientFileError& error) {
            const std::string text = error.what();
            EXPECT_EQ(text.rfind(std::filesystem::absolute(path).string() + ": ", 0), 0u) << text;
            EXPECT_NE(text.find(test.message), std::string::npos) << test.what << ": " << text;
        }
        EXPECT_FALSE(store.IsOpen()) << test.what;
        EXPECT_THROW(DetectMap(path), ClientFileError) << test.what;
        EXPECT_EQ(ReadBytes(path), uop.bytes) << test.what;
    }
}

TEST(UopMapStoreTest, WritesGoInPlaceAcrossEntriesAndKeepStoredChecksumsTrue) {
    TempDir dir;
    const std::string path = dir.File("map0LegacyMUL.uop");
    const SmallMap map;
    const FakeUop uop = BuildUop(map.Entries(/*secondKeepsChecksum=*/false), 2);
    WriteBytes(path, uop.bytes);

    const Bytes written = Pattern(300, 77);
    const std::uint64_t at = kEntryBytes - 100;
    {
        MapStore store;
        ASSERT_TRUE(store.Open(path));
        store.Write(at, written.data(), written.size());
        store.Close();
    }
    Bytes expected = uop.bytes;
    std::copy(written.begin(), written.begin() + 100,
              expected.begin() + static_cast<std::ptrdiff_t>(uop.data[0] + kEntryBytes - 100));
    std::copy(written.begin() + 100, written.end(),
              expected.begin() + static_cast<std::ptrdiff_t>(uop.data[1]));
    Bytes newFirst = map.first;
    std::copy(written.begin(), written.begin() + 100, newFirst.end() - 100);
    Put32(expected, uop.records[0] + 28, Adler(newFirst.data(), newFirst.size()));
    // Entry 1 keeps no checksum (0), and stays so.
    EXPECT_EQ(ReadBytes(path), expected);
    ExpectChecksumsHold(path);

    MapStore again;
    ASSERT_TRUE(again.Open(path));
    Bytes back(written.size());
    EXPECT_EQ(again.Read(at, back.data(), back.size()), back.size());
    EXPECT_EQ(back, written);
    EXPECT_THROW(again.Write(again.Length() - 10, written.data(), 20), FileException);
    again.Close();
    EXPECT_EQ(ReadBytes(path), expected);
}

// The ranges a journal protects must cover every byte the write and the close
// change, in whichever entries and records they lie.
TEST(UopMapStoreTest, PhysicalRangesCoverEveryByteAWriteAndItsCloseChange) {
    TempDir dir;
    const std::string path = dir.File("map0LegacyMUL.uop");
    const SmallMap map;
    const FakeUop uop = BuildUop(map.Entries(/*secondKeepsChecksum=*/false), 2);
    WriteBytes(path, uop.bytes);
    const std::uint64_t at = kEntryBytes - 100;
    const Bytes written = Pattern(300, 91);
    std::vector<PhysicalRange> ranges;
    {
        MapStore store;
        ASSERT_TRUE(store.Open(path));
        ranges = store.PhysicalRanges(at, written.size());
        const std::vector<PhysicalRange> expected = {
            {uop.data[0] + kEntryBytes - 100, 100}, {uop.records[0] + 28, 4}, {uop.data[1], 200}};
        EXPECT_EQ(ranges, expected);
        // Past the map's end nothing is listed; in a .mul the range is itself.
        EXPECT_TRUE(store.PhysicalRanges(store.Length(), 10).empty());
        store.Write(at, written.data(), written.size());
        store.Close();
    }
    const Bytes after = ReadBytes(path);
    ASSERT_EQ(after.size(), uop.bytes.size());
    std::size_t changed = 0;
    for (std::size_t byte = 0; byte < after.size(); ++byte) {
        if (after[byte] == uop.bytes[byte]) {
            continue;
        }
        ++changed;
        EXPECT_TRUE(std::any_of(ranges.begin(), ranges.end(), [&](const PhysicalRange& range) {
            return byte >= range.offset && byte < range.offset + range.length;
        })) << "byte " << byte << " changed outside the ranges";
    }
    EXPECT_GT(changed, 200u);

    WriteBytes(dir.File("map0.mul"), Pattern(2 * 196, 5));
    MapStore mul;
    ASSERT_TRUE(mul.Open(dir.File("map0.mul")));
    EXPECT_EQ(mul.PhysicalRanges(100, 500), (std::vector<PhysicalRange>{{100, 500}}));
    EXPECT_EQ(mul.File().FullPath(), mul.FullPath());
}

// A copy writes an entry front to back with small gaps (block headers); the
// checksum follows such writes without reading them back, and must come out
// the same as for writes in any other order.
TEST(UopMapStoreTest, ChecksumsHoldAfterWritesInOrderWithGapsAndOutOfOrder) {
    TempDir dir;
    const std::string path = dir.File("map0LegacyMUL.uop");
    const SmallMap map;
    WriteBytes(path, BuildUop(map.Entries(), 2).bytes);
    struct Span {
        std::uint64_t at;
        std::size_t size;
    };
    const Span spans[] = {
        {4, 996},
        {1004, 400'000},
        {400'000 + 1004 + 196, kEntryBytes - 401'200},  // entry 0
        {kEntryBytes + 4, 100},
        {kEntryBytes + 50, 10},
        {kEntryBytes + 300, 92},  // entry 1
    };
    Bytes model = map.first;
    model.insert(model.end(), map.second.begin(), map.second.end());
    {
        MapStore store;
        ASSERT_TRUE(store.Open(path));
        std::uint32_t salt = 10;
        for (const Span& span : spans) {
            const Bytes bytes = Pattern(span.size, salt++);
            store.Write(span.at, bytes.data(), bytes.size());
            std::copy(bytes.begin(), bytes.end(),
                      model.begin() + static_cast<std::ptrdiff_t>(span.at));
        }
        store.Close();
    }
    ExpectChecksumsHold(path);
    MapStore again;
    ASSERT_TRUE(again.Open(path));
    EXPECT_EQ(ReadAll(again), model);
}

TEST(UopMapStoreTest, MulStoreIsTheFileItselfAndGrowsWithWritesPastItsEnd) {
    TempDir dir;
    const Bytes start = Pattern(2 * 196, 5);
    WriteBytes(dir.File("map0.mul"), start);
    MapStore store;
    ASSERT_TRUE(store.Open(dir.File("map0.mul")));
    EXPECT_EQ(store.Container(), MapContainer::Mul);
    EXPECT_EQ(store.Length(), start.size());
    EXPECT_EQ(ReadAll(store), start);
    const Bytes written = Pattern(10, 6);
    store.Write(500, written.data(), written.size());
    EXPECT_EQ(store.Length(), 510u);
    store.Close();
    Bytes expected = start;
    expected.resize(500, 0);
    expected.insert(expected.end(), written.begin(), written.end());
    EXPECT_EQ(ReadBytes(dir.File("map0.mul")), expected);
}

TEST(UopMapStoreTest, MalasOrTerMurLengthIsDecidedByTheNameOrTheGivenSize) {
    TempDir dir;
    for (const char* name : {"map.mul", "map3.mul", "map5.mul"}) {
        std::filesystem::resize_file((WriteBytes(dir.File(name), {}), dir.File(name)), 16'056'320);
    }
    MapStore malas;
    ASSERT_TRUE(malas.Open(dir.File("map3.mul")));
    EXPECT_EQ(malas.Geometry(), (MapGeometry{2560, 2048}));
    MapStore terMur;
    ASSERT_TRUE(terMur.Open(dir.File("map5.mul")));
    EXPECT_EQ(terMur.Geometry(), (MapGeometry{1280, 4096}));

    MapStore unnamed;
    try {
        unnamed.Open(dir.File("map.mul"));
        FAIL() << "opened without a size";
    } catch (const ClientFileError& error) {
        EXPECT_NE(std::string(error.what()).find("2560x2048 (Malas) and 1280x4096 (TerMur)"),
                  std::string::npos)
            << error.what();
    }
    EXPECT_FALSE(unnamed.IsOpen());
    ASSERT_TRUE(unnamed.Open(dir.File("map.mul"), {MapGeometry{1280, 4096}}));
    EXPECT_EQ(unnamed.Geometry(), (MapGeometry{1280, 4096}));
}

}  // namespace
}  // namespace kestrel
