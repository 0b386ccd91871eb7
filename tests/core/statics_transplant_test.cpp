// The statics transplant against the cell-by-cell model of the test support
// library: the same worlds and placements must give the same statics in every
// cell, in the same order, in a sound and compact pair.

#include "operations/statics_transplant.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "operations/sample_world.h"
#include "support/statics_model.h"
#include "support/temp_dir.h"

namespace kestrel::test {
namespace {

StaticsPairBytes View(const ModelPair& pair, MapGeometry geometry, const std::string& role) {
    return {pair.index, pair.data, geometry, role + " staidx0.mul", role + " statics0.mul"};
}

TransplantPlacement Placement(const ModelTransplant& t) {
    return {t.minX, t.maxX, t.minY, t.maxY, t.offX, t.offY, t.offZ};
}

// The transplant's new pair, its pieces of data joined as a file would take
// them.
struct Transplanted {
    Bytes index;
    Bytes data;
    StaticsTransplantSummary summary;
};

Transplanted Transplant(const StaticsPairBytes& source, const StaticsPairBytes& destination,
                        const TransplantPlacement& placement, StaticsMode mode,
                        std::size_t pieceBytes) {
    Transplanted out;
    const StaticsTransplantResult result = TransplantStatics(
        source, destination, placement, mode,
        [&](std::uint64_t offset, std::span<const std::uint8_t> bytes) {
            EXPECT_EQ(offset, out.data.size());
            EXPECT_FALSE(bytes.empty());
            out.data.insert(out.data.end(), bytes.begin(), bytes.end());
        },
        pieceBytes);
    EXPECT_EQ(result.dataLength, out.data.size());
    out.index = result.index;
    out.summary = result.summary;
    return out;
}

// Runs the transplant and checks its result against the model; returns the
// new destination pair. Small pieces of data put blocks across their ends.
ModelPair CheckTransplant(const ModelPair& source, MapGeometry sourceGeometry,
                          const ModelPair& destination, MapGeometry destinationGeometry,
                          const ModelTransplant& t, ModelCounts& counts,
                          std::size_t pieceBytes = 100) {
    const Transplanted result =
        Transplant(View(source, sourceGeometry, "source"),
                   View(destination, destinationGeometry, "destination"), Placement(t),
                   t.add ? StaticsMode::Add : StaticsMode::Replace, pieceBytes);

    const std::optional<std::string> problem =
        StaticsPairProblem(result.index, result.data, destinationGeometry);
    EXPECT_FALSE(problem) << *problem;
    ModelCounts expectedCounts;
    const CellStatics expected =
        ExpectedTransplant(DecodeStatics(source.index, source.data, sourceGeometry), sourceGeometry,
                           DecodeStatics(destination.index, destination.data, destinationGeometry),
                           destinationGeometry, t, expectedCounts);
    EXPECT_TRUE(DecodeStatics(result.index, result.data, destinationGeometry) == expected);
    EXPECT_EQ(result.summary.moved, expectedCounts.moved);
    EXPECT_EQ(result.summary.removed, expectedCounts.removed);
    EXPECT_EQ(result.summary.leftOut, expectedCounts.leftOut);
    EXPECT_EQ(result.summary.duplicatesSkipped, expectedCounts.duplicates);

    // The third field of every entry, and anything after the last entry, stay.
    EXPECT_EQ(result.index.size(), destination.index.size());
    // So does the whole entry of an empty block marked by lookup -1 that
    // stays empty.
    const auto wasAndStaysEmpty = [&](std::size_t at) {
        const std::size_t entry = at - at % 12;
        const Bytes none{0xFF, 0xFF, 0xFF, 0xFF};
        return std::equal(none.begin(), none.end(), destination.index.begin() + long(entry)) &&
               std::equal(none.begin(), none.end(), result.index.begin() + long(entry));
    };
    for (std::size_t at = 0; at < result.index.size(); ++at) {
        const bool kept = at % 12 >= 8 ||
                          at >= std::size_t(destinationGeometry.BlockCount()) * 12 ||
                          wasAndStaysEmpty(at);
        if (kept && result.index[at] != destination.index[at]) {
            ADD_FAILURE() << "index byte " << at << " changed";
            break;
        }
    }
    counts.moved += result.summary.moved;
    counts.removed += result.summary.removed;
    counts.leftOut += result.summary.leftOut;
    counts.duplicates += result.summary.duplicatesSkipped;
    return {result.index, result.data};
}

// Random worlds in which every fourth block has no statics, so rectangles
// take in empty source blocks and fill empty destination blocks.
TEST(StaticsTransplant, MatchesTheModelForEveryKindOfPlacement) {
    const struct {
        const char* name;
        MapGeometry from, to;
        ModelTransplant t;
        bool sameWorld = false;
    } cases[] = {
        {"aligned replace", {64, 64}, {64, 64}, {8, 31, 16, 39, 24, 8, 0}},
        {"aligned add", {64, 64}, {64, 64}, {8, 31, 16, 39, 24, 8, 0, true}},
        {"unaligned replace", {64, 64}, {64, 64}, {3, 20, 5, 26, 13, 34, 5}},
        {"unaligned add", {64, 64}, {64, 64}, {3, 20, 5, 26, 13, 34, 0, true}},
        {"one cell", {64, 64}, {64, 64}, {9, 9, 9, 9, 60, 1, 0}},
        {"beyond the right and bottom edges", {64, 64}, {48, 40}, {0, 40, 0, 30, 30, 25, -3}},
        {"altitudes wrap upwards", {64, 64}, {64, 64}, {0, 63, 0, 63, 0, 0, 100, true}},
        {"altitudes wrap downwards", {64, 64}, {64, 64}, {0, 63, 0, 63, 0, 0, -200}},
        {"a whole turn up", {64, 64}, {64, 64}, {5, 50, 5, 50, 7, 2, 256, true}},
        {"a whole turn down", {64, 64}, {64, 64}, {5, 50, 5, 50, 7, 2, -256}},
        {"wide source into a tall destination", {96, 32}, {32, 96}, {10, 95, 3, 28, 0, 60, 1}},
        {"rectangle past the source map", {64, 64}, {64, 64}, {50, 200, 50, 200, 1, 1, 0}},
        {"empty rectangle", {64, 64}, {64, 64}, {20, 19, 0, 63, 0, 0, 0}},
        {"move down and right within one world",
         {64, 64},
         {64, 64},
         {4, 40, 4, 30, 10, 7, 3},
         true},
        {"move up and left within one world", {64, 64}, {64, 64}, {10, 50, 10, 50, 3, 5, 0}, true},
        {"add within one world", {64, 64}, {64, 64}, {4, 40, 4, 30, 5, 2, 0, true}, true},
    };
    ModelCounts counts;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const ModelPair source = EncodeStatics(RandomStatics(row.from, 1, 0.3), row.from, 11);
        const ModelPair destination =
            row.sameWorld ? source : EncodeStatics(RandomStatics(row.to, 2, 0.3), row.to, 12);
        CheckTransplant(source, row.from, destination, row.to, row.t, counts);
    }
    // The fixtures reach every path.
    EXPECT_GT(counts.removed, 0u);
    EXPECT_GT(counts.leftOut, 0u);
    EXPECT_GT(counts.duplicates, 0u);
}

// Each run lays the data out afresh, so it holds 7 bytes per static however
// often the region is transplanted; adding the same statics again changes
// nothing at all.
TEST(StaticsTransplant, RepeatedTransplantsKeepTheDataCompact) {
    const MapGeometry geometry{64, 64};
    const ModelPair source = EncodeStatics(RandomStatics(geometry, 3, 0.5), geometry, 13);
    ModelPair destination = EncodeStatics(RandomStatics(geometry, 4, 0.5), geometry, 14);
    ModelCounts counts;
    const ModelTransplant replace{3, 44, 6, 50, 17, 9, 4};
    std::size_t firstSize = 0;
    for (int run = 0; run < 3; ++run) {
        destination = CheckTransplant(source, geometry, destination, geometry, replace, counts);
        if (run == 0) {
            firstSize = destination.data.size();
        }
        EXPECT_EQ(destination.data.size(), firstSize);
    }
    ModelTransplant add = replace;
    add.add = true;
    const ModelPair added = CheckTransplant(source, geometry, destination, geometry, add, counts);
    EXPECT_EQ(added.index, destination.index);
    EXPECT_EQ(added.data, destination.data);
}

TEST(StaticsTransplant, RefusesDamagedStaticsWithAMessage) {
    const MapGeometry geometry{32, 32};  // 4 x 4 blocks
    const ModelPair sound = EncodeStatics(RandomStatics(geometry, 5, 0.5), geometry, 15);
    const auto setEntry = [](ModelPair& pair, int block, std::uint32_t lookup,
                             std::uint32_t length) {
        for (int k = 0; k < 4; ++k) {
            pair.index[std::size_t(block * 12 + k)] = std::uint8_t(lookup >> (8 * k));
            pair.index[std::size_t(block * 12 + 4 + k)] = std::uint8_t(length >> (8 * k));
        }
    };
    const auto dataSize = static_cast<std::uint32_t>(sound.data.size());
    const struct {
        const char* name;
        bool damageSource;
        int block;  // -1: shorten the index by one byte instead
        std::uint32_t lookup, length;
        const char* message;  // nullptr: accepted
    } cases[] = {
        {"short destination index", false, -1, 0, 0,
         "Error: destination staidx0.mul is too short for a 32 x 32 map (191 bytes, 192 "
         "needed)!"},
        {"short source index", true, -1, 0, 0,
         "Error: source staidx0.mul is too short for a 32 x 32 map (191 bytes, 192 needed)!"},
        {"records past the end of the data", false, 6, dataSize - 7, 14,
         "Error: destination staidx0.mul has a bad entry for block 1,2: its records at bytes "
         "PAST lie outside destination statics0.mul (SIZE bytes)!"},
        {"length not a multiple of 7", false, 15, 0, 10,
         "Error: destination staidx0.mul has a bad entry for block 3,3: its length 10 is not a "
         "multiple of 7!"},
        {"negative lookup", false, 0, 0xFFFFFFF0u, 7,
         "Error: destination staidx0.mul has a bad entry for block 0,0: its records at bytes -16 "
         "to -10 lie outside destination statics0.mul (SIZE bytes)!"},
        {"source block inside the rectangle", true, 5, 0, 11,
         "Error: source staidx0.mul has a bad entry for block 1,1: its length 11 is not a "
         "multiple of 7!"},
        {"source block outside the rectangle", true, 15, 0, 11, nullptr},
    };
    const auto expand = [&](std::string text) {
        const std::string past =
            std::to_string(dataSize - 7) + " to " + std::to_string(dataSize + 6);
        if (const auto at = text.find("PAST"); at != std::string::npos) {
            text.replace(at, 4, past);
        }
        if (const auto at = text.find("SIZE"); at != std::string::npos) {
            text.replace(at, 4, std::to_string(dataSize));
        }
        return text;
    };
    const TransplantPlacement placement{3, 12, 5, 14, 0, 0, 0};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        ModelPair source = sound;
        ModelPair destination = sound;
        ModelPair& damaged = row.damageSource ? source : destination;
        if (row.block < 0) {
            damaged.index.pop_back();
        } else {
            setEntry(damaged, row.block, row.lookup, row.length);
        }
        bool written = false;
        const auto run = [&] {
            return TransplantStatics(
                View(source, geometry, "source"), View(destination, geometry, "destination"),
                placement, StaticsMode::Replace,
                [&](std::uint64_t, std::span<const std::uint8_t>) { written = true; });
        };
        if (row.message == nullptr) {
            EXPECT_NO_THROW(run());
            continue;
        }
        try {
            run();
            ADD_FAILURE() << "not refused";
        } catch (const StaticsTransplantError& refusal) {
            EXPECT_EQ(refusal.what(), expand(row.message));
        }
        EXPECT_FALSE(written);
    }
}

