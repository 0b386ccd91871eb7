#pragma once

#include <cstdint>
#include <string>

namespace kestrel::bench {

// What MakeBenchWorld wrote.
struct BenchWorld {
    std::string mapPath;
    std::string staticsIndexPath;
    std::string staticsDataPath;
    std::uint64_t items = 0;  // static items in the statics data
};

// Writes a full-size world into directory: map0.mul (6144 x 4096 cells,
// 77,070,336 bytes of pseudo-random tiles and altitudes), staidx0.mul (one
// entry per block) and statics0.mul, with 0 to 20 items per block (10 on
// average), a block without items marked by lookup -1, records stored in block
// number order. The same seed gives the same files. Throws std::runtime_error
// when a file cannot be written.
BenchWorld MakeBenchWorld(const std::string& directory, std::uint64_t seed);

}  // namespace kestrel::bench
