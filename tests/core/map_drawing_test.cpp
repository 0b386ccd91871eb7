#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "clientfiles/byte_order.h"
#include "clientfiles/map_cells.h"
#include "clientfiles/map_file.h"
#include "clientfiles/radar_colors.h"
#include "clientfiles/static_blocks.h"
#include "operations/copy_preview_cells.h"
#include "operations/map_colors.h"
#include "operations/map_overview.h"
#include "operations/map_painter.h"
#include "support/map_fixture.h"

namespace kestrel {
namespace {

using test::Bytes;

// A map held in memory in the .mul layout, filled cell by cell.
class MapBytes {
public:
    MapBytes(MapGeometry geometry, std::uint16_t tile, std::int8_t altitude)
        : geometry(geometry), bytes(static_cast<std::size_t>(geometry.BlockCount()) * kMapBlockBytes) {
        for (int y = 0; y < geometry.height; ++y) {
            for (int x = 0; x < geometry.width; ++x) {
                Set(x, y, tile, altitude);
            }
        }
    }

    void Set(int x, int y, std::uint16_t tile, std::int8_t altitude) {
        const std::size_t at =
            static_cast<std::size_t>(geometry.BlockNumber(x / 8, y / 8)) * kMapBlockBytes +
            kMapBlockHeaderBytes + static_cast<std::size_t>((y % 8) * 8 + x % 8) * kMapCellBytes;
        StoreU16Le(&bytes[at], tile);
        bytes[at + 2] = static_cast<std::uint8_t>(altitude);
    }

    MulMapCells Cells() const { return MulMapCells(geometry, bytes); }

    MapGeometry geometry;
    Bytes bytes;
};

// Statics files held in memory, built block by block in block number order.
struct StaticsBytes {
    struct Item {
        int x;
        int y;
        std::uint16_t graphic;
        std::int8_t z;
    };

    StaticsBytes(MapGeometry geometry, const std::vector<Item>& items)
        : index(static_cast<std::size_t>(geometry.BlockCount()) * kStaticIndexEntryBytes) {
        for (std::int64_t block = 0; block < geometry.BlockCount(); ++block) {
            const std::size_t first = data.size();
            for (const Item& item : items) {
                if (geometry.BlockNumber(item.x / 8, item.y / 8) == block) {
                    std::uint8_t record[kStaticRecordBytes] = {};
                    StoreU16Le(record, item.graphic);
                    record[2] = static_cast<std::uint8_t>(item.x % 8);
                    record[3] = static_cast<std::uint8_t>(item.y % 8);
                    record[4] = static_cast<std::uint8_t>(item.z);
                    data.insert(data.end(), record, record + kStaticRecordBytes);
                }
            }
            std::uint8_t* entry = &index[static_cast<std::size_t>(block) * kStaticIndexEntryBytes];
            const bool none = data.size() == first;
            StoreU32Le(entry, none ? 0xFFFFFFFFu : static_cast<std::uint32_t>(first));
            StoreU32Le(entry + 4, static_cast<std::uint32_t>(data.size() - first));
        }
    }

