// The fast map copy and the fast statics export against the cell-by-cell and
// record-by-record walks they replace: the same inputs must give the same
// bytes, file lengths included. Inputs are random from fixed seeds, so a
// failure reproduces.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "clientfiles/binary_file.h"
#include "clientfiles/byte_order.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/map_file.h"
#include "clientfiles/statics_file.h"
#include "operations/item_script_buffer.h"
#include "operations/map_region_copy.h"
#include "operations/map_span_copy.h"
#include "operations/statics_block_export.h"
#include "operations/statics_export.h"
#include "oracles/map_cell_copy.h"
#include "oracles/statics_record_export.h"
#include "oracles/world_item_writer.h"
#include "support/map_fixture.h"
#include "support/statics_fixture.h"
#include "support/temp_dir.h"

namespace kestrel::test {
namespace {

using Random = std::mt19937;

int Uniform(Random& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

Bytes RandomBytes(Random& random, std::size_t count) {
    Bytes bytes(count);
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(Uniform(random, 0, 255));
    }
    return bytes;
}

// Overwrites count random bytes at offset of an existing file; the rest of
// the file, holes included, stays.
void WriteRandomAt(const std::string& path, std::int64_t offset, std::size_t count,
                   Random& random) {
    const Bytes bytes = RandomBytes(random, count);
    std::fstream stream(path, std::ios::in | std::ios::out | std::ios::binary);
    stream.seekp(offset);
    stream.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(stream.good()) << path;
}

std::string Describe(const CopySettings& s) {
    std::ostringstream text;
    text << "x " << s.minX << ".." << s.maxX << " y " << s.minY << ".." << s.maxY << " to ("
         << s.offX << ", " << s.offY << ") z " << s.offZ;
    return text.str();
}

// A whole file in one read; some of the files here are 77 MB.
Bytes ReadWhole(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    Bytes bytes(std::filesystem::file_size(path));
    stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(stream.good()) << path;
    return bytes;
}

// Compares two files' bytes and names the first difference.
void ExpectSameFile(const std::string& expectedPath, const std::string& actualPath) {
    const Bytes expected = ReadWhole(expectedPath);
    const Bytes actual = ReadWhole(actualPath);
    ASSERT_EQ(expected.size(), actual.size()) << "file lengths differ";
    const auto [at, ignored] = std::mismatch(expected.begin(), expected.end(), actual.begin());
    EXPECT_TRUE(at == expected.end())
        << "first difference at byte " << (at - expected.begin()) << " of " << expected.size();
}

// Lowers the file-size limit of this process, so that a write past limit
// bytes stores what fits and the next one fails as a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved;
        lowered.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved{};
    sighandler_t previousHandler;
};

// ---------------------------------------------------------------------------
// Map copy

using MapCopy = std::function<void(BinaryFile&, BinaryFile&, const CopySettings&)>;

// Runs copy from sourcePath into a copy of destPath, returns the copy's path.
std::string CopyInto(const TempDir& dir, const std::string& name, const MapCopy& copy,
                     const std::string& sourcePath, const std::string& destPath,
                     const CopySettings& settings) {
    const std::string target = dir.File(name);
    std::filesystem::copy_file(destPath, target, std::filesystem::copy_options::overwrite_existing);
    BinaryFile source;
    BinaryFile dest;
    EXPECT_TRUE(source.Open(sourcePath, BinaryFile::Mode::ReadWriteExisting));
    EXPECT_TRUE(dest.Open(target, BinaryFile::Mode::ReadWriteExisting));
    copy(source, dest, settings);
    source.Close();
    dest.Close();
    return target;
}

void ExpectSpansCopyAsCellByCell(const TempDir& dir, const std::string& sourcePath,
                                 const std::string& destPath, const CopySettings& settings) {
    SCOPED_TRACE(Describe(settings) + ", destination of " +
                 std::to_string(std::filesystem::file_size(destPath)) + " bytes");
    const std::string expected =
        CopyInto(dir, "expected.mul", CopyMapCellByCell, sourcePath, destPath, settings);
    const std::string actual =
        CopyInto(dir, "actual.mul", CopyMapSpans, sourcePath, destPath, settings);
    ExpectSameFile(expected, actual);
}

using test::Rectangle;

// Sources of the first four block columns; rectangles aligned to blocks or
// not, empty ones, and destinations of full, partial and no length.
TEST(MapSpanCopy, WritesTheSameBytesAsTheCellByCellCopyForRandomRectangles) {
    TempDir dir;
    Random random(4071);
    constexpr std::size_t kSourceLength = 4 * kMapBlockColumnBytes;
    const std::string sourcePath = dir.File("source.mul");
    WriteBytes(sourcePath, RandomBytes(random, kSourceLength));
    const std::string destPath = dir.File("dest.mul");

    for (int round = 0; round < 250; ++round) {
        const bool aligned = round % 4 == 0;
        int minX = Uniform(random, 0, 29);
        int minY = Uniform(random, 0, round % 5 == 0 ? 4080 : 60);
        int offX = Uniform(random, 0, 40);
        int offY = Uniform(random, 0, 60);
        if (aligned) {
            minX -= minX % 8;
            minY -= minY % 8;
            offX -= offX % 8;
            offY -= offY % 8;
        }
        const int maxX = std::min(31, minX + Uniform(random, -3, 24));
        const int maxY = std::min(4095, minY + Uniform(random, -3, 24));
        const CopySettings settings =
            Rectangle(minX, maxX, minY, maxY, offX, offY, Uniform(random, -256, 256));

        std::size_t destLength = kSourceLength + kMapBlockColumnBytes;
        switch (round % 3) {
            case 1:
                destLength = static_cast<std::size_t>(Uniform(random, 0, 500000));
                break;
            case 2:
                destLength = static_cast<std::size_t>(Uniform(random, 0, 3)) * 1000;
                break;
        }
        WriteBytes(destPath, RandomBytes(random, destLength));
        ExpectSpansCopyAsCellByCell(dir, sourcePath, destPath, settings);
        if (HasFailure()) {
            return;
        }
    }
}

// Clipping at the right and bottom edges, and a rectangle at the far corner of
// the source; the destinations grow into large files with holes.
TEST(MapSpanCopy, WritesTheSameBytesAsTheCellByCellCopyAtTheEdgesOfTheMap) {
    TempDir dir;
    Random random(977);
    const std::string sourcePath = dir.File("source.mul");
    { std::ofstream create(sourcePath, std::ios::binary); }
    std::filesystem::resize_file(sourcePath, kMapFileBytes);
    WriteRandomAt(sourcePath, 0, 2 * kMapBlockColumnBytes, random);
    WriteRandomAt(sourcePath, kMapFileBytes - 2 * kMapBlockColumnBytes, 2 * kMapBlockColumnBytes,
                  random);
    const std::string destPath = dir.File("dest.mul");

    struct Case {
        CopySettings settings;
        std::size_t destLength;
    };
    const Case cases[] = {
        {Rectangle(0, 10, 0, 9, 6140, 0, 5), 0},                 // right edge, empty destination
        {Rectangle(3, 14, 2, 14, 5, 4090, -7), 150000},          // bottom edge
        {Rectangle(0, 12, 0, 12, 6139, 4093, 300), 0},           // both edges
        {Rectangle(0, 12, 0, 12, 6139, 4093, 300), 400000},      // both, destination longer
        {Rectangle(6135, 6143, 4087, 4095, 3, 5, -129), 0},      // far corner of the source
        {Rectangle(6130, 6143, 4080, 4095, 6136, 4088, 1), 10},  // corner onto corner
    };
    for (const Case& c : cases) {
        WriteBytes(destPath, RandomBytes(random, c.destLength));
        ExpectSpansCopyAsCellByCell(dir, sourcePath, destPath, c.settings);
    }
}

// Rectangles at least half the map high, aligned and not, and clipped.
TEST(MapSpanCopy, WritesTheSameBytesAsTheCellByCellCopyForTallRectangles) {
    TempDir dir;
    Random random(2048);
    const std::string sourcePath = dir.File("source.mul");
    WriteBytes(sourcePath, RandomBytes(random, 12 * kMapBlockColumnBytes));
    const std::string destPath = dir.File("dest.mul");

    struct Case {
        CopySettings settings;
        std::size_t destLength;
    };
    const Case cases[] = {
        {Rectangle(0, 31, 0, 4095, 8, 0, 5), 3 * kMapBlockColumnBytes},  // aligned, whole height
        {Rectangle(5, 94, 1000, 3099, 2, 7, 77), 0},                     // not aligned, two groups
        {Rectangle(8, 95, 1900, 4095, 6100, 1950, -1), 5000},            // clipped right and bottom
    };
    for (const Case& c : cases) {
        WriteBytes(destPath, RandomBytes(random, c.destLength));
        ExpectSpansCopyAsCellByCell(dir, sourcePath, destPath, c.settings);
    }
}

// A source that ends right after the last cell of the rectangle, in the middle
// of a block: the least that the copy accepts.
TEST(MapSpanCopy, CopiesFromASourceThatEndsWithTheRectanglesLastCell) {
    TempDir dir;
    Random random(31);
    const std::string sourcePath = dir.File("source.mul");
    const std::string destPath = dir.File("dest.mul");
    WriteBytes(destPath, RandomBytes(random, kMapBlockColumnBytes));
    const CopySettings cases[] = {
        Rectangle(6, 12, 30, 50, 0, 0, 9),   // two source block columns
        Rectangle(8, 15, 32, 43, 16, 8, -3),  // aligned blocks, the last one cut
    };
    for (const CopySettings& settings : cases) {
        WriteBytes(sourcePath,
                   RandomBytes(random, std::size_t(CellOffset(settings.maxX, settings.maxY)) +
                                           kMapCellBytes));
        ExpectSpansCopyAsCellByCell(dir, sourcePath, destPath, settings);
    }
}

TEST(MapSpanCopy, LeavesTheBlockColumnsWrittenBeforeAFullDisk) {
    TempDir dir;
    Random random(5);
    const std::string sourcePath = dir.File("source.mul");
    WriteBytes(sourcePath, RandomBytes(random, 4 * kMapBlockColumnBytes));
    const std::string destPath = dir.File("dest.mul");
    WriteBytes(destPath, {});
    const CopySettings settings = Rectangle(0, 31, 0, 500, 3, 2, 17);
    const std::string expected =
        CopyInto(dir, "expected.mul", CopyMapCellByCell, sourcePath, destPath, settings);

    // Past the first two destination block columns, inside the third.
    constexpr std::size_t kLimit = 2 * kMapBlockColumnBytes + 5000;
    const std::string target = dir.File("actual.mul");
    WriteBytes(target, {});
    BinaryFile source;
    BinaryFile dest;
    ASSERT_TRUE(source.Open(sourcePath, BinaryFile::Mode::ReadWriteExisting));
    ASSERT_TRUE(dest.Open(target, BinaryFile::Mode::ReadWriteExisting));
    std::optional<FileException> failure;
    {
        FileSizeLimit limit(kLimit);
        try {
            CopyMapSpans(source, dest, settings);
        } catch (const FileException& caught) {
            failure = caught;
        }
    }
    dest.Close();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->Cause(), FileErrorCause::DiskFull);
    EXPECT_EQ(failure->FileName(), dest.FullPath());
    Bytes whole = ReadBytes(expected);
    whole.resize(kLimit);
    EXPECT_TRUE(ReadBytes(target) == whole);
}

