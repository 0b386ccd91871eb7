#pragma once

#include <cstddef>
#include <cstdint>

#include "operations/copy_settings.h"
#include "support/temp_dir.h"

namespace kestrel::test {

// Copy settings of a rectangle (both ends included), the destination of its
// top left corner and the altitude shift; the paths left empty.
CopySettings Rectangle(int minX, int maxX, int minY, int maxY, int offX, int offY, int offZ);

// size bytes of a fixed pseudo-random pattern; different seeds give
// different patterns.
Bytes PatternBytes(std::size_t size, std::uint32_t seed);

// The byte position of cell (x, y) of a 6144 x 4096 map file, written out
// here rather than taken from the code under test: block columns of 512 blocks
// of 196 bytes, a 4-byte block header, 3-byte cells row by row.
std::uint64_t MapCellPosition(int x, int y);

// What the destination map must hold after copying the rectangle of settings
// from source, worked out cell by cell from the settings alone: cells landing
// right of or below the map are left out, altitudes wrap in 8 bits, and the
// destination grows to end with the last cell written past its end.
Bytes ExpectedMapCopy(const Bytes& source, Bytes dest, const CopySettings& settings);

// A map's size for the expectation below: cell columns and rows.
struct MapSize {
    int width;
    int height;
};

// The byte position of cell (x, y) of a map of size: block columns of
// height / 8 blocks.
std::uint64_t MapCellPosition(MapSize size, int x, int y);

// The same expectation between maps of any sizes: source cells read in the
// source's layout, written in the destination's, clipped at its edges.
Bytes ExpectedMapCopy(const Bytes& source, MapSize sourceSize, Bytes dest, MapSize destSize,
                      const CopySettings& settings);

}  // namespace kestrel::test