TEST(StaticsTransplant, ChangedBytesSpanFromTheFirstToTheLastDifference) {
    const struct {
        Bytes before, after;
        ByteRange range;
    } cases[] = {
        {{1, 2, 3}, {1, 2, 3}, {0, 0}},
        {{1, 2, 3, 4}, {1, 2}, {0, 0}},
        {{1, 2, 3, 4, 5}, {1, 9, 3, 9, 5}, {1, 3}},
        {{1, 2, 3}, {1, 2, 3, 4}, {3, 1}},
        {{1, 2, 3}, {0, 2, 3, 4}, {0, 4}},
        {{1, 2, 3, 4}, {1, 9}, {1, 1}},
        {{}, {7}, {0, 1}},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(ChangedBytes(row.before, row.after), row.range);
    }
}

// Generated worlds of different widths, with buildings whose statics share
// cells, moved across block boundaries and past the destination's edges.
TEST(StaticsTransplant, MatchesTheModelOnSampleWorlds) {
    TempDir first;
    TempDir second;
    WriteSampleWorld(first.Path(), {1, 12});
    WriteSampleWorld(second.Path(), {2, 20});
    const MapGeometry firstGeometry{12 * 8, 4096};
    const MapGeometry secondGeometry{20 * 8, 4096};
    const ModelPair source{ReadBytes(first.File(kSampleStaticsIndexName)),
                           ReadBytes(first.File(kSampleStaticsDataName))};
    ModelPair destination{ReadBytes(second.File(kSampleStaticsIndexName)),
                          ReadBytes(second.File(kSampleStaticsDataName))};
    ModelCounts counts;
    destination = CheckTransplant(source, firstGeometry, destination, secondGeometry,
                                  {13, 90, 1000, 1700, 100, 3700, -20}, counts);
    EXPECT_GT(counts.leftOut, 0u);
    destination = CheckTransplant(source, firstGeometry, destination, secondGeometry,
                                  {0, 95, 0, 4095, 3, 5, 0, true}, counts, kStaticsPieceBytes);
    CheckTransplant(destination, secondGeometry, destination, secondGeometry,
                    {20, 140, 500, 2500, 37, 1203, 9}, counts);
    EXPECT_GT(counts.moved, 10000u);
    EXPECT_GT(counts.removed, 1000u);
}

}  // namespace
}  // namespace kestrel::test
