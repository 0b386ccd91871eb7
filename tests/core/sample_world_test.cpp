#include "operations/sample_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "clientfiles/binary_file.h"
#include "clientfiles/byte_order.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::TempDir;

struct WorldFiles {
    Bytes map;
    Bytes index;
    Bytes data;
    SampleWorldSummary summary;
};

WorldFiles Generate(const TempDir& dir, std::uint32_t seed, int blockColumns) {
    WorldFiles files;
    files.summary = WriteSampleWorld(dir.Path(), {seed, blockColumns});
    files.map = ReadBytes(dir.File("map0.mul"));
    files.index = ReadBytes(dir.File("staidx0.mul"));
    files.data = ReadBytes(dir.File("statics0.mul"));
    return files;
}

bool StartsWith(const Bytes& whole, const Bytes& start) {
    return whole.size() >= start.size() && std::equal(start.begin(), start.end(), whole.begin());
}

struct MapCell {
    std::uint16_t tileId;
    std::int8_t altitude;
};

MapCell CellAt(const Bytes& map, int x, int y) {
    const std::size_t offset =
        std::size_t((x / 8) * 512 + y / 8) * 196 + 4 + std::size_t((x % 8) + (y % 8) * 8) * 3;
    return {LoadU16Le(&map[offset]), static_cast<std::int8_t>(map[offset + 2])};
}

bool IsWater(std::uint16_t tileId) {
    return tileId >= 0x00A8 && tileId <= 0x00AB;
}

TEST(SampleWorldTest, SameSeedWritesTheSameBytesAndAnotherSeedAnotherWorld) {
    TempDir first;
    TempDir again;
    TempDir other;
    const WorldFiles a = Generate(first, 7, 2);
    const WorldFiles b = Generate(again, 7, 2);
    const WorldFiles c = Generate(other, 8, 2);
    EXPECT_EQ(a.map, b.map);
    EXPECT_EQ(a.index, b.index);
    EXPECT_EQ(a.data, b.data);
    EXPECT_NE(a.map, c.map);
    EXPECT_NE(a.data, c.data);
}

TEST(SampleWorldTest, NarrowWorldIsTheLeftEdgeOfTheWiderWorldOfTheSameSeed) {
    TempDir narrowDir;
    TempDir wideDir;
    const WorldFiles narrow = Generate(narrowDir, 3, 3);
    const WorldFiles wide = Generate(wideDir, 3, 5);
    EXPECT_TRUE(StartsWith(wide.map, narrow.map));
    EXPECT_TRUE(StartsWith(wide.index, narrow.index));
    EXPECT_TRUE(StartsWith(wide.data, narrow.data));
}

TEST(SampleWorldTest, RejectsBlockColumnsOutsideTheMap) {
    TempDir dir;
    EXPECT_THROW(WriteSampleWorld(dir.Path(), {1, 0}), std::invalid_argument);
    EXPECT_THROW(WriteSampleWorld(dir.Path(), {1, 769}), std::invalid_argument);
}

TEST(SampleWorldTest, MissingDirectoryIsReportedWithTheFileName) {
    TempDir dir;
    try {
        WriteSampleWorld(dir.Path() / "missing", {1, 1});
        FAIL() << "no error for a missing directory";
    } catch (const SampleWorldError& error) {
        EXPECT_NE(std::string(error.what()).find("map0.mul"), std::string::npos) << error.what();
    }
}

TEST(SampleWorldTest, MapHeldOpenElsewhereIsNeitherEmptiedNorReplaced) {
    TempDir dir;
    test::WriteText(dir.File("map0.mul"), "a map in use");
    BinaryFile held;
    ASSERT_TRUE(held.Open(dir.File("map0.mul"), BinaryFile::Mode::ReadWriteExisting));
    EXPECT_THROW(WriteSampleWorld(dir.Path(), {1, 1}), SampleWorldError);
    EXPECT_EQ(test::ReadText(dir.File("map0.mul")), "a map in use");
}

// One world of 32 block columns (256 x 4096 cells) shared by the checks of
// its contents.
class SampleWorldContentTest : public ::testing::Test {
protected:
    static constexpr int kColumns = 32;

    static void SetUpTestSuite() {
        dir = std::make_unique<TempDir>();
        world = std::make_unique<WorldFiles>(Generate(*dir, kDefaultSampleSeed, kColumns));
    }
    static void TearDownTestSuite() {
        world.reset();
        dir.reset();
    }

    static inline std::unique_ptr<TempDir> dir;
    static inline std::unique_ptr<WorldFiles> world;
};

TEST_F(SampleWorldContentTest, FilesHoldExactlyTheirBlockColumns) {
    EXPECT_EQ(world->map.size(), std::size_t{kColumns} * 512 * 196);
    EXPECT_EQ(world->index.size(), std::size_t{kColumns} * 512 * 12);
    EXPECT_EQ(world->data.size(), world->summary.staticItems * 7);
}

