#include "operations/sample_world.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <vector>

#include "clientfiles/binary_file.h"
#include "clientfiles/byte_order.h"
#include "clientfiles/lookup3.h"
#include "clientfiles/map_file.h"
#include "clientfiles/statics_file.h"
#include "clientfiles/uop_file.h"

namespace kestrel {

namespace {

// Everything below is integer arithmetic, so a seed gives the same world on
// every machine and with every compiler.

// Each property of the world draws from its own stream of random numbers.
enum class Stream : std::uint32_t {
    Elevation = 1,
    Moisture,
    Roughness,
    TileVariant,
    Tree,
    TreeKind,
    Rock,
    RockKind,
    Building,
};

constexpr std::uint32_t Mix(std::uint32_t value) {
    value ^= value >> 16;
    value *= 0x7FEB352Du;
    value ^= value >> 15;
    value *= 0x846CA68Bu;
    value ^= value >> 16;
    return value;
}

std::uint32_t Hash(std::uint32_t seed, Stream stream, int x, int y) {
    std::uint32_t hash = Mix(seed ^ (static_cast<std::uint32_t>(stream) * 0x9E3779B9u));
    hash = Mix(hash ^ (static_cast<std::uint32_t>(x) * 0x85EBCA77u));
    return Mix(hash ^ (static_cast<std::uint32_t>(y) * 0xC2B2AE3Du));
}

// A chance out of 65536.
bool Chance(std::uint32_t hash, std::uint32_t outOf65536) {
    return (hash >> 16) < outOf65536;
}

constexpr std::int64_t kOne = 1 << 16;  // fixed-point 1.0 of the interpolation weights

// 6t^5 - 15t^4 + 10t^3 for t in [0, 1): flat at both lattice points, so the
// noise has no creases along the lattice lines.
std::int64_t Fade(std::int64_t t) {
    const std::int64_t inner = (((6 * t - 15 * kOne) * t) >> 16) + 10 * kOne;
    return ((((t * t) >> 16) * t >> 16) * inner) >> 16;
}

std::int64_t Lerp(std::int64_t a, std::int64_t b, std::int64_t weight) {
    return a + (((b - a) * weight) >> 16);
}

// One property over the cells of a strip of the map: columns x0 ..
// x0 + width - 1 and rows 0 .. height - 1. Noise lattices are anchored at cell
// (0, 0), so a cell's value does not depend on which strip it is computed in.
class StripField {
public:
    StripField(int x0, int width, int height)
        : x0(x0),
          width(width),
          height(height),
          values(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0) {}

    int At(int column, int row) const { return values[Index(column, row)]; }

    // Adds weight times value noise in -32768..32767 whose lattice points lie
    // 2^shift cells apart.
    void AddNoise(std::uint32_t seed, Stream stream, int shift, int weight) {
        const int spacing = 1 << shift;
        const int firstI = x0 >> shift;
        const int columns = ((x0 + width - 1) >> shift) - firstI + 2;
        const int rows = ((height - 1) >> shift) + 2;
        std::vector<std::int64_t> lattice(static_cast<std::size_t>(columns * rows));
        for (int j = 0; j < rows; ++j) {
            for (int i = 0; i < columns; ++i) {
                lattice[static_cast<std::size_t>(j * columns + i)] =
                    std::int64_t{Hash(seed, stream, firstI + i, j) >> 16} - 32768;
            }
        }
        std::vector<std::int64_t> fadeX(static_cast<std::size_t>(width));
        for (int column = 0; column < width; ++column) {
            fadeX[static_cast<std::size_t>(column)] =
                Fade(((x0 + column) & (spacing - 1)) * kOne / spacing);
        }
        for (int row = 0; row < height; ++row) {
            const int j = row >> shift;
            const std::int64_t fadeY = Fade((row & (spacing - 1)) * kOne / spacing);
            const std::int64_t* top = &lattice[static_cast<std::size_t>(j * columns)];
            const std::int64_t* bottom = top + columns;
            for (int column = 0; column < width; ++column) {
                const auto i = static_cast<std::size_t>(((x0 + column) >> shift) - firstI);
                const std::int64_t weightX = fadeX[static_cast<std::size_t>(column)];
                const std::int64_t upper = Lerp(top[i], top[i + 1], weightX);
                const std::int64_t lower = Lerp(bottom[i], bottom[i + 1], weightX);
                values[Index(column, row)] += weight * static_cast<int>(Lerp(upper, lower, fadeY));
            }
        }
    }

