#pragma once

// The size of one facet's map as a value that travels with an opened map or
// statics pair. Cells are grouped in blocks of 8 x 8; blocks are stored column
// by column, so the block number, and with it every byte offset in the map and
// statics index files, depends on the map's height.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrel {

inline constexpr int kCellsPerBlockSide = 8;

struct MapGeometry {
    int width = 6144;   // cell columns, a multiple of 8
    int height = 4096;  // cell rows, a multiple of 8

    constexpr int BlockColumns() const { return width / kCellsPerBlockSide; }
    constexpr int BlockRows() const { return height / kCellsPerBlockSide; }
    constexpr std::int64_t BlockCount() const {
        return std::int64_t{BlockColumns()} * BlockRows();
    }
    // The number of block (bx, by): blocks run down each block column.
    constexpr std::int64_t BlockNumber(int bx, int by) const {
        return std::int64_t{bx} * BlockRows() + by;
    }
    constexpr bool Contains(int x, int y) const {
        return x >= 0 && x < width && y >= 0 && y < height;
    }

    friend constexpr bool operator==(const MapGeometry&, const MapGeometry&) = default;
};

// The layout of older clients' Felucca and Trammel, and of every file whose
// size says nothing else.
inline constexpr MapGeometry kClassicGeometry{6144, 4096};

// One facet as current clients ship it.
struct Facet {
    int mapNumber;
    std::string_view name;
    MapGeometry geometry;
};

inline constexpr Facet kFacets[] = {
    {0, "Felucca", {7168, 4096}}, {1, "Trammel", {7168, 4096}}, {2, "Ilshenar", {2304, 1600}},
    {3, "Malas", {2560, 2048}},   {4, "Tokuno", {1448, 1448}},  {5, "TerMur", {1280, 4096}},
};

}  // namespace kestrel
