#include "operations/map_region_copy.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "clientfiles/file_exception.h"
#include "clientfiles/map_file.h"
#include "oracles/map_cell_copy.h"
#include "support/map_fixture.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::ExpectedMapCopy;
using test::PatternBytes;
using test::ReadBytes;
using test::RecordingUi;
using test::TempDir;
using test::WriteBytes;
using Events = std::vector<std::string>;

class MapRegionCopyTest : public ::testing::Test {
protected:
    MapRegionCopyTest() {
        settings.sourceMapPath = dir.File("source-map0.mul");
        settings.destMapPath = dir.File("dest-map0.mul");
        WriteBytes(settings.sourceMapPath, source);
        WriteBytes(settings.destMapPath, dest);
    }

    void ExpectCopied() {
        EXPECT_EQ(ReadBytes(settings.sourceMapPath), source) << "the source was written";
        EXPECT_EQ(ReadBytes(settings.destMapPath), ExpectedMapCopy(source, dest, settings));
    }

    void ExpectUntouched() {
        EXPECT_EQ(ReadBytes(settings.sourceMapPath), source);
        EXPECT_EQ(ReadBytes(settings.destMapPath), dest);
    }

    TempDir dir;
    Bytes source = PatternBytes(2 * kMapBlockColumnBytes, 1);
    Bytes dest = PatternBytes(2 * kMapBlockColumnBytes, 2);
    CopySettings settings;
    RecordingUi ui;
};

TEST_F(MapRegionCopyTest, ASingleCellLandsOnTheCornerAndNothingElseChanges) {
    settings.minX = settings.maxX = 2;
    settings.minY = settings.maxY = 20;
    const OperationOutcome outcome = CopyMapRegion(settings, ui);
    EXPECT_EQ(outcome.status, OperationStatus::Done);
    EXPECT_EQ(outcome.message, "");

    Bytes expected = dest;
    std::copy(source.begin() + 498, source.begin() + 501, expected.begin() + 4);
    EXPECT_EQ(ReadBytes(settings.destMapPath), expected);
    EXPECT_EQ(ui.events, (Events{"begin", "end"}));
}

// Each rectangle lands with its corner on (offX, offY), altitudes shifted in 8
// bits; what would land below the map is left out, and a destination shorter
// than the map grows to end with the last cell written.
TEST_F(MapRegionCopyTest, RectanglesLandMovedWithTheirAltitudesShifted) {
    constexpr std::size_t kWhole = 2 * kMapBlockColumnBytes;
    const struct {
        const char* what;
        int minX, maxX, minY, maxY, offX, offY, offZ;
        std::size_t destBytes;
    } cases[] = {
        {"across block columns and rows", 3, 12, 5, 9, 1, 14, 10, kWhole},
        {"block-aligned onto itself", 0, 15, 0, 15, 0, 0, 0, kWhole},
        {"one row, far down", 8, 15, 6, 6, 2, 1000, -56, kWhole},
        {"a shift of 256 changes no altitude", 5, 9, 7, 30, 9, 3, 256, kWhole},
        {"a shift of -256 neither", 1, 2, 1, 2, 12, 12, -256, kWhole},
        {"rows below the map are left out", 0, 3, 0, 5, 0, 4094, 0, kWhole},
        {"an empty destination grows", 4, 13, 2, 11, 7, 20, 0, 0},
        {"a short destination grows", 0, 9, 0, 9, 9, 9, 1, 5 * 196},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        dest = PatternBytes(kWhole, 2);
        dest.resize(row.destBytes);
        WriteBytes(settings.destMapPath, dest);
        settings.minX = row.minX;
        settings.maxX = row.maxX;
        settings.minY = row.minY;
        settings.maxY = row.maxY;
        settings.offX = row.offX;
        settings.offY = row.offY;
        settings.offZ = row.offZ;
        ui.events.clear();
        EXPECT_EQ(CopyMapRegion(settings, ui).status, OperationStatus::Done);
        EXPECT_EQ(ui.events, (Events{"begin", "end"}));
        ExpectCopied();
    }
}

