#pragma once

// A generated world to try Kestrel on without the game's own files: a map file
// with hills, water and flats, and statics files with trees, rocks and small
// buildings standing on the land.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "clientfiles/map_geometry.h"

namespace kestrel {

inline constexpr std::uint32_t kDefaultSampleSeed = 1;

inline constexpr const char* kSampleMapName = "map0.mul";
inline constexpr const char* kSampleStaticsIndexName = "staidx0.mul";
inline constexpr const char* kSampleStaticsDataName = "statics0.mul";

// Land tile numbers the generator lays, each a run of interchangeable
// variants: grass 0x0003-0x0006, sand 0x0016-0x0019, dirt 0x0071-0x0074,
// water 0x00A8-0x00AB, mountain rock 0x00DC-0x00DF, snow 0x011A-0x011D.
// Water cells lie at altitude kSampleWaterAltitude.
inline constexpr std::int8_t kSampleWaterAltitude = -5;

inline constexpr int kLargestSampleSide = 16384;

struct SampleWorldOptions {
    std::uint32_t seed = kDefaultSampleSeed;
    // How many block columns to write, counted from the left edge of the map
    // (1 to the map's block columns); none writes the whole map. The files
    // then hold exactly the first blockColumns block columns of the full
    // world of the same seed.
    std::optional<int> blockColumns;
    // The map's size: multiples of 8 from 8 to 16384 cells. A world of any
    // size holds the same cells where it overlaps another of the same seed.
    MapGeometry geometry = kClassicGeometry;
    // The number in the file names: mapN.mul (or mapNLegacyMUL.uop),
    // staidxN.mul and staticsN.mul; 0 to 31.
    int mapNumber = 0;
    // Writes the map as mapNLegacyMUL.uop: the same map bytes in entries of
    // 4096 blocks, stored uncompressed, with their Adler-32 and name hashes.
    bool uop = false;
};

// The names of the three files written for options.
struct SampleWorldFileNames {
    std::string map;
    std::string staticsIndex;
    std::string staticsData;
};
SampleWorldFileNames SampleFileNames(const SampleWorldOptions& options);

struct SampleWorldSummary {
    std::uint64_t waterCells = 0;
    std::uint64_t staticItems = 0;
};

// A sample file could not be created (it is open elsewhere, or the directory
// cannot be written). what() names the file.
class SampleWorldError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes the files of SampleFileNames(options) (map0.mul, staidx0.mul and
// statics0.mul by default) of the world of options.seed into directory, which
// must exist; files of those names are replaced. The same options always give
// the same bytes. The map has 196-byte blocks with zero headers; every block
// without statics has the index entry lookup -1, length 0; statics stand at
// x, y 0..7 of their block, never on water, at the altitude of the land under
// them. Works through a buffer of one block column at a time.
//
// Throws std::invalid_argument for a size, map number or blockColumns out of
// range, SampleWorldError when a file cannot be created, FileException when a
// write fails (files are then left incomplete).
SampleWorldSummary WriteSampleWorld(const std::filesystem::path& directory,
                                    const SampleWorldOptions& options);

}  // namespace kestrel
