#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "clientfiles/binary_file.h"
#include "clientfiles/statics_file.h"

namespace kestrel {

// Reads the statics index entries of a rectangle of blocks, block columns
// firstBx..lastBx of block rows firstBy..lastBy, a band of block rows at a time:
// one read per block column of the band, the band sized to about 1 MiB. Meant
// for a walk over the rectangle that goes down its block rows (in any order
// across a row), as the statics export does.
class StaticIndexBands {
public:
    StaticIndexBands(BinaryFile& index, int firstBx, int lastBx, int firstBy, int lastBy);

    // Reads the entry of block (bx, by), which must lie in the rectangle, with
    // the result of ReadStaticIndexEntry(index, bx, by, entry): a lookup of -1
    // sets length to 0, and bytes of the entry past the end of the index are
    // not delivered, so the fields they belong to keep their previous bytes.
    // Reads the band of by when it is not held. Throws FileException when a
    // read fails.
    void Read(int bx, int by, StaticIndexEntry& entry);

    // The on-disk bytes of the entry of block (bx, by) when its band is held
    // and the index holds the whole entry; otherwise null. Reads nothing.
    const std::uint8_t* Peek(int bx, int by) const;

private:
    void LoadBand(int by);

    BinaryFile& index;
    int firstBx;
    int lastBy;
    int bandRows;       // block rows per band
    int bandFirst = 0;  // block rows of the band held
    int bandLast = -1;
    std::vector<std::uint8_t> bytes;     // the band, block column by block column
    std::vector<std::size_t> delivered;  // bytes read for each block column of the band
};

}  // namespace kestrel
