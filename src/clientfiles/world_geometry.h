#pragma once

// The grid of the game world as the client data files lay it out: 6144 x 4096
// cells in blocks of 8 x 8, blocks stored column by column.

#include <cstdint>

namespace kestrel {

inline constexpr int kMapWidth = 6144;                        // cell columns 0..6143
inline constexpr int kMapHeight = 4096;                       // cell rows 0..4095
inline constexpr int kBlockSize = 8;                          // cells per block side
inline constexpr int kBlockColumns = kMapWidth / kBlockSize;  // 768
inline constexpr int kBlockRows = kMapHeight / kBlockSize;    // 512

// The block number of block (bx, by): blocks run down each block column.
inline constexpr std::int32_t BlockNumber(int bx, int by) {
    return bx * kBlockRows + by;
}

}  // namespace kestrel