    Bytes index;
    Bytes data;
};

constexpr MapGeometry kSmall{32, 24};

// Radar colours with the given land and item entries set, everything else 0.
RadarColors Radar(std::initializer_list<std::pair<std::uint32_t, std::uint16_t>> entries) {
    Bytes bytes(2 * 0x8000);
    for (const auto& [entry, color] : entries) {
        StoreU16Le(&bytes[entry * 2], color);
    }
    return RadarColors(bytes);
}

constexpr std::uint16_t kGrass = 0x0003;
constexpr std::uint16_t kRoad = 0x0071;
constexpr std::uint16_t kWater = 0x00A8;
constexpr std::uint16_t kGrass555 = (9 << 10) | (17 << 5) | 6;
constexpr std::uint16_t kRoad555 = (17 << 10) | (13 << 5) | 8;
constexpr std::uint16_t kWater555 = (4 << 10) | (9 << 5) | 18;

MapImage PaintAll(const MapPainter& painter) {
    const MapGeometry geometry = painter.Geometry();
    MapImage image(geometry.width, geometry.height);
    painter.PaintCells(WholeMap(geometry), image.pixels.data(), image.width);
    return image;
}

bool LighterOrEqual(Argb a, Argb b) {
    for (const int shift : {16, 8, 0}) {
        if (((a >> shift) & 0xFFu) < ((b >> shift) & 0xFFu)) {
            return false;
        }
    }
    return true;
}

TEST(RadarColorsTest, WidensEachFiveBitChannelByRepeatingItsHighBits) {
    struct Case {
        std::uint16_t rgb555;
        Argb expected;
    };
    for (const Case& c : {Case{0x0000, 0xFF000000u}, Case{0x7FFF, 0xFFFFFFFFu},
                          Case{0xFFFF, 0xFFFFFFFFu}, Case{0x7C00, 0xFFFF0000u},
                          Case{(1 << 10) | (16 << 5) | 31, 0xFF0884FFu}}) {
        EXPECT_EQ(WidenRgb555(c.rgb555), c.expected) << std::hex << c.rgb555;
    }
    const RadarColors radar = Radar({{kGrass, kGrass555}, {0x4000 + 0x0CCE, 0x001F}});
    EXPECT_EQ(radar.Land(kGrass), WidenRgb555(kGrass555));
    EXPECT_EQ(radar.Item(0x0CCE), 0xFF0000FFu);
    EXPECT_EQ(RadarColors(Bytes(10)).Item(5), 0xFF000000u);  // past the end
}

TEST(MapPainterTest, FlatGroundIsDrawnInExactlyItsRadarColour) {
    MapBytes map(kSmall, kGrass, 7);
    map.Set(5, 3, kWater, 7);
    map.Set(31, 23, kRoad, 7);
    const MulMapCells cells = map.Cells();
    const MapColors colors(Radar({{kGrass, kGrass555}, {kRoad, kRoad555}, {kWater, kWater555}}));
    const MapImage image = PaintAll(MapPainter(cells, nullptr, colors));
    for (int y = 0; y < kSmall.height; ++y) {
        for (int x = 0; x < kSmall.width; ++x) {
            const std::uint16_t expected = x == 5 && y == 3     ? kWater555
                                           : x == 31 && y == 23 ? kRoad555
                                                                : kGrass555;
            ASSERT_EQ(image.At(x, y), WidenRgb555(expected)) << x << "," << y;
        }
    }
}

TEST(MapPainterTest, GroundHigherThanTheCellBelowIsLighterAndLowerIsDarker) {
    // Column x holds a cell of altitude 10 + step(x) above a cell of 10.
    MapBytes map(kSmall, kGrass, 10);
    const int steps[] = {1, 3, 8, 20, -1, -3, -8, -20};
    for (int x = 0; x < 8; ++x) {
        map.Set(x, 4, kGrass, static_cast<std::int8_t>(10 + steps[x]));
    }
    map.Set(9, 23, kGrass, 60);  // last row: no cell below
    const MulMapCells cells = map.Cells();
    const MapColors colors(Radar({{kGrass, kGrass555}}));
    const MapImage image = PaintAll(MapPainter(cells, nullptr, colors));
    const Argb flat = WidenRgb555(kGrass555);
    for (int x = 0; x < 8; ++x) {
        const Argb shaded = image.At(x, 4);
        EXPECT_NE(shaded, flat) << "step " << steps[x];
        EXPECT_TRUE(steps[x] > 0 ? LighterOrEqual(shaded, flat) : LighterOrEqual(flat, shaded))
            << "step " << steps[x];
    }
    // Steeper is stronger, up to 8 units.
    EXPECT_TRUE(LighterOrEqual(image.At(1, 4), image.At(0, 4)));
    EXPECT_TRUE(LighterOrEqual(image.At(2, 4), image.At(1, 4)) && image.At(2, 4) != image.At(1, 4));
    EXPECT_EQ(image.At(3, 4), image.At(2, 4));
    EXPECT_TRUE(LighterOrEqual(image.At(4, 4), image.At(5, 4)) && image.At(4, 4) != image.At(5, 4));
    EXPECT_EQ(image.At(6, 4), image.At(7, 4));
    EXPECT_EQ(image.At(9, 23), flat);  // the last row has nothing below it
    EXPECT_TRUE(LighterOrEqual(flat, image.At(9, 22)) && image.At(9, 22) != flat);
}

TEST(MapPainterTest, TheTopmostStaticAtOrAboveTheLandIsDrawnInsteadOfTheLand) {
    MapBytes map(kSmall, kGrass, 10);
    const MulMapCells cells = map.Cells();
    constexpr std::uint16_t kRed = 0x7C00;
    constexpr std::uint16_t kBlue = 0x001F;
    constexpr std::uint16_t kGreen = 0x03E0;
    const MapColors colors(Radar({{kGrass, kGrass555},
                                  {0x4000 + 0x100, kRed},
                                  {0x4000 + 0x101, kBlue},
                                  {0x4000 + 0x102, kGreen}}));
    // clang-format off
    const StaticsBytes statics(kSmall, {{7, 9, 0x100, 10},                       // at land level
                                        {8, 9, 0x100, 9},                        // below the land
                                        {15, 9, 0x101, 30}, {15, 9, 0x100, 12},  // higher wins
                                        {16, 9, 0x100, 12}, {16, 9, 0x102, 12},  // same z: last
                                        {20, 9, 0x101, 5}, {20, 9, 0x102, 11},   // one below
                                        {31, 23, 0x101, 127}});
    // clang-format on
    const MulStaticBlocks blocks(kSmall, statics.index, statics.data);
    const MapImage image = PaintAll(MapPainter(cells, &blocks, colors));
    EXPECT_EQ(image.At(7, 9), 0xFFFF0000u);
    EXPECT_EQ(image.At(8, 9), WidenRgb555(kGrass555));
    EXPECT_EQ(image.At(15, 9), 0xFF0000FFu);
    EXPECT_EQ(image.At(16, 9), 0xFF00FF00u);
    EXPECT_EQ(image.At(20, 9), 0xFF00FF00u);
    EXPECT_EQ(image.At(31, 23), 0xFF0000FFu);
    int itemCells = 0;
    for (const Argb pixel : image.pixels) {
        itemCells += pixel != WidenRgb555(kGrass555) ? 1 : 0;
    }
    EXPECT_EQ(itemCells, 5);
}

TEST(MapColorsTest, TheBuiltInPaletteTellsWaterShoreGrassRockAndSnowApart) {
    const MapColors palette;
    const auto channel = [](Argb c, int shift) { return (c >> shift) & 0xFFu; };
    const auto blueMost = [&](Argb c) {
        return channel(c, 0) > channel(c, 8) && channel(c, 0) > channel(c, 16);
    };
    const auto greenMost = [&](Argb c) {
        return channel(c, 8) > channel(c, 0) && channel(c, 8) > channel(c, 16);
    };
    EXPECT_TRUE(blueMost(palette.Land(kWater, -5)));
    EXPECT_TRUE(blueMost(palette.Land(0x0136, -5)));
    EXPECT_TRUE(greenMost(palette.Land(kGrass, 0)));
    EXPECT_TRUE(greenMost(palette.Land(kGrass, 100)));  // a known tile keeps its class
    // Tiles it does not know are coloured by altitude.
    EXPECT_TRUE(blueMost(palette.Land(0x3000, -20)));
    EXPECT_TRUE(greenMost(palette.Land(0x3000, 20)));
    const std::vector<Argb> distinct = {palette.Land(kWater, -5), palette.Land(0x0016, 0),
                                        palette.Land(kGrass, 0),  palette.Land(0x00C4, 0),
                                        palette.Land(kRoad, 0),   palette.Land(0x00DC, 50),
                                        palette.Land(0x011A, 90)};
    for (std::size_t a = 0; a < distinct.size(); ++a) {
        for (std::size_t b = a + 1; b < distinct.size(); ++b) {
            EXPECT_NE(distinct[a], distinct[b]) << a << " " << b;
        }
    }
}

// A grass map crossed by a river one cell wide down column 21 and a road one
// cell wide along the diagonal y = x + 1.
MapBytes CrossedMap(MapGeometry geometry) {
    MapBytes map(geometry, kGrass, 0);
    for (int y = 0; y < geometry.height; ++y) {
        map.Set(21, y, kWater, 0);
        if (y >= 1 && y - 1 < geometry.width && y - 1 != 21) {
            map.Set(y - 1, y, kRoad, 0);
        }
    }
    return map;
}

// Every row of image shows color in a pixel next to the one covering cell
// column cellColumnOfRow(cell row) at cellsPerPixel cells per pixel.
void ExpectLineInEveryRow(const MapImage& image, Argb color, double cellsPerPixel,
                          int (*cellColumnOfRow)(int), const std::string& what) {
    for (int py = 0; py < image.height; ++py) {
        const int cellY = static_cast<int>(py * cellsPerPixel);
        const int px = static_cast<int>(cellColumnOfRow(cellY) / cellsPerPixel);
        bool found = false;
        for (int at = std::max(px - 1, 0); at <= std::min(px + 1, image.width - 1); ++at) {
            found = found || image.At(at, py) == color;
        }
        EXPECT_TRUE(found) << what << " lost in row " << py;
    }
}

TEST(MapSummaryTest, ZoomedOutALineOneCellWideKeepsItsColourAtEveryScale) {
    constexpr MapGeometry geometry{128, 96};
    const MapBytes map = CrossedMap(geometry);
    const MulMapCells cells = map.Cells();
    const MapColors colors(Radar({{kGrass, kGrass555}, {kRoad, kRoad555}, {kWater, kWater555}}));
    const MapPainter painter(cells, nullptr, colors);
    const MapOverview overview(painter);
    for (const double scale : {2.0, 3.0, 4.0, 5.5, 8.0, 16.0}) {
        const int width = static_cast<int>(geometry.width / scale);
        const int height = static_cast<int>(geometry.height / scale);
        const MapImage painted = painter.Paint(WholeMap(geometry), scale, width, height);
        MapImage fetched(width, height);
        overview.Fetch(0, 0, scale, width, height, fetched.pixels.data(), width);
        for (const MapImage* image : std::initializer_list<const MapImage*>{&painted, &fetched}) {
            const std::string how =
                (image == &painted ? "painted at " : "fetched at ") + std::to_string(scale);
            ExpectLineInEveryRow(*image, WidenRgb555(kWater555), scale, [](int) { return 21; },
                                 "river " + how);
            ExpectLineInEveryRow(*image, WidenRgb555(kRoad555), scale, [](int y) { return y - 1; },
                                 "road " + how);
            // Away from the lines the ground keeps its own colour.
            EXPECT_EQ(image->At(width - 1, 0), WidenRgb555(kGrass555)) << how;
        }
    }
}

TEST(MapSummaryTest, LoneCellsOfAnotherColourDoNotSpeckleAZoomedOutView) {
    // One road cell in every 8 x 8 cells of grass, like single rocks or trees
    // scattered over open ground.
    constexpr MapGeometry geometry{128, 96};
    MapBytes map(geometry, kGrass, 0);
    for (int y = 3; y < geometry.height; y += 8) {
        for (int x = 5 + y % 3; x < geometry.width; x += 8) {
            map.Set(x, y, kRoad, 0);
        }
    }
    const MulMapCells cells = map.Cells();
    const MapColors colors(Radar({{kGrass, kGrass555}, {kRoad, kRoad555}}));
    const MapPainter painter(cells, nullptr, colors);
    const MapOverview overview(painter);
    for (const double scale : {2.0, 4.0, 8.0}) {
        const int width = static_cast<int>(geometry.width / scale);
        const int height = static_cast<int>(geometry.height / scale);
        const MapImage painted = painter.Paint(WholeMap(geometry), scale, width, height);
        MapImage fetched(width, height);
        overview.Fetch(0, 0, scale, width, height, fetched.pixels.data(), width);
        for (const MapImage* image : std::initializer_list<const MapImage*>{&painted, &fetched}) {
            for (const Argb pixel : image->pixels) {
                ASSERT_NE(pixel, WidenRgb555(kRoad555))
                    << (image == &painted ? "painted" : "fetched") << " at " << scale;
            }
        }
    }
}

TEST(MapSummaryTest, GroundThatVariesLittleIsAveragedRatherThanSampled) {
    // Two shades of grass one unit apart, in a checkerboard.
    MapBytes map(kSmall, kGrass, 0);
    for (int y = 0; y < kSmall.height; ++y) {
        for (int x = y % 2; x < kSmall.width; x += 2) {
            map.Set(x, y, 0x0004, 0);
        }
    }
    const MulMapCells cells = map.Cells();
    const MapColors colors(
        Radar({{kGrass, (8 << 10) | (16 << 5) | 8}, {0x0004, (9 << 10) | (17 << 5) | 9}}));
    const MapImage image = MapPainter(cells, nullptr, colors).Paint(WholeMap(kSmall), 2, 16, 12);
    // The mean of 0x42 and 0x4A is 0x46, of 0x84 and 0x8C 0x88.
    for (const Argb pixel : image.pixels) {
        ASSERT_EQ(pixel, 0xFF468846u);
    }
}

// Every pixel of a and b, which must be the same size, is the same.
void ExpectSameImage(ImageView a, ImageView b, const std::string& what) {
    ASSERT_EQ(a.width, b.width) << what;
    ASSERT_EQ(a.height, b.height) << what;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            ASSERT_EQ(a.At(x, y), b.At(x, y)) << what << " at " << x << "," << y;
        }
    }
}