    // Sums of several octaves back into -32768..32767.
    void DivideBy(int total) {
        for (int& value : values) {
            value /= total;
        }
    }

private:
    std::size_t Index(int column, int row) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(column);
    }

    int x0;
    int width;
    int height;
    std::vector<int> values;
};

struct Octave {
    int shift;
    int weight;
};

// Continents and seas, then hills, then the small bumps of the land.
constexpr std::array<Octave, 7> kElevationOctaves = {
    {{9, 64}, {8, 40}, {7, 24}, {6, 12}, {5, 6}, {4, 3}, {3, 2}}};
constexpr std::array<Octave, 3> kMoistureOctaves = {{{8, 4}, {7, 2}, {6, 1}}};
constexpr std::array<Octave, 2> kRoughnessOctaves = {{{3, 2}, {2, 1}}};

template <std::size_t count>
StripField FractalNoise(std::uint32_t seed, Stream stream, const std::array<Octave, count>& octaves,
                        int x0, int width, int height) {
    StripField field(x0, width, height);
    int total = 0;
    for (const Octave& octave : octaves) {
        field.AddNoise(seed, stream, octave.shift, octave.weight);
        total += octave.weight;
    }
    field.DivideBy(total);
    return field;
}

constexpr int kSeaLevel = -5000;  // elevation below which a cell is water
constexpr int kBeachHeight = 700;

// Land altitude by height above the sea: a narrow beach, wide flats, then
// hills and mountains that climb ever faster.
struct AltitudePoint {
    int height;
    int altitude;
};
constexpr std::array<AltitudePoint, 9> kAltitudeCurve = {{{0, 0},
                                                          {kBeachHeight, 1},
                                                          {4000, 3},
                                                          {8000, 8},
                                                          {13000, 20},
                                                          {17500, 40},
                                                          {22000, 70},
                                                          {26500, 100},
                                                          {31000, 125}}};

int LandAltitude(int heightAboveSea) {
    if (heightAboveSea >= kAltitudeCurve.back().height) {
        return kAltitudeCurve.back().altitude;
    }
    for (std::size_t at = 1; at < kAltitudeCurve.size(); ++at) {
        const AltitudePoint low = kAltitudeCurve[at - 1];
        const AltitudePoint high = kAltitudeCurve[at];
        if (heightAboveSea < high.height) {
            return low.altitude + (heightAboveSea - low.height) * (high.altitude - low.altitude) /
                                      (high.height - low.height);
        }
    }
    return kAltitudeCurve.back().altitude;
}

enum class Ground { Water, Sand, Grass, Forest, Dirt, Rock, Snow };

constexpr int kDryMoisture = -9000;  // drier land is bare dirt
constexpr int kWetMoisture = 1500;   // wetter grassland is forest
constexpr int kRockAltitude = 50;    // higher land is bare mountain rock
constexpr int kSteepSlope = 9;       // steeper land is bare rock too
constexpr int kSnowAltitude = 95;

std::uint16_t FirstTileOf(Ground ground) {
    switch (ground) {
        case Ground::Water:
            return 0x00A8;
        case Ground::Sand:
            return 0x0016;
        case Ground::Grass:
        case Ground::Forest:
            return 0x0003;
        case Ground::Dirt:
            return 0x0071;
        case Ground::Rock:
            return 0x00DC;
        case Ground::Snow:
            return 0x011A;
    }
    return 0x0003;
}

// Trees as trunk and crown, two items on one cell.
struct TreeKind {
    std::uint16_t trunk;
    std::uint16_t leaves;
};
constexpr std::array<TreeKind, 8> kTrees = {{{0x0CCD, 0x0CCE},
                                             {0x0CD0, 0x0CD1},
                                             {0x0CD3, 0x0CD4},
                                             {0x0CD6, 0x0CD7},
                                             {0x0CD8, 0x0CD9},
                                             {0x0CDA, 0x0CDB},
                                             {0x0CDD, 0x0CDE},
                                             {0x0CE0, 0x0CE1}}};
constexpr std::uint16_t kFirstRock = 0x1363;  // 0x1363-0x136D
constexpr std::uint32_t kRockKinds = 11;

// Wall pieces: the corner post, a wall along a row, a wall along a column.
struct WallStyle {
    std::uint16_t corner;
    std::uint16_t alongRow;
    std::uint16_t alongColumn;
};
constexpr std::array<WallStyle, 2> kWallStyles = {
    {{0x001A, 0x001C, 0x001B}, {0x0006, 0x0008, 0x0007}}};
constexpr std::uint16_t kFirstFloor = 0x04A9;  // wooden boards 0x04A9-0x04AC

// Per cell, out of 65536.
std::uint32_t TreeChance(Ground ground) {
    switch (ground) {
        case Ground::Forest:
            return 15000;
        case Ground::Grass:
            return 2200;
        case Ground::Dirt:
            return 500;
        default:
            return 0;
    }
}

std::uint32_t RockChance(Ground ground) {
    switch (ground) {
        case Ground::Rock:
            return 6000;
        case Ground::Snow:
            return 1500;
        case Ground::Dirt:
            return 900;
        case Ground::Sand:
            return 500;
        case Ground::Grass:
            return 250;
        default:
            return 0;
    }
}

constexpr std::uint32_t kBuildingChance = 1800;  // per suitable block, out of 65536

struct Cell {
    Ground ground = Ground::Water;
    std::int8_t altitude = 0;
};

// The land of one block column, 8 cells wide and the map's height.
class LandStrip {
public:
    LandStrip(std::uint32_t seed, int bx, int mapHeight)
        : cells(std::size_t{kBlockSize} * static_cast<std::size_t>(mapHeight)) {
        const int x0 = bx * kBlockSize;
        // One more column and row than the strip, for the slope towards the
        // east and south neighbours.
        const int width = kBlockSize + 1;
        const int height = mapHeight + 1;
        const StripField elevation =
            FractalNoise(seed, Stream::Elevation, kElevationOctaves, x0, width, height);
        const StripField moisture =
            FractalNoise(seed, Stream::Moisture, kMoistureOctaves, x0, kBlockSize, mapHeight);
        const StripField roughness =
            FractalNoise(seed, Stream::Roughness, kRoughnessOctaves, x0, width, height);

        std::vector<int> altitudes(static_cast<std::size_t>(width * height));
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                const int aboveSea = elevation.At(column, row) - kSeaLevel;
                int altitude = kSampleWaterAltitude;
                if (aboveSea >= 0) {
                    altitude = LandAltitude(aboveSea);
                    // Rough ground on hills and mountains, smooth flats.
                    altitude += roughness.At(column, row) * std::min(altitude, 60) / (60 * 8192);
                    altitude = std::clamp(altitude, 0, 127);
                }
                altitudes[static_cast<std::size_t>(row * width + column)] = altitude;
            }
        }
        const auto altitudeAt = [&](int column, int row) {
            return altitudes[static_cast<std::size_t>(row * width + column)];
        };

