#pragma once

// Static items of a map as the drawing code reads them: all records of one
// block at a time, from the statics files' bytes or from anything that stands
// for them.

#include <cstdint>
#include <span>
#include <vector>

#include "clientfiles/map_geometry.h"
#include "clientfiles/statics_file.h"

namespace kestrel {

class StaticBlockSource {
public:
    virtual ~StaticBlockSource() = default;

    // Appends the records of block (bx, by), in stored order, to records. The
    // caller keeps the block inside the map's geometry. Safe to call from
    // several threads.
    virtual void ReadBlock(int bx, int by, std::vector<StaticRecord>& records) const = 0;
};

// The statics of a map held in memory in the layout of staidx*.mul (a 12-byte
// entry per block in block number order of geometry) and statics*.mul (7-byte
// records). The bytes are borrowed and must outlive the object. A block whose
// entry lies past the end of the index, or whose lookup is negative, has no
// statics; a block has one record for every k with 7 * k < length, and records
// that do not lie wholly inside the data are left out.
class MulStaticBlocks final : public StaticBlockSource {
public:
    MulStaticBlocks(MapGeometry geometry, std::span<const std::uint8_t> index,
                    std::span<const std::uint8_t> data)
        : geometry(geometry), index(index), data(data) {}

    void ReadBlock(int bx, int by, std::vector<StaticRecord>& records) const override;

private:
    MapGeometry geometry;
    std::span<const std::uint8_t> index;
    std::span<const std::uint8_t> data;
};

}  // namespace kestrel
