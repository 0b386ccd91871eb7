#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

#include "clientfiles/byte_order.h"
#include "clientfiles/map_geometry.h"
#include "operations/sample_world.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::TempDir;

// The three bytes of cell (x, y) in a .mul map of geometry.
std::uint32_t CellBytes(const Bytes& map, const MapGeometry& geometry, int x, int y) {
    const std::size_t at = static_cast<std::size_t>(geometry.BlockNumber(x / 8, y / 8)) * 196 + 4 +
                           static_cast<std::size_t>((x % 8) + (y % 8) * 8) * 3;
    return std::uint32_t{map[at]} | (std::uint32_t{map[at + 1]} << 8) |
           (std::uint32_t{map[at + 2]} << 16);
}

std::uint32_t IndexLength(const Bytes& index, const MapGeometry& geometry, int bx, int by) {
    return LoadU32Le(&index[static_cast<std::size_t>(geometry.BlockNumber(bx, by)) * 12 + 4]);
}

// A facet's world is the corner of the full world of the same seed, laid out
// by the facet's own height.
TEST(SampleFacetTest, WorldOfAnyHeightHoldsTheSameCellsAndStaticsWhereItOverlaps) {
    constexpr int kColumns = 3;
    constexpr MapGeometry kIlshenar{2304, 1600};
    TempDir classicDir;
    TempDir ilshenarDir;
    WriteSampleWorld(classicDir.Path(), {5, kColumns});
    SampleWorldOptions options{5, kColumns, kIlshenar, 2};
    WriteSampleWorld(ilshenarDir.Path(), options);

    const Bytes classicMap = ReadBytes(classicDir.File("map0.mul"));
    const Bytes ilshenarMap = ReadBytes(ilshenarDir.File("map2.mul"));
    ASSERT_EQ(ilshenarMap.size(), std::size_t{kColumns} * 200 * 196);
    for (int x = 0; x < kColumns * 8; ++x) {
        for (int y = 0; y < kIlshenar.height; ++y) {
            ASSERT_EQ(CellBytes(ilshenarMap, kIlshenar, x, y),
                      CellBytes(classicMap, kClassicGeometry, x, y))
                << x << ',' << y;
        }
    }
    const Bytes classicIndex = ReadBytes(classicDir.File("staidx0.mul"));
    const Bytes ilshenarIndex = ReadBytes(ilshenarDir.File("staidx2.mul"));
    ASSERT_EQ(ilshenarIndex.size(), std::size_t{kColumns} * 200 * 12);
    int blocksWithStatics = 0;
    for (int bx = 0; bx < kColumns; ++bx) {
        for (int by = 0; by < kIlshenar.BlockRows(); ++by) {
            const std::uint32_t length = IndexLength(ilshenarIndex, kIlshenar, bx, by);
            ASSERT_EQ(length, IndexLength(classicIndex, kClassicGeometry, bx, by))
                << bx << ',' << by;
            blocksWithStatics += length > 0 ? 1 : 0;
        }
    }
    EXPECT_GT(blocksWithStatics, 0);
}

TEST(SampleFacetTest, RejectsSizesMapNumbersAndColumnsOutOfRange) {
    TempDir dir;
    const auto with = [](MapGeometry geometry, int mapNumber, std::optional<int> columns) {
        SampleWorldOptions options;
        options.geometry = geometry;
        options.mapNumber = mapNumber;
        options.blockColumns = columns;
        return options;
    };
    const SampleWorldOptions bad[] = {
        with({7, 8}, 0, 1),       with({0, 8}, 0, 1),         with({16392, 8}, 0, 1),
        with({8, 16392}, 0, 1),   with({2304, 1600}, -1, 1),  with({2304, 1600}, 32, 1),
        with({2304, 1600}, 2, 0), with({2304, 1600}, 2, 289),
    };
    for (const SampleWorldOptions& options : bad) {
        EXPECT_THROW(WriteSampleWorld(dir.Path(), options), std::invalid_argument)
            << options.geometry.width << 'x' << options.geometry.height << " map "
            << options.mapNumber << " columns " << options.blockColumns.value_or(-1);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
}  // namespace kestrel