        for (int row = 0; row < mapHeight; ++row) {
            for (int column = 0; column < kBlockSize; ++column) {
                Cell& cell = cells[Index(column, row)];
                const int altitude = altitudeAt(column, row);
                cell.altitude = static_cast<std::int8_t>(altitude);
                const int aboveSea = elevation.At(column, row) - kSeaLevel;
                if (aboveSea < 0) {
                    cell.ground = Ground::Water;
                    continue;
                }
                int slope = 0;
                for (const auto& [dx, dy] : {std::pair{1, 0}, std::pair{0, 1}, std::pair{1, 1}}) {
                    const int neighbour = altitudeAt(column + dx, row + dy);
                    if (neighbour != kSampleWaterAltitude) {
                        slope = std::max(slope, std::abs(neighbour - altitude));
                    }
                }
                const int wetness = moisture.At(column, row);
                if (aboveSea < kBeachHeight) {
                    cell.ground = Ground::Sand;
                } else if (altitude >= kSnowAltitude) {
                    cell.ground = Ground::Snow;
                } else if (altitude >= kRockAltitude || slope >= kSteepSlope) {
                    cell.ground = Ground::Rock;
                } else if (wetness < kDryMoisture) {
                    cell.ground = Ground::Dirt;
                } else if (wetness > kWetMoisture) {
                    cell.ground = Ground::Forest;
                } else {
                    cell.ground = Ground::Grass;
                }
            }
        }
    }

    const Cell& At(int column, int row) const { return cells[Index(column, row)]; }

