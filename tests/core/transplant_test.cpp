#include "operations/transplant.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "clientfiles/binary_file.h"
#include "clientfiles/file_detection.h"
#include "clientfiles/map_file.h"
#include "clientfiles/map_store.h"
#include "operations/sample_world.h"
#include "support/map_fixture.h"
#include "support/statics_model.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::CellStatics;
using test::ModelStatic;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// Three block columns of map: every cell of columns 0..23 at any row.
constexpr std::size_t kMapBytes = 3 * kMapBlockColumnBytes;

struct World {
    Bytes map;
    CellStatics cells;
    test::ModelPair statics;
};

// A source world at dir/name: a map of pattern cells, and statics in the
// cells of 0..47 x 0..47 with many duplicates, every fourth block empty.
World MakeWorld(const std::filesystem::path& dir, std::uint32_t seed, int extent = 48) {
    World world;
    world.map = test::PatternBytes(kMapBytes, seed);
    world.cells = test::RandomStatics(MapGeometry{extent, extent}, seed, 0.5);
    world.statics = test::EncodeStatics(world.cells, kClassicGeometry, seed + 7);
    std::filesystem::create_directories(dir);
    WriteBytes((dir / "map0.mul").string(), world.map);
    WriteBytes((dir / "staidx0.mul").string(), world.statics.index);
    WriteBytes((dir / "statics0.mul").string(), world.statics.data);
    return world;
}

struct Files {
    Bytes map, index, data;
    friend bool operator==(const Files&, const Files&) = default;
};

Files ReadWorld(const std::filesystem::path& dir) {
    return {ReadBytes((dir / "map0.mul").string()), ReadBytes((dir / "staidx0.mul").string()),
            ReadBytes((dir / "statics0.mul").string())};
}

// The land summary worked out cell by cell from the source bytes.
LandTransplantSummary ExpectedLand(const Bytes& source, const TransplantPlacement& p) {
    LandTransplantSummary summary;
    for (int x = p.minX; x <= p.maxX; ++x) {
        for (int y = p.minY; y <= p.maxY; ++y) {
            const int toX = p.offX + x - p.minX;
            const int toY = p.offY + y - p.minY;
            if (toX > 6143 || toY > 4095) {
                ++summary.cellsClipped;
                continue;
            }
            ++summary.cellsCopied;
            const int z = static_cast<std::int8_t>(source[test::MapCellPosition(x, y) + 2]);
            summary.altitudeWraps += (z + p.offZ < -128 || z + p.offZ > 127) ? 1 : 0;
        }
    }
    return summary;
}

class TransplantTest : public ::testing::Test {
protected:
    TransplantRequest Request(const std::filesystem::path& from, const std::filesystem::path& to,
                              const TransplantPlacement& placement,
                              std::optional<StaticsMode> mode = StaticsMode::Replace) {
        TransplantRequest request;
        request.source = FindWorldFiles(from, 0, "source");
        request.destination = FindWorldFiles(to, 0, "destination");
        request.placement = placement;
        request.statics = mode;
        request.journalDirectory = dir.Path() / "journal";
        return request;
    }

    // Runs the transplant and checks all three destination files and the
    // summary against the models.
    void ExpectTransplanted(const World& source, const World& dest,
                            const TransplantPlacement& placement, StaticsMode mode) {
        const Files sourceBefore = ReadWorld(dir.Path() / "from");
        const TransplantSummary summary = Transplant(
            Request(dir.Path() / "from", dir.Path() / "to", placement, mode));
        EXPECT_EQ(ReadWorld(dir.Path() / "from"), sourceBefore) << "the source was written";

        const Files after = ReadWorld(dir.Path() / "to");
        EXPECT_EQ(after.map, test::ExpectedMapCopy(source.map, dest.map, LandSettings(placement)));
        EXPECT_EQ(summary.land, ExpectedLand(source.map, placement));

        test::ModelCounts counts;
        const CellStatics expected = test::ExpectedTransplant(
            source.cells, kClassicGeometry, dest.cells, kClassicGeometry,
            {placement.minX, placement.maxX, placement.minY, placement.maxY, placement.offX,
             placement.offY, placement.offZ, mode == StaticsMode::Add},
            counts);
        EXPECT_EQ(test::DecodeStatics(after.index, after.data, kClassicGeometry), expected);
        EXPECT_EQ(test::StaticsPairProblem(after.index, after.data, kClassicGeometry),
                  std::nullopt);
        EXPECT_EQ(summary.statics.moved, counts.moved);
        EXPECT_EQ(summary.statics.removed, counts.removed);
        EXPECT_EQ(summary.statics.leftOut, counts.leftOut);
        EXPECT_EQ(summary.statics.duplicatesSkipped, counts.duplicates);
    }