TEST_F(SampleWorldContentTest, IndexEntriesCoverTheDataFileBlockAfterBlockWithoutGaps) {
    std::uint64_t expectedLookup = 0;
    for (std::size_t entry = 0; entry < world->index.size() / 12; ++entry) {
        const std::int32_t lookup = LoadI32Le(&world->index[entry * 12]);
        const std::uint32_t length = LoadU32Le(&world->index[entry * 12 + 4]);
        EXPECT_EQ(LoadU32Le(&world->index[entry * 12 + 8]), 0u);
        if (lookup == -1) {
            ASSERT_EQ(length, 0u) << "entry " << entry;
            continue;
        }
        ASSERT_GT(length, 0u) << "entry " << entry;
        ASSERT_EQ(length % 7, 0u) << "entry " << entry;
        ASSERT_EQ(std::uint64_t(lookup), expectedLookup) << "entry " << entry;
        expectedLookup += length;
    }
    EXPECT_EQ(expectedLookup, world->data.size());
}

TEST_F(SampleWorldContentTest, StaticsStandInsideTheirBlockOnLandAtTheLandsAltitude) {
    for (std::size_t entry = 0; entry < world->index.size() / 12; ++entry) {
        const std::int32_t lookup = LoadI32Le(&world->index[entry * 12]);
        const std::uint32_t length = LoadU32Le(&world->index[entry * 12 + 4]);
        if (lookup == -1) {
            continue;
        }
        const int bx = int(entry / 512);
        const int by = int(entry % 512);
        for (std::uint32_t at = 0; at < length; at += 7) {
            const std::uint8_t* record = &world->data[std::size_t(lookup) + at];
            ASSERT_LE(record[2], 7) << "block " << bx << "," << by;
            ASSERT_LE(record[3], 7) << "block " << bx << "," << by;
            const MapCell land = CellAt(world->map, bx * 8 + record[2], by * 8 + record[3]);
            ASSERT_FALSE(IsWater(land.tileId)) << "block " << bx << "," << by;
            ASSERT_EQ(static_cast<std::int8_t>(record[4]), land.altitude)
                << "block " << bx << "," << by;
        }
    }
}

TEST_F(SampleWorldContentTest, TerrainHasWaterFlatsAndHillsOfKnownLandTiles) {
    std::map<std::string, int> kinds;
    int flat = 0;
    int hill = 0;
    int cells = 0;
    for (int x = 0; x < kColumns * 8; ++x) {
        for (int y = 0; y < 4096; ++y) {
            const MapCell cell = CellAt(world->map, x, y);
            ++cells;
            const std::uint16_t t = cell.tileId;
            if (IsWater(t)) {
                ASSERT_EQ(cell.altitude, -5) << x << "," << y;
                ++kinds["water"];
                continue;
            }
            if (t >= 0x0003 && t <= 0x0006) {
                ++kinds["grass"];
            } else if (t >= 0x0016 && t <= 0x0019) {
                ++kinds["sand"];
            } else if (t >= 0x0071 && t <= 0x0074) {
                ++kinds["dirt"];
            } else if (t >= 0x00DC && t <= 0x00DF) {
                ++kinds["rock"];
            } else if (t >= 0x011A && t <= 0x011D) {
                ++kinds["snow"];
            } else {
                FAIL() << "unknown land tile " << t << " at " << x << "," << y;
            }
            ASSERT_GE(cell.altitude, 0) << x << "," << y;
            flat += cell.altitude <= 10 ? 1 : 0;
            hill += cell.altitude >= 30 ? 1 : 0;
        }
    }
    EXPECT_GT(kinds["water"], cells / 10);
    EXPECT_LT(kinds["water"], cells * 6 / 10);
    EXPECT_GT(kinds["grass"], cells / 5);
    EXPECT_GT(kinds["sand"], 0);
    EXPECT_GT(kinds["dirt"], 0);
    EXPECT_GT(flat, cells / 5);
    EXPECT_GT(hill, cells / 100);
}

// The world is generated one block column at a time; it must show no seam
// where two block columns meet.
TEST_F(SampleWorldContentTest, TerrainRunsOnSmoothlyAcrossBlockColumns) {
    long long acrossSum = 0;
    long long insideSum = 0;
    int across = 0;
    int inside = 0;
    for (int x = 0; x + 1 < kColumns * 8; ++x) {
        for (int y = 0; y < 4096; ++y) {
            const int step =
                std::abs(CellAt(world->map, x + 1, y).altitude - CellAt(world->map, x, y).altitude);
            if ((x + 1) % 8 == 0) {
                acrossSum += step;
                ++across;
            } else {
                insideSum += step;
                ++inside;
            }
        }
    }
    const double acrossMean = double(acrossSum) / across;
    const double insideMean = double(insideSum) / inside;
    EXPECT_LT(acrossMean, insideMean * 1.5 + 0.1) << acrossMean << " vs " << insideMean;
}

TEST_F(SampleWorldContentTest, LandCarriesTreesRocksAndBuildingsAtARealisticDensity) {
    int trees = 0;
    int rocks = 0;
    int walls = 0;
    for (std::size_t at = 0; at + 7 <= world->data.size(); at += 7) {
        const std::uint16_t id = LoadU16Le(&world->data[at]);
        trees += id >= 0x0CCD && id <= 0x0CE7 ? 1 : 0;
        rocks += id >= 0x1363 && id <= 0x136D ? 1 : 0;
        walls += id < 0x0100 ? 1 : 0;
    }
    EXPECT_GT(trees, 0);
    EXPECT_GT(rocks, 0);
    EXPECT_GT(walls, 0);
    const double perBlock = double(world->summary.staticItems) / (kColumns * 512);
    EXPECT_GT(perBlock, 3.0);
    EXPECT_LT(perBlock, 30.0);
}

}  // namespace
}  // namespace kestrel