// ---------------------------------------------------------------------------
// Statics export

struct StaticsFiles {
    Bytes index;
    Bytes data;
};

struct StaticsShape {
    int blockColumns = 5;      // index entries of block columns 0..blockColumns-1
    int recordsPerBlock = 6;   // up to this many
    int farPercent = 30;       // records whose x and y may be anything up to 255
    int emptyPercent = 35;     // blocks with lookup -1 or length 0
    bool scatterData = false;  // records in random block order rather than block order
};

// A statics index and data file with random contents: entries with lookup -1
// (and garbage lengths), with length 0, and lengths that are not a multiple of
// 7, whose last record reaches into the bytes that follow.
StaticsFiles RandomStatics(Random& random, const StaticsShape& shape) {
    const int blocks = shape.blockColumns * kBlockRows;
    std::vector<int> order(static_cast<std::size_t>(blocks));
    for (int block = 0; block < blocks; ++block) {
        order[static_cast<std::size_t>(block)] = block;
    }
    if (shape.scatterData) {
        std::shuffle(order.begin(), order.end(), random);
    }
    StaticsFiles files;
    files.index.resize(static_cast<std::size_t>(blocks) * kStaticIndexEntryBytes);
    for (const int block : order) {
        std::uint8_t* entry = files.index.data() + block * kStaticIndexEntryBytes;
        StoreU32Le(entry + 8, static_cast<std::uint32_t>(random()));
        if (Uniform(random, 0, 99) < shape.emptyPercent) {
            const bool none = Uniform(random, 0, 1) == 0;
            StoreU32Le(entry, none ? 0xFFFFFFFFu : static_cast<std::uint32_t>(files.data.size()));
            StoreU32Le(entry + 4, none ? static_cast<std::uint32_t>(random()) : 0);
            continue;
        }
        const int count = Uniform(random, 1, shape.recordsPerBlock);
        const int shortBy = Uniform(random, 0, 3) == 0 ? Uniform(random, 0, 6) : 0;
        StoreU32Le(entry, static_cast<std::uint32_t>(files.data.size()));
        StoreU32Le(entry + 4, static_cast<std::uint32_t>(count * kStaticRecordBytes - shortBy));
        for (int k = 0; k < count; ++k) {
            Bytes record = RandomBytes(random, kStaticRecordBytes);
            if (Uniform(random, 0, 99) >= shape.farPercent) {
                record[2] &= 7;
                record[3] &= 7;
            }
            files.data.insert(files.data.end(), record.begin(), record.end());
        }
    }
    const Bytes tail = RandomBytes(random, 8);
    files.data.insert(files.data.end(), tail.begin(), tail.end());
    return files;
}