    TempDir dir;
};

struct Case {
    const char* name;
    TransplantPlacement placement;
    StaticsMode mode;
};

// Aligned and unaligned rectangles, replace and add (with the duplicates the
// random statics are full of), statics and land beyond the bottom edge, and
// altitude shifts that wrap both land and statics.
TEST_F(TransplantTest, LandAndStaticsMatchTheModelsInEveryCase) {
    const Case cases[] = {
        {"aligned replace", {8, 23, 16, 31, 32, 40, 0}, StaticsMode::Replace},
        {"unaligned replace", {3, 20, 5, 29, 27, 13, 5}, StaticsMode::Replace},
        {"unaligned add", {3, 20, 5, 29, 27, 13, 0}, StaticsMode::Add},
        {"aligned add onto itself", {0, 23, 0, 47, 0, 0, 0}, StaticsMode::Add},
        {"beyond the bottom edge", {1, 22, 2, 40, 9, 4081, -7}, StaticsMode::Replace},
        {"altitudes wrap upwards", {0, 21, 0, 44, 3, 3, 100}, StaticsMode::Replace},
        {"altitudes wrap downwards", {2, 23, 1, 40, 17, 21, -200}, StaticsMode::Add},
    };
    std::uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir.Path() / "from");
        std::filesystem::remove_all(dir.Path() / "to");
        const World source = MakeWorld(dir.Path() / "from", seed++);
        // The destination's statics cover more than the target cells, so that
        // what replace must keep is there to be lost.
        const World dest = MakeWorld(dir.Path() / "to", seed++, 64);
        ExpectTransplanted(source, dest, c.placement, c.mode);
    }
}

TEST_F(TransplantTest, ADryRunCountsTheSameAndWritesNothing) {
    const World source = MakeWorld(dir.Path() / "from", 5);
    MakeWorld(dir.Path() / "to", 6);
    const Files before = ReadWorld(dir.Path() / "to");
    const TransplantPlacement placement{0, 23, 0, 40, 6130, 4080, 90};
    TransplantRequest request = Request(dir.Path() / "from", dir.Path() / "to", placement);
    request.dryRun = true;
    const TransplantSummary summary = Transplant(request);
    EXPECT_EQ(ReadWorld(dir.Path() / "to"), before);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "journal"));
    EXPECT_EQ(summary.land, ExpectedLand(source.map, placement));
    EXPECT_GT(summary.land.cellsClipped, 0u);
    EXPECT_GT(summary.land.altitudeWraps, 0u);
    EXPECT_GT(summary.statics.leftOut, 0u);
}

// A move within one world: the rectangles overlap, and every cell and static
// must come from the world as it was before the move.
TEST_F(TransplantTest, AMoveWithinOneWorldReadsTheOldCellsWhereTheRectanglesOverlap) {
    const World world = MakeWorld(dir.Path() / "from", 11);
    for (const TransplantPlacement placement :
         {TransplantPlacement{0, 23, 0, 30, 5, 7, 3}, TransplantPlacement{6, 23, 9, 40, 0, 2, 0}}) {
        std::filesystem::remove_all(dir.Path() / "from");
        MakeWorld(dir.Path() / "from", 11);
        const TransplantSummary summary = Transplant(
            Request(dir.Path() / "from", dir.Path() / "from", placement, StaticsMode::Replace));
        EXPECT_TRUE(summary.sameWorld);
        const Files after = ReadWorld(dir.Path() / "from");
        EXPECT_EQ(after.map, test::ExpectedMapCopy(world.map, world.map, LandSettings(placement)));
        test::ModelCounts counts;
        const CellStatics expected = test::ExpectedTransplant(
            world.cells, kClassicGeometry, world.cells, kClassicGeometry,
            {placement.minX, placement.maxX, placement.minY, placement.maxY, placement.offX,
             placement.offY, placement.offZ, false},
            counts);
        EXPECT_EQ(test::DecodeStatics(after.index, after.data, kClassicGeometry), expected);
        EXPECT_EQ(test::StaticsPairProblem(after.index, after.data, kClassicGeometry),
                  std::nullopt);
    }
}

