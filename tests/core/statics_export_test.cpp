#include "operations/statics_export.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <map>

#include "clientfiles/byte_order.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/statics_file.h"
#include "oracles/statics_record_export.h"
#include "support/recording_ui.h"
#include "support/statics_fixture.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::AppendStaticRecord;
using test::Bytes;
using test::ReadBytes;
using test::ReadText;
using test::RecordingUi;
using test::TempDir;
using test::WorldItemSection;
using test::WriteBytes;
using test::WriteText;
using Events = std::vector<std::string>;

// Builds a statics index and data pair: records are grouped per block, and
// every block without records gets the lookup -1.
class StaticsBuilder {
public:
    void Add(int bx, int by, std::uint16_t tileId, std::uint8_t x, std::uint8_t y, std::int8_t z,
             std::uint16_t hue = 0) {
        AppendStaticRecord(records[BlockNumber(bx, by)], tileId, x, y, z, hue);
    }
    // Places an entry as given, whatever the data holds.
    void SetEntry(int bx, int by, std::int32_t lookup, std::uint32_t length) {
        raw[BlockNumber(bx, by)] = {lookup, length};
    }
    // Writes the index with entries for block numbers 0 .. blocks - 1.
    void Write(const std::string& indexPath, const std::string& dataPath,
               int blocks = 3 * kBlockRows) const {
        Bytes index(static_cast<std::size_t>(blocks) * 12);
        Bytes data;
        for (int number = 0; number < blocks; ++number) {
            std::int32_t lookup = -1;
            std::uint32_t length = 0xDEAD;  // never looked at behind a lookup of -1
            if (auto found = records.find(number); found != records.end()) {
                lookup = static_cast<std::int32_t>(data.size());
                length = static_cast<std::uint32_t>(found->second.size());
                data.insert(data.end(), found->second.begin(), found->second.end());
            }
            if (auto found = raw.find(number); found != raw.end()) {
                std::tie(lookup, length) = found->second;
            }
            std::uint8_t* entry = index.data() + static_cast<std::size_t>(number) * 12;
            StoreU32Le(entry, static_cast<std::uint32_t>(lookup));
            StoreU32Le(entry + 4, length);
            StoreU32Le(entry + 8, 0x12345678u);
        }
        WriteBytes(indexPath, index);
        WriteBytes(dataPath, data);
    }

private:
    std::map<int, Bytes> records;
    std::map<int, std::pair<std::int32_t, std::uint32_t>> raw;
};

std::string Section(int index, int tileId, int x, int y, int z, int hue = 0) {
    return WorldItemSection(index, tileId, x, y, z, hue);
}

class StaticsExportTest : public ::testing::Test {
protected:
    StaticsExportTest() {
        settings.staticsIndexPath = dir.File("staidx0.mul");
        settings.staticsDataPath = dir.File("statics0.mul");
        settings.itemsPath = dir.File("items.wsc");
    }

    void SetRectangle(int minX, int maxX, int minY, int maxY) {
        settings.minX = minX;
        settings.maxX = maxX;
        settings.minY = minY;
        settings.maxY = maxY;
    }

    std::string Export(int indexBlocks = 3 * kBlockRows) {
        statics.Write(settings.staticsIndexPath, settings.staticsDataPath, indexBlocks);
        ExportStatics(settings, ui);
        return ReadText(settings.itemsPath);
    }

    TempDir dir;
    StaticsBuilder statics;
    CopySettings settings;
    RecordingUi ui;
};

TEST_F(StaticsExportTest, OnlyItemsInsideTheRectangleAreWrittenMovedByTheOffsets) {
    statics.Add(0, 0, 100, 4, 3, 7, 33);  // cell (4, 3): inside
    statics.Add(0, 0, 101, 5, 3, 7);      // cell (5, 3): right of it
    statics.Add(0, 0, 102, 3, 2, 7);      // cell (3, 2): above it
    statics.Add(0, 0, 103, 3, 4, -9);     // cell (3, 4): inside
    SetRectangle(3, 4, 3, 4);
    settings.offX = 100;
    settings.offY = 200;
    settings.offZ = -1;
    EXPECT_EQ(Export(), Section(0, 100, 101, 200, 6, 33) + Section(1, 103, 100, 201, -10));
    EXPECT_EQ(ui.events, (Events{"begin", "end"}));
}