TEST(ShiftAltitudeTest, WrapsAroundInEightBits) {
    const struct {
        int altitude, offZ, result;
    } cases[] = {
        {120, 10, -126}, {-128, -1, 127}, {100, 200, 44}, {100, -56, 44},
        {127, 1, -128},  {-7, 256, -7},   {-7, -256, -7}, {0, 0, 0},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(ShiftAltitude(static_cast<std::int8_t>(row.altitude), row.offZ), row.result)
            << row.altitude << " + " << row.offZ;
    }
}

TEST(ClipMapCopyTest, CellsLandingRightOfOrBelowTheMapAreLeftOut) {
    CopySettings settings;
    settings.minX = 0;
    settings.maxX = 10;
    settings.offX = 6143 - 3;
    settings.minY = 0;
    settings.maxY = 5;
    settings.offY = 4095 - 1;
    const MapCopyRange range = ClipMapCopy(settings);
    EXPECT_EQ(range.lastX, 3);
    EXPECT_EQ(range.lastY, 1);

    settings.offX = settings.offY = 0;
    const MapCopyRange whole = ClipMapCopy(settings);
    EXPECT_EQ(whole.lastX, 10);
    EXPECT_EQ(whole.lastY, 5);
}

TEST_F(MapRegionCopyTest, ColumnsThatWouldLandRightOfTheMapAreSkipped) {
    settings.minX = 0;
    settings.maxX = 10;
    settings.minY = 0;
    settings.maxY = 0;
    settings.offX = 6140;
    CopyMapRegion(settings, ui);

    BinaryFile result;
    ASSERT_TRUE(result.Open(settings.destMapPath, BinaryFile::Mode::ReadWriteExisting));
    EXPECT_EQ(result.Length(), std::uint64_t(CellOffset(6143, 0)) + 3);
    for (int x = 0; x <= 3; ++x) {
        std::uint16_t tileId = 0;
        std::int8_t altitude = 0;
        ReadMapCell(result, 6140 + x, 0, tileId, altitude);
        const auto at = static_cast<std::size_t>(CellOffset(x, 0));
        EXPECT_EQ(tileId, source[at] | source[at + 1] << 8);
        EXPECT_EQ(static_cast<std::uint8_t>(altitude), source[at + 2]);
    }
}

TEST_F(MapRegionCopyTest, AnEmptyRectangleOpensBothFilesAndWritesNothing) {
    settings.minX = 6;
    settings.maxX = 5;
    CopyMapRegion(settings, ui);
    settings.minX = 0;
    settings.minY = 9;
    settings.maxY = 8;
    CopyMapRegion(settings, ui);
    ExpectUntouched();
    EXPECT_EQ(ui.events, (Events{"begin", "end", "begin", "end"}));
}

// One file as source and destination, by the same path or another one, is a
// move: the result is that of reading the whole rectangle before writing, in
// whichever direction the rectangles overlap.
TEST_F(MapRegionCopyTest, OneFileAsSourceAndDestinationMovesTheRectangleWithinIt) {
    const struct {
        const char* what;
        int minX, minY, offX, offY;
    } cases[] = {
        {"right and down", 2, 3, 13, 12}, {"left and up", 11, 14, 1, 5},
        {"right and up", 1, 20, 9, 6},    {"left and down", 11, 2, 1, 9},
        {"right by blocks", 0, 0, 8, 0},  {"down only", 5, 5, 5, 9},
    };
    // Four block columns, so that the rectangle spans more than two of them.
    source = PatternBytes(4 * kMapBlockColumnBytes, 3);
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        WriteBytes(settings.sourceMapPath, source);
        // The same path, a symbolic link, another spelling of the path.
        settings.destMapPath =
            row.what[0] == 'r' ? settings.sourceMapPath : dir.File("./source-map0.mul");
        if (row.what[0] == 'l') {
            std::filesystem::remove(dir.File("link.mul"));
            std::filesystem::create_symlink(settings.sourceMapPath, dir.File("link.mul"));
            settings.destMapPath = dir.File("link.mul");
        }
        settings.minX = row.minX;
        settings.maxX = row.minX + 20;
        settings.minY = row.minY;
        settings.maxY = row.minY + 17;
        settings.offX = row.offX;
        settings.offY = row.offY;
        settings.offZ = -3;
        ui.events.clear();
        EXPECT_EQ(CopyMapRegion(settings, ui).status, OperationStatus::Done);
        EXPECT_EQ(ui.events, (Events{"begin", "end"}));
        EXPECT_EQ(ReadBytes(settings.sourceMapPath), ExpectedMapCopy(source, source, settings));
    }
}