TEST_F(TransplantTest, DamagedDestinationStaticsAreRefusedAndNothingIsWritten) {
    MakeWorld(dir.Path() / "from", 21);
    World dest = MakeWorld(dir.Path() / "to", 22);
    // Block 3's entry reaches past the end of the data.
    Bytes index = dest.statics.index;
    const std::uint32_t lookup = static_cast<std::uint32_t>(dest.statics.data.size()) - 7;
    for (int k = 0; k < 4; ++k) {
        index[3 * 12 + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(lookup >> (8 * k));
        index[3 * 12 + 4 + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(14 >> (8 * k));
    }
    WriteBytes((dir.Path() / "to" / "staidx0.mul").string(), index);
    const Files before = ReadWorld(dir.Path() / "to");
    try {
        Transplant(Request(dir.Path() / "from", dir.Path() / "to", {0, 20, 0, 20, 1, 1, 0}));
        FAIL() << "damaged statics were accepted";
    } catch (const TransplantError& failure) {
        EXPECT_NE(std::string(failure.what()).find("destination staidx0.mul"), std::string::npos)
            << failure.what();
        EXPECT_NE(std::string(failure.what()).find("Nothing was changed."), std::string::npos);
    }
    EXPECT_EQ(ReadWorld(dir.Path() / "to"), before);
}

// Fails the nth call of a kind (a write unless told otherwise) on one file, once.
struct WriteFault {
    std::string path;
    int countdown = 0;
    seam::FileCall call = seam::FileCall::Write;
    static int Hook(void* context, seam::FileCall call, const std::string& fullPath) {
        auto* fault = static_cast<WriteFault*>(context);
        if (call == fault->call && fullPath == fault->path && --fault->countdown == 0) {
            return EIO;
        }
        return 0;
    }
};

// A failure while the destination is written, whichever file it hits and
// however far the writing has gone, leaves all three files as they were.
TEST_F(TransplantTest, AFailureWhileWritingLeavesAllThreeFilesAsTheyWere) {
    MakeWorld(dir.Path() / "from", 31);
    MakeWorld(dir.Path() / "to", 32, 64);
    const Files before = ReadWorld(dir.Path() / "to");
    const std::filesystem::path to = std::filesystem::canonical(dir.Path() / "to");
    struct Point {
        const char* file;
        int nthWrite;
    };
    // The map is written first, a block column at a time; then the index, then
    // the data (which is cut shorter afterwards).
    for (const Point point : {Point{"map0.mul", 1}, Point{"map0.mul", 3}, Point{"staidx0.mul", 1},
                              Point{"statics0.mul", 1}}) {
        SCOPED_TRACE(point.file + std::to_string(point.nthWrite));
        WriteFault fault{(to / point.file).string(), point.nthWrite};
        seam::SetFileFaultHook(&WriteFault::Hook, &fault);
        try {
            Transplant(Request(dir.Path() / "from", to, {0, 23, 0, 47, 2, 3, 4}));
            ADD_FAILURE() << "the failure went unnoticed";
        } catch (const TransplantError& failure) {
            EXPECT_NE(std::string(failure.what()).find("left as it was"), std::string::npos)
                << failure.what();
        }
        seam::SetFileFaultHook(nullptr, nullptr);
        EXPECT_LE(fault.countdown, 0) << "the write to fail was never made";
        EXPECT_EQ(ReadWorld(to), before);
    }
    // And without a failure the same transplant goes through.
    Transplant(Request(dir.Path() / "from", to, {0, 23, 0, 47, 2, 3, 4}));
    EXPECT_NE(ReadWorld(to), before);
}

// The data is cut shorter before the change is made durable; a failure then
// brings back its old length and its last bytes too.
TEST_F(TransplantTest, AFailureAfterTheDataWasCutBringsItsTailBack) {
    MakeWorld(dir.Path() / "from", 33, 8);
    MakeWorld(dir.Path() / "to", 34, 64);
    const std::filesystem::path to = std::filesystem::canonical(dir.Path() / "to");
    const Files before = ReadWorld(to);
    WriteFault fault{(to / "statics0.mul").string(), 1, seam::FileCall::Sync};
    seam::SetFileFaultHook(&WriteFault::Hook, &fault);
    EXPECT_THROW(Transplant(Request(dir.Path() / "from", to, {0, 23, 0, 40, 10, 10, 0})),
                 TransplantError);
    seam::SetFileFaultHook(nullptr, nullptr);
    EXPECT_LE(fault.countdown, 0);
    EXPECT_EQ(ReadWorld(to), before);
    // Without the failure the data does come out shorter.
    Transplant(Request(dir.Path() / "from", to, {0, 23, 0, 40, 10, 10, 0}));
    EXPECT_LT(std::filesystem::file_size(to / "statics0.mul"), before.data.size());
}

// Makes a file impossible to open for writing even for root: read-only
// permissions, and where the caller can, the immutable attribute.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::filesystem::path& path) : path(path) {
        std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::group_read |
                                               std::filesystem::perms::others_read);
        if (::geteuid() == 0) {
            immutable = SetImmutable(true);
        }
    }
    ~ReadOnlyFile() {
        if (immutable) {
            SetImmutable(false);
        }
        std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
    }
    bool Works() const { return ::geteuid() != 0 || immutable; }

