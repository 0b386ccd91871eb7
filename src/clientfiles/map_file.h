#pragma once

// The map file map0.mul: for every cell a 16-bit land tile number and a signed
// 8-bit altitude. No file header; 768 x 512 blocks of 196 bytes, stored column
// by column; inside a block a 4-byte header and 64 cells of 3 bytes, row by
// row. All values are little-endian.

#include <cstdint>

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

}  // namespace kestrel