TEST_F(StaticsExportTest, TheRectangleIncludesBothEndsAcrossBlocks) {
    statics.Add(1, 0, 1, 0, 0, 0);  // cell (8, 0)
    statics.Add(1, 0, 2, 1, 0, 0);  // cell (9, 0)
    SetRectangle(0, 8, 0, 0);
    EXPECT_EQ(Export(), Section(0, 1, 8, 0, 0));

    statics.Add(1, 2, 3, 0, 0, 0);  // cell (8, 16)
    statics.Add(1, 2, 4, 0, 1, 0);  // cell (8, 17)
    SetRectangle(8, 8, 16, 16);
    EXPECT_EQ(Export(), Section(0, 3, 0, 0, 0));
}

TEST_F(StaticsExportTest, ItemsComeBlockByBlockAlongEachBlockRow) {
    statics.Add(0, 1, 10, 0, 0, 0);  // cell (0, 8)
    statics.Add(1, 0, 11, 0, 7, 0);  // cell (8, 7)
    statics.Add(0, 0, 12, 7, 7, 0);  // cell (7, 7)
    statics.Add(0, 0, 13, 0, 0, 0);  // cell (0, 0)
    SetRectangle(0, 15, 0, 15);
    EXPECT_EQ(Export(), Section(0, 12, 7, 7, 0) + Section(1, 13, 0, 0, 0) +
                            Section(2, 11, 8, 7, 0) + Section(3, 10, 0, 8, 0));
}

TEST_F(StaticsExportTest, AnItemStandsWhereItsOffsetsPointEvenOutsideItsBlock) {
    statics.Add(0, 0, 20, 12, 0, 0);   // cell (12, 0)
    statics.Add(1, 0, 21, 255, 9, 0);  // cell (263, 9)
    SetRectangle(0, 7, 0, 7);
    EXPECT_EQ(Export(), "");
    SetRectangle(0, 300, 0, 9);
    EXPECT_EQ(Export(38 * kBlockRows), Section(0, 20, 12, 0, 0) + Section(1, 21, 263, 9, 0));
}

TEST_F(StaticsExportTest, DestinationsAreNeitherClippedNorWrapped) {
    statics.Add(0, 12, 30, 4, 0, -100);  // cell (4, 96)
    statics.Add(0, 12, 31, 4, 1, 120);   // cell (4, 97)
    SetRectangle(0, 6143, 96, 97);
    settings.offX = 6143;
    settings.offY = 4095;
    settings.offZ = -256;
    statics.Write(settings.staticsIndexPath, settings.staticsDataPath, kBlockColumns * kBlockRows);
    ExportStatics(settings, ui);
    EXPECT_EQ(ReadText(settings.itemsPath),
              Section(0, 30, 6147, 4095, -356) + Section(1, 31, 6147, 4096, -136));
}

TEST_F(StaticsExportTest, AnEmptyRectangleLeavesAnEmptyScript) {
    statics.Add(0, 0, 40, 1, 1, 0);
    WriteText(settings.itemsPath, "old contents");
    SetRectangle(6, 5, 0, 7);
    EXPECT_EQ(Export(), "");
    SetRectangle(0, 7, 16, 9);
    EXPECT_EQ(Export(), "");
    EXPECT_EQ(ui.events, (Events{"begin", "end", "begin", "end"}));
}