private:
    bool SetImmutable(bool on) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) {
            return false;
        }
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }
    std::filesystem::path path;
    bool immutable = false;
};

TEST_F(TransplantTest, SourcesThatCannotBeWrittenAreReadAndLockedAgainstWriters) {
    const World source = MakeWorld(dir.Path() / "from", 41);
    const World dest = MakeWorld(dir.Path() / "to", 42);
    const ReadOnlyFile map(dir.Path() / "from" / "map0.mul");
    const ReadOnlyFile index(dir.Path() / "from" / "staidx0.mul");
    const ReadOnlyFile data(dir.Path() / "from" / "statics0.mul");
    if (!map.Works() || !index.Works() || !data.Works()) {
        GTEST_SKIP() << "running as root where the immutable attribute cannot be set: "
                        "no way to make a file read-only";
    }
    {
        BinaryFile probe;
        ASSERT_FALSE(probe.Open((dir.Path() / "from" / "map0.mul").string(),
                                BinaryFile::Mode::ReadWriteExisting))
            << "the source is still writable";
    }
    ExpectTransplanted(source, dest, {4, 19, 6, 33, 11, 12, -3}, StaticsMode::Replace);

    // A program writing a source keeps the transplant out, and says which.
    MakeWorld(dir.Path() / "other", 43);
    BinaryFile writer;
    ASSERT_TRUE(writer.Open((dir.Path() / "to" / "statics0.mul").string(),
                            BinaryFile::Mode::ReadWriteExisting));
    try {
        Transplant(Request(dir.Path() / "to", dir.Path() / "other", {0, 1, 0, 1, 0, 0, 0}));
        FAIL() << "a file held for writing was read";
    } catch (const TransplantError& failure) {
        EXPECT_NE(std::string(failure.what()).find("open in another program"), std::string::npos)
            << failure.what();
    }
}