using StaticsExport =
    std::function<void(BinaryFile&, BinaryFile&, BinaryFile&, const CopySettings&)>;

struct ExportResult {
    Bytes script;
    std::optional<FileErrorCause> failure;
};

ExportResult RunExport(const TempDir& dir, const StaticsExport& exportStatics,
                       const CopySettings& settings) {
    BinaryFile index;
    BinaryFile data;
    BinaryFile items;
    EXPECT_TRUE(index.Open(settings.staticsIndexPath, BinaryFile::Mode::ReadWriteExisting));
    EXPECT_TRUE(data.Open(settings.staticsDataPath, BinaryFile::Mode::ReadWriteExisting));
    EXPECT_TRUE(items.Open(dir.File("items.wsc"), BinaryFile::Mode::CreateTruncate));
    ExportResult result;
    try {
        exportStatics(index, data, items, settings);
    } catch (const FileException& failure) {
        result.failure = failure.Cause();
    }
    items.Close();
    result.script = ReadBytes(dir.File("items.wsc"));
    return result;
}

void ExpectBlockExportAsRecordByRecord(const TempDir& dir, const StaticsFiles& files,
                                       CopySettings settings) {
    SCOPED_TRACE(Describe(settings));
    settings.staticsIndexPath = dir.File("staidx0.mul");
    settings.staticsDataPath = dir.File("statics0.mul");
    WriteBytes(settings.staticsIndexPath, files.index);
    WriteBytes(settings.staticsDataPath, files.data);
    const ExportResult expected = RunExport(dir, ExportStaticsRecordByRecord, settings);
    const ExportResult actual = RunExport(dir, ExportStaticsByBlock, settings);
    EXPECT_EQ(expected.failure, actual.failure);
    ASSERT_EQ(expected.script.size(), actual.script.size());
    EXPECT_TRUE(expected.script == actual.script);
}