private:
    static std::size_t Index(int column, int row) {
        return static_cast<std::size_t>(row) * kBlockSize + static_cast<std::size_t>(column);
    }

    std::vector<Cell> cells;
};

void AppendRecord(std::vector<std::uint8_t>& data, std::uint16_t tileId, int x, int y,
                  std::int8_t z) {
    std::array<std::uint8_t, kStaticRecordBytes> bytes{};
    StoreU16Le(bytes.data(), tileId);
    bytes[2] = static_cast<std::uint8_t>(x);
    bytes[3] = static_cast<std::uint8_t>(y);
    bytes[4] = static_cast<std::uint8_t>(z);
    // Hue 0, the item's own colours.
    data.insert(data.end(), bytes.begin(), bytes.end());
}

// The statics of block (bx, by): perhaps a small building on flat open land,
// then trees and rocks on the cells around it. Returns the number of items.
std::uint32_t AppendBlockStatics(std::uint32_t seed, const LandStrip& land, int bx, int by,
                                 std::vector<std::uint8_t>& data) {
    const int baseY = by * kBlockSize;
    std::uint32_t items = 0;

    // A building needs open land whose altitude varies by 2 at most.
    bool open = true;
    int lowest = std::numeric_limits<int>::max();
    int highest = std::numeric_limits<int>::min();
    for (int y = 0; y < kBlockSize && open; ++y) {
        for (int x = 0; x < kBlockSize; ++x) {
            const Cell& cell = land.At(x, baseY + y);
            open = open && (cell.ground == Ground::Grass || cell.ground == Ground::Dirt);
            lowest = std::min(lowest, int{cell.altitude});
            highest = std::max(highest, int{cell.altitude});
        }
    }
    std::array<bool, kBlockSize * kBlockSize> built{};
    const std::uint32_t buildingHash = Hash(seed, Stream::Building, bx, by);
    if (open && highest - lowest <= 2 && Chance(buildingHash, kBuildingChance)) {
        const int width = 4 + static_cast<int>(buildingHash % 4);         // 4..7
        const int depth = 4 + static_cast<int>((buildingHash >> 2) % 4);  // 4..7
        const int left = static_cast<int>((buildingHash >> 4) % std::uint32_t(9 - width));
        const int top = static_cast<int>((buildingHash >> 8) % std::uint32_t(9 - depth));
        const WallStyle& style = kWallStyles[(buildingHash >> 12) % kWallStyles.size()];
        const int door = left + width / 2;
        for (int y = top; y < top + depth; ++y) {
            for (int x = left; x < left + width; ++x) {
                built[static_cast<std::size_t>(y * kBlockSize + x)] = true;
                const std::int8_t z = land.At(x, baseY + y).altitude;
                const bool edgeRow = y == top || y == top + depth - 1;
                const bool edgeColumn = x == left || x == left + width - 1;
                if (edgeRow && edgeColumn) {
                    AppendRecord(data, style.corner, x, y, z);
                    ++items;
                } else if (edgeRow && !(y == top + depth - 1 && x == door)) {
                    AppendRecord(data, style.alongRow, x, y, z);
                    ++items;
                } else if (edgeColumn) {
                    AppendRecord(data, style.alongColumn, x, y, z);
                    ++items;
                } else {
                    const auto variant = static_cast<std::uint16_t>((x + y) % 4);
                    AppendRecord(data, static_cast<std::uint16_t>(kFirstFloor + variant), x, y, z);
                    ++items;
                }
            }
        }
    }

    for (int y = 0; y < kBlockSize; ++y) {
        for (int x = 0; x < kBlockSize; ++x) {
            if (built[static_cast<std::size_t>(y * kBlockSize + x)]) {
                continue;
            }
            const Cell& cell = land.At(x, baseY + y);
            const int cellX = bx * kBlockSize + x;
            const int cellY = baseY + y;
            if (Chance(Hash(seed, Stream::Tree, cellX, cellY), TreeChance(cell.ground))) {
                const TreeKind& tree =
                    kTrees[Hash(seed, Stream::TreeKind, cellX, cellY) % kTrees.size()];
                AppendRecord(data, tree.trunk, x, y, cell.altitude);
                AppendRecord(data, tree.leaves, x, y, cell.altitude);
                items += 2;
            } else if (Chance(Hash(seed, Stream::Rock, cellX, cellY), RockChance(cell.ground))) {
                const auto kind = Hash(seed, Stream::RockKind, cellX, cellY) % kRockKinds;
                AppendRecord(data, static_cast<std::uint16_t>(kFirstRock + kind), x, y,
                             cell.altitude);
                ++items;
            }
        }
    }
    return items;
}