TEST_F(TransplantTest, EachMissingFileIsNamed) {
    MakeWorld(dir.Path() / "w", 51);
    for (const char* name : {"staidx0.mul", "statics0.mul", "map0.mul"}) {
        std::filesystem::remove(dir.Path() / "w" / name);
        try {
            FindWorldFiles(dir.Path() / "w", 0, "source");
            ADD_FAILURE() << name << " was not missed";
        } catch (const TransplantError& failure) {
            EXPECT_NE(std::string(failure.what()).find(std::string("has no ")), std::string::npos);
            EXPECT_NE(std::string(failure.what()).find(name), std::string::npos) << failure.what();
        }
        WriteBytes((dir.Path() / "w" / name).string(), {});
    }
    // Any case of the names, and a .uop map where there is no .mul.
    std::filesystem::rename(dir.Path() / "w" / "staidx0.mul", dir.Path() / "w" / "STAIDX0.MUL");
    std::filesystem::rename(dir.Path() / "w" / "map0.mul", dir.Path() / "w" / "Map0LegacyMUL.uop");
    const WorldFiles files = FindWorldFiles(dir.Path() / "w", 0, "source");
    EXPECT_EQ(files.staticsIndex.filename(), "STAIDX0.MUL");
    EXPECT_EQ(files.map.filename(), "Map0LegacyMUL.uop");
}

// Sample worlds of a size no facet has, given by the caller: statics only.
TEST_F(TransplantTest, SampleWorldsOfAnyGivenSizeTradeTheirStatics) {
    const MapGeometry size{256, 192};
    SampleWorldOptions options;
    options.geometry = size;
    options.seed = 3;
    std::filesystem::create_directories(dir.Path() / "from");
    std::filesystem::create_directories(dir.Path() / "to");
    WriteSampleWorld(dir.Path() / "from", options);
    options.seed = 4;
    WriteSampleWorld(dir.Path() / "to", options);
    const Files source = ReadWorld(dir.Path() / "from");
    const Files dest = ReadWorld(dir.Path() / "to");
    const TransplantPlacement placement{37, 180, 21, 150, 150, 100, 0};
    for (const StaticsMode mode : {StaticsMode::Add, StaticsMode::Replace}) {
        WriteBytes((dir.Path() / "to" / "staidx0.mul").string(), dest.index);
        WriteBytes((dir.Path() / "to" / "statics0.mul").string(), dest.data);
        TransplantRequest request = Request(dir.Path() / "from", dir.Path() / "to", placement, mode);
        request.land = false;
        request.sourceGeometry = size;
        request.destinationGeometry = size;
        const TransplantSummary summary = Transplant(request);
        const Files after = ReadWorld(dir.Path() / "to");
        EXPECT_EQ(after.map, dest.map) << "the land was copied";
        test::ModelCounts counts;
        const CellStatics expected = test::ExpectedTransplant(
            test::DecodeStatics(source.index, source.data, size), size,
            test::DecodeStatics(dest.index, dest.data, size), size,
            {placement.minX, placement.maxX, placement.minY, placement.maxY, placement.offX,
             placement.offY, placement.offZ, mode == StaticsMode::Add},
            counts);
        EXPECT_EQ(test::DecodeStatics(after.index, after.data, size), expected);
        EXPECT_EQ(test::StaticsPairProblem(after.index, after.data, size), std::nullopt);
        EXPECT_EQ(summary.statics.leftOut, counts.leftOut);
        EXPECT_GT(counts.leftOut, 0u);
        EXPECT_GT(counts.moved, 1000u);
    }
}

// A map of any size in either container, as its logical .mul layout.
Bytes LogicalMap(const std::filesystem::path& path, MapGeometry size) {
    MapStore store;
    MapStoreOptions options;
    options.geometry = size;
    options.readOnly = true;
    EXPECT_TRUE(store.Open(path.string(), options));
    Bytes bytes(store.Length());
    EXPECT_EQ(store.Read(0, bytes.data(), bytes.size()), bytes.size());
    return bytes;
}

