#include "clientfiles/statics_file.h"

#include <gtest/gtest.h>

#include "clientfiles/file_exception.h"
#include "oracles/statics_record_export.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::TempDir;
using test::WriteBytes;

TEST(StaticIndexOffsetTest, EntriesRunDownEachBlockColumn) {
    EXPECT_EQ(StaticIndexOffset(0, 0), 0);
    EXPECT_EQ(StaticIndexOffset(0, 1), 12);
    EXPECT_EQ(StaticIndexOffset(1, 0), 6144);
    EXPECT_EQ(StaticIndexOffset(767, 511), (768 * 512 - 1) * 12);
}

TEST(StaticRecordCountTest, EveryStartedSevenBytesIsARecord) {
    const struct {
        std::uint32_t length;
        std::uint64_t records;
    } cases[] = {{0, 0}, {1, 1}, {7, 1}, {10, 2}, {14, 2}, {0xFFFFFFFFu, 613566757}};
    for (const auto& row : cases) {
        EXPECT_EQ(StaticRecordCount(row.length), row.records) << row.length;
    }
}

class StaticsReadTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.File("statics.mul");
};

TEST_F(StaticsReadTest, AnEntryIsReadLittleEndianFromItsBlocksPosition) {
    Bytes index(24, 0xEE);
    const Bytes second = {0x10, 0x20, 0x30, 0x40, 0x0E, 0, 0, 0, 1, 2, 3, 4};
    std::copy(second.begin(), second.end(), index.begin() + 12);
    WriteBytes(path, index);
    BinaryFile file;
    ASSERT_TRUE(file.Open(path, BinaryFile::Mode::ReadWriteExisting));
    StaticIndexEntry entry;
    ReadStaticIndexEntry(file, 0, 1, entry);
    EXPECT_EQ(entry.lookup, 0x40302010);
    EXPECT_EQ(entry.length, 14u);
    EXPECT_EQ(entry.extra, 0x04030201u);
}

TEST_F(StaticsReadTest, ALookupOfMinusOneMeansNoStaticsWhateverTheLengthSays) {
    WriteBytes(path, {0xFF, 0xFF, 0xFF, 0xFF, 0x99, 0x99, 0x99, 0x99, 0, 0, 0, 0});
    BinaryFile file;
    ASSERT_TRUE(file.Open(path, BinaryFile::Mode::ReadWriteExisting));
    StaticIndexEntry entry;
    ReadStaticIndexEntry(file, 0, 0, entry);
    EXPECT_EQ(entry.lookup, -1);
    EXPECT_EQ(entry.length, 0u);
}

TEST_F(StaticsReadTest, AShortEntryKeepsTheBytesItDidNotReach) {
    WriteBytes(path, {5, 0, 0, 0, 7, 0});  // lookup whole, length half
    BinaryFile file;
    ASSERT_TRUE(file.Open(path, BinaryFile::Mode::ReadWriteExisting));
    StaticIndexEntry entry{-1, 0x00AB0000u, 0xCAFEu};
    ReadStaticIndexEntry(file, 0, 0, entry);
    EXPECT_EQ(entry.lookup, 5);
    EXPECT_EQ(entry.length, 0x00AB0007u);
    EXPECT_EQ(entry.extra, 0xCAFEu);
}

TEST_F(StaticsReadTest, ARecordReadsUnsignedIdsAndHuesAndASignedAltitude) {
    WriteBytes(path,
               {0, 0, 0xFF, 0xFF, 9, 0, 0x80, 0xFF, 0xFF, 0x34, 0x12, 200, 255, 0x7F, 0x01, 0x00});
    BinaryFile file;
    ASSERT_TRUE(file.Open(path, BinaryFile::Mode::ReadWriteExisting));
    StaticRecord record;
    ReadStaticRecord(file, 2, record);
    EXPECT_EQ(record.tileId, 65535);
    EXPECT_EQ(record.x, 9);
    EXPECT_EQ(record.y, 0);
    EXPECT_EQ(record.z, -128);
    EXPECT_EQ(record.hue, 65535);
    ReadStaticRecord(file, 9, record);
    EXPECT_EQ(record.tileId, 0x1234);
    EXPECT_EQ(record.x, 200);
    EXPECT_EQ(record.y, 255);
    EXPECT_EQ(record.z, 127);
    EXPECT_EQ(record.hue, 1);
}

TEST_F(StaticsReadTest, ARecordAtANegativePositionFailsTheSeek) {
    WriteBytes(path, Bytes(7));
    BinaryFile file;
    ASSERT_TRUE(file.Open(path, BinaryFile::Mode::ReadWriteExisting));
    StaticRecord record;
    EXPECT_THROW(ReadStaticRecord(file, -2, record), FileException);
}

}  // namespace
}  // namespace kestrel