// The levels of an overview worked out the plain way: every cell painted,
// then each level resampled from the whole level below it at scale 2.
std::vector<MapImage> PlainLevels(const MapPainter& painter) {
    const MapGeometry geometry = painter.Geometry();
    std::vector<MapImage> levels;
    levels.push_back(MapImage::Unfilled(geometry.width, geometry.height));
    painter.PaintCells(WholeMap(geometry), levels[0].pixels.data(), geometry.width);
    while (levels.back().width > 1 || levels.back().height > 1) {
        const MapImage& below = levels.back();
        MapImage level((below.width + 1) / 2, (below.height + 1) / 2);
        ResampleImage(below.View(), 0, 0, 2, level.width, level.height, level.pixels.data(),
                      level.width, 0xFF000000u);
        levels.push_back(std::move(level));
    }
    return levels;
}

// A map of rough, mottled ground: tiles of colours near and far from each
// other at random altitudes, with trees standing on some cells, so that
// windows of every kind (flat, varied a little, mixed with and without a line
// through them) occur everywhere.
struct MottledMap {
    static constexpr std::uint16_t kTree = 0x0CCE;

    explicit MottledMap(MapGeometry geometry) : map(geometry, kGrass, 0) {
        std::uint32_t state = 12345;
        const auto next = [&state] {
            state = state * 1103515245u + 12345u;
            return state >> 16;
        };
        const std::uint16_t tiles[] = {kGrass, 0x0004, kRoad, kWater};
        std::vector<StaticsBytes::Item> items;
        for (int y = 0; y < geometry.height; ++y) {
            for (int x = 0; x < geometry.width; ++x) {
                const bool road = x == 2 * y / 3 + 5;  // a line one cell wide
                map.Set(x, y, road ? kRoad : tiles[next() % 4],
                        static_cast<std::int8_t>(next() % 4 == 0 ? next() % 9 : 0));
                if (next() % 16 == 0) {
                    items.push_back({x, y, kTree, 20});
                }
            }
        }
        statics.emplace(geometry, items);
    }