// Land and statics between worlds of other sizes, a .mul into a .uop (whose
// entries and checksums change) and back, and a failure part way through the
// .uop putting it back whole.
TEST_F(TransplantTest, WorldsOfOtherSizesAndContainersTradeLandAndStatics) {
    const MapGeometry sourceSize{192, 128};
    const MapGeometry destSize{128, 96};
    SampleWorldOptions options;
    options.geometry = sourceSize;
    options.seed = 71;
    std::filesystem::create_directories(dir.Path() / "from");
    std::filesystem::create_directories(dir.Path() / "to");
    WriteSampleWorld(dir.Path() / "from", options);
    options.geometry = destSize;
    options.seed = 72;
    options.uop = true;
    WriteSampleWorld(dir.Path() / "to", options);
    const std::filesystem::path to = std::filesystem::canonical(dir.Path() / "to");
    const WorldFiles destFiles = FindWorldFiles(to, 0, "destination");
    ASSERT_EQ(destFiles.map.filename(), "map0LegacyMUL.uop");
    const Bytes sourceMap = LogicalMap(dir.Path() / "from" / "map0.mul", sourceSize);
    const Bytes destMap = LogicalMap(destFiles.map, destSize);
    const Bytes destUop = ReadBytes(destFiles.map.string());
    const Bytes index = ReadBytes((to / "staidx0.mul").string());
    const Bytes data = ReadBytes((to / "statics0.mul").string());
    const TransplantPlacement placement{50, 170, 7, 120, 20, 30, -60};

    TransplantRequest request = Request(dir.Path() / "from", to, placement);
    request.sourceGeometry = sourceSize;
    request.destinationGeometry = destSize;
    WriteFault fault{destFiles.map.string(), 2};
    seam::SetFileFaultHook(&WriteFault::Hook, &fault);
    EXPECT_THROW(Transplant(request), TransplantError);
    seam::SetFileFaultHook(nullptr, nullptr);
    EXPECT_LE(fault.countdown, 0);
    EXPECT_EQ(ReadBytes(destFiles.map.string()), destUop);
    EXPECT_EQ(ReadBytes((to / "statics0.mul").string()), data);

    const TransplantSummary summary = Transplant(request);
    EXPECT_EQ(LogicalMap(destFiles.map, destSize),
              test::ExpectedMapCopy(sourceMap, {sourceSize.width, sourceSize.height}, destMap,
                                    {destSize.width, destSize.height}, LandSettings(placement)));
    EXPECT_GT(summary.land.cellsClipped, 0u);
    test::ModelCounts counts;
    const CellStatics expected = test::ExpectedTransplant(
        test::DecodeStatics(ReadBytes((dir.Path() / "from" / "staidx0.mul").string()),
                            ReadBytes((dir.Path() / "from" / "statics0.mul").string()),
                            sourceSize),
        sourceSize, test::DecodeStatics(index, data, destSize), destSize,
        {placement.minX, placement.maxX, placement.minY, placement.maxY, placement.offX,
         placement.offY, placement.offZ, false},
        counts);
    const Bytes newIndex = ReadBytes((to / "staidx0.mul").string());
    const Bytes newData = ReadBytes((to / "statics0.mul").string());
    EXPECT_EQ(test::DecodeStatics(newIndex, newData, destSize), expected);
    EXPECT_EQ(summary.statics.leftOut, counts.leftOut);
    EXPECT_GT(counts.moved, 100u);
    // The .uop still opens through its table.
    MapStore reopened;
    ASSERT_TRUE(reopened.Open(destFiles.map.string()));
}

// Transplanting the same rectangle again and again keeps the data as long as
// the statics it holds.
TEST_F(TransplantTest, RepeatedTransplantsKeepTheDataCompact) {
    MakeWorld(dir.Path() / "from", 61);
    MakeWorld(dir.Path() / "to", 62, 64);
    std::uintmax_t length = 0;
    for (int round = 0; round < 3; ++round) {
        Transplant(Request(dir.Path() / "from", dir.Path() / "to", {0, 20, 0, 40, 3, 5, 0}));
        const std::uintmax_t now = std::filesystem::file_size(dir.Path() / "to" / "statics0.mul");
        if (round > 0) {
            EXPECT_EQ(now, length) << "round " << round;
        }
        length = now;
    }
}

}  // namespace
}  // namespace kestrel
