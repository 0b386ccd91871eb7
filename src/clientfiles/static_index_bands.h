#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "clientfiles/binary_file.h"
#include "clientfiles/map_geometry.h"
#include "clientfiles/statics_file.h"

namespace kestrel {

// Reads the statics index entries of a rectangle of blocks, block columns
// firstBx..lastBx of block rows firstBy..lastBy, a band of block rows at a time:
// one read per block column of the band, the band sized to about 1 MiB. Meant
// for a walk over the rectangle that goes down its block rows (in any order
// across a row), as the statics export does.
class StaticIndexBands {
public:
    // geometry: the map size the index is laid out for.
    StaticIndexBands(BinaryFile& index, int firstBx, int lastBx, int firstBy, int lastBy,
                     const MapGeometry& geometry);

    // The entry of block (bx, by), which must lie in the rectangle, decoded as
    // DecodeStaticIndexEntry does (a lookup of -1 sets length to 0). Reads the
    // band of by when it is not held. The index must hold every entry of the
    // rectangle (the export checks its length first); throws FileException
    // (past its end) when it does not, or when a read fails.
    StaticIndexEntry Read(int bx, int by);

    // The on-disk bytes of the entry of block (bx, by) when its band is held;
    // otherwise null. Reads nothing.
    const std::uint8_t* Peek(int bx, int by) const;

private:
    void LoadBand(int by);

    BinaryFile& index;
    MapGeometry geometry;
    int firstBx;
    int lastBy;
    int bandRows;       // block rows per band
    int bandFirst = 0;  // block rows of the band held
    int bandLast = -1;
    int columns;
    std::vector<std::uint8_t> bytes;  // the band, block column by block column
};

}  // namespace kestrel
