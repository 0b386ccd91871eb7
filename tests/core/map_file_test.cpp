#include "clientfiles/map_file.h"

#include <gtest/gtest.h>

#include "oracles/map_cell_copy.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(CellOffsetTest, CellsRunAlongRowsInsideABlockAndBlocksRunDownColumns) {
    const struct {
        int x, y;
        std::int32_t offset;
    } cases[] = {
        {0, 0, 4},          {1, 0, 7},
        {7, 0, 25},         {0, 1, 28},
        {7, 7, 193},        {0, 8, 200},
        {8, 0, 100352 + 4}, {8, 8, 100352 + 196 + 4},
        {2, 20, 498},       {6143, 4095, 77070336 - 3},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(CellOffset(row.x, row.y), row.offset) << row.x << "," << row.y;
    }
    EXPECT_EQ(kMapFileBytes, 77070336);
}

class MapCellTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.File("map0.mul");
};

TEST_F(MapCellTest, WriteStoresTileLowByteFirstThenAltitudeAndNothingElse) {
    Bytes original(2 * kMapBlockBytes);
    for (std::size_t i = 0; i < original.size(); ++i) {
        original[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    WriteBytes(path, original);
    BinaryFile file;
    ASSERT_TRUE(file.Open(path, BinaryFile::Mode::ReadWriteExisting));
    WriteMapCell(file, 3, 9, 0x1234, -5);  // second block of the column
    file.Close();

    Bytes expected = original;
    const auto at = static_cast<std::size_t>(CellOffset(3, 9));
    expected[at] = 0x34;
    expected[at + 1] = 0x12;
    expected[at + 2] = 0xFB;
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST_F(MapCellTest, ReadYieldsWhatWriteStored) {
    WriteBytes(path, Bytes(kMapBlockBytes));
    BinaryFile file;
    ASSERT_TRUE(file.Open(path, BinaryFile::Mode::ReadWriteExisting));
    WriteMapCell(file, 5, 6, 0xFFFF, -128);
    std::uint16_t tileId = 0;
    std::int8_t altitude = 0;
    ReadMapCell(file, 5, 6, tileId, altitude);
    EXPECT_EQ(tileId, 0xFFFF);
    EXPECT_EQ(altitude, -128);
}

TEST_F(MapCellTest, ReadPastTheEndKeepsTheValuesItCouldNotDeliver) {
    // The file ends right after the tile number of cell (0, 0).
    WriteBytes(path, {0, 0, 0, 0, 0x21, 0x43});
    BinaryFile file;
    ASSERT_TRUE(file.Open(path, BinaryFile::Mode::ReadWriteExisting));
    std::uint16_t tileId = 7;
    std::int8_t altitude = 9;
    ReadMapCell(file, 0, 0, tileId, altitude);
    EXPECT_EQ(tileId, 0x4321);
    EXPECT_EQ(altitude, 9);

    tileId = 7;
    ReadMapCell(file, 1, 0, tileId, altitude);
    EXPECT_EQ(tileId, 7);
    EXPECT_EQ(altitude, 9);
}

TEST_F(MapCellTest, WritePastTheEndLengthensTheFileToEndWithTheCell) {
    WriteBytes(path, {});
    BinaryFile file;
    ASSERT_TRUE(file.Open(path, BinaryFile::Mode::ReadWriteExisting));
    WriteMapCell(file, 9, 1, 1, 1);
    EXPECT_EQ(file.Length(), std::uint64_t(CellOffset(9, 1)) + 3);
}

}  // namespace
}  // namespace kestrel
