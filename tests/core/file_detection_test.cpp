#include "clientfiles/file_detection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "clientfiles/byte_order.h"
#include "clientfiles/byte_source.h"
#include "clientfiles/client_file_error.h"
#include "operations/client_file_info.h"
#include "operations/sample_world.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::TempDir;

constexpr MapGeometry kFelucca{7168, 4096};
constexpr MapGeometry kIlshenar{2304, 1600};
constexpr MapGeometry kMalas{2560, 2048};
constexpr MapGeometry kTokuno{1448, 1448};
constexpr MapGeometry kTerMur{1280, 4096};

TEST(FileDetectionTest, MulMapLengthTellsTheFacetSize) {
    struct Case {
        std::uint64_t bytes;
        std::optional<int> mapNumber;
        SizeMatch match;
        MapGeometry geometry;
    };
    const Case cases[] = {
        {89'915'392, 0, SizeMatch::Known, kFelucca},
        {89'915'392 + 196, 1, SizeMatch::Known, kFelucca},  // one block more, as unpacked
        {77'070'336, std::nullopt, SizeMatch::Known, kClassicGeometry},
        {77'070'336 + 196, 0, SizeMatch::Known, kClassicGeometry},
        {11'289'600, 2, SizeMatch::Known, kIlshenar},
        {11'289'600, 0, SizeMatch::Known, kIlshenar},  // the length alone decides
        {6'421'156, std::nullopt, SizeMatch::Known, kTokuno},
        {16'056'320, 3, SizeMatch::Known, kMalas},
        {16'056'320 + 196, 5, SizeMatch::Known, kTerMur},
        {16'056'320, std::nullopt, SizeMatch::Ambiguous, kClassicGeometry},
        {16'056'320, 0, SizeMatch::Ambiguous, kClassicGeometry},
        {77'070'336 + 12, 0, SizeMatch::Unknown, kClassicGeometry},
        {77'070'336 + 2 * 196, 0, SizeMatch::Unknown, kClassicGeometry},
        {0, 0, SizeMatch::Unknown, kClassicGeometry},
    };
    for (const Case& test : cases) {
        const FileDetection detection = MatchMulMapSize(test.bytes, test.mapNumber);
        EXPECT_EQ(detection.match, test.match)
            << test.bytes << " map " << test.mapNumber.value_or(-1);
        EXPECT_EQ(detection.geometry, test.geometry) << test.bytes;
    }
    const FileDetection ambiguous = MatchMulMapSize(16'056'320, std::nullopt);
    EXPECT_EQ(ambiguous.candidates, (std::vector<MapGeometry>{kMalas, kTerMur}));
}