void OpenForWriting(BinaryFile& file, const std::filesystem::path& path) {
    errno = 0;
    if (!file.Open(path.string(), BinaryFile::Mode::CreateTruncate)) {
        const int error = errno;
        std::string text = "cannot create " + path.string();
        if (error != 0) {
            text += ": " + std::generic_category().message(error);
        }
        throw SampleWorldError(text);
    }
}

// A .uop as current clients ship the maps: the header padded to 512 bytes,
// then all table blocks, then the entries' bytes in entry order. Table blocks
// hold up to 100 entries, as in the clients' files.
constexpr std::uint32_t kSampleUopVersion = 5;
constexpr std::uint32_t kSampleUopSignature = 0xFD23EC43u;
constexpr std::uint64_t kSampleUopHeaderBytes = 512;
constexpr std::uint32_t kSampleUopTableCapacity = 100;
constexpr std::uint64_t kSampleUopTableBlockBytes =
    kUopBlockHeaderBytes + std::uint64_t{kSampleUopTableCapacity} * kUopEntryBytes;
constexpr std::uint64_t kMapEntryBytes =
    static_cast<std::uint64_t>(kUopMapBlocksPerEntry) * kMapBlockBytes;

void StoreU64Le(std::uint8_t* bytes, std::uint64_t value) {
    StoreU32Le(bytes, static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
    StoreU32Le(bytes + 4, static_cast<std::uint32_t>(value >> 32));
}

// Takes the map's bytes in order and stores them as mapN.mul or as the
// entries of mapNLegacyMUL.uop.
class SampleMapWriter {
public:
    SampleMapWriter(BinaryFile& file, bool uop, int mapNumber, std::uint64_t mapBytes)
        : file(file), uop(uop), mapNumber(mapNumber), mapBytes(mapBytes) {
        if (!uop) {
            return;
        }
        const std::uint64_t entries = (mapBytes + kMapEntryBytes - 1) / kMapEntryBytes;
        tableBlocks = (entries + kSampleUopTableCapacity - 1) / kSampleUopTableCapacity;
        dataStart = kSampleUopHeaderBytes + tableBlocks * kSampleUopTableBlockBytes;
        checksums.assign(static_cast<std::size_t>(entries), adler32(0L, Z_NULL, 0));
        // The header and table are written last, when the checksums are known.
        file.Seek(static_cast<std::int64_t>(dataStart));
    }

    void Append(const std::uint8_t* bytes, std::size_t count) {
        file.Write(bytes, count);
        if (!uop) {
            return;
        }
        while (count > 0) {
            const auto entry = static_cast<std::size_t>(position / kMapEntryBytes);
            const std::size_t part = static_cast<std::size_t>(
                std::min<std::uint64_t>(count, kMapEntryBytes - position % kMapEntryBytes));
            checksums[entry] = adler32(checksums[entry], bytes, static_cast<uInt>(part));
            bytes += part;
            count -= part;
            position += part;
        }
    }

    void Finish() {
        if (!uop) {
            return;
        }
        std::vector<std::uint8_t> head(static_cast<std::size_t>(dataStart), std::uint8_t{0});
        StoreU32Le(&head[kUopMagicOffset], kUopMagic);
        StoreU32Le(&head[kUopVersionOffset], kSampleUopVersion);
        StoreU32Le(&head[kUopSignatureOffset], kSampleUopSignature);
        StoreU64Le(&head[kUopFirstTableOffset], kSampleUopHeaderBytes);
        StoreU32Le(&head[kUopTableCapacityOffset], kSampleUopTableCapacity);
        StoreU32Le(&head[kUopFileCountOffset], static_cast<std::uint32_t>(checksums.size()));
        for (std::uint64_t block = 0; block < tableBlocks; ++block) {
            const std::uint64_t blockStart =
                kSampleUopHeaderBytes + block * kSampleUopTableBlockBytes;
            const std::uint64_t first = block * kSampleUopTableCapacity;
            const std::uint64_t count =
                std::min<std::uint64_t>(kSampleUopTableCapacity, checksums.size() - first);
            std::uint8_t* blockBytes = &head[static_cast<std::size_t>(blockStart)];
            StoreU32Le(blockBytes + kUopBlockCountOffset, static_cast<std::uint32_t>(count));
            StoreU64Le(blockBytes + kUopBlockNextOffset,
                       block + 1 < tableBlocks ? blockStart + kSampleUopTableBlockBytes : 0);
            for (std::uint64_t at = 0; at < count; ++at) {
                const std::uint64_t entry = first + at;
                const std::uint64_t offset = entry * kMapEntryBytes;
                const auto size =
                    static_cast<std::uint32_t>(std::min(kMapEntryBytes, mapBytes - offset));
                std::uint8_t* record = blockBytes + kUopBlockHeaderBytes +
                                       static_cast<std::size_t>(at) * kUopEntryBytes;
                StoreU64Le(record + kUopEntryDataOffset, dataStart + offset);
                StoreU32Le(record + kUopEntryHeaderLengthOffset, 0);
                StoreU32Le(record + kUopEntryCompressedSizeOffset, size);
                StoreU32Le(record + kUopEntryDecompressedSizeOffset, size);
                StoreU64Le(
                    record + kUopEntryHashOffset,
                    UopNameHash(UopMapEntryName(mapNumber, static_cast<std::uint32_t>(entry))));
                StoreU32Le(record + kUopEntryAdlerOffset,
                           static_cast<std::uint32_t>(checksums[static_cast<std::size_t>(entry)]));
                StoreU16Le(record + kUopEntryFlagOffset, kUopStored);
            }
        }
        file.Seek(0);
        file.Write(head.data(), head.size());
    }

private:
    BinaryFile& file;
    bool uop;
    int mapNumber;
    std::uint64_t mapBytes;
    std::uint64_t tableBlocks = 0;
    std::uint64_t dataStart = 0;
    std::uint64_t position = 0;
    std::vector<uLong> checksums;
};

std::string Numbered(const char* stem, int mapNumber, const char* ending) {
    return stem + std::to_string(mapNumber) + ending;
}

}  // namespace

