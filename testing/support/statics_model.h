#pragma once

// A slow, plain model of a world's statics for checking the transplant: every
// static by the cell it stands in, the statics of a cell in draw order.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "clientfiles/map_geometry.h"
#include "support/temp_dir.h"

namespace kestrel::test {

struct ModelStatic {
    int tileId = 0;
    int z = 0;  // -128..127
    int hue = 0;

    friend auto operator<=>(const ModelStatic&, const ModelStatic&) = default;
};

// (x, y) of a cell -> its statics in order.
using CellStatics = std::map<std::pair<int, int>, std::vector<ModelStatic>>;

struct ModelPair {
    Bytes index;
    Bytes data;
};

// Reads every block's records into cells, block by block in block-number order.
CellStatics DecodeStatics(const Bytes& index, const Bytes& data, MapGeometry geometry);

// Encodes cells (all inside the geometry) as a statics pair in the ways other
// tools leave them: blocks stored in a shuffled order with unused bytes
// between them, empty blocks marked in several ways, the third field of
// every entry random.
ModelPair EncodeStatics(const CellStatics& cells, MapGeometry geometry, std::uint32_t seed);

// Random statics for every cell with a given chance, up to three a cell, from
// so few graphics, altitudes and hues that identical statics are common.
// Every fourth block is left without statics.
CellStatics RandomStatics(MapGeometry geometry, std::uint32_t seed, double chance);

struct ModelTransplant {
    int minX, maxX, minY, maxY, offX, offY, offZ;
    bool add = false;
};

struct ModelCounts {
    std::uint64_t moved = 0, removed = 0, leftOut = 0, duplicates = 0;
};

// What the destination must hold after the transplant, worked out cell by
// cell: the source cells of the rectangle inside the source map go to the
// cell moved by the offsets, altitudes wrap into -128..127, statics landing
// outside the destination are left out; replace empties the target cells
// first, add skips a static equal to one the cell held before.
CellStatics ExpectedTransplant(const CellStatics& source, MapGeometry sourceGeometry,
                               CellStatics destination, MapGeometry destinationGeometry,
                               const ModelTransplant& transplant, ModelCounts& counts);

// The first way in which index and data are not a sound, compact statics
// pair for geometry: an entry outside the data or of a length not a multiple
// of 7, entries sharing bytes, data bytes no entry uses, an empty block not
// marked with lookup -1.
std::optional<std::string> StaticsPairProblem(const Bytes& index, const Bytes& data,
                                              MapGeometry geometry);

}  // namespace kestrel::test