TEST(FileDetectionTest, StaticsIndexLengthIsTwelveBytesPerBlock) {
    EXPECT_EQ(MatchStaticsIndexSize(5'505'024, 0).geometry, kFelucca);
    EXPECT_EQ(MatchStaticsIndexSize(4'718'592, 1).geometry, kClassicGeometry);
    EXPECT_EQ(MatchStaticsIndexSize(691'200, 2).geometry, kIlshenar);
    EXPECT_EQ(MatchStaticsIndexSize(393'132, 4).geometry, kTokuno);
    EXPECT_EQ(MatchStaticsIndexSize(983'040, 5).geometry, kTerMur);
    EXPECT_EQ(MatchStaticsIndexSize(983'040, std::nullopt).match, SizeMatch::Ambiguous);
    EXPECT_EQ(MatchStaticsIndexSize(691'200 + 12, 2).match, SizeMatch::Unknown);
}

TEST(FileDetectionTest, MapSizeTextAndFileNameNumbers) {
    EXPECT_EQ(ParseMapSize("7168x4096"), kFelucca);
    EXPECT_EQ(ParseMapSize("1448X1448"), kTokuno);
    EXPECT_EQ(ParseMapSize("2304\u00D71600"), kIlshenar);
    EXPECT_EQ(ParseMapSize("16384x8"), (MapGeometry{16384, 8}));
    for (const char* bad : {"", "7168", "7168x", "x4096", "7167x4096", "0x8", "16392x8", "-8x8",
                            " 8x8", "8x8 ", "8x8x8", "+8x8"}) {
        EXPECT_EQ(ParseMapSize(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(MapNumberFromFileName("/data/uo/map5LegacyMUL.uop"), 5);
    EXPECT_EQ(MapNumberFromFileName("MAP3.MUL"), 3);
    EXPECT_EQ(MapNumberFromFileName("staidx2.mul"), 2);
    EXPECT_EQ(MapNumberFromFileName("statics12.mul"), 12);
    EXPECT_EQ(MapNumberFromFileName("map.mul"), std::nullopt);
    EXPECT_EQ(MapNumberFromFileName("/maps/map3/felucca.mul"), std::nullopt);
    EXPECT_EQ(MapNumberFromFileName("source-map0.mul"), std::nullopt);
}

TEST(FileDetectionTest, MissingFileIsTakenAsTheClassicMap) {
    TempDir dir;
    const FileDetection detection = DetectMap(dir.File("map0.mul"));
    EXPECT_EQ(detection.match, SizeMatch::Missing);
    EXPECT_EQ(detection.geometry, kClassicGeometry);
    EXPECT_EQ(DetectStaticsIndex(dir.File("staidx0.mul")).match, SizeMatch::Missing);
}

// An Ilshenar sample, its map as a .uop.
class ClientFileInfoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = std::make_unique<TempDir>();
        SampleWorldOptions options;
        options.geometry = kIlshenar;
        options.mapNumber = 2;
        options.uop = true;
        summary = WriteSampleWorld(dir->Path(), options);
    }
    static void TearDownTestSuite() { dir.reset(); }

    static inline std::unique_ptr<TempDir> dir;
    static inline SampleWorldSummary summary;
};

TEST_F(ClientFileInfoTest, CountsTheStaticItemsTheIndexListsAndTheEntriesPastTheData) {
    ReadOnlyFileSource index(dir->File("staidx2.mul"));
    const std::uint64_t dataBytes = std::filesystem::file_size(dir->File("statics2.mul"));
    const StaticItemCount whole = CountStaticItems(index, kIlshenar, dataBytes);
    EXPECT_EQ(whole.items, summary.staticItems);
    EXPECT_EQ(whole.badEntries, 0u);
    EXPECT_GT(whole.blocksWithItems, 0u);

    // With the data cut to half, the entries that reach past its end are bad.
    const StaticItemCount half = CountStaticItems(index, kIlshenar, dataBytes / 2);
    EXPECT_GT(half.badEntries, 0u);
    EXPECT_EQ(half.blocksWithItems + half.badEntries, whole.blocksWithItems);
    EXPECT_LT(half.items, whole.items);
}

TEST_F(ClientFileInfoTest, DescribesEachFileOfAFacet) {
    const ClientFileDescription map = DescribeClientFile(dir->File("map2LegacyMUL.uop"));
    EXPECT_EQ(map.kind, ClientFileKind::Map);
    EXPECT_EQ(map.container, MapContainer::Uop);
    EXPECT_EQ(map.detection.geometry, kIlshenar);
    EXPECT_EQ(map.detection.uopMapEntries, 15u);  // 57,600 blocks
    EXPECT_EQ(map.facet, "Ilshenar");
    EXPECT_EQ(FormatClientFileDescription(map),
              dir->File("map2LegacyMUL.uop") +
                  ": map, .uop with 15 entries (15 of map 2, none compressed), 2304 x 1600, "
                  "Ilshenar");

    const ClientFileDescription index = DescribeClientFile(dir->File("staidx2.mul"));
    EXPECT_EQ(index.kind, ClientFileKind::StaticsIndex);
    EXPECT_EQ(index.detection.geometry, kIlshenar);
    EXPECT_TRUE(index.checkedAgainstData);
    EXPECT_EQ(index.staticItems, summary.staticItems);

    const ClientFileDescription data = DescribeClientFile(dir->File("statics2.mul"));
    EXPECT_EQ(data.kind, ClientFileKind::StaticsData);
    EXPECT_EQ(data.staticItems, summary.staticItems);
    EXPECT_EQ(FormatClientFileDescription(data),
              dir->File("statics2.mul") + ": statics data, .mul, " +
                  std::to_string(summary.staticItems) + " items");
}

TEST(ClientFileInfoErrorsTest, FilesItCannotTellAreRefusedNamingThem) {
    TempDir dir;
    test::WriteText(dir.File("notes.txt"), "hello");
    test::WriteText(dir.File("map0.mul"), "short");
    std::filesystem::create_directory(dir.File("map1.mul"));
    Bytes fakeUop(64, 0);
    StoreU32Le(fakeUop.data(), 0x0050594D);
    test::WriteBytes(dir.File("gumpartLegacyMUL.uop"), fakeUop);
    for (const char* name :
         {"notes.txt", "map0.mul", "map1.mul", "missing.mul", "gumpartLegacyMUL.uop"}) {
        try {
            DescribeClientFile(dir.File(name));
            ADD_FAILURE() << name << " was told";
        } catch (const ClientFileError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(dir.File(name) + ": ", 0), 0u)
                << error.what();
        }
    }
}

}  // namespace
}  // namespace kestrel