    MapBytes map;
    std::optional<StaticsBytes> statics;
};

TEST(MapOverviewTest, LevelsAndViewsEqualTheWholeMapSummarisedThePlainWay) {
    // 72 x 40 halves to 36 x 20, 18 x 10, 9 x 5, 5 x 3, 3 x 2, 2 x 1, 1 x 1:
    // odd sizes, pixels well inside and at every edge.
    constexpr MapGeometry geometry{72, 40};
    MottledMap mottled(geometry);
    const MapColors colors(Radar({{kGrass, kGrass555},
                                  {0x0004, (10 << 10) | (18 << 5) | 6},
                                  {kRoad, kRoad555},
                                  {kWater, kWater555},
                                  {0x4000 + MottledMap::kTree, (2 << 10) | (9 << 5) | 2}}));
    MulMapCells cells = mottled.map.Cells();
    const MulStaticBlocks statics(geometry, mottled.statics->index, mottled.statics->data);
    MapOverview overview{MapPainter(cells, &statics, colors)};
    std::vector<MapImage> plain = PlainLevels(MapPainter(cells, &statics, colors));
    ASSERT_EQ(overview.LevelCount(), static_cast<int>(plain.size()));
    ASSERT_EQ(overview.LevelCount(), 8);
    for (int level = 1; level < overview.LevelCount(); ++level) {
        ExpectSameImage(overview.Level(level), plain[static_cast<std::size_t>(level)].View(),
                        "level " + std::to_string(level));
    }

    // Views at zooms on every level, from enlarged cells to the whole map,
    // panned a little (level 0 then draws from the cells painted before)
    // and then far.
    const auto expectViews = [&](const std::string& when) {
        for (const double cellsPerPixel : {0.3, 1.0, 1.3, 1.5, 2.0, 3.7, 5.0, 9.0, 100.0}) {
            for (const auto& [x, y] : {std::pair{10.5, 3.0}, {11.0, 4.5}, {-20.0, 30.0}}) {
                constexpr int kWidth = 23;
                constexpr int kHeight = 17;
                MapImage view(kWidth, kHeight);
                overview.Fetch(x, y, cellsPerPixel, kWidth, kHeight, view.pixels.data(), kWidth,
                               0xFF123456u);
                int level = 0;
                double levelScale = 1;
                while (level + 1 < overview.LevelCount() &&
                       levelScale * 1.5 <= cellsPerPixel) {
                    ++level;
                    levelScale *= 2;
                }
                MapImage expected(kWidth, kHeight);
                ResampleImage(plain[static_cast<std::size_t>(level)].View(), x / levelScale,
                              y / levelScale, cellsPerPixel / levelScale, kWidth, kHeight,
                              expected.pixels.data(), kWidth, 0xFF123456u);
                ExpectSameImage(view.View(), expected.View(),
                                when + " view at " + std::to_string(cellsPerPixel) + " from " +
                                    std::to_string(x) + "," + std::to_string(y));
            }
        }
    };
    expectViews("first");
    EXPECT_EQ(overview.CellColor(30, 20), plain[0].At(30, 20));

    // Cells change; the repaint of their rectangle leaves the overview as a
    // fresh drawing would be, level 0 of views included: first while level 0
    // is painted for each view, then once it is kept whole.
    const auto change = [&](int x, int y, std::uint16_t tile, std::int8_t altitude,
                            const std::string& when) {
        mottled.map.Set(x, y, tile, altitude);
        mottled.map.Set(x + 1, y + 1, kRoad, static_cast<std::int8_t>(-altitude));
        cells = mottled.map.Cells();
        overview.Repaint(MapPainter(cells, &statics, colors), {x, y, 2, 2});
        plain = PlainLevels(MapPainter(cells, &statics, colors));
        for (int level = 1; level < overview.LevelCount(); ++level) {
            ExpectSameImage(overview.Level(level), plain[static_cast<std::size_t>(level)].View(),
                            when + " level " + std::to_string(level));
        }
        expectViews(when);
    };
    change(33, 21, kWater, 9, "repainted");
    overview.KeepAllCells();
    expectViews("all cells kept");
    change(12, 5, kWater, 7, "repainted with all cells kept");
}