SampleWorldFileNames SampleFileNames(const SampleWorldOptions& options) {
    return {Numbered("map", options.mapNumber, options.uop ? "LegacyMUL.uop" : ".mul"),
            Numbered("staidx", options.mapNumber, ".mul"),
            Numbered("statics", options.mapNumber, ".mul")};
}

SampleWorldSummary WriteSampleWorld(const std::filesystem::path& directory,
                                    const SampleWorldOptions& options) {
    const MapGeometry& geometry = options.geometry;
    if (geometry.width <= 0 || geometry.height <= 0 || geometry.width > kLargestSampleSide ||
        geometry.height > kLargestSampleSide || geometry.width % kBlockSize != 0 ||
        geometry.height % kBlockSize != 0) {
        throw std::invalid_argument("the map size must be multiples of 8 from 8 to 16384");
    }
    if (options.mapNumber < 0 || options.mapNumber > kUopMaxMapNumber) {
        throw std::invalid_argument("the map number must lie in 0..31");
    }
    const int blockColumns = options.blockColumns.value_or(geometry.BlockColumns());
    if (blockColumns < 1 || blockColumns > geometry.BlockColumns()) {
        throw std::invalid_argument("block columns must lie in 1.." +
                                    std::to_string(geometry.BlockColumns()));
    }
    const int blockRows = geometry.BlockRows();
    const SampleWorldFileNames names = SampleFileNames(options);
    BinaryFile map;
    BinaryFile index;
    BinaryFile data;
    OpenForWriting(map, directory / names.map);
    OpenForWriting(index, directory / names.staticsIndex);
    OpenForWriting(data, directory / names.staticsData);

    SampleWorldSummary summary;
    const std::size_t mapColumnBytes = static_cast<std::size_t>(blockRows) * kMapBlockBytes;
    SampleMapWriter mapWriter(
        map, options.uop, options.mapNumber,
        std::uint64_t{mapColumnBytes} * static_cast<std::uint64_t>(blockColumns));
    std::vector<std::uint8_t> mapColumn(mapColumnBytes);
    std::vector<std::uint8_t> indexColumn(static_cast<std::size_t>(blockRows) *
                                          kStaticIndexEntryBytes);
    std::vector<std::uint8_t> dataColumn;
    std::uint64_t dataPosition = 0;

    for (int bx = 0; bx < blockColumns; ++bx) {
        const LandStrip land(options.seed, bx, geometry.height);
        dataColumn.clear();
        std::fill(mapColumn.begin(), mapColumn.end(), std::uint8_t{0});
        for (int by = 0; by < blockRows; ++by) {
            std::uint8_t* block = &mapColumn[static_cast<std::size_t>(by * kMapBlockBytes)];
            for (int y = 0; y < kBlockSize; ++y) {
                for (int x = 0; x < kBlockSize; ++x) {
                    const Cell& cell = land.At(x, by * kBlockSize + y);
                    const int cellX = bx * kBlockSize + x;
                    const int cellY = by * kBlockSize + y;
                    const auto variant = static_cast<std::uint16_t>(
                        Hash(options.seed, Stream::TileVariant, cellX, cellY) & 3u);
                    std::uint8_t* bytes =
                        block + kMapBlockHeaderBytes + (x + y * kBlockSize) * kMapCellBytes;
                    StoreU16Le(bytes,
                               static_cast<std::uint16_t>(FirstTileOf(cell.ground) + variant));
                    bytes[2] = static_cast<std::uint8_t>(cell.altitude);
                    if (cell.ground == Ground::Water) {
                        ++summary.waterCells;
                    }
                }
            }

            const std::size_t before = dataColumn.size();
            const std::uint32_t items = AppendBlockStatics(options.seed, land, bx, by, dataColumn);
            summary.staticItems += items;
            std::uint8_t* entry =
                &indexColumn[static_cast<std::size_t>(by * kStaticIndexEntryBytes)];
            if (items == 0) {
                StoreU32Le(entry, static_cast<std::uint32_t>(kNoStatics));
                StoreU32Le(entry + 4, 0);
            } else {
                StoreU32Le(entry, static_cast<std::uint32_t>(dataPosition + before));
                StoreU32Le(entry + 4, items * kStaticRecordBytes);
            }
            StoreU32Le(entry + 8, 0);
        }
        mapWriter.Append(mapColumn.data(), mapColumn.size());
        index.Write(indexColumn.data(), indexColumn.size());
        data.Write(dataColumn.data(), dataColumn.size());
        dataPosition += dataColumn.size();
    }
    mapWriter.Finish();
    map.Close();
    index.Close();
    data.Close();
    return summary;
}

}  // namespace kestrel