CopySettings RandomExportRectangle(Random& random, int lastColumn, int lastRow) {
    const int minX = Uniform(random, 0, lastColumn);
    const int minY = Uniform(random, 0, lastRow);
    return Rectangle(minX, std::min(lastColumn, minX + Uniform(random, -4, 30)), minY,
                     std::min(lastRow, minY + Uniform(random, -4, 30)), Uniform(random, 0, 6143),
                     Uniform(random, 0, 4095), Uniform(random, -256, 256));
}

TEST(StaticsBlockExport, WritesTheSameScriptAsTheRecordByRecordExportForRandomStatics) {
    TempDir dir;
    Random random(8128);
    for (int round = 0; round < 120; ++round) {
        StaticsShape shape;
        shape.scatterData = round % 2 == 1;
        const StaticsFiles files = RandomStatics(random, shape);
        ExpectBlockExportAsRecordByRecord(dir, files, RandomExportRectangle(random, 39, 120));
        if (HasFailure()) {
            return;
        }
    }
}

// Files that end right after what the walk reads, as short as the export
// accepts: the index after the last visited entry, the data after the records
// of the visited block that reach furthest. The read-ahead windows then reach
// past the end of the data file.
TEST(StaticsBlockExport, WritesTheSameScriptAsTheRecordByRecordExportForFilesCutToTheRectangle) {
    TempDir dir;
    Random random(1213);
    for (int round = 0; round < 90; ++round) {
        StaticsFiles files = RandomStatics(random, StaticsShape{});
        CopySettings settings = RandomExportRectangle(random, 39, 60);
        const StaticsBlockRange blocks = VisitedBlocks(settings);
        if (blocks.IsEmpty()) {
            continue;
        }
        files.index.resize(
            static_cast<std::size_t>(StaticIndexOffset(blocks.lastBx, blocks.lastBy)) +
            kStaticIndexEntryBytes);
        std::size_t dataEnd = 0;
        for (int by = blocks.firstBy; by <= blocks.lastBy; ++by) {
            for (int bx = blocks.firstBx; bx <= blocks.lastBx; ++bx) {
                const std::uint8_t* entry = files.index.data() + StaticIndexOffset(bx, by);
                const auto lookup = static_cast<std::int32_t>(LoadU32Le(entry));
                const std::uint32_t length = lookup == kNoStatics ? 0 : LoadU32Le(entry + 4);
                if (length > 0) {
                    dataEnd = std::max<std::size_t>(
                        dataEnd, static_cast<std::size_t>(lookup) +
                                     StaticRecordCount(length) * kStaticRecordBytes);
                }
            }
        }
        files.data.resize(dataEnd);
        ExpectBlockExportAsRecordByRecord(dir, files, settings);
        if (HasFailure()) {
            return;
        }
    }
}