TEST(CopyPreviewTest, ThePreviewHoldsTheCellsARealCopyWrites) {
    // Classic-size maps, as the copy works on them.
    const auto size = static_cast<std::size_t>(kMapFileBytes);
    const Bytes source = test::PatternBytes(size, 11);
    const Bytes dest = test::PatternBytes(size, 12);
    struct Case {
        int minX, maxX, minY, maxY, offX, offY, offZ;
    };
    for (const Case& c : {Case{100, 130, 50, 70, 2000, 3000, -7},   // inside the map
                          Case{100, 130, 50, 70, 6130, 4090, 200},  // clipped right and below
                          Case{0, 15, 4080, 4095, 0, 0, 256}}) {    // a shift that changes nothing
        CopySettings settings;
        settings.minX = c.minX;
        settings.maxX = c.maxX;
        settings.minY = c.minY;
        settings.maxY = c.maxY;
        settings.offX = c.offX;
        settings.offY = c.offY;
        settings.offZ = c.offZ;
        const Bytes copied = test::ExpectedMapCopy(source, dest, settings);
        const MulMapCells sourceCells(kClassicGeometry, source);
        const MulMapCells destCells(kClassicGeometry, dest);
        const MulMapCells copiedCells(kClassicGeometry, copied);
        const CopyPreviewCells preview(destCells, sourceCells, settings);
        // The pasted region and the cells around it, up to the map's edges.
        const int left = std::max(c.offX - 9, 0);
        const int top = std::max(c.offY - 9, 0);
        const int right = std::min(c.offX + (c.maxX - c.minX) + 9, kClassicGeometry.width - 1);
        const int bottom = std::min(c.offY + (c.maxY - c.minY) + 9, kClassicGeometry.height - 1);
        const CellRect rect{left, top, right - left + 1, bottom - top + 1};
        std::vector<MapCell> seen(static_cast<std::size_t>(rect.width));
        std::vector<MapCell> wanted(seen.size());
        for (int y = rect.y; y <= bottom; ++y) {
            preview.ReadRow(rect.x, y, rect.width, seen.data());
            copiedCells.ReadRow(rect.x, y, rect.width, wanted.data());
            ASSERT_EQ(seen, wanted) << "row " << y << ", offsets " << c.offX << "," << c.offY;
        }
        const MapColors palette;
        MapImage previewImage(rect.width, rect.height);
        MapImage copiedImage(rect.width, rect.height);
        MapPainter(preview, nullptr, palette).PaintCells(rect, previewImage.pixels.data(), rect.width);
        MapPainter(copiedCells, nullptr, palette)
            .PaintCells(rect, copiedImage.pixels.data(), rect.width);
        EXPECT_EQ(previewImage.pixels, copiedImage.pixels);
    }
}

}  // namespace
}  // namespace kestrel
