#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "clientfiles/byte_source.h"
#include "clientfiles/map_store.h"
#include "clientfiles/uop_file.h"
#include "operations/map_region_copy.h"
#include "operations/sample_world.h"
#include "support/map_fixture.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::ExpectedMapCopy;
using test::MapSize;
using test::ReadBytes;
using test::RecordingUi;
using test::TempDir;

struct FacetFile {
    int mapNumber;
    MapSize size;
};

// The current facets and the older clients' Felucca, each under its own map
// number so that the file name tells Malas from TerMur.
constexpr FacetFile kFacetFiles[] = {
    {0, {7168, 4096}}, {1, {6144, 4096}}, {2, {2304, 1600}},
    {3, {2560, 2048}}, {4, {1448, 1448}}, {5, {1280, 4096}},
};

// One generated world per facet and container, written once for the suite.
class FacetWorlds {
public:
    const std::string& Path(const FacetFile& facet, bool uop) {
        const int key = facet.mapNumber * 2 + (uop ? 1 : 0);
        auto found = paths.find(key);
        if (found == paths.end()) {
            SampleWorldOptions options;
            options.seed = static_cast<std::uint32_t>(11 + key);
            options.geometry = {facet.size.width, facet.size.height};
            options.mapNumber = facet.mapNumber;
            options.uop = uop;
            WriteSampleWorld(dir.Path(), options);
            found = paths.emplace(key, dir.File(SampleFileNames(options).map)).first;
        }
        return found->second;
    }

private:
    TempDir dir;
    std::map<int, std::string> paths;
};

FacetWorlds& Worlds() {
    static FacetWorlds worlds;
    return worlds;
}

// The map's bytes as the copy sees them: a .mul's file, a .uop's entries.
Bytes LogicalBytes(const std::string& path) {
    MapStore store;
    EXPECT_TRUE(store.Open(path));
    Bytes bytes(store.Length());
    EXPECT_EQ(store.Read(0, bytes.data(), bytes.size()), bytes.size());
    return bytes;
}

// Every entry of a .uop is found by the table and its stored Adler-32 matches
// its bytes.
void ExpectUopReadableEntryByEntry(const std::string& path) {
    const Bytes file = ReadBytes(path);
    MemorySource source(file.data(), file.size());
    const UopTable table = UopTable::Read(source, path);
    const UopMapEntries map = FindUopMapEntries(table, std::nullopt, path);
    ASSERT_FALSE(map.entries.empty());
    for (const UopEntry& entry : map.entries) {
        ASSERT_LE(entry.StoredOffset() + entry.compressedSize, file.size());
        ASSERT_NE(entry.adler32, 0u);
        const uLong adler = adler32(adler32(0L, Z_NULL, 0), &file[entry.StoredOffset()],
                                    static_cast<uInt>(entry.compressedSize));
        EXPECT_EQ(entry.adler32, static_cast<std::uint32_t>(adler))
            << path << " entry at " << entry.dataOffset;
    }
}

using test::Rectangle;

// Copies settings from source to a copy of dest and checks the result against
// the cell-by-cell expectation; returns the destination's path.
std::string CopyAndCheck(const TempDir& scratch, const std::string& source, MapSize sourceSize,
                         const std::string& dest, MapSize destSize, CopySettings settings) {
    const std::string destCopy =
        scratch.File(std::filesystem::path(dest).filename().string());
    std::filesystem::copy_file(dest, destCopy, std::filesystem::copy_options::overwrite_existing);
    settings.sourceMapPath = source;
    settings.destMapPath = destCopy;
    const Bytes sourceBefore = LogicalBytes(source);
    const Bytes destBefore = LogicalBytes(destCopy);
    RecordingUi ui;
    EXPECT_EQ(CopyMapRegion(settings, ui).status, OperationStatus::Done);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(LogicalBytes(destCopy),
              ExpectedMapCopy(sourceBefore, sourceSize, destBefore, destSize, settings));
    return destCopy;
}

// Every pair of sizes, each container pairing in turn: a rectangle from the
// source's bottom-right corner, across many block columns (and .uop entries),
// clipped at the destination's right and bottom edges.
TEST(FacetCopyTest, CopiesBetweenEveryPairOfSizesAndContainersGiveTheExpectedCells) {
    int pairing = 0;
    for (const FacetFile& from : kFacetFiles) {
        for (const FacetFile& to : kFacetFiles) {
            const bool sourceUop = (pairing & 1) != 0;
            const bool destUop = (pairing & 2) != 0;
            ++pairing;
            SCOPED_TRACE("map" + std::to_string(from.mapNumber) + (sourceUop ? ".uop" : ".mul") +
                         " into map" + std::to_string(to.mapNumber) +
                         (destUop ? ".uop" : ".mul"));
            const std::string& source = Worlds().Path(from, sourceUop);
            const std::string& dest = Worlds().Path(to, destUop);
            TempDir scratch;
            const MapSize s = from.size;
            const MapSize d = to.size;
            const std::string result =
                CopyAndCheck(scratch, source, s, dest, d,
                             Rectangle(s.width - 301, s.width - 1, s.height - 203, s.height - 1,
                                       d.width - 250, d.height - 149, -7));
            if (destUop) {
                ExpectUopReadableEntryByEntry(result);
            }
        }
    }
}

TEST(FacetCopyTest, IlshenarIntoTheStripOfAWideFeluccaUopWithANegativeShift) {
    const FacetFile ilshenar{2, {2304, 1600}};
    const FacetFile felucca{0, {7168, 4096}};
    TempDir scratch;
    const std::string result =
        CopyAndCheck(scratch, Worlds().Path(ilshenar, false), ilshenar.size,
                     Worlds().Path(felucca, true), felucca.size,
                     Rectangle(100, 1123, 200, 711, 6144, 3000, -20));
    EXPECT_EQ(std::filesystem::path(result).filename(), "map0LegacyMUL.uop");
    ExpectUopReadableEntryByEntry(result);
    // The strip beyond X 6143 holds the Ilshenar cells now.
    const Bytes source = LogicalBytes(Worlds().Path(ilshenar, false));
    const Bytes dest = LogicalBytes(result);
    const auto from = test::MapCellPosition(ilshenar.size, 100, 200);
    const auto to = test::MapCellPosition(felucca.size, 6144, 3000);
    EXPECT_EQ(dest[to], source[from]);
    EXPECT_EQ(static_cast<std::uint8_t>(dest[to + 2]),
              static_cast<std::uint8_t>(source[from + 2] - 20));
}

}  // namespace
}  // namespace kestrel