TEST_F(MapRegionCopyTest, AMissingSourceIsReportedBeforeTheDestinationIsTried) {
    settings.sourceMapPath = dir.File("missing.mul");
    settings.destMapPath = dir.File("missing-too.mul");
    const OperationOutcome outcome = CopyMapRegion(settings, ui);
    EXPECT_EQ(ui.events, (Events{"begin", "end", "message: Error: cannot open source map0.mul!"}));
    EXPECT_EQ(outcome.status, OperationStatus::FileError);
    EXPECT_EQ(outcome.message, kCannotOpenSourceMap);
    EXPECT_EQ(outcome.details, settings.sourceMapPath + ": No such file or directory");
    EXPECT_EQ(ui.details, (Events{outcome.details}));
}

TEST_F(MapRegionCopyTest, AMissingDestinationIsNotCreated) {
    settings.destMapPath = dir.File("missing.mul");
    CopyMapRegion(settings, ui);
    EXPECT_EQ(ui.events,
              (Events{"begin", "end", "message: Error: cannot open destination map0.mul!"}));
    EXPECT_FALSE(std::filesystem::exists(settings.destMapPath));
}

TEST_F(MapRegionCopyTest, ASourceThatLacksCellsOfTheRectangleIsRefusedBeforeAnyWrite) {
    settings.minX = 0;
    settings.maxX = 9;  // reaches into the second block column
    settings.maxY = 0;
    source.resize(kMapBlockColumnBytes);  // whole blocks, but one block column only
    WriteBytes(settings.sourceMapPath, source);
    const OperationOutcome outcome = CopyMapRegion(settings, ui);
    EXPECT_EQ(ui.events, (Events{"begin", "end",
                                 "message: Error: source map0.mul is too short for the copy "
                                 "rectangle!"}));
    EXPECT_EQ(outcome.status, OperationStatus::Refused);
    EXPECT_EQ(ui.details, (Events{""}));
    ExpectUntouched();

    // One block more holds the last cell, and the copy goes ahead.
    source.resize(source.size() + kMapBlockBytes, 0x55);
    WriteBytes(settings.sourceMapPath, source);
    ui.events.clear();
    CopyMapRegion(settings, ui);
    EXPECT_EQ(ui.events, (Events{"begin", "end"}));
    ExpectCopied();
}

TEST_F(MapRegionCopyTest, EveryFileIsClosedBeforeAMessageIsShown) {
    settings.minX = 0;
    settings.maxX = 20;
    WriteBytes(settings.sourceMapPath, {1, 2, 3});
    bool reopened = false;
    ui.onMessage = [&] {
        BinaryFile source;
        BinaryFile dest;
        reopened = source.Open(settings.sourceMapPath, BinaryFile::Mode::ReadWriteExisting) &&
                   dest.Open(settings.destMapPath, BinaryFile::Mode::ReadWriteExisting);
    };
    CopyMapRegion(settings, ui);
    ASSERT_EQ(ui.events.size(), 3u);
    EXPECT_TRUE(reopened);
}

TEST_F(MapRegionCopyTest, AFailedWriteEndsTheCopyWithTheFilesClosedAndTheBusyIndicatorEnded) {
    settings.destMapPath = "/dev/full";
    try {
        CopyMapRegion(settings, ui);
        FAIL() << "no exception";
    } catch (const FileException& failure) {
        EXPECT_STREQ(failure.what(), "Disk full while accessing /dev/full.");
    }
    EXPECT_EQ(ui.events, (Events{"begin", "end"}));
    BinaryFile source;
    EXPECT_TRUE(source.Open(settings.sourceMapPath, BinaryFile::Mode::ReadWriteExisting));
}

}  // namespace
}  // namespace kestrel