TEST_F(StaticsExportTest, BlockLengthsCountEveryStartedRecord) {
    statics.Add(0, 0, 50, 1, 1, 0);
    statics.Add(0, 0, 51, 2, 2, 0);
    statics.Add(0, 0, 52, 3, 3, 0);
    SetRectangle(0, 7, 0, 7);
    statics.SetEntry(0, 0, 0, 10);  // the second record reads 4 bytes past the length
    EXPECT_EQ(Export(), Section(0, 50, 1, 1, 0) + Section(1, 51, 2, 2, 0));
    statics.SetEntry(0, 0, 0, 0);
    EXPECT_EQ(Export(), "");
    statics.SetEntry(0, 0, -1, 21);
    EXPECT_EQ(Export(), "");
}

TEST_F(StaticsExportTest, EachRunReplacesTheScriptAndNumbersFromZero) {
    statics.Add(0, 0, 60, 1, 1, 0);
    SetRectangle(0, 7, 0, 7);
    Export();
    EXPECT_EQ(Export(), Section(0, 60, 1, 1, 0));
}

// Both walks number the serials from the first serial, across the change of
// sign at 2^31 and from below zero, where the fast path stops counting in text.
TEST_F(StaticsExportTest, SerialsCountUpFromTheFirstSerial) {
    statics.Add(0, 0, 61, 1, 1, 0);
    statics.Add(0, 0, 62, 2, 1, 0);
    statics.Add(0, 0, 63, 3, 1, 0);
    SetRectangle(0, 7, 0, 7);
    for (const int firstSerial : {0, 5, INT_MAX - 1, -2}) {
        settings.firstSerial = firstSerial;
        const std::string expected = WorldItemSection(0, 61, 1, 1, 0, 0, firstSerial) +
                                     WorldItemSection(1, 62, 2, 1, 0, 0, firstSerial) +
                                     WorldItemSection(2, 63, 3, 1, 0, 0, firstSerial);
        EXPECT_EQ(Export(), expected) << firstSerial;

        BinaryFile index;
        BinaryFile data;
        BinaryFile items;
        ASSERT_TRUE(index.Open(settings.staticsIndexPath, BinaryFile::Mode::ReadWriteExisting));
        ASSERT_TRUE(data.Open(settings.staticsDataPath, BinaryFile::Mode::ReadWriteExisting));
        ASSERT_TRUE(items.Open(settings.itemsPath, BinaryFile::Mode::CreateTruncate));
        ExportStaticsRecordByRecord(index, data, items, settings);
        items.Close();
        EXPECT_EQ(ReadText(settings.itemsPath), expected) << firstSerial;
    }
}

TEST_F(StaticsExportTest, FilesThatCannotBeOpenedAreReportedInOrderAndTheScriptIsKept) {
    statics.Write(settings.staticsIndexPath, settings.staticsDataPath);
    WriteText(settings.itemsPath, "keep me");
    const std::string missing = ": No such file or directory";
    const std::string held = ": Resource temporarily unavailable";
    const struct {
        std::string index, data, items, message, details;
    } cases[] = {
        {dir.File("missing"), settings.staticsDataPath, settings.itemsPath,
         "Error: cannot open source staidx0.mul!", dir.File("missing") + missing},
        {settings.staticsIndexPath, dir.File("missing"), settings.itemsPath,
         "Error: cannot open source statics.mul!", dir.File("missing") + missing},
        {settings.staticsIndexPath, settings.staticsIndexPath, settings.itemsPath,
         "Error: cannot open source statics.mul!", settings.staticsIndexPath + held},
        {settings.staticsIndexPath, settings.staticsDataPath, settings.staticsIndexPath,
         "Error: cannot open destination items.wsc!", settings.staticsIndexPath + held},
        {settings.staticsIndexPath, settings.staticsDataPath, dir.File("no-such-dir/items.wsc"),
         "Error: cannot open destination items.wsc!", dir.File("no-such-dir/items.wsc") + missing},
    };
    const Bytes index = ReadBytes(settings.staticsIndexPath);
    for (const auto& row : cases) {
        settings.staticsIndexPath = row.index;
        settings.staticsDataPath = row.data;
        settings.itemsPath = row.items;
        ui.events.clear();
        ui.details.clear();
        const OperationOutcome outcome = ExportStatics(settings, ui);
        EXPECT_EQ(ui.events, (Events{"begin", "end", "message: " + row.message}));
        EXPECT_EQ(ui.details, (Events{row.details}));
        EXPECT_EQ(outcome.status, OperationStatus::FileError);
    }
    EXPECT_EQ(ReadText(dir.File("items.wsc")), "keep me");
    EXPECT_EQ(ReadBytes(dir.File("staidx0.mul")), index);
}