// Blocks of the full map width (several index bands, a window per block
// column), and a block larger than its read-ahead window.
TEST(StaticsBlockExport, WritesTheSameScriptAsTheRecordByRecordExportForLargeWalks) {
    TempDir dir;
    Random random(65537);

    StaticsShape wide;
    wide.blockColumns = kBlockColumns;
    wide.emptyPercent = 97;
    wide.recordsPerBlock = 12;
    ExpectBlockExportAsRecordByRecord(dir, RandomStatics(random, wide),
                                      Rectangle(0, 6143, 5, 925, 1, 2, 3));

    StaticsShape narrow;
    narrow.blockColumns = 2;
    narrow.farPercent = 0;
    StaticsFiles files = RandomStatics(random, narrow);
    // Block (1, 3): 50,000 records, some 350 KB, appended to the data.
    std::uint8_t* entry = files.index.data() + StaticIndexOffset(1, 3);
    StoreU32Le(entry, static_cast<std::uint32_t>(files.data.size()));
    StoreU32Le(entry + 4, 50000 * kStaticRecordBytes);
    for (int k = 0; k < 50000; ++k) {
        Bytes record = RandomBytes(random, kStaticRecordBytes);
        record[2] &= 7;
        record[3] &= 7;
        files.data.insert(files.data.end(), record.begin(), record.end());
    }
    ExpectBlockExportAsRecordByRecord(dir, files, Rectangle(8, 15, 24, 31, 0, 0, -3));
    ExpectBlockExportAsRecordByRecord(dir, files, Rectangle(8, 15, 27, 28, 0, 0, -3));
}

// The script outgrows the buffer several times over; the file-size limit cuts
// a write short in the middle of the run.
TEST(StaticsBlockExport, LeavesWhatReachedTheFileWhenTheDiskFills) {
    TempDir dir;
    Random random(99);
    StaticsShape dense;
    dense.emptyPercent = 0;
    dense.recordsPerBlock = 20;
    dense.farPercent = 0;
    const StaticsFiles files = RandomStatics(random, dense);
    CopySettings settings = Rectangle(0, 39, 0, 4095, 0, 0, 0);
    settings.staticsIndexPath = dir.File("staidx0.mul");
    settings.staticsDataPath = dir.File("statics0.mul");
    WriteBytes(settings.staticsIndexPath, files.index);
    WriteBytes(settings.staticsDataPath, files.data);
    const Bytes whole = RunExport(dir, ExportStaticsRecordByRecord, settings).script;
    ASSERT_GT(whole.size(), 3 * ItemScriptBuffer::kDefaultCapacity);

    const std::size_t limit = whole.size() / 2 + 17;
    BinaryFile index;
    BinaryFile data;
    BinaryFile items;
    ASSERT_TRUE(index.Open(settings.staticsIndexPath, BinaryFile::Mode::ReadWriteExisting));
    ASSERT_TRUE(data.Open(settings.staticsDataPath, BinaryFile::Mode::ReadWriteExisting));
    ASSERT_TRUE(items.Open(dir.File("items.wsc"), BinaryFile::Mode::CreateTruncate));
    std::optional<FileException> failure;
    {
        FileSizeLimit fileSizeLimit(limit);
        try {
            ExportStaticsByBlock(index, data, items, settings);
        } catch (const FileException& caught) {
            failure = caught;
        }
    }
    items.Close();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->Cause(), FileErrorCause::DiskFull);
    EXPECT_EQ(failure->FileName(), dir.File("items.wsc"));
    Bytes reached = whole;
    reached.resize(limit);
    EXPECT_TRUE(ReadBytes(dir.File("items.wsc")) == reached);
}

