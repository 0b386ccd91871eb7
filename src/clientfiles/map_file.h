#pragma once

// The map file map0.mul: for every cell a 16-bit land tile number and a signed
// 8-bit altitude. No file header; 768 x 512 blocks of 196 bytes, stored column
// by column; inside a block a 4-byte header and 64 cells of 3 bytes, row by
// row. All values are little-endian.

#include <cstdint>

#include "clientfiles/map_geometry.h"
#include "clientfiles/world_geometry.h"

namespace kestrel {

inline constexpr std::int32_t kMapBlockHeaderBytes = 4;
inline constexpr std::int32_t kMapCellBytes = 3;  // tileId (u16 LE), altitude (i8)
inline constexpr std::int32_t kMapCellsPerBlock = kBlockSize * kBlockSize;
inline constexpr std::int32_t kMapBlockBytes =
    kMapBlockHeaderBytes + kMapCellsPerBlock * kMapCellBytes;                      // 196
inline constexpr std::int32_t kMapBlockColumnBytes = kBlockRows * kMapBlockBytes;  // 100,352
inline constexpr std::int64_t kMapFileBytes =
    std::int64_t{kBlockColumns} * kMapBlockColumnBytes;  // 77,070,336

// Byte offset of cell (x, y) from the start of the file. x must lie in
// 0..6143 and y in 0..4095; neither is checked.
std::int32_t CellOffset(int x, int y);

// Byte offset of cell (x, y) in a map of geometry; (x, y) must lie inside it
// (not checked).
std::int64_t CellOffset(const MapGeometry& geometry, int x, int y);

// The longest map file: a 7168 x 4096 .mul and the one extra block that maps
// unpacked from a .uop may carry. 89,915,588 bytes.
inline constexpr std::uint64_t kLargestMapBytes =
    std::uint64_t{7168 / 8} * (4096 / 8) * kMapBlockBytes + kMapBlockBytes;

}  // namespace kestrel