TEST_F(StaticsExportTest, DamagedStaticsAreRefusedBeforeTheScriptIsTouched) {
    statics.Add(0, 0, 70, 1, 1, 0);
    statics.Add(2, 1, 71, 1, 1, 0);
    const struct {
        int bx, by;
        std::int32_t lookup;
        std::uint32_t length;
        int indexBlocks;
        const char* message;
    } cases[] = {
        {2, 1, 0, 7, 2 * kBlockRows + 1,
         "Error: source staidx0.mul is too short for the copy rectangle!"},
        {2, 1, -2, 7, 3 * kBlockRows, "Error: source staidx0.mul has a bad entry for block 2,1!"},
        {2, 1, 7, 8, 3 * kBlockRows, "Error: source staidx0.mul has a bad entry for block 2,1!"},
        {0, 0, 0, 0xFFFFFFFFu, 3 * kBlockRows,
         "Error: source staidx0.mul has a bad entry for block 0,0!"},
        {1, 1, 2147483647, 1, 3 * kBlockRows,
         "Error: source staidx0.mul has a bad entry for block 1,1!"},
    };
    SetRectangle(0, 23, 0, 15);
    for (const auto& row : cases) {
        StaticsBuilder damaged = statics;
        damaged.SetEntry(row.bx, row.by, row.lookup, row.length);
        damaged.Write(settings.staticsIndexPath, settings.staticsDataPath, row.indexBlocks);
        WriteText(settings.itemsPath, "keep me");
        bool released = false;
        ui.onMessage = [&] {
            BinaryFile index;
            BinaryFile data;
            released = index.Open(settings.staticsIndexPath, BinaryFile::Mode::ReadWriteExisting) &&
                       data.Open(settings.staticsDataPath, BinaryFile::Mode::ReadWriteExisting);
        };
        ui.events.clear();
        const OperationOutcome outcome = ExportStatics(settings, ui);
        EXPECT_EQ(ui.events, (Events{"begin", "end", std::string("message: ") + row.message}));
        EXPECT_EQ(outcome.status, OperationStatus::Refused);
        EXPECT_TRUE(released) << "a statics file was still open when the message showed";
        EXPECT_EQ(ReadText(settings.itemsPath), "keep me");
    }
    // The second record of block (2, 1) ends exactly at the end of the data:
    // that is whole, not damaged.
    statics.Write(settings.staticsIndexPath, settings.staticsDataPath);
    ui.events.clear();
    EXPECT_EQ(ExportStatics(settings, ui).status, OperationStatus::Done);
    EXPECT_EQ(ui.events, (Events{"begin", "end"}));
    EXPECT_EQ(ReadText(settings.itemsPath), Section(0, 70, 1, 1, 0) + Section(1, 71, 17, 9, 0));
}

TEST_F(StaticsExportTest, AFailedWriteKeepsTheSectionsBeforeItAndEndsTheBusyIndicator) {
    statics.Add(0, 0, 80, 1, 1, 0);
    SetRectangle(0, 7, 0, 7);
    statics.Write(settings.staticsIndexPath, settings.staticsDataPath);
    settings.itemsPath = "/dev/full";
    EXPECT_THROW(ExportStatics(settings, ui), FileException);
    EXPECT_EQ(ui.events, (Events{"begin", "end"}));
    BinaryFile index;
    EXPECT_TRUE(index.Open(settings.staticsIndexPath, BinaryFile::Mode::ReadWriteExisting));
}

}  // namespace
}  // namespace kestrel