TEST(StaticsBlockExport, ReportsAFullDeviceByTheItemsFileName) {
    TempDir dir;
    Random random(7);
    StaticsShape shape;
    shape.emptyPercent = 0;
    shape.farPercent = 0;
    const StaticsFiles files = RandomStatics(random, shape);
    WriteBytes(dir.File("staidx0.mul"), files.index);
    WriteBytes(dir.File("statics0.mul"), files.data);
    BinaryFile index;
    BinaryFile data;
    BinaryFile items;
    ASSERT_TRUE(index.Open(dir.File("staidx0.mul"), BinaryFile::Mode::ReadWriteExisting));
    ASSERT_TRUE(data.Open(dir.File("statics0.mul"), BinaryFile::Mode::ReadWriteExisting));
    ASSERT_TRUE(items.Open("/dev/full", BinaryFile::Mode::CreateTruncate));
    try {
        ExportStaticsByBlock(index, data, items, Rectangle(0, 15, 0, 15, 0, 0, 0));
        FAIL() << "no FileException";
    } catch (const FileException& failure) {
        EXPECT_EQ(failure.Cause(), FileErrorCause::DiskFull);
        EXPECT_STREQ(failure.what(), "Disk full while accessing /dev/full.");
    }
}

// The extremes of every value, and a buffer so small that it is written out
// every section or two.
TEST(ItemScriptBuffer, FormatsSectionsAsTheWorldItemWriterDoes) {
    TempDir dir;
    struct Item {
        int x, y, z, tileId, hue, index;
    };
    const Item items[] = {
        {0, 0, 0, 0, 0, 0},
        {100, 200, -5, 600, 0, 7},
        {12286, 8190, -384, 65535, 65535, 1073741823},
        {6143, 4095, 383, 1, 9, 1073741824},
        {-1, -10, -100, 10, 100, INT_MAX},
        {INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MIN},
        {99999, 1000000, 9, 99, 999, -1},
    };
    BinaryFile expected;
    BinaryFile actual;
    ASSERT_TRUE(expected.Open(dir.File("expected.wsc"), BinaryFile::Mode::CreateTruncate));
    ASSERT_TRUE(actual.Open(dir.File("actual.wsc"), BinaryFile::Mode::CreateTruncate));
    ItemScriptBuffer buffer(actual, 256);
    for (int pass = 0; pass < 3; ++pass) {
        for (const Item& item : items) {
            WriteWorldItem(expected, item.x, item.y, item.z, item.tileId, item.hue, item.index);
            buffer.Append(item.x, item.y, item.z, item.tileId, item.hue, item.index);
        }
    }
    buffer.Flush();
    expected.Close();
    actual.Close();
    EXPECT_EQ(ReadText(dir.File("expected.wsc")), ReadText(dir.File("actual.wsc")));
}

// Serials counted up from any first serial, past the points where the
// buffer's counting in decimal text has to give way to formatting afresh.
TEST(ItemScriptBuffer, CountsSerialsUpFromTheFirstSerial) {
    TempDir dir;
    for (const int firstSerial : {0x40000000, 0, INT_MAX - 2, -3, INT_MIN, 999999998}) {
        std::string expected;
        BinaryFile actual;
        ASSERT_TRUE(actual.Open(dir.File("actual.wsc"), BinaryFile::Mode::CreateTruncate));
        {
            ItemScriptBuffer buffer(actual, 256, firstSerial);
            for (int index = 0; index < 6; ++index) {
                buffer.Append(index, 2, 3, 4, 5, index);
                expected += WorldItemSection(index, 4, index, 2, 3, 5, firstSerial);
            }
            buffer.Flush();
        }
        actual.Close();
        EXPECT_EQ(ReadText(dir.File("actual.wsc")), expected) << firstSerial;
    }
}

}  // namespace
}  // namespace kestrel::test
